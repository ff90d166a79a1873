// quorvane-script run as a user runs it: exit codes and messages, and the
// script it writes against the workbench's generation of the same choices.

#include "RoundTripFixtures.h"
#include "SqlNames.h"
#include "TestServer.h"
#include "WorkbenchGeneration.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

// A table far larger than any socket buffer: a generation from it cannot
// end while its server is stopped.
QStringList wideTableStatements()
{
    const QString pad(1000, u'w');
    QStringList statements{QStringLiteral("CREATE TABLE Wide (Id int NOT NULL PRIMARY KEY, Pad varchar(1000) NULL)"),
                           QStringLiteral("INSERT INTO Wide(Id, Pad) VALUES(1, '%1')").arg(pad)};
    for (int have = 1; have < 16384; have *= 2)
        statements << QStringLiteral("INSERT INTO Wide(Id, Pad) SELECT Id + %1, Pad FROM Wide").arg(have);
    return statements;
}

// The files a run left beside its output: the output and its temporary.
QStringList leftBehind(const QString &dir, const QString &name)
{
    return QDir(dir).entryList({name, QStringLiteral(".%1.*").arg(name)}, QDir::Files | QDir::Hidden);
}

struct TRun
{
    int Code = -1;
    QByteArray Out;
    QByteArray Err;
};

} // namespace

class TestScriptCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void argumentErrors_data();
    void argumentErrors();
    void failures_data();
    void failures();
    void sameAsWorkbench_data();
    void sameAsWorkbench();
    void standardOutputAndQuiet();
    void noKeyNoDeleteSaysSo();
    void refusedKey();
    void interruptedLeavesNoFile_data();
    void interruptedLeavesNoFile();
    void failedReadLeavesNoFile();
    void filterAndOnlyChangedAsWorkbench();
    void encryptedRuns_data();
    void encryptedRuns();
    void severalTablesRefused_data();
    void severalTablesRefused();
    void severalTablesAsDomain_data();
    void severalTablesAsDomain();

private:
    TRun run(const QStringList &Arguments, const QByteArray &Password = "secret", bool PasswordSet = true);
    // Starts a run writing to Output in the background.
    std::unique_ptr<QProcess> start(const QStringList &Arguments);
    // Waits until the run has made its temporary file beside Output.
    static bool waitForPart(const QString &Output);
    QStringList connectArgs(const QString &Table) const;

    std::unique_ptr<TestServer> m_server;
    // The demo server again, with a certificate, refusing clients that will not encrypt.
    std::unique_ptr<TestServer> m_forcedServer;
    std::unique_ptr<TWorkbenchSession> m_session;
    QTemporaryDir m_dir;
    QString m_binary;
};

void TestScriptCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("APPDATA", m_dir.path().toUtf8());
    m_binary = qEnvironmentVariable("QUORVANE_SCRIPT");
    QVERIFY2(QFileInfo::exists(m_binary), "QUORVANE_SCRIPT names no program");
    m_server = std::make_unique<TestServer>(QStringList{QStringLiteral("--demo")});
    QVERIFY2(m_server->start(), qPrintable(m_server->errorText()));
    try {
        m_session = std::make_unique<TWorkbenchSession>(m_server->dataSource(), QLatin1String(TestServer::login),
                                                        QLatin1String(TestServer::password), QStringLiteral("Shop"));
    } catch (const std::exception &error) {
        QFAIL(qPrintable(QStringLiteral("the test server answers no catalogue query: ") + QString::fromUtf8(error.what())));
    }
    const TRoundTripTable &types = RoundTripTable(QStringLiteral("RtTypes"));
    for (const QString &statement : BuildStatements(types, types.Name, {}))
        QCOMPARE(m_session->Execute(statement), QString());
    for (const QString &statement : wideTableStatements())
        QCOMPARE(m_session->Execute(statement), QString());
    QCOMPARE(m_session->Execute(QStringLiteral("CREATE TABLE Loose (A int NULL, B varchar(10) NULL)")), QString());
    QCOMPARE(m_session->Execute(QStringLiteral("INSERT INTO Loose VALUES(1, 'a')")), QString());
    // Two tables that reference each other.
    for (const char *sql : {"CREATE TABLE CliRingA (Id int NOT NULL PRIMARY KEY, BId int NULL)",
                            "CREATE TABLE CliRingB (Id int NOT NULL PRIMARY KEY, AId int NULL REFERENCES CliRingA(Id))",
                            "ALTER TABLE CliRingA ADD CONSTRAINT FK_CliRingA_B FOREIGN KEY (BId) REFERENCES CliRingB(Id)",
                            "INSERT INTO CliRingA VALUES(1, NULL)", "INSERT INTO CliRingB VALUES(1, 1)",
                            "UPDATE CliRingA SET BId = 1"})
        QCOMPARE(m_session->Execute(QLatin1String(sql)), QString());
}

