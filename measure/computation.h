#pragma once

// Real-world values of the measurements: lengths and chains, areas with slopes,
// the totals of the current group, the cost at the unit price, the perspective
// correction and the one-line summary.  Nothing is cached: every value is
// recomputed from image points, so a change of W, H or the reference shows at once.

#include "measure/model.h"

#include <string>

namespace kvx {

struct TDistanceResult {
    double dX = 0.0;        // mm
    double dY = 0.0;        // mm
    double distance = 0.0;  // mm
    double before = 0.0;    // mm, the chain's segments before this one
    double after = 0.0;     // mm, the chain's segments after this one
    double angle = 0.0;     // degrees in [-180, 180], counter-clockwise from +X (Y up)
};

struct TSpaceResult {
    double perimeter = 0.0;  // mm
    double area = 0.0;       // m²
};

// Whether a record's corrected points stand in for its image points.
bool CorrectionInForce(const Document& doc, std::uint8_t corrected);

// Whether CalcuDistance sums the rest of the chain into before and after.  A
// list of every segment asks for the sums only at each chain's end, so that
// its work grows with the number of segments, not with its square.
enum class ChainSums { Skip, Sum };

// Fills r for distance i; leaves r untouched for an index out of range.  With
// ChainSums::Skip, before and after stay 0.
void CalcuDistance(const Document& doc, std::int32_t i, TDistanceResult& r, ChainSums chain = ChainSums::Sum);
// r for area i; zeros for an index out of range.
void CalcuSpace(const Document& doc, std::int32_t i, TSpaceResult& r);

// Image point E moved along the depth direction onto the reference plane, for a
// surface that meets the other plane at R.  E itself when a construction line is
// parallel (the correction cannot be made there).
TDPoint CorrectPoint(const Document& doc, TDPoint E, TDPoint R);

// Recompute the corrected points of every corrected record of the current plane.
void CalcuDistanceHosei(Document& doc);
void CalcuSpaceHosei(Document& doc);

// Corrected points are worked out against the planes' rectangles and the cross
// line; whenever any of them changes (an adjustment, a new cross line, another
// setting's rectangle seen at load) they are recomputed here, for the current
// plane and, in setting 4, for the parked one too.
void RecomputeCorrections(Document& doc);

// The extreme points of a corrected measurement carried onto its correction line,
// nearest to and farthest from VanishH.
struct SideProjection {
    TDPoint nearPoint;
    TDPoint farPoint;
};
SideProjection DistanceSideProjection(const Document& doc, std::int32_t i);
SideProjection SpaceSideProjection(const Document& doc, std::int32_t i);

// What the summary line speaks of: the areas of the current group (also when
// there are areas and no distance), or the current distance.
enum class SummaryFocus { Distance, Areas };

// The summary line for the information field (UTF-8).
std::string SummaryLine(const Document& doc, SummaryFocus focus);

// An amount of money as the interface writes it: FormatYen's digits in every
// language, the language's currency sign.
std::string MoneyText(double price);

} // namespace kvx
