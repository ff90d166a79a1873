#pragma once

// SIGINT and SIGTERM for quorvane-script: a script file is complete or
// absent, also when the run is interrupted.
//
// The watcher blocks both signals in the calling thread (and so in every
// thread made after it) and waits for them on a thread of its own. While
// nothing must be cleaned up it ends the process at once with 128 + the
// signal's number. Once a temporary file is registered it asks the run to
// stop instead (StopRequested), cancels the read the run may wait in, and
// gives the run two seconds to remove the file and return; a run stuck in a
// server that does not answer any more is not waited for: the watcher
// removes the file itself and ends the process.

#include "RowSet.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class TSignalWatcher
{
public:
    // Blocks SIGINT and SIGTERM and starts watching. Create it before any
    // other thread.
    TSignalWatcher();
    // Stops watching; a signal that came meanwhile has been handled.
    ~TSignalWatcher();
    TSignalWatcher(const TSignalWatcher &) = delete;
    TSignalWatcher &operator=(const TSignalWatcher &) = delete;

    // The file to remove should the run not get to it; empty: none.
    void SetPendingFile(const QString &Path);
    // The rows being read, to cancel on a signal; null: none (this waits
    // for a cancel under way, so that the rows may go).
    void SetRows(TRowSet *Rows);
    [[nodiscard]] bool StopRequested() const { return m_signal.load() != 0; }
    // 128 + the signal's number, once one came.
    [[nodiscard]] int ExitCode() const { return 128 + m_signal.load(); }
    // The run has cleaned up and is leaving: the watcher need not.
    void Done();

private:
    void Watch();

    std::atomic<int> m_signal{0};
    std::mutex m_mutex;
    std::condition_variable m_doneChanged;
    QString m_pendingFile;
    TRowSet *m_rows = nullptr;
    bool m_done = false;
    std::thread m_canceller;
    std::thread m_thread;
};
