#pragma once

// A numeric field with a calculator pad: W, H, the unit price and the slopes.
// It takes only digits, "-", "." and backspace from the keyboard; the button at
// its right end opens the pad, whose result replaces the text.

#include "widgets/calc_logic.h"

#include <QDialog>
#include <QLineEdit>

#include <functional>
#include <optional>

class QLabel;

namespace kvx {

class TchCalc : public QDialog {
    Q_OBJECT
public:
    TchCalc(double value, QWidget* parent);
    // The pad's result when it was closed through "入力" or Return.
    std::optional<double> Result() const { return result_; }
    void Press(char key);
    QString DisplayText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    CalcPad pad_;
    QLabel* display_;
    std::optional<double> result_;
};

class TchCalcEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TchCalcEdit(QWidget* parent = nullptr);

    double MinValue = 0;
    double MaxValue = 0;
    bool MinCheck = false;
    bool MaxCheck = false;
    bool WorningDlg = false;

    // Checks the text: not a number becomes "0"; outside the bounds is refused.
    Q_INVOKABLE bool Validate();
    // Opens the pad below the field; true when its value was put in.
    bool OpenPad();
    // How the pad is shown; tests replace it to press keys instead.
    std::function<std::optional<double>(double value, QPoint at)> runPad;
    // How the bound warning is shown.
    std::function<void()> warn;

signals:
    // After the pad has put a value into the field.
    void enterCalc();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// The shortest general form a value is written back in.
QString ValueText(double value);

} // namespace kvx
