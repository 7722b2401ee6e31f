#include "output/overlay/overlay.h"

#include "base/translate.h"

#include "measure/calibration.h"
#include "measure/checks.h"
#include "measure/computation.h"
#include "measure/ideal_view.h"
#include "measure/cp932.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"
#include "base/error_trail.h"
#include "view/view_mapping.h"

#include <algorithm>
#include <tuple>
#include <cmath>
#include <cstdio>

namespace kvx {

namespace {

constexpr double kRayLength = 5000.0;       // image pixels beyond a corner
constexpr double kCrossLineLength = 5000.0;  // device pixels beyond the cross-line point
constexpr int kHandleRadius = 20;
constexpr int kEndRadius = 2;
// The straight edges' points: small enough not to hide the edge they sit on.
constexpr int kEdgePointRadius = 3;
// Cyan (blue, green, red from the high byte): no mark of the measuring has it.
constexpr std::int32_t kStraightEdgeColour = 0xFFFF00;
constexpr int kPolygonStartRadius = 10;
// Far enough that no line cut to the view can reach it, near enough for int32.
constexpr double kDeviceLimit = 1.0e9;

class Painter {
public:
    Painter(Canvas& canvas, const Document& doc, const OverlayContext& c)
        : canvas_(canvas), doc_(doc), c_(c), colors_(ColorsFor(*c.settings, c.which))
    {
        // The view with a margin, so that lines cut to it still leave the device.
        const double margin = 50.0 / std::max(c.scale, 1e-9);
        x0_ = c.left - margin;
        y0_ = c.top - margin;
        x1_ = c.left + c.viewWidth + margin;
        y1_ = c.top + c.viewHeight + margin;
    }

    TPoint Device(TDPoint p) const
    {
        auto axis = [&](double v, std::int32_t origin, std::int32_t offset) {
            const long double d = std::clamp<long double>((static_cast<long double>(v) - origin) * c_.scale,
                                                          -kDeviceLimit, kDeviceLimit);
            return Roundoff(d) + offset;
        };
        return {axis(p.x, c_.left, c_.offsetX), axis(p.y, c_.top, c_.offsetY)};
    }

    void Pen(PrintInfo& info, std::int32_t colour, int width, std::uint8_t style) const
    {
        ClearPrintInfo(info);
        info.PenColor = colour;
        info.PenWidth = width;
        info.LineStyle = style;
    }

    void Line(TDPoint a, TDPoint b, const PrintInfo& info)
    {
        if (lens_ && Curve(a, b, info))
            return;
        Straight(a, b, info);
    }

    // A line straight on the plane as the photo shows it through the lens:
    // short pieces along the ideal camera's straight line, each end taken
    // back to the photo.  False when the lens cannot map an end (a vanishing
    // point far away): the caller draws it straight.
    bool Curve(TDPoint a, TDPoint b, const PrintInfo& info)
    {
        const std::optional<TDPoint> ia = ShownToIdeal(doc_, a), ib = ShownToIdeal(doc_, b);
        if (!ia || !ib)
            return false;
        // A piece every 16 device pixels is within a small fraction of a
        // pixel of the curve for any lens a camera has.
        const double length = std::hypot(ib->x - ia->x, ib->y - ia->y) * c_.scale;
        const int pieces = std::clamp(static_cast<int>(length / 16.0), 1, 256);
        std::vector<TDPoint> points;
        points.reserve(static_cast<std::size_t>(pieces) + 1);
        for (int i = 0; i <= pieces; ++i) {
            const double t = static_cast<double>(i) / pieces;
            const std::optional<TDPoint> p = IdealToShown(doc_, {ia->x + (ib->x - ia->x) * t, ia->y + (ib->y - ia->y) * t});
            if (!p)
                return false;
            points.push_back(*p);
        }
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            Straight(points[i], points[i + 1], info);
        return true;
    }

    void Straight(TDPoint a, TDPoint b, const PrintInfo& info)
    {
        const auto cut = ClipSegment(a, b, x0_, y0_, x1_, y1_);
        if (!cut)
            return;
        const TPoint da = Device(cut->first);
        const TPoint db = Device(cut->second);
        canvas_.Line({da.x, da.y, db.x, db.y}, info);
    }

    void Circle(TDPoint centre, int radius, const PrintInfo& info)
    {
        const TPoint d = Device(centre);
        canvas_.Ellipse({d.x - radius, d.y - radius, d.x + radius, d.y + radius}, info);
    }

