#pragma once

// The wizard for one script over several tables: tick the tables (the
// foreign-key order they take in the script is shown as they are ticked,
// a ring of tables that reference each other is named, and the script may
// switch their constraints off while it runs), see the defaults each table
// gets (all columns, matched on its primary key), choose the extra options,
// then watch the generation and take its script.
//
// GUI thread only. The frame, the progress page and the run of the
// generation are TCustomScriptWizard's, as in the table wizard.

#include "ScriptWizard.h"
#include "SeveralTablesController.h"
#include "TableOrder.h"

#include <QList>
#include <QStringList>

#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class TTable;
class TTableList;

class TSeveralTablesCreationWizard : public TCustomScriptWizard
{
    Q_OBJECT
public:
    explicit TSeveralTablesCreationWizard(QWidget *parent = nullptr);

    // Borrowed; fills the check list (nothing ticked).
    void SetTables(TTableList *value);
    // The constraints the order is computed from.
    void SetForeignKeys(std::vector<TForeignKey> value);
    [[nodiscard]] const std::shared_ptr<ISeveralTablesController> &WizzardController() const
    {
        return FWizzardController;
    }
    void SetWizzardController(std::shared_ptr<ISeveralTablesController> value);

    // The ticked tables in list order, and the order the script takes.
    [[nodiscard]] QList<TTable *> CheckedTables() const;
    [[nodiscard]] const TTableOrder &Order() const { return FOrder; }
    // The ticked tables, parents before children.
    [[nodiscard]] QList<TTable *> OrderedTables() const;
    [[nodiscard]] bool DisableConstraints() const;

    // Handlers, public so that hosts and tests can drive the form.
    void TablesCheckListBoxClickCheck();
    void TablesFilterEditChange();
    // Tick or clear every table the filter shows.
    void CheckAllTablesActionExecute();
    void UncheckAllTablesActionExecute();
    void DisableConstraintsCheckBoxClick();
    void TablesSelectWizzardStepShow(TPageControlWizzardStep *sender);
    void TablesSelectWizzardStepExecute(TPageControlWizzardStep *sender);
    void OptionsWizzardStepExecute(TPageControlWizzardStep *sender);

protected:
    void showEvent(QShowEvent *event) override;
    [[nodiscard]] QString GenerationFailedText(const TGenerationResult &result) const override;

private:
    void BuildForm();
    void BuildSteps();
    QWidget *BuildTablesSelectPage();
    QWidget *BuildDefaultsPage();
    QWidget *BuildOptionsPage();
    void UpdateOrder();
    void UpdateTablesNextState();
    // All columns the program knows carried, the primary key as match key.
    void ApplyDefaults(TTable &table) const;
    void FillDefaultsTree();
    // Asks before a script in which tables without a key change nothing.
    void CheckKeylessTables() const;

    std::vector<TForeignKey> FForeignKeys;
    TTableOrder FOrder;
    std::shared_ptr<ISeveralTablesController> FWizzardController;
    // The tables the defaults page and the generation work on.
    QList<TTable *> FChosen;

    QWidget *TablesSelectTabSheet;
    QLineEdit *TablesFilterEdit;
    QListWidget *TablesCheckListBox;
    QPushButton *CheckAllTablesButton;
    QPushButton *UncheckAllTablesButton;
    QLabel *CheckedCountLabel;
    QListWidget *OrderListBox;
    QLabel *CycleLabel;
    QCheckBox *DisableConstraintsCheckBox;
    QWidget *DefaultsTabSheet;
    QTreeWidget *DefaultsTreeView;
    QLabel *NoKeyNoteLabel;
    QWidget *OptionsTabSheet;
    QCheckBox *DeleteTablesCheckBox;
    QLabel *RowFilterNoteLabel;

    TPageControlWizzardStep *TablesSelectWizzardStep;
    TPageControlWizzardStep *DefaultsWizzardStep;
    TPageControlWizzardStep *OptionsWizzardStep;
};

