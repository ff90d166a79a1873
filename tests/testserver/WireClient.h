#pragma once

// A TDS client for the tests: raw messages over a loopback socket, batches
// split into packets of the negotiated size.

#include "PacketIo.h"
#include "WireHelpers.h"

#include <QByteArray>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

class WireClient {
public:
    explicit WireClient(std::uint16_t port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        timeval tv{10, 0};  // a silent server fails the test instead of hanging it
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~WireClient() { close(); }
    WireClient(const WireClient &) = delete;
    WireClient &operator=(const WireClient &) = delete;

    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    void sendRaw(const QByteArray &b)
    {
        qsizetype at = 0;
        while (at < b.size()) {
            const ssize_t n = ::send(fd, b.constData() + at, size_t(b.size() - at), MSG_NOSIGNAL);
            if (n <= 0)
                return;
            at += n;
        }
    }
    // One message in packets of at most packetSize bytes.
    void sendMessage(std::uint8_t type, const QByteArray &payload)
    {
        const qsizetype chunk = qsizetype(packetSize) - 8;
        qsizetype at = 0;
        QByteArray out;
        do {
            const qsizetype n = qMin(chunk, payload.size() - at);
            const bool last = at + n >= payload.size();
            QByteArray h = unhex("00 00 0000 0000 01 00");
            h[0] = char(type);
            h[1] = char(last ? qts::packet::StatusEom : 0);
            h[2] = char((n + 8) >> 8);
            h[3] = char(n + 8);
            out += h + payload.mid(at, n);
            at += n;
        } while (at < payload.size());
        sendRaw(out);
    }
    void sendBatch(const QString &sql)
    {
        const QByteArray headers = unhex("16000000 12000000 0200 0000000000000000 01000000");
        sendMessage(qts::packet::SqlBatch, headers + QByteArray(reinterpret_cast<const char *>(sql.utf16()), sql.size() * 2));
    }
    void sendAttention() { sendMessage(qts::packet::Attention, QByteArray()); }
    // The next whole message; type 0 when the server closed or stayed silent.
    qts::TdsMessage readMessage()
    {
        while (!reader.hasMessage()) {
            std::uint8_t buf[65536];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0 || !reader.feed(buf, std::size_t(n)))
                return {};
            if (firstHeader.isEmpty())
                firstHeader = QByteArray(reinterpret_cast<const char *>(buf), 8);
        }
        return reader.take();
    }
    QByteArray readPayload()
    {
        const qts::TdsMessage m = readMessage();
        return QByteArray(reinterpret_cast<const char *>(m.payload.data()), qsizetype(m.payload.size()));
    }
    // LOGIN7 asking for TDS 7.4 and the given packet size; the reply payload.
    QByteArray loginRaw(const QString &user, const QString &password, const QString &db = QString(), quint32 size = 8192)
    {
        sendMessage(qts::packet::Login7, buildLogin(user, password, QByteArray(), 0x74000004, db, size));
        const QByteArray reply = readPayload();
        packetSize = size;
        return reply;
    }

    int fd = -1;
    bool connected = false;
    std::size_t packetSize = 4096;
    qts::MessageReader reader;
    QByteArray firstHeader;
};
