#pragma once

// "スキャンデバイスの選択＆読込実行": which scanner to read a page from.

#include <QDialog>
#include <QStringList>

#include <functional>

class QComboBox;

namespace kvx {

class TFDScan : public QDialog {
    Q_OBJECT
public:
    // warn shows the message when OK is pressed with no device chosen.
    TFDScan(const QStringList& devices, const QString& current, std::function<void(const QString&)> warn,
            QWidget* parent);
    // The chosen device, without surrounding blanks.
    QString Device() const;
    QComboBox* ComboBox_DsName;
    void Ok();

private:
    std::function<void(const QString&)> warn_;
};

} // namespace kvx
