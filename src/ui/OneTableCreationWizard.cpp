#include "OneTableCreationWizard.h"

#include "Domain.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

namespace {

bool containsName(const QListWidget *list, const QString &name)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

constexpr int ColumnIndexRole = Qt::UserRole;

bool deletesRows(const QCheckBox *options, const QCheckBox *deleteTable)
{
    return options->isChecked() && deleteTable->isChecked();
}

} // namespace

TOneStepCreatinWizard::TOneStepCreatinWizard(QWidget *parent)
    : TCustomScriptWizard(parent)
{
    BuildForm();
    BuildSteps();
    // Every step is registered: the greeting step becomes current.
    PageControlWizzard->Loaded();
}

void TOneStepCreatinWizard::SetTables(TTableList *value)
{
    FTables = value;
    if (!value)
        return;
    const QSignalBlocker quiet(TablesTreeView);
    TablesTreeView->clear();
    const QIcon icon = style()->standardIcon(QStyle::SP_FileDialogListView);
    for (int i = 0; i < value->Count(); ++i) {
        auto *node = new QTreeWidgetItem(TablesTreeView, QStringList{value->Items(i)->Name});
        node->setIcon(0, icon);
    }
}

void TOneStepCreatinWizard::SetWizzardController(std::shared_ptr<IWizzardController> value)
{
    SetGenerationController(std::move(value));
}

TTable *TOneStepCreatinWizard::SelectedTable() const
{
    if (!FTables)
        return nullptr;
    const QList<QTreeWidgetItem *> selected = TablesTreeView->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    const int index = TablesTreeView->indexOfTopLevelItem(selected.first());
    if (index < 0 || index >= FTables->Count())
        return nullptr;
    return FTables->Items(index);
}

void TOneStepCreatinWizard::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    NextButton->setFocus();
}

bool TOneStepCreatinWizard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == UsedColumnsListBox && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        DoNotUseSelectedColumnActionExecute();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TOneStepCreatinWizard::ShowGreetingLayout()
{
    ImagePanel->setVisible(true);
    TopPanel->setVisible(false);
    TopBevel->setVisible(false);
    QPalette form = palette();
    form.setColor(QPalette::Window, Qt::white);
    setPalette(form);
}

void TOneStepCreatinWizard::ShowStepLayout()
{
    ImagePanel->setVisible(false);
    TopPanel->setVisible(true);
    TopBevel->setVisible(true);
    QPalette form = palette();
    form.setColor(QPalette::Window, QPalette().color(QPalette::Button));
    setPalette(form);
}

void TOneStepCreatinWizard::GreetingsWizzardStepShow(TPageControlWizzardStep *)
{
    ShowGreetingLayout();
}

void TOneStepCreatinWizard::GreetingsWizzardStepExecute(TPageControlWizzardStep *)
{
    ShowStepLayout();
}

void TOneStepCreatinWizard::TableCoosingWizzardStepShow(TPageControlWizzardStep *)
{
    if (TablesTreeView->selectedItems().isEmpty())
        TableCoosingWizzardStep->NextActionState()->SetEnabled(false);
}

void TOneStepCreatinWizard::TablesTreeViewChange()
{
    const QList<QTreeWidgetItem *> selected = TablesTreeView->selectedItems();
    TableCoosingWizzardStep->NextActionState()->SetEnabled(!selected.isEmpty());
    if (!selected.isEmpty())
        TableNicknameEdit->setText(selected.first()->text(0));
}

void TOneStepCreatinWizard::ServersTreeViewDblClick()
{
    if (TablesTreeView->selectedItems().isEmpty())
        return;
    PageControlWizzard->ExecuteCurrentStep();
    PageControlWizzard->GoToNextStep();
}

void TOneStepCreatinWizard::AdditionalParamsCheckBoxClick()
{
    AdditionalTableParamsPanel->setVisible(AdditionalParamsCheckBox->isChecked());
}

void TOneStepCreatinWizard::RowFilterEditChange()
{
    DeleteFilterNoteLabel->setVisible(!RowFilterEdit->text().trimmed().isEmpty());
}

QString TOneStepCreatinWizard::RowFilter() const
{
    return AdditionalParamsCheckBox->isChecked() ? RowFilterEdit->text().trimmed() : QString();
}

