#pragma once

// Which of a batch's changed rows went to tables, and which to temporary
// tables and table variables.
//
// The server reports one count per statement that changed rows (a DONE
// token with its count), and nothing about the table. The split pairs the
// counts with the batch's own INSERT, UPDATE and DELETE statements in their
// order, and so is made only where that pairing is exact:
// - the batch holds nothing but INSERT, UPDATE, DELETE, DECLARE (no
//   cursor), SET (not NOCOUNT), PRINT, DBCC, CREATE and DROP of tables and
//   indexes, and IF whose statement or BEGIN ... END block holds only
//   RAISERROR, RETURN, PRINT and DROP TABLE (a check that changes no rows):
//   no other IF, no WHILE, EXEC, standalone SELECT or anything else whose
//   statements or counts cannot be told from its text;
// - the run ended without an error or a stop;
// - the server sent exactly one count per INSERT, UPDATE and DELETE (a
//   trigger's statements may send more; then no split is made).
// A run that changed no rows changed none anywhere: that split is always
// known. A statement's target is the table it names, or the one its FROM clause
// gives the alias it names; a name (its last part) that starts with @ is a
// table variable, one that starts with # a temporary table.

#include <QList>
#include <QString>

struct TChangedRowsSplit
{
    bool Known = false;
    qint64 Tables = 0;    // rows changed in tables
    qint64 Temporary = 0; // in temporary tables and table variables
};

// The targets of Batch's statements in order: true for a temporary table
// or a table variable; nothing when the batch does not allow the pairing.
[[nodiscard]] bool StatementTargets(const QString &Batch, QList<bool> &Temporary);

// The split of one run of Batch whose statements reported Counts (in
// order); Clean says the run had no error and was not stopped.
[[nodiscard]] TChangedRowsSplit SplitChangedRows(const QString &Batch, const QList<qint64> &Counts, bool Clean);
