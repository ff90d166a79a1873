#pragma once

// The command through which the workbench runs a script, and what a run
// brings back.
//
// The command's text is the script between "SET NOCOUNT ON" and
// "SET NOCOUNT OFF", as it has always been shown. Running it that way would
// hide every row count (the server sends none under NOCOUNT ON), so Execute
// runs the script itself, with counts on, and adds up what each statement
// reports; line numbers in error messages then match the script's own lines.

#include <QList>
#include <QString>
#include <QStringList>

namespace odbc {
class Connection;
}
class TDataAccessFacade;

// A server message: PRINT text and other information, or an error.
struct TScriptMessage
{
    bool IsError = false;
    int Number = 0;         // the server's message number; 0 for the driver's own
    int Line = 0;           // line of the script; 0 when unknown
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

    [[nodiscard]] bool HasErrors() const;
    // The first error's text; empty when there was none.
    [[nodiscard]] QString FirstError() const;
};

// Runs text as one batch on the connection and walks every result.
// Connection failures throw; the script's own errors are collected.
[[nodiscard]] TScriptResult RunScript(odbc::Connection &connection, const QString &text, int maxRows);

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

    // Runs the script on the facade's connection (opening it when needed).
    // Throws when the connection cannot be had or breaks.
    TScriptResult Execute(int MaxRows = DefaultMaxRows);

private:
    TDataAccessFacade *m_facade;
    QString m_text;
};
