// The several-tables wizard's side of TScriptCreationController: the
// foreign keys, and one generation over several tables on the generator's
// worker with progress and completion passed on like a table's.

// Built once the generator's worker and the script of several tables are
// part of the domain library.
#if __has_include("Parser.h") && __has_include("MultiTableScript.h")

#include "Controller.h"

#include "DataFacade.h"
#include "Domain.h"
#include "MultiTableScript.h"
#include "Parser.h"

std::vector<TForeignKey> TScriptCreationController::GetForeignKeys()
{
    return DataAccessFacade()->GetForeignKeys();
}

void TScriptCreationController::CreateSeveralTablesScript(const QList<TTable *> &Tables,
                                                          std::shared_ptr<IParseSettings> Settings,
                                                          bool DisableConstraints)
{
    // One generation at a time: an earlier one still running is dropped.
    AbandonGeneration();

    TMultiTableOptions options;
    // Read afresh: the order is the database's as it is now.
    options.ForeignKeys = DataAccessFacade()->GetForeignKeys();
    options.DisableConstraintsForCycles = DisableConstraints;
    options.BatchRows = Settings ? Settings->GetBatchRows() : BatchRowsAutomatic;
    // The worker reads its own copies of the tables: the model's list may be
    // replaced while a generation it was left to finish still runs.
    auto snapshots = std::make_shared<std::vector<std::unique_ptr<TTableSnapshot>>>();
    for (const TTable *table : Tables)
        if (table)
            snapshots->push_back(std::make_unique<TTableSnapshot>(*table));
    std::shared_ptr<const IParseSettings> shared = std::move(Settings);

    TScriptCreatorParser *parser = NewGenerator();
    parser->Start([snapshots, shared, options](TScriptLineSink &Sink, const TScriptBuildControl &Control) {
        std::vector<TTableScriptJob> jobs;
        for (const std::unique_ptr<TTableSnapshot> &snapshot : *snapshots) {
            TTableScriptJob job;
            const TTable *table = &snapshot->Table();
            job.Table = table;
            job.Settings = shared;
            // The tables are read one after another on this worker, while
            // the modal wizard keeps everything else off the connection.
            job.OpenRows = [table, &Control]() -> std::unique_ptr<TRowSet> {
                if (Control.StopRequested && Control.StopRequested())
                    return nullptr;
                return DataAccessFacade()->OpenTableRows(table);
            };
            job.OpenError = [] { return DataAccessFacade()->LastOpenError(); };
            jobs.push_back(std::move(job));
        }
        return BuildMultiTableScript(jobs, options, Sink, Control);
    });
}

#endif
