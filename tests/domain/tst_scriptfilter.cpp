#include "ScriptFixture.h"

#include <QTest>

// The row filter and the "only changed rows" option in the script's text:
// the header records the filter, DELETE keeps to it, and the UPDATE's
// condition compares exactly the columns it sets. Whether the server takes
// the texts and does what they say is the round trip's to prove.

namespace {

TBuildResult buildWith(const TTable &table, TRowSet &rows, const QString &filter, bool deleteTable, bool onlyChanged)
{
    TBuildResult result;
    TParseSettings settings;
    settings.SetDeleteTable(deleteTable);
    settings.SetRowFilter(filter);
    settings.SetOnlyChanged(onlyChanged);
    TScriptLinesCollector sink(result.lines);
    TScriptBuildControl control;
    control.Now = FixedNow();
    result.outcome = BuildScript(table, rows, &settings, sink, control);
    return result;
}

QString itemStartingWith(const QStringList &lines, const QString &head)
{
    for (const QString &line : lines)
        if (line.startsWith(head))
            return line;
    return {};
}

// The part of the UPDATE after its key condition; empty when there is none.
QString changedPart(const QString &update, const QString &keys)
{
    const QString head = QStringLiteral("WHERE ") + keys;
    const qsizetype at = update.indexOf(head);
    return at < 0 ? QStringLiteral("(no key condition)") : update.mid(at + head.size()).chopped(1);
}

} // namespace

class TestScriptFilter : public QObject
{
    Q_OBJECT

private slots:
    // The rows' texts use a comma, as the worked example's do.
    void init() { SetDecimalSeparator(u','); }
    void filter_data();
    void filter();
    void onlyChangedTerms_data();
    void onlyChangedTerms();
    void onlyChangedAlwaysUpdates_data();
    void onlyChangedAlwaysUpdates();
    void defaultsKeepTheText();
};

void TestScriptFilter::filter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("deleteTable");
    QTest::addColumn<QString>("headerLine"); // empty: none
    QTest::addColumn<QString>("deleteLine"); // empty: none

    QTest::newRow("no filter, delete") << QString() << true << QString() << "DELETE FROM Goods;";
    QTest::newRow("blank filter is none") << "  " << true << QString() << "DELETE FROM Goods;";
    QTest::newRow("filter, delete") << "Price > 3" << true << "Used row filter „Price > 3“"
                                    << "DELETE FROM Goods WHERE (Price > 3);";
    QTest::newRow("filter, no delete") << "Price > 3" << false << "Used row filter „Price > 3“" << QString();
    QTest::newRow("filter trimmed") << "\r\n Price > 3 \r\n" << true << "Used row filter „Price > 3“"
                                    << "DELETE FROM Goods WHERE (Price > 3);";
    // The header is a block comment: the filter's own comment marks and
    // line breaks must not end it.
    QTest::newRow("comment marks") << "/* cheap */ Price < 3 OR Title LIKE '%*/%'" << true
                                   << "Used row filter „/ * cheap * / Price < 3 OR Title LIKE '%* /%'“"
                                   << "DELETE FROM Goods WHERE (/* cheap */ Price < 3 OR Title LIKE '%*/%');";
    QTest::newRow("two lines") << "Price > 3\r\nAND Id < 10" << true << "Used row filter „Price > 3  AND Id < 10“"
                               << "DELETE FROM Goods WHERE (Price > 3\r\nAND Id < 10);";
    // A line comment at the end would swallow the closing parenthesis.
    QTest::newRow("line comment") << "Price > 3 -- the dear ones" << true
                                  << "Used row filter „Price > 3 -- the dear ones“"
                                  << "DELETE FROM Goods WHERE (Price > 3 -- the dear ones\r\n);";
}

void TestScriptFilter::filter()
{
    QFETCH(QString, filter);
    QFETCH(bool, deleteTable);
    QFETCH(QString, headerLine);
    QFETCH(QString, deleteLine);
    TGoodsFixture goods;
    const TBuildResult result = buildWith(*goods.table, goods.rows, filter, deleteTable, false);
    QVERIFY(result.outcome.Complete());
    const qsizetype headerEnd = result.lines.indexOf(QStringLiteral("*/"));
    QVERIFY(headerEnd > 0);
    const QStringList header = result.lines.mid(0, headerEnd);
    const QStringList filterLines = header.filter(QStringLiteral("row filter"));
    QCOMPARE(filterLines, headerLine.isEmpty() ? QStringList() : QStringList{headerLine});
    // Only the header's own line stands after "Used table".
    if (!headerLine.isEmpty())
        QCOMPARE(header.indexOf(headerLine), header.indexOf(QStringLiteral("Used table „Goods“")) + 1);
    QCOMPARE(itemStartingWith(result.lines, QStringLiteral("DELETE")), deleteLine);
}

