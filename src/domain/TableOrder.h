#pragma once

// The order in which a script over several tables touches them, so that it
// runs without foreign-key errors: rows are deleted from children before
// their parents, and inserted or updated in parents before their children.
// A table that references itself fits any order (its own rows are checked
// at the statement's end). Tables that reference each other in a ring fit
// none: the ring is reported by name, and the script may switch the
// tables' constraints off while it runs and check them again after.

#include <QString>
#include <QStringList>

#include <vector>

// One FOREIGN KEY constraint as the catalogue describes it.
struct TForeignKey
{
    QString Name;
    QString Table;           // the referencing table (the child)
    QString ReferencedTable; // the referenced table (the parent)
    QStringList Columns;     // in constraint order
    QStringList ReferencedColumns;
    bool Disabled = false;   // NOCHECK: the server does not enforce it
};

struct TTableOrder
{
    QStringList Deletes; // children before parents
    QStringList Writes;  // parents before children
    // Every ring of tables that reference each other (two or more tables,
    // each ring in the order the tables were given).
    std::vector<QStringList> Cycles;

    [[nodiscard]] bool HasCycles() const { return !Cycles.empty(); }
    // A Russian sentence naming the tables of every ring and the way out;
    // empty when there is none.
    [[nodiscard]] QString CycleMessage() const;
};

// Orders Tables (names as the caller spells them; matched to the keys'
// names without regard to letter case). Keys between a chosen table and one
// outside the set, and disabled keys, do not constrain the order. Tables
// with nothing between them keep the order they were given in.
[[nodiscard]] TTableOrder OrderTables(const QStringList &Tables, const std::vector<TForeignKey> &Keys);

// "ALTER TABLE t NOCHECK CONSTRAINT ALL" for each table (written before the
// script), and "ALTER TABLE t WITH CHECK CHECK CONSTRAINT ALL" (after it:
// the rows are checked and the constraints trusted again).
[[nodiscard]] QStringList DisableConstraintsStatements(const QStringList &Tables);
[[nodiscard]] QStringList EnableConstraintsStatements(const QStringList &Tables);
