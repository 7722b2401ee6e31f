#include "output/export/results_table.h"

#include "measure/calibration.h"
#include "measure/checks.h"
#include "measure/computation.h"
#include "measure/cp932.h"
#include "measure/ideal_view.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"
#include "measure/workfiles.h"

#include <optional>

namespace kvx {

namespace fs = std::filesystem;

namespace {

constexpr const char* kEol = "\r\n";

std::string Uncertain(const std::optional<double>& u)
{
    return u ? FormatSignificant(*u, 2) : std::string();
}

struct Row {
    std::string kind, number, group, name, value, unit, uncertainty, slopeV, slopeH, corrected, checkLength;
};

class Table {
public:
    Table(std::string photo, double sigma) : photo_(std::move(photo)), sigma_(sigma) {}

    // The rows of the current plane of d.
    void Plane(const Document& photo, int setting, int plane)
    {
        const Measured measured(photo);
        const Document& d = *measured;
        const TPlaneState& p = d.Plane;
        for (std::int32_t i = 1; i <= p.DistanceCount(); ++i) {
            const TDistance& dist = p.Distances[i];
            TDistanceResult r;
            CalcuDistance(d, i, r, ChainSums::Skip);
            Add(setting, plane,
                Row{"distance", std::to_string(i), std::to_string(dist.group), "", FormatFixed(r.distance, 0), "mm",
                    Uncertain(DistanceUncertainty(d, i, sigma_)), "", "", CorrectionInForce(d, dist.corrected) ? "1" : "0",
                    ""});
        }
        for (std::int32_t i = 1; i <= p.SpaceCount(); ++i) {
            const TSpace& s = p.Spaces[i];
            // As the CSV: an area neither added nor subtracted is none.
            if (s.kind != kSpaceAdd && s.kind != kSpaceSub)
                continue;
            TSpaceResult r;
            CalcuSpace(d, i, r);
            Add(setting, plane,
                Row{"area", std::to_string(i), std::to_string(s.group), Cp932ToUtf8(s.name),
                    (s.kind == kSpaceSub && r.area != 0 ? "-" : "") + FormatFixed(r.area, 3), "m2",
                    Uncertain(SpaceUncertainty(d, i, sigma_)), FormatPlain(s.slantV), FormatPlain(s.slantH),
                    CorrectionInForce(d, s.corrected) ? "1" : "0", ""});
        }
        // A check distance is measured as an uncorrected distance is, to a
        // tenth of a millimetre: its point is the few tenths it is off.
        for (const CheckResult& c : CheckResults(d, sigma_))
            Add(setting, plane,
                Row{"check", std::to_string(c.number), "", "", FormatFixed(c.measured, 1), "mm", Uncertain(c.uncertainty),
                    "", "", "0", FormatPlain(c.known)});
    }

    std::string Take() { return std::move(out_); }

private:
    void Add(int setting, int plane, const Row& r)
    {
        out_ += TextField(photo_) + "," + std::to_string(setting) + "," + std::to_string(plane);
        for (const std::string* field : {&r.kind, &r.number, &r.group, &r.name, &r.value, &r.unit, &r.uncertainty,
                                         &r.slopeV, &r.slopeH, &r.corrected, &r.checkLength})
            // Only the name is the user's text; a value's minus is a sign.
            out_ += "," + (field == &r.name ? TextField(*field) : TableField(*field));
        out_ += kEol;
    }

    std::string photo_;
    double sigma_;
    std::string out_;
};

} // namespace

std::string TableField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string TextField(std::string_view text)
{
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        return TableField("'" + std::string(text));
    return TableField(text);
}

std::vector<Document> EverySetting(const Document& doc, const fs::path& folder)
{
    std::vector<Document> out;
    for (int setting = 1; setting <= 4; ++setting) {
        if (setting == doc.CurrentSetting) {
            out.push_back(doc);
            continue;
        }
        // Only a setting's own plane file says it was ever used: loading
        // setting 1 or 2 also finds the other's rectangle.
        auto has = [&](int n) {
            std::error_code ec;
            return fs::is_regular_file(WorkingFile(folder, n), ec);
        };
        if (!(setting == 4 ? has(4) || has(5) : has(setting)))
            continue;
        Document d = doc;
        d.InputPoints.Clear();
        LoadSetting(d, setting, folder);
        // Settings 1 and 2 correct against each other's rectangle: the one
        // open now may have moved since its working file was written.
        if ((setting == 1 || setting == 2) && doc.CurrentSetting == 3 - setting) {
            d.OtherBaseSet = doc.Plane.base.BaseSet;
            d.OtherBaseRect = doc.Plane.base.BaseRect;
            if (d.Plane.base.BaseSet == 1)
                CalcuBasePoint(d);
            RecomputeCorrections(d);
        }
        out.push_back(std::move(d));
    }
    return out;
}

std::string ResultsTableBytes(const std::vector<Document>& settings, double sigma)
{
    std::string photo;
    if (!settings.empty())
        photo = fs::path(settings.front().ImageFileName).filename().string();
    Table table(photo, ClickSigma(sigma));
    for (const Document& doc : settings) {
        if (doc.CurrentSetting != 4 || (doc.CurrentBase != 1 && doc.CurrentBase != 2)) {
            table.Plane(doc, doc.CurrentSetting, 1);
            continue;
        }
        // Plane 1 is the left one, whichever is current.
        Document d = doc;
        for (int plane = 1; plane <= 2; ++plane) {
            if (d.CurrentBase == plane) {
                table.Plane(d, 4, plane);
            } else {
                const ParkedPlaneScope parked(d);
                table.Plane(d, 4, plane);
            }
        }
    }
    return "\xEF\xBB\xBF" + std::string(kResultsTableHeader) + kEol + table.Take();
}

} // namespace kvx
