// The data access facade against quorvane-testserver on a loopback port.

#include "DataFacade.h"
#include "LocaleFormat.h"
#include "OdbcRowSet.h"
#include "TestServer.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A facade whose shared query or key lookup can be made to misbehave.
class TestableFacade : public TDataAccessFacade
{
public:
    bool failQueries = false;
    QStringList primaryNames;
    bool overridePrimary = false;

    std::unique_ptr<QStringList> GetPrimaryColumnNames(const TTable *Table) override
    {
        if (overridePrimary)
            return std::make_unique<QStringList>(primaryNames);
        return TDataAccessFacade::GetPrimaryColumnNames(Table);
    }

protected:
    bool OpenQuery() override
    {
        if (failQueries)
            throw EDataAccessError(QStringLiteral("query refused by the test"));
        return TDataAccessFacade::OpenQuery();
    }
};

int freeTcpPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QStringList columnNames(const TTable &table)
{
    QStringList names;
    for (const TCustomColumn *column : table.Columns)
        names << column->Name;
    return names;
}

} // namespace

class TestFacade : public QObject
{
    Q_OBJECT

    TestServer m_server;
    bool m_engine = false;

    void connect(TDataAccessFacade &facade, const QString &dataSource = {})
    {
        facade.SetDriver(QStringLiteral("FreeTDS"));
        facade.SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
        const TSQLServer server(dataSource.isEmpty() ? m_server.dataSource() : dataSource);
        facade.SetServer(&server);
    }

    TScriptResult run(TDataAccessFacade &facade, const QString &text)
    {
        TScript script;
        script.Lines = text.split(QLatin1Char('\n'));
        return facade.MakeScriptCommand(&script)->Execute();
    }

    // Runs a set-up script that must not fail.
    void setUp(TDataAccessFacade &facade, const QString &text)
    {
        const TScriptResult result = run(facade, text);
        if (result.HasErrors())
            QFAIL(qPrintable(QStringLiteral("set-up failed: ") + result.FirstError()));
    }

