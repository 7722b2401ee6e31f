#include "output/report/report.h"
#include "measure/results.h"
#include "base/translate.h"

#include "measure/calibration.h"
#include "measure/checks.h"
#include "measure/computation.h"
#include "measure/ideal_view.h"
#include "measure/cp932.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace kvx {

namespace {

constexpr int kA4Long = 842;   // Roundoff(297 mm * 72 / 25.4)
constexpr int kA4Short = 595;  // Roundoff(210 mm * 72 / 25.4)
constexpr double kThin = 0.1;
constexpr double kThick = 0.5;
constexpr double kEndRadius = 0.5;
constexpr int kGothic = 7;

class ReportPainter {
public:
    ReportPainter(ReportSurface& c, const Document& doc, const TAppSettings& settings, const ReportPage& page)
        : c_(c), doc_(doc), settings_(settings), page_(page)
    {
    }

    // Image point to the page-scaled image plane (y still down) and to the page.
    TDPoint Scaled(TDPoint p) const { return {p.x * page_.s, p.y * page_.s}; }
    TDPoint Page(TDPoint scaled) const { return {page_.offX + scaled.x, page_.offY + page_.H - scaled.y}; }

    void Pen(double width, bool dashed, bool longDash, std::int32_t colour)
    {
        c_.Pen(width, dashed ? (longDash ? 2 : 1) : 0, colour);
    }

    void Line(TDPoint a, TDPoint b)
    {
        const TDPoint pa = Page(Scaled(a));
        const TDPoint pb = Page(Scaled(b));
        c_.Line(pa.x, pa.y, pb.x, pb.y);
    }

    // A circle as four Bezier quarter arcs, control points 0.55 r from the ends.
    void Circle(TDPoint centre, double r)
    {
        const TDPoint p = Page(Scaled(centre));
        const double k = 0.55 * r;
        c_.Curve(p.x + r, p.y, p.x + r, p.y + k, p.x + k, p.y + r, p.x, p.y + r);
        c_.Curve(p.x, p.y + r, p.x - k, p.y + r, p.x - r, p.y + k, p.x - r, p.y);
        c_.Curve(p.x - r, p.y, p.x - r, p.y - k, p.x - k, p.y - r, p.x, p.y - r);
        c_.Curve(p.x, p.y - r, p.x + k, p.y - r, p.x + r, p.y - k, p.x + r, p.y);
    }

    void Text(const std::string& text, TDPoint pagePoint, std::int32_t colour)
    {
        c_.Text(text, pagePoint.x, pagePoint.y, settings_.DrawTextSize, colour);
    }

    bool Corrected(std::uint8_t flag) const { return CorrectionInForce(doc_, flag); }

    void Base()
    {
        const TBaseBlock& b = doc_.Plane.base;
        if (b.BaseSet == 1) {
            Pen(kThin, false, false, settings_.ColorBase);
            for (std::size_t i = 1; i <= 4; ++i)
                Line(b.BaseRect[i], b.BaseRect[i + 1]);
            // The edges W and H are measured along, marked at their middles.
            const int size = settings_.DrawTextSize;
            for (const auto& [from, to, name] : {std::tuple{1u, 2u, "W"}, std::tuple{2u, 3u, "H"}}) {
                const TDPoint m = Scaled(MidPoint(b.BaseRect[from], b.BaseRect[to]));
                Text(name, Page({m.x - size / 4.0, m.y + size / 2.0 - 1}), settings_.ColorBase);
            }
        }
        if (b.BaseUnitSet == 1) {
            const auto& u = doc_.Plane.UnitPoint;
            const double L = std::max(page_.width, page_.height);
            for (std::size_t i = 1; i <= 4; ++i) {
                Pen(kThin, false, false, settings_.ColorBaseUnit);
                Line(u[i - 1], u[i]);
                const TDPoint a = Scaled(u[i - 1]);
                const TDPoint e = Scaled(u[i]);
                const double t = Angle(a, e);
                const TDPoint from = Page(Polar(a, t + 180, L));
                const TDPoint to = Page(Polar(e, t, L));
                Pen(kThin, true, false, settings_.ColorBaseUnit);
                c_.Line(from.x, from.y, to.x, to.y);
            }
        }
        for (const auto& [set, line] : {std::pair{b.BaseLineWSet, &b.BaseLineW}, std::pair{b.BaseLineHSet, &b.BaseLineH}}) {
            if (set != 1)
                continue;
            Pen(kThin, false, false, settings_.ColorBaseLine);
            Line((*line)[1], (*line)[2]);
            Circle((*line)[1], kEndRadius);
            Circle((*line)[2], kEndRadius);
        }
    }

