// quorvane-script's choice of columns and keys, without a server: what it
// refuses, and with which exit status and words.

#include "Domain.h"
#include "ScriptCliRun.h"

#include <QTest>

namespace {

struct TSpec
{
    const char *name;
    int xtype;
    bool primary = false;
    bool computed = false;
};

std::unique_ptr<TTable> tableOf(std::initializer_list<TSpec> specs)
{
    auto table = std::make_unique<TTable>(QStringLiteral("Goods"), soUserTable, 1);
    for (const TSpec &spec : specs) {
        auto column = CreateColumn(QString::fromLatin1(spec.name), spec.xtype, 1, false, 8);
        column->IsPrimaryKey = spec.primary;
        column->IsComputed = spec.computed;
        table->Columns.Add(std::move(column));
    }
    return table;
}

QString flags(const TTable &table)
{
    QStringList out;
    for (const TCustomColumn *c : table.Columns)
        out << QStringLiteral("%1%2%3").arg(c->Name, c->IsUsed ? QStringLiteral("+") : QString(),
                                             c->IsKey ? QStringLiteral("*") : QString());
    return out.join(u' ');
}

} // namespace

class TestScriptCliChoices : public QObject
{
    Q_OBJECT

private slots:
    void choices_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("marked");
        // 0: Id int PK, Body text, Odd xtype 701
        // 1: Id int, Stamp timestamp PK, Title varchar
        // 2: Id int, Total computed PK
        QTest::newRow("defaults") << 1 << QStringList{} << QStringList{} << 2
                                  << "the primary key cannot be used: key column Stamp is a timestamp column" << "";
        QTest::newRow("unknown type among all") << 0 << QStringList{} << QStringList{} << 2
                                                << "column Odd is of a type unknown to quorvane-script (xtype 701)" << "";
        QTest::newRow("unknown type left out") << 0 << QStringList{"Id", "Body"} << QStringList{} << 0 << ""
                                               << "Id+* Body+ Odd";
        QTest::newRow("text key") << 0 << QStringList{"Id", "Body"} << QStringList{"Body"} << 2
                                  << "key column Body is of type text, which the server cannot compare" << "";
        QTest::newRow("computed primary key") << 2 << QStringList{} << QStringList{} << 2
                                              << "key column Total is a computed column" << "";
        QTest::newRow("other keys than a bad primary key") << 1 << QStringList{} << QStringList{"Id"} << 0 << ""
                                                           << "Id+* Stamp+ Title+";
        QTest::newRow("timestamp named as key") << 1 << QStringList{} << QStringList{"Stamp"} << 2
                                                << "key column Stamp is a timestamp column" << "";
        QTest::newRow("primary key left out") << 1 << QStringList{"Id", "Title"} << QStringList{} << 0 << ""
                                              << "Id+ Stamp Title+";
    }
    void choices()
    {
        QFETCH(int, table);
        QFETCH(QStringList, columns);
        QFETCH(QStringList, keys);
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(QString, marked);
        std::unique_ptr<TTable> t;
        if (table == 0)
            t = tableOf({{"Id", XType::Int, true}, {"Body", XType::Text}, {"Odd", 701}});
        else if (table == 1)
            t = tableOf({{"Id", XType::Int}, {"Stamp", XType::Timestamp, true}, {"Title", XType::VarChar}});
        else
            t = tableOf({{"Id", XType::Int}, {"Total", XType::Int, true, true}});
        const TChoiceError error = ApplyColumnChoices(*t, columns, keys);
        QCOMPARE(error.Code, code);
        QVERIFY2(error.Message.contains(message), qPrintable(error.Message));
        if (code == 0)
            QCOMPARE(flags(*t), marked);
    }
};

QTEST_GUILESS_MAIN(TestScriptCliChoices)
#include "tst_scriptclichoices.moc"
