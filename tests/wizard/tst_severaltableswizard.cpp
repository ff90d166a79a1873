// The several-tables wizard with a fake controller, driven through its
// widgets: the check list with the foreign-key order, the ring of tables
// refused without the constraints option and taken with it, the defaults
// per table, the options reaching the generation, and its end.

#include "FakeSeveralTablesController.h"
#include "SeveralTablesWizard.h"
#include "WizardFlowHelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

TForeignKey key(const QString &child, const QString &parent)
{
    TForeignKey result;
    result.Name = QStringLiteral("FK_%1_%2").arg(child, parent);
    result.Table = child;
    result.ReferencedTable = parent;
    result.Columns = {parent + QStringLiteral("Id")};
    result.ReferencedColumns = {QStringLiteral("Id")};
    return result;
}

// Listed children first, so that the order shown is not the list's order.
const QStringList tableNames{QStringLiteral("OrderLines"), QStringLiteral("Notes"),     QStringLiteral("Orders"),
                             QStringLiteral("Alpha"),      QStringLiteral("Customers"), QStringLiteral("Beta")};

struct SeveralWizard
{
    std::unique_ptr<TTableList> tables = std::make_unique<TTableList>();
    std::shared_ptr<FakeSeveralTablesController> controller = std::make_shared<FakeSeveralTablesController>();
    TSeveralTablesScriptCreationDialog dialog;
    TSeveralTablesCreationWizard *form = dialog.Form();

    SeveralWizard()
    {
        for (int i = 0; i < tableNames.size(); ++i)
            tables->Add(std::make_unique<TTable>(tableNames[i], soUserTable, 200 + i));
        controller->Keys = {key(QStringLiteral("Orders"), QStringLiteral("Customers")),
                            key(QStringLiteral("OrderLines"), QStringLiteral("Orders")),
                            key(QStringLiteral("Alpha"), QStringLiteral("Beta")),
                            key(QStringLiteral("Beta"), QStringLiteral("Alpha"))};
        for (const QString &name : tableNames)
            controller->Columns[name] = {{QStringLiteral("Id"), 56, true}, {QStringLiteral("Title"), 167}};
        // Notes has no primary key; Orders carries a column of a type the program does not know.
        controller->Columns[QStringLiteral("Notes")] = {{QStringLiteral("Text"), 167}};
        controller->Columns[QStringLiteral("Orders")] << FakeSeveralTablesController::ColumnDefinition{
            QStringLiteral("Odd"), 250};
        dialog.SetTables(tables.get());
        dialog.SetWizzardController(controller);
        form->SetForeignKeys(controller->GetForeignKeys());
        form->show();
    }
    template <typename T> T *get(const char *name) const { return child<T>(form, name); }
    QPushButton *next() const { return get<QPushButton>("NextButton"); }
    QString page() const { return get<QStackedWidget>("PageControl")->currentWidget()->objectName(); }
    void tick(const QStringList &names) const
    {
        auto *list = get<QListWidget>("TablesCheckListBox");
        for (int i = 0; i < list->count(); ++i)
            if (names.contains(list->item(i)->text()))
                list->item(i)->setCheckState(Qt::Checked);
    }
    QStringList shownOrder() const
    {
        QStringList result;
        auto *list = get<QListWidget>("OrderListBox");
        for (int i = 0; i < list->count(); ++i)
            result << list->item(i)->text();
        return result;
    }
    QStringList ticked() const
    {
        QStringList result;
        for (const TTable *table : form->CheckedTables())
            result << table->Name;
        return result;
    }
    // Tables ticked -> defaults -> options.
    void toOptions(const QStringList &names) const
    {
        tick(names);
        next()->click();
        next()->click();
    }
};

} // namespace

class TestSeveralTablesWizard : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void startsOnTheTableList();
    void checklistShowsOrder_data();
    void checklistShowsOrder();
    void cycleRefusedWithoutOptionAcceptedWithIt();
    void filterAndMarkAll();
    void defaultsPerTable();
    void optionsReachGeneration_data();
    void optionsReachGeneration();
    void keylessTablesAskFirst_data();
    void keylessTablesAskFirst();
    void generationEnd_data();
    void generationEnd();
    void closingDuringGenerationBreaksItOff();
    void executeReadsKeysFirst();

