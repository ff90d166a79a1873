#include "SeveralTablesWizard.h"

#include "Domain.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int TableIndexRole = Qt::UserRole;
const QColor WarningColor(176, 0, 0);

QStringList quotedNames(const QStringList &names)
{
    QStringList quoted;
    for (const QString &name : names)
        quoted << QStringLiteral("«%1»").arg(name);
    return quoted;
}

} // namespace

TSeveralTablesCreationWizard::TSeveralTablesCreationWizard(QWidget *parent)
    : TCustomScriptWizard(parent)
{
    BuildForm();
    BuildSteps();
    PageControlWizzard->Loaded();
    UpdateOrder();
}

void TSeveralTablesCreationWizard::SetTables(TTableList *value)
{
    FTables = value;
    {
        const QSignalBlocker quiet(TablesCheckListBox);
        TablesCheckListBox->clear();
        for (int i = 0; value && i < value->Count(); ++i) {
            auto *item = new QListWidgetItem(value->Items(i)->Name, TablesCheckListBox);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
            item->setData(TableIndexRole, i);
        }
    }
    TablesFilterEditChange();
    UpdateOrder();
}

void TSeveralTablesCreationWizard::SetForeignKeys(std::vector<TForeignKey> value)
{
    FForeignKeys = std::move(value);
    UpdateOrder();
}

void TSeveralTablesCreationWizard::SetWizzardController(std::shared_ptr<ISeveralTablesController> value)
{
    SetGenerationController(value);
    FWizzardController = std::move(value);
}

QList<TTable *> TSeveralTablesCreationWizard::CheckedTables() const
{
    QList<TTable *> tables;
    if (!FTables)
        return tables;
    for (int i = 0; i < TablesCheckListBox->count(); ++i) {
        const QListWidgetItem *item = TablesCheckListBox->item(i);
        const int index = item->data(TableIndexRole).toInt();
        if (item->checkState() == Qt::Checked && index >= 0 && index < FTables->Count())
            tables << FTables->Items(index);
    }
    return tables;
}

QList<TTable *> TSeveralTablesCreationWizard::OrderedTables() const
{
    const QList<TTable *> checked = CheckedTables();
    QList<TTable *> ordered;
    for (const QString &name : FOrder.Writes) {
        const auto found = std::find_if(checked.begin(), checked.end(), [&](const TTable *table) {
            return table->Name.compare(name, Qt::CaseInsensitive) == 0 && !ordered.contains(table);
        });
        if (found != checked.end())
            ordered << *found;
    }
    // A table the order left out (it never should) still goes, at the end.
    for (TTable *table : checked)
        if (!ordered.contains(table))
            ordered << table;
    return ordered;
}

bool TSeveralTablesCreationWizard::DisableConstraints() const
{
    return DisableConstraintsCheckBox->isChecked() && DisableConstraintsCheckBox->isEnabled();
}

void TSeveralTablesCreationWizard::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    TablesCheckListBox->setFocus();
}

// ------------------------------------------------------------ the table list

void TSeveralTablesCreationWizard::TablesCheckListBoxClickCheck()
{
    UpdateOrder();
}

void TSeveralTablesCreationWizard::TablesFilterEditChange()
{
    const QString text = TablesFilterEdit->text().trimmed();
    for (int i = 0; i < TablesCheckListBox->count(); ++i) {
        QListWidgetItem *item = TablesCheckListBox->item(i);
        item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive));
    }
}

void TSeveralTablesCreationWizard::CheckAllTablesActionExecute()
{
    {
        const QSignalBlocker quiet(TablesCheckListBox);
        for (int i = 0; i < TablesCheckListBox->count(); ++i)
            if (!TablesCheckListBox->item(i)->isHidden())
                TablesCheckListBox->item(i)->setCheckState(Qt::Checked);
    }
    UpdateOrder();
}

void TSeveralTablesCreationWizard::UncheckAllTablesActionExecute()
{
    {
        const QSignalBlocker quiet(TablesCheckListBox);
        for (int i = 0; i < TablesCheckListBox->count(); ++i)
            if (!TablesCheckListBox->item(i)->isHidden())
                TablesCheckListBox->item(i)->setCheckState(Qt::Unchecked);
    }
    UpdateOrder();
}

void TSeveralTablesCreationWizard::DisableConstraintsCheckBoxClick()
{
    UpdateOrder();
}

void TSeveralTablesCreationWizard::UpdateOrder()
{
    const QList<TTable *> checked = CheckedTables();
    QStringList names;
    for (const TTable *table : checked)
        names << table->Name;
    FOrder = OrderTables(names, FForeignKeys);

    QStringList inCycles;
    for (const QStringList &cycle : FOrder.Cycles)
        inCycles << cycle;
    OrderListBox->clear();
    for (int i = 0; i < FOrder.Writes.size(); ++i) {
        auto *item = new QListWidgetItem(QStringLiteral("%1. %2").arg(i + 1).arg(FOrder.Writes[i]), OrderListBox);
        if (inCycles.contains(FOrder.Writes[i], Qt::CaseInsensitive)) {
            item->setForeground(WarningColor);
            item->setToolTip(QStringLiteral("Входит в круг таблиц, ссылающихся друг на друга."));
        }
    }
    if (FOrder.HasCycles()) {
        QString text = FOrder.CycleMessage();
        if (!DisableConstraints())
            text += QLatin1Char('\n') + SeveralTablesWizardTexts::CycleRefused;
        CycleLabel->setText(text);
    }
    CycleLabel->setVisible(FOrder.HasCycles());
    // The constraints are switched off only for tables in a ring.
    DisableConstraintsCheckBox->setEnabled(FOrder.HasCycles());
    const int all = FTables ? FTables->Count() : 0;
    CheckedCountLabel->setText(checked.isEmpty() ? SeveralTablesWizardTexts::NoTablesChecked
                                                 : SeveralTablesWizardTexts::CheckedCount.arg(checked.size()).arg(all));
    UpdateTablesNextState();
}