void TOneStepCreatinWizard::TableCoosingWizzardStepExecute(TPageControlWizzardStep *)
{
    TTable *table = SelectedTable();
    if (GenerationController())
        GenerationController()->LoadColumns(table);
    AllColumnsListBox->clear();
    if (table) {
        for (int i = 0; i < table->Columns.Count(); ++i) {
            const TCustomColumn *column = table->Columns.Items(i);
            auto *item = new QListWidgetItem(column->Name, AllColumnsListBox);
            // Shown, but marked: it cannot be carried.
            if (!column->IsOfKnownType()) {
                item->setToolTip(OneTableWizardTexts::UnknownTypeHint.arg(column->ColumnType.XType));
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            }
        }
        table->Nickname = AdditionalParamsCheckBox->isChecked() ? TableNicknameEdit->text() : QString();
    }
    UseAllColumnsAction->trigger();
}

void TOneStepCreatinWizard::UpdateColumnsNextState()
{
    ColumnsSelectWizzardStep->NextActionState()->SetEnabled(UsedColumnsListBox->count() > 0);
}

void TOneStepCreatinWizard::UseSelectedColumnActionExecute()
{
    for (int i = 0; i < AllColumnsListBox->count(); ++i) {
        const QListWidgetItem *item = AllColumnsListBox->item(i);
        if (item->isSelected() && !containsName(UsedColumnsListBox, item->text()))
            UsedColumnsListBox->addItem(item->text());
    }
    UpdateColumnsNextState();
}

void TOneStepCreatinWizard::UseAllColumnsActionExecute()
{
    UsedColumnsListBox->clear();
    for (int i = 0; i < AllColumnsListBox->count(); ++i)
        UsedColumnsListBox->addItem(AllColumnsListBox->item(i)->text());
    UpdateColumnsNextState();
}

void TOneStepCreatinWizard::DoNotUseSelectedColumnActionExecute()
{
    for (int i = UsedColumnsListBox->count() - 1; i >= 0; --i)
        if (UsedColumnsListBox->item(i)->isSelected())
            delete UsedColumnsListBox->takeItem(i);
    UpdateColumnsNextState();
}

void TOneStepCreatinWizard::DoNotUseAllColumnsActionExecute()
{
    UsedColumnsListBox->clear();
    UpdateColumnsNextState();
}

void TOneStepCreatinWizard::MarkUsedColumns()
{
    TTable *table = SelectedTable();
    if (!table)
        return;
    for (int i = 0; i < table->Columns.Count(); ++i) {
        TCustomColumn *column = table->Columns.Items(i);
        column->IsUsed = containsName(UsedColumnsListBox, column->Name);
    }
}

QString TOneStepCreatinWizard::ColumnDescription(const TCustomColumn &column)
{
    QString description = column.ColumnType.Name;
    if (column.IsPrimaryKey)
        description += QStringLiteral(", PK");
    if (column.IsIdentity)
        description += QStringLiteral(", Identity");
    return description;
}

void TOneStepCreatinWizard::FillKeyColumnsList()
{
    const QSignalBlocker quiet(ColumnsCheckListBox);
    ColumnsCheckListBox->clear();
    TTable *table = SelectedTable();
    if (!table)
        return;
    for (int i = 0; i < table->Columns.Count(); ++i) {
        const TCustomColumn *column = table->Columns.Items(i);
        // text, ntext and image cannot be compared: never offered as keys.
        if (!column->IsUsed || !column->IsComparable())
            continue;
        auto *item = new QListWidgetItem(QStringLiteral("%1 [%2]").arg(column->Name, ColumnDescription(*column)),
                                         ColumnsCheckListBox);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(column->IsPrimaryKey ? Qt::Checked : Qt::Unchecked);
        item->setData(ColumnIndexRole, i);
    }
}

void TOneStepCreatinWizard::UpdateKeysNextState()
{
    bool anyChecked = false;
    for (int i = 0; i < ColumnsCheckListBox->count() && !anyChecked; ++i)
        anyChecked = ColumnsCheckListBox->item(i)->checkState() == Qt::Checked;
    // Without keys a script still has a use when the target's rows are
    // deleted first (every row goes in), and there is no choice at all when
    // no carried column can be compared; the key page's Next then asks.
    const bool noChoice = ColumnsCheckListBox->count() == 0;
    PrimaryColumnsSelectWizzardStep->NextActionState()->SetEnabled(
        anyChecked || noChoice || deletesRows(AdditionalParamsCheckBox, DeleteTableCheckBox));
}

