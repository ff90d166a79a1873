// Conversions between types, comparison and key encoding, with SQL Server's
// errors for values that do not fit.

#include "Types.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace qts {

namespace {

const char *sourceName(const TypeInfo &t)
{
    switch (t.type) {
    case XType::Decimal: case XType::Numeric: return "numeric";
    case XType::Money: return "money";
    case XType::SmallMoney: return "smallmoney";
    case XType::Float: return "float";
    case XType::Real: return "real";
    case XType::DateTime: return "datetime";
    case XType::SmallDateTime: return "smalldatetime";
    case XType::TinyInt: return "tinyint";
    case XType::SmallInt: return "smallint";
    case XType::Int: return "int";
    case XType::BigInt: return "bigint";
    case XType::Bit: return "bit";
    default: return "expression";
    }
}

[[noreturn]] void overflow(const TypeInfo &from, const TypeInfo &to)
{
    std::string target = typeName(to.type);
    if (to.type == XType::Decimal)
        target = "numeric";
    failTerminated(8115, 16, "Arithmetic overflow error converting " + std::string(sourceName(from)) + " to data type " + target + ".");
}

// A character string whose number does not fit the exact numeric type.
[[noreturn]] void textOverflow(const std::string &sourceTypeName, const TypeInfo &to)
{
    if (to.type == XType::Money)
        failTerminated(236, 16, "The conversion from char data type to money resulted in a money overflow error.");
    if (to.type == XType::SmallMoney)
        failTerminated(294, 16, "The conversion from char data type to smallmoney data type resulted in a smallmoney overflow error.");
    failTerminated(8115, 16, "Arithmetic overflow error converting " + sourceTypeName + " to data type numeric.");
}

std::string trimSpaces(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return std::string(s.substr(b, e - b));
}

// "[+-]digits[.digits]" (and an exponent when allowExp) into unscaled/scale.
bool parseDecimalText(const std::string &s, __int128 &unscaled, int &scale, bool &isFloatForm)
{
    isFloatForm = false;
    std::size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    __int128 v = 0;
    int digits = 0, sc = 0;
    bool dot = false, any = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '.' && !dot) { dot = true; continue; }
        if (c == 'e' || c == 'E') { isFloatForm = true; return any; }
        if (c < '0' || c > '9')
            return false;
        any = true;
        if (digits > 0 || c != '0')
            ++digits;
        if (digits > 38)
            return false;
        v = v * 10 + (c - '0');
        if (dot)
            ++sc;
    }
    if (!any)
        return false;
    unscaled = neg ? -v : v;
    scale = sc;
    return true;
}

__int128 rescale(__int128 v, int from, int to);

// v (at scale `from`) at scale `to`, rounded half away from zero; false
// when it grows beyond 128 bits (and so beyond any precision).
bool rescale(__int128 v, int from, int to, __int128 &out)
{
    if (to >= from)
        return mulPow10(v, to - from, out);
    out = rescale(v, from, to);
    return true;
}

__int128 rescale(__int128 v, int from, int to)
{
    if (to >= from)
        return v * pow10i(to - from);
    const __int128 div = pow10i(from - to);
    __int128 q = v / div, r = v % div;
    if (r < 0) r = -r;
    if (r * 2 >= div)
        q += v < 0 ? -1 : 1;
    return q;
}

bool intRange(XType t, std::int64_t v)
{
    switch (t) {
    case XType::TinyInt: return v >= 0 && v <= 255;
    case XType::SmallInt: return v >= -32768 && v <= 32767;
    case XType::Int: return v >= INT32_MIN && v <= INT32_MAX;
    default: return true;
    }
}

TypeInfo baseType(const TypedValue &in)
{
    return in.t.type == XType::SqlVariant ? variantBaseType(in.v) : in.t;
}

std::string guidToText(const std::string &b)
{
    if (b.size() != 16)
        return "";
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out;
    char buf[3];
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10)
            out += '-';
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(b[std::size_t(order[k])]));
        out += buf;
    }
    return out;
}

bool guidFromText(std::string s, std::string &out)
{
    s = trimSpaces(s);
    if (s.size() >= 38 && s.front() == '{')
        s = s.substr(1, 36);
    if (s.size() > 36)
        s.resize(36);
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
        return false;
    std::string hex;
    for (char c : s)
        if (c != '-')
            hex += c;
    if (hex.size() != 32)
        return false;
    unsigned char raw[16];
    for (int k = 0; k < 16; ++k) {
        int v = 0;
        for (int j = 0; j < 2; ++j) {
            const char c = hex[std::size_t(2 * k + j)];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (d < 0)
                return false;
            v = v * 16 + d;
        }
        raw[k] = static_cast<unsigned char>(v);
    }
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    out.assign(16, '\0');
    for (int k = 0; k < 16; ++k)
        out[std::size_t(order[k])] = char(raw[k]);
    return true;
}

