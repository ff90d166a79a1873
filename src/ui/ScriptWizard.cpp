#include "ScriptWizard.h"

#include "DialogKeys.h"
#include "Domain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

ETablesNotAssignedException::ETablesNotAssignedException()
    : EOneTableScriptCreationDialogException(ScriptWizardTexts::TablesNotAssigned)
{
}

EWizzardControllerNotAssignedException::EWizzardControllerNotAssignedException()
    : EOneTableScriptCreationDialogException(ScriptWizardTexts::ControllerNotAssigned)
{
}

namespace {

QFrame *lineBevel(QWidget *parent, const QString &name)
{
    auto *bevel = new QFrame(parent);
    bevel->setObjectName(name);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    return bevel;
}

const QString progressStart = QStringLiteral("Прогресс:");

} // namespace

TCustomScriptWizard::TCustomScriptWizard(QWidget *parent)
    : QDialog(parent)
{
}

TCustomScriptWizard::~TCustomScriptWizard()
{
    DetachFromGeneration();
}

QFont TCustomScriptWizard::TahomaFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

bool TCustomScriptWizard::OnlyChanged() const
{
    return OnlyChangedCheckBox->isChecked();
}

void TCustomScriptWizard::SetOnlyChanged(bool value)
{
    OnlyChangedCheckBox->setChecked(value);
}

void TCustomScriptWizard::CheckAssigned() const
{
    if (!FTables)
        throw ETablesNotAssignedException();
    if (!FGenerationController)
        throw EWizzardControllerNotAssignedException();
}

void TCustomScriptWizard::SetGenerationController(std::shared_ptr<IWizzardController> value)
{
    if (FGenerationController != value)
        DetachFromGeneration();
    FGenerationController = std::move(value);
}

// ------------------------------------------------------------------ building

QWidget *TCustomScriptWizard::BuildProgressPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("ProgressTabSheet"));
    ProgressLabel = new QLabel(progressStart, page);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressBar = new QProgressBar(page);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressInfoLabel = new QLabel(page);
    ProgressInfoLabel->setObjectName(QStringLiteral("ProgressInfoLabel"));
    ProgressInfoLabel->setFont(TahomaFont(9));
    ProgressInfoLabel->setWordWrap(true);
    BreakSriptGenerationButton = new QPushButton(QStringLiteral("Прервать"), page);
    BreakSriptGenerationButton->setObjectName(QStringLiteral("BreakSriptGenerationButton"));
    BreakSriptGenerationButton->setAutoDefault(false);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(ProgressLabel);
    layout->addWidget(ProgressBar);
    layout->addWidget(ProgressInfoLabel);
    layout->addStretch(1);
    layout->addWidget(BreakSriptGenerationButton, 0, Qt::AlignRight);
    connect(BreakSriptGenerationButton, &QPushButton::clicked, this,
            &TCustomScriptWizard::BreakSriptGenerationButtonClick);
    ProgressTabSheet = page;
    return page;
}

void TCustomScriptWizard::BuildOnlyChangedCheckBox(QWidget *parent)
{
    OnlyChangedCheckBox = new QCheckBox(QStringLiteral("Обновлять только изменившиеся строки"), parent);
    OnlyChangedCheckBox->setObjectName(QStringLiteral("OnlyChangedCheckBox"));
}

void TCustomScriptWizard::BuildBatchEdits(QWidget *parent)
{
    BatchModeComboBox = new QComboBox(parent);
    BatchModeComboBox->setObjectName(QStringLiteral("BatchModeComboBox"));
    BatchModeComboBox->addItems({QStringLiteral("Пакеты: автоматически"), QStringLiteral("Все строки одним пакетом"),
                                 QStringLiteral("Пакеты по числу строк")});
    BatchRowsSpinBox = new QSpinBox(parent);
    BatchRowsSpinBox->setObjectName(QStringLiteral("BatchRowsSpinBox"));
    BatchRowsSpinBox->setRange(1, 100000000);
    BatchRowsSpinBox->setValue(int(DefaultBatchRows));
    BatchRowsSpinBox->setSuffix(QStringLiteral(" строк в пакете"));
    BatchRowsSpinBox->setEnabled(false);
    connect(BatchModeComboBox, &QComboBox::currentIndexChanged, BatchRowsSpinBox,
            [this](int index) { BatchRowsSpinBox->setEnabled(index == 2); });
}

