#include "Parser.h"
#include "ScriptFixture.h"

#include <QPointer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {
// Watches one generation from the GUI thread.
struct TWatch
{
    QPointer<TScriptCreatorParser> parser;
    TReports reports;
    int created = 0;
    std::unique_ptr<TScript> script;
    bool offThread = false;

    explicit TWatch(TScriptCreatorParser *p) : parser(p)
    {
        p->Clock = &FixedNow;
        p->OnProgress = [this](TScriptCreatorParser *sender, int percent, const QString &text) {
            offThread |= QThread::currentThread() != qApp->thread() || sender != parser;
            reports.append({percent, text});
        };
        p->OnScriptCreated = [this](TScriptCreatorParser *sender, std::unique_ptr<TScript> s) {
            offThread |= QThread::currentThread() != qApp->thread() || sender != parser;
            ++created;
            script = std::move(s);
        };
    }
};

QList<QList<QVariant>> rowsOf(int n)
{
    QList<QList<QVariant>> rows;
    for (int i = 0; i < n; ++i)
        rows.append({QString::number(i), QStringLiteral("v%1").arg(i)});
    return rows;
}

// Holds the worker inside Next() of row Gate until the test lets it go.
class TGateRowSet : public TMemoryRowSet
{
public:
    using TMemoryRowSet::TMemoryRowSet;
    int Gate = -1;
    QSemaphore reached, proceed;
    void Next() override
    {
        if (Position() + 1 == Gate) {
            reached.release();
            proceed.acquire();
        }
        TMemoryRowSet::Next();
    }
};

std::unique_ptr<TTable> pairs()
{
    return MakeTable(QStringLiteral("P"), {{"Id", XType::Int, 4, false, true, true}, {"Name", XType::VarChar, 10}});
}
const QStringList pairFields = {QStringLiteral("Id"), QStringLiteral("Name")};
} // namespace

class TestParser : public QObject
{
    Q_OBJECT

private slots:
    void init() { SetDecimalSeparator(u','); }

    void deliversOnTheGuiThreadAndFreesItself()
    {
        TGoodsFixture goods;
        auto settings = std::make_shared<TParseSettings>();
        auto *parser = new TScriptCreatorParser;
        TWatch watch(parser);
        QSignalSpy destroyed(parser, &QObject::destroyed);
        parser->Start(goods.table.get(), &goods.rows, settings);
        QTRY_COMPARE(watch.created, 1);
        QVERIFY(watch.script);
        QCOMPARE(watch.script->Lines.join(QStringLiteral("\r\n")), WorkedExampleText());
        QCOMPARE(watch.reports.size(), 6);
        QCOMPARE(watch.reports.at(3), qMakePair(50, RowText(2, 2)));
        QVERIFY(!watch.offThread);
        QTRY_COMPARE(destroyed.count(), 1);
        QVERIFY(watch.parser.isNull());
        // its reference to the settings is gone with it
        QCOMPARE(settings.use_count(), 1);
    }

    void missingInputsGiveNoScript()
    {
        TGoodsFixture goods;
        for (int missing = 0; missing < 2; ++missing) {
            auto *parser = new TScriptCreatorParser;
            TWatch watch(parser);
            parser->Start(missing == 0 ? nullptr : goods.table.get(), missing == 0 ? &goods.rows : nullptr, nullptr);
            QTRY_COMPARE(watch.created, 1);
            QVERIFY(!watch.script);
            QVERIFY(watch.reports.isEmpty());
            QTRY_VERIFY(watch.parser.isNull());
        }
    }

