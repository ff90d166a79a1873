#include "Domain.h"

#include "LocaleFormat.h"
#include "RowSet.h"
#include "SqlNames.h"

namespace {

enum class Kind { Numeric, String, NationalString, DateTime, Binary };

struct CatalogueEntry
{
    quint8 xtype;
    const char *name;
    Kind kind;
    bool withLength;
};

// SQL Server 2000 column types by syscolumns.xtype, in code order.
constexpr CatalogueEntry catalogue[] = {
    {XType::Image, "image", Kind::Binary, false},
    {XType::Text, "text", Kind::String, false},
    {XType::UniqueIdentifier, "uniqueidentifier", Kind::String, false},
    {XType::TinyInt, "tinyint", Kind::Numeric, false},
    {XType::SmallInt, "smallint", Kind::Numeric, false},
    {XType::Int, "int", Kind::Numeric, false},
    {XType::SmallDateTime, "smalldatetime", Kind::DateTime, false},
    {XType::Real, "real", Kind::Numeric, false},
    {XType::Money, "money", Kind::Numeric, false},
    {XType::DateTime, "datetime", Kind::DateTime, false},
    {XType::Float, "float", Kind::Numeric, false},
    {XType::SqlVariant, "sql_variant", Kind::String, false},
    {XType::NText, "ntext", Kind::NationalString, false},
    {XType::Bit, "bit", Kind::Numeric, false},
    {XType::Decimal, "decimal", Kind::Numeric, false},
    {XType::Numeric, "numeric", Kind::Numeric, false},
    {XType::SmallMoney, "smallmoney", Kind::Numeric, false},
    {XType::BigInt, "bigint", Kind::Numeric, false},
    {XType::VarBinary, "varbinary", Kind::Binary, true},
    {XType::VarChar, "varchar", Kind::String, true},
    {XType::Binary, "binary", Kind::Binary, true},
    {XType::Char, "char", Kind::String, true},
    {XType::Timestamp, "timestamp", Kind::Binary, false},
    {XType::NVarChar, "nvarchar", Kind::NationalString, true},
    {XType::NChar, "nchar", Kind::NationalString, true},
};

const CatalogueEntry *findEntry(quint8 xtype)
{
    for (const CatalogueEntry &entry : catalogue)
        if (entry.xtype == xtype)
            return &entry;
    return nullptr;
}

template <typename TKind>
std::unique_ptr<TCustomColumn> newColumn(const QString &Name, quint8 XType, qint32 Id, bool IsIdentity,
                                         qint32 Length)
{
    return std::make_unique<TKind>(Name, XType, Id, IsIdentity, Length);
}

// '...' with quotes doubled. A backslash right before a line break would
// join the two lines on the server (line continuation), so the literal is
// closed after such a backslash and the rest concatenated: 'a\' + 'CRLF b'.
void appendStringLiteral(QString &out, QStringView text, bool national)
{
    if (national)
        out += u'N';
    out += u'\'';
    const qsizetype n = text.size();
    const QChar *data = text.data();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c == u'\'') {
            out.append(data + runStart, i + 1 - runStart);
            out += u'\'';
            runStart = i + 1;
        } else if (c == u'\\' && i + 1 < n && (data[i + 1] == u'\r' || data[i + 1] == u'\n')) {
            out.append(data + runStart, i + 1 - runStart);
            out += national ? QStringView(u"' + N'") : QStringView(u"' + '");
            runStart = i + 1;
        }
    }
    out.append(data + runStart, n - runStart);
    out += u'\'';
}

} // namespace

TSysObjectType SysObjectTypeFromCode(const QString &Code)
{
    static const char *const codes[] = {"C", "D", "L", "FN", "IF", "P", "PK", "RF",
                                        "S", "TF", "TR", "U", "UQ", "V", "X"};
    const QString trimmed = Code.trimmed();
    for (int i = 0; i < int(std::size(codes)); ++i)
        if (trimmed == QLatin1String(codes[i]))
            return static_cast<TSysObjectType>(i);
    throw EQuorvaneException(QStringLiteral("Unknown object type code \"%1\".").arg(Code));
}

QString TColumnType::GetTypeName(quint8 XType)
{
    const CatalogueEntry *entry = findEntry(XType);
    return entry ? QString::fromLatin1(entry->name) : QString();
}

TCustomColumn::TCustomColumn(const QString &Name, quint8 XType, qint32 Id, bool IsIdentity, qint32 Length)
    : TCustomIdObject(Id), Name(Name), ColumnType(XType), IsIdentity(IsIdentity), Length(Length)
{
}

QString TCustomColumn::GetSQLValue(const QString &Text) const
{
    QString out;
    AppendSQLValue(out, Text);
    return out;
}

bool TCustomColumn::IsCarriable() const
{
    return !IsComputed && ColumnType.XType != XType::Timestamp;
}