void TCustomScriptWizard::BuildFrame(const QList<QWidget *> &pages, QWidget *sidePanel)
{
    TopPanel = new QWidget(this);
    TopPanel->setObjectName(QStringLiteral("TopPanel"));
    TopPanel->setFixedHeight(55);
    TopPanel->setAutoFillBackground(true);
    QPalette white = TopPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    TopPanel->setPalette(white);
    StepNameLabel = new QLabel(TopPanel);
    StepNameLabel->setObjectName(QStringLiteral("StepNameLabel"));
    StepNameLabel->setFont(TahomaFont(11, true));
    StepDiscriptionLabel = new QLabel(TopPanel);
    StepDiscriptionLabel->setObjectName(QStringLiteral("StepDiscriptionLabel"));
    StepDiscriptionLabel->setFont(TahomaFont(11));
    auto *topLayout = new QVBoxLayout(TopPanel);
    topLayout->setContentsMargins(16, 8, 8, 8);
    topLayout->addWidget(StepNameLabel);
    topLayout->addWidget(StepDiscriptionLabel);
    TopBevel = lineBevel(this, QStringLiteral("TopBevel"));

    PageControl = new QStackedWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    for (QWidget *page : pages)
        PageControl->addWidget(page);

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    BottomPanel->setFixedHeight(41);
    PreviosButton = new QPushButton(BottomPanel);
    PreviosButton->setObjectName(QStringLiteral("PreviosButton"));
    NextButton = new QPushButton(BottomPanel);
    NextButton->setObjectName(QStringLiteral("NextButton"));
    CancelButton = new QPushButton(BottomPanel);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto *buttons = new QHBoxLayout(BottomPanel);
    buttons->setContentsMargins(8, 8, 8, 8);
    buttons->addStretch(1);
    for (QPushButton *button : {PreviosButton, NextButton, CancelButton}) {
        button->setFixedSize(75, 25);
        button->setEnabled(false);
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }

    auto *form = new QVBoxLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(0);
    if (sidePanel) {
        auto *right = new QVBoxLayout;
        right->setSpacing(0);
        right->addWidget(TopPanel);
        right->addWidget(TopBevel);
        right->addWidget(PageControl, 1);
        auto *middle = new QHBoxLayout;
        middle->setSpacing(0);
        middle->addWidget(sidePanel);
        middle->addLayout(right, 1);
        form->addLayout(middle, 1);
    } else {
        form->addWidget(TopPanel);
        form->addWidget(TopBevel);
        form->addWidget(PageControl, 1);
    }
    form->addWidget(lineBevel(this, QStringLiteral("Bevel1")));
    form->addWidget(BottomPanel);

    ExitAction = new QAction(this);
    ExitAction->setObjectName(QStringLiteral("ExitAction"));
    ExitAction->setShortcut(Qt::Key_Escape);
    addAction(ExitAction);
    connect(ExitAction, &QAction::triggered, this, &TCustomScriptWizard::ExitActionExecute);
}

void TCustomScriptWizard::BuildWizzard()
{
    PageControlWizzard = new TPageControlWizzard(this);
    PageControlWizzard->setObjectName(QStringLiteral("PageControlWizzard"));
    PageControlWizzard->SetNextButton(NextButton);
    PageControlWizzard->SetPreviousButton(PreviosButton);
    PageControlWizzard->SetCancelButton(CancelButton);
    PageControlWizzard->OnShow = [this](TPageControlWizzardStep *s) { PageControlWizzardShow(s); };
    PageControlWizzard->OnCancel = [this](TPageControlWizzardStep *s) { PageControlWizzardCancel(s); };
}

TPageControlWizzardStep *TCustomScriptWizard::MakeStep(const QString &name, QWidget *page, const QString &title,
                                                       const QString &description)
{
    auto *step = new TPageControlWizzardStep(this);
    step->setObjectName(name);
    step->SetTabSheet(page);
    step->SetStepName(title);
    step->SetStepDescription(description);
    step->SetWizzard(PageControlWizzard);
    return step;
}

void TCustomScriptWizard::AddProgressStep(TPageControlWizzardStep *last)
{
    ProgressWizzardStep = MakeStep(QStringLiteral("ProgressWizzardStep"), ProgressTabSheet,
                                   ScriptWizardTexts::ProgressStepName, ScriptWizardTexts::ProgressStepDescription);
    last->SetNextStep(ProgressWizzardStep);
    FGenerationStep = last;
    ProgressWizzardStep->NextActionState()->SetEnabled(false);
    ProgressWizzardStep->PreviousActionState()->SetEnabled(false);
    ProgressWizzardStep->CancelActionState()->SetEnabled(false);
}

