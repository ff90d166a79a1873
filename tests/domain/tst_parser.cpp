#include "Parser.h"
#include "ScriptFixture.h"

#include <QPointer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>

namespace {
// Watches one generation from the GUI thread.
struct TWatch
{
    QPointer<TScriptCreatorParser> parser;
    TReports reports;
    int created = 0;
    std::unique_ptr<TScript> script;
    TGenerationResult result;
    bool offThread = false;

    explicit TWatch(TScriptCreatorParser *p) : parser(p)
    {
        p->Clock = &FixedNow;
        p->OnProgress = [this](TScriptCreatorParser *sender, int percent, const QString &text) {
            offThread |= QThread::currentThread() != qApp->thread() || sender != parser;
            reports.append({percent, text});
        };
        p->OnScriptCreated = [this](TScriptCreatorParser *sender, std::unique_ptr<TScript> s, const TGenerationResult &r) {
            offThread |= QThread::currentThread() != qApp->thread() || sender != parser;
            ++created;
            script = std::move(s);
            result = r;
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

// A read that hangs in Next() of row Gate, as on a server that stopped
// answering, until Cancel() makes it fail. Says when it is freed.
class THangingRowSet : public TMemoryRowSet
{
public:
    THangingRowSet(QStringList names, QList<QList<QVariant>> rows, std::atomic<bool> &freed)
        : TMemoryRowSet(std::move(names), std::move(rows)), m_freed(freed)
    {
    }
    ~THangingRowSet() override { m_freed = true; }
    int Gate = -1;
    // When false, the read hangs on after a cancel until the test lets go.
    bool EndsOnCancel = true;
    QSemaphore reached, cancelled;
    std::atomic<int> cancels{0};
    void Next() override
    {
        if (Position() + 1 == Gate) {
            reached.release();
            cancelled.acquire();
            throw std::runtime_error("Operation canceled");
        }
        TMemoryRowSet::Next();
    }
    void Cancel() noexcept override
    {
        ++cancels;
        if (EndsOnCancel)
            cancelled.release();
    }

private:
    std::atomic<bool> &m_freed;
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
        QCOMPARE(watch.result.Outcome, goComplete);
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
            QCOMPARE(watch.result.Outcome, goFailed);
            QVERIFY(!watch.result.Reason.isEmpty());
            QVERIFY(watch.reports.isEmpty());
            QTRY_VERIFY(watch.parser.isNull());
        }
    }

    // "Прервать": no script, and the end says it was broken off.
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
        QVERIFY(!watch.script);
        QCOMPARE(watch.result.Outcome, goBrokenOff);
        QList<int> percents;
        for (const auto &r : watch.reports)
            percents.append(r.first);
        QCOMPARE(percents, QList<int>({0, 1, 1}));
        QTRY_VERIFY(watch.parser.isNull());
    }

    // Terminate cancels a read that hangs: the generation ends broken off,
    // not failed, though the read ended with an error.
    void terminateCancelsAHangingRead()
    {
        auto table = pairs();
        std::atomic<bool> freed{false};
        THangingRowSet rows(pairFields, rowsOf(20), freed);
        rows.Gate = 4;
        auto *parser = new TScriptCreatorParser;
        TWatch watch(parser);
        parser->Start(table.get(), &rows, nullptr);
        QTRY_VERIFY(rows.reached.available() > 0);
        parser->Terminate();
        QTRY_COMPARE(watch.created, 1);
        QVERIFY(!watch.script);
        QCOMPARE(watch.result.Outcome, goBrokenOff);
        QCOMPARE(rows.cancels.load(), 1);
        QTRY_VERIFY(watch.parser.isNull());
    }

    void readErrorIsReported_data()
    {
        QTest::addColumn<int>("failAtRow");
        QTest::addColumn<bool>("failOnCount");
        QTest::newRow("row count") << -1 << true;
        QTest::newRow("second row") << 1 << false;
        QTest::newRow("mid-run") << 30 << false;
    }
    void readErrorIsReported()
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
        QCOMPARE(watch.created, 1);
        QVERIFY(!watch.script);
        QCOMPARE(watch.result.Outcome, goFailed);
        QCOMPARE(watch.result.Reason, QStringLiteral("connection lost"));
        QVERIFY(!watch.reports.isEmpty());
        QVERIFY(watch.reports.last().first < 99);
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

        auto *unstarted = new TScriptCreatorParser;
        TWatch other(unstarted);
        unstarted->Abandon();
        QVERIFY(other.parser.isNull());
    }