    void terminateDuringTheFirstRow()
    {
        auto table = pairs();
        TMemoryRowSet rows(pairFields, rowsOf(50));
        auto *parser = new TScriptCreatorParser;
        TWatch watch(parser);
        auto progress = parser->OnProgress;
        parser->OnProgress = [&, progress](TScriptCreatorParser *sender, int percent, const QString &text) {
            progress(sender, percent, text);
            if (text == RowText(50, 1))
                sender->Terminate();
        };
        parser->Start(table.get(), &rows, nullptr);
        QTRY_COMPARE(watch.created, 1);
        QVERIFY(watch.script);
        const QString text = watch.script->Lines.join(QStringLiteral("\r\n"));
        QCOMPARE(text.count(QStringLiteral("INSERT INTO @PTempTable")), 1);
        QVERIFY(text.contains(QStringLiteral("WHERE NOT EXISTS(SELECT * FROM P WHERE (Id = T.Id1))")));
        QVERIFY(text.endsWith(QStringLiteral("--Script for table „P“ end.--\r\n\r\n/*\r\n\r\n*/\r\n\r\n")));
        QList<int> percents;
        for (const auto &r : watch.reports)
            percents.append(r.first);
        QCOMPARE(percents, QList<int>({0, 1, 1, 99, 100}));
        QTRY_VERIFY(watch.parser.isNull());
    }

    void readErrorEndsSilently_data()
    {
        QTest::addColumn<int>("failAtRow");
        QTest::addColumn<bool>("failOnCount");
        QTest::newRow("row count") << -1 << true;
        QTest::newRow("second row") << 1 << false;
        QTest::newRow("mid-run") << 30 << false;
    }
    void readErrorEndsSilently()
    {
        QFETCH(int, failAtRow);
        QFETCH(bool, failOnCount);
        auto table = pairs();
        TMemoryRowSet rows(pairFields, rowsOf(60));
        rows.FailAtRow = failAtRow;
        rows.FailOnCount = failOnCount;
        auto *parser = new TScriptCreatorParser;
        TWatch watch(parser);
        QSignalSpy destroyed(parser, &QObject::destroyed);
        parser->Start(table.get(), &rows, nullptr);
        QTRY_COMPARE(destroyed.count(), 1);
        QCOMPARE(watch.created, 0);
        QVERIFY(!watch.reports.isEmpty());
        const int lastPercent = watch.reports.last().first;
        QVERIFY(lastPercent < 99);
        // rows before the failing move were reported, nothing after it
        QCOMPARE(watch.reports.size(), failOnCount ? 2 : 1 + failAtRow);
    }

    void breakOffInsideAHandler()
    {
        auto table = pairs();
        TMemoryRowSet rows(pairFields, rowsOf(40));
        auto *parser = new TScriptCreatorParser;
        TWatch watch(parser);
        auto progress = parser->OnProgress;
        parser->OnProgress = [&, progress](TScriptCreatorParser *sender, int percent, const QString &text) {
            progress(sender, percent, text);
            if (text == RowText(40, 3))
                sender->BreakOffAndFree(); // a wizard closing from its progress handler
        };
        QSignalSpy destroyed(parser, &QObject::destroyed);
        parser->Start(table.get(), &rows, nullptr);
        QTRY_COMPARE(destroyed.count(), 1);
        QCOMPARE(watch.created, 0);
        QCOMPARE(watch.reports.size(), 2 + 3);
        // the worker left the rows where they were when it was dropped
        QCOMPARE(rows.Position(), 3);
    }

    void breakOffAndFreeWaitsForTheWorker()
    {
        auto table = pairs();
        auto rows = std::make_unique<TGateRowSet>(pairFields, rowsOf(20));
        rows->Gate = 5;
        auto *parser = new TScriptCreatorParser;
        TWatch watch(parser);
        parser->Start(table.get(), rows.get(), nullptr);
        // the first reports run here while the worker goes to row 5
        QTRY_VERIFY(rows->reached.available() > 0);
        rows->proceed.release();
        parser->BreakOffAndFree();
        QVERIFY(watch.parser.isNull());
        const qsizetype delivered = watch.reports.size();
        // the inputs are free to go now, and nothing arrives any more
        rows.reset();
        table.reset();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(watch.reports.size(), delivered);
        QCOMPARE(watch.created, 0);
    }

    void freeingBeforeStartRunsNothing()
    {
        auto *parser = new TScriptCreatorParser;
        TWatch watch(parser);
        parser->BreakOffAndFree();
        QVERIFY(watch.parser.isNull());
        QCoreApplication::processEvents();
        QCOMPARE(watch.created, 0);
    }
};

QTEST_GUILESS_MAIN(TestParser)
#include "tst_parser.moc"
