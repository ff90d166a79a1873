#include "Tokens.h"

#include "Codec.h"
#include "WireValues.h"

#include <cstring>

namespace qts {

using namespace tds;
using namespace wire;

namespace {

// Small tokens with a length prefix are built here first.
class Scratch {
public:
    void u8(std::uint8_t v) { s.push_back(char(v)); }
    void u16(std::uint16_t v) { u8(std::uint8_t(v)); u8(std::uint8_t(v >> 8)); }
    void u32(std::uint32_t v) { u16(std::uint16_t(v)); u16(std::uint16_t(v >> 16)); }
    void raw(std::string_view b) { s.append(b); }
    // B_VARCHAR: a character count byte, then UTF-16LE.
    void bVarchar(std::string_view utf8)
    {
        std::string u = utf8ToUtf16le(utf8);
        if (u.size() > 510)
            u.resize(510);
        u8(std::uint8_t(u.size() / 2));
        raw(u);
    }
    // US_VARCHAR: a character count USHORT, then UTF-16LE.
    void usVarchar(std::string_view utf8)
    {
        std::string u = utf8ToUtf16le(utf8);
        if (u.size() > 2 * 0xFFFF)
            u.resize(2 * 0xFFFF);
        u16(std::uint16_t(u.size() / 2));
        raw(u);
    }
    std::string s;
};

void writeWithLength(PacketWriter &w, std::uint8_t tokenType, const Scratch &body)
{
    w.u8(tokenType);
    w.u16(std::uint16_t(body.s.size()));
    w.bytes(body.s.data(), body.s.size());
}

std::uint8_t typeCode(XType t)
{
    switch (t) {
    case XType::TinyInt: case XType::SmallInt: case XType::Int: case XType::BigInt: return 0x26;
    case XType::Bit: return 0x68;
    case XType::Real: case XType::Float: return 0x6D;
    case XType::SmallMoney: case XType::Money: return 0x6E;
    case XType::SmallDateTime: case XType::DateTime: return 0x6F;
    case XType::Decimal: return 0x6A;
    case XType::Numeric: return 0x6C;
    case XType::Char: return 0xAF;
    case XType::VarChar: return 0xA7;
    case XType::NChar: return 0xEF;
    case XType::NVarChar: return 0xE7;
    case XType::Text: return 0x23;
    case XType::NText: return 0x63;
    case XType::Image: return 0x22;
    case XType::Binary: case XType::Timestamp: return 0xAD;
    case XType::VarBinary: return 0xA5;
    case XType::UniqueIdentifier: return 0x24;
    case XType::SqlVariant: return 0x62;
    case XType::Date: return 0x28;
    case XType::Time: return 0x29;
    case XType::DateTime2: return 0x2A;
    case XType::DateTimeOffset: return 0x2B;
    case XType::HierarchyId: case XType::Geometry: case XType::Geography: return 0xF0;
    case XType::Xml: return 0xF1;
    }
    return 0x26;
}

std::uint8_t fixedLength(XType t)
{
    switch (t) {
    case XType::TinyInt: case XType::Bit: return 1;
    case XType::SmallInt: return 2;
    case XType::Int: case XType::Real: case XType::SmallMoney: case XType::SmallDateTime: return 4;
    case XType::BigInt: case XType::Float: case XType::Money: case XType::DateTime: return 8;
    case XType::UniqueIdentifier: return 16;
    default: return 0;
    }
}

} // namespace

std::uint8_t decimalWireLength(std::uint8_t precision)
{
    if (precision <= 9) return 5;
    if (precision <= 19) return 9;
    if (precision <= 28) return 13;
    return 17;
}

__int128 rescale(__int128 unscaled, int from, int to)
{
    while (from < to) {
        unscaled *= 10;
        ++from;
    }
    if (from > to) {
        __int128 div = 1;
        while (from > to) {
            div *= 10;
            --from;
        }
        const __int128 q = unscaled / div;
        const __int128 r = unscaled % div;
        if (r * 2 >= div)
            return q + 1;
        if (r * 2 <= -div)
            return q - 1;
        return q;
    }
    return unscaled;
}

void writeDone(PacketWriter &w, int tds, std::uint8_t tokenType, std::uint16_t status,
               std::uint16_t curCmd, std::uint64_t count)
{
    w.u8(tokenType);
    w.u16(status);
    w.u16(curCmd);
    if (tds >= 72)
        w.u64(count);
    else
        w.u32(std::uint32_t(count));
}

void writeMessage(PacketWriter &w, int tds, const Message &m)
{
    Scratch b;
    b.u32(std::uint32_t(m.number));
    b.u8(m.state);
    b.u8(m.severity);
    b.usVarchar(m.text);
    b.bVarchar(kServerName);
    b.bVarchar(m.procName);
    if (tds >= 72)
        b.u32(std::uint32_t(m.line));
    else
        b.u16(std::uint16_t(m.line));
    writeWithLength(w, m.severity > 10 ? token::Error : token::Info, b);
}

void writeEnvChange(PacketWriter &w, std::uint8_t type, std::string_view newValue, std::string_view oldValue)
{
    Scratch b;
    b.u8(type);
    b.bVarchar(newValue);
    b.bVarchar(oldValue);
    writeWithLength(w, token::EnvChange, b);
}

void writeCollationChange(PacketWriter &w, std::uint8_t collation)
{
    Scratch b;
    b.u8(envchange::Collation);
    b.u8(5);
    b.raw(std::string_view(reinterpret_cast<const char *>(collationInfo(collation).tds), 5));
    b.u8(0);
    writeWithLength(w, token::EnvChange, b);
}

void writeLoginAck(PacketWriter &w, std::uint32_t tdsWire, const ServerVersion &version)
{
    Scratch b;
    b.u8(1);  // interface: SQL_TSQL
    b.u8(std::uint8_t(tdsWire >> 24));
    b.u8(std::uint8_t(tdsWire >> 16));
    b.u8(std::uint8_t(tdsWire >> 8));
    b.u8(std::uint8_t(tdsWire));
    b.bVarchar("Microsoft SQL Server");
    b.u8(version.major);
    b.u8(version.minor);
    b.u8(std::uint8_t(version.build >> 8));
    b.u8(std::uint8_t(version.build));
    writeWithLength(w, token::LoginAck, b);
}

namespace {

bool isMax(const ColumnInfo &c)
{
    return c.length == kMaxLength && (c.type == XType::VarChar || c.type == XType::NVarChar || c.type == XType::VarBinary);
}

bool isClr(XType t)
{
    return t == XType::HierarchyId || t == XType::Geometry || t == XType::Geography;
}

bool isTime(XType t)
{
    return t == XType::Date || t == XType::Time || t == XType::DateTime2 || t == XType::DateTimeOffset;
}

// The characters of a date or time type's default text, as its precision counts them.
int timeTextLength(const ColumnInfo &c)
{
    const int fraction = c.scale > 0 ? c.scale + 1 : 0;
    switch (c.type) {
    case XType::Date: return 10;
    case XType::Time: return 8 + fraction;
    case XType::DateTime2: return 19 + fraction;
    default: return 26 + fraction;
    }
}

} // namespace

RowEncoder::RowEncoder(std::vector<ColumnInfo> columns, int tds)
    : m_columns(std::move(columns)), m_tds(tds)
{
    // What an older client sees of the newer types (MS-TDS 2.2.5.4): before
    // 7.3 the date and time types come as nvarchar with their text; to 7.1
    // varchar(max) comes as text, nvarchar(max) and xml as ntext,
    // varbinary(max) and the CLR types as image.
    for (const ColumnInfo &c : m_columns) {
        ColumnInfo sent = c;
        Sent how = Sent::AsIs;
        if (isTime(c.type) && tds < 73) {
            sent.type = XType::NVarChar;
            sent.length = 2 * timeTextLength(c);
            sent.collation = kServerCollation;
            how = Sent::TimeAsText;
        } else if (tds < 72 && (isMax(c) || c.type == XType::Xml || isClr(c.type))) {
            sent.type = c.type == XType::VarChar ? XType::Text : (c.type == XType::NVarChar || c.type == XType::Xml) ? XType::NText : XType::Image;
        } else if (isMax(c) || c.type == XType::Xml || isClr(c.type)) {
            how = Sent::Plp;
        }
        m_sent.push_back(sent);
        m_how.push_back(how);
    }
}

void RowEncoder::writeMetadata(PacketWriter &w) const
{
    w.u8(token::ColMetadata);
    w.u16(std::uint16_t(m_sent.size()));
    for (std::size_t k = 0; k < m_sent.size(); ++k) {
        const ColumnInfo &c = m_sent[k];
        const std::uint32_t userType = c.type == XType::Timestamp ? 80 : 0;
        if (m_tds >= 72)
            w.u32(userType);
        else
            w.u16(std::uint16_t(userType));
        std::uint16_t flags = 0;
        if (c.nullable)
            flags |= 0x01;
        if (c.identity)
            flags |= 0x10;
        if (c.computed && m_tds >= 72)
            flags |= 0x20;
        if (!c.identity && !c.computed && c.type != XType::Timestamp)
            flags |= 0x08;
        w.u16(flags);
        w.u8(typeCode(c.type));
        switch (c.type) {
        case XType::Decimal: case XType::Numeric:
            w.u8(decimalWireLength(c.precision));
            w.u8(c.precision);
            w.u8(c.scale);
            break;
        case XType::Char: case XType::VarChar: case XType::NChar: case XType::NVarChar:
            w.u16(m_how[k] == Sent::Plp ? 0xFFFF : std::uint16_t(c.length));
            w.bytes(collationInfo(c.collation).tds, 5);
            break;
        case XType::Binary: case XType::VarBinary:
            w.u16(m_how[k] == Sent::Plp ? 0xFFFF : std::uint16_t(c.length));
            break;
        case XType::Timestamp:
            w.u16(8);
            break;
        case XType::Text: case XType::NText: case XType::Image: {
            w.u32(c.type == XType::NText ? 0x7FFFFFFE : 0x7FFFFFFF);
            if (c.type != XType::Image)
                w.bytes(collationInfo(c.collation).tds, 5);
            const std::string name = utf8ToUtf16le(c.tableName);
            if (m_tds >= 72) {
                w.u8(name.empty() ? 0 : 1);
                if (!name.empty()) {
                    w.u16(std::uint16_t(name.size() / 2));
                    w.bytes(name.data(), name.size());
                }
            } else {
                w.u16(std::uint16_t(name.size() / 2));
                w.bytes(name.data(), name.size());
            }
            break;
        }
        case XType::SqlVariant:
            w.u32(8016);
            break;
        case XType::Date:
            break;  // no length: always 3 bytes (or none for NULL)
        case XType::Time: case XType::DateTime2: case XType::DateTimeOffset:
            w.u8(c.scale);
            break;
        case XType::Xml:
            w.u8(0);  // no schema collection
            break;
        case XType::HierarchyId: case XType::Geometry: case XType::Geography: {
            // UDT_INFO: the most bytes a value takes, then database, schema,
            // type and assembly names of the system CLR type.
            w.u16(c.type == XType::HierarchyId ? 892 : 0xFFFF);
            const std::string schema = utf8ToUtf16le("sys"), type = utf8ToUtf16le(clrTypeName(c.type)),
                              assembly = utf8ToUtf16le(clrAssembly(c.type));
            w.u8(0);  // no database name: a system type
            w.u8(std::uint8_t(schema.size() / 2));
            w.bytes(schema.data(), schema.size());
            w.u8(std::uint8_t(type.size() / 2));
            w.bytes(type.data(), type.size());
            w.u16(std::uint16_t(assembly.size() / 2));
            w.bytes(assembly.data(), assembly.size());
            break;
        }
        default:
            w.u8(fixedLength(c.type));
            break;
        }
        std::string name = utf8ToUtf16le(c.name);
        if (name.size() > 510)
            name.resize(510);
        w.u8(std::uint8_t(name.size() / 2));
        w.bytes(name.data(), name.size());
    }
}

void RowEncoder::writeRow(PacketWriter &w, const std::vector<Value> &values) const
{
    w.u8(token::Row);
    const std::size_t n = m_sent.size();
    static const Value null;
    for (std::size_t k = 0; k < n; ++k) {
        const Value &v = k < values.size() ? values[k] : null;
        switch (m_how[k]) {
        case Sent::AsIs:
            writeValue(w, m_sent[k], v);
            break;
        case Sent::TimeAsText: {
            if (v.isNull()) {
                w.u16(0xFFFF);
                break;
            }
            const std::string text = timeValueText(m_columns[k].type, m_columns[k].scale, v);
            w.u16(std::uint16_t(2 * text.size()));
            w.utf16(text);
            break;
        }
        case Sent::Plp: {
            const ColumnInfo &c = m_sent[k];
            if (v.isNull()) {
                writePlp(w, nullptr, 0);
            } else if (v.kind == Value::Kind::Text) {
                const std::string &t = wireText(v, c.type != XType::VarChar, c.collation);
                writePlp(w, t.data(), t.size());
            } else {
                writePlp(w, v.bytes.data(), v.bytes.size());
            }
            break;
        }
        }
    }
}

void RowEncoder::writeValue(PacketWriter &w, const ColumnInfo &c, const Value &v) const
{
    const bool isNull = v.isNull();
    switch (c.type) {
    case XType::Date: case XType::Time: case XType::DateTime2: case XType::DateTimeOffset:
        if (isNull) { w.u8(0); return; }
        w.u8(timeValueLength(c.type, c.scale));
        writeTimeValue(w, c.type, c.scale, v);
        return;
    case XType::Xml: case XType::HierarchyId: case XType::Geometry: case XType::Geography:
        return;  // always PLP (writeRow)
    case XType::TinyInt: case XType::SmallInt: case XType::Int: case XType::BigInt: case XType::Bit: {
        if (isNull) { w.u8(0); return; }
        const std::uint8_t len = fixedLength(c.type);
        w.u8(len);
        const auto x = std::uint64_t(v.i);
        switch (len) {
        case 1: w.u8(std::uint8_t(c.type == XType::Bit ? (x != 0) : x)); break;
        case 2: w.u16(std::uint16_t(x)); break;
        case 4: w.u32(std::uint32_t(x)); break;
        default: w.u64(x); break;
        }
        return;
    }
    case XType::Real: {
        if (isNull) { w.u8(0); return; }
        const float f = float(v.kind == Value::Kind::Int ? double(v.i) : v.f);
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        w.u8(4);
        w.u32(bits);
        return;
    }
    case XType::Float: {
        if (isNull) { w.u8(0); return; }
        const double d = v.kind == Value::Kind::Int ? double(v.i) : v.f;
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        w.u8(8);
        w.u64(bits);
        return;
    }
    case XType::SmallMoney: case XType::Money:
        if (isNull) { w.u8(0); return; }
        w.u8(c.type == XType::Money ? 8 : 4);
        writeMoney(w, v, c.type == XType::SmallMoney);
        return;
    case XType::SmallDateTime:
        if (isNull) { w.u8(0); return; }
        w.u8(4);
        writeSmallDateTime(w, v);
        return;
    case XType::DateTime:
        if (isNull) { w.u8(0); return; }
        w.u8(8);
        w.u32(std::uint32_t(v.days));
        w.u32(v.ticks);
        return;
    case XType::Decimal: case XType::Numeric: {
        if (isNull) { w.u8(0); return; }
        const std::uint8_t len = decimalWireLength(c.precision);
        const __int128 x = v.kind == Value::Kind::Int ? rescale(v.i, 0, c.scale) : rescale(v.unscaled, v.scale, c.scale);
        w.u8(len);
        writeMagnitude(w, x, len);
        return;
    }
    case XType::Char: case XType::VarChar: case XType::NChar: case XType::NVarChar: {
        if (isNull) { w.u16(0xFFFF); return; }
        const bool unicode = c.type == XType::NChar || c.type == XType::NVarChar;
        const std::string &t = wireText(v, unicode, c.collation);
        const std::size_t max = std::size_t(c.length);
        std::size_t len = std::min(t.size(), max);
        if (unicode)
            len &= ~std::size_t(1);
        const bool pad = c.type == XType::Char || c.type == XType::NChar;
        const std::size_t total = pad ? max : len;
        w.u16(std::uint16_t(total));
        w.bytes(t.data(), len);
        if (pad && total > len) {
            if (unicode) {
                for (std::size_t k = len; k < total; k += 2)
                    w.u16(0x20);
            } else {
                w.fill(' ', total - len);
            }
        }
        return;
    }
    case XType::Binary: case XType::VarBinary: case XType::Timestamp: {
        if (isNull) { w.u16(0xFFFF); return; }
        const std::size_t max = c.type == XType::Timestamp ? 8 : std::size_t(c.length);
        const std::size_t len = std::min(v.bytes.size(), max);
        const bool pad = c.type != XType::VarBinary;
        w.u16(std::uint16_t(pad ? max : len));
        w.bytes(v.bytes.data(), len);
        if (pad)
            w.fill(0, max - len);
        return;
    }
    case XType::Text: case XType::NText: case XType::Image: {
        if (isNull) { w.u8(0); return; }
        writeTextPointer(w);
        if (c.type == XType::Image) {
            w.u32(std::uint32_t(v.bytes.size()));
            w.bytes(v.bytes.data(), v.bytes.size());
        } else {
            const std::string &t = wireText(v, c.type == XType::NText, c.collation);
            w.u32(std::uint32_t(t.size()));
            w.bytes(t.data(), t.size());
        }
        return;
    }
    case XType::UniqueIdentifier: {
        if (isNull) { w.u8(0); return; }
        w.u8(16);
        std::uint8_t g[16] = {};
        if (!v.bytes.empty())
            std::memcpy(g, v.bytes.data(), std::min<std::size_t>(16, v.bytes.size()));
        w.bytes(g, 16);
        return;
    }
    case XType::SqlVariant:
        if (isNull) { w.u32(0); return; }
        writeVariant(w, v, m_tds);
        return;
    }
}

} // namespace qts
