#pragma once

// Return moves the input focus on to the next field (Shift+Return back), so
// that W, H and the price, or a dialog's fields, are filled in one after another.
// Return on a button presses it; in a dialog that moves in its tab order,
// Return in the last field (the one before the buttons) confirms the dialog.

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
    QWidget* NextInTabOrder(QWidget* active) const;
    bool Confirm(QWidget* active);
    QWidget* form_;
    QStringList list_;
};

// The wheel turns a control's value only while the control has the focus: a
// wheel notch meant for the photo or the panel that lands on a selector would
// otherwise change it unnoticed (the setting selector switches the whole set
// of measurements).
void WheelOnlyWithFocus(QWidget* control);

} // namespace kvx
