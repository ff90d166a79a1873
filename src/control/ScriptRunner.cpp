#include "ScriptRunner.h"

#include "ErrorText.h"
#include "OdbcCore.h"

#include <QEventLoop>
#include <QTimer>

#include <mutex>
#include <thread>

// The worker's way to the GUI thread. The receiver is cleared under the
// lock when the runner goes, so a worker that outlives it posts nothing.
struct TScriptRunner::TMailbox
{
    std::mutex Mutex;
    QObject *Receiver = nullptr;

    template <typename F>
    void Post(F &&Call)
    {
        std::lock_guard lock(Mutex);
        if (Receiver)
            QMetaObject::invokeMethod(Receiver, std::forward<F>(Call), Qt::QueuedConnection);
    }
    void Close()
    {
        std::lock_guard lock(Mutex);
        Receiver = nullptr;
    }
};

namespace {

// Adds one run of a batch to its report.
void AddRun(TBatchReport &Report, TScriptResult Run, const QString &Text)
{
    const TChangedRowsSplit split = SplitChangedRows(Text, Run.StatementCounts, !Run.HasErrors() && !Run.Cancelled);
    if (Report.Runs == 0)
        Report.Split = split;
    else {
        Report.Split.Known = Report.Split.Known && split.Known;
        Report.Split.Tables += split.Tables;
        Report.Split.Temporary += split.Temporary;
    }
    ++Report.Runs;
    TScriptResult &total = Report.Result;
    total.RowsChanged += Run.RowsChanged;
    total.StatementCounts += Run.StatementCounts;
    total.Messages += Run.Messages;
    if (Run.HasResultSet) {
        total.HasResultSet = true;
        total.Columns = std::move(Run.Columns);
        total.Rows = std::move(Run.Rows);
        total.TotalRows = Run.TotalRows;
    }
    if (Run.Cancelled) {
        total.Cancelled = true;
        Report.Stopped = true;
    }
}

// The worker's whole run; the returned summary goes to the GUI thread.
template <typename PostStart, typename PostReport>
TRunSummary RunBatches(const TScriptBatches &Batches, TLentConnection &Lent, int MaxRows, TStatementCancel &Cancel,
                       PostStart &&Started, PostReport &&Post)
{
    TRunSummary summary;
    summary.Batches = int(Batches.Batches.size());
    try {
        if (!Lent.Connection || !Lent.Connection->isOpen()) {
            auto connection = std::make_shared<odbc::Connection>();
            connection->open(Lent.ConnectionText, Lent.LoginTimeout);
            Lent.Connection = std::move(connection);
        }
        TurnCountsOn(*Lent.Connection);
        for (int i = 0; i < Batches.Batches.size(); ++i) {
            if (Cancel.Cancelled()) {
                summary.Stopped = true;
                break;
            }
            TBatchReport report;
            report.Number = i + 1;
            report.Batch = Batches.Batches.at(i);
            report.Batch.Text.clear();
            ++summary.BatchesRun;
            // From here a stop request ends this batch (RunBatch looks first).
            Started(report.Number, report.Batch);
            const QString &text = Batches.Batches.at(i).Text;
            if (report.Batch.Error.isEmpty())
                for (qint64 run = 0; run < report.Batch.Count && !report.Stopped; ++run)
                    AddRun(report, RunBatch(*Lent.Connection, text, MaxRows, &Cancel), text);
            if (report.Failed())
                ++summary.BatchesFailed;
            summary.RowsChanged += report.Result.RowsChanged;
            summary.Split.Known = summary.Split.Known && report.Split.Known;
            summary.Split.Tables += report.Split.Tables;
            summary.Split.Temporary += report.Split.Temporary;
            if (report.Stopped) {
                summary.Stopped = true;
                summary.StoppedBatch = report.Number;
            }
            Post(std::move(report));
            if (summary.Stopped)
                break;
        }
    } catch (const std::exception &error) {
        summary.ConnectionError = ErrorText(error);
        summary.ConnectionErrorClass = ErrorClassName(error);
        // Opened but broken: drop it, so the next run opens a fresh one
        // instead of failing the same way for ever.
        if (Lent.Connection) {
            summary.ConnectionLost = true;
            Lent.Connection.reset();
        }
    }
    if (Lent.Connection) {
        try {
            const QString current = Lent.Connection->currentCatalog();
            if (!current.isEmpty())
                Lent.Catalog = current;
        } catch (const std::exception &) {
        }
    }
    return summary;
}

} // namespace

TScriptRunner::TScriptRunner()
    : m_mailbox(std::make_shared<TMailbox>())
    , m_receiver(std::make_unique<QObject>())
{
    m_mailbox->Receiver = m_receiver.get();
}

TScriptRunner::~TScriptRunner()
{
    m_mailbox->Close();
    if (m_running && m_cancel)
        m_cancel->Cancel();
}

bool TScriptRunner::Start(TScriptBatches Batches, TLentConnection Lent, int MaxRows)
{
    if (m_running)
        return false;
    m_running = true;
    m_cancel = std::make_shared<TStatementCancel>();
    // The worker keeps what it needs alive by itself; `this` is used only
    // inside calls the mailbox delivers, which die with the receiver.
    std::thread([mailbox = m_mailbox, cancel = m_cancel, batches = std::move(Batches), lent = std::move(Lent),
                 MaxRows, this]() mutable {
        TRunSummary summary = RunBatches(
            batches, lent, MaxRows, *cancel,
            [&](int Number, TScriptBatch Batch) {
                mailbox->Post([this, Number, batch = std::move(Batch)] {
                    if (OnBatchStarted)
                        OnBatchStarted(Number, batch);
                });
            },
            [&](TBatchReport Report) {
                mailbox->Post([this, report = std::move(Report)] {
                    if (OnBatchDone)
                        OnBatchDone(report);
                });
            });
        mailbox->Post([this, summary = std::move(summary), lent = std::move(lent)]() mutable {
            m_running = false;
            m_cancel.reset();
            if (OnFinished)
                OnFinished(summary, std::move(lent));
        });
    }).detach();
    return true;
}

void TScriptRunner::Stop()
{
    if (!m_running || !m_cancel)
        return;
    m_cancel->Cancel();
    // Again every so often until the run ends (see the header).
    auto *timer = new QTimer(m_receiver.get());
    timer->setInterval(200);
    QObject::connect(timer, &QTimer::timeout, timer, [this, timer] {
        if (!m_running || !m_cancel) {
            timer->deleteLater();
            return;
        }
        m_cancel->Cancel();
    });
    timer->start();
}

bool TScriptRunner::StopRequested() const
{
    return m_running && m_cancel && m_cancel->Cancelled();
}

bool TScriptRunner::WaitForEnd(int TimeoutMs)
{
    if (!m_running)
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (!m_running)
            loop.quit();
    });
    deadline.start(TimeoutMs);
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return !m_running;
}
