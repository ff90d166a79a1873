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
// Catalogue reads (the shared statement) wait for the server at most
// QueryTimeout() seconds; a stalled server then fails them with
// EQueryTimeout instead of holding the window for ever.
//
// Thread rules: GUI thread only. The row sets it hands out have their own
// connections and may be read on another thread. A script runs on a worker:
// LendConnection gives the connection away for the run, and until
// TakeBackConnection every operation that needs it refuses.

#include "ConnectionString.h"
#include "DataErrors.h"
#include "Domain.h"
#include "ForeignKeyQueries.h"
#include "RowSet.h"
#include "ScriptCommand.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace odbc {
class Connection;
class Statement;
class Cursor;
} // namespace odbc

// A catalogue read (or an opening of the connection) that the server did
// not answer in time.
class EQueryTimeout : public EDataAccessError
{
public:
    enum class TWait { Query, Login };
    explicit EQueryTimeout(int Seconds, TWait Wait = TWait::Query);
};

// The connection while a worker runs a script on it. The worker opens it
// when it is not open (with ConnectionText and LoginTimeout), may drop it
// when it breaks, and leaves the session's database in Catalog.
struct TLentConnection
{
    std::shared_ptr<odbc::Connection> Connection;
    QString ConnectionText;
    int LoginTimeout = 0;
    QString Catalog;
};

class TDataAccessFacade
{
public:
    // The four connection properties, by their names.
    static const QString DataSourceProperty;      // "Data Source"
    static const QString InitialCatalogProperty;  // "Initial Catalog"
    static const QString UserIdProperty;          // "User ID"
    static const QString PasswordProperty;        // "Password"

    static constexpr int DefaultLoginTimeout = 15;
    static constexpr int DefaultQueryTimeout = 30;

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
    // Refills the table's columns in their order, with the default
    // collation of the table's database (Table->DataBaseCollation): from
    // syscolumns on SQL Server 2000 and earlier, from sys.columns and
    // sys.types on 2005 and later. Either way a column carries the catalogue
    // code of its (base) system type; a type SQL Server 2000 lacks keeps its
    // code outside the catalogue and its name in ColumnType.Name.
    void LoadColumns(TTable *Table);
    // DATABASEPROPERTYEX(name, 'Collation'); empty when the server cannot say.
    [[nodiscard]] QString GetDataBaseCollation(const QString &DataBase);
    // Virtual so that a test can hand in names that differ in letter case.
    [[nodiscard]] virtual std::unique_ptr<QStringList> GetPrimaryColumnNames(const TTable *Table);
    [[nodiscard]] static TColumnClass GetColumnClass(int XType);
    // The foreign keys of the current database, read from the catalogue the
    // server has (SQL Server 2000's system tables or the later sys views).
    [[nodiscard]] std::vector<TForeignKey> GetForeignKeys(TForeignKeyCatalogue Catalogue);
    // The same from the catalogue of the server connected to.
    [[nodiscard]] std::vector<TForeignKey> GetForeignKeys();
    // The rows of the columns the script carries (used and carriable), by
    // name in the table's order; every field when the table's columns were
    // never read. RowFilter, when not blank, keeps the rows that meet it.
    // Null when the table cannot be read (a filter the server refuses among
    // the reasons); LastOpenError() then says why, in the server's words.
    [[nodiscard]] std::unique_ptr<TRowSet> OpenTableRows(const TTable *Table, const QString &RowFilter = QString());
    [[nodiscard]] std::unique_ptr<TScriptCommand> MakeScriptCommand(const TScript *Script);

    [[nodiscard]] const QString &RememberedDataBase() const { return m_rememberedDataBase; }

    // The current value of a named property ("Data Source", ...).
    [[nodiscard]] QString ConnectionProperty(const QString &Name) const;

    // The ODBC driver; until set, the settings' "Connection"/"Driver"
    // (default "FreeTDS") is read at the first opening.
    [[nodiscard]] QString Driver() const;
    void SetDriver(const QString &Driver);
    // Encryption and the certificate checks; until set, the settings'
    // "Connection" entries Encrypt (no, request, require; default request),
    // TrustServerCertificate (0/1) and CaFile are read at each opening.
    [[nodiscard]] TConnectionSecurity Security() const;
    void SetSecurity(const TConnectionSecurity &Security);
    // The major version of the server (8: SQL Server 2000, 9: 2005, ...
    // 16: 2022), read from SERVERPROPERTY('ProductVersion') at the first
    // opening after SetServer; 0 while unknown or when the server cannot
    // say (SQL Server 7), which reads the catalogue as 2000 does.
    [[nodiscard]] int ServerMajorVersion() const { return m_serverMajorVersion; }
    // The catalogue views of 2005 and later are read.
    [[nodiscard]] bool ReadsSysCatalogue() const { return m_serverMajorVersion >= 9; }
    [[nodiscard]] int LoginTimeout() const { return m_loginTimeout; }
    void SetLoginTimeout(int Seconds) { m_loginTimeout = Seconds; }

    // Seconds a catalogue read may wait for the server: the settings'
    // "Connection"/"QueryTimeout" (30 by default; 0 waits for ever) unless
    // set here.
    [[nodiscard]] int QueryTimeout() const;
    void SetQueryTimeout(int Seconds) { m_queryTimeoutOverride = Seconds; }
    // Binds a statement to QueryTimeout(), for every reader of the
    // catalogue or of a table's rows.
    void ApplyQueryTimeout(odbc::Statement &Statement) const;

    // The worker's side of running a script (see the thread rules above).
    // Lending twice, or an operation that needs the connection while it is
    // lent, throws EDataAccessError.
    [[nodiscard]] TLentConnection LendConnection();
    void TakeBackConnection(TLentConnection Lent);
    [[nodiscard]] bool ConnectionLent() const { return m_lent; }

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
    void RefuseWhileLent() const;
    [[nodiscard]] QString BuildConnectionText(const QString &Catalog) const;
    [[nodiscard]] std::unique_ptr<odbc::Connection> OpenExtraConnection(const QString &Catalog) const;
    bool NextRow();
    void ReadServerVersion();
    // Throws the Russian reason when the encryption settings explain a
    // failed login (see EncryptionProbe.h); returns otherwise.
    void ExplainEncryptionFailure(const EOdbcError &Error) const;
    // DataFacadeModern.cpp: the 2005+ catalogue.
    void LoadColumnsFromSys(TTable *Table, const QStringList *Primary);
    void PrimaryColumnNamesFromSys(odbc::Statement &Statement, qint32 TableId, QStringList &Names);
    // Throws EQueryTimeout (and drops the connection) when Error is a timeout.
    void FailOnTimeout(const EOdbcError &Error);

    TConnectionProperties m_properties;
    QString m_catalog;
    QString m_rememberedDataBase;
    QString m_driverOverride;
    std::optional<TConnectionSecurity> m_securityOverride;
    int m_serverMajorVersion = 0;
    bool m_serverVersionRead = false;
    int m_loginTimeout = DefaultLoginTimeout;
    int m_queryTimeoutOverride = -1;
    bool m_lent = false;
    int m_openCount = 0;
    QString m_lastOpenError;

    QStringList m_sql;
    // Declared so that the shared statement goes before the connection.
    std::shared_ptr<odbc::Connection> m_connection;
    std::unique_ptr<odbc::Statement> m_statement;
    std::unique_ptr<odbc::Cursor> m_cursor;
};

// The process-wide facade, created on first use.
TDataAccessFacade *DataAccessFacade();
// Destroys it (statement, then connection); called at the end of main.
void DestroyDataAccessFacade();
