#include "OdbcCore.h"

#include <QRegularExpression>

#include <mutex>

namespace odbc {

namespace {

// SQL Server's driver-specific diagnostic fields, which FreeTDS also fills.
constexpr SQLSMALLINT diagMsgState = -1150;
constexpr SQLSMALLINT diagLine = -1154;

QString stripVendorPrefixes(QString text)
{
    // "[unixODBC][FreeTDS][SQL Server]Login failed ..." -> "Login failed ..."
    static const QRegularExpression prefix(QStringLiteral("^(\\[[^\\]]*\\])+"));
    text.remove(prefix);
    return text.trimmed();
}

} // namespace

WideString toWide(const QString &text)
{
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
    return WideString(reinterpret_cast<const SQLWCHAR *>(text.utf16()), size_t(text.size()));
}

QString fromWide(const SQLWCHAR *text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), length);
}

QList<TOdbcDiagnostic> readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    QList<TOdbcDiagnostic> records;
    if (handle == SQL_NULL_HANDLE)
        return records;
    for (SQLSMALLINT number = 1;; ++number) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, number, state, &native, nullptr, 0, &length);
        if (!succeeded(rc))
            break;
        WideString text(size_t(length) + 1, SQLWCHAR(0));
        rc = SQLGetDiagRecW(handleType, handle, number, state, &native, text.data(), SQLSMALLINT(text.size()), &length);
        if (!succeeded(rc))
            break;
        TOdbcDiagnostic record;
        record.SqlState = fromWide(state, 5);
        record.NativeError = int(native);
        record.Text = stripVendorPrefixes(fromWide(text.data(), qMin<qsizetype>(length, qsizetype(text.size()) - 1)));
        SQLUSMALLINT line = 0;
        if (succeeded(SQLGetDiagFieldW(handleType, handle, number, diagLine, &line, SQL_IS_USMALLINT, nullptr)))
            record.Line = line;
        SQLINTEGER msgState = 0;
        if (succeeded(SQLGetDiagFieldW(handleType, handle, number, diagMsgState, &msgState, SQL_IS_INTEGER, nullptr)))
            record.State = int(msgState);
        records << record;
    }
    return records;
}

SQLRETURN check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char *what)
{
    switch (rc) {
    case SQL_SUCCESS:
    case SQL_SUCCESS_WITH_INFO:
    case SQL_NO_DATA:
    case SQL_NEED_DATA:
        return rc;
    case SQL_INVALID_HANDLE:
        throw EOdbcError(QString::fromLatin1(what), {TOdbcDiagnostic{QStringLiteral("HY000"), 0,
                                                                     QStringLiteral("%1: invalid handle").arg(QLatin1String(what)), 0, 0}});
    default:
        throw EOdbcError(QString::fromLatin1(what), readDiagnostics(handleType, handle));
    }
}

Handle::Handle(SQLSMALLINT type, SQLHANDLE parent)
    : m_type(type)
{
    if (succeeded(SQLAllocHandle(type, parent, &m_handle)))
        return;
    m_handle = SQL_NULL_HANDLE;
    // The reasons of a failed allocation are kept by the parent.
    const SQLSMALLINT parentType = type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC;
    throw EOdbcError(QStringLiteral("SQLAllocHandle"),
                     type == SQL_HANDLE_ENV ? QList<TOdbcDiagnostic>{} : readDiagnostics(parentType, parent));
}

Handle::~Handle()
{
    reset();
}

Handle::Handle(Handle &&other) noexcept
    : m_type(other.m_type)
    , m_handle(other.m_handle)
{
    other.m_handle = SQL_NULL_HANDLE;
}

Handle &Handle::operator=(Handle &&other) noexcept
{
    if (this != &other) {
        reset();
        m_type = other.m_type;
        m_handle = other.m_handle;
        other.m_handle = SQL_NULL_HANDLE;
    }
    return *this;
}

void Handle::reset() noexcept
{
    if (m_handle != SQL_NULL_HANDLE)
        SQLFreeHandle(m_type, m_handle);
    m_handle = SQL_NULL_HANDLE;
}

SQLHENV environment()
{
    // Lives until the process ends: row sets on worker threads and static
    // singletons may still hold connections while other statics go.
    static Handle *env = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        auto handle = new Handle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
        handle->check(SQLSetEnvAttr(handle->get(), SQL_ATTR_ODBC_VERSION,
                                    reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                      "SQLSetEnvAttr(SQL_ATTR_ODBC_VERSION)");
        env = handle;
    });
    return env->get();
}

