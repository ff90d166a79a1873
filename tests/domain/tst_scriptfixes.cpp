#include "ScriptFixture.h"

#include <QTest>

// Scripts that a table with more than plain columns needs to stay valid
// and lose nothing on the server.

namespace {
// Reads the text as the server does: block comments nest, -- runs to the
// end of the line, and brackets and quotes hide comment marks. True when no
// comment closes that was not open and none is open at the end.
bool CommentsBalanced(const QString &text)
{
    int depth = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QStringView two = QStringView(text).mid(i, 2);
        if (two == u"/*") {
            ++depth;
            ++i;
        } else if (two == u"*/") {
            if (--depth < 0)
                return false;
            ++i;
        } else if (depth == 0 && two == u"--") {
            i = text.indexOf(u'\n', i);
            if (i < 0)
                break;
        } else if (depth == 0 && (text.at(i) == u'[' || text.at(i) == u'\'')) {
            const QChar close = text.at(i) == u'[' ? QChar(u']') : QChar(u'\'');
            for (++i; i < n; ++i)
                if (text.at(i) == close) {
                    if (i + 1 < n && text.at(i + 1) == close)
                        ++i;
                    else
                        break;
                }
        }
    }
    return depth == 0;
}
} // namespace
class TestScriptFixes : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetDecimalSeparator(u','); }

    void valuesOfEveryKind_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("declaration");
        QTest::addColumn<QString>("literal");
        // the catalogue's lengths are bytes: nvarchar(100) is 200 bytes
        QTest::newRow("nvarchar") << 231 << 200 << "Привет, мир" << "V1 nvarchar(100)" << "N'Привет, мир'";
        QTest::newRow("nchar") << 239 << 20 << "ё'ж" << "V1 nchar(10)" << "N'ё''ж'";
        QTest::newRow("ntext") << 99 << 16 << "日本" << "V1 ntext" << "N'日本'";
        QTest::newRow("decimal") << 106 << 9 << "-12345678901234,5678" << "V1 decimal(18,4)" << "-12345678901234.5678";
        QTest::newRow("numeric") << 108 << 9 << "0,0001" << "V1 numeric(18,4)" << "0.0001";
        QTest::newRow("float") << 62 << 8 << "0,30000000000000004" << "V1 float" << "0.30000000000000004";
        QTest::newRow("real") << 59 << 4 << "3,4028235E+38" << "V1 real" << "3.4028235E+38";
        QTest::newRow("datetime ms") << 61 << 8 << "31.12.1999 23:59:59.997" << "V1 datetime"
                                     << "CONVERT(DATETIME, '31.12.1999 23:59:59.997',105)";
        QTest::newRow("bit") << 104 << 1 << "0" << "V1 bit" << "0";
        QTest::newRow("binary") << 173 << 4 << "0A0B0C0D" << "V1 binary(4)" << "0x0A0B0C0D";
        QTest::newRow("varbinary empty") << 165 << 10 << "" << "V1 varbinary(10)" << "0x";
        QTest::newRow("image") << 34 << 16 << "FFD8FFE0" << "V1 image" << "0xFFD8FFE0";
        QTest::newRow("uniqueidentifier") << 36 << 16 << "6F9619FF-8B86-D011-B42D-00C04FC964FF" << "V1 uniqueidentifier"
                                          << "'6F9619FF-8B86-D011-B42D-00C04FC964FF'";
        // a backslash before a line break is followed by another and CR LF,
        // which the server drops as a line continuation
        QTest::newRow("backslash before break") << 167 << 50 << "C:\\\r\nD:\\" << "V1 varchar(50)" << "'C:\\\\\r\n\r\nD:\\'";
        QTest::newRow("unicode backslash") << 231 << 50 << "\\\n" << "V1 nvarchar(25)" << "N'\\\\\r\n\n'";
    }
    void valuesOfEveryKind()
    {
        QFETCH(int, xtype);
        QFETCH(int, length);
        QFETCH(QString, value);
        QFETCH(QString, declaration);
        QFETCH(QString, literal);
        auto table = MakeTable(QStringLiteral("K"), {{"Id", XType::Int, 4, false, true, true}, {"V", quint8(xtype), length}});
        table->Columns.Items(1)->Precision = 18;
        table->Columns.Items(1)->Scale = 4;
        TMemoryRowSet rows({QStringLiteral("Id"), QStringLiteral("V")}, {{QString("1"), value}});
        const TBuildResult result = RunBuild(*table, rows);
        QCOMPARE(result.lines.at(9), QStringLiteral("DECLARE @KTempTable TABLE (Id1 int, %1);").arg(declaration));
        QCOMPARE(result.lines.at(11), QStringLiteral("INSERT INTO @KTempTable(Id1, V1) \r\n  VALUES(1, %1);").arg(literal));
    }

    void timestampAndComputedAreNotCarried()
    {
        auto table = MakeTable(QStringLiteral("Orders"), {{"Id", XType::Int, 4, true, true, true},
                                                          {"Qty", XType::Int, 4},
                                                          {"Ver", XType::Timestamp, 8},
                                                          {"Total", XType::Money, 8},
                                                          {"Note", XType::VarChar, 10}});
        table->Columns.Items(3)->IsComputed = true;
        TMemoryRowSet rows({QStringLiteral("Id"), QStringLiteral("Qty"), QStringLiteral("Ver"), QStringLiteral("Total"),
                            QStringLiteral("Note")},
                           {{QString("1"), QString("5"), QString("00000000000007D1"), QString("10"), QString("n")}});
        const TBuildResult result = RunBuild(*table, rows);
        const QString text = result.text();
        QVERIFY(result.lines.contains(QStringLiteral("DECLARE @OrdersTempTable TABLE (Id1 int, Qty1 int, Note1 varchar(10));")));
        QVERIFY(result.lines.contains(QStringLiteral("INSERT INTO @OrdersTempTable(Id1, Qty1, Note1) \r\n  VALUES(1, 5, 'n');")));
        QVERIFY(text.contains(QStringLiteral("SET Qty = T.Qty1, Note = T.Note1 \r\n")));
        QVERIFY(text.contains(QStringLiteral("INSERT INTO Orders(Id, Qty, Note) \r\n  SELECT Id1, Qty1, Note1 FROM")));
        QVERIFY(!text.contains(QStringLiteral("Ver1")) && !text.contains(QStringLiteral("Total1")));
        const QStringList comments = result.lines.filter(QStringLiteral("(timestamp or computed)"));
        QCOMPARE(comments.size(), 1);
        QVERIFY(comments.first().startsWith(QStringLiteral("--")));
        QVERIFY(comments.first().endsWith(QStringLiteral(": Ver, Total--")));
    }

    void identityOnlyWhenCarried()
    {
        auto table = MakeTable(QStringLiteral("Goods"), {{"Id", XType::Int, 4, true, false},
                                                         {"Code", XType::VarChar, 10, false, true, true},
                                                         {"Title", XType::VarChar, 10}});
        TMemoryRowSet rows({QStringLiteral("Id"), QStringLiteral("Code"), QStringLiteral("Title")},
                           {{QString("1"), QString("c"), QString("t")}});
        QString text = RunBuild(*table, rows).text();
        QVERIFY(!text.contains(QStringLiteral("IDENTITY_INSERT")));
        QVERIFY(!text.contains(QStringLiteral("CHECKIDENT")));

        // carried, not a key: switched on, but never updated
        table->Columns.Items(0)->IsUsed = true;
        TMemoryRowSet again({QStringLiteral("Id"), QStringLiteral("Code"), QStringLiteral("Title")},
                            {{QString("1"), QString("c"), QString("t")}});
        text = RunBuild(*table, again).text();
        QVERIFY(text.contains(QStringLiteral("SET IDENTITY_INSERT Goods ON;")));
        QVERIFY(text.contains(QStringLiteral("DBCC CHECKIDENT(Goods, RESEED);")));
        QVERIFY(text.contains(QStringLiteral("  SET Title = T.Title1 \r\n")));
    }

    void namesThatNeedBrackets()
    {
        auto table = MakeTable(QStringLiteral("Order Details"), {{"Key", XType::Int, 4, true, true, true},
                                                                 {"Unit Price", XType::Money, 8},
                                                                 {"a]b", XType::Int, 4}});
        TMemoryRowSet rows({QStringLiteral("Key"), QStringLiteral("Unit Price"), QStringLiteral("a]b")},
                           {{QString("1"), QString("2,5"), QString("3")}});
        const TBuildResult result = RunBuild(*table, rows, true);
        const QString text = result.text();
        for (const char *piece :
             {"DECLARE @Order_DetailsTempTable TABLE (Key1 int, [Unit Price1] money, [a]]b1] int);",
              "INSERT INTO @Order_DetailsTempTable(Key1, [Unit Price1], [a]]b1]) \r\n  VALUES(1, 2.5, 3);",
              "DELETE FROM [Order Details];", "SET IDENTITY_INSERT [Order Details] ON;",
              "UPDATE [Order Details] \r\n  SET [Unit Price] = T.[Unit Price1], [a]]b] = T.[a]]b1] \r\n  FROM @Order_DetailsTempTable AS T \r\n  WHERE ([Key] = T.Key1);",
              "INSERT INTO [Order Details]([Key], [Unit Price], [a]]b]) \r\n  SELECT Key1, [Unit Price1], [a]]b1] FROM",
              "WHERE NOT EXISTS(SELECT * FROM [Order Details] WHERE ([Key] = T.Key1))",
              "DBCC CHECKIDENT(N'[Order Details]', RESEED);", "--Script for table „Order Details“ start.--"})
            QVERIFY2(text.contains(QString::fromUtf8(piece)), piece);
    }

    // A nickname that is a plain name is quoted like any name; one written
    // with brackets or an owner is used as written. DBCC CHECKIDENT gets the
    // target as a Unicode literal unless it is a bare name.
    void nicknames_data()
    {
        QTest::addColumn<QString>("nickname");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reseed");
        QTest::newRow("plain") << "Goods2" << "Goods2" << "DBCC CHECKIDENT(Goods2, RESEED);";
        QTest::newRow("needs brackets") << "Order Lines" << "[Order Lines]" << "DBCC CHECKIDENT(N'[Order Lines]', RESEED);";
        QTest::newRow("owner") << "dbo.Goods" << "dbo.Goods" << "DBCC CHECKIDENT(N'dbo.Goods', RESEED);";
        QTest::newRow("brackets") << "[My Goods]" << "[My Goods]" << "DBCC CHECKIDENT(N'[My Goods]', RESEED);";
        QTest::newRow("quote") << "O'Neil" << "[O'Neil]" << "DBCC CHECKIDENT(N'[O''Neil]', RESEED);";
        QTest::newRow("reserved") << "Table" << "[Table]" << "DBCC CHECKIDENT(N'[Table]', RESEED);";
        QTest::newRow("cyrillic") << "Заказы" << "Заказы" << "DBCC CHECKIDENT(Заказы, RESEED);";
        QTest::newRow("cyrillic with a blank") << "Заказы 2" << "[Заказы 2]" << "DBCC CHECKIDENT(N'[Заказы 2]', RESEED);";
    }
    void nicknames()
    {
        QFETCH(QString, nickname);
        QFETCH(QString, target);
        QFETCH(QString, reseed);
        TGoodsFixture goods;
        goods.table->Nickname = nickname;
        const TBuildResult result = RunBuild(*goods.table, goods.rows, true);
        QVERIFY(result.lines.contains(reseed));
        for (const QString &line : {QStringLiteral("DELETE FROM %1;"), QStringLiteral("SET IDENTITY_INSERT %1 ON;"),
                                    QStringLiteral("SET IDENTITY_INSERT %1 OFF;")})
            QVERIFY2(result.lines.contains(line.arg(target)), qPrintable(line.arg(target)));
        QVERIFY(result.text().contains(QStringLiteral("UPDATE %1 \r\n").arg(target)));
        QVERIFY(result.text().contains(QStringLiteral("WHERE NOT EXISTS(SELECT * FROM %1 WHERE").arg(target)));
    }

    void variableNameIsValid_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("variable");
        QTest::newRow("cyrillic") << "Товары" << "@ТоварыTempTable";
        QTest::newRow("punctuation") << "a-b.c d" << "@a_b_c_dTempTable";
        QTest::newRow("long") << QString(128, u'x') << u'@' + QString(118, u'x') + QStringLiteral("TempTable");
    }
    void variableNameIsValid()
    {
        QFETCH(QString, table);
        QFETCH(QString, variable);
        auto t = MakeTable(table, {{"Id", XType::Int, 4, false, true, true}});
        TMemoryRowSet rows({QStringLiteral("Id")}, {});
        const TBuildResult result = RunBuild(*t, rows);
        QCOMPARE(result.lines.at(9), QStringLiteral("DECLARE %1 TABLE (Id1 int);").arg(variable));
        QVERIFY(variable.size() <= 128);
    }

    // No name can open a nested comment ("/*") or close one ("*/") early.
    void commentsStayComments_data()
    {
        QTest::addColumn<QString>("dataBase");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("shownDataBase");
        QTest::addColumn<QString>("shownTable");
        QTest::newRow("closer") << "x*/y" << "a*/b\r\nc" << "x* /y" << "a* /b  c";
        QTest::newRow("opener") << "Sales/*2024" << "Orders /* old" << "Sales/ *2024" << "Orders / * old";
        QTest::newRow("both at once") << "/*/" << "*/*" << "/ * /" << "* / *";
    }
    void commentsStayComments()
    {
        QFETCH(QString, dataBase);
        QFETCH(QString, table);
        QFETCH(QString, shownDataBase);
        QFETCH(QString, shownTable);
        TDataBase base(dataBase, 1);
        auto t = MakeTable(table, {{"Id", XType::Int, 4, false, true, true}});
        t->DataBase = &base;
        TMemoryRowSet rows({QStringLiteral("Id")}, {});
        const TBuildResult result = RunBuild(*t, rows);
        QCOMPARE(result.lines.at(3), QStringLiteral("Used data base „%1“").arg(shownDataBase));
        QCOMPARE(result.lines.at(4), QStringLiteral("Used table „%1“").arg(shownTable));
        QCOMPARE(result.lines.at(7), QStringLiteral("--Script for table „%1“ start.--").arg(shownTable));
        // every comment the script opens is closed before anything else runs
        QVERIFY(CommentsBalanced(result.text()));
    }

    // The UPDATE commented out for an empty SET list keeps its comment
    // closed whatever the key columns are called.
    void commentedOutUpdateStaysClosed()
    {
        auto table = MakeTable(QStringLiteral("L"), {{"a*/b", XType::Int, 4, false, true, true}, {"c/*d", XType::Int, 4, false, true, true}});
        TMemoryRowSet rows({QStringLiteral("a*/b"), QStringLiteral("c/*d")}, {{QString("1"), QString("2")}});
        const TBuildResult result = RunBuild(*table, rows);
        const int open = int(result.lines.indexOf(QStringLiteral("/*"), 6));
        QVERIFY(open > 0);
        const QString update = result.lines.at(open + 2);
        QVERIFY(update.startsWith(QStringLiteral("UPDATE L \r\n")));
        QVERIFY(!update.contains(QStringLiteral("*/")) && !update.contains(QStringLiteral("/*")));
        QCOMPARE(result.lines.at(open + 3), QStringLiteral("*/"));
        // outside the comment the names stay as they are
        QVERIFY(result.text().contains(QStringLiteral("WHERE NOT EXISTS(SELECT * FROM L WHERE ([a*/b] = T.[a*/b1]) AND ([c/*d] = T.[c/*d1]))")));
    }
};

QTEST_GUILESS_MAIN(TestScriptFixes)
#include "tst_scriptfixes.moc"