    // Measures a label: the device's own measure, or the estimate from its bytes.
    void Measure(PrintInfo& info, int& w, int& h)
    {
        if (!canvas_.TextExtent(info, w, h)) {
            const int size = c_.settings->DrawTextSize;
            w = static_cast<int>(Utf8ToCp932(info.Text).size()) * (size / 2);
            h = size;
        }
    }

    void Label(PrintInfo& info, std::int32_t colour, const std::string& text)
    {
        info.TextColor = colour;
        info.FontSize = static_cast<std::int16_t>(c_.settings->DrawTextSize);
        info.Text = text;
    }

    // A ray from the vanishing point v through a corner, ending 5000 image pixels beyond it.
    void Ray(TDPoint v, TDPoint corner, const PrintInfo& info)
    {
        Line(v, Polar(corner, Angle(v, corner), kRayLength), info);
    }

    void Draw();

private:
    bool Adjusting(uCommand mode) const { return c_.uCommand == mode && doc_.InputCount() == 0; }
    bool Picked(uCommand mode) const { return c_.uCommand == mode && doc_.InputCount() == 1; }
    bool Skipped(uCommand adjustMode) const
    {
        const uCommand m = c_.uCommand;
        if (m == uCommand::Base || m == uCommand::BaseOnePoint || m == uCommand::BaseSixPoint)
            return true;
        return Picked(adjustMode) && !c_.settings->AdjustDrawFlag;
    }
    bool Active() const { return c_.which != 2; }
    bool CorrectionShown(std::uint8_t corrected) const
    {
        const TBaseBlock& b = doc_.Plane.base;
        return b.BaseSet == 1 && doc_.OtherBaseSet == 1 && doc_.CrossLineSet == 1 && corrected == 1;
    }

    void Reference();
    void BaseLine(std::uint8_t set, const std::array<TDPoint, 3>& line);
    void MeasurementBase();
    void Distances();
    void Areas();
    void Checks();
    void InputInProgress();
    void StraightEdges();
    void EdgeRun(const std::vector<TDPoint>& points, const PrintInfo& info);
    void Diagnostic();

public:
    int process = 0;

private:
    // The document the labels' numbers come from (through the lens, when one
    // is in force); the marks are drawn where they were placed.
    const Document& M() const
    {
        if (!measured_)
            measured_.emplace(doc_);
        return **measured_;
    }

