#pragma once

// The table script wizard: pick a table (with nickname, delete option, a
// condition on the rows and whether the UPDATE touches only rows that
// differ), the columns to carry and the key columns, then watch the
// generation and take its script. The rest of the application is reached only through
// IWizzardController and the domain objects handed in.
//
// GUI thread only. The controller reports progress and completion on the GUI
// thread. A wizard closed while its generation runs breaks the generation off
// and detaches its handlers, so no report reaches it afterwards.

#include "GenerationResult.h"
#include "PageControlWizzard.h"
#include "UiErrors.h"
#include "WizzardController.h"

#include <QDialog>
#include <QStringList>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QToolButton;
class QTreeWidget;
class TScript;
class TTable;
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

class TOneStepCreatinWizard : public QDialog
{
    Q_OBJECT
public:
    explicit TOneStepCreatinWizard(QWidget *parent = nullptr);
    ~TOneStepCreatinWizard() override;

    [[nodiscard]] TTableList *Tables() const { return FTables; }
    // Borrowed; fills the table tree when a list is given.
    void SetTables(TTableList *value);
    [[nodiscard]] const std::shared_ptr<IWizzardController> &WizzardController() const { return FWizzardController; }
    void SetWizzardController(std::shared_ptr<IWizzardController> value);
    // The script the generation delivered; owned by the form.
    [[nodiscard]] TScript *ResultScript() const { return FResultScript.get(); }
    // The table of the selected tree node, or none.
    [[nodiscard]] TTable *SelectedTable() const;
    // True from the start of a generation until its completion report.
    [[nodiscard]] bool IsGenerating() const { return FGenerating; }
    [[nodiscard]] TPageControlWizzard *Wizzard() const { return PageControlWizzard; }
    // "Обновлять только изменившиеся строки": the host presets it from the
    // settings and keeps what the user chose.
    [[nodiscard]] bool OnlyChanged() const;
    void SetOnlyChanged(bool value);
    // The row condition that applies (the extra options shown), trimmed.
    [[nodiscard]] QString RowFilter() const;

    // Handlers, public so that hosts and tests can drive the form.
    void PageControlWizzardShow(TPageControlWizzardStep *sender);
    void PageControlWizzardCancel(TPageControlWizzardStep *sender);
    void ExitActionExecute();
    void GreetingsWizzardStepShow(TPageControlWizzardStep *sender);
    void GreetingsWizzardStepExecute(TPageControlWizzardStep *sender);
    void TableCoosingWizzardStepShow(TPageControlWizzardStep *sender);
    void TablesTreeViewChange();
    void ServersTreeViewDblClick();
    void AdditionalParamsCheckBoxClick();
    // The note beside the delete option shows while a row condition is typed.
    void RowFilterEditChange();
    void TableCoosingWizzardStepExecute(TPageControlWizzardStep *sender);
    void UseSelectedColumnActionExecute();
    void UseAllColumnsActionExecute();
    void DoNotUseSelectedColumnActionExecute();
    void DoNotUseAllColumnsActionExecute();
    void ColumnsSelectWizzardStepExecute(TPageControlWizzardStep *sender);
    void ColumnsCheckListBoxClickCheck();
    void PrimaryColumnsSelectWizzardStepExecute(TPageControlWizzardStep *sender);
    void BreakSriptGenerationButtonClick();

    void ScriptCreated(IWizzardController *sender, std::unique_ptr<TScript> script, const TGenerationResult &result);
    void ScriptCreationProgress(IWizzardController *sender, int percent, const QString &text);

    void ShowGreetingLayout();
    void ShowStepLayout();

    // "type [type, PK, Identity]" tail of a key list item.
    static QString ColumnDescription(const class TCustomColumn &column);

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildForm();
    void BuildSteps();
    QWidget *BuildGreetingsPage();
    QWidget *BuildTableSelectPage();
    QWidget *BuildColumnsSelectPage();
    QWidget *BuildPrimaryColumnsSelectPage();
    QWidget *BuildProgressPage();
    void UpdateColumnsNextState();
    void UpdateKeysNextState();
    void MarkUsedColumns();
    void FillKeyColumnsList();
    void StoreKeyColumns();
    void DetachFromGeneration();
    // Refuses (with the reason shown) columns the script cannot carry as chosen.
    void CheckUsedColumns() const;
    // Refuses keys the server cannot match on, and asks before a script that
    // would change nothing.
    void CheckKeyColumns() const;
    // The rows per batch the extra options ask for (TParseSettings::BatchRows).
    [[nodiscard]] qint64 BatchRowsChoice() const;
    // After a generation that yields no script: says why and goes back to
    // the key page, where the user may try again, go back or leave.
    void ShowGenerationEnd(const QString &text, bool failed);

    TTableList *FTables = nullptr;
    std::shared_ptr<IWizzardController> FWizzardController;
    std::unique_ptr<TScript> FResultScript;
    bool FGenerating = false;

