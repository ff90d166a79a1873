#include "HistoryManager.h"
#include "IndexedObjectList.h"
#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList paths(int from, int to)
{
    QStringList result;
    for (int i = from; i <= to; ++i)
        result << QStringLiteral("/scripts/%1.sql").arg(i);
    return result;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class HistoryManagerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsTheLastEight()
    {
        THistoryManager history;
        QList<QStringList> seen;
        history.OnChange = [&](THistoryManager *, const QStringList &files) { seen << files; };
        for (const QString &p : paths(1, 9))
            history.Add(p);
        QCOMPARE(history.Files(), paths(2, 9));
        QCOMPARE(history.Get(0), paths(2, 2).first());
        QCOMPARE(seen.size(), 9);
        QCOMPARE(seen.last(), paths(2, 9));
    }

    void reopeningMovesToTheEndIgnoringCase()
    {
        THistoryManager history;
        history.Add("/x/a.sql");
        history.Add("/x/b.sql");
        history.Add("/x/c.sql");
        history.Add("/X/A.SQL");
        QCOMPARE(history.Files(), (QStringList{"/x/b.sql", "/x/c.sql", "/X/A.SQL"}));
    }

    void getOutsideTheListThrows()
    {
        THistoryManager history;
        history.Add("/x/a.sql");
        QVERIFY_THROWS_EXCEPTION(EListIndexError, (void)history.Get(1));
        QVERIFY_THROWS_EXCEPTION(EListIndexError, (void)history.Get(-1));
    }

    void loadKeepsEveryLineUntilTheNextAdd()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("Histroy.txt");
        QByteArray bytes;
        for (const QString &p : paths(1, 12))
            bytes += p.toUtf8() + "\r\n";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();

        THistoryManager history;
        int changes = 0;
        history.OnChange = [&](THistoryManager *, const QStringList &) { ++changes; };
        history.LoadFromFile(file);
        QCOMPARE(history.Files(), paths(1, 12));
        QCOMPARE(changes, 1);
        history.Add("/scripts/new.sql");
        QCOMPARE(history.Files(), paths(6, 12) << "/scripts/new.sql");
    }

    void readingLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("lone LF and CR") << QByteArray("a\nb\rc") << QStringList{"a", "b", "c"};
        QTest::newRow("last line without end") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("empty line is an entry") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"};
        QTest::newRow("locale text") << QStringLiteral("/дом/скрипт.sql\r\n").toUtf8()
                                     << QStringList{QStringLiteral("/дом/скрипт.sql")};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }
    void readingLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        const QString file = dir.filePath("Histroy.txt");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        THistoryManager history;
        history.Add("/old.sql");
        history.LoadFromFile(file);
        QCOMPARE(history.Files(), files);
    }

    void missingFileLeavesTheListButRaisesChange()
    {
        THistoryManager history;
        history.Add("/x/a.sql");
        int changes = 0;
        history.OnChange = [&](THistoryManager *, const QStringList &) { ++changes; };
        history.LoadFromFile("/nonexistent/Histroy.txt");
        QCOMPARE(history.Files(), QStringList{"/x/a.sql"});
        QCOMPARE(changes, 1);
    }

    void savesOnePathPerCrLfLine()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("new/folder/Histroy.txt");
        THistoryManager history;
        history.Add("/x/a.sql");
        history.Add(QStringLiteral("/дом/b.sql"));
        history.SaveToFile(file);
        QCOMPARE(readAll(file), QStringLiteral("/x/a.sql\r\n/дом/b.sql\r\n").toUtf8());

        THistoryManager again;
        again.LoadFromFile(file);
        QCOMPARE(again.Files(), history.Files());
    }

    void saveFailureThrows()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath("blocker");
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        THistoryManager history;
        history.Add("/x/a.sql");
        QVERIFY_THROWS_EXCEPTION(ETextFileError, history.SaveToFile(blocker + "/Histroy.txt"));
    }

    void fileLocation()
    {
        QTemporaryDir dir;
        const QString app = dir.filePath("app");
        const QString settings = dir.filePath("settings");
        QVERIFY(QDir().mkpath(app));
        QCOMPARE(HistoryFileName(app, settings), app + "/Histroy.txt");
        // A program folder we cannot write to (here: one that is not there).
        QCOMPARE(HistoryFileName(dir.filePath("gone"), settings), settings + "/Histroy.txt");
    }

    // An installed program's folder is shared by every user: even when this
    // user may write there (root), the history goes to the settings folder.
    void systemProgramFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("usr bin") << "/usr/bin";
        QTest::newRow("usr bin, trailing slash") << "/usr/bin/";
        QTest::newRow("usr local bin") << "/usr/local/bin";
        QTest::newRow("bin") << "/bin";
    }

    void systemProgramFolders()
    {
        QFETCH(QString, folder);
        if (!QFileInfo(folder).isDir())
            QSKIP("the folder is not on this machine");
        QCOMPARE(HistoryFileName(folder, "/home/u/.config/q"), QStringLiteral("/home/u/.config/q/Histroy.txt"));
    }
};

QTEST_GUILESS_MAIN(HistoryManagerTest)
#include "tst_historymanager.moc"
