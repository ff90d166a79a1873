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
    QString Table;
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
};

extern const char *const ScriptCliUsage;

// Parses the arguments after the program name. On a mistake returns nothing
// and sets Error to a one-line message.
[[nodiscard]] std::optional<TScriptCliOptions> ParseScriptCliOptions(const QStringList &Arguments, QString &Error);
