#include "OneTableCreationWizard.h"

#include "DialogKeys.h"
#include "Domain.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>

ETablesNotAssignedException::ETablesNotAssignedException()
    : EOneTableScriptCreationDialogException(OneTableWizardTexts::TablesNotAssigned)
{
}

EWizzardControllerNotAssignedException::EWizzardControllerNotAssignedException()
    : EOneTableScriptCreationDialogException(OneTableWizardTexts::ControllerNotAssigned)
{
}

namespace {

bool containsName(const QListWidget *list, const QString &name)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

constexpr int ColumnIndexRole = Qt::UserRole;

} // namespace

TOneStepCreatinWizard::TOneStepCreatinWizard(QWidget *parent)
    : QDialog(parent)
{
    BuildForm();
    BuildSteps();
    // Every step is registered: the greeting step becomes current.
    PageControlWizzard->Loaded();
}

TOneStepCreatinWizard::~TOneStepCreatinWizard()
{
    DetachFromGeneration();
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
    if (FWizzardController != value)
        DetachFromGeneration();
    FWizzardController = std::move(value);
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

void TOneStepCreatinWizard::keyPressEvent(QKeyEvent *event)
{
    if (!PressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
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

void TOneStepCreatinWizard::done(int result)
{
    // Leaving without the script (Esc, the close button) while the generation
    // runs: stop it and make sure none of its reports comes here any more.
    if (result != QDialog::Accepted)
        DetachFromGeneration();
    QDialog::done(result);
}

void TOneStepCreatinWizard::DetachFromGeneration()
{
    if (!FGenerating)
        return;
    FGenerating = false;
    if (!FWizzardController)
        return;
    FWizzardController->SetOnScriptCreated(nullptr);
    FWizzardController->SetOnProgress(nullptr);
    FWizzardController->BreakScriptCreation();
}

void TOneStepCreatinWizard::PageControlWizzardShow(TPageControlWizzardStep *sender)
{
    StepNameLabel->setText(sender->StepName());
    StepDiscriptionLabel->setText(sender->StepDescription());
}

void TOneStepCreatinWizard::PageControlWizzardCancel(TPageControlWizzardStep *)
{
    ExitAction->trigger();
}

void TOneStepCreatinWizard::ExitActionExecute()
{
    done(QDialog::Rejected);
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

void TOneStepCreatinWizard::TableCoosingWizzardStepExecute(TPageControlWizzardStep *)
{
    TTable *table = SelectedTable();
    if (FWizzardController)
        FWizzardController->LoadColumns(table);
    AllColumnsListBox->clear();
    if (table) {
        for (int i = 0; i < table->Columns.Count(); ++i)
            AllColumnsListBox->addItem(table->Columns.Items(i)->Name);
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
        if (!column->IsUsed)
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
    PrimaryColumnsSelectWizzardStep->NextActionState()->SetEnabled(anyChecked);
}

void TOneStepCreatinWizard::ColumnsSelectWizzardStepExecute(TPageControlWizzardStep *)
{
    MarkUsedColumns();
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

void TOneStepCreatinWizard::PrimaryColumnsSelectWizzardStepExecute(TPageControlWizzardStep *)
{
    StoreKeyColumns();
    auto settings = std::make_shared<TParseSettings>();
    settings->SetDeleteTable(AdditionalParamsCheckBox->isChecked() && DeleteTableCheckBox->isChecked());
    ProgressInfoLabel->clear();
    if (!FWizzardController)
        return;
    FWizzardController->SetOnScriptCreated(
        [this](IWizzardController *sender, std::unique_ptr<TScript> script) { ScriptCreated(sender, std::move(script)); });
    FWizzardController->SetOnProgress(
        [this](IWizzardController *sender, int percent, const QString &text) { ScriptCreationProgress(sender, percent, text); });
    FGenerating = true;
    FWizzardController->CreateScript(SelectedTable(), std::move(settings));
}

void TOneStepCreatinWizard::BreakSriptGenerationButtonClick()
{
    if (FWizzardController)
        FWizzardController->BreakScriptCreation();
}

void TOneStepCreatinWizard::ScriptCreated(IWizzardController *, std::unique_ptr<TScript> script)
{
    FGenerating = false;
    FResultScript = std::move(script);
    done(QDialog::Accepted);
}

void TOneStepCreatinWizard::ScriptCreationProgress(IWizzardController *, int percent, const QString &text)
{
    ProgressLabel->setText(QStringLiteral("Прогресс %1%:").arg(percent));
    ProgressBar->setValue(percent);
    ProgressInfoLabel->setText(text);
}

// ------------------------------------------------ TOneTableScriptCreationDialog

TOneTableScriptCreationDialog::TOneTableScriptCreationDialog()
    : FForm(std::make_unique<TOneStepCreatinWizard>())
{
    FForm->SetTables(nullptr);
}

TOneTableScriptCreationDialog::~TOneTableScriptCreationDialog() = default;

void TOneTableScriptCreationDialog::SetTables(TTableList *value)
{
    FForm->SetTables(value);
}

void TOneTableScriptCreationDialog::SetWizzardController(std::shared_ptr<IWizzardController> value)
{
    FForm->SetWizzardController(std::move(value));
}

bool TOneTableScriptCreationDialog::Execute()
{
    if (!FForm->Tables())
        throw ETablesNotAssignedException();
    if (!FForm->WizzardController())
        throw EWizzardControllerNotAssignedException();
    return FForm->exec() == QDialog::Accepted;
}

const QStringList *TOneTableScriptCreationDialog::Script() const
{
    const TScript *script = FForm->ResultScript();
    return script ? &script->Lines : nullptr;
}
