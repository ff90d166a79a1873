// Data scripts as the generator writes them, run the way the workbench runs
// them (framed by SET NOCOUNT ON/OFF): table variable, UPDATE ... FROM,
// INSERT ... SELECT ... WHERE NOT EXISTS, IDENTITY_INSERT and CHECKIDENT.

#include "EngineFixture.h"

#include <QtTest>

namespace {

// The lines joined as the workbench sends them.
QString framed(const QStringList &lines)
{
    QString sql = "SET NOCOUNT ON\r\n";
    for (const QString &l : lines)
        sql += l + "\r\n";
    return sql + "SET NOCOUNT OFF";
}

const QStringList kGoodsScript = {
    "/*", "Created by Quorvane.", "Creation date and time „05_03_2004 14-20-07“", "Used data base „Shop“",
    "Used table „Goods“", "*/", "", "--Script for table „Goods“ start.--", "",
    "DECLARE @GoodsTempTable TABLE (Id1 int, Title1 varchar(50), Price1 money, Created1 datetime);", "",
    "INSERT INTO @GoodsTempTable(Id1, Title1, Price1, Created1) \r\n  VALUES(1, 'Tea', 2.5, CONVERT(DATETIME, '01.03.2004 10:00:00',105));", "",
    "INSERT INTO @GoodsTempTable(Id1, Title1, Price1, Created1) \r\n  VALUES(2, NULL, 3, CONVERT(DATETIME, '02.03.2004 09:30:00',105));", "",
    "SET IDENTITY_INSERT Goods ON;", "",
    "UPDATE Goods \r\n  SET Title = T.Title1, Price = T.Price1, Created = T.Created1 \r\n  FROM @GoodsTempTable AS T \r\n  WHERE (Id = T.Id1);", "",
    "INSERT INTO Goods(Id, Title, Price, Created) \r\n  SELECT Id1, Title1, Price1, Created1 FROM @GoodsTempTable AS T\r\n  WHERE NOT EXISTS(SELECT * FROM Goods WHERE (Id = T.Id1))", "",
    "SET IDENTITY_INSERT Goods OFF;", "DBCC CHECKIDENT(Goods, RESEED);", "", "--Script for table „Goods“ end.--", "",
    "/*", "", "*/", "", "",
};

QStringList messageTexts(const Recorded &r)
{
    QStringList out;
    for (const auto &m : r.messages)
        out << QString::number(m.number) + ": " + QString::fromStdString(m.text);
    return out;
}

} // namespace

class TestScript : public QObject {
    Q_OBJECT

private slots:
    void workedExampleRestoresDemoGoods()
    {
        EngineFixture f(true);
        f.run("USE Shop");
        // Drift the target: one row changed, one lost, one added.
        QCOMPARE(f.run("UPDATE Goods SET Title = 'Coffee', Price = 9 WHERE Id = 1\nDELETE FROM Goods WHERE Id = 2\n"
                       "INSERT INTO Goods(Title) VALUES('Milk')").errors(), QStringList());
        const Recorded r = f.run(framed(kGoodsScript));
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(messageTexts(r), QStringList({
            "7998: Checking identity information: current identity value '3', current column value '3'.",
            "2528: DBCC execution completed. If DBCC printed error messages, contact your system administrator."}));
        for (const auto &end : r.ends)
            QVERIFY(!end.hasCount); // NOCOUNT held for the whole script
        QCOMPARE(f.query("SELECT * FROM Goods"), QStringList({"1|Tea|2.5000|2004-03-01 10:00:00.000",
                                                              "2|NULL|3.0000|2004-03-02 09:30:00.000",
                                                              "3|Milk|NULL|NULL"}));
        // Identity insertion is off again and the identity goes on after the largest value.
        QCOMPARE(f.run("INSERT INTO Goods(Title) VALUES('Juice')").errors(), QStringList());
        QCOMPARE(f.query("SELECT Id FROM Goods WHERE Title = 'Juice'"), QStringList({"4"}));
        QCOMPARE(f.run("INSERT INTO Goods(Id, Title) VALUES(10, 'x')").firstError(), 544);
    }

