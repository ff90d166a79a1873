// The script of several tables: everything carried before anything changes,
// deletes from children before parents and writes to parents before
// children, rings refused or wrapped in switched-off constraints, and the
// complete / broken off / failed outcome of a single table's script.

#include "MultiTableScript.h"
#include "ScriptFixture.h"

#include <QtTest>

namespace {

struct TFixtureTable
{
    std::unique_ptr<TTable> table;
    QStringList fields;
    QList<QList<QVariant>> rows;
};

// Parent <- Child <- Grand (each references the one before), given to the
// script in an order that fits nothing: Grand, Parent, Child.
struct TFamily
{
    TDataBase dataBase{QStringLiteral("Shop"), 7};
    std::vector<TFixtureTable> tables;
    std::vector<TForeignKey> keys;
    QStringList opened; // the tables whose rows were opened, in that order
    int failAtRow = -1; // of every row set
    QString failTable;

    TFamily()
    {
        add(QStringLiteral("Grand"), {{"Id", XType::Int, 4, false, true, true}, {"ChildId", XType::Int, 4}},
            {{QString("1"), QString("10")}, {QString("2"), QString("10")}, {QString("3"), QString("20")}});
        add(QStringLiteral("Parent"), {{"Id", XType::Int, 4, true, true, true}, {"Name", XType::NVarChar, 40}},
            {{QString("100"), QString("a")}, {QString("200"), QVariant()}});
        add(QStringLiteral("Child"), {{"Id", XType::Int, 4, false, true, true}, {"ParentId", XType::Int, 4}},
            {{QString("10"), QString("100")}, {QString("20"), QString("200")}});
        keys.push_back({QStringLiteral("FK_Child"), QStringLiteral("Child"), QStringLiteral("Parent"), {"ParentId"}, {"Id"}});
        keys.push_back({QStringLiteral("FK_Grand"), QStringLiteral("Grand"), QStringLiteral("Child"), {"ChildId"}, {"Id"}});
    }

    void add(const QString &name, std::initializer_list<TColumnSpec> columns, QList<QList<QVariant>> rows)
    {
        TFixtureTable t{MakeTable(name, columns), {}, std::move(rows)};
        t.table->DataBase = &dataBase;
        for (int i = 0; i < t.table->Columns.Count(); ++i)
            t.fields << t.table->Columns.Items(i)->Name;
        tables.push_back(std::move(t));
    }

    std::vector<TTableScriptJob> jobs(bool deleteTable)
    {
        auto settings = std::make_shared<TParseSettings>();
        settings->SetDeleteTable(deleteTable);
        std::vector<TTableScriptJob> out;
        for (const TFixtureTable &t : tables) {
            const TFixtureTable *source = &t;
            out.push_back({t.table.get(), settings, [this, source]() -> std::unique_ptr<TRowSet> {
                               opened << source->table->Name;
                               auto rows = std::make_unique<TMemoryRowSet>(source->fields, source->rows);
                               if (failTable == source->table->Name)
                                   rows->FailAtRow = failAtRow;
                               return rows;
                           },
                           {}});
        }
        return out;
    }
};

struct TMultiRun
{
    QStringList lines;
    TReports reports;
    TGenerationResult outcome;

    // The index of the first line that starts with Start, from From on; -1 when none.
    [[nodiscard]] qsizetype find(const QString &start, qsizetype from = 0) const
    {
        for (qsizetype i = from; i < lines.size(); ++i)
            if (lines.at(i).startsWith(start))
                return i;
        return -1;
    }
    [[nodiscard]] qsizetype findLast(const QString &start) const
    {
        for (qsizetype i = lines.size() - 1; i >= 0; --i)
            if (lines.at(i).startsWith(start))
                return i;
        return -1;
    }
    // The lines that start with Start, each cut to its first line.
    [[nodiscard]] QStringList starting(const QString &start) const
    {
        QStringList out;
        for (const QString &line : lines)
            if (line.startsWith(start))
                out << line.section(QStringLiteral("\r\n"), 0, 0).trimmed();
        return out;
    }
};

TMultiRun build(const std::vector<TTableScriptJob> &jobs, const TMultiTableOptions &options,
                std::function<bool()> stop = {})
{
    TMultiRun run;
    TScriptLinesCollector sink(run.lines);
    TScriptBuildControl control;
    control.Now = FixedNow();
    control.Progress = [&run](int percent, const QString &text) { run.reports.append({percent, text}); };
    control.StopRequested = std::move(stop);
    run.outcome = BuildMultiTableScript(jobs, options, sink, control);
    return run;
}

} // namespace

class TestMultiTableScript : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void ring_data();
    void ring();
    void endsWithoutScript_data();
    void endsWithoutScript();
    void refusedJobs_data();
    void refusedJobs();
    void namesNeverClash();
};