std::unique_ptr<QProcess> TestScriptCli::start(const QStringList &Arguments)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUORVANE_PASSWORD"), QStringLiteral("secret"));
    process->setProcessEnvironment(env);
    process->start(m_binary, Arguments);
    process->closeWriteChannel();
    return process;
}

bool TestScriptCli::waitForPart(const QString &Output)
{
    const QFileInfo info(Output);
    QDeadlineTimer deadline(120000);
    while (!deadline.hasExpired()) {
        if (!QDir(info.absolutePath()).entryList({QStringLiteral(".%1.*.part").arg(info.fileName())}, QDir::Files | QDir::Hidden).isEmpty())
            return true;
        QThread::msleep(5);
    }
    return false;
}

void TestScriptCli::cleanupTestCase()
{
    m_forcedServer.reset();
    m_session.reset();
    m_server.reset();
}

TRun TestScriptCli::run(const QStringList &Arguments, const QByteArray &Password, bool PasswordSet)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QUORVANE_PASSWORD"));
    if (PasswordSet)
        env.insert(QStringLiteral("QUORVANE_PASSWORD"), QString::fromUtf8(Password));
    process.setProcessEnvironment(env);
    process.start(m_binary, Arguments);
    process.closeWriteChannel();
    TRun result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.Code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.Out = process.readAllStandardOutput();
    result.Err = process.readAllStandardError();
    return result;
}

QStringList TestScriptCli::connectArgs(const QString &Table) const
{
    return {QStringLiteral("--server"), m_server->dataSource(), QStringLiteral("--login"), QStringLiteral("sa"),
            QStringLiteral("--database"), QStringLiteral("Shop"), QStringLiteral("--table"), Table};
}

void TestScriptCli::argumentErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    const QStringList full{"--server", "127.0.0.1,1", "--login", "sa", "--database", "Shop", "--table", "Goods"};
    QTest::newRow("nothing") << QStringList{} << 2 << "--server is required";
    QTest::newRow("no login") << QStringList{"--server", "x", "--database", "d", "--table", "t"} << 2
                              << "--login is required";
    QTest::newRow("no table") << full.mid(0, 6) << 2 << "--table is required";
    QTest::newRow("unknown option") << full + QStringList{"--frobnicate"} << 2 << "unknown argument \"--frobnicate\"";
    QTest::newRow("stray word") << full + QStringList{"Goods"} << 2 << "unknown argument \"Goods\"";
    QTest::newRow("password argument") << full + QStringList{"--password", "secret"} << 2 << "QUORVANE_PASSWORD";
    QTest::newRow("value missing at the end") << full + QStringList{"--output"} << 2 << "--output needs a value";
    QTest::newRow("empty value") << QStringList{"--server", "", "--login", "sa"} << 2 << "--server needs a value";
    QTest::newRow("empty column name") << full + QStringList{"--columns", "Id,,Title"} << 2
                                       << "--columns wants names separated by commas";
    QTest::newRow("keys twice") << full + QStringList{"--keys", "Id", "--keys=Title"} << 2 << "--keys is given twice";
    QTest::newRow("flag with a value") << full + QStringList{"--delete=yes"} << 2 << "--delete takes no value";
    QTest::newRow("batch rows not a number") << full + QStringList{"--batch-rows", "many"} << 2
                                             << "--batch-rows wants a whole number of rows, 0 or more, got \"many\"";
    QTest::newRow("batch rows negative") << full + QStringList{"--batch-rows=-5"} << 2
                                         << "--batch-rows wants a whole number of rows, 0 or more, got \"-5\"";
    QTest::newRow("table twice") << full + QStringList{"--table", "[goods]"} << 2
                                 << "table [goods] is given twice (--table)";
    QTest::newRow("all tables and a table") << full + QStringList{"--all-tables"} << 2
                                            << "--all-tables and --table exclude each other";
    QTest::newRow("no table, all tables") << full.mid(0, 6) + QStringList{"--all-tables=yes"} << 2
                                          << "--all-tables takes no value";
    QTest::newRow("filter with several tables") << full + QStringList{"--table", "Orders", "--where", "Id > 1"} << 2
                                                << "--where applies to a script of one table only";
    QTest::newRow("columns with all tables") << full.mid(0, 6) + QStringList{"--all-tables", "--columns", "Id"} << 2
                                             << "--columns applies to a script of one table only";
    QTest::newRow("nickname with several tables") << full + QStringList{"--table", "Orders", "--nickname", "X"} << 2
                                                  << "--nickname applies to a script of one table only";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "";
}

