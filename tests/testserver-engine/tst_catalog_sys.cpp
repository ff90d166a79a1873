// The catalogue of SQL Server 2005 and later: the sys.* views with the
// columns each release has, the 2000 views (sysobjects, syscolumns,
// sp_MShelpcolumns) describing the newer types as later releases do, the
// functions that name ids, and joins over the views.

#include "EngineFixture.h"

#include <QtTest>

namespace {

const char kTable[] =
    "CREATE TABLE T (id int IDENTITY(5,2) NOT NULL, k2 nvarchar(10) NOT NULL, vm varchar(max) NULL, nm nvarchar(max) NULL,\n"
    " bm varbinary(max) NULL, x xml NULL, d date NULL, t time(3) NULL, d2 datetime2 NULL, o datetimeoffset(0) NULL,\n"
    " h hierarchyid NULL, g geography NULL, s int SPARSE NULL, c AS id * 2, n nchar(4) COLLATE Latin1_General_CS_AS NULL,\n"
    " m money NULL, ts rowversion, CONSTRAINT PK_T PRIMARY KEY (k2, id))\n";

} // namespace

class TestCatalogSys : public QObject {
    Q_OBJECT

private slots:
    void sysColumns_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("facts"); // system_type_id|user_type_id|max_length|precision|scale|collation|nullable|identity|computed|sparse
        QTest::newRow("int identity") << "id" << "56|56|4|10|0|NULL|0|1|0|0";
        QTest::newRow("nvarchar(10): bytes") << "k2" << "231|231|20|0|0|Cyrillic_General_CI_AS|0|0|0|0";
        QTest::newRow("varchar(max): -1") << "vm" << "167|167|-1|0|0|Cyrillic_General_CI_AS|1|0|0|0";
        QTest::newRow("nvarchar(max)") << "nm" << "231|231|-1|0|0|Cyrillic_General_CI_AS|1|0|0|0";
        QTest::newRow("varbinary(max)") << "bm" << "165|165|-1|0|0|NULL|1|0|0|0";
        QTest::newRow("xml") << "x" << "241|241|-1|0|0|NULL|1|0|0|0";
        QTest::newRow("date") << "d" << "40|40|3|10|0|NULL|1|0|0|0";
        QTest::newRow("time(3)") << "t" << "41|41|4|12|3|NULL|1|0|0|0";
        QTest::newRow("datetime2") << "d2" << "42|42|8|27|7|NULL|1|0|0|0";
        QTest::newRow("datetimeoffset(0)") << "o" << "43|43|8|26|0|NULL|1|0|0|0";
        QTest::newRow("hierarchyid") << "h" << "240|128|892|0|0|NULL|1|0|0|0";
        QTest::newRow("geography") << "g" << "240|130|-1|0|0|NULL|1|0|0|0";
        QTest::newRow("sparse") << "s" << "56|56|4|10|0|NULL|1|0|0|1";
        QTest::newRow("computed") << "c" << "56|56|4|10|0|NULL|1|0|1|0";
        QTest::newRow("own collation") << "n" << "239|239|8|0|0|Latin1_General_CS_AS|1|0|0|0";
        QTest::newRow("money") << "m" << "60|60|8|19|4|NULL|1|0|0|0";
        QTest::newRow("rowversion") << "ts" << "189|189|8|0|0|NULL|0|0|0|0";
    }
    void sysColumns()
    {
        QFETCH(QString, column);
        QFETCH(QString, facts);
        EngineFixture f(false, 2019);
        f.run(kTable);
        const Recorded r = f.run("SELECT c.system_type_id, c.user_type_id, c.max_length, c.precision, c.scale, c.collation_name, c.is_nullable, "
                                 "c.is_identity, c.is_computed, c.is_sparse FROM sys.columns c WHERE c.object_id = OBJECT_ID('T') AND c.name = '" + column + "'");
        QCOMPARE(r.errors().join("; "), QString());
        QCOMPARE(r.rows(), QStringList({facts}));
    }

    void columnsInOrderWithTheirTypeNames()
    {
        // The join the tool's reader wants: columns, their types, their place in the primary key.
        EngineFixture f(false, 2019);
        f.run(kTable);
        const Recorded r = f.run(
            "SELECT c.column_id, c.name, t.name, ic.key_ordinal FROM sys.columns AS c\n"
            "JOIN sys.types AS t ON t.user_type_id = c.user_type_id\n"
            "LEFT JOIN sys.index_columns AS ic ON ic.object_id = c.object_id AND ic.column_id = c.column_id AND ic.index_id = 1\n"
            "WHERE c.object_id = OBJECT_ID(N'dbo.T') ORDER BY c.column_id");
        QCOMPARE(r.errors().join("; "), QString());
        QCOMPARE(r.rows(), QStringList({"1|id|int|2", "2|k2|nvarchar|1", "3|vm|varchar|NULL", "4|nm|nvarchar|NULL",
                                        "5|bm|varbinary|NULL", "6|x|xml|NULL", "7|d|date|NULL", "8|t|time|NULL",
                                        "9|d2|datetime2|NULL", "10|o|datetimeoffset|NULL", "11|h|hierarchyid|NULL",
                                        "12|g|geography|NULL", "13|s|int|NULL", "14|c|int|NULL", "15|n|nchar|NULL",
                                        "16|m|money|NULL", "17|ts|timestamp|NULL"}));
        // The LEFT JOIN's columns may be NULL whatever the view says.
        QVERIFY(r.results[0].columns[3].nullable);
    }

    void keysIdentityAndComputed()
    {
        EngineFixture f(false, 2017);
        f.run(kTable);
        f.run("CREATE TABLE H (a int)\nINSERT INTO T (k2) VALUES(N'a')\nINSERT INTO T (k2) VALUES(N'b')");
        QCOMPARE(f.query("SELECT OBJECT_NAME(object_id), name, index_id, type_desc, is_primary_key FROM sys.indexes ORDER BY index_id"),
                 QStringList({"H|NULL|0|HEAP|0", "T|PK_T|1|CLUSTERED|1"}));
        QCOMPARE(f.query("SELECT index_column_id, column_id, key_ordinal FROM sys.index_columns WHERE object_id = OBJECT_ID('T')"),
                 QStringList({"1|2|1", "2|1|2"}));
        QCOMPARE(f.query("SELECT name, seed_value, increment_value, last_value, SQL_VARIANT_PROPERTY(seed_value, 'BaseType') "
                         "FROM sys.identity_columns"),
                 QStringList({"id|5|2|7|int"}));
        QCOMPARE(f.query("SELECT name, definition, is_persisted FROM sys.computed_columns"), QStringList({"c|(id * 2)|0"}));
        QCOMPARE(f.query("SELECT name, type, type_desc, SCHEMA_NAME(schema_id) FROM sys.objects ORDER BY object_id"),
                 QStringList({"T|U |USER_TABLE|dbo", "PK_T|PK|PRIMARY_KEY_CONSTRAINT|dbo", "H|U |USER_TABLE|dbo"}));
        QCOMPARE(f.query("SELECT name, max_column_id_used FROM sys.tables ORDER BY name"), QStringList({"H|1", "T|17"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM sys.foreign_keys"), QStringList({"0"}));
        QCOMPARE(f.query("SELECT COUNT(*) FROM sys.foreign_key_columns"), QStringList({"0"}));
        QCOMPARE(f.query("SELECT name, schema_id FROM sys.schemas ORDER BY schema_id"),
                 QStringList({"dbo|1", "guest|2", "INFORMATION_SCHEMA|3", "sys|4"}));
    }

    void viewsByRelease_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("answer");
        QTest::newRow("no sys views in 2000") << 2000 << "SELECT name FROM sys.columns" << "208";
        QTest::newRow("unknown sys view") << 2019 << "SELECT name FROM sys.nothing" << "208: Invalid object name 'sys.nothing'.";
        QTest::newRow("no date type in 2005") << 2005 << "SELECT COUNT(*) FROM sys.types WHERE name = 'date'" << "0";
        QTest::newRow("date type in 2008") << 2008 << "SELECT max_length, [precision] FROM sys.types WHERE name = 'date'" << "3|10";
        QTest::newRow("xml type in 2005") << 2005 << "SELECT max_length FROM sys.types WHERE name = 'xml'" << "-1";
        QTest::newRow("geography is a CLR type") << 2012 << "SELECT system_type_id, is_assembly_type FROM sys.types WHERE name = 'geography'" << "240|1";
        QTest::newRow("sysname") << 2005 << "SELECT system_type_id, user_type_id, max_length FROM sys.types WHERE name = 'sysname'" << "231|256|256";
        QTest::newRow("compatibility level 2005") << 2005 << "SELECT compatibility_level FROM sys.databases WHERE name = 'master'" << "90";
        QTest::newRow("compatibility level 2022") << 2022 << "SELECT compatibility_level FROM master.sys.databases WHERE database_id = 1" << "160";
        QTest::newRow("2000 cmptlevel") << 2000 << "SELECT cmptlevel FROM master..sysdatabases WHERE dbid = 1" << "80";
        QTest::newRow("sysobjects still there") << 2019 << "SELECT COUNT(*) FROM sys.sysobjects WHERE xtype = 'S'" << "17";
        QTest::newRow("TYPE_NAME") << 2008 << "SELECT TYPE_NAME(231), TYPE_NAME(41), TYPE_NAME(129), TYPE_NAME(256), TYPE_NAME(1)"
                                   << "nvarchar|time|geometry|sysname|NULL";
        QTest::newRow("TYPE_NAME of a later type") << 2005 << "SELECT TYPE_NAME(41)" << "NULL";
        QTest::newRow("TYPE_ID") << 2019 << "SELECT TYPE_ID('datetime2'), TYPE_ID('sysname')" << "42|256";
        QTest::newRow("SCHEMA_ID and SCHEMA_NAME") << 2019 << "SELECT SCHEMA_ID('sys'), SCHEMA_NAME(), SCHEMA_NAME(9)" << "4|dbo|NULL";
    }
    void viewsByRelease()
    {
        QFETCH(int, year);
        QFETCH(QString, query);
        QFETCH(QString, answer);
        EngineFixture f(false, year);
        const Recorded r = f.run(query);
        if (answer.startsWith("208")) {
            QVERIFY(!r.errors().isEmpty());
            QVERIFY2(r.errors().first().startsWith(answer), qPrintable(r.errors().first()));
            return;
        }
        QCOMPARE(r.errors().join("; "), QString());
        QCOMPARE(r.rows(), QStringList({answer}));
    }

    void viewColumnsFollowTheRelease()
    {
        EngineFixture f2005(false, 2005), f2019(false, 2019);
        const Recorded a = f2005.run("SELECT * FROM sys.columns");
        const Recorded b = f2019.run("SELECT * FROM sys.columns");
        QCOMPARE(a.results[0].columns.size(), std::size_t(23));
        QCOMPARE(b.results[0].columns.size(), std::size_t(36));
        QCOMPARE(QString::fromStdString(b.results[0].columns.back().name), QString("graph_type_desc"));
    }

    void oldCatalogueDescribesNewTypes()
    {
        EngineFixture f(false, 2019);
        f.run(kTable);
        QCOMPARE(f.query("SELECT name, xtype, xusertype, length, prec, scale FROM syscolumns WHERE id = OBJECT_ID('T') "
                         "AND name IN ('vm', 'nm', 'x', 'd', 't', 'd2', 'o', 'h', 'g', 'ts') ORDER BY colid"),
                 QStringList({"vm|167|167|-1|-1|NULL", "nm|231|231|-1|-1|NULL", "x|241|241|-1|0|NULL", "d|40|40|3|10|0",
                              "t|41|41|4|12|3", "d2|42|42|8|27|7", "o|43|43|8|26|0", "h|240|128|892|0|NULL",
                              "g|240|130|-1|0|NULL", "ts|189|189|8|0|NULL"}));
        const QStringList help = f.query("EXEC sp_MShelpcolumns N'T'");
        QCOMPARE(help.size(), 17);
        QVERIFY2(help[3].startsWith("nm|4|nvarchar|-1|"), qPrintable(help[3]));
    }

    void timestampUserTypeIn2000()
    {
        EngineFixture f(false, 2000);
        f.run("CREATE TABLE S (ts timestamp)");
        QCOMPARE(f.query("SELECT xtype, xusertype FROM syscolumns WHERE id = OBJECT_ID('S')"), QStringList({"189|80"}));
    }

    void sparseColumnsRefused_data()
    {
        QTest::addColumn<QString>("definition");
        QTest::newRow("not null") << "a int SPARSE NOT NULL";
        QTest::newRow("identity") << "a int SPARSE IDENTITY";
        QTest::newRow("text") << "a text SPARSE NULL";
        QTest::newRow("geography") << "a geography SPARSE NULL";
    }
    void sparseColumnsRefused()
    {
        QFETCH(QString, definition);
        EngineFixture f(false, 2008);
        const Recorded r = f.run("CREATE TABLE P (" + definition + ")");
        QCOMPARE(r.firstError(), 1731);
    }
};

QTEST_GUILESS_MAIN(TestCatalogSys)
#include "tst_catalog_sys.moc"