    void Distances()
    {
        const TPlaneState& plane = doc_.Plane;
        for (std::int32_t i = 1; i <= plane.DistanceCount(); ++i) {
            const TDistance& d = plane.Distances[i];
            if (d.group != doc_.CurrentGroup)
                continue;
            Pen(kThick, Corrected(d.corrected), true, settings_.ColorDistance);
            Line(d.start, d.end);
            Circle(d.start, kEndRadius);
            Circle(d.end, kEndRadius);
            if (!doc_.View.TextView)
                continue;
            const bool endsChain = ChainPrev(plane, i) >= 1 && ChainNext(plane, i) == 0;
            TDistanceResult r;
            CalcuDistance(M(), i, r, endsChain ? ChainSums::Sum : ChainSums::Skip);
            const std::string label = endsChain ? FormatNumber0(r.distance) + "(" +
                                                      FormatNumber0(r.distance + r.before + r.after) + ")"
                                                : FormatNumber0(r.distance);
            Text(label, Page(Scaled(d.end)), settings_.ColorDistance);
        }
    }

    void Areas()
    {
        const TPlaneState& plane = doc_.Plane;
        const int size = settings_.DrawTextSize;
        std::int32_t colour = c_.LineColour();
        for (std::int32_t i = 1; i <= plane.SpaceCount(); ++i) {
            const TSpace& s = plane.Spaces[i];
            if (s.group != doc_.CurrentGroup)
                continue;
            // An unknown kind keeps the colour of the line drawn before it.
            if (s.kind == kSpaceAdd)
                colour = settings_.ColorSpaceAdd;
            else if (s.kind == kSpaceSub)
                colour = settings_.ColorSpaceSub;
            Pen(kThick, Corrected(s.corrected), true, colour);
            long double length = 0, sumX = 0, sumY = 0;
            for (std::size_t j = 0; j + 1 < s.points.size(); ++j) {
                Line(s.points[j], s.points[j + 1]);
                const TDPoint a = Scaled(s.points[j]);
                const TDPoint b = Scaled(s.points[j + 1]);
                const long double l = std::hypot(static_cast<long double>(b.x) - a.x, static_cast<long double>(b.y) - a.y);
                length += l;
                sumX += (static_cast<long double>(a.x) + b.x) / 2 * l;
                sumY += (static_cast<long double>(a.y) + b.y) / 2 * l;
            }
            if (length <= 0)
                continue;
            const std::int32_t cx = Roundoff(sumX / length);
            const std::int32_t cy = Roundoff(sumY / length);
            auto width = [&](const std::string& text) {
                return static_cast<int>(Utf8ToCp932(text).size()) * (size / 2);
            };
            if (doc_.View.TextView) {
                TSpaceResult r;
                CalcuSpace(M(), i, r);
                const std::string label = FormatFixed(r.area, 3) + "㎡(" + FormatNumber0(r.perimeter) + ")";
                Text(label, Page({static_cast<double>(cx - width(label) / 2), static_cast<double>(cy + size / 2)}),
                     colour);
            }
            if (doc_.View.SpaceNameView) {
                const std::string name = Cp932ToUtf8(s.name);
                Text(name, Page({static_cast<double>(cx - width(name) / 2), static_cast<double>(cy - size / 2)}),
                     colour);
            }
        }
    }

private:
    // The numbers of the labels: through the lens when one is in force.
    const Document& M() const
    {
        if (!measured_)
            measured_.emplace(doc_);
        return **measured_;
    }

    ReportSurface& c_;
    const Document& doc_;
    mutable std::optional<Measured> measured_;
    const TAppSettings& settings_;
    const ReportPage& page_;
};

// The page as PDF operators.
class PdfSurface : public ReportSurface {
public:
    explicit PdfSurface(TPDFContents& c) : c_(c) {}

