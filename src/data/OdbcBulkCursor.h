#pragma once

// Reads a result through bound column arrays: SQL_ATTR_ROW_ARRAY_SIZE rows
// per fetch, each column in a C buffer of its own type (integers, floats,
// timestamps, GUIDs and bytes natively; text only where the value is text,
// as UTF-16), and gives each value's text form (RowSet.h) as UTF-8 without
// a QString. A result with a column whose values have no bound size (text,
// ntext, image, the max types, sql_variant) cannot be read this way; Bind
// says so and the caller reads it value by value (odbc::Cursor).

#include "OdbcCore.h"

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <memory>
#include <vector>

namespace odbc {

class BulkCursor
{
public:
    // Binds the statement's current result; null when a column cannot be
    // bound. RowsPerFetch 0 picks a count for about a megabyte per fetch.
    static std::unique_ptr<BulkCursor> Bind(Statement &statement, int rowsPerFetch = 0);

    [[nodiscard]] int fieldCount() const { return int(m_columns.size()); }
    [[nodiscard]] QString fieldName(int index) const { return m_columns.at(size_t(index)).name; }
    // Moves to the next row, fetching the next block when the current one
    // is used up; false at the end of the result.
    bool fetch();
    [[nodiscard]] bool isNull(int index) const;
    // The text form of the value in UTF-8, appended to Out; nothing for a NULL.
    void appendUtf8(int index, QByteArray &out) const;
    [[nodiscard]] QString asString(int index) const;
    [[nodiscard]] qint64 asInteger(int index) const;

private:
    enum class Kind { Integer, Bit, Exact, Real, Double, Timestamp, Guid, Text, Binary };
    struct Column
    {
        QString name;
        Kind kind = Kind::Text;
        SQLLEN width = 0; // bytes of one element
        std::vector<char> data;
        std::vector<SQLLEN> indicators;
    };

    explicit BulkCursor(Statement &statement) : m_statement(statement) {}
    [[nodiscard]] const Column &column(int index) const;
    [[nodiscard]] const char *element(const Column &c) const { return c.data.data() + m_row * size_t(c.width); }

    Statement &m_statement;
    std::vector<Column> m_columns;
    SQLULEN m_fetched = 0;
    SQLULEN m_row = 0;
    bool m_onRow = false;
    bool m_ended = false;
    mutable QStringEncoder m_encoder{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
};

} // namespace odbc
