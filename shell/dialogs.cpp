#include "shell/dialogs.h"
#include "widgets/words.h"

#include "base/error_trail.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>
#include <utility>

namespace kvx {

QString VersionText()
{
    QString v = QStringLiteral("%1.%2.%3").arg(KALVEX_VERSION_MAJOR).arg(KALVEX_VERSION_MINOR).arg(KALVEX_VERSION_PATCH);
#ifndef NDEBUG
    v += QStringLiteral("α");
#else
    if (KALVEX_PRERELEASE)
        v += QStringLiteral("β");
#endif
    return v;
}

QString FormTitle(const QString& imageFileName)
{
    return QStringLiteral("Kalvex [Version %1]  [%2]").arg(VersionText(), imageFileName);
}

namespace {

// The program's mark: a photo frame with a measured diagonal.
void PaintMark(QPainter& p, const QRectF& r)
{
    p.setRenderHint(QPainter::Antialiasing);
    const double u = r.width() / 32.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x79));
    p.drawRoundedRect(r.adjusted(u, u, -u, -u), 4 * u, 4 * u);
    const QRectF photo = r.adjusted(5 * u, 7 * u, -5 * u, -7 * u);
    p.setBrush(QColor(0xf4, 0xf1, 0xe8));
    p.drawRect(photo);
    QPolygonF plane;
    plane << QPointF(photo.left() + 3 * u, photo.top() + 4 * u) << QPointF(photo.right() - 2 * u, photo.top() + 2 * u)
          << QPointF(photo.right() - 4 * u, photo.bottom() - 2 * u) << QPointF(photo.left() + 2 * u, photo.bottom() - 3 * u);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xd0, 0x30, 0x30), 1.4 * u));
    p.drawPolygon(plane);
    p.setPen(QPen(QColor(0x20, 0x90, 0x40), 1.2 * u, Qt::DashLine));
    p.drawLine(plane[0], plane[2]);
}

} // namespace

QIcon ProgramIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        PaintMark(p, QRectF(0, 0, size, size));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QPixmap SplashPicture()
{
    QPixmap pm(350, 274);
    pm.fill(Qt::white);
    QPainter p(&pm);
    PaintMark(p, QRectF(24, 40, 160, 160));
    QFont title = p.font();
    title.setPointSize(28);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0x1f, 0x4e, 0x79));
    p.drawText(QRectF(190, 90, 150, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kalvex"));
    QFont small = p.font();
    small.setPointSize(9);
    small.setBold(false);
    p.setFont(small);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.drawText(QRectF(24, 215, 310, 40), Qt::AlignLeft | Qt::TextWordWrap,
               Qx("Dialogs", "写真から長さと面積を測る"));
    return pm;
}

QCursor ZoomCursor(bool zoomIn)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A magnifier: a white halo under a black outline, so it shows on any photo.
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 4.0}, std::pair{QColor(Qt::black), 2.0}}) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        p.drawEllipse(QRectF(3, 3, 18, 18));
        p.drawLine(QPointF(19, 19), QPointF(29, 29));
        p.drawLine(QPointF(8, 12), QPointF(16, 12));
        if (zoomIn)
            p.drawLine(QPointF(12, 8), QPointF(12, 16));
    }
    p.end();
    return QCursor(pm, 12, 12);
}

// --- error information --------------------------------------------------------------

TFDError::TFDError(const ErrorTrail& trail, int lastError, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFDError"));
    setWindowTitle(Qx("Dialogs", "エラー情報"));
    memo_ = new QPlainTextEdit(this);
    memo_->setReadOnly(true);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(memo_);
    QString text = QStringLiteral("ErrorNo = %1").arg(lastError);
    for (const std::string& line : trail.lines())
        text += QLatin1Char('\n') + QString::fromStdString(line);
    memo_->setPlainText(text);
    resize(480, 320);
}

QString TFDError::Text() const
{
    return memo_->toPlainText();
}

// --- version ----------------------------------------------------------------------------

TFDVersion::TFDVersion(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFDVersion"));
    setWindowTitle(Qx("Dialogs", "バージョン情報"));
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("Kalvex"), this);
    auto* version = new QLabel(QStringLiteral("Version ") + VersionText(), this);
    version->setObjectName(QStringLiteral("VersionLabel"));
    name->setEnabled(false);
    version->setEnabled(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint());
}

// --- history ----------------------------------------------------------------------------

TFDHistory::TFDHistory(QString file, std::function<void(const QString&)> warn, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowCloseButtonHint), file_(std::move(file)), warn_(std::move(warn))
{
    setObjectName(QStringLiteral("TFDHistory"));
    setWindowTitle(Qx("Dialogs", "更新履歴"));
    memo_ = new QPlainTextEdit(this);
    memo_->setReadOnly(true);
    memo_->setFrameShape(QFrame::NoFrame);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(memo_);
    resize(560, 420);
}

QString TFDHistory::Text() const
{
    return memo_->toPlainText();
}

void TFDHistory::Reload()
{
    QFile f(file_);
    if (!f.exists() || !f.open(QIODevice::ReadOnly)) {
        if (warn_ && !std::exchange(warned_, true))
            warn_(Qx("Dialogs", "更新履歴ファイルが見つかりません."));
        return;
    }
    // A history is a page of text; more than this is not ours.
    memo_->setPlainText(QString::fromUtf8(f.read(4 << 20)));
}

bool TFDHistory::event(QEvent* e)
{
    if (e->type() == QEvent::Show)
        warned_ = false;
    if (e->type() == QEvent::WindowActivate)
        Reload();
    return QDialog::event(e);
}

// --- splash -----------------------------------------------------------------------------

TFTitle::TFTitle(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("TFTitle"));
    setFixedSize(350, 274);
    auto* picture = new QLabel(this);
    picture->setPixmap(SplashPicture());
    picture->setGeometry(0, 0, 350, 274);
    picture->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(QStringLiteral("Version 2"), this);
    version->setGeometry(240, 56, 80, 16);
    version->setAutoFillBackground(true);
    QPalette pal = version->palette();
    pal.setColor(QPalette::Window, Qt::white);
    version->setPalette(pal);
}

} // namespace kvx
