#pragma once

// The run-long record of the routines an error passed through on its way out,
// innermost first.  A user who reports a failure sends us these lines (the error
// dialog shows them, shutdown leaves them in "error.txt"), so every routine that
// can fail adds its own name as the error leaves it and lets the error go on.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvx {

class ErrorTrail {
public:
    // The one trail of this process.  It lives as long as the process does and is
    // never cleared: lines are only appended.
    static ErrorTrail& global();

    void append(std::string line);
    const std::vector<std::string>& lines() const { return lines_; }
    std::size_t size() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }

    // The lines joined with CR LF, as the error log on disk wants them.
    std::string joined(std::string_view separator = "\r\n") const;

private:
    std::vector<std::string> lines_;
};

// Runs body; if anything is thrown, appends line to the global trail and
// rethrows the same exception unchanged.
template <class Body>
decltype(auto) Guard(std::string_view line, Body&& body)
{
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ErrorTrail::global().append(std::string(line));
        throw;
    }
}

// As Guard, for routines whose line carries state that changes while the body
// runs ("GetDelta  [process = %d]"): makeLine is only called when an error
// passes, so the line shows the state at the moment of failure.
template <class MakeLine, class Body>
decltype(auto) GuardWith(MakeLine&& makeLine, Body&& body)
{
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ErrorTrail::global().append(makeLine());
        throw;
    }
}

// "name  [key = value]" with the two blanks the trail's lines use.
std::string TrailLine(std::string_view name, std::string_view key, long long value);

} // namespace kvx
