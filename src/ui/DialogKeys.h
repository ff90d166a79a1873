#pragma once

class QKeyEvent;
class QWidget;

// Enter on a focused push button presses it, as it does everywhere on the
// desktop. Dialogs whose buttons are no auto-default buttons (so that Enter
// in an edit does not end them) call this from keyPressEvent. True when the
// key pressed a button of Dialog.
bool PressFocusedButton(QWidget *Dialog, QKeyEvent *Event);