void TestScriptCli::argumentErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, message);

    const TRun result = run(arguments);
    QCOMPARE(result.Code, code);
    if (code == 0) {
        QVERIFY(result.Out.startsWith("usage: quorvane-script"));
        QVERIFY(result.Err.isEmpty());
        return;
    }
    QVERIFY(result.Out.isEmpty());
    QCOMPARE(result.Err.count('\n'), 1);
    QVERIFY2(QString::fromUtf8(result.Err).contains(message), result.Err.constData());
}

void TestScriptCli::failures_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("passwordSet");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("wrong password") << QStringList{} << QByteArray("wrong") << true << 3 << "Login failed";
    // Standard input is a pipe here: nothing is asked, the login goes
    // without a password and is refused.
    QTest::newRow("no password anywhere") << QStringList{} << QByteArray() << false << 3 << "Login failed";
    {
        // A port nobody listens on any more.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const QString deadPort = QStringLiteral("127.0.0.1,%1").arg(probe.serverPort());
        probe.close();
        QTest::newRow("dead port") << QStringList{"--server", deadPort} << QByteArray("secret") << true << 3
                                   << "Unable to connect";
    }
    QTest::newRow("no such database") << QStringList{"--database", "Nowhere"} << QByteArray("secret") << true
                                      << 4 << "database Nowhere does not exist";
    QTest::newRow("no such table") << QStringList{"--table", "Nothing"} << QByteArray("secret") << true << 4
                                   << "table Nothing does not exist";
    QTest::newRow("no such column") << QStringList{"--columns", "Id,Colour"} << QByteArray("secret") << true
                                    << 4 << "table Goods has no column Colour";
    QTest::newRow("no such key") << QStringList{"--keys", "Colour"} << QByteArray("secret") << true << 4
                                 << "table Goods has no column Colour";
    QTest::newRow("key not carried") << QStringList{"--columns", "Title", "--keys", "Id"} << QByteArray("secret")
                                     << true << 2 << "key column Id is not among --columns";
    // A row condition goes to the server as written; its refusal comes back
    // in the server's words, before any file is made.
    QTest::newRow("filter names no column") << QStringList{"--where", "Colour = 'red'"} << QByteArray("secret")
                                            << true << 1 << "Invalid column name 'Colour'";
    QTest::newRow("filter not a condition") << QStringList{"--where", "Price >", "--delete"} << QByteArray("secret")
                                            << true << 1 << "Incorrect syntax near";
}

void TestScriptCli::failures()
{
    QFETCH(QStringList, extra);
    QFETCH(QByteArray, password);
    QFETCH(bool, passwordSet);
    QFETCH(int, code);
    QFETCH(QString, message);
    QStringList arguments = connectArgs(QStringLiteral("Goods"));
    // A later --database or --table stands in for the one before.
    for (qsizetype k = 0; k + 1 < extra.size(); k += 2) {
        const qsizetype at = arguments.indexOf(extra.at(k));
        if (at >= 0)
            arguments[at + 1] = extra.at(k + 1);
        else
            arguments << extra.at(k) << extra.at(k + 1);
    }
    const QString output = m_dir.filePath(QStringLiteral("failed.sql"));
    arguments << QStringLiteral("--output") << output;
    const TRun result = run(arguments, password, passwordSet);
    QCOMPARE(result.Code, code);
    QCOMPARE(result.Err.count('\n'), 1);
    QVERIFY2(QString::fromUtf8(result.Err).contains(message), result.Err.constData());
    QVERIFY2(!QFileInfo::exists(output), "a failed run leaves no script file");
}

