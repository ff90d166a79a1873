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
    void refused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("compile"); // refused before anything of the batch runs
        const QString a129 = repeated("a", 129), a128 = repeated("a", 128);
        const QString tooLong = "103: The identifier that starts with '" + a128 + "' is too long. Maximum length is 128.";
        QTest::newRow("103 table") << "CREATE TABLE " + a129 + " (x int)" << tooLong << true;
        QTest::newRow("103 bracketed column") << "CREATE TABLE t ([" + a129 + "] int)" << tooLong << true;
        QTest::newRow("103 table variable column") << "DECLARE @v TABLE (" + a129 + " int)" << tooLong << true;
        QTest::newRow("103 quoted alias") << "SELECT 1 AS \"" + a129 + "\"" << tooLong << true;
        QTest::newRow("103 variable") << "DECLARE @" + a128 + " TABLE (x int)"
                                      << "103: The identifier that starts with '@" + repeated("a", 127) + "' is too long. Maximum length is 128."
                                      << true;
        QTest::newRow("103 counts characters, not bytes") << "SELECT 1 AS [" + repeated("ж", 129) + "]"
                                                          << "103: The identifier that starts with '" + repeated("ж", 128) +
                                                                 "' is too long. Maximum length is 128." << true;
        QTest::newRow("113 unclosed") << "SELECT 1 /* open" << "113: Missing end comment mark '*/'." << true;
        QTest::newRow("113 nested left open") << "/* header /* [Order /* Lines] */\nSELECT 1" << "113: Missing end comment mark '*/'." << true;
        const QString lobs = "CREATE TABLE L (t text, n ntext, i image, v varchar(10))\n";
        const QString noCompare = "306: The text, ntext, and image data types cannot be compared or sorted, except when using IS NULL or LIKE operator.";
        QTest::newRow("306 text =") << lobs + "SELECT * FROM L WHERE t = 'a'" << noCompare << false;
        QTest::newRow("306 ntext <>") << lobs + "SELECT * FROM L WHERE n <> N'a'" << noCompare << false;
        QTest::newRow("306 image =") << lobs + "SELECT * FROM L WHERE i = 0x00" << noCompare << false;
        QTest::newRow("306 text with varchar") << lobs + "SELECT * FROM L WHERE v < t" << noCompare << false;
        QTest::newRow("306 in") << lobs + "SELECT * FROM L WHERE t IN ('a')" << noCompare << false;
        QTest::newRow("306 between") << lobs + "SELECT * FROM L WHERE t BETWEEN 'a' AND 'b'" << noCompare << false;
        QTest::newRow("306 order by") << lobs + "SELECT t FROM L ORDER BY t" << noCompare << false;
        QTest::newRow("306 order by position") << lobs + "SELECT n FROM L ORDER BY 1" << noCompare << false;
        QTest::newRow("306 key match") << lobs + "DECLARE @v TABLE (t1 text)\nUPDATE L SET v = 'x' FROM @v AS T WHERE t = T.t1"
                                       << noCompare << false;
        QTest::newRow("8163 distinct") << lobs + "SELECT DISTINCT t FROM L"
                                       << "8163: The text, ntext, or image data type cannot be selected as DISTINCT." << false;
        QTest::newRow("279 max") << lobs + "SELECT MAX(t) FROM L"
                                 << "279: The text, ntext, and image data types are invalid in this subquery or aggregate expression." << false;
        QTest::newRow("209 key column next to a carried one")
            << "CREATE TABLE t (k int, k1 int, a int)\nDECLARE @v TABLE (k1 int, a1 int)\n"
               "UPDATE t SET a = X.a1 FROM @v AS X WHERE (k = X.k1) AND (k1 = 1)" << "209: Ambiguous column name 'k1'." << false;
        QTest::newRow("209 in SET") << "CREATE TABLE t (k int, a int)\nDECLARE @v TABLE (k int, a int)\nUPDATE t SET a = a FROM @v AS X"
                                    << "209: Ambiguous column name 'a'." << false;
        QTest::newRow("207 target bound to the table variable")
            << "CREATE TABLE T (k int, a int)\nDECLARE @TTempTable TABLE (k1 int, a1 int)\n"
               "UPDATE T SET a = T.a1 FROM @TTempTable AS T WHERE (k = T.k1)" << "207: Invalid column name 'a'." << false;
        QTest::newRow("207 delete bound to the table variable")
            << "CREATE TABLE T (k int, a int)\nDECLARE @v TABLE (k1 int)\nDELETE T FROM @v AS T WHERE k = 1"
            << "207: Invalid column name 'k'." << false;
    }
    void refused()
    {
        QFETCH(QString, sql);
        QFETCH(QString, error);
        QFETCH(bool, compile);
        EngineFixture f;
        f.run("CREATE TABLE done (a int)");
        const Recorded r = f.run("INSERT INTO done VALUES(1)\n" + sql);
        QCOMPARE(r.errors(), QStringList({error}));
        const int number = error.section(':', 0, 0).toInt();
        QCOMPARE(int(r.messages.back().severity), number == 103 || number == 113 ? 15 : 16);
        QVERIFY(r.ends.back().error);
        if (compile)
            QCOMPARE(f.query("SELECT COUNT(*) FROM done"), QStringList({"0"}));
    }

    void accepted_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        const QString a128 = repeated("a", 128);
        QTest::newRow("names of 128 characters") << "CREATE TABLE " + a128 + " ([" + repeated("ж", 128) + "] int)\nINSERT INTO " + a128 +
                                                        " VALUES(5)\nDECLARE @" + repeated("v", 127) + " TABLE (x int)\nSELECT * FROM " + a128
                                                 << QStringList({"5"});
        QTest::newRow("nested comments close") << "/* a /* b */ c */ SELECT 1" << QStringList({"1"});
        QTest::newRow("comment mark in a line comment") << "-- /* not opened\nSELECT 2" << QStringList({"2"});
        QTest::newRow("line comment mark in a block") << "/* -- */ SELECT 3" << QStringList({"3"});
        QTest::newRow("quote in a comment") << "/* O'Brien */ SELECT 4" << QStringList({"4"});
        QTest::newRow("comment marks in a literal") << "SELECT 'a/*b', N'*/'" << QStringList({"a/*b|*/"});
        QTest::newRow("continuation LF") << "SELECT 'a\\\nb'" << QStringList({"ab"});
        QTest::newRow("continuation CR LF") << "SELECT N'a\\\r\nb'" << QStringList({"ab"});
        QTest::newRow("no continuation after CR alone") << "SELECT 'a\\\rb'" << QStringList({"a\\\rb"});
        QTest::newRow("no continuation with a blank between") << "SELECT 'a\\ \nb'" << QStringList({"a\\ \nb"});
        QTest::newRow("backslash elsewhere kept") << "SELECT 'a\\\\b\\'" << QStringList({"a\\\\b\\"});
        QTest::newRow("binary continuation") << "SELECT 0xabc\\\ndef, 0x01\\\r\n02" << QStringList({"0xABCDEF|0x0102"});
        QTest::newRow("continuation counts the line")
            << "SELECT 'a\\\nb'\nSELECT 1/0" << QStringList({"ab"});
    }
    void accepted()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        EngineFixture f;
        const Recorded r = f.run(sql);
        if (QTest::currentDataTag() == QByteArray("continuation counts the line")) {
            QCOMPARE(r.firstError(), 8134);
            QCOMPARE(r.messages[0].line, 3);
        } else {
            QCOMPARE(r.errors(), QStringList());
        }
        QCOMPARE(r.rows(), rows);
    }

    void nullsNeverEqual_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("= NULL") << "SELECT v FROM n WHERE k = NULL" << QStringList();
        QTest::newRow("<> skips NULL") << "SELECT v FROM n WHERE k <> 2" << QStringList({"2"});
        QTest::newRow("NOT of unknown") << "SELECT v FROM n WHERE NOT (k = 1)" << QStringList();
        QTest::newRow("IN with NULL") << "SELECT v FROM n WHERE k IN (1, NULL)" << QStringList({"2"});
        QTest::newRow("NOT IN with NULL") << "SELECT v FROM n WHERE k NOT IN (2, NULL)" << QStringList();
        QTest::newRow("IS NULL") << "SELECT v FROM n WHERE k IS NULL" << QStringList({"1"});
        QTest::newRow("NOT EXISTS inserts a NULL key again")
            << "DECLARE @s TABLE (k int NULL, v int)\nINSERT INTO @s VALUES(NULL, 1)\n"
               "INSERT INTO n SELECT k, v FROM @s AS S WHERE NOT EXISTS(SELECT * FROM n WHERE n.k = S.k)\nSELECT v FROM n ORDER BY v"
            << QStringList({"1", "1", "2"});
        QTest::newRow("NULL-safe NOT EXISTS")
            << "DECLARE @s TABLE (k int NULL, v int)\nINSERT INTO @s VALUES(NULL, 1)\n"
               "INSERT INTO n SELECT k, v FROM @s AS S WHERE NOT EXISTS(SELECT * FROM n WHERE (n.k = S.k OR (n.k IS NULL AND S.k IS NULL)))\n"
               "SELECT v FROM n ORDER BY v"
            << QStringList({"1", "2"});
        QTest::newRow("UPDATE FROM never matches NULL keys")
            << "DECLARE @s TABLE (k int NULL, v int)\nINSERT INTO @s VALUES(NULL, 9)\nUPDATE n SET v = S.v FROM @s AS S WHERE n.k = S.k\n"
               "SELECT v FROM n ORDER BY v"
            << QStringList({"1", "2"});
        QTest::newRow("NULL-safe UPDATE FROM")
            << "DECLARE @s TABLE (k int NULL, v int)\nINSERT INTO @s VALUES(NULL, 9)\n"
               "UPDATE n SET v = S.v FROM @s AS S WHERE (n.k = S.k OR (n.k IS NULL AND S.k IS NULL))\nSELECT v FROM n ORDER BY v"
            << QStringList({"2", "9"});
    }
    void nullsNeverEqual()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        EngineFixture f;
        QCOMPARE(f.run("CREATE TABLE n (k int NULL, v int)\nINSERT INTO n VALUES(NULL, 1)\nINSERT INTO n VALUES(1, 2)").errors(), QStringList());
        const Recorded r = f.run(sql);
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(r.results.size() - 1), rows);
    }

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

    void collations_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("rows");
        const QString cs = "CREATE TABLE s (a varchar(10) COLLATE Latin1_General_CS_AS, n nvarchar(10) COLLATE Latin1_General_CS_AS)\n"
                           "INSERT INTO s VALUES('abc', N'abc')\n";
        const QString ci = "CREATE TABLE c (a varchar(10), n nvarchar(10))\nINSERT INTO c VALUES('abc', N'abc')\n";
        QTest::newRow("CI column ignores case") << ci << "SELECT COUNT(*) FROM c WHERE a = 'ABC' AND n = N'ABC'" << QStringList({"1"});
        QTest::newRow("CS column minds case") << cs << "SELECT COUNT(*) FROM s WHERE a = 'ABC'" << QStringList({"0"});
        QTest::newRow("CS column, same case") << cs << "SELECT COUNT(*) FROM s WHERE a = 'abc' AND n = N'abc'" << QStringList({"1"});
        QTest::newRow("CS nvarchar") << cs << "SELECT COUNT(*) FROM s WHERE n = N'ABC'" << QStringList({"0"});
        QTest::newRow("BIN minds case") << "CREATE TABLE b (a nvarchar(5) COLLATE Cyrillic_General_BIN)\nINSERT INTO b VALUES(N'ж')"
                                        << "SELECT COUNT(*) FROM b WHERE a = N'Ж'" << QStringList({"0"});
        QTest::newRow("CS like") << cs << "SELECT COUNT(*) FROM s WHERE a LIKE 'A%'" << QStringList({"0"});
        QTest::newRow("CI like") << ci << "SELECT COUNT(*) FROM c WHERE a LIKE 'A%'" << QStringList({"1"});
        QTest::newRow("explicit COLLATE on a literal") << ci << "SELECT COUNT(*) FROM c WHERE a = 'ABC' COLLATE Cyrillic_General_CS_AS"
                                                       << QStringList({"0"});
        QTest::newRow("CS order: lower case first")
            << "CREATE TABLE o (a varchar(5) COLLATE Latin1_General_CS_AS)\nINSERT INTO o VALUES('B')\nINSERT INTO o VALUES('a')\n"
               "INSERT INTO o VALUES('A')\nINSERT INTO o VALUES('b')"
            << "SELECT a FROM o ORDER BY a" << QStringList({"a", "A", "b", "B"});
        QTest::newRow("CS key takes both cases")
            << "CREATE TABLE k (a varchar(5) COLLATE Latin1_General_CS_AS PRIMARY KEY)\nINSERT INTO k VALUES('a')\nINSERT INTO k VALUES('A')"
            << "SELECT COUNT(*) FROM k" << QStringList({"2"});
        QTest::newRow("Latin1 column loses Cyrillic")
            << "CREATE TABLE l (a varchar(10) COLLATE Latin1_General_CI_AS)\nINSERT INTO l VALUES(N'Жé')" << "SELECT a FROM l" << QStringList({"?é"});
        QTest::newRow("plain literal in a Cyrillic database")
            << "CREATE TABLE l (a varchar(10) COLLATE Latin1_General_CI_AS, n nvarchar(10))\nINSERT INTO l VALUES('Жé', 'Жé')"
            << "SELECT a, n FROM l" << QStringList({"??|Ж?"});
        QTest::newRow("Cyrillic column keeps Cyrillic") << ci + "UPDATE c SET a = N'Жé'" << "SELECT a FROM c" << QStringList({"Ж?"});
        QTest::newRow("Latin1 database") << "CREATE DATABASE L1 COLLATE SQL_Latin1_General_CP1_CI_AS\nUSE L1"
                                         << "SELECT 'Жé', N'Жé', DATABASEPROPERTYEX(N'L1', 'Collation'), DATABASEPROPERTYEX('master', 'Collation')"
                                         << QStringList({"?é|Жé|SQL_Latin1_General_CP1_CI_AS|Cyrillic_General_CI_AS"});
        QTest::newRow("Latin1 database's table variable")
            << "CREATE DATABASE L2 COLLATE Latin1_General_CS_AS\nUSE L2"
            << "DECLARE @v TABLE (a varchar(5))\nINSERT INTO @v VALUES('abc')\nSELECT COUNT(*) FROM @v WHERE a = 'ABC'" << QStringList({"0"});
        QTest::newRow("unknown database") << "" << "SELECT DATABASEPROPERTYEX(N'Nowhere', 'Collation')" << QStringList({"NULL"});
        QTest::newRow("server collation") << "" << "SELECT SERVERPROPERTY('Collation')" << QStringList({"Cyrillic_General_CI_AS"});
        QTest::newRow("syscolumns")
            << "CREATE TABLE x (k int NOT NULL, a varchar(5) COLLATE Latin1_General_BIN NULL, n nchar(2))"
            << "SELECT name, colid, collation, isnullable FROM syscolumns WHERE id = OBJECT_ID('x') ORDER BY colid"
            << QStringList({"k|1|NULL|0", "a|2|Latin1_General_BIN|1", "n|3|Cyrillic_General_CI_AS|1"});
        QTest::newRow("a stored collation survives reading the catalogue again")
            << "CREATE DATABASE R\nUSE R\nCREATE TABLE r (a varchar(5) COLLATE Latin1_General_CS_AS)\nUSE master\nDROP DATABASE R\n"
               "CREATE DATABASE R2\nUSE R2\nCREATE TABLE r (a varchar(5) COLLATE SQL_Latin1_General_CP1_CS_AS)"
            << "SELECT collation FROM syscolumns WHERE id = OBJECT_ID('r')" << QStringList({"SQL_Latin1_General_CP1_CS_AS"});
    }
    void collations()
    {
        QFETCH(QString, setup);
        QFETCH(QString, query);
        QFETCH(QStringList, rows);
        EngineFixture f;
        if (!setup.isEmpty())
            QCOMPARE(f.run(setup).errors(), QStringList());
        const Recorded r = f.run(query);
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(r.results.size() - 1), rows);
    }

    void collationsRefused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("error");
        const QString tables = "CREATE TABLE s (a varchar(10) COLLATE Latin1_General_CS_AS, k int)\n"
                               "CREATE TABLE c (a varchar(10), k int)\n";
        const QString conflict = "446: Cannot resolve collation conflict for equal to operation.";
        QTest::newRow("two columns") << tables + "SELECT * FROM s WHERE EXISTS(SELECT * FROM c WHERE c.a = s.a)" << conflict;
        QTest::newRow("table variable of the default")
            << tables + "DECLARE @v TABLE (a1 varchar(10))\nUPDATE s SET k = 1 FROM @v AS T WHERE a = T.a1" << conflict;
        QTest::newRow("not equal") << tables + "SELECT * FROM s WHERE EXISTS(SELECT * FROM c WHERE c.a <> s.a)"
                                   << "446: Cannot resolve collation conflict for not equal to operation.";
        QTest::newRow("like") << tables + "SELECT * FROM s WHERE EXISTS(SELECT * FROM c WHERE c.a LIKE s.a)"
                              << "446: Cannot resolve collation conflict for like operation.";
        QTest::newRow("concatenation compared")
            << tables + "SELECT * FROM s WHERE EXISTS(SELECT * FROM c WHERE c.a + s.a = 'x')" << conflict;
        QTest::newRow("two COLLATE clauses")
            << "SELECT 1 WHERE 'a' COLLATE Latin1_General_BIN = 'a' COLLATE Latin1_General_CS_AS"
            << "449: Collation conflict caused by collate clauses with different collation 'Latin1_General_BIN' and 'Latin1_General_CS_AS'.";
        QTest::newRow("unknown collation") << "CREATE TABLE u (a varchar(5) COLLATE Klingon_CI_AS)" << "448: Invalid collation 'Klingon_CI_AS'.";
        QTest::newRow("unknown database collation") << "CREATE DATABASE U COLLATE Klingon_CI_AS" << "448: Invalid collation 'Klingon_CI_AS'.";
        QTest::newRow("COLLATE on an int column") << "CREATE TABLE u (a int COLLATE Latin1_General_BIN)"
                                                  << "447: Expression type int is invalid for COLLATE clause.";
    }
    void collationsRefused()
    {
        QFETCH(QString, sql);
        QFETCH(QString, error);
        EngineFixture f;
        const Recorded r = f.run(sql);
        QCOMPARE(r.errors(), QStringList({error}));
    }

    void collationResolvedByColumnOrCollate_data()
    {
        QTest::addColumn<QString>("sql");
        const QString tables = "CREATE TABLE s (a varchar(10) COLLATE Latin1_General_CS_AS, k int)\n"
                               "CREATE TABLE c (a varchar(10), k int)\nINSERT INTO s VALUES('x', 1)\nINSERT INTO c VALUES('X', 2)\n";
        QTest::newRow("COLLATE on one side") << tables + "SELECT k FROM s WHERE EXISTS(SELECT * FROM c WHERE c.a = s.a COLLATE Cyrillic_General_CI_AS)";
        QTest::newRow("table variable declared alike")
            << tables + "DECLARE @v TABLE (a1 varchar(10) COLLATE Latin1_General_CS_AS)\nINSERT INTO @v VALUES('x')\n"
                        "SELECT k FROM s WHERE EXISTS(SELECT * FROM @v AS T WHERE s.a = T.a1)";
        QTest::newRow("a literal takes the column's") << tables + "SELECT k FROM s WHERE a = 'x'";
    }
    void collationResolvedByColumnOrCollate()
    {
        QFETCH(QString, sql);
        EngineFixture f;
        const Recorded r = f.run(sql);
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(r.results.size() - 1), QStringList({"1"}));
    }

    void variants_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("properties"); // BaseType|Precision|Scale|MaxLength|Collation|TotalBytes
        QTest::newRow("int") << "CAST(5 AS int)" << "int|10|0|4|NULL|6";
        QTest::newRow("int literal") << "5" << "int|10|0|4|NULL|6";
        QTest::newRow("bigint") << "CAST(5 AS bigint)" << "bigint|19|0|8|NULL|10";
        QTest::newRow("tinyint") << "CAST(5 AS tinyint)" << "tinyint|3|0|1|NULL|3";
        QTest::newRow("bit") << "CAST(1 AS bit)" << "bit|1|0|1|NULL|3";
        QTest::newRow("decimal") << "CAST(1.5 AS decimal(10,2))" << "decimal|10|2|9|NULL|13";
        QTest::newRow("numeric literal") << "12.345" << "numeric|5|3|5|NULL|9";
        QTest::newRow("money") << "CAST(1 AS money)" << "money|19|4|8|NULL|10";
        QTest::newRow("float") << "CAST(1 AS float)" << "float|53|0|8|NULL|10";
        QTest::newRow("real") << "CAST(1 AS real)" << "real|24|0|4|NULL|6";
        QTest::newRow("datetime") << "CAST('2004-03-01' AS datetime)" << "datetime|23|3|8|NULL|10";
        QTest::newRow("smalldatetime") << "CAST('2004-03-01' AS smalldatetime)" << "smalldatetime|16|0|4|NULL|6";
        QTest::newRow("varchar literal") << "'abc'" << "varchar|0|0|3|Cyrillic_General_CI_AS|12";
        QTest::newRow("nvarchar literal") << "N'abc'" << "nvarchar|0|0|6|Cyrillic_General_CI_AS|15";
        QTest::newRow("nvarchar(10)") << "CAST(N'x' AS nvarchar(10))" << "nvarchar|0|0|20|Cyrillic_General_CI_AS|11";
        QTest::newRow("char(4)") << "CAST('x' AS char(4))" << "char|0|0|4|Cyrillic_General_CI_AS|13";
        QTest::newRow("varbinary literal") << "0x0102" << "varbinary|0|0|2|NULL|6";
        QTest::newRow("uniqueidentifier") << "CAST('6F9619FF-8B86-D011-B42D-00C04FC964FF' AS uniqueidentifier)"
                                          << "uniqueidentifier|0|0|16|NULL|18";
        QTest::newRow("a column's collation")
            << "(SELECT a FROM t)" << "varchar|0|0|5|Latin1_General_CS_AS|10";
    }
    void variants()
    {
        QFETCH(QString, value);
        QFETCH(QString, properties);
        EngineFixture f;
        QCOMPARE(f.run("CREATE TABLE t (a varchar(5) COLLATE Latin1_General_CS_AS)\nINSERT INTO t VALUES('x')\n"
                       "CREATE TABLE v (id int, x sql_variant)").errors(), QStringList());
        const QString stored = value.startsWith('(') ? "INSERT INTO v SELECT 1, a FROM t" : "INSERT INTO v VALUES(1, " + value + ")";
        QCOMPARE(f.run(stored).errors(), QStringList());
        // Stored, read back, and copied through a table variable: the type travels.
        const Recorded r = f.run("DECLARE @c TABLE (x sql_variant)\nINSERT INTO @c SELECT x FROM v\n"
                                 "SELECT SQL_VARIANT_PROPERTY(x, 'BaseType'), SQL_VARIANT_PROPERTY(x, 'Precision'), "
                                 "SQL_VARIANT_PROPERTY(x, 'Scale'), SQL_VARIANT_PROPERTY(x, 'MaxLength'), "
                                 "SQL_VARIANT_PROPERTY(x, 'Collation'), SQL_VARIANT_PROPERTY(x, 'TotalBytes') FROM @c");
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(), QStringList({properties}));
    }

    void variantPropertyInWhere()
    {
        EngineFixture f;
        f.run("CREATE TABLE v (id int, x sql_variant)\nINSERT INTO v VALUES(1, 5)\nINSERT INTO v VALUES(2, 'five')\n"
              "INSERT INTO v VALUES(3, CAST(5 AS decimal(9,1)))\nINSERT INTO v VALUES(4, NULL)");
        QCOMPARE(f.query("SELECT id FROM v WHERE SQL_VARIANT_PROPERTY(x, 'BaseType') = 'int'"), QStringList({"1"}));
        QCOMPARE(f.query("SELECT id FROM v WHERE SQL_VARIANT_PROPERTY(x, 'BaseType') IN ('decimal', 'varchar') ORDER BY id"),
                 QStringList({"2", "3"}));
        QCOMPARE(f.query("SELECT id FROM v WHERE SQL_VARIANT_PROPERTY(x, 'BaseType') IS NULL"), QStringList({"4"}));
        QCOMPARE(f.query("SELECT SQL_VARIANT_PROPERTY(x, 'Nonsense') FROM v WHERE id = 1"), QStringList({"NULL"}));
        QCOMPARE(f.run("SELECT SQL_VARIANT_PROPERTY(x) FROM v").firstError(), 174);
    }

    void tempTablesBelongToTheirSession()
    {
        EngineFixture f;
        QCOMPARE(f.run("CREATE TABLE #t (Id int IDENTITY PRIMARY KEY, v nvarchar(10))\nINSERT INTO #t(v) VALUES(N'ж')").errors(), QStringList());
        // Later batches of the session see it and change it.
        QCOMPARE(f.run("INSERT INTO #t(v) VALUES(N'b')\nUPDATE #t SET v = N'c' WHERE Id = 2\nDELETE FROM #t WHERE Id = 1").errors(), QStringList());
        QCOMPARE(f.query("SELECT * FROM #t"), QStringList({"2|c"}));
        QCOMPARE(f.query("SELECT OBJECT_ID('tempdb..#t') IS NOT NULL, IDENT_CURRENT('tempdb..#t')"), QStringList({"1|2"}));
        QCOMPARE(f.run("CREATE TABLE #t (a int)").errors(),
                 QStringList({"2714: There is already an object named '#t' in the database."}));

        // Another session sees none of it, and may have a #t of its own.
        auto other = f.engine().openSession("sa", "");
        const auto runOther = [&](const char *sql) {
            Recorded r;
            RecordingSink sink(r);
            f.engine().executeBatch(*other, sql, sink);
            return r;
        };
        QCOMPARE(runOther("SELECT * FROM #t").errors(), QStringList({"208: Invalid object name '#t'."}));
        QCOMPARE(runOther("SELECT OBJECT_ID('tempdb..#t')").rows(), QStringList({"NULL"}));
        QCOMPARE(runOther("CREATE TABLE #t (x int)\nINSERT INTO #t VALUES(7)\nSELECT * FROM #t").rows(), QStringList({"7"}));
        other.reset(); // its tables go with it
        QCOMPARE(f.query("SELECT v FROM #t"), QStringList({"c"}));

        QCOMPARE(f.run("IF OBJECT_ID('tempdb..#t') IS NOT NULL DROP TABLE #t").errors(), QStringList());
        QCOMPARE(f.run("SELECT * FROM #t").errors(), QStringList({"208: Invalid object name '#t'."}));
        QCOMPARE(f.run("IF OBJECT_ID('tempdb..#t') IS NOT NULL DROP TABLE #t").errors(), QStringList());
        QCOMPARE(f.run("DROP TABLE #t").errors(),
                 QStringList({"3701: Cannot drop the table '#t', because it does not exist in the system catalog."}));
    }

    void tempTableCarriesADataScript()
    {
        // The batched form of a data script: rows kept in a #table across
        // batches, then merged with IDENTITY_INSERT.
        EngineFixture f;
        QCOMPARE(f.run("CREATE TABLE Goods (Id int IDENTITY PRIMARY KEY, Title nvarchar(50) NOT NULL)\n"
                       "INSERT INTO Goods(Title) VALUES(N'old')\nINSERT INTO Goods(Title) VALUES(N'gone')").errors(), QStringList());
        QCOMPARE(f.run("CREATE TABLE #Goods (Id1 int, Title1 nvarchar(50))\nINSERT INTO #Goods VALUES(1, N'new')").errors(), QStringList());
        QCOMPARE(f.run("INSERT INTO #Goods VALUES(5, N'added')").errors(), QStringList());
        const Recorded r = f.run("SET IDENTITY_INSERT Goods ON\n"
                                 "DELETE FROM Goods WHERE NOT EXISTS(SELECT * FROM #Goods AS T WHERE Goods.Id = T.Id1)\n"
                                 "UPDATE Goods SET Title = T.Title1 FROM #Goods AS T WHERE (Id = T.Id1)\n"
                                 "INSERT INTO Goods(Id, Title) SELECT Id1, Title1 FROM #Goods AS T WHERE NOT EXISTS(SELECT * FROM Goods WHERE Id = T.Id1)\n"
                                 "SET IDENTITY_INSERT Goods OFF\nDROP TABLE #Goods");
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(f.query("SELECT * FROM Goods"), QStringList({"1|new", "5|added"}));
    }

    void tempTableRules_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("error");
        QTest::newRow("identity insert") << "CREATE TABLE #i (Id int IDENTITY, v int)\nSET IDENTITY_INSERT #i ON\n"
                                            "INSERT INTO #i(Id, v) VALUES(10, 1)\nSET IDENTITY_INSERT #i OFF\nINSERT INTO #i(v) VALUES(2)\nSELECT * FROM #i"
                                         << QStringList({"10|1", "11|2"}) << "";
        QTest::newRow("identity insert refused when off") << "CREATE TABLE #i (Id int IDENTITY, v int)\nINSERT INTO #i(Id, v) VALUES(10, 1)"
                                                          << QStringList()
                                                          << "544: Cannot insert explicit value for identity column in table '#i' when IDENTITY_INSERT is set to OFF.";
        QTest::newRow("primary key") << "CREATE TABLE #k (a int PRIMARY KEY)\nINSERT INTO #k VALUES(1)\nINSERT INTO #k VALUES(1)"
                                     << QStringList() << "2627: Violation of PRIMARY KEY constraint";
        QTest::newRow("not null") << "CREATE TABLE #n (a int NOT NULL)\nINSERT INTO #n VALUES(NULL)" << QStringList()
                                  << "515: Cannot insert the value NULL into column 'a', table 'tempdb.dbo.#n'; column does not allow nulls. INSERT fails.";
        QTest::newRow("truncate") << "CREATE TABLE #t (Id int IDENTITY, v int)\nINSERT INTO #t(v) VALUES(1)\nTRUNCATE TABLE #t\n"
                                     "INSERT INTO #t(v) VALUES(2)\nSELECT * FROM #t"
                                  << QStringList({"1|2"}) << "";
        QTest::newRow("name of 117 characters") << "CREATE TABLE #" + repeated("t", 116) + " (a int)" << QStringList()
                                                << "193: The object or column name starting with '#" + repeated("t", 115) +
                                                       "' is too long. The maximum length is 116 characters.";
        QTest::newRow("tempdb's collation, not the database's")
            << "CREATE DATABASE Lat COLLATE Latin1_General_CS_AS\nUSE Lat\nCREATE TABLE x (a varchar(5))\nCREATE TABLE #t (a varchar(5))\n"
               "SELECT * FROM x WHERE EXISTS(SELECT * FROM #t WHERE #t.a = x.a)"
            << QStringList() << "446: Cannot resolve collation conflict for equal to operation.";
    }
    void tempTableRules()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, rows);
        QFETCH(QString, error);
        EngineFixture f;
        const Recorded r = f.run(sql);
        if (error.isEmpty()) {
            QCOMPARE(r.errors(), QStringList());
            QCOMPARE(r.rows(r.results.size() - 1), rows);
        } else {
            QCOMPARE(r.errors().size(), 1);
            QVERIFY2(r.errors()[0].startsWith(error), qPrintable(r.errors()[0]));
        }
    }

    void ifAndBlocks_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("true") << "IF 1 = 1 SELECT 1 ELSE SELECT 2" << QStringList({"result", "row:1", "end:1"});
        QTest::newRow("false") << "IF 1 = 2 SELECT 1 ELSE SELECT 2" << QStringList({"result", "row:2", "end:1"});
        QTest::newRow("unknown is not true") << "IF NULL = NULL SELECT 1 ELSE SELECT 2" << QStringList({"result", "row:2", "end:1"});
        QTest::newRow("false without else") << "IF 1 = 2 SELECT 1\nSELECT 3" << QStringList({"result", "row:3", "end:1"});
        QTest::newRow("exists") << "IF EXISTS(SELECT * FROM t WHERE a = 1) SELECT 4" << QStringList({"result", "row:4", "end:1"});
        QTest::newRow("not exists") << "IF NOT EXISTS(SELECT * FROM t WHERE a = 9) SELECT 5" << QStringList({"result", "row:5", "end:1"});
        QTest::newRow("block") << "IF 1 = 1 BEGIN SELECT 1; SELECT 2 END"
                               << QStringList({"result", "row:1", "end:1", "result", "row:2", "end:1"});
        QTest::newRow("else block") << "IF 1 = 2 BEGIN SELECT 1 END ELSE BEGIN SELECT 3 END" << QStringList({"result", "row:3", "end:1"});
        QTest::newRow("a statement error goes on in the block")
            << "BEGIN INSERT INTO t VALUES(1)\nSELECT 6 END"
            << QStringList({"msg:2627", "msg:3621", "end:error", "result", "row:6", "end:1"});
        QTest::newRow("a batch-ending error ends it all")
            << "BEGIN SELECT * FROM nope\nSELECT 6 END\nSELECT 7" << QStringList({"msg:208", "end:error"});
        QTest::newRow("the drivers' commit") << "IF @@TRANCOUNT > 0 COMMIT TRAN" << QStringList();
        QTest::newRow("empty block") << "BEGIN END" << QStringList({"msg:156", "end:error"});
        QTest::newRow("IF without a statement") << "IF 1 = 1" << QStringList({"msg:102", "end:error"});
    }
    void ifAndBlocks()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, events);
        EngineFixture f;
        f.run("CREATE TABLE t (a int PRIMARY KEY)\nINSERT INTO t VALUES(1)");
        const Recorded r = f.run(sql);
        QStringList seen;
        int rowIndex = 0;
        for (const QString &e : r.events) {
            if (e != "row") {
                seen << e;
                continue;
            }
            // Rows of one-column results in order.
            QStringList all;
            for (const auto &rs : r.results)
                all += rs.rows;
            seen << "row:" + all.value(rowIndex++);
        }
        QCOMPARE(seen, events);
    }
};

QTEST_GUILESS_MAIN(TestStrict)
#include "tst_strict.moc"
