#include "widgets/results_panel.h"
#include "widgets/words.h"
#include "base/translate.h"

#include "measure/computation.h"
#include "measure/numfmt.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <iterator>
#include <set>

namespace kvx {

namespace {

// The name column's widest, in letters: beyond it a name is elided.
constexpr int kNameColumnLetters = 12;
constexpr int kNameColumn = 3;
constexpr int kValueColumn = 4;
constexpr int kUncertaintyColumn = 5;

QStringList Header()
{
    return {Qx("ResultsPanel", "種類"),  Qx("ResultsPanel", "番号"),  Qx("ResultsPanel", "ｸﾞﾙｰﾌﾟ"),
            Qx("ResultsPanel", "名称"),  Qx("ResultsPanel", "値"),    Qx("ResultsPanel", "±"),
            Qx("ResultsPanel", "勾配V"), Qx("ResultsPanel", "勾配H"), Qx("ResultsPanel", "補正"),
            Qx("ResultsPanel", "延長")};
}

} // namespace

ResultsPanel::ResultsPanel(QWidget* parent) : QDockWidget(Qx("ResultsPanel", "計測結果"), parent)
{
    setObjectName(QStringLiteral("ResultsPanel"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    table_ = new QTableWidget(0, static_cast<int>(Header().size()), body);
    table_->setObjectName(QStringLiteral("ResultsTable"));
    table_->setHorizontalHeaderLabels(Header());
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setTextElideMode(Qt::ElideRight);
    // The value and its ± are what the table is read for: they stand right
    // after the kind and number, so a narrow dock never hides them.  Only
    // the view moves them; the copied text keeps the columns' order.
    table_->horizontalHeader()->moveSection(kValueColumn, 2);
    table_->horizontalHeader()->moveSection(kUncertaintyColumn, 3);
    table_->setWordWrap(false);
    table_->installEventFilter(this);
    layout->addWidget(table_, 1);
    totals_ = new QLabel(body);
    totals_->setObjectName(QStringLiteral("ResultsTotals"));
    totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Wrapped, so that a longer total never widens the dock and moves the photo.
    totals_->setWordWrap(true);
    layout->addWidget(totals_);
    checkTable_ = new QTableWidget(0, 7, body);
    checkTable_->setObjectName(QStringLiteral("CheckTable"));
    checkTable_->setHorizontalHeaderLabels({Qx("ResultsPanel", "検証"), Qx("ResultsPanel", "既知の長さ"),
                                            Qx("ResultsPanel", "測定値"), QStringLiteral("±"),
                                            Qx("ResultsPanel", "偏差"), Qx("ResultsPanel", "偏差 %"),
                                            Qx("ResultsPanel", "判定")});
    checkTable_->verticalHeader()->setVisible(false);
    checkTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    checkTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    checkTable_->installEventFilter(this);
    checkTable_->setToolTip(Qx("ResultsPanel", "既知の長さをダブルクリックすると変更できます. Delete キーで削除します"));
    checkTable_->hide();
    layout->addWidget(checkTable_);
    checkSummary_ = new QLabel(body);
    checkSummary_->setObjectName(QStringLiteral("CheckSummary"));
    checkSummary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    checkSummary_->setWordWrap(true);
    checkSummary_->hide();
    layout->addWidget(checkSummary_);
    setWidget(body);
    connect(checkTable_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && static_cast<std::size_t>(row) < checkNumbers_.size())
            emit checkLengthRequested(checkNumbers_[static_cast<std::size_t>(row)]);
    });

    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        if (quiet_)
            return;
        const auto marks = SelectedMarks();
        if (marks.size() == 1)
            emit chosen(marks.front().first, marks.front().second);
    });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        if (row < 0 || static_cast<std::size_t>(row) >= rows_.size() || column != 3)
            return;
        if (rows_[static_cast<std::size_t>(row)].kind == ResultKind::Area)
            emit renameRequested(rows_[static_cast<std::size_t>(row)].number);
    });
}

