#pragma once

// TDS packets: an 8-byte header (type, status, big-endian length, SPID,
// packet id, window) and a payload; a message is the payloads of packets up
// to the one with EOM.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace qts {

namespace packet {
constexpr std::uint8_t SqlBatch = 0x01;
constexpr std::uint8_t Rpc = 0x03;
constexpr std::uint8_t Reply = 0x04;
constexpr std::uint8_t Attention = 0x06;
constexpr std::uint8_t BulkLoad = 0x07;
constexpr std::uint8_t TransactionManager = 0x0E;
constexpr std::uint8_t Login7 = 0x10;
constexpr std::uint8_t Sspi = 0x11;
constexpr std::uint8_t Prelogin = 0x12;

constexpr std::uint8_t StatusEom = 0x01;
constexpr std::uint8_t StatusIgnore = 0x02;

constexpr std::size_t HeaderSize = 8;
constexpr std::size_t MinSize = 512;
constexpr std::size_t MaxSize = 32767;
constexpr std::size_t DefaultSize = 4096;
} // namespace packet

// Where packets come from and go to: a socket in the server, memory in the
// tests and the fuzzer.
class Transport {
public:
    virtual ~Transport() = default;
    // Reads up to n bytes; 0 at end of stream or on error. With wait false it
    // returns 0 at once when nothing is there.
    virtual std::size_t receive(std::uint8_t *buffer, std::size_t n, bool wait) = 0;
    // Sends all bytes; false when the peer has gone.
    virtual bool send(const std::uint8_t *data, std::size_t n) = 0;
    // Waits at most timeout until bytes, or the end of the stream, can be
    // read; false when the time ran out first.
    virtual bool waitReadable(std::chrono::milliseconds timeout)
    {
        std::this_thread::sleep_for(timeout);
        return false;
    }
    // The peer has closed its end (or the connection failed).
    [[nodiscard]] virtual bool closed() const { return false; }
};

struct TdsMessage {
    std::uint8_t type = 0;
    std::uint8_t status = 0;  // status of the last packet
    std::vector<std::uint8_t> payload;
    bool tooLong = false;     // beyond the limit: the payload was cut, the rest dropped
};

// Reassembles messages from a byte stream. Rejects a stream that is not TDS
// (bad length, a type change inside a message, a message beyond the limit).
class MessageReader {
public:
    // The limit keeps a hostile client from filling the memory; real batches
    // with large image literals stay well below it.
    explicit MessageReader(std::size_t maxMessage = 64u << 20) : m_maxMessage(maxMessage) {}
    // From now on a message beyond maxMessage bytes is read to its end and
    // delivered marked tooLong (its payload cut) instead of failing the stream.
    void setLimit(std::size_t maxMessage)
    {
        m_maxMessage = maxMessage;
        m_dropOverflow = true;
    }

    // Adds received bytes; false when the stream is malformed.
    bool feed(const std::uint8_t *data, std::size_t n);
    [[nodiscard]] bool hasMessage() const { return !m_ready.empty(); }
    TdsMessage take();
    // True when an attention message is queued (it is removed).
    bool takeAttention();
    [[nodiscard]] bool failed() const { return m_failed; }

private:
    std::size_t m_maxMessage;
    bool m_dropOverflow = false;
    std::vector<std::uint8_t> m_pending;  // bytes of an incomplete packet
    TdsMessage m_current;
    bool m_inMessage = false;
    bool m_failed = false;
    std::deque<TdsMessage> m_ready;
};

// Builds one reply message in packets of the negotiated size, sending each
// full packet at once. Values are written straight into the packet buffer.
class PacketWriter {
public:
    explicit PacketWriter(Transport &transport, std::size_t packetSize = packet::DefaultSize);

    void setPacketSize(std::size_t size);
    [[nodiscard]] std::size_t packetSize() const { return m_buffer.size(); }
    void setSpid(std::uint16_t spid) { m_spid = spid; }

    void begin(std::uint8_t type = packet::Reply);
    // Sends the rest of the message with EOM.
    void end();
    [[nodiscard]] bool failed() const { return m_failed; }
    // Packets sent so far (lets a caller notice that time has passed).
    [[nodiscard]] std::uint64_t packetsSent() const { return m_packetsSent; }
    // Bytes of the current message written so far (all packets).
    [[nodiscard]] std::size_t messageBytes() const { return m_messageBytes + std::size_t(m_pos - kPayload); }

    void u8(std::uint8_t v)
    {
        if (m_pos == m_buffer.size())
            flushPacket(false);
        m_buffer[m_pos++] = v;
    }
    void u16(std::uint16_t v) { uint8x<2>(v); }
    void u32(std::uint32_t v) { uint8x<4>(v); }
    void u64(std::uint64_t v) { uint8x<8>(v); }
    void u16be(std::uint16_t v) { u8(std::uint8_t(v >> 8)); u8(std::uint8_t(v)); }
    void u32be(std::uint32_t v) { u16be(std::uint16_t(v >> 16)); u16be(std::uint16_t(v)); }
    void bytes(const void *data, std::size_t n);
    void fill(std::uint8_t v, std::size_t n);
    // UTF-8 text as UTF-16LE code units (no length prefix).
    void utf16(std::string_view utf8);
private:
    static constexpr std::size_t kPayload = packet::HeaderSize;
    template <int N, typename T>
    void uint8x(T v)
    {
        if (m_buffer.size() - m_pos >= std::size_t(N)) {
            for (int k = 0; k < N; ++k)
                m_buffer[m_pos++] = std::uint8_t(v >> (8 * k));
        } else {
            for (int k = 0; k < N; ++k)
                u8(std::uint8_t(v >> (8 * k)));
        }
    }
    void flushPacket(bool last);

    Transport &m_transport;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_pos = kPayload;
    std::uint8_t m_type = packet::Reply;
    std::uint8_t m_packetId = 1;
    std::uint16_t m_spid = 0;
    bool m_failed = false;
    std::uint64_t m_packetsSent = 0;
    std::size_t m_messageBytes = 0;
};

} // namespace qts
