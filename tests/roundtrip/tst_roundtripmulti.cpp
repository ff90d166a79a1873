// Scripts of several tables proven on the test server, which enforces
// FOREIGN KEY constraints: a parent, child and grandchild set made through
// the data layer and run against drifted copies (rows missing, changed and
// extra at every level, with and without delete, in one batch and in
// batches), and a ring of two tables, refused without the option and run
// with the constraints switched off and checked again with it.

#include "ChangedRowsSplit.h"
#include "RoundTripModel.h"
#include "TestServer.h"
#include "WorkbenchGeneration.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList familyTables{QStringLiteral("McCustomers"), QStringLiteral("McOrders"), QStringLiteral("McItems")};

// Created children first in the list given to the script: the order is
// the script's to find.
const QStringList scriptOrder{QStringLiteral("McItems"), QStringLiteral("McCustomers"), QStringLiteral("McOrders")};

QStringList familySchema()
{
    return {
        QStringLiteral("CREATE TABLE McCustomers (Id int NOT NULL PRIMARY KEY, Name nvarchar(40) NOT NULL, "
                       "ReferredBy int NULL CONSTRAINT FK_McCustomers_Ref REFERENCES McCustomers(Id))"),
        QStringLiteral("CREATE TABLE McOrders (Id int IDENTITY(1,1) PRIMARY KEY, "
                       "CustomerId int NOT NULL CONSTRAINT FK_McOrders_Customers REFERENCES McCustomers(Id), "
                       "Note varchar(30) NULL)"),
        QStringLiteral("CREATE TABLE McItems (OrderId int NOT NULL CONSTRAINT FK_McItems_Orders REFERENCES McOrders(Id), "
                       "Line int NOT NULL, Qty int NULL, PRIMARY KEY (OrderId, Line))"),
    };
}

QStringList familyRows()
{
    return {
        QStringLiteral("INSERT INTO McCustomers VALUES(1, N'Анна', NULL)"),
        QStringLiteral("INSERT INTO McCustomers VALUES(2, N'Boris', 1)"),
        QStringLiteral("INSERT INTO McCustomers VALUES(3, N'Вера', 2)"),
        QStringLiteral("SET IDENTITY_INSERT McOrders ON"),
        QStringLiteral("INSERT INTO McOrders(Id, CustomerId, Note) VALUES(1, 1, 'first')"),
        QStringLiteral("INSERT INTO McOrders(Id, CustomerId, Note) VALUES(2, 3, 'second')"),
        QStringLiteral("INSERT INTO McOrders(Id, CustomerId, Note) VALUES(3, 3, NULL)"),
        QStringLiteral("SET IDENTITY_INSERT McOrders OFF"),
        QStringLiteral("INSERT INTO McItems VALUES(1, 1, 5)"),
        QStringLiteral("INSERT INTO McItems VALUES(2, 1, 1)"),
        QStringLiteral("INSERT INTO McItems VALUES(2, 2, 7)"),
        QStringLiteral("INSERT INTO McItems VALUES(3, 1, NULL)"),
    };
}

// The target: customer 3 is missing with its orders and their items (they
// must go in parents first), a customer, an order and an item differ, and
// customer 9 exists only here with an order and an item (with delete they
// must go children first).
QStringList familyDrift()
{
    return {
        QStringLiteral("DELETE FROM McItems WHERE OrderId IN (2, 3)"),
        QStringLiteral("DELETE FROM McOrders WHERE CustomerId = 3"),
        QStringLiteral("DELETE FROM McCustomers WHERE Id = 3"),
        QStringLiteral("UPDATE McCustomers SET Name = N'Борис' WHERE Id = 2"),
        QStringLiteral("UPDATE McOrders SET Note = 'changed' WHERE Id = 1"),
        QStringLiteral("UPDATE McItems SET Qty = 50 WHERE OrderId = 1 AND Line = 1"),
        QStringLiteral("INSERT INTO McCustomers VALUES(9, N'Extra', 1)"),
        QStringLiteral("SET IDENTITY_INSERT McOrders ON"),
        QStringLiteral("INSERT INTO McOrders(Id, CustomerId, Note) VALUES(9, 9, 'extra')"),
        QStringLiteral("SET IDENTITY_INSERT McOrders OFF"),
        QStringLiteral("INSERT INTO McItems VALUES(9, 1, 3)"),
    };
}

