// The types of SQL Server 2005 to 2022 in the data script: how each is
// declared in the table variable, how its values are written, and how the
// CLR types travel through their binary form.

#include "ChangedRows.h"
#include "Domain.h"
#include "MemoryRowSet.h"
#include "ScriptFixture.h"
#include "ScriptPlan.h"

#include <QTest>

namespace {

// A column as the catalogue views give it: the CLR types by their name.
std::unique_ptr<TCustomColumn> column(const QString &name, int xtype, int length, int scale = 0,
                                      const QString &typeName = QString())
{
    auto c = CreateColumn(name, xtype, 1, false, length);
    c->Scale = scale;
    if (!typeName.isEmpty())
        c->ColumnType.Name = typeName;
    return c;
}

} // namespace

class TestNewerTypes : public QObject
{
    Q_OBJECT

private slots:
    void declarations_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("typeName");
        QTest::addColumn<QString>("declared");
        QTest::newRow("date") << XType::Date << 3 << 0 << QString() << "date";
        QTest::newRow("time(7)") << XType::Time << 5 << 7 << QString() << "time(7)";
        QTest::newRow("time(0)") << XType::Time << 3 << 0 << QString() << "time(0)";
        QTest::newRow("datetime2(3)") << XType::DateTime2 << 7 << 3 << QString() << "datetime2(3)";
        QTest::newRow("datetime2(7)") << XType::DateTime2 << 8 << 7 << QString() << "datetime2(7)";
        QTest::newRow("datetimeoffset(0)") << XType::DateTimeOffset << 8 << 0 << QString() << "datetimeoffset(0)";
        QTest::newRow("datetimeoffset(7)") << XType::DateTimeOffset << 10 << 7 << QString() << "datetimeoffset(7)";
        QTest::newRow("varchar(max)") << XType::VarChar << -1 << 0 << QString() << "varchar(max)";
        QTest::newRow("nvarchar(max)") << XType::NVarChar << -1 << 0 << QString() << "nvarchar(max)";
        QTest::newRow("varbinary(max)") << XType::VarBinary << -1 << 0 << QString() << "varbinary(max)";
        QTest::newRow("xml") << XType::Xml << -1 << 0 << QString() << "xml";
        QTest::newRow("hierarchyid") << XType::Clr << 892 << 0 << "hierarchyid" << "varbinary(max)";
        QTest::newRow("geography") << XType::Clr << -1 << 0 << "geography" << "varbinary(max)";
        QTest::newRow("geometry") << XType::Clr << -1 << 0 << "geometry" << "varbinary(max)";
        QTest::newRow("a user's CLR type") << XType::Clr << -1 << 0 << "Point" << "";
    }
    void declarations()
    {
        QFETCH(int, xtype);
        QFETCH(int, length);
        QFETCH(int, scale);
        QFETCH(QString, typeName);
        QFETCH(QString, declared);
        const auto c = column(QStringLiteral("C"), xtype, length, scale, typeName);
        QCOMPARE(GetDeclaredType(*c), declared);
        QCOMPARE(c->IsOfKnownType(), !declared.isEmpty());
        QCOMPARE(c->IsCarriable(), !declared.isEmpty());
        QCOMPARE(KeyRefusal(*c) == krUnknownType, declared.isEmpty());
    }

    void literals_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<QString>("typeName");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("literal");
        // The server's style-less text of a value made ISO 8601.
        QTest::newRow("date") << XType::Date << QString() << "2024-02-29" << "'2024-02-29'";
        QTest::newRow("first date") << XType::Date << QString() << "0001-01-01" << "'0001-01-01'";
        QTest::newRow("time(7) to 100 ns") << XType::Time << QString() << "23:59:59.9999999" << "'23:59:59.9999999'";
        QTest::newRow("time(0)") << XType::Time << QString() << "00:00:00" << "'00:00:00'";
        QTest::newRow("datetime2(7)") << XType::DateTime2 << QString() << "9999-12-31 23:59:59.9999999"
                                      << "'9999-12-31T23:59:59.9999999'";
        QTest::newRow("datetime2(0)") << XType::DateTime2 << QString() << "2001-02-03 04:05:06" << "'2001-02-03T04:05:06'";
        QTest::newRow("datetimeoffset east") << XType::DateTimeOffset << QString() << "2024-02-29 13:45:07.1234567 +14:00"
                                             << "'2024-02-29T13:45:07.1234567+14:00'";
        QTest::newRow("datetimeoffset west") << XType::DateTimeOffset << QString() << "0001-01-01 00:00:00.0000001 -12:30"
                                             << "'0001-01-01T00:00:00.0000001-12:30'";
        QTest::newRow("datetimeoffset(0) utc") << XType::DateTimeOffset << QString() << "2000-01-01 00:00:00 +00:00"
                                               << "'2000-01-01T00:00:00+00:00'";
        QTest::newRow("xml non-Latin") << XType::Xml << QString() << "<a t=\"it's\">Ёж 語</a>" << "N'<a t=\"it''s\">Ёж 語</a>'";
        QTest::newRow("hierarchyid bytes") << XType::Clr << "hierarchyid" << "5AC0" << "0x5AC0";
        QTest::newRow("empty hierarchyid (the root)") << XType::Clr << "hierarchyid" << "" << "0x";
        QTest::newRow("geography bytes") << XType::Clr << "geography" << "E6100000010C" << "0xE6100000010C";
    }
    void literals()
    {
        QFETCH(int, xtype);
        QFETCH(QString, typeName);
        QFETCH(QString, text);
        QFETCH(QString, literal);
        const auto c = column(QStringLiteral("C"), xtype, -1, 7, typeName);
        QCOMPARE(c->GetSQLValue(text), literal);
        // The UTF-8 writer the generator's rows take gives the same bytes.
        QByteArray utf8;
        c->AppendSQLValue(utf8, text.toUtf8());
        QCOMPARE(QString::fromUtf8(utf8), literal);
    }

    // The rows are read in a form the literal rules know: the date and time
    // types and xml as text, the CLR types as bytes; the others as they are.
    void readExpressions_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<QString>("typeName");
        QTest::addColumn<QString>("expression");
        QTest::newRow("int") << XType::Int << QString() << "[C]";
        QTest::newRow("datetime") << XType::DateTime << QString() << "[C]";
        QTest::newRow("varbinary(max)") << XType::VarBinary << QString() << "[C]";
        QTest::newRow("date") << XType::Date << QString() << "CAST([C] AS nvarchar(40)) AS [C]";
        QTest::newRow("time") << XType::Time << QString() << "CAST([C] AS nvarchar(40)) AS [C]";
        QTest::newRow("datetime2") << XType::DateTime2 << QString() << "CAST([C] AS nvarchar(40)) AS [C]";
        QTest::newRow("datetimeoffset") << XType::DateTimeOffset << QString() << "CAST([C] AS nvarchar(40)) AS [C]";
        QTest::newRow("xml") << XType::Xml << QString() << "CAST([C] AS nvarchar(max)) AS [C]";
        QTest::newRow("geometry") << XType::Clr << "geometry" << "CAST([C] AS varbinary(max)) AS [C]";
    }
    void readExpressions()
    {
        QFETCH(int, xtype);
        QFETCH(QString, typeName);
        QFETCH(QString, expression);
        const auto c = column(QStringLiteral("C"), xtype, -1, 7, typeName);
        QCOMPARE(ReadExpression(*c, QStringLiteral("[C]")), expression);
    }

    void comparable_data()
    {
        QTest::addColumn<int>("xtype");
        QTest::addColumn<QString>("typeName");
        QTest::addColumn<bool>("comparable");
        QTest::newRow("datetimeoffset") << XType::DateTimeOffset << QString() << true;
        QTest::newRow("nvarchar(max)") << XType::NVarChar << QString() << true;
        QTest::newRow("xml") << XType::Xml << QString() << false;
        QTest::newRow("hierarchyid") << XType::Clr << "hierarchyid" << true;
        QTest::newRow("geometry") << XType::Clr << "geometry" << false;
        QTest::newRow("geography") << XType::Clr << "GEOGRAPHY" << false;
    }
    void comparable()
    {
        QFETCH(int, xtype);
        QFETCH(QString, typeName);
        QFETCH(bool, comparable);
        const auto c = column(QStringLiteral("C"), xtype, -1, 7, typeName);
        c->IsUsed = true;
        QCOMPARE(c->IsComparable(), comparable);
        QCOMPARE(KeyRefusal(*c), comparable ? krNone : krNotComparable);
    }

    // A hierarchyid key and a geography column: the table variable holds
    // their bytes, and every place the target meets them makes them the
    // type again.
    void clrValuesReachTheTargetAsTheirType()
    {
        TTable table(QStringLiteral("Nodes"), soUserTable, 5);
        auto node = column(QStringLiteral("Node"), XType::Clr, 892, 0, QStringLiteral("hierarchyid"));
        node->IsUsed = node->IsKey = true;
        auto place = column(QStringLiteral("Place"), XType::Clr, -1, 0, QStringLiteral("geography"));
        place->IsUsed = true;
        auto at = column(QStringLiteral("At"), XType::DateTimeOffset, 10, 7);
        at->IsUsed = true;
        table.Columns.Add(std::move(node));
        table.Columns.Add(std::move(place));
        table.Columns.Add(std::move(at));
        TMemoryRowSet rows({QStringLiteral("Node"), QStringLiteral("Place"), QStringLiteral("At")},
                           {{QString("58"), QString("E6100000"), QString("2024-01-02 03:04:05.0000001 -05:00")},
                            {QString(""), QVariant(), QVariant()}});
        const TBuildResult result = RunBuild(table, rows, true);
        QVERIFY2(result.outcome.Complete(), qPrintable(result.outcome.Reason));
        const QString text = result.text();
        QVERIFY2(text.contains(QStringLiteral("DECLARE @NodesTempTable TABLE (Node1 varbinary(max), Place1 varbinary(max), "
                                              "At1 datetimeoffset(7));")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("VALUES(0x58, 0xE6100000, '2024-01-02T03:04:05.0000001-05:00');")));
        QVERIFY(text.contains(QStringLiteral("VALUES(0x, NULL, NULL);")));
        QVERIFY(text.contains(QStringLiteral("SET Place = CAST(T.Place1 AS geography), At = T.At1")));
        QVERIFY(text.contains(QStringLiteral("WHERE (Node = CAST(T.Node1 AS hierarchyid));")));
        QVERIFY(text.contains(QStringLiteral("SELECT CAST(Node1 AS hierarchyid), CAST(Place1 AS geography), At1 FROM "
                                             "@NodesTempTable AS T")));
        // The UPDATE of changed rows cannot compare a geography.
        const TScriptPlan plan(table);
        QCOMPARE(ChangedRowsCondition(plan).Uncompared, QStringList{QStringLiteral("Place")});
    }

    // A datetimeoffset whose offset alone changed is a changed value: the
    // server's = says the same instant is equal, the texts differ.
    void changedOffsetIsAChange()
    {
        TTable table(QStringLiteral("Events"), soUserTable, 5);
        auto id = column(QStringLiteral("Id"), XType::Int, 4);
        id->IsUsed = id->IsKey = true;
        auto at = column(QStringLiteral("At"), XType::DateTimeOffset, 10, 7);
        at->IsUsed = true;
        table.Columns.Add(std::move(id));
        table.Columns.Add(std::move(at));
        const TChangedRowsCondition changed = ChangedRowsCondition(TScriptPlan(table));
        QVERIFY(changed.Uncompared.isEmpty());
        QVERIFY2(changed.Condition.startsWith(QStringLiteral("(CAST(At AS nvarchar(40)) <> CAST(T.At1 AS nvarchar(40))")),
                 qPrintable(changed.Condition));
    }
};

QTEST_GUILESS_MAIN(TestNewerTypes)
#include "tst_newertypes.moc"
