#include "SqliteRowSet.h"

#include "LocaleFormat.h"
#include "QuorvaneException.h"

#include <sqlite3.h>

#include <charconv>
#include <cstring>

namespace {
void check(sqlite3 *db, int rc)
{
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw EQuorvaneException(QString::fromUtf8(sqlite3_errmsg(db)));
}

// Ten-thousandths as the row set writes decimals: no trailing zeros, no
// bare separator.
void appendScaled(QByteArray &out, qint64 value)
{
    char buf[32];
    char *p = buf;
    quint64 magnitude = value < 0 ? quint64(-(value + 1)) + 1 : quint64(value);
    if (value < 0)
        *p++ = '-';
    p = std::to_chars(p, buf + sizeof buf, magnitude / 10000).ptr;
    unsigned fraction = unsigned(magnitude % 10000);
    if (fraction != 0) {
        char digits[4];
        for (int i = 3; i >= 0; --i, fraction /= 10)
            digits[i] = char('0' + fraction % 10);
        int used = 4;
        while (digits[used - 1] == '0')
            --used;
        *p++ = char(DecimalSeparator().unicode());
        std::memcpy(p, digits, size_t(used));
        p += used;
    }
    out.append(buf, p - buf);
}
} // namespace

TSqliteRowSet::TSqliteRowSet(sqlite3 *db, const QByteArray &countSql, const QByteArray &sql,
                             std::vector<TSqliteText> kinds)
    : m_db(db), m_kinds(std::move(kinds))
{
    sqlite3_stmt *count = nullptr;
    check(db, sqlite3_prepare_v2(db, countSql.constData(), -1, &count, nullptr));
    check(db, sqlite3_step(count));
    m_count = sqlite3_column_int64(count, 0);
    sqlite3_finalize(count);
    check(db, sqlite3_prepare_v2(db, sql.constData(), -1, &m_stmt, nullptr));
    step();
}

TSqliteRowSet::~TSqliteRowSet()
{
    sqlite3_finalize(m_stmt);
}

void TSqliteRowSet::step()
{
    const int rc = sqlite3_step(m_stmt);
    check(m_db, rc);
    m_eof = rc != SQLITE_ROW;
}

void TSqliteRowSet::Next()
{
    if (!m_eof)
        step();
}

QString TSqliteRowSet::FieldName(int index) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, index));
}

bool TSqliteRowSet::IsNull(int index) const
{
    return sqlite3_column_type(m_stmt, index) == SQLITE_NULL;
}

qint64 TSqliteRowSet::AsInteger(int index) const
{
    return sqlite3_column_int64(m_stmt, index);
}

bool TSqliteRowSet::AppendUtf8(int index, QByteArray &out) const
{
    switch (m_kinds[size_t(index)]) {
    case TSqliteText::Integer: {
        char buf[24];
        const char *end = std::to_chars(buf, buf + sizeof buf, sqlite3_column_int64(m_stmt, index)).ptr;
        out.append(buf, end - buf);
        return true;
    }
    case TSqliteText::Bit:
        out += sqlite3_column_int(m_stmt, index) ? '1' : '0';
        return true;
    case TSqliteText::Scaled4:
        appendScaled(out, sqlite3_column_int64(m_stmt, index));
        return true;
    case TSqliteText::Float: {
        char buf[40];
        char *end = std::to_chars(buf, buf + sizeof buf, sqlite3_column_double(m_stmt, index)).ptr;
        const char separator = char(DecimalSeparator().unicode());
        for (char *p = buf; p != end; ++p)
            if (*p == '.')
                *p = separator;
        out.append(buf, end - buf);
        return true;
    }
    case TSqliteText::DateTime: {
        // yyyy-MM-dd hh:mm:ss.zzz -> dd.MM.yyyy hh:mm:ss[.zzz]
        const char *s = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
        const int n = sqlite3_column_bytes(m_stmt, index);
        if (n < 19) {
            out.append(s, n);
            return true;
        }
        char buf[23];
        std::memcpy(buf, s + 8, 2);
        buf[2] = '.';
        std::memcpy(buf + 3, s + 5, 2);
        buf[5] = '.';
        std::memcpy(buf + 6, s, 4);
        std::memcpy(buf + 10, s + 10, 9);
        int len = 19;
        if (n >= 23 && std::memcmp(s + 20, "000", 3) != 0) {
            std::memcpy(buf + 19, s + 19, 4);
            len = 23;
        }
        out.append(buf, len);
        return true;
    }
    case TSqliteText::Text:
        break;
    }
    const char *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index));
    out.append(text, sqlite3_column_bytes(m_stmt, index));
    return true;
}

bool TSqliteRowSet::Utf8View(int index, QByteArrayView &text) const
{
    if (m_kinds[size_t(index)] != TSqliteText::Text)
        return false;
    text = QByteArrayView(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, index)),
                          sqlite3_column_bytes(m_stmt, index));
    return true;
}

QString TSqliteRowSet::AsString(int index) const
{
    QByteArray text;
    AppendUtf8(index, text);
    return QString::fromUtf8(text);
}
