#pragma once

// The table script wizard: pick a table (with nickname, delete option, a
// condition on the rows and whether the UPDATE touches only rows that
// differ), the columns to carry and the key columns, then watch the
// generation and take its script. The rest of the application is reached only through
// IWizzardController and the domain objects handed in. The frame, the
// progress page and the run of the generation are TCustomScriptWizard's.
//
// GUI thread only.

#include "ScriptWizard.h"

#include <QStringList>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTreeWidget;
class TTable;
class TTableList;

class TOneStepCreatinWizard : public TCustomScriptWizard
{
    Q_OBJECT
public:
    explicit TOneStepCreatinWizard(QWidget *parent = nullptr);

    // Borrowed; fills the table tree when a list is given.
    void SetTables(TTableList *value);
    [[nodiscard]] const std::shared_ptr<IWizzardController> &WizzardController() const
    {
        return GenerationController();
    }
    void SetWizzardController(std::shared_ptr<IWizzardController> value);
    // The table of the selected tree node, or none.
    [[nodiscard]] TTable *SelectedTable() const;
    // The row condition that applies (the extra options shown), trimmed.
    [[nodiscard]] QString RowFilter() const;

    // Handlers, public so that hosts and tests can drive the form.
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

    void ShowGreetingLayout();
    void ShowStepLayout();

    // "type [type, PK, Identity]" tail of a key list item.
    static QString ColumnDescription(const class TCustomColumn &column);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    [[nodiscard]] QString GenerationFailedText(const TGenerationResult &result) const override;

private:
    void BuildForm();
    void BuildSteps();
    QWidget *BuildGreetingsPage();
    QWidget *BuildTableSelectPage();
    QWidget *BuildColumnsSelectPage();
    QWidget *BuildPrimaryColumnsSelectPage();
    void UpdateColumnsNextState();
    void UpdateKeysNextState();
    void MarkUsedColumns();
    void FillKeyColumnsList();
    void StoreKeyColumns();
    // Refuses (with the reason shown) columns the script cannot carry as chosen.
    void CheckUsedColumns() const;
    // Refuses keys the server cannot match on, and asks before a script that
    // would change nothing.
    void CheckKeyColumns() const;
    // The rows per batch the extra options ask for (TParseSettings::BatchRows).
    [[nodiscard]] qint64 BatchRowsChoice() const;

    QWidget *ImagePanel;
    QLabel *Image1;

    QWidget *GreetingsTabSheet;
    QWidget *TableSelectTabSheet;
    QTreeWidget *TablesTreeView;
    QCheckBox *AdditionalParamsCheckBox;
    QWidget *AdditionalTableParamsPanel;
    QLineEdit *TableNicknameEdit;
    QCheckBox *DeleteTableCheckBox;
    QLineEdit *RowFilterEdit;
    QLabel *DeleteFilterNoteLabel;
    QWidget *ColumnsSelectTabSheet;
    QListWidget *AllColumnsListBox;
    QListWidget *UsedColumnsListBox;
    QWidget *PrimaryColumnsSelectTabSheet;
    QListWidget *ColumnsCheckListBox;

    QAction *UseSelectedColumnAction;
    QAction *UseAllColumnsAction;
    QAction *DoNotUseSelectedColumnAction;
    QAction *DoNotUseAllColumnsAction;

    TPageControlWizzardStep *GreetingsWizzardStep;
    TPageControlWizzardStep *TableCoosingWizzardStep;
    TPageControlWizzardStep *ColumnsSelectWizzardStep;
    TPageControlWizzardStep *PrimaryColumnsSelectWizzardStep;
};

class TOneTableScriptCreationDialog : public TScriptWizardDialog<TOneStepCreatinWizard, IWizzardController>
{
public:
    // Shows the wizard modally; true when it closed with OK.
    bool Execute();
    // The generated script's lines, or none; valid until the dialog goes.
    [[nodiscard]] const QStringList *Script() const;
};

namespace OneTableWizardTexts {
inline const QString &TablesNotAssigned = ScriptWizardTexts::TablesNotAssigned;
inline const QString &ControllerNotAssigned = ScriptWizardTexts::ControllerNotAssigned;
// The wizard's title, and with it the caption of its notices and questions.
inline const QString NoticeCaption = QStringLiteral("Мастер создания скриптов");
inline const QString &BrokenOff = ScriptWizardTexts::BrokenOff;
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
