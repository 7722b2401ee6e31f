#include "widgets/list_dialog.h"
#include "widgets/words.h"

#include <QFontDatabase>
#include <QListWidget>
#include <QPushButton>

namespace kvx {

TFDList::TFDList(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FDList"));
    setWindowTitle(Qx("ListDialog", "PD25ﾃﾞｰﾀ"));
    setFixedSize(292, 323);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ListBox1"));
    list_->setGeometry(0, 0, 292, 289);
    // Columns line up only in a fixed-pitch face, double-byte characters twice as wide.
    QFont mono;
    mono.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Monospace")});
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(12);
    list_->setFont(mono);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setGeometry(64, 296, 75, 25);
    auto* abort = new QPushButton(Qx("ListDialog", "中止"), this);
    abort->setObjectName(QStringLiteral("BitBtn2"));
    abort->setGeometry(147, 296, 75, 25);
    connect(ok, &QPushButton::clicked, this, &TFDList::Ok);
    connect(abort, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &TFDList::Ok);
}

void TFDList::SetLines(const QStringList& lines)
{
    list_->clear();
    list_->addItems(lines);
    chosen_ = -1;
}

void TFDList::Ok()
{
    if (list_->currentRow() < 0 || list_->selectedItems().isEmpty())
        return;
    chosen_ = list_->currentRow();
    accept();
}

} // namespace kvx
