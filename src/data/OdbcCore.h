#pragma once

// The thin layer over unixODBC that the facade, the row sets and the script
// command stand on: handles that free themselves, one checking funnel for
// every call, the wide-character conversions.
//
// Only the wide (W) entry points are used, so text reaches the driver as
// UTF-16 and Cyrillic survives whatever the process locale is. Statements are
// sent with SQLExecDirectW and never carry parameter markers: the FreeTDS
// driver turns prepared statements, bound parameters and catalogue functions
// into RPC calls.
//
// Thread rules: a connection and its statements are used by one thread at a
// time; nothing here locks.

#include "DataErrors.h"

#include <QList>
#include <QString>

#include <sql.h>
#include <sqlext.h>

#include <string>

namespace odbc {

// UTF-16 text as the W functions take it (unixODBC's SQLWCHAR is 16 bits).
using WideString = std::basic_string<SQLWCHAR>;
[[nodiscard]] WideString toWide(const QString &text);
[[nodiscard]] QString fromWide(const SQLWCHAR *text, qsizetype length);

// Every diagnostic record of a handle, in order.
[[nodiscard]] QList<TOdbcDiagnostic> readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// The funnel: SQL_SUCCESS, SQL_SUCCESS_WITH_INFO, SQL_NO_DATA and
// SQL_NEED_DATA pass through; anything else throws EOdbcError with all the
// handle's diagnostic records. `what` names the call for the message when
// the driver left no record.
SQLRETURN check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char *what);

[[nodiscard]] inline bool succeeded(SQLRETURN rc)
{
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// One ODBC handle. The destructor frees it and never throws.
class Handle
{
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE parent);
    ~Handle();
    Handle(Handle &&other) noexcept;
    Handle &operator=(Handle &&other) noexcept;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    [[nodiscard]] SQLHANDLE get() const { return m_handle; }
    [[nodiscard]] SQLSMALLINT type() const { return m_type; }
    [[nodiscard]] explicit operator bool() const { return m_handle != SQL_NULL_HANDLE; }
    void reset() noexcept;

    // The funnel for a call on this handle.
    SQLRETURN check(SQLRETURN rc, const char *what) const { return odbc::check(rc, m_type, m_handle, what); }

private:
    SQLSMALLINT m_type = 0;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

// The process's ODBC environment (ODBC 3), created on first use.
SQLHENV environment();

// One connection, opened with a complete connection string.
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Throws EOdbcError when the driver refuses; the connection stays closed.
    // An opened connection reads long values whole (SET TEXTSIZE at its
    // maximum).
    void open(const QString &connectionString, int loginTimeoutSeconds);
    void close() noexcept;
    [[nodiscard]] bool isOpen() const { return m_open; }
    // The database the session is in now (a script's USE changes it).
    [[nodiscard]] QString currentCatalog() const;
    [[nodiscard]] SQLHDBC get() const { return m_dbc.get(); }

private:
    Handle m_dbc;
    bool m_open = false;
};

// One statement on an open connection.
class Statement
{
public:
    explicit Statement(const Connection &connection);

    [[nodiscard]] SQLHSTMT get() const { return m_stmt.get(); }
    // Runs text as one batch. Returns the driver's code (SQL_SUCCESS,
    // SQL_SUCCESS_WITH_INFO or SQL_NO_DATA); with `throwOnError` false an
    // error comes back as SQL_ERROR for the caller to read.
    SQLRETURN execDirect(const QString &text, bool throwOnError = true);
    SQLRETURN moreResults(bool throwOnError = true);
    [[nodiscard]] SQLSMALLINT columnCount();
    [[nodiscard]] SQLLEN rowCount();
    // Fetches the next row; false at the end of the result.
    bool fetch();
    // How long a call may wait for the server (0: for ever); past it the
    // call fails with SQLSTATE HYT00.
    void setQueryTimeout(int seconds);
    // Drops what is left of the current results, so the connection is free.
    void closeCursor() noexcept;
    SQLRETURN check(SQLRETURN rc, const char *what) const { return m_stmt.check(rc, what); }

private:
    Handle m_stmt;
};

} // namespace odbc
