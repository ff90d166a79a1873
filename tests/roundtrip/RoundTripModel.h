#pragma once

// What a data script promises to make of the target table, worked out on
// rows read back as text, and the check of the target against it.

#include "WorkbenchGeneration.h"

#include <QList>
#include <QStringList>

using TRowText = QStringList; // one value per column, a null QString for NULL

struct TMergeChoices
{
    QStringList Used;  // empty: every column
    QStringList Keys;  // empty: the used primary-key columns
    bool DeleteTable = false;
};

class TMergeModel
{
public:
    // Columns: the table's columns without its timestamp (the rows hold
    // one value per column in that order).
    TMergeModel(QList<TColumnFact> Columns, const TMergeChoices &Choices);

    // The target's rows after the script, from the rows before it and the
    // source's rows.
    [[nodiscard]] QList<TRowText> Expected(const QList<TRowText> &Target, const QList<TRowText> &Source) const;
    // Which columns can be checked: not an identity the script leaves to
    // the server, not a computed column unless every column was carried.
    [[nodiscard]] const QList<bool> &Compared() const { return m_compared; }
    // An empty string when Actual holds the expected rows (in any order);
    // otherwise the first difference: row, column and both values.
    [[nodiscard]] QString Compare(const QList<TRowText> &Expected, const QList<TRowText> &Actual) const;

    [[nodiscard]] const QList<TColumnFact> &Columns() const { return m_columns; }

private:
    [[nodiscard]] bool KeysMatch(const TRowText &Target, const TRowText &Source) const;
    // The row the script inserts for a source row.
    [[nodiscard]] TRowText Inserted(const TRowText &Source) const;
    [[nodiscard]] QString Describe(const TRowText &Row) const;

    QList<TColumnFact> m_columns;
    QList<bool> m_carried;
    QList<bool> m_key;
    QList<bool> m_compared;
    bool m_delete = false;
    bool m_hasKeys = false;
};

// "SELECT [a], [b] FROM [t]" over the columns.
QString SelectRowsSql(const QString &Table, const QList<TColumnFact> &Columns);
// "SELECT [key], check1, check2 FROM [t]".
QString SelectChecksSql(const QString &Table, const QString &Key, const QStringList &Checks);
// The value as a message shows it: NULL or in quotes, long ones cut.
QString ShowValue(const QString &Value);
