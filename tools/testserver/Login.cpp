#include "Login.h"

#include "Codec.h"

#include <algorithm>

namespace qts {

using namespace tds;

namespace {

std::uint16_t le16(const std::uint8_t *p) { return std::uint16_t(p[0] | p[1] << 8); }
std::uint32_t le32(const std::uint8_t *p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24; }

} // namespace

std::optional<PreloginRequest> parsePrelogin(const std::vector<std::uint8_t> &payload)
{
    PreloginRequest r;
    std::size_t at = 0;
    while (at < payload.size()) {
        if (payload[at] == 0xFF)
            return r;
        if (payload.size() - at < 5)
            return std::nullopt;
        const std::size_t offset = std::size_t(payload[at + 1]) << 8 | payload[at + 2];
        const std::size_t length = std::size_t(payload[at + 3]) << 8 | payload[at + 4];
        if (offset + length > payload.size())
            return std::nullopt;
        if (payload[at] == 0x01 && length >= 1)
            r.encryption = payload[offset];
        at += 5;
    }
    return std::nullopt;
}

EncryptionChoice chooseEncryption(std::uint8_t client, bool haveCertificate, bool force)
{
    if (!haveCertificate)
        return {encrypt::NotSupported, Encryption::None};
    if (client == encrypt::NotSupported)
        return force ? EncryptionChoice{encrypt::Required, Encryption::Refused}
                     : EncryptionChoice{encrypt::NotSupported, Encryption::None};
    if (force || client == encrypt::On || client == encrypt::Required)
        return {encrypt::On, Encryption::Full};
    return {encrypt::Off, Encryption::LoginOnly};
}

void writePreloginReply(PacketWriter &w, const ServerVersion &version, std::uint8_t encryption)
{
    // VERSION, ENCRYPTION, INSTOPT, THREADID (empty), MARS, terminator.
    const std::uint8_t options = 5 * 5 + 1;
    const std::uint8_t reply[] = {
        0x00, 0x00, options, 0x00, 0x06,
        0x01, 0x00, options + 6, 0x00, 0x01,
        0x02, 0x00, options + 7, 0x00, 0x01,
        0x03, 0x00, options + 8, 0x00, 0x00,
        0x04, 0x00, options + 8, 0x00, 0x01,
        0xFF,
        version.major, version.minor,        // UL_VERSION, then US_SUBBUILD
        std::uint8_t(version.build >> 8), std::uint8_t(version.build),
        std::uint8_t(version.revision >> 8), std::uint8_t(version.revision),
        encryption,
        0x00,                                // instance OK
        0x00,                                // MARS off
    };
    w.begin(packet::Reply);
    w.bytes(reply, sizeof reply);
    w.end();
}

std::optional<Login7> parseLogin7(const std::vector<std::uint8_t> &payload)
{
    const std::size_t n = payload.size();
    if (n < 86)
        return std::nullopt;
    const std::uint8_t *p = payload.data();
    Login7 l;
    l.tdsVersion = le32(p + 4);
    l.packetSize = le32(p + 8);
    l.optionFlags1 = p[24];
    auto field = [&](std::size_t at, std::string *out, bool password) {
        const std::size_t offset = le16(p + at);
        const std::size_t chars = le16(p + at + 2);
        if (chars == 0)
            return true;
        if (offset + 2 * chars > n)
            return false;
        std::vector<std::uint8_t> raw(p + offset, p + offset + 2 * chars);
        if (password)
            for (auto &b : raw) {
                b ^= 0xA5;
                b = std::uint8_t((b << 4) | (b >> 4));
            }
        *out = utf16leToUtf8(raw.data(), raw.size());
        return true;
    };
    if (!field(36, &l.hostName, false) || !field(40, &l.userName, false) || !field(44, &l.password, true)
        || !field(48, &l.appName, false) || !field(52, &l.serverName, false)
        || !field(64, &l.language, false) || !field(68, &l.database, false))
        return std::nullopt;
    return l;
}

int negotiateTds(std::uint32_t requested, const ServerVersion &version)
{
    const int major = int(requested >> 24);
    int tds = 71;  // 7.0 and the 7.1 pre-release word 0x07010000
    if (major >= 0x71 && major <= 0x74)
        tds = (major >> 4) * 10 + (major & 0x0F);
    else if (major > 0x74)
        tds = 74;
    return std::min(tds, version.maxTds);
}

std::uint32_t loginAckVersion(std::uint32_t requested, const ServerVersion &version)
{
    const int tds = negotiateTds(requested, version);
    if (tds == 73) {
        // SQL Server 2008 speaks 7.3A; later releases answer a 7.3A client
        // with 7.3A too (the 2000 default keeps answering 7.3B, as before).
        if (version.tds73Word == 0x730A0003 || (requested == 0x730A0003 && version.atLeast(2008)))
            return 0x730A0003;
        return 0x730B0003;
    }
    return tdsWireVersion(tds);
}

int requestedTds(std::uint32_t requested)
{
    const int major = int(requested >> 24);
    if (major >= 0x72 && major <= 0x74)
        return (major >> 4) * 10 + (major & 0x0F);
    if (major > 0x74)
        return 74;
    return 71;
}

std::uint32_t tdsWireVersion(int tds)
{
    switch (tds) {
    case 72: return 0x72090002;
    case 73: return 0x730B0003;
    case 74: return 0x74000004;
    default: return 0x71000001;
    }
}

std::optional<std::string> batchText(const std::vector<std::uint8_t> &payload, int tds)
{
    std::size_t skip = 0;
    if (tds >= 72) {
        if (payload.size() < 4)
            return std::nullopt;
        skip = le32(payload.data());
        if (skip < 4 || skip > payload.size())
            return std::nullopt;
    }
    return utf16leToUtf8(payload.data() + skip, payload.size() - skip);
}

std::string rpcProcName(const std::vector<std::uint8_t> &payload, int tds)
{
    std::size_t at = 0;
    if (tds >= 72 && payload.size() >= 4) {
        const std::size_t skip = le32(payload.data());
        if (skip >= 4 && skip <= payload.size())
            at = skip;
    }
    if (payload.size() - at < 2)
        return "?";
    const std::uint16_t len = le16(payload.data() + at);
    at += 2;
    if (len == 0xFFFF) {
        if (payload.size() - at < 2)
            return "?";
        static const char *names[] = {nullptr, "sp_cursor", "sp_cursoropen", "sp_cursorprepare", "sp_cursorexecute",
                                      "sp_cursorprepexec", "sp_cursorunprepare", "sp_cursorfetch", "sp_cursoroption",
                                      "sp_cursorclose", "sp_executesql", "sp_prepare", "sp_execute", "sp_prepexec",
                                      "sp_prepexecrpc", "sp_unprepare"};
        const std::uint16_t id = le16(payload.data() + at);
        if (id >= 1 && id <= 15)
            return names[id];
        std::string number = std::to_string(id);
        number.insert(number.begin(), '#');
        return number;
    }
    if (payload.size() - at < 2 * std::size_t(len))
        return "?";
    return utf16leToUtf8(payload.data() + at, 2 * std::size_t(len));
}

} // namespace qts