void TSeveralTablesCreationWizard::UpdateTablesNextState()
{
    const bool refused = FOrder.HasCycles() && !DisableConstraints();
    TablesSelectWizzardStep->NextActionState()->SetEnabled(!FOrder.Writes.isEmpty() && !refused);
}

void TSeveralTablesCreationWizard::TablesSelectWizzardStepShow(TPageControlWizzardStep *)
{
    UpdateTablesNextState();
}

void TSeveralTablesCreationWizard::ApplyDefaults(TTable &table) const
{
    table.Nickname.clear();
    for (TCustomColumn *column : table.Columns) {
        // A type the program does not know cannot be written as a literal.
        column->IsUsed = IsKnownType(column->ColumnType.XType);
        column->IsKey = column->IsUsed && column->IsPrimaryKey && KeyRefusal(*column) == krNone;
    }
}

void TSeveralTablesCreationWizard::TablesSelectWizzardStepExecute(TPageControlWizzardStep *)
{
    if (CheckedTables().isEmpty())
        throw EUiException(SeveralTablesWizardTexts::NoTablesChecked);
    if (FOrder.HasCycles() && !DisableConstraints())
        throw EUiException(FOrder.CycleMessage() + QLatin1Char('\n') + SeveralTablesWizardTexts::CycleRefused);
    const QList<TTable *> chosen = OrderedTables();
    for (TTable *table : chosen) {
        if (FWizzardController)
            FWizzardController->LoadColumns(table);
        ApplyDefaults(*table);
        const bool anyCarried = std::any_of(table->Columns.begin(), table->Columns.end(), [](const TCustomColumn *c) {
            return c->IsUsed && c->IsCarriable();
        });
        if (!anyCarried)
            throw EUiException(SeveralTablesWizardTexts::NothingToCarry.arg(table->Name));
    }
    FChosen = chosen;
    FillDefaultsTree();
}

void TSeveralTablesCreationWizard::FillDefaultsTree()
{
    DefaultsTreeView->clear();
    bool anyKeyless = false;
    for (int i = 0; i < FChosen.size(); ++i) {
        const TTable *table = FChosen[i];
        QStringList keys, leftOut;
        int used = 0;
        for (const TCustomColumn *column : table->Columns) {
            if (column->IsKey)
                keys << column->Name;
            if (column->IsUsed)
                ++used;
            else
                leftOut << column->Name;
        }
        const QString columns = leftOut.isEmpty()
                                    ? SeveralTablesWizardTexts::AllColumns.arg(used)
                                    : SeveralTablesWizardTexts::SomeColumns.arg(used).arg(table->Columns.Count());
        auto *item = new QTreeWidgetItem(DefaultsTreeView, {QString::number(i + 1), table->Name, columns,
                                                            keys.isEmpty() ? SeveralTablesWizardTexts::NoKey
                                                                           : keys.join(QStringLiteral(", "))});
        if (!leftOut.isEmpty())
            item->setToolTip(2, SeveralTablesWizardTexts::LeftOutHint.arg(leftOut.join(QStringLiteral(", "))));
        if (keys.isEmpty()) {
            item->setForeground(3, WarningColor);
            anyKeyless = true;
        }
    }
    NoKeyNoteLabel->setVisible(anyKeyless);
}

// ------------------------------------------------------ options, generation

void TSeveralTablesCreationWizard::CheckKeylessTables() const
{
    if (DeleteTablesCheckBox->isChecked())
        return;
    QStringList keyless;
    for (const TTable *table : FChosen)
        if (!table->HasKeyColumns())
            keyless << table->Name;
    if (keyless.isEmpty())
        return;
    ConfirmOrAbort(
        SeveralTablesWizardTexts::KeylessChangesNothing.arg(quotedNames(keyless).join(QStringLiteral(", "))));
}

void TSeveralTablesCreationWizard::OptionsWizzardStepExecute(TPageControlWizzardStep *)
{
    CheckKeylessTables();
    auto settings = std::make_shared<TParseSettings>();
    settings->SetDeleteTable(DeleteTablesCheckBox->isChecked());
    settings->SetOnlyChanged(OnlyChanged());
    settings->SetBatchRows(ChosenBatchRows());
    if (BeginGeneration())
        FWizzardController->CreateSeveralTablesScript(FChosen, std::move(settings), DisableConstraints());
}

QString TSeveralTablesCreationWizard::GenerationFailedText(const TGenerationResult &result) const
{
    return SeveralTablesWizardTexts::Failed.arg(result.Reason);
}

// ------------------------------------------- TSeveralTablesScriptCreationDialog

bool TSeveralTablesScriptCreationDialog::Execute()
{
    FForm->CheckAssigned();
    FForm->SetForeignKeys(FForm->WizzardController()->GetForeignKeys());
    return FForm->exec() == QDialog::Accepted;
}
