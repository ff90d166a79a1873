#pragma once

#include "Domain.h"
#include "GenerationResult.h"

#include <QDateTime>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TRowSet;
class TScriptLineSink;
struct TScriptBuildControl;

// Runs BuildScript (ScriptBuilder.h) on its own worker thread for the
// table wizard and hands the outcome over on the GUI thread: the finished
// TScript, or none with the reason a generation broke off or failed.
//
// Thread rules:
// - Create it on the GUI thread, which must run an event loop. Every
//   report (OnProgress, OnScriptCreated) runs there while the worker waits
//   for the handler to return (a blocking queued call).
// - The inputs are either handed over (the owning Start: the worker frees
//   them when it ends) or lent (the other Start: the caller neither changes
//   nor frees them until the worker has ended).
// - After Start the object frees itself (deleteLater) once the worker has
//   ended. Keep it in a QPointer, which is cleared then.
// - A receiver that goes away before the end (a wizard closed during the
//   generation) calls Abandon, BreakOff or BreakOffAndFree first: no report
//   reaches anybody after any of them returns. Abandon never waits: the read
//   the worker may be waiting in is cancelled, and the worker ends and frees
//   itself and its inputs when it can.
class TScriptCreatorParser : public QObject
{
    Q_OBJECT

public:
    using TScriptCreatedHandler = std::function<void(TScriptCreatorParser *Sender, std::unique_ptr<TScript> Script,
                                                     const TGenerationResult &Result)>;
    using TProgressHandler = std::function<void(TScriptCreatorParser *Sender, int Percent, const QString &Text)>;

    // Created "suspended": nothing runs before Start.
    TScriptCreatorParser();
    ~TScriptCreatorParser() override;

    // Called once when the generation has ended, also after Terminate: with
    // the script when it is complete, else with none and the result saying
    // whether it was broken off or failed (and why). The handler owns the
    // script.
    TScriptCreatedHandler OnScriptCreated;
    TProgressHandler OnProgress;
    // The creation time written into the header; the local time by default.
    std::function<QDateTime()> Clock;

    // Lent inputs; starts the worker. Start once, with either form.
    void Start(TTable *Table, TRowSet *RowSet, std::shared_ptr<IParseSettings> Settings);
    // Inputs handed over: the worker frees them at its end.
    void Start(std::unique_ptr<TTableSnapshot> Table, std::unique_ptr<TRowSet> RowSet,
               std::shared_ptr<IParseSettings> Settings);
    // A build of its own (a script over several tables): the worker calls
    // Build with the sink and the control (progress, stop requests) and
    // delivers what it wrote like a table's script; a build that ends other
    // than complete after Terminate counts as broken off. Whatever Build
    // captured goes with it on the worker. No read is cancelled: the stop
    // is seen at the next row.
    using TBuild = std::function<TGenerationResult(TScriptLineSink &Sink, const TScriptBuildControl &Control)>;
    void Start(TBuild Build);
    // Asks the worker to stop after the current row, cancelling a read it
    // waits in; it then reports the generation as broken off.
    void Terminate();
    [[nodiscard]] bool Terminated() const { return m_terminated.load(std::memory_order_relaxed); }

    // Drops the generation: nothing more is delivered and the worker leaves
    // the inputs alone after its current step. Returns at once; also allowed
    // inside a handler of this object.
    void BreakOff();
    // BreakOff, then, outside a handler, waits for the worker to end and
    // frees this object; afterwards lent inputs may be freed. Inside a
    // handler it only breaks off (the worker is held in that very report
    // and will not touch the inputs again) and the object frees itself later.
    void BreakOffAndFree();
    // BreakOff and cancel the read the worker may be waiting in, without
    // waiting for anything: for handed-over inputs, which the worker frees
    // with itself when it ends. Before Start it frees the object at once.
    void Abandon();

    // Workers started and not yet ended, abandoned ones included.
    [[nodiscard]] static int Running() { return s_running.load(); }

    // A script past this many characters goes to a temporary file (the
    // TScript's Spool) rather than into Lines; for every generator started
    // afterwards.
    [[nodiscard]] static qint64 SpoolChars() { return s_spoolChars.load(); }
    static void SetSpoolChars(qint64 Value) { s_spoolChars = Value; }

private:
    struct Abandoned
    {
    };

    void Execute();
    void ReportProgress(int Percent, const QString &Text);
    void Deliver(std::unique_ptr<TScript> Script, const TGenerationResult &Result);
    // Runs Call on the GUI thread and waits for it.
    void Synchronize(const std::function<void()> &Call);
    void ThrowIfAbandoned() const;
    void CancelRead();

    TTable *Table = nullptr;
    TRowSet *RowSet = nullptr;
    std::shared_ptr<IParseSettings> Settings;
    std::unique_ptr<TTableSnapshot> m_ownedTable;
    std::unique_ptr<TRowSet> m_ownedRows;
    TBuild m_build;
    // The pending report; written by the worker, read by the GUI thread
    // while the worker waits.
    int Percent = 0;
    QString ProgressText;

    std::thread m_thread;
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_abandoned{false};
    std::atomic<bool> m_finished{false};
    bool m_started = false;
    int m_delivering = 0; // GUI thread only: inside a handler of ours
    // Guards the inputs' end against a cancel from the GUI thread.
    std::mutex m_mutex;
    bool m_inputsGone = false;
    // Cancels the read (once); joined by the worker before the rows go.
    std::thread m_canceller;
    std::condition_variable m_ended;
    static std::atomic<int> s_running;
    static std::atomic<qint64> s_spoolChars;
};
