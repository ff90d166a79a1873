// quorvane-script run as a user runs it: exit codes and messages, and the
// script it writes against the workbench's generation of the same choices.

#include "RoundTripFixtures.h"
#include "SqlNames.h"
#include "TestServer.h"
#include "WorkbenchGeneration.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

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

private:
    TRun run(const QStringList &Arguments, const QByteArray &Password = "secret", bool PasswordSet = true);
    QStringList connectArgs(const QString &Table) const;

    std::unique_ptr<TestServer> m_server;
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
}

void TestScriptCli::cleanupTestCase()
{
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

    QTest::newRow("defaults") << "Goods" << QStringList{} << QStringList{} << QString() << false;
    QTest::newRow("subset, own key, delete") << "Goods" << QStringList{"Title", "Price"} << QStringList{"Title"}
                                             << QString() << true;
    // The round trip's table of every type but sql_variant (the driver
    // spins reading one), made in the demo database.
    QTest::newRow("every type") << "RtTypes" << QStringList{} << QStringList{} << QString() << false;
    QTest::newRow("composite key, nickname") << "Stock" << QStringList{} << QStringList{} << "StockCopy" << true;
    QTest::newRow("name in brackets") << "Order Lines" << QStringList{} << QStringList{} << QString() << false;
}

void TestScriptCli::sameAsWorkbench()
{
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, keys);
    QFETCH(QString, nickname);
    QFETCH(bool, deleteTable);

    QStringList lines;
    QString error;
    QVERIFY2(m_session->Generate({table, columns, keys, nickname, deleteTable}, lines, error), qPrintable(error));

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
    const TRun result = run(arguments);
    QVERIFY2(result.Code == 0, result.Err.constData());

    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray cli = file.readAll();
    QVERIFY(cli.contains("Creation date and time „"));
    QCOMPARE(MaskCreationTime(cli), MaskCreationTime(ScriptFileBytes(lines)));
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

QTEST_GUILESS_MAIN(TestScriptCli)
#include "tst_scriptcli.moc"
