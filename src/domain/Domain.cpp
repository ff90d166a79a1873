#include "Domain.h"

#include "LocaleFormat.h"
#include "RowSet.h"
#include "SqlNames.h"

#include <cstring>

namespace {

enum class Kind { Numeric, String, NationalString, DateTime, Binary, Temporal };

struct CatalogueEntry
{
    int xtype;
    const char *name;
    Kind kind;
    bool withLength;
};

// Column types by syscolumns.xtype (sys.types.system_type_id), in code
// order: SQL Server 2000's, and the date and time types and xml of 2005
// and 2008 (the CLR types share a code and are kept apart, IsClr).
constexpr CatalogueEntry catalogue[] = {
    {XType::Image, "image", Kind::Binary, false},
    {XType::Text, "text", Kind::String, false},
    {XType::UniqueIdentifier, "uniqueidentifier", Kind::String, false},
    {XType::Date, "date", Kind::Temporal, false},
    {XType::Time, "time", Kind::Temporal, false},
    {XType::DateTime2, "datetime2", Kind::Temporal, false},
    {XType::DateTimeOffset, "datetimeoffset", Kind::Temporal, false},
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
    {XType::Xml, "xml", Kind::NationalString, false},
};

const CatalogueEntry *findEntry(int xtype)
{
    for (const CatalogueEntry &entry : catalogue)
        if (entry.xtype == xtype)
            return &entry;
    return nullptr;
}

template <typename TKind>
std::unique_ptr<TCustomColumn> newColumn(const QString &Name, int XType, qint32 Id, bool IsIdentity,
                                         qint32 Length)
{
    return std::make_unique<TKind>(Name, XType, Id, IsIdentity, Length);
}

// True when the characters from Start on, after blanks, begin with "go" in
// any letter case: the line would read as a batch separator to sqlcmd and
// tsql, which cut at such a line even inside a string literal.
bool startsLikeGo(const QChar *data, qsizetype start, qsizetype n, qsizetype *at)
{
    qsizetype j = start;
    while (j < n && data[j] != u'\r' && data[j] != u'\n' && data[j].isSpace())
        ++j;
    if (j + 1 >= n || (data[j].unicode() | 0x20) != u'g' || (data[j + 1].unicode() | 0x20) != u'o')
        return false;
    *at = j;
    return true;
}

// '...' with quotes doubled. A backslash right before a line break is a
// line continuation to the server, which drops the backslash and the break.
// Such a backslash is followed by another backslash and CR LF: the server
// takes that pair for the continuation and keeps the value as it was, and
// the literal stays one piece of any length. The same continuation splits
// a line of the value that starts with "go" after its G, so that no line of
// the script reads as a batch separator (the server joins G and O again).
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
            out += u"\\\r\n";
            runStart = i + 1;
        } else if (qsizetype g = 0; (c == u'\r' || c == u'\n') && startsLikeGo(data, i + 1, n, &g)) {
            out.append(data + runStart, g + 1 - runStart);
            out += u"\\\r\n";
            runStart = g + 1;
            i = g;
        }
    }
    out.append(data + runStart, n - runStart);
    out += u'\'';
}

// The code point of the UTF-8 sequence at Data[I] and its length; a byte
// that starts no valid sequence stands for itself.
char32_t decodeUtf8(const char *data, qsizetype i, qsizetype n, int *length)
{
    const unsigned char b = static_cast<unsigned char>(data[i]);
    const int size = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (size == 1 || i + size > n) {
        *length = 1;
        return b;
    }
    char32_t c = b & (0x7F >> size);
    for (int k = 1; k < size; ++k)
        c = (c << 6) | (static_cast<unsigned char>(data[i + k]) & 0x3F);
    *length = size;
    return c;
}

// startsLikeGo for UTF-8 text: the same blanks (QChar::isSpace) are skipped.
bool startsLikeGoUtf8(const char *data, qsizetype start, qsizetype n, qsizetype *at)
{
    qsizetype j = start;
    while (j < n && data[j] != '\r' && data[j] != '\n') {
        int length = 1;
        const char32_t c = decodeUtf8(data, j, n, &length);
        if (c > 0xFFFF || !QChar::isSpace(c))
            break;
        j += length;
    }
    if (j + 1 >= n || (data[j] | 0x20) != 'g' || (data[j + 1] | 0x20) != 'o')
        return false;
    *at = j;
    return true;
}

