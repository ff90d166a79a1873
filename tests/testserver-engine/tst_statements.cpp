// Statements against the engine: results, counts, errors and SQL Server's
// rules for what still runs after an error.

#include "EngineFixture.h"

#include <QtTest>

class TestStatements : public QObject {
    Q_OBJECT

private slots:
    void results_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("rows");
        const QString t = "CREATE TABLE t (Id int IDENTITY(1,1) PRIMARY KEY, Name varchar(20) NULL, Qty int NULL)\n"
                          "INSERT INTO t(Name, Qty) VALUES('b', 2)\nINSERT INTO t(Name, Qty) VALUES('A', 1)\n"
                          "INSERT INTO t(Name, Qty) VALUES(NULL, 3)\n";
        QTest::newRow("star") << t << "SELECT * FROM t" << QStringList({"1|b|2", "2|A|1", "3|NULL|3"});
        QTest::newRow("column list") << t << "SELECT Qty, [Name] FROM [t]" << QStringList({"2|b", "1|A", "3|NULL"});
        QTest::newRow("where and") << t << "SELECT Id FROM t WHERE Name = 'a' AND Qty = 1" << QStringList({"2"});
        QTest::newRow("case-insensitive") << t << "select NAME from T where name = 'B  '" << QStringList({"b"});
        QTest::newRow("null compares unknown") << t << "SELECT Id FROM t WHERE Name <> 'b'" << QStringList({"2"});
        QTest::newRow("is null") << t << "SELECT Id FROM t WHERE Name IS NULL" << QStringList({"3"});
        QTest::newRow("order by") << t << "SELECT Name FROM t ORDER BY Name" << QStringList({"NULL", "A", "b"});
        QTest::newRow("order by desc, position") << t << "SELECT Qty, Name FROM t ORDER BY 1 DESC" << QStringList({"3|NULL", "2|b", "1|A"});
        QTest::newRow("count") << t << "SELECT COUNT(*) FROM t" << QStringList({"3"});
        QTest::newRow("aggregates") << t << "SELECT COUNT(Name), MAX(Qty), MIN(Name), SUM(Qty) FROM t WHERE Id > 0" << QStringList({"2|3|A|6"});
        QTest::newRow("top") << t << "SELECT TOP 2 Id FROM t ORDER BY Id DESC" << QStringList({"3", "2"});
        QTest::newRow("constants") << "" << "SELECT 1, 'x', N'ю', 1.50, 0x0aff, NULL" << QStringList({"1|x|ю|1.50|0x0AFF|NULL"});
        QTest::newRow("alias forms") << "" << "SELECT a = 1, 2 AS b, 3 c" << QStringList({"1|2|3"});
        QTest::newRow("concatenation") << "" << "SELECT 'a' + CHAR(13) + CHAR(10) + 'b' + NCHAR(1105)" << QStringList({"a\r\nbё"});
        QTest::newRow("arithmetic") << "" << "SELECT 7 / 2, 7 % 3, 1.5 * 2, 2 + 3 * 4, -(5)" << QStringList({"3|1|3.0|14|-5"});
        QTest::newRow("delete where") << t + "DELETE FROM t WHERE Qty >= 2" << "SELECT Id FROM t" << QStringList({"2"});
        QTest::newRow("delete all") << t + "DELETE FROM t" << "SELECT COUNT(*) FROM t" << QStringList({"0"});
        QTest::newRow("update") << t + "UPDATE t SET Qty = Qty * 10, Name = 'z' WHERE Id <> 2" << "SELECT * FROM t"
                                << QStringList({"1|z|20", "2|A|1", "3|z|30"});
        QTest::newRow("in list, like, between") << t << "SELECT Id FROM t WHERE Id IN (1, 3) OR Name LIKE 'a%' OR Qty BETWEEN 10 AND 20"
                                                << QStringList({"1", "2", "3"});
        QTest::newRow("rows in key order")
            << "CREATE TABLE k (a varchar(5) NOT NULL PRIMARY KEY)\nINSERT INTO k VALUES('b')\nINSERT INTO k VALUES('C')\nINSERT INTO k VALUES('a')"
            << "SELECT * FROM k" << QStringList({"a", "b", "C"});
        QTest::newRow("computed column")
            << "CREATE TABLE c (p money, q int, total AS (p * q))\nINSERT INTO c(p, q) VALUES(2.5, 4)" << "SELECT total FROM c"
            << QStringList({"10.0000"});
        QTest::newRow("default") << "CREATE TABLE d (a int, b varchar(5) DEFAULT 'x')\nINSERT INTO d(a) VALUES(1)" << "SELECT * FROM d"
                                 << QStringList({"1|x"});
        QTest::newRow("identity values") << t << "SELECT @@IDENTITY, SCOPE_IDENTITY(), IDENT_CURRENT('t')" << QStringList({"3|3|3"});
        QTest::newRow("db_name") << "CREATE DATABASE Z\nUSE z" << "SELECT DB_NAME()" << QStringList({"Z"});
    }
    void results()
    {
        QFETCH(QString, setup);
        QFETCH(QString, query);
        QFETCH(QStringList, rows);
        EngineFixture f;
        if (!setup.isEmpty()) {
            const Recorded r = f.run(setup);
            QCOMPARE(r.errors(), QStringList());
        }
        const Recorded r = f.run(query);
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(), rows);
        QCOMPARE(r.ends.back().rowCount, std::uint64_t(rows.size()));
    }

    void errors_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("error");
        const QString t = "CREATE TABLE t (Id int IDENTITY PRIMARY KEY, Name varchar(3) NOT NULL, Small tinyint NULL, "
                          "Num decimal(5,2) NULL, Dt datetime NULL)\nINSERT INTO t(Name) VALUES('a')\n";
        QTest::newRow("102") << "SELECT FROM WHERE" << "156: Incorrect syntax near the keyword 'FROM'.";
        QTest::newRow("207") << t + "SELECT Nope FROM t" << "207: Invalid column name 'Nope'.";
        QTest::newRow("208") << "SELECT * FROM Nowhere" << "208: Invalid object name 'Nowhere'.";
        QTest::newRow("515") << t + "INSERT INTO t(Small) VALUES(1)"
                             << "515: Cannot insert the value NULL into column 'Name', table 'master.dbo.t'; column does not allow nulls. INSERT fails.";
        QTest::newRow("515 update") << t + "UPDATE t SET Name = NULL"
                                    << "515: Cannot insert the value NULL into column 'Name', table 'master.dbo.t'; column does not allow nulls. UPDATE fails.";
        QTest::newRow("2627") << t + "SET IDENTITY_INSERT t ON\nINSERT INTO t(Id, Name) VALUES(1, 'b')"
                              << "2627: Violation of PRIMARY KEY constraint 'PK__t__" ; // name checked below
        QTest::newRow("544") << t + "INSERT INTO t(Id, Name) VALUES(5, 'b')"
                             << "544: Cannot insert explicit value for identity column in table 't' when IDENTITY_INSERT is set to OFF.";
        QTest::newRow("545") << t + "SET IDENTITY_INSERT t ON\nINSERT INTO t(Name) VALUES('b')"
                             << "545: Explicit value must be specified for identity column in table 't' either when IDENTITY_INSERT is set to ON or when a replication user is inserting into a NOT FOR REPLICATION identity column.";
        QTest::newRow("8101") << t + "SET IDENTITY_INSERT t ON\nINSERT INTO t VALUES(7, 'b', 1, 1, NULL)"
                              << "8101: An explicit value for the identity column in table 't' can only be specified when a column list is used and IDENTITY_INSERT is ON.";
        QTest::newRow("8102") << t + "UPDATE t SET Id = 3" << "8102: Cannot update identity column 'Id'.";
        QTest::newRow("8106") << "CREATE TABLE n (a int)\nSET IDENTITY_INSERT n ON"
                              << "8106: Table 'n' does not have the identity property. Cannot perform SET operation.";
        QTest::newRow("8107") << t + "CREATE TABLE u (Id int IDENTITY)\nSET IDENTITY_INSERT t ON\nSET IDENTITY_INSERT u ON"
                              << "8107: IDENTITY_INSERT is already ON for table 'master.dbo.t'. Cannot perform SET operation for table 'u'.";
        QTest::newRow("8152") << t + "INSERT INTO t(Name) VALUES('abcd')" << "8152: String or binary data would be truncated.";
        QTest::newRow("8152 unicode") << t + "INSERT INTO t(Name) VALUES(N'ёжик')" << "8152: String or binary data would be truncated.";
        QTest::newRow("220") << t + "INSERT INTO t(Name, Small) VALUES('a', 256)" << "220: Arithmetic overflow error for data type tinyint, value = 256.";
        QTest::newRow("8115") << t + "INSERT INTO t(Name, Num) VALUES('a', 1000)" << "8115: Arithmetic overflow error converting int to data type numeric.";
        QTest::newRow("8115 numeric") << t + "INSERT INTO t(Name, Num) VALUES('a', 999.999)" << "8115: Arithmetic overflow error converting numeric to data type numeric.";
        QTest::newRow("241") << t + "INSERT INTO t(Name, Dt) VALUES('a', 'not a date')" << "241: Syntax error converting datetime from character string.";
        QTest::newRow("245") << t + "SELECT * FROM t WHERE Id = 'x'" << "245: Syntax error converting the varchar value 'x' to a column of data type int.";
        QTest::newRow("911") << "USE NoSuchDb" << "911: Could not locate entry in sysdatabases for database 'NoSuchDb'. No entry found with that name. Make sure that the name is entered correctly.";
        QTest::newRow("1801") << "CREATE DATABASE master" << "1801: Database 'master' already exists.";
        QTest::newRow("2714") << t + "CREATE TABLE T (a int)" << "2714: There is already an object named 'T' in the database.";
        QTest::newRow("3701") << "DROP TABLE Nope" << "3701: Cannot drop the table 'Nope', because it does not exist in the system catalog.";
        QTest::newRow("213") << t + "INSERT INTO t VALUES('a')" << "213: Insert Error: Column name or number of supplied values does not match table definition.";
        QTest::newRow("2812") << "EXEC sp_nothing" << "2812: Could not find stored procedure 'sp_nothing'.";
        QTest::newRow("8134") << "SELECT 1 / 0" << "8134: Divide by zero error encountered.";
    }
    void errors()
    {
        QFETCH(QString, sql);
        QFETCH(QString, error);
        EngineFixture f;
        const Recorded r = f.run(sql);
        QCOMPARE(r.errors().size(), 1);
        QVERIFY2(r.errors()[0].startsWith(error), qPrintable(r.errors()[0]));
        QVERIFY(r.ends.back().error);
    }

    void duplicateKeyNamesTheConstraint()
    {
        EngineFixture f;
        f.run("CREATE TABLE k (a int NOT NULL, b int NOT NULL, CONSTRAINT PK_k PRIMARY KEY (a, b))\nINSERT INTO k VALUES(1, 1)");
        const Recorded r = f.run("INSERT INTO k VALUES(1, 2)\nINSERT INTO k VALUES(1, 1)\nSELECT COUNT(*) FROM k");
        QCOMPARE(r.errors(), QStringList({"2627: Violation of PRIMARY KEY constraint 'PK_k'. Cannot insert duplicate key in object 'k'."}));
        QCOMPARE(r.events, QStringList({"end:1", "msg:2627", "msg:3621", "end:error", "result", "row", "end:1"}));
        QCOMPARE(r.rows(), QStringList({"2"}));
    }

    void abortRules_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("count"); // rows in x afterwards
        const QString setup = "CREATE TABLE x (a int PRIMARY KEY)\n";
        QTest::newRow("syntax error: nothing runs") << "INSERT INTO x VALUES(1)\nINSERT INTO x VALUES(2) )"
                                                    << QStringList({"msg:102", "end:error"}) << "0";
        QTest::newRow("duplicate key: the batch goes on")
            << "INSERT INTO x VALUES(1)\nINSERT INTO x VALUES(1)\nINSERT INTO x VALUES(2)"
            << QStringList({"end:1", "msg:2627", "msg:3621", "end:error", "end:1"}) << "2";
        QTest::newRow("missing table: the batch stops")
            << "INSERT INTO x VALUES(1)\nINSERT INTO nope VALUES(1)\nINSERT INTO x VALUES(2)"
            << QStringList({"end:1", "msg:208", "end:error"}) << "1";
        QTest::newRow("truncation: the batch goes on")
            << "INSERT INTO x VALUES(1)\nINSERT INTO x VALUES(99999999999)\nINSERT INTO x VALUES(2)"
            << QStringList({"end:1", "msg:8115", "msg:3621", "end:error", "end:1"}) << "2";
        QTest::newRow("conversion: the batch stops")
            << "INSERT INTO x VALUES(1)\nINSERT INTO x VALUES('z')\nINSERT INTO x VALUES(2)"
            << QStringList({"end:1", "msg:245", "end:error"}) << "1";
        QTest::newRow("nocount") << "SET NOCOUNT ON\nINSERT INTO x VALUES(1)\nSET NOCOUNT OFF\nINSERT INTO x VALUES(2)"
                                 << QStringList({"end:-", "end:-", "end:-", "end:1"}) << "2";
    }
    void abortRules()
    {
        QFETCH(QString, batch);
        QFETCH(QStringList, events);
        QFETCH(QString, count);
        EngineFixture f;
        f.run("CREATE TABLE x (a int PRIMARY KEY)");
        QCOMPARE(f.run(batch).events, events);
        QCOMPARE(f.query("SELECT COUNT(*) FROM x"), QStringList({count}));
    }

    // Scalar subqueries, variables, RAISERROR and RETURN: what a script's
    // row-count check stands on.
    void guardStatements_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QString>("count"); // rows in x afterwards
        const QString fill = "INSERT INTO x VALUES(1)\nINSERT INTO x VALUES(2)\n";
        const QString m512 = "512: Subquery returned more than 1 value. This is not permitted when the subquery follows "
                             "=, !=, <, <= , >, >= or when the subquery is used as an expression.";
        QTest::newRow("subquery in IF: holds")
            << fill + "IF (SELECT COUNT(*) FROM x) <> 2 INSERT INTO x VALUES(10)" << QStringList() << "2";
        QTest::newRow("subquery in IF: does not hold")
            << fill + "IF (SELECT COUNT(*) FROM x) = 2 INSERT INTO x VALUES(10)" << QStringList() << "3";
        QTest::newRow("subquery in WHERE")
            << fill + "DELETE FROM x WHERE a = (SELECT MAX(a) FROM x)" << QStringList() << "1";
        QTest::newRow("subquery without rows is NULL")
            << fill + "IF (SELECT a FROM x WHERE a > 5) IS NULL INSERT INTO x VALUES(10)" << QStringList() << "3";
        QTest::newRow("512: the statement fails, the batch goes on")
            << fill + "DELETE FROM x WHERE a = (SELECT a FROM x)\nINSERT INTO x VALUES(3)" << QStringList({m512}) << "3";
        QTest::newRow("116: one column only")
            << fill + "IF (SELECT a, a FROM x WHERE a = 1) = 1 PRINT 'y'\nINSERT INTO x VALUES(3)"
            << QStringList({"116: Only one expression can be specified in the select list when the subquery is not "
                            "introduced with EXISTS."})
            << "2";
        QTest::newRow("208 in a subquery ends the batch")
            << fill + "IF (SELECT COUNT(*) FROM #none) <> 2 PRINT 'no'\nDELETE FROM x"
            << QStringList({"208: Invalid object name '#none'."}) << "2";
        QTest::newRow("variable set from a subquery")
            << fill + "DECLARE @n int, @s varchar(10)\nSET @n = (SELECT COUNT(*) FROM x)\nSET @s = 'n' + CONVERT(varchar(5), @n)\n"
                      "INSERT INTO x VALUES(@n * 10)\nIF @s = 'n2' INSERT INTO x VALUES(30)"
            << QStringList() << "4";
        QTest::newRow("unset variable is NULL") << "DECLARE @n int\nIF @n IS NULL INSERT INTO x VALUES(1)" << QStringList() << "1";
        QTest::newRow("RAISERROR: the batch goes on")
            << "RAISERROR('stop %s at %d rows; 100%%', 16, 1, N'here', 7)\nINSERT INTO x VALUES(1)"
            << QStringList({"50000: stop here at 7 rows; 100%"}) << "1";
        QTest::newRow("RAISERROR arguments: width, missing")
            << "RAISERROR(N'[%5d] [%-3s] [%s]', 16, 1, 42, 'a')" << QStringList({"50000: [   42] [a  ] [(null)]"}) << "0";
        QTest::newRow("RAISERROR below 11 is a message") << "RAISERROR('note', 10, 1)\nINSERT INTO x VALUES(1)" << QStringList() << "1";
        QTest::newRow("RETURN ends the batch")
            << fill + "IF (SELECT COUNT(*) FROM x) <> 3\nBEGIN\n  RAISERROR(N'Таблица %s: %d', 16, 1, N'x', 2);\n  RETURN;\nEND\nDELETE FROM x"
            << QStringList({"50000: Таблица x: 2"}) << "2";
        QTest::newRow("RETURN only where it runs")
            << fill + "IF (SELECT COUNT(*) FROM x) <> 2\n  RETURN\nDELETE FROM x WHERE a = 1" << QStringList() << "1";
        QTest::newRow("a check on a table variable")
            << "INSERT INTO x VALUES(1)\nDECLARE @v TABLE (a int);\nRAISERROR('the row failed', 16, 1);\nINSERT INTO @v VALUES(1);\n"
               "DECLARE @Rows_v int;\nSET @Rows_v = (SELECT COUNT(*) FROM @v);\nIF @Rows_v IS NULL OR @Rows_v <> 2\nBEGIN\n"
               "  RAISERROR(N'found %d', 16, 1, @Rows_v);\n  RETURN;\nEND\nDELETE FROM x"
            << QStringList({"50000: the row failed", "50000: found 1"}) << "1";
        QTest::newRow("137: undeclared variable") << "SET @n = 1" << QStringList({"137: Must declare the variable '@n'."}) << "0";
        QTest::newRow("134: declared twice")
            << "DECLARE @n int\nDECLARE @N bigint"
            << QStringList({"134: The variable name '@N' has already been declared. Variable names must be unique within a "
                            "query batch or stored procedure."})
            << "0";
    }
    void guardStatements()
    {
        QFETCH(QString, batch);
        QFETCH(QStringList, errors);
        QFETCH(QString, count);
        EngineFixture f;
        f.run("CREATE TABLE x (a int PRIMARY KEY)");
        const Recorded r = f.run(batch);
        QCOMPARE(r.errors(), errors);
        for (const auto &m : r.messages)
            if (m.number == 50000)
                QCOMPARE(int(m.severity), m.text == "note" ? 10 : 16);
        QCOMPARE(f.query("SELECT COUNT(*) FROM x"), QStringList({count}));
    }

    void useReportsTheChange()
    {
        EngineFixture f;
        f.run("CREATE DATABASE Other");
        const Recorded r = f.run("USE [other]");
        QCOMPARE(r.events, QStringList({"use:Other", "msg:5701", "end:-"}));
        QCOMPARE(QString::fromStdString(r.messages[0].text), QString("Changed database context to 'Other'."));
        QCOMPARE(QString::fromStdString(f.session().database()), QString("Other"));
        QCOMPARE(f.run("DROP DATABASE Other").firstError(), 3702);
        f.run("USE master");
        QCOMPARE(f.run("DROP DATABASE Other").errors(), QStringList());
        QCOMPARE(f.run("USE Other").firstError(), 911);
    }

    void printAndMessages()
    {
        EngineFixture f;
        const Recorded r = f.run("PRINT 'привет'\nPRINT N'a' + N'b'");
        QCOMPARE(r.messages.size(), std::size_t(2));
        QCOMPARE(QString::fromStdString(r.messages[0].text), QString("привет"));
        QCOMPARE(int(r.messages[0].severity), 0);
        QCOMPARE(r.messages[1].line, 2);
    }

    void cancelStopsTheBatch()
    {
        EngineFixture f;
        f.run("CREATE TABLE c (a int)\nINSERT INTO c VALUES(1)\nINSERT INTO c VALUES(2)\nINSERT INTO c VALUES(3)");
        Recorded r;
        RecordingSink sink(r, 1);
        f.engine().executeBatch(f.session(), "SELECT * FROM c\nINSERT INTO c VALUES(4)", sink);
        QCOMPARE(r.events, QStringList({"result", "row"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM c"), QStringList({"3"}));
    }

    void aggregates_data()
    {
        QTest::addColumn<QString>("select");
        QTest::addColumn<QString>("answer"); // the row, or the error
        QTest::newRow("aggregate in an expression") << "SELECT MAX(a) + 1 FROM g" << "4";
        QTest::newRow("aggregate inside a function") << "SELECT ABS(MIN(a) - 10), COUNT(*) * 2 FROM g" << "9|6";
        QTest::newRow("two aggregates together") << "SELECT SUM(a) - MAX(a), N'n=' + CAST(COUNT(a) AS nvarchar(5)) FROM g" << "3|n=3";
        QTest::newRow("aggregate over no rows") << "SELECT MAX(a) + 1, COUNT(*) FROM g WHERE a > 9" << "NULL|0";
        // COUNT(*) alone is counted by the store: the same answer wherever the rows are.
        QTest::newRow("counts alone") << "SELECT COUNT(*), COUNT(*) + 1 FROM g" << "3|4";
        QTest::newRow("count in a transaction") << "BEGIN TRANSACTION\nINSERT INTO g VALUES(4)\nSELECT COUNT(*) FROM g\nROLLBACK"
                                                << "4";
        QTest::newRow("count of a temporary table") << "CREATE TABLE #c (a int)\nINSERT INTO #c VALUES(5)\nSELECT COUNT(*) FROM #c"
                                                    << "1";
        QTest::newRow("count of a table variable") << "DECLARE @v TABLE (a int)\nINSERT INTO @v SELECT a FROM g\nSELECT COUNT(*) FROM @v"
                                                   << "3";
        QTest::newRow("bare column: 8120") << "SELECT a, COUNT(*) FROM g"
            << "8120: Column 'g.a' is invalid in the select list because it is not contained in either an aggregate function or the GROUP BY clause.";
        QTest::newRow("column beside an aggregate: 8120") << "SELECT x.a + MAX(x.a) FROM g AS x"
            << "8120: Column 'x.a' is invalid in the select list because it is not contained in either an aggregate function or the GROUP BY clause.";
        QTest::newRow("star: 8120") << "SELECT *, COUNT(*) FROM g"
            << "8120: Column 'g.a' is invalid in the select list because it is not contained in either an aggregate function or the GROUP BY clause.";
    }
    void aggregates()
    {
        QFETCH(QString, select);
        QFETCH(QString, answer);
        EngineFixture f;
        f.run("CREATE TABLE g (a int)\nINSERT INTO g VALUES(1)\nINSERT INTO g VALUES(2)\nINSERT INTO g VALUES(3)");
        const Recorded r = f.run(select + "\nSELECT 'still here'");
        if (answer.startsWith("8120")) {
            QCOMPARE(r.errors(), QStringList({answer}));
            QCOMPARE(r.results.size(), std::size_t(0)); // the batch ended there
            return;
        }
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.rows(0), QStringList({answer}));
        QCOMPARE(r.rows(1), QStringList({"still here"}));
    }

    void dataSurvivesARestart()
    {
        QTemporaryDir dir;
        {
            auto engine = qts::createEngine(dir.path().toStdString(), false);
            auto s = engine->openSession("sa", "");
            Recorded r;
            RecordingSink sink(r);
            engine->executeBatch(*s, "CREATE DATABASE Keep\nUSE Keep\nCREATE TABLE k (Id int IDENTITY PRIMARY KEY, v nvarchar(5), d AS (Id * 2))\n"
                                     "INSERT INTO k(v) VALUES(N'ё')", sink);
            QCOMPARE(r.errors(), QStringList());
        }
        auto engine = qts::createEngine(dir.path().toStdString(), false);
        auto s = engine->openSession("sa", "Keep");
        Recorded r;
        RecordingSink sink(r);
        engine->executeBatch(*s, "INSERT INTO k(v) VALUES(N'ж')\nSELECT * FROM k", sink);
        QCOMPARE(r.rows(), QStringList({"1|ё|2", "2|ж|4"}));
        QVERIFY_THROWS_EXCEPTION(qts::SqlError, engine->openSession("sa", "Gone"));
    }
};

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
