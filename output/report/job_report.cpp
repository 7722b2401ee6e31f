#include "output/report/job_report.h"

#include "base/translate.h"
#include "measure/computation.h"
#include "measure/numfmt.h"

#include <algorithm>
#include <iterator>

namespace kvx {

namespace {

constexpr int kA4Wide = 595;
constexpr int kA4High = 842;

// The summary's pages: a running cursor that starts a new page, with the
// table's header again, when a line would leave the margin.
class SummaryWriter {
public:
    explicit SummaryWriter(TPDFMaker& maker) : maker_(maker) { y_ = kA4High - kMargin; }

    void Write(const std::vector<JobReportPhoto>& photos, const JobReportHeading& heading)
    {
        Text(Tx("JobReport", "作業の計測結果"), kMargin, y_, 14);
        y_ -= 24;
        Line(Tx("JobReport", "作業: ") + heading.job);
        Line(Tx("Report", "日付: ") + heading.date);
        Line(Tx("JobReport", "写真の数: ") + std::to_string(photos.size()));
        y_ -= 6;

        Line(Tx("JobReport", "写真ごとの合計"));
        header_ = {Tx("JobReport", "写真"), Tx("ResultsPanel", "ｸﾞﾙｰﾌﾟ"), Tx("JobReport", "長さ (㎜)"),
                   Tx("JobReport", "面積 (㎡)"), Tx("JobReport", "金額")};
        Room(false);
        Header();
        std::vector<JobPhoto> all;
        all.reserve(photos.size());
        for (const JobReportPhoto& p : photos) {
            const std::vector<JobGroupTotal> totals = PhotoTotals(p.photo);
            if (totals.empty()) {
                Room(true);
                Row({Fit(p.photo.title), "", Tx("JobReport", "計測なし")});
            }
            for (std::size_t i = 0; i < totals.size(); ++i) {
                Room(true);
                // The photo's name on its first row, and again atop a new page.
                Row(Cells(i == 0 || y_ > kA4High - kMargin - 2 * kLine ? Fit(p.photo.title) : "", totals[i]));
            }
            all.push_back(p.photo);
        }
        y_ -= 10;
        Room(false);
        Line(Tx("JobReport", "作業全体のグループごとの合計"));
        header_.erase(header_.begin());
        Room(false);
        Header();
        JobGroupTotal sum;
        for (const JobGroupTotal& t : JobTotals(all)) {
            Room(true);
            Row(Cells(std::nullopt, t));
            sum.length += t.length;
            sum.area += t.area;
            sum.cost += t.cost;
        }
        Room(true);
        Row({Tx("JobReport", "合計"), FormatNumber0(sum.length), FormatFixed(sum.area, 3), MoneyText(sum.cost)});
    }

private:
    static constexpr double kMargin = 40;
    static constexpr double kLine = 13;
    static constexpr double kSize = 9;
    // Half-width letters of a photo's name that fit its column.
    static constexpr std::size_t kTitleLetters = 40;

    static std::string Fit(const std::string& title)
    {
        if (title.size() <= kTitleLetters)
            return title;
        // Cut at a letter's start, never inside a UTF-8 sequence.
        std::size_t at = kTitleLetters - 3;
        while (at > 0 && (static_cast<unsigned char>(title[at]) & 0xC0) == 0x80)
            --at;
        return title.substr(0, at) + "...";
    }
    static std::vector<std::string> Cells(const std::optional<std::string>& title, const JobGroupTotal& t)
    {
        std::vector<std::string> cells;
        if (title)
            cells.push_back(*title);
        cells.insert(cells.end(), {std::to_string(t.group), FormatNumber0(t.length), FormatFixed(t.area, 3),
                                   MoneyText(t.cost)});
        return cells;
    }
    void Text(const std::string& text, double x, double y, double size) { ReportText(maker_.Contents(), text, x, y, size); }
    void Line(const std::string& text)
    {
        Room(false);
        Text(text, kMargin, y_, kSize + 1);
        y_ -= kLine + 2;
    }
    void Room(bool inTable)
    {
        if (y_ - kLine >= kMargin)
            return;
        maker_.NewPage(kA4Wide, kA4High);
        y_ = kA4High - kMargin;
        if (inTable)
            Header();
    }
    void Row(const std::vector<std::string>& cells)
    {
        // With the photo's column the numbers start after its name.
        static constexpr double kWithPhoto[] = {0, 230, 280, 360, 440};
        static constexpr double kWithout[] = {0, 80, 180, 280};
        const bool withPhoto = header_.size() == std::size(kWithPhoto);
        for (std::size_t i = 0; i < cells.size() && i < header_.size(); ++i)
            Text(cells[i], kMargin + (withPhoto ? kWithPhoto[i] : kWithout[i]), y_, kSize);
        y_ -= kLine;
    }
    void Header()
    {
        Row(header_);
        TPDFContents& c = maker_.Contents();
        c.SetLineWidth(0.3);
        c.LineColor = 0;
        c.DrawLine(kMargin, y_ + kLine - 3, kA4Wide - kMargin, y_ + kLine - 3);
    }

    TPDFMaker& maker_;
    double y_ = 0;
    std::vector<std::string> header_;
};

} // namespace

void WriteJobReport(std::ostream& out, const std::vector<JobReportPhoto>& photos, const JobReportHeading& heading,
                    const TAppSettings& settings, int& process)
{
    process = 2;
    TPDFMaker maker;
    maker.Title = Tx("Report", "KalvexＰＤＦ");
    maker.SetPageWidth(kA4Wide);
    maker.SetPageHeight(kA4High);
    maker.Creator.clear();
    maker.BeginDoc(&out);
    SummaryWriter(maker).Write(photos, heading);
    for (const JobReportPhoto& p : photos)
        AddReportPages(maker, p.doc, settings, p.image, p.page, process, p.detail ? &*p.detail : nullptr);
    process = 7;
    maker.EndDoc();
}

} // namespace kvx