void TestScriptCli::sameAsWorkbench_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("nickname");
    QTest::addColumn<bool>("deleteTable");
    QTest::addColumn<qint64>("batchRows");

    QTest::newRow("defaults") << "Goods" << QStringList{} << QStringList{} << QString() << false << qint64(-1);
    QTest::newRow("batched by 2, delete") << "Goods" << QStringList{} << QStringList{} << QString() << true << qint64(2);
    QTest::newRow("one batch") << "Goods" << QStringList{} << QStringList{} << QString() << false << qint64(0);
    QTest::newRow("subset, own key, delete") << "Goods" << QStringList{"Title", "Price"} << QStringList{"Title"}
                                             << QString() << true << qint64(-1);
    // The round trip's table of every type but sql_variant (the driver
    // spins reading one), made in the demo database.
    QTest::newRow("every type") << "RtTypes" << QStringList{} << QStringList{} << QString() << false << qint64(-1);
    QTest::newRow("composite key, nickname") << "Stock" << QStringList{} << QStringList{} << "StockCopy" << true << qint64(-1);
    QTest::newRow("name in brackets") << "Order Lines" << QStringList{} << QStringList{} << QString() << false << qint64(-1);
}

void TestScriptCli::sameAsWorkbench()
{
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, keys);
    QFETCH(QString, nickname);
    QFETCH(bool, deleteTable);
    QFETCH(qint64, batchRows);

    QStringList lines;
    QString error;
    QVERIFY2(m_session->Generate({table, columns, keys, nickname, deleteTable, batchRows}, lines, error), qPrintable(error));

    const QString output = m_dir.filePath(QStringLiteral("cli.sql"));
    QStringList arguments = connectArgs(table) << QStringLiteral("--output") << output;
    if (!columns.isEmpty())
        arguments << QStringLiteral("--columns") << columns.join(u',');
    if (!keys.isEmpty())
        arguments << QStringLiteral("--keys") << keys.join(u',');
    if (!nickname.isEmpty())
        arguments << QStringLiteral("--nickname") << nickname;
    if (deleteTable)
        arguments << QStringLiteral("--delete");
    if (batchRows >= 0)
        arguments << QStringLiteral("--batch-rows") << QString::number(batchRows);
    const TRun result = run(arguments);
    QVERIFY2(result.Code == 0, result.Err.constData());

    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray cli = file.readAll();
    QVERIFY(cli.contains("Creation date and time „"));
    QCOMPARE(MaskCreationTime(cli), MaskCreationTime(ScriptFileBytes(lines)));
    QCOMPARE(cli.contains("\r\nGO\r\n"), batchRows > 0);
    // Lines end with CR LF, as the workbench saves scripts (a bare LF can
    // only come from a value).
    QVERIFY(cli.endsWith("*/\r\n\r\n\r\n"));
}

void TestScriptCli::standardOutputAndQuiet()
{
    const QString output = m_dir.filePath(QStringLiteral("stock.sql"));
    const TRun toFile = run(connectArgs(QStringLiteral("Stock")) << QStringLiteral("--output") << output);
    QCOMPARE(toFile.Code, 0);
    QVERIFY2(toFile.Out.isEmpty() && toFile.Err.isEmpty(), "quiet when standard error is no terminal");
    const TRun toStdout = run(connectArgs(QStringLiteral("Stock")) << QStringLiteral("--verbose"));
    QCOMPARE(toStdout.Code, 0);
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(MaskCreationTime(toStdout.Out), MaskCreationTime(file.readAll()));
    QVERIFY2(toStdout.Err.contains("rows, ") && toStdout.Err.contains("bytes written"), toStdout.Err.constData());
}

