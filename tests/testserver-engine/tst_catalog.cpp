// The catalogue queries the data layer sends, exactly as it sends them, and
// the demo database.

#include "EngineFixture.h"

#include <QtTest>

class TestCatalog : public QObject {
    Q_OBJECT

    // One demo database for every test here: they only read it.
    std::unique_ptr<EngineFixture> demo_;

private slots:
    void initTestCase() { demo_ = std::make_unique<EngineFixture>(true); }
    void init() { demo_->run("USE master"); }
    void databasesListedFromMaster()
    {
        EngineFixture &f = *demo_;
        QCOMPARE(f.query("USE master").size(), 0);
        const Recorded r = f.run("SELECT * FROM sysdatabases \r\nORDER BY name");
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.results.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(r.results[0].columns[0].name), QString("name"));
        QCOMPARE(QString::fromStdString(r.results[0].columns[1].name), QString("dbid"));
        QStringList names;
        for (const QString &row : r.rows())
            names << row.section('|', 0, 0);
        QCOMPARE(names, QStringList({"master", "model", "msdb", "Shop", "tempdb"}));
    }

    void sysdatabasesOnlyInMaster()
    {
        EngineFixture &f = *demo_;
        f.run("USE Shop");
        QCOMPARE(f.run("SELECT * FROM sysdatabases").firstError(), 208);
        QCOMPARE(f.query("SELECT name FROM master..sysdatabases WHERE name = 'shop'"), QStringList({"Shop"}));
        QCOMPARE(f.query("SELECT name FROM master.dbo.sysdatabases WHERE dbid = 1"), QStringList({"master"}));
    }

    void userTablesOrderedByName()
    {
        EngineFixture &f = *demo_;
        f.run("USE Shop");
        const Recorded r = f.run("SELECT * FROM sysobjects WHERE xtype='U '\r\n ORDER BY name");
        QCOMPARE(r.errors(), QStringList());
        QStringList names, types;
        for (const QString &row : r.rows()) {
            names << row.section('|', 0, 0);
            types << row.section('|', 2, 2);
        }
        QCOMPARE(names, QStringList({"AllTypes", "Customers", "Goods", "Order Lines", "OrderItems", "Orders", "Sales", "Stock"}));
        QCOMPARE(types, QStringList(8, "U "));
    }

    void columnsOfGoods()
    {
        EngineFixture &f = *demo_;
        f.run("USE Shop");
        const QString id = f.query("SELECT id FROM sysobjects WHERE name = 'Goods'").value(0);
        QVERIFY(!id.isEmpty());
        const Recorded r = f.run(QString("SELECT * FROM syscolumns WHERE id=%1;").arg(id));
        QCOMPARE(r.errors(), QStringList());
        const auto &cols = r.results[0].columns;
        const auto at = [&](const char *name) {
            for (std::size_t i = 0; i < cols.size(); ++i)
                if (cols[i].name == name)
                    return int(i);
            return -1;
        };
        QStringList got;
        for (const QString &row : r.rows()) {
            const QStringList v = row.split('|');
            got << QStringList({v[at("name")], v[at("xtype")], v[at("length")], v[at("status")], v[at("colid")], v[at("isnullable")], v[at("id")]}).join(',');
        }
        QCOMPARE(got, QStringList({"Id,56,4,128,1,0," + id, "Title,167,50,24,2,1," + id, "Price,60,8,8,3,1," + id,
                                   "Created,61,8,8,4,1," + id}));
    }

    void primaryKeyFlagsFromHelpColumns()
    {
        EngineFixture &f = *demo_;
        f.run("USE Shop");
        const Recorded r = f.run("EXEC sp_MShelpcolumns 'Goods'");
        QCOMPARE(r.errors(), QStringList());
        QCOMPARE(r.results[0].columns.size(), std::size_t(29));
        QCOMPARE(QString::fromStdString(r.results[0].columns[11].name), QString("col_flags"));
        QStringList got;
        for (const QString &row : r.rows())
            got << row.section('|', 0, 0) + ":" + row.section('|', 11, 11);
        QCOMPARE(got, QStringList({"Id:4", "Title:1", "Price:0", "Created:0"}));
        QVERIFY(r.ends.back().hasCount);
    }

    void helpColumnsOfBracketedAndCompositeNames()
    {
        EngineFixture &f = *demo_;
        f.run("USE Shop");
        QStringList got;
        for (const QString &row : f.query("EXEC sp_MShelpcolumns 'Order Lines'"))
            got << row.section('|', 0, 0) + ":" + row.section('|', 11, 11);
        QCOMPARE(got, QStringList({"Order:4", "Line:4", "GoodsId:0", "Quantity:2"}));
        QCOMPARE(f.query("EXEC sp_MShelpcolumns N'[Order Lines]'").size(), 4);
        QCOMPARE(f.run("EXEC sp_MShelpcolumns 'NoSuchTable'").firstError(), 15001);
    }

    void goodsRowsOfTheDemo()
    {
        EngineFixture &f = *demo_;
        f.run("USE Shop");
        QCOMPARE(f.query("SELECT * FROM Goods"),
                 QStringList({"1|Tea|2.5000|2004-03-01 10:00:00.000", "2|NULL|3.0000|2004-03-02 09:30:00.000"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM Sales"), QStringList({"100000"}));
    }
};

QTEST_GUILESS_MAIN(TestCatalog)
#include "tst_catalog.moc"
