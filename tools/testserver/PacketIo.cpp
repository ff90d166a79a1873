#include "PacketIo.h"

#include "Codec.h"

#include <algorithm>

namespace qts {

using namespace tds;

namespace {

// Message types of TDS 7; anything else is not a TDS peer.
bool knownType(std::uint8_t type)
{
    switch (type) {
    case packet::SqlBatch: case packet::Rpc: case packet::Reply: case packet::Attention: case packet::BulkLoad:
    case packet::TransactionManager: case packet::Login7: case packet::Sspi: case packet::Prelogin:
        return true;
    default:
        return false;
    }
}

} // namespace

bool MessageReader::feed(const std::uint8_t *data, std::size_t n)
{
    if (m_failed)
        return false;
    m_pending.insert(m_pending.end(), data, data + n);
    std::size_t at = 0;
    while (m_pending.size() - at >= packet::HeaderSize) {
        const std::uint8_t *h = m_pending.data() + at;
        const std::size_t length = std::size_t(h[2]) << 8 | h[3];
        if (length < packet::HeaderSize || length > packet::MaxSize + 1 || !knownType(h[0])) {
            m_failed = true;
            return false;
        }
        if (m_pending.size() - at < length)
            break;
        const std::uint8_t type = h[0];
        const std::uint8_t status = h[1];
        if (!m_inMessage) {
            m_current = TdsMessage{};
            m_current.type = type;
            m_inMessage = true;
        } else if (type != m_current.type && type != packet::Attention) {
            m_failed = true;
            return false;
        }
        if (type == packet::Attention && m_current.type != packet::Attention) {
            // An attention may interrupt a request that is still arriving:
            // the partial request is dropped.
            m_current = TdsMessage{};
            m_current.type = type;
        }
        const std::size_t bytes = length - packet::HeaderSize;
        if (m_current.payload.size() + bytes > m_maxMessage) {
            if (!m_dropOverflow) {
                m_failed = true;
                return false;
            }
            m_current.tooLong = true;
        }
        if (!m_current.tooLong)
            m_current.payload.insert(m_current.payload.end(), h + packet::HeaderSize, h + length);
        m_current.status = status;
        at += length;
        if (status & packet::StatusEom) {
            m_ready.push_back(std::move(m_current));
            m_current = TdsMessage{};
            m_inMessage = false;
        }
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(at));
    return true;
}

TdsMessage MessageReader::take()
{
    TdsMessage m = std::move(m_ready.front());
    m_ready.pop_front();
    return m;
}

bool MessageReader::takeAttention()
{
    const auto it = std::find_if(m_ready.begin(), m_ready.end(),
                                 [](const TdsMessage &m) { return m.type == packet::Attention; });
    if (it == m_ready.end())
        return false;
    m_ready.erase(it);
    return true;
}

PacketWriter::PacketWriter(Transport &transport, std::size_t packetSize)
    : m_transport(transport)
{
    setPacketSize(packetSize);
}

void PacketWriter::setPacketSize(std::size_t size)
{
    size = std::clamp(size, packet::MinSize, packet::MaxSize);
    // Only between messages: the buffer holds no payload then.
    m_buffer.assign(size, 0);
    m_pos = kPayload;
}

void PacketWriter::begin(std::uint8_t type)
{
    m_type = type;
    m_pos = kPayload;
    m_messageBytes = 0;
}

void PacketWriter::end()
{
    flushPacket(true);
}

void PacketWriter::flushPacket(bool last)
{
    const std::size_t length = m_pos;
    m_buffer[0] = m_type;
    m_buffer[1] = last ? packet::StatusEom : 0;
    m_buffer[2] = std::uint8_t(length >> 8);
    m_buffer[3] = std::uint8_t(length);
    m_buffer[4] = std::uint8_t(m_spid >> 8);
    m_buffer[5] = std::uint8_t(m_spid);
    m_buffer[6] = m_packetId++;
    m_buffer[7] = 0;
    if (!m_failed && !m_transport.send(m_buffer.data(), length))
        m_failed = true;
    ++m_packetsSent;
    m_messageBytes += length - kPayload;
    m_pos = kPayload;
}

void PacketWriter::bytes(const void *data, std::size_t n)
{
    auto *p = static_cast<const std::uint8_t *>(data);
    while (n > 0) {
        if (m_pos == m_buffer.size())
            flushPacket(false);
        const std::size_t chunk = std::min(n, m_buffer.size() - m_pos);
        std::memcpy(m_buffer.data() + m_pos, p, chunk);
        m_pos += chunk;
        p += chunk;
        n -= chunk;
    }
}

void PacketWriter::fill(std::uint8_t v, std::size_t n)
{
    while (n > 0) {
        if (m_pos == m_buffer.size())
            flushPacket(false);
        const std::size_t chunk = std::min(n, m_buffer.size() - m_pos);
        std::memset(m_buffer.data() + m_pos, v, chunk);
        m_pos += chunk;
        n -= chunk;
    }
}

void PacketWriter::utf16(std::string_view utf8)
{
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = std::uint8_t(utf8[i]);
        if (b < 0x80) {
            ++i;
            if (m_buffer.size() - m_pos >= 2) {
                m_buffer[m_pos++] = b;
                m_buffer[m_pos++] = 0;
            } else {
                u16(b);
            }
            continue;
        }
        char32_t c = nextCodePoint(utf8, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            u16(std::uint16_t(0xD800 + (c >> 10)));
            u16(std::uint16_t(0xDC00 + (c & 0x3FF)));
        } else {
            u16(std::uint16_t(c));
        }
    }
}

} // namespace qts
