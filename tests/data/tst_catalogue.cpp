// The catalogue read against the test server playing different releases:
// the version is known after the login, SQL Server 2000 is read through
// syscolumns and sp_MShelpcolumns, 2005 and later through the sys views,
// and both ways give the same columns.

#include "DataFacade.h"
#include "TestServer.h"

#include <QTest>

#include <map>
#include <memory>

namespace {

// Every column type SQL Server 2000 has, with a composite key, an identity,
// a computed column, a collation of its own and NOT NULL columns.
const char *const oldTypesTable =
    "CREATE TABLE [Old Types] (id int IDENTITY(1,1) NOT NULL, code char(3) NOT NULL,"
    " name nvarchar(40) COLLATE Latin1_General_CS_AS NULL, note varchar(100) NULL, price decimal(18,4) NULL,"
    " qty numeric(10,2) NOT NULL, small smallint NULL, tiny tinyint NULL, big bigint NULL, flag bit NULL,"
    " cost money NULL, sm smallmoney NULL, f float NULL, r real NULL, dt datetime NULL, sdt smalldatetime NULL,"
    " g uniqueidentifier NULL, b binary(4) NULL, vb varbinary(50) NULL, nc nchar(5) NULL, t text NULL,"
    " nt ntext NULL, img image NULL, v sql_variant NULL, ts timestamp, c AS id * 2,"
    " CONSTRAINT PK_Old PRIMARY KEY (code, id))";

const char *const newTypesTable =
    "CREATE TABLE [New Types] (k2 nvarchar(10) NOT NULL, id int NOT NULL, vm varchar(max) NULL,"
    " nm nvarchar(max) NULL, bm varbinary(max) NULL, x xml NULL, d date NULL, t time(3) NULL, d2 datetime2 NULL,"
    " o datetimeoffset(0) NULL, h hierarchyid NULL, g geography NULL, gm geometry NULL, s int SPARSE NULL,"
    " sn sysname NULL, ts rowversion, CONSTRAINT PK_New PRIMARY KEY (id, k2))";

// What the rest of the program knows of a column, in one line.
QString describe(const TCustomColumn &c)
{
    return QStringList{c.Name,
                       QString::number(c.ColumnType.XType),
                       c.ColumnType.Name,
                       QString::number(c.Length),
                       QStringLiteral("%1,%2").arg(c.Precision).arg(c.Scale),
                       c.IsIdentity ? QStringLiteral("identity") : QString(),
                       c.IsNullable ? QStringLiteral("null") : QStringLiteral("not null"),
                       c.IsComputed ? QStringLiteral("computed") : QString(),
                       c.IsPrimaryKey ? QStringLiteral("key") : QString(),
                       c.IsSparse ? QStringLiteral("sparse") : QString(),
                       c.Collation}
        .join(QLatin1Char('|'));
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

    std::map<int, std::unique_ptr<TestServer>> m_servers;

    void connect(TDataAccessFacade &facade, int year)
    {
        facade.SetDriver(QStringLiteral("FreeTDS"));
        facade.SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
        const TSQLServer server(m_servers.at(year)->dataSource());
        facade.SetServer(&server);
    }

    void run(TDataAccessFacade &facade, const QString &text)
    {
        TScript script;
        script.Lines = text.split(QLatin1Char('\n'));
        const TScriptResult result = facade.MakeScriptCommand(&script)->Execute();
        if (result.HasErrors())
            QFAIL(qPrintable(QStringLiteral("set-up failed: ") + result.FirstError()));
    }

    // The columns of a table of the database "cat" as the facade reads them.
    QStringList columnsOf(int year, const QString &tableName, int *major = nullptr)
    {
        TDataAccessFacade facade;
        connect(facade, year);
        if (major)
            *major = facade.ServerMajorVersion();
        std::unique_ptr<TDataBaseList> dataBases = facade.GetDataBases();
        TDataBase *dataBase = nullptr;
        for (TDataBase *candidate : *dataBases)
            if (candidate->Name == QLatin1String("cat"))
                dataBase = candidate;
        if (!dataBase)
            return {QStringLiteral("no database cat")};
        facade.SwitchToDataBase(dataBase);
        std::unique_ptr<TTableList> tables = facade.GetTables(dataBase);
        for (TTable *table : *tables)
            if (table->Name == tableName) {
                facade.LoadColumns(table);
                QStringList described;
                for (const TCustomColumn *column : table->Columns)
                    described << describe(*column);
                described << QStringLiteral("database collation %1").arg(table->DataBaseCollation);
                return described;
            }
        return {QStringLiteral("no table ") + tableName};
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (int year : {2000, 2005, 2008, 2019, 2022}) {
            auto server = std::make_unique<TestServer>(QStringList{QStringLiteral("--version"), QString::number(year)});
            QVERIFY2(server->start(), qPrintable(server->errorText()));
            m_servers[year] = std::move(server);
            TDataAccessFacade facade;
            connect(facade, year);
            run(facade, QStringLiteral("CREATE DATABASE cat"));
            facade.UseDataBase(QStringLiteral("cat"));
            run(facade, QString::fromLatin1(oldTypesTable));
            if (year >= 2008)
                run(facade, QString::fromLatin1(newTypesTable));
        }
    }

    void versionIsKnownAfterTheLogin_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("major");
        QTest::newRow("2000") << 2000 << 8;
        QTest::newRow("2005") << 2005 << 9;
        QTest::newRow("2008") << 2008 << 10;
        QTest::newRow("2019") << 2019 << 15;
        QTest::newRow("2022") << 2022 << 16;
    }

