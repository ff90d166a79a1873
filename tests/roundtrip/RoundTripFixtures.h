#pragma once

// The tables of the round trip: how each is created, its source rows, and
// the drift that turns a copy of the source into the target (rows missing,
// rows changed, extra rows). Every SQL text has %1 for the table's name.

#include <QList>
#include <QString>
#include <QStringList>

struct TRoundTripTable
{
    QString Name;            // as the catalogue lists it
    QString Create;          // CREATE TABLE %1 (...)
    QStringList Rows;        // the source's rows, run on source and target
    QStringList SourceOnly;  // then run on the source only
    QStringList Drift;       // then run on the target only
    // Expressions over the table compared row by row (by the first column)
    // between source and target after the script, besides the values.
    QStringList Checks;
};

// Every fixture table, by name.
const QList<TRoundTripTable> &RoundTripTables();
const TRoundTripTable &RoundTripTable(const QString &Name);
// A table of 18 values of a million characters: its script passes what one
// batch may hold at a 512-byte packet (65,536 packets: 16,777,216
// characters) unless it is batched.
const TRoundTripTable &OversizedTable();

// Statements that build the table under SqlName in the current database:
// create, fill with the rows, then the extra steps.
QStringList BuildStatements(const TRoundTripTable &Table, const QString &SqlName, const QStringList &Extra);
