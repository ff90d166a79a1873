#include "WireValues.h"

#include "Codec.h"
#include "Tokens.h"
#include "engine/Calendar.h"

#include <algorithm>
#include <cstring>

namespace qts::wire {

using namespace tds;

void writeMagnitude(PacketWriter &w, __int128 unscaled, std::uint8_t wireLength)
{
    const bool negative = unscaled < 0;
    unsigned __int128 m = negative ? (unsigned __int128)(-unscaled) : (unsigned __int128)unscaled;
    w.u8(negative ? 0 : 1);
    for (int k = 0; k < wireLength - 1; ++k) {
        w.u8(std::uint8_t(m));
        m >>= 8;
    }
}

void writeMoney(PacketWriter &w, const Value &v, bool small)
{
    const __int128 x = v.kind == Value::Kind::Int ? __int128(v.i) * 10000 : rescale(v.unscaled, v.scale, 4);
    if (small) {
        w.u32(std::uint32_t(std::int32_t(x)));
    } else {
        const auto all = std::uint64_t(std::int64_t(x));
        w.u32(std::uint32_t(all >> 32));
        w.u32(std::uint32_t(all));
    }
}

void writeSmallDateTime(PacketWriter &w, const Value &v)
{
    w.u16(std::uint16_t(v.days));
    w.u16(std::uint16_t(v.ticks / (300 * 60)));
}

namespace {
thread_local std::string t_text;
} // namespace

// Text of a char-like value in its wire form (its collation's code page, or UTF-16LE).
const std::string &wireText(const Value &v, bool unicode, std::uint8_t collation)
{
    if (unicode)
        utf8ToUtf16le(v.bytes, t_text);
    else
        utf8ToCodePage(v.bytes, collationInfo(collation).codePage, t_text);
    return t_text;
}

void writeTextPointer(PacketWriter &w)
{
    static const std::uint8_t textPtr[16] = {'Q', 'V', 'T', 'X', 'T', 'P', 'T', 'R', 1, 2, 3, 4, 5, 6, 7, 8};
    w.u8(16);
    w.bytes(textPtr, 16);
    w.fill(0, 8);  // timestamp
}

void writePlp(PacketWriter &w, const char *data, std::size_t n)
{
    if (!data) {
        w.u64(~std::uint64_t(0));
        return;
    }
    // Chunks no longer than a packet: a client that waits for a whole chunk
    // before reading on then never holds more than a packet or two.
    w.u64(n);
    const std::size_t chunk = w.packetSize() - packet::HeaderSize;
    for (std::size_t at = 0; at < n; at += chunk) {
        const std::size_t k = std::min(chunk, n - at);
        w.u32(std::uint32_t(k));
        w.bytes(data + at, k);
    }
    w.u32(0);
}

std::uint8_t timeLength(int scale)
{
    return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
}

void writeTime(PacketWriter &w, std::uint64_t hns, int scale)
{
    for (int k = scale; k < 7; ++k)
        hns /= 10;
    const std::uint8_t n = timeLength(scale);
    for (std::uint8_t k = 0; k < n; ++k) {
        w.u8(std::uint8_t(hns));
        hns >>= 8;
    }
}

void writeDate(PacketWriter &w, std::int32_t days)
{
    const auto since1 = std::uint32_t(days - kFirstDay);
    w.u8(std::uint8_t(since1));
    w.u8(std::uint8_t(since1 >> 8));
    w.u8(std::uint8_t(since1 >> 16));
}

std::uint8_t timeValueLength(XType type, int scale)
{
    switch (type) {
    case XType::Date: return 3;
    case XType::Time: return timeLength(scale);
    case XType::DateTime2: return std::uint8_t(timeLength(scale) + 3);
    default: return std::uint8_t(timeLength(scale) + 5);
    }
}

void writeTimeValue(PacketWriter &w, XType type, int scale, const Value &v)
{
    switch (type) {
    case XType::Date:
        writeDate(w, v.days);
        return;
    case XType::Time:
        writeTime(w, v.hns, scale);
        return;
    case XType::DateTime2:
        writeTime(w, v.hns, scale);
        writeDate(w, v.days);
        return;
    default: {
        // Date and time in UTC, then the offset.
        std::int64_t instant = std::int64_t(v.hns) - std::int64_t(v.offset) * 600000000LL;
        std::int32_t days = v.days;
        const auto perDay = std::int64_t(kHnsPerDay);
        if (instant < 0) { instant += perDay; --days; }
        if (instant >= perDay) { instant -= perDay; ++days; }
        writeTime(w, std::uint64_t(instant), scale);
        writeDate(w, days);
        w.u16(std::uint16_t(v.offset));
        return;
    }
    }
}

std::string timeValueText(XType type, int scale, const Value &v)
{
    switch (type) {
    case XType::Date: return dateText(v.days);
    case XType::Time: return timeOfDayText(v.hns, scale);
    case XType::DateTime2: return dateText(v.days) + " " + timeOfDayText(v.hns, scale);
    default: return dateText(v.days) + " " + timeOfDayText(v.hns, scale) + " " + offsetText(v.offset);
    }
}

const char *clrTypeName(XType t)
{
    return t == XType::HierarchyId ? "hierarchyid" : t == XType::Geometry ? "geometry" : "geography";
}

const char *clrAssembly(XType t)
{
    return t == XType::HierarchyId ? "Microsoft.SqlServer.Types.SqlHierarchyId, Microsoft.SqlServer.Types, Version=11.0.0.0, Culture=neutral, PublicKeyToken=89845dcd8080cc91"
         : t == XType::Geometry ? "Microsoft.SqlServer.Types.SqlGeometry, Microsoft.SqlServer.Types, Version=11.0.0.0, Culture=neutral, PublicKeyToken=89845dcd8080cc91"
                                : "Microsoft.SqlServer.Types.SqlGeography, Microsoft.SqlServer.Types, Version=11.0.0.0, Culture=neutral, PublicKeyToken=89845dcd8080cc91";
}

} // namespace qts::wire

