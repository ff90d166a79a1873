#include "OdbcBulkCursor.h"

#include "DataErrors.h"
#include "LocaleFormat.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace odbc {

namespace {

// The longest bounded values SQL Server has: 8,000 bytes, 4,000 UTF-16 units.
constexpr SQLULEN maxBoundSize = 8000;
constexpr size_t fetchBudget = size_t(1) << 20;

// Digits with '.' as their point, written with the locale's separator, in
// one append (a QByteArray append is a call into Qt each time).
void appendLocaleNumber(QByteArray &out, const char *begin, const char *end)
{
    const QChar separator = DecimalSeparator();
    const qsizetype start = out.size();
    out.append(begin, end - begin);
    if (separator == u'.')
        return;
    const char *point = std::find(begin, end, '.');
    if (point == end)
        return;
    if (separator.unicode() < 0x80) {
        out[start + (point - begin)] = char(separator.unicode());
        return;
    }
    out.truncate(start + (point - begin));
    out += QString(separator).toUtf8();
    out.append(point + 1, end - point - 1);
}

// The driver's decimal text: every significant digit, trailing fractional
// zeros and a bare point dropped, no "-0" (as exactNumberText).
void appendExact(QByteArray &out, const char *text)
{
    const char *begin = text;
    const char *end = text + std::strlen(text);
    while (begin != end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end != begin && (end[-1] == ' ' || end[-1] == '\t'))
        --end;
    bool negative = begin != end && *begin == '-';
    if (begin != end && (*begin == '-' || *begin == '+'))
        ++begin;
    const char *point = std::find(begin, end, '.');
    if (point != end) {
        while (end > point + 1 && end[-1] == '0')
            --end;
        if (end == point + 1)
            end = point;
    }
    const bool zero = end - begin == 1 && *begin == '0';
    if (begin == end || zero)
        negative = false;
    // The driver's text fits its 48-byte buffer; a sign and a zero more.
    char buffer[64];
    char *p = buffer;
    if (negative)
        *p++ = '-';
    if (begin == end || *begin == '.')
        *p++ = '0';
    const size_t digits = std::min<size_t>(size_t(end - begin), sizeof buffer - 2);
    std::memcpy(p, begin, digits);
    p += digits;
    appendLocaleNumber(out, buffer, p);
}

// The shortest text that reads back to the value, exponent as "E+300"
// (as floatText and realText).
template <typename T> void appendShortest(QByteArray &out, T value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    char *end = result.ptr;
    char *e = std::find(buffer, end, 'e');
    if (e != end) {
        // "1e-05" -> "1E-5": the sign always, the exponent's leading zeros not.
        const char *p = e + 1;
        char sign = '+';
        if (p != end && (*p == '-' || *p == '+'))
            sign = *p++;
        while (end - p > 1 && *p == '0')
            ++p;
        char exponent[8];
        const size_t n = std::min<size_t>(size_t(end - p), sizeof exponent);
        std::memcpy(exponent, p, n);
        *e = 'E';
        e[1] = sign;
        std::memcpy(e + 2, exponent, n);
        end = e + 2 + n;
    }
    appendLocaleNumber(out, buffer, end);
}

// Value as decimal digits, zero-padded to Width, at P; returns the end.
char *writeDigits(char *p, unsigned value, int width)
{
    char buffer[16];
    int n = 0;
    do {
        buffer[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int k = n; k < width; ++k)
        *p++ = '0';
    while (n > 0)
        *p++ = buffer[--n];
    return p;
}

void appendHex(QByteArray &out, const unsigned char *bytes, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    const qsizetype start = out.size();
    out.resize(start + qsizetype(2 * n));
    char *p = out.data() + start;
    for (size_t i = 0; i < n; ++i) {
        *p++ = digits[bytes[i] >> 4];
        *p++ = digits[bytes[i] & 15];
    }
}

} // namespace

std::unique_ptr<BulkCursor> BulkCursor::Bind(Statement &statement, int rowsPerFetch)
{
    std::unique_ptr<BulkCursor> cursor(new BulkCursor(statement));
    const SQLSMALLINT count = statement.columnCount();
    size_t rowBytes = 0;
    for (SQLSMALLINT i = 0; i < count; ++i) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0, type = 0, scale = 0, nullable = 0;
        SQLULEN size = 0;
        statement.check(SQLDescribeColW(statement.get(), SQLUSMALLINT(i + 1), name, SQLSMALLINT(std::size(name)),
                                        &nameLength, &type, &size, &scale, &nullable),
                        "SQLDescribeCol");
        Column column;
        column.name = fromWide(name, qMin<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
        switch (type) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            column.kind = Kind::Integer;
            column.width = sizeof(SQLBIGINT);
            break;
        case SQL_BIT:
            column.kind = Kind::Bit;
            column.width = 1;
            break;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            // 38 digits, a sign, a point and the terminator.
            column.kind = Kind::Exact;
            column.width = 48;
            break;
        case SQL_REAL:
            column.kind = Kind::Real;
            column.width = sizeof(float);
            break;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            column.kind = Kind::Double;
            column.width = sizeof(double);
            break;
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATETIME:
            column.kind = Kind::Timestamp;
            column.width = sizeof(SQL_TIMESTAMP_STRUCT);
            break;
        case SQL_GUID:
            column.kind = Kind::Guid;
            column.width = sizeof(SQLGUID);
            break;
        case SQL_BINARY:
        case SQL_VARBINARY:
            if (size == 0 || size > maxBoundSize)
                return nullptr;
            column.kind = Kind::Binary;
            column.width = SQLLEN(size);
            break;
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
            // A character of a varchar is at most one UTF-16 unit.
            if (size == 0 || size > maxBoundSize)
                return nullptr;
            column.kind = Kind::Text;
            column.width = SQLLEN((size + 1) * sizeof(SQLWCHAR));
            break;
        default:
            return nullptr;
        }
        rowBytes += size_t(column.width) + sizeof(SQLLEN);
        cursor->m_columns.push_back(std::move(column));
    }
    const size_t rows = rowsPerFetch > 0 ? size_t(rowsPerFetch) : std::clamp<size_t>(fetchBudget / std::max<size_t>(rowBytes, 1), 1, 1024);
    const SQLHSTMT stmt = statement.get();
    statement.check(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN), 0), "SQLSetStmtAttr");
    statement.check(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(rows), 0), "SQLSetStmtAttr");
    statement.check(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &cursor->m_fetched, 0), "SQLSetStmtAttr");
    for (size_t i = 0; i < cursor->m_columns.size(); ++i) {
        Column &c = cursor->m_columns[i];
        c.data.resize(rows * size_t(c.width));
        c.indicators.resize(rows);
        static const SQLSMALLINT cTypes[] = {SQL_C_SBIGINT, SQL_C_BIT,  SQL_C_CHAR,  SQL_C_FLOAT, SQL_C_DOUBLE,
                                             SQL_C_TYPE_TIMESTAMP, SQL_C_GUID, SQL_C_WCHAR, SQL_C_BINARY};
        statement.check(SQLBindCol(stmt, SQLUSMALLINT(i + 1), cTypes[int(c.kind)], c.data.data(), c.width, c.indicators.data()),
                        "SQLBindCol");
    }
    return cursor;
}

