#include "widgets/property_dialog.h"
#include "widgets/words.h"
#include "base/translate.h"

#include "measure/geometry.h"
#include "measure/numfmt.h"
#include "measure/uncertainty.h"
#include "widgets/dialog_buttons.h"
#include "widgets/focus_manager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kvx {

namespace {

std::int32_t TAppSettings::*const kColours[14] = {
    &TAppSettings::ColorBase,      &TAppSettings::ColorCrossLine,  &TAppSettings::ColorBaseLine,
    &TAppSettings::ColorBaseUnit,  &TAppSettings::ColorDistance,   &TAppSettings::ColorSpaceAdd,
    &TAppSettings::ColorSpaceSub,  &TAppSettings::ColorBase2,      &TAppSettings::ColorCrossLine2,
    &TAppSettings::ColorBaseLine2, &TAppSettings::ColorBaseUnit2,  &TAppSettings::ColorDistance2,
    &TAppSettings::ColorSpaceAdd2, &TAppSettings::ColorSpaceSub2,
};

QColor Qt(std::int32_t bgr)
{
    const auto v = static_cast<std::uint32_t>(bgr);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

std::int32_t Bgr(const QColor& c)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
                                     (static_cast<std::uint32_t>(c.blue()) << 16));
}

} // namespace

std::int32_t PropertyNumber(const std::string& text, std::int32_t lower, std::int32_t upper)
{
    const double v = std::trunc(StrToVal(text));
    return static_cast<std::int32_t>(std::max<double>(std::min<double>(v, upper), lower));
}

double PropertyClickSigma(const std::string& text, double before)
{
    if (text.find_first_of("0123456789") == std::string::npos)
        return ClickSigma(before);
    return ClickSigma(StrToVal(text));
}

