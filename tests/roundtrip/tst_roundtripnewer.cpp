// The types of SQL Server 2005 to 2022 carried by data scripts against the
// test server playing SQL Server 2019: date and time to the 100 ns with
// their offsets, max values of several megabytes, xml with non-Latin text,
// the CLR types' bytes, NULLs. Each script is made both as the table wizard
// makes it and by quorvane-script, run against a drifted copy, and the copy
// compared value by value with the source.

#include "RoundTripModel.h"
#include "SqlNames.h"
#include "TestServer.h"
#include "WorkbenchGeneration.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString table = QStringLiteral("RtNewer");

// The columns and how each is read back for the comparison: the date and
// time types as the server's own text, xml as text, the CLR types as their
// bytes (the test reads them itself, not through the code under test).
struct TNewerColumn
{
    const char *name;
    const char *type;
    const char *readAs; // empty: as it is
};

const TNewerColumn newerColumns[] = {
    {"Id", "int NOT NULL PRIMARY KEY", ""},
    {"D", "date NULL", "nvarchar(40)"},
    {"T7", "time(7) NULL", "nvarchar(40)"},
    {"T0", "time(0) NULL", "nvarchar(40)"},
    {"D2", "datetime2(7) NULL", "nvarchar(40)"},
    {"D23", "datetime2(3) NULL", "nvarchar(40)"},
    {"O", "datetimeoffset(7) NULL", "nvarchar(40)"},
    {"O0", "datetimeoffset(0) NULL", "nvarchar(40)"},
    {"VM", "varchar(max) NULL", ""},
    {"NM", "nvarchar(max) NULL", ""},
    {"BM", "varbinary(max) NULL", ""},
    {"X", "xml NULL", "nvarchar(max)"},
    {"H", "hierarchyid NULL", "varbinary(max)"},
    {"G", "geography NULL", "varbinary(max)"},
    {"GM", "geometry NULL", "varbinary(max)"},
    {"S", "int SPARSE NULL", ""},
};

QString createSql(const QString &name)
{
    QStringList columns;
    for (const TNewerColumn &c : newerColumns)
        columns << QStringLiteral("%1 %2").arg(QLatin1String(c.name), QLatin1String(c.type));
    // Left out by the script: the row version and the computed column.
    columns << QStringLiteral("RV rowversion") << QStringLiteral("C AS (Id * 2)");
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(QuoteName(name), columns.join(QStringLiteral(", ")));
}

QString allBytesHex()
{
    QString hex = QStringLiteral("0x");
    for (int i = 0; i < 256; ++i)
        hex += QStringLiteral("%1").arg(i, 2, 16, QChar(u'0')).toUpper();
    return hex;
}

// The source's rows. Row 2 holds values of several megabytes: 3,000,000
// characters of varchar(max), 2,100,000 of nvarchar(max) beyond Latin,
// 2,000,000 bytes of varbinary(max).
QStringList rowStatements(const QString &name)
{
    const QString insert = QStringLiteral("INSERT INTO %1(Id, D, T7, T0, D2, D23, O, O0, VM, NM, BM, X, H, G, GM, S) VALUES(")
                               .arg(QuoteName(name));
    return {
        insert + QStringLiteral("1, '2024-02-29', '23:59:59.9999999', '00:00:01', '9999-12-31T23:59:59.9999999', "
                                "'2001-02-03T04:05:06.789', '2024-02-29T13:45:07.1234567+14:00', '0001-01-01T00:00:00-12:30', "
                                "'short', N'Ёж 語 ''quoted''', %1, "
                                "N'<root a=\"1\"><т>Съешь ещё этих булок 你好</т><e/></root>', "
                                "0x5AC0, 0xE6100000010C000000000000F03F0000000000000040, 0x0000000001040300000000, 7)")
                     .arg(allBytesHex()),
        insert + QStringLiteral("2, '0001-01-01', '00:00:00.0000001', '12:00:00', '0001-01-01T00:00:00.0000001', "
                                "'2000-01-01T00:00:00', '2000-06-15T08:30:00.5000000-05:00', '2000-06-15T13:30:00Z', "
                                "REPLICATE(CAST('abc' AS varchar(max)), 1000000), "
                                "REPLICATE(CAST(N'Ёж語' AS nvarchar(max)), 700000), "
                                "CAST(REPLICATE(CAST('0123456789' AS varchar(max)), 200000) AS varbinary(max)), "
                                "N'<a>日本語</a>', 0x, 0xE610000001140000000000000000, 0x00, NULL)"),
        insert + QStringLiteral("3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)"),
        insert + QStringLiteral("4, '1999-12-31', '10:11:12.1000000', '23:59:59', '2020-02-02T02:02:02.0200000', "
                                "'2020-02-02T02:02:02.002', '2020-02-02T02:02:02.0000002+05:45', '2020-02-02T02:02:02+00:00', "
                                "'', N'', 0x, N'<x/>', 0x58, NULL, NULL, NULL)"),
    };
}

