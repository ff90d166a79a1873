// A row filter and "only changed rows" proven on the strict test server:
// scripts made through the data layer with a condition on the rows (with
// and without delete) or with the UPDATE kept to rows that differ, run
// against drifted copies, the copies checked value by value, and the
// UPDATE's rows-changed count read back.

#include "ChangedRowsSplit.h"
#include "RoundTripFixtures.h"
#include "RoundTripModel.h"
#include "SqlNames.h"
#include "TestServer.h"
#include "WorkbenchGeneration.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// Every kind of drift the comparison must see, and rows it must leave alone.
// The database's default collation is case-insensitive, so 'apple' = 'Apple'
// and 'pear' = 'pear ' to the server (and 0x01 = 0x0100 to SQL Server).
const TRoundTripTable &driftTable()
{
    static const TRoundTripTable table{
        QStringLiteral("RfGoods"),
        QStringLiteral("CREATE TABLE %1 (Id int NOT NULL PRIMARY KEY, Name varchar(30) NULL, "
                       "NName nvarchar(30) NULL, Qty int NULL, Price decimal(10,2) NULL, Bin varbinary(10) NULL, "
                       "Fixed char(6) NULL, Made datetime NULL, Ratio float NULL)"),
        {
            QStringLiteral("INSERT INTO %1 VALUES(1, 'plum', N'слива', 5, 1.50, 0x01, 'ab', '20040301 10:00:00.003', 0.1)"),
            QStringLiteral("INSERT INTO %1 VALUES(2, 'Apple', N'Яблоко', 12, 2.00, 0x02, 'cd', '20040302 11:00', 1e-300)"),
            QStringLiteral("INSERT INTO %1 VALUES(3, 'cherry', N'вишня', 20, NULL, NULL, NULL, NULL, NULL)"),
            QStringLiteral("INSERT INTO %1 VALUES(4, 'date', NULL, 30, NULL, 0x04, 'ef', '20040304', 3)"),
            QStringLiteral("INSERT INTO %1 VALUES(5, 'pear ', N'груша', 40, 5.25, 0x05, 'gh', '20040305', 4)"),
            QStringLiteral("INSERT INTO %1 VALUES(6, 'fig', N'инжир', 50, 6.00, 0x06, 'ij', '20040306', 5)"),
            QStringLiteral("INSERT INTO %1 VALUES(7, 'kiwi', N'киви', 60, 7.00, 0x0100, 'kl', '20040307', 6)"),
            QStringLiteral("INSERT INTO %1 VALUES(8, 'lime', N'лайм', 70, 8.00, 0x08, 'mn', '20040308', 7)"),
        },
        {},
        {
            QStringLiteral("UPDATE %1 SET Name = 'apple' WHERE Id = 2"),          // case only
            QStringLiteral("UPDATE %1 SET Price = 3.00 WHERE Id = 3"),            // value where NULL was
            QStringLiteral("UPDATE %1 SET Qty = NULL WHERE Id = 4"),              // NULL where a value was
            QStringLiteral("UPDATE %1 SET Name = 'pear' WHERE Id = 5"),           // trailing blank only
            QStringLiteral("DELETE FROM %1 WHERE Id = 6"),                        // missing
            QStringLiteral("UPDATE %1 SET Bin = 0x01 WHERE Id = 7"),              // trailing zero byte only
            QStringLiteral("UPDATE %1 SET NName = N'ЛАЙМ' WHERE Id = 8"),         // national case only
            QStringLiteral("INSERT INTO %1 VALUES(9, 'extra', NULL, 15, NULL, NULL, NULL, NULL, NULL)"),
            QStringLiteral("INSERT INTO %1 VALUES(10, 'extra', NULL, 80, NULL, NULL, NULL, NULL, NULL)"),
        },
        {}};
    return table;
}

// Rows 2, 3, 4, 5, 7 and 8 differ from the source and exist in the target.
constexpr int driftedRows = 6;

// The text the workbench sends for a script's lines.
QString ScriptText(const QStringList &Lines)
{
    QString text;
    for (const QString &line : Lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

} // namespace

class TestRoundTripFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void filter_data();
    void filter();
    void onlyChangedDrift();
    void onlyChangedEveryFixture_data();
    void onlyChangedEveryFixture();

private:
    void build(TWorkbenchSession &Session, const TRoundTripTable &Table, const QStringList &Extra);
    // Runs the script on the target; the statements' counts, or a failure.
    QList<qint64> run(const QStringList &Lines);

    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<TWorkbenchSession> m_source;
    std::unique_ptr<TWorkbenchSession> m_target;
    QTemporaryDir m_settings;
};