    Canvas& canvas_;
    const Document& doc_;
    mutable std::optional<Measured> measured_;
    // With a lens in force, what is straight on the plane is drawn as the
    // curve the photo shows; a view through the lens is drawn over the photo
    // straightened, where it is straight.
    const bool lens_ = CorrectsLens(doc_) && !doc_.IdealCamera;
    const OverlayContext& c_;
    OverlayColors colors_;
    double x0_, y0_, x1_, y1_;
};

void Painter::Reference()
{
    const TBaseBlock& b = doc_.Plane.base;
    const auto& r = b.BaseRect;
    PrintInfo info;
    if (b.BaseSet == 1 && !Skipped(uCommand::BaseAdjust)) {
        Pen(info, colors_.Base, 1, kStyleConstruction);
        Ray(b.VanishW, r[1], info);
        Ray(b.VanishW, r[4], info);
        Ray(b.VanishH, r[1], info);
        Ray(b.VanishH, r[2], info);
        Pen(info, colors_.Base, 1, kStyleSolid);
        for (int i = 1; i <= 4; ++i)
            Line(r[static_cast<std::size_t>(i)], r[static_cast<std::size_t>(i + 1)], info);
        // The lengths typed as W and H belong to these edges (the top one and
        // the one after it), whichever corner was clicked first.
        for (const auto& [from, to, name] : {std::tuple{1, 2, "W"}, std::tuple{2, 3, "H"}}) {
            Label(info, colors_.Base, name);
            int w = 0, h = 0;
            Measure(info, w, h);
            const TPoint m = Device(MidPoint(r[static_cast<std::size_t>(from)], r[static_cast<std::size_t>(to)]));
            canvas_.DrawText({m.x - w / 2, m.y + h / 2, m.x + w / 2, m.y - h / 2}, info);
        }
        if (Adjusting(uCommand::BaseAdjust) && Active()) {
            for (int i = 1; i <= 4; ++i)
                Circle(r[static_cast<std::size_t>(i)], kHandleRadius, info);
        }
    }
    if (c_.uCommand == uCommand::CrossLine && doc_.OtherBaseSet == 1) {
        Pen(info, colors_.Base, 1, kStyleSolid);
        for (int i = 1; i <= 4; ++i)
            Line(doc_.OtherBaseRect[static_cast<std::size_t>(i)], doc_.OtherBaseRect[static_cast<std::size_t>(i + 1)],
                 info);
    }
    if (b.BaseSet == 1 && doc_.OtherBaseSet == 1 && doc_.CrossLineSet == 1 && c_.uCommand != uCommand::CrossLine) {
        Pen(info, colors_.CrossLine, 1, kStyleSolid);
        const TDPoint far = Polar(doc_.CrossLinePoint, Angle(b.VanishH, doc_.CrossLinePoint),
                                  kCrossLineLength / std::max(c_.scale, 1e-9));
        Line(b.VanishH, far, info);
    }
}

void Painter::BaseLine(std::uint8_t set, const std::array<TDPoint, 3>& line)
{
    if (set != 1 || Skipped(uCommand::BaseLineAdjust))
        return;
    PrintInfo info;
    Pen(info, colors_.BaseLine, 1, kStyleSolid);
    Line(line[1], line[2], info);
    Circle(line[1], kEndRadius, info);
    Circle(line[2], kEndRadius, info);
    if (Adjusting(uCommand::BaseLineAdjust) && Active()) {
        Circle(line[1], kHandleRadius, info);
        Circle(line[2], kHandleRadius, info);
    }
}

void Painter::MeasurementBase()
{
    const TBaseBlock& b = doc_.Plane.base;
    if (b.BaseUnitSet != 1 || Skipped(uCommand::BaseUnitAdjust))
        return;
    const auto& u = doc_.Plane.UnitPoint;
    PrintInfo info;
    Pen(info, colors_.BaseUnit, 1, kStyleConstruction);
    Ray(b.VanishW, u[0], info);
    Ray(b.VanishW, u[3], info);
    Ray(b.VanishH, u[0], info);
    Ray(b.VanishH, u[1], info);
    Pen(info, colors_.BaseUnit, 1, kStyleSolid);
    for (std::size_t i = 1; i <= 4; ++i)
        Line(u[i - 1], u[i], info);
    if (Adjusting(uCommand::BaseUnitAdjust) && Active()) {
        Circle(b.BaseUnit[1], kHandleRadius, info);
        Circle(b.BaseUnit[2], kHandleRadius, info);
    }
}

void Painter::Distances()
{
    if (!doc_.View.DistanceView || Skipped(uCommand::DistanceAdjust))
        return;
    const TPlaneState& plane = doc_.Plane;
    const uCommand m = c_.uCommand;
    for (std::int32_t i = 1; i <= plane.DistanceCount(); ++i) {
        const TDistance& d = plane.Distances[i];
        if (d.group != doc_.CurrentGroup)
            continue;
        PrintInfo info;
        const std::uint8_t style =
            m == uCommand::DistanceDel ? kStyleDelete : (CorrectionShown(d.corrected) ? kStyleCorrected : kStyleSolid);
        // Without a tool, the mark chosen in the table of results.
        const bool current = i == doc_.CurrentDistance && (m == uCommand::None || m == uCommand::Distance || m == uCommand::DistanceDel ||
                                                           m == uCommand::DistanceHosei || Adjusting(uCommand::DistanceAdjust));
        Pen(info, colors_.Distance, current ? 2 : 1, style);
        Line(d.start, d.end, info);
        Circle(d.start, kEndRadius, info);
        Circle(d.end, kEndRadius, info);

        if (doc_.View.TextView) {
            const bool endsChain = ChainPrev(plane, i) >= 1 && ChainNext(plane, i) == 0;
            TDistanceResult r;
            CalcuDistance(M(), i, r, endsChain ? ChainSums::Sum : ChainSums::Skip);
            std::optional<double> total;
            if (endsChain)
                total = r.distance + r.before + r.after;
            std::optional<double> u;
            if (c_.uncertaintySigma)
                u = DistanceUncertainty(M(), i, *c_.uncertaintySigma);
            Label(info, colors_.Distance, DistanceLabel(r.distance, total, u));
            int w = 0, h = 0;
            Measure(info, w, h);
            const TPoint p2 = Device(d.end);
            const double a = Angle(d.start, d.end);
            TRect box;
            if (a > 90 && a < 180)
                box = {p2.x - w, p2.y + h, p2.x, p2.y};
            else if (a >= 180 && a < 270)
                box = {p2.x - w, p2.y - h, p2.x, p2.y};
            else if (a == 0 || a >= 270)
                box = {p2.x, p2.y, p2.x + w, p2.y - h};
            else
                box = {p2.x, p2.y + h, p2.x + w, p2.y};
            canvas_.DrawText(box, info);
        }
        if (Adjusting(uCommand::DistanceAdjust) && Active()) {
            Pen(info, colors_.Distance, current ? 2 : 1, style);
            Circle(d.start, kHandleRadius, info);
            Circle(d.end, kHandleRadius, info);
        }
        if (i == doc_.CurrentDistance && d.corrected == 1 &&
            (m == uCommand::Distance || m == uCommand::DistanceHosei || m == uCommand::DistanceHoseiDel || Adjusting(uCommand::DistanceAdjust))) {
            Pen(info, colors_.Distance, 1, kStyleConstruction);
            Line(d.correctedStart, d.correctedEnd, info);
            Line(d.correctedStart, d.start, info);
            Line(d.correctedEnd, d.end, info);
            Pen(info, colors_.Distance, 2, kStyleSolid);
            const SideProjection sp = DistanceSideProjection(doc_, i);
            Line(sp.nearPoint, sp.farPoint, info);
        }
    }
}

void Painter::Checks()
{
    if (!c_.checks || doc_.Plane.Checks.empty())
        return;
    // One colour for every check, the other plane's included: a check is
    // never mistaken for a distance, which has the settings' colours.
    constexpr std::int32_t kCheckColour = 0xFF00FF;
    if (doc_.Plane.base.BaseSet != 1)
        return;
    // The label needs no uncertainty: none is worked out on a repaint.
    for (std::int32_t i = 1; i <= doc_.Plane.Checks.Count(); ++i) {
        const TCheck& k = doc_.Plane.Checks[i];
        PrintInfo info;
        Pen(info, kCheckColour, 1, c_.uCommand == uCommand::CheckDel ? kStyleDelete : kStyleConstruction);
        Line(k.start, k.end, info);
        Pen(info, kCheckColour, 1, kStyleSolid);
        Circle(k.start, kEndRadius, info);
        Circle(k.end, kEndRadius, info);
        if (!doc_.View.TextView)
            continue;
        const double measured = MeasuredLength(M(), k);
        Label(info, kCheckColour, CheckLabel(i, measured, measured - k.known));
        int w = 0, h = 0;
        Measure(info, w, h);
        const TPoint a = Device(k.start);
        const TPoint b = Device(k.end);
        const TPoint mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
        canvas_.DrawText({mid.x - w / 2, mid.y, mid.x + w - w / 2, mid.y - h}, info);
    }
}

void Painter::Areas()
{
    if (!doc_.View.SpaceView || Skipped(uCommand::SpaceAdjust))
        return;
    const TPlaneState& plane = doc_.Plane;
    const uCommand m = c_.uCommand;
    for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i) {
        const TSpace& s = plane.Spaces[i];
        if (s.group != doc_.CurrentGroup)
            continue;
        PrintInfo info;
        const std::uint8_t style =
            m == uCommand::SpaceDel ? kStyleDelete : (CorrectionShown(s.corrected) ? kStyleCorrected : kStyleSolid);
        const std::int32_t colour = s.kind == kSpaceAdd ? colors_.SpaceAdd : (s.kind == kSpaceSub ? colors_.SpaceSub : 0);
        const bool current = i == doc_.CurrentSpace &&
                             (m == uCommand::None || m == uCommand::SpaceAdd || m == uCommand::SpaceSub || m == uCommand::SpaceDel || m == uCommand::SpaceSlant ||
                              m == uCommand::SpaceHosei || m == uCommand::SpaceHoseiDel || Adjusting(uCommand::SpaceAdjust));
        Pen(info, colour, current ? 2 : 1, style);
        const int n = s.count();
        const bool handles = Adjusting(uCommand::SpaceAdjust) && Active() && (c_.polygonMode || n == 5);
        long double length = 0, sumX = 0, sumY = 0;
        for (int j = 0; j + 1 < n; ++j) {
            const TDPoint a = s.points[static_cast<std::size_t>(j)];
            const TDPoint b = s.points[static_cast<std::size_t>(j) + 1];
            Line(a, b, info);
            if (handles)
                Circle(a, kHandleRadius, info);
            const TPoint da = Device(a);
            const TPoint db = Device(b);
            const long double dx = static_cast<long double>(db.x) - da.x;
            const long double dy = static_cast<long double>(db.y) - da.y;
            const long double l = std::sqrt(dx * dx + dy * dy);
            length += l;
            sumX += (static_cast<long double>(da.x) + db.x) / 2 * l;
            sumY += (static_cast<long double>(da.y) + db.y) / 2 * l;
        }
        TPoint centre = n > 0 ? Device(s.points[0]) : TPoint{};
        if (length > 0)
            centre = {Roundoff(sumX / length), Roundoff(sumY / length)};

        if (doc_.View.TextView) {
            TSpaceResult r;
            CalcuSpace(M(), i, r);
            std::optional<double> u;
            if (c_.uncertaintySigma)
                u = SpaceUncertainty(M(), i, *c_.uncertaintySigma);
            Label(info, colour, AreaLabel(r.area, r.perimeter, s.slantV, s.slantH, u));
            int w = 0, h = 0;
            Measure(info, w, h);
            canvas_.DrawText({centre.x - w / 2, centre.y + h / 2, centre.x + w / 2, centre.y - h / 2}, info);
        }
        if (doc_.View.SpaceNameView) {
            Label(info, colour, Cp932ToUtf8(s.name));
            int w = 0, h = 0;
            Measure(info, w, h);
            canvas_.DrawText({centre.x - w / 2, centre.y - h / 2, centre.x + w / 2, centre.y - h / 2 - h}, info);
        }
        if (i == doc_.CurrentSpace && s.corrected == 1 &&
            (m == uCommand::SpaceAdd || m == uCommand::SpaceSub || m == uCommand::SpaceHosei || m == uCommand::SpaceHoseiDel || Adjusting(uCommand::SpaceAdjust))) {
            Pen(info, colour, 1, kStyleConstruction);
            const auto& cp = s.correctedPoints;
            for (int j = 0; j + 1 < n && static_cast<std::size_t>(j) + 1 < cp.size(); ++j) {
                Line(cp[static_cast<std::size_t>(j)], cp[static_cast<std::size_t>(j) + 1], info);
                Line(cp[static_cast<std::size_t>(j)], s.points[static_cast<std::size_t>(j)], info);
            }
            Pen(info, colour, 2, kStyleSolid);
            const SideProjection sp = SpaceSideProjection(doc_, i);
            Line(sp.nearPoint, sp.farPoint, info);
        }
    }
}

void Painter::InputInProgress()
{
    const auto& q = doc_.InputPoints;
    const int k = q.Count();
    const uCommand m = c_.uCommand;
    PrintInfo info;
    if ((m == uCommand::SpaceAdd || m == uCommand::SpaceSub) && c_.polygonMode) {
        Pen(info, m == uCommand::SpaceAdd ? colors_.SpaceAdd : colors_.SpaceSub, 1, kStyleSolid);
        if (k >= 1)
            Circle(q[1], kPolygonStartRadius, info);
        for (int i = 2; i <= k; ++i)
            Line(q[i], q[i - 1], info);
    } else if (m == uCommand::Base) {
        Pen(info, colors_.Base, 1, kStyleSolid);
        for (int i = 2; i <= k; ++i)
            Line(q[i], q[i - 1], info);
    } else if (m == uCommand::BaseSixPoint) {
        Pen(info, colors_.Base, 3, kStyleSolid);
        for (int i = 1; i <= (k / 2) * 2 && i + 1 <= k; i += 2)
            Line(q[i], q[i + 1], info);
    }
}

// The edges as they were clicked, straight from point to point: they show
// where the user put them on the photo, not what the lens makes of them.
void Painter::EdgeRun(const std::vector<TDPoint>& points, const PrintInfo& info)
{
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i > 0)
            Straight(points[i - 1], points[i], info);
        Circle(points[i], kEdgePointRadius, info);
    }
}