void TNumericColumn::AppendSQLValue(QString &Out, QStringView Text) const
{
    const QChar separator = DecimalSeparator();
    if (separator == u'.') {
        Out += Text;
        return;
    }
    const qsizetype start = Out.size();
    Out += Text;
    QChar *data = Out.data() + start;
    for (qsizetype i = 0, n = Text.size(); i < n; ++i)
        if (data[i] == separator)
            data[i] = u'.';
}

void TStringColumn::AppendSQLValue(QString &Out, QStringView Text) const
{
    appendStringLiteral(Out, Text, false);
}

void TNationalStringColumn::AppendSQLValue(QString &Out, QStringView Text) const
{
    appendStringLiteral(Out, Text, true);
}

void TDateTimeColumn::AppendSQLValue(QString &Out, QStringView Text) const
{
    // The row set's date texts hold no quote; doubling keeps the literal
    // valid should one ever arrive.
    Out += u"CONVERT(DATETIME, ";
    appendStringLiteral(Out, Text, false);
    Out += u",105)";
}

void TBinaryColumn::AppendSQLValue(QString &Out, QStringView Text) const
{
    Out += u"0x";
    Out += Text;
}

TColumnClass GetColumnClass(quint8 XType)
{
    const CatalogueEntry *entry = findEntry(XType);
    switch (entry ? entry->kind : Kind::String) {
    case Kind::Numeric:
        return &newColumn<TNumericColumn>;
    case Kind::String:
        return &newColumn<TStringColumn>;
    case Kind::NationalString:
        return &newColumn<TNationalStringColumn>;
    case Kind::DateTime:
        return &newColumn<TDateTimeColumn>;
    case Kind::Binary:
        return &newColumn<TBinaryColumn>;
    }
    return &newColumn<TStringColumn>;
}

std::unique_ptr<TCustomColumn> CreateColumn(const QString &Name, quint8 XType, qint32 Id, bool IsIdentity,
                                            qint32 Length)
{
    return GetColumnClass(XType)(Name, XType, Id, IsIdentity, Length);
}

bool IsDeclaredWithLength(quint8 XType)
{
    const CatalogueEntry *entry = findEntry(XType);
    return entry && entry->withLength;
}

QString GetDeclaredType(const TCustomColumn &Column)
{
    const quint8 xtype = Column.ColumnType.XType;
    if (!findEntry(xtype))
        return QStringLiteral("nvarchar(4000)");
    if (xtype == XType::Decimal || xtype == XType::Numeric) {
        // Without the catalogue's precision, 38 digits hold any value of the
        // source column's scale.
        const int precision = Column.Precision > 0 ? Column.Precision : 38;
        return QStringLiteral("%1(%2,%3)").arg(Column.ColumnType.Name).arg(precision).arg(Column.Scale);
    }
    if (IsDeclaredWithLength(xtype) && Column.Length >= 1)
        return QStringLiteral("%1(%2)").arg(Column.ColumnType.Name).arg(Column.Length);
    return Column.ColumnType.Name;
}

QString GetColumnDeclaration(const TCustomColumn &Column, const QString &Suffix)
{
    return QuoteName(Column.Name + Suffix) + u' ' + GetDeclaredType(Column);
}

void AppendFieldLiteral(QString &Out, const TRowSet &RowSet, int Index, const TCustomColumn &Column)
{
    if (RowSet.IsNull(Index))
        Out += u"NULL";
    else
        Column.AppendSQLValue(Out, RowSet.AsString(Index));
}

QString GetFieldLiteral(const TRowSet &RowSet, int Index, const TCustomColumn &Column)
{
    QString out;
    AppendFieldLiteral(out, RowSet, Index, Column);
    return out;
}

TTable::TTable(const QString &Name, TSysObjectType ObjectType, qint32 Id)
    : TCustomIdObject(Id), Name(Name), ObjectType(ObjectType)
{
}

TTable::TTable(const QString &Name, const QString &XTypeCode, qint32 Id)
    : TTable(Name, SysObjectTypeFromCode(XTypeCode), Id)
{
}

QString TTable::GetScriptName()
{
    if (Nickname.isEmpty())
        Nickname = Name;
    return Nickname;
}

bool TTable::HasIdentityColumn() const
{
    for (const TCustomColumn *column : Columns)
        if (column->IsIdentity)
            return true;
    return false;
}

bool TTable::HasKeyColumns() const
{
    for (const TCustomColumn *column : Columns)
        if (column->IsKey)
            return true;
    return false;
}

TSQLServer *TSQLServersList::FindByName(const QString &Name) const
{
    TSQLServer *found = nullptr;
    for (TSQLServer *server : *this)
        if (server->Name == Name)
            found = server;
    return found;
}

QStringList &TSQLServersList::GetNames()
{
    if (!Names)
        Names = std::make_unique<QStringList>();
    Names->clear();
    for (const TSQLServer *server : *this)
        Names->append(server->Name);
    return *Names;
}
