#include "widgets/scan_dialog.h"
#include "widgets/words.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvx {

TFDScan::TFDScan(const QStringList& devices, const QString& current, std::function<void(const QString&)> warn,
                 QWidget* parent)
    : QDialog(parent), warn_(std::move(warn))
{
    setObjectName(QStringLiteral("FDScan"));
    setWindowTitle(Qx("ScanDialog", "スキャンデバイスの選択＆読込実行"));
    ComboBox_DsName = new QComboBox(this);
    ComboBox_DsName->setObjectName(QStringLiteral("ComboBox_DsName"));
    ComboBox_DsName->addItems(devices);
    ComboBox_DsName->setCurrentIndex(static_cast<int>(devices.indexOf(current)));
    ComboBox_DsName->setMinimumWidth(260);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    auto* cancel = new QPushButton(Qx("ScanDialog", "ｷｬﾝｾﾙ"), this);
    connect(ok, &QPushButton::clicked, this, &TFDScan::Ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ComboBox_DsName);
    layout->addLayout(buttons);
}

QString TFDScan::Device() const
{
    return ComboBox_DsName->currentText().trimmed();
}

void TFDScan::Ok()
{
    if (ComboBox_DsName->currentIndex() < 0) {
        if (warn_)
            warn_(Qx("ScanDialog", "スキャンデバイスが選択されていません."));
        return;
    }
    accept();
}

} // namespace kvx
