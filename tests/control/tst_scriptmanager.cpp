#include "ScriptManager.h"

#include <QTest>

namespace {

std::unique_ptr<TScript> script(const QString &name, const QString &fileName = {}, const QString &text = {})
{
    auto s = std::make_unique<TScript>();
    s->Name = name;
    s->FileName = fileName;
    if (!text.isEmpty())
        s->Lines << text;
    return s;
}

QStringList names(const TScriptManager &list)
{
    QStringList result;
    for (TScript *s : list)
        result << s->Name;
    return result;
}

// Counts the two events of a list.
struct Events
{
    explicit Events(TScriptManager &list)
    {
        list.OnChange = [this](TScriptManager *) { ++changes; };
        list.OnItemIndexChange = [this](TScriptManager *, int index) { indexChanges << index; };
    }
    int changes = 0;
    QList<int> indexChanges;
};

} // namespace

class ScriptManagerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newListHasNoCurrent()
    {
        TScriptManager list;
        QCOMPARE(list.ItemIndex(), 0);
        QCOMPARE(list.Current(), nullptr);
    }

    void sameFileTwiceGivesOneTab()
    {
        TScriptManager list;
        Events events(list);
        list.AddScript(script("a.sql", "/x/a.sql", "edited"));
        list.AddScript(script("b.sql", "/x/b.sql"));
        list.AddScript(script("a.sql", "/x/a.sql", "from disk"));
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.ItemIndex(), 0);
        QCOMPARE(list.Current()->Lines, QStringList{"edited"});
        QCOMPARE(events.changes, 3);
        QVERIFY(events.indexChanges.isEmpty());
    }

    void documentsCompareFileNamesExactly()
    {
        TScriptManager list;
        list.AddScript(script("a.sql", "/x/a.sql"));
        list.AddScript(script("A.SQL", "/x/A.SQL"));
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.ItemIndex(), 1);
        QCOMPARE(list.IndexOfFileName("/x/A.SQL"), 1);
        QCOMPARE(list.IndexOfFileName("/x/a.SQL"), -1);
    }

    void scriptsWithoutFileNeverMatch()
    {
        TScriptManager list;
        list.AddScript(std::make_unique<TScript>());
        list.AddScript(std::make_unique<TScript>());
        list.AddScriptFromText(QStringLiteral("select 1"));
        QCOMPARE(list.Count(), 3);
        QCOMPARE(list.ItemIndex(), 2);
    }

    void addFromTextSplitsLines()
    {
        TScriptManager list;
        list.AddScriptFromText(QStringLiteral("a\r\nb\nc\rd\r\n"));
        QCOMPARE(list.Current()->Name, QStringLiteral("(Без имени)"));
        QCOMPARE(list.Current()->Lines, (QStringList{"a", "b", "c", "d"}));
        QVERIFY(list.Current()->FileName.isEmpty());
    }

    void deleteMovesCurrent_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("newCurrent");
        QTest::newRow("close A of ABC") << 3 << 0 << QStringList{"B", "C"} << "C";
        QTest::newRow("close B of ABC") << 3 << 1 << QStringList{"A", "C"} << "C";
        QTest::newRow("close C of ABC") << 3 << 2 << QStringList{"A", "B"} << "B";
        QTest::newRow("close the only one") << 1 << 0 << QStringList{} << "";
    }
    void deleteMovesCurrent()
    {
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(QStringList, left);
        QFETCH(QString, newCurrent);
        TScriptManager list;
        for (int i = 0; i < count; ++i)
            list.AddScript(script(QString(QChar(u'A' + i))));
        list.SetItemIndex(current);
        Events events(list);
        list.Delete(list.ItemIndex());
        QCOMPARE(names(list), left);
        QCOMPARE(events.changes, 1);
        QVERIFY(events.indexChanges.isEmpty());
        if (newCurrent.isEmpty()) {
            QCOMPARE(list.ItemIndex(), -1);
            QCOMPARE(list.Current(), nullptr);
        } else {
            QCOMPARE(list.Current()->Name, newCurrent);
        }
    }

    void deleteOutsideTheListChangesNothing()
    {
        TScriptManager list;
        list.AddScript(script("A"));
        Events events(list);
        QVERIFY_THROWS_EXCEPTION(EListIndexError, list.Delete(1));
        QCOMPARE(list.Count(), 1);
        QCOMPARE(list.ItemIndex(), 0);
        QCOMPARE(events.changes, 0);
    }

    void setItemIndex_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("changes");
        QTest::newRow("another") << 0 << true;
        QTest::newRow("the current one") << 1 << false;
        QTest::newRow("below") << -1 << false;
        QTest::newRow("past the end") << 2 << false;
    }
    void setItemIndex()
    {
        QFETCH(int, index);
        QFETCH(bool, changes);
        TScriptManager list;
        list.AddScript(script("A"));
        list.AddScript(script("B"));
        QList<QString> order;
        list.OnChange = [&](TScriptManager *) { order << "change"; };
        list.OnItemIndexChange = [&](TScriptManager *, int i) { order << QStringLiteral("index %1").arg(i); };
        list.SetItemIndex(index);
        QCOMPARE(list.ItemIndex(), changes ? index : 1);
        QCOMPARE(order, changes ? (QList<QString>{QStringLiteral("index %1").arg(index), "change"}) : QList<QString>{});
    }

    // What closing would lose: text no file holds.
    void modifiedMeansTextNoFileHolds()
    {
        TScriptManager list;
        list.AddScript(script("new"));
        TScript *fresh = list.Current();
        QVERIFY(!list.IsModified(fresh));
        fresh->Lines = QStringList{QString(), QStringLiteral("  ")};
        QVERIFY(!list.IsModified(fresh)); // blank lines only
        fresh->Lines = QStringList{QStringLiteral("SELECT 1")};
        QVERIFY(list.IsModified(fresh));
        list.MarkSaved(fresh);
        QVERIFY(!list.IsModified(fresh));
        fresh->Lines << QStringLiteral("SELECT 2");
        QVERIFY(list.IsModified(fresh));
        fresh->Lines.removeLast(); // undone by hand: as saved again
        QVERIFY(!list.IsModified(fresh));

        // A second read of an open file is dropped: the open tab keeps its
        // own state, and the dropped copy leaves nothing behind.
        list.AddScript(script("f.sql", "/tmp/f.sql", "SELECT 3"));
        TScript *file = list.Current();
        list.MarkSaved(file);
        file->Lines << QStringLiteral("-- edited");
        auto again = script("f.sql", "/tmp/f.sql", "SELECT 3");
        list.MarkSaved(again.get());
        list.AddScript(std::move(again));
        QCOMPARE(list.Count(), 2);
        QVERIFY(list.IsModified(file));

        list.Delete(list.IndexOf(file));
        list.AddScript(script("other", {}, "PRINT 1"));
        QVERIFY(list.IsModified(list.Current()));
    }

    void processWideListIsOne()
    {
        TScriptManager *list = ScriptManager();
        QCOMPARE(ScriptManager(), list);
        list->AddScript(script("A"));
        DestroyScriptManager();
        QCOMPARE(ScriptManager()->Count(), 0);
        DestroyScriptManager();
    }
};

QTEST_GUILESS_MAIN(ScriptManagerTest)
#include "tst_scriptmanager.moc"