// Without keys and without --delete the run says the script changes
// nothing (and the script says so too).
void TestScriptCli::noKeyNoDeleteSaysSo()
{
    const QString output = m_dir.filePath(QStringLiteral("loose.sql"));
    const TRun result = run(connectArgs(QStringLiteral("Loose")) << QStringLiteral("--output") << output);
    QCOMPARE(result.Code, 0);
    QVERIFY2(result.Err.contains("changes nothing in Loose"), result.Err.constData());
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(file.readAll()).contains(QStringLiteral("ничего не меняет в таблице")));
}

// A key the server cannot match on is refused before anything is written.
void TestScriptCli::refusedKey()
{
    const QString output = m_dir.filePath(QStringLiteral("refused.sql"));
    const TRun result = run(connectArgs(QStringLiteral("RtTypes"))
                            << QStringLiteral("--keys") << QStringLiteral("CText") << QStringLiteral("--output") << output);
    QCOMPARE(result.Code, 2);
    QVERIFY2(result.Err.contains("key column CText is of type text"), result.Err.constData());
    QVERIFY(!QFileInfo::exists(output));
}

// SIGINT and SIGTERM end a run with 128 + the signal's number and leave
// no part of a script, and a file that was there stays as it was; also
// when the server has stopped answering.
void TestScriptCli::interruptedLeavesNoFile_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("serverAnswers");
    QTest::addColumn<QStringList>("tables");
    const QStringList wide{"Wide"};
    QTest::newRow("SIGTERM") << int(SIGTERM) << true << wide;
    QTest::newRow("SIGINT") << int(SIGINT) << true << wide;
    QTest::newRow("SIGTERM, server stopped") << int(SIGTERM) << false << wide;
    // Goods read whole, then Wide's read cut off.
    const QStringList several{"Goods", "Wide"};
    QTest::newRow("SIGINT, several tables") << int(SIGINT) << true << several;
    QTest::newRow("SIGTERM, server stopped, several tables") << int(SIGTERM) << false << several;
}

void TestScriptCli::interruptedLeavesNoFile()
{
    QFETCH(int, signal);
    QFETCH(bool, serverAnswers);
    QFETCH(QStringList, tables);
    const QString output = m_dir.filePath(QStringLiteral("wide.sql"));
    {
        QFile old(output);
        QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
        old.write("old");
    }
    QStringList arguments = connectArgs(tables.constFirst()) << QStringLiteral("--output") << output;
    for (const QString &table : tables.mid(1))
        arguments << QStringLiteral("--table") << table;
    auto process = start(arguments);
    QVERIFY(waitForPart(output));
    // Stopped, the server cannot let the run end before the signal comes.
    const pid_t server = pid_t(m_server->processId());
    QCOMPARE(::kill(server, SIGSTOP), 0);
    QCOMPARE(::kill(pid_t(process->processId()), signal), 0);
    if (serverAnswers)
        ::kill(server, SIGCONT);
    QElapsedTimer took;
    took.start();
    const bool ended = process->waitForFinished(30000);
    ::kill(server, SIGCONT);
    QVERIFY(ended);
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 128 + signal);
    QVERIFY2(took.elapsed() < 10000, qPrintable(QString::number(took.elapsed())));
    QVERIFY(process->readAllStandardError().contains("interrupted, no script written"));
    QCOMPARE(leftBehind(m_dir.path(), QStringLiteral("wide.sql")), QStringList{"wide.sql"});
    QFile old(output);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
}

