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

// The rows of the current plane of the photo's document, in the file's order.
void PlaneRows(std::vector<ResultsTableRow>& out, const Document& photo, int setting, int plane, double sigma)
{
    const Measured measured(photo);
    const Document& d = *measured;
    const TPlaneState& p = d.Plane;
    const double price = d.UnitPrice();
    auto add = [&](ResultsTableRow r) {
        r.setting = setting;
        r.plane = plane;
        r.unitPrice = price;
        out.push_back(std::move(r));
    };
    for (std::int32_t i = 1; i <= p.DistanceCount(); ++i) {
        const TDistance& dist = p.Distances[i];
        TDistanceResult r;
        CalcuDistance(d, i, r, ChainSums::Skip);
        add({.kind = "distance", .number = i, .group = dist.group, .value = FormatFixed(r.distance, 0), .unit = "mm",
             .uncertainty = Uncertain(DistanceUncertainty(d, i, sigma)),
             .corrected = CorrectionInForce(d, dist.corrected) ? "1" : "0"});
    }
    for (std::int32_t i = 1; i <= p.SpaceCount(); ++i) {
        const TSpace& s = p.Spaces[i];
        // As the CSV: an area neither added nor subtracted is none.
        if (s.kind != kSpaceAdd && s.kind != kSpaceSub)
            continue;
        TSpaceResult r;
        CalcuSpace(d, i, r);
        add({.kind = "area", .number = i, .group = s.group, .name = Cp932ToUtf8(s.name),
             .value = (s.kind == kSpaceSub && r.area != 0 ? "-" : "") + FormatFixed(r.area, 3), .unit = "m2",
             .uncertainty = Uncertain(SpaceUncertainty(d, i, sigma)), .slopeV = FormatPlain(s.slantV),
             .slopeH = FormatPlain(s.slantH), .corrected = CorrectionInForce(d, s.corrected) ? "1" : "0"});
    }
    // A check distance is measured as an uncorrected distance is, to a
    // tenth of a millimetre: its point is the few tenths it is off.
    for (const CheckResult& c : CheckResults(d, sigma))
        add({.kind = "check", .number = c.number, .group = -1, .value = FormatFixed(c.measured, 1), .unit = "mm",
             .uncertainty = Uncertain(c.uncertainty), .corrected = "0", .checkLength = FormatPlain(c.known)});
}

void AddLine(std::string& out, const std::string& photo, const ResultsTableRow& r)
{
    out += TextField(photo) + "," + std::to_string(r.setting) + "," + std::to_string(r.plane) + "," +
           TableField(r.kind) + "," + std::to_string(r.number) + "," +
           (r.group >= 0 ? std::to_string(r.group) : std::string()) + "," +
           // Only the name is the user's text; a value's minus is a sign.
           TextField(r.name);
    for (const std::string* field : {&r.value, &r.unit, &r.uncertainty, &r.slopeV, &r.slopeH, &r.corrected, &r.checkLength})
        out += "," + TableField(*field);
    out += kEol;
}

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

std::vector<ResultsTableRow> ResultsTableRows(const std::vector<Document>& settings, double sigma)
{
    std::vector<ResultsTableRow> rows;
    const double clicks = ClickSigma(sigma);
    for (const Document& doc : settings) {
        if (doc.CurrentSetting != 4 || (doc.CurrentBase != 1 && doc.CurrentBase != 2)) {
            PlaneRows(rows, doc, doc.CurrentSetting, 1, clicks);
            continue;
        }
        // Plane 1 is the left one, whichever is current.
        Document d = doc;
        for (int plane = 1; plane <= 2; ++plane) {
            if (d.CurrentBase == plane) {
                PlaneRows(rows, d, 4, plane, clicks);
            } else {
                const ParkedPlaneScope parked(d);
                PlaneRows(rows, d, 4, plane, clicks);
            }
        }
    }
    return rows;
}

std::string ResultsTablePhoto(const std::vector<Document>& settings)
{
    return settings.empty() ? std::string() : fs::path(settings.front().ImageFileName).filename().string();
}

std::string ResultsTableLines(const std::string& photo, const std::vector<ResultsTableRow>& rows)
{
    std::string out;
    for (const ResultsTableRow& r : rows)
        AddLine(out, photo, r);
    return out;
}

std::string ResultsTableHead()
{
    return "\xEF\xBB\xBF" + std::string(kResultsTableHeader) + kEol;
}

std::string ResultsTableBytes(const std::vector<Document>& settings, double sigma)
{
    return ResultsTableHead() + ResultsTableLines(ResultsTablePhoto(settings), ResultsTableRows(settings, sigma));
}

} // namespace kvx
