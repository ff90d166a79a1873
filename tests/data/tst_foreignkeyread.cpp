// The facade reads foreign keys from the catalogue of each release: SQL
// Server 2000's system tables and the sys views of later releases give the
// same keys, which order a script over the tables.

#include "DataFacade.h"
#include "TestServer.h"

#include <QTest>

namespace {

const char kSchema[] =
    "CREATE TABLE Customers (Id int NOT NULL PRIMARY KEY, Name nvarchar(40) NULL, Sponsor int NULL REFERENCES Customers(Id))\n"
    "CREATE TABLE Orders (Id int NOT NULL PRIMARY KEY, CustomerId int NULL CONSTRAINT FK_Orders_Customers REFERENCES Customers)\n"
    "CREATE TABLE [Order Lines] (OrderId int NOT NULL, Line int NOT NULL, PRIMARY KEY (OrderId, Line),\n"
    "  CONSTRAINT [FK Lines] FOREIGN KEY (OrderId) REFERENCES Orders (Id))\n"
    "CREATE TABLE Pair (A int NOT NULL, B varchar(5) NOT NULL, CONSTRAINT PK_Pair PRIMARY KEY (A, B))\n"
    "CREATE TABLE PairRef (Id int NOT NULL PRIMARY KEY, PB varchar(5) NULL, PA int NULL,\n"
    "  CONSTRAINT FK_PairRef FOREIGN KEY (PB, PA) REFERENCES Pair (B, A))\n"
    "ALTER TABLE PairRef NOCHECK CONSTRAINT FK_PairRef";

QString describe(const TForeignKey &key)
{
    return QStringLiteral("%1: %2(%3) -> %4(%5)%6")
        .arg(key.Name, key.Table, key.Columns.join(QLatin1Char(',')), key.ReferencedTable, key.ReferencedColumns.join(QLatin1Char(',')),
             key.Disabled ? QStringLiteral(" off") : QString());
}

} // namespace

class TestForeignKeyRead : public QObject
{
    Q_OBJECT

    TestServer m_server2000;
    TestServer m_server2008{{QStringLiteral("--version"), QStringLiteral("2008")}};

    void connect(TDataAccessFacade &facade, const TestServer &server)
    {
        facade.SetDriver(QStringLiteral("FreeTDS"));
        facade.SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
        const TSQLServer source(server.dataSource());
        facade.SetServer(&source);
    }

    void setUp(const TestServer &server)
    {
        TDataAccessFacade facade;
        connect(facade, server);
        for (const QString &text : {QStringLiteral("CREATE DATABASE shop"), QString::fromUtf8(kSchema)}) {
            TScript script;
            script.Lines = text.split(QLatin1Char('\n'));
            const TScriptResult result = facade.MakeScriptCommand(&script)->Execute();
            QVERIFY2(!result.HasErrors(), qPrintable(result.FirstError()));
            facade.UseDataBase(QStringLiteral("shop"));
        }
    }

    QStringList read(const TestServer &server, TForeignKeyCatalogue catalogue)
    {
        TDataAccessFacade facade;
        connect(facade, server);
        facade.UseDataBase(QStringLiteral("shop"));
        QStringList out;
        for (const TForeignKey &key : facade.GetForeignKeys(catalogue))
            out << describe(key);
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_server2000.start(), qPrintable(m_server2000.errorText()));
        QVERIFY2(m_server2008.start(), qPrintable(m_server2008.errorText()));
        setUp(m_server2000);
        setUp(m_server2008);
    }

    void bothCataloguesGiveTheSameKeys_data()
    {
        QTest::addColumn<bool>("modern");
        QTest::newRow("2000: system tables") << false;
        QTest::newRow("2008: sys views") << true;
    }
    void bothCataloguesGiveTheSameKeys()
    {
        QFETCH(bool, modern);
        QStringList keys = modern ? read(m_server2008, TForeignKeyCatalogue::CatalogViews)
                                  : read(m_server2000, TForeignKeyCatalogue::SystemTables);
        // The server names an unnamed key after its table, column and id.
        QCOMPARE(keys.size(), 4);
        const auto made = std::find_if(keys.begin(), keys.end(), [](const QString &k) { return k.startsWith(QStringLiteral("FK__")); });
        QVERIFY(made != keys.end());
        const QString madeUp = *made;
        keys.erase(made);
        QVERIFY2(madeUp.startsWith(QStringLiteral("FK__Customer__Sponsor__")) &&
                     madeUp.endsWith(QStringLiteral(": Customers(Sponsor) -> Customers(Id)")),
                 qPrintable(madeUp));
        QCOMPARE(keys, QStringList({"FK Lines: Order Lines(OrderId) -> Orders(Id)", "FK_Orders_Customers: Orders(CustomerId) -> Customers(Id)",
                                    "FK_PairRef: PairRef(PB,PA) -> Pair(B,A) off"}));
    }

    void releasesWithoutTheViewsRefuseThem()
    {
        QVERIFY_THROWS_EXCEPTION(EDataAccessError, read(m_server2000, TForeignKeyCatalogue::CatalogViews));
    }

    void keysOrderTheScript()
    {
        TDataAccessFacade facade;
        connect(facade, m_server2008);
        facade.UseDataBase(QStringLiteral("shop"));
        const TTableOrder order =
            OrderTables({QStringLiteral("Order Lines"), QStringLiteral("PairRef"), QStringLiteral("Orders"), QStringLiteral("Customers")},
                        facade.GetForeignKeys(TForeignKeyCatalogue::CatalogViews));
        QVERIFY(!order.HasCycles());
        QCOMPARE(order.Writes, QStringList({"PairRef", "Customers", "Orders", "Order Lines"}));
        QCOMPARE(order.Deletes, QStringList({"Order Lines", "PairRef", "Orders", "Customers"}));
    }
};

QTEST_GUILESS_MAIN(TestForeignKeyRead)
#include "tst_foreignkeyread.moc"
