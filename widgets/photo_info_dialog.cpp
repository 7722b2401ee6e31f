#include "widgets/photo_info_dialog.h"

#include "base/translate.h"
#include "widgets/words.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kvx {

TFDPhotoInfo::TFDPhotoInfo(const QString& photo, const std::vector<std::pair<std::string, std::string>>& camera,
                           QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FDPhotoInfo"));
    setWindowTitle(Qx("PhotoInfoDialog", "写真の情報"));
    auto* layout = new QVBoxLayout(this);
    form_ = new QFormLayout;
    layout->addLayout(form_);
    // The values can be copied into a report or a mail.
    auto row = [&](const QString& label, const QString& value) {
        auto* shown = new QLabel(value, this);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        shown->setTextFormat(Qt::PlainText);
        form_->addRow(label, shown);
    };
    row(Qx("PhotoInfoDialog", "ファイル"), photo);
    for (const auto& [label, value] : camera)
        row(QString::fromStdString(label), QString::fromStdString(value));
    if (camera.empty())
        row(Qx("PhotoInfoDialog", "カメラ"), Qx("PhotoInfoDialog", "この写真にはカメラの情報がありません"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::vector<std::pair<QString, QString>> TFDPhotoInfo::Rows() const
{
    std::vector<std::pair<QString, QString>> rows;
    for (int r = 0; r < form_->rowCount(); ++r) {
        auto* label = qobject_cast<QLabel*>(form_->itemAt(r, QFormLayout::LabelRole)->widget());
        auto* value = qobject_cast<QLabel*>(form_->itemAt(r, QFormLayout::FieldRole)->widget());
        if (label && value)
            rows.emplace_back(label->text(), value->text());
    }
    return rows;
}

} // namespace kvx
