#include "ChangedRowsSplit.h"

#include <QTest>

// The rows a batch changed, split between tables and temporary tables or
// table variables: made only where the counts pair exactly with the
// batch's INSERT, UPDATE and DELETE statements.

class TestChangedRowsSplit : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
};

void TestChangedRowsSplit::split_data()
{
    QTest::addColumn<QString>("batch");
    QTest::addColumn<QList<qint64>>("counts");
    QTest::addColumn<bool>("clean");
    QTest::addColumn<bool>("known");
    QTest::addColumn<qint64>("tables");
    QTest::addColumn<qint64>("temporary");

    using Counts = QList<qint64>;
    const QString generated = QStringLiteral(
        "DECLARE @GoodsTempTable TABLE (Id1 int, Title1 varchar(50));\r\n"
        "INSERT INTO @GoodsTempTable(Id1, Title1) \r\n  VALUES(1, 'IF; EXEC x');\r\n"
        "INSERT INTO @GoodsTempTable(Id1, Title1) \r\n  VALUES(2, NULL);\r\n"
        "SET IDENTITY_INSERT Goods ON;\r\n"
        "UPDATE Goods \r\n  SET Title = T.Title1 \r\n  FROM @GoodsTempTable AS T \r\n  WHERE (Id = T.Id1);\r\n"
        "INSERT INTO Goods(Id, Title) \r\n  SELECT Id1, Title1 FROM @GoodsTempTable AS T\r\n"
        "  WHERE NOT EXISTS(SELECT * FROM Goods WHERE (Id = T.Id1))\r\n"
        "SET IDENTITY_INSERT Goods OFF;\r\nDBCC CHECKIDENT(Goods, RESEED);\r\n");
    QTest::newRow("the data script") << generated << Counts{1, 1, 1, 0} << true << true << qint64(1) << qint64(2);
    QTest::newRow("a trigger's count besides") << generated << Counts{1, 1, 1, 1, 0} << true << false << qint64(0)
                                               << qint64(0);
    QTest::newRow("a failed run") << generated << Counts{1, 1, 1} << false << false << qint64(0) << qint64(0);
    QTest::newRow("nothing changed, whatever the batch")
        << QStringLiteral("IF 1 = 1 EXEC p") << Counts{0, 0} << false << true << qint64(0) << qint64(0);
    QTest::newRow("a temporary table") << QStringLiteral("INSERT INTO #Stage VALUES(1) INSERT INTO tempdb..#Stage VALUES(2)")
                                       << Counts{1, 1} << true << true << qint64(0) << qint64(2);
    QTest::newRow("bracketed names") << QStringLiteral("INSERT [#odd name] VALUES(1); INSERT INTO dbo.[Order Lines] VALUES(2)")
                                     << Counts{1, 4} << true << true << qint64(4) << qint64(1);
    QTest::newRow("UPDATE through an alias of a variable")
        << QStringLiteral("UPDATE T SET A = 1 FROM @v AS T WHERE T.B = 2") << Counts{3} << true << true << qint64(0)
        << qint64(3);
    QTest::newRow("UPDATE through an alias of a table")
        << QStringLiteral("UPDATE G SET A = V.A FROM Goods G JOIN @v AS V ON V.Id = G.Id AND V.X = G.X")
        << Counts{3} << true << true << qint64(3) << qint64(0);
    QTest::newRow("DELETE through an alias") << QStringLiteral("DELETE x FROM #t x WHERE x.a = 1; DELETE FROM Goods")
                                             << Counts{2, 5} << true << true << qint64(5) << qint64(2);
    QTest::newRow("CASE inside UPDATE")
        << QStringLiteral("UPDATE Goods SET A = CASE WHEN B = 1 THEN 'x' ELSE 'y' END WHERE Id = 1\r\nDELETE @v")
        << Counts{1, 2} << true << true << qint64(1) << qint64(2);
    QTest::newRow("words in comments and literals")
        << QStringLiteral("-- IF WHILE\r\n/* EXEC /* nested SELECT */ WHILE */ INSERT INTO Goods VALUES('x'' EXEC y', N'SELECT')")
        << Counts{1} << true << true << qint64(1) << qint64(0);
    QTest::newRow("tables made and dropped")
        << QStringLiteral("CREATE TABLE #t (a int) CREATE UNIQUE INDEX i ON #t(a) INSERT INTO #t VALUES(1) DROP TABLE #t")
        << Counts{1} << true << true << qint64(0) << qint64(1);
    // The last part of a script of several tables.
    QTest::newRow("a transaction, constraints switched off and on")
        << QStringLiteral("SET XACT_ABORT ON;\r\nBEGIN TRANSACTION;\r\nALTER TABLE A NOCHECK CONSTRAINT ALL;\r\n"
                          "ALTER TABLE [B] NOCHECK CONSTRAINT ALL;\r\nDELETE FROM B;\r\nDELETE FROM A;\r\n"
                          "INSERT INTO A(Id) \r\n  SELECT Id1 FROM #ATempTable AS T\r\n"
                          "ALTER TABLE A WITH CHECK CHECK CONSTRAINT ALL;\r\nALTER TABLE [B] WITH CHECK CHECK CONSTRAINT ALL;\r\n"
                          "COMMIT TRANSACTION;\r\nSET XACT_ABORT OFF;\r\nDROP TABLE #ATempTable;\r\n")
        << Counts{2, 3, 3} << true << true << qint64(8) << qint64(0);
    // Where statements may run any number of times, or a count may belong to
    // something the text does not show, no split.
    const auto unknown = [](const char *tag, const char *batch) {
        QTest::newRow(tag) << QString::fromUtf8(batch) << Counts{1, 1} << true << false << qint64(0) << qint64(0);
    };
    unknown("IF", "IF 1 = 1 INSERT INTO Goods VALUES(1) INSERT INTO @v VALUES(1)");
    unknown("WHILE", "WHILE @i < 2 INSERT INTO @v VALUES(1)");
    unknown("BEGIN ... END", "BEGIN INSERT INTO Goods VALUES(1) INSERT INTO @v VALUES(1) END");
    unknown("EXEC", "EXEC p INSERT INTO @v VALUES(1)");
    unknown("INSERT ... EXEC", "INSERT INTO Goods EXEC p INSERT INTO @v VALUES(1)");
    unknown("a SELECT of its own", "SELECT @x = 1 INSERT INTO @v VALUES(1)");
    unknown("a SELECT after VALUES", "INSERT INTO @v VALUES(1) SELECT @x = 1");
    unknown("NOCOUNT", "SET NOCOUNT ON INSERT INTO Goods VALUES(1) SET NOCOUNT OFF INSERT INTO @v VALUES(1)");
    unknown("a rolled back transaction", "BEGIN TRAN INSERT INTO Goods VALUES(1) ROLLBACK INSERT INTO @v VALUES(1)");
    unknown("a column added", "ALTER TABLE Goods ADD CONSTRAINT c CHECK (a > 0) INSERT INTO @v VALUES(1) INSERT INTO Goods VALUES(1)");
    unknown("a constraint dropped", "ALTER TABLE Goods DROP CONSTRAINT c INSERT INTO @v VALUES(1) INSERT INTO Goods VALUES(1)");
    unknown("a column altered", "ALTER TABLE Goods ALTER COLUMN a int INSERT INTO @v VALUES(1) INSERT INTO Goods VALUES(1)");
    unknown("a cursor", "DECLARE c CURSOR FOR SELECT a FROM Goods INSERT INTO @v VALUES(1) INSERT INTO Goods VALUES(1)");
    unknown("a procedure made", "CREATE PROCEDURE p AS INSERT INTO Goods VALUES(1) INSERT INTO @v VALUES(1)");
    unknown("a derived table's alias", "UPDATE D SET a = 1 FROM (SELECT * FROM Goods) AS D INSERT INTO @v VALUES(1)");
    unknown("more statements than counts", "INSERT INTO @v VALUES(1) INSERT INTO @v VALUES(2) INSERT INTO Goods VALUES(1)");
}

void TestChangedRowsSplit::split()
{
    QFETCH(QString, batch);
    QFETCH(QList<qint64>, counts);
    QFETCH(bool, clean);
    QFETCH(bool, known);
    QFETCH(qint64, tables);
    QFETCH(qint64, temporary);
    const TChangedRowsSplit split = SplitChangedRows(batch, counts, clean);
    QCOMPARE(split.Known, known);
    if (!known)
        return;
    QCOMPARE(split.Tables, tables);
    QCOMPARE(split.Temporary, temporary);
}

QTEST_GUILESS_MAIN(TestChangedRowsSplit)
#include "tst_changedrowssplit.moc"
