// The type catalogue and literal values.

#include "Types.h"

#include <cstdlib>
#include <cstring>

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
};

const TypeEntry kTypes[] = {
    {"image", XType::Image, 16, 0, 0},
    {"text", XType::Text, 16, 0, 0},
    {"uniqueidentifier", XType::UniqueIdentifier, 16, 0, 0},
    {"tinyint", XType::TinyInt, 1, 3, 0},
    {"smallint", XType::SmallInt, 2, 5, 0},
    {"int", XType::Int, 4, 10, 0},
    {"smalldatetime", XType::SmallDateTime, 4, 16, 0},
    {"real", XType::Real, 4, 24, 0},
    {"money", XType::Money, 8, 19, 4},
    {"datetime", XType::DateTime, 8, 23, 3},
    {"float", XType::Float, 8, 53, 0},
    {"sql_variant", XType::SqlVariant, 8016, 0, 0},
    {"ntext", XType::NText, 16, 0, 0},
    {"bit", XType::Bit, 1, 1, 0},
    {"decimal", XType::Decimal, 9, 18, 0},
    {"numeric", XType::Numeric, 9, 18, 0},
    {"smallmoney", XType::SmallMoney, 4, 10, 4},
    {"bigint", XType::BigInt, 8, 19, 0},
    {"varbinary", XType::VarBinary, 1, 0, 0},
    {"varchar", XType::VarChar, 1, 0, 0},
    {"binary", XType::Binary, 1, 0, 0},
    {"char", XType::Char, 1, 0, 0},
    {"timestamp", XType::Timestamp, 8, 0, 0},
    {"nvarchar", XType::NVarChar, 2, 0, 0},
    {"nchar", XType::NChar, 2, 0, 0},
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
    const TypeEntry *entry = nullptr;
    for (const auto &e : kTypes)
        if (name == e.name)
            entry = &e;
    if (!entry)
        fail(2715, 16, "Column or parameter #1: Cannot find data type " + rawName + ".");
    TypeInfo t{entry->type, entry->length, entry->precision, entry->scale};
    switch (t.type) {
    case XType::Char: case XType::VarChar: case XType::Binary: case XType::VarBinary: {
        const int n = arg1 < 0 ? 1 : arg1;
        if (n < 1 || n > 8000)
            fail(131, 15, "The size (" + std::to_string(n) + ") given to the type '" + name + "' exceeds the maximum allowed for any data type (8000).");
        t.length = n;
        break;
    }
    case XType::NChar: case XType::NVarChar: {
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

std::string typeDisplay(const TypeInfo &t)
{
    std::string n = typeName(t.type);
    switch (t.type) {
    case XType::Char: case XType::VarChar: case XType::Binary: case XType::VarBinary:
        return n + "(" + std::to_string(t.length) + ")";
    case XType::NChar: case XType::NVarChar:
        return n + "(" + std::to_string(t.length / 2) + ")";
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
bool isLobType(XType t) { return t == XType::Text || t == XType::NText || t == XType::Image; }

int typePrecedence(XType t)
{
    switch (t) {
    case XType::SqlVariant: return 25;
    case XType::DateTime: return 24;
    case XType::SmallDateTime: return 23;
    case XType::Float: return 22;
    case XType::Real: return 21;
    case XType::Decimal: case XType::Numeric: return 20;
    case XType::Money: return 19;
    case XType::SmallMoney: return 18;
    case XType::BigInt: return 17;
    case XType::Int: return 16;
    case XType::SmallInt: return 15;
    case XType::TinyInt: return 14;
    case XType::Bit: return 13;
    case XType::NText: return 12;
    case XType::Text: return 11;
    case XType::Image: return 10;
    case XType::Timestamp: return 9;
    case XType::UniqueIdentifier: return 8;
    case XType::NVarChar: return 7;
    case XType::NChar: return 6;
    case XType::VarChar: return 5;
    case XType::Char: return 4;
    case XType::VarBinary: return 3;
    case XType::Binary: return 2;
    }
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
