#pragma once

// A table's rows over ODBC for the data script generator.
//
// The row set owns its own connection, opened with the facade's properties
// at the time it was made: the facade's connection stays free for the GUI,
// and a database switch there cannot cut off a generation. It counts the
// rows first (SELECT COUNT(*) on that connection), then streams them with
// one query. A result whose columns all have a bounded size is read in
// blocks of rows through bound column arrays (odbc::BulkCursor), and its
// values reach the generator as UTF-8 (AppendUtf8); one with long values
// or variant properties is read value by value (odbc::Cursor).
//
// A sql_variant field may be followed in the query by the five
// SQL_VARIANT_PROPERTY values of it (BaseType, Precision, Scale, MaxLength,
// Collation, in that order): those fields are not shown as fields of their
// own, they tell VariantBase, and the variant's text takes the text form
// of its base type (RowSet.h).
//
// Thread rules: made on the GUI thread, then read by one thread at a time
// (the generator's worker); Cancel may come from any thread meanwhile.

#include "OdbcBulkCursor.h"
#include "OdbcCursor.h"
#include "RowSet.h"

#include <memory>
#include <vector>

class TOdbcRowSet final : public TRowSet
{
public:
    // The number of SQL_VARIANT_PROPERTY fields after a variant field.
    static constexpr int VariantPropertyCount = 5;

    // Runs countSql (one row, one integer) and then selectSql on the
    // connection, which the row set takes over; stands on the first row.
    // variantProperties[k] says the k-th field shown is followed by its
    // variant properties (missing entries say no). Throws EDataAccessError
    // or EOdbcError.
    TOdbcRowSet(std::unique_ptr<odbc::Connection> connection, const QString &countSql, const QString &selectSql,
                const std::vector<bool> &variantProperties = {});
    ~TOdbcRowSet() override;

    qint64 RecordCount() override { return m_recordCount; }
    [[nodiscard]] bool Eof() const override { return m_eof; }
    void Next() override;

    [[nodiscard]] int FieldCount() const override { return int(m_fields.size()); }
    [[nodiscard]] QString FieldName(int index) const override;
    [[nodiscard]] bool IsNull(int index) const override;
    [[nodiscard]] QString AsString(int index) const override;
    [[nodiscard]] qint64 AsInteger(int index) const override;
    bool AppendUtf8(int index, QByteArray &out) const override;
    [[nodiscard]] TVariantBase VariantBase(int index) const override;
    void Cancel() noexcept override;

private:
    struct Field
    {
        int column = 0;          // in the query's result
        bool properties = false; // its variant properties follow
    };
    [[nodiscard]] const Field &field(int index) const;

    std::unique_ptr<odbc::Connection> m_connection;
    std::unique_ptr<odbc::Statement> m_statement;
    std::unique_ptr<odbc::Cursor> m_cursor;    // value by value, or
    std::unique_ptr<odbc::BulkCursor> m_bulk; // in blocks
    std::vector<Field> m_fields;
    qint64 m_recordCount = 0;
    bool m_eof = true;
};
