#include "OdbcCursor.h"

#include "LocaleFormat.h"

#include <charconv>
#include <cstdio>

namespace odbc {

namespace {

// SQL Server's sql_variant as drivers report it.
constexpr SQLSMALLINT sqlVariant = -150;
// A variant holds at most 8,000 bytes of data; as text (binary as hex digits)
// that is at most 16,000 characters, plus the terminator.
constexpr size_t variantChars = 16001;

QString localeNumber(QString text)
{
    const QChar separator = DecimalSeparator();
    if (separator != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), separator);
    return text;
}

// "1e-05" -> "1E-5", "1.5e+300" -> "1.5E+300": the exponent without padding.
QString shortestText(const char *begin, const char *end)
{
    QString text = QString::fromLatin1(begin, end - begin);
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    if (e >= 0) {
        QString mantissa = text.left(e);
        QString exponent = text.mid(e + 1);
        QChar sign = QLatin1Char('+');
        if (exponent.startsWith(QLatin1Char('-')) || exponent.startsWith(QLatin1Char('+'))) {
            sign = exponent.at(0);
            exponent.remove(0, 1);
        }
        while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0')))
            exponent.remove(0, 1);
        text = mantissa + QLatin1Char('E') + sign + exponent;
    }
    return localeNumber(text);
}

} // namespace

QString exactNumberText(QByteArray text)
{
    text = text.trimmed();
    bool negative = text.startsWith('-');
    if (negative || text.startsWith('+'))
        text.remove(0, 1);
    const qsizetype point = text.indexOf('.');
    if (point >= 0) {
        qsizetype end = text.size();
        while (end > point + 1 && text.at(end - 1) == '0')
            --end;
        if (end == point + 1)
            end = point;
        text.truncate(end);
    }
    if (text.isEmpty() || text.startsWith('.'))
        text.prepend('0');
    if (text == "0")
        negative = false;
    QString result = QString::fromLatin1(text);
    if (negative)
        result.prepend(QLatin1Char('-'));
    return localeNumber(result);
}

QString floatText(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return shortestText(buffer, result.ptr);
}

QString realText(float value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return shortestText(buffer, result.ptr);
}

QString timestampText(const SQL_TIMESTAMP_STRUCT &value)
{
    QString text = QStringLiteral("%1.%2.%3 %4:%5:%6")
                       .arg(value.day, 2, 10, QLatin1Char('0'))
                       .arg(value.month, 2, 10, QLatin1Char('0'))
                       .arg(value.year, 4, 10, QLatin1Char('0'))
                       .arg(value.hour, 2, 10, QLatin1Char('0'))
                       .arg(value.minute, 2, 10, QLatin1Char('0'))
                       .arg(value.second, 2, 10, QLatin1Char('0'));
    const unsigned milliseconds = unsigned(value.fraction / 1000000u);
    if (milliseconds != 0)
        text += QStringLiteral(".%1").arg(milliseconds, 3, 10, QLatin1Char('0'));
    return text;
}

QString guidText(const SQLGUID &value)
{
    QString text = QStringLiteral("%1-%2-%3-")
                       .arg(uint(value.Data1), 8, 16, QLatin1Char('0'))
                       .arg(uint(value.Data2), 4, 16, QLatin1Char('0'))
                       .arg(uint(value.Data3), 4, 16, QLatin1Char('0'));
    for (int i = 0; i < 8; ++i) {
        if (i == 2)
            text += QLatin1Char('-');
        text += QStringLiteral("%1").arg(uint(value.Data4[i]), 2, 16, QLatin1Char('0'));
    }
    return text.toUpper();
}

QString variantText(const QString &baseType, const QString &driverText)
{
    const QString type = baseType.trimmed().toLower();
    const QByteArray text = driverText.trimmed().toLatin1();
    const char *begin = text.constData();
    const char *end = begin + text.size();
    if (type == QLatin1String("float")) {
        double value = 0;
        if (std::from_chars(begin, end, value).ec == std::errc())
            return floatText(value);
    } else if (type == QLatin1String("real")) {
        float value = 0;
        if (std::from_chars(begin, end, value).ec == std::errc())
            return realText(value);
    } else if (type == QLatin1String("decimal") || type == QLatin1String("numeric") || type == QLatin1String("money")
               || type == QLatin1String("smallmoney")) {
        return exactNumberText(text);
    } else if (type == QLatin1String("datetime") || type == QLatin1String("smalldatetime")) {
        // yyyy-mm-dd hh:mm:ss[.fff]
        SQL_TIMESTAMP_STRUCT value{};
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
        if (std::sscanf(begin, "%d-%d-%d %d:%d:%d%n", &year, &month, &day, &hour, &minute, &second, &consumed) == 6) {
            value.year = SQLSMALLINT(year);
            value.month = SQLUSMALLINT(month);
            value.day = SQLUSMALLINT(day);
            value.hour = SQLUSMALLINT(hour);
            value.minute = SQLUSMALLINT(minute);
            value.second = SQLUSMALLINT(second);
            if (consumed < text.size() && text.at(consumed) == '.') {
                QByteArray digits = text.mid(consumed + 1, 3);
                while (digits.size() < 3)
                    digits.append('0');
                value.fraction = SQLUINTEGER(digits.toUInt() * 1000000u);
            }
            return timestampText(value);
        }
    } else if (type == QLatin1String("binary") || type == QLatin1String("varbinary")) {
        QString hex = driverText.trimmed().toUpper();
        if (hex.startsWith(QLatin1String("0X")))
            hex.remove(0, 2);
        return hex;
    } else if (type == QLatin1String("uniqueidentifier")) {
        return driverText.trimmed().toUpper();
    } else if (type == QLatin1String("bit") || type == QLatin1String("tinyint") || type == QLatin1String("smallint")
               || type == QLatin1String("int") || type == QLatin1String("bigint")) {
        return driverText.trimmed();
    }
    return driverText;
}