// ------------------------------------------------------------------ handlers

void TCustomScriptWizard::keyPressEvent(QKeyEvent *event)
{
    if (!PressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

void TCustomScriptWizard::done(int result)
{
    // Leaving without the script (Esc, the close button) while the generation
    // runs: stop it and make sure none of its reports comes here any more.
    if (result != QDialog::Accepted)
        DetachFromGeneration();
    QDialog::done(result);
}

void TCustomScriptWizard::DetachFromGeneration()
{
    if (!FGenerating)
        return;
    FGenerating = false;
    if (!FGenerationController)
        return;
    FGenerationController->SetOnScriptCreated(nullptr);
    FGenerationController->SetOnProgress(nullptr);
    FGenerationController->BreakScriptCreation();
}

void TCustomScriptWizard::PageControlWizzardShow(TPageControlWizzardStep *sender)
{
    StepNameLabel->setText(sender->StepName());
    StepDiscriptionLabel->setText(sender->StepDescription());
}

void TCustomScriptWizard::PageControlWizzardCancel(TPageControlWizzardStep *)
{
    ExitAction->trigger();
}

void TCustomScriptWizard::ExitActionExecute()
{
    done(QDialog::Rejected);
}

qint64 TCustomScriptWizard::ChosenBatchRows() const
{
    switch (BatchModeComboBox->currentIndex()) {
    case 1:
        return 0;
    case 2:
        return BatchRowsSpinBox->value();
    default:
        return BatchRowsAutomatic;
    }
}

void TCustomScriptWizard::ConfirmOrAbort(const QString &text) const
{
    QMessageBox question(QMessageBox::Question, windowTitle(), text, QMessageBox::Yes | QMessageBox::No,
                         const_cast<TCustomScriptWizard *>(this));
    question.setObjectName(QStringLiteral("ChangesNothingQuestion"));
    question.setDefaultButton(QMessageBox::No);
    if (question.exec() != QMessageBox::Yes)
        throw EAbortException();
}

// ---------------------------------------------------------------- generation

bool TCustomScriptWizard::BeginGeneration()
{
    ProgressInfoLabel->clear();
    // A second run after one that yielded no script starts afresh.
    ProgressLabel->setText(progressStart);
    ProgressBar->setValue(0);
    if (!FGenerationController)
        return false;
    FGenerationController->SetOnScriptCreated(
        [this](IWizzardController *sender, std::unique_ptr<TScript> script, const TGenerationResult &result) {
            ScriptCreated(sender, std::move(script), result);
        });
    FGenerationController->SetOnProgress(
        [this](IWizzardController *sender, int percent, const QString &text) { ScriptCreationProgress(sender, percent, text); });
    FGenerating = true;
    return true;
}

void TCustomScriptWizard::BreakSriptGenerationButtonClick()
{
    if (FGenerationController)
        FGenerationController->BreakScriptCreation();
}

void TCustomScriptWizard::ScriptCreated(IWizzardController *, std::unique_ptr<TScript> script,
                                        const TGenerationResult &result)
{
    FGenerating = false;
    if (result.Complete() && script) {
        FResultScript = std::move(script);
        done(QDialog::Accepted);
        return;
    }
    if (result.Outcome == goBrokenOff)
        ShowGenerationEnd(ScriptWizardTexts::BrokenOff, false);
    else
        ShowGenerationEnd(GenerationFailedText(result), true);
}

void TCustomScriptWizard::ShowGenerationEnd(const QString &text, bool failed)
{
    PageControlWizzard->GoToStep(FGenerationStep);
    // Not modal to the application: the generator's worker waits for this
    // handler to return and must not wait for the user.
    auto *box = new QMessageBox(failed ? QMessageBox::Warning : QMessageBox::Information, windowTitle(), text,
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("GenerationEndNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TCustomScriptWizard::ScriptCreationProgress(IWizzardController *, int percent, const QString &text)
{
    ProgressLabel->setText(QStringLiteral("Прогресс %1%:").arg(percent));
    ProgressBar->setValue(percent);
    ProgressInfoLabel->setText(text);
}
