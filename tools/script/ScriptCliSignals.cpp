#include "ScriptCliSignals.h"

#include <QFile>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <pthread.h>
#include <unistd.h>

namespace {

// Sent by the destructor to end the watching thread.
constexpr int quitSignal = SIGUSR2;

sigset_t watchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, quitSignal);
    return set;
}

[[noreturn]] void leave(int code)
{
    static const char text[] = "quorvane-script: interrupted, no script written\n";
    (void)!::write(STDERR_FILENO, text, sizeof text - 1);
    std::_Exit(code);
}

} // namespace

TSignalWatcher::TSignalWatcher()
{
    const sigset_t set = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_thread = std::thread([this] { Watch(); });
}

TSignalWatcher::~TSignalWatcher()
{
    Done();
    pthread_kill(m_thread.native_handle(), quitSignal);
    m_thread.join();
    if (m_canceller.joinable())
        m_canceller.join();
}

void TSignalWatcher::SetPendingFile(const QString &Path)
{
    std::lock_guard lock(m_mutex);
    m_pendingFile = Path;
}

void TSignalWatcher::SetRows(TRowSet *Rows)
{
    std::unique_lock lock(m_mutex);
    // Rows that go must not be in the middle of a cancel.
    if (!Rows && m_canceller.joinable()) {
        std::thread canceller = std::move(m_canceller);
        lock.unlock();
        canceller.join();
        lock.lock();
    }
    m_rows = Rows;
}

void TSignalWatcher::Done()
{
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_doneChanged.notify_all();
}

void TSignalWatcher::Watch()
{
    const sigset_t set = watchedSignals();
    int signal = 0;
    do {
        if (sigwait(&set, &signal) != 0)
            return;
    } while (signal != SIGINT && signal != SIGTERM && signal != quitSignal);
    if (signal == quitSignal)
        return;
    std::unique_lock lock(m_mutex);
    if (m_done)
        return;
    m_signal = signal;
    // Nothing written yet: nothing to clean up.
    if (m_pendingFile.isEmpty())
        leave(128 + signal);
    // The cancel may wait for a server that does not answer: not here, the
    // time limit below must hold.
    if (m_rows)
        m_canceller = std::thread([rows = m_rows] { rows->Cancel(); });
    if (m_doneChanged.wait_for(lock, std::chrono::seconds(2), [this] { return m_done; }))
        return;
    QFile::remove(m_pendingFile);
    leave(128 + signal);
}
