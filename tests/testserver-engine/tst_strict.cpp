// Rules of SQL Server that the test server enforces as strictly as the real
// one: TEXTSIZE, identifier lengths, comparisons of text, name binding,
// comments, NULLs, collations, sql_variant, WAITFOR, temporary tables.

#include "EngineFixture.h"

#include <QtTest>

namespace {

QString repeated(const QString &unit, int times)
{
    return unit.repeated(times);
}

} // namespace

class TestStrict : public QObject {
    Q_OBJECT

private slots:
    void textSize_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("value");
        const QString a5000 = repeated("a", 5000);
        QTest::newRow("text default 4096") << "" << "SELECT t FROM L" << repeated("a", 4096);
        QTest::newRow("ntext default 2048 characters") << "" << "SELECT n FROM L" << repeated("ж", 2048);
        QTest::newRow("image default 4096 bytes") << "" << "SELECT i FROM L" << "0x" + repeated("AB", 4096);
        QTest::newRow("text 10") << "SET TEXTSIZE 10" << "SELECT t FROM L" << repeated("a", 10);
        QTest::newRow("ntext 10 bytes") << "SET TEXTSIZE 10" << "SELECT n FROM L" << repeated("ж", 5);
        QTest::newRow("ntext odd bytes") << "SET TEXTSIZE 11" << "SELECT n FROM L" << repeated("ж", 5);
        QTest::newRow("ntext keeps a pair whole") << "SET TEXTSIZE 6" << "SELECT n FROM P" << "ab";
        QTest::newRow("ntext pair fits") << "SET TEXTSIZE 8" << "SELECT n FROM P" << "ab😀";
        QTest::newRow("image 3") << "SET TEXTSIZE 3" << "SELECT i FROM L" << "0xABABAB";
        QTest::newRow("0 is the default") << "SET TEXTSIZE 10\nSET TEXTSIZE 0" << "SELECT t FROM L" << repeated("a", 4096);
        QTest::newRow("-1 is no limit") << "SET TEXTSIZE -1" << "SELECT t FROM L" << a5000;
        QTest::newRow("maximum") << "set textsize 2147483647" << "SELECT t FROM L" << a5000;
        QTest::newRow("order by path") << "SET TEXTSIZE 2" << "SELECT t FROM L ORDER BY k" << "aa";
        QTest::newRow("conversion result") << "SET TEXTSIZE 3" << "SELECT CONVERT(text, 'abcdef')" << "abc";
        QTest::newRow("varchar not cut") << "" << "SELECT CONVERT(varchar(8000), t) FROM L" << a5000;
        QTest::newRow("datalength of the stored value") << "" << "SELECT DATALENGTH(t) FROM L" << "5000";
        QTest::newRow("writing keeps it whole") << "SET TEXTSIZE 5\nINSERT INTO L(k, t) SELECT 2, t FROM L"
                                                << "SELECT DATALENGTH(t) FROM L WHERE k = 2" << "5000";
        QTest::newRow("@@TEXTSIZE default") << "" << "SELECT @@TEXTSIZE" << "4096";
        QTest::newRow("@@TEXTSIZE set") << "SET TEXTSIZE 100" << "SELECT @@TEXTSIZE" << "100";
        QTest::newRow("@@TEXTSIZE reset") << "SET TEXTSIZE 100\nSET TEXTSIZE 0" << "SELECT @@TEXTSIZE" << "4096";
    }
    void textSize()
    {
        QFETCH(QString, settings);
        QFETCH(QString, query);
        QFETCH(QString, value);
        EngineFixture f;
        const Recorded setup = f.run("CREATE TABLE L (k int, t text NULL, n ntext NULL, i image NULL)\n"
                                     "INSERT INTO L VALUES(1, '" + repeated("a", 5000) + "', N'" + repeated("ж", 3000) +
                                     "', 0x" + repeated("AB", 5000) + ")\n"
                                     "CREATE TABLE P (n ntext)\nINSERT INTO P VALUES(N'ab😀c')");
        QCOMPARE(setup.errors(), QStringList());
        if (!settings.isEmpty())
            QCOMPARE(f.run(settings).errors(), QStringList());
        const Recorded r = f.run(query);
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows().value(0), value);
    }

    void waitFor_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<long long>("ms");
        QTest::newRow("seconds") << "WAITFOR DELAY '00:00:05'" << 5000LL;
        QTest::newRow("hours and milliseconds") << "waitfor delay '01:02:03.250'" << 3723250LL;
        QTest::newRow("hours and minutes") << "WAITFOR DELAY N'00:01'" << 60000LL;
        QTest::newRow("fraction") << "WAITFOR DELAY '00:00:00.5'" << 500LL;
    }
    void waitFor()
    {
        QFETCH(QString, sql);
        QFETCH(long long, ms);
        EngineFixture f;
        const Recorded r = f.run(sql);
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.waits, std::vector<long long>{ms});
        QCOMPARE(r.events, QStringList({"wait", "end:-"}));
    }

    void waitForTimeIsWithinADay()
    {
        EngineFixture f;
        const Recorded r = f.run("WAITFOR TIME '12:00'");
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.waits.size(), std::size_t(1));
        QVERIFY(r.waits[0] > 0 && r.waits[0] <= 24LL * 3600 * 1000);
    }

    void waitForRefused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("error");
        QTest::newRow("hours over 23") << "WAITFOR DELAY '24:00:00'"
                                       << "148: Incorrect time syntax in time string '24:00:00' used with WAITFOR.";
        QTest::newRow("not a time") << "WAITFOR DELAY 'soon'" << "148: Incorrect time syntax in time string 'soon' used with WAITFOR.";
        QTest::newRow("a date") << "WAITFOR DELAY '2004-03-01'"
                                << "148: Incorrect time syntax in time string '2004-03-01' used with WAITFOR.";
        QTest::newRow("a number") << "WAITFOR DELAY 5" << "102: Incorrect syntax near '5'.";
        QTest::newRow("no kind") << "WAITFOR '00:00:01'" << "102: Incorrect syntax near '00:00:01'.";
    }
    void waitForRefused()
    {
        QFETCH(QString, sql);
        QFETCH(QString, error);
        EngineFixture f;
        f.run("CREATE TABLE c (a int)");
        // A compile error: nothing of the batch runs.
        const Recorded r = f.run("INSERT INTO c VALUES(1)\n" + sql);
        QCOMPARE(r.errors(), QStringList({error}));
        QCOMPARE(int(r.messages[0].severity), 15);
        QVERIFY(r.waits.empty());
        QCOMPARE(f.query("SELECT COUNT(*) FROM c"), QStringList({"0"}));
    }

    void cancelledWaitEndsTheBatch()
    {
        EngineFixture f;
        f.run("CREATE TABLE c (a int)");
        Recorded r;
        RecordingSink sink(r);
        sink.cancelWaits = true;
        f.engine().executeBatch(f.session(), "SELECT 1\nWAITFOR DELAY '00:00:30'\nINSERT INTO c VALUES(1)", sink);
        QCOMPARE(r.events, QStringList({"result", "row", "end:1", "wait"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM c"), QStringList({"0"}));
        QCOMPARE(f.run("SELECT 2").rows(), QStringList({"2"})); // the session lives on
    }
};

QTEST_GUILESS_MAIN(TestStrict)
#include "tst_strict.moc"