namespace qts {

using namespace wire;

void writeVariant(PacketWriter &w, const Value &original, int tds)
{
    // A client before TDS 7.3 gets the 2008 date and time types as nvarchar.
    Value downgraded;
    if (original.kind == Value::Kind::Time && tds < 73) {
        const XType from = original.variantType;
        downgraded.kind = Value::Kind::Text;
        downgraded.variantType = XType::NVarChar;
        downgraded.bytes = timeValueText(from, original.variantPrecision, original);
        downgraded.variantLength = std::int32_t(2 * downgraded.bytes.size());
        downgraded.variantCollation = kServerCollation;
    }
    const Value &v = original.kind == Value::Kind::Time && tds < 73 ? downgraded : original;
    // Inside a variant the fixed-length type codes are used.
    std::uint8_t base = 0;
    std::string props;
    std::size_t valueLength = 0;
    std::size_t maxLength = 0;
    const XType t = v.variantType;
    std::string text;
    switch (t) {
    case XType::TinyInt: base = 0x30; valueLength = 1; break;
    case XType::SmallInt: base = 0x34; valueLength = 2; break;
    case XType::Int: base = 0x38; valueLength = 4; break;
    case XType::BigInt: base = 0x7F; valueLength = 8; break;
    case XType::Bit: base = 0x32; valueLength = 1; break;
    case XType::Real: base = 0x3B; valueLength = 4; break;
    case XType::Float: base = 0x3E; valueLength = 8; break;
    case XType::SmallMoney: base = 0x7A; valueLength = 4; break;
    case XType::Money: base = 0x3C; valueLength = 8; break;
    case XType::SmallDateTime: base = 0x3A; valueLength = 4; break;
    case XType::DateTime: base = 0x3D; valueLength = 8; break;
    case XType::UniqueIdentifier: base = 0x24; valueLength = 16; break;
    case XType::Date: base = 0x28; valueLength = 3; break;
    case XType::Time: case XType::DateTime2: case XType::DateTimeOffset:
        base = t == XType::Time ? 0x29 : t == XType::DateTime2 ? 0x2A : 0x2B;
        props.push_back(char(v.variantPrecision));  // the scale
        valueLength = timeValueLength(t, v.variantPrecision);
        break;
    case XType::Decimal: case XType::Numeric: {
        base = t == XType::Decimal ? 0x6A : 0x6C;
        const std::uint8_t precision = v.variantPrecision != 0 ? v.variantPrecision : 38;
        props.push_back(char(precision));
        props.push_back(char(v.scale));
        valueLength = decimalWireLength(precision);
        break;
    }
    case XType::Binary: case XType::VarBinary: case XType::Timestamp:
        base = t == XType::VarBinary ? 0xA5 : 0xAD;
        valueLength = std::min<std::size_t>(v.bytes.size(), 8000);
        maxLength = v.variantLength > 0 ? std::size_t(v.variantLength) : valueLength;
        props.push_back(char(maxLength & 0xFF));
        props.push_back(char(maxLength >> 8));
        break;
    default: {
        // Character types; text, ntext and image cannot be variants.
        const bool unicode = t == XType::NChar || t == XType::NVarChar || t == XType::NText;
        base = t == XType::Char ? 0xAF : t == XType::NChar ? 0xEF : unicode ? 0xE7 : 0xA7;
        if (unicode)
            text = utf8ToUtf16le(v.bytes);
        else
            utf8ToCodePage(v.bytes, collationInfo(v.variantCollation).codePage, text);
        if (text.size() > 8000)
            text.resize(8000);
        valueLength = text.size();
        maxLength = v.variantLength > 0 ? std::size_t(v.variantLength) : valueLength;
        props.append(reinterpret_cast<const char *>(collationInfo(v.variantCollation).tds), 5);
        props.push_back(char(maxLength & 0xFF));
        props.push_back(char(maxLength >> 8));
        break;
    }
    }
    w.u32(std::uint32_t(2 + props.size() + valueLength));
    w.u8(base);
    w.u8(std::uint8_t(props.size()));
    w.bytes(props.data(), props.size());
    switch (t) {
    case XType::TinyInt: case XType::Bit: w.u8(std::uint8_t(t == XType::Bit ? v.i != 0 : v.i)); break;
    case XType::SmallInt: w.u16(std::uint16_t(v.i)); break;
    case XType::Int: w.u32(std::uint32_t(v.i)); break;
    case XType::BigInt: w.u64(std::uint64_t(v.i)); break;
    case XType::Real: {
        const float f = float(v.kind == Value::Kind::Int ? double(v.i) : v.f);
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        w.u32(bits);
        break;
    }
    case XType::Float: {
        const double d = v.kind == Value::Kind::Int ? double(v.i) : v.f;
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        w.u64(bits);
        break;
    }
    case XType::SmallMoney: case XType::Money: writeMoney(w, v, t == XType::SmallMoney); break;
    case XType::SmallDateTime: writeSmallDateTime(w, v); break;
    case XType::DateTime: w.u32(std::uint32_t(v.days)); w.u32(v.ticks); break;
    case XType::UniqueIdentifier: {
        std::uint8_t g[16] = {};
        if (!v.bytes.empty())
            std::memcpy(g, v.bytes.data(), std::min<std::size_t>(16, v.bytes.size()));
        w.bytes(g, 16);
        break;
    }
    case XType::Date: case XType::Time: case XType::DateTime2: case XType::DateTimeOffset:
        writeTimeValue(w, t, v.variantPrecision, v);
        break;
    case XType::Decimal: case XType::Numeric:
        writeMagnitude(w, v.kind == Value::Kind::Int ? __int128(v.i) : v.unscaled, std::uint8_t(valueLength));
        break;
    case XType::Binary: case XType::VarBinary: case XType::Timestamp:
        w.bytes(v.bytes.data(), valueLength);
        break;
    default:
        w.bytes(text.data(), text.size());
        break;
    }
}

} // namespace qts
