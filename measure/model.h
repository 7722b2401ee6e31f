#pragma once

// The measurements of the one open photo: reference planes, distances, areas,
// settings and groups.  Everything lives in one Document that the window, the
// tools and the exporters are handed explicitly.
//
// Image points are pixels of the decoded photo (origin top-left, y down); plane
// points are millimetres from the unit-cell centre (X right, Y up).  Arrays that
// the measuring code indexes from 1 are OneBased: element 0 does not exist and
// the valid indices are 1..Count().

#include "measure/delta_memo.h"
#include "measure/geometry.h"
#include "measure/lens_file.h"
#include "measure/orientation.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvx {

// A list indexed 1..Count(), as every distance and area number the user sees is.
template <class T>
class OneBased {
public:
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
    bool empty() const { return items_.empty(); }
    bool Valid(std::int32_t i) const { return i >= 1 && i <= Count(); }

    T& operator[](std::int32_t i) { return items_.at(static_cast<std::size_t>(i - 1)); }
    const T& operator[](std::int32_t i) const { return items_.at(static_cast<std::size_t>(i - 1)); }

    // Appends and returns the new element's index.
    std::int32_t Append(T item)
    {
        items_.push_back(std::move(item));
        return Count();
    }
    void Erase(std::int32_t i) { items_.erase(items_.begin() + (i - 1)); }
    void Clear() { items_.clear(); }
    void Reserve(std::size_t n) { items_.reserve(n); }

    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    friend bool operator==(const OneBased&, const OneBased&) = default;

private:
    std::vector<T> items_;
};

// One distance: two image end points, linked to its neighbours in a continuous
// chain by index (0 = none).  96 bytes in a working file.
struct TDistance {
    std::int32_t group = 0;
    TDPoint start;
    TDPoint end;
    std::int32_t prev = 0;
    std::int32_t next = 0;
    std::uint8_t corrected = 0;
    TDPoint correctionRef;
    TDPoint correctedStart;
    TDPoint correctedEnd;

    friend bool operator==(const TDistance&, const TDistance&) = default;
};

// A check distance: two image points whose real distance the user knows and
// typed.  It checks the reference and never joins a total or the CSV; it is
// kept in a file of its own beside the plane's working file.
struct TCheck {
    TDPoint start;
    TDPoint end;
    double known = 0.0;  // mm, as typed

    friend bool operator==(const TCheck&, const TCheck&) = default;
};

enum : std::uint8_t { kSpaceSub = 0, kSpaceAdd = 1 };

// Every distance and area belongs to one of the groups 0..5.
inline constexpr std::int32_t kFirstGroup = 0;
inline constexpr std::int32_t kLastGroup = 5;
// The steepest slope an area may have, either way, in degrees: the secant
// the plane coordinates are stretched by stays finite and sensible.
inline constexpr double kMaxSlopeDegrees = 89;
// Far more points than anyone clicks or a traced outline needs; a file that
// claims more is damaged or made to stall the program.
inline constexpr std::int32_t kMaxAreaPoints = 100'000;

// One area: a closed outline of image points (last == first), added or
// subtracted, with slopes in degrees and a name of at most 20 CP932 bytes.
struct TSpace {
    std::int32_t group = 0;
    std::uint8_t kind = kSpaceAdd;
    std::vector<TDPoint> points;           // 0-based, count() long
    std::uint8_t corrected = 0;
    TDPoint correctionRef;
    std::vector<TDPoint> correctedPoints;  // 0-based, same length as points
    double slantV = 0.0;
    double slantH = 0.0;
    std::string name;                      // CP932 bytes, at most 20

    std::int32_t count() const { return static_cast<std::int32_t>(points.size()); }

    friend bool operator==(const TSpace&, const TSpace&) = default;
};

// The calibration inputs of one plane and the vanishing points derived from them.
// Point arrays are indexed as the user numbers them: BaseRect[1..5],
// BaseLineW/BaseLineH/BaseUnit[1..2]; element 0 is unused.
struct TBaseBlock {
    std::uint8_t BaseSet = 0;
    std::array<TDPoint, 6> BaseRect{};
    std::uint8_t BaseLineWSet = 0;
    std::uint8_t BaseLineHSet = 0;
    std::array<TDPoint, 3> BaseLineW{};
    std::array<TDPoint, 3> BaseLineH{};
    std::uint8_t BaseUnitSet = 0;
    std::array<TDPoint, 3> BaseUnit{};
    TDPoint VanishW;
    TDPoint VanishH;
    TDPoint VanishOtherW;

