#include "SeveralTablesWizard.h"

#include "DialogKeys.h"
#include "Domain.h"
#include "OneTableCreationWizard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
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
    : QDialog(parent)
{
    BuildForm();
    BuildSteps();
    PageControlWizzard->Loaded();
    UpdateOrder();
}

TSeveralTablesCreationWizard::~TSeveralTablesCreationWizard()
{
    DetachFromGeneration();
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
    if (FWizzardController != value)
        DetachFromGeneration();
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

bool TSeveralTablesCreationWizard::OnlyChanged() const
{
    return OnlyChangedCheckBox->isChecked();
}

void TSeveralTablesCreationWizard::SetOnlyChanged(bool value)
{
    OnlyChangedCheckBox->setChecked(value);
}

void TSeveralTablesCreationWizard::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    TablesCheckListBox->setFocus();
}

void TSeveralTablesCreationWizard::keyPressEvent(QKeyEvent *event)
{
    if (!PressFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

void TSeveralTablesCreationWizard::done(int result)
{
    if (result != QDialog::Accepted)
        DetachFromGeneration();
    QDialog::done(result);
}

void TSeveralTablesCreationWizard::DetachFromGeneration()
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

void TSeveralTablesCreationWizard::PageControlWizzardShow(TPageControlWizzardStep *sender)
{
    StepNameLabel->setText(sender->StepName());
    StepDiscriptionLabel->setText(sender->StepDescription());
}

void TSeveralTablesCreationWizard::ExitActionExecute()
{
    done(QDialog::Rejected);
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
    QMessageBox question(QMessageBox::Question, SeveralTablesWizardTexts::Caption,
                         SeveralTablesWizardTexts::KeylessChangesNothing.arg(quotedNames(keyless).join(QStringLiteral(", "))),
                         QMessageBox::Yes | QMessageBox::No, const_cast<TSeveralTablesCreationWizard *>(this));
    question.setObjectName(QStringLiteral("ChangesNothingQuestion"));
    question.setDefaultButton(QMessageBox::No);
    if (question.exec() != QMessageBox::Yes)
        throw EAbortException();
}

qint64 TSeveralTablesCreationWizard::BatchRowsChoice() const
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

void TSeveralTablesCreationWizard::OptionsWizzardStepExecute(TPageControlWizzardStep *)
{
    CheckKeylessTables();
    auto settings = std::make_shared<TParseSettings>();
    settings->SetDeleteTable(DeleteTablesCheckBox->isChecked());
    settings->SetOnlyChanged(OnlyChanged());
    settings->SetBatchRows(BatchRowsChoice());
    ProgressInfoLabel->clear();
    ProgressLabel->setText(QStringLiteral("Прогресс:"));
    ProgressBar->setValue(0);
    if (!FWizzardController)
        return;
    FWizzardController->SetOnScriptCreated(
        [this](IWizzardController *sender, std::unique_ptr<TScript> script, const TGenerationResult &result) {
            ScriptCreated(sender, std::move(script), result);
        });
    FWizzardController->SetOnProgress(
        [this](IWizzardController *sender, int percent, const QString &text) { ScriptCreationProgress(sender, percent, text); });
    FGenerating = true;
    FWizzardController->CreateSeveralTablesScript(FChosen, std::move(settings), DisableConstraints());
}

void TSeveralTablesCreationWizard::BreakSriptGenerationButtonClick()
{
    if (FWizzardController)
        FWizzardController->BreakScriptCreation();
}

void TSeveralTablesCreationWizard::ScriptCreated(IWizzardController *, std::unique_ptr<TScript> script,
                                                 const TGenerationResult &result)
{
    FGenerating = false;
    if (result.Complete() && script) {
        FResultScript = std::move(script);
        done(QDialog::Accepted);
        return;
    }
    if (result.Outcome == goBrokenOff)
        ShowGenerationEnd(SeveralTablesWizardTexts::BrokenOff, false);
    else
        ShowGenerationEnd(SeveralTablesWizardTexts::Failed.arg(result.Reason), true);
}

void TSeveralTablesCreationWizard::ShowGenerationEnd(const QString &text, bool failed)
{
    PageControlWizzard->GoToStep(OptionsWizzardStep);
    // Not modal to the application: the generator's worker waits for this
    // handler to return and must not wait for the user.
    auto *box = new QMessageBox(failed ? QMessageBox::Warning : QMessageBox::Information,
                                SeveralTablesWizardTexts::Caption, text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("GenerationEndNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TSeveralTablesCreationWizard::ScriptCreationProgress(IWizzardController *, int percent, const QString &text)
{
    ProgressLabel->setText(QStringLiteral("Прогресс %1%:").arg(percent));
    ProgressBar->setValue(percent);
    ProgressInfoLabel->setText(text);
}

// ------------------------------------------- TSeveralTablesScriptCreationDialog

TSeveralTablesScriptCreationDialog::TSeveralTablesScriptCreationDialog()
    : FForm(std::make_unique<TSeveralTablesCreationWizard>())
{
}

TSeveralTablesScriptCreationDialog::~TSeveralTablesScriptCreationDialog() = default;

void TSeveralTablesScriptCreationDialog::SetTables(TTableList *value)
{
    FForm->SetTables(value);
}

void TSeveralTablesScriptCreationDialog::SetWizzardController(std::shared_ptr<ISeveralTablesController> value)
{
    FForm->SetWizzardController(std::move(value));
}

bool TSeveralTablesScriptCreationDialog::Execute()
{
    if (!FForm->Tables())
        throw ETablesNotAssignedException();
    if (!FForm->WizzardController())
        throw EWizzardControllerNotAssignedException();
    FForm->SetForeignKeys(FForm->WizzardController()->GetForeignKeys());
    return FForm->exec() == QDialog::Accepted;
}
