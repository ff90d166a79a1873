// FreeTDS against the test server playing SQL Server 2019: the newer types
// with their edge values (several megabytes in the (max) columns, datetime
// offsets across the day, time to the 100 ns, xml with non-Latin text)
// through isql at TDS 7.4, 7.3 and 7.2, and through tsql; the TDS 7.1
// downgrade (nvarchar(max) as ntext, whole as far as TEXTSIZE allows); TLS
// inside the pre-login with a private freetds.conf (FREETDSCONF).

#include "ConformanceTools.h"
#include "TestServer.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList k2019 = {QStringLiteral("--version"), QStringLiteral("2019")};

QStringList dataLines(const QString &out)
{
    QStringList rows;
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (!line.isEmpty() && line[0].isDigit())
            rows.append(line);
    return rows;
}

// A self-signed certificate for 127.0.0.1 and localhost, made with openssl.
bool makeCertificate(const QString &dir, const QString &name)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", dir + "/" + name + ".key", "-out",
                   dir + "/" + name + ".pem", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                   "subjectAltName=IP:127.0.0.1,DNS:localhost"});
    return openssl.waitForFinished(60000) && openssl.exitCode() == 0;
}

// tsql through a freetds.conf of its own; the TDSDUMP log tells what the pre-login agreed.
struct TsqlRun {
    Run run;
    QString dump;
};

TsqlRun tsqlWithConf(const QString &dir, int port, const QString &encryption, const QString &caFile, const QByteArray &input)
{
    QFile conf(dir + "/freetds.conf");
    conf.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray text = "[srv]\n\thost = 127.0.0.1\n\tport = " + QByteArray::number(port) + "\n\ttds version = 7.4\n\tencryption = "
                      + encryption.toLatin1() + "\n";
    if (!caFile.isEmpty())
        text += "\tca file = " + caFile.toLatin1() + "\n";
    conf.write(text);
    conf.close();
    QFile::remove(dir + "/dump.log");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FREETDSCONF"), dir + "/freetds.conf");
    env.insert(QStringLiteral("TDSDUMP"), dir + "/dump.log");
    TsqlRun r;
    r.run = runTool(QStringLiteral("tsql"), {"-S", "srv", "-U", TestServer::login, "-P", TestServer::password}, input, env);
    QFile dump(dir + "/dump.log");
    if (dump.open(QIODevice::ReadOnly))
        r.dump = QString::fromUtf8(dump.readAll());
    return r;
}

} // namespace

class ConformanceModernTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void modernTypes_data();
    void modernTypes();
    void tsqlReadsTheNewTypes();
    void tds71SeesNtext();
    void tls_data();
    void tls();

private:
    QTemporaryDir m_dir;
};

void ConformanceModernTest::initTestCase()
{
    QVERIFY(makeCertificate(m_dir.path(), QStringLiteral("server")));
    QVERIFY(makeCertificate(m_dir.path(), QStringLiteral("other")));
}

void ConformanceModernTest::modernTypes_data()
{
    QTest::addColumn<QString>("tdsVersion");
    QTest::newRow("7.4") << QStringLiteral("7.4");
    QTest::newRow("7.3") << QStringLiteral("7.3");
    QTest::newRow("7.2: dates as text") << QStringLiteral("7.2");
}