private:
    QStringList m_errors;
};

void TestSeveralTablesWizard::init()
{
    m_errors.clear();
    SetErrorDisplay([this](const QString &message) { m_errors << message; });
}

void TestSeveralTablesWizard::startsOnTheTableList()
{
    SeveralWizard w;
    QCOMPARE(w.page(), QStringLiteral("TablesSelectTabSheet"));
    QCOMPARE(w.get<QLabel>("StepNameLabel")->text(), QStringLiteral("Выбор таблиц"));
    QVERIFY(!w.next()->isEnabled());
    QVERIFY(!w.get<QPushButton>("PreviosButton")->isVisible());
    QCOMPARE(w.get<QListWidget>("TablesCheckListBox")->count(), tableNames.size());
    QVERIFY(w.ticked().isEmpty());
}

void TestSeveralTablesWizard::checklistShowsOrder_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<bool>("cycle");
    QTest::newRow("one table") << QStringList{"Customers"} << QStringList{"1. Customers"} << false;
    QTest::newRow("parents before children")
        << QStringList{"OrderLines", "Orders", "Customers"}
        << QStringList{"1. Customers", "2. Orders", "3. OrderLines"} << false;
    QTest::newRow("a parent left out does not bind")
        << QStringList{"OrderLines", "Customers"} << QStringList{"1. OrderLines", "2. Customers"} << false;
    QTest::newRow("unrelated keep list order")
        << QStringList{"Notes", "Customers"} << QStringList{"1. Notes", "2. Customers"} << false;
    QTest::newRow("ring") << QStringList{"Alpha", "Beta"} << QStringList{"1. Alpha", "2. Beta"} << true;
}

void TestSeveralTablesWizard::checklistShowsOrder()
{
    QFETCH(QStringList, ticked);
    QFETCH(QStringList, order);
    QFETCH(bool, cycle);
    SeveralWizard w;
    w.tick(ticked);
    QCOMPARE(w.shownOrder(), order);
    QCOMPARE(w.get<QLabel>("CycleLabel")->isVisible(), cycle);
    QCOMPARE(w.next()->isEnabled(), !cycle);
    QCOMPARE(w.get<QLabel>("CheckedCountLabel")->text(),
             QStringLiteral("Выбрано таблиц: %1 из %2").arg(ticked.size()).arg(tableNames.size()));
}

void TestSeveralTablesWizard::cycleRefusedWithoutOptionAcceptedWithIt()
{
    SeveralWizard w;
    w.tick({"Alpha", "Beta", "Customers"});
    auto *cycle = w.get<QLabel>("CycleLabel");
    QVERIFY(cycle->isVisible());
    QVERIFY2(cycle->text().contains(QStringLiteral("«Alpha»")) && cycle->text().contains(QStringLiteral("«Beta»")),
             qPrintable(cycle->text()));
    QVERIFY(!cycle->text().contains(QStringLiteral("«Customers»")));
    QVERIFY(cycle->text().contains(QStringLiteral("отметьте флажок")));
    QVERIFY(!w.next()->isEnabled());
    // Even when Next is forced, the page refuses to move on.
    RunGuarded([&] { w.form->Wizzard()->NextButtonClick(); });
    QCOMPARE(w.page(), QStringLiteral("TablesSelectTabSheet"));
    QCOMPARE(m_errors.size(), 1);
    QVERIFY(m_errors.first().contains(QStringLiteral("«Alpha»")));
    QVERIFY(!w.controller->Calls.join(' ').contains(QStringLiteral("LoadColumns")));

    w.get<QCheckBox>("DisableConstraintsCheckBox")->setChecked(true);
    QVERIFY(w.next()->isEnabled());
    QVERIFY(!cycle->text().contains(QStringLiteral("отметьте флажок")));
    w.next()->click();
    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("OptionsTabSheet"));
    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("ProgressTabSheet"));
    QCOMPARE(w.controller->CreatedFor, (QStringList{"Alpha", "Beta", "Customers"}));
    QVERIFY(w.controller->DisabledConstraints);

    // Without a ring the option has nothing to act on.
    SeveralWizard other;
    other.tick({"Alpha", "Beta"});
    other.get<QCheckBox>("DisableConstraintsCheckBox")->setChecked(true);
    other.get<QListWidget>("TablesCheckListBox")->findItems("Beta", Qt::MatchExactly).first()->setCheckState(Qt::Unchecked);
    QVERIFY(!other.get<QLabel>("CycleLabel")->isVisible());
    QVERIFY(!other.get<QCheckBox>("DisableConstraintsCheckBox")->isEnabled());
    QVERIFY(!other.form->DisableConstraints());
    QVERIFY(other.next()->isEnabled());
}