// Whether the eight bytes at P hold a quote, a backslash, CR or LF.
bool hasQuoteBackslashOrBreak(const char *p)
{
    constexpr quint64 ones = 0x0101010101010101ull;
    constexpr quint64 tops = 0x8080808080808080ull;
    quint64 w;
    std::memcpy(&w, p, 8);
    // Nonzero exactly when V has a zero byte.
    const auto zeroByte = [](quint64 v) { return (v - ones) & ~v & tops; };
    return (zeroByte(w ^ (ones * '\'')) | zeroByte(w ^ (ones * '\\')) | zeroByte(w ^ (ones * '\r'))
            | zeroByte(w ^ (ones * '\n'))) != 0;
}

// appendStringLiteral in UTF-8: every rule works on ASCII characters, so the
// bytes of other characters pass as they are. The literal is written in
// place: no source byte grows into more than three (a backslash before a
// line break gets the continuation's three bytes after it).
void appendStringLiteralUtf8(QByteArray &out, QByteArrayView text, bool national)
{
    const qsizetype n = text.size();
    const char *data = text.data();
    const qsizetype start = out.size();
    out.resize(start + 3 * n + 3);
    char *const begin = out.data();
    char *p = begin + start;
    if (national)
        *p++ = 'N';
    *p++ = '\'';
    const auto copy = [&p, data](qsizetype from, qsizetype to) {
        if (to > from) {
            std::memcpy(p, data + from, size_t(to - from));
            p += to - from;
        }
    };
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        // Eight bytes at a time past runs that hold none of ' \ CR LF.
        while (n - i >= 8 && !hasQuoteBackslashOrBreak(data + i))
            i += 8;
        if (i >= n)
            break;
        const char c = data[i];
        if (c != '\'' && c != '\\' && c != '\r' && c != '\n')
            continue;
        if (c == '\'') {
            copy(runStart, i + 1);
            *p++ = '\'';
            runStart = i + 1;
        } else if (c == '\\' && i + 1 < n && (data[i + 1] == '\r' || data[i + 1] == '\n')) {
            copy(runStart, i + 1);
            std::memcpy(p, "\\\r\n", 3);
            p += 3;
            runStart = i + 1;
        } else if (qsizetype g = 0; (c == '\r' || c == '\n') && startsLikeGoUtf8(data, i + 1, n, &g)) {
            copy(runStart, g + 1);
            std::memcpy(p, "\\\r\n", 3);
            p += 3;
            runStart = g + 1;
            i = g;
        }
    }
    copy(runStart, n);
    *p++ = '\'';
    out.resize(p - begin);
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

QString TColumnType::GetTypeName(int XType)
{
    const CatalogueEntry *entry = findEntry(XType);
    return entry ? QString::fromLatin1(entry->name) : QString();
}

bool IsKnownType(int XType)
{
    return findEntry(XType) != nullptr;
}

