#include "OdbcRowSet.h"

TOdbcRowSet::TOdbcRowSet(std::unique_ptr<odbc::Connection> connection, const QString &countSql, const QString &selectSql)
    : m_connection(std::move(connection))
{
    {
        odbc::Statement count(*m_connection);
        count.execDirect(countSql);
        odbc::Cursor cursor(count);
        if (cursor.fieldCount() < 1 || !cursor.fetch())
            throw EDataAccessError(QStringLiteral("Не удалось узнать число строк таблицы."));
        m_recordCount = cursor.asInteger(0);
        count.closeCursor();
    }
    m_statement = std::make_unique<odbc::Statement>(*m_connection);
    m_statement->execDirect(selectSql);
    m_cursor = std::make_unique<odbc::Cursor>(*m_statement);
    m_eof = !m_cursor->fetch();
}

TOdbcRowSet::~TOdbcRowSet()
{
    // Statements go before their connection.
    m_cursor.reset();
    m_statement.reset();
    m_connection.reset();
}

void TOdbcRowSet::Next()
{
    if (m_eof)
        return;
    m_eof = !m_cursor->fetch();
}
