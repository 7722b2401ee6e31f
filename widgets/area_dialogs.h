#pragma once

// The two dialogs of the area tools: the slope of an area ("傾斜設定") and the
// name of a new area ("名称入力").

#include <QDialog>
#include <QString>
#include <QValidator>

#include <functional>
#include <optional>
#include <utility>

class QLabel;
class QLineEdit;

namespace kvx {

class TchCalcEdit;
class TFocusManager;

class TFDSlant : public QDialog {
    Q_OBJECT
public:
    TFDSlant(double slantV, double slantH, QWidget* parent);

    TchCalcEdit* chCalcEdit_SlantV;
    TchCalcEdit* chCalcEdit_V1;
    TchCalcEdit* chCalcEdit_V2;
    TchCalcEdit* chCalcEdit_SlantH;
    TchCalcEdit* chCalcEdit_H1;
    TchCalcEdit* chCalcEdit_H2;

    // The two angle texts when closed with OK.
    std::optional<std::pair<QString, QString>> Angles() const;

private:
    // The angle of a row from its depth and run: arctan(depth / run), empty for no run.
    static void FillAngle(TchCalcEdit* angle, const TchCalcEdit* depth, const TchCalcEdit* run);
};

// The angle field's text for a depth and a run, as the slope dialog fills it.
QString SlopeAngleText(const QString& depth, const QString& run);

// Takes an area name only as the working files can hold it: CP932 characters,
// at most kAreaNameBytes of them.  An edit that would break either is refused
// whole, and refused says why, so nothing is ever cut off unseen.
class AreaNameValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;

    // Told the reason of each refusal, in the interface's language.
    std::function<void(const QString&)> refused;
};

// The bytes left for an area name after text, as the working files count them.
int AreaNameBytesLeft(const QString& text);

class TFNameDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFNameDlg(QWidget* parent);

    // Shows the dialog on initial; the text typed, however it was closed.
    QString Ask(const QString& caption, const QString& label, const QString& initial = {});

    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label_Left;  // the bytes still free, while typing
    QLabel* Label_Why;   // why the last key or paste was refused

private:
    void ShowLeft();
};

} // namespace kvx
