#include "widgets/start_hint.h"
#include "widgets/words.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvx {

StartHint::StartHint(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("StartHint"));
    auto* column = new QVBoxLayout(this);
    column->setAlignment(Qt::AlignCenter);
    column->setSpacing(8);
    auto* title = new QLabel(Qx("StartHint", "写真を開くと計測を始められます"), this);
    title->setObjectName(QStringLiteral("StartHint_Title"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    open_ = new QPushButton(Qx("StartHint", "写真を開く..."), this);
    open_->setObjectName(QStringLiteral("StartHint_Open"));
    connect(open_, &QPushButton::clicked, this, &StartHint::openRequested);
    column->addWidget(open_, 0, Qt::AlignCenter);
    auto* drop = new QLabel(Qx("StartHint", "写真のファイルをここへドラッグしても開けます"), this);
    drop->setObjectName(QStringLiteral("StartHint_Drop"));
    drop->setAlignment(Qt::AlignCenter);
    column->addWidget(drop);
    recentHeading_ = new QLabel(Qx("StartHint", "最近開いた写真"), this);
    recentHeading_->setObjectName(QStringLiteral("StartHint_RecentHeading"));
    recentHeading_->setAlignment(Qt::AlignCenter);
    column->addSpacing(8);
    column->addWidget(recentHeading_);
    recentList_ = new QVBoxLayout;
    recentList_->setSpacing(2);
    column->addLayout(recentList_);
    SetRecent({});
}

void StartHint::SetRecent(const QStringList& paths)
{
    recent_.clear();
    for (const QString& p : paths)
        if (!p.isEmpty() && QFileInfo(p).isFile())
            recent_ << p;
    while (QLayoutItem* item = recentList_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (int i = 0; i < recent_.size(); ++i) {
        const QString path = recent_[i];
        auto* b = new QPushButton(QFileInfo(path).fileName(), this);
        b->setObjectName(QStringLiteral("StartHint_Recent%1").arg(i + 1));
        b->setToolTip(path);
        b->setFlat(true);
        b->setCursor(Qt::PointingHandCursor);
        connect(b, &QPushButton::clicked, this, [this, path] { emit recentChosen(path); });
        recentList_->addWidget(b, 0, Qt::AlignCenter);
    }
    recentHeading_->setVisible(!recent_.isEmpty());
}

} // namespace kvx