void Painter::StraightEdges()
{
    if (c_.uCommand != uCommand::StraightEdge || !Active())
        return;
    PrintInfo info;
    Pen(info, kStraightEdgeColour, 1, kStyleSolid);
    if (doc_.Lens) {
        for (const std::vector<TDPoint>& edge : doc_.Lens->edges) {
            std::vector<TDPoint> shown;
            shown.reserve(edge.size());
            for (const TDPoint p : edge) {
                const TDPoint s = SensorToShown(doc_, p);
                shown.push_back(doc_.IdealCamera ? ShownToIdeal(doc_, s).value_or(s) : s);
            }
            EdgeRun(shown, info);
        }
    }
    const auto& q = doc_.InputPoints;
    std::vector<TDPoint> underWay;
    for (int i = 1; i <= q.Count(); ++i)
        underWay.push_back(q[i]);
    Pen(info, kStraightEdgeColour, 2, kStyleSolid);
    EdgeRun(underWay, info);
}

// Draws the construction lines GetDelta makes while it walks.
class DiagnosticSink : public DeltaSink {
public:
    DiagnosticSink(Painter& painter, const PrintInfo& info) : painter_(painter), info_(info) {}
    void Line(TDPoint from, TDPoint to) override { painter_.Line(from, to, info_); }

private:
    Painter& painter_;
    const PrintInfo& info_;
};

