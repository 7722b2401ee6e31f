#pragma once

// Every distance and area of the current plane as a list of results, with the
// totals of each group: the numbers are the summary's (CalcuDistance,
// CalcuSpace), formatted as the summary formats them, each with its standard
// uncertainty for a click precision of sigma photo pixels (ClickSigma of the
// preference), written as the status line writes it.

#include "measure/model.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvx {

enum class ResultKind { Distance, Area };

struct ResultRow {
    ResultKind kind = ResultKind::Distance;
    std::int32_t number = 0;        // the mark's index in the plane
    std::int32_t group = 0;
    std::string name;               // UTF-8; areas only
    double value = 0.0;             // mm for a distance, m² for an area (subtracted: negative)
    std::string valueText;          // as the summary writes it
    std::optional<double> uncertainty;  // in the value's unit; none without a reference
    std::string uncertaintyText;    // "±2.3", as the status line writes it; empty with none
    double slopeV = 0.0;            // areas only
    double slopeH = 0.0;
    bool corrected = false;
    std::optional<double> chainTotal;  // mm, on the last segment of a chain
    std::string chainText;
};

struct GroupTotal {
    std::int32_t group = 0;
    std::int32_t distances = 0;
    std::int32_t areas = 0;
    double length = 0.0;  // mm, every distance of the group
    double area = 0.0;    // m², added less subtracted
    // Of the length and of the area, each sum carried as one result (the
    // shared reference's error adds up); none without such results.
    std::optional<double> lengthUncertainty;
    std::optional<double> areaUncertainty;
    double cost = 0.0;    // the unit price: per metre of length, per m² of area
};

std::vector<ResultRow> ResultRows(const Document& doc, double sigma);
// One total for each group that has a result, in group order.
std::vector<GroupTotal> GroupTotals(const Document& doc, const std::vector<ResultRow>& rows, double sigma);
// The table of results kept from one change to the next, as the window shows
// it after every change: the rows and totals ResultRows and GroupTotals give,
// but a row is worked out again only when its own mark changed (a chain's
// last segment: any segment of its chain) or what every row stands on (the
// calibration, the correction, W and H, the lens, the click precision), and
// a group's uncertainty of its sum only when one of its rows did.  One
// plane's calibration is worked out once for the rows and the sums.
class ResultTable {
public:
    ResultTable();
    ~ResultTable();
    ResultTable(const ResultTable&) = delete;
    ResultTable& operator=(const ResultTable&) = delete;

    // The rows and totals of doc as it is now.
    void Update(const Document& doc, double sigma);
    const std::vector<ResultRow>& Rows() const { return rows_; }
    const std::vector<GroupTotal>& Totals() const { return totals_; }
    // Rows worked out afresh by the last Update (the others were kept).
    std::size_t RowsWorkedOut() const { return workedOut_; }

    struct Kept;

private:
    std::unique_ptr<Kept> kept_;
    std::vector<ResultRow> rows_;
    std::vector<GroupTotal> totals_;
    std::size_t workedOut_ = 0;
};

// The value of a total with its uncertainty: "1,234 ±2.3" ("1,234" with none).
std::string LengthTotalText(const GroupTotal& t);
std::string AreaTotalText(const GroupTotal& t);

// Rows as tab-separated text for a spreadsheet, with a header row; the
// captions are given (they follow the interface's language).  The
// uncertainty follows the value in a column of its own, a bare number ("2.3")
// as the results file writes it, so that a spreadsheet reads it as one.
std::string ResultsAsText(const std::vector<ResultRow>& rows, const std::vector<std::string>& header,
                          const std::string& distanceWord, const std::string& areaWord);

} // namespace kvx
