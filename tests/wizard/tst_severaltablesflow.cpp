// The several-tables command end to end against the demo server: the
// wizard over Customers, Orders and OrderItems (foreign keys between them
// enforced by the server), the generation on its worker, the placement in
// a tab or a file, and the script run on the server; a ring of tables made
// for the test gets its constraints switched off and on.

#include "Controller.h"
#include "DataFacade.h"
#include "Domain.h"
#include "Model.h"
#include "MultiTableScript.h"
#include "RowSet.h"
#include "ScriptBuilder.h"
#include "ScriptManager.h"
#include "SeveralTablesWizard.h"
#include "ShopServerFixture.h"
#include "TableScriptRoutine.h"
#include "WherePutScriptDialogForm.h"
#include "WizardFlowHelpers.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QString joined(const QStringList &lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

struct SeveralChoices
{
    QStringList tables;
    bool deleteRows = false;
    bool disableConstraints = false;
};

} // namespace

class TestSeveralTablesFlow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void scriptIntoTabRuns_data();
    void scriptIntoTabRuns();
    void scriptToFile();
    void ringWithConstraintsSwitchedOff();

private:
    // Runs the command; Choices drive the wizard, Placement answers the
    // placement dialog. The order the wizard showed goes to ShownOrder.
    void runCommand(const SeveralChoices &choices, const char *placement, QStringList *shownOrder = nullptr);
    // The script the generator writes for the model's tables of that name,
    // as the wizard marked them, with the same options.
    QString generatorText(const QStringList &tables, bool deleteRows, bool disableConstraints);

    ShopServer m_shop;
};

void TestSeveralTablesFlow::initTestCase()
{
    m_shop.Connect();
}

void TestSeveralTablesFlow::init()
{
    ShopServer::CloseScripts();
    TableScriptFileNameHook() = nullptr;
}

void TestSeveralTablesFlow::cleanupTestCase()
{
    ShopServer::Release();
}

void TestSeveralTablesFlow::runCommand(const SeveralChoices &choices, const char *placement, QStringList *shownOrder)
{
    bool placed = false;
    whenModal<TSeveralTablesCreationWizard>([&](TSeveralTablesCreationWizard *w) {
        auto *list = child<QListWidget>(w, "TablesCheckListBox");
        for (const QString &name : choices.tables) {
            const QList<QListWidgetItem *> found = list->findItems(name, Qt::MatchExactly);
            QVERIFY2(!found.isEmpty(), qPrintable(name));
            found.first()->setCheckState(Qt::Checked);
        }
        child<QCheckBox>(w, "DisableConstraintsCheckBox")->setChecked(choices.disableConstraints);
        if (shownOrder) {
            auto *order = child<QListWidget>(w, "OrderListBox");
            for (int i = 0; i < order->count(); ++i)
                *shownOrder << order->item(i)->text();
        }
        auto *next = child<QPushButton>(w, "NextButton");
        next->click();
        next->click();
        child<QCheckBox>(w, "DeleteTablesCheckBox")->setChecked(choices.deleteRows);
        whenModal<TWherePutScriptDialogForm>([&](TWherePutScriptDialogForm *d) {
            placed = true;
            child<QPushButton>(d, placement)->click();
        });
        next->click();
    });
    CreateSeveralTablesScript();
    ++pollEpoch;
    QVERIFY2(placed, "the placement dialog did not come");
}

QString TestSeveralTablesFlow::generatorText(const QStringList &tables, bool deleteRows, bool disableConstraints)
{
    TTableList *list = ScriptCreatorModel()->Tables();
    auto settings = std::make_shared<TParseSettings>();
    settings->SetDeleteTable(deleteRows);
    std::vector<TTableScriptJob> jobs;
    for (int i = 0; list && i < list->Count(); ++i) {
        const TTable *table = list->Items(i);
        if (!tables.contains(table->Name))
            continue;
        TTableScriptJob job;
        job.Table = table;
        job.Settings = settings;
        job.OpenRows = [table] { return DataAccessFacade()->OpenTableRows(table); };
        jobs.push_back(std::move(job));
    }
    TMultiTableOptions options;
    options.ForeignKeys = DataAccessFacade()->GetForeignKeys();
    options.DisableConstraintsForCycles = disableConstraints;
    QStringList lines;
    TScriptLinesCollector sink(lines);
    TScriptBuildControl control;
    control.Now = QDateTime::currentDateTime();
    const TGenerationResult result = BuildMultiTableScript(jobs, options, sink, control);
    if (!result.Complete())
        return QStringLiteral("(no script: %1)").arg(result.Reason);
    return masked(joined(lines));
}

