#include "PageControlWizzard.h"

#include <QAbstractButton>
#include <QStackedWidget>
#include <QTabWidget>

EWrongIndexException::EWrongIndexException(int index, int low, int high)
    : EWizzardException(WizzardTexts::WrongIndex.arg(index).arg(low).arg(high))
{
}

// ---------------------------------------------------------------- TActionState

TActionState::TActionState(QObject *parent)
    : QObject(parent)
{
}

TActionState::TActionState(bool visible, bool enabled, bool checked, const QString &caption,
                           QObject *parent)
    : QObject(parent), FVisible(visible), FEnabled(enabled), FChecked(checked), FCaption(caption)
{
}

void TActionState::SetVisible(bool value)
{
    FVisible = value;
    Changed();
}

void TActionState::SetEnabled(bool value)
{
    FEnabled = value;
    Changed();
}

void TActionState::SetChecked(bool value)
{
    FChecked = value;
    Changed();
}

void TActionState::SetCaption(const QString &value)
{
    FCaption = value;
    Changed();
}

void TActionState::Assign(const QObject *source)
{
    const auto *state = qobject_cast<const TActionState *>(source);
    if (!state) {
        const QString sourceName = source ? QString::fromLatin1(source->metaObject()->className())
                                          : QStringLiteral("nil");
        throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2")
                                .arg(sourceName, QString::fromLatin1(metaObject()->className())));
    }
    // Read everything first: the source may be this very object.
    const bool visible = state->FVisible;
    const bool enabled = state->FEnabled;
    const bool checked = state->FChecked;
    const QString caption = state->FCaption;
    SetVisible(visible);
    SetEnabled(enabled);
    SetChecked(checked);
    SetCaption(caption);
}

void TActionState::Changed()
{
    if (OnChange)
        OnChange(this);
}

// ----------------------------------------------------- TPageControlWizzardStep

TPageControlWizzardStep::TPageControlWizzardStep(QObject *owner)
    : QObject(owner),
      FNextActionState(new TActionState(true, true, false, WizzardTexts::NextCaption, this)),
      FPreviousActionState(new TActionState(true, true, false, WizzardTexts::PreviousCaption, this)),
      FCancelActionState(new TActionState(true, true, false, WizzardTexts::CancelCaption, this))
{
    const auto changed = [this](TActionState *state) { ActionStateChanged(state); };
    FNextActionState->OnChange = changed;
    FPreviousActionState->OnChange = changed;
    FCancelActionState->OnChange = changed;
}

TPageControlWizzardStep::~TPageControlWizzardStep()
{
    FNextActionState->OnChange = nullptr;
    FPreviousActionState->OnChange = nullptr;
    FCancelActionState->OnChange = nullptr;
    if (FWizzard)
        FWizzard->RemoveStep(this);
}

void TPageControlWizzardStep::SetWizzard(TPageControlWizzard *value)
{
    if (FWizzard == value) {
        if (value && value->IndexOfStep(this) < 0)
            value->AddStep(this);
        return;
    }
    if (FWizzard)
        FWizzard->RemoveStep(this);
    if (value)
        value->AddStep(this);
}

void TPageControlWizzardStep::SetNextActionState(const TActionState *value)
{
    FNextActionState->Assign(value);
    if (FWizzard)
        TPageControlWizzard::ApplyActionState(FWizzard->NextButton(), FNextActionState);
}

void TPageControlWizzardStep::SetPreviousActionState(const TActionState *value)
{
    FPreviousActionState->Assign(value);
    if (FWizzard)
        TPageControlWizzard::ApplyActionState(FWizzard->PreviousButton(), FPreviousActionState);
}

void TPageControlWizzardStep::SetCancelActionState(const TActionState *value)
{
    FCancelActionState->Assign(value);
    if (FWizzard)
        TPageControlWizzard::ApplyActionState(FWizzard->CancelButton(), FCancelActionState);
}

void TPageControlWizzardStep::ActionStateChanged(TActionState *state)
{
    if (!FWizzard)
        return;
    if (state == FNextActionState)
        TPageControlWizzard::ApplyActionState(FWizzard->NextButton(), state);
    else if (state == FPreviousActionState)
        TPageControlWizzard::ApplyActionState(FWizzard->PreviousButton(), state);
    else if (state == FCancelActionState)
        TPageControlWizzard::ApplyActionState(FWizzard->CancelButton(), state);
}

void TPageControlWizzardStep::DoShow()
{
    if (OnShow)
        OnShow(this);
    if (FWizzard)
        FWizzard->DoShow(this);
    if (!FTabSheet)
        return;
    QWidget *page = FTabSheet;
    auto *stack = qobject_cast<QStackedWidget *>(page->parentWidget());
    if (!stack)
        return;
    // A QTabWidget keeps its pages in an inner stack; switch through the tab
    // widget so that its own index stays right.
    if (auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget()))
        tabs->setCurrentWidget(page);
    else
        stack->setCurrentWidget(page);
}

void TPageControlWizzardStep::DoExecute()
{
    if (OnExecute)
        OnExecute(this);
    if (FWizzard)
        FWizzard->DoExecute(this);
}

void TPageControlWizzardStep::DoUnExecute()
{
    if (OnUnExecute)
        OnUnExecute(this);
    if (FWizzard)
        FWizzard->DoUnExecute(this);
}

// --------------------------------------------------------- TPageControlWizzard

TPageControlWizzard::TPageControlWizzard(QObject *owner)
    : QObject(owner)
{
}

