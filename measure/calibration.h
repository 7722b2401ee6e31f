#pragma once

// From the reference rectangle the user marked to millimetre coordinates on its
// plane.  No projective transform is solved: the rectangle's edges give the two
// vanishing points, the measurement base gives a unit cell of W x H millimetres,
// and a point is located by stepping out from the cell in half cells with the
// perspective construction for equal intervals, then halving the last half cell
// until the step is below one millimetre.
//
// All points here are image points (pixels, y down) except the results of
// GetDelta, which are plane millimetres from the cell centre (X right, Y up).

#include "measure/model.h"

#include <array>
#include <memory>
#include <vector>

namespace kvx {

// Receives each construction line GetDelta draws when asked to (image points).
class DeltaSink {
public:
    virtual ~DeltaSink() = default;
    virtual void Line(TDPoint from, TDPoint to) = 0;
};

// Orders four corners given in cyclic order (either direction, any start) as
// top-left, top-right, bottom-right, bottom-left on screen.  Returns false and
// leaves them as they are when the diagonals are parallel (three corners on a
// line): such a quadrilateral has no centre and cannot be measured.
bool NormaliseCorners(std::array<TDPoint, 4>& q);

// Normalises BaseRect[1..4], sets BaseRect[5], the vanishing points and, while
// the measurement base is not set explicitly, the base from the rectangle.
void CalcuBasePoint(TBaseBlock& base, const std::array<TDPoint, 6>& otherBaseRect);
void CalcuBasePoint(Document& doc);

// Builds the unit cell from the measurement base and the vanishing points.
void CalcuUnitPoint(TPlaneState& plane);

// Plane coordinates of image point P in millimetres, (0, 0) when the geometry
// is degenerate.  W and H are the real size of the unit cell.  Allocates nothing.
TDPoint GetDelta(const TPlaneState& plane, double W, double H, TDPoint P, DeltaSink* draw = nullptr);
// The half-cell construction lines of one calibration (its unit points and
// vanishing points), built once, only as far out as points have needed them,
// and searched for each point.  They are the lines GetDelta's walk draws and
// the side tests are the walk's, so the answers are the walk's bit for bit; a
// point n half cells away costs about log2(n) side tests instead of n steps of
// line intersections.
class WalkLines {
public:
    explicit WalkLines(const TPlaneState& plane);
    ~WalkLines();
    WalkLines(const WalkLines&) = delete;
    WalkLines& operator=(const WalkLines&) = delete;
    // GetDelta(plane, W, H, P) for the plane the lines were built from.
    TDPoint Delta(double W, double H, TDPoint P);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The same with W and H read from the document's fields now.
TDPoint GetDelta(const Document& doc, TDPoint P, DeltaSink* draw = nullptr);
// The same for the current plane with W and H already read; the construction
// lines and the answers are kept in the document's memo for as long as its
// calibration stays the same.
TDPoint GetDelta(const Document& doc, double W, double H, TDPoint P);

// Distance in millimetres from line A-B toward line D-E of the point P inside the
// band they bound, whose real width is h; V is the lines' vanishing point.
double GetDivDelta(TDPoint P, TDPoint A, TDPoint B, double h, TDPoint V, TDPoint D, TDPoint E);

// P moved onto the W- or H-direction line through A, whichever P is nearer to
// in plane terms.  P unchanged without a reference or when lines are parallel.
TDPoint GetOrthPoint(const Document& doc, TDPoint A, TDPoint P);
// P moved vertically onto the W-direction line through A.
TDPoint GetOrthXPoint(const Document& doc, TDPoint A, TDPoint P);
// P moved horizontally onto the H-direction line through A.
TDPoint GetOrthYPoint(const Document& doc, TDPoint A, TDPoint P);

// Sets a new reference rectangle on the current plane: the measurement base,
// base lines and every measurement of the plane are discarded.  The
// single-plane input also drops the cross line.
void SetReferenceRect(Document& doc, const std::array<TDPoint, 4>& corners, bool singlePlane);

// Measurement base given by two diagonal corners.
void SetBaseUnit(Document& doc, TDPoint u1, TDPoint u2);

// The unit cell that diagonal corners u1 and u2 would give on plane, checked as
// an outline; nothing of the plane changes.
OutlineFault CheckUnitCell(const TPlaneState& plane, TDPoint u1, TDPoint u2);

// When both base lines are set, derives the measurement base from them and
// rebuilds the unit cell.  The caller recomputes corrections and the summary.
void CalcuBaseUnitFromLines(TPlaneState& plane);

// Exchanges the current and the parked plane of setting 4 (nothing otherwise).
// W and H travel with their plane through the document's field texts.
void SwapBDS(Document& doc);

// A copy of doc with plane base (1 or 2) of setting 4 current, as SwapBDS
// would leave it: what an output draws for that plane.  doc itself is never
// exchanged, so a failure while drawing leaves the open document as it was.
// Outside the two-plane setting the copy is doc as it is.
Document PlaneView(const Document& doc, int base);
// The other plane of setting 4 current in a copy of doc (doc as it is outside it).
Document ParkedPlaneView(const Document& doc);

// The outline of a rectangle on the plane from two opposite corners A and B.
std::vector<TDPoint> RectangleOutline(const TBaseBlock& base, TDPoint A, TDPoint B);

// 1 when P lies on the left plane's side of the centre line, 2 on the right's.
int BaseHantei(const Document& doc, TDPoint P);

// The two-plane figure laid out around one click P inside the visible image
// area [visibleTopLeft, visibleBottomRight].  Result indices 1..6.
std::array<TDPoint, 7> SixPointFromClick(TDPoint P, TDPoint visibleTopLeft, TDPoint visibleBottomRight);

// Builds both planes of setting 4 from SixPoint: the right one is parked, the
// left one current (CurrentBase 1).  Marks the document modified.
void BuildTwoPlanes(Document& doc);

// SixPoint from the two planes of a loaded setting 4 (left plane current).
void RebuildSixPoint(Document& doc);

// After either rectangle of setting 4 changed: the figure (SixPoint) and the
// cross line at the top of the centre line follow the planes, and each plane's
// depth direction is taken afresh from the other's rectangle.  Nothing outside
// setting 4, or while a plane is missing.  The caller recomputes corrections.
void RebuildTwoPlaneGeometry(Document& doc);

// Makes the parked plane of setting 4 current for the life of the scope and
// puts everything back exactly afterwards.  Unlike SwapBDS it leaves the W and
// H texts as the user typed them, so drawing or recomputing the other plane has
// no visible side effect.
class ParkedPlaneScope {
public:
    explicit ParkedPlaneScope(Document& doc);
    ~ParkedPlaneScope();
    ParkedPlaneScope(const ParkedPlaneScope&) = delete;
    ParkedPlaneScope& operator=(const ParkedPlaneScope&) = delete;

private:
    void Exchange();
    Document& doc_;
    std::string w_, h_;
    std::uint8_t otherSet_;
    std::array<TDPoint, 6> otherRect_;
};

// Whatever a routine does with the planes of setting 4 (saving walks through
// both), the plane current at the start of the scope is current again at its
// end, on every path out, with the W and H texts exactly as the user left them:
// the user's next mark must land on the plane the user chose.
class CurrentPlaneKept {
public:
    explicit CurrentPlaneKept(Document& doc);
    ~CurrentPlaneKept();
    CurrentPlaneKept(const CurrentPlaneKept&) = delete;
    CurrentPlaneKept& operator=(const CurrentPlaneKept&) = delete;

private:
    Document& doc_;
    std::int32_t base_;
    std::string w_, h_;
};

} // namespace kvx
