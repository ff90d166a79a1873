#include "OdbcRowSet.h"

TOdbcRowSet::TOdbcRowSet(std::unique_ptr<odbc::Connection> connection, const QString &countSql, const QString &selectSql,
                         const std::vector<bool> &variantProperties)
    : m_connection(std::move(connection))
{
    {
        odbc::Statement count(*m_connection);
        count.execDirect(countSql);
        odbc::Cursor cursor(count);
        if (cursor.fieldCount() < 1 || !cursor.fetch())
            throw EDataAccessError(QStringLiteral("Не удалось узнать число строк таблицы."));
        m_recordCount = cursor.asInteger(0);
        count.closeCursor();
    }
    m_statement = std::make_unique<odbc::Statement>(*m_connection);
    m_statement->execDirect(selectSql);
    bool anyVariant = false;
    for (const bool properties : variantProperties)
        anyVariant |= properties;
    if (!anyVariant)
        m_bulk = odbc::BulkCursor::Bind(*m_statement);
    if (!m_bulk)
        m_cursor = std::make_unique<odbc::Cursor>(*m_statement);
    const int count = m_bulk ? m_bulk->fieldCount() : m_cursor->fieldCount();
    for (int column = 0; column < count; ++column) {
        const size_t shown = m_fields.size();
        const bool properties = shown < variantProperties.size() && variantProperties[shown];
        if (properties && column + VariantPropertyCount >= count)
            throw EDataAccessError(QStringLiteral("Запрос строк таблицы вернул не все поля."));
        m_fields.push_back({column, properties});
        if (properties)
            column += VariantPropertyCount;
    }
    m_eof = !(m_bulk ? m_bulk->fetch() : m_cursor->fetch());
}

TOdbcRowSet::~TOdbcRowSet()
{
    // Statements go before their connection.
    m_cursor.reset();
    m_bulk.reset();
    m_statement.reset();
    m_connection.reset();
}

void TOdbcRowSet::Next()
{
    if (m_eof)
        return;
    m_eof = !(m_bulk ? m_bulk->fetch() : m_cursor->fetch());
}

QString TOdbcRowSet::FieldName(int index) const
{
    const int column = field(index).column;
    return m_bulk ? m_bulk->fieldName(column) : m_cursor->fieldName(column);
}

bool TOdbcRowSet::IsNull(int index) const
{
    const int column = field(index).column;
    return m_bulk ? m_bulk->isNull(column) : m_cursor->isNull(column);
}

qint64 TOdbcRowSet::AsInteger(int index) const
{
    const int column = field(index).column;
    return m_bulk ? m_bulk->asInteger(column) : m_cursor->asInteger(column);
}

bool TOdbcRowSet::AppendUtf8(int index, QByteArray &out) const
{
    if (!m_bulk)
        return false;
    m_bulk->appendUtf8(field(index).column, out);
    return true;
}

const TOdbcRowSet::Field &TOdbcRowSet::field(int index) const
{
    if (index < 0 || index >= int(m_fields.size()))
        throw EDataAccessError(QStringLiteral("Нет поля с номером %1.").arg(index));
    return m_fields[size_t(index)];
}

QString TOdbcRowSet::AsString(int index) const
{
    const Field &f = field(index);
    if (m_bulk)
        return m_bulk->asString(f.column);
    if (!f.properties)
        return m_cursor->asString(f.column);
    if (m_cursor->isNull(f.column))
        return {};
    return odbc::variantText(m_cursor->asString(f.column + 1), m_cursor->asString(f.column));
}

TVariantBase TOdbcRowSet::VariantBase(int index) const
{
    const Field &f = field(index);
    TVariantBase base;
    if (!f.properties || m_cursor->isNull(f.column + 1))
        return base;
    const auto number = [this](int column) { return m_cursor->isNull(column) ? 0 : int(m_cursor->asInteger(column)); };
    base.BaseType = m_cursor->asString(f.column + 1).trimmed();
    base.Precision = number(f.column + 2);
    base.Scale = number(f.column + 3);
    base.MaxLength = number(f.column + 4);
    if (!m_cursor->isNull(f.column + 5))
        base.Collation = m_cursor->asString(f.column + 5).trimmed();
    return base;
}

void TOdbcRowSet::Cancel() noexcept
{
    // SQLCancel is the one ODBC call meant for another thread: the read the
    // reader waits in ends with an error.
    if (m_statement)
        SQLCancel(m_statement->get());
}