void TestRoundTripFilter::initTestCase()
{
    QVERIFY(m_settings.isValid());
    qputenv("APPDATA", m_settings.path().toUtf8());
    m_server = std::make_unique<TestServer>();
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
    const QString login = QLatin1String(TestServer::login), password = QLatin1String(TestServer::password);
    try {
        TWorkbenchSession master(m_server->dataSource(), login, password, QStringLiteral("master"));
        for (const char *sql : {"CREATE DATABASE RfSource", "CREATE DATABASE RfTarget"})
            QCOMPARE(master.Execute(QLatin1String(sql)), QString());
        m_source = std::make_unique<TWorkbenchSession>(m_server->dataSource(), login, password, QStringLiteral("RfSource"));
        m_target = std::make_unique<TWorkbenchSession>(m_server->dataSource(), login, password, QStringLiteral("RfTarget"));
        // What the drift relies on: the server itself calls these equal.
        QCOMPARE(m_target->Execute(QStringLiteral("CREATE TABLE RfEqual (A varchar(10) NULL, B nvarchar(10) NULL)")),
                 QString());
        QCOMPARE(m_target->Execute(QStringLiteral("INSERT INTO RfEqual VALUES('apple', N'лайм')")), QString());
        const QList<QStringList> equal = m_target->Query(
            QStringLiteral("SELECT COUNT(*) FROM RfEqual WHERE A = 'Apple' AND A = 'apple ' AND B = N'ЛАЙМ'"));
        QCOMPARE(equal, QList<QStringList>{{QStringLiteral("1")}});
    } catch (const std::exception &error) {
        QFAIL(qPrintable(QStringLiteral("the test server answers no query: ") + QString::fromUtf8(error.what())));
    }
    build(*m_source, driftTable(), {});
    for (const TRoundTripTable &table : RoundTripTables())
        build(*m_source, table, table.SourceOnly);
}

void TestRoundTripFilter::cleanupTestCase()
{
    m_source.reset();
    m_target.reset();
    m_server.reset();
}

void TestRoundTripFilter::build(TWorkbenchSession &Session, const TRoundTripTable &Table, const QStringList &Extra)
{
    (void)Session.Execute(QStringLiteral("DROP TABLE %1").arg(QuoteName(Table.Name)));
    for (const QString &statement : BuildStatements(Table, QuoteName(Table.Name), Extra)) {
        const QString error = Session.Execute(statement);
        QVERIFY2(error.isEmpty(), qPrintable(QStringLiteral("%1: %2\n  in: %3").arg(Table.Name, error, statement)));
    }
}

QList<qint64> TestRoundTripFilter::run(const QStringList &Lines)
{
    TScript script;
    script.Lines = Lines;
    const std::unique_ptr<TScriptCommand> command = m_target->Facade().MakeScriptCommand(&script);
    const TScriptResult result = command->Execute();
    if (result.HasErrors()) {
        QTest::qFail(qPrintable(QStringLiteral("the server refused the script: ") + result.FirstError()), __FILE__,
                     __LINE__);
        return {};
    }
    return result.StatementCounts;
}

void TestRoundTripFilter::filter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("deleteTable");

    // Rows 9 (Qty 15) and 10 (Qty 80) exist only in the target: with delete,
    // the one the condition takes goes, the other stays.
    const QString qty = QStringLiteral("Qty BETWEEN 10 AND 45");
    QTest::newRow("filter") << qty << false;
    QTest::newRow("filter, delete") << qty << true;
    // A condition on a drifted column: the target's row 2 meets it and the
    // source's does not (and the other way round for row 8).
    const QString name = QStringLiteral("NName LIKE N'[яЯ]%' OR NName = N'лайм' -- case matters here");
    QTest::newRow("condition on drifted values, delete") << name << true;
    QTest::newRow("nothing meets it, delete") << QStringLiteral("1 = 0") << true;
}

void TestRoundTripFilter::filter()
{
    QFETCH(QString, filter);
    QFETCH(bool, deleteTable);
    const TRoundTripTable &table = driftTable();
    build(*m_target, table, table.Drift);
    if (QTest::currentTestFailed())
        return;
    const QList<TColumnFact> facts = m_source->Columns(table.Name);
    const QString all = SelectRowsSql(table.Name, facts);
    const QString filtered = all + QStringLiteral(" WHERE (%1\r\n)").arg(filter);
    const QList<TRowText> source = m_source->Query(filtered);
    const QList<TRowText> before = m_target->Query(all);
    // Deleting only what meets the condition, then merging without delete.
    QList<TRowText> kept = before;
    if (deleteTable)
        for (const TRowText &row : m_target->Query(filtered))
            kept.removeOne(row);
    const TMergeModel model(facts, {{}, {}, false});
    const QList<TRowText> expected = model.Expected(kept, source);

    QStringList lines;
    QString error;
    QVERIFY2(m_source->Generate({table.Name, {}, {}, {}, deleteTable}, lines, error, {filter, false}),
             qPrintable(error));
    (void)run(lines);
    if (QTest::currentTestFailed())
        return;
    const QList<TRowText> after = m_target->Query(all);
    const QString difference = model.Compare(expected, after);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QVERIFY(after.size() >= 2);
}