// What the target holds before the script: row 1 gone, row 2 and 4 changed
// (row 4's datetimeoffset to the same instant at another offset, which the
// server's = takes for the same value), an extra row 5.
QStringList driftStatements(const QString &name)
{
    const QString n = QuoteName(name);
    return {QStringLiteral("DELETE FROM %1 WHERE Id = 1").arg(n),
            QStringLiteral("UPDATE %1 SET VM = 'changed', NM = NULL, O = '2000-06-15T13:30:00.5000000+00:00', "
                           "T7 = '00:00:00', D2 = '0001-01-01T00:00:00.0000002', H = 0x58 WHERE Id = 2")
                .arg(n),
            QStringLiteral("UPDATE %1 SET X = N'<y/>', G = NULL, O = '2020-02-01T20:17:02.0000002+00:00' WHERE Id = 4")
                .arg(n),
            QStringLiteral("INSERT INTO %1(Id, D, O, X, H) VALUES(5, '2030-01-01', '2030-01-01T00:00:00+03:00', "
                           "N'<лишняя/>', 0x5AC0)")
                .arg(n)};
}

QString selectSql(const QString &name)
{
    QStringList items;
    for (const TNewerColumn &c : newerColumns) {
        const QString field = QuoteName(QLatin1String(c.name));
        items << (*c.readAs ? QStringLiteral("CAST(%1 AS %2)").arg(field, QLatin1String(c.readAs)) : field);
    }
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY Id").arg(items.join(QStringLiteral(", ")), QuoteName(name));
}

QList<TColumnFact> facts()
{
    QList<TColumnFact> out;
    for (const TNewerColumn &c : newerColumns) {
        TColumnFact fact;
        fact.Name = QLatin1String(c.name);
        fact.IsPrimaryKey = fact.Name == QLatin1String("Id");
        out << fact;
    }
    return out;
}

} // namespace

class TestRoundTripNewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void throughTheWizard_data();
    void throughTheWizard();
    void throughTheCommandLine();

private:
    void rebuildTarget();
    // Runs the script batch by batch on the target and compares the target
    // with what the script promises.
    void runAndCompare(const QStringList &Lines, bool DeleteTable, const QStringList &Used = {});

    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<TWorkbenchSession> m_source;
    std::unique_ptr<TWorkbenchSession> m_target;
    QTemporaryDir m_dir;
};

void TestRoundTripNewer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("APPDATA", m_dir.path().toUtf8());
    m_server = std::make_unique<TestServer>(QStringList{QStringLiteral("--version"), QStringLiteral("2019")});
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
    const QString login = QLatin1String(TestServer::login), password = QLatin1String(TestServer::password);
    try {
        TWorkbenchSession master(m_server->dataSource(), login, password, QStringLiteral("master"));
        QCOMPARE(master.Execute(QStringLiteral("CREATE DATABASE RtSource")), QString());
        QCOMPARE(master.Execute(QStringLiteral("CREATE DATABASE RtTarget")), QString());
        m_source = std::make_unique<TWorkbenchSession>(m_server->dataSource(), login, password, QStringLiteral("RtSource"));
        m_target = std::make_unique<TWorkbenchSession>(m_server->dataSource(), login, password, QStringLiteral("RtTarget"));
    } catch (const EQuorvaneException &error) {
        QFAIL(qPrintable(QStringLiteral("the test server answers no query: ") + error.Message()));
    }
    QCOMPARE(m_source->Execute(createSql(table)), QString());
    for (const QString &statement : rowStatements(table))
        QCOMPARE(m_source->Execute(statement), QString());
    // The values are what they are meant to be.
    const QList<QStringList> rows = m_source->Query(selectSql(table));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(1).at(8).size(), 3000000);
    QCOMPARE(rows.at(1).at(9).size(), 2100000);
    QCOMPARE(rows.at(1).at(10).size(), 4000000); // hex digits of 2,000,000 bytes
    QCOMPARE(rows.at(0).at(2), QStringLiteral("23:59:59.9999999"));
    QCOMPARE(rows.at(0).at(6), QStringLiteral("2024-02-29 13:45:07.1234567 +14:00"));
}

void TestRoundTripNewer::cleanupTestCase()
{
    m_source.reset();
    m_target.reset();
    m_server.reset();
}

void TestRoundTripNewer::rebuildTarget()
{
    (void)m_target->Execute(QStringLiteral("DROP TABLE %1").arg(QuoteName(table)));
    QCOMPARE(m_target->Execute(createSql(table)), QString());
    for (const QString &statement : rowStatements(table) + driftStatements(table))
        QCOMPARE(m_target->Execute(statement), QString());
}

