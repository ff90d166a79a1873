#include "ScriptCommand.h"

#include "DataFacade.h"
#include "OdbcCursor.h"

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

void readResultSet(TScriptResult &result, odbc::Statement &statement, int maxRows)
{
    odbc::Cursor cursor(statement);
    result.HasResultSet = true;
    result.Columns.clear();
    result.Rows.clear();
    result.TotalRows = 0;
    for (int i = 0; i < cursor.fieldCount(); ++i)
        result.Columns << cursor.fieldName(i);
    try {
        while (result.TotalRows < maxRows && cursor.fetch()) {
            QStringList row;
            row.reserve(cursor.fieldCount());
            for (int i = 0; i < cursor.fieldCount(); ++i)
                row << (cursor.isNull(i) ? QString() : cursor.asString(i));
            result.Rows << row;
            ++result.TotalRows;
        }
        // Beyond the limit the rows are only counted.
        if (result.TotalRows >= maxRows)
            while (statement.fetch())
                ++result.TotalRows;
    } catch (const EOdbcError &error) {
        // An error in the middle of a result set (a failed conversion, a
        // division by zero) ends that result; the batch goes on.
        addMessages(result, error.Diagnostics());
        if (connectionLost(error.Diagnostics()))
            throw;
    }
}

} // namespace

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

TScriptResult RunScript(odbc::Connection &connection, const QString &text, int maxRows)
{
    TScriptResult result;
    odbc::Statement statement(connection);
    // A script run before may have left NOCOUNT on for this session.
    statement.execDirect(QStringLiteral("SET NOCOUNT OFF"));
    statement.closeCursor();

    SQLRETURN rc = statement.execDirect(text, false);
    while (rc != SQL_NO_DATA) {
        if (rc == SQL_INVALID_HANDLE)
            statement.check(rc, "SQLExecDirect");
        if (rc == SQL_SUCCESS_WITH_INFO || rc == SQL_ERROR) {
            const QList<TOdbcDiagnostic> records = odbc::readDiagnostics(SQL_HANDLE_STMT, statement.get());
            addMessages(result, records);
            if (rc == SQL_ERROR && (records.isEmpty() || connectionLost(records)))
                throw EOdbcError(QStringLiteral("SQLExecDirect"), records);
        }
        if (rc != SQL_ERROR) {
            if (statement.columnCount() > 0) {
                readResultSet(result, statement, maxRows);
            } else {
                const SQLLEN count = statement.rowCount();
                if (count >= 0) {
                    result.StatementCounts << qint64(count);
                    result.RowsChanged += count;
                }
            }
        }
        rc = statement.moreResults(false);
    }
    statement.closeCursor();
    return result;
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

TScriptResult TScriptCommand::Execute(int MaxRows)
{
    return m_facade->ExecuteScriptText(m_text, MaxRows);
}