Cursor::Cursor(Statement &statement)
    : m_statement(statement)
    , m_wideBuffer(512)
{
    const SQLSMALLINT count = statement.columnCount();
    m_columns.resize(size_t(count));
    m_values.resize(size_t(count));
    for (SQLSMALLINT i = 0; i < count; ++i) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0, type = 0, scale = 0, nullable = 0;
        SQLULEN size = 0;
        statement.check(SQLDescribeColW(statement.get(), SQLUSMALLINT(i + 1), name, SQLSMALLINT(std::size(name)),
                                        &nameLength, &type, &size, &scale, &nullable),
                        "SQLDescribeCol");
        Column &column = m_columns[size_t(i)];
        column.name = fromWide(name, qMin<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
        column.sqlType = type;
        switch (type) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            column.kind = Kind::Integer;
            break;
        case SQL_BIT:
            column.kind = Kind::Bit;
            break;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            column.kind = Kind::Exact;
            break;
        case SQL_REAL:
            column.kind = Kind::Real;
            break;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            column.kind = Kind::Double;
            break;
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATETIME:
            column.kind = Kind::Timestamp;
            break;
        case SQL_GUID:
            column.kind = Kind::Guid;
            break;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            column.kind = Kind::Binary;
            break;
        case sqlVariant:
        default:
            column.kind = Kind::Text;
            break;
        }
    }
}

int Cursor::fieldIndex(const QString &name) const
{
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

int Cursor::requireField(const QString &name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw EDataAccessError(QStringLiteral("В результате запроса нет поля «%1».").arg(name));
    return index;
}

bool Cursor::fetch()
{
    m_onRow = false;
    if (!m_statement.fetch())
        return false;
    for (int i = 0; i < fieldCount(); ++i)
        readColumn(i);
    m_onRow = true;
    return true;
}

void Cursor::readColumn(int index)
{
    Value &value = m_values[size_t(index)];
    const SQLUSMALLINT number = SQLUSMALLINT(index + 1);
    SQLLEN indicator = 0;
    const SQLHSTMT stmt = m_statement.get();
    switch (m_columns[size_t(index)].kind) {
    case Kind::Integer: {
        SQLBIGINT number64 = 0;
        m_statement.check(SQLGetData(stmt, number, SQL_C_SBIGINT, &number64, sizeof number64, &indicator), "SQLGetData");
        value.integer = number64;
        break;
    }
    case Kind::Bit: {
        unsigned char bit = 0;
        m_statement.check(SQLGetData(stmt, number, SQL_C_BIT, &bit, sizeof bit, &indicator), "SQLGetData");
        value.integer = bit ? 1 : 0;
        break;
    }
    case Kind::Exact: {
        // The driver's own decimal text keeps every digit; 38 digits, sign
        // and point fit easily.
        char buffer[80] = {};
        m_statement.check(SQLGetData(stmt, number, SQL_C_CHAR, buffer, sizeof buffer, &indicator), "SQLGetData");
        if (indicator != SQL_NULL_DATA)
            value.bytes = QByteArray(buffer);
        break;
    }
    case Kind::Real:
        m_statement.check(SQLGetData(stmt, number, SQL_C_FLOAT, &value.real, sizeof value.real, &indicator), "SQLGetData");
        break;
    case Kind::Double:
        m_statement.check(SQLGetData(stmt, number, SQL_C_DOUBLE, &value.number, sizeof value.number, &indicator), "SQLGetData");
        break;
    case Kind::Timestamp:
        m_statement.check(SQLGetData(stmt, number, SQL_C_TYPE_TIMESTAMP, &value.timestamp, sizeof value.timestamp, &indicator),
                          "SQLGetData");
        break;
    case Kind::Guid:
        m_statement.check(SQLGetData(stmt, number, SQL_C_GUID, &value.guid, sizeof value.guid, &indicator), "SQLGetData");
        break;
    case Kind::Text:
        readText(index, value);
        return;
    case Kind::Binary:
        readBytes(index, value, SQL_C_BINARY);
        return;
    }
    value.null = indicator == SQL_NULL_DATA;
}

void Cursor::readText(int index, Value &value)
{
    // Long values arrive in pieces: each call fills the buffer (with its
    // terminator) and reports 01004 until the last piece.
    value.text.clear();
    value.null = false;
    const SQLUSMALLINT number = SQLUSMALLINT(index + 1);
    // FreeTDS converts a sql_variant whole on every call and never reports
    // the end of a piecewise read, so a variant (8,016 bytes at most) is
    // read in one call with room for all of it.
    const bool variant = m_columns[size_t(index)].sqlType == sqlVariant;
    if (variant && m_wideBuffer.size() < variantChars)
        m_wideBuffer.resize(variantChars);
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = m_statement.check(SQLGetData(m_statement.get(), number, SQL_C_WCHAR, m_wideBuffer.data(),
                                                          SQLLEN(m_wideBuffer.size() * sizeof(SQLWCHAR)), &indicator),
                                               "SQLGetData");
        if (rc == SQL_NO_DATA)
            return;
        if (indicator == SQL_NULL_DATA) {
            value.null = true;
            return;
        }
        const qsizetype capacity = qsizetype(m_wideBuffer.size()) - 1;
        const qsizetype available = indicator == SQL_NO_TOTAL ? capacity : qsizetype(indicator / qsizetype(sizeof(SQLWCHAR)));
        const qsizetype piece = qMin(available, capacity);
        value.text.append(fromWide(m_wideBuffer.data(), piece));
        if (rc == SQL_SUCCESS || variant)
            return;
        // Truncated: grow for the rest when the driver told its size.
        if (indicator != SQL_NO_TOTAL && available > capacity)
            m_wideBuffer.resize(size_t(qMin<qsizetype>(available - capacity + 1, 1 << 20)) + 1);
    }
}

