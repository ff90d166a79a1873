#pragma once

// A step wizard over a page control whose tabs are hidden. Steps name their
// page, neighbours, texts and the states of the three buttons; the wizard
// holds the steps, drives the buttons and fires the notifications. It never
// closes its form: the host does that from its handlers.
//
// The host registers every step (SetWizzard or AddStep) and then calls
// Loaded() once, before the form is shown: that makes the first step current.
// GUI thread only.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include "UiErrors.h"

#include <QAbstractButton>
#include <QWidget>
class TPageControlWizzard;
class TPageControlWizzardStep;

class EWizzardException : public EUiException
{
public:
    using EUiException::EUiException;
};

class EWrongIndexException : public EWizzardException
{
public:
    EWrongIndexException(int index, int low, int high);
};

// The state one wizard button takes while a step is current.
class TActionState : public QObject
{
    Q_OBJECT
public:
    explicit TActionState(QObject *parent = nullptr);
    TActionState(bool visible, bool enabled, bool checked, const QString &caption,
                 QObject *parent = nullptr);

    [[nodiscard]] bool Visible() const { return FVisible; }
    [[nodiscard]] bool Enabled() const { return FEnabled; }
    [[nodiscard]] bool Checked() const { return FChecked; }
    [[nodiscard]] QString Caption() const { return FCaption; }

    // Each setter stores and then raises OnChange, also for an equal value.
    void SetVisible(bool value);
    void SetEnabled(bool value);
    void SetChecked(bool value);
    void SetCaption(const QString &value);

    // Copies Visible, Enabled, Checked, Caption in that order through the
    // setters. Anything but a TActionState raises EConvertError.
    void Assign(const QObject *source);

    std::function<void(TActionState *sender)> OnChange;

protected:
    void Changed();

private:
    bool FVisible = true;
    bool FEnabled = true;
    bool FChecked = false;
    QString FCaption;
};

using TStepNotifyEvent = std::function<void(TPageControlWizzardStep *sender)>;

class TPageControlWizzardStep : public QObject
{
    Q_OBJECT
public:
    explicit TPageControlWizzardStep(QObject *owner = nullptr);
    ~TPageControlWizzardStep() override;

    [[nodiscard]] TPageControlWizzard *Wizzard() const { return FWizzard; }
    void SetWizzard(TPageControlWizzard *value);

    TStepNotifyEvent OnShow;
    TStepNotifyEvent OnExecute;
    TStepNotifyEvent OnUnExecute;

    [[nodiscard]] TPageControlWizzardStep *PreviousStep() const { return FPreviousStep; }
    void SetPreviousStep(TPageControlWizzardStep *value) { FPreviousStep = value; }
    [[nodiscard]] TPageControlWizzardStep *NextStep() const { return FNextStep; }
    void SetNextStep(TPageControlWizzardStep *value) { FNextStep = value; }

    [[nodiscard]] QString StepName() const { return FStepName; }
    void SetStepName(const QString &value) { FStepName = value; }
    [[nodiscard]] QString StepDescription() const { return FStepDescription; }
    void SetStepDescription(const QString &value) { FStepDescription = value; }

    // A page of a QStackedWidget (or of a QTabWidget).
    [[nodiscard]] QWidget *TabSheet() const { return FTabSheet; }
    void SetTabSheet(QWidget *value) { FTabSheet = value; }

    [[nodiscard]] TActionState *NextActionState() const { return FNextActionState; }
    [[nodiscard]] TActionState *PreviousActionState() const { return FPreviousActionState; }
    [[nodiscard]] TActionState *CancelActionState() const { return FCancelActionState; }
    // Copy the given state into the step's own object, then apply it.
    void SetNextActionState(const TActionState *value);
    void SetPreviousActionState(const TActionState *value);
    void SetCancelActionState(const TActionState *value);

    void DoShow();
    void DoExecute();
    void DoUnExecute();

private:
    friend class TPageControlWizzard;
    void ActionStateChanged(TActionState *state);

    QPointer<TPageControlWizzard> FWizzard;
    QPointer<TPageControlWizzardStep> FPreviousStep;
    QPointer<TPageControlWizzardStep> FNextStep;
    QPointer<QWidget> FTabSheet;
    QString FStepName;
    QString FStepDescription;
    TActionState *FNextActionState;
    TActionState *FPreviousActionState;
    TActionState *FCancelActionState;
};

class TPageControlWizzard : public QObject
{
    Q_OBJECT
public:
    explicit TPageControlWizzard(QObject *owner = nullptr);
    ~TPageControlWizzard() override;

    [[nodiscard]] QAbstractButton *NextButton() const { return FNextButton; }
    [[nodiscard]] QAbstractButton *PreviousButton() const { return FPreviousButton; }
    [[nodiscard]] QAbstractButton *CancelButton() const { return FCancelButton; }
    // A given button loses every click handler it had, gets the wizard's one
    // and its default caption.
    void SetNextButton(QAbstractButton *value);
    void SetPreviousButton(QAbstractButton *value);
    void SetCancelButton(QAbstractButton *value);

    [[nodiscard]] TPageControlWizzardStep *FirstStep() const { return FFirstStep; }
    void SetFirstStep(TPageControlWizzardStep *value) { FFirstStep = value; }

    TStepNotifyEvent OnShow;
    TStepNotifyEvent OnExecute;
    TStepNotifyEvent OnUnExecute;
    TStepNotifyEvent OnCancel;

    // Wiring is complete: make the first step current.
    void Loaded();

    int AddStep(TPageControlWizzardStep *step);
    void RemoveStep(TPageControlWizzardStep *step);
    [[nodiscard]] int IndexOfStep(const TPageControlWizzardStep *step) const;
    [[nodiscard]] int StepCount() const { return FSteps.size(); }
    [[nodiscard]] TPageControlWizzardStep *CurrentStep() const;
    [[nodiscard]] int CurrentIndex() const { return FCurrentIndex; }

    void SetCurrentIndex(int index);
    void GoToStep(TPageControlWizzardStep *step);
    void GoToNextStep();
    void GoToPreviousStep();
    void ExecuteCurrentStep();
    void UnExecuteCurrentStep();

    void NextButtonClick();
    void PreviousButtonClick();
    void CancelButtonClick();

    static void ApplyActionState(QAbstractButton *button, const TActionState *state);

    void DoShow(TPageControlWizzardStep *step);
    void DoExecute(TPageControlWizzardStep *step);
    void DoUnExecute(TPageControlWizzardStep *step);
    void DoCancel(TPageControlWizzardStep *step);

private:
    void SetButton(QPointer<QAbstractButton> &field, QAbstractButton *value,
                   void (TPageControlWizzard::*click)(), const QString &caption);

    QPointer<QAbstractButton> FNextButton;
    QPointer<QAbstractButton> FPreviousButton;
    QPointer<QAbstractButton> FCancelButton;
    QPointer<TPageControlWizzardStep> FFirstStep;
    QList<TPageControlWizzardStep *> FSteps;
    int FCurrentIndex = 0;
};

// The program's texts for the wizard framework.
namespace WizzardTexts {
inline const QString NextCaption = QStringLiteral("Далее >");
inline const QString PreviousCaption = QStringLiteral("< Назад");
inline const QString CancelCaption = QStringLiteral("Отмена");
inline const QString WrongIndex = QStringLiteral("Индекс %1 не лежит в допустимом диапазоне от %2 до %3.");
}
