#include "widgets/focus_manager.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QKeyEvent>
#include <QWidget>

namespace kvx {

TFocusManager::TFocusManager(QWidget* form) : QObject(form), form_(form)
{
    // Every key of the form passes here first, as the form's key preview would.
    qApp->installEventFilter(this);
}

void TFocusManager::SetReturnMoveList(const QStringList& names)
{
    list_.clear();
    for (const QString& n : names)
        if (!n.trimmed().isEmpty())
            list_ << n.trimmed();
}

bool TFocusManager::Move(QWidget* active, bool back)
{
    if (list_.isEmpty()) {
        // The tab order, as Tab and Shift+Tab go.
        QWidget* w = back ? active->previousInFocusChain() : active->nextInFocusChain();
        while (w && w != active && !(w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
                                     form_->isAncestorOf(w)))
            w = back ? w->previousInFocusChain() : w->nextInFocusChain();
        if (w && w != active)
            w->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        return true;
    }
    const qsizetype at = list_.indexOf(active->objectName());
    if (at < 0)
        return false;
    const qsizetype n = list_.size();
    for (qsizetype step = 1; step <= n; ++step) {
        const qsizetype i = ((at + (back ? -step : step)) % n + n) % n;
        if (auto* w = form_->findChild<QWidget*>(list_[i]); w && w->isVisible() && w->isEnabled()) {
            w->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            return true;
        }
    }
    return true;
}

QWidget* TFocusManager::NextInTabOrder(QWidget* active) const
{
    QWidget* w = active->nextInFocusChain();
    while (w && w != active &&
           !(w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && form_->isAncestorOf(w)))
        w = w->nextInFocusChain();
    return w == active ? nullptr : w;
}

bool TFocusManager::Confirm(QWidget* active)
{
    // In a dialog, the field whose next stop is a button is the last one:
    // Return there confirms, as pressing the dialog's OK would.
    auto* dialog = qobject_cast<QDialog*>(form_);
    if (!dialog)
        return false;
    auto* next = qobject_cast<QAbstractButton*>(NextInTabOrder(active));
    if (!next)
        return false;
    QAbstractButton* ok = nullptr;
    for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->isDefault() && b->isVisible() && b->isEnabled())
            ok = b;
    (ok ? ok : next)->click();
    return true;
}

bool TFocusManager::eventFilter(QObject* watched, QEvent* event)
{
    if (!ReturnMoveEnabled || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    QWidget* active = QApplication::focusWidget();
    if (!active || watched != active || !form_->isAncestorOf(active))
        return false;
    if (!list_.isEmpty() && !list_.contains(active->objectName()))
        return false;
    // On a button Return presses it, whatever the button's default flags: the
    // movement leads there, so the next Return must act.
    if (auto* button = qobject_cast<QAbstractButton*>(active)) {
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        button->click();
        return true;
    }
    if (auto* combo = qobject_cast<QComboBox*>(active); combo && combo->view() && combo->view()->isVisible()) {
        combo->hidePopup();
        return true;
    }
    // A field that refuses its value keeps the focus.
    if (active->metaObject()->indexOfMethod("Validate()") >= 0) {
        bool ok = true;
        QMetaObject::invokeMethod(active, "Validate", Qt::DirectConnection, Q_RETURN_ARG(bool, ok));
        if (!ok)
            return true;
    }
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier && list_.isEmpty() && Confirm(active))
        return true;
    if (mods == Qt::NoModifier)
        Move(active, false);
    else if (mods == Qt::ShiftModifier)
        Move(active, true);
    return true;
}

namespace {

class WheelGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto* control = qobject_cast<QWidget*>(watched);
        if (!control || control->hasFocus())
            return false;
        return true;
    }
};

} // namespace

void WheelOnlyWithFocus(QWidget* control)
{
    // A click or Tab gives the focus; the wheel alone never does.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new WheelGuard(control));
}

} // namespace kvx
