#include "ServerDiscovery.h"

#include "FreeTdsConfig.h"
#include "SqlBrowser.h"

TSqrversEnumerator::TSqrversEnumerator(QStringList ConfigFiles)
    : m_configFiles(std::move(ConfigFiles))
{
}

std::unique_ptr<TSQLServersList> TSqrversEnumerator::GetServers() const
{
    auto list = std::make_unique<TSQLServersList>();
    list->Add(std::make_unique<TSQLServer>(QStringLiteral("(local)")));
    const QList<TFreeTdsEntry> entries = ReadFreeTdsEntries(m_configFiles ? *m_configFiles : FreeTdsConfigFiles());
    for (const TFreeTdsEntry &entry : entries) {
        auto server = std::make_unique<TSQLServer>(entry.Name);
        server->Comment = entry.Comment();
        list->Add(std::move(server));
    }
    return list;
}

std::unique_ptr<TSQLServersList> TSqrversEnumerator::SearchNetwork(const QHostAddress &Address, quint16 Port, int TimeoutMs)
{
    auto list = std::make_unique<TSQLServersList>();
    for (const TBrowserInstance &instance : SearchSqlBrowser(Address, Port, TimeoutMs)) {
        QString identity = instance.ServerName;
        if (!instance.InstanceName.isEmpty() && instance.InstanceName.compare(QLatin1String("MSSQLSERVER"), Qt::CaseInsensitive) != 0)
            identity += QLatin1Char('\\') + instance.InstanceName;
        const QString name = instance.TcpPort != 0 ? QStringLiteral("%1,%2").arg(instance.Address).arg(instance.TcpPort) : identity;
        auto server = std::make_unique<TSQLServer>(name);
        server->Comment = instance.Version.isEmpty() ? identity : identity + QStringLiteral(", ") + instance.Version;
        list->Add(std::move(server));
    }
    return list;
}
