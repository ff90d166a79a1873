// The batch parser: what it accepts, how it splits statements, and the
// syntax errors SQL Server gives for what it refuses.

#include "Ast.h"

#include <QtTest>

namespace {

QString kinds(const qts::ParsedBatch &b)
{
    static const char *const names[] = {"SELECT", "INSERT", "UPDATE", "DELETE", "CREATE TABLE", "DROP TABLE",
                                        "CREATE DATABASE", "DROP DATABASE", "USE", "DECLARE", "SET", "PRINT",
                                        "EXEC", "DBCC", "WAITFOR", "IF", "BLOCK", "NOOP", "ALTER TABLE"};
    QStringList out;
    for (const auto &st : b.statements)
        out << QString("%1@%2").arg(names[st.body.index()]).arg(st.line);
    return out.join(", ");
}

} // namespace

class TestParser : public QObject {
    Q_OBJECT

private slots:
    void accepted_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("statements");
        QTest::newRow("one select") << "SELECT 1" << "SELECT@1";
        QTest::newRow("no separators") << "SELECT 1 SELECT 2\nPRINT 'x'" << "SELECT@1, SELECT@1, PRINT@2";
        QTest::newRow("semicolons") << ";;SELECT 1;;\n;SELECT 2;" << "SELECT@1, SELECT@2";
        QTest::newRow("comments") << "-- a\n/* b /* nested */ still */ SELECT 1 -- c\n/**/SELECT 2" << "SELECT@2, SELECT@3";
        QTest::newRow("names") << "SELECT [a b], \"c\"\"d\", [x]]y] FROM [dbo].[t t] AS [q]" << "SELECT@1";
        QTest::newRow("three-part name") << "SELECT * FROM master..sysdatabases" << "SELECT@1";
        QTest::newRow("create table")
            << "CREATE TABLE t (Id int IDENTITY(1, 1) NOT NULL CONSTRAINT PK_t PRIMARY KEY CLUSTERED, "
               "d decimal(18,2) NULL DEFAULT 0, n nvarchar(10) COLLATE Cyrillic_General_CI_AS, c AS (d * 2))"
            << "CREATE TABLE@1";
        QTest::newRow("composite key") << "CREATE TABLE t (a int NOT NULL, b int NOT NULL, CONSTRAINT pk PRIMARY KEY (a, b))" << "CREATE TABLE@1";
        QTest::newRow("table variable")
            << "DECLARE @T TABLE (Id1 int, Title1 varchar(50))\nINSERT INTO @t(Id1, Title1) VALUES(1, N'x')"
            << "DECLARE@1, INSERT@2";
        QTest::newRow("update from")
            << "DECLARE @v TABLE (k1 int)\nUPDATE t \r\n  SET a = T.a1 \r\n  FROM @v AS T \r\n  WHERE (k = T.k1) AND (j = T.j1);"
            << "DECLARE@1, UPDATE@2";
        QTest::newRow("insert select not exists")
            << "DECLARE @v TABLE (k1 int)\nINSERT INTO t(k) \r\n  SELECT k1 FROM @v AS T\r\n  WHERE NOT EXISTS(SELECT * FROM t WHERE (k = T.k1))\r\nSET IDENTITY_INSERT t OFF;"
            << "DECLARE@1, INSERT@2, SET@5";
        QTest::newRow("dbcc") << "DBCC CHECKIDENT(Goods, RESEED); DBCC CHECKIDENT('Goods', RESEED, 10) WITH NO_INFOMSGS" << "DBCC@1, DBCC@1";
        QTest::newRow("driver statements")
            << "set textsize 2147483647\nset transaction isolation level read committed\nIF @@TRANCOUNT > 0 COMMIT TRAN\n"
               "BEGIN TRANSACTION\nROLLBACK\nset language us_english\nset dateformat mdy\nuse [master]"
            << "SET@1, SET@2, IF@3, NOOP@4, NOOP@5, SET@6, SET@7, USE@8";
        QTest::newRow("exec") << "EXEC sp_MShelpcolumns 'Goods'\nEXECUTE dbo.sp_MShelpcolumns N'[Order Lines]'" << "EXEC@1, EXEC@2";
        QTest::newRow("expressions")
            << "SELECT -2147483648, 1.5e3, 0x0A, N'ю', 'a' + CHAR(13) + CHAR(10) + 'b', CONVERT(DATETIME, '19.06.1992 22:22:17',105), "
               "CAST(1 AS varchar(5)), COUNT(*) FROM t WHERE a IS NOT NULL AND b NOT IN (1, 2) OR c LIKE 'x%' ORDER BY 1 DESC"
            << "SELECT@1";
        QTest::newRow("go is an alias") << "SELECT 1 GO" << "SELECT@1";
        QTest::newRow("foreign keys in a table")
            << "CREATE TABLE t (a int NULL CONSTRAINT fk_a FOREIGN KEY REFERENCES p(id) NOT FOR REPLICATION, b int REFERENCES p,\n"
               "  CONSTRAINT fk_ab FOREIGN KEY (a, b) REFERENCES [dbo].[q] (x, y) ON UPDATE NO ACTION ON DELETE NO ACTION)"
            << "CREATE TABLE@1";
        QTest::newRow("alter table")
            << "ALTER TABLE t WITH NOCHECK ADD CONSTRAINT fk FOREIGN KEY (a) REFERENCES p (id)\nALTER TABLE t NOCHECK CONSTRAINT ALL\n"
               "ALTER TABLE [t] WITH CHECK CHECK CONSTRAINT fk, fk2; ALTER TABLE t CHECK CONSTRAINT ALL\nALTER TABLE t DROP CONSTRAINT fk"
            << "ALTER TABLE@1, ALTER TABLE@2, ALTER TABLE@3, ALTER TABLE@3, ALTER TABLE@4";
    }
    void accepted()
    {
        QFETCH(QString, sql);
        QFETCH(QString, statements);
        const qts::ParseResult r = qts::parseBatch(sql.toStdString());
        QVERIFY2(r.ok, r.error.text.c_str());
        QCOMPARE(kinds(r.batch), statements);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::newRow("go alone") << "PRINT 'x'\nGO\n" << 102 << "Incorrect syntax near 'GO'." << 2;
        QTest::newRow("keyword") << "SELECT * FROM" << 156 << "Incorrect syntax near the keyword 'FROM'." << 1;
        QTest::newRow("missing paren") << "INSERT INTO t VALUES(1, 2" << 102 << "Incorrect syntax near '2'." << 1;
        QTest::newRow("several rows of values") << "INSERT INTO t VALUES(1), (2)" << 102 << "Incorrect syntax near ','." << 1;
        QTest::newRow("unclosed quote") << "SELECT 'abc" << 105 << "Unclosed quotation mark before the character string 'abc'." << 1;
        QTest::newRow("unclosed comment") << "SELECT 1 /* x" << 113 << "Missing end comment mark '*/'." << 1;
        QTest::newRow("undeclared variable") << "SELECT 1\nINSERT INTO @t(a) VALUES(1)" << 137 << "Must declare the variable '@t'." << 2;
        QTest::newRow("declared twice") << "DECLARE @t TABLE (a int)\nDECLARE @T TABLE (a int)" << 134
                                        << "The variable name '@T' has already been declared. Variable names must be unique within a query batch or stored procedure." << 2;
        QTest::newRow("stray symbol") << "SELECT 1 ?" << 102 << "Incorrect syntax near '?'." << 1;
        QTest::newRow("unknown statement") << "FROBNICATE t" << 102 << "Incorrect syntax near 'FROBNICATE'." << 1;
        QTest::newRow("foreign key without columns") << "CREATE TABLE t (a int, FOREIGN KEY REFERENCES p)" << 156
                                                     << "Incorrect syntax near the keyword 'REFERENCES'." << 1;
        QTest::newRow("constraint without ALL or a name") << "ALTER TABLE t NOCHECK CONSTRAINT" << 156
                                                          << "Incorrect syntax near the keyword 'CONSTRAINT'." << 1;
        QTest::newRow("alter without an action") << "SELECT 1\nALTER TABLE t WITH CHECK" << 156
                                                 << "Incorrect syntax near the keyword 'CHECK'." << 2;
    }
    void refused()
    {
        QFETCH(QString, sql);
        QFETCH(int, number);
        QFETCH(QString, text);
        QFETCH(int, line);
        const qts::ParseResult r = qts::parseBatch(sql.toStdString());
        QVERIFY(!r.ok);
        QCOMPARE(r.error.number, number);
        QCOMPARE(QString::fromStdString(r.error.text), text);
        QCOMPARE(r.error.line, line);
        if (number != 137 && number != 134)
            QCOMPARE(int(r.error.severity), 15);
    }

    void literalsKeepTheirText_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("value");
        QTest::newRow("doubled quote") << "'O''Brien'" << "O'Brien";
        QTest::newRow("line continuation") << "'a\\\r\nb'" << "ab";
        QTest::newRow("line continuation lf") << "'a\\\nb'" << "ab";
        QTest::newRow("backslash kept") << "'a\\b'" << "a\\b";
        QTest::newRow("line break kept") << "'a\r\nb'" << "a\r\nb";
        QTest::newRow("unicode") << "N'Ёж ξ'" << "Ёж ξ";
        // The database's code page applies when the statement is bound (tst_strict).
        QTest::newRow("plain literal as written") << "'Ёж ξ'" << "Ёж ξ";
    }
    void literalsKeepTheirText()
    {
        QFETCH(QString, literal);
        QFETCH(QString, value);
        const qts::ParseResult r = qts::parseBatch(("SELECT " + literal).toStdString());
        QVERIFY(r.ok);
        const auto &sel = std::get<qts::SelectStmt>(r.batch.statements[0].body);
        QCOMPARE(QString::fromStdString(sel.items[0].expr->value.v.bytes), value);
    }

    void garbageNeverCrashes()
    {
        // Every prefix of a realistic batch either parses or fails with a message.
        const std::string sql =
            "DECLARE @GoodsTempTable TABLE (Id1 int, Title1 varchar(50));\r\nINSERT INTO @GoodsTempTable(Id1, Title1) \r\n"
            "  VALUES(1, 'Tea');\r\nUPDATE Goods SET Title = T.Title1 FROM @GoodsTempTable AS T WHERE (Id = T.Id1);";
        for (std::size_t n = 0; n <= sql.size(); ++n) {
            const qts::ParseResult r = qts::parseBatch(sql.substr(0, n));
            QVERIFY(r.ok || !r.error.text.empty());
        }
    }
};

QTEST_GUILESS_MAIN(TestParser)
#include "tst_parser.moc"
