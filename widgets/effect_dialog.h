#pragma once

// "画像処理": the image processing settings of the photo, with a preview.

#include "measure/model.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QSlider;

namespace kvx {

class TFDEffect : public QDialog {
    Q_OBJECT
public:
    // The dialog's results: OK, abort (also Escape and the close box), preview.
    enum Result { Ok = 1, Abort = 3, Preview = 4 };

    TFDEffect(const ImageEffects& settings, QWidget* parent);
    ImageEffects Settings() const;

    QSlider* TrackBar_Noise;
    QSlider* TrackBar_Sharp;
    QSlider* TrackBar_Chroma;
    QSlider* TrackBar_RGBLevel;
    QCheckBox* CheckBox_Red;
    QCheckBox* CheckBox_Green;
    QCheckBox* CheckBox_Blue;
    QButtonGroup* RadioGroup_Rotate;

protected:
    void reject() override { done(Abort); }
};

} // namespace kvx
