#include "Domain.h"

#include <QTest>

namespace {
struct Tracked
{
    explicit Tracked(int *alive) : alive(alive) { ++*alive; }
    ~Tracked() { --*alive; }
    int *alive;
};

std::unique_ptr<TSQLServersList> servers(std::initializer_list<const char *> names)
{
    auto list = std::make_unique<TSQLServersList>();
    for (const char *name : names)
        list->Add(std::make_unique<TSQLServer>(QString::fromUtf8(name)));
    return list;
}
} // namespace

class TestDomainModel : public QObject
{
    Q_OBJECT

private slots:
    void newListsHaveNoCurrentItem()
    {
        TSQLServersList servers;
        TDataBaseList dataBases;
        dataBases.Add(std::make_unique<TDataBase>(QStringLiteral("master"), 1));
        QCOMPARE(servers.ItemIndex(), -1);
        QCOMPARE(servers.CurrentServer(), nullptr);
        QCOMPARE(dataBases.ItemIndex(), -1);
        QCOMPARE(dataBases.CurrentDataBase(), nullptr);
    }

    void setItemIndexRejectsOutside_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("minus one") << -1;
        QTest::newRow("count") << 3;
        QTest::newRow("far") << 1000;
        QTest::newRow("very negative") << -7;
    }
    void setItemIndexRejectsOutside()
    {
        QFETCH(int, index);
        auto list = servers({"a", "b", "c"});
        list->SetItemIndex(1);
        try {
            list->SetItemIndex(index);
            QFAIL("no exception");
        } catch (const EIndexOutOfBoudsException &e) {
            QCOMPARE(e.Message(), QStringLiteral("Index %1 is out of bounds.").arg(index));
        }
        QCOMPARE(list->ItemIndex(), 1);
        QCOMPARE(list->CurrentServer()->Name, QStringLiteral("b"));
    }

    void itemIndexIsNotMovedByDeleteOrClear()
    {
        auto list = servers({"a", "b", "c"});
        list->SetItemIndex(1);
        list->Delete(0);
        QCOMPARE(list->ItemIndex(), 1);
        QCOMPARE(list->CurrentServer()->Name, QStringLiteral("c"));
        list->Delete(1);
        QCOMPARE(list->ItemIndex(), 1);
        QCOMPARE(list->CurrentServer(), nullptr);
        list->Add(std::make_unique<TSQLServer>(QStringLiteral("d")));
        QCOMPARE(list->CurrentServer()->Name, QStringLiteral("d"));
        list->Clear();
        QCOMPARE(list->ItemIndex(), 1);
        QCOMPARE(list->CurrentItem(), nullptr);
    }

    void itemsOutsideTheListThrow()
    {
        TTableList tables;
        tables.Add(std::make_unique<TTable>(QStringLiteral("Goods"), soUserTable, 5));
        QCOMPARE(tables.Items(0)->Name, QStringLiteral("Goods"));
        QVERIFY_THROWS_EXCEPTION(EListIndexError, (void)tables.Items(1));
        QVERIFY_THROWS_EXCEPTION(EListIndexError, (void)tables.Items(-1));
    }

    void owningListsFreeTheirItems()
    {
        int alive = 0;
        {
            TObjectList<Tracked> list;
            list.Add(std::make_unique<Tracked>(&alive));
            list.Add(std::make_unique<Tracked>(&alive));
            list.Add(std::make_unique<Tracked>(&alive));
            list.Delete(1);
            QCOMPARE(alive, 2);
            std::unique_ptr<Tracked> taken = list.Extract(0);
            QCOMPARE(alive, 2);
            taken.reset();
            QCOMPARE(alive, 1);
        }
        QCOMPARE(alive, 0);

        Tracked kept(&alive);
        {
            TObjectList<Tracked> borrowing(false);
            borrowing.Add(&kept);
        }
        QCOMPARE(alive, 1);
    }

    void findByNameIsExactAndTakesTheLast()
    {
        auto list = servers({"Alpha", "beta", "Beta", "Beta "});
        QCOMPARE(list->FindByName(QStringLiteral("beta")), list->Items(1));
        list->Add(std::make_unique<TSQLServer>(QStringLiteral("beta")));
        QCOMPARE(list->FindByName(QStringLiteral("beta")), list->Items(4));
        QCOMPARE(list->FindByName(QStringLiteral("alpha")), nullptr);
        QCOMPARE(list->FindByName(QStringLiteral("Beta")), list->Items(2));
    }

    void getNamesReusesOneList()
    {
        auto list = servers({"(local)", "DEV"});
        QStringList &first = list->GetNames();
        QCOMPARE(first, QStringList({QStringLiteral("(local)"), QStringLiteral("DEV")}));
        list->Delete(0);
        list->Add(std::make_unique<TSQLServer>(QStringLiteral("QA")));
        QStringList &second = list->GetNames();
        QCOMPARE(&first, &second);
        QCOMPARE(second, QStringList({QStringLiteral("DEV"), QStringLiteral("QA")}));
    }

    void objectTypeFromCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("type");
        const char *codes[] = {"C", "D", "L", "FN", "IF", "P", "PK", "RF", "S", "TF", "TR", "U", "UQ", "V", "X"};
        for (int i = 0; i < 15; ++i)
            QTest::newRow(codes[i]) << QString::fromLatin1(codes[i]) << i;
        QTest::newRow("U and a blank") << QStringLiteral("U ") << int(soUserTable);
        QTest::newRow("blanks around") << QStringLiteral(" P ") << int(soProcedure);
    }
    void objectTypeFromCode()
    {
        QFETCH(QString, code);
        QFETCH(int, type);
        TTable table(QStringLiteral("Goods"), code, 7);
        QCOMPARE(int(table.ObjectType), type);
        QCOMPARE(table.Id, 7);
        QCOMPARE(table.Columns.Count(), 0);
        QCOMPARE(table.DataBase, nullptr);
        QVERIFY(table.Nickname.isEmpty());
    }

    void unknownObjectCodesAreRefused()
    {
        QVERIFY_THROWS_EXCEPTION(EQuorvaneException, TTable(QStringLiteral("t"), QStringLiteral("u"), 1));
        QVERIFY_THROWS_EXCEPTION(EQuorvaneException, TTable(QStringLiteral("t"), QStringLiteral("ZZ"), 1));
    }

    void scriptNameFallsBackToTheTableName()
    {
        TTable table(QStringLiteral("Goods"), soUserTable, 1);
        QCOMPARE(table.GetScriptName(), QStringLiteral("Goods"));
        QCOMPARE(table.Nickname, QStringLiteral("Goods"));
        table.Nickname = QStringLiteral("dbo.Goods2");
        QCOMPARE(table.GetScriptName(), QStringLiteral("dbo.Goods2"));
    }

    void identityAndKeyQuestions()
    {
        TTable table(QStringLiteral("Goods"), soUserTable, 1);
        QVERIFY(!table.HasIdentityColumn());
        QVERIFY(!table.HasKeyColumns());
        table.Columns.Add(CreateColumn(QStringLiteral("Title"), XType::VarChar, 1, false, 50));
        table.Columns.Add(CreateColumn(QStringLiteral("Id"), XType::Int, 1, true, 4));
        // the identity column is not used by the script and still counts
        QVERIFY(table.HasIdentityColumn());
        QVERIFY(!table.HasKeyColumns());
        table.Columns.Items(0)->IsKey = true;
        QVERIFY(table.HasKeyColumns());
    }

    void freshObjects()
    {
        TScript script;
        QCOMPARE(script.Name, QStringLiteral("(Без имени)"));
        QVERIFY(script.Lines.isEmpty());
        QVERIFY(script.FileName.isEmpty());

        std::shared_ptr<IParseSettings> settings = std::make_shared<TParseSettings>();
        QVERIFY(!settings->GetDeleteTable());
        settings->SetDeleteTable(true);
        QVERIFY(settings->GetDeleteTable());

        auto column = CreateColumn(QStringLiteral("Id"), XType::Int, 9, true, 4);
        QCOMPARE(column->ColumnType.Name, QStringLiteral("int"));
        QCOMPARE(column->Id, 9);
        QVERIFY(column->IsIdentity && !column->IsPrimaryKey && !column->IsKey && !column->IsUsed);
        QVERIFY(!column->IsComputed);
    }
};

QTEST_GUILESS_MAIN(TestDomainModel)
#include "tst_domainmodel.moc"