void ResultsPanel::Show(const std::vector<ResultRow>& rows, const std::vector<GroupTotal>& totals)
{
    const auto selected = SelectedMarks();
    quiet_ = true;
    rows_ = rows;
    table_->setRowCount(static_cast<int>(rows.size()));
    const QString mm = QString::fromStdString(Tx("Summary", "㎜"));
    const QString m2 = QString::fromStdString(Tx("Summary", "㎡"));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const ResultRow& r = rows[i];
        const bool area = r.kind == ResultKind::Area;
        const QString cells[] = {area ? Qx("ResultsPanel", "面積") : Qx("ResultsPanel", "距離"),
                                 QString::number(r.number),
                                 QString::number(r.group),
                                 QString::fromStdString(r.name),
                                 QString::fromStdString(r.valueText) + (area ? m2 : mm),
                                 r.uncertainty ? QString::fromStdString(r.uncertaintyText) + (area ? m2 : mm) : QString(),
                                 area ? QString::fromStdString(FormatGeneral(r.slopeV)) : QString(),
                                 area ? QString::fromStdString(FormatGeneral(r.slopeH)) : QString(),
                                 r.corrected ? Qx("ResultsPanel", "補正") : QString(),
                                 r.chainTotal ? QString::fromStdString(r.chainText) + mm : QString()};
        for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == kNameColumn && !cells[c].isEmpty())
                item->setToolTip(cells[c]);
            if (c == 1 || c == 2 || c == 4 || c == 5 || c == 6 || c == 7 || c == 9)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(static_cast<int>(i), c, item);
        }
    }
    table_->resizeColumnsToContents();
    // A long name is cut with an ellipsis (the whole name is its tooltip)
    // rather than pushing the value and its ± out of sight.
    const int nameWidth = table_->fontMetrics().horizontalAdvance(QLatin1Char('M')) * kNameColumnLetters;
    if (table_->columnWidth(kNameColumn) > nameWidth)
        table_->setColumnWidth(kNameColumn, nameWidth);
    QStringList lines;
    for (const GroupTotal& t : totals)
        lines << Qx("ResultsPanel", "ｸﾞﾙｰﾌﾟ%1: 距離 %2%3, 面積 %4%5, 金額 %6")
                     .arg(t.group)
                     .arg(QString::fromStdString(LengthTotalText(t)), mm, QString::fromStdString(AreaTotalText(t)), m2,
                          QString::fromStdString(MoneyText(t.cost)));
    totals_->setText(lines.join(QLatin1Char('\n')));
    table_->clearSelection();
    for (int i = 0; i < table_->rowCount(); ++i)
        for (const auto& [kind, number] : selected)
            if (rows_[static_cast<std::size_t>(i)].kind == kind && rows_[static_cast<std::size_t>(i)].number == number)
                ChooseRow(i, QItemSelectionModel::Select);
    quiet_ = false;
}

void ResultsPanel::Select(ResultKind kind, std::int32_t number)
{
    quiet_ = true;
    table_->clearSelection();
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].kind == kind && rows_[i].number == number) {
            ChooseRow(static_cast<int>(i), QItemSelectionModel::ClearAndSelect);
            table_->scrollToItem(table_->item(static_cast<int>(i), 0));
        }
    quiet_ = false;
}

void ResultsPanel::ChooseRow(int row, QItemSelectionModel::SelectionFlags how)
{
    // selectRow would read the modifiers held at this moment: Shift of the
    // redo key (Ctrl+Shift+Z) extended the selection from the old anchor.
    const QModelIndex index = table_->model()->index(row, 0);
    table_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    table_->selectionModel()->select(index, how | QItemSelectionModel::Rows);
}

