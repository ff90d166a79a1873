#pragma once

// An inside-hint edit with a notify label on which it shows short messages
// in a chosen colour. The label is referenced, never owned.

#include "InsideHintEdit.h"

#include <QLabel>
#include <QPointer>

class TExtLabeledEdit;

// May rewrite the text and colour of each message before it is shown.
using TShowStringOnLabelEvent = std::function<void(TExtLabeledEdit *sender, QString &s, QColor &color)>;

class TExtLabeledEdit : public TInsideHintEdit
{
    Q_OBJECT
public:
    explicit TExtLabeledEdit(QWidget *parent = nullptr);

    [[nodiscard]] QLabel *NotifyLabel() const { return FNotifyLabel; }
    virtual void SetNotifyLabel(QLabel *value);

    TShowStringOnLabelEvent OnBeforeShowStringOnLabelEvent;

    // True: the edit's own text colour follows each message's colour.
    [[nodiscard]] bool IsColorSelfAsLabel() const { return FIsColorSelfAsLabel; }
    void SetIsColorSelfAsLabel(bool value) { FIsColorSelfAsLabel = value; }

    void ShowStringOnLabel(QString s, QColor color);
    void ClearNotifyLabel();

private:
    QPointer<QLabel> FNotifyLabel;
    bool FIsColorSelfAsLabel = false;
};
