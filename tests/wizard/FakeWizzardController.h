#pragma once

#include "Domain.h"
#include "FakeGenerationEvents.h"

#include <QStringList>

#include <functional>

// Stands in for the controller: hands out prepared columns, records every
// call, and lets the test deliver progress and completion by hand.
class FakeWizzardController : public FakeGenerationEvents<IWizzardController>
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
};
