#pragma once

// The two dialogs of the area tools: the slope of an area ("傾斜設定") and the
// name of a new area ("名称入力").

#include <QDialog>
#include <QString>

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

class TFNameDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFNameDlg(QWidget* parent);

    // Shows the dialog; the text typed, however it was closed.
    QString Ask(const QString& caption, const QString& label);

    QLabel* Label1;
    QLineEdit* Edit1;
};

} // namespace kvx