// Two tables that reference each other.
QStringList ringSchema()
{
    return {
        QStringLiteral("CREATE TABLE McRingA (Id int NOT NULL PRIMARY KEY, BId int NULL, Label varchar(10) NULL)"),
        QStringLiteral("CREATE TABLE McRingB (Id int NOT NULL PRIMARY KEY, AId int NULL)"),
        QStringLiteral("ALTER TABLE McRingA ADD CONSTRAINT FK_McRingA_B FOREIGN KEY (BId) REFERENCES McRingB(Id)"),
        QStringLiteral("ALTER TABLE McRingB ADD CONSTRAINT FK_McRingB_A FOREIGN KEY (AId) REFERENCES McRingA(Id)"),
    };
}

QStringList ringRows()
{
    return {
        QStringLiteral("INSERT INTO McRingA VALUES(1, NULL, 'one')"),
        QStringLiteral("INSERT INTO McRingB VALUES(1, 1)"),
        QStringLiteral("INSERT INTO McRingA VALUES(2, 1, 'two')"),
        QStringLiteral("INSERT INTO McRingB VALUES(2, 2)"),
        QStringLiteral("UPDATE McRingA SET BId = 2 WHERE Id = 1"),
    };
}

// The target holds a row of each table that references the other's row
// the source lacks, and misses the source's rows.
QStringList ringTarget()
{
    return {
        QStringLiteral("INSERT INTO McRingA VALUES(7, NULL, 'seven')"),
        QStringLiteral("INSERT INTO McRingB VALUES(7, 7)"),
        QStringLiteral("UPDATE McRingA SET BId = 7 WHERE Id = 7"),
    };
}

} // namespace

class TestRoundTripMulti : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void orderMatters();
    void family_data();
    void family();
    void ring_data();
    void ring();

private:
    void rebuild(std::unique_ptr<TWorkbenchSession> &Session, const QStringList &Statements);
    // Runs the lines on the target; the server's first error, or empty.
    QString run(const QStringList &Lines);

    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<TWorkbenchSession> m_source;
    std::unique_ptr<TWorkbenchSession> m_target;
    QTemporaryDir m_settings;
    int m_databases = 0;
    // The batches the last run sent, and the counts each reported.
    QStringList m_batches;
    QList<QList<qint64>> m_counts;
};

void TestRoundTripMulti::initTestCase()
{
    QVERIFY(m_settings.isValid());
    qputenv("APPDATA", m_settings.path().toUtf8());
    m_server = std::make_unique<TestServer>();
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
    rebuild(m_source, familySchema() + familyRows() + ringSchema() + ringRows());
    if (QTest::currentTestFailed())
        return;
    // The server enforces the keys: an orphan is refused.
    QVERIFY(m_source->Execute(QStringLiteral("INSERT INTO McItems VALUES(99, 1, 1)")).contains(QStringLiteral("FOREIGN KEY")));
    QVERIFY(m_source->Execute(QStringLiteral("INSERT INTO McRingB VALUES(99, 99)")).contains(QStringLiteral("FOREIGN KEY")));
}

void TestRoundTripMulti::cleanupTestCase()
{
    m_source.reset();
    m_target.reset();
    m_server.reset();
}