bool IsSystemClrTypeName(const QString &Name)
{
    const QString name = Name.trimmed();
    for (const char *known : {"hierarchyid", "geometry", "geography"})
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

int XTypeFromName(const QString &Name)
{
    const QString wanted = Name.trimmed();
    for (const CatalogueEntry &entry : catalogue)
        if (wanted.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.xtype;
    return -1;
}

TCustomColumn::TCustomColumn(const QString &Name, int XType, qint32 Id, bool IsIdentity, qint32 Length)
    : TCustomIdObject(Id), Name(Name), ColumnType(XType), IsIdentity(IsIdentity), Length(Length)
{
}

QString TCustomColumn::GetSQLValue(const QString &Text) const
{
    QString out;
    AppendSQLValue(out, Text);
    return out;
}

bool TCustomColumn::IsOfKnownType() const
{
    return IsKnownType(ColumnType.XType) || IsClr();
}

bool TCustomColumn::IsClr() const
{
    return ColumnType.XType == XType::Clr && IsSystemClrTypeName(ColumnType.Name);
}

bool TCustomColumn::IsCarriable() const
{
    return !IsComputed && ColumnType.XType != XType::Timestamp && IsOfKnownType();
}

bool TCustomColumn::IsComparable() const
{
    const int x = ColumnType.XType;
    if (IsClr())
        return ColumnType.Name.trimmed().compare(QLatin1String("hierarchyid"), Qt::CaseInsensitive) == 0;
    return x != XType::Text && x != XType::NText && x != XType::Image && x != XType::Xml;
}

bool TCustomColumn::IsNational() const
{
    const int x = ColumnType.XType;
    return x == XType::NChar || x == XType::NVarChar || x == XType::NText;
}

bool TCustomColumn::IsCharacter() const
{
    const int x = ColumnType.XType;
    return IsNational() || x == XType::Char || x == XType::VarChar || x == XType::Text;
}

TKeyRefusal KeyRefusal(const TCustomColumn &Column)
{
    if (!Column.IsOfKnownType())
        return krUnknownType;
    if (Column.IsComputed || Column.ColumnType.XType == XType::Timestamp)
        return krNotCarriable;
    if (!Column.IsComparable())
        return krNotComparable;
    if (!Column.IsUsed)
        return krNotUsed;
    return krNone;
}

std::unique_ptr<TCustomColumn> CloneColumn(const TCustomColumn &Column)
{
    auto copy = CreateColumn(Column.Name, Column.ColumnType.XType, Column.Id, Column.IsIdentity, Column.Length);
    copy->IsPrimaryKey = Column.IsPrimaryKey;
    copy->IsKey = Column.IsKey;
    copy->IsUsed = Column.IsUsed;
    copy->Precision = Column.Precision;
    copy->Scale = Column.Scale;
    copy->IsComputed = Column.IsComputed;
    copy->IsNullable = Column.IsNullable;
    copy->Collation = Column.Collation;
    copy->ColumnType.Name = Column.ColumnType.Name;
    copy->IsRowGuidCol = Column.IsRowGuidCol;
    copy->IsSparse = Column.IsSparse;
    return copy;
}

namespace {

void appendNumber(QString &Out, QStringView Text)
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

// appendNumber in UTF-8.
void appendNumberUtf8(QByteArray &Out, QByteArrayView Text)
{
    const QChar separator = DecimalSeparator();
    if (separator == u'.') {
        Out += Text;
        return;
    }
    if (separator.unicode() < 0x80) {
        const char s = char(separator.unicode());
        const qsizetype start = Out.size();
        Out += Text;
        char *data = Out.data() + start;
        for (qsizetype i = 0, n = Text.size(); i < n; ++i)
            if (data[i] == s)
                data[i] = '.';
        return;
    }
    const QByteArray encoded = QString(separator).toUtf8();
    Out += QByteArray(Text.data(), Text.size()).replace(encoded, ".");
}

void appendDateTimeUtf8(QByteArray &Out, QByteArrayView Text)
{
    Out += "CONVERT(DATETIME, ";
    appendStringLiteralUtf8(Out, Text, false);
    Out += ",105)";
}

void appendDateTime(QString &Out, QStringView Text)
{
    // The row set's date texts hold no quote; doubling keeps the literal
    // valid should one ever arrive.
    Out += u"CONVERT(DATETIME, ";
    appendStringLiteral(Out, Text, false);
    Out += u",105)";
}

// The server's text of a date or time value made ISO 8601: the blank
// between date and time becomes T, the one before the offset goes
// ("2024-02-29 13:45:07.1 +03:00" -> "2024-02-29T13:45:07.1+03:00"). A date
// alone and a time alone stay as they are.
void appendTemporalUtf8(QByteArray &Out, QByteArrayView Text)
{
    const char *data = Text.data();
    const qsizetype n = Text.size();
    Out += '\'';
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data[i];
        if (c == ' ') {
            // The blank after ten characters of date; the one before a sign.
            if (i == 10 && i + 1 < n && data[i + 1] >= '0' && data[i + 1] <= '9')
                Out += 'T';
            else if (i + 1 < n && (data[i + 1] == '+' || data[i + 1] == '-'))
                continue;
            else
                Out += ' ';
        } else if (c == '\'') {
            Out += "''";
        } else {
            Out += c;
        }
    }
    Out += '\'';
}

void appendTemporal(QString &Out, QStringView Text)
{
    QByteArray literal;
    appendTemporalUtf8(literal, Text.toUtf8());
    Out += QString::fromUtf8(literal);
}

void appendBinary(QString &Out, QStringView Text)
{
    Out += u"0x";
    Out += Text;
}

bool differs(const QString &collation, const QString &defaultCollation)
{
    return !collation.isEmpty() && !defaultCollation.isEmpty()
           && collation.compare(defaultCollation, Qt::CaseInsensitive) != 0;
}

// A character length from a byte length; at least 1.
int characters(int bytes, bool national)
{
    const int n = national ? bytes / 2 : bytes;
    return n < 1 ? 1 : n;
}

// CAST(literal AS basetype(...)): the target's variant gets the same base
// type, precision, scale, length and (when it is not the database's
// default) collation. Character values go as N'...' so that no character
// is lost before the conversion to the base type's code page.
void appendVariantLiteral(QString &Out, QStringView Text, const TVariantBase &Base, const QString &DefaultCollation)
{
    const CatalogueEntry *entry = findEntry(XTypeFromName(Base.BaseType));
    if (!entry) {
        appendStringLiteral(Out, Text, true);
        return;
    }
    const int x = entry->xtype;
    // The COLLATE inside makes the conversion use the value's own code
    // page; the one outside states the collation the value keeps.
    const bool collated = (x == XType::Char || x == XType::VarChar || x == XType::NChar || x == XType::NVarChar)
                          && differs(Base.Collation, DefaultCollation);
    Out += u"CAST(";
    switch (entry->kind) {
    case Kind::Numeric:
        appendNumber(Out, Text);
        break;
    case Kind::String:
    case Kind::NationalString:
        appendStringLiteral(Out, Text, x != XType::UniqueIdentifier);
        if (collated)
            Out += QStringLiteral(" COLLATE ") + Base.Collation;
        break;
    case Kind::DateTime:
        appendDateTime(Out, Text);
        break;
    case Kind::Binary:
        appendBinary(Out, Text);
        break;
    case Kind::Temporal:
        appendTemporal(Out, Text);
        break;
    }
    Out += u" AS ";
    Out += QLatin1String(entry->name);
    if (x == XType::Time || x == XType::DateTime2 || x == XType::DateTimeOffset)
        Out += QStringLiteral("(%1)").arg(Base.Scale);
    else if (x == XType::Decimal || x == XType::Numeric)
        Out += QStringLiteral("(%1,%2)").arg(Base.Precision > 0 ? Base.Precision : 38).arg(Base.Scale);
    else if (entry->withLength)
        Out += QStringLiteral("(%1)").arg(characters(Base.MaxLength, x == XType::NChar || x == XType::NVarChar));
    Out += u')';
    if (collated)
        Out += QStringLiteral(" COLLATE ") + Base.Collation;
}

} // namespace

void TNumericColumn::AppendSQLValue(QString &Out, QStringView Text) const
{
    appendNumber(Out, Text);
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
    appendDateTime(Out, Text);
}

void TTemporalColumn::AppendSQLValue(QString &Out, QStringView Text) const
{
    appendTemporal(Out, Text);
}

void TTemporalColumn::AppendSQLValue(QByteArray &Out, QByteArrayView Text) const
{
    appendTemporalUtf8(Out, Text);
}

void TBinaryColumn::AppendSQLValue(QString &Out, QStringView Text) const
{
    appendBinary(Out, Text);
}

void TNumericColumn::AppendSQLValue(QByteArray &Out, QByteArrayView Text) const
{
    appendNumberUtf8(Out, Text);
}

void TStringColumn::AppendSQLValue(QByteArray &Out, QByteArrayView Text) const
{
    appendStringLiteralUtf8(Out, Text, false);
}

void TNationalStringColumn::AppendSQLValue(QByteArray &Out, QByteArrayView Text) const
{
    appendStringLiteralUtf8(Out, Text, true);
}

void TDateTimeColumn::AppendSQLValue(QByteArray &Out, QByteArrayView Text) const
{
    appendDateTimeUtf8(Out, Text);
}

void TBinaryColumn::AppendSQLValue(QByteArray &Out, QByteArrayView Text) const
{
    Out += "0x";
    Out += Text;
}

TColumnClass GetColumnClass(int XType)
{
    if (XType == XType::Clr)
        return &newColumn<TBinaryColumn>;
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
    case Kind::Temporal:
        return &newColumn<TTemporalColumn>;
    }
    return &newColumn<TStringColumn>;
}

