#pragma once

// Return moves the input focus on to the next field (Shift+Return back), so
// that W, H and the price, or a dialog's fields, are filled in one after another.

#include <QObject>
#include <QStringList>

class QWidget;

namespace kvx {

class TFocusManager : public QObject {
    Q_OBJECT
public:
    explicit TFocusManager(QWidget* form);

    bool ReturnMoveEnabled = false;
    // The names of the controls that take part, in order; empty: the tab order.
    void SetReturnMoveList(const QStringList& names);
    const QStringList& ReturnMoveList() const { return list_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Move(QWidget* active, bool back);
    QWidget* form_;
    QStringList list_;
};

} // namespace kvx