void TestRoundTripNewer::runAndCompare(const QStringList &Lines, bool DeleteTable, const QStringList &Used)
{
    const TMergeModel model(facts(), {Used, {}, DeleteTable});
    const QList<TRowText> source = m_source->Query(selectSql(table));
    const QList<TRowText> before = m_target->Query(selectSql(table));
    QStringList batches{QString()};
    for (const QString &item : Lines) {
        if (item == QLatin1String("GO"))
            batches << QString();
        else
            batches.last() += item + QStringLiteral("\r\n");
    }
    QStringList errors;
    for (const QString &batch : batches)
        for (const TScriptMessage &message : m_target->Facade().ExecuteScriptText(batch, 100).Messages)
            if (message.IsError)
                errors << QStringLiteral("%1 (line %2): %3").arg(message.Number).arg(message.Line).arg(message.Text);
    QVERIFY2(errors.isEmpty(), qPrintable(QStringLiteral("the server refused the script:\n  ") + errors.join(QStringLiteral("\n  "))));
    const QList<TRowText> after = m_target->Query(selectSql(table));
    const QString difference = model.Compare(model.Expected(before, source), after);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    // The row the source lacks stays unless the rows were deleted first.
    QCOMPARE(after.size(), DeleteTable ? 4 : 5);
}

void TestRoundTripNewer::throughTheWizard_data()
{
    QTest::addColumn<bool>("deleteTable");
    QTest::addColumn<qint64>("batchRows");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<bool>("onlyChanged");
    const QStringList all;
    // Every column the server can compare: the UPDATE goes by what differs.
    const QStringList comparable{"Id", "D", "T7", "T0", "D2", "D23", "O", "O0", "VM", "NM", "BM", "H", "S"};
    QTest::newRow("primary key") << false << BatchRowsAutomatic << all << false;
    QTest::newRow("delete") << true << BatchRowsAutomatic << all << false;
    QTest::newRow("primary key, batched by 1") << false << qint64(1) << all << false;
    QTest::newRow("delete, one batch") << true << qint64(0) << all << false;
    QTest::newRow("only changed rows") << false << BatchRowsAutomatic << comparable << true;
}

void TestRoundTripNewer::throughTheWizard()
{
    QFETCH(bool, deleteTable);
    QFETCH(qint64, batchRows);
    QFETCH(QStringList, columns);
    QFETCH(bool, onlyChanged);
    rebuildTarget();
    if (QTest::currentTestFailed())
        return;
    QStringList lines;
    QString error;
    TWorkbenchOptions options;
    options.OnlyChanged = onlyChanged;
    QVERIFY2(m_source->Generate({table, columns, {}, {}, deleteTable, batchRows}, lines, error, options), qPrintable(error));
    const QString text = lines.join(QStringLiteral("\r\n"));
    if (!columns.isEmpty()) {
        QVERIFY(text.contains(QStringLiteral("--Обновляются только строки, в которых отличается")));
        runAndCompare(lines, deleteTable, columns);
        return;
    }
    // Declared with their own types and scales; the CLR types as bytes.
    QVERIFY2(text.contains(QStringLiteral("D1 date, T71 time(7), T01 time(0), D21 datetime2(7), D231 datetime2(3), "
                                          "O1 datetimeoffset(7), O01 datetimeoffset(0), VM1 varchar(max)")),
             qPrintable(text.left(2000)));
    QVERIFY(text.contains(QStringLiteral("X1 xml, H1 varbinary(max), G1 varbinary(max), GM1 varbinary(max), S1 int")));
    QVERIFY(text.contains(QStringLiteral("'2024-02-29T13:45:07.1234567+14:00'")));
    QVERIFY(text.contains(QStringLiteral("--Not carried, the server takes no values for them (timestamp or computed): RV, C--")));
    runAndCompare(lines, deleteTable);
}

void TestRoundTripNewer::throughTheCommandLine()
{
    const QString binary = qEnvironmentVariable("QUORVANE_SCRIPT");
    QVERIFY2(QFileInfo::exists(binary), "QUORVANE_SCRIPT names no program");
    rebuildTarget();
    const QString output = m_dir.filePath(QStringLiteral("newer.sql"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVANE_PASSWORD"), QLatin1String(TestServer::password));
    process.setProcessEnvironment(env);
    process.start(binary, {QStringLiteral("--server"), m_server->dataSource(), QStringLiteral("--login"),
                           QLatin1String(TestServer::login), QStringLiteral("--database"), QStringLiteral("RtSource"),
                           QStringLiteral("--table"), table, QStringLiteral("--delete"), QStringLiteral("--output"), output});
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(300000));
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0, process.readAllStandardError().constData());
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray cli = file.readAll();
    // The same script as the wizard's.
    QStringList lines;
    QString error;
    QVERIFY2(m_source->Generate({table, {}, {}, {}, true, BatchRowsAutomatic}, lines, error), qPrintable(error));
    QVERIFY(MaskCreationTime(cli) == MaskCreationTime(ScriptFileBytes(lines)));
    // Run as saved: the items are its CR LF lines, the GO lines its batches.
    QStringList items = QString::fromUtf8(cli).split(QStringLiteral("\r\n"));
    runAndCompare(items, true);
}

QTEST_GUILESS_MAIN(TestRoundTripNewer)
#include "tst_roundtripnewer.moc"