void TestMultiTableScript::order_data()
{
    QTest::addColumn<bool>("deleteTable");
    QTest::addColumn<qint64>("batchRows");
    QTest::newRow("one batch") << false << qint64(0);
    QTest::newRow("one batch, delete") << true << qint64(0);
    QTest::newRow("batches of 2") << false << qint64(2);
    QTest::newRow("batches of 2, delete") << true << qint64(2);
    QTest::newRow("automatic, small") << true << BatchRowsAutomatic;
}

void TestMultiTableScript::order()
{
    QFETCH(bool, deleteTable);
    QFETCH(qint64, batchRows);
    TFamily family;
    TMultiTableOptions options;
    options.ForeignKeys = family.keys;
    options.BatchRows = batchRows;
    const TMultiRun run = build(family.jobs(deleteTable), options);
    QVERIFY2(run.outcome.Complete(), qPrintable(run.outcome.Reason));
    const bool batched = batchRows > 0;

    // Read and carried parents first.
    QCOMPARE(family.opened, (QStringList{"Parent", "Child", "Grand"}));
    const QString source = batched ? QStringLiteral("INSERT INTO #") : QStringLiteral("INSERT INTO @");
    QCOMPARE(run.starting(source).size(), 7);
    // Nothing touches a table before every row is carried and the changes
    // are inside the transaction.
    const qsizetype lastCarried = run.findLast(source);
    const qsizetype begin = run.find(QStringLiteral("BEGIN TRANSACTION;"));
    const qsizetype commit = run.find(QStringLiteral("COMMIT TRANSACTION;"));
    QVERIFY(lastCarried >= 0 && begin > lastCarried && commit > begin);
    QVERIFY(run.find(QStringLiteral("SET XACT_ABORT ON;")) < begin);
    for (const QString &change : {QStringLiteral("DELETE "), QStringLiteral("UPDATE "), QStringLiteral("SET IDENTITY_INSERT"),
                                  QStringLiteral("INSERT INTO Parent"), QStringLiteral("INSERT INTO Child"),
                                  QStringLiteral("INSERT INTO Grand")}) {
        const qsizetype first = run.find(change), last = run.findLast(change);
        QVERIFY2(first < 0 || (first > begin && last < commit), qPrintable(change));
    }
    // Deletes children first, writes parents first.
    QCOMPARE(run.starting(QStringLiteral("DELETE FROM ")),
             deleteTable ? QStringList({"DELETE FROM Grand;", "DELETE FROM Child;", "DELETE FROM Parent;"}) : QStringList());
    QCOMPARE(run.starting(QStringLiteral("UPDATE ")), (QStringList{"UPDATE Parent", "UPDATE Child", "UPDATE Grand"}));
    QVERIFY(run.findLast(QStringLiteral("DELETE FROM ")) < run.find(QStringLiteral("UPDATE ")));
    // Parent's identity is carried: its writes, and only they, are inside
    // IDENTITY_INSERT.
    QVERIFY(run.find(QStringLiteral("SET IDENTITY_INSERT Parent ON;")) < run.find(QStringLiteral("UPDATE Parent")));
    QVERIFY(run.find(QStringLiteral("SET IDENTITY_INSERT Parent OFF;")) < run.find(QStringLiteral("UPDATE Child")));
    // The changes are one batch: no GO from the count check on.
    const qsizetype check = run.find(QStringLiteral("--Проверка"));
    QVERIFY(check > lastCarried);
    QCOMPARE(run.find(QStringLiteral("GO"), check), qsizetype(-1));
    if (batched) {
        QCOMPARE(run.starting(QStringLiteral("CREATE TABLE #")).size(), 3);
        QCOMPARE(run.starting(QStringLiteral("DROP TABLE #")).size(), 3);
        QVERIFY(run.find(QStringLiteral("DROP TABLE #")) > commit);
        // 7 rows, 2 to a batch, after the batch that creates the tables.
        QCOMPARE(run.starting(QStringLiteral("GO")).size(), 1 + 4);
    } else {
        QCOMPARE(run.starting(QStringLiteral("DECLARE @")).size(), 3);
        QCOMPARE(run.starting(QStringLiteral("GO")).size(), 0);
    }
    // Progress over the whole script, naming the tables.
    QCOMPARE(run.reports.constFirst().first, 0);
    QCOMPARE(run.reports.constLast().first, 100);
    for (qsizetype i = 1; i < run.reports.size(); ++i)
        QVERIFY(run.reports.at(i).first >= run.reports.at(i - 1).first);
    for (const char *table : {"«Parent» (1 из 3)", "«Child» (2 из 3)", "«Grand» (3 из 3)"})
        QVERIFY2(std::any_of(run.reports.begin(), run.reports.end(),
                             [&](const auto &r) { return r.second.contains(QString::fromUtf8(table)); }),
                 table);
}

