// The order of a script over several tables: parents written before their
// children, children emptied before their parents, rings of references
// found and named, and the statements that switch constraints off and on.

#include "TableOrder.h"

#include <QtTest>

namespace {

// "Orders>Customers,Lines>Orders": child>parent pairs; a '!' after the
// parent marks a disabled key.
std::vector<TForeignKey> keysOf(const QString &text)
{
    std::vector<TForeignKey> keys;
    for (const QString &pair : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        TForeignKey key;
        key.Table = pair.section(QLatin1Char('>'), 0, 0);
        key.ReferencedTable = pair.section(QLatin1Char('>'), 1, 1);
        if (key.ReferencedTable.endsWith(QLatin1Char('!'))) {
            key.ReferencedTable.chop(1);
            key.Disabled = true;
        }
        key.Name = QStringLiteral("FK_%1_%2").arg(key.Table, key.ReferencedTable);
        keys.push_back(key);
    }
    return keys;
}

QStringList listOf(const QString &text)
{
    return text.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

} // namespace

class TestTableOrder : public QObject
{
    Q_OBJECT

private slots:
    void order_data()
    {
        QTest::addColumn<QString>("tables");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("writes");
        QTest::addColumn<QString>("deletes");
        QTest::addColumn<QString>("cycles"); // rings joined by ';', tables by '+'
        QTest::newRow("unrelated tables keep their order") << "B,A,C" << "" << "B,A,C" << "B,A,C" << "";
        QTest::newRow("chain given backwards") << "Lines,Orders,Customers" << "Orders>Customers,Lines>Orders"
                                               << "Customers,Orders,Lines" << "Lines,Orders,Customers" << "";
        QTest::newRow("chain given in order") << "Customers,Orders,Lines" << "Orders>Customers,Lines>Orders"
                                              << "Customers,Orders,Lines" << "Lines,Orders,Customers" << "";
        QTest::newRow("diamond") << "D,B,C,A" << "B>A,C>A,D>B,D>C" << "A,B,C,D" << "D,B,C,A" << "";
        QTest::newRow("two parents of one child") << "Items,Goods,Orders" << "Items>Orders,Items>Goods"
                                                  << "Goods,Orders,Items" << "Items,Goods,Orders" << "";
        QTest::newRow("self reference is no ring") << "Staff,Depts" << "Staff>Staff,Staff>Depts" << "Depts,Staff" << "Staff,Depts" << "";
        QTest::newRow("names in any letter case") << "orders,CUSTOMERS" << "Orders>Customers" << "CUSTOMERS,orders" << "orders,CUSTOMERS" << "";
        QTest::newRow("tables outside the set ignored") << "Orders,Lines" << "Orders>Customers,Lines>Orders,Lines>Goods"
                                                        << "Orders,Lines" << "Lines,Orders" << "";
        QTest::newRow("ring through an outside table is none") << "A,B" << "A>X,X>B,B>A" << "A,B" << "B,A" << "";
        QTest::newRow("disabled key does not bind") << "Lines,Orders" << "Lines>Orders!" << "Lines,Orders" << "Lines,Orders" << "";
        QTest::newRow("ring of two") << "A,B" << "A>B,B>A" << "A,B" << "A,B" << "A+B";
        QTest::newRow("ring of three with a tail")
            << "Tail,C,B,A,Root" << "A>Root,B>A,C>B,A>C,Tail>C" << "Root,C,B,A,Tail" << "Tail,C,B,A,Root" << "C+B+A";
        QTest::newRow("two rings") << "A,B,C,D,E" << "A>B,B>A,C>D,D>E,E>C" << "A,B,C,D,E" << "A,B,C,D,E" << "A+B;C+D+E";
        QTest::newRow("ring between a parent and children")
            << "P,X,Y,K" << "X>P,Y>X,X>Y,K>Y" << "P,X,Y,K" << "K,X,Y,P" << "X+Y";
    }
    void order()
    {
        QFETCH(QString, tables);
        QFETCH(QString, keys);
        QFETCH(QString, writes);
        QFETCH(QString, deletes);
        QFETCH(QString, cycles);
        const TTableOrder order = OrderTables(listOf(tables), keysOf(keys));
        QCOMPARE(order.Writes, listOf(writes));
        QCOMPARE(order.Deletes, listOf(deletes));
        QStringList rings;
        for (const QStringList &cycle : order.Cycles)
            rings << cycle.join(QLatin1Char('+'));
        QCOMPARE(rings.join(QLatin1Char(';')), cycles);
        QCOMPARE(order.HasCycles(), !cycles.isEmpty());
        QCOMPARE(order.CycleMessage().isEmpty(), cycles.isEmpty());
    }

    // Every key between chosen tables is kept by the order: parents before
    // children in writes, after them in deletes (rings aside).
    void everyKeyHonoured()
    {
        const QStringList tables = listOf("T9,T3,T7,T1,T5,T8,T2,T6,T4,T0");
        std::vector<TForeignKey> keys;
        for (int child = 0; child < 10; ++child)
            for (int parent = 0; parent < child; ++parent)
                if ((child * 7 + parent * 3) % 4 == 0)
                    keys.push_back(keysOf(QStringLiteral("T%1>T%2").arg(child).arg(parent)).front());
        const TTableOrder order = OrderTables(tables, keys);
        QVERIFY(!order.HasCycles());
        QCOMPARE(order.Writes.size(), tables.size());
        QCOMPARE(order.Deletes.size(), tables.size());
        for (const TForeignKey &key : keys) {
            QVERIFY2(order.Writes.indexOf(key.ReferencedTable) < order.Writes.indexOf(key.Table), qPrintable(key.Name));
            QVERIFY2(order.Deletes.indexOf(key.ReferencedTable) > order.Deletes.indexOf(key.Table), qPrintable(key.Name));
        }
    }

    void cycleMessageNamesTheTables()
    {
        const TTableOrder order = OrderTables(listOf("Orders,Customers,Goods"), keysOf("Orders>Customers,Customers>Orders"));
        const QString message = order.CycleMessage();
        QVERIFY(message.contains(QStringLiteral("«Orders», «Customers»")));
        QVERIFY(!message.contains(QStringLiteral("Goods")));
        QVERIFY(message.contains(QStringLiteral("по кругу")));
        QVERIFY(message.contains(QStringLiteral("NOCHECK CONSTRAINT ALL")));
    }

    void constraintStatements()
    {
        const QStringList tables = listOf("Orders,Order Lines,select");
        QCOMPARE(DisableConstraintsStatements(tables),
                 QStringList({"ALTER TABLE Orders NOCHECK CONSTRAINT ALL", "ALTER TABLE [Order Lines] NOCHECK CONSTRAINT ALL",
                              "ALTER TABLE [select] NOCHECK CONSTRAINT ALL"}));
        QCOMPARE(EnableConstraintsStatements(tables),
                 QStringList({"ALTER TABLE Orders WITH CHECK CHECK CONSTRAINT ALL",
                              "ALTER TABLE [Order Lines] WITH CHECK CHECK CONSTRAINT ALL",
                              "ALTER TABLE [select] WITH CHECK CHECK CONSTRAINT ALL"}));
    }
};

QTEST_APPLESS_MAIN(TestTableOrder)
#include "tst_tableorder.moc"
