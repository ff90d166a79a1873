#pragma once

// Reads the rows of a statement's current result: each row's values are
// fetched once, into C buffers of the column's own type (SQLGetData, in
// column order), and turned into text only when asked. Only one row is held
// at a time, so a table of millions of rows streams through.

#include "OdbcCore.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

namespace odbc {

// The text forms of values that the row sets promise (see RowSet.h).
[[nodiscard]] QString exactNumberText(QByteArray driverText);
[[nodiscard]] QString floatText(double value);
[[nodiscard]] QString realText(float value);
[[nodiscard]] QString timestampText(const SQL_TIMESTAMP_STRUCT &value);
[[nodiscard]] QString guidText(const SQLGUID &value);
// A sql_variant value as the driver gives it in text, turned into the text
// form of a value of its base type ("float", "datetime", ...): the driver
// writes floats with every digit, dates year first, binaries in lower-case
// hex. Texts of base types it does not know stay as they are.
[[nodiscard]] QString variantText(const QString &baseType, const QString &driverText);

class Cursor
{
public:
    // Describes the current result of the statement.
    explicit Cursor(Statement &statement);

    [[nodiscard]] int fieldCount() const { return int(m_columns.size()); }
    [[nodiscard]] QString fieldName(int index) const { return m_columns.at(size_t(index)).name; }
    // Position of a field by name, ignoring case; -1 when none.
    [[nodiscard]] int fieldIndex(const QString &name) const;

    // Reads the next row; false at the end of the result.
    bool fetch();

    [[nodiscard]] bool isNull(int index) const;
    [[nodiscard]] QString asString(int index) const;
    [[nodiscard]] qint64 asInteger(int index) const;

    // Field access by name for the catalogue queries: a missing field is an
    // error, as it is for the client library.
    [[nodiscard]] int requireField(const QString &name) const;

private:
    enum class Kind { Integer, Bit, Exact, Real, Double, Timestamp, Guid, Text, Binary };
    struct Column
    {
        QString name;
        SQLSMALLINT sqlType = 0;
        Kind kind = Kind::Text;
    };
    struct Value
    {
        bool null = true;
        qint64 integer = 0;
        double number = 0;
        float real = 0;
        SQL_TIMESTAMP_STRUCT timestamp{};
        SQLGUID guid{};
        QString text;
        QByteArray bytes;
    };

    void readColumn(int index);
    void readText(int index, Value &value);
    void readBytes(int index, Value &value, SQLSMALLINT cType);
    const Value &valueAt(int index) const;

    Statement &m_statement;
    std::vector<Column> m_columns;
    std::vector<Value> m_values;
    std::vector<SQLWCHAR> m_wideBuffer;
    bool m_onRow = false;
};

} // namespace odbc