void ConformanceModernTest::modernTypes()
{
    QFETCH(QString, tdsVersion);
    TestServer server(k2019);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    const QByteArray tds = tdsVersion.toLatin1();
    const QByteArray setup = "CREATE DATABASE Conformance\nUSE Conformance\n" + statementsOf(QStringLiteral(QUORVANE_CONFORMANCE_DIR "/modern.sql"));
    const Run created = isql(server.port(), setup, TestServer::password, tds.constData());
    QVERIFY2(created.exitCode == 0 && !created.out.contains(QLatin1String("ERROR")), qPrintable(created.out.left(2000)));

    // The CLR types as their binary form, as FreeTDS's ODBC driver cannot fetch a UDT as text.
    const Run selected = isql(server.port(),
        "USE Conformance\nSET TEXTSIZE 2147483647\nSELECT id, d, t, t0, d2, o, vm, nm, bm, x, CAST(h AS varbinary(max)), "
        "CAST(g AS varbinary(max)) FROM Modern ORDER BY id\n", TestServer::password, tds.constData());
    QVERIFY2(selected.exitCode == 0, qPrintable(selected.out.left(2000)));
    const QStringList rows = dataLines(selected.out);
    // FreeTDS writes the native types itself (years without leading zeros);
    // before 7.3 they come as the server's text, which isql quotes.
    const bool text = tdsVersion == QLatin1String("7.2");
    const auto q = [&](const QString &s) { return text ? "\"" + s + "\"" : s; };
    const QStringList expected = {
        QStringLiteral("1") + QString(QLatin1Char('\t')).repeated(11),
        "2\t" + q(text ? "0001-01-01" : "1-01-01") + "\t" + q("00:00:00.0000000") + "\t" + q("00:00:00") + "\t" +
            q(text ? "0001-01-01 00:00:00.0000000" : "1-01-01 00:00:00.0000000") + "\t" +
            q(text ? "0001-01-01 00:00:00.0000000 -14:00" : "1-01-01 00:00:00.0000000 -14:00") +
            "\t\"\"\t\"\"\t\t<a/>\t\te6100000010c0000000000004e400000000000003e40",
        "3\t" + q("9999-12-31") + "\t" + q("23:59:59.9999999") + "\t" + q("23:59:59") + "\t" + q("9999-12-31 23:59:59.9999999") +
            "\t" + q("9999-12-31 23:59:59.9999999 +14:00") + "\t\"" + QString(3000000, QLatin1Char('x')) + "\"\t\"" +
            QStringLiteral("я😀").repeated(1000000) + "\"\t" + QStringLiteral("62").repeated(2500000) +
            "\t<r a=\"атрибут\">Ёлка 中文 &amp; 😀</r>\t5ac0\t",
        "4\t" + q("2004-03-01") + "\t" + q("10:11:12.0000001") + "\t" + q("10:11:12") + "\t" + q("2004-03-01 10:11:12.1234567") +
            "\t" + q("2004-03-01 10:11:12.1234567 +03:00") + "\t\"Привет\"\t\"Ёлка\"\t00ff\t<b/>\t\t",
        "5\t" + q("2004-03-01") + "\t" + q("00:00:00.0000001") + "\t" + q("00:00:01") + "\t" + q("2004-03-01 23:59:59.9999999") +
            "\t" + q("2004-03-01 01:00:00.0000000 -03:30") + "\t\t\t\t\t\t",
    };
    QCOMPARE(rows.size(), expected.size());
    for (int k = 0; k < rows.size(); ++k) {
        const QStringList got = rows[k].split(QLatin1Char('\t'));
        const QStringList want = expected[k].split(QLatin1Char('\t'));
        QCOMPARE(got.size(), want.size());
        for (int c = 0; c < got.size(); ++c)
            QVERIFY2(got[c] == want[c], qPrintable(QStringLiteral("row %1 column %2: got [%3], want [%4]")
                                                       .arg(k + 1).arg(c).arg(got[c].left(200), want[c].left(200))));
    }
}

