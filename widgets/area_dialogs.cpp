#include "widgets/area_dialogs.h"
#include "widgets/words.h"

#include "measure/cp932.h"
#include "measure/geometry.h"
#include "measure/numfmt.h"
#include "widgets/calc_edit.h"
#include "widgets/dialog_buttons.h"
#include "widgets/focus_manager.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringView>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kvx {

QString SlopeAngleText(const QString& depth, const QString& run)
{
    const double d = StrToVal(depth.toStdString());
    const double r = StrToVal(run.toStdString());
    if (r == 0)
        return {};
    const long double degrees = std::atan(static_cast<long double>(d) / r) * 180.0L / std::numbers::pi_v<long double>;
    return QString::fromStdString(FormatGeneral(DigitFix(degrees)));
}

TFDSlant::TFDSlant(double slantV, double slantH, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FDSlant"));
    setWindowTitle(Qx("AreaDialogs", "傾斜設定"));
    auto field = [this](const char* name, bool auxiliary) {
        auto* f = new TchCalcEdit(this);
        f->setObjectName(QString::fromLatin1(name));
        f->setFixedWidth(90);
        if (auxiliary)
            f->setStyleSheet(QStringLiteral("background:#c0c0c0;"));
        return f;
    };
    chCalcEdit_SlantV = field("chCalcEdit_SlantV", false);
    chCalcEdit_V1 = field("chCalcEdit_V1", true);
    chCalcEdit_V2 = field("chCalcEdit_V2", true);
    chCalcEdit_SlantH = field("chCalcEdit_SlantH", false);
    chCalcEdit_H1 = field("chCalcEdit_H1", true);
    chCalcEdit_H2 = field("chCalcEdit_H2", true);
    chCalcEdit_SlantV->setText(ValueText(slantV));
    chCalcEdit_SlantH->setText(ValueText(slantH));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(Qx("AreaDialogs", "傾斜角度"), this), 0, 1);
    grid->addWidget(new QLabel(Qx("AreaDialogs", "奥行き"), this), 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Δ"), this), 0, 4);
    grid->addWidget(new QLabel(Qx("AreaDialogs", "垂直方向"), this), 1, 0);
    grid->addWidget(chCalcEdit_SlantV, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("←"), this), 1, 2);
    grid->addWidget(chCalcEdit_V1, 1, 3);
    grid->addWidget(chCalcEdit_V2, 1, 4);
    grid->addWidget(new QLabel(Qx("AreaDialogs", "水平方向"), this), 2, 0);
    grid->addWidget(chCalcEdit_SlantH, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("←"), this), 2, 2);
    grid->addWidget(chCalcEdit_H1, 2, 3);
    grid->addWidget(chCalcEdit_H2, 2, 4);

    const OkAbortButtons buttons = MakeOkAbortButtons(this);
    buttons.ok->setAutoDefault(false);
    buttons.abort->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons.row);

    for (auto* depth : {chCalcEdit_V1, chCalcEdit_V2})
        connect(depth, &QLineEdit::textChanged, this, [this] { FillAngle(chCalcEdit_SlantV, chCalcEdit_V1, chCalcEdit_V2); });
    for (auto* depth : {chCalcEdit_H1, chCalcEdit_H2})
        connect(depth, &QLineEdit::textChanged, this, [this] { FillAngle(chCalcEdit_SlantH, chCalcEdit_H1, chCalcEdit_H2); });

    auto* focus = new TFocusManager(this);
    focus->ReturnMoveEnabled = true;
}

void TFDSlant::FillAngle(TchCalcEdit* angle, const TchCalcEdit* depth, const TchCalcEdit* run)
{
    angle->setText(SlopeAngleText(depth->text(), run->text()));
}

std::optional<std::pair<QString, QString>> TFDSlant::Angles() const
{
    if (result() != QDialog::Accepted)
        return std::nullopt;
    return std::pair{chCalcEdit_SlantV->text(), chCalcEdit_SlantH->text()};
}

QValidator::State AreaNameValidator::validate(QString& input, int& /*pos*/) const
{
    const std::optional<std::string> cp932 = Utf8ToCp932Exact(input.toStdString());
    QString why;
    if (!cp932) {
        // The first character the file cannot hold, named to the user.
        QString culprit;
        for (const char32_t c : input.toUcs4()) {
            const QString one = QString::fromUcs4(&c, 1);
            if (!Utf8ToCp932Exact(one.toStdString())) {
                culprit = one;
                break;
            }
        }
        why = Qx("AreaDialogs", "「%1」は名称に使えません (作業ファイルの文字コード CP932 にない文字です)").arg(culprit);
    } else if (cp932->size() > kAreaNameBytes) {
        why = Qx("AreaDialogs", "名称は %1 バイトまでです (全角文字は 2 バイト)").arg(kAreaNameBytes);
    } else {
        return Acceptable;
    }
    if (refused)
        refused(why);
    return Invalid;
}

int AreaNameBytesLeft(const QString& text)
{
    const std::optional<std::string> cp932 = Utf8ToCp932Exact(text.toStdString());
    const std::size_t used = cp932 ? cp932->size() : Utf8ToCp932(text.toStdString()).size();
    return static_cast<int>(kAreaNameBytes) - static_cast<int>(used);
}

TFNameDlg::TFNameDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FNameDlg"));
    Label1 = new QLabel(this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFixedWidth(241);
    auto* validator = new AreaNameValidator(Edit1);
    Edit1->setValidator(validator);
    Label_Left = new QLabel(this);
    Label_Left->setObjectName(QStringLiteral("Label_Left"));
    Label_Why = new QLabel(this);
    Label_Why->setObjectName(QStringLiteral("Label_Why"));
    Label_Why->setWordWrap(true);
    Label_Why->setStyleSheet(QStringLiteral("color:#c00000;"));
    Label_Why->setMaximumWidth(320);
    validator->refused = [this](const QString& why) { Label_Why->setText(why); };
    connect(Edit1, &QLineEdit::textChanged, this, [this] {
        Label_Why->clear();
        ShowLeft();
    });
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(Label1);
    row->addWidget(Edit1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(Label_Left, 0, Qt::AlignRight);
    layout->addWidget(Label_Why);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    auto* focus = new TFocusManager(this);
    focus->ReturnMoveEnabled = true;
    ShowLeft();
}

void TFNameDlg::ShowLeft()
{
    Label_Left->setText(Qx("AreaDialogs", "残り %1 バイト").arg(std::max(0, AreaNameBytesLeft(Edit1->text()))));
}

QString TFNameDlg::Ask(const QString& caption, const QString& label, const QString& initial)
{
    setWindowTitle(caption);
    Label1->setText(label);
    Edit1->setText(initial);
    Label_Why->clear();
    ShowLeft();
    Edit1->setFocus();
    exec();
    return Edit1->text();
}

} // namespace kvx
