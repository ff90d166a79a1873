#pragma once

// Runs a script's batches on a worker thread, so the window stays live
// while the server works, and stops them on request.
//
// Thread rules: the runner object lives on the GUI thread and is used only
// there. The worker owns a copy of the batches and the connection the
// facade lent it; it touches no widget and no singleton. Its reports reach
// the GUI thread as queued calls, and OnBatchDone / OnFinished run there.
// A runner destroyed while its worker still waits on a stalled server
// leaves the worker to finish on its own; its reports are then dropped.

#include "ChangedRowsSplit.h"
#include "DataFacade.h"
#include "ScriptBatches.h"
#include "ScriptCommand.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// One batch as it ran: its runs' messages and rows added up, the last
// result set it gave.
struct TBatchReport
{
    int Number = 0;        // 1-based among the script's batches
    TScriptBatch Batch;    // where it stands in the script (its text dropped)
    qint64 Runs = 0;       // how many of Batch.Count runs were made
    TScriptResult Result;
    // Result's rows changed split between tables and temporary tables or
    // table variables, where the batch's text allows it (ChangedRowsSplit.h).
    TChangedRowsSplit Split;
    bool Stopped = false;  // broken off by Stop
    [[nodiscard]] bool Failed() const { return !Batch.Error.isEmpty() || Result.HasErrors(); }
};

struct TRunSummary
{
    int Batches = 0;        // in the script
    int BatchesRun = 0;     // started (a stopped one counts)
    int BatchesFailed = 0;
    qint64 RowsChanged = 0;
    // RowsChanged split, known when it is known for every batch run.
    TChangedRowsSplit Split{true, 0, 0};
    bool Stopped = false;
    int StoppedBatch = 0;   // the batch running when the stop came; 0 when between batches
    // A failure below the script's own errors (no connection, a broken
    // one): its message and exception class. The connection is dropped.
    QString ConnectionError;
    QString ConnectionErrorClass;
    bool ConnectionLost = false;
};

class TScriptRunner
{
public:
    TScriptRunner();
    ~TScriptRunner();
    TScriptRunner(const TScriptRunner &) = delete;
    TScriptRunner &operator=(const TScriptRunner &) = delete;

    // A batch (Number counts from 1) is going to the server; a stop
    // requested from now on ends it.
    std::function<void(int Number, const TScriptBatch &Batch)> OnBatchStarted;
    std::function<void(const TBatchReport &Report)> OnBatchDone;
    // The last report; Lent is what the facade takes back.
    std::function<void(const TRunSummary &Summary, TLentConnection Lent)> OnFinished;

    // Starts the worker; false when one still runs.
    bool Start(TScriptBatches Batches, TLentConnection Lent, int MaxRows = TScriptCommand::DefaultMaxRows);
    [[nodiscard]] bool Running() const { return m_running; }
    // Asks the worker to stop the batch under way and run no more. Repeats
    // the request until the run ends: a request that meets the statement
    // just between two calls is not lost.
    void Stop();
    [[nodiscard]] bool StopRequested() const;
    // Turns the event loop (without user input) until the run has ended or
    // TimeoutMs passed; true when it ended.
    bool WaitForEnd(int TimeoutMs);

private:
    struct TMailbox;

    std::shared_ptr<TMailbox> m_mailbox;
    std::shared_ptr<TStatementCancel> m_cancel;
    std::unique_ptr<QObject> m_receiver;
    bool m_running = false;
};
