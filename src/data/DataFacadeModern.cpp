// The facade's side of the servers after SQL Server 2000: the version read
// at the login, the catalogue views of 2005 and later, and the reason of a
// login that the encryption settings made fail.

#include "DataFacade.h"

#include "EncryptionProbe.h"
#include "FreeTdsConfig.h"
#include "OdbcCursor.h"

namespace {

// The leading number of "16.0.1000.6".
int majorVersionOf(const QString &productVersion)
{
    bool ok = false;
    const int major = productVersion.trimmed().section(QLatin1Char('.'), 0, 0).toInt(&ok);
    return ok && major > 0 ? major : 0;
}

} // namespace

void TDataAccessFacade::ExplainEncryptionFailure(const EOdbcError &Error) const
{
    const TConnectionSecurity security = Security();
    if (security.Encryption == TEncryption::Request)
        return;
    // A server that answered (a wrong password, say) has said why itself.
    // FreeTDS numbers its own messages from 20000 on.
    for (const TOdbcDiagnostic &record : Error.Diagnostics())
        if (record.NativeError > 0 && record.NativeError < 20000)
            return;
    TServerTarget target =
        MapDataSource(m_properties.DataSource, IsFreeTdsDriver(Driver()) ? FreeTdsEntryNames() : QStringList());
    if (!target.ConfigEntry.isEmpty())
        for (const TFreeTdsEntry &entry : ReadFreeTdsEntries(FreeTdsConfigFiles()))
            if (entry.Name.compare(target.ConfigEntry, Qt::CaseInsensitive) == 0) {
                target.Host = entry.Host;
                target.Port = entry.Port;
                target.Instance = entry.Instance;
            }
    // Without a port or an instance the driver goes to SQL Server's own port;
    // an instance's port only the SQL Server Browser knows.
    if (target.Port == 0 && target.Instance.isEmpty())
        target.Port = 1433;
    constexpr int probeTimeoutMs = 5000;
    const QString text = EncryptionFailureText(security, ProbeServerEncryption(target.Host, target.Port, probeTimeoutMs));
    if (!text.isEmpty())
        throw EDataAccessError(text);
}

void TDataAccessFacade::ReadServerVersion()
{
    int major = 0;
    try {
        odbc::Statement statement(*m_connection);
        ApplyQueryTimeout(statement);
        statement.execDirect(QStringLiteral("SELECT CAST(SERVERPROPERTY('ProductVersion') AS varchar(128))"));
        odbc::Cursor cursor(statement);
        if (cursor.fieldCount() > 0 && cursor.fetch() && !cursor.isNull(0))
            major = majorVersionOf(cursor.asString(0));
        statement.closeCursor();
    } catch (const EOdbcError &error) {
        FailOnTimeout(error);
        // SQL Server 7 has no SERVERPROPERTY: its catalogue is read as 2000's.
    }
    m_serverMajorVersion = major;
    m_serverVersionRead = true;
}