void TestMultiTableScript::ring_data()
{
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<qint64>("batchRows");
    QTest::newRow("refused") << false << qint64(0);
    QTest::newRow("switched off, one batch") << true << qint64(0);
    QTest::newRow("switched off, batches") << true << qint64(1);
}

// Parent and Child reference each other; Grand hangs off the ring.
void TestMultiTableScript::ring()
{
    QFETCH(bool, allowed);
    QFETCH(qint64, batchRows);
    TFamily family;
    TMultiTableOptions options;
    options.ForeignKeys = family.keys;
    options.ForeignKeys.push_back({QStringLiteral("FK_Back"), QStringLiteral("Parent"), QStringLiteral("Child"), {"Name"}, {"Id"}});
    options.DisableConstraintsForCycles = allowed;
    options.BatchRows = batchRows;
    const std::vector<TTableScriptJob> jobs = family.jobs(true);

    const TMultiTableCheck check = CheckMultiTableJobs(jobs, options);
    QCOMPARE(check.Order.Cycles.size(), std::size_t(1));
    const TMultiRun run = build(jobs, options);
    if (!allowed) {
        QVERIFY(!check.Ok());
        QCOMPARE(run.outcome.Outcome, goFailed);
        QVERIFY2(run.outcome.Reason.contains(QStringLiteral("«Parent»")) && run.outcome.Reason.contains(QStringLiteral("«Child»")),
                 qPrintable(run.outcome.Reason));
        QVERIFY(!run.outcome.Reason.contains(QStringLiteral("«Grand»")));
        QVERIFY(run.lines.isEmpty());
        QVERIFY(family.opened.isEmpty());
        return;
    }
    QVERIFY(check.Ok());
    QVERIFY2(run.outcome.Complete(), qPrintable(run.outcome.Reason));
    const QStringList off = run.starting(QStringLiteral("ALTER TABLE "));
    QCOMPARE(off.size(), 4);
    QVERIFY(!off.join(u' ').contains(QStringLiteral("Grand")));
    const qsizetype begin = run.find(QStringLiteral("BEGIN TRANSACTION;"));
    const qsizetype commit = run.find(QStringLiteral("COMMIT TRANSACTION;"));
    const qsizetype firstOff = run.find(QStringLiteral("ALTER TABLE "));
    const qsizetype lastOff = run.findLast(QStringLiteral("ALTER TABLE ") );
    QVERIFY(firstOff > begin && lastOff < commit);
    QVERIFY(run.lines.at(firstOff).endsWith(QStringLiteral("NOCHECK CONSTRAINT ALL;")));
    QVERIFY(run.lines.at(lastOff).endsWith(QStringLiteral("WITH CHECK CHECK CONSTRAINT ALL;")));
    // Off before the first change, on again after the last.
    QVERIFY(run.findLast(QStringLiteral("ALTER TABLE Child NOCHECK")) < run.find(QStringLiteral("DELETE FROM ")));
    QVERIFY(run.findLast(QStringLiteral("ALTER TABLE Parent NOCHECK")) < run.find(QStringLiteral("DELETE FROM ")));
    QVERIFY(run.find(QStringLiteral("ALTER TABLE Parent WITH CHECK")) > run.findLast(QStringLiteral("INSERT INTO Grand")));
    QVERIFY(run.find(QStringLiteral("ALTER TABLE Child WITH CHECK")) > run.findLast(QStringLiteral("INSERT INTO Grand")));
    // Grand still comes after its parent Child.
    QVERIFY(run.find(QStringLiteral("UPDATE Grand")) > run.find(QStringLiteral("UPDATE Child")));
    QVERIFY(run.find(QStringLiteral("DELETE FROM Grand")) < run.find(QStringLiteral("DELETE FROM Child")));
}

void TestMultiTableScript::endsWithoutScript_data()
{
    QTest::addColumn<int>("stopAfterPolls"); // -1: never
    QTest::addColumn<QString>("failTable");
    QTest::addColumn<int>("failAtRow");
    QTest::addColumn<bool>("openFails");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("reason");

    QTest::newRow("stopped in the first table") << 1 << QString() << -1 << false << int(goBrokenOff) << QString();
    QTest::newRow("stopped in the last table") << 6 << QString() << -1 << false << int(goBrokenOff) << QString();
    QTest::newRow("stopped with the last row") << 7 << QString() << -1 << false << int(goBrokenOff) << QString();
    QTest::newRow("read fails in the middle") << -1 << "Child" << 1 << false << int(goFailed) << "connection lost";
    QTest::newRow("rows cannot be opened") << -1 << QString() << -1 << true << int(goFailed)
                                           << "Не удалось прочитать строки таблицы «Parent»: no such login";
}