Connection::Connection()
    : m_dbc(SQL_HANDLE_DBC, environment())
{
}

Connection::~Connection()
{
    close();
}

void Connection::open(const QString &connectionString, int loginTimeoutSeconds)
{
    close();
    // A failed SQLDriverConnect can leave the handle in a state where
    // attributes no longer apply; start from a fresh one each time.
    m_dbc = Handle(SQL_HANDLE_DBC, environment());
    if (loginTimeoutSeconds > 0)
        m_dbc.check(SQLSetConnectAttrW(m_dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                                       reinterpret_cast<SQLPOINTER>(SQLULEN(loginTimeoutSeconds)), SQL_IS_UINTEGER),
                    "SQLSetConnectAttr(SQL_ATTR_LOGIN_TIMEOUT)");
    WideString text = toWide(connectionString);
    SQLSMALLINT outLength = 0;
    m_dbc.check(SQLDriverConnectW(m_dbc.get(), nullptr, text.data(), SQLSMALLINT(text.size()), nullptr, 0,
                                  &outLength, SQL_DRIVER_NOPROMPT),
                "SQLDriverConnect");
    m_open = true;
    try {
        // The server's session default cuts text, ntext, image and max values
        // to 4,096 bytes in every result, without a word; the driver does not
        // raise it. Every connection the program opens reads values whole.
        Statement statement(*this);
        statement.execDirect(QStringLiteral("SET TEXTSIZE 2147483647"));
        statement.closeCursor();
    } catch (...) {
        close();
        throw;
    }
}

QString Connection::currentCatalog() const
{
    SQLWCHAR name[260] = {};
    SQLINTEGER length = 0;
    m_dbc.check(SQLGetConnectAttrW(m_dbc.get(), SQL_ATTR_CURRENT_CATALOG, name, SQLINTEGER(sizeof name), &length),
                "SQLGetConnectAttr(SQL_ATTR_CURRENT_CATALOG)");
    const qsizetype characters = qBound<qsizetype>(0, length / qsizetype(sizeof(SQLWCHAR)), qsizetype(std::size(name)) - 1);
    return fromWide(name, characters);
}

void Connection::close() noexcept
{
    if (m_open && m_dbc)
        SQLDisconnect(m_dbc.get());
    m_open = false;
}

Statement::Statement(const Connection &connection)
    : m_stmt(SQL_HANDLE_STMT, connection.get())
{
}

SQLRETURN Statement::execDirect(const QString &text, bool throwOnError)
{
    WideString wide = toWide(text);
    const SQLRETURN rc = SQLExecDirectW(m_stmt.get(), wide.data(), SQLINTEGER(wide.size()));
    return throwOnError ? m_stmt.check(rc, "SQLExecDirect") : rc;
}

SQLRETURN Statement::moreResults(bool throwOnError)
{
    const SQLRETURN rc = SQLMoreResults(m_stmt.get());
    return throwOnError ? m_stmt.check(rc, "SQLMoreResults") : rc;
}

SQLSMALLINT Statement::columnCount()
{
    SQLSMALLINT count = 0;
    m_stmt.check(SQLNumResultCols(m_stmt.get(), &count), "SQLNumResultCols");
    return count;
}

SQLLEN Statement::rowCount()
{
    SQLLEN count = -1;
    m_stmt.check(SQLRowCount(m_stmt.get(), &count), "SQLRowCount");
    return count;
}

bool Statement::fetch()
{
    return m_stmt.check(SQLFetch(m_stmt.get()), "SQLFetch") != SQL_NO_DATA;
}

void Statement::setQueryTimeout(int seconds)
{
    m_stmt.check(SQLSetStmtAttrW(m_stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                                 reinterpret_cast<SQLPOINTER>(SQLULEN(qMax(seconds, 0))), SQL_IS_UINTEGER),
                 "SQLSetStmtAttr(SQL_ATTR_QUERY_TIMEOUT)");
}

void Statement::closeCursor() noexcept
{
    if (m_stmt)
        SQLFreeStmt(m_stmt.get(), SQL_CLOSE);
}

} // namespace odbc
