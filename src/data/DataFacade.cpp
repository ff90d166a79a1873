#include "DataFacade.h"

#include "FreeTdsConfig.h"
#include "OdbcCursor.h"
#include "OdbcRowSet.h"
#include "ReadAheadRowSet.h"
#include "SqlNames.h"

#if __has_include("SimpleSettingsManager.h")
#include "SimpleSettingsManager.h"
#define QUORVANE_HAVE_SETTINGS 1
#endif

const QString TDataAccessFacade::DataSourceProperty = QStringLiteral("Data Source");
const QString TDataAccessFacade::InitialCatalogProperty = QStringLiteral("Initial Catalog");
const QString TDataAccessFacade::UserIdProperty = QStringLiteral("User ID");
const QString TDataAccessFacade::PasswordProperty = QStringLiteral("Password");

namespace {

const QString defaultDriver = QStringLiteral("FreeTDS");

int configuredQueryTimeout()
{
#ifdef QUORVANE_HAVE_SETTINGS
    bool ok = false;
    const int seconds = SettingsManager()
                            ->GetSetting(QStringLiteral("Connection"), QStringLiteral("QueryTimeout"),
                                         QString::number(TDataAccessFacade::DefaultQueryTimeout))
                            ->Value()
                            .trimmed()
                            .toInt(&ok);
    return ok && seconds >= 0 ? seconds : TDataAccessFacade::DefaultQueryTimeout;
#else
    return TDataAccessFacade::DefaultQueryTimeout;
#endif
}

QString configuredDriver()
{
#ifdef QUORVANE_HAVE_SETTINGS
    const QString driver = SettingsManager()
                               ->GetSetting(QStringLiteral("Connection"), QStringLiteral("Driver"), defaultDriver)
                               ->Value()
                               .trimmed();
    return driver.isEmpty() ? defaultDriver : driver;
#else
    return defaultDriver;
#endif
}

TConnectionSecurity configuredSecurity()
{
    TConnectionSecurity security;
#ifdef QUORVANE_HAVE_SETTINGS
    TSimpleSettingsManager *settings = SettingsManager();
    const QString section = QStringLiteral("Connection");
    security.Encryption = EncryptionFromText(settings->GetSetting(section, QStringLiteral("Encrypt"),
                                                                  EncryptionText(TEncryption::Request))->Value())
                              .value_or(TEncryption::Request);
    security.TrustServerCertificate =
        settings->GetSetting(section, QStringLiteral("TrustServerCertificate"), QStringLiteral("0"))->Value().trimmed()
        == QLatin1String("1");
    security.CaFile = settings->GetSetting(section, QStringLiteral("CaFile"), QString())->Value().trimmed();
#endif
    return security;
}

// Runs a cleanup step after a failure without letting its own failure hide
// the first one.
template <typename F>
void quietly(F &&step) noexcept
{
    try {
        step();
    } catch (...) {
    }
}

} // namespace

EQueryTimeout::EQueryTimeout(int Seconds, TWait Wait)
    : EDataAccessError(Wait == TWait::Login
                           ? QStringLiteral("Сервер не ответил на подключение за %1 с.").arg(Seconds)
                           : QStringLiteral("Сервер не ответил за %1 с. Время ожидания задаёт параметр QueryTimeout "
                                            "раздела [Connection] файла настроек.")
                                 .arg(Seconds))
{
}

TDataAccessFacade::TDataAccessFacade() = default;

TDataAccessFacade::~TDataAccessFacade()
{
    CloseConnection();
}

QString TDataAccessFacade::Driver() const
{
    return m_driverOverride.isEmpty() ? configuredDriver() : m_driverOverride;
}

void TDataAccessFacade::SetDriver(const QString &Driver)
{
    RefuseWhileLent();
    CloseConnection();
    m_driverOverride = Driver.trimmed();
    m_serverVersionRead = false;
}

TConnectionSecurity TDataAccessFacade::Security() const
{
    return m_securityOverride ? *m_securityOverride : configuredSecurity();
}

