// The type catalogue and literal values.

#include "Types.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

namespace qts {

void fail(std::int32_t number, std::uint8_t severity, std::string text, bool abortBatch)
{
    SqlFailure f;
    f.number = number;
    f.severity = severity;
    f.text = std::move(text);
    f.abortBatch = abortBatch;
    throw f;
}

void failTerminated(std::int32_t number, std::uint8_t severity, std::string text)
{
    SqlFailure f;
    f.number = number;
    f.severity = severity;
    f.text = std::move(text);
    f.terminated = true;
    throw f;
}

namespace {

struct TypeEntry {
    const char *name;
    XType type;
    std::int32_t length;
    std::uint8_t precision;
    std::uint8_t scale;
    int since; // the first release that has it
};

const TypeEntry kTypes[] = {
    {"image", XType::Image, 16, 0, 0, 2000},
    {"text", XType::Text, 16, 0, 0, 2000},
    {"uniqueidentifier", XType::UniqueIdentifier, 16, 0, 0, 2000},
    {"date", XType::Date, 3, 10, 0, 2008},
    {"time", XType::Time, 5, 16, 7, 2008},
    {"datetime2", XType::DateTime2, 8, 27, 7, 2008},
    {"datetimeoffset", XType::DateTimeOffset, 10, 34, 7, 2008},
    {"tinyint", XType::TinyInt, 1, 3, 0, 2000},
    {"smallint", XType::SmallInt, 2, 5, 0, 2000},
    {"int", XType::Int, 4, 10, 0, 2000},
    {"smalldatetime", XType::SmallDateTime, 4, 16, 0, 2000},
    {"real", XType::Real, 4, 24, 0, 2000},
    {"money", XType::Money, 8, 19, 4, 2000},
    {"datetime", XType::DateTime, 8, 23, 3, 2000},
    {"float", XType::Float, 8, 53, 0, 2000},
    {"sql_variant", XType::SqlVariant, 8016, 0, 0, 2000},
    {"ntext", XType::NText, 16, 0, 0, 2000},
    {"bit", XType::Bit, 1, 1, 0, 2000},
    {"decimal", XType::Decimal, 9, 18, 0, 2000},
    {"numeric", XType::Numeric, 9, 18, 0, 2000},
    {"smallmoney", XType::SmallMoney, 4, 10, 4, 2000},
    {"bigint", XType::BigInt, 8, 19, 0, 2000},
    {"hierarchyid", XType::HierarchyId, 892, 0, 0, 2008},
    {"geometry", XType::Geometry, kMaxLength, 0, 0, 2008},
    {"geography", XType::Geography, kMaxLength, 0, 0, 2008},
    {"varbinary", XType::VarBinary, 1, 0, 0, 2000},
    {"varchar", XType::VarChar, 1, 0, 0, 2000},
    {"binary", XType::Binary, 1, 0, 0, 2000},
    {"char", XType::Char, 1, 0, 0, 2000},
    {"timestamp", XType::Timestamp, 8, 0, 0, 2000},
    {"nvarchar", XType::NVarChar, 2, 0, 0, 2000},
    {"nchar", XType::NChar, 2, 0, 0, 2000},
    {"xml", XType::Xml, kMaxLength, 0, 0, 2005},
};

const TypeEntry *entryFor(XType t)
{
    for (const auto &e : kTypes)
        if (e.type == t)
            return &e;
    return nullptr;
}

std::int32_t decimalLength(int precision)
{
    return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
}

} // namespace

std::string typeName(XType type)
{
    const TypeEntry *e = entryFor(type);
    return e ? e->name : "";
}

void defaultPrecision(TypeInfo &t)
{
    const TypeEntry *e = entryFor(t.type);
    if (!e || t.type == XType::Decimal || t.type == XType::Numeric)
        return;
    t.precision = e->precision;
    t.scale = e->scale;
}

TypeInfo typeFromName(const std::string &rawName, int arg1, int arg2)
{
    std::string name = toLowerAscii(rawName);
    if (name == "integer") name = "int";
    else if (name == "dec") name = "decimal";
    else if (name == "rowversion") name = "timestamp";
    else if (name == "double precision") name = "float";
    else if (name == "character" || name == "national character" || name == "national char") name = name.rfind("national", 0) == 0 ? "nchar" : "char";
    else if (name == "character varying" || name == "char varying") name = "varchar";
    else if (name == "national character varying" || name == "national char varying") name = "nvarchar";
    else if (name == "national text") name = "ntext";
    if (name == "sysname") {
        TypeInfo t{XType::NVarChar, 256, 0, 0};
        return t;
    }
    const ServerVersion &release = currentServerVersion();
    const TypeEntry *entry = nullptr;
    for (const auto &e : kTypes)
        if (name == e.name && release.atLeast(e.since))
            entry = &e;
    if (!entry)
        fail(2715, 16, std::string(release.atLeast(2005) ? "Column, parameter, or variable" : "Column or parameter")
                           + " #1: Cannot find data type " + rawName + ".");
    TypeInfo t{entry->type, entry->length, entry->precision, entry->scale};
    const bool maxLength = arg1 == kMaxArgument;
    if (maxLength && (!release.atLeast(2005) || !(t.type == XType::VarChar || t.type == XType::NVarChar || t.type == XType::VarBinary)))
        fail(102, 15, "Incorrect syntax near 'max'.", true);
    switch (t.type) {
    case XType::Time: case XType::DateTime2: case XType::DateTimeOffset: {
        const int n = arg1 < 0 ? 7 : arg1;
        if (n > 7)
            fail(1002, 16, "Line 1: Specified scale " + std::to_string(n) + " is invalid.", true);
        setTimeScale(t, n);
        break;
    }
    case XType::Char: case XType::VarChar: case XType::Binary: case XType::VarBinary: {
        if (maxLength) {
            t.length = kMaxLength;
            break;
        }
        const int n = arg1 < 0 ? 1 : arg1;
        if (n < 1 || n > 8000)
            fail(131, 15, "The size (" + std::to_string(n) + ") given to the type '" + name + "' exceeds the maximum allowed for any data type (8000).");
        t.length = n;
        break;
    }
    case XType::NChar: case XType::NVarChar: {
        if (maxLength) {
            t.length = kMaxLength;
            break;
        }
        const int n = arg1 < 0 ? 1 : arg1;
        if (n < 1 || n > 4000)
            fail(2717, 16, "The size (" + std::to_string(n) + ") given to the parameter '" + name + "' exceeds the maximum allowed (4000).");
        t.length = 2 * n;
        break;
    }
    case XType::Decimal: case XType::Numeric: {
        const int p = arg1 < 0 ? 18 : arg1;
        const int s = arg2 < 0 ? 0 : arg2;
        if (p < 1 || p > 38)
            fail(2750, 16, "Column or parameter #1: Specified column precision " + std::to_string(p) + " is greater than the maximum precision of 38.");
        if (s > p)
            fail(2751, 16, "Column or parameter #1: Specified column scale " + std::to_string(s) + " is greater than the specified precision of " + std::to_string(p) + ".");
        t.precision = std::uint8_t(p);
        t.scale = std::uint8_t(s);
        t.length = decimalLength(p);
        break;
    }
    case XType::Float:
        if (arg1 >= 1 && arg1 <= 24)
            t = TypeInfo{XType::Real, 4, 24, 0};
        else if (arg1 > 53)
            fail(2750, 16, "Column or parameter #1: Specified column precision " + std::to_string(arg1) + " is greater than the maximum precision of 53.");
        break;
    default:
        break;
    }
    return t;
}

void setTimeScale(TypeInfo &t, int scale)
{
    // Digits of the fraction: its storage (3, 4 or 5 bytes of time) and the
    // characters of the text form.
    const int timeBytes = scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
    const int fraction = scale > 0 ? scale + 1 : 0;
    t.scale = std::uint8_t(scale);
    switch (t.type) {
    case XType::Time: t.length = timeBytes; t.precision = std::uint8_t(8 + fraction); break;
    case XType::DateTime2: t.length = timeBytes + 3; t.precision = std::uint8_t(19 + fraction); break;
    case XType::DateTimeOffset: t.length = timeBytes + 5; t.precision = std::uint8_t(26 + fraction); break;
    default: break;
    }
}

std::string typeDisplay(const TypeInfo &t)
{
    std::string n = typeName(t.type);
    if (isMaxType(t))
        return n + "(max)";
    switch (t.type) {
    case XType::Char: case XType::VarChar: case XType::Binary: case XType::VarBinary:
        return n + "(" + std::to_string(t.length) + ")";
    case XType::NChar: case XType::NVarChar:
        return n + "(" + std::to_string(t.length / 2) + ")";
    case XType::Time: case XType::DateTime2: case XType::DateTimeOffset:
        return n + "(" + std::to_string(t.scale) + ")";
    case XType::Decimal: case XType::Numeric:
        return n + "(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
    default:
        return n;
    }
}

bool isStringType(XType t)
{
    return t == XType::Char || t == XType::VarChar || t == XType::Text || t == XType::NChar || t == XType::NVarChar || t == XType::NText;
}
bool isUnicodeType(XType t) { return t == XType::NChar || t == XType::NVarChar || t == XType::NText; }
bool isBinaryType(XType t) { return t == XType::Binary || t == XType::VarBinary || t == XType::Image || t == XType::Timestamp; }
bool isIntegerType(XType t)
{
    return t == XType::TinyInt || t == XType::SmallInt || t == XType::Int || t == XType::BigInt || t == XType::Bit;
}
bool isExactNumeric(XType t)
{
    return t == XType::Decimal || t == XType::Numeric || t == XType::Money || t == XType::SmallMoney;
}
bool isNumericType(XType t) { return isIntegerType(t) || isExactNumeric(t) || t == XType::Float || t == XType::Real; }
bool isDateType(XType t) { return t == XType::DateTime || t == XType::SmallDateTime; }
bool isTimeType(XType t)
{
    return t == XType::Date || t == XType::Time || t == XType::DateTime2 || t == XType::DateTimeOffset;
}
bool isLobType(XType t) { return t == XType::Text || t == XType::NText || t == XType::Image; }
bool isMaxType(const TypeInfo &t)
{
    return t.length == kMaxLength && (t.type == XType::VarChar || t.type == XType::NVarChar || t.type == XType::VarBinary);
}
bool isClrType(XType t) { return t == XType::HierarchyId || t == XType::Geometry || t == XType::Geography; }
bool isLargeType(const TypeInfo &t) { return isLobType(t.type) || isMaxType(t) || t.type == XType::Xml; }

int typePrecedence(XType t)
{
    // SQL Server's data type precedence, highest first.
    static const XType order[] = {
        XType::HierarchyId, XType::Geometry, XType::Geography, XType::SqlVariant, XType::Xml,
        XType::DateTimeOffset, XType::DateTime2, XType::DateTime, XType::SmallDateTime, XType::Date, XType::Time,
        XType::Float, XType::Real, XType::Decimal, XType::Money, XType::SmallMoney, XType::BigInt, XType::Int,
        XType::SmallInt, XType::TinyInt, XType::Bit, XType::NText, XType::Text, XType::Image, XType::Timestamp,
        XType::UniqueIdentifier, XType::NVarChar, XType::NChar, XType::VarChar, XType::Char, XType::VarBinary,
        XType::Binary,
    };
    if (t == XType::Numeric)
        t = XType::Decimal;
    for (std::size_t k = 0; k < std::size(order); ++k)
        if (order[k] == t)
            return int(std::size(order) - k);
    return 0;
}

TypedValue nullValue()
{
    TypedValue tv;
    tv.t = TypeInfo{XType::Int, 4, 10, 0};
    return tv;
}

TypedValue intValue(std::int64_t v, XType t)
{
    TypedValue tv;
    tv.v.kind = Value::Kind::Int;
    tv.v.i = v;
    tv.t = typeFromName(typeName(t), -1, -1);
    return tv;
}

TypedValue textValue(std::string utf8, bool unicode, std::uint8_t collation)
{
    TypedValue tv = literalText(std::move(utf8), unicode);
    resolveLiteral(tv, collation);
    return tv;
}

TypedValue literalText(std::string utf8, bool unicode)
{
    TypedValue tv;
    tv.v.kind = Value::Kind::Text;
    tv.t = TypeInfo{unicode ? XType::NVarChar : XType::VarChar, 0, 0, 0, kLiteralCollation};
    tv.v.bytes = std::move(utf8);
    return tv;
}

void resolveLiteral(TypedValue &tv, std::uint8_t collation)
{
    if (tv.t.collation != kLiteralCollation || tv.v.kind != Value::Kind::Text)
        return;
    tv.t.collation = collation;
    if (isUnicodeType(tv.t.type)) {
        tv.t.length = std::max<std::int32_t>(2, 2 * std::int32_t(utf16Units(tv.v.bytes)));
    } else {
        tv.v.bytes = toCodePage(tv.v.bytes, collationInfo(collation).codePage);
        tv.t.length = std::max<std::int32_t>(1, std::int32_t(utf8Length(tv.v.bytes)));
    }
}

TypedValue bytesValue(std::string bytes)
{
    TypedValue tv;
    tv.v.kind = Value::Kind::Bytes;
    tv.t = TypeInfo{XType::VarBinary, std::max<std::int32_t>(1, std::int32_t(bytes.size())), 0, 0};
    tv.v.bytes = std::move(bytes);
    return tv;
}

TypedValue decimalValue(__int128 unscaled, std::uint8_t scale, std::uint8_t precision)
{
    TypedValue tv;
    tv.v.kind = Value::Kind::Decimal;
    tv.v.unscaled = unscaled;
    tv.v.scale = scale;
    if (precision < scale)
        precision = scale;
    if (precision < 1)
        precision = 1;
    tv.t = TypeInfo{XType::Numeric, 0, precision, scale};
    tv.t.length = precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
    return tv;
}

TypedValue floatValue(double d)
{
    TypedValue tv;
    tv.v.kind = Value::Kind::Float;
    tv.v.f = d;
    tv.t = TypeInfo{XType::Float, 8, 53, 0};
    return tv;
}

__int128 pow10i(int n)
{
    __int128 r = 1;
    for (int i = 0; i < n; ++i)
        r *= 10;
    return r;
}

bool mulPow10(__int128 v, int n, __int128 &out)
{
    if (n < 0 || n > 38) {
        out = 0;
        return v == 0;
    }
    return !__builtin_mul_overflow(v, pow10i(n), &out);
}

int digitCount(__int128 v)
{
    if (v < 0)
        v = -v;
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

std::string int128ToString(__int128 v)
{
    if (v == 0)
        return "0";
    const bool neg = v < 0;
    unsigned __int128 u = neg ? (unsigned __int128)(-(v + 1)) + 1 : (unsigned __int128)v;
    std::string s;
    while (u > 0) {
        s += char('0' + int(u % 10));
        u /= 10;
    }
    if (neg)
        s += '-';
    return std::string(s.rbegin(), s.rend());
}

std::string decimalToString(__int128 unscaled, int scale)
{
    const bool neg = unscaled < 0;
    std::string digits = int128ToString(neg ? -unscaled : unscaled);
    if (scale > 0) {
        if (int(digits.size()) <= scale)
            digits.insert(0, std::size_t(scale + 1 - int(digits.size())), '0');
        digits.insert(digits.size() - std::size_t(scale), ".");
    }
    return (neg ? "-" : "") + digits;
}

TypedValue numberLiteral(std::string_view text)
{
    const bool hasExp = text.find_first_of("eE") != std::string_view::npos;
    if (hasExp)
        return floatValue(std::strtod(std::string(text).c_str(), nullptr));
    const auto dot = text.find('.');
    std::string digits;
    int scale = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '.')
            continue;
        digits += text[i];
        if (dot != std::string_view::npos && i > dot)
            ++scale;
    }
    std::size_t first = digits.find_first_not_of('0');
    std::string significant = first == std::string::npos ? "" : digits.substr(first);
    if (significant.size() > 38)
        fail(1007, 15, "The number '" + std::string(text) + "' is out of the range for numeric representation (maximum precision 38).", true);
    __int128 v = 0;
    for (char ch : significant)
        v = v * 10 + (ch - '0');
    if (dot == std::string_view::npos && v <= 2147483647)
        return intValue(std::int64_t(v));
    int precision = std::max<int>(int(significant.size()), scale);
    if (precision == 0)
        precision = 1;
    return decimalValue(v, std::uint8_t(scale), std::uint8_t(precision));
}

} // namespace qts
