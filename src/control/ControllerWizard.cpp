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
    // may still run, perhaps waiting for a server that does not answer: it
    // is broken off, its read cancelled, and left to end on its own.
    OnScriptCreated = nullptr;
    OnProgress = nullptr;
    AbandonGeneration();
}

void TScriptCreationController::AbandonGeneration()
{
    if (!Parser)
        return;
    Parser->OnScriptCreated = nullptr;
    Parser->OnProgress = nullptr;
    Parser->Abandon();
    Parser = nullptr;
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
    AbandonGeneration();

    std::unique_ptr<TRowSet> rows = DataAccessFacade()->OpenTableRows(Table, Settings ? Settings->GetRowFilter() : QString());
    if (!rows) {
        // Reported like any other end, after this call has returned.
        const QString reason = DataAccessFacade()->LastOpenError();
        QMetaObject::invokeMethod(
            &m_context,
            [this, reason] {
                const TScriptCreatedEvent handler = OnScriptCreated;
                if (handler)
                    handler(this, nullptr, TGenerationResult::Failed(reason));
            },
            Qt::QueuedConnection);
        return;
    }
    TScriptCreatorParser *parser = NewGenerator();
    // The worker reads its own copy of the table: the model's list may be
    // replaced while a generation it was left to finish still runs.
    parser->Start(std::make_unique<TTableSnapshot>(*Table), std::move(rows), std::move(Settings));
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

void TScriptCreationController::GeneratorScriptCreated(TScriptCreatorParser *, std::unique_ptr<TScript> Script,
                                                       const TGenerationResult &Result)
{
    // The generator ends and frees itself (and the rows) after this report.
    Parser = nullptr;
    // Copy the handler: it may replace itself while it runs.
    const TScriptCreatedEvent handler = OnScriptCreated;
    if (handler)
        handler(this, std::move(Script), Result);
}

void TScriptCreationController::GeneratorProgress(TScriptCreatorParser *, int Percent, const QString &Text)
{
    const TScriptProgressEvent handler = OnProgress;
    if (handler)
        handler(this, Percent, Text);
}

TScriptCreatorParser *TScriptCreationController::NewGenerator()
{
    auto *parser = new TScriptCreatorParser;
    Parser = parser;
    parser->OnScriptCreated = [this](TScriptCreatorParser *Sender, std::unique_ptr<TScript> Script,
                                     const TGenerationResult &Result) {
        GeneratorScriptCreated(Sender, std::move(Script), Result);
    };
    parser->OnProgress = [this](TScriptCreatorParser *Sender, int Percent, const QString &Text) {
        GeneratorProgress(Sender, Percent, Text);
    };
    return parser;
}

#endif