std::vector<std::pair<ResultKind, std::int32_t>> ResultsPanel::SelectedMarks() const
{
    std::set<int> chosenRows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        chosenRows.insert(index.row());
    std::vector<std::pair<ResultKind, std::int32_t>> marks;
    for (int row : chosenRows)
        if (row >= 0 && static_cast<std::size_t>(row) < rows_.size())
            marks.emplace_back(rows_[static_cast<std::size_t>(row)].kind, rows_[static_cast<std::size_t>(row)].number);
    return marks;
}

QString ResultsPanel::ClipboardText() const
{
    const auto marks = SelectedMarks();
    std::vector<ResultRow> rows;
    for (const ResultRow& r : rows_) {
        bool take = marks.empty();
        for (const auto& [kind, number] : marks)
            take = take || (r.kind == kind && r.number == number);
        if (take)
            rows.push_back(r);
    }
    std::vector<std::string> header;
    for (const QString& h : Header())
        header.push_back(h.toStdString());
    return QString::fromStdString(ResultsAsText(rows, header, Qx("ResultsPanel", "距離").toStdString(),
                                                Qx("ResultsPanel", "面積").toStdString()));
}

void ResultsPanel::ShowChecks(const std::vector<CheckResult>& checks)
{
    checkNumbers_.clear();
    checkTable_->setRowCount(static_cast<int>(checks.size()));
    for (std::size_t i = 0; i < checks.size(); ++i) {
        const CheckResult& c = checks[i];
        checkNumbers_.push_back(c.number);
        const std::string off = FormatFixed(c.deviation, 1);
        const std::string percent = FormatFixed(c.relative * 100, 2);
        const QString cells[] = {QString::number(c.number),
                                 QString::fromStdString(FormatPlain(c.known)),
                                 QString::fromStdString(FormatFixed(c.measured, 1)),
                                 c.uncertainty ? QString::fromStdString(PlusMinus(*c.uncertainty)) : QString(),
                                 QString::fromStdString(off.front() == '-' ? off : "+" + off),
                                 QString::fromStdString(percent.front() == '-' ? percent : "+" + percent),
                                 c.within ? Qx("ResultsPanel", "2σ以内") : Qx("ResultsPanel", "2σ超")};
        for (int col = 0; col < 7; ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            if (col != 6)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            else if (!c.within)
                item->setForeground(QColor(200, 0, 0));
            checkTable_->setItem(static_cast<int>(i), col, item);
        }
    }
    checkTable_->resizeColumnsToContents();
    checkTable_->setVisible(!checks.empty());
    // A height for the rows there are, up to a few: the results keep the room.
    // (The header's own height is not laid out yet the first time: its hint
    // is.)  Room is kept for a horizontal scroll bar: the columns are often
    // wider than the dock.
    const int shown = std::min<int>(static_cast<int>(checks.size()), 5);
    int rows = 0;
    for (int row = 0; row < shown; ++row)
        rows += checkTable_->rowHeight(row);
    checkTable_->setFixedHeight(checkTable_->horizontalHeader()->sizeHint().height() + 2 * checkTable_->frameWidth() + rows +
                                checkTable_->horizontalScrollBar()->sizeHint().height() + 2);
    checkSummary_->setText(QString::fromStdString(CheckSummaryLine(SummariseChecks(checks))));
    checkSummary_->setVisible(!checks.empty());
}

bool ResultsPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == checkTable_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        std::set<int> chosenRows;
        for (const QModelIndex& index : checkTable_->selectionModel()->selectedRows())
            chosenRows.insert(index.row());
        std::vector<std::int32_t> checks;
        for (const int row : chosenRows)
            if (row >= 0 && static_cast<std::size_t>(row) < checkNumbers_.size())
                checks.push_back(checkNumbers_[static_cast<std::size_t>(row)]);
        if (!checks.empty())
            emit checkDeleteRequested(checks);
        return true;
    }
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            QApplication::clipboard()->setText(ClipboardText());
            return true;
        }
        if (key->key() == Qt::Key_Delete) {
            const auto marks = SelectedMarks();
            if (!marks.empty())
                emit deleteRequested(marks);
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

} // namespace kvx