void TDataAccessFacade::SetSecurity(const TConnectionSecurity &Security)
{
    RefuseWhileLent();
    CloseConnection();
    m_securityOverride = Security;
}

bool TDataAccessFacade::Connected() const
{
    return m_connection && m_connection->isOpen();
}

QString TDataAccessFacade::ConnectionProperty(const QString &Name) const
{
    if (Name.compare(DataSourceProperty, Qt::CaseInsensitive) == 0)
        return m_properties.DataSource;
    if (Name.compare(InitialCatalogProperty, Qt::CaseInsensitive) == 0)
        return m_catalog;
    if (Name.compare(UserIdProperty, Qt::CaseInsensitive) == 0)
        return m_properties.UserId;
    if (Name.compare(PasswordProperty, Qt::CaseInsensitive) == 0)
        return m_properties.Password;
    throw EDataAccessError(QStringLiteral("Нет свойства подключения «%1».").arg(Name));
}

QString TDataAccessFacade::BuildConnectionText(const QString &Catalog) const
{
    TConnectionProperties properties = m_properties;
    properties.Driver = Driver();
    properties.Security = Security();
    properties.InitialCatalog = Catalog;
    return BuildConnectionString(properties, FreeTdsEntryNames());
}

void TDataAccessFacade::OpenConnection()
{
    CloseConnection();
    if (m_properties.DataSource.trimmed().isEmpty())
        return;
    const QString text = BuildConnectionText(m_catalog);
    auto connection = std::make_unique<odbc::Connection>();
    try {
        connection->open(text, m_loginTimeout);
    } catch (const EOdbcError &error) {
        if (error.HasSqlState(QStringLiteral("HYT00")))
            throw EQueryTimeout(m_loginTimeout, EQueryTimeout::TWait::Login);
        ExplainEncryptionFailure(error);
        throw;
    }
    m_connection = std::move(connection);
    ++m_openCount;
    if (!m_serverVersionRead)
        ReadServerVersion();
}

void TDataAccessFacade::CloseConnection() noexcept
{
    CloseQuery();
    m_connection.reset();
}

void TDataAccessFacade::RefuseWhileLent() const
{
    if (m_lent)
        throw EDataAccessError(QStringLiteral("Выполняется скрипт: дождитесь его конца или остановите его."));
}

int TDataAccessFacade::QueryTimeout() const
{
    return m_queryTimeoutOverride >= 0 ? m_queryTimeoutOverride : configuredQueryTimeout();
}

void TDataAccessFacade::ApplyQueryTimeout(odbc::Statement &Statement) const
{
    Statement.setQueryTimeout(QueryTimeout());
}

TLentConnection TDataAccessFacade::LendConnection()
{
    RefuseWhileLent();
    if (m_properties.DataSource.trimmed().isEmpty())
        throw EDataAccessError(QStringLiteral("Сервер не выбран."));
    CloseQuery();
    TLentConnection lent;
    lent.Connection = std::move(m_connection);
    lent.ConnectionText = BuildConnectionText(m_catalog);
    lent.LoginTimeout = m_loginTimeout;
    lent.Catalog = m_catalog;
    m_lent = true;
    return lent;
}

void TDataAccessFacade::TakeBackConnection(TLentConnection Lent)
{
    m_lent = false;
    m_connection = std::move(Lent.Connection);
    if (m_connection && !m_connection->isOpen())
        m_connection.reset();
    // A script may have moved the session with USE.
    if (!Lent.Catalog.isEmpty())
        m_catalog = Lent.Catalog;
}

void TDataAccessFacade::EnsureOpen()
{
    RefuseWhileLent();
    if (Connected())
        return;
    if (m_properties.DataSource.trimmed().isEmpty())
        throw EDataAccessError(QStringLiteral("Сервер не выбран."));
    OpenConnection();
}

