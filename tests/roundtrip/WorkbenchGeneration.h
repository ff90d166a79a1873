#pragma once

// The table wizard's path through the data layer and the generator, for
// tests: connect with the four properties, read the table and its columns,
// mark the choices, run TScriptCreatorParser on its worker and wait for the
// script.

#include "DataFacade.h"
#include "Domain.h"

#include <QStringList>

#include <memory>

struct TWorkbenchChoices
{
    QString Table;
    QStringList Columns;  // empty: all
    QStringList Keys;     // empty: the used primary-key columns
    QString Nickname;
    bool DeleteTable = false;
    qint64 BatchRows = BatchRowsAutomatic;
};

// The extra options: a condition on the rows, the UPDATE kept to rows that differ.
struct TWorkbenchOptions
{
    QString RowFilter; // empty: every row
    bool OnlyChanged = false;
};

// What a test needs to know of a column, as LoadColumns reads it.
struct TColumnFact
{
    QString Name;
    bool IsIdentity = false;
    bool IsPrimaryKey = false;
    bool IsTimestamp = false;
    bool IsComputed = false;
};

class TWorkbenchSession
{
public:
    // Throws what the facade throws.
    TWorkbenchSession(const QString &DataSource, const QString &Login, const QString &Password,
                      const QString &DataBase);

    TDataAccessFacade &Facade() { return m_facade; }
    [[nodiscard]] TDataBase *DataBase() const { return m_dataBase; }
    // The user tables of the database, read afresh.
    [[nodiscard]] QStringList TableNames();

    // The table's columns in their order; empty when there is no such table.
    QList<TColumnFact> Columns(const QString &Table);

    // The script's Lines as the generator hands them to the workbench;
    // false (and Error) when a step failed.
    bool Generate(const TWorkbenchChoices &Choices, QStringList &Lines, QString &Error,
                  const TWorkbenchOptions &Options = TWorkbenchOptions());

    // The script of several tables in one (every column carried, each
    // matched on its primary key), ordered by the foreign keys the
    // catalogue gives; false (and Error) when a step failed or the
    // generator refused (its reason).
    bool GenerateSeveral(const QStringList &Tables, bool DeleteTable, qint64 BatchRows, bool AllowCycles,
                         QStringList &Lines, QString &Error);

    // Runs a batch and returns its first rows as text (a NULL is a null
    // QString); throws EQuorvaneException with the first error.
    QList<QStringList> Query(const QString &Sql);
    // Runs a batch; the first error's text, or empty.
    QString Execute(const QString &Sql);

private:
    TDataAccessFacade m_facade;
    std::unique_ptr<TDataBaseList> m_dataBases;
    TDataBase *m_dataBase = nullptr;
};

// How the workbench saves a script: each item followed by CR LF.
QByteArray ScriptFileBytes(const QStringList &Lines);
// The bytes with the creation time (of the header and of a temporary
// table's name) blanked out.
QByteArray MaskCreationTime(QByteArray Bytes);