void TestSeveralTablesWizard::filterAndMarkAll()
{
    SeveralWizard w;
    w.get<QLineEdit>("TablesFilterEdit")->setText(QStringLiteral("order"));
    auto *list = w.get<QListWidget>("TablesCheckListBox");
    QStringList visible;
    for (int i = 0; i < list->count(); ++i)
        if (!list->item(i)->isHidden())
            visible << list->item(i)->text();
    QCOMPARE(visible, (QStringList{"OrderLines", "Orders"}));
    w.get<QPushButton>("CheckAllTablesButton")->click();
    w.get<QLineEdit>("TablesFilterEdit")->clear();
    QCOMPARE(w.ticked(), (QStringList{"OrderLines", "Orders"}));
    QCOMPARE(w.shownOrder(), (QStringList{"1. Orders", "2. OrderLines"}));
    w.get<QPushButton>("CheckAllTablesButton")->click();
    QCOMPARE(w.ticked(), tableNames);
    // Clearing through the filter leaves the hidden tables ticked.
    w.get<QLineEdit>("TablesFilterEdit")->setText(QStringLiteral("E"));
    w.get<QPushButton>("UncheckAllTablesButton")->click();
    w.get<QLineEdit>("TablesFilterEdit")->clear();
    QCOMPARE(w.ticked(), (QStringList{"Alpha"}));
    QVERIFY(w.next()->isEnabled());
    w.get<QPushButton>("UncheckAllTablesButton")->click();
    QVERIFY(w.ticked().isEmpty());
    QVERIFY(!w.next()->isEnabled());
}

void TestSeveralTablesWizard::defaultsPerTable()
{
    SeveralWizard w;
    // Columns chosen by hand earlier are replaced by the defaults.
    w.tick({"Notes", "Orders", "Customers"});
    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("DefaultsTabSheet"));
    QCOMPARE(w.controller->Calls.filter(QStringLiteral("LoadColumns")),
             (QStringList{"LoadColumns Notes", "LoadColumns Customers", "LoadColumns Orders"}));
    auto *tree = w.get<QTreeWidget>("DefaultsTreeView");
    QCOMPARE(tree->topLevelItemCount(), 3);
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = tree->topLevelItem(i);
        rows << QStringLiteral("%1|%2|%3|%4").arg(item->text(0), item->text(1), item->text(2), item->text(3));
    }
    QCOMPARE(rows, (QStringList{"1|Notes|все (1)|нет первичного ключа", "2|Customers|все (2)|Id",
                                "3|Orders|2 из 3|Id"}));
    QVERIFY(tree->topLevelItem(2)->toolTip(2).contains(QStringLiteral("Odd")));
    QVERIFY(w.get<QLabel>("NoKeyNoteLabel")->isVisible());

    TTable *orders = w.tables->Items(tableNames.indexOf("Orders"));
    QStringList flags;
    for (const TCustomColumn *column : orders->Columns)
        flags << QStringLiteral("%1:%2%3").arg(column->Name, column->IsUsed ? "U" : "-", column->IsKey ? "K" : "-");
    QCOMPARE(flags, (QStringList{"Id:UK", "Title:U-", "Odd:--"}));

    // Back and forth keeps the ticks and reloads the columns.
    w.get<QPushButton>("PreviosButton")->click();
    QCOMPARE(w.page(), QStringLiteral("TablesSelectTabSheet"));
    QCOMPARE(w.ticked(), (QStringList{"Notes", "Orders", "Customers"}));
    w.next()->click();
    QCOMPARE(w.controller->Calls.filter(QStringLiteral("LoadColumns")).size(), 6);
}

