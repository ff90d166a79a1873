#include "DialogKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

bool PressFocusedButton(QWidget *Dialog, QKeyEvent *Event)
{
    if (Event->key() != Qt::Key_Return && Event->key() != Qt::Key_Enter)
        return false;
    auto *button = qobject_cast<QPushButton *>(QApplication::focusWidget());
    if (!button || !Dialog->isAncestorOf(button) || !button->isVisible() || !button->isEnabled())
        return false;
    button->click();
    return true;
}