std::unique_ptr<odbc::Connection> TDataAccessFacade::OpenExtraConnection(const QString &Catalog) const
{
    if (m_properties.DataSource.trimmed().isEmpty())
        throw EDataAccessError(QStringLiteral("Сервер не выбран."));
    auto connection = std::make_unique<odbc::Connection>();
    connection->open(BuildConnectionText(Catalog), m_loginTimeout);
    return connection;
}

void TDataAccessFacade::SetServer(const TSQLServer *Server)
{
    if (!Server)
        return;
    RefuseWhileLent();
    CloseConnection();
    m_properties.DataSource = Server->Name;
    m_serverVersionRead = false;
    m_serverMajorVersion = 0;
    OpenConnection();
}

void TDataAccessFacade::SetLogin(const QString &Login, const QString &Password)
{
    RefuseWhileLent();
    CloseConnection();
    m_properties.UserId = Login;
    m_properties.Password = Password;
}

QString TDataAccessFacade::GetDataBaseName() const
{
    return m_catalog;
}

void TDataAccessFacade::UseDataBase(const QString &Name)
{
    RefuseWhileLent();
    m_rememberedDataBase = GetDataBaseName();
    CloseConnection();
    m_catalog = Name;
    if (!Name.isEmpty())
        OpenConnection();
}

void TDataAccessFacade::RestoreDataBase()
{
    RefuseWhileLent();
    CloseConnection();
    m_catalog = m_rememberedDataBase;
    OpenConnection();
}

void TDataAccessFacade::ResetDataBase()
{
    UseDataBase(QString());
}

void TDataAccessFacade::SwitchToDataBase(const TDataBase *DataBase)
{
    if (!DataBase)
        return;
    if (GetDataBaseName() != DataBase->Name)
        UseDataBase(DataBase->Name);
}

bool TDataAccessFacade::OpenQuery()
{
    CloseQuery();
    EnsureOpen();
    m_statement = std::make_unique<odbc::Statement>(*m_connection);
    ApplyQueryTimeout(*m_statement);
    try {
        m_statement->execDirect(m_sql.join(QStringLiteral("\r\n")));
        m_cursor = std::make_unique<odbc::Cursor>(*m_statement);
        return m_cursor->fetch();
    } catch (const EOdbcError &error) {
        FailOnTimeout(error);
        throw;
    }
}

bool TDataAccessFacade::NextRow()
{
    try {
        return m_cursor && m_cursor->fetch();
    } catch (const EOdbcError &error) {
        FailOnTimeout(error);
        throw;
    }
}

void TDataAccessFacade::FailOnTimeout(const EOdbcError &Error)
{
    if (!Error.HasSqlState(QStringLiteral("HYT00")))
        return;
    // The session is in an unknown state after a timeout: the next
    // operation opens a fresh one.
    CloseConnection();
    throw EQueryTimeout(QueryTimeout());
}

void TDataAccessFacade::CloseQuery() noexcept
{
    m_cursor.reset();
    if (m_statement)
        m_statement->closeCursor();
    m_statement.reset();
}

std::unique_ptr<TDataBaseList> TDataAccessFacade::GetDataBases()
{
    std::unique_ptr<TDataBaseList> list;
    try {
        UseDataBase(QStringLiteral("master"));
        ClearSql();
        AddSql(QStringLiteral("SELECT * FROM sysdatabases "));
        AddSql(QStringLiteral("ORDER BY name"));
        if (OpenQuery()) {
            const int dbid = m_cursor->requireField(QStringLiteral("dbid"));
            const int name = m_cursor->requireField(QStringLiteral("name"));
            list = std::make_unique<TDataBaseList>();
            do {
                list->Add(std::make_unique<TDataBase>(m_cursor->asString(name), qint32(m_cursor->asInteger(dbid))));
            } while (NextRow());
        }
    } catch (const EQueryTimeout &) {
        // Reopening would wait on the stalled server once more: the next
        // operation opens the remembered database.
        m_catalog = m_rememberedDataBase;
        throw;
    } catch (...) {
        CloseQuery();
        quietly([this] { RestoreDataBase(); });
        throw;
    }
    CloseQuery();
    RestoreDataBase();
    return list;
}

