#include "widgets/effect_dialog.h"
#include "widgets/words.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace kvx {

TFDEffect::TFDEffect(const ImageEffects& settings, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FDEffect"));
    setWindowTitle(Qx("EffectDialog", "画像処理"));
    auto* layout = new QVBoxLayout(this);

    auto* rotate = new QGroupBox(Qx("EffectDialog", "回転"), this);
    auto* rotateRow = new QHBoxLayout(rotate);
    RadioGroup_Rotate = new QButtonGroup(this);
    const char* rotations[] = {"0", "+90", "-90"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(rotations[i]), rotate);
        RadioGroup_Rotate->addButton(r, i);
        rotateRow->addWidget(r);
    }
    if (QAbstractButton* b = RadioGroup_Rotate->button(std::clamp(settings.Rotate, 0, 2)))
        b->setChecked(true);
    layout->addWidget(rotate);

    auto* grid = new QGridLayout;
    auto track = [&](int row, const QString& label, const char* name, int min, int max, int value) {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(QString::fromLatin1(name));
        slider->setRange(min, max);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(10);
        slider->setValue(std::clamp(value, min, max));
        slider->setMinimumWidth(260);
        auto* position = new QLineEdit(QString::number(slider->value()), this);
        position->setReadOnly(true);
        position->setFixedWidth(56);
        position->setAlignment(Qt::AlignRight);
        connect(slider, &QSlider::valueChanged, position, [position](int v) { position->setText(QString::number(v)); });
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(slider, row, 1);
        grid->addWidget(position, row, 2);
        return slider;
    };
    TrackBar_Noise = track(0, Qx("EffectDialog", "ノイズ除去[0～255]"), "TrackBar_Noise", 0, 255, settings.Noise);
    TrackBar_Sharp = track(1, Qx("EffectDialog", "シャープネス[0～100]"), "TrackBar_Sharp", 0, 100, settings.Sharp);
    TrackBar_Chroma = track(2, Qx("EffectDialog", "彩度[-100～+1000]"), "TrackBar_Chroma", -100, 1000, settings.Chroma);
    TrackBar_RGBLevel = track(3, Qx("EffectDialog", "明るさ[-255～+255]"), "TrackBar_RGBLevel", -255, 255, settings.RGBLevel);
    layout->addLayout(grid);

    auto* invert = new QGroupBox(Qx("EffectDialog", "RGB反転"), this);
    auto* invertRow = new QHBoxLayout(invert);
    CheckBox_Red = new QCheckBox(QStringLiteral("Red"), invert);
    CheckBox_Green = new QCheckBox(QStringLiteral("Green"), invert);
    CheckBox_Blue = new QCheckBox(QStringLiteral("Blue"), invert);
    CheckBox_Red->setChecked(settings.RevRed);
    CheckBox_Green->setChecked(settings.RevGreen);
    CheckBox_Blue->setChecked(settings.RevBlue);
    for (QCheckBox* c : {CheckBox_Red, CheckBox_Green, CheckBox_Blue})
        invertRow->addWidget(c);
    layout->addWidget(invert);

    auto* buttons = new QHBoxLayout;
    auto* preview = new QPushButton(Qx("EffectDialog", "ﾌﾟﾚﾋﾞｭｰ"), this);
    preview->setObjectName(QStringLiteral("BitBtn_Preview"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn_Ok"));
    auto* abort = new QPushButton(Qx("EffectDialog", "中止"), this);
    abort->setObjectName(QStringLiteral("BitBtn_Abort"));
    connect(preview, &QPushButton::clicked, this, [this] { done(Preview); });
    connect(ok, &QPushButton::clicked, this, [this] { done(Ok); });
    connect(abort, &QPushButton::clicked, this, [this] { done(Abort); });
    buttons->addStretch(1);
    for (QPushButton* b : {preview, ok, abort})
        buttons->addWidget(b);
    layout->addLayout(buttons);
}

ImageEffects TFDEffect::Settings() const
{
    ImageEffects e;
    e.Rotate = std::max(0, RadioGroup_Rotate->checkedId());
    e.Noise = TrackBar_Noise->value();
    e.Sharp = TrackBar_Sharp->value();
    e.Chroma = TrackBar_Chroma->value();
    e.RGBLevel = TrackBar_RGBLevel->value();
    e.RevRed = CheckBox_Red->isChecked() ? 1 : 0;
    e.RevGreen = CheckBox_Green->isChecked() ? 1 : 0;
    e.RevBlue = CheckBox_Blue->isChecked() ? 1 : 0;
    return e;
}

} // namespace kvx
