#pragma once

// The arithmetic of the calculator pad, apart from its buttons: one key at a
// time, as the pad's buttons and the keyboard deliver them.

#include <string>

namespace kvx {

class CalcPad {
public:
    // Keys besides the digits, '.', '+', '-', '*', '/', '=' and '\r' (Return).
    static constexpr char kBackspace = 8;
    static constexpr char kClear = 12;
    static constexpr char kEnter = 1;  // "入力": put the value into the field

    explicit CalcPad(double initial = 0.0);

    void Key(char key);
    void Keys(const std::string& keys)
    {
        for (const char k : keys)
            Key(k);
    }

    double Display() const { return display_; }
    // The value as the pad's display shows it: 2 decimals and a blank.
    std::string DisplayText() const;
    // Closed by "入力" or Return: the display value is the result.
    bool Closed() const { return closed_; }

private:
    double EntryValue() const;

    std::string entry_;
    double input_ = 0;
    double accumulator_ = 0;
    double lastOperand_ = 0;
    char pending_ = ' ';
    bool integer_ = true;
    int decimals_ = 0;
    char previous_ = 0;
    double display_ = 0;
    bool closed_ = false;
};

} // namespace kvx
