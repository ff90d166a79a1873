#include "ForeignKeyQueries.h"

QString ForeignKeysFromSystemTables()
{
    return QStringLiteral(
        "SELECT o.name AS constraint_name, f.name AS table_name, r.name AS referenced_table, fc.name AS column_name,"
        " rc.name AS referenced_column, OBJECTPROPERTY(k.constid, 'CnstIsDisabled') AS is_disabled"
        " FROM sysforeignkeys k"
        " JOIN sysobjects o ON o.id = k.constid"
        " JOIN sysobjects f ON f.id = k.fkeyid"
        " JOIN sysobjects r ON r.id = k.rkeyid"
        " JOIN syscolumns fc ON fc.id = k.fkeyid AND fc.colid = k.fkey"
        " JOIN syscolumns rc ON rc.id = k.rkeyid AND rc.colid = k.rkey"
        " ORDER BY o.name, k.keyno");
}

QString ForeignKeysFromCatalogViews()
{
    return QStringLiteral(
        "SELECT k.name AS constraint_name, OBJECT_NAME(k.parent_object_id) AS table_name,"
        " OBJECT_NAME(k.referenced_object_id) AS referenced_table, pc.name AS column_name, rc.name AS referenced_column,"
        " k.is_disabled"
        " FROM sys.foreign_keys k"
        " JOIN sys.foreign_key_columns c ON c.constraint_object_id = k.object_id"
        " JOIN sys.columns pc ON pc.object_id = c.parent_object_id AND pc.column_id = c.parent_column_id"
        " JOIN sys.columns rc ON rc.object_id = c.referenced_object_id AND rc.column_id = c.referenced_column_id"
        " ORDER BY k.name, c.constraint_column_id");
}

QString ForeignKeysQuery(TForeignKeyCatalogue Catalogue)
{
    return Catalogue == TForeignKeyCatalogue::SystemTables ? ForeignKeysFromSystemTables() : ForeignKeysFromCatalogViews();
}

void TForeignKeyCollector::AddRow(const QString &Constraint, const QString &Table, const QString &ReferencedTable,
                                  const QString &Column, const QString &ReferencedColumn, bool Disabled)
{
    // Rows come ordered by constraint: a new name starts a new key.
    if (m_keys.empty() || m_keys.back().Name != Constraint || m_keys.back().Table != Table) {
        TForeignKey key;
        key.Name = Constraint;
        key.Table = Table;
        key.ReferencedTable = ReferencedTable;
        key.Disabled = Disabled;
        m_keys.push_back(std::move(key));
    }
    m_keys.back().Columns << Column;
    m_keys.back().ReferencedColumns << ReferencedColumn;
}