TPageControlWizzard::~TPageControlWizzard()
{
    const QList<TPageControlWizzardStep *> steps = FSteps;
    FSteps.clear();
    for (TPageControlWizzardStep *step : steps) {
        step->FWizzard = nullptr;
        delete step;
    }
}

void TPageControlWizzard::SetButton(QPointer<QAbstractButton> &field, QAbstractButton *value,
                                    void (TPageControlWizzard::*click)(), const QString &caption)
{
    if (field && field != value)
        disconnect(field.data(), nullptr, this, nullptr);
    field = value;
    if (!value)
        return;
    disconnect(value, &QAbstractButton::clicked, nullptr, nullptr);
    // A failing handler must not unwind through Qt's event loop.
    connect(value, &QAbstractButton::clicked, this, [this, click] { RunGuarded([this, click] { (this->*click)(); }); });
    value->setText(caption);
}

void TPageControlWizzard::SetNextButton(QAbstractButton *value)
{
    SetButton(FNextButton, value, &TPageControlWizzard::NextButtonClick, WizzardTexts::NextCaption);
}

void TPageControlWizzard::SetPreviousButton(QAbstractButton *value)
{
    SetButton(FPreviousButton, value, &TPageControlWizzard::PreviousButtonClick,
              WizzardTexts::PreviousCaption);
}

void TPageControlWizzard::SetCancelButton(QAbstractButton *value)
{
    SetButton(FCancelButton, value, &TPageControlWizzard::CancelButtonClick,
              WizzardTexts::CancelCaption);
}

void TPageControlWizzard::Loaded()
{
    if (FFirstStep)
        GoToStep(FFirstStep);
    else
        SetCurrentIndex(0);
}

int TPageControlWizzard::AddStep(TPageControlWizzardStep *step)
{
    if (!step)
        return -1;
    // A step belongs to one wizard and is held once.
    const int existing = IndexOfStep(step);
    if (existing >= 0)
        return existing;
    if (step->FWizzard && step->FWizzard != this)
        step->FWizzard->RemoveStep(step);
    step->FWizzard = this;
    FSteps.append(step);
    return FSteps.size() - 1;
}

void TPageControlWizzard::RemoveStep(TPageControlWizzardStep *step)
{
    const int index = IndexOfStep(step);
    if (index < 0)
        return;
    FSteps.removeAt(index);
    if (step->FWizzard == this)
        step->FWizzard = nullptr;
}

int TPageControlWizzard::IndexOfStep(const TPageControlWizzardStep *step) const
{
    for (int i = 0; i < FSteps.size(); ++i)
        if (FSteps.at(i) == step)
            return i;
    return -1;
}

TPageControlWizzardStep *TPageControlWizzard::CurrentStep() const
{
    if (FCurrentIndex < 0 || FCurrentIndex >= FSteps.size())
        return nullptr;
    return FSteps.at(FCurrentIndex);
}

void TPageControlWizzard::SetCurrentIndex(int index)
{
    if (index < 0 || index > StepCount() - 1)
        throw EWrongIndexException(index, 0, StepCount() - 1);
    FCurrentIndex = index;
    TPageControlWizzardStep *step = FSteps.at(index);
    ApplyActionState(FCancelButton, step->CancelActionState());
    ApplyActionState(FNextButton, step->NextActionState());
    ApplyActionState(FPreviousButton, step->PreviousActionState());
    step->DoShow();
}

void TPageControlWizzard::GoToStep(TPageControlWizzardStep *step)
{
    if (!step)
        return;
    const int index = IndexOfStep(step);
    if (index >= 0)
        SetCurrentIndex(index);
}

void TPageControlWizzard::GoToNextStep()
{
    if (TPageControlWizzardStep *step = CurrentStep())
        GoToStep(step->NextStep());
}

void TPageControlWizzard::GoToPreviousStep()
{
    if (TPageControlWizzardStep *step = CurrentStep())
        GoToStep(step->PreviousStep());
}

void TPageControlWizzard::ExecuteCurrentStep()
{
    if (TPageControlWizzardStep *step = CurrentStep())
        step->DoExecute();
}

void TPageControlWizzard::UnExecuteCurrentStep()
{
    if (TPageControlWizzardStep *step = CurrentStep())
        step->DoUnExecute();
}

void TPageControlWizzard::NextButtonClick()
{
    ExecuteCurrentStep();
    GoToNextStep();
}

void TPageControlWizzard::PreviousButtonClick()
{
    UnExecuteCurrentStep();
    GoToPreviousStep();
}

void TPageControlWizzard::CancelButtonClick()
{
    DoCancel(CurrentStep());
}

void TPageControlWizzard::ApplyActionState(QAbstractButton *button, const TActionState *state)
{
    if (!button || !state)
        return;
    button->setText(state->Caption());
    button->setEnabled(state->Enabled());
    button->setVisible(state->Visible());
}

void TPageControlWizzard::DoShow(TPageControlWizzardStep *step)
{
    if (OnShow)
        OnShow(step);
}

void TPageControlWizzard::DoExecute(TPageControlWizzardStep *step)
{
    if (OnExecute)
        OnExecute(step);
}

void TPageControlWizzard::DoUnExecute(TPageControlWizzardStep *step)
{
    if (OnUnExecute)
        OnUnExecute(step);
}

void TPageControlWizzard::DoCancel(TPageControlWizzardStep *step)
{
    if (OnCancel)
        OnCancel(step);
}
