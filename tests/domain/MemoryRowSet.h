#pragma once

#include "RowSet.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QVariant>

#include <stdexcept>

// Rows held in memory, every value given as its row-set text; an invalid
// QVariant is a NULL. FailAtRow makes Next() throw when it would move onto
// that row, as a lost connection would.
class TMemoryRowSet : public TRowSet
{
public:
    TMemoryRowSet(QStringList names, QList<QList<QVariant>> rows)
        : m_names(std::move(names)), m_rows(std::move(rows))
    {
    }

    int FailAtRow = -1;
    bool FailOnCount = false;
    int CountCalls = 0;
    // The base types of sql_variant fields: by field, one per row.
    QHash<int, QList<TVariantBase>> VariantBases;

    qint64 RecordCount() override
    {
        ++CountCalls;
        if (FailOnCount)
            throw std::runtime_error("connection lost");
        return m_rows.size();
    }
    [[nodiscard]] bool Eof() const override { return m_pos >= m_rows.size(); }
    void Next() override
    {
        if (m_pos + 1 == FailAtRow)
            throw std::runtime_error("connection lost");
        ++m_pos;
    }
    [[nodiscard]] int FieldCount() const override { return int(m_names.size()); }
    [[nodiscard]] QString FieldName(int index) const override { return m_names.at(index); }
    [[nodiscard]] bool IsNull(int index) const override { return !m_rows.at(m_pos).at(index).isValid(); }
    [[nodiscard]] QString AsString(int index) const override { return m_rows.at(m_pos).at(index).toString(); }
    [[nodiscard]] qint64 AsInteger(int index) const override { return m_rows.at(m_pos).at(index).toLongLong(); }
    [[nodiscard]] TVariantBase VariantBase(int index) const override
    {
        return VariantBases.contains(index) ? VariantBases.value(index).value(m_pos) : TVariantBase{};
    }

    [[nodiscard]] int Position() const { return int(m_pos); }

private:
    QStringList m_names;
    QList<QList<QVariant>> m_rows;
    qsizetype m_pos = 0;
};
