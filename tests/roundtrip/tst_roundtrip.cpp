// Data scripts proven on a server: for each table and set of choices the
// script is made by the generator through the data layer, run through the
// data layer against a drifted copy of the table, and the copy is compared
// value by value with what the choices promise.

#include "RoundTripFixtures.h"
#include "RoundTripModel.h"
#include "SqlNames.h"
#include "TestServer.h"
#include "WorkbenchGeneration.h"

#include <QTemporaryDir>
#include <QtTest>

class TestRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void roundTrip_data();
    void roundTrip();

private:
    // Runs the statements one by one; the first failure's text, or empty.
    static QString runAll(TWorkbenchSession &Session, const QStringList &Statements);
    void buildTarget(const QString &Table, const QString &Name);

    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<TWorkbenchSession> m_source;
    std::unique_ptr<TWorkbenchSession> m_target;
    QTemporaryDir m_settings;
};

QString TestRoundTrip::runAll(TWorkbenchSession &Session, const QStringList &Statements)
{
    for (const QString &statement : Statements)
        if (const QString error = Session.Execute(statement); !error.isEmpty())
            return QStringLiteral("%1\n  in: %2").arg(error, statement.left(300));
    return {};
}

void TestRoundTrip::initTestCase()
{
    QVERIFY(m_settings.isValid());
    qputenv("APPDATA", m_settings.path().toUtf8());
    m_server = std::make_unique<TestServer>();
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
    const QString login = QLatin1String(TestServer::login), password = QLatin1String(TestServer::password);
    try {
        TWorkbenchSession master(m_server->dataSource(), login, password, QStringLiteral("master"));
        const QString created = runAll(master, {QStringLiteral("CREATE DATABASE RtSource"),
                                                QStringLiteral("CREATE DATABASE RtTarget")});
        if (!created.isEmpty())
            throw EQuorvaneException(created);
    } catch (const std::exception &error) {
        QFAIL(qPrintable(QStringLiteral("the test server answers no query: ") + QString::fromUtf8(error.what())));
    }
    m_source = std::make_unique<TWorkbenchSession>(m_server->dataSource(), login, password, QStringLiteral("RtSource"));
    m_target = std::make_unique<TWorkbenchSession>(m_server->dataSource(), login, password, QStringLiteral("RtTarget"));
    for (const TRoundTripTable &table : RoundTripTables()) {
        const QString error = runAll(*m_source, BuildStatements(table, QuoteName(table.Name), table.SourceOnly));
        QVERIFY2(error.isEmpty(), qPrintable(QStringLiteral("source table %1: %2").arg(table.Name, error)));
    }
}

void TestRoundTrip::cleanupTestCase()
{
    m_source.reset();
    m_target.reset();
    m_server.reset();
}

void TestRoundTrip::buildTarget(const QString &Table, const QString &Name)
{
    const TRoundTripTable &fixture = RoundTripTable(Table);
    (void)m_target->Execute(QStringLiteral("DROP TABLE %1").arg(QuoteName(Name)));
    const QString error = runAll(*m_target, BuildStatements(fixture, QuoteName(Name), fixture.Drift));
    QVERIFY2(error.isEmpty(), qPrintable(QStringLiteral("target table %1: %2").arg(Name, error)));
}

void TestRoundTrip::roundTrip_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("nickname");
    QTest::addColumn<bool>("deleteTable");

    const QStringList all, primary;
    QTest::newRow("every type, primary key") << "RtTypes" << all << primary << QString() << false;
    QTest::newRow("every type, delete") << "RtTypes" << all << primary << QString() << true;
    QTest::newRow("sql_variant") << "RtVariant" << all << primary << QString() << false;
    // The first row takes the primary key as read from the server (a varchar
    // key column reports col_flags 5); the others name the same keys.
    const QStringList composite{"A", "B"};
    QTest::newRow("composite key") << "RtComposite" << all << primary << QString() << false;
    QTest::newRow("column subset") << "RtComposite" << QStringList{"A", "B", "Amount"} << composite << QString()
                                   << false;
    QTest::newRow("nickname pointing at a copy") << "RtComposite" << all << composite << "RtCompositeCopy" << false;
    QTest::newRow("names in brackets") << "Rt Names" << all << primary << QString() << false;
    QTest::newRow("identity carried") << "RtIdentity" << all << primary << QString() << false;
    QTest::newRow("identity carried, delete") << "RtIdentity" << all << primary << QString() << true;
    QTest::newRow("identity not carried") << "RtIdentity" << QStringList{"Name", "Qty"} << QStringList{"Name"}
                                          << QString() << false;
    QTest::newRow("every used column a key") << "RtNoKey" << all << QStringList{"A", "B"} << QString() << false;
    QTest::newRow("no key") << "RtNoKey" << all << primary << QString() << false;
    QTest::newRow("no key, delete") << "RtNoKey" << all << primary << QString() << true;
    QTest::newRow("empty source") << "RtEmpty" << all << primary << QString() << false;
    QTest::newRow("empty source, delete") << "RtEmpty" << all << primary << QString() << true;
}

