#include "LabeledEdit.h"

TExtLabeledEdit::TExtLabeledEdit(QWidget *parent)
    : TInsideHintEdit(parent)
{
}

void TExtLabeledEdit::SetNotifyLabel(QLabel *value)
{
    FNotifyLabel = value;
}

void TExtLabeledEdit::ShowStringOnLabel(QString s, QColor color)
{
    if (!FNotifyLabel)
        return;
    if (OnBeforeShowStringOnLabelEvent)
        OnBeforeShowStringOnLabelEvent(this, s, color);
    // The handler may have done anything, the label's removal included.
    if (!FNotifyLabel)
        return;
    QPalette labelPalette = FNotifyLabel->palette();
    labelPalette.setColor(QPalette::WindowText, color);
    FNotifyLabel->setPalette(labelPalette);
    FNotifyLabel->setText(s);
    if (FIsColorSelfAsLabel) {
        QPalette own = palette();
        own.setColor(QPalette::Text, color);
        setPalette(own);
    }
}

void TExtLabeledEdit::ClearNotifyLabel()
{
    ShowStringOnLabel(QString(), Qt::black);
}
