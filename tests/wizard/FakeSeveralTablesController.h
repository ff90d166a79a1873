#pragma once

#include "Domain.h"
#include "FakeGenerationEvents.h"
#include "SeveralTablesController.h"

#include <QHash>
#include <QStringList>

// Stands in for the controller of the several-tables wizard: prepared
// columns per table and foreign keys, every call recorded, progress and
// completion delivered by the test.
class FakeSeveralTablesController : public FakeGenerationEvents<ISeveralTablesController>
{
public:
    struct ColumnDefinition
    {
        QString Name;
        int XType;
        bool IsPrimaryKey = false;
    };

    QHash<QString, QList<ColumnDefinition>> Columns; // by table name
    std::vector<TForeignKey> Keys;
    QStringList CreatedFor;
    std::shared_ptr<IParseSettings> Settings;
    bool DisabledConstraints = false;

    std::vector<TForeignKey> GetForeignKeys() override
    {
        Calls << QStringLiteral("GetForeignKeys");
        return Keys;
    }
    void LoadColumns(TTable *Table) override
    {
        Calls << QStringLiteral("LoadColumns %1").arg(Table ? Table->Name : QStringLiteral("-"));
        if (!Table)
            return;
        Table->Columns.Clear();
        for (const ColumnDefinition &definition : Columns.value(Table->Name)) {
            auto column = CreateColumn(definition.Name, definition.XType, Table->Id, false, 4);
            column->IsPrimaryKey = definition.IsPrimaryKey;
            Table->Columns.Add(std::move(column));
        }
    }
    void CreateScript(TTable *Table, std::shared_ptr<IParseSettings>) override
    {
        Calls << QStringLiteral("CreateScript %1").arg(Table ? Table->Name : QStringLiteral("-"));
    }
    void CreateSeveralTablesScript(const QList<TTable *> &Tables, std::shared_ptr<IParseSettings> S,
                                   bool DisableConstraints) override
    {
        Calls << QStringLiteral("CreateSeveralTablesScript");
        CreatedFor.clear();
        for (const TTable *table : Tables)
            CreatedFor << table->Name;
        Settings = std::move(S);
        DisabledConstraints = DisableConstraints;
    }
};