std::string floatText(double d)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", d);
    std::string s = buf;
    const auto e = s.find('e');
    if (e != std::string::npos) {
        // SQL Server writes three exponent digits: 1.23457e+006.
        std::string mant = s.substr(0, e), exp = s.substr(e + 2);
        while (exp.size() < 3)
            exp.insert(0, "0");
        s = mant + "e" + s[e + 1] + exp;
    }
    return s;
}

// Fits a string into a character or binary type of fixed or limited length.
void fitString(TypedValue &out, const TypeInfo &to, bool forColumn)
{
    std::string &s = out.v.bytes;
    const bool fixed = to.type == XType::Char || to.type == XType::NChar || to.type == XType::Binary;
    if (isLobType(to.type) || to.type == XType::Timestamp)
        return;
    if (to.type == XType::Binary || to.type == XType::VarBinary) {
        const std::size_t max = std::size_t(to.length);
        if (s.size() > max) {
            if (forColumn)
                failTerminated(8152, 16, "String or binary data would be truncated.");
            s.resize(max);
        }
        if (fixed && s.size() < max)
            s.append(max - s.size(), '\0');
        return;
    }
    const bool unicode = isUnicodeType(to.type);
    const std::size_t max = std::size_t(unicode ? to.length / 2 : to.length);
    std::size_t len = unicode ? utf16Units(s) : utf8Length(s);
    if (len > max) {
        // Trailing blanks past the length are dropped silently.
        std::size_t cut = 0, units = 0;
        while (cut < s.size() && units < max) {
            const auto b = static_cast<unsigned char>(s[cut]);
            std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
            units += (unicode && n == 4) ? 2 : 1;
            cut += n;
        }
        if (forColumn && s.find_first_not_of(' ', cut) != std::string::npos)
            failTerminated(8152, 16, "String or binary data would be truncated.");
        s.resize(std::min(cut, s.size()));
        len = max;
    }
    if (fixed && len < max)
        s.append(max - len, ' ');
}

} // namespace

std::string valueToText(const TypedValue &tv)
{
    const Value &v = tv.v;
    const TypeInfo t = baseType(tv);
    switch (v.kind) {
    case Value::Kind::Null: return "";
    case Value::Kind::Int: return std::to_string(v.i);
    case Value::Kind::Float: return floatText(v.f);
    case Value::Kind::Decimal:
        if (t.type == XType::Money || t.type == XType::SmallMoney)
            return decimalToString(rescale(v.unscaled, v.scale, 2), 2);
        return decimalToString(v.unscaled, v.scale);
    case Value::Kind::DateTime: return dateTimeToText(v.days, v.ticks, t.type == XType::SmallDateTime);
    case Value::Kind::Text: return v.bytes;
    case Value::Kind::Bytes:
        if (t.type == XType::UniqueIdentifier)
            return guidToText(v.bytes);
        return decodeCodePage(v.bytes, collationInfo(kServerCollation).codePage);
    }
    return "";
}