void TestRoundTrip::roundTrip()
{
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, keys);
    QFETCH(QString, nickname);
    QFETCH(bool, deleteTable);
    const QString where = QStringLiteral("table %1, options \"%2\"").arg(table, QLatin1String(QTest::currentDataTag()));
    const QString targetName = nickname.isEmpty() ? table : nickname;

    buildTarget(table, targetName);
    if (!nickname.isEmpty())
        buildTarget(table, table);
    if (QTest::currentTestFailed())
        return;

    QList<TColumnFact> facts;
    for (const TColumnFact &column : m_source->Columns(table))
        if (!column.IsTimestamp)
            facts << column;
    QVERIFY2(!facts.isEmpty(), qPrintable(where + QStringLiteral(": no columns read")));
    const TMergeModel model(facts, {columns, keys, deleteTable});
    QList<TRowText> source, before, untouched;
    try {
        source = m_source->Query(SelectRowsSql(table, facts));
        before = m_target->Query(SelectRowsSql(targetName, facts));
        if (!nickname.isEmpty())
            untouched = m_target->Query(SelectRowsSql(table, facts));
    } catch (const EQuorvaneException &error) {
        QFAIL(qPrintable(where + QStringLiteral(": reading the rows: ") + error.Message()));
    }

    TScript script;
    QString error;
    QVERIFY2(m_source->Generate({table, columns, keys, nickname, deleteTable}, script.Lines, error),
             qPrintable(where + QStringLiteral(": ") + error));
    const std::unique_ptr<TScriptCommand> command = m_target->Facade().MakeScriptCommand(&script);
    QVERIFY(command);
    const TScriptResult result = command->Execute();
    if (result.HasErrors()) {
        QStringList messages;
        for (const TScriptMessage &message : result.Messages)
            if (message.IsError)
                messages << QStringLiteral("%1 (line %2): %3").arg(message.Number).arg(message.Line).arg(message.Text);
        QFAIL(qPrintable(where + QStringLiteral(": the server refused the script:\n  ") +
                         messages.join(QStringLiteral("\n  "))));
    }

    const QList<TRowText> after = m_target->Query(SelectRowsSql(targetName, facts));
    const QString difference = model.Compare(model.Expected(before, source), after);
    QVERIFY2(difference.isEmpty(), qPrintable(where + QStringLiteral(": ") + difference));

    if (!nickname.isEmpty()) {
        const TMergeModel same(facts, {{}, {}, false});
        const QString changed = same.Compare(untouched, m_target->Query(SelectRowsSql(table, facts)));
        QVERIFY2(changed.isEmpty(), qPrintable(where + QStringLiteral(": the table under its own name changed: ") + changed));
    }

    // A carried identity is reseeded: the next row cannot collide with the
    // carried ones (RESEED only raises the current value to the highest).
    const int identity = 0; // RtIdentity.Id
    if (table == QLatin1String("RtIdentity") && model.Compared().at(identity)) {
        qint64 highest = 0;
        for (const TRowText &row : after)
            highest = qMax(highest, row.at(identity).toLongLong());
        const QString name = QuoteName(targetName);
        QCOMPARE(m_target->Execute(QStringLiteral("INSERT INTO %1(Name) VALUES('after')").arg(name)), QString());
        const QList<TRowText> added = m_target->Query(QStringLiteral("SELECT Id FROM %1 WHERE Name = 'after'").arg(name));
        QCOMPARE(added.size(), 1);
        QVERIFY2(added.at(0).at(0).toLongLong() > highest,
                 qPrintable(where + QStringLiteral(": the next identity %1 is not above %2").arg(added.at(0).at(0)).arg(highest)));
    }
}

QTEST_GUILESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
