#pragma once

// The servers the login dialog offers: "(local)" first, then every server
// defined in the FreeTDS configuration, named as defined there, with
// "host:port" as comment. The configuration takes the place of the
// network browsing of Windows; a search of the network by the SQL Server
// Browser protocol is a separate step that only runs when asked for.

#include "Domain.h"

#include <QHostAddress>
#include <QStringList>

#include <memory>
#include <optional>

class TSqrversEnumerator
{
public:
    // Reads the files FreeTDS reads.
    TSqrversEnumerator() = default;
    // Reads these files instead.
    explicit TSqrversEnumerator(QStringList ConfigFiles);

    // Never null; owned by the caller, ItemIndex -1.
    [[nodiscard]] std::unique_ptr<TSQLServersList> GetServers() const;

    // Asks the SQL Server Browser at Address (a broadcast address reaches a
    // whole network) which instances it serves, waiting at most TimeoutMs.
    // Each instance becomes a server named so that it connects as typed,
    // "address,port" (or "server\instance" when it takes no TCP
    // connections), with "server\instance, version" as comment. Nothing
    // calls this on its own.
    [[nodiscard]] static std::unique_ptr<TSQLServersList> SearchNetwork(const QHostAddress &Address, quint16 Port,
                                                                        int TimeoutMs);

private:
    std::optional<QStringList> m_configFiles;
};
