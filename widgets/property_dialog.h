#pragma once

// "環境設定": the program's settings apart from folders and recent photos.

#include "base/app_settings.h"

#include <QComboBox>
#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QColor;
class QLineEdit;
class QPushButton;

namespace kvx {

// A number field as OK stores it: StrToVal, cut toward zero, kept within bounds.
std::int32_t PropertyNumber(const std::string& text, std::int32_t lower, std::int32_t upper);
// The click precision as OK stores it: StrToVal kept within 0.1..5 pixels;
// a field without a number keeps what was stored before.
double PropertyClickSigma(const std::string& text, double before);

class TFDProperty : public QDialog {
    Q_OBJECT
public:
    TFDProperty(const TAppSettings& settings, QWidget* parent);

    // The settings with the dialog's values, as OK stores them.
    TAppSettings Stored(TAppSettings settings) const;

    // How a colour is chosen; tests replace it.  Nothing when cancelled.
    std::function<std::optional<std::int32_t>(std::int32_t current)> chooseColour;
    // A click on colour panel i (0..6 first column, 7..13 second).
    void ColourClicked(int i);

    QCheckBox* CheckBox_PanWindow;
    QLineEdit* Edit_PanWindowSize;
    QLineEdit* Edit_DrawTextSize;
    QLineEdit* Edit_DeleteTempLimit;
    QCheckBox* CheckBox_ShortCutButton;
    QCheckBox* CheckBox_AdjustDraw;
    QCheckBox* CheckBox_PD25;
    QCheckBox* CheckBox_SpaceNameInput;
    QCheckBox* CheckBox_Snap;
    QCheckBox* CheckBox_ReportDetail;
    QComboBox* ComboBox_Language;
    QLineEdit* Edit_LoupeZoom;
    QLineEdit* Edit_MarkerSide = nullptr;
    QLineEdit* Edit_ClickSigma;
    QLineEdit* Edit_PhotoMegapixelLimit;
    QCheckBox* CheckBox_UncertaintyLabel;
    std::array<QPushButton*, 14> colourPanels{};

private:
    void Paint(int i);
    std::array<std::int32_t, 14> colours_{};
};

} // namespace kvx