    void versionIsKnownAfterTheLogin()
    {
        QFETCH(int, year);
        QFETCH(int, major);
        TDataAccessFacade facade;
        QCOMPARE(facade.ServerMajorVersion(), 0);
        connect(facade, year);
        QCOMPARE(facade.ServerMajorVersion(), major);
        QCOMPARE(facade.ReadsSysCatalogue(), year >= 2005);
        // A database switch reopens the connection but keeps the version.
        facade.UseDataBase(QStringLiteral("cat"));
        QCOMPARE(facade.ServerMajorVersion(), major);
        QCOMPARE(facade.OpenCount(), 2);
    }

    // The sys views give what syscolumns and sp_MShelpcolumns give on 2000.
    void sysViewsReadTheSameColumnsAs2000_data()
    {
        QTest::addColumn<int>("year");
        QTest::newRow("2005") << 2005;
        QTest::newRow("2008") << 2008;
        QTest::newRow("2022") << 2022;
    }

    void sysViewsReadTheSameColumnsAs2000()
    {
        QFETCH(int, year);
        const QStringList old = columnsOf(2000, QStringLiteral("Old Types"));
        // The 2000 path as it always read this table.
        QCOMPARE(old.first(), QStringLiteral("id|56|int|4|0,0|identity|not null||key||"));
        QVERIFY2(old.contains(QStringLiteral("name|231|nvarchar|80|0,0||null||||Latin1_General_CS_AS")), qPrintable(old.join(u'\n')));
        QVERIFY(old.contains(QStringLiteral("price|106|decimal|9|18,4||null||||")));
        QVERIFY(old.contains(QStringLiteral("c|56|int|4|0,0||null|computed|||")));
        QVERIFY(old.contains(QStringLiteral("code|175|char|3|0,0||not null||key||") + old.last().section(u' ', 2)));
        QCOMPARE(columnsOf(year, QStringLiteral("Old Types")), old);
    }

    void newTypesKeepTheirNames_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("sparse");
        QTest::newRow("2008") << 2008 << "sparse";
        QTest::newRow("2019") << 2019 << "sparse";
    }

    void newTypesKeepTheirNames()
    {
        QFETCH(int, year);
        QFETCH(QString, sparse);
        int major = 0;
        const QStringList columns = columnsOf(year, QStringLiteral("New Types"), &major);
        QVERIFY(major >= 10);
        const QString collation = columns.last().section(u' ', 2);
        QCOMPARE(columns.mid(0, columns.size() - 1),
                 QStringList({"k2|231|nvarchar|20|0,0||not null||key||" + collation,
                              "id|56|int|4|0,0||not null||key||",
                              // max types: the 2000 codes with length -1
                              "vm|167|varchar|-1|0,0||null||||" + collation,
                              "nm|231|nvarchar|-1|0,0||null||||" + collation,
                              "bm|165|varbinary|-1|0,0||null||||",
                              // the types 2000 lacks: their own codes and names, with their precision and scale
                              "x|241|xml|-1|0,0||null||||",
                              "d|40|date|3|10,0||null||||",
                              "t|41|time|4|12,3||null||||",
                              "d2|42|datetime2|8|27,7||null||||",
                              "o|43|datetimeoffset|8|26,0||null||||",
                              "h|240|hierarchyid|892|0,0||null||||",
                              "g|240|geography|-1|0,0||null||||",
                              "gm|240|geometry|-1|0,0||null||||",
                              "s|56|int|4|0,0||null|||" + sparse + "|",
                              // a user type counts as its system type
                              "sn|231|nvarchar|256|0,0||null||||" + collation,
                              "ts|189|timestamp|8|0,0||not null||||"}));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