    void Pen(double width, int dash, std::int32_t colour) override
    {
        c_.SetLineWidth(width);
        c_.LineColor = colour;
        // The dash is part of the page's graphics state: it is written only when it changes.
        if (dash != dash_) {
            if (dash == 0)
                c_.SetDash(0, 0, 0);
            else if (dash == 1)
                c_.SetDash(3, 0, 0);
            else
                c_.SetDash(10, 3, 0);
            dash_ = dash;
        }
    }
    std::int32_t LineColour() const override { return c_.LineColor; }
    void Line(double x1, double y1, double x2, double y2) override { c_.DrawLine(x1, y1, x2, y2); }
    void Curve(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3) override
    {
        c_.DrawCurve(x0, y0, x1, y1, x2, y2, x3, y3);
    }
    void Text(const std::string& text, double x, double y, double size, std::int32_t colour) override
    {
        c_.FontIndex = kGothic;
        c_.SetFontSize(size);
        c_.TextColor = colour;
        c_.TextOut(text, x, y, 0);
    }

private:
    TPDFContents& c_;
    int dash_ = 0;
};

} // namespace

ReportPage ReportPageFor(int imageWidth, int imageHeight)
{
    ReportPage p;
    const bool landscape = imageWidth > imageHeight;
    p.width = landscape ? kA4Long : kA4Short;
    p.height = landscape ? kA4Short : kA4Long;
    if (imageWidth <= 0 || imageHeight <= 0)
        return p;
    p.s = std::min(static_cast<double>(p.height) / imageHeight, static_cast<double>(p.width) / imageWidth);
    p.W = Roundoff(static_cast<long double>(imageWidth) * p.s);
    p.H = Roundoff(static_cast<long double>(imageHeight) * p.s);
    p.offX = (p.width - p.W) / 2;
    p.offY = (p.height - p.H) / 2;
    return p;
}

namespace {

// Draws both planes of setting 4 as the page always has, each from a view of
// the document, and returns the view left current: the second plane.
Document DrawPlanes(ReportSurface& surface, const Document& doc, const TAppSettings& settings, const ReportPage& page,
                    int& process)
{
    auto drawPlane = [&](const Document& view, int p) {
        ReportPainter painter(surface, view, settings, page);
        process = 10 * p + 4;
        if (view.View.BaseView)
            painter.Base();
        process = 10 * p + 5;
        if (view.View.DistanceView)
            painter.Distances();
        process = 10 * p + 6;
        if (view.View.SpaceView)
            painter.Areas();
    };
    Document view = doc.CurrentSetting == 4 ? PlaneView(doc, 1) : doc;
    drawPlane(view, 0);
    if (doc.CurrentSetting == 4) {
        view = ParkedPlaneView(view);
        drawPlane(view, 1);
    }
    return view;
}

} // namespace

void DrawReportPage(ReportSurface& surface, const Document& doc, const TAppSettings& settings, const ReportPage& page,
                    int& process)
{
    DrawPlanes(surface, doc, settings, page, process);
}

void ReportText(TPDFContents& c, const std::string& text, double x, double y, double size)
{
    c.FontIndex = kGothic;
    c.SetFontSize(size);
    c.TextColor = 0;
    // The page's font has no superscript two, and its half-width yen
    // sign is the backslash's place, drawn over the next figure: the
    // English square metre is written "m2", and the yen full width.
    std::string written = text;
    for (const auto& [from, to] : {std::pair<std::string_view, std::string_view>{"²", "2"}, {"¥", "￥"}})
        for (std::size_t at = written.find(from); at != std::string::npos; at = written.find(from, at + to.size()))
            written.replace(at, from.size(), to);
    c.TextOut(written, x, y, 0);
}

namespace {

// The detailed pages: a running text cursor that starts a new page, with the
// table's header again, when a line would leave the margin.
class DetailWriter {
public:
    // sigma: the click precision the uncertainties are worked out for.
    DetailWriter(TPDFMaker& maker, const ReportPage& page, double sigma) : maker_(maker), page_(page), sigma_(sigma) {}

