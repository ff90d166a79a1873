// The table wizard's side of TScriptCreationController: columns, and the
// generation on its worker thread with progress and completion passed on.

// Built once the generator's worker (Parser.h) is part of the domain library.
#if __has_include("Parser.h")

#include "Controller.h"

#include "DataFacade.h"
#include "Domain.h"
#include "Parser.h"

TScriptCreationController::~TScriptCreationController()
{
    // A wizard closed during its generation releases us while the worker
    // may still run: break it off and wait for it, so that no report comes
    // here afterwards and the row set is freed only once nothing reads it.
    OnScriptCreated = nullptr;
    OnProgress = nullptr;
    if (Parser) {
        Parser->OnScriptCreated = nullptr;
        Parser->OnProgress = nullptr;
        Parser->BreakOffAndFree();
    }
    RowSet.reset();
}

void TScriptCreationController::LoadColumns(TTable *Table)
{
    if (!Table)
        return;
    DataAccessFacade()->LoadColumns(Table);
}

void TScriptCreationController::CreateScript(TTable *Table, std::shared_ptr<IParseSettings> Settings)
{
    if (!Table)
        return;
    // One generation at a time: an earlier one still running is dropped.
    if (Parser) {
        Parser->OnScriptCreated = nullptr;
        Parser->OnProgress = nullptr;
        Parser->BreakOffAndFree();
    }
    RowSet.reset();

    auto *parser = new TScriptCreatorParser;
    Parser = parser;
    parser->OnScriptCreated = [this](TScriptCreatorParser *Sender, std::unique_ptr<TScript> Script) {
        GeneratorScriptCreated(Sender, std::move(Script));
    };
    parser->OnProgress = [this](TScriptCreatorParser *Sender, int Percent, const QString &Text) {
        GeneratorProgress(Sender, Percent, Text);
    };
    try {
        RowSet = DataAccessFacade()->OpenTableRows(Table);
    } catch (...) {
        Parser = nullptr;
        delete parser;
        throw;
    }
    parser->Start(Table, RowSet.get(), std::move(Settings));
}

void TScriptCreationController::BreakScriptCreation()
{
    if (Parser)
        Parser->Terminate();
}

TScriptCreatedEvent TScriptCreationController::GetOnScriptCreated() const
{
    return OnScriptCreated;
}

void TScriptCreationController::SetOnScriptCreated(TScriptCreatedEvent Handler)
{
    OnScriptCreated = std::move(Handler);
}

TScriptProgressEvent TScriptCreationController::GetOnProgress() const
{
    return OnProgress;
}

void TScriptCreationController::SetOnProgress(TScriptProgressEvent Handler)
{
    OnProgress = std::move(Handler);
}

void TScriptCreationController::GeneratorScriptCreated(TScriptCreatorParser *, std::unique_ptr<TScript> Script)
{
    // The generator ends and frees itself after this report.
    Parser = nullptr;
    // Copy the handler: it may replace itself while it runs.
    const TScriptCreatedEvent handler = OnScriptCreated;
    if (handler)
        handler(this, std::move(Script));
    // The worker no longer reads the rows once its completion has run.
    RowSet.reset();
}

void TScriptCreationController::GeneratorProgress(TScriptCreatorParser *, int Percent, const QString &Text)
{
    const TScriptProgressEvent handler = OnProgress;
    if (handler)
        handler(this, Percent, Text);
}

#endif
