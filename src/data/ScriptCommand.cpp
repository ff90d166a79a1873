#include "ScriptCommand.h"

#include "DataFacade.h"
#include "OdbcCursor.h"

#include <thread>

namespace {

void addMessages(TScriptResult &result, const QList<TOdbcDiagnostic> &records)
{
    for (const TOdbcDiagnostic &record : records) {
        TScriptMessage message;
        // Class 0-10 messages come as SQLSTATE 01xxx, errors as anything else.
        message.IsError = !record.SqlState.startsWith(QLatin1String("01"));
        message.Number = record.NativeError;
        message.Line = record.Line;
        message.SqlState = record.SqlState;
        message.Text = record.Text;
        result.Messages << message;
    }
}

bool connectionLost(const QList<TOdbcDiagnostic> &records)
{
    for (const TOdbcDiagnostic &record : records)
        if (record.SqlState.startsWith(QLatin1String("08")) || record.SqlState == QLatin1String("HY010"))
            return true;
    return false;
}

// The driver's "Operation canceled"; after a stop request any failure is
// the stop's doing (the statement may answer "function sequence" too).
bool wasCancelled(const QList<TOdbcDiagnostic> &records, const TStatementCancel *cancel)
{
    if (cancel && cancel->Cancelled())
        return true;
    for (const TOdbcDiagnostic &record : records)
        if (record.SqlState == QLatin1String("HY008"))
            return true;
    return false;
}

// While the worker uses a statement, a stop request may reach it.
class TCancelScope
{
public:
    TCancelScope(TStatementCancel *Cancel, void *Statement) : m_cancel(Cancel)
    {
        if (m_cancel)
            m_cancel->Attach(Statement);
    }
    ~TCancelScope()
    {
        if (m_cancel)
            m_cancel->Detach();
    }
    TCancelScope(const TCancelScope &) = delete;
    TCancelScope &operator=(const TCancelScope &) = delete;

private:
    TStatementCancel *m_cancel;
};

void readResultSet(TScriptResult &result, odbc::Statement &statement, int maxRows, const TStatementCancel *cancel)
{
    odbc::Cursor cursor(statement);
    result.HasResultSet = true;
    result.Columns.clear();
    result.Rows.clear();
    result.TotalRows = 0;
    for (int i = 0; i < cursor.fieldCount(); ++i)
        result.Columns << cursor.fieldName(i);
    auto stopped = [&] {
        if (cancel && cancel->Cancelled())
            result.Cancelled = true;
        return result.Cancelled;
    };
    try {
        while (result.TotalRows < maxRows && !stopped() && cursor.fetch()) {
            QStringList row;
            row.reserve(cursor.fieldCount());
            for (int i = 0; i < cursor.fieldCount(); ++i)
                row << (cursor.isNull(i) ? QString() : cursor.asString(i));
            result.Rows << row;
            ++result.TotalRows;
        }
        // Beyond the limit the rows are only counted.
        if (result.TotalRows >= maxRows)
            while (!stopped() && statement.fetch())
                ++result.TotalRows;
    } catch (const EOdbcError &error) {
        if (wasCancelled(error.Diagnostics(), cancel)) {
            result.Cancelled = true;
            return;
        }
        // An error in the middle of a result set (a failed conversion, a
        // division by zero) ends that result; the batch goes on.
        addMessages(result, error.Diagnostics());
        if (connectionLost(error.Diagnostics()))
            throw;
    }
}

} // namespace

void TStatementCancel::Cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_statement && !m_sending) {
        m_sending = true;
        void *statement = m_statement;
        std::thread([self = shared_from_this(), statement] { self->SendCancel(statement); }).detach();
    }
}

void TStatementCancel::SendCancel(void *Statement)
{
    SQLCancel(static_cast<SQLHSTMT>(Statement));
    std::lock_guard lock(m_mutex);
    m_sending = false;
    m_sent.notify_all();
}

void TStatementCancel::Attach(void *Statement)
{
    std::lock_guard lock(m_mutex);
    m_statement = Statement;
}

void TStatementCancel::Detach()
{
    std::unique_lock lock(m_mutex);
    m_sent.wait(lock, [this] { return !m_sending; });
    m_statement = nullptr;
}

bool TScriptResult::HasErrors() const
{
    for (const TScriptMessage &message : Messages)
        if (message.IsError)
            return true;
    return false;
}

QString TScriptResult::FirstError() const
{
    for (const TScriptMessage &message : Messages)
        if (message.IsError)
            return message.Text;
    return {};
}

void TurnCountsOn(odbc::Connection &connection)
{
    odbc::Statement statement(connection);
    statement.execDirect(QStringLiteral("SET NOCOUNT OFF"));
    statement.closeCursor();
}

TScriptResult RunBatch(odbc::Connection &connection, const QString &text, int maxRows, TStatementCancel *cancel)
{
    TScriptResult result;
    odbc::Statement statement(connection);
    const TCancelScope scope(cancel, statement.get());
    if (cancel && cancel->Cancelled()) {
        result.Cancelled = true;
        return result;
    }
    SQLRETURN rc = statement.execDirect(text, false);
    while (rc != SQL_NO_DATA && !result.Cancelled) {
        if (rc == SQL_INVALID_HANDLE)
            statement.check(rc, "SQLExecDirect");
        if (rc == SQL_SUCCESS_WITH_INFO || rc == SQL_ERROR) {
            const QList<TOdbcDiagnostic> records = odbc::readDiagnostics(SQL_HANDLE_STMT, statement.get());
            if (rc == SQL_ERROR && wasCancelled(records, cancel)) {
                result.Cancelled = true;
                break;
            }
            addMessages(result, records);
            if (rc == SQL_ERROR && (records.isEmpty() || connectionLost(records)))
                throw EOdbcError(QStringLiteral("SQLExecDirect"), records);
        }
        if (rc != SQL_ERROR) {
            if (statement.columnCount() > 0) {
                readResultSet(result, statement, maxRows, cancel);
            } else {
                const SQLLEN count = statement.rowCount();
                if (count >= 0) {
                    result.StatementCounts << qint64(count);
                    result.RowsChanged += count;
                }
            }
        }
        if (cancel && cancel->Cancelled())
            result.Cancelled = true;
        if (!result.Cancelled)
            rc = statement.moreResults(false);
    }
    // No stop request may reach the statement from now on; then whatever a
    // stop left unread is dropped, so the session is free again.
    if (cancel)
        cancel->Detach();
    statement.closeCursor();
    return result;
}

TScriptResult RunScript(odbc::Connection &connection, const QString &text, int maxRows, TStatementCancel *cancel)
{
    TurnCountsOn(connection);
    return RunBatch(connection, text, maxRows, cancel);
}

TScriptCommand::TScriptCommand(TDataAccessFacade *Facade, QString Text)
    : m_facade(Facade)
    , m_text(std::move(Text))
{
}

QString TScriptCommand::CommandText() const
{
    return QStringLiteral("SET NOCOUNT ON\r\n") + m_text + QStringLiteral("SET NOCOUNT OFF");
}

TScriptBatches TScriptCommand::Batches() const
{
    return SplitScriptText(m_text);
}

TScriptResult TScriptCommand::Execute(int MaxRows)
{
    return m_facade->ExecuteScriptText(m_text, MaxRows);
}