std::unique_ptr<TTableList> TDataAccessFacade::GetTables(TDataBase *DataBase)
{
    std::unique_ptr<TTableList> list;
    try {
        ClearSql();
        AddSql(QStringLiteral("SELECT * FROM sysobjects WHERE %1='%2'").arg(QStringLiteral("xtype"), QStringLiteral("U ")));
        AddSql(QStringLiteral(" ORDER BY name"));
        if (OpenQuery()) {
            const int xtype = m_cursor->requireField(QStringLiteral("xtype"));
            const int id = m_cursor->requireField(QStringLiteral("id"));
            const int name = m_cursor->requireField(QStringLiteral("name"));
            list = std::make_unique<TTableList>();
            do {
                auto table = std::make_unique<TTable>(m_cursor->asString(name), m_cursor->asString(xtype),
                                                      qint32(m_cursor->asInteger(id)));
                table->DataBase = DataBase;
                list->Add(std::move(table));
            } while (NextRow());
        }
    } catch (...) {
        CloseQuery();
        throw;
    }
    CloseQuery();
    return list;
}

std::unique_ptr<QStringList> TDataAccessFacade::GetPrimaryColumnNames(const TTable *Table)
{
    if (!Table)
        return nullptr;
    CloseQuery();
    EnsureOpen();
    auto names = std::make_unique<QStringList>();
    odbc::Statement statement(*m_connection);
    if (ReadsSysCatalogue()) {
        PrimaryColumnNamesFromSys(statement, Table->Id, *names);
        return names;
    }
    // The name goes in as a string literal; in brackets when it needs them,
    // so the procedure reads a name with a dot or a blank as one name.
    statement.execDirect(QStringLiteral("EXEC sp_MShelpcolumns N%1").arg(QuoteString(QuoteName(Table->Name))));
    // The procedure may send a few empty results before its column list.
    while (statement.columnCount() == 0)
        if (statement.moreResults() == SQL_NO_DATA) {
            statement.closeCursor();
            return names;
        }
    odbc::Cursor cursor(statement);
    const int flags = cursor.requireField(QStringLiteral("col_flags"));
    const int name = cursor.requireField(QStringLiteral("col_name"));
    // Bit 4 marks a key column; bit 1 is set as well for char, varchar,
    // binary and their kin, so a key column of those types reports 5.
    while (cursor.fetch())
        if ((cursor.asInteger(flags) & 4) != 0)
            names->append(cursor.asString(name));
    statement.closeCursor();
    return names;
}

std::vector<TForeignKey> TDataAccessFacade::GetForeignKeys(TForeignKeyCatalogue Catalogue)
{
    CloseQuery();
    EnsureOpen();
    // Held here: a timeout drops the facade's connection before the statement goes.
    const std::shared_ptr<odbc::Connection> connection = m_connection;
    odbc::Statement statement(*connection);
    ApplyQueryTimeout(statement);
    TForeignKeyCollector keys;
    try {
        statement.execDirect(ForeignKeysQuery(Catalogue));
        odbc::Cursor cursor(statement);
        const int constraint = cursor.requireField(QStringLiteral("constraint_name"));
        const int table = cursor.requireField(QStringLiteral("table_name"));
        const int referenced = cursor.requireField(QStringLiteral("referenced_table"));
        const int column = cursor.requireField(QStringLiteral("column_name"));
        const int referencedColumn = cursor.requireField(QStringLiteral("referenced_column"));
        const int disabled = cursor.requireField(QStringLiteral("is_disabled"));
        while (cursor.fetch())
            keys.AddRow(cursor.asString(constraint), cursor.asString(table), cursor.asString(referenced), cursor.asString(column),
                        cursor.asString(referencedColumn), !cursor.isNull(disabled) && cursor.asInteger(disabled) != 0);
        statement.closeCursor();
    } catch (const EOdbcError &Error) {
        FailOnTimeout(Error);
        throw;
    }
    return keys.Take();
}

