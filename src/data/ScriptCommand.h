#pragma once

// The command through which the workbench runs a script, and what a run
// brings back.
//
// The command's text is the script between "SET NOCOUNT ON" and
// "SET NOCOUNT OFF", as it has always been shown. Running it that way would
// hide every row count (the server sends none under NOCOUNT ON), so the
// script is run with counts on, and what each statement reports is added
// up. A script is cut into batches at its GO lines (ScriptBatches.h) and
// the batches run one after another on one session.

#include "ScriptBatches.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace odbc {
class Connection;
}
class TDataAccessFacade;

// A server message: PRINT text and other information, or an error.
struct TScriptMessage
{
    bool IsError = false;
    int Number = 0;         // the server's message number; 0 for the driver's own
    int Line = 0;           // line of the batch the server named; 0 when unknown
    QString SqlState;
    QString Text;
};

struct TScriptResult
{
    // The rows changed by the statements, added up; StatementCounts holds
    // each statement's count in order.
    qint64 RowsChanged = 0;
    QList<qint64> StatementCounts;
    QList<TScriptMessage> Messages;

    // The last result set: its columns, its first rows as text (a NULL is a
    // null QString) and how many rows it had in all.
    bool HasResultSet = false;
    QStringList Columns;
    QList<QStringList> Rows;
    qint64 TotalRows = 0;

    // The run was stopped (TStatementCancel) before it ended.
    bool Cancelled = false;

    [[nodiscard]] bool HasErrors() const;
    // The first error's text; empty when there was none.
    [[nodiscard]] QString FirstError() const;
};

// Stops the statement a script runs on, from another thread (the window's
// Stop command) while the worker waits for the server. Make it with
// std::make_shared.
//
// Thread rules: Cancel and Cancelled from any thread; Attach and Detach from
// the thread that runs the statement. The attention itself goes out from a
// helper thread, so the caller of Cancel never waits for the server; Detach
// waits for that helper before the statement may be freed.
class TStatementCancel : public std::enable_shared_from_this<TStatementCancel>
{
public:
    void Cancel();
    [[nodiscard]] bool Cancelled() const { return m_cancelled.load(); }

    void Attach(void *Statement);
    // Waits for an attention under way; calling it again does no harm.
    void Detach();

private:
    void SendCancel(void *Statement);

    std::mutex m_mutex;
    std::condition_variable m_sent;
    void *m_statement = nullptr;
    bool m_sending = false;
    std::atomic<bool> m_cancelled{false};
};

// Runs text as one batch on the connection and walks every result.
// Connection failures throw; the script's own errors are collected. With a
// Cancel that is (or becomes) set, the batch is broken off and the result
// says Cancelled; the connection stays usable.
[[nodiscard]] TScriptResult RunBatch(odbc::Connection &connection, const QString &text, int maxRows,
                                     TStatementCancel *cancel = nullptr);
// Turns counts on for the session (a script run before may have left
// NOCOUNT on), then RunBatch.
[[nodiscard]] TScriptResult RunScript(odbc::Connection &connection, const QString &text, int maxRows,
                                      TStatementCancel *cancel = nullptr);
// The first half of RunScript.
void TurnCountsOn(odbc::Connection &connection);

class TScriptCommand
{
public:
    static constexpr int DefaultMaxRows = 10000;

    // Text holds the script's lines, each followed by CR LF.
    TScriptCommand(TDataAccessFacade *Facade, QString Text);

    // "SET NOCOUNT ON", CR LF, the script, "SET NOCOUNT OFF".
    [[nodiscard]] QString CommandText() const;
    [[nodiscard]] const QString &ScriptText() const { return m_text; }
    [[nodiscard]] bool Prepared() const { return true; }
    // A colon in a script is never a parameter marker.
    [[nodiscard]] bool ParamCheck() const { return false; }
    // The script cut at its GO lines.
    [[nodiscard]] TScriptBatches Batches() const;

    // Runs the whole text as one batch on the facade's connection (opening
    // it when needed), on the calling thread. Throws when the connection
    // cannot be had or breaks.
    TScriptResult Execute(int MaxRows = DefaultMaxRows);

private:
    TDataAccessFacade *m_facade;
    QString m_text;
};
