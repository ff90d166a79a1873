#pragma once

// The only way into Microsoft SQL Server: one ODBC connection switched
// between servers, logins and databases by four named properties, the
// catalogue read into domain objects, the rows of a table for the data
// script generator and the command that runs a script.
//
// Opening: SetServer, UseDataBase with a name and RestoreDataBase close the
// connection and open it again at once, so a wrong server, login or
// database name fails there. SetLogin and ResetDataBase close it and leave
// the opening to the next of those (or to the next query): a new login is
// never tried against the server of an earlier attempt. With no "Data
// Source" set the connection stays closed.
//
// Thread rules: GUI thread only. The row sets it hands out have their own
// connections and may be read on another thread.

#include "ConnectionString.h"
#include "DataErrors.h"
#include "Domain.h"
#include "RowSet.h"
#include "ScriptCommand.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace odbc {
class Connection;
class Statement;
class Cursor;
} // namespace odbc

class TDataAccessFacade
{
public:
    // The four connection properties, by their names.
    static const QString DataSourceProperty;      // "Data Source"
    static const QString InitialCatalogProperty;  // "Initial Catalog"
    static const QString UserIdProperty;          // "User ID"
    static const QString PasswordProperty;        // "Password"

    static constexpr int DefaultLoginTimeout = 15;

    TDataAccessFacade();
    virtual ~TDataAccessFacade();
    TDataAccessFacade(const TDataAccessFacade &) = delete;
    TDataAccessFacade &operator=(const TDataAccessFacade &) = delete;

    void SetServer(const TSQLServer *Server);
    void SetLogin(const QString &Login, const QString &Password);
    [[nodiscard]] QString GetDataBaseName() const;
    void UseDataBase(const QString &Name);
    void RestoreDataBase();
    void ResetDataBase();
    void SwitchToDataBase(const TDataBase *DataBase);

    // New lists owned by the caller; null when the query gave no rows.
    [[nodiscard]] std::unique_ptr<TDataBaseList> GetDataBases();
    [[nodiscard]] std::unique_ptr<TTableList> GetTables(TDataBase *DataBase);
    // Refills the table's columns from syscolumns in their order, with the
    // default collation of the table's database (Table->DataBaseCollation).
    void LoadColumns(TTable *Table);
    // DATABASEPROPERTYEX(name, 'Collation'); empty when the server cannot say.
    [[nodiscard]] QString GetDataBaseCollation(const QString &DataBase);
    // Virtual so that a test can hand in names that differ in letter case.
    [[nodiscard]] virtual std::unique_ptr<QStringList> GetPrimaryColumnNames(const TTable *Table);
    [[nodiscard]] static TColumnClass GetColumnClass(int XType);
    // The rows of the columns the script carries (used and carriable), by
    // name in the table's order; every field when the table's columns were
    // never read. Null when the table cannot be read; LastOpenError() then
    // says why.
    [[nodiscard]] std::unique_ptr<TRowSet> OpenTableRows(const TTable *Table);
    [[nodiscard]] std::unique_ptr<TScriptCommand> MakeScriptCommand(const TScript *Script);

    [[nodiscard]] const QString &RememberedDataBase() const { return m_rememberedDataBase; }

    // The current value of a named property ("Data Source", ...).
    [[nodiscard]] QString ConnectionProperty(const QString &Name) const;

    // The ODBC driver; until set, the settings' "Connection"/"Driver"
    // (default "FreeTDS") is read at the first opening.
    [[nodiscard]] QString Driver() const;
    void SetDriver(const QString &Driver);
    [[nodiscard]] int LoginTimeout() const { return m_loginTimeout; }
    void SetLoginTimeout(int Seconds) { m_loginTimeout = Seconds; }

    [[nodiscard]] bool Connected() const;
    // How many times the connection was opened; a switch to the database
    // already current must not add one.
    [[nodiscard]] int OpenCount() const { return m_openCount; }
    [[nodiscard]] const QString &LastOpenError() const { return m_lastOpenError; }

    // The command's work: runs text on the connection, opening it if needed.
    TScriptResult ExecuteScriptText(const QString &Text, int MaxRows);

protected:
    // Runs the shared statement's text and stands on its first row; false
    // when there is none. A test can make it fail.
    virtual bool OpenQuery();

    void AddSql(const QString &Line) { m_sql << Line; }
    void ClearSql() { m_sql.clear(); }
    [[nodiscard]] const QStringList &Sql() const { return m_sql; }
    void CloseQuery() noexcept;

private:
    void OpenConnection();
    void CloseConnection() noexcept;
    void EnsureOpen();
    [[nodiscard]] QString BuildConnectionText(const QString &Catalog) const;
    [[nodiscard]] std::unique_ptr<odbc::Connection> OpenExtraConnection(const QString &Catalog) const;
    bool NextRow();

    TConnectionProperties m_properties;
    QString m_catalog;
    QString m_rememberedDataBase;
    QString m_driverOverride;
    int m_loginTimeout = DefaultLoginTimeout;
    int m_openCount = 0;
    QString m_lastOpenError;

    QStringList m_sql;
    // Declared so that the shared statement goes before the connection.
    std::unique_ptr<odbc::Connection> m_connection;
    std::unique_ptr<odbc::Statement> m_statement;
    std::unique_ptr<odbc::Cursor> m_cursor;
};

// The process-wide facade, created on first use.
TDataAccessFacade *DataAccessFacade();
// Destroys it (statement, then connection); called at the end of main.
void DestroyDataAccessFacade();