void Cursor::readBytes(int index, Value &value, SQLSMALLINT cType)
{
    value.bytes.clear();
    value.null = false;
    const SQLUSMALLINT number = SQLUSMALLINT(index + 1);
    char buffer[4096];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = m_statement.check(SQLGetData(m_statement.get(), number, cType, buffer, sizeof buffer, &indicator),
                                               "SQLGetData");
        if (rc == SQL_NO_DATA)
            return;
        if (indicator == SQL_NULL_DATA) {
            value.null = true;
            return;
        }
        const qsizetype piece = indicator == SQL_NO_TOTAL ? qsizetype(sizeof buffer)
                                                          : qMin<qsizetype>(indicator, qsizetype(sizeof buffer));
        value.bytes.append(buffer, piece);
        if (rc == SQL_SUCCESS)
            return;
    }
}

const Cursor::Value &Cursor::valueAt(int index) const
{
    if (!m_onRow)
        throw EDataAccessError(QStringLiteral("Нет текущей строки."));
    if (index < 0 || index >= fieldCount())
        throw EDataAccessError(QStringLiteral("Нет поля с номером %1.").arg(index));
    return m_values[size_t(index)];
}

bool Cursor::isNull(int index) const
{
    return valueAt(index).null;
}

QString Cursor::asString(int index) const
{
    const Value &value = valueAt(index);
    if (value.null)
        return {};
    switch (m_columns[size_t(index)].kind) {
    case Kind::Integer:
    case Kind::Bit:
        return QString::number(value.integer);
    case Kind::Exact:
        return exactNumberText(value.bytes);
    case Kind::Real:
        return realText(value.real);
    case Kind::Double:
        return floatText(value.number);
    case Kind::Timestamp:
        return timestampText(value.timestamp);
    case Kind::Guid:
        return guidText(value.guid);
    case Kind::Binary:
        return QString::fromLatin1(value.bytes.toHex().toUpper());
    case Kind::Text:
        break;
    }
    return value.text;
}

qint64 Cursor::asInteger(int index) const
{
    const Value &value = valueAt(index);
    if (value.null)
        return 0;
    bool ok = true;
    qint64 result = 0;
    switch (m_columns[size_t(index)].kind) {
    case Kind::Integer:
    case Kind::Bit:
        return value.integer;
    case Kind::Exact: {
        const double number = value.bytes.trimmed().toDouble(&ok);
        ok = ok && number == double(qint64(number));
        result = qint64(number);
        break;
    }
    case Kind::Double:
        ok = value.number == double(qint64(value.number));
        result = qint64(value.number);
        break;
    case Kind::Real:
        ok = double(value.real) == double(qint64(value.real));
        result = qint64(value.real);
        break;
    case Kind::Text:
        result = value.text.trimmed().toLongLong(&ok);
        break;
    default:
        ok = false;
        break;
    }
    if (!ok)
        throw EDataAccessError(QStringLiteral("Значение поля «%1» не является целым числом.").arg(fieldName(index)));
    return result;
}

} // namespace odbc
