#pragma once

// Test helpers: a transport that keeps what is sent in memory, and hex.

#include "PacketIo.h"

#include <QByteArray>
#include <QString>

class MemoryTransport : public qts::Transport {
public:
    std::size_t receive(std::uint8_t *buffer, std::size_t n, bool) override
    {
        const std::size_t k = std::min<std::size_t>(n, std::size_t(input.size()));
        std::memcpy(buffer, input.constData(), k);
        input.remove(0, qsizetype(k));
        return k;
    }
    bool send(const std::uint8_t *data, std::size_t n) override
    {
        sent.append(reinterpret_cast<const char *>(data), qsizetype(n));
        return true;
    }
    QByteArray input;
    QByteArray sent;
};

// Payload of every packet in `raw`, concatenated (headers dropped).
inline QByteArray payloads(const QByteArray &raw)
{
    QByteArray out;
    qsizetype at = 0;
    while (at + 8 <= raw.size()) {
        const int len = (quint8(raw[at + 2]) << 8) | quint8(raw[at + 3]);
        if (len < 8)
            break;
        out += raw.mid(at + 8, len - 8);
        at += len;
    }
    return out;
}

inline QByteArray unhex(const char *spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}