    // A receiver that goes while the worker hangs in a read does not wait
    // for it (the read here hangs on until the test lets it go, so a wait
    // would never end); the read is cancelled, and the worker frees the
    // inputs it was handed and itself when it ends, with no report to anybody.
    void abandonNeverWaits()
    {
        std::atomic<bool> freed{false};
        auto rows = std::make_unique<THangingRowSet>(pairFields, rowsOf(20), freed);
        rows->Gate = 3;
        rows->EndsOnCancel = false;
        THangingRowSet *hanging = rows.get();
        auto table = std::make_unique<TTableSnapshot>(*pairs());
        auto *parser = new TScriptCreatorParser;
        TWatch watch(parser);
        parser->Start(std::move(table), std::move(rows), nullptr);
        QTRY_VERIFY(hanging->reached.available() > 0);
        const qsizetype delivered = watch.reports.size();
        parser->Abandon();
        QTRY_COMPARE(hanging->cancels.load(), 1);
        QVERIFY(!watch.parser.isNull());
        QVERIFY(!freed.load());
        hanging->cancelled.release();
        QTRY_VERIFY(watch.parser.isNull());
        QVERIFY(freed.load());
        QCOMPARE(watch.reports.size(), delivered);
        QCOMPARE(watch.created, 0);
        QCOMPARE(TScriptCreatorParser::Running(), 0);
    }

    // The worker reads its own copy of the table: the original may go.
    // A build of its own (the script of several tables) runs on the worker
    // like a table's: its lines come as the script only when it completed,
    // a stop turns whatever it then says into "broken off", and what it
    // captured goes with the worker.
    void ownBuild_data()
    {
        QTest::addColumn<int>("ending"); // 0 complete, 1 failed, 2 stopped and then failed
        QTest::addColumn<int>("outcome");
        QTest::newRow("complete") << 0 << int(goComplete);
        QTest::newRow("failed") << 1 << int(goFailed);
        QTest::newRow("stopped, says failed") << 2 << int(goBrokenOff);
    }
    void ownBuild()
    {
        QFETCH(int, ending);
        QFETCH(int, outcome);
        auto captured = std::make_shared<int>(0);
        auto *parser = new TScriptCreatorParser;
        TWatch watch(parser);
        if (ending == 2)
            parser->OnProgress = [](TScriptCreatorParser *sender, int, const QString &) { sender->Terminate(); };
        parser->Start([captured, ending](TScriptLineSink &Sink, const TScriptBuildControl &Control) {
            Sink.AddLine(QStringLiteral("-- one"));
            Control.Progress(50, QStringLiteral("half"));
            if (ending == 2 && !Control.StopRequested())
                return TGenerationResult::Failed(QStringLiteral("the stop was not seen"));
            Sink.AddLine(QStringLiteral("-- two %1").arg(Control.Now.date().year()));
            return ending == 0 ? TGenerationResult::Completed() : TGenerationResult::Failed(QStringLiteral("why"));
        });
        QTRY_COMPARE(watch.created, 1);
        QCOMPARE(int(watch.result.Outcome), outcome);
        QCOMPARE(bool(watch.script), outcome == goComplete);
        if (watch.script)
            QCOMPARE(watch.script->Lines,
                     (QStringList{QStringLiteral("-- one"), QStringLiteral("-- two %1").arg(FixedNow().date().year())}));
        if (outcome == goFailed)
            QCOMPARE(watch.result.Reason, QStringLiteral("why"));
        QTRY_VERIFY(watch.parser.isNull());
        QCOMPARE(captured.use_count(), 1);
    }

    void snapshotOutlivesItsSource()
    {
        TDataBase dataBase(QStringLiteral("Shop"), 7);
        auto source = pairs();
        source->DataBase = &dataBase;
        source->Nickname = QStringLiteral("P2");
        source->DataBaseCollation = QStringLiteral("Cyrillic_General_CI_AS");
        source->Columns.Items(1)->IsNullable = true;
        source->Columns.Items(1)->Collation = QStringLiteral("Latin1_General_BIN");
        auto snapshot = std::make_unique<TTableSnapshot>(*source);
        source.reset();
        const TTable &copy = snapshot->Table();
        QCOMPARE(copy.Name, QStringLiteral("P"));
        QCOMPARE(copy.Nickname, QStringLiteral("P2"));
        QVERIFY(copy.DataBase && copy.DataBase != &dataBase);
        QCOMPARE(copy.DataBase->Name, QStringLiteral("Shop"));
        QCOMPARE(copy.DataBaseCollation, QStringLiteral("Cyrillic_General_CI_AS"));
        QCOMPARE(copy.Columns.Count(), 2);
        const TCustomColumn *id = copy.Columns.Items(0);
        QVERIFY(id->IsKey && id->IsUsed && !id->IsNullable);
        const TCustomColumn *name = copy.Columns.Items(1);
        QVERIFY(name->IsNullable && !name->IsKey);
        QCOMPARE(name->Collation, QStringLiteral("Latin1_General_BIN"));
        QCOMPARE(name->Length, 10);
        QVERIFY(dynamic_cast<const TStringColumn *>(name));
    }
};

QTEST_GUILESS_MAIN(TestParser)
#include "tst_parser.moc"