bool BulkCursor::fetch()
{
    m_onRow = false;
    if (m_ended)
        return false;
    if (m_row + 1 < m_fetched) {
        ++m_row;
        m_onRow = true;
        return true;
    }
    m_fetched = 0;
    if (!m_statement.fetch() || m_fetched == 0) {
        m_ended = true;
        return false;
    }
    // A value cut to its buffer would be a wrong value in the script.
    for (const Column &c : m_columns) {
        const SQLLEN room = c.kind == Kind::Text ? c.width - SQLLEN(sizeof(SQLWCHAR)) : c.kind == Kind::Exact ? c.width - 1 : c.width;
        for (SQLULEN r = 0; r < m_fetched; ++r) {
            const SQLLEN n = c.indicators[r];
            if (n != SQL_NULL_DATA && (n == SQL_NO_TOTAL || n > room))
                throw EDataAccessError(QStringLiteral("Значение поля «%1» длиннее, чем сообщил сервер.").arg(c.name));
        }
    }
    m_row = 0;
    m_onRow = true;
    return true;
}

const BulkCursor::Column &BulkCursor::column(int index) const
{
    if (!m_onRow)
        throw EDataAccessError(QStringLiteral("Нет текущей строки."));
    if (index < 0 || index >= fieldCount())
        throw EDataAccessError(QStringLiteral("Нет поля с номером %1.").arg(index));
    return m_columns[size_t(index)];
}

