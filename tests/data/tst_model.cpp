#include "Model.h"

#include <QPointer>
#include <QTest>

namespace {

// Counts the destructions of the objects a list owns.
int g_freedTables = 0;
int g_freedDataBases = 0;

class CountedTable : public TTable
{
public:
    using TTable::TTable;
    ~CountedTable() override { ++g_freedTables; }
};

class CountedDataBase : public TDataBase
{
public:
    using TDataBase::TDataBase;
    ~CountedDataBase() override { ++g_freedDataBases; }
};

std::unique_ptr<TDataBaseList> dataBases(std::initializer_list<const char *> names)
{
    auto list = std::make_unique<TDataBaseList>();
    int id = 1;
    for (const char *name : names)
        list->Add(new CountedDataBase(QString::fromLatin1(name), id++));
    return list;
}

std::unique_ptr<TTableList> tablesOf(TDataBase *dataBase, int count)
{
    auto list = std::make_unique<TTableList>();
    for (int i = 0; i < count; ++i) {
        auto table = new CountedTable(QStringLiteral("t%1").arg(i), soUserTable, 100 + i);
        table->DataBase = dataBase;
        list->Add(table);
    }
    return list;
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        g_freedTables = 0;
        g_freedDataBases = 0;
    }

    void accessorGivesOneInstance()
    {
        TScriptCreatorModel *first = ScriptCreatorModel();
        QVERIFY(first);
        QCOMPARE(ScriptCreatorModel(), first);
        QVERIFY(!first->Servers());
        QVERIFY(!first->DataBases());
        QVERIFY(!first->Tables());
        DestroyScriptCreatorModel();
    }

    void newDataBaseListFreesOldOneAndHasNoCurrent()
    {
        TScriptCreatorModel model;
        model.SetDataBases(dataBases({"a", "b", "c"}));
        model.DataBases()->SetItemIndex(1);
        model.SetDataBases(dataBases({"x"}));
        QCOMPARE(g_freedDataBases, 3);
        QCOMPARE(model.DataBases()->Count(), 1);
        QCOMPARE(model.DataBases()->ItemIndex(), -1);
        QVERIFY(!model.DataBases()->CurrentDataBase());
    }

    void nullListChangesNothing()
    {
        TScriptCreatorModel model;
        model.SetDataBases(dataBases({"a", "b"}));
        model.DataBases()->SetItemIndex(1);
        TDataBaseList *before = model.DataBases();
        model.SetTables(tablesOf(before->Items(1), 2));
        model.SetDataBases(nullptr);
        model.SetTables(nullptr);
        model.SetServers(nullptr);
        QCOMPARE(model.DataBases(), before);
        QCOMPARE(model.DataBases()->CurrentDataBase()->Name, QStringLiteral("b"));
        QCOMPARE(model.Tables()->Count(), 2);
        QCOMPARE(g_freedDataBases, 0);
        QCOMPARE(g_freedTables, 0);
        QVERIFY(!model.Servers());
    }

    void replacingTablesFreesThemAndTheirColumns()
    {
        TScriptCreatorModel model;
        auto tables = tablesOf(nullptr, 2);
        // A column notices its own end through the guarded object it owns.
        auto *column = new TNumericColumn(QStringLiteral("id"), XType::Int, 100, false, 4);
        tables->Items(0)->Columns.Add(column);
        QPointer<QObject> guard = new QObject;
        struct ColumnWatch : TNumericColumn
        {
            QObject *watched;
            ColumnWatch(QObject *w) : TNumericColumn(QStringLiteral("w"), XType::Int, 100, false, 4), watched(w) {}
            ~ColumnWatch() override { delete watched; }
        };
        tables->Items(1)->Columns.Add(new ColumnWatch(guard.data()));
        model.SetTables(std::move(tables));
        model.SetTables(tablesOf(nullptr, 1));
        QCOMPARE(g_freedTables, 2);
        QVERIFY(guard.isNull());
    }

    // The tables point into the database list they were read with; a new
    // database list must take them away.
    void newDataBaseListDropsTheTables()
    {
        TScriptCreatorModel model;
        model.SetDataBases(dataBases({"a"}));
        model.SetTables(tablesOf(model.DataBases()->Items(0), 3));
        model.SetDataBases(dataBases({"b"}));
        QVERIFY(!model.Tables());
        QCOMPARE(g_freedTables, 3);
    }

    void clearTablesDropsThem()
    {
        TScriptCreatorModel model;
        model.SetTables(tablesOf(nullptr, 2));
        model.ClearTables();
        QVERIFY(!model.Tables());
        QCOMPARE(g_freedTables, 2);
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
