#pragma once

// "PD25ﾃﾞｰﾀ": the meter's lines to pick a length from.

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace kvx {

class TFDList : public QDialog {
    Q_OBJECT
public:
    explicit TFDList(QWidget* parent);
    void SetLines(const QStringList& lines);
    // The chosen line's index after OK, -1 otherwise.
    int Chosen() const { return chosen_; }
    QListWidget* List() const { return list_; }
    // OK closes only with a line selected.
    void Ok();

private:
    QListWidget* list_;
    int chosen_ = -1;
};

} // namespace kvx