void TOneStepCreatinWizard::CheckUsedColumns() const
{
    const TTable *table = SelectedTable();
    if (!table)
        return;
    QStringList leftOut;
    bool anyCarried = false;
    for (const TCustomColumn *column : table->Columns) {
        if (!column->IsUsed)
            continue;
        if (!column->IsOfKnownType())
            throw EUiException(OneTableWizardTexts::UnknownType.arg(column->Name).arg(column->ColumnType.XType));
        if (column->IsCarriable())
            anyCarried = true;
        else
            leftOut << column->Name;
    }
    if (!anyCarried)
        throw EUiException(OneTableWizardTexts::NothingToCarry.arg(leftOut.join(QStringLiteral(", "))));
}

void TOneStepCreatinWizard::ColumnsSelectWizzardStepExecute(TPageControlWizzardStep *)
{
    MarkUsedColumns();
    CheckUsedColumns();
    FillKeyColumnsList();
    UpdateKeysNextState();
}

void TOneStepCreatinWizard::ColumnsCheckListBoxClickCheck()
{
    UpdateKeysNextState();
}

void TOneStepCreatinWizard::StoreKeyColumns()
{
    TTable *table = SelectedTable();
    if (!table)
        return;
    for (int i = 0; i < table->Columns.Count(); ++i)
        table->Columns.Items(i)->IsKey = false;
    for (int i = 0; i < ColumnsCheckListBox->count(); ++i) {
        const QListWidgetItem *item = ColumnsCheckListBox->item(i);
        const int index = item->data(ColumnIndexRole).toInt();
        if (index < 0 || index >= table->Columns.Count())
            continue;
        TCustomColumn *column = table->Columns.Items(index);
        column->IsKey = column->IsUsed && item->checkState() == Qt::Checked;
    }
}

void TOneStepCreatinWizard::CheckKeyColumns() const
{
    const TTable *table = SelectedTable();
    if (!table)
        return;
    for (const TCustomColumn *column : table->Columns)
        if (column->IsKey && KeyRefusal(*column) != krNone)
            throw EUiException(OneTableWizardTexts::KeyNotCarriable.arg(column->Name, ColumnDescription(*column)));
    if (table->HasKeyColumns() || deletesRows(AdditionalParamsCheckBox, DeleteTableCheckBox))
        return;
    const QString target = table->Nickname.isEmpty() ? table->Name : table->Nickname;
    ConfirmOrAbort(OneTableWizardTexts::ChangesNothing.arg(target));
}

void TOneStepCreatinWizard::PrimaryColumnsSelectWizzardStepExecute(TPageControlWizzardStep *)
{
    StoreKeyColumns();
    CheckKeyColumns();
    auto settings = std::make_shared<TParseSettings>();
    settings->SetDeleteTable(AdditionalParamsCheckBox->isChecked() && DeleteTableCheckBox->isChecked());
    settings->SetRowFilter(RowFilter());
    settings->SetOnlyChanged(OnlyChanged());
    settings->SetBatchRows(BatchRowsChoice());
    if (BeginGeneration())
        GenerationController()->CreateScript(SelectedTable(), std::move(settings));
}

qint64 TOneStepCreatinWizard::BatchRowsChoice() const
{
    return AdditionalParamsCheckBox->isChecked() ? ChosenBatchRows() : BatchRowsAutomatic;
}

QString TOneStepCreatinWizard::GenerationFailedText(const TGenerationResult &result) const
{
    // A condition the server refused is the likely cause: show it beside the server's words.
    const TTable *table = SelectedTable();
    QString text = OneTableWizardTexts::RowsUnreadable.arg(table ? table->Name : QString(), result.Reason);
    if (!RowFilter().isEmpty())
        text += OneTableWizardTexts::RowFilterShown.arg(RowFilter());
    return text;
}

// ------------------------------------------------ TOneTableScriptCreationDialog

bool TOneTableScriptCreationDialog::Execute()
{
    FForm->CheckAssigned();
    return FForm->exec() == QDialog::Accepted;
}

const QStringList *TOneTableScriptCreationDialog::Script() const
{
    const TScript *script = FForm->ResultScript();
    return script ? &script->Lines : nullptr;
}
