// Data scripts proven on a server: for each table and set of choices the
// script is made by the generator through the data layer, run through the
// data layer against a drifted copy of the table, and the copy is compared
// value by value with what the choices promise.

#include "RoundTripFixtures.h"
#include "RoundTripModel.h"
#include "SqlNames.h"
#include "TestServer.h"
#include "WorkbenchGeneration.h"

#include <QHash>
#include <QRegularExpression>
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
    void scriptTooLongForOneBatchRunsBatched();
    void brokenScriptLeavesTheTarget_data();
    void brokenScriptLeavesTheTarget();

private:
    // Runs the script on the session batch by batch, as the workbench does;
    // the errors it met.
    static QList<TScriptMessage> runScript(TWorkbenchSession &Session, const QStringList &Lines);
    static QList<int> errorNumbers(const QList<TScriptMessage> &Messages);
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
    // The long values are what they are meant to be: whole, and with a
    // backslash right before a line break past 8,000 characters.
    const QList<QStringList> longRow = m_source->Query(QStringLiteral("SELECT T, N, V FROM RtLong WHERE Id = 2"));
    QCOMPARE(longRow.size(), 1);
    QCOMPARE(longRow.at(0).at(0).size(), 20000);
    QVERIFY(longRow.at(0).at(0).mid(10000).contains(QStringLiteral("\\\r\n")));
    QCOMPARE(longRow.at(0).at(1).size(), 9000);
    QVERIFY(longRow.at(0).at(1).contains(QStringLiteral("\\\n")));
    QCOMPARE(longRow.at(0).at(2).size(), 8000);
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
    QTest::addColumn<int>("runs");
    QTest::addColumn<qint64>("batchRows");

    const QStringList all, primary;
    const auto row = [](const char *tag, const QString &table, const QStringList &columns, const QStringList &keys,
                        const QString &nickname, bool deleteTable, int runs = 1, qint64 batchRows = BatchRowsAutomatic) {
        QTest::newRow(tag) << table << columns << keys << nickname << deleteTable << runs << batchRows;
    };
    row("every type, primary key", "RtTypes", all, primary, {}, false);
    row("every type, delete", "RtTypes", all, primary, {}, true);
    row("sql_variant", "RtVariant", all, primary, {}, false);
    // The first row takes the primary key as read from the server (a varchar
    // key column reports col_flags 5); the others name the same keys.
    const QStringList composite{"A", "B"};
    row("composite key", "RtComposite", all, primary, {}, false);
    row("column subset", "RtComposite", {"A", "B", "Amount"}, composite, {}, false);
    row("nickname pointing at a copy", "RtComposite", all, composite, "RtCompositeCopy", false);
    row("names in brackets", "Rt Names", all, primary, {}, false);
    row("identity carried", "RtIdentity", all, primary, {}, false);
    row("identity carried, delete", "RtIdentity", all, primary, {}, true);
    row("identity not carried", "RtIdentity", {"Name", "Qty"}, {"Name"}, {}, false);
    row("every used column a key", "RtNoKey", all, {"A", "B"}, {}, false);
    row("no key", "RtNoKey", all, primary, {}, false);
    row("no key, delete", "RtNoKey", all, primary, {}, true);
    row("no key, delete, run twice", "RtNoKey", all, primary, {}, true, 2);
    row("empty source", "RtEmpty", all, primary, {}, false);
    row("empty source, delete", "RtEmpty", all, primary, {}, true);
    row("long values", "RtLong", all, primary, {}, false);
    row("long values, delete", "RtLong", all, primary, {}, true);
    row("128-character column name", "RtLongName", all, primary, {}, false);
    row("table named T", "T", all, primary, {}, false);
    row("key X1 beside X", "RtX", all, primary, {}, false);
    row("comment marks in names", "Rt /* odd", all, primary, {}, true);
    row("Order Lines, raw nickname, delete", "Order Lines", all, primary, "Order Lines", true);
    row("Order Lines, nickname of a copy, delete", "Order Lines", all, primary, "Order Lines Copy", true);
    row("Order Lines, owner and brackets", "Order Lines", all, primary, "dbo.[Order Lines Copy]", false);
    row("non-Latin name, identity", "Заказы 2024", all, primary, {}, false);
    row("non-Latin name, identity, delete", "Заказы 2024", all, primary, {}, true);
    row("NULL keys", "RtNullKey", all, composite, {}, false);
    row("NULL keys, run twice", "RtNullKey", all, composite, {}, false, 2);
    row("other collation key", "RtCollation", all, primary, {}, false);

    // Batched: a temporary table filled in batches, merged in the last one.
    row("every type, batched by 2", "RtTypes", all, primary, {}, false, 1, 2);
    row("every type, delete, batched by 1", "RtTypes", all, primary, {}, true, 1, 1);
    row("sql_variant, batched", "RtVariant", all, primary, {}, false, 1, 2);
    row("composite key, batched", "RtComposite", all, primary, {}, false, 1, 2);
    row("names in brackets, batched", "Rt Names", all, primary, {}, false, 1, 1);
    row("identity carried, delete, batched", "RtIdentity", all, primary, {}, true, 1, 2);
    row("identity not carried, batched", "RtIdentity", {"Name", "Qty"}, {"Name"}, {}, false, 1, 2);
    row("no key, delete, run twice, batched", "RtNoKey", all, primary, {}, true, 2, 1);
    row("empty source, delete, batched", "RtEmpty", all, primary, {}, true, 1, 5);
    row("long values, batched", "RtLong", all, primary, {}, false, 1, 1);
    row("128-character column name, batched", "RtLongName", all, primary, {}, false, 1, 1);
    row("table named T, batched", "T", all, primary, {}, false, 1, 1);
    row("Order Lines, owner and brackets, batched", "Order Lines", all, primary, "dbo.[Order Lines Copy]", false, 1, 2);
    row("non-Latin name, identity, delete, batched", "Заказы 2024", all, primary, {}, true, 1, 1);
    row("NULL keys, run twice, batched", "RtNullKey", all, composite, {}, false, 2, 2);
    row("other collation key, batched", "RtCollation", all, primary, {}, false, 1, 1);
    // Only columns of a bounded size: the rows come through bound column
    // arrays (the others are read value by value).
    const QStringList bounded{"Id", "CGuid", "CTiny", "CSmall", "CInt", "CSmallDate", "CReal", "CMoney", "CDate",
                              "CFloat", "CBit", "CDec", "CNum", "CSmallMoney", "CBig", "CVarBin", "CVarChar",
                              "CBin", "CChar", "CNVarChar", "CNChar"};
    row("every bounded type", "RtTypes", bounded, {"Id"}, {}, false);
    row("every bounded type, delete, batched by 2", "RtTypes", bounded, {"Id"}, {}, true, 1, 2);
    row("GO lines in values, bounded", "RtGo", {"Id", "N", "V"}, {"Id"}, {}, false, 1, 3);
    row("GO lines in values", "RtGo", all, primary, {}, false);
    row("GO lines in values, batched by 3", "RtGo", all, primary, {}, false, 1, 3);
    row("GO lines in values, delete, batched by 2", "RtGo", all, primary, {}, true, 1, 2);
}