void TestRoundTripFilter::onlyChangedDrift()
{
    const TRoundTripTable &table = driftTable();
    build(*m_target, table, table.Drift);
    if (QTest::currentTestFailed())
        return;
    const QList<TColumnFact> facts = m_source->Columns(table.Name);
    const QString all = SelectRowsSql(table.Name, facts);
    const QList<TRowText> source = m_source->Query(all);
    const TMergeModel model(facts, {{}, {}, false});
    const QList<TRowText> expected = model.Expected(m_target->Query(all), source);

    QStringList lines;
    QString error;
    QVERIFY2(m_source->Generate({table.Name, {}, {}, {}, false}, lines, error, {{}, true}), qPrintable(error));
    // The table variable's rows, then the UPDATE, then the INSERT.
    const qsizetype n = source.size();
    for (int pass = 1; pass <= 2; ++pass) {
        const QList<qint64> counts = run(lines);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(counts.size(), n + 2);
        QCOMPARE(counts.mid(0, n), QList<qint64>(n, 1));
        // Every drifted row is updated once; then there is nothing to do.
        QCOMPARE(counts.at(n), qint64(pass == 1 ? driftedRows : 0));
        QCOMPARE(counts.at(n + 1), qint64(pass == 1 ? 1 : 0));
        // The workbench's log: the rows of the table apart from the table
        // variable's; none at all in the table the second time.
        const TChangedRowsSplit split = SplitChangedRows(ScriptText(lines), counts, true);
        QVERIFY(split.Known);
        QCOMPARE(split.Temporary, qint64(n));
        QCOMPARE(split.Tables, qint64(pass == 1 ? driftedRows + 1 : 0));
        const QString difference = model.Compare(expected, m_target->Query(all));
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("pass %1: ").arg(pass) + difference));
    }
    // Byte for byte: the case, the blank and the zero byte came over.
    QCOMPARE(m_target->Query(QStringLiteral("SELECT CAST(Name AS varbinary(30)), DATALENGTH(Name), Bin, NName "
                                            "FROM RfGoods WHERE Id IN (2, 5, 7, 8) ORDER BY Id")),
             m_source->Query(QStringLiteral("SELECT CAST(Name AS varbinary(30)), DATALENGTH(Name), Bin, NName "
                                            "FROM RfGoods WHERE Id IN (2, 5, 7, 8) ORDER BY Id")));
}

void TestRoundTripFilter::onlyChangedEveryFixture_data()
{
    QTest::addColumn<QString>("table");
    for (const TRoundTripTable &table : RoundTripTables())
        QTest::newRow(qPrintable(table.Name)) << table.Name;
}

// Every type the round trip knows, under the comparison: the server takes
// it, the result is the plain script's, and a second run updates nothing
// (or, where a column cannot be compared, every matched row, as the script
// says).
void TestRoundTripFilter::onlyChangedEveryFixture()
{
    QFETCH(QString, table);
    const TRoundTripTable &fixture = RoundTripTable(table);
    build(*m_target, fixture, fixture.Drift);
    if (QTest::currentTestFailed())
        return;
    QList<TColumnFact> facts;
    for (const TColumnFact &column : m_source->Columns(table))
        if (!column.IsTimestamp)
            facts << column;
    const QString all = SelectRowsSql(table, facts);
    const QList<TRowText> source = m_source->Query(all);
    const TMergeModel model(facts, {{}, {}, false});
    const QList<TRowText> expected = model.Expected(m_target->Query(all), source);

    QStringList lines;
    QString error;
    QVERIFY2(m_source->Generate({table, {}, {}, {}, false}, lines, error, {{}, true}), qPrintable(error));
    const bool keyed = std::any_of(lines.begin(), lines.end(), [](const QString &l) { return l.startsWith(u"UPDATE "); });
    const bool commented = lines.contains(QStringLiteral("--Выражение SET пустое, поэтому блок UPDATE закомментирован.--"));
    const bool always = std::any_of(lines.begin(), lines.end(),
                                    [](const QString &l) { return l.contains(QStringLiteral("нельзя сравнить точно")); });
    for (int pass = 1; pass <= 2; ++pass) {
        const QList<qint64> counts = run(lines);
        if (QTest::currentTestFailed())
            return;
        const QString difference = model.Compare(expected, m_target->Query(all));
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("pass %1: ").arg(pass) + difference));
        // Every data script lets the log tell the table variable's rows
        // from the table's.
        const TChangedRowsSplit split = SplitChangedRows(ScriptText(lines), counts, true);
        QVERIFY2(split.Known, qPrintable(QStringLiteral("pass %1: no split of the counts").arg(pass)));
        QCOMPARE(split.Temporary, qint64(source.size()));
        if (pass == 1 || !keyed || commented)
            continue;
        // After the table variable's rows: the UPDATE's count.
        const qsizetype n = source.size();
        QVERIFY2(counts.size() > n, qPrintable(QStringLiteral("%1 counts").arg(counts.size())));
        QCOMPARE(counts.mid(0, n), QList<qint64>(n, 1));
        QCOMPARE(counts.at(n), always ? qint64(n) : qint64(0));
    }
}

QTEST_GUILESS_MAIN(TestRoundTripFilter)
#include "tst_roundtripfilter.moc"
