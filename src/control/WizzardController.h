#pragma once

#include "GenerationResult.h"

#include <QString>

#include <functional>
#include <memory>

class TScript;
class TTable;
class IParseSettings;
class IWizzardController;

// End of a generation: Sender is the controller; Script the generated script
// when Result says it is complete, else null, and Result says whether the
// generation was broken off or failed (with the reason: the server's text
// when the rows could not be read). The handler owns the script.
using TScriptCreatedEvent = std::function<void(IWizzardController *Sender, std::unique_ptr<TScript> Script,
                                               const TGenerationResult &Result)>;
// One progress report: percent 0..100 and the generator's status text.
using TScriptProgressEvent = std::function<void(IWizzardController *Sender, int Percent, const QString &Text)>;

// What the table wizard sees of the controller. Held through std::shared_ptr:
// the controller lives as long as the wizard keeps a reference.
// Both handlers are always called on the GUI thread.
class IWizzardController
{
public:
    virtual ~IWizzardController() = default;

    // Replaces the table's columns by the server's (null table: nothing).
    virtual void LoadColumns(TTable *Table) = 0;
    // Starts a generation on a worker thread and returns at once (null table: nothing).
    virtual void CreateScript(TTable *Table, std::shared_ptr<IParseSettings> Settings) = 0;
    // Asks a running generation to stop; it still reports its end (broken off).
    virtual void BreakScriptCreation() = 0;

    [[nodiscard]] virtual TScriptCreatedEvent GetOnScriptCreated() const = 0;
    virtual void SetOnScriptCreated(TScriptCreatedEvent Handler) = 0;
    [[nodiscard]] virtual TScriptProgressEvent GetOnProgress() const = 0;
    virtual void SetOnProgress(TScriptProgressEvent Handler) = 0;
};