    QWidget *ImagePanel;
    QLabel *Image1;
    QWidget *TopPanel;
    QLabel *StepNameLabel;
    QLabel *StepDiscriptionLabel;
    QFrame *TopBevel;
    QStackedWidget *PageControl;
    QWidget *BottomPanel;
    QPushButton *PreviosButton;
    QPushButton *NextButton;
    QPushButton *CancelButton;

    QWidget *GreetingsTabSheet;
    QWidget *TableSelectTabSheet;
    QTreeWidget *TablesTreeView;
    QCheckBox *AdditionalParamsCheckBox;
    QWidget *AdditionalTableParamsPanel;
    QLineEdit *TableNicknameEdit;
    QCheckBox *DeleteTableCheckBox;
    QLineEdit *RowFilterEdit;
    QLabel *DeleteFilterNoteLabel;
    QCheckBox *OnlyChangedCheckBox;
    // How the script carries its rows: automatically, in one batch, or in
    // batches of BatchRowsSpinBox rows (TParseSettings::BatchRows).
    QComboBox *BatchModeComboBox;
    QSpinBox *BatchRowsSpinBox;
    QWidget *ColumnsSelectTabSheet;
    QListWidget *AllColumnsListBox;
    QListWidget *UsedColumnsListBox;
    QWidget *PrimaryColumnsSelectTabSheet;
    QListWidget *ColumnsCheckListBox;
    QWidget *ProgressTabSheet;
    QLabel *ProgressLabel;
    QProgressBar *ProgressBar;
    QLabel *ProgressInfoLabel;
    QPushButton *BreakSriptGenerationButton;

    QAction *ExitAction;
    QAction *UseSelectedColumnAction;
    QAction *UseAllColumnsAction;
    QAction *DoNotUseSelectedColumnAction;
    QAction *DoNotUseAllColumnsAction;

    TPageControlWizzard *PageControlWizzard;
    TPageControlWizzardStep *GreetingsWizzardStep;
    TPageControlWizzardStep *TableCoosingWizzardStep;
    TPageControlWizzardStep *ColumnsSelectWizzardStep;
    TPageControlWizzardStep *PrimaryColumnsSelectWizzardStep;
    TPageControlWizzardStep *ProgressWizzardStep;
};

// Runs the wizard for one caller: owns the form, and with it the script.
class TOneTableScriptCreationDialog
{
public:
    TOneTableScriptCreationDialog();
    ~TOneTableScriptCreationDialog();
    TOneTableScriptCreationDialog(const TOneTableScriptCreationDialog &) = delete;
    TOneTableScriptCreationDialog &operator=(const TOneTableScriptCreationDialog &) = delete;

    void SetTables(TTableList *value);
    void SetWizzardController(std::shared_ptr<IWizzardController> value);
    // Shows the wizard modally; true when it closed with OK.
    bool Execute();
    // The generated script's lines, or none; valid until the dialog goes.
    [[nodiscard]] const QStringList *Script() const;
    [[nodiscard]] TOneStepCreatinWizard *Form() const { return FForm.get(); }

private:
    std::unique_ptr<TOneStepCreatinWizard> FForm;
};

namespace OneTableWizardTexts {
inline const QString TablesNotAssigned = QStringLiteral("Список таблиц не задан.");
inline const QString ControllerNotAssigned = QStringLiteral("Контроллер мастера создания скриптов не задан.");
inline const QString NoticeCaption = QStringLiteral("Мастер создания скриптов");
inline const QString BrokenOff = QStringLiteral("Создание скрипта прервано, поэтому скрипт не создан.");
// %1 the table, %2 the reason (the server's text).
inline const QString RowsUnreadable =
    QStringLiteral("Не удалось прочитать строки таблицы «%1», поэтому скрипт не создан.\n\n%2");
// %1 the condition.
inline const QString RowFilterShown = QStringLiteral("\n\nУсловие отбора строк: %1");
inline const QString DeleteFilterNote =
    QStringLiteral("С условием отбора удаляются только строки таблицы, отвечающие ему, а не вся таблица.");
// %1 the column, %2 the type code.
inline const QString UnknownType = QStringLiteral(
    "Тип столбца «%1» неизвестен программе (код типа %2), поэтому мастер не может его перенести. "
    "Уберите этот столбец из используемых.");
inline const QString UnknownTypeHint = QStringLiteral("Тип столбца неизвестен программе (код типа %1): столбец нельзя перенести.");
// %1 the columns.
inline const QString NothingToCarry = QStringLiteral(
    "Ни один из выбранных столбцов нельзя перенести (%1: столбцы timestamp и вычисляемые сервер не заполняет "
    "из скрипта). Выберите другие столбцы.");
// %1 the column, %2 its type.
inline const QString KeyNotCarriable = QStringLiteral(
    "Столбец «%1» (%2) не может быть ключевым: сервер не принимает для него значений из скрипта, "
    "и строки нельзя сопоставить по нему. Выберите другие ключевые столбцы.");
// %1 the table.
inline const QString ChangesNothing = QStringLiteral(
    "Ключевые столбцы не выбраны и удаление строк не задано: скрипт только заполнит табличную переменную "
    "и ничего не изменит в таблице «%1». Создать такой скрипт?");
}