void Painter::Diagnostic()
{
    if (!c_.diagnostic)
        return;
    PrintInfo info;
    Pen(info, c_.settings->ColorBaseUnit, 1, kStyleConstruction);
    DiagnosticSink sink(*this, info);
    const double w = c_.imageWidth;
    const double h = c_.imageHeight;
    for (const TDPoint p : {TDPoint{0, 0}, TDPoint{w, 0}, TDPoint{0, h}, TDPoint{w, h}})
        GetDelta(doc_, p, &sink);
}

void Painter::Draw()
{
    if (doc_.View.BaseView) {
        process = 1;
        Reference();
        process = 2;
        BaseLine(doc_.Plane.base.BaseLineWSet, doc_.Plane.base.BaseLineW);
        process = 3;
        BaseLine(doc_.Plane.base.BaseLineHSet, doc_.Plane.base.BaseLineH);
        process = 4;
        MeasurementBase();
    }
    process = 5;
    Distances();
    process = 6;
    Areas();
    process = 7;
    Checks();
    process = 8;
    InputInProgress();
    process = 9;
    Diagnostic();
    process = 10;
    StraightEdges();
}

} // namespace

OverlayColors ColorsFor(const TAppSettings& s, int which)
{
    if (which == 2)
        return {s.ColorBase2, s.ColorCrossLine2, s.ColorBaseLine2, s.ColorBaseUnit2,
                s.ColorDistance2, s.ColorSpaceAdd2, s.ColorSpaceSub2};
    return {s.ColorBase, s.ColorCrossLine, s.ColorBaseLine, s.ColorBaseUnit, s.ColorDistance, s.ColorSpaceAdd,
            s.ColorSpaceSub};
}

