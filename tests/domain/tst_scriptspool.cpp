// A generated script kept in a temporary file once it passes a size: the
// same text as in memory, the file gone with its owner unless moved, and
// nothing left behind by a generation that does not end whole.

#include "Parser.h"
#include "ScriptFixture.h"
#include "ScriptSpool.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

QStringList items()
{
    return {QStringLiteral("/*"), QStringLiteral("INSERT INTO @T(A1) \r\n  VALUES(N'жёлтый');"), QString(),
            QStringLiteral("a\nb\rc"), QStringLiteral("*/"), QString()};
}

// The bytes quorvane-script writes for the items.
QByteArray fileBytes(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestScriptSpool : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        SetDecimalSeparator(u',');
        QVERIFY(m_dir.isValid());
        for (const QString &name : filesIn(m_dir.path()))
            QFile::remove(m_dir.filePath(name));
    }
    void cleanup() { TScriptCreatorParser::SetSpoolChars(TScriptSpoolSink::DefaultMemoryChars); }

    void smallScriptStaysInLines()
    {
        TScriptSpoolSink sink(1000, m_dir.path());
        for (const QString &item : items())
            sink.AddLine(item);
        TScript script;
        sink.Finish(script);
        QCOMPARE(script.Lines, items());
        QVERIFY(!script.Spool);
        QVERIFY(filesIn(m_dir.path()).isEmpty());
    }

    void longScriptGoesToAFile_data()
    {
        QTest::addColumn<qint64>("memoryChars");
        QTest::newRow("from the first item") << qint64(1);
        QTest::newRow("on the way") << qint64(30);
    }
    void longScriptGoesToAFile()
    {
        QFETCH(qint64, memoryChars);
        QString path;
        {
            TScriptSpoolSink sink(memoryChars, m_dir.path());
            for (const QString &item : items())
                sink.AddLine(item);
            QVERIFY(sink.Spooled());
            TScript script;
            sink.Finish(script);
            QVERIFY(script.Lines.isEmpty());
            QVERIFY(script.Spool);
            path = script.Spool->Path();
            QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(m_dir.path()).absoluteFilePath());
            QCOMPARE(readAll(path), fileBytes(items()));
            QCOMPARE(script.Spool->Bytes(), fileBytes(items()).size());
            // Two items hold a line break (one CR LF, then an LF and a CR).
            QCOMPARE(script.Spool->Lines(), items().size() + 3);
            QCOMPARE(script.Spool->ReadLines(),
                     QStringList({QStringLiteral("/*"), QStringLiteral("INSERT INTO @T(A1) "),
                                  QStringLiteral("  VALUES(N'жёлтый');"), QString(), QStringLiteral("a"),
                                  QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("*/"), QString()}));
        }
        // gone with the script
        QVERIFY(!QFile::exists(path));
        QVERIFY(filesIn(m_dir.path()).isEmpty());
    }

    void unfinishedSpoolLeavesNothing()
    {
        {
            TScriptSpoolSink sink(1, m_dir.path());
            sink.AddLine(QStringLiteral("INSERT"));
            QCOMPARE(filesIn(m_dir.path()).size(), 1);
        }
        QVERIFY(filesIn(m_dir.path()).isEmpty());
    }

    void movedSpoolIsTheUsersFile()
    {
        TScriptSpoolSink sink(1, m_dir.path());
        for (const QString &item : items())
            sink.AddLine(item);
        TScript script;
        sink.Finish(script);
        const QString spooled = script.Spool->Path();
        const QString target = m_dir.filePath(QStringLiteral("goods.sql"));
        script.Spool->MoveTo(target);
        QVERIFY(!QFile::exists(spooled));
        QVERIFY(script.Spool->Path().isEmpty());
        script.Spool.reset();
        QCOMPARE(readAll(target), fileBytes(items()));
    }

    void failedMoveKeepsTheSpool()
    {
        TScriptSpoolSink sink(1, m_dir.path());
        sink.AddLine(QStringLiteral("x"));
        TScript script;
        sink.Finish(script);
        const QString target = m_dir.filePath(QStringLiteral("no such folder/goods.sql"));
        QVERIFY_THROWS_EXCEPTION(EQuorvaneException, script.Spool->MoveTo(target));
        QVERIFY(QFile::exists(script.Spool->Path()));
        QVERIFY(!QFile::exists(target));
    }

    // The workbench's generator spools a long script; its text is the
    // generator's own.
    void generatorSpoolsALongScript()
    {
        qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
        TScriptCreatorParser::SetSpoolChars(200);
        TGoodsFixture goods;
        std::unique_ptr<TScript> script;
        TGenerationResult result;
        QPointer<TScriptCreatorParser> parser = new TScriptCreatorParser;
        parser->Clock = &FixedNow;
        parser->OnScriptCreated = [&](TScriptCreatorParser *, std::unique_ptr<TScript> s, const TGenerationResult &r) {
            script = std::move(s);
            result = r;
        };
        parser->Start(goods.table.get(), &goods.rows, nullptr);
        QTRY_VERIFY(parser.isNull());
        QCOMPARE(result.Outcome, goComplete);
        QVERIFY(script && script->Spool && script->Lines.isEmpty());
        QCOMPARE(QString::fromUtf8(readAll(script->Spool->Path())), WorkedExampleText() + QStringLiteral("\r\n"));
        script.reset();
        QVERIFY(filesIn(m_dir.path()).isEmpty());
        qunsetenv("TMPDIR");
    }

    // Broken off or failed after the file was begun: the file goes too.
    void endWithoutScriptRemovesTheFile_data()
    {
        QTest::addColumn<bool>("breakOff");
        QTest::newRow("broken off") << true;
        QTest::newRow("read failed") << false;
    }
    void endWithoutScriptRemovesTheFile()
    {
        QFETCH(bool, breakOff);
        qputenv("TMPDIR", QFile::encodeName(m_dir.path()));
        TScriptCreatorParser::SetSpoolChars(100);
        auto table = MakeTable(QStringLiteral("Pairs"), {{"Id", XType::Int, 4, false, true, true}, {"Name", XType::VarChar, 10}});
        QList<QList<QVariant>> values;
        for (int i = 0; i < 40; ++i)
            values.append({QString::number(i), QStringLiteral("v")});
        TMemoryRowSet rows({QStringLiteral("Id"), QStringLiteral("Name")}, values);
        if (!breakOff)
            rows.FailAtRow = 30;
        bool sawFile = false;
        int created = 0;
        TGenerationResult result;
        QPointer<TScriptCreatorParser> parser = new TScriptCreatorParser;
        parser->OnProgress = [&](TScriptCreatorParser *sender, int, const QString &text) {
            if (!filesIn(m_dir.path()).isEmpty())
                sawFile = true;
            if (breakOff && text == RowText(40, 30))
                sender->Terminate();
        };
        parser->OnScriptCreated = [&](TScriptCreatorParser *, std::unique_ptr<TScript> s, const TGenerationResult &r) {
            ++created;
            QVERIFY(!s);
            result = r;
        };
        parser->Start(table.get(), &rows, nullptr);
        QTRY_VERIFY(parser.isNull());
        QCOMPARE(created, 1);
        QCOMPARE(result.Outcome, breakOff ? goBrokenOff : goFailed);
        QVERIFY(sawFile);
        QVERIFY(filesIn(m_dir.path()).isEmpty());
        qunsetenv("TMPDIR");
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestScriptSpool)
#include "tst_scriptspool.moc"