    void countsWithoutNocount()
    {
        EngineFixture f;
        f.run("CREATE TABLE Goods (Id int IDENTITY(1,1) PRIMARY KEY, Title varchar(50) NULL, Price money NULL, Created datetime NULL)\n"
              "INSERT INTO Goods(Title) VALUES('old')");
        QStringList lines = kGoodsScript;
        const Recorded r = f.run(lines.join("\r\n"));
        QCOMPARE(r.errors(), QStringList());
        QStringList counts;
        for (const auto &end : r.ends)
            if (end.hasCount)
                counts << QString::number(end.rowCount);
        // Two rows into the variable, one updated, one inserted.
        QCOMPARE(counts, QStringList({"1", "1", "1", "1"}));
        QCOMPARE(f.query("SELECT Id, Title FROM Goods"), QStringList({"1|Tea", "2|NULL"}));
    }

    void deleteFirstThenIdentityContinues()
    {
        EngineFixture f;
        f.run("CREATE TABLE Goods (Id int IDENTITY(1,1) PRIMARY KEY, Title varchar(50) NULL, Price money NULL, Created datetime NULL)\n"
              "INSERT INTO Goods(Title) VALUES('a')\nINSERT INTO Goods(Title) VALUES('b')\nINSERT INTO Goods(Title) VALUES('c')\n"
              "INSERT INTO Goods(Title) VALUES('d')\nINSERT INTO Goods(Title) VALUES('e')");
        QStringList lines = kGoodsScript;
        lines.insert(lines.indexOf("SET IDENTITY_INSERT Goods ON;"), "DELETE FROM Goods;");
        QCOMPARE(f.run(framed(lines)).errors(), QStringList());
        QCOMPARE(f.query("SELECT Id, Title FROM Goods"), QStringList({"1|Tea", "2|NULL"}));
        f.run("INSERT INTO Goods(Title) VALUES('next')");
        QCOMPARE(f.query("SELECT MAX(Id) FROM Goods"), QStringList({"6"}));
    }

    void compositeKeyAndNickname()
    {
        EngineFixture f;
        f.run("CREATE TABLE [Order Lines] ([Order] int NOT NULL, Line int NOT NULL, Note varchar(20) NULL, "
              "PRIMARY KEY ([Order], Line))\nINSERT INTO [Order Lines] VALUES(1, 1, 'keep')\nINSERT INTO [Order Lines] VALUES(1, 2, 'old')");
        const QStringList lines = {
            "DECLARE @Order_LinesTempTable TABLE (Order1 int, Line1 int, Note1 varchar(20));",
            "INSERT INTO @Order_LinesTempTable(Order1, Line1, Note1) \r\n  VALUES(1, 2, 'new\\' + CHAR(13) + CHAR(10) + 'line');",
            "INSERT INTO @Order_LinesTempTable(Order1, Line1, Note1) \r\n  VALUES(2, 1, N'ёж');",
            "UPDATE [Order Lines] \r\n  SET Note = T.Note1 \r\n  FROM @Order_LinesTempTable AS T \r\n  WHERE ([Order] = T.Order1) AND (Line = T.Line1);",
            "INSERT INTO [Order Lines]([Order], Line, Note) \r\n  SELECT Order1, Line1, Note1 FROM @Order_LinesTempTable AS T\r\n"
            "  WHERE NOT EXISTS(SELECT * FROM [Order Lines] WHERE ([Order] = T.Order1) AND (Line = T.Line1))",
        };
        QCOMPARE(f.run(framed(lines)).errors(), QStringList());
        QCOMPARE(f.query("SELECT * FROM [Order Lines]"), QStringList({"1|1|keep", "1|2|new\\\r\nline", "2|1|ёж"}));
    }

    void identityInsertRules()
    {
        EngineFixture f;
        f.run("CREATE TABLE a (Id int IDENTITY(10, 5), v int)\nCREATE TABLE b (Id int IDENTITY, v int)");
        QCOMPARE(f.run("SET IDENTITY_INSERT a ON\nSET IDENTITY_INSERT a ON").errors(), QStringList()); // again is fine
        QCOMPARE(f.run("SET IDENTITY_INSERT b ON").firstError(), 8107);
        QCOMPARE(f.run("INSERT INTO a(Id, v) VALUES(100, 1)").errors(), QStringList());
        QCOMPARE(f.run("SET IDENTITY_INSERT a OFF\nSET IDENTITY_INSERT b ON\nSET IDENTITY_INSERT b OFF").errors(), QStringList());
        f.run("INSERT INTO a(v) VALUES(2)");
        // An explicit value above the counter moves it.
        QCOMPARE(f.query("SELECT Id FROM a ORDER BY v"), QStringList({"100", "105"}));
        QCOMPARE(f.query("SELECT @@IDENTITY"), QStringList({"105"}));
    }