std::unique_ptr<TCustomColumn> CreateColumn(const QString &Name, int XType, qint32 Id, bool IsIdentity,
                                            qint32 Length)
{
    return GetColumnClass(XType)(Name, XType, Id, IsIdentity, Length);
}

bool IsDeclaredWithLength(int XType)
{
    const CatalogueEntry *entry = findEntry(XType);
    return entry && entry->withLength;
}

QString GetDeclaredType(const TCustomColumn &Column, const QString &DefaultCollation)
{
    const int xtype = Column.ColumnType.XType;
    // The CLR types travel in their binary form.
    if (Column.IsClr())
        return QStringLiteral("varbinary(max)");
    const CatalogueEntry *entry = findEntry(xtype);
    if (!entry)
        return QString();
    QString declared = QLatin1String(entry->name);
    if (xtype == XType::Time || xtype == XType::DateTime2 || xtype == XType::DateTimeOffset) {
        // The catalogue's scale: 0 to 7 fractional digits.
        declared += QStringLiteral("(%1)").arg(Column.Scale >= 0 && Column.Scale <= 7 ? Column.Scale : 7);
    } else if (xtype == XType::Decimal || xtype == XType::Numeric) {
        // Without the catalogue's precision, 38 digits hold any value of the
        // source column's scale.
        const int precision = Column.Precision > 0 ? Column.Precision : 38;
        declared += QStringLiteral("(%1,%2)").arg(precision).arg(Column.Scale);
    } else if (IsDeclaredWithLength(xtype)) {
        // The catalogue gives bytes; -1 is a max type (SQL Server 2005 on).
        if (Column.Length == -1)
            declared += QStringLiteral("(max)");
        else if (Column.Length >= 1)
            declared += QStringLiteral("(%1)").arg(characters(Column.Length, Column.IsNational()));
    }
    if (Column.IsCharacter() && differs(Column.Collation, DefaultCollation))
        declared += QStringLiteral(" COLLATE ") + Column.Collation;
    return declared;
}

