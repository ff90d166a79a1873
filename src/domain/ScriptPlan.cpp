#include "ScriptPlan.h"

#include "SqlNames.h"

#include <QSet>

namespace {

constexpr int maxName = 128;
const QString columnSuffix = QStringLiteral("1");

// Prefix + name + suffix, the name made of identifier characters and cut
// so that the whole stays within Limit characters.
QString madeName(const QString &prefix, const QString &tableName, const QString &suffix, int limit)
{
    QString name = tableName.left(limit - int(prefix.size() + suffix.size()));
    for (QChar &c : name)
        if (!(c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'$' || c == u'#'))
            c = u'_';
    return prefix + name + suffix;
}

// "@" + name + "TempTable", made a valid variable name of at most 128 characters.
QString tableVariableName(const QString &tableName)
{
    return madeName(QStringLiteral("@"), tableName, QStringLiteral("TempTable"), maxName);
}

// Name + tail, the name cut so that the whole stays within 128 characters.
QString withTail(const QString &name, const QString &tail)
{
    return name.left(maxName - int(tail.size())) + tail;
}

// The table-variable name of a column: Name1, or Name_2, Name_3, ... when
// Name1 is taken (a key column's name, another column's made name).
QString variableColumnName(const QString &name, QSet<QString> &taken)
{
    for (int k = 1;; ++k) {
        const QString candidate = withTail(name, k == 1 ? columnSuffix : QStringLiteral("_%1").arg(k));
        const QString folded = candidate.toCaseFolded();
        if (!taken.contains(folded)) {
            taken.insert(folded);
            return candidate;
        }
    }
}

// T, or T1, T2, ... when the target itself is named so: UPDATE T ... FROM
// @v AS T would update the table variable.
QString aliasFor(const QString &targetName)
{
    const QString folded = targetName.toCaseFolded();
    for (int k = 0;; ++k) {
        const QString candidate = k == 0 ? QStringLiteral("T") : QStringLiteral("T%1").arg(k);
        if (candidate.toCaseFolded() != folded)
            return candidate;
    }
}

} // namespace

QString TemporaryTableName(const QString &TableName, const QDateTime &Now)
{
    constexpr int maxTemporaryName = 116;
    return madeName(QStringLiteral("#"), TableName,
                    QStringLiteral("TempTable_") + Now.toString(QStringLiteral("yyyyMMdd_hhmmsszzz")), maxTemporaryName);
}

QString KeyRefusalText(const TCustomColumn &Column, TKeyRefusal Refusal)
{
    switch (Refusal) {
    case krNone:
        break;
    case krNotUsed:
        return QStringLiteral("key column %1 is not carried by the script").arg(Column.Name);
    case krNotComparable:
        return QStringLiteral("key column %1 is of type %2, which the server cannot compare")
            .arg(Column.Name, Column.ColumnType.Name);
    case krNotCarriable:
        return QStringLiteral("key column %1 is a %2 column, which takes no values from a script")
            .arg(Column.Name, Column.IsComputed ? QStringLiteral("computed") : QStringLiteral("timestamp"));
    case krUnknownType:
        return QStringLiteral("key column %1 is of a type unknown to Quorvane (xtype %2)")
            .arg(Column.Name)
            .arg(Column.ColumnType.XType);
    }
    return QString();
}

TScriptPlan::TScriptPlan(const TTable &Table)
{
    Target = Table.Nickname.isEmpty() ? QuoteName(Table.Name) : QuoteTypedName(Table.Nickname);
    ReseedTarget = IsRegularIdentifier(Target) && !IsReservedWord(Target) ? Target : QuoteNationalString(Target);
    Alias = aliasFor(Table.Nickname.isEmpty() ? Table.Name : LastNamePart(Table.Nickname));
    Variable = tableVariableName(Table.Name);

    // Key columns stand unqualified in the UPDATE's condition: no column of
    // the table variable may have such a name, or the reference is ambiguous.
    QSet<QString> taken;
    for (const TCustomColumn *column : Table.Columns)
        if (column->IsKey)
            taken.insert(column->Name.toCaseFolded());

    QStringList where;
    for (const TCustomColumn *column : Table.Columns) {
        if (column->IsKey) {
            const TKeyRefusal refusal = KeyRefusal(*column);
            if (refusal != krNone && Problem.isEmpty())
                Problem = KeyRefusalText(*column, refusal);
        }
        if (!column->IsUsed)
            continue;
        if (!column->IsOfKnownType()) {
            UnknownTypes << QStringLiteral("%1 (xtype %2)").arg(column->Name).arg(column->ColumnType.XType);
            continue;
        }
        if (!column->IsCarriable()) {
            LeftOut << column->Name;
            continue;
        }
        TCarriedColumn carried;
        carried.Column = column;
        carried.Name = QuoteName(column->Name);
        const QString variableName = variableColumnName(column->Name, taken);
        carried.VariableName = QuoteName(variableName);
        Carried.push_back(carried);

        Declarations << carried.VariableName + u' ' + GetDeclaredType(*column, Table.DataBaseCollation);
        QString temporary = carried.VariableName + u' ' + GetDeclaredType(*column);
        const QString collation = column->Collation.isEmpty() ? Table.DataBaseCollation : column->Collation;
        if (column->IsCharacter() && !collation.isEmpty())
            temporary += QStringLiteral(" COLLATE ") + collation;
        TemporaryDeclarations << temporary;
        ColumnList << carried.Name;
        VariableList << carried.VariableName;
        SelectList << TargetValue(*column, carried.VariableName);
        const QString value = TargetValue(*column, Alias + u'.' + carried.VariableName);
        if (column->IsIdentity)
            IdentityCarried = true;
        else if (!column->IsKey)
            SetList << carried.Name + QStringLiteral(" = ") + value;
        // NULL never equals NULL: a key that may hold one is matched so that
        // a NULL meets a NULL.
        if (column->IsKey)
            where << (column->IsNullable ? QStringLiteral("(%1 = %2 OR (%1 IS NULL AND %2 IS NULL))")
                                         : QStringLiteral("(%1 = %2)"))
                         .arg(carried.Name, value);
    }
    if (Carried.empty() && Problem.isEmpty())
        Problem = QStringLiteral("table %1 has no column the script can carry").arg(Table.Name);
    Where = where.join(QStringLiteral(" AND "));
    HasKeys = !where.isEmpty();
}
