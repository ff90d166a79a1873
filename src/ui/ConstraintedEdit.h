#pragma once

// A labeled edit whose text must pass a check supplied by the form; the
// check's message goes to the notify label, and CheckedText gives the text
// only when the check passes.

#include "LabeledEdit.h"
#include "UiErrors.h"

class TConstraintedEdit;

class EConstraintEditException : public EUiException
{
public:
    using EUiException::EUiException;
};

// Text is the current text; Answer, UserMessage and Color come in preset
// (true, empty, black) and the handler sets them.
using TConstraintCheckEvent = std::function<void(TConstraintedEdit *sender, const QString &text,
                                                 bool &answer, QString &userMessage, QColor &color)>;

namespace ConstraintedEditTexts {
inline const QString DefaultExceptionMessage =
    QStringLiteral("Не соблюдены ограничения, наложенные на поле ввода.");
}

class TConstraintedEdit : public TExtLabeledEdit
{
    Q_OBJECT
public:
    explicit TConstraintedEdit(QWidget *parent = nullptr);

    TConstraintCheckEvent OnConstraintCheck;

    [[nodiscard]] QString ConstraintEditExceptionMessage() const { return FExceptionMessage; }
    void SetConstraintEditExceptionMessage(const QString &value) { FExceptionMessage = value; }

    // Runs the check; raises EConstraintEditException when it fails.
    [[nodiscard]] QString CheckedText() { return GetCheckedText(); }

    [[nodiscard]] bool IsCheckOnChange() const { return FIsCheckOnChange; }
    void SetIsCheckOnChange(bool value) { FIsCheckOnChange = value; }
    [[nodiscard]] bool IsCheckOnCreate() const { return FIsCheckOnCreate; }
    void SetIsCheckOnCreate(bool value);

    void SetNotifyLabel(QLabel *value) override;
    virtual QString GetCheckedText();
    virtual bool CheckConstraint();

protected:
    void Change() override;

private:
    QString FExceptionMessage = ConstraintedEditTexts::DefaultExceptionMessage;
    bool FIsCheckOnChange = false;
    bool FIsCheckOnCreate = false;
};