void TestRoundTrip::roundTrip()
{
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, keys);
    QFETCH(QString, nickname);
    QFETCH(bool, deleteTable);
    QFETCH(int, runs);
    QFETCH(qint64, batchRows);
    const QString where = QStringLiteral("table %1, options \"%2\"").arg(table, QLatin1String(QTest::currentDataTag()));
    // The table the nickname names (owner and brackets aside), and whether
    // it is another one than the source's own name.
    const QString targetName = nickname.isEmpty() ? table : LastNamePart(nickname);
    const bool copy = targetName != table;

    buildTarget(table, targetName);
    if (copy)
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
        if (copy)
            untouched = m_target->Query(SelectRowsSql(table, facts));
    } catch (const EQuorvaneException &error) {
        QFAIL(qPrintable(where + QStringLiteral(": reading the rows: ") + error.Message()));
    }

    TScript script;
    QString error;
    QVERIFY2(m_source->Generate({table, columns, keys, nickname, deleteTable, batchRows}, script.Lines, error),
             qPrintable(where + QStringLiteral(": ") + error));
    // A batched script has its GO lines, and no other line reads as one.
    int separators = 0;
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    static const QRegularExpression go(QStringLiteral("^\\s*go"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &line : script.Lines.join(QStringLiteral("\r\n")).split(breaks)) {
        if (line == QLatin1String("GO"))
            ++separators;
        else
            QVERIFY2(!go.match(line).hasMatch(), qPrintable(where + QStringLiteral(": a line reads as GO: ") + line));
    }
    QCOMPARE(separators > 0, batchRows > 0);
    QList<TRowText> expected = before;
    for (int run = 1; run <= runs; ++run) {
        QStringList messages;
        for (const TScriptMessage &message : runScript(*m_target, script.Lines))
            messages << QStringLiteral("%1 (line %2): %3").arg(message.Number).arg(message.Line).arg(message.Text);
        if (!messages.isEmpty()) {
            QFAIL(qPrintable(where + QStringLiteral(": run %1: the server refused the script:\n  ").arg(run) +
                             messages.join(QStringLiteral("\n  "))));
        }
        expected = model.Expected(expected, source);
        const QList<TRowText> after = m_target->Query(SelectRowsSql(targetName, facts));
        const QString difference = model.Compare(expected, after);
        QVERIFY2(difference.isEmpty(), qPrintable(where + QStringLiteral(": run %1: ").arg(run) + difference));
    }
    const QList<TRowText> after = m_target->Query(SelectRowsSql(targetName, facts));

    // What the values do not show (a variant's base type): the same for
    // every source row in the target.
    const QStringList &checks = RoundTripTable(table).Checks;
    if (!checks.isEmpty()) {
        QHash<QString, TRowText> wanted;
        for (const TRowText &row : m_source->Query(SelectChecksSql(table, facts.first().Name, checks)))
            wanted.insert(row.first(), row);
        int seen = 0;
        for (const TRowText &row : m_target->Query(SelectChecksSql(targetName, facts.first().Name, checks))) {
            if (!wanted.contains(row.first()))
                continue;
            ++seen;
            QVERIFY2(row == wanted.value(row.first()),
                     qPrintable(where + QStringLiteral(": row %1: expected %2, the target has %3")
                                            .arg(row.first(), wanted.value(row.first()).join(u'|'), row.join(u'|'))));
        }
        QCOMPARE(seen, int(wanted.size()));
    }

    if (copy) {
        const TMergeModel same(facts, {{}, {}, false});
        const QString changed = same.Compare(untouched, m_target->Query(SelectRowsSql(table, facts)));
        QVERIFY2(changed.isEmpty(), qPrintable(where + QStringLiteral(": the table under its own name changed: ") + changed));
    }

    // A carried identity is reseeded: the next row cannot collide with the
    // carried ones (RESEED only raises the current value to the highest).
    const int identity = 0; // the Id of the tables with one and a Name
    const bool named = std::any_of(facts.begin(), facts.end(), [](const TColumnFact &f) { return f.Name == QLatin1String("Name"); });
    if (named && facts.at(identity).IsIdentity && model.Compared().at(identity)) {
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

QList<TScriptMessage> TestRoundTrip::runScript(TWorkbenchSession &Session, const QStringList &Lines)
{
    // The batches between the script's own GO items, each sent with its
    // text as it stands (the workbench's splitter goes by lines and would
    // make a value's bare LF a CR LF).
    QStringList batches{QString()};
    for (const QString &item : Lines) {
        if (item == QLatin1String("GO"))
            batches << QString();
        else
            batches.last() += item + QStringLiteral("\r\n");
    }
    // The workbench and sqlcmd cut the script in the same places: no value
    // holds a line they would take for GO.
    TScript script;
    script.Lines = Lines;
    const std::unique_ptr<TScriptCommand> command = Session.Facade().MakeScriptCommand(&script);
    const TScriptBatches split = command->Batches();
    QList<TScriptMessage> errors;
    if (split.Batches.size() != batches.size()) {
        TScriptMessage mismatch;
        mismatch.IsError = true;
        mismatch.Text = QStringLiteral("the workbench cuts the script into %1 batches, the script has %2")
                            .arg(split.Batches.size())
                            .arg(batches.size());
        return {mismatch};
    }
    for (const QString &batch : batches)
        for (const TScriptMessage &message : Session.Facade().ExecuteScriptText(batch, 100).Messages)
            if (message.IsError)
                errors << message;
    return errors;
}

QList<int> TestRoundTrip::errorNumbers(const QList<TScriptMessage> &Messages)
{
    QList<int> numbers;
    for (const TScriptMessage &message : Messages)
        numbers << message.Number;
    return numbers;
}

void TestRoundTrip::scriptTooLongForOneBatchRunsBatched()
{
    // A server that grants 512-byte packets takes batches of up to 65,536
    // of them: 16,777,216 characters.
    TestServer server({QStringLiteral("--packet-size"), QStringLiteral("512")});
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    const QString login = QLatin1String(TestServer::login), password = QLatin1String(TestServer::password);
    const TRoundTripTable &fixture = OversizedTable();
    const QString table = fixture.Name;
    std::unique_ptr<TWorkbenchSession> source, target;
    try {
        TWorkbenchSession master(server.dataSource(), login, password, QStringLiteral("master"));
        QCOMPARE(runAll(master, {QStringLiteral("CREATE DATABASE HugeSource"), QStringLiteral("CREATE DATABASE HugeTarget")}),
                 QString());
        source = std::make_unique<TWorkbenchSession>(server.dataSource(), login, password, QStringLiteral("HugeSource"));
        target = std::make_unique<TWorkbenchSession>(server.dataSource(), login, password, QStringLiteral("HugeTarget"));
    } catch (const EQuorvaneException &error) {
        QFAIL(qPrintable(error.Message()));
    }
    QCOMPARE(runAll(*source, BuildStatements(fixture, table, {})), QString());
    const auto rebuildTarget = [&] {
        (void)target->Execute(QStringLiteral("DROP TABLE %1").arg(table));
        return runAll(*target, BuildStatements(fixture, table, fixture.Drift));
    };
    QCOMPARE(rebuildTarget(), QString());
    const QList<TColumnFact> facts = source->Columns(table);
    const QList<TRowText> rows = source->Query(SelectRowsSql(table, facts));
    const QList<TRowText> before = target->Query(SelectRowsSql(table, facts));
    QCOMPARE(rows.size(), 18);
    QCOMPARE(before.size(), 9);

    QStringList single, batched, automatic;
    QString error;
    QVERIFY2(source->Generate({table, {}, {}, {}, false, 0}, single, error), qPrintable(error));
    QVERIFY2(source->Generate({table, {}, {}, {}, false, 4}, batched, error), qPrintable(error));
    QVERIFY2(source->Generate({table, {}, {}, {}, false, BatchRowsAutomatic}, automatic, error), qPrintable(error));
    QVERIFY(single.join(QStringLiteral("\r\n")).size() > 16777216);
    QVERIFY(!single.contains(QStringLiteral("GO")));
    QVERIFY(automatic.contains(QStringLiteral("GO")));

    const TMergeModel model(facts, {{}, {}, false});
    QCOMPARE(errorNumbers(runScript(*target, single)), QList<int>{123});
    QCOMPARE(model.Compare(before, target->Query(SelectRowsSql(table, facts))), QString());
    QCOMPARE(errorNumbers(runScript(*target, batched)), QList<int>{});
    QCOMPARE(model.Compare(model.Expected(before, rows), target->Query(SelectRowsSql(table, facts))), QString());
    // The automatic choice keeps a batch within what the default 4 KB
    // packet allows (134,217,728 characters), not 512 bytes: one batch of
    // rows here is refused, and the merge is not run.
    QCOMPARE(rebuildTarget(), QString());
    const QList<int> automaticErrors = errorNumbers(runScript(*target, automatic));
    QVERIFY(automaticErrors.contains(123));
}

void TestRoundTrip::brokenScriptLeavesTheTarget_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<qint64>("batchRows");
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("checked"); // the row-count check reports it
    // damage: which part of the script is broken before it runs.
    QTest::newRow("a fill batch left out") << "RtIdentity" << qint64(1) << "leave out a fill batch" << true;
    QTest::newRow("a fill batch refused") << "RtIdentity" << qint64(1) << "refuse a fill batch" << true;
    QTest::newRow("a row's statement fails, batched") << "RtIdentity" << qint64(2) << "fail a row" << true;
    QTest::newRow("the first batch refused") << "RtIdentity" << qint64(1) << "refuse the first batch" << false;
    QTest::newRow("a row's statement fails, one batch") << "Заказы 2024" << qint64(0) << "fail a row" << true;
}

// A script with delete whose rows did not all arrive changes nothing in the
// target and says so; the whole script then still runs in the same session.
void TestRoundTrip::brokenScriptLeavesTheTarget()
{
    QFETCH(QString, table);
    QFETCH(qint64, batchRows);
    QFETCH(QString, damage);
    QFETCH(bool, checked);
    buildTarget(table, table);
    if (QTest::currentTestFailed())
        return;
    QList<TColumnFact> facts;
    for (const TColumnFact &column : m_source->Columns(table))
        if (!column.IsTimestamp)
            facts << column;
    const TMergeModel model(facts, {{}, {}, true});
    const QList<TRowText> source = m_source->Query(SelectRowsSql(table, facts));
    const QList<TRowText> before = m_target->Query(SelectRowsSql(table, facts));
    QVERIFY(source.size() >= 2);
    QStringList lines;
    QString error;
    QVERIFY2(m_source->Generate({table, {}, {}, {}, true, batchRows}, lines, error), qPrintable(error));

    // The script's batches, each as its items.
    QList<QStringList> parts{{}};
    for (const QString &item : std::as_const(lines)) {
        if (item == QLatin1String("GO"))
            parts.append(QStringList());
        else
            parts.last().append(item);
    }
    QCOMPARE(parts.size() > 1, batchRows > 0);
    const auto firstInsert = [](const QStringList &part) {
        for (int i = 0; i < part.size(); ++i)
            if (part.at(i).startsWith(QStringLiteral("INSERT INTO #")) || part.at(i).startsWith(QStringLiteral("INSERT INTO @")))
                return i;
        return -1;
    };
    const auto lastInsert = [&](const QStringList &part) {
        int last = -1;
        for (int i = 0; i < part.size(); ++i)
            if (part.at(i).startsWith(QStringLiteral("INSERT INTO #")) || part.at(i).startsWith(QStringLiteral("INSERT INTO @")))
                last = i;
        return last;
    };
    const int fill = batchRows > 0 ? 1 : 0; // the first batch of rows, or the only batch
    QVERIFY(fill < (batchRows > 0 ? parts.size() - 1 : parts.size()));
    if (damage == QLatin1String("leave out a fill batch")) {
        parts.removeAt(fill);
    } else if (damage == QLatin1String("refuse a fill batch")) {
        const int at = firstInsert(parts.at(fill));
        QVERIFY(at >= 0);
        parts[fill][at].replace(QStringLiteral("INSERT INTO"), QStringLiteral("INSERT INTOO"));
    } else if (damage == QLatin1String("fail a row")) {
        // The batch's last row: the rows before it go in.
        const int at = lastInsert(parts.at(fill));
        QVERIFY(at > firstInsert(parts.at(fill)));
        parts[fill][at] = QStringLiteral("RAISERROR('the row failed', 16, 1);");
    } else {
        qsizetype at = 0;
        while (at < parts.first().size() && !parts.first().at(at).startsWith(QStringLiteral("CREATE TABLE #")))
            ++at;
        QVERIFY(at < parts.first().size());
        parts.first()[at].replace(QStringLiteral("CREATE TABLE"), QStringLiteral("CREATE TABLEE"));
    }
    QStringList broken;
    for (const QStringList &part : std::as_const(parts)) {
        if (!broken.isEmpty())
            broken << QStringLiteral("GO");
        broken << part;
    }

    const QList<TScriptMessage> errors = runScript(*m_target, broken);
    QVERIFY(!errors.isEmpty());
    QString raised;
    for (const TScriptMessage &message : errors)
        if (message.Number == 50000 && message.Text.contains(QStringLiteral("не изменена")))
            raised = message.Text;
    QStringList said;
    for (const TScriptMessage &message : errors)
        said << QStringLiteral("%1: %2").arg(message.Number).arg(message.Text);
    QVERIFY2(raised.isEmpty() != checked, qPrintable(said.join(u'\n')));
    if (checked) {
        QVERIFY2(raised.contains(table), qPrintable(raised));
        QVERIFY2(raised.contains(QStringLiteral("строк: %1,").arg(source.size())), qPrintable(raised));
        QVERIFY2(raised.contains(QStringLiteral("попало: %1.").arg(source.size() - 1)), qPrintable(raised));
    } else {
        QVERIFY(errorNumbers(errors).contains(208));
    }
    QCOMPARE(model.Compare(before, m_target->Query(SelectRowsSql(table, facts))), QString());

    // The whole script, run after the broken one on the same connection.
    QStringList messages;
    for (const TScriptMessage &message : runScript(*m_target, lines))
        messages << QStringLiteral("%1: %2").arg(message.Number).arg(message.Text);
    QCOMPARE(messages, QStringList());
    QCOMPARE(model.Compare(model.Expected(before, source), m_target->Query(SelectRowsSql(table, facts))), QString());
}

QTEST_GUILESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
