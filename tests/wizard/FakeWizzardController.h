#pragma once

#include "Domain.h"
#include "WizzardController.h"

#include <QStringList>

#include <functional>

// Stands in for the controller: hands out prepared columns, records every
// call, and lets the test deliver progress and completion by hand.
class FakeWizzardController : public IWizzardController
{
public:
    struct ColumnSpec
    {
        QString Name;
        int XType;
        bool IsIdentity = false;
        bool IsPrimaryKey = false;
        bool IsComputed = false;
    };

    QList<ColumnSpec> Columns;
    QStringList Calls;
    TTable *CreatedFor = nullptr;
    std::shared_ptr<IParseSettings> Settings;
    std::function<void()> FailLoad;

    void LoadColumns(TTable *Table) override
    {
        Calls << QStringLiteral("LoadColumns %1").arg(Table ? Table->Name : QStringLiteral("-"));
        if (FailLoad)
            FailLoad();
        if (!Table)
            return;
        Table->Columns.Clear();
        for (const ColumnSpec &spec : Columns) {
            auto column = CreateColumn(spec.Name, spec.XType, Table->Id, spec.IsIdentity, 4);
            column->IsPrimaryKey = spec.IsPrimaryKey;
            column->IsComputed = spec.IsComputed;
            Table->Columns.Add(std::move(column));
        }
    }
    void CreateScript(TTable *Table, std::shared_ptr<IParseSettings> S) override
    {
        Calls << QStringLiteral("CreateScript %1").arg(Table ? Table->Name : QStringLiteral("-"));
        CreatedFor = Table;
        Settings = std::move(S);
    }
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
    void Finish(std::unique_ptr<TScript> script,
                const TGenerationResult &result = TGenerationResult::Completed())
    {
        if (OnScriptCreated)
            OnScriptCreated(this, std::move(script), result);
    }

    TScriptCreatedEvent OnScriptCreated;
    TScriptProgressEvent OnProgress;
};
