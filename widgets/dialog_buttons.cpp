#include "widgets/dialog_buttons.h"
#include "widgets/words.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace kvx {

OkAbortButtons MakeOkAbortButtons(QDialog* dialog)
{
    OkAbortButtons b;
    b.ok = new QPushButton(QStringLiteral("OK"), dialog);
    b.ok->setObjectName(QStringLiteral("BitBtn_Ok"));
    b.abort = new QPushButton(Qx("DialogButtons", "中止"), dialog);
    b.abort->setObjectName(QStringLiteral("BitBtn_Abort"));
    QObject::connect(b.ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(b.abort, &QPushButton::clicked, dialog, &QDialog::reject);
    b.row = new QHBoxLayout;
    b.row->addStretch(1);
    b.row->addWidget(b.ok);
    b.row->addWidget(b.abort);
    return b;
}

} // namespace kvx
