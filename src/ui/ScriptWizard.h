#pragma once

// What the script wizards have in common: the frame (the current step's name
// and description on a white band, the pages, the Back / Next / Cancel
// buttons, Esc to leave), the progress page with its break-off button, a
// generation run through IWizzardController up to its end, the question
// before a script that would change nothing, and the extra options both
// offer (only changed rows, rows per batch). Each wizard builds its own
// pages and steps on the framework and says what a failed generation means
// to it.
//
// GUI thread only. The controller reports progress and completion on the GUI
// thread. A wizard closed while its generation runs breaks the generation off
// and detaches its handlers, so no report reaches it afterwards.

#include "GenerationResult.h"
#include "PageControlWizzard.h"
#include "UiErrors.h"
#include "WizzardController.h"

#include <QDialog>
#include <QList>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFont;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class TScript;
class TTableList;

class EOneTableScriptCreationDialogException : public EUiException
{
public:
    using EUiException::EUiException;
};

class ETablesNotAssignedException : public EOneTableScriptCreationDialogException
{
public:
    ETablesNotAssignedException();
};

class EWizzardControllerNotAssignedException : public EOneTableScriptCreationDialogException
{
public:
    EWizzardControllerNotAssignedException();
};

class TCustomScriptWizard : public QDialog
{
    Q_OBJECT
public:
    ~TCustomScriptWizard() override;

    [[nodiscard]] TTableList *Tables() const { return FTables; }
    // The script the generation delivered; owned by the form.
    [[nodiscard]] TScript *ResultScript() const { return FResultScript.get(); }
    // True from the start of a generation until its completion report.
    [[nodiscard]] bool IsGenerating() const { return FGenerating; }
    [[nodiscard]] TPageControlWizzard *Wizzard() const { return PageControlWizzard; }
    // "Обновлять только изменившиеся строки": the host presets it from the
    // settings and keeps what the user chose.
    [[nodiscard]] bool OnlyChanged() const;
    void SetOnlyChanged(bool value);
    // Refuses to run without tables or without a controller.
    void CheckAssigned() const;

    // Handlers, public so that hosts and tests can drive the form.
    void PageControlWizzardShow(TPageControlWizzardStep *sender);
    void PageControlWizzardCancel(TPageControlWizzardStep *sender);
    void ExitActionExecute();
    void BreakSriptGenerationButtonClick();
    void ScriptCreated(IWizzardController *sender, std::unique_ptr<TScript> script, const TGenerationResult &result);
    void ScriptCreationProgress(IWizzardController *sender, int percent, const QString &text);

    void done(int result) override;

protected:
    explicit TCustomScriptWizard(QWidget *parent);

    void keyPressEvent(QKeyEvent *event) override;

    // The font of the wizards' headings and notes.
    [[nodiscard]] static QFont TahomaFont(int pixelSize, bool bold = false);

    [[nodiscard]] const std::shared_ptr<IWizzardController> &GenerationController() const
    {
        return FGenerationController;
    }
    // A different controller detaches the wizard from a generation it runs.
    void SetGenerationController(std::shared_ptr<IWizzardController> value);

    // Pages are built before the frame, so that the buttons come after the
    // pages' own widgets on Tab.
    QWidget *BuildProgressPage();
    // The extra options' widgets on Parent; the caller lays them out.
    void BuildOnlyChangedCheckBox(QWidget *parent);
    void BuildBatchEdits(QWidget *parent);
    // The band, the pages, the buttons and Esc. SidePanel, when given,
    // stands left of the band and the pages.
    void BuildFrame(const QList<QWidget *> &pages, QWidget *sidePanel = nullptr);
    // The framework over the buttons; steps come next, then the progress step.
    void BuildWizzard();
    TPageControlWizzardStep *MakeStep(const QString &name, QWidget *page, const QString &title,
                                      const QString &description);
    // The progress step after Last, whose Next starts the generation: no way
    // on, back or out while it runs; a generation without a script comes back
    // to Last.
    void AddProgressStep(TPageControlWizzardStep *last);

    // The rows per batch the batch edits ask for (TParseSettings::BatchRows).
    [[nodiscard]] qint64 ChosenBatchRows() const;
    // Asks Text (No by default); anything but Yes aborts the step quietly.
    void ConfirmOrAbort(const QString &text) const;
    // Resets the progress page and attaches the handlers; false without a
    // controller, when there is nothing to start.
    bool BeginGeneration();
    // Why the generation yielded no script, for a failure.
    [[nodiscard]] virtual QString GenerationFailedText(const TGenerationResult &result) const = 0;

    TTableList *FTables = nullptr;

    QWidget *TopPanel;
    QLabel *StepNameLabel;
    QLabel *StepDiscriptionLabel;
    QFrame *TopBevel;
    QStackedWidget *PageControl;
    QWidget *BottomPanel;
    QPushButton *PreviosButton;
    QPushButton *NextButton;
    QPushButton *CancelButton;

    QCheckBox *OnlyChangedCheckBox;
    // How the script carries its rows: automatically, in one batch, or in
    // batches of BatchRowsSpinBox rows.
    QComboBox *BatchModeComboBox;
    QSpinBox *BatchRowsSpinBox;

    QWidget *ProgressTabSheet;
    QLabel *ProgressLabel;
    QProgressBar *ProgressBar;
    QLabel *ProgressInfoLabel;
    QPushButton *BreakSriptGenerationButton;

    QAction *ExitAction;

    TPageControlWizzard *PageControlWizzard;
    TPageControlWizzardStep *ProgressWizzardStep;

private:
    void DetachFromGeneration();
    // After a generation that yields no script: says why and goes back to
    // the step that started it, where the user may try again, go back or
    // leave.
    void ShowGenerationEnd(const QString &text, bool failed);

    std::shared_ptr<IWizzardController> FGenerationController;
    std::unique_ptr<TScript> FResultScript;
    bool FGenerating = false;
    TPageControlWizzardStep *FGenerationStep = nullptr;
};

// Runs a wizard for one caller: owns the form, and with it the script.
template <typename TForm, typename TController> class TScriptWizardDialog
{
public:
    TScriptWizardDialog() : FForm(std::make_unique<TForm>()) {}
    TScriptWizardDialog(const TScriptWizardDialog &) = delete;
    TScriptWizardDialog &operator=(const TScriptWizardDialog &) = delete;

    void SetTables(TTableList *value) { FForm->SetTables(value); }
    void SetWizzardController(std::shared_ptr<TController> value) { FForm->SetWizzardController(std::move(value)); }
    [[nodiscard]] TForm *Form() const { return FForm.get(); }

protected:
    std::unique_ptr<TForm> FForm;
};

namespace ScriptWizardTexts {
inline const QString TablesNotAssigned = QStringLiteral("Список таблиц не задан.");
inline const QString ControllerNotAssigned = QStringLiteral("Контроллер мастера создания скриптов не задан.");
inline const QString ProgressStepName = QStringLiteral("Генерация скрипта");
inline const QString ProgressStepDescription = QStringLiteral("Дождитесь завершения генерации скрипта.");
inline const QString BrokenOff = QStringLiteral("Создание скрипта прервано, поэтому скрипт не создан.");
}
