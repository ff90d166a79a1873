#pragma once

// The command line of quorvane-script. The password is never an argument:
// it comes from QUORVANE_PASSWORD or is asked for on the terminal.

#include "ConnectionString.h"

#include <QString>
#include <QStringList>

#include <optional>

// Exit status of quorvane-script.
enum TScriptExitCode : int {
    secSuccess = 0,
    secFailure = 1,
    secBadArguments = 2,
    secConnectionFailed = 3,
    secNoSuchObject = 4,
};

struct TScriptCliOptions
{
    QString Server;
    QString Login;
    // Empty: QUORVANE_ODBC_DRIVER, else FreeTDS.
    QString Driver;
    TConnectionSecurity Security;
    QString DataBase;
    // The tables named with --table, in the order given (at least one
    // unless AllTables).
    QStringList Tables;
    // --all-tables: every user table of the database.
    bool AllTables = false;
    // --allow-fk-cycle: tables that reference each other in a ring have
    // their constraints switched off while the script changes them.
    bool AllowFkCycle = false;
    // Empty: every column of the table.
    QStringList Columns;
    // Empty: the table's primary key.
    QStringList Keys;
    QString Nickname;
    bool DeleteTable = false;
    // The user's condition on the rows (--where); empty for every row.
    QString RowFilter;
    // --only-changed: the UPDATE skips rows that already hold the values.
    bool OnlyChanged = false;
    // Rows per batch: 0 one batch, N batches of N rows through a temporary
    // table, -1 (not given) batched only when one batch would be too long.
    qint64 BatchRows = -1;
    // Empty: standard output.
    QString Output;
    bool Verbose = false;
    bool Help = false;
    bool Version = false;

    // More than one table, or --all-tables: one script of several tables.
    [[nodiscard]] bool SeveralTables() const { return AllTables || Tables.size() > 1; }
};

extern const char *const ScriptCliUsage;

// "[Order Details]" names the table Order Details.
[[nodiscard]] QString UnbracketName(const QString &Name);

// Parses the arguments after the program name. On a mistake returns nothing
// and sets Error to a one-line message.
[[nodiscard]] std::optional<TScriptCliOptions> ParseScriptCliOptions(const QStringList &Arguments, QString &Error);