bool BulkCursor::isNull(int index) const
{
    return column(index).indicators[m_row] == SQL_NULL_DATA;
}

void BulkCursor::appendUtf8(int index, QByteArray &out) const
{
    const Column &c = column(index);
    const SQLLEN length = c.indicators[m_row];
    if (length == SQL_NULL_DATA)
        return;
    const char *value = element(c);
    switch (c.kind) {
    case Kind::Integer: {
        SQLBIGINT number = 0;
        std::memcpy(&number, value, sizeof number);
        char buffer[24];
        out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, qint64(number)).ptr - buffer);
        break;
    }
    case Kind::Bit:
        out += *value ? '1' : '0';
        break;
    case Kind::Exact:
        appendExact(out, value);
        break;
    case Kind::Real: {
        float number = 0;
        std::memcpy(&number, value, sizeof number);
        appendShortest(out, number);
        break;
    }
    case Kind::Double: {
        double number = 0;
        std::memcpy(&number, value, sizeof number);
        appendShortest(out, number);
        break;
    }
    case Kind::Timestamp: {
        SQL_TIMESTAMP_STRUCT t;
        std::memcpy(&t, value, sizeof t);
        // dd.MM.yyyy hh:mm:ss[.zzz]
        char buffer[40];
        char *p = writeDigits(buffer, t.day, 2);
        *p++ = '.';
        p = writeDigits(p, t.month, 2);
        *p++ = '.';
        p = writeDigits(p, unsigned(t.year), 4);
        *p++ = ' ';
        p = writeDigits(p, t.hour, 2);
        *p++ = ':';
        p = writeDigits(p, t.minute, 2);
        *p++ = ':';
        p = writeDigits(p, t.second, 2);
        if (const unsigned milliseconds = unsigned(t.fraction / 1000000u); milliseconds != 0) {
            *p++ = '.';
            p = writeDigits(p, milliseconds, 3);
        }
        out.append(buffer, p - buffer);
        break;
    }
    case Kind::Guid: {
        SQLGUID g;
        std::memcpy(&g, value, sizeof g);
        const unsigned char head[8] = {static_cast<unsigned char>(g.Data1 >> 24), static_cast<unsigned char>(g.Data1 >> 16),
                                       static_cast<unsigned char>(g.Data1 >> 8),  static_cast<unsigned char>(g.Data1),
                                       static_cast<unsigned char>(g.Data2 >> 8),  static_cast<unsigned char>(g.Data2),
                                       static_cast<unsigned char>(g.Data3 >> 8),  static_cast<unsigned char>(g.Data3)};
        appendHex(out, head, 4);
        out += '-';
        appendHex(out, head + 4, 2);
        out += '-';
        appendHex(out, head + 6, 2);
        out += '-';
        appendHex(out, g.Data4, 2);
        out += '-';
        appendHex(out, g.Data4 + 2, 6);
        break;
    }
    case Kind::Binary:
        appendHex(out, reinterpret_cast<const unsigned char *>(value), size_t(length));
        break;
    case Kind::Text: {
        const QStringView text(reinterpret_cast<const char16_t *>(value), qsizetype(length) / qsizetype(sizeof(SQLWCHAR)));
        const qsizetype start = out.size();
        out.resize(start + m_encoder.requiredSpace(text.size()));
        char *end = m_encoder.appendToBuffer(out.data() + start, text);
        out.truncate(end - out.constData());
        break;
    }
    }
}

QString BulkCursor::asString(int index) const
{
    QByteArray text;
    appendUtf8(index, text);
    return isNull(index) ? QString() : QString::fromUtf8(text);
}

qint64 BulkCursor::asInteger(int index) const
{
    const Column &c = column(index);
    if (c.indicators[m_row] == SQL_NULL_DATA)
        return 0;
    if (c.kind == Kind::Integer) {
        SQLBIGINT number = 0;
        std::memcpy(&number, element(c), sizeof number);
        return number;
    }
    if (c.kind == Kind::Bit)
        return *element(c) ? 1 : 0;
    bool ok = false;
    const qint64 number = asString(index).trimmed().toLongLong(&ok);
    if (!ok)
        throw EDataAccessError(QStringLiteral("Значение поля «%1» не является целым числом.").arg(c.name));
    return number;
}

} // namespace odbc