std::string DistanceLabel(double length, std::optional<double> chainTotal, std::optional<double> uncertainty)
{
    std::string text = FormatNumber0(length);
    if (uncertainty)
        text += PlusMinus(*uncertainty);
    if (chainTotal)
        text += "(" + FormatNumber0(*chainTotal) + ")";
    return text;
}

std::string CheckLabel(std::int32_t number, double measured, double deviation)
{
    const std::string off = FormatFixed(deviation, 1);
    return Tx("Checks", "検") + std::to_string(number) + " " + FormatFixed(measured, 1) + " (" +
           (off.front() == '-' ? off : "+" + off) + ")";
}

std::string AreaLabel(double area, double perimeter, double slantV, double slantH, std::optional<double> uncertainty)
{
    std::string text = FormatFixed(area, 3) + (uncertainty ? PlusMinus(*uncertainty) : std::string()) +
                       Tx("Overlay", "㎡") + "(" + FormatNumber0(perimeter) + ")";
    if (slantV != 0 || slantH != 0) {
        const std::string degree = Tx("Overlay", "ﾟ");
        text += " V" + FormatGeneral(slantV) + degree + " H" + FormatGeneral(slantH) + degree;
    }
    return text;
}

OverlayContext DisplayContext(const ViewState& v, int controlWidth, int controlHeight, int imageWidth, int imageHeight,
                              const TAppSettings& settings)
{
    OverlayContext c;
    c.left = v.StartX;
    c.top = v.StartY;
    c.scale = v.DispScale;
    c.offsetX = v.DispOffsetX;
    c.offsetY = v.DispOffsetY;
    c.viewWidth = controlWidth / v.DispScale;
    c.viewHeight = controlHeight / v.DispScale;
    c.imageWidth = imageWidth;
    c.imageHeight = imageHeight;
    c.settings = &settings;
    if (settings.UncertaintyLabelFlag)
        c.uncertaintySigma = ClickSigma(settings.ClickSigma);
    return c;
}

void DrawBase(Canvas& canvas, const Document& doc, const OverlayContext& context)
{
    Painter painter(canvas, doc, context);
    GuardWith([&] { return TrailLine("DrawBase", "process", painter.process); }, [&] { painter.Draw(); });
}

} // namespace kvx
