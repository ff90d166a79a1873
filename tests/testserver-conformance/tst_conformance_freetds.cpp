// FreeTDS (unixODBC isql with the FreeTDS driver, and tsql) against the test
// server: every catalogue type round-trips with its edge values, logins fail
// with SQL Server's message, the demo database answers.

#include "ConformanceTools.h"
#include "TestServer.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

class ConformanceFreeTdsTest : public QObject {
    Q_OBJECT
private slots:
    void allTypesRoundTrip_data();
    void allTypesRoundTrip();
    void wrongPasswordRefused();
    void demoDatabaseWithTsql();
};

void ConformanceFreeTdsTest::allTypesRoundTrip_data()
{
    QTest::addColumn<QString>("tdsVersion");
    QTest::newRow("7.1") << QStringLiteral("7.1");
    QTest::newRow("7.4") << QStringLiteral("7.4");
}

void ConformanceFreeTdsTest::allTypesRoundTrip()
{
    QFETCH(QString, tdsVersion);
    TestServer server;
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    const QByteArray tds = tdsVersion.toLatin1();
    const QByteArray setup = "CREATE DATABASE Conformance\nUSE Conformance\n"
                             + statementsOf(QStringLiteral(QUORVANE_CONFORMANCE_DIR "/alltypes.sql"));
    QVERIFY(!setup.isEmpty());
    // One connection: USE carries over to the statements after it.
    const Run created = isql(server.port(), setup, TestServer::password, tds.constData());
    QVERIFY2(created.exitCode == 0 && !created.out.contains(QLatin1String("ERROR")), qPrintable(created.out));

    const Run selected = isql(server.port(),
        "USE Conformance\nSELECT id, c_bigint, c_int, c_smallint, c_tinyint, c_bit, c_decimal, c_numeric, c_money, "
        "c_smallmoney, c_float, c_real, c_datetime, c_smalldatetime, c_char, c_varchar, c_text, c_nchar, c_nvarchar, "
        "c_ntext, c_binary, c_varbinary, c_image, c_guid, c_variant FROM AllTypes ORDER BY id\n",
        TestServer::password, tds.constData());
    QVERIFY2(selected.exitCode == 0, qPrintable(selected.out));
    QStringList rows;
    for (const QString &line : selected.out.split(QLatin1Char('\n')))
        if (!line.isEmpty() && line[0].isDigit())
            rows.append(line);
    // FreeTDS's text forms: decimals with every scale digit, money with 4,
    // float %.17g, real %.9g, datetimes ISO, binary lower-case hex, GUIDs
    // upper case; -q quotes character columns, NULL is empty.
    const QStringList expected = {
        QStringLiteral("1") + QString(QLatin1Char('\t')).repeated(24),
        QStringLiteral("2\t-9223372036854775808\t-2147483648\t-32768\t0\t0\t-9999999999999999999999999999.9999999999\t"
                       "-9999999.99\t-922337203685477.5808\t-214748.3648\t-1.7976931348623157e+308\t-3.40282347e+38\t"
                       "1753-01-01 00:00:00.000\t1900-01-01 00:00:00\t\"          \"\t\"\"\t\"\"\t\"          \"\t\"\"\t\"\"\t"
                       "00000000\t00\t00\t00000000-0000-0000-0000-000000000000\tЖ"),
        QStringLiteral("3\t9223372036854775807\t2147483647\t32767\t255\t1\t9999999999999999999999999999.9999999999\t"
                       "9999999.99\t922337203685477.5807\t214748.3647\t1.7976931348623157e+308\t3.40282347e+38\t"
                       "9999-12-31 23:59:59.997\t2079-06-06 23:59:00\t\"O'Brien   \"\t\"Привет 'мир'\"\t"
                       "\"текст \"в кавычках\"\"\t\"日本語       \"\t\"Привет 日本 'q'\"\t\"Ёлка 中文\"\t"
                       "00010203\t000100ff00\t00ff00\t6F9619FF-8B86-D011-B42D-00C04FC964FF\tПривет"),
        QStringLiteral("4\t0\t-1\t1\t1\t1\t-1.5000000000\t0.50\t-12.3400\t0.0001\t0.10000000000000001\t0.5\t"
                       "2004-03-01 10:00:00.123\t2004-03-01 10:00:00\t\"abc       \"\t\"??\"\t\"Ы\"\t\"Ж         \"\t"
                       "\"x\"\t\"y\"\t01020000\t\t\t01234567-89AB-CDEF-0123-456789ABCDEF\tx"),
    };
    QCOMPARE(rows.size(), expected.size());
    for (int k = 0; k < rows.size(); ++k) {
        const QStringList got = rows[k].split(QLatin1Char('\t'));
        const QStringList want = expected[k].split(QLatin1Char('\t'));
        QCOMPARE(got.size(), want.size());
        for (int c = 0; c < got.size(); ++c)
            QVERIFY2(got[c] == want[c], qPrintable(QStringLiteral("row %1 column %2: got [%3], want [%4]")
                                                       .arg(k + 1).arg(c).arg(got[c], want[c])));
    }
}

void ConformanceFreeTdsTest::wrongPasswordRefused()
{
    TestServer server;
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    const Run r = isql(server.port(), "SELECT 1\n", "wrong");
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.out.contains(QLatin1String("Login failed for user 'sa'.")), qPrintable(r.out));
}

void ConformanceFreeTdsTest::demoDatabaseWithTsql()
{
    TestServer server({QStringLiteral("--demo")});
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    const Run r = runTool(QStringLiteral("tsql"),
                          {QStringLiteral("-H"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                           QString::number(server.port()), QStringLiteral("-U"), QLatin1String(TestServer::login),
                           QStringLiteral("-P"), QLatin1String(TestServer::password)},
                          "USE Shop\ngo\nSELECT * FROM Goods\ngo\nexit\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.out));
    QVERIFY2(r.out.contains(QLatin1String("Tea")), qPrintable(r.out));
    QVERIFY2(r.out.contains(QLatin1String("(2 rows affected)")), qPrintable(r.out));
}

QTEST_GUILESS_MAIN(ConformanceFreeTdsTest)
#include "tst_conformance_freetds.moc"
