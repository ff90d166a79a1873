#pragma once

#include "WizzardController.h"

#include <QStringList>

// What the fake controllers share: the break-off and the handlers recorded
// in Calls, and the progress and completion a test delivers by hand.
template <typename TInterface> class FakeGenerationEvents : public TInterface
{
public:
    QStringList Calls;

    void BreakScriptCreation() override { Calls << QStringLiteral("BreakScriptCreation"); }
    TScriptCreatedEvent GetOnScriptCreated() const override { return OnScriptCreated; }
    void SetOnScriptCreated(TScriptCreatedEvent Handler) override
    {
        Calls << (Handler ? QStringLiteral("SetOnScriptCreated") : QStringLiteral("SetOnScriptCreated(none)"));
        OnScriptCreated = std::move(Handler);
    }
    TScriptProgressEvent GetOnProgress() const override { return OnProgress; }
    void SetOnProgress(TScriptProgressEvent Handler) override
    {
        Calls << (Handler ? QStringLiteral("SetOnProgress") : QStringLiteral("SetOnProgress(none)"));
        OnProgress = std::move(Handler);
    }

    void Progress(int percent, const QString &text)
    {
        if (OnProgress)
            OnProgress(this, percent, text);
    }
    void Finish(std::unique_ptr<TScript> script, const TGenerationResult &result = TGenerationResult::Completed())
    {
        if (OnScriptCreated)
            OnScriptCreated(this, std::move(script), result);
    }

    TScriptCreatedEvent OnScriptCreated;
    TScriptProgressEvent OnProgress;
};