std::vector<TForeignKey> TDataAccessFacade::GetForeignKeys()
{
    CloseQuery();
    EnsureOpen(); // the opening reads the server's version
    return GetForeignKeys(ReadsSysCatalogue() ? TForeignKeyCatalogue::CatalogViews : TForeignKeyCatalogue::SystemTables);
}

QString TDataAccessFacade::GetDataBaseCollation(const QString &DataBase)
{
    CloseQuery();
    EnsureOpen();
    try {
        odbc::Statement statement(*m_connection);
        statement.execDirect(QStringLiteral("SELECT DATABASEPROPERTYEX(%1, 'Collation')").arg(QuoteNationalString(DataBase)));
        odbc::Cursor cursor(statement);
        QString collation;
        if (cursor.fieldCount() > 0 && cursor.fetch() && !cursor.isNull(0))
            collation = cursor.asString(0).trimmed();
        statement.closeCursor();
        return collation;
    } catch (const EOdbcError &) {
        // A server without DATABASEPROPERTYEX has no collations per column
        // either (SQL Server 7): there is none to tell.
        return QString();
    }
}

void TDataAccessFacade::LoadColumns(TTable *Table)
{
    if (!Table)
        return;
    const std::unique_ptr<QStringList> primary = GetPrimaryColumnNames(Table);
    Table->DataBaseCollation = GetDataBaseCollation(Table->DataBase ? Table->DataBase->Name : m_catalog);
    ClearSql();
    Table->Columns.Clear();
    if (ReadsSysCatalogue()) {
        LoadColumnsFromSys(Table, primary.get());
        return;
    }
    // In the table's order: the rows are read by name in this order.
    AddSql(QStringLiteral("SELECT * FROM syscolumns WHERE %1=%2 ORDER BY colid;").arg(QStringLiteral("id")).arg(Table->Id));
    try {
        if (OpenQuery()) {
            const int xtype = m_cursor->requireField(QStringLiteral("xtype"));
            const int id = m_cursor->requireField(QStringLiteral("id"));
            const int status = m_cursor->requireField(QStringLiteral("status"));
            const int length = m_cursor->requireField(QStringLiteral("length"));
            const int name = m_cursor->requireField(QStringLiteral("name"));
            const int xprec = m_cursor->fieldIndex(QStringLiteral("xprec"));
            const int xscale = m_cursor->fieldIndex(QStringLiteral("xscale"));
            const int computed = m_cursor->fieldIndex(QStringLiteral("iscomputed"));
            const int nullable = m_cursor->fieldIndex(QStringLiteral("isnullable"));
            const int collation = m_cursor->fieldIndex(QStringLiteral("collation"));
            do {
                // The code as a whole number: an unknown one stays unknown.
                const int type = int(m_cursor->asInteger(xtype));
                const qint32 tableId = qint32(m_cursor->asInteger(id));
                const qint64 statusValue = m_cursor->asInteger(status);
                const qint32 lengthValue = qint32(m_cursor->asInteger(length));
                const QString columnName = m_cursor->asString(name);
                std::unique_ptr<TCustomColumn> column =
                    GetColumnClass(type)(columnName, type, tableId, statusValue == 128, lengthValue);
                if ((type == XType::Decimal || type == XType::Numeric) && xprec >= 0 && xscale >= 0) {
                    column->Precision = int(m_cursor->asInteger(xprec));
                    column->Scale = int(m_cursor->asInteger(xscale));
                }
                if (computed >= 0 && !m_cursor->isNull(computed))
                    column->IsComputed = m_cursor->asInteger(computed) != 0;
                // status bit 8 says the same on servers without isnullable.
                if (nullable >= 0 && !m_cursor->isNull(nullable))
                    column->IsNullable = m_cursor->asInteger(nullable) != 0;
                else
                    column->IsNullable = (statusValue & 8) != 0;
                if (collation >= 0 && !m_cursor->isNull(collation))
                    column->Collation = m_cursor->asString(collation).trimmed();
                if (primary)
                    column->IsPrimaryKey = primary->contains(columnName, Qt::CaseInsensitive);
                Table->Columns.Add(std::move(column));
            } while (NextRow());
        }
    } catch (...) {
        CloseQuery();
        throw;
    }
    // The server would keep the connection busy with a half-read result.
    CloseQuery();
}