QString TargetValue(const TCustomColumn &Column, const QString &Reference)
{
    if (!Column.IsClr())
        return Reference;
    return QStringLiteral("CAST(%1 AS %2)").arg(Reference, Column.ColumnType.Name.trimmed().toLower());
}

QString ReadExpression(const TCustomColumn &Column, const QString &Field)
{
    const int xtype = Column.ColumnType.XType;
    QString text;
    if (xtype == XType::Date || xtype == XType::Time || xtype == XType::DateTime2 || xtype == XType::DateTimeOffset)
        text = QStringLiteral("nvarchar(40)"); // the style-less text keeps every digit of the scale and the offset
    else if (xtype == XType::Xml)
        text = QStringLiteral("nvarchar(max)");
    else if (Column.IsClr())
        text = QStringLiteral("varbinary(max)");
    else
        return Field;
    return QStringLiteral("CAST(%1 AS %2) AS %1").arg(Field, text);
}

QString GetColumnDeclaration(const TCustomColumn &Column, const QString &Suffix, const QString &DefaultCollation)
{
    return QuoteName(Column.Name + Suffix) + u' ' + GetDeclaredType(Column, DefaultCollation);
}

void AppendFieldLiteral(QString &Out, const TRowSet &RowSet, int Index, const TCustomColumn &Column,
                        const QString &DefaultCollation)
{
    if (RowSet.IsNull(Index))
        Out += u"NULL";
    else if (Column.ColumnType.XType == XType::SqlVariant)
        appendVariantLiteral(Out, RowSet.AsString(Index), RowSet.VariantBase(Index), DefaultCollation);
    else
        Column.AppendSQLValue(Out, RowSet.AsString(Index));
}

void AppendFieldLiteral(QByteArray &Out, const TRowSet &RowSet, int Index, const TCustomColumn &Column,
                        const QString &DefaultCollation, QByteArray &Scratch)
{
    if (RowSet.IsNull(Index)) {
        Out += "NULL";
    } else if (Column.ColumnType.XType == XType::SqlVariant) {
        QString literal;
        appendVariantLiteral(literal, RowSet.AsString(Index), RowSet.VariantBase(Index), DefaultCollation);
        Out += literal.toUtf8();
    } else if (QByteArrayView text; RowSet.Utf8View(Index, text)) {
        Column.AppendSQLValue(Out, text);
    } else {
        Scratch.resize(0);
        if (!RowSet.AppendUtf8(Index, Scratch))
            Scratch = RowSet.AsString(Index).toUtf8();
        Column.AppendSQLValue(Out, Scratch);
    }
}

QString GetFieldLiteral(const TRowSet &RowSet, int Index, const TCustomColumn &Column, const QString &DefaultCollation)
{
    QString out;
    AppendFieldLiteral(out, RowSet, Index, Column, DefaultCollation);
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

TTableSnapshot::TTableSnapshot(const TTable &Source)
    : m_table(std::make_unique<TTable>(Source.Name, Source.ObjectType, Source.Id))
{
    if (Source.DataBase) {
        m_dataBase = std::make_unique<TDataBase>(Source.DataBase->Name, Source.DataBase->Id);
        m_table->DataBase = m_dataBase.get();
    }
    m_table->Nickname = Source.Nickname;
    m_table->DataBaseCollation = Source.DataBaseCollation;
    for (const TCustomColumn *column : Source.Columns)
        m_table->Columns.Add(CloneColumn(*column));
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
