// The wizard side of TScriptCreationController. Placeholder until the data
// script generator is in the build: columns load, a generation is refused
// with a message. The table wizard's branch replaces this file.
#include "Controller.h"

#include "DataFacade.h"
#include "QuorvaneException.h"

TScriptCreationController::~TScriptCreationController() = default;

void TScriptCreationController::LoadColumns(TTable *Table)
{
    if (Table)
        DataAccessFacade()->LoadColumns(Table);
}

void TScriptCreationController::CreateScript(TTable *Table, std::shared_ptr<IParseSettings> Settings)
{
    (void)Settings;
    if (!Table)
        return;
    throw EQuorvaneException(QStringLiteral("Генератор скриптов данных ещё не встроен в эту сборку."));
}

void TScriptCreationController::BreakScriptCreation()
{
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

void TScriptCreationController::GeneratorScriptCreated(TScriptCreatorParser *Sender, std::unique_ptr<TScript> Script)
{
    (void)Sender;
    if (OnScriptCreated)
        OnScriptCreated(this, std::move(Script));
}

void TScriptCreationController::GeneratorProgress(TScriptCreatorParser *Sender, int Percent, const QString &Text)
{
    (void)Sender;
    if (OnProgress)
        OnProgress(this, Percent, Text);
}
