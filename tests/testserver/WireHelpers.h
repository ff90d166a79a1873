#pragma once

// Test helpers: a transport that keeps what is sent in memory, and hex.

#include "PacketIo.h"

#include <QByteArray>
#include <QString>

#include <cstring>

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

// A LOGIN7 payload as a client builds it (password scrambled).
inline QByteArray buildLogin(const QString &user, const QString &password, const QByteArray &serverUtf16,
                             quint32 version, const QString &database = QStringLiteral("Магазин"), quint32 packetSize = 8192)
{
    QByteArray fixed(94, '\0');
    QByteArray data;
    auto put16 = [&](int at, int v) { fixed[at] = char(v & 0xFF); fixed[at + 1] = char(v >> 8); };
    auto put32 = [&](int at, quint32 v) { for (int k = 0; k < 4; ++k) fixed[at + k] = char(v >> (8 * k)); };
    auto field = [&](int at, const QByteArray &utf16) {
        put16(at, int(fixed.size() + data.size()));
        put16(at + 2, int(utf16.size() / 2));
        data += utf16;
    };
    auto u16 = [](const QString &s) { return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2); };
    put32(4, version);
    put32(8, packetSize);
    QByteArray pw = u16(password);
    for (auto &b : pw) {
        const auto x = quint8(b);
        b = char(quint8((x << 4) | (x >> 4)) ^ 0xA5);
    }
    field(36, u16(QStringLiteral("host")));
    field(40, u16(user));
    field(44, pw);
    field(52, serverUtf16);
    field(68, u16(database));
    QByteArray all = fixed + data;
    all[0] = char(all.size());
    return all;
}