void TestSeveralTablesWizard::optionsReachGeneration_data()
{
    QTest::addColumn<bool>("deleteRows");
    QTest::addColumn<bool>("onlyChanged");
    QTest::addColumn<int>("batchMode");
    QTest::addColumn<qint64>("batchRows");
    QTest::newRow("defaults") << false << false << 0 << BatchRowsAutomatic;
    QTest::newRow("delete, one batch") << true << false << 1 << qint64(0);
    QTest::newRow("only changed, batches of 3") << false << true << 2 << qint64(3);
}

void TestSeveralTablesWizard::optionsReachGeneration()
{
    QFETCH(bool, deleteRows);
    QFETCH(bool, onlyChanged);
    QFETCH(int, batchMode);
    QFETCH(qint64, batchRows);
    SeveralWizard w;
    w.toOptions({"OrderLines", "Orders", "Customers"});
    QCOMPARE(w.page(), QStringLiteral("OptionsTabSheet"));
    QCOMPARE(w.next()->text(), QStringLiteral("Создать"));
    // The row condition belongs to one table: here it is only explained.
    QVERIFY(w.get<QLabel>("RowFilterNoteLabel")->text().contains(QStringLiteral("WHERE")));
    QVERIFY(!w.form->findChild<QLineEdit *>(QStringLiteral("RowFilterEdit")));
    w.get<QCheckBox>("DeleteTablesCheckBox")->setChecked(deleteRows);
    w.get<QCheckBox>("OnlyChangedCheckBox")->setChecked(onlyChanged);
    w.get<QComboBox>("BatchModeComboBox")->setCurrentIndex(batchMode);
    if (batchMode == 2)
        w.get<QSpinBox>("BatchRowsSpinBox")->setValue(int(batchRows));
    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("ProgressTabSheet"));
    QVERIFY(!w.next()->isEnabled() && !w.get<QPushButton>("CancelButton")->isEnabled());
    QCOMPARE(w.controller->CreatedFor, (QStringList{"Customers", "Orders", "OrderLines"}));
    QVERIFY(!w.controller->DisabledConstraints);
    QVERIFY(w.controller->Settings);
    QCOMPARE(w.controller->Settings->GetDeleteTable(), deleteRows);
    QCOMPARE(w.controller->Settings->GetOnlyChanged(), onlyChanged);
    QCOMPARE(w.controller->Settings->GetBatchRows(), batchRows);
    QVERIFY(w.controller->Settings->GetRowFilter().isEmpty());
    QCOMPARE(w.form->OnlyChanged(), onlyChanged);
}

void TestSeveralTablesWizard::keylessTablesAskFirst_data()
{
    QTest::addColumn<bool>("deleteRows");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("generated");
    QTest::newRow("asked, no") << false << int(QMessageBox::No) << true << false;
    QTest::newRow("asked, yes") << false << int(QMessageBox::Yes) << true << true;
    QTest::newRow("rows deleted: not asked") << true << int(QMessageBox::No) << false << true;
}

void TestSeveralTablesWizard::keylessTablesAskFirst()
{
    QFETCH(bool, deleteRows);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, generated);
    SeveralWizard w;
    w.toOptions({"Notes", "Customers"});
    w.get<QCheckBox>("DeleteTablesCheckBox")->setChecked(deleteRows);
    QString question;
    whenModal<QMessageBox>([&](QMessageBox *box) {
        question = box->text();
        box->button(QMessageBox::StandardButton(answer))->click();
    });
    w.next()->click();
    ++pollEpoch;
    QCOMPARE(!question.isEmpty(), asked);
    if (asked) {
        QVERIFY2(question.contains(QStringLiteral("«Notes»")), qPrintable(question));
        QVERIFY(!question.contains(QStringLiteral("Customers")));
    }
    QCOMPARE(w.page(), generated ? QStringLiteral("ProgressTabSheet") : QStringLiteral("OptionsTabSheet"));
    QCOMPARE(w.controller->Calls.contains(QStringLiteral("CreateSeveralTablesScript")), generated);
    QVERIFY(m_errors.isEmpty());
}

