#include "ConstraintedEdit.h"

TConstraintedEdit::TConstraintedEdit(QWidget *parent)
    : TExtLabeledEdit(parent)
{
}

void TConstraintedEdit::SetIsCheckOnCreate(bool value)
{
    FIsCheckOnCreate = value;
    if (value)
        CheckConstraint();
}

void TConstraintedEdit::SetNotifyLabel(QLabel *value)
{
    TExtLabeledEdit::SetNotifyLabel(value);
    // A form that sets both shows the check's message from the start.
    if (FIsCheckOnCreate)
        CheckConstraint();
}

QString TConstraintedEdit::GetCheckedText()
{
    if (!CheckConstraint())
        throw EConstraintEditException(FExceptionMessage);
    return text();
}

bool TConstraintedEdit::CheckConstraint()
{
    bool answer = true;
    QString userMessage;
    QColor color = Qt::black;
    ClearNotifyLabel();
    if (OnConstraintCheck) {
        OnConstraintCheck(this, text(), answer, userMessage, color);
        ShowStringOnLabel(userMessage, color);
    }
    return answer;
}

void TConstraintedEdit::Change()
{
    TExtLabeledEdit::Change();
    if (FIsCheckOnChange)
        CheckConstraint();
}
