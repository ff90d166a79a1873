#pragma once

// What the data script says of one table, worked out once before its rows
// are read: the columns it carries and their names in the table variable,
// the keys and how they are matched, the names of the target, of the table
// variable and of its alias.
//
// The names the script makes stay within 128 characters and never equal one
// another (letter case aside); a table named like the alias gets another
// alias, and a table-variable column that would carry a key column's name
// (X1 for a column X beside a key X1) gets another name, so that nothing
// binds to what it was not meant for. A table that needs none of this gets
// the usual names: T and the suffix 1.

#include "Domain.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

struct TCarriedColumn
{
    const TCustomColumn *Column = nullptr;
    QString Name;         // the target's column, quoted
    QString VariableName; // the table variable's column, quoted
};

class TScriptPlan
{
public:
    explicit TScriptPlan(const TTable &Table);

    // Why no script can be written for the table as it is marked (a key the
    // server cannot match, nothing to carry); empty when one can.
    QString Problem;

    std::vector<TCarriedColumn> Carried;
    QStringList LeftOut;      // used, but timestamp or computed
    QStringList UnknownTypes; // used, of a type outside the catalogue: "F (xtype 701)"
    QString Variable;         // @...TempTable
    QString Alias;            // T, unless the target is named so
    QString Target;           // the table the script changes, as the script writes it
    QString ReseedTarget;     // the same inside DBCC CHECKIDENT
    QStringList Declarations; // of the table variable's columns
    // The same columns in a temporary table, which would otherwise take
    // tempdb's collation: every character column states its collation.
    QStringList TemporaryDeclarations;
    QStringList ColumnList;   // the target's carried columns
    QStringList VariableList; // the table variable's columns
    // The same as the target takes them (TargetValue: a CLR type's binary
    // form made the type again), for the INSERT ... SELECT into the target.
    QStringList SelectList;
    QStringList SetList;      // Name = Alias.VariableName, keys and identity left out
    QString Where;            // the match condition
    bool IdentityCarried = false;
    bool HasKeys = false;
};

// The temporary table of a batched script: "#" + the table's name made a
// valid identifier + "TempTable_" + the creation time to the millisecond,
// so that a table left behind by a broken run is never reused; at most the
// 116 characters a temporary table's name may have.
QString TemporaryTableName(const QString &TableName, const QDateTime &Now);

// The reason, in English, that a column cannot be a key; empty for krNone.
QString KeyRefusalText(const TCustomColumn &Column, TKeyRefusal Refusal);