TColumnClass TDataAccessFacade::GetColumnClass(int XType)
{
    return ::GetColumnClass(XType);
}

std::unique_ptr<TRowSet> TDataAccessFacade::OpenTableRows(const TTable *Table, const QString &RowFilter)
{
    m_lastOpenError.clear();
    if (!Table)
        return nullptr;
    try {
        const QString catalog = Table->DataBase ? Table->DataBase->Name : m_catalog;
        const QString name = QuoteName(Table->Name);
        // The columns the script carries, by name, in the order it declares
        // them; a variant with what the script needs to know of its base
        // type. A table whose columns were never read gets all its fields.
        QStringList select;
        std::vector<bool> variants;
        for (const TCustomColumn *column : Table->Columns) {
            if (!column->IsUsed || !column->IsCarriable())
                continue;
            const QString field = QuoteName(column->Name);
            // The newer types come as text or bytes the script writes
            // exactly (date and time, xml, the CLR types' binary form).
            select << ReadExpression(*column, field);
            const bool variant = column->ColumnType.XType == XType::SqlVariant;
            variants.push_back(variant);
            if (variant)
                for (const char *property : {"BaseType", "Precision", "Scale", "MaxLength", "Collation"})
                    select << QStringLiteral("SQL_VARIANT_PROPERTY(%1, '%2')").arg(field, QLatin1String(property));
        }
        if (select.isEmpty() && !Table->Columns.IsEmpty())
            throw EDataAccessError(QStringLiteral("Ни один из выбранных столбцов таблицы «%1» нельзя перенести.").arg(Table->Name));
        const QString fields = select.isEmpty() ? QStringLiteral("*") : select.join(QStringLiteral(", "));
        // The user's condition goes as written: a mistake in it is the
        // server's to report, before a single row is read.
        const QString where = RowFilterClause(RowFilter);
        // Read ahead on a thread of its own: the server's answer and the
        // script's writing overlap.
        return std::make_unique<TReadAheadRowSet>(std::make_unique<TOdbcRowSet>(
            OpenExtraConnection(catalog), QStringLiteral("SELECT COUNT(*) FROM %1%2").arg(name, where),
            QStringLiteral("SELECT %1 FROM %2%3").arg(fields, name, where), variants));
    } catch (const EQuorvaneException &error) {
        m_lastOpenError = error.Message();
    } catch (const std::exception &error) {
        m_lastOpenError = QString::fromLocal8Bit(error.what());
    }
    return nullptr;
}

std::unique_ptr<TScriptCommand> TDataAccessFacade::MakeScriptCommand(const TScript *Script)
{
    if (!Script)
        return nullptr;
    QString text;
    for (const QString &line : Script->Lines)
        text += line + QStringLiteral("\r\n");
    return std::make_unique<TScriptCommand>(this, text);
}

TScriptResult TDataAccessFacade::ExecuteScriptText(const QString &Text, int MaxRows)
{
    CloseQuery();
    EnsureOpen();
    TScriptResult result = RunScript(*m_connection, Text, MaxRows);
    // A script may have moved the session with USE; "Initial Catalog" then
    // names that database, so a later switch back is not taken for a no-op.
    try {
        const QString current = m_connection->currentCatalog();
        if (!current.isEmpty())
            m_catalog = current;
    } catch (const EOdbcError &) {
    }
    return result;
}

namespace {
std::unique_ptr<TDataAccessFacade> &facadeCell()
{
    static std::unique_ptr<TDataAccessFacade> facade;
    return facade;
}
} // namespace

TDataAccessFacade *DataAccessFacade()
{
    auto &facade = facadeCell();
    if (!facade)
        facade = std::make_unique<TDataAccessFacade>();
    return facade.get();
}

void DestroyDataAccessFacade()
{
    facadeCell().reset();
}