void TestMultiTableScript::endsWithoutScript()
{
    QFETCH(int, stopAfterPolls);
    QFETCH(QString, failTable);
    QFETCH(int, failAtRow);
    QFETCH(bool, openFails);
    QFETCH(int, outcome);
    QFETCH(QString, reason);
    TFamily family;
    family.failTable = failTable;
    family.failAtRow = failAtRow;
    std::vector<TTableScriptJob> jobs = family.jobs(true);
    if (openFails)
        for (TTableScriptJob &job : jobs) {
            job.OpenRows = [] { return std::unique_ptr<TRowSet>(); };
            job.OpenError = [] { return QStringLiteral("no such login"); };
        }
    TMultiTableOptions options;
    options.ForeignKeys = family.keys;
    int polls = 0;
    const TMultiRun run = build(jobs, options, [&] { return stopAfterPolls >= 0 && ++polls >= stopAfterPolls; });
    QCOMPARE(int(run.outcome.Outcome), outcome);
    QVERIFY2(run.outcome.Reason.contains(reason), qPrintable(run.outcome.Reason));
    // Whatever was written is a beginning: the changes never came.
    QCOMPARE(run.find(QStringLiteral("BEGIN TRANSACTION;")), qsizetype(-1));
    QVERIFY(run.reports.isEmpty() || run.reports.constLast().first < 100);
}

void TestMultiTableScript::refusedJobs_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("no tables") << 0 << "Не выбрано ни одной таблицы.";
    QTest::newRow("table twice, other case") << 1 << "Таблица «child» выбрана дважды.";
    QTest::newRow("no row source") << 2 << "Для таблицы «Parent» не задан источник строк.";
    QTest::newRow("nothing to carry") << 3 << "Для таблицы «Child» нельзя построить скрипт";
}

void TestMultiTableScript::refusedJobs()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    TFamily family;
    std::vector<TTableScriptJob> jobs = family.jobs(false);
    auto twin = MakeTable(QStringLiteral("child"), {{"Id", XType::Int, 4, false, true, true}});
    switch (kind) {
    case 0:
        jobs.clear();
        break;
    case 1:
        jobs.push_back({twin.get(), nullptr, jobs.front().OpenRows, {}});
        break;
    case 2:
        jobs[1].OpenRows = nullptr;
        break;
    default:
        for (int i = 0; i < family.tables[2].table->Columns.Count(); ++i)
            family.tables[2].table->Columns.Items(i)->IsUsed = false;
        break;
    }
    TMultiTableOptions options;
    options.ForeignKeys = family.keys;
    const TMultiTableCheck check = CheckMultiTableJobs(jobs, options);
    QVERIFY2(check.Problem.startsWith(message), qPrintable(check.Problem));
    const TMultiRun run = build(jobs, options);
    QCOMPARE(run.outcome.Outcome, goFailed);
    QCOMPARE(run.outcome.Reason, check.Problem);
    QVERIFY(run.lines.isEmpty());
    QVERIFY(family.opened.isEmpty());
}

// "A B" and "A-B" make the same table variable and temporary table names.
void TestMultiTableScript::namesNeverClash()
{
    TFamily family;
    family.tables.clear();
    family.add(QStringLiteral("A B"), {{"Id", XType::Int, 4, false, true, true}}, {{QString("1")}});
    family.add(QStringLiteral("A-B"), {{"Id", XType::Int, 4, false, true, true}}, {{QString("2")}});
    for (const qint64 batchRows : {qint64(0), qint64(5)}) {
        TMultiTableOptions options;
        options.BatchRows = batchRows;
        const TMultiRun run = build(family.jobs(false), options);
        QVERIFY2(run.outcome.Complete(), qPrintable(run.outcome.Reason));
        const QStringList made = run.starting(batchRows ? QStringLiteral("CREATE TABLE #") : QStringLiteral("DECLARE @"));
        QCOMPARE(made.size(), 2);
        const QString first = made.at(0).section(u' ', batchRows ? 2 : 1, batchRows ? 2 : 1);
        const QString second = made.at(1).section(u' ', batchRows ? 2 : 1, batchRows ? 2 : 1);
        QVERIFY2(first.compare(second, Qt::CaseInsensitive) != 0, qPrintable(first + u' ' + second));
        // Each table's writes read its own rows.
        QVERIFY(run.lines.join(u'\n').contains(QStringLiteral("FROM %1 AS T").arg(first)));
        QVERIFY(run.lines.join(u'\n').contains(QStringLiteral("FROM %1 AS T").arg(second)));
    }
}

QTEST_GUILESS_MAIN(TestMultiTableScript)
#include "tst_multitablescript.moc"
