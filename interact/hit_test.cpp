#include "interact/hit_test.h"

#include "measure/computation.h"
#include "base/error_trail.h"
#include "measure/ideal_view.h"

#include <cmath>
#include <vector>

namespace kvx {

int SearchBasePointNo(const TPlaneState& plane, TDPoint P)
{
    return Guard("SearchBasePointNo", [&] {
        const auto& r = plane.base.BaseRect;
        auto prev = [](int k) { return k == 1 ? 4 : k - 1; };
        auto next = [](int k) { return k == 4 ? 1 : k + 1; };
        auto at = [&](int k) { return r[static_cast<std::size_t>(k)]; };
        double best = -1;
        int result = 1;
        for (int k = 1; k <= 4; ++k) {
            const TDPoint e1 = Polar(at(k), Angle(at(k), at(prev(k))), -1000);
            const double d1 = PLDist(P, at(k), e1).distance;
            if (best < 0 || d1 < best) {
                result = k;
                best = d1;
            }
            const TDPoint e2 = Polar(at(k), Angle(at(k), at(next(k))), -1000);
            const double d2 = PLDist(P, at(k), e2).distance;
            if (d2 < best) {
                result = -k;
                best = d2;
            }
        }
        return result;
    });
}

std::int32_t SearchDistanceNo(const Document& doc, TDPoint P, double dispScale)
{
    return Guard("SearchDistanceNo", [&] {
        double best = kPickRadius / dispScale;
        std::int32_t result = 0;
        const TPlaneState& plane = doc.Plane;
        for (std::int32_t i = 1; i <= plane.DistanceCount(); ++i) {
            const TDistance& d = plane.Distances[i];
            if (d.group != doc.CurrentGroup)
                continue;
            const double dist = PLDist(P, d.start, d.end).distance;
            if (dist < best) {
                result = i;
                best = dist;
            }
        }
        return result;
    });
}

std::int32_t SearchSpacePointNo(const Document& doc, TDPoint P, bool withVertices, double dispScale,
                                std::int32_t& vertex)
{
    return Guard("SearchSpacePointNo", [&] {
        const TPlaneState& plane = doc.Plane;
        std::int32_t result = 0;
        double smallest = 0;
        for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i) {
            const TSpace& s = plane.Spaces[i];
            if (s.group != doc.CurrentGroup || !Inner(P, s.points, true))
                continue;
            TSpaceResult r;
            CalcuSpace(doc, i, r);
            if (result == 0 || r.area < smallest) {
                result = i;
                smallest = r.area;
            }
        }
        vertex = -1;
        if (withVertices) {
            double best = kPickRadius / dispScale;
            for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i) {
                const TSpace& s = plane.Spaces[i];
                if (s.group != doc.CurrentGroup || s.count() < 2)
                    continue;
                for (std::int32_t k = 0; k <= s.count() - 2; ++k) {
                    const double d = Distance(P, s.points[static_cast<std::size_t>(k)]);
                    if (d < best) {
                        result = i;
                        vertex = k;
                        best = d;
                    }
                }
            }
        }
        return result;
    });
}

std::int32_t SearchCheckNo(const Document& doc, TDPoint P, double dispScale)
{
    return Guard("SearchCheckNo", [&] {
        double best = kPickRadius / dispScale;
        std::int32_t result = 0;
        for (std::int32_t i = 1; i <= doc.Plane.Checks.Count(); ++i) {
            const TCheck& c = doc.Plane.Checks[i];
            const double dist = PLDist(P, c.start, c.end).distance;
            if (dist < best) {
                result = i;
                best = dist;
            }
        }
        return result;
    });
}

MarkRef MarkUnder(const Document& doc, TDPoint P, double dispScale)
{
    return Guard("MarkUnder", [&] {
        const TPlaneState& plane = doc.Plane;
        MarkRef found;
        double best = kPickRadius / dispScale;
        if (doc.View.DistanceView) {
            for (std::int32_t i = 1; i <= plane.DistanceCount(); ++i) {
                const TDistance& d = plane.Distances[i];
                const double dist = PLDist(P, d.start, d.end).distance;
                if (dist < best) {
                    found = {MarkKind::Distance, i};
                    best = dist;
                }
            }
        }
        for (std::int32_t i = 1; i <= plane.Checks.Count(); ++i) {
            const TCheck& c = plane.Checks[i];
            const double dist = PLDist(P, c.start, c.end).distance;
            if (dist < best) {
                found = {MarkKind::Check, i};
                best = dist;
            }
        }
        if (found.kind != MarkKind::None || !doc.View.SpaceView)
            return found;
        double smallest = 0;
        for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i) {
            const TSpace& s = plane.Spaces[i];
            if (s.count() < 4 || !Inner(P, s.points, true))
                continue;
            const double area = PolygonSpace(s.points, s.count() - 1);
            if (found.kind == MarkKind::None || area < smallest) {
                found = {MarkKind::Area, i};
                smallest = area;
            }
        }
        return found;
    });
}

namespace {

// The kept edges as the shown photo has them (they are kept in sensor pixels).
std::vector<std::vector<TDPoint>> ShownEdges(const Document& doc)
{
    std::vector<std::vector<TDPoint>> shown;
    if (!doc.Lens || doc.Lens->kind != LensChoiceKind::Edges)
        return shown;
    for (const std::vector<TDPoint>& edge : doc.Lens->edges) {
        std::vector<TDPoint>& run = shown.emplace_back();
        run.reserve(edge.size());
        for (const TDPoint p : edge)
            run.push_back(SensorToShown(doc, p));
    }
    return shown;
}

double SegmentDistance(TDPoint p, TDPoint a, TDPoint b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0.0;
    t = std::fmin(1.0, std::fmax(0.0, t));
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

} // namespace

std::optional<EdgePointRef> StraightEdgePointNear(const Document& doc, TDPoint P, double dispScale)
{
    double best = kPickRadius / dispScale;
    std::optional<EdgePointRef> found;
    const std::vector<std::vector<TDPoint>> edges = ShownEdges(doc);
    for (std::size_t e = 0; e < edges.size(); ++e) {
        for (std::size_t i = 0; i < edges[e].size(); ++i) {
            const double d = std::hypot(edges[e][i].x - P.x, edges[e][i].y - P.y);
            if (d <= best) {
                best = d;
                found = EdgePointRef{e, i};
            }
        }
    }
    return found;
}

std::optional<std::size_t> StraightEdgeNear(const Document& doc, TDPoint P, double dispScale)
{
    double best = kPickRadius / dispScale;
    std::optional<std::size_t> found;
    const std::vector<std::vector<TDPoint>> edges = ShownEdges(doc);
    for (std::size_t e = 0; e < edges.size(); ++e) {
        for (std::size_t i = 0; i < edges[e].size(); ++i) {
            const TDPoint b = edges[e][i];
            const TDPoint a = i > 0 ? edges[e][i - 1] : b;
            const double d = SegmentDistance(P, a, b);
            if (d <= best) {
                best = d;
                found = e;
            }
        }
    }
    return found;
}

} // namespace kvx