    void checkIdentForms_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("next");
        QTest::newRow("name") << "DBCC CHECKIDENT(c, RESEED)" << "current identity value '2', current column value '7'." << "8";
        QTest::newRow("quoted") << "DBCC CHECKIDENT('c', RESEED)" << "current identity value '2', current column value '7'." << "8";
        QTest::newRow("no option") << "DBCC CHECKIDENT(c)" << "current identity value '2', current column value '7'." << "8";
        QTest::newRow("noreseed") << "DBCC CHECKIDENT(c, NORESEED)" << "current identity value '2', current column value '7'." << "3";
        QTest::newRow("new value") << "DBCC CHECKIDENT(c, RESEED, 20)" << "current identity value '2', current column value '7'." << "21";
    }
    void checkIdentForms()
    {
        QFETCH(QString, command);
        QFETCH(QString, message);
        QFETCH(QString, next);
        EngineFixture f;
        f.run("CREATE TABLE c (Id int IDENTITY, v int)\nINSERT INTO c(v) VALUES(1)\nINSERT INTO c(v) VALUES(2)\n"
              "SET IDENTITY_INSERT c ON\nINSERT INTO c(Id, v) VALUES(7, 3)\nSET IDENTITY_INSERT c OFF\nDBCC CHECKIDENT(c, RESEED, 2)");
        const Recorded r = f.run(command);
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(messageTexts(r).value(0), "7998: Checking identity information: " + message);
        f.run("INSERT INTO c(v) VALUES(9)");
        QCOMPARE(f.query("SELECT Id FROM c WHERE v = 9"), QStringList({next}));
    }

    void checkIdentOfAnEmptyTable()
    {
        EngineFixture f;
        f.run("CREATE TABLE e (Id int IDENTITY(1,1), v int)");
        const Recorded r = f.run("DBCC CHECKIDENT('e', RESEED)");
        QCOMPARE(messageTexts(r).value(0), QString("7998: Checking identity information: current identity value 'NULL', current column value 'NULL'."));
        f.run("INSERT INTO e(v) VALUES(1)");
        QCOMPARE(f.query("SELECT Id FROM e"), QStringList({"1"}));
    }

    void tableVariableLivesForItsBatch()
    {
        EngineFixture f;
        QCOMPARE(f.run("DECLARE @t TABLE (a int PRIMARY KEY)\nINSERT INTO @t(a) VALUES(1)\nINSERT INTO @t(a) VALUES(1)").firstError(), 2627);
        QCOMPARE(f.run("SELECT * FROM @t").firstError(), 137);
        const Recorded r = f.run("DECLARE @t TABLE (a int)\nINSERT INTO @t(a) VALUES(5)\nSELECT * FROM @t");
        QCOMPARE(r.rows(), QStringList({"5"}));
        QCOMPARE(r.events.first(), QString("end:1")); // the declaration sends nothing
    }

    void largeMergeUsesKeys()
    {
        // 5,000 carried rows against 5,000 target rows: a nested loop would take minutes.
        EngineFixture f;
        f.run("CREATE TABLE big (Id int PRIMARY KEY, v int)");
        QString fill = "SET NOCOUNT ON\n";
        for (int i = 0; i < 5000; ++i)
            fill += QString("INSERT INTO big VALUES(%1, %1)\n").arg(i * 2);
        QCOMPARE(f.run(fill).errors(), QStringList());
        QString script = "SET NOCOUNT ON\nDECLARE @T TABLE (Id1 int, v1 int)\n";
        for (int i = 0; i < 5000; ++i)
            script += QString("INSERT INTO @T(Id1, v1) VALUES(%1, -1)\n").arg(i);
        script += "UPDATE big SET v = T.v1 FROM @T AS T WHERE (Id = T.Id1)\n"
                  "INSERT INTO big(Id, v) SELECT Id1, v1 FROM @T AS T WHERE NOT EXISTS(SELECT * FROM big WHERE (Id = T.Id1))";
        QCOMPARE(f.run(script).errors(), QStringList());
        QCOMPARE(f.query("SELECT COUNT(*) FROM big"), QStringList({"7500"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM big WHERE v = -1"), QStringList({"5000"}));
    }
};

QTEST_GUILESS_MAIN(TestScript)
#include "tst_script.moc"
