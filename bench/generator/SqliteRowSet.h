#pragma once

#include "RowSet.h"

#include <QByteArray>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// How a SQLite column's stored value becomes the row set's text form.
enum class TSqliteText {
    Integer,     // INTEGER as decimal digits
    Text,        // TEXT as stored
    Scaled4,     // INTEGER holding ten-thousandths: money, decimal(18,4)
    DateTime,    // TEXT "yyyy-MM-dd hh:mm:ss.zzz"
    Bit,         // INTEGER 0 or 1
    Float,       // REAL, shortest round-trip text
};

// A TRowSet over one SQLite query, read forward.
class TSqliteRowSet : public TRowSet
{
public:
    TSqliteRowSet(sqlite3 *db, const QByteArray &countSql, const QByteArray &sql, std::vector<TSqliteText> kinds);
    ~TSqliteRowSet() override;

    qint64 RecordCount() override { return m_count; }
    [[nodiscard]] bool Eof() const override { return m_eof; }
    void Next() override;
    [[nodiscard]] int FieldCount() const override { return int(m_kinds.size()); }
    [[nodiscard]] QString FieldName(int index) const override;
    [[nodiscard]] bool IsNull(int index) const override;
    [[nodiscard]] QString AsString(int index) const override;
    [[nodiscard]] qint64 AsInteger(int index) const override;
    // The text form in UTF-8, straight from SQLite's bytes.
    bool AppendUtf8(int index, QByteArray &out) const override;
    bool Utf8View(int index, QByteArrayView &text) const override;

private:
    void step();

    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    std::vector<TSqliteText> m_kinds;
    qint64 m_count = 0;
    bool m_eof = false;
};