// A server lost in the middle of the rows: exit 1 with the reason, no file.
void TestScriptCli::failedReadLeavesNoFile()
{
    TestServer doomed({QStringLiteral("--demo")});
    QVERIFY2(doomed.start(), qPrintable(doomed.errorText()));
    {
        TWorkbenchSession session(doomed.dataSource(), QLatin1String(TestServer::login), QLatin1String(TestServer::password),
                                  QStringLiteral("Shop"));
        for (const QString &statement : wideTableStatements())
            QCOMPARE(session.Execute(statement), QString());
    }
    const QString output = m_dir.filePath(QStringLiteral("lost.sql"));
    auto process = start({QStringLiteral("--server"), doomed.dataSource(), QStringLiteral("--login"), QStringLiteral("sa"),
                          QStringLiteral("--database"), QStringLiteral("Shop"), QStringLiteral("--table"),
                          QStringLiteral("Wide"), QStringLiteral("--output"), output});
    QVERIFY(waitForPart(output));
    QCOMPARE(::kill(pid_t(doomed.processId()), SIGKILL), 0);
    QVERIFY(process->waitForFinished(60000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 1);
    const QByteArray err = process->readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY(leftBehind(m_dir.path(), QStringLiteral("lost.sql")).isEmpty());
}

// The row condition and the "only changed" option give the workbench's
// script; the condition is in it.
void TestScriptCli::filterAndOnlyChangedAsWorkbench()
{
    const QString filter = QStringLiteral("Price > 2 -- the dear ones");
    QStringList lines;
    QString error;
    QVERIFY2(m_session->Generate({QStringLiteral("Goods"), {}, {}, {}, true}, lines, error, {filter, true}),
             qPrintable(error));
    const QString output = m_dir.filePath(QStringLiteral("filtered.sql"));
    const TRun result = run(connectArgs(QStringLiteral("Goods"))
                            << QStringLiteral("--output") << output << QStringLiteral("--delete")
                            << QStringLiteral("--where") << filter << QStringLiteral("--only-changed"));
    QVERIFY2(result.Code == 0, result.Err.constData());
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray cli = file.readAll();
    QCOMPARE(MaskCreationTime(cli), MaskCreationTime(ScriptFileBytes(lines)));
    QVERIFY(cli.contains("DELETE FROM Goods WHERE (Price > 2 -- the dear ones\r\n);"));
    QVERIFY(cli.contains("Used row filter „Price > 2 -- the dear ones“"));
    QVERIFY(cli.contains("AND (("));
}

void TestScriptCli::encryptedRuns_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("require, checked against its CA") << QStringList{"--encrypt", "require", "--ca-file", "server.pem"} << 0 << "";
    QTest::newRow("require, trusted") << QStringList{"--encrypt=require", "--trust-server-certificate"} << 0 << "";
    QTest::newRow("request") << QStringList{} << 0 << "";
    QTest::newRow("require, another CA") << QStringList{"--encrypt", "require", "--ca-file", "other.pem"} << 3
                                         << "Сертификат сервера не прошёл проверку";
    QTest::newRow("no") << QStringList{"--encrypt", "no"} << 3 << "Сервер принимает только зашифрованные подключения";
}

void TestScriptCli::encryptedRuns()
{
    QFETCH(QStringList, extra);
    QFETCH(int, code);
    QFETCH(QString, message);
    if (!m_forcedServer) {
        for (const char *name : {"server", "other"}) {
            QProcess openssl;
            openssl.start(QStringLiteral("openssl"),
                          {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", m_dir.filePath(QLatin1String(name) + ".key"),
                           "-out", m_dir.filePath(QLatin1String(name) + ".pem"), "-days", "2", "-subj", "/CN=127.0.0.1",
                           "-addext", "subjectAltName=IP:127.0.0.1"});
            QVERIFY(openssl.waitForFinished(60000));
            QCOMPARE(openssl.exitCode(), 0);
        }
        m_forcedServer = std::make_unique<TestServer>(QStringList{"--demo", "--version", "2019", "--tls-cert", m_dir.filePath("server.pem"),
                                                                  "--tls-key", m_dir.filePath("server.key"), "--force-encryption"});
        QVERIFY2(m_forcedServer->start(), qPrintable(m_forcedServer->errorText()));
    }
    for (QString &argument : extra)
        if (argument.endsWith(QLatin1String(".pem")))
            argument = m_dir.filePath(argument);
    const QStringList arguments = QStringList{"--server", m_forcedServer->dataSource(), "--login", "sa", "--database", "Shop",
                                              "--table", "Goods"}
                                  + extra;
    const TRun result = run(arguments);
    QCOMPARE(result.Code, code);
    if (code == 0) {
        QVERIFY2(result.Out.contains("INSERT INTO"), result.Out.left(500).constData());
        return;
    }
    QCOMPARE(result.Err.count('\n'), 1);
    QVERIFY2(QString::fromUtf8(result.Err).contains(message), result.Err.constData());
}

