#include "view/view_mapping.h"

#include "base/error_trail.h"

namespace kvx {

TPoint WtoS(const ViewState& view, TDPoint p)
{
    return Guard("WtoS", [&] {
        // The offset is added after rounding; the sum is range-checked again so a
        // far-off point cannot overflow the screen coordinate.
        auto axis = [&](double v, std::int32_t start, std::int32_t offset) {
            const long double r = static_cast<long double>(
                static_cast<std::int64_t>(Roundoff((static_cast<long double>(v) - start) * view.DispScale)) + offset);
            return Roundoff(r);
        };
        return TPoint{axis(p.x, view.StartX, view.DispOffsetX), axis(p.y, view.StartY, view.DispOffsetY)};
    });
}

TDPoint StoW(const ViewState& view, TPoint s)
{
    return DPoint(static_cast<long double>(s.x - view.DispOffsetX) / view.DispScale + view.StartX,
                  static_cast<long double>(s.y - view.DispOffsetY) / view.DispScale + view.StartY);
}

} // namespace kvx
