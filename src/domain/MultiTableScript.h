#pragma once

// The data script of several tables in one pass, ordered by their foreign
// keys so that it runs while the server enforces them.
//
// The script first carries every table's rows (each into a table variable
// of its own in one batch, or into a temporary table of its own filled in
// GO-separated batches), then, in one last part, checks that every table's
// rows all arrived and only then changes the targets inside one transaction
// that any error rolls back (SET XACT_ABORT ON): rows are deleted (for the
// tables that ask for it) from children before parents, then updated and
// inserted in parents before children. A script that stops midway has
// changed nothing.
//
// Each table keeps its own choices, as for a script of one table: the
// columns it carries and its keys (marked on the table), the nickname, the
// delete flag, the row filter and "update only what differs" (its settings).
// How the rows travel (one batch or batches) is chosen once for the whole
// script.

#include "Domain.h"
#include "GenerationResult.h"
#include "ScriptBuilder.h"
#include "TableOrder.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class IParseSettings;
class TRowSet;
class TTable;

// One table of the script.
struct TTableScriptJob
{
    // The table with its columns marked (used, keys) and its nickname; not
    // owned, it must outlive the generation.
    const TTable *Table = nullptr;
    // Its own delete flag, row filter and "update only what differs"; null
    // for none of them. The settings' batch rows are not read here (see
    // TMultiTableOptions::BatchRows).
    std::shared_ptr<const IParseSettings> Settings;
    // Opens the table's rows when its turn comes (a connection reads one
    // result at a time, so the tables are read one after another, in the
    // order their rows are written). A null row set fails the generation
    // with OpenError()'s text; what it throws fails it with its message.
    std::function<std::unique_ptr<TRowSet>()> OpenRows;
    // Why OpenRows gave nothing (e.g. the facade's LastOpenError); may be null.
    std::function<QString()> OpenError;
};

struct TMultiTableOptions
{
    // The foreign keys of the database (or at least those among the
    // tables), as the catalogue read gives them.
    std::vector<TForeignKey> ForeignKeys;
    // Tables that reference each other in a ring: with this the script
    // switches their constraints off before the changes (ALTER TABLE …
    // NOCHECK CONSTRAINT ALL) and checks them again after (ALTER TABLE …
    // WITH CHECK CHECK CONSTRAINT ALL); without it no script is made.
    bool DisableConstraintsForCycles = false;
    // Rows per batch of the whole script: 0 keeps everything in one batch
    // (table variables); N fills temporary tables in GO-separated batches of
    // at most N rows; BatchRowsAutomatic batches only a script too long to
    // go to the server as one batch.
    qint64 BatchRows = BatchRowsAutomatic;
};

// What is known of the jobs before any row is read: the order of the
// tables and why no script can be made (empty when one can).
struct TMultiTableCheck
{
    TTableOrder Order;
    // A Russian sentence: a table given twice, a job without a table or a
    // row source, a table that allows no script as marked (named), or a
    // ring of tables without DisableConstraintsForCycles (Order's
    // CycleMessage, naming the tables).
    QString Problem;
    // Tables in rings (each once) whose constraints the script switches
    // off and on again; empty without rings.
    QStringList ConstraintsSwitched;

    [[nodiscard]] bool Ok() const { return Problem.isEmpty(); }
};

// The check the script makes first; a caller (the wizard, the command line)
// makes it before it asks for the script, to show the order or the problem.
[[nodiscard]] TMultiTableCheck CheckMultiTableJobs(const std::vector<TTableScriptJob> &Jobs,
                                                   const TMultiTableOptions &Options);

// Writes the script of the jobs into Sink and says how it ended, as
// BuildScript does: complete (the sink holds the whole script), broken off
// (StopRequested said so: the sink holds a beginning to throw away) or
// failed with the reason (the check's problem, before anything is written;
// a table's rows could not be opened or read, or the sink refused them: a
// beginning to throw away). Control's progress runs from 0 to 100 over all
// the tables; its texts name the table being read.
[[nodiscard]] TGenerationResult BuildMultiTableScript(const std::vector<TTableScriptJob> &Jobs,
                                                      const TMultiTableOptions &Options, TScriptLineSink &Sink,
                                                      const TScriptBuildControl &Control);
