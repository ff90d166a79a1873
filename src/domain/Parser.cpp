#include "Parser.h"

#include "RowSet.h"
#include "ScriptBuilder.h"
#include "ScriptSpool.h"

#include <QCoreApplication>
#include <QEvent>

#include <chrono>

std::atomic<int> TScriptCreatorParser::s_running{0};
std::atomic<qint64> TScriptCreatorParser::s_spoolChars{TScriptSpoolSink::DefaultMemoryChars};

TScriptCreatorParser::TScriptCreatorParser() = default;

TScriptCreatorParser::~TScriptCreatorParser()
{
    if (!m_thread.joinable())
        return;
    // Freed while the worker may still run (or is just leaving): drop the
    // generation and let the worker end before the members go.
    m_abandoned = true;
    m_terminated = true;
    std::unique_lock lock(m_mutex);
    while (!m_finished) {
        lock.unlock();
        // A report may be posted already: run it (it sees the break-off
        // and does nothing) so that the worker stops waiting for it.
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        lock.lock();
        m_ended.wait_for(lock, std::chrono::milliseconds(2), [this] { return m_finished.load(); });
    }
    lock.unlock();
    m_thread.join();
}

void TScriptCreatorParser::Start(TTable *Table, TRowSet *RowSet, std::shared_ptr<IParseSettings> Settings)
{
    if (m_started)
        throw EQuorvaneException(QStringLiteral("The script generator has been started already."));
    m_started = true;
    this->Table = Table;
    this->RowSet = RowSet;
    this->Settings = std::move(Settings);
    ++s_running;
    m_thread = std::thread([this] { Execute(); });
}

void TScriptCreatorParser::Start(std::unique_ptr<TTableSnapshot> Table, std::unique_ptr<TRowSet> RowSet,
                                 std::shared_ptr<IParseSettings> Settings)
{
    if (m_started)
        throw EQuorvaneException(QStringLiteral("The script generator has been started already."));
    m_ownedTable = std::move(Table);
    m_ownedRows = std::move(RowSet);
    Start(m_ownedTable ? &m_ownedTable->Table() : nullptr, m_ownedRows.get(), std::move(Settings));
}

void TScriptCreatorParser::Start(TBuild Build)
{
    if (m_started)
        throw EQuorvaneException(QStringLiteral("The script generator has been started already."));
    m_build = std::move(Build);
    m_started = true;
    ++s_running;
    m_thread = std::thread([this] { Execute(); });
}

void TScriptCreatorParser::Terminate()
{
    m_terminated = true;
    CancelRead();
}

void TScriptCreatorParser::CancelRead()
{
    // On a thread of its own: a driver may wait for the server to confirm
    // a cancel, and a server that does not answer must not hold the GUI.
    // The worker waits for it before the rows go.
    std::lock_guard lock(m_mutex);
    if (m_inputsGone || !RowSet || m_canceller.joinable())
        return;
    m_canceller = std::thread([rows = RowSet] { rows->Cancel(); });
}

void TScriptCreatorParser::Abandon()
{
    BreakOff();
    if (!m_started) {
        delete this;
        return;
    }
    CancelRead();
}

void TScriptCreatorParser::BreakOff()
{
    m_abandoned = true;
    m_terminated = true;
}

void TScriptCreatorParser::BreakOffAndFree()
{
    BreakOff();
    if (m_delivering > 0)
        return; // the worker waits in our report; it frees the object when it has left
    delete this; // the destructor waits for the worker
}

void TScriptCreatorParser::ThrowIfAbandoned() const
{
    if (m_abandoned)
        throw Abandoned{};
}

void TScriptCreatorParser::Synchronize(const std::function<void()> &Call)
{
    ThrowIfAbandoned();
    QMetaObject::invokeMethod(
        this,
        [this, &Call] {
            if (m_abandoned)
                return;
            ++m_delivering;
            struct Leave
            {
                int &depth;
                ~Leave() { --depth; }
            } leave{m_delivering};
            Call();
        },
        Qt::BlockingQueuedConnection);
    ThrowIfAbandoned();
}

void TScriptCreatorParser::ReportProgress(int Percent, const QString &Text)
{
    this->Percent = Percent;
    ProgressText = Text;
    Synchronize([this] {
        if (OnProgress)
            OnProgress(this, this->Percent, ProgressText);
    });
}

void TScriptCreatorParser::Deliver(std::unique_ptr<TScript> Script, const TGenerationResult &Result)
{
    Synchronize([this, &Script, &Result] {
        if (OnScriptCreated)
            OnScriptCreated(this, std::move(Script), Result);
    });
}

void TScriptCreatorParser::Execute()
{
    try {
        std::unique_ptr<TScript> script;
        TGenerationResult result = TGenerationResult::Failed(QStringLiteral("No table or no rows to read."));
        if (m_build || (Table && RowSet)) {
            script = std::make_unique<TScript>();
            TScriptSpoolSink sink(SpoolChars());
            TScriptBuildControl control;
            control.Now = Clock ? Clock() : QDateTime::currentDateTime();
            control.Progress = [this](int percent, const QString &text) { ReportProgress(percent, text); };
            control.StopRequested = [this] {
                ThrowIfAbandoned();
                return Terminated();
            };
            if (m_build) {
                result = m_build(sink, control);
                ThrowIfAbandoned();
                // A build stopped while it opened a table's rows may say it failed.
                if (!result.Complete() && Terminated())
                    result = TGenerationResult::BrokenOff();
            } else {
                result = BuildScript(*Table, *RowSet, Settings.get(), sink, control);
            }
            // Only a whole script leaves the worker.
            if (result.Complete()) {
                try {
                    sink.Finish(*script);
                } catch (const EQuorvaneException &error) {
                    result = TGenerationResult::Failed(error.Message());
                }
            }
            if (!result.Complete())
                script.reset();
        }
        Deliver(std::move(script), result);
    } catch (...) {
        // Broken off by the receiver (or no memory left): nobody listens.
    }
    // The inputs go here, on the worker, and outside the lock: a row set
    // that must still say goodbye to a server holds up neither the GUI nor
    // a cancel that comes meanwhile.
    std::unique_ptr<TRowSet> rows;
    std::unique_ptr<TTableSnapshot> table;
    {
        std::lock_guard lock(m_mutex);
        m_inputsGone = true;
        rows = std::move(m_ownedRows);
        table = std::move(m_ownedTable);
    }
    if (m_canceller.joinable())
        m_canceller.join();
    rows.reset();
    table.reset();
    Settings.reset();
    m_build = nullptr;
    --s_running;
    deleteLater();
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_ended.notify_all();
}