    void Write(const Document& doc, const ReportDetail& detail)
    {
        NewPage();
        Text(Tx("Report", "計測結果の詳細"), kMargin, y_, 14);
        y_ -= 24;
        const std::string mm = Tx("Summary", "㎜");
        Line(Tx("Report", "写真: ") + detail.photo);
        Line(Tx("Report", "日付: ") + detail.date);
        for (const auto& [label, value] : detail.camera)
            Line(label + ": " + value);
        Line(Tx("Report", "設定: ") + (doc.CurrentSetting == 4 ? Tx("Report", "設定２面同時") : std::to_string(doc.CurrentSetting)));
        Line(Tx("Report", "単価: ") + MoneyText(doc.UnitPrice()));
        y_ -= 6;
        const bool twoPlanes = doc.CurrentSetting == 4 && doc.OtherBaseSet == 1;
        Plane(doc, twoPlanes ? Tx("Report", "面1") : std::string());
        if (twoPlanes)
            Plane(ParkedPlaneView(doc), Tx("Report", "面2"));
    }

private:
    static constexpr double kMargin = 40;
    static constexpr double kLine = 13;
    static constexpr double kSize = 9;

    // Every page of the details is a page of its own after the report's, of its size.
    void NewPage()
    {
        maker_.NewPage(page_.width, page_.height);
        y_ = page_.height - kMargin;
    }
    void Text(const std::string& text, double x, double y, double size)
    {
        ReportText(maker_.Contents(), text, x, y, size);
    }
    void Line(const std::string& text)
    {
        Room(false);
        Text(text, kMargin, y_, kSize + 1);
        y_ -= kLine + 2;
    }
    // Starts a new page when the next line would not fit; inside the table,
    // the new page repeats its header.
    void Room(bool inTable)
    {
        if (y_ - kLine >= kMargin)
            return;
        NewPage();
        if (inTable)
            Header();
    }
    void Row(const std::vector<std::string>& cells)
    {
        // The name gives up room for the uncertainty: 24 half-width letters
        // still fit, and the English captions of the last columns too.
        static constexpr double kColumns[] = {0, 50, 90, 130, 240, 305, 360, 400, 440, 485};
        for (std::size_t i = 0; i < cells.size() && i < std::size(kColumns); ++i)
            Text(cells[i], kMargin + kColumns[i], y_, kSize);
        y_ -= kLine;
    }
    void Header()
    {
        Row({Tx("ResultsPanel", "種類"), Tx("ResultsPanel", "番号"), Tx("ResultsPanel", "ｸﾞﾙｰﾌﾟ"), Tx("ResultsPanel", "名称"),
             Tx("ResultsPanel", "値"), Tx("ResultsPanel", "±"), Tx("ResultsPanel", "勾配V"), Tx("ResultsPanel", "勾配H"),
             Tx("ResultsPanel", "補正"), Tx("ResultsPanel", "延長")});
        TPDFContents& c = maker_.Contents();
        c.SetLineWidth(0.3);
        c.LineColor = 0;
        c.DrawLine(kMargin, y_ + kLine - 3, page_.width - kMargin, y_ + kLine - 3);
    }
    void Plane(const Document& photo, const std::string& title)
    {
        const Measured measured(photo);
        const Document& doc = *measured;
        const std::string mm = Tx("Summary", "㎜"), m2 = Tx("Summary", "㎡");
        if (!title.empty()) {
            y_ -= 4;
            Line(title + "   W " + doc.KijunWText + mm + "   H " + doc.KijunHText + mm);
        } else {
            Line("W " + doc.KijunWText + mm + "   H " + doc.KijunHText + mm);
        }
        Room(false);
        Header();
        const std::vector<ResultRow> rows = ResultRows(doc, sigma_);
        for (const ResultRow& r : rows) {
            Room(true);
            const bool area = r.kind == ResultKind::Area;
            Row({area ? Tx("ResultsPanel", "面積") : Tx("ResultsPanel", "距離"), std::to_string(r.number),
                 std::to_string(r.group), r.name, r.valueText + (area ? m2 : mm),
                 r.uncertainty ? r.uncertaintyText + (area ? m2 : mm) : "", area ? FormatGeneral(r.slopeV) : "",
                 area ? FormatGeneral(r.slopeH) : "", r.corrected ? Tx("ResultsPanel", "補正") : "",
                 r.chainTotal ? r.chainText + mm : ""});
        }
        y_ -= 6;
        for (const GroupTotal& t : GroupTotals(doc, rows, sigma_)) {
            Room(false);
            Line(Tx("Report", "グループ") + std::to_string(t.group) + ":  " + Tx("Summary", "長さ=") + LengthTotalText(t) + mm +
                 ",  " + Tx("Summary", "面積=") + AreaTotalText(t) + m2 + ",  " + Tx("Report", "金額=") + MoneyText(t.cost));
        }
        Checks(doc);
    }
    // The check distances of the plane: how far its numbers can be trusted,
    // apart from the results, which they never join.
    void Checks(const Document& doc)
    {
        const std::vector<CheckResult> checks = CheckResults(doc, sigma_);
        if (checks.empty())
            return;
        y_ -= 6;
        Line(Tx("Report", "検証距離 (実際の長さが分かっている距離)"));
        Room(false);
        CheckHeader();
        for (const CheckResult& c : checks) {
            if (y_ - kLine < kMargin) {
                NewPage();
                CheckHeader();
            }
            const std::string off = FormatFixed(c.deviation, 1);
            const std::string percent = FormatFixed(c.relative * 100, 2);
            const std::string mm = Tx("Summary", "㎜");
            CheckRow({std::to_string(c.number), FormatPlain(c.known) + mm, FormatFixed(c.measured, 1) + mm,
                      c.uncertainty ? PlusMinus(*c.uncertainty) + mm : "",
                      (off.front() == '-' ? off : "+" + off) + mm, (percent.front() == '-' ? percent : "+" + percent) + " %",
                      c.within ? Tx("ResultsPanel", "2σ以内") : Tx("ResultsPanel", "2σ超")});
        }
        Line(CheckSummaryLine(SummariseChecks(checks)));
    }
    void CheckRow(const std::vector<std::string>& cells)
    {
        static constexpr double kColumns[] = {0, 50, 130, 210, 280, 350, 420};
        for (std::size_t i = 0; i < cells.size() && i < std::size(kColumns); ++i)
            Text(cells[i], kMargin + kColumns[i], y_, kSize);
        y_ -= kLine;
    }
    void CheckHeader()
    {
        CheckRow({Tx("ResultsPanel", "検証"), Tx("ResultsPanel", "既知の長さ"), Tx("ResultsPanel", "測定値"), "±",
                  Tx("ResultsPanel", "偏差"), Tx("ResultsPanel", "偏差 %"), Tx("ResultsPanel", "判定")});
        TPDFContents& c = maker_.Contents();
        c.SetLineWidth(0.3);
        c.LineColor = 0;
        c.DrawLine(kMargin, y_ + kLine - 3, page_.width - kMargin, y_ + kLine - 3);
    }