void TestScriptCli::severalTablesRefused_data()
{
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("unknown table") << QStringList{"--table", "Goods", "--table", "Nothing"} << 4
                                   << QStringList{"table Nothing does not exist in database Shop"};
    QTest::newRow("table without a key") << QStringList{"--table", "Goods", "--table", "Loose"} << 2
                                         << QStringList{"table Loose has no primary key", "--delete"};
    QTest::newRow("every table, one without a key") << QStringList{"--all-tables"} << 2
                                                    << QStringList{"table Loose has no primary key"};
    QTest::newRow("ring") << QStringList{"--table", "CliRingB", "--table", "CliRingA"} << 2
                          << QStringList{"«CliRingA»", "«CliRingB»", "--allow-fk-cycle"};
}

// A set of tables the script cannot serve is refused by name before any
// file is made.
void TestScriptCli::severalTablesRefused()
{
    QFETCH(QStringList, tables);
    QFETCH(int, code);
    QFETCH(QStringList, messages);
    const QString output = m_dir.filePath(QStringLiteral("several-refused.sql"));
    const QStringList arguments = connectArgs(QString()).mid(0, 6) + tables + QStringList{"--output", output};
    const TRun result = run(arguments);
    QCOMPARE(result.Code, code);
    QCOMPARE(result.Err.count('\n'), 1);
    for (const QString &message : messages)
        QVERIFY2(QString::fromUtf8(result.Err).contains(message), result.Err.constData());
    QVERIFY2(leftBehind(m_dir.path(), QStringLiteral("several-refused.sql")).isEmpty(), "a refused run leaves no file");
}

void TestScriptCli::severalTablesAsDomain_data()
{
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<bool>("deleteTable");
    QTest::addColumn<qint64>("batchRows");
    QTest::addColumn<bool>("ring");

    // Given children first: the script orders them.
    const QStringList family{"OrderItems", "Customers", "Orders"};
    QTest::newRow("customers, orders, items") << family << false << qint64(-1) << false;
    QTest::newRow("customers, orders, items, delete, batched by 5") << family << true << qint64(5) << false;
    QTest::newRow("ring with --allow-fk-cycle") << QStringList{"CliRingA", "CliRingB"} << true << qint64(0) << true;
}

// The command line's script of several tables is the one the generator
// makes of the same tables with their defaults.
void TestScriptCli::severalTablesAsDomain()
{
    QFETCH(QStringList, tables);
    QFETCH(bool, deleteTable);
    QFETCH(qint64, batchRows);
    QFETCH(bool, ring);

    QStringList lines;
    QString error;
    QVERIFY2(m_session->GenerateSeveral(tables, deleteTable, batchRows < 0 ? BatchRowsAutomatic : batchRows, ring, lines,
                                        error),
             qPrintable(error));
    const QString output = m_dir.filePath(QStringLiteral("several.sql"));
    QStringList arguments = connectArgs(QString()).mid(0, 6) << QStringLiteral("--output") << output;
    for (const QString &table : tables)
        arguments << QStringLiteral("--table") << table;
    if (deleteTable)
        arguments << QStringLiteral("--delete");
    if (batchRows >= 0)
        arguments << QStringLiteral("--batch-rows") << QString::number(batchRows);
    if (ring)
        arguments << QStringLiteral("--allow-fk-cycle");
    const TRun result = run(arguments);
    QVERIFY2(result.Code == 0, result.Err.constData());
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray cli = file.readAll();
    QCOMPARE(MaskCreationTime(cli), MaskCreationTime(ScriptFileBytes(lines)));
    QCOMPARE(cli.contains("\r\nGO\r\n"), batchRows > 0);
    QCOMPARE(cli.contains("\r\nALTER TABLE CliRingA NOCHECK CONSTRAINT ALL;\r\n"), ring);
    QCOMPARE(cli.contains("\r\nALTER TABLE CliRingB WITH CHECK CHECK CONSTRAINT ALL;\r\n"), ring);
    if (!ring)
        QVERIFY(cli.indexOf("\r\nUPDATE Customers ") < cli.indexOf("\r\nUPDATE Orders ")
                && cli.indexOf("\r\nUPDATE Orders ") < cli.indexOf("\r\nUPDATE OrderItems "));
}

QTEST_GUILESS_MAIN(TestScriptCli)
#include "tst_scriptcli.moc"
