#pragma once

// The table of every result of the current plane, docked beside the photo.

#include "measure/checks.h"
#include "measure/results.h"

#include <QDockWidget>
#include <QItemSelectionModel>

#include <utility>
#include <vector>

class QLabel;
class QTableWidget;

namespace kvx {

class ResultsPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit ResultsPanel(QWidget* parent);

    // Shows rows and totals; the unit price's currency and units follow the
    // interface's language.
    void Show(const std::vector<ResultRow>& rows, const std::vector<GroupTotal>& totals);
    // Selects the row of the mark (none: nothing selected), without telling.
    void Select(ResultKind kind, std::int32_t number);
    // The selected rows' marks, or every row's when none is selected, as
    // tab-separated text with a header row.
    QString ClipboardText() const;
    QTableWidget* Table() const { return table_; }

    // The check distances below the results, with their summary; hidden
    // while there are none.
    void ShowChecks(const std::vector<CheckResult>& checks);
    QTableWidget* CheckTable() const { return checkTable_; }

signals:
    void chosen(kvx::ResultKind kind, std::int32_t number);
    void renameRequested(std::int32_t area);
    void deleteRequested(std::vector<std::pair<kvx::ResultKind, std::int32_t>> marks);
    void checkLengthRequested(std::int32_t check);
    void checkDeleteRequested(std::vector<std::int32_t> checks);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Selects the whole row, whatever keys are held.
    void ChooseRow(int row, QItemSelectionModel::SelectionFlags how);
    std::vector<std::pair<ResultKind, std::int32_t>> SelectedMarks() const;

    QTableWidget* table_;
    QLabel* totals_;
    QTableWidget* checkTable_;
    QLabel* checkSummary_;
    std::vector<std::int32_t> checkNumbers_;
    std::vector<ResultRow> rows_;
    bool quiet_ = false;
};

} // namespace kvx
