#pragma once

// Check distances: lengths the user knows, measured through the reference to
// see how far its numbers can be trusted.  They are measured exactly as a
// distance is (GetDelta, never corrected for a second plane) and kept apart
// from the distances: no total, no cost and no CSV counts them.

#include "measure/model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvx {

struct CheckResult {
    std::int32_t number = 0;  // the check's index in the plane
    double known = 0.0;       // mm, as typed
    double measured = 0.0;    // mm
    double deviation = 0.0;   // measured - known, mm
    double relative = 0.0;    // deviation / known
    std::optional<double> uncertainty;  // mm, one standard uncertainty of measured
    // The deviation lies within twice the uncertainty: what a sound reference
    // gives about nineteen times in twenty.  Unknown uncertainty: false.
    bool within = false;
};

// The length the reference gives a check distance, in mm.
double MeasuredLength(const Document& doc, const TCheck& check);
// Check distance i of the current plane (a valid index, a reference set).
CheckResult CheckResultOf(const Document& doc, std::int32_t i, double sigma);
// Every check distance of the current plane; nothing without a reference.
std::vector<CheckResult> CheckResults(const Document& doc, double sigma);

struct CheckSummary {
    int count = 0;
    int within = 0;
    double largest = 0.0;          // the deviation of largest size, signed, mm
    double largestRelative = 0.0;  // the relative deviation of largest size, signed
    double rms = 0.0;              // root mean square of the deviations, mm
    double rmsRelative = 0.0;      // of the relative deviations
};
CheckSummary SummariseChecks(const std::vector<CheckResult>& checks);

// The known lengths a check takes, in mm: nothing shorter is told apart on a
// photo, and nothing longer is seen whole on one.
inline constexpr double kMinKnownLength = 0.1;
inline constexpr double kMaxKnownLength = 1e6;

// The known length as the user typed it: digits with an optional decimal
// point, "," grouping thousands and a trailing "mm" allowed, full-width forms
// too.  Nothing for any other text ("1,5" is no length: a decimal comma or a
// slip) or a length outside the range: a check against a length misread
// would mislead.
std::optional<double> ParseKnownLength(std::string_view text);

// "+2.3 mm (+0.23 %)": a deviation as every view writes it.
std::string DeviationText(double deviation, double relative);
// One line about a check: measured, known, deviation, uncertainty, verdict.
std::string CheckLine(const CheckResult& check);
// The summary of several: count, largest and RMS deviation, how many within.
std::string CheckSummaryLine(const CheckSummary& summary);

} // namespace kvx
