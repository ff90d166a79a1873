#include "SqlBrowser.h"

#include <QDeadlineTimer>
#include <QUdpSocket>

namespace {

constexpr char svrResp = 0x05;
constexpr char clntBcastEx = 0x02;
constexpr char clntUcastEx = 0x03;

} // namespace

QList<TBrowserInstance> ParseBrowserResponse(const QByteArray &datagram, const QString &sender)
{
    QList<TBrowserInstance> instances;
    if (datagram.size() < 3 || datagram.at(0) != svrResp)
        return instances;
    const int size = quint8(datagram.at(1)) | (quint8(datagram.at(2)) << 8);
    const QString data = QString::fromLocal8Bit(datagram.mid(3, size));
    // Instances are separated by ";;", their fields alternate name;value.
    const QStringList records = data.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    for (const QString &record : records) {
        const QStringList fields = record.split(QLatin1Char(';'));
        TBrowserInstance instance;
        instance.Address = sender;
        for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
            const QString key = fields.at(i).trimmed().toLower();
            const QString &value = fields.at(i + 1);
            if (key == QLatin1String("servername"))
                instance.ServerName = value;
            else if (key == QLatin1String("instancename"))
                instance.InstanceName = value;
            else if (key == QLatin1String("isclustered"))
                instance.IsClustered = value;
            else if (key == QLatin1String("version"))
                instance.Version = value;
            else if (key == QLatin1String("tcp"))
                instance.TcpPort = value.toInt();
            else if (key == QLatin1String("np"))
                instance.NamedPipe = value;
        }
        if (instance.TcpPort < 0 || instance.TcpPort > 65535)
            instance.TcpPort = 0;
        if (!instance.ServerName.isEmpty() || !instance.InstanceName.isEmpty())
            instances << instance;
    }
    return instances;
}

QList<TBrowserInstance> SearchSqlBrowser(const QHostAddress &address, quint16 port, int timeoutMs)
{
    QList<TBrowserInstance> found;
    QUdpSocket socket;
    const bool broadcast = address == QHostAddress(QHostAddress::Broadcast);
    const QHostAddress local = address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress(QHostAddress::AnyIPv6)
                                                                                     : QHostAddress(QHostAddress::AnyIPv4);
    if (!socket.bind(local, 0))
        return found;
    const QByteArray request(1, broadcast ? clntBcastEx : clntUcastEx);
    if (socket.writeDatagram(request, address, port) != request.size())
        return found;

    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (socket.error() != QAbstractSocket::SocketTimeoutError)
                break;
            continue;
        }
        while (socket.hasPendingDatagrams()) {
            QByteArray datagram(int(qMax<qint64>(socket.pendingDatagramSize(), 0)), Qt::Uninitialized);
            QHostAddress sender;
            quint16 senderPort = 0;
            const qint64 read = socket.readDatagram(datagram.data(), datagram.size(), &sender, &senderPort);
            if (read < 0)
                continue;
            datagram.truncate(int(read));
            const auto instances = ParseBrowserResponse(datagram, sender.toString());
            found += instances;
            if (!broadcast && !instances.isEmpty())
                return found;
        }
    }
    return found;
}
