#include "RoundTripModel.h"

#include "SqlNames.h"

#include <algorithm>

namespace {

bool containsName(const QStringList &names, const QString &name)
{
    return names.contains(name, Qt::CaseInsensitive);
}

// NULL first, then by text.
int compareValues(const QString &a, const QString &b)
{
    if (a.isNull() || b.isNull())
        return int(!a.isNull()) - int(!b.isNull());
    return a.compare(b);
}

} // namespace

TMergeModel::TMergeModel(QList<TColumnFact> Columns, const TMergeChoices &Choices)
    : m_columns(std::move(Columns)), m_delete(Choices.DeleteTable)
{
    bool allUsed = true;
    for (const TColumnFact &column : m_columns) {
        const bool used = Choices.Used.isEmpty() || containsName(Choices.Used, column.Name);
        allUsed = allUsed && used;
        const bool carried = used && !column.IsComputed && !column.IsTimestamp;
        const bool key = carried && (Choices.Keys.isEmpty() ? column.IsPrimaryKey : containsName(Choices.Keys, column.Name));
        m_carried << carried;
        m_key << key;
        m_hasKeys = m_hasKeys || key;
    }
    for (int i = 0; i < m_columns.size(); ++i) {
        const TColumnFact &column = m_columns.at(i);
        m_compared << ((!column.IsIdentity || m_carried.at(i)) && (!column.IsComputed || allUsed) && !column.IsTimestamp);
    }
}

// Keys match NULL to NULL: the script compares nullable keys so.
bool TMergeModel::KeysMatch(const TRowText &Target, const TRowText &Source) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_key.at(i) && (Target.at(i).isNull() != Source.at(i).isNull() || Target.at(i) != Source.at(i)))
            return false;
    return true;
}

TRowText TMergeModel::Inserted(const TRowText &Source) const
{
    TRowText row;
    for (int i = 0; i < m_columns.size(); ++i)
        row << ((m_carried.at(i) || (m_columns.at(i).IsComputed && m_compared.at(i))) ? Source.at(i) : QString());
    return row;
}

QList<TRowText> TMergeModel::Expected(const QList<TRowText> &Target, const QList<TRowText> &Source) const
{
    QList<TRowText> rows = m_delete ? QList<TRowText>() : Target;
    if (!m_hasKeys) {
        // After a delete every carried row goes in; without one nothing changes.
        if (m_delete)
            for (const TRowText &source : Source)
                rows << Inserted(source);
        return rows;
    }
    // UPDATE ... FROM: every target row that matches a source row on the
    // keys takes its carried values (an identity keeps its own).
    for (TRowText &row : rows)
        for (const TRowText &source : Source)
            if (KeysMatch(row, source))
                for (int i = 0; i < m_columns.size(); ++i)
                    if ((m_carried.at(i) && !m_key.at(i) && !m_columns.at(i).IsIdentity) ||
                        (m_columns.at(i).IsComputed && m_compared.at(i)))
                        row[i] = source.at(i);
    // INSERT ... WHERE NOT EXISTS, judged against the rows as they were
    // when the statement began.
    const QList<TRowText> present = rows;
    for (const TRowText &source : Source) {
        const bool found = std::any_of(present.begin(), present.end(),
                                       [&](const TRowText &row) { return KeysMatch(row, source); });
        if (!found)
            rows << Inserted(source);
    }
    return rows;
}

QString TMergeModel::Describe(const TRowText &Row) const
{
    QStringList parts;
    for (int i = 0; i < m_columns.size() && parts.size() < 3; ++i)
        if (m_compared.at(i))
            parts << m_columns.at(i).Name + u'=' + ShowValue(Row.at(i));
    return u'(' + parts.join(QStringLiteral(", ")) + u')';
}

QString TMergeModel::Compare(const QList<TRowText> &Expected, const QList<TRowText> &Actual) const
{
    const auto less = [this](const TRowText &a, const TRowText &b) {
        for (int i = 0; i < m_columns.size(); ++i)
            if (m_compared.at(i))
                if (const int c = compareValues(a.at(i), b.at(i)); c != 0)
                    return c < 0;
        return false;
    };
    QList<TRowText> expected = Expected, actual = Actual;
    std::sort(expected.begin(), expected.end(), less);
    std::sort(actual.begin(), actual.end(), less);
    const qsizetype common = std::min(expected.size(), actual.size());
    for (qsizetype r = 0; r < common; ++r)
        for (int i = 0; i < m_columns.size(); ++i)
            if (m_compared.at(i) && compareValues(expected.at(r).at(i), actual.at(r).at(i)) != 0)
                return QStringLiteral("row %1 of %2 %3: column %4: expected %5, the target has %6")
                    .arg(r + 1)
                    .arg(expected.size())
                    .arg(Describe(expected.at(r)), m_columns.at(i).Name, ShowValue(expected.at(r).at(i)),
                         ShowValue(actual.at(r).at(i)));
    if (expected.size() != actual.size())
        return QStringLiteral("expected %1 rows, the target has %2; first unmatched: %3")
            .arg(expected.size())
            .arg(actual.size())
            .arg(Describe(expected.size() > actual.size() ? expected.at(common) : actual.at(common)));
    return {};
}

QString SelectRowsSql(const QString &Table, const QList<TColumnFact> &Columns)
{
    QStringList names;
    for (const TColumnFact &column : Columns)
        names << QuoteName(column.Name);
    return QStringLiteral("SELECT %1 FROM %2").arg(names.join(QStringLiteral(", ")), QuoteName(Table));
}

QString SelectChecksSql(const QString &Table, const QString &Key, const QStringList &Checks)
{
    return QStringLiteral("SELECT %1, %2 FROM %3").arg(QuoteName(Key), Checks.join(QStringLiteral(", ")), QuoteName(Table));
}

QString ShowValue(const QString &Value)
{
    if (Value.isNull())
        return QStringLiteral("NULL");
    QString shown = Value.size() > 80 ? Value.left(60) + QStringLiteral("...(%1 characters)").arg(Value.size()) : Value;
    shown.replace(u'\r', QStringLiteral("\\r")).replace(u'\n', QStringLiteral("\\n"));
    return u'\'' + shown + u'\'';
}
