#pragma once

// A document as estimators make them: an A4 sheet taped to a long wall that
// recedes to the left of a 24-megapixel photo, 300 marks between 30 and 300
// cells from the sheet, and one long chain traced along the wall.  The tests
// pin its outputs and the benchmarks time it, so both see the same document.

#include "measure/calibration.h"
#include "measure/model.h"
#include "scene.h"

#include <cmath>
#include <cstdint>

namespace kvx::test {

constexpr int kRealisticWidth = 6000;
constexpr int kRealisticHeight = 4000;
constexpr double kA4W = 210;
constexpr double kA4H = 297;

// The wall 8 m away, turned 55 degrees, the camera a little tilted.
inline Camera RealisticCamera()
{
    return Camera{55, 5, 8000, 4500, kRealisticWidth / 2.0, kRealisticHeight / 2.0};
}

// Numbers in [0, 1) that stay the same on every standard library.
class Sequence {
public:
    explicit Sequence(std::uint64_t seed) : state_(seed) {}
    double Next()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) * 0x1.0p-53;
    }
    double Between(double a, double b) { return a + (b - a) * Next(); }

private:
    std::uint64_t state_;
};

// A plane point (millimetres) between 30 and 300 cells from the sheet whose
// image lies inside the photo.
inline TDPoint FarPlanePoint(const Camera& cam, Sequence& seq)
{
    for (;;) {
        const TDPoint q{seq.Between(-300 * kA4W, -30 * kA4W), seq.Between(-30 * kA4H, 120 * kA4H)};
        const TDPoint p = cam.Project(q.x, q.y);
        if (p.x >= 0 && p.x < kRealisticWidth && p.y >= 0 && p.y < kRealisticHeight)
            return q;
    }
}

// Without farMarks the document holds the chain alone.
inline Document RealisticDocument(int chainSegments = 2700, bool farMarks = true)
{
    const Camera cam = RealisticCamera();
    Document doc;
    SetReferenceRect(doc, cam.Rect(0, 0, kA4W, kA4H), true);
    doc.KijunWText = "210";
    doc.KijunHText = "297";
    doc.TankaText = "1800";
    Sequence seq(20261210);
    for (int i = 0; i < 150 && farMarks; ++i) {
        const TDPoint a = FarPlanePoint(cam, seq);
        const TDPoint b{a.x + seq.Between(-3000, 3000), a.y + seq.Between(-2000, 2000)};
        TDistance d;
        d.start = cam.Project(a.x, a.y);
        d.end = cam.Project(b.x, b.y);
        doc.Plane.Distances.Append(d);
    }
    for (int i = 0; i < 150 && farMarks; ++i) {
        const TDPoint c = FarPlanePoint(cam, seq);
        const double w = seq.Between(500, 4000), h = seq.Between(500, 3000);
        TSpace s;
        s.kind = i % 4 == 3 ? kSpaceSub : kSpaceAdd;
        s.points = {cam.Project(c.x, c.y), cam.Project(c.x + w, c.y), cam.Project(c.x + w, c.y + h),
                    cam.Project(c.x, c.y + h), cam.Project(c.x, c.y)};
        s.correctedPoints.resize(s.points.size());
        if (i % 10 == 0)
            s.slantV = 30;
        doc.Plane.Spaces.Append(s);
    }
    // A skirting traced along the wall from near the sheet to 30 cells away,
    // each segment linked to the one before it.
    const std::int32_t first = doc.Plane.DistanceCount() + 1;
    TDPoint from{-300, -600};
    for (int k = 0; k < chainSegments; ++k) {
        const TDPoint to{-300 - (k + 1) * (30 * kA4W / chainSegments), -600 + 250 * std::sin((k + 1) * 0.05)};
        TDistance d;
        d.start = cam.Project(from.x, from.y);
        d.end = cam.Project(to.x, to.y);
        const std::int32_t i = first + k;
        d.prev = k == 0 ? 0 : i - 1;
        d.next = k + 1 == chainSegments ? 0 : i + 1;
        doc.Plane.Distances.Append(d);
        from = to;
    }
    doc.CurrentDistance = first + chainSegments - 1;
    doc.CurrentSpace = 1;
    return doc;
}

} // namespace kvx::test
