#include "EncryptionProbe.h"

#include <QByteArray>
#include <QTcpSocket>

namespace {

constexpr char preloginType = 0x12;
constexpr quint8 optionEncryption = 0x01;
constexpr quint8 optionTerminator = 0xFF;

// VERSION and ENCRYPTION (off: "I can encrypt the login"), as a client
// that knows nothing of the server asks.
QByteArray preloginPacket()
{
    static const unsigned char payload[] = {
        0x00, 0x00, 0x0B, 0x00, 0x06,        // VERSION at 11, 6 bytes
        0x01, 0x00, 0x11, 0x00, 0x01,        // ENCRYPTION at 17, 1 byte
        0xFF,                                // end of the options
        0x0B, 0x00, 0x00, 0x00, 0x00, 0x00,  // version 11.0.0, sub-build 0
        0x00,                                // ENCRYPT_OFF
    };
    QByteArray packet;
    const int length = 8 + int(sizeof payload);
    packet.append(preloginType).append(char(0x01));  // the last packet of the message
    packet.append(char(length >> 8)).append(char(length & 0xFF));
    packet.append(4, char(0));                       // SPID, packet number, window
    packet[6] = 1;
    packet.append(reinterpret_cast<const char *>(payload), sizeof payload);
    return packet;
}

bool readExactly(QTcpSocket &socket, QByteArray &out, qsizetype count, int timeoutMs)
{
    while (out.size() < count) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(timeoutMs))
            return false;
        out += socket.read(count - out.size());
    }
    return true;
}

} // namespace

TServerEncryption ProbeServerEncryption(const QString &Host, int Port, int TimeoutMs)
{
    if (Host.isEmpty() || Port <= 0 || Port > 65535)
        return TServerEncryption::Unknown;
    QTcpSocket socket;
    socket.connectToHost(Host, quint16(Port));
    if (!socket.waitForConnected(TimeoutMs))
        return TServerEncryption::Unknown;
    socket.write(preloginPacket());
    if (!socket.waitForBytesWritten(TimeoutMs))
        return TServerEncryption::Unknown;
    QByteArray header;
    if (!readExactly(socket, header, 8, TimeoutMs) || header[0] != char(0x04))
        return TServerEncryption::Unknown;
    const int length = (quint8(header[2]) << 8) | quint8(header[3]);
    QByteArray payload;
    if (length <= 8 || !readExactly(socket, payload, length - 8, TimeoutMs))
        return TServerEncryption::Unknown;
    socket.abort();
    for (qsizetype at = 0; at + 5 <= payload.size() && quint8(payload[at]) != optionTerminator; at += 5) {
        if (quint8(payload[at]) != optionEncryption)
            continue;
        const int offset = (quint8(payload[at + 1]) << 8) | quint8(payload[at + 2]);
        if (offset >= payload.size())
            break;
        const quint8 value = quint8(payload[offset]);
        return value <= 3 ? TServerEncryption(value) : TServerEncryption::Unknown;
    }
    return TServerEncryption::Unknown;
}

QString EncryptionFailureText(const TConnectionSecurity &Security, TServerEncryption Server)
{
    // To the probe's ENCRYPT_OFF only a server that insists answers On.
    const bool insists = Server == TServerEncryption::On || Server == TServerEncryption::Required;
    if (insists && Security.Encryption == TEncryption::No)
        return QStringLiteral("Сервер принимает только зашифрованные подключения, а шифрование выключено "
                              "(«Шифрование»: «нет»). Выберите «если сервер поддерживает» или «обязательно».");
    if (Server == TServerEncryption::NotSupported && Security.Encryption == TEncryption::Require)
        return QStringLiteral("Сервер не поддерживает шифрование, а оно выбрано обязательным "
                              "(«Шифрование»: «обязательно»).");
    if (Server != TServerEncryption::Unknown && Server != TServerEncryption::NotSupported && Security.ChecksCertificate())
        return Security.CaFile.isEmpty()
                   ? QStringLiteral("Сертификат сервера не прошёл проверку: он не подписан центром сертификации, "
                                    "которому доверяет система, или выдан не на это имя сервера. Если сертификату "
                                    "можно верить, отметьте «Доверять сертификату сервера».")
                   : QStringLiteral("Сертификат сервера не прошёл проверку: он не подписан центром сертификации из "
                                    "файла «%1» или выдан не на это имя сервера. Если сертификату можно верить, "
                                    "отметьте «Доверять сертификату сервера».")
                         .arg(Security.CaFile);
    return QString();
}