void ConformanceModernTest::tsqlReadsTheNewTypes()
{
    TestServer server(k2019);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    const QByteArray setup = statementsOf(QStringLiteral(QUORVANE_CONFORMANCE_DIR "/modern.sql")).replace("\n", "\ngo\n");
    const Run r = runTool(QStringLiteral("tsql"),
                          {"-H", "127.0.0.1", "-p", QString::number(server.port()), "-U", TestServer::login, "-P", TestServer::password},
                          setup + "SET TEXTSIZE 2147483647\nSELECT id, x, LEN(nm), CONVERT(varchar(40), o, 121), DATALENGTH(bm) FROM Modern\n"
                                  "WHERE id IN (3, 5)\ngo\nexit\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.out.left(2000)));
    QVERIFY2(r.out.contains(QStringLiteral("3\t<r a=\"атрибут\">Ёлка 中文 &amp; 😀</r>\t3000000\t9999-12-31 23:59:59.9999999 +14:00\t2500000")),
             qPrintable(r.out.right(2000)));
    QVERIFY2(r.out.contains(QStringLiteral("5\tNULL\tNULL\t2004-03-01 01:00:00.0000000 -03:30\tNULL")), qPrintable(r.out.right(2000)));
}

void ConformanceModernTest::tds71SeesNtext()
{
    TestServer server(k2019);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    const QByteArray make = "CREATE TABLE Big (n nvarchar(max), x xml, d datetimeoffset(2))\n"
                            "INSERT INTO Big VALUES (REPLICATE(CAST(N'ж' AS nvarchar(max)), 100000), N'<a>ж</a>', '2004-03-01 10:00 +03:00')\n";
    QCOMPARE(isql(server.port(), make, TestServer::password, "7.4").exitCode, 0);
    // SQL Server's session default TEXTSIZE (4,096 bytes) cuts an ntext to 2,048 characters; raised, the whole value arrives.
    const Run cut = isql(server.port(), "SELECT n FROM Big\n", TestServer::password, "7.1");
    const Run whole = isql(server.port(), "SET TEXTSIZE 2147483647\nSELECT n, x, d FROM Big\n", TestServer::password, "7.1");
    QCOMPARE(cut.exitCode, 0);
    QCOMPARE(whole.exitCode, 0);
    QVERIFY2(cut.out.contains("\"" + QString(2048, QChar(0x436)) + "\"\n"), qPrintable(cut.out.left(300)));
    QVERIFY2(whole.out.contains("\"" + QString(100000, QChar(0x436)) + "\"\t\"<a>ж</a>\"\t\"2004-03-01 10:00:00.00 +03:00\""),
             qPrintable(whole.out.left(300)));
}

void ConformanceModernTest::tls_data()
{
    QTest::addColumn<QStringList>("serverArgs");
    QTest::addColumn<QString>("encryption");  // freetds.conf
    QTest::addColumn<QString>("caFile");      // "server", "other" or none
    QTest::addColumn<int>("agreed");          // the pre-login's answer FreeTDS logs; -1: no login
    QTest::addColumn<bool>("works");
    const QStringList tls = {"--tls-cert", "server.pem", "--tls-key", "server.key"};
    QTest::newRow("require: whole connection") << tls << "require" << QString() << 1 << true;
    QTest::newRow("request: login only") << tls << "request" << QString() << 0 << true;
    QTest::newRow("off: plain") << tls << "off" << QString() << 2 << true;
    QTest::newRow("no certificate, require: refused by the client") << QStringList() << "require" << QString() << 2 << false;
    QTest::newRow("forced, request: whole connection") << tls + QStringList{"--force-encryption"} << "request" << QString() << 1 << true;
    QTest::newRow("forced, off: refused") << tls + QStringList{"--force-encryption"} << "off" << QString() << 3 << false;
    QTest::newRow("trusted certificate") << tls << "require" << "server" << 1 << true;
    QTest::newRow("untrusted certificate refused") << tls << "require" << "other" << 1 << false;
}

void ConformanceModernTest::tls()
{
    QFETCH(QStringList, serverArgs);
    QFETCH(QString, encryption);
    QFETCH(QString, caFile);
    QFETCH(int, agreed);
    QFETCH(bool, works);
    for (QString &a : serverArgs)
        if (a.endsWith(QLatin1String(".pem")) || a.endsWith(QLatin1String(".key")))
            a = m_dir.filePath(a);
    TestServer server(k2019 + serverArgs);
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    QTemporaryDir dir;
    const TsqlRun r = tsqlWithConf(dir.path(), server.port(), encryption, caFile.isEmpty() ? QString() : m_dir.filePath(caFile + ".pem"),
                                   "SELECT 'through' + ' TLS'\ngo\nexit\n");
    QVERIFY2(r.dump.contains(QStringLiteral("detected crypt flag %1").arg(agreed)), qPrintable(r.dump.right(1500)));
    QCOMPARE(r.run.out.contains(QLatin1String("through TLS")), works);
    if (works)
        QVERIFY2(r.run.exitCode == 0, qPrintable(r.run.out));
}

QTEST_GUILESS_MAIN(ConformanceModernTest)
#include "tst_conformance_modern.moc"