TFDProperty::TFDProperty(const TAppSettings& s, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FDProperty"));
    setWindowTitle(Qx("PropertyDialog", "環境設定"));
    auto* layout = new QVBoxLayout(this);

    // A framed number field with its unit; lead, when given, heads the row.
    auto numberGroup = [&](const QString& title, QWidget* lead, std::int32_t value, const QString& unit) {
        auto* box = new QGroupBox(title, this);
        auto* row = new QHBoxLayout(box);
        if (lead) {
            lead->setParent(box);
            row->addWidget(lead);
        }
        auto* edit = new QLineEdit(QString::number(value), box);
        row->addWidget(edit);
        row->addWidget(new QLabel(unit, box));
        layout->addWidget(box);
        return edit;
    };
    CheckBox_PanWindow = new QCheckBox(QStringLiteral("PanWindow"), this);
    CheckBox_PanWindow->setChecked(s.PanWindowFlag);
    Edit_PanWindowSize = numberGroup(QString(), CheckBox_PanWindow, s.PanWindowSize, Qx("PropertyDialog", "ﾋﾟｸｾﾙ"));
    Edit_DrawTextSize = numberGroup(Qx("PropertyDialog", "フォントサイズ"), nullptr, s.DrawTextSize, Qx("PropertyDialog", "(8～20)"));
    Edit_DeleteTempLimit =
        numberGroup(Qx("PropertyDialog", "作業ファイル削除"), nullptr, s.DeleteTempLimit, Qx("PropertyDialog", "日後"));
    Edit_LoupeZoom = numberGroup(Qx("PropertyDialog", "ルーペの倍率"), nullptr, s.LoupeZoom, Qx("PropertyDialog", "倍 (2～8)"));
    Edit_LoupeZoom->setObjectName(QStringLiteral("Edit_LoupeZoom"));
    Edit_ClickSigma = numberGroup(Qx("PropertyDialog", "クリックの精度 (±の計算)"), nullptr, 0, Qx("PropertyDialog", "画素 (0.1～5)"));
    Edit_ClickSigma->setObjectName(QStringLiteral("Edit_ClickSigma"));
    Edit_ClickSigma->setText(QString::fromStdString(FormatGeneral(ClickSigma(s.ClickSigma))));
    Edit_ClickSigma->setToolTip(Qx("PropertyDialog", "点を置くときのずれの見込み (標準偏差). 計測値の ± はここから求めます"));
    Edit_PhotoMegapixelLimit = numberGroup(Qx("PropertyDialog", "開く写真の大きさの上限"), nullptr, s.PhotoMegapixelLimit,
                                           Qx("PropertyDialog", "メガ画素 (10～1000)"));
    Edit_PhotoMegapixelLimit->setObjectName(QStringLiteral("Edit_PhotoMegapixelLimit"));
    Edit_MarkerSide = numberGroup(Qx("PropertyDialog", "マーカーの一辺 (mm)"), nullptr, s.MarkerSide, Qx("PropertyDialog", "mm (10～180)"));
    Edit_MarkerSide->setObjectName(QStringLiteral("Edit_MarkerSide"));
    Edit_PhotoMegapixelLimit->setToolTip(
        Qx("PropertyDialog", "これより画素数の多い写真は, 読み込む前に断ります (メモリを使い尽くさないため)"));

    CheckBox_ShortCutButton = new QCheckBox(Qx("PropertyDialog", "ショートカットボタン"), this);
    CheckBox_ShortCutButton->setChecked(s.ShortCutButtonFlag);
    CheckBox_AdjustDraw = new QCheckBox(Qx("PropertyDialog", "調整中の描画"), this);
    CheckBox_AdjustDraw->setChecked(s.AdjustDrawFlag);
    CheckBox_PD25 = new QCheckBox(Qx("PropertyDialog", "ＰＤ２５データ読込"), this);
    CheckBox_PD25->setChecked(s.PD25Flag);
    CheckBox_PD25->setToolTip(Qx("PropertyDialog", "ＨＩＬＴＩのレーザー計測器をお持ちでない方はチェックを入れないで下さい"));
    CheckBox_Snap = new QCheckBox(Qx("PropertyDialog", "基準矩形の頂点を写真の角に合わせる"), this);
    CheckBox_Snap->setObjectName(QStringLiteral("CheckBox_Snap"));
    CheckBox_Snap->setChecked(s.SnapFlag);
    CheckBox_SpaceNameInput = new QCheckBox(Qx("PropertyDialog", "面積エリア名称入力"), this);
    CheckBox_SpaceNameInput->setChecked(s.SpaceNameInputFlag);
    for (QWidget* w : {static_cast<QWidget*>(CheckBox_ShortCutButton), static_cast<QWidget*>(CheckBox_AdjustDraw),
                       static_cast<QWidget*>(CheckBox_PD25)})
        layout->addWidget(w);
    layout->addWidget(new QLabel(Qx("PropertyDialog", "（↑通常はチェック無し）"), this));
    layout->addWidget(CheckBox_SpaceNameInput);
    layout->addWidget(CheckBox_Snap);
    CheckBox_ReportDetail = new QCheckBox(Qx("PropertyDialog", "ＰＤＦに計測結果の詳細を付ける"), this);
    CheckBox_ReportDetail->setObjectName(QStringLiteral("CheckBox_ReportDetail"));
    CheckBox_ReportDetail->setChecked(s.ReportDetailFlag);
    layout->addWidget(CheckBox_ReportDetail);
    CheckBox_UncertaintyLabel = new QCheckBox(Qx("PropertyDialog", "写真上の数値に ± を付ける"), this);
    CheckBox_UncertaintyLabel->setObjectName(QStringLiteral("CheckBox_UncertaintyLabel"));
    CheckBox_UncertaintyLabel->setChecked(s.UncertaintyLabelFlag);
    layout->addWidget(CheckBox_UncertaintyLabel);

    // The interface's words are set up before the window is built, so a new
    // language shows from the next start.
    auto* language = new QGroupBox(Qx("PropertyDialog", "言語"), this);
    auto* languageRow = new QHBoxLayout(language);
    ComboBox_Language = new QComboBox(language);
    ComboBox_Language->setObjectName(QStringLiteral("ComboBox_Language"));
    ComboBox_Language->addItem(Qx("PropertyDialog", "OSの設定に合わせる"), QString());
    ComboBox_Language->addItem(Qx("PropertyDialog", "日本語"), QStringLiteral("ja"));
    ComboBox_Language->addItem(QStringLiteral("English"), QStringLiteral("en"));
    ComboBox_Language->setCurrentIndex(std::max(0, ComboBox_Language->findData(QString::fromStdString(s.Language))));
    languageRow->addWidget(ComboBox_Language);
    languageRow->addWidget(new QLabel(Qx("PropertyDialog", "次に起動したときから有効"), language));
    layout->addWidget(language);

    auto* colours = new QGridLayout;
    colours->addWidget(new QLabel(Qx("PropertyDialog", "色設定"), this), 0, 1);
    colours->addWidget(new QLabel(Qx("PropertyDialog", "色設定２"), this), 0, 2);
    const QString rows[] = {Qx("PropertyDialog", "基準矩形"), Qx("PropertyDialog", "交線"), Qx("PropertyDialog", "基準WH"), Qx("PropertyDialog", "計測基準"), Qx("PropertyDialog", "距離計測"), Qx("PropertyDialog", "面積加算"), Qx("PropertyDialog", "面積減算")};
    const char* names[] = {"Base", "CrossLine", "BaseLine", "BaseUnit", "Distance", "SpaceAdd", "SpaceSub"};
    for (int r = 0; r < 7; ++r) {
        colours->addWidget(new QLabel(rows[r], this), r + 1, 0);
        for (int column = 0; column < 2; ++column) {
            const int i = r + 7 * column;
            auto* panel = new QPushButton(this);
            panel->setObjectName(QStringLiteral("Panel_Color_%1%2").arg(QString::fromLatin1(names[r]),
                                                                        column ? QStringLiteral("2") : QString()));
            panel->setToolTip(Qx("PropertyDialog", "色設定"));
            panel->setFixedSize(60, 20);
            panel->setAutoDefault(false);
            colourPanels[static_cast<std::size_t>(i)] = panel;
            colours_[static_cast<std::size_t>(i)] = s.*kColours[i];
            Paint(i);
            connect(panel, &QPushButton::clicked, this, [this, i] { ColourClicked(i); });
            colours->addWidget(panel, r + 1, column + 1);
        }
    }
    colours->addWidget(new QLabel(Qx("PropertyDialog", "↑基準６点入力時有効"), this), 8, 2);
    layout->addLayout(colours);

    const OkAbortButtons buttons = MakeOkAbortButtons(this);
    buttons.ok->setDefault(true);
    layout->addLayout(buttons.row);

    chooseColour = [this](std::int32_t current) -> std::optional<std::int32_t> {
        const QColor c = QColorDialog::getColor(Qt(current), this);
        if (!c.isValid())
            return std::nullopt;
        return Bgr(c);
    };
    auto* focus = new TFocusManager(this);
    focus->ReturnMoveEnabled = true;
    focus->SetReturnMoveList({QStringLiteral("Edit_PanWindowSize"), QStringLiteral("Edit_DrawTextSize"),
                              QStringLiteral("Edit_DeleteTempLimit")});
    Edit_PanWindowSize->setObjectName(QStringLiteral("Edit_PanWindowSize"));
    Edit_DrawTextSize->setObjectName(QStringLiteral("Edit_DrawTextSize"));
    Edit_DeleteTempLimit->setObjectName(QStringLiteral("Edit_DeleteTempLimit"));
}