void TDataAccessFacade::LoadColumnsFromSys(TTable *Table, const QStringList *Primary)
{
    // A user type counts as its system type (system_type_id); the CLR types
    // share 240 and are told apart by their own names.
    AddSql(QStringLiteral("SELECT c.name, c.system_type_id, c.max_length, c.precision, c.scale, c.collation_name,"));
    AddSql(QStringLiteral(" c.is_nullable, c.is_identity, c.is_computed, c.is_rowguidcol,%1")
               .arg(m_serverMajorVersion >= 10 ? QStringLiteral(" c.is_sparse,") : QString()));
    AddSql(QStringLiteral(" t.name AS type_name, b.name AS system_type_name"));
    AddSql(QStringLiteral("FROM sys.columns AS c"));
    AddSql(QStringLiteral("JOIN sys.types AS t ON t.user_type_id = c.user_type_id"));
    AddSql(QStringLiteral("LEFT JOIN sys.types AS b ON b.user_type_id = c.system_type_id"));
    AddSql(QStringLiteral("WHERE c.object_id = %1 ORDER BY c.column_id").arg(Table->Id));
    try {
        if (OpenQuery()) {
            const int name = m_cursor->requireField(QStringLiteral("name"));
            const int systemType = m_cursor->requireField(QStringLiteral("system_type_id"));
            const int maxLength = m_cursor->requireField(QStringLiteral("max_length"));
            const int precision = m_cursor->requireField(QStringLiteral("precision"));
            const int scale = m_cursor->requireField(QStringLiteral("scale"));
            const int collation = m_cursor->requireField(QStringLiteral("collation_name"));
            const int nullable = m_cursor->requireField(QStringLiteral("is_nullable"));
            const int identity = m_cursor->requireField(QStringLiteral("is_identity"));
            const int computed = m_cursor->requireField(QStringLiteral("is_computed"));
            const int rowGuid = m_cursor->requireField(QStringLiteral("is_rowguidcol"));
            const int sparse = m_cursor->fieldIndex(QStringLiteral("is_sparse"));
            const int typeName = m_cursor->requireField(QStringLiteral("type_name"));
            const int systemTypeName = m_cursor->requireField(QStringLiteral("system_type_name"));
            const auto flag = [this](int field) { return field >= 0 && !m_cursor->isNull(field) && m_cursor->asInteger(field) != 0; };
            do {
                const int type = int(m_cursor->asInteger(systemType));
                const QString columnName = m_cursor->asString(name);
                std::unique_ptr<TCustomColumn> column = GetColumnClass(type)(
                    columnName, type, Table->Id, flag(identity), qint32(m_cursor->asInteger(maxLength)));
                const bool known = IsKnownType(type);
                // A CLR column is known by its type's name (hierarchyid ...).
                if (!known || type == XType::Clr)
                    column->ColumnType.Name = m_cursor->isNull(systemTypeName) || type == 240
                                                  ? m_cursor->asString(typeName)
                                                  : m_cursor->asString(systemTypeName);
                // The 2000 path knows precision and scale of decimal and
                // numeric only; the newer types keep theirs (time(n) ...).
                if (type == XType::Decimal || type == XType::Numeric || !known || type == XType::Date
                    || type == XType::Time || type == XType::DateTime2 || type == XType::DateTimeOffset
                    || type == XType::Xml) {
                    column->Precision = int(m_cursor->asInteger(precision));
                    column->Scale = int(m_cursor->asInteger(scale));
                }
                column->IsComputed = flag(computed);
                column->IsNullable = flag(nullable);
                column->IsRowGuidCol = flag(rowGuid);
                column->IsSparse = flag(sparse);
                if (!m_cursor->isNull(collation))
                    column->Collation = m_cursor->asString(collation).trimmed();
                if (Primary)
                    column->IsPrimaryKey = Primary->contains(columnName, Qt::CaseInsensitive);
                Table->Columns.Add(std::move(column));
            } while (NextRow());
        }
    } catch (...) {
        CloseQuery();
        throw;
    }
    CloseQuery();
}

void TDataAccessFacade::PrimaryColumnNamesFromSys(odbc::Statement &Statement, qint32 TableId, QStringList &Names)
{
    ApplyQueryTimeout(Statement);
    try {
        Statement.execDirect(QStringLiteral("SELECT c.name FROM sys.index_columns AS ic\r\n"
                                            "JOIN sys.indexes AS i ON i.object_id = ic.object_id AND i.index_id = ic.index_id\r\n"
                                            "JOIN sys.columns AS c ON c.object_id = ic.object_id AND c.column_id = ic.column_id\r\n"
                                            "WHERE i.is_primary_key = 1 AND ic.object_id = %1 ORDER BY ic.key_ordinal")
                                 .arg(TableId));
        odbc::Cursor cursor(Statement);
        while (cursor.fetch())
            Names.append(cursor.asString(0));
    } catch (const EOdbcError &error) {
        FailOnTimeout(error);
        throw;
    }
    Statement.closeCursor();
}
