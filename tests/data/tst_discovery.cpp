// Server discovery: the FreeTDS configuration files and the SQL Server
// Browser search, answered by quorvane-testserver on loopback.

#include "DataFacade.h"
#include "FreeTdsConfig.h"
#include "ServerDiscovery.h"
#include "TestServer.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QString &text)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text.toUtf8());
    return path;
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0))
        return 0;
    return probe.localPort();
}

QStringList namesOf(const TSQLServersList &list)
{
    QStringList names;
    for (const TSQLServer *server : list)
        names << server->Name;
    return names;
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void withoutConfigurationOnlyLocal()
    {
        const auto list = TSqrversEnumerator(QStringList{}).GetServers();
        QVERIFY(list);
        QCOMPARE(list->Count(), 1);
        QCOMPARE(list->Items(0)->Name, QStringLiteral("(local)"));
        QVERIFY(list->Items(0)->Comment.isEmpty());
        QCOMPARE(list->ItemIndex(), -1);
    }

    // Entries in file order, "(local)" first; a name the earlier file
    // defines hides the later one, ignoring case, as in FreeTDS.
    void configuredServersFollowLocal()
    {
        const QString first = writeFile(m_dir, QStringLiteral("first.conf"),
                                        QStringLiteral("[global]\n port = 1500\n[Sales]\n host = 10.1.1.1\n"
                                                       "[hr]\n host = 10.1.1.2\n port = 2000\n"
                                                       "[(local)]\n host = 10.1.1.3\n"));
        const QString second = writeFile(m_dir, QStringLiteral("second.conf"),
                                         QStringLiteral("[SALES]\n host = 10.9.9.9\n[Archive]\n host = 10.1.1.4\n instance = OLD\n"));
        const auto list = TSqrversEnumerator({first, QStringLiteral("/nonexistent/freetds.conf"), second}).GetServers();
        QCOMPARE(namesOf(*list), (QStringList{"(local)", "Sales", "hr", "(local)", "Archive"}));
        QCOMPARE(list->Items(1)->Comment, QStringLiteral("10.1.1.1:1500"));
        QCOMPARE(list->Items(2)->Comment, QStringLiteral("10.1.1.2:2000"));
        QCOMPARE(list->Items(4)->Comment, QStringLiteral("10.1.1.4\\OLD"));
        // A defined name equal to "(local)" stays a separate entry.
        QCOMPARE(list->FindByName(QStringLiteral("(local)")), list->Items(3));
    }

    void configFilesInFreeTdsOrder()
    {
        const QString conf = writeFile(m_dir, QStringLiteral("env.conf"), QStringLiteral("[fromenv]\n host = 10.2.2.2\n"));
        QTemporaryDir home;
        writeFile(home, QStringLiteral(".freetds.conf"), QStringLiteral("[fromhome]\n host = 10.3.3.3\n"));
        const QByteArray savedConf = qgetenv("FREETDSCONF");
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("FREETDSCONF", conf.toLocal8Bit());
        qputenv("HOME", home.path().toLocal8Bit());
        const QStringList files = FreeTdsConfigFiles();
        const auto list = TSqrversEnumerator().GetServers();
        qputenv("FREETDSCONF", savedConf);
        qputenv("HOME", savedHome);
        QVERIFY(files.size() >= 2);
        QCOMPARE(files.at(0), conf);
        QCOMPARE(files.at(1), home.filePath(QStringLiteral(".freetds.conf")));
        QVERIFY(namesOf(*list).mid(0, 3) == (QStringList{"(local)", "fromenv", "fromhome"}));
    }

    // The Browser of the test server names its instance; the entry made
    // from the answer connects as it stands.
    void browserSearchFindsTheTestServer()
    {
        const quint16 browserPort = freeUdpPort();
        QVERIFY(browserPort != 0);
        TestServer server({QStringLiteral("--browser-port"), QString::number(browserPort)});
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        const auto list = TSqrversEnumerator::SearchNetwork(QHostAddress::LocalHost, browserPort, 5000);
        QVERIFY(list);
        QCOMPARE(list->Count(), 1);
        QCOMPARE(list->Items(0)->Name, QStringLiteral("127.0.0.1,%1").arg(server.port()));
        QVERIFY2(list->Items(0)->Comment.endsWith(QLatin1String(", 8.00.194")), qPrintable(list->Items(0)->Comment));

        TDataAccessFacade facade;
        facade.SetDriver(QStringLiteral("FreeTDS"));
        facade.SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
        facade.SetServer(list->Items(0));
        QVERIFY(facade.Connected());
    }

    void browserSilenceGivesNothing()
    {
        const quint16 port = freeUdpPort();
        QVERIFY(port != 0);
        const auto list = TSqrversEnumerator::SearchNetwork(QHostAddress::LocalHost, port, 300);
        QVERIFY(list);
        QCOMPARE(list->Count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
