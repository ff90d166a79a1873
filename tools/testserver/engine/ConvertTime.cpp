// Conversions of the 2005 and 2008 types: to and from date, time, datetime2
// and datetimeoffset, to xml, and to the CLR types (kept as their binary
// form only), with SQL Server's errors.

#include "Types.h"

namespace qts {

namespace {

// 1/300 s ticks of a datetime as 100 ns units. From SQL Server 2016
// (compatibility level 130) the conversion is exact (.003 becomes
// .0033333); before, the milliseconds shown were taken (.0030000).
std::uint64_t hnsOfTicks(std::uint32_t ticks)
{
    if (currentServerVersion().atLeast(2016)) {
        const std::uint64_t x = std::uint64_t(ticks) * 100000ULL;
        return x / 3 + (x % 3 == 2 ? 1 : 0);
    }
    return std::uint64_t((std::uint64_t(ticks) * 10 + 1) / 3) * 10000ULL;
}

std::string typeWord(const TypeInfo &t)
{
    return isMaxType(t) ? typeName(t.type) + "(max)" : typeName(t.type);
}

} // namespace

void operandClash(const TypeInfo &from, const TypeInfo &to)
{
    fail(206, 16, "Operand type clash: " + typeWord(from) + " is incompatible with " + typeWord(to), true);
}

void failDateSyntax()
{
    const ServerVersion &v = currentServerVersion();
    fail(241, 16, v.atLeast(2008) ? "Conversion failed when converting date and/or time from character string."
                  : v.atLeast(2005) ? "Conversion failed when converting datetime from character string."
                                    : "Syntax error converting datetime from character string.",
         true);
}

void failDateRange(const TypeInfo &from, const TypeInfo &to)
{
    if (!currentServerVersion().atLeast(2005) && isStringType(from.type)) {
        if (to.type == XType::SmallDateTime)
            fail(296, 16, "The conversion of char data type to smalldatetime data type resulted in an out-of-range smalldatetime value.");
        fail(242, 16, "The conversion of a char data type to a datetime data type resulted in an out-of-range datetime value.");
    }
    fail(242, 16, "The conversion of a " + typeName(from.type) + " data type to a " + typeName(to.type)
                      + " data type resulted in an out-of-range value.");
}

TypedValue convertToTime(const TypedValue &in, const TypeInfo &to, int style)
{
    TypedValue out;
    out.t = to;
    const XType source = in.t.type;
    std::int32_t days = 0;
    std::uint64_t hns = 0;
    int offset = 0;
    switch (in.v.kind) {
    case Value::Kind::Time:
        // A date has no time of day to give, a time no date.
        if ((source == XType::Date && to.type == XType::Time) || (source == XType::Time && to.type == XType::Date))
            operandClash(in.t, to);
        days = source == XType::Time ? 0 : in.v.days;
        hns = in.v.hns;
        offset = source == XType::DateTimeOffset ? in.v.offset : 0;
        break;
    case Value::Kind::DateTime:
        days = in.v.days;
        hns = hnsOfTicks(in.v.ticks);
        break;
    case Value::Kind::Text: {
        TimeParts p;
        bool range = false;
        if (!parseTimeText(in.v.bytes, style, p, range))
            failDateSyntax();
        days = p.days;
        hns = p.hns;
        offset = p.offset;
        break;
    }
    default:
        operandClash(in.t, to);
    }
    // Another type than datetimeoffset keeps the local date and time.
    if (to.type != XType::DateTimeOffset)
        offset = 0;
    switch (to.type) {
    case XType::Date:
        hns = 0;
        break;
    case XType::Time:
        roundToScale(days, hns, to.scale);
        days = 0;  // a time that rounds up to midnight wraps round
        break;
    default:
        roundToScale(days, hns, to.scale);
        break;
    }
    if (days < kFirstDay || days > kLastDay)
        failDateRange(in.t, to);
    out.v.kind = Value::Kind::Time;
    out.v.days = days;
    out.v.hns = hns;
    out.v.offset = std::int16_t(offset);
    return out;
}

void timeToDateTime(const TypedValue &in, std::int32_t &days, std::uint32_t &ticks)
{
    // The local date and time; a time alone falls on 1900-01-01.
    days = in.t.type == XType::Time ? 0 : in.v.days;
    std::uint64_t t = (in.v.hns * 3 + 50000) / 100000;
    if (t >= 300ULL * 86400ULL) {
        t -= 300ULL * 86400ULL;
        ++days;
    }
    ticks = std::uint32_t(t);
}

TypedValue convertToXml(const TypedValue &in, const TypeInfo &to)
{
    TypedValue out;
    out.t = to;
    std::string text;
    bool unicode = isUnicodeType(in.t.type) || in.t.type == XType::Xml;
    switch (in.v.kind) {
    case Value::Kind::Text:
        if (in.t.type == XType::Xml)
            return TypedValue{in.v, to};
        text = in.v.bytes;
        break;
    case Value::Kind::Bytes: {
        if (!isBinaryType(in.t.type) || in.t.type == XType::Timestamp)
            operandClash(in.t, to);
        const std::string &b = in.v.bytes;
        if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0xFF && static_cast<unsigned char>(b[1]) == 0xFE) {
            // UTF-16LE with its byte-order mark.
            for (std::size_t k = 2; k + 1 < b.size(); k += 2) {
                char32_t c = char32_t(static_cast<unsigned char>(b[k]) | static_cast<unsigned char>(b[k + 1]) << 8);
                if (c >= 0xD800 && c < 0xDC00 && k + 3 < b.size()) {
                    const char32_t low = char32_t(static_cast<unsigned char>(b[k + 2]) | static_cast<unsigned char>(b[k + 3]) << 8);
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    k += 2;
                }
                text += utf8Encode(c);
            }
            unicode = true;
        } else {
            text = b.size() >= 3 && b.compare(0, 3, "\xEF\xBB\xBF") == 0 ? b.substr(3) : b;
            unicode = false;
        }
        break;
    }
    default:
        operandClash(in.t, to);
    }
    out.v.kind = Value::Kind::Text;
    out.v.bytes = checkXml(text, unicode);
    return out;
}

TypedValue convertToClr(const TypedValue &in, const TypeInfo &to)
{
    // Only the binary form travels: varbinary to the type and back, as
    // CAST(0x... AS geography) and CAST(col AS varbinary(max)) do.
    if (in.v.kind == Value::Kind::Bytes && (in.t.type == to.type || in.t.type == XType::VarBinary ||
                                            in.t.type == XType::Binary || in.t.type == XType::Image)) {
        TypedValue out;
        out.t = to;
        out.v.kind = Value::Kind::Bytes;
        out.v.bytes = in.v.bytes;
        return out;
    }
    if (isStringType(in.t.type))
        fail(50000, 16, "The test server keeps " + typeName(to.type) + " values in their binary form only: convert "
                           + typeWord(in.t) + " to varbinary first (the text forms of the CLR types are not supported).",
             true);
    operandClash(in.t, to);
}

} // namespace qts
