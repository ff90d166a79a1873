#pragma once

// The condition that keeps the data script's UPDATE to the rows where some
// carried column differs from the carried row, so that the rows-changed
// count means changed rows and unchanged rows are left untouched (no
// trigger, no row version).
//
// The comparison is exact and NULL-safe: a NULL against a value differs;
// character values are compared as their bytes (a change in letter case, in
// accents or in trailing blanks is a change, whatever the collation says);
// binary and character values of different lengths differ (the server pads
// the shorter one with zeros or blanks when it compares). text, ntext, image
// and sql_variant values cannot be compared so (the server refuses the
// first three, and equal sql_variant values may differ in base type): when
// such a column is carried, every matched row is updated.

#include "ScriptPlan.h"

#include <QString>
#include <QStringList>

struct TChangedRowsCondition
{
    // "(...) OR (...)", one term per compared column; empty when there is
    // nothing to compare or a column cannot be compared.
    QString Condition;
    // The carried non-key columns that cannot be compared.
    QStringList Uncompared;
};

// For the columns the UPDATE sets (carried, not keys, not identity), the
// target's column against the table variable's under the plan's alias.
TChangedRowsCondition ChangedRowsCondition(const TScriptPlan &Plan);
