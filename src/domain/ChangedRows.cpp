#include "ChangedRows.h"

namespace {

// One column: differs in value or in length, or one side is NULL.
QString differs(const TCustomColumn &column, const QString &target, const QString &carried)
{
    const QString nullSafe =
        QStringLiteral(" OR (%1 IS NULL AND %2 IS NOT NULL) OR (%1 IS NOT NULL AND %2 IS NULL))").arg(target, carried);
    const int xtype = column.ColumnType.XType;
    const bool binary = xtype == XType::Binary || xtype == XType::VarBinary;
    if (column.IsCharacter()) {
        // Bytes, not the collation's idea of equal: 'a' = 'A' and 'a' = 'a '
        // under most collations.
        const QString bytes = column.Length == -1 ? QStringLiteral("varbinary(max)") : QStringLiteral("varbinary(8000)");
        return QStringLiteral("(CAST(%1 AS %3) <> CAST(%2 AS %3) OR DATALENGTH(%1) <> DATALENGTH(%2)")
                   .arg(target, carried, bytes) +
               nullSafe;
    }
    if (binary)
        return QStringLiteral("(%1 <> %2 OR DATALENGTH(%1) <> DATALENGTH(%2)").arg(target, carried) + nullSafe;
    // Two datetimeoffset values at the same instant are equal whatever
    // their offsets; their texts tell the offsets apart.
    if (xtype == XType::DateTimeOffset)
        return QStringLiteral("(CAST(%1 AS nvarchar(40)) <> CAST(%2 AS nvarchar(40))").arg(target, carried) + nullSafe;
    return QStringLiteral("(%1 <> %2").arg(target, carried) + nullSafe;
}

bool comparable(const TCustomColumn &column)
{
    return column.IsComparable() && column.ColumnType.XType != XType::SqlVariant;
}

} // namespace

TChangedRowsCondition ChangedRowsCondition(const TScriptPlan &Plan)
{
    TChangedRowsCondition result;
    QStringList terms;
    for (const TCarriedColumn &carried : Plan.Carried) {
        const TCustomColumn &column = *carried.Column;
        // The same columns as the SET list.
        if (column.IsKey || column.IsIdentity)
            continue;
        if (!comparable(column)) {
            result.Uncompared << column.Name;
            continue;
        }
        terms << differs(column, carried.Name, TargetValue(column, Plan.Alias + u'.' + carried.VariableName));
    }
    if (result.Uncompared.isEmpty())
        result.Condition = terms.join(QStringLiteral(" \r\n    OR "));
    return result;
}
