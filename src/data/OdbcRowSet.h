#pragma once

// A table's rows over ODBC for the data script generator.
//
// The row set owns its own connection, opened with the facade's properties
// at the time it was made: the facade's connection stays free for the GUI,
// and a database switch there cannot cut off a generation. It counts the
// rows first (SELECT COUNT(*) on that connection), then streams them with
// one query, one row in memory at a time.
//
// Thread rules: made on the GUI thread, then read by one thread at a time
// (the generator's worker); nothing here locks.

#include "OdbcCursor.h"
#include "RowSet.h"

#include <memory>

class TOdbcRowSet final : public TRowSet
{
public:
    // Runs countSql (one row, one integer) and then selectSql on the
    // connection, which the row set takes over; stands on the first row.
    // Throws EDataAccessError or EOdbcError.
    TOdbcRowSet(std::unique_ptr<odbc::Connection> connection, const QString &countSql, const QString &selectSql);
    ~TOdbcRowSet() override;

    qint64 RecordCount() override { return m_recordCount; }
    [[nodiscard]] bool Eof() const override { return m_eof; }
    void Next() override;

    [[nodiscard]] int FieldCount() const override { return m_cursor->fieldCount(); }
    [[nodiscard]] QString FieldName(int index) const override { return m_cursor->fieldName(index); }
    [[nodiscard]] bool IsNull(int index) const override { return m_cursor->isNull(index); }
    [[nodiscard]] QString AsString(int index) const override { return m_cursor->asString(index); }
    [[nodiscard]] qint64 AsInteger(int index) const override { return m_cursor->asInteger(index); }

private:
    std::unique_ptr<odbc::Connection> m_connection;
    std::unique_ptr<odbc::Statement> m_statement;
    std::unique_ptr<odbc::Cursor> m_cursor;
    qint64 m_recordCount = 0;
    bool m_eof = true;
};