// A fresh database (tables that reference each other cannot be dropped)
// made the session's, with the statements run in it.
void TestRoundTripMulti::rebuild(std::unique_ptr<TWorkbenchSession> &Session, const QStringList &Statements)
{
    const QString name = QStringLiteral("McTarget%1").arg(++m_databases);
    const QString login = QLatin1String(TestServer::login), password = QLatin1String(TestServer::password);
    try {
        TWorkbenchSession master(m_server->dataSource(), login, password, QStringLiteral("master"));
        QCOMPARE(master.Execute(QStringLiteral("CREATE DATABASE %1").arg(name)), QString());
        Session = std::make_unique<TWorkbenchSession>(m_server->dataSource(), login, password, name);
    } catch (const std::exception &error) {
        QFAIL(qPrintable(QStringLiteral("no database %1: %2").arg(name, QString::fromUtf8(error.what()))));
    }
    for (const QString &statement : Statements) {
        const QString error = Session->Execute(statement);
        QVERIFY2(error.isEmpty(), qPrintable(QStringLiteral("%1\n  in: %2").arg(error, statement)));
    }
}

QString TestRoundTripMulti::run(const QStringList &Lines)
{
    // Batch by batch, each sent as it stands, as a user's tool sends them;
    // a failed batch does not stop the next, as with sqlcmd.
    QStringList batches{QString()};
    for (const QString &item : Lines) {
        if (item == QLatin1String("GO"))
            batches << QString();
        else
            batches.last() += item + QStringLiteral("\r\n");
    }
    QString first;
    m_batches.clear();
    m_counts.clear();
    for (const QString &batch : batches) {
        if (batch.trimmed().isEmpty())
            continue;
        const TScriptResult result = m_target->Facade().ExecuteScriptText(batch, 100);
        m_batches << batch;
        m_counts << result.StatementCounts;
        if (first.isEmpty())
            first = result.FirstError();
    }
    return first;
}

// What the fixture proves: the grandchild's own script, run before its
// parents', is refused by the server.
void TestRoundTripMulti::orderMatters()
{
    rebuild(m_target, familySchema() + familyRows() + familyDrift());
    if (QTest::currentTestFailed())
        return;
    QStringList lines;
    QString error;
    QVERIFY2(m_source->Generate({QStringLiteral("McItems"), {}, {}, {}, false}, lines, error), qPrintable(error));
    QVERIFY2(run(lines).contains(QStringLiteral("FOREIGN KEY")), "the items of missing orders went in");
}

void TestRoundTripMulti::family_data()
{
    QTest::addColumn<bool>("deleteTable");
    QTest::addColumn<qint64>("batchRows");
    QTest::newRow("one batch") << false << qint64(0);
    QTest::newRow("one batch, delete") << true << qint64(0);
    QTest::newRow("batches of 2") << false << qint64(2);
    QTest::newRow("batches of 2, delete") << true << qint64(2);
    QTest::newRow("automatic, delete") << true << BatchRowsAutomatic;
}

void TestRoundTripMulti::family()
{
    QFETCH(bool, deleteTable);
    QFETCH(qint64, batchRows);
    rebuild(m_target, familySchema() + familyRows() + familyDrift());
    if (QTest::currentTestFailed())
        return;
    QList<TMergeModel> models;
    QList<QList<TRowText>> expected;
    for (const QString &table : familyTables) {
        const QList<TColumnFact> facts = m_source->Columns(table);
        const QString all = SelectRowsSql(table, facts);
        models << TMergeModel(facts, {{}, {}, deleteTable});
        expected << models.constLast().Expected(m_target->Query(all), m_source->Query(all));
    }
    QStringList lines;
    QString error;
    QVERIFY2(m_source->GenerateSeveral(scriptOrder, deleteTable, batchRows, false, lines, error), qPrintable(error));
    QCOMPARE(lines.contains(QStringLiteral("GO")), batchRows > 0);
    for (int pass = 1; pass <= 2; ++pass) {
        const QString refused = run(lines);
        QVERIFY2(refused.isEmpty(), qPrintable(QStringLiteral("pass %1: %2").arg(pass).arg(refused)));
        for (qsizetype i = 0; i < familyTables.size(); ++i) {
            const QString &table = familyTables.at(i);
            const QList<TRowText> after = m_target->Query(SelectRowsSql(table, models.at(i).Columns()));
            const QString difference = models.at(i).Compare(expected.at(i), after);
            QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("pass %1, %2: %3").arg(pass).arg(table, difference)));
        }
        // The workbench's log tells the rows carried from the rows changed
        // in the tables: 10 rows go into the table variables.
        if (batchRows == 0) {
            QCOMPARE(m_batches.size(), 1);
            const TChangedRowsSplit split = SplitChangedRows(m_batches.constFirst(), m_counts.constFirst(), true);
            QVERIFY(split.Known);
            QCOMPARE(split.Temporary, qint64(10));
            QVERIFY(split.Tables > 0);
        }
    }
    // The extra customer's rows stay without delete and go with it.
    const QList<QStringList> extra = m_target->Query(QStringLiteral("SELECT COUNT(*) FROM McItems WHERE OrderId = 9"));
    QCOMPARE(extra, (QList<QStringList>{{deleteTable ? QStringLiteral("0") : QStringLiteral("1")}}));
    // Orders' identity goes on past the highest row.
    QCOMPARE(m_target->Execute(QStringLiteral("INSERT INTO McOrders(CustomerId, Note) VALUES(1, 'next')")), QString());
    const QList<QStringList> next = m_target->Query(QStringLiteral("SELECT Id FROM McOrders WHERE Note = 'next'"));
    QCOMPARE(next, m_target->Query(QStringLiteral("SELECT MAX(Id) FROM McOrders")));
    QCOMPARE(m_target->Query(QStringLiteral("SELECT COUNT(*) FROM McOrders WHERE Id = %1").arg(next.value(0).value(0))),
             (QList<QStringList>{{QStringLiteral("1")}}));
}