    friend bool operator==(const TBaseBlock&, const TBaseBlock&) = default;
};

// How far the true size of a reference found as a paper sheet or a card may
// be from the size it was taken at: the makers cut within a tolerance, and a
// sheet taken at its nominal size carries that into every length measured
// against it.  w and h are the W and H the sheet gave; dw and dh the standard
// uncertainties of the true sizes, mm.  A reference clicked by hand has none;
// nor has a sheet's once W or H no longer say its size.
struct SizeTolerance {
    double w = 0, h = 0;
    double dw = 0, dh = 0;

    bool Any() const { return dw > 0 || dh > 0; }
    friend bool operator==(const SizeTolerance&, const SizeTolerance&) = default;
};

// Everything of one reference plane.  UnitPoint: 0 top-left, 1 top-right,
// 2 bottom-right, 3 bottom-left, 4 = 0, 5 centre.
struct TPlaneState {
    TBaseBlock base;
    std::array<TDPoint, 6> UnitPoint{};
    OneBased<TDistance> Distances;
    OneBased<TSpace> Spaces;
    OneBased<TCheck> Checks;
    double BaseW = 1000.0;  // W and H only while the plane is parked
    double BaseH = 1000.0;
    // The found sheet's own tolerance (kept in a side file of the plane's).
    SizeTolerance SheetSize;

    std::int32_t DistanceCount() const { return Distances.Count(); }
    std::int32_t SpaceCount() const { return Spaces.Count(); }

    friend bool operator==(const TPlaneState&, const TPlaneState&) = default;
};

// The image processing settings stored with each setting.
struct ImageEffects {
    std::int32_t Rotate = 0;    // 0 none, 1 +90 deg, 2 -90 deg
    std::int32_t Noise = 0;     // 0..255
    std::int32_t Sharp = 0;     // 0..100
    std::int32_t Chroma = 0;    // -100..1000
    std::int32_t RGBLevel = 0;  // -255..255
    std::uint8_t RevRed = 0;
    std::uint8_t RevGreen = 0;
    std::uint8_t RevBlue = 0;
    friend bool operator==(const ImageEffects&, const ImageEffects&) = default;
};

// What the overlay shows; part of the document because loading a setting turns
// the first three on again.
struct ViewToggles {
    bool DistanceView = true;
    bool SpaceView = true;
    bool BaseView = true;
    bool TextView = true;
    bool SpaceNameView = true;
};

// How the photo as shown lies on the camera's sensor, where a lens model
// lives: the EXIF orientation that turned it upright and its size as stored.
// The image processing's quarter turn comes on top (Document::Effects).
struct SensorFrame {
    int orientation = 1;
    PixelSize stored;
    friend bool operator==(const SensorFrame&, const SensorFrame&) = default;
};

struct Document;

// Which state of its document a Document is in, for caches of what is worked
// out from the whole document.  Only the Editor, the document's one writer,
// gives its document a revision, a new one after every change; a number is
// never given twice, so two documents never share one.  0 is a document
// nobody tracks (a copy, a document built in place, one in the middle of a
// change): nothing may be cached for it.  A copy or an assignment makes a
// document of its own, untracked, and keeps nothing cached.
class DocumentRevision {
public:
    DocumentRevision() = default;
    DocumentRevision(const DocumentRevision&) noexcept {}
    DocumentRevision& operator=(const DocumentRevision&) noexcept
    {
        Forget();
        view_.reset();
        return *this;
    }
    ~DocumentRevision();

    std::uint64_t Value() const { return value_; }
    // A new number: the document changed.
    void Advance();
    // Untracked until the next Advance: the document is being changed.
    void Forget();

    // The document as the ideal camera sees it (measure/ideal_view.h), made
    // for Value(); empty when none was made for it.
    std::shared_ptr<const Document> IdealView() const;
    // The view made last, for whatever revision: only its memo of plane
    // coordinates, which is keyed by the calibration itself, may serve another.
    std::shared_ptr<const Document> LastIdealView() const { return view_; }
    void KeepIdealView(std::shared_ptr<const Document> view) const;

private:
    std::uint64_t value_ = 0;
    mutable std::uint64_t viewFor_ = 0;
    mutable std::shared_ptr<const Document> view_;
};

