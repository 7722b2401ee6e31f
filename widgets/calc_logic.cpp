#include "widgets/calc_logic.h"

#include "measure/numfmt.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace kvx {

namespace {

constexpr std::size_t kMaxEntry = 14;
constexpr int kMaxDecimals = 2;

bool IsOperator(char k)
{
    return k == '\r' || k == '*' || k == '+' || k == '-' || k == '/' || k == '=';
}

} // namespace

CalcPad::CalcPad(double initial) : display_(initial) {}

double CalcPad::EntryValue() const
{
    // The entry holds digits and at most one point, perhaps a trailing one.
    double v = 0.0;
    std::from_chars(entry_.data(), entry_.data() + entry_.size(), v);
    return v;
}

std::string CalcPad::DisplayText() const
{
    // Beyond 14 digits before the point the display turns to an exponent.
    if (std::fabs(display_) >= 1e14) {
        char buf[64];
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, display_, std::chars_format::scientific, 13);
        if (ec != std::errc())
            return "0.00 ";
        std::string s(buf, end);
        const auto e = s.find('e');
        std::string exponent = s.substr(e + 1);
        const bool negative = exponent[0] == '-';
        exponent.erase(0, 1);
        exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
        return s.substr(0, e) + "E" + (negative ? "-" : "") + exponent + " ";
    }
    return FormatFixed(display_, 2) + " ";
}

void CalcPad::Key(char key)
{
    key = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
    const char previous = previous_;
    previous_ = key;
    if (key == kEnter) {
        closed_ = true;
        return;
    }
    if (key == kBackspace) {
        if (!entry_.empty()) {
            const char removed = entry_.back();
            entry_.pop_back();
            if (removed == '.')
                integer_ = true;
            else if (decimals_ > 0)
                --decimals_;
        }
        input_ = EntryValue();
        display_ = input_;
        return;
    }
    if (key == kClear) {
        integer_ = true;
        decimals_ = 0;
        entry_.clear();
        input_ = 0;
        display_ = 0;
        if (previous == kClear) {
            accumulator_ = 0;
            lastOperand_ = 0;
            pending_ = ' ';
        }
        return;
    }
    if (IsOperator(key)) {
        integer_ = true;
        decimals_ = 0;
        // Repeating an operator or "=" repeats the last operation.
        if (IsOperator(previous))
            input_ = lastOperand_;
        switch (pending_) {
        case '+':
            accumulator_ += input_;
            break;
        case '-':
            accumulator_ -= input_;
            break;
        case '*':
            accumulator_ *= input_;
            break;
        case '/':
            accumulator_ = input_ != 0 ? accumulator_ / input_ : 0.0;
            break;
        default:
            accumulator_ = input_;
            break;
        }
        lastOperand_ = input_;
        input_ = 0;
        entry_.clear();
        if (key != '=' && key != '\r')
            pending_ = key;
        display_ = accumulator_;
        if (key == '\r')
            closed_ = true;
        return;
    }
    if (key == '.') {
        if (!integer_)
            return;
        integer_ = false;
        decimals_ = 0;
        entry_ += '.';
        input_ = EntryValue();
        display_ = input_;
        return;
    }
    if (key >= '0' && key <= '9') {
        // A third decimal is not taken; the count stays where it was.
        const int decimals = integer_ ? 0 : decimals_ + 1;
        if (decimals > kMaxDecimals)
            return;
        decimals_ = decimals;
        if (entry_.size() <= kMaxEntry)
            entry_ += key;
        input_ = EntryValue();
        display_ = input_;
    }
}

} // namespace kvx
