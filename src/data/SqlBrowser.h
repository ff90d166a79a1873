#pragma once

// A client of the SQL Server Browser service (SQL Server Resolution
// Protocol, UDP): asks one address which instances it serves. Sent to a
// broadcast address, the question reaches every browser of that network.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

struct TBrowserInstance
{
    QString Address;        // where the answer came from
    QString ServerName;
    QString InstanceName;
    QString IsClustered;
    QString Version;
    int TcpPort = 0;        // 0 when the instance takes no TCP connections
    QString NamedPipe;
};

// The instances of one SVR_RESP datagram; none when it is not one.
[[nodiscard]] QList<TBrowserInstance> ParseBrowserResponse(const QByteArray &datagram, const QString &sender);

// Sends CLNT_UCAST_EX to the address (CLNT_BCAST_EX when it is the broadcast
// address) and collects the answers until the time limit; a unicast question
// ends with its first answer. Never throws for network trouble: whatever
// arrived in time is returned.
[[nodiscard]] QList<TBrowserInstance> SearchSqlBrowser(const QHostAddress &address, quint16 port, int timeoutMs);