void TFDProperty::Paint(int i)
{
    colourPanels[static_cast<std::size_t>(i)]->setStyleSheet(
        QStringLiteral("background-color:%1; border:1px solid #606060;").arg(Qt(colours_[static_cast<std::size_t>(i)]).name()));
}

void TFDProperty::ColourClicked(int i)
{
    if (const auto chosen = chooseColour(colours_[static_cast<std::size_t>(i)])) {
        colours_[static_cast<std::size_t>(i)] = *chosen;
        Paint(i);
    }
}

TAppSettings TFDProperty::Stored(TAppSettings s) const
{
    s.PanWindowFlag = CheckBox_PanWindow->isChecked();
    auto number = [](const QLineEdit* edit, SettingRange r) {
        return PropertyNumber(edit->text().toStdString(), r.lower, r.upper);
    };
    s.PanWindowSize = number(Edit_PanWindowSize, kPanWindowSizeRange);
    s.DrawTextSize = number(Edit_DrawTextSize, kDrawTextSizeRange);
    s.DeleteTempLimit = number(Edit_DeleteTempLimit, kDeleteTempLimitRange);
    s.LoupeZoom = number(Edit_LoupeZoom, kLoupeZoomRange);
    s.PhotoMegapixelLimit = number(Edit_PhotoMegapixelLimit, kPhotoMegapixelsRange);
    s.MarkerSide = number(Edit_MarkerSide, kMarkerSideRange);
    s.ShortCutButtonFlag = CheckBox_ShortCutButton->isChecked();
    s.AdjustDrawFlag = CheckBox_AdjustDraw->isChecked();
    s.PD25Flag = CheckBox_PD25->isChecked();
    s.SpaceNameInputFlag = CheckBox_SpaceNameInput->isChecked();
    s.SnapFlag = CheckBox_Snap->isChecked();
    s.ReportDetailFlag = CheckBox_ReportDetail->isChecked();
    s.ClickSigma = PropertyClickSigma(Edit_ClickSigma->text().toStdString(), s.ClickSigma);
    s.UncertaintyLabelFlag = CheckBox_UncertaintyLabel->isChecked();
    s.Language = ComboBox_Language->currentData().toString().toStdString();
    for (int i = 0; i < 14; ++i)
        s.*kColours[i] = colours_[static_cast<std::size_t>(i)];
    return s;
}

} // namespace kvx
