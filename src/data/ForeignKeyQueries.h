#pragma once

// The catalogue reads of foreign keys. SQL Server 2000 describes them in its
// system tables (sysforeignkeys, one row per column pair); SQL Server 2005
// and later in the views sys.foreign_keys and sys.foreign_key_columns. Both
// queries give the same columns, one row per column pair in key order:
// constraint_name, table_name, referenced_table, column_name,
// referenced_column, is_disabled.

#include "TableOrder.h"

#include <QString>

enum class TForeignKeyCatalogue
{
    SystemTables, // SQL Server 2000
    CatalogViews, // SQL Server 2005 and later
};

[[nodiscard]] QString ForeignKeysFromSystemTables();
[[nodiscard]] QString ForeignKeysFromCatalogViews();
[[nodiscard]] QString ForeignKeysQuery(TForeignKeyCatalogue Catalogue);

// Gathers the rows of either query (in their order) into keys.
class TForeignKeyCollector
{
public:
    void AddRow(const QString &Constraint, const QString &Table, const QString &ReferencedTable, const QString &Column,
                const QString &ReferencedColumn, bool Disabled);
    [[nodiscard]] std::vector<TForeignKey> Take() { return std::move(m_keys); }

private:
    std::vector<TForeignKey> m_keys;
};
