#include "shell/job_panel.h"

#include "widgets/words.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QUrl>
#include <QVBoxLayout>

namespace kvx {

namespace {

constexpr int kThumbSide = 96;

// A small picture of the photo, read scaled by the decoder: a photo far too
// large for the program gives none rather than the memory it would take.
QImage MakeThumbnail(const QString& file)
{
    QImageReader reader(file);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || static_cast<qint64>(size.width()) * size.height() > 400'000'000LL)
        return {};
    reader.setScaledSize(size.scaled(kThumbSide, kThumbSide, Qt::KeepAspectRatio));
    return reader.read();
}

} // namespace

JobPanel::JobPanel(QWidget* parent) : QDockWidget(Qx("JobPanel", "ジョブ"), parent)
{
    setObjectName(QStringLiteral("JobPanel"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    list_ = new QListWidget(body);
    list_->setObjectName(QStringLiteral("JobPhotos"));
    list_->setIconSize(QSize(kThumbSide, kThumbSide));
    list_->setWordWrap(true);
    list_->setAcceptDrops(true);
    list_->viewport()->setAcceptDrops(true);
    list_->viewport()->installEventFilter(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(list_, 1);

    // Two rows of buttons: in one row they made the panel take a third of a
    // laptop's screen from the photo.
    auto* buttons = new QGridLayout;
    int at = 0;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, body);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b, at / 3, at % 3);
        ++at;
        return b;
    };
    add_ = button("JobAdd", Qx("JobPanel", "追加…"));
    rename_ = button("JobRename", Qx("JobPanel", "名前…"));
    remove_ = button("JobRemove", Qx("JobPanel", "外す"));
    up_ = button("JobUp", Qx("JobPanel", "上へ"));
    down_ = button("JobDown", Qx("JobPanel", "下へ"));
    layout->addLayout(buttons);

    totals_ = new QLabel(body);
    totals_->setObjectName(QStringLiteral("JobTotals"));
    totals_->setTextFormat(Qt::PlainText);
    totals_->setWordWrap(true);
    totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(totals_);
    setWidget(body);

    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (!filling_)
            emit photoChosen(list_->row(item));
    });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(add_, &QPushButton::clicked, this, [this] { emit addRequested(); });
    connect(remove_, &QPushButton::clicked, this, [this] {
        if (CurrentRow() >= 0)
            emit removeRequested(CurrentRow());
    });
    connect(up_, &QPushButton::clicked, this, [this] {
        if (CurrentRow() > 0)
            emit moveRequested(CurrentRow(), CurrentRow() - 1);
    });
    connect(down_, &QPushButton::clicked, this, [this] {
        if (CurrentRow() >= 0 && CurrentRow() + 1 < Count())
            emit moveRequested(CurrentRow(), CurrentRow() + 1);
    });
    connect(rename_, &QPushButton::clicked, this, [this] {
        if (CurrentRow() >= 0)
            emit renameRequested(CurrentRow());
    });
    UpdateButtons();
}

void JobPanel::SetRows(const std::vector<JobPanelRow>& rows)
{
    filling_ = true;
    const int keep = list_->currentRow();
    list_->clear();
    rowPrints_.clear();
    int current = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const JobPanelRow& r = rows[i];
        QString text = r.title;
        text += QLatin1Char('\n') + (r.reference ? Qx("JobPanel", "基準: 設定済み") : Qx("JobPanel", "基準: 未設定"));
        if (!r.totals.isEmpty())
            text += QLatin1Char('\n') + r.totals;
        if (!r.problem.isEmpty())
            text += QLatin1Char('\n') + r.problem;
        auto* item = new QListWidgetItem(text, list_);
        item->setToolTip(r.file);
        if (r.current) {
            QFont bold = item->font();
            bold.setBold(true);
            item->setFont(bold);
            current = static_cast<int>(i);
        }
        rowPrints_.push_back(r.fingerprint);
        Thumbnail(static_cast<int>(i), r.file, r.fingerprint);
    }
    list_->setCurrentRow(keep >= 0 && keep < list_->count() ? keep : current);
    filling_ = false;
    UpdateButtons();
}

void JobPanel::SetTotals(const QString& text)
{
    totals_->setText(text);
}

int JobPanel::Count() const
{
    return list_->count();
}

int JobPanel::CurrentRow() const
{
    return list_->currentRow();
}

QString JobPanel::RowText(int row) const
{
    const QListWidgetItem* item = list_->item(row);
    return item ? item->text() : QString();
}

bool JobPanel::HasThumbnail(int row) const
{
    const QListWidgetItem* item = list_->item(row);
    return item && !item->icon().isNull();
}

void JobPanel::Thumbnail(int row, const QString& file, const std::string& fingerprint)
{
    if (const auto known = thumbnails_.find(fingerprint); known != thumbnails_.end()) {
        list_->item(row)->setIcon(known->second);
        return;
    }
    if (file.isEmpty() || asked_[fingerprint])
        return;
    asked_[fingerprint] = true;
    QPointer<JobPanel> self(this);
    QThreadPool::globalInstance()->start([self, file, fingerprint] {
        const QImage image = MakeThumbnail(file);
        QMetaObject::invokeMethod(qApp, [self, image, fingerprint] {
            if (!self)
                return;
            self->asked_[fingerprint] = false;
            // A photo that gives no picture keeps none, and is not read again at every change.
            const QIcon icon = image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
            self->thumbnails_[fingerprint] = icon;
            for (std::size_t i = 0; i < self->rowPrints_.size(); ++i)
                if (self->rowPrints_[i] == fingerprint)
                    self->list_->item(static_cast<int>(i))->setIcon(icon);
        }, Qt::QueuedConnection);
    });
}

void JobPanel::UpdateButtons()
{
    const int row = CurrentRow();
    remove_->setEnabled(row >= 0);
    rename_->setEnabled(row >= 0);
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && row + 1 < Count());
}

bool JobPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            QStringList files;
            for (const QUrl& url : drop->mimeData()->urls())
                if (url.isLocalFile())
                    files << url.toLocalFile();
            if (!files.isEmpty()) {
                drop->acceptProposedAction();
                emit filesDropped(files);
                return true;
            }
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

} // namespace kvx