    TPDFMaker& maker_;
    const ReportPage& page_;
    double sigma_;
    double y_ = 0;
};

} // namespace

namespace {

// The report's pages of one photo from the page under way, which is empty.
void DrawPhotoPages(TPDFMaker& maker, const Document& doc, const TAppSettings& settings, const TPDFImage& image,
                    const ReportPage& page, int& process, const ReportDetail* detail)
{
    process = 3;
    const int index = maker.AddImage(image);
    maker.Contents().DrawImage(index, page.offX, page.offY, page.W, page.H, 0);

    PdfSurface surface(maker.Contents());
    // The details follow the page: in setting 4 they start from its second plane.
    const Document shown = DrawPlanes(surface, doc, settings, page, process);
    if (detail) {
        process = 6;
        DetailWriter writer(maker, page, ClickSigma(settings.ClickSigma));
        writer.Write(shown, *detail);
    }
}

} // namespace

void AddReportPages(TPDFMaker& maker, const Document& doc, const TAppSettings& settings, const TPDFImage& image,
                    const ReportPage& page, int& process, const ReportDetail* detail)
{
    maker.NewPage(page.width, page.height);
    DrawPhotoPages(maker, doc, settings, image, page, process, detail);
}

void WriteReport(std::ostream& out, const Document& doc, const TAppSettings& settings, const TPDFImage& image,
                 const ReportPage& page, int& process, const ReportDetail* detail)
{
    process = 2;
    TPDFMaker maker;
    maker.Title = Tx("Report", "KalvexＰＤＦ");
    maker.SetPageWidth(page.width);
    maker.SetPageHeight(page.height);
    maker.Creator.clear();
    maker.BeginDoc(&out);
    DrawPhotoPages(maker, doc, settings, image, page, process, detail);
    process = 7;
    maker.EndDoc();
}

} // namespace kvx