void TestRoundTripMulti::ring_data()
{
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<bool>("deleteTable");
    QTest::addColumn<qint64>("batchRows");
    QTest::newRow("refused") << false << true << qint64(0);
    QTest::newRow("constraints switched off, delete") << true << true << qint64(0);
    QTest::newRow("constraints switched off, batches") << true << false << qint64(1);
}

void TestRoundTripMulti::ring()
{
    QFETCH(bool, allowed);
    QFETCH(bool, deleteTable);
    QFETCH(qint64, batchRows);
    const QStringList ring{QStringLiteral("McRingA"), QStringLiteral("McRingB")};
    rebuild(m_target, ringSchema() + ringTarget());
    if (QTest::currentTestFailed())
        return;
    QStringList lines;
    QString error;
    const bool made = m_source->GenerateSeveral(ring, deleteTable, batchRows, allowed, lines, error);
    if (!allowed) {
        QVERIFY(!made);
        QVERIFY(lines.isEmpty());
        QVERIFY2(error.contains(QStringLiteral("«McRingA»")) && error.contains(QStringLiteral("«McRingB»")),
                 qPrintable(error));
        return;
    }
    QVERIFY2(made, qPrintable(error));
    QList<TMergeModel> models;
    QList<QList<TRowText>> expected;
    for (const QString &table : ring) {
        const QList<TColumnFact> facts = m_source->Columns(table);
        const QString all = SelectRowsSql(table, facts);
        models << TMergeModel(facts, {{}, {}, deleteTable});
        expected << models.constLast().Expected(m_target->Query(all), m_source->Query(all));
    }
    const QString refused = run(lines);
    QVERIFY2(refused.isEmpty(), qPrintable(refused));
    for (qsizetype i = 0; i < ring.size(); ++i) {
        const QString difference =
            models.at(i).Compare(expected.at(i), m_target->Query(SelectRowsSql(ring.at(i), models.at(i).Columns())));
        QVERIFY2(difference.isEmpty(), qPrintable(ring.at(i) + QStringLiteral(": ") + difference));
    }
    // The constraints are on again and checked.
    QVERIFY(m_target->Execute(QStringLiteral("INSERT INTO McRingA VALUES(50, 999, 'orphan')")).contains(QStringLiteral("FOREIGN KEY")));
    QVERIFY(m_target->Execute(QStringLiteral("INSERT INTO McRingB VALUES(50, 999)")).contains(QStringLiteral("FOREIGN KEY")));
}

QTEST_GUILESS_MAIN(TestRoundTripMulti)
#include "tst_roundtripmulti.moc"