void TestSeveralTablesWizard::generationEnd_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("notice");
    QTest::newRow("complete") << int(goComplete) << true << QString();
    QTest::newRow("broken off") << int(goBrokenOff) << false << QStringLiteral("прервано");
    QTest::newRow("failed") << int(goFailed) << false << QStringLiteral("Invalid object name");
}

void TestSeveralTablesWizard::generationEnd()
{
    QFETCH(int, outcome);
    QFETCH(bool, accepted);
    QFETCH(QString, notice);
    SeveralWizard w;
    w.toOptions({"Orders", "Customers"});
    w.next()->click();
    w.controller->Progress(42, QStringLiteral("Orders: строка 5"));
    QCOMPARE(w.get<QLabel>("ProgressLabel")->text(), QStringLiteral("Прогресс 42%:"));
    QCOMPARE(w.get<QLabel>("ProgressInfoLabel")->text(), QStringLiteral("Orders: строка 5"));
    w.get<QPushButton>("BreakSriptGenerationButton")->click();
    QVERIFY(w.controller->Calls.contains(QStringLiteral("BreakScriptCreation")));

    auto script = std::make_unique<TScript>();
    script->Lines = {QStringLiteral("-- several")};
    const TGenerationResult result{TGenerationOutcome(outcome),
                                   outcome == goFailed ? QStringLiteral("Invalid object name 'Orders'.") : QString()};
    w.controller->Finish(outcome == goComplete ? std::move(script) : nullptr, result);
    QCOMPARE(w.form->result() == QDialog::Accepted, accepted);
    QCOMPARE(w.form->ResultScript() != nullptr, accepted);
    if (accepted) {
        QCOMPARE(w.form->ResultScript()->Lines, QStringList{QStringLiteral("-- several")});
        return;
    }
    // Back on the options page, told why, free to try again.
    QCOMPARE(w.page(), QStringLiteral("OptionsTabSheet"));
    auto *box = w.form->findChild<QMessageBox *>(QStringLiteral("GenerationEndNotice"));
    QVERIFY(box);
    QVERIFY2(box->text().contains(notice), qPrintable(box->text()));
    box->close();
    w.next()->click();
    QCOMPARE(w.page(), QStringLiteral("ProgressTabSheet"));
    QCOMPARE(w.get<QLabel>("ProgressLabel")->text(), QStringLiteral("Прогресс:"));
}

void TestSeveralTablesWizard::closingDuringGenerationBreaksItOff()
{
    SeveralWizard w;
    w.toOptions({"Customers"});
    w.next()->click();
    QVERIFY(w.form->IsGenerating());
    QTest::keyClick(w.form, Qt::Key_Escape);
    QCOMPARE(w.form->result(), int(QDialog::Rejected));
    QVERIFY(!w.form->IsGenerating());
    const QStringList tail = w.controller->Calls.mid(w.controller->Calls.size() - 3);
    QCOMPARE(tail, (QStringList{"SetOnScriptCreated(none)", "SetOnProgress(none)", "BreakScriptCreation"}));
}

void TestSeveralTablesWizard::executeReadsKeysFirst()
{
    TSeveralTablesScriptCreationDialog dialog;
    QVERIFY_THROWS_EXCEPTION(ETablesNotAssignedException, dialog.Execute());
    TTableList tables;
    dialog.SetTables(&tables);
    QVERIFY_THROWS_EXCEPTION(EWizzardControllerNotAssignedException, dialog.Execute());
    auto controller = std::make_shared<FakeSeveralTablesController>();
    dialog.SetWizzardController(controller);
    whenModal<TSeveralTablesCreationWizard>([](TSeveralTablesCreationWizard *form) { form->reject(); });
    QVERIFY(!dialog.Execute());
    ++pollEpoch;
    QCOMPARE(controller->Calls.value(0), QStringLiteral("GetForeignKeys"));
}

QTEST_MAIN(TestSeveralTablesWizard)
#include "tst_severaltableswizard.moc"