void TestScriptFilter::onlyChangedTerms_data()
{
    QTest::addColumn<int>("xtype");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("term");

    const QString nullSafe = QStringLiteral(" OR (C IS NULL AND T.C1 IS NOT NULL) OR (C IS NOT NULL AND T.C1 IS NULL))");
    const QString bytes = QStringLiteral("(CAST(C AS varbinary(8000)) <> CAST(T.C1 AS varbinary(8000)) "
                                         "OR DATALENGTH(C) <> DATALENGTH(T.C1)") + nullSafe;
    QTest::newRow("varchar") << XType::VarChar << 50 << bytes;
    QTest::newRow("char") << XType::Char << 10 << bytes;
    QTest::newRow("nvarchar") << XType::NVarChar << 100 << bytes;
    QTest::newRow("nchar") << XType::NChar << 20 << bytes;
    QTest::newRow("varchar(max)") << XType::VarChar << -1
                                  << QStringLiteral("(CAST(C AS varbinary(max)) <> CAST(T.C1 AS varbinary(max)) "
                                                    "OR DATALENGTH(C) <> DATALENGTH(T.C1)") + nullSafe;
    const QString lengths = QStringLiteral("(C <> T.C1 OR DATALENGTH(C) <> DATALENGTH(T.C1)") + nullSafe;
    QTest::newRow("varbinary") << XType::VarBinary << 100 << lengths;
    QTest::newRow("binary") << XType::Binary << 8 << lengths;
    const QString plain = QStringLiteral("(C <> T.C1") + nullSafe;
    QTest::newRow("int") << XType::Int << 4 << plain;
    QTest::newRow("float") << XType::Float << 8 << plain;
    QTest::newRow("datetime") << XType::DateTime << 8 << plain;
    QTest::newRow("money") << XType::Money << 8 << plain;
    QTest::newRow("bit") << XType::Bit << 1 << plain;
    QTest::newRow("uniqueidentifier") << XType::UniqueIdentifier << 16 << plain;
}

void TestScriptFilter::onlyChangedTerms()
{
    QFETCH(int, xtype);
    QFETCH(int, length);
    QFETCH(QString, term);
    // The key and the identity are not set, so not compared either.
    const auto table = MakeTable(QStringLiteral("Goods"), {{"Id", XType::Int, 4, false, true, true},
                                                           {"Seq", XType::Int, 4, true, true, false},
                                                           {"C", xtype, length}});
    TMemoryRowSet rows({QStringLiteral("Id"), QStringLiteral("Seq"), QStringLiteral("C")}, {});
    const TBuildResult result = buildWith(*table, rows, {}, false, true);
    QVERIFY(result.outcome.Complete());
    const QString update = itemStartingWith(result.lines, QStringLiteral("UPDATE"));
    QCOMPARE(changedPart(update, QStringLiteral("(Id = T.Id1)")), QStringLiteral(" \r\n  AND (") + term + u')');
    const qsizetype at = result.lines.indexOf(update);
    QCOMPARE(result.lines.at(at - 1),
             QStringLiteral("--Обновляются только строки, в которых отличается хотя бы один переносимый столбец.--"));
}

void TestScriptFilter::onlyChangedAlwaysUpdates_data()
{
    QTest::addColumn<int>("xtype");
    QTest::newRow("text") << XType::Text;
    QTest::newRow("ntext") << XType::NText;
    QTest::newRow("image") << XType::Image;
    QTest::newRow("sql_variant") << XType::SqlVariant;
}

void TestScriptFilter::onlyChangedAlwaysUpdates()
{
    QFETCH(int, xtype);
    const auto table = MakeTable(QStringLiteral("Goods"), {{"Id", XType::Int, 4, false, true, true},
                                                           {"Title", XType::VarChar, 50},
                                                           {"Body", xtype, 16}});
    TMemoryRowSet rows({QStringLiteral("Id"), QStringLiteral("Title"), QStringLiteral("Body")}, {});
    const TBuildResult result = buildWith(*table, rows, {}, false, true);
    QVERIFY(result.outcome.Complete());
    const QString update = itemStartingWith(result.lines, QStringLiteral("UPDATE"));
    QVERIFY2(update.endsWith(QStringLiteral("WHERE (Id = T.Id1);")), qPrintable(update));
    const QString note = result.lines.at(result.lines.indexOf(update) - 1);
    QVERIFY2(note.startsWith(QStringLiteral("--Столбцы Body ")) && note.contains(QStringLiteral("обновляются все")),
             qPrintable(note));
}

void TestScriptFilter::defaultsKeepTheText()
{
    // Every column a key: nothing to set, the commented UPDATE as before,
    // whatever the option says.
    const auto keys = MakeTable(QStringLiteral("Pairs"), {{"A", XType::Int, 4, false, true, true},
                                                          {"B", XType::VarChar, 10, false, true, true}});
    TMemoryRowSet none({QStringLiteral("A"), QStringLiteral("B")}, {});
    TMemoryRowSet none2({QStringLiteral("A"), QStringLiteral("B")}, {});
    QCOMPARE(buildWith(*keys, none, {}, false, true).lines, buildWith(*keys, none2, {}, false, false).lines);
    // Options off: the worked example, line for line.
    TGoodsFixture goods;
    QCOMPARE(buildWith(*goods.table, goods.rows, {}, false, false).text(), WorkedExampleText());
}

QTEST_GUILESS_MAIN(TestScriptFilter)
#include "tst_scriptfilter.moc"