TypedValue convertValue(const TypedValue &inRaw, const TypeInfo &to, int style, bool forColumn)
{
    TypedValue out;
    out.t = to;
    if (inRaw.v.isNull())
        return out;
    TypedValue in = inRaw;
    in.t = baseType(inRaw);
    const Value &v = in.v;
    const XType target = to.type;
    const XType source = in.t.type;

    if (target == XType::SqlVariant) {
        if (isLobType(source) || source == XType::Timestamp)
            fail(206, 16, "Operand type clash: " + typeName(source) + " is incompatible with sql_variant", true);
        // The value keeps its type: precision and scale, length, collation.
        out.v = v;
        out.v.variantType = source;
        out.v.variantPrecision = in.t.precision;
        out.v.variantLength = in.t.length;
        out.v.variantCollation = isStringType(source) ? in.t.collation : kServerCollation;
        if (out.v.variantCollation == kLiteralCollation)
            out.v.variantCollation = kServerCollation;
        if (v.kind == Value::Kind::Decimal)
            out.v.scale = in.t.scale;
        return out;
    }
    if (target == XType::Timestamp)
        fail(273, 16, "Cannot insert a non-null value into a timestamp column. Use INSERT with a column list or with a default of NULL for the timestamp column.");

    const bool sourceText = v.kind == Value::Kind::Text;
    const std::string sourceTypeName = typeName(source);

    if (isIntegerType(target)) {
        std::int64_t r = 0;
        switch (v.kind) {
        case Value::Kind::Int: r = v.i; break;
        case Value::Kind::Float:
            if (!(v.f > -9.3e18 && v.f < 9.3e18) || !intRange(target == XType::Bit ? XType::BigInt : target, std::int64_t(v.f)))
                overflow(in.t, to);
            r = std::int64_t(v.f);
            break;
        case Value::Kind::Decimal: {
            const __int128 q = v.unscaled / pow10i(v.scale);
            if (q > INT64_MAX || q < INT64_MIN)
                overflow(in.t, to);
            r = std::int64_t(q);
            if (target != XType::Bit && !intRange(target, r))
                overflow(in.t, to);
            break;
        }
        case Value::Kind::DateTime: r = v.days + (v.ticks >= 12u * 3600u * 300u ? 1 : 0); break;
        case Value::Kind::Text: {
            const std::string s = trimSpaces(v.bytes);
            __int128 u = 0;
            int sc = 0;
            bool fl = false;
            if (!parseDecimalText(s, u, sc, fl) || fl || sc > 0 || s.find('.') != std::string::npos)
                fail(245, 16, "Syntax error converting the " + sourceTypeName + " value '" + v.bytes + "' to a column of data type " + typeName(target) + ".", true);
            if (u > INT64_MAX || u < INT64_MIN || !intRange(target == XType::Bit ? XType::BigInt : target, std::int64_t(u)))
                fail(248, 16, "The conversion of the " + sourceTypeName + " value '" + v.bytes + "' overflowed an " + typeName(target) + " column. Use a larger integer column.", true);
            r = std::int64_t(u);
            break;
        }
        case Value::Kind::Bytes: {
            const std::size_t n = std::size_t(to.length);
            const std::string &b = v.bytes;
            std::uint64_t u = 0;
            const std::size_t start = b.size() > n ? b.size() - n : 0;
            for (std::size_t k = start; k < b.size(); ++k)
                u = (u << 8) | static_cast<unsigned char>(b[k]);
            r = target == XType::TinyInt ? std::int64_t(u & 0xFF) : target == XType::SmallInt ? std::int16_t(u) : target == XType::Int ? std::int32_t(u) : std::int64_t(u);
            break;
        }
        case Value::Kind::Null: break;
        }
        if (target == XType::Bit)
            r = r != 0 ? 1 : 0;
        else if (!intRange(target, r)) {
            if (isIntegerType(source) && target != XType::Int)
                failTerminated(220, 16, "Arithmetic overflow error for data type " + typeName(target) + ", value = " + std::to_string(r) + ".");
            overflow(in.t, to);
        }
        out.v.kind = Value::Kind::Int;
        out.v.i = r;
        return out;
    }

    if (isExactNumeric(target)) {
        const int scale = to.scale;
        __int128 u = 0;
        switch (v.kind) {
        case Value::Kind::Int:
            if (!mulPow10(v.i, scale, u))
                overflow(in.t, to);
            break;
        case Value::Kind::Decimal:
            if (!rescale(v.unscaled, v.scale, scale, u))
                overflow(in.t, to);
            break;
        case Value::Kind::Float: {
            if (!std::isfinite(v.f) || std::fabs(v.f) >= 1e38)
                overflow(in.t, to);
            char buf[512];
            std::snprintf(buf, sizeof buf, "%.*f", scale, v.f);
            int sc = 0;
            bool fl = false;
            if (!parseDecimalText(buf, u, sc, fl))
                overflow(in.t, to);
            break;
        }
        case Value::Kind::Text: {
            std::string s = trimSpaces(v.bytes);
            if ((target == XType::Money || target == XType::SmallMoney) && !s.empty() && s[0] == '$')
                s.erase(0, 1);
            int sc = 0;
            bool fl = false;
            if (!parseDecimalText(s, u, sc, fl) || fl) {
                if (target == XType::Money || target == XType::SmallMoney)
                    fail(235, 16, "Cannot convert a char value to money. The char value has incorrect syntax.", true);
                fail(8114, 16, "Error converting data type " + sourceTypeName + " to numeric.", true);
            }
            if (!rescale(u, sc, scale, u))
                textOverflow(sourceTypeName, to);
            break;
        }
        case Value::Kind::DateTime:
        case Value::Kind::Bytes:
        case Value::Kind::Null:
            fail(8114, 16, "Error converting data type " + sourceTypeName + " to " + typeName(target) + ".", true);
        }
        bool ok = true;
        if (target == XType::Money)
            ok = u >= INT64_MIN && u <= INT64_MAX;
        else if (target == XType::SmallMoney)
            ok = u >= -2147483648LL && u <= 2147483647LL;
        else
            ok = (u < 0 ? -u : u) < pow10i(to.precision);
        if (!ok && sourceText)
            textOverflow(sourceTypeName, to);
        if (!ok)
            overflow(in.t, to);
        out.v.kind = Value::Kind::Decimal;
        out.v.unscaled = u;
        out.v.scale = std::uint8_t(scale);
        return out;
    }

    if (target == XType::Float || target == XType::Real) {
        double d = 0;
        switch (v.kind) {
        case Value::Kind::Int: d = double(v.i); break;
        case Value::Kind::Decimal: d = std::strtod(decimalToString(v.unscaled, v.scale).c_str(), nullptr); break;
        case Value::Kind::Float: d = v.f; break;
        case Value::Kind::DateTime: d = v.days + v.ticks / (300.0 * 86400.0); break;
        case Value::Kind::Text: {
            const std::string s = trimSpaces(v.bytes);
            char *end = nullptr;
            d = std::strtod(s.c_str(), &end);
            if (s.empty() || *end != '\0' || s.find_first_of("xXnN") != std::string::npos)
                fail(8114, 16, "Error converting data type " + sourceTypeName + " to float.", true);
            break;
        }
        default:
            fail(8114, 16, "Error converting data type " + sourceTypeName + " to float.", true);
        }
        if (target == XType::Real) {
            // Out of range only when it does not round to a finite real: the
            // shortest text of the largest real, 3.4028235E+38, lies a little
            // above it and still names it.
            if (std::isfinite(d) && !std::isfinite(float(d)))
                overflow(in.t, to);
            d = double(float(d));
        }
        if (!std::isfinite(d))
            overflow(in.t, to);
        out.v.kind = Value::Kind::Float;
        out.v.f = d;
        return out;
    }

    if (isDateType(target)) {
        std::int32_t days = 0;
        std::uint32_t ticks = 0;
        switch (v.kind) {
        case Value::Kind::DateTime: days = v.days; ticks = v.ticks; break;
        case Value::Kind::Text:
            if (bool range = false; !parseDateTime(v.bytes, style, days, ticks, &range)) {
                if (range)
                    fail(242, 16, "The conversion of a char data type to a datetime data type resulted in an out-of-range datetime value.");
                fail(241, 16, "Syntax error converting datetime from character string.", true);
            }
            break;
        case Value::Kind::Int: days = std::int32_t(v.i); break;
        case Value::Kind::Float: case Value::Kind::Decimal: {
            const double d = v.kind == Value::Kind::Float ? v.f : std::strtod(decimalToString(v.unscaled, v.scale).c_str(), nullptr);
            if (!(d > -1e7 && d < 1e7))
                fail(8115, 16, "Arithmetic overflow error converting expression to data type datetime.");
            const double fl = std::floor(d);
            days = std::int32_t(fl);
            ticks = std::uint32_t(std::llround((d - fl) * 300.0 * 86400.0));
            if (ticks >= 300u * 86400u) { ticks -= 300u * 86400u; ++days; }
            break;
        }
        default:
            fail(8114, 16, "Error converting data type " + sourceTypeName + " to datetime.", true);
        }
        if (target == XType::SmallDateTime) {
            std::uint32_t minutes = (ticks + 9000u) / 18000u;
            if (minutes >= 1440u) { minutes -= 1440u; ++days; }
            ticks = minutes * 18000u;
            if (days < 0 || days > daysFromCivil(2079, 6, 6)) {
                if (sourceText)
                    fail(296, 16, "The conversion of char data type to smalldatetime data type resulted in an out-of-range smalldatetime value.");
                fail(8115, 16, "Arithmetic overflow error converting expression to data type smalldatetime.");
            }
        } else if (days < daysFromCivil(1753, 1, 1) || days > daysFromCivil(9999, 12, 31)) {
            if (sourceText)
                fail(242, 16, "The conversion of a char data type to a datetime data type resulted in an out-of-range datetime value.");
            fail(8115, 16, "Arithmetic overflow error converting expression to data type datetime.");
        }
        out.v.kind = Value::Kind::DateTime;
        out.v.days = days;
        out.v.ticks = ticks;
        return out;
    }

    if (isStringType(target)) {
        out.v.kind = Value::Kind::Text;
        if (v.kind == Value::Kind::Text)
            out.v.bytes = v.bytes;
        else if (v.kind == Value::Kind::Bytes && source != XType::UniqueIdentifier)
            out.v.bytes = isUnicodeType(target) ? [&] {
                std::string u;
                const std::string &b = v.bytes;
                for (std::size_t k = 0; k + 1 < b.size(); k += 2) {
                    char32_t c = char32_t(static_cast<unsigned char>(b[k]) | (static_cast<unsigned char>(b[k + 1]) << 8));
                    u += utf8Encode(c);
                }
                return u;
            }() : decodeCodePage(v.bytes, collationInfo(to.collation).codePage);
        else if (v.kind == Value::Kind::DateTime && style >= 0) {
            int y, m, d;
            civilFromDays(v.days, y, m, d);
            char buf[32];
            const std::string full = dateTimeToText(v.days, v.ticks, source == XType::SmallDateTime);
            switch (style) {
            case 103: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d, m, y); out.v.bytes = buf; break;
            case 104: std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d, m, y); out.v.bytes = buf; break;
            case 105: std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", d, m, y); out.v.bytes = buf; break;
            case 112: std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d); out.v.bytes = buf; break;
            case 108: out.v.bytes = full.substr(11, 8); break;
            case 120: out.v.bytes = full.substr(0, 19); break;
            default: out.v.bytes = full; break;
            }
        } else
            out.v.bytes = valueToText(in);
        if (!isUnicodeType(target))
            out.v.bytes = toCodePage(out.v.bytes, collationInfo(to.collation).codePage);
        fitString(out, to, forColumn);
        return out;
    }

    if (target == XType::UniqueIdentifier) {
        out.v.kind = Value::Kind::Bytes;
        if (v.kind == Value::Kind::Text) {
            if (!guidFromText(v.bytes, out.v.bytes))
                fail(8169, 16, "Syntax error converting from a character string to uniqueidentifier.", true);
        } else if (v.kind == Value::Kind::Bytes) {
            out.v.bytes = v.bytes;
            out.v.bytes.resize(16, '\0');
        } else {
            fail(206, 16, "Operand type clash: " + sourceTypeName + " is incompatible with uniqueidentifier", true);
        }
        return out;
    }

    if (isBinaryType(target)) {
        out.v.kind = Value::Kind::Bytes;
        switch (v.kind) {
        case Value::Kind::Bytes: out.v.bytes = v.bytes; break;
        case Value::Kind::Text:
            if (isUnicodeType(source)) {
                std::size_t k = 0;
                const std::string &s = v.bytes;
                while (k < s.size()) {
                    const std::string one = s.substr(k, 1);
                    const auto b = static_cast<unsigned char>(s[k]);
                    const std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
                    char32_t c = b < 0x80 ? b : 0;
                    if (n > 1) {
                        c = b & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
                        for (std::size_t j = 1; j < n && k + j < s.size(); ++j)
                            c = (c << 6) | (static_cast<unsigned char>(s[k + j]) & 0x3F);
                    }
                    out.v.bytes += char(c & 0xFF);
                    out.v.bytes += char((c >> 8) & 0xFF);
                    k += n;
                }
            } else {
                out.v.bytes = encodeCodePage(v.bytes, collationInfo(in.t.collation).codePage);
            }
            break;
        case Value::Kind::Int: {
            const int n = in.t.type == XType::BigInt ? 8 : in.t.type == XType::SmallInt ? 2 : (in.t.type == XType::TinyInt || in.t.type == XType::Bit) ? 1 : 4;
            for (int k = n - 1; k >= 0; --k)
                out.v.bytes += char((std::uint64_t(v.i) >> (8 * k)) & 0xFF);
            break;
        }
        default:
            fail(206, 16, "Operand type clash: " + sourceTypeName + " is incompatible with " + typeName(target), true);
        }
        fitString(out, to, forColumn);
        return out;
    }
    fail(206, 16, "Operand type clash: " + sourceTypeName + " is incompatible with " + typeName(target), true);
}

} // namespace qts
