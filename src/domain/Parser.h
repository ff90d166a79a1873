#pragma once

#include "Domain.h"

#include <QDateTime>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TRowSet;

// Runs BuildScript (ScriptBuilder.h) on its own worker thread for the
// table wizard and hands the finished TScript over on the GUI thread.
//
// Thread rules:
// - Create it on the GUI thread, which must run an event loop. Every
//   report (OnProgress, OnScriptCreated) runs there while the worker waits
//   for the handler to return (a blocking queued call).
// - Between Start and the end of the worker, the table, the row set and
//   the settings belong to the worker: the caller neither changes nor frees
//   them (BreakOffAndFree ends that period early).
// - After Start the object frees itself (deleteLater) once the worker has
//   ended: after OnScriptCreated returns, or silently after a read error.
//   Keep it in a QPointer, which is cleared then.
// - A receiver that goes away before the end (a wizard closed during the
//   generation) calls BreakOff or BreakOffAndFree first: no report reaches
//   anybody after either returns, and the worker touches the table, the
//   row set and the settings no more once its current step is done.
class TScriptCreatorParser : public QObject
{
    Q_OBJECT

public:
    using TScriptCreatedHandler = std::function<void(TScriptCreatorParser *Sender, std::unique_ptr<TScript> Script)>;
    using TProgressHandler = std::function<void(TScriptCreatorParser *Sender, int Percent, const QString &Text)>;

    // Created "suspended": nothing runs before Start.
    TScriptCreatorParser();
    ~TScriptCreatorParser() override;

    // Called once when the script is complete (also after Terminate), with
    // the script, or with none when the table or the row set is missing.
    // The handler owns the script.
    TScriptCreatedHandler OnScriptCreated;
    TProgressHandler OnProgress;
    // The creation time written into the header; the local time by default.
    std::function<QDateTime()> Clock;

    // Takes the inputs and starts the worker; called once.
    void Start(TTable *Table, TRowSet *RowSet, std::shared_ptr<IParseSettings> Settings);
    // Asks the worker to stop after the current row; it still closes the
    // script and delivers it.
    void Terminate();
    [[nodiscard]] bool Terminated() const { return m_terminated.load(std::memory_order_relaxed); }

    // Drops the generation: nothing more is delivered (the script is
    // discarded) and the worker leaves the inputs alone after its current
    // step. Returns at once; also allowed inside a handler of this object.
    void BreakOff();
    // BreakOff, then, outside a handler, waits for the worker to end and
    // frees this object; afterwards the inputs may be freed. Inside a
    // handler it only breaks off (the worker is held in that very report
    // and will not touch the inputs again) and the object frees itself later.
    void BreakOffAndFree();

private:
    struct Abandoned
    {
    };

    void Execute();
    void ReportProgress(int Percent, const QString &Text);
    void DeliverScript(std::unique_ptr<TScript> Script);
    // Runs Call on the GUI thread and waits for it.
    void Synchronize(const std::function<void()> &Call);
    void ThrowIfAbandoned() const;

    TTable *Table = nullptr;
    TRowSet *RowSet = nullptr;
    std::shared_ptr<IParseSettings> Settings;
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
    std::mutex m_mutex;
    std::condition_variable m_ended;
};