// The open photo's measuring state.
struct Document {
    TPlaneState Plane;
    TPlaneState ParkedPlane;  // the other plane of setting 4
    std::int32_t CurrentSetting = 1;  // 1..4; 4 = two planes at once
    std::int32_t CurrentBase = 0;     // 0, or in setting 4: 1 left, 2 right plane current
    std::uint8_t OtherBaseSet = 0;
    std::array<TDPoint, 6> OtherBaseRect{};  // [1..5]
    std::uint8_t CrossLineSet = 0;
    TDPoint CrossLinePoint;
    std::array<TDPoint, 7> SixPoint{};  // [1..6]
    std::int32_t CurrentGroup = 0;      // 0..5
    std::int32_t CurrentDistance = 0;   // 0 = none
    std::int32_t CurrentSpace = 0;      // 0 = none
    std::uint8_t Modified = 0;
    OneBased<TDPoint> InputPoints;      // points of the command under way
    std::string ImageFileName;
    std::int32_t ImageCheckSum = 0;
    // A strong fingerprint of the photo file's bytes (hex), computed where the
    // photo is read; empty when unknown.
    std::string ImageFingerprint;
    // The key of the photo's per-image copies, chosen when it was opened
    // (ResolvePerImageKey); empty: the legacy key of name and checksum.
    std::string ImageKey;
    ImageEffects Effects;
    ViewToggles View;

    // The lens correction the user chose for this photo, as its side file
    // keeps it; empty: none chosen, and a camera profile matching the photo
    // (AutoLens) is used if there is one.  Straight edges are sensor pixels.
    std::optional<LensChoice> Lens;
    // The profile found for the photo's camera when it was opened, and its name.
    LensModel AutoLens;
    std::string AutoLensName;
    // That profile's standard deviation of k (k1 for Brown-Conrady); 0 unknown.
    double AutoLensKUncertainty = 0.0;
    SensorFrame Sensor;
    // In a view through the lens (measure/ideal_view.h) the standard
    // uncertainty of the division model's k as its edges fix it, or of a
    // profile's k (k1 for Brown-Conrady) as its calibration told it, for the
    // uncertainty of every result; 0 elsewhere and for a profile that told none.
    double LensKUncertainty = 0.0;
    // A view through the lens: its points are the ideal camera's already,
    // and a view of it is itself.
    bool IdealCamera = false;

    // The texts of the W, H and unit-price fields.  They are the live values:
    // every computation reads them through StrToVal when it needs them.
    std::string KijunWText = "1000";
    std::string KijunHText = "1000";
    std::string TankaText = "0";

    // Plane coordinates already worked out for the current calibration; a
    // cache that GetDelta keeps, not part of the document's meaning.
    mutable DeltaMemo Deltas;

    // Not part of the document's meaning either: see DocumentRevision.
    DocumentRevision Revision;

    std::int32_t InputCount() const { return InputPoints.Count(); }
    double W() const { return StrToVal(KijunWText); }
    double H() const { return StrToVal(KijunHText); }
    double UnitPrice() const { return StrToVal(TankaText); }
};

// Empties the measurements for a newly opened photo: setting 1, group 0, no
// reference in either plane, no distances or areas, no image processing.  The
// tool mode is the caller's.
void Init(Document& doc);

// "Start over": clears the current plane (both planes in setting 4) and the cross
// line; W, H, SixPoint and OtherBaseRect stay.
void Reset(Document& doc);

// Clears one plane's reference, base lines, measurement base and measurements.
void ClearPlane(Document& doc, TPlaneState& plane);

// Index of the first and the last segment of the continuous chain holding
// distance i.  A chain's segments have consecutive indices and link both ways,
// so only such links are followed: a link left dangling or damaged in a file
// can neither loop nor join a distance that is not part of the chain.
std::int32_t ChainFirst(const TPlaneState& plane, std::int32_t i);
std::int32_t ChainLast(const TPlaneState& plane, std::int32_t i);

// Clears every link that is not adjacent and mutual.  A file written while a
// chain was half open holds a link to a distance that does not exist yet; kept,
// it would join the next single distance to the chain.
void DropLooseLinks(TPlaneState& plane);

// The previous / next segment of distance k in its chain, or 0.
std::int32_t ChainPrev(const TPlaneState& plane, std::int32_t k);
std::int32_t ChainNext(const TPlaneState& plane, std::int32_t k);

} // namespace kvx
