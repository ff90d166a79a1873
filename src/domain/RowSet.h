#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

// The rows of one query, read forward only. Produced by the data access
// facade (over ODBC), by the benchmark (over SQLite) and by test fixtures;
// read by the data script generator.
//
// Text forms (AsString), which the literal rules of the column kinds rely on:
// - integers: plain decimal digits with a leading '-' when negative;
// - money, smallmoney, decimal, numeric: every significant digit, the
//   locale's decimal separator (DecimalSeparator()), no digit grouping,
//   trailing fractional zeros and a bare trailing separator dropped
//   ("2,5" for 2.5000, "3" for 3.0000);
// - float, real: the shortest text that reads back to the same value, in the
//   locale's notation (e.g. "0,1", "1,7976931348623157E+308");
// - bit: "1" or "0";
// - datetime, smalldatetime: "dd.MM.yyyy hh:mm:ss", followed by ".zzz" only
//   when the milliseconds are not zero;
// - char, varchar, text, nchar, nvarchar, ntext: the stored characters;
// - binary, varbinary, image, timestamp: upper-case hex digits, no "0x";
// - uniqueidentifier: "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper case.
//
// Thread rules: a row set is used by one thread at a time. The generator's
// worker reads it while the GUI thread leaves it alone (the modal wizard
// guarantees that); nothing here locks.
//
// Errors (a lost connection, a driver failure) are thrown as exceptions
// from RecordCount, Next and the field readers.

// What SQL_VARIANT_PROPERTY tells of a sql_variant value: its base type
// ("int", "nvarchar", ...), precision, scale, maximum length in bytes and
// collation. BaseType is empty when the source does not know it.
struct TVariantBase
{
    QString BaseType;
    int Precision = 0;
    int Scale = 0;
    int MaxLength = 0;
    QString Collation;
};

class TRowSet
{
public:
    virtual ~TRowSet() = default;

    // Number of rows, known before the first row is read.
    virtual qint64 RecordCount() = 0;
    // True once the last row has been passed (or when there are no rows).
    [[nodiscard]] virtual bool Eof() const = 0;
    // Moves to the next row.
    virtual void Next() = 0;

    [[nodiscard]] virtual int FieldCount() const = 0;
    [[nodiscard]] virtual QString FieldName(int index) const = 0;
    [[nodiscard]] virtual bool IsNull(int index) const = 0;
    [[nodiscard]] virtual QString AsString(int index) const = 0;
    [[nodiscard]] virtual qint64 AsInteger(int index) const = 0;
    // The base type of a sql_variant field on the current row; for a value
    // of base type B, AsString gives the text form of a B value (above).
    [[nodiscard]] virtual TVariantBase VariantBase(int) const { return {}; }
    // Appends the text form of a non-NULL field (above) in UTF-8 to Out and
    // says true; a row set without this path says false and leaves Out
    // alone (the caller then takes AsString). Never asked of a sql_variant.
    virtual bool AppendUtf8(int, QByteArray &) const { return false; }
    // The same text where the row set already holds it: Text then views it
    // until the next call of Next; a row set without it says false (the
    // caller then takes AppendUtf8). Never asked of a sql_variant.
    virtual bool Utf8View(int, QByteArrayView &) const { return false; }

    // Makes a read that another thread waits in return (with an error) as
    // soon as it can. The one member that may be called from another thread
    // while the row set is being read.
    virtual void Cancel() noexcept {}

    // Position of the field with this name, ignoring case; -1 when none.
    [[nodiscard]] int FieldIndex(const QString &name) const
    {
        for (int i = 0; i < FieldCount(); ++i)
            if (FieldName(i).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
};

// Passes every call on to another row set; a wrapper that watches some of
// them overrides those and stays complete whatever the interface gains.
class TForwardingRowSet : public TRowSet
{
public:
    explicit TForwardingRowSet(TRowSet &Rows) : m_rows(Rows) {}

    qint64 RecordCount() override { return m_rows.RecordCount(); }
    [[nodiscard]] bool Eof() const override { return m_rows.Eof(); }
    void Next() override { m_rows.Next(); }
    [[nodiscard]] int FieldCount() const override { return m_rows.FieldCount(); }
    [[nodiscard]] QString FieldName(int index) const override { return m_rows.FieldName(index); }
    [[nodiscard]] bool IsNull(int index) const override { return m_rows.IsNull(index); }
    [[nodiscard]] QString AsString(int index) const override { return m_rows.AsString(index); }
    [[nodiscard]] qint64 AsInteger(int index) const override { return m_rows.AsInteger(index); }
    [[nodiscard]] TVariantBase VariantBase(int index) const override { return m_rows.VariantBase(index); }
    bool AppendUtf8(int index, QByteArray &out) const override { return m_rows.AppendUtf8(index, out); }
    bool Utf8View(int index, QByteArrayView &text) const override { return m_rows.Utf8View(index, text); }
    void Cancel() noexcept override { m_rows.Cancel(); }

protected:
    [[nodiscard]] TRowSet &Rows() const { return m_rows; }

private:
    TRowSet &m_rows;
};