void TestSeveralTablesFlow::scriptIntoTabRuns_data()
{
    QTest::addColumn<bool>("deleteRows");
    QTest::newRow("merge") << false;
    QTest::newRow("rows deleted first") << true;
}

void TestSeveralTablesFlow::scriptIntoTabRuns()
{
    QFETCH(bool, deleteRows);
    const QStringList tables{QStringLiteral("OrderItems"), QStringLiteral("Orders"), QStringLiteral("Customers")};
    QStringList shown;
    runCommand({tables, deleteRows, false}, "InNewButton", &shown);
    QCOMPARE(shown, (QStringList{"1. Customers", "2. Orders", "3. OrderItems"}));
    QCOMPARE(ScriptManager()->Count(), 1);
    const QString text = joined(ScriptManager()->Current()->Lines);
    QCOMPARE(masked(text), generatorText(tables, deleteRows, false));

    // The script runs on the server, whose foreign keys are enforced, and
    // leaves the rows as they were.
    const auto count = [](const QString &table) {
        const TScriptResult result =
            DataAccessFacade()->ExecuteScriptText(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table), 10);
        return result.Rows.isEmpty() ? QString() : result.Rows.first().value(0);
    };
    QStringList before;
    for (const QString &table : tables)
        before << count(table);
    const TScriptResult run = DataAccessFacade()->ExecuteScriptText(text, 100);
    QVERIFY2(!run.HasErrors(), qPrintable(run.FirstError()));
    QStringList after;
    for (const QString &table : tables)
        after << count(table);
    QCOMPARE(after, before);
}

void TestSeveralTablesFlow::scriptToFile()
{
    QTemporaryDir target;
    const QString fileName = target.filePath(QStringLiteral("shop.sql"));
    TableScriptFileNameHook() = [&] { return fileName; };
    const QStringList tables{QStringLiteral("Orders"), QStringLiteral("Customers")};
    runCommand({tables, false, false}, "ToFileButton");
    QCOMPARE(ScriptManager()->Count(), 0);
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(masked(QString::fromUtf8(file.readAll())), generatorText(tables, false, false));
}

void TestSeveralTablesFlow::ringWithConstraintsSwitchedOff()
{
    const TScriptResult made = DataAccessFacade()->ExecuteScriptText(
        QStringLiteral("CREATE TABLE RingA (Id int NOT NULL PRIMARY KEY, BId int NULL)\r\n"
                       "CREATE TABLE RingB (Id int NOT NULL PRIMARY KEY, AId int NULL REFERENCES RingA(Id))\r\n"
                       "ALTER TABLE RingA ADD CONSTRAINT FK_RingA_RingB FOREIGN KEY (BId) REFERENCES RingB(Id)\r\n"
                       "INSERT INTO RingA (Id, BId) VALUES (1, NULL)\r\n"
                       "INSERT INTO RingB (Id, AId) VALUES (1, 1)\r\n"
                       "UPDATE RingA SET BId = 1 WHERE Id = 1"),
        100);
    QVERIFY2(!made.HasErrors(), qPrintable(made.FirstError()));
    const QStringList tables{QStringLiteral("RingA"), QStringLiteral("RingB")};
    runCommand({tables, true, true}, "InNewButton");
    QCOMPARE(ScriptManager()->Count(), 1);
    const QString text = joined(ScriptManager()->Current()->Lines);
    QCOMPARE(masked(text), generatorText(tables, true, true));
    QVERIFY(text.contains(QStringLiteral("NOCHECK CONSTRAINT ALL")));
    QVERIFY(text.contains(QStringLiteral("WITH CHECK CHECK CONSTRAINT ALL")));
    // Deleting and inserting the ring's rows works only with the constraints off.
    const TScriptResult run = DataAccessFacade()->ExecuteScriptText(text, 100);
    QVERIFY2(!run.HasErrors(), qPrintable(run.FirstError()));
    const TScriptResult rows =
        DataAccessFacade()->ExecuteScriptText(QStringLiteral("SELECT COUNT(*) FROM RingA WHERE BId = 1"), 10);
    QCOMPARE(rows.Rows.value(0).value(0), QStringLiteral("1"));
}

QTEST_MAIN(TestSeveralTablesFlow)
#include "tst_severaltablesflow.moc"