    std::unique_ptr<TTable> findTable(TDataAccessFacade &facade, const QString &name)
    {
        auto tables = facade.GetTables(nullptr);
        if (!tables)
            return nullptr;
        for (int i = 0; i < tables->Count(); ++i)
            if (tables->Items(i)->Name == name)
                return tables->Extract(i);
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.errorText()));
        TDataAccessFacade facade;
        connect(facade);
        try {
            m_engine = !run(facade, QStringLiteral("SELECT 1")).HasErrors();
        } catch (const EDataAccessError &) {
            m_engine = false;
        }
        QVERIFY2(m_engine, "the test server answers no query");
        if (m_engine) {
            setUp(facade, QStringLiteral("CREATE DATABASE alpha\nCREATE DATABASE beta\nCREATE DATABASE gamma"));
            facade.UseDataBase(QStringLiteral("alpha"));
            setUp(facade, QStringLiteral("CREATE TABLE [b_t] (id int IDENTITY(1,1) PRIMARY KEY, name nvarchar(20) NULL, "
                                         "price decimal(18,4) NULL, qty numeric(10,2) NULL)\n"
                                         "CREATE TABLE [a t] (k int NOT NULL PRIMARY KEY, v varchar(10) NULL)\n"
                                         "CREATE TABLE [x]]y'z] (k int NULL)\n"
                                         "CREATE TABLE [order] (k int NULL)\n"
                                         "INSERT INTO [a t] (k, v) VALUES (1, 'one')\n"
                                         "INSERT INTO [a t] (k, v) VALUES (2, NULL)\n"
                                         "INSERT INTO [x]]y'z] (k) VALUES (7)\n"
                                         "CREATE TABLE [pair] (a int NOT NULL, b varchar(10) NOT NULL, v sql_variant NULL, "
                                         "PRIMARY KEY (a, b))\n"
                                         "INSERT INTO [pair] (a, b, v) VALUES (1, 'x', 'text')\n"
                                         "INSERT INTO [pair] (a, b, v) VALUES (2, 'y', NULL)\n"
                                         "INSERT INTO [pair] (a, b, v) VALUES (3, 'z', 12)"));
            facade.UseDataBase(QStringLiteral("gamma"));
            setUp(facade, QStringLiteral("CREATE TABLE [order check] (z int NOT NULL PRIMARY KEY, a varchar(5) NULL, "
                                         "m nvarchar(10) NOT NULL, t text NULL, s timestamp, c AS (z + 1))\n"
                                         "INSERT INTO [order check] (z, a, m) VALUES (1, 'x', N'y')"));
            setUp(facade, QStringLiteral("CREATE TABLE [long] (k int NOT NULL PRIMARY KEY, t text NULL, n ntext NULL, "
                                         "i image NULL, v varchar(8000) NULL)\n"
                                         "INSERT INTO [long] (k, t, n, i, v) VALUES (1, '%1', N'%2', %3, '%4')")
                                .arg(QString(9000, u'a'), QString(5000, u'ж'), QStringLiteral("0x") + QString(2 * 9000, u'B'),
                                     QString(8000, u'v')));
        }
    }

    void dataSourceForms_data()
    {
        QTest::addColumn<QString>("dataSource");
        QTest::newRow("host,port") << QStringLiteral("127.0.0.1,%1");
        QTest::newRow("localhost,port") << QStringLiteral("LocalHost,%1");
        QTest::newRow("(local),port") << QStringLiteral("(local),%1");
        QTest::newRow("tcp: prefix") << QStringLiteral("tcp:127.0.0.1,%1");
        QTest::newRow("freetds.conf entry") << QStringLiteral("QuorvaneTestEntry");
    }

    void dataSourceForms()
    {
        QFETCH(QString, dataSource);
        QTemporaryDir dir;
        const QString conf = dir.filePath(QStringLiteral("freetds.conf"));
        QFile file(conf);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[global]\n\ttds version = auto\n[quorvanetestentry]\n\thost = 127.0.0.1\n\tport = %1\n")
                       .arg(m_server.port())
                       .toUtf8());
        file.close();
        const QByteArray saved = qgetenv("FREETDSCONF");
        qputenv("FREETDSCONF", conf.toLocal8Bit());

        TDataAccessFacade facade;
        connect(facade, dataSource.contains(QLatin1String("%1")) ? dataSource.arg(m_server.port()) : dataSource);
        QVERIFY(facade.Connected());
        QCOMPARE(facade.OpenCount(), 1);
        qputenv("FREETDSCONF", saved);
    }

    void wrongPasswordReachesTheCaller()
    {
        TDataAccessFacade facade;
        facade.SetDriver(QStringLiteral("FreeTDS"));
        facade.SetLogin(QStringLiteral("sa"), QStringLiteral("not the password"));
        const TSQLServer server(m_server.dataSource());
        try {
            facade.SetServer(&server);
            QFAIL("connected with a wrong password");
        } catch (const EOdbcError &error) {
            QVERIFY2(error.Message().startsWith(QLatin1String("Login failed for user 'sa'")), qPrintable(error.Message()));
            QVERIFY(error.HasNativeError(18456));
        }
        QVERIFY(!facade.Connected());
        QCOMPARE(facade.ConnectionProperty(TDataAccessFacade::DataSourceProperty), m_server.dataSource());
    }

    void deadPortFails()
    {
        const int port = freeTcpPort();
        QVERIFY(port > 0);
        TDataAccessFacade facade;
        QVERIFY_THROWS_EXCEPTION(EOdbcError, connect(facade, QStringLiteral("127.0.0.1,%1").arg(port)));
        QVERIFY(!facade.Connected());
    }

    // A server that takes the connection and never answers must not hold
    // the login for ever, and says so in the user's words.
    void silentServerTimesOut()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        TDataAccessFacade facade;
        facade.SetLoginTimeout(1);
        try {
            connect(facade, QStringLiteral("127.0.0.1,%1").arg(silent.serverPort()));
            QFAIL("the login did not time out");
        } catch (const EQueryTimeout &error) {
            QVERIFY2(error.Message().contains(QStringLiteral("1 с")), qPrintable(error.Message()));
        }
        QVERIFY(!facade.Connected());
    }

    // A new login is not tried against the server of an earlier attempt.
    void loginAndResetWaitForTheServer()
    {
        TDataAccessFacade facade;
        connect(facade);
        QCOMPARE(facade.OpenCount(), 1);
        facade.SetLogin(QStringLiteral("someone"), QStringLiteral("else"));
        QVERIFY(!facade.Connected());
        facade.ResetDataBase();
        QVERIFY(!facade.Connected());
        QCOMPARE(facade.OpenCount(), 1);
        QCOMPARE(facade.ConnectionProperty(TDataAccessFacade::UserIdProperty), QStringLiteral("someone"));
    }

    void unknownDataBaseFailsAndKeepsTheName()
    {
        TDataAccessFacade facade;
        connect(facade);
        QVERIFY_THROWS_EXCEPTION(EOdbcError, facade.UseDataBase(QStringLiteral("no_such_db")));
        QVERIFY(!facade.Connected());
        QCOMPARE(facade.GetDataBaseName(), QStringLiteral("no_such_db"));
        QCOMPARE(facade.RememberedDataBase(), QString());
        facade.RestoreDataBase();
        QVERIFY(facade.Connected());
        QCOMPARE(facade.GetDataBaseName(), QString());
    }

    void listingFailureStillRestoresTheDataBase()
    {
        TestableFacade facade;
        connect(facade);
        facade.failQueries = true;
        QVERIFY_THROWS_EXCEPTION(EDataAccessError, (void)facade.GetDataBases());
        QCOMPARE(facade.GetDataBaseName(), QString());
        QVERIFY(facade.Connected());
    }

    void nothingGivenNothingDone()
    {
        TDataAccessFacade facade;
        facade.SetServer(nullptr);
        facade.SwitchToDataBase(nullptr);
        facade.LoadColumns(nullptr);
        QVERIFY(!facade.GetPrimaryColumnNames(nullptr));
        QVERIFY(!facade.OpenTableRows(nullptr));
        QVERIFY(!facade.MakeScriptCommand(nullptr));
        QCOMPARE(facade.OpenCount(), 0);
    }

    void commandTextFramesTheScript()
    {
        TDataAccessFacade facade;
        TScript script;
        QCOMPARE(facade.MakeScriptCommand(&script)->CommandText(), QStringLiteral("SET NOCOUNT ON\r\nSET NOCOUNT OFF"));
        script.Lines << QStringLiteral("SELECT 1") << QStringLiteral("PRINT 'a'\r\nPRINT 'b'");
        const auto command = facade.MakeScriptCommand(&script);
        QCOMPARE(command->CommandText(),
                 QStringLiteral("SET NOCOUNT ON\r\nSELECT 1\r\nPRINT 'a'\r\nPRINT 'b'\r\nSET NOCOUNT OFF"));
        QVERIFY(command->Prepared());
        QVERIFY(!command->ParamCheck());
    }

    void dataBasesListedInOrderAndCurrentOneKept()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("beta"));
        const auto list = facade.GetDataBases();
        QVERIFY(list);
        QStringList names;
        for (const TDataBase *db : *list)
            names << db->Name;
        QVERIFY2(names.contains(QLatin1String("alpha")) && names.contains(QLatin1String("master")), qPrintable(names.join(',')));
        QStringList sorted = names;
        sorted.sort(Qt::CaseInsensitive);
        QCOMPARE(names, sorted);
        QCOMPARE(list->ItemIndex(), -1);
        QCOMPARE(facade.GetDataBaseName(), QStringLiteral("beta"));
        QCOMPARE(facade.RememberedDataBase(), QStringLiteral("beta"));
        QVERIFY(facade.Connected());
    }

    void switchOnlyOnExactNameDifference()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("alpha"));
        const int opened = facade.OpenCount();
        const TDataBase same(QStringLiteral("alpha"), 5);
        facade.SwitchToDataBase(&same);
        QCOMPARE(facade.OpenCount(), opened);
        const TDataBase otherCase(QStringLiteral("ALPHA"), 5);
        facade.SwitchToDataBase(&otherCase);
        QCOMPARE(facade.OpenCount(), opened + 1);
        QCOMPARE(facade.GetDataBaseName(), QStringLiteral("ALPHA"));
        QCOMPARE(facade.RememberedDataBase(), QStringLiteral("alpha"));
    }

    // After a script's USE the facade knows where the session is, so a
    // switch back really switches.
    void scriptUseMovesTheCatalog()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("alpha"));
        QVERIFY(!run(facade, QStringLiteral("USE beta")).HasErrors());
        QCOMPARE(facade.GetDataBaseName(), QStringLiteral("beta"));
        const TDataBase alpha(QStringLiteral("alpha"), 5);
        facade.SwitchToDataBase(&alpha);
        QVERIFY(facade.GetTables(nullptr)); // alpha has tables, beta none
    }

    void tablesOfTheCurrentDataBase()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("alpha"));
        TDataBase alpha(QStringLiteral("alpha"), 7);
        const auto tables = facade.GetTables(&alpha);
        QVERIFY(tables);
        QStringList names;
        for (const TTable *table : *tables) {
            names << table->Name;
            QCOMPARE(table->ObjectType, soUserTable);
            QCOMPARE(table->DataBase, &alpha);
            QVERIFY(table->Id != 0);
        }
        QCOMPARE(names, (QStringList{QStringLiteral("a t"), QStringLiteral("b_t"), QStringLiteral("order"),
                                     QStringLiteral("pair"), QStringLiteral("x]y'z")}));

        facade.UseDataBase(QStringLiteral("beta"));
        QVERIFY(!facade.GetTables(nullptr)); // no user tables: no list at all
    }

    void columnsOfATable()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("alpha"));
        auto table = findTable(facade, QStringLiteral("b_t"));
        QVERIFY(table);
        table->Columns.Add(std::make_unique<TNumericColumn>(QStringLiteral("stale"), XType::Int, 1, false, 4));
        facade.LoadColumns(table.get());
        QCOMPARE(columnNames(*table), (QStringList{"id", "name", "price", "qty"}));
        const TCustomColumn *id = table->Columns.Items(0);
        QVERIFY(id->IsIdentity);
        QVERIFY(id->IsPrimaryKey);
        QCOMPARE(id->ColumnType.XType, XType::Int);
        QCOMPARE(id->Id, table->Id);
        QVERIFY(dynamic_cast<const TNumericColumn *>(id));
        const TCustomColumn *name = table->Columns.Items(1);
        QVERIFY(!name->IsIdentity && !name->IsPrimaryKey);
        QCOMPARE(name->Length, 40);
        QVERIFY(dynamic_cast<const TStringColumn *>(name));
        const TCustomColumn *price = table->Columns.Items(2);
        QCOMPARE(price->Precision, 18);
        QCOMPARE(price->Scale, 4);
        QCOMPARE(table->Columns.Items(3)->Precision, 10);
        QCOMPARE(table->Columns.Items(3)->Scale, 2);
    }

    void primaryKeyMatchedIgnoringCase()
    {
        TestableFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("alpha"));
        auto table = findTable(facade, QStringLiteral("b_t"));
        QVERIFY(table);
        facade.overridePrimary = true;
        facade.primaryNames = {QStringLiteral("NAME")};
        facade.LoadColumns(table.get());
        QVERIFY(!table->Columns.Items(0)->IsPrimaryKey);
        QVERIFY(table->Columns.Items(1)->IsPrimaryKey);
    }

    // Names that need brackets: a blank, a bracket and a quote.
    void oddTableNamesRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<QStringList>("primary");
        QTest::newRow("blank") << QStringLiteral("a t") << qint64(2) << QStringList{QStringLiteral("k")};
        QTest::newRow("bracket and quote") << QStringLiteral("x]y'z") << qint64(1) << QStringList{};
        QTest::newRow("reserved word, no rows") << QStringLiteral("order") << qint64(0) << QStringList{};
        // A varchar key column reports col_flags 5 (4 for the key, 1 for a
        // length-specifiable type); a sql_variant column must read too.
        QTest::newRow("composite key with varchar, variant column")
            << QStringLiteral("pair") << qint64(3) << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    }

    void oddTableNamesRead()
    {
        QFETCH(QString, name);
        QFETCH(qint64, rows);
        QFETCH(QStringList, primary);
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("alpha"));
        auto table = findTable(facade, name);
        QVERIFY(table);
        const auto names = facade.GetPrimaryColumnNames(table.get());
        QVERIFY(names);
        QCOMPARE(*names, primary);
        auto rowSet = facade.OpenTableRows(table.get());
        QVERIFY2(rowSet, qPrintable(facade.LastOpenError()));
        QCOMPARE(rowSet->RecordCount(), rows);
        qint64 seen = 0;
        for (; !rowSet->Eof(); rowSet->Next())
            ++seen;
        QCOMPARE(seen, rows);
    }

    void variantValuesRead()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("alpha"));
        auto table = findTable(facade, QStringLiteral("pair"));
        QVERIFY(table);
        auto rowSet = facade.OpenTableRows(table.get());
        QVERIFY2(rowSet, qPrintable(facade.LastOpenError()));
        QStringList texts;
        for (; !rowSet->Eof(); rowSet->Next())
            texts << (rowSet->IsNull(2) ? QStringLiteral("NULL") : rowSet->AsString(2));
        QCOMPARE(texts, (QStringList{QStringLiteral("text"), QStringLiteral("NULL"), QStringLiteral("12")}));
    }

    // Every connection reads values whole: the server's session default
    // would cut them at 4,096 bytes.
    void longValuesReadWhole()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("gamma"));
        const TScriptResult size = run(facade, QStringLiteral("SELECT @@TEXTSIZE"));
        QVERIFY(!size.HasErrors());
        QCOMPARE(size.Rows.value(0).value(0), QStringLiteral("2147483647"));
        auto table = findTable(facade, QStringLiteral("long"));
        QVERIFY(table);
        facade.LoadColumns(table.get());
        for (TCustomColumn *column : table->Columns)
            column->IsUsed = true;
        auto rows = facade.OpenTableRows(table.get());
        QVERIFY2(rows, qPrintable(facade.LastOpenError()));
        QCOMPARE(rows->AsString(1), QString(9000, u'a'));
        QCOMPARE(rows->AsString(2), QString(5000, u'ж'));
        QCOMPARE(rows->AsString(3), QString(2 * 9000, u'B'));
        QCOMPARE(rows->AsString(4), QString(8000, u'v'));
    }

    // The catalogue in the table's order, with what keys and declarations
    // need: nullability, collation, the type code as a whole number.
    void columnsInTheirOrderWithNullabilityAndCollation()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("gamma"));
        auto table = findTable(facade, QStringLiteral("order check"));
        QVERIFY(table);
        facade.LoadColumns(table.get());
        QCOMPARE(columnNames(*table), (QStringList{"z", "a", "m", "t", "s", "c"}));
        QStringList nullable, collated;
        for (const TCustomColumn *column : table->Columns) {
            if (column->IsNullable)
                nullable << column->Name;
            if (!column->Collation.isEmpty())
                collated << column->Name;
        }
        // (what a timestamp or computed column reports does not matter: they are never keys)
        for (const char *name : {"z", "m"})
            QVERIFY2(!nullable.contains(QLatin1String(name)), name);
        for (const char *name : {"a", "t"})
            QVERIFY2(nullable.contains(QLatin1String(name)), name);
        QCOMPARE(collated, (QStringList{"a", "m", "t"}));
        QCOMPARE(table->Columns.Items(2)->ColumnType.XType, XType::NVarChar);
        QCOMPARE(table->Columns.Items(2)->Length, 20);
        QVERIFY(table->Columns.Items(5)->IsComputed);
    }

    // The rows hold the carried columns by name in the table's order, and
    // nothing else.
    void rowsHoldTheCarriedColumnsByName()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("gamma"));
        auto table = findTable(facade, QStringLiteral("order check"));
        QVERIFY(table);
        facade.LoadColumns(table.get());
        for (TCustomColumn *column : table->Columns)
            column->IsUsed = column->Name != QLatin1String("a");
        auto rows = facade.OpenTableRows(table.get());
        QVERIFY2(rows, qPrintable(facade.LastOpenError()));
        QStringList fields;
        for (int i = 0; i < rows->FieldCount(); ++i)
            fields << rows->FieldName(i);
        // timestamp and computed columns are never carried
        QCOMPARE(fields, (QStringList{"z", "m", "t"}));
        QCOMPARE(rows->AsString(1), QStringLiteral("y"));

        for (TCustomColumn *column : table->Columns)
            column->IsUsed = column->Name == QLatin1String("s");
        QVERIFY(!facade.OpenTableRows(table.get()));
        QVERIFY(facade.LastOpenError().contains(QStringLiteral("order check")));
    }

    void missingTableGivesNoRowSet()
    {
        TDataAccessFacade facade;
        connect(facade);
        facade.UseDataBase(QStringLiteral("alpha"));
        TTable gone(QStringLiteral("dropped meanwhile"), soUserTable, 99);
        QVERIFY(!facade.OpenTableRows(&gone));
        QVERIFY(facade.LastOpenError().contains(QLatin1String("dropped meanwhile")));
    }
};

QTEST_GUILESS_MAIN(TestFacade)
#include "tst_facade.moc"