class TSeveralTablesScriptCreationDialog
    : public TScriptWizardDialog<TSeveralTablesCreationWizard, ISeveralTablesController>
{
public:
    // Reads the foreign keys through the controller, then shows the wizard
    // modally; true when it closed with a script.
    bool Execute();
};

namespace SeveralTablesWizardTexts {
inline const QString Caption = QStringLiteral("Скрипт для нескольких таблиц");
inline const QString TablesStepName = QStringLiteral("Выбор таблиц");
inline const QString TablesStepDescription = QStringLiteral("Для каких таблиц сгенерировать скрипт?");
inline const QString DefaultsStepName = QStringLiteral("Столбцы и ключи");
inline const QString DefaultsStepDescription =
    QStringLiteral("Каждая таблица переносится со всеми столбцами и сопоставляется по первичному ключу.");
inline const QString OptionsStepName = QStringLiteral("Дополнительные параметры");
inline const QString OptionsStepDescription = QStringLiteral("Как перенести строки таблиц?");
inline const QString &ProgressStepName = ScriptWizardTexts::ProgressStepName;
inline const QString &ProgressStepDescription = ScriptWizardTexts::ProgressStepDescription;
// %1 ticked, %2 all.
inline const QString CheckedCount = QStringLiteral("Выбрано таблиц: %1 из %2");
inline const QString NoTablesChecked = QStringLiteral("Отметьте таблицы, которые перенесёт скрипт.");
inline const QString OrderHint = QStringLiteral(
    "Порядок в скрипте: строки добавляются и обновляются сначала в родительских таблицах, "
    "удаляются сначала из дочерних.");
inline const QString DisableConstraints = QStringLiteral("Отключить проверку ограничений таблиц круга");
inline const QString DisableConstraintsNote = QStringLiteral(
    "Для таблиц, ссылающихся друг на друга по кругу, скрипт отключит ограничения до изменения строк "
    "(NOCHECK CONSTRAINT ALL) и включит их с проверкой строк после (WITH CHECK CHECK CONSTRAINT ALL).");
inline const QString CycleRefused =
    QStringLiteral("Без этого скрипт не создать: отметьте флажок ниже или уберите одну из таблиц круга.");
inline const QString AllColumns = QStringLiteral("все (%1)");
// %1 carried, %2 all.
inline const QString SomeColumns = QStringLiteral("%1 из %2");
// %1 the columns.
inline const QString LeftOutHint =
    QStringLiteral("Не переносятся: %1 (тип столбца неизвестен программе).");
inline const QString NoKey = QStringLiteral("нет первичного ключа");
inline const QString NoKeyNote = QStringLiteral(
    "Строки таблицы без первичного ключа нельзя сопоставить: если строки не удаляются перед переносом, "
    "скрипт ничего в ней не изменит.");
// %1 the tables.
inline const QString KeylessChangesNothing = QStringLiteral(
    "У таблиц %1 нет первичного ключа, а удаление строк не задано: в этих таблицах скрипт ничего не изменит. "
    "Создать такой скрипт?");
// %1 the table.
inline const QString NothingToCarry =
    QStringLiteral("Ни один столбец таблицы «%1» нельзя перенести, поэтому скрипт для неё не создать. "
                   "Уберите её из выбранных таблиц.");
inline const QString DeleteTables = QStringLiteral("Удалить строки таблиц перед переносом");
inline const QString DeleteOrderNote =
    QStringLiteral("Строки удаляются сначала из дочерних таблиц, затем из родительских.");
inline const QString RowFilterNote = QStringLiteral(
    "Условие отбора строк (WHERE) задаётся для одной таблицы, поэтому здесь его нет: "
    "скрипт переносит все строки выбранных таблиц. Для отбора строк создайте скрипт для одной таблицы.");
inline const QString &BrokenOff = ScriptWizardTexts::BrokenOff;
// %1 the reason.
inline const QString Failed = QStringLiteral("Скрипт не создан.\n\n%1");
}
