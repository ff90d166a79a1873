// Encrypted connections through the facade and FreeTDS against the test
// server speaking TLS: login-only and whole-connection encryption, a server
// that forces encryption, the certificate check with a CA file, and the
// Russian reasons when encryption settings make a login fail. The
// certificates are made at test time with the openssl program; FreeTDS's
// own log (TDSDUMP) tells what each pre-login agreed.

#include "DataFacade.h"
#include "EncryptionProbe.h"
#include "TestServer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace {

bool makeCertificate(const QString &dir, const QString &name)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", dir + "/" + name + ".key", "-out",
                   dir + "/" + name + ".pem", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                   "subjectAltName=IP:127.0.0.1"});
    return openssl.waitForFinished(60000) && openssl.exitCode() == 0;
}

} // namespace

class TestEncryption : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::map<QString, std::unique_ptr<TestServer>> m_servers;
    qint64 m_dumpSeen = 0;

    QString dumpFile() const { return m_dir.filePath(QStringLiteral("tds.log")); }

    // The crypt flags FreeTDS logged since the last call.
    QStringList newCryptFlags()
    {
        QFile dump(dumpFile());
        if (!dump.open(QIODevice::ReadOnly))
            return {};
        dump.seek(m_dumpSeen);
        const QByteArray text = dump.readAll();
        m_dumpSeen += text.size();
        QStringList flags;
        for (const QByteArray &line : text.split('\n'))
            if (const qsizetype at = line.indexOf("detected crypt flag "); at >= 0)
                flags << QString::fromLatin1(line.mid(at + 20).trimmed());
        return flags;
    }

    void connect(TDataAccessFacade &facade, const QString &server, const TConnectionSecurity &security,
                 const QString &password = QString::fromLatin1(TestServer::password))
    {
        facade.SetDriver(QStringLiteral("FreeTDS"));
        facade.SetSecurity(security);
        facade.SetLogin(QString::fromLatin1(TestServer::login), password);
        const TSQLServer target(m_servers.at(server)->dataSource());
        facade.SetServer(&target);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // Before the first connection: FreeTDS opens its log with the ODBC environment.
        qputenv("TDSDUMP", QFile::encodeName(dumpFile()));
        QVERIFY(makeCertificate(m_dir.path(), QStringLiteral("server")));
        QVERIFY(makeCertificate(m_dir.path(), QStringLiteral("other")));
        const QStringList tls = {QStringLiteral("--version"), QStringLiteral("2019"), QStringLiteral("--tls-cert"),
                                 m_dir.filePath(QStringLiteral("server.pem")), QStringLiteral("--tls-key"),
                                 m_dir.filePath(QStringLiteral("server.key"))};
        const std::map<QString, QStringList> servers = {
            {QStringLiteral("tls"), tls},
            {QStringLiteral("forced"), tls + QStringList{QStringLiteral("--force-encryption")}},
            {QStringLiteral("plain"), {QStringLiteral("--version"), QStringLiteral("2019")}},
            {QStringLiteral("stalled"), tls},
        };
        for (const auto &[name, arguments] : servers) {
            auto server = std::make_unique<TestServer>(arguments);
            QVERIFY2(server->start(), qPrintable(server->errorText()));
            m_servers[name] = std::move(server);
        }
    }

    void logins_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("encryption");
        QTest::addColumn<bool>("trust");
        QTest::addColumn<QString>("caFile");  // "server", "other" or the system's store
        QTest::addColumn<QString>("agreed");  // the pre-login's answer FreeTDS logged
        QTest::addColumn<QString>("refusal"); // empty: the login and a query work
        const int no = int(TEncryption::No), request = int(TEncryption::Request), require = int(TEncryption::Require);
        const QString checkFailed = QStringLiteral("Сертификат сервера не прошёл проверку");
        QTest::newRow("request: the login encrypted") << "tls" << request << false << "" << "0" << "";
        QTest::newRow("no: plain") << "tls" << no << false << "" << "2" << "";
        QTest::newRow("require, trusted: everything encrypted") << "tls" << require << true << "" << "1" << "";
        QTest::newRow("require, checked against its CA") << "tls" << require << false << "server" << "1" << "";
        QTest::newRow("require, another CA: refused") << "tls" << require << false << "other" << "1" << checkFailed;
        QTest::newRow("require, the system's store: refused") << "tls" << require << false << "" << "1" << checkFailed;
        QTest::newRow("forced, request: everything encrypted") << "forced" << request << false << "" << "1" << "";
        QTest::newRow("forced, no: refused") << "forced" << no << false << "" << "3"
                                             << "Сервер принимает только зашифрованные подключения";
        QTest::newRow("no certificate, require: refused") << "plain" << require << true << "" << "2"
                                                          << "Сервер не поддерживает шифрование";
        QTest::newRow("no certificate, request: plain") << "plain" << request << false << "" << "2" << "";
    }

    void logins()
    {
        QFETCH(QString, server);
        QFETCH(int, encryption);
        QFETCH(bool, trust);
        QFETCH(QString, caFile);
        QFETCH(QString, agreed);
        QFETCH(QString, refusal);
        TConnectionSecurity security;
        security.Encryption = TEncryption(encryption);
        security.TrustServerCertificate = trust;
        if (!caFile.isEmpty())
            security.CaFile = m_dir.filePath(caFile + QStringLiteral(".pem"));
        (void)newCryptFlags();

        TDataAccessFacade facade;
        try {
            connect(facade, server, security);
            QVERIFY2(refusal.isEmpty(), "the login went through");
        } catch (const EDataAccessError &error) {
            QVERIFY2(!refusal.isEmpty() && error.Message().startsWith(refusal), qPrintable(error.Message()));
            QVERIFY(!facade.Connected());
        }
        QVERIFY2(newCryptFlags().contains(agreed), qPrintable(QStringLiteral("expected %1").arg(agreed)));
        if (!refusal.isEmpty())
            return;
        QCOMPARE(facade.ServerMajorVersion(), 15);
        const TScriptResult result = facade.ExecuteScriptText(QStringLiteral("SELECT N'через ' + 'TLS'"), 10);
        QVERIFY2(!result.HasErrors(), qPrintable(result.FirstError()));
        QVERIFY(facade.GetDataBases());
    }

    // A server that answers says why itself: a wrong password stays a
    // wrong password under required encryption.
    void theServersOwnReasonStays()
    {
        TConnectionSecurity security;
        security.Encryption = TEncryption::Require;
        security.TrustServerCertificate = true;
        TDataAccessFacade facade;
        try {
            connect(facade, QStringLiteral("tls"), security, QStringLiteral("not the password"));
            QFAIL("the login went through");
        } catch (const EDataAccessError &error) {
            QVERIFY2(error.Message().contains(QLatin1String("Login failed")), qPrintable(error.Message()));
        }
    }

    void probeReadsWhatTheServerOffers_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("offered");
        QTest::newRow("certificate") << "tls" << int(TServerEncryption::Off);
        QTest::newRow("forced") << "forced" << int(TServerEncryption::On);
        QTest::newRow("none") << "plain" << int(TServerEncryption::NotSupported);
    }

    void probeReadsWhatTheServerOffers()
    {
        QFETCH(QString, server);
        QFETCH(int, offered);
        QCOMPARE(int(ProbeServerEncryption(QStringLiteral("127.0.0.1"), m_servers.at(server)->port(), 10000)), offered);
    }

    // TDS 7.4 keeps the login time-out: a 2019 server that accepts the
    // connection and never answers fails the login after it, encrypted or not.
    void stalledServerTimesOut_data()
    {
        QTest::addColumn<int>("encryption");
        QTest::newRow("no") << int(TEncryption::No);
        QTest::newRow("request") << int(TEncryption::Request);
        QTest::newRow("require") << int(TEncryption::Require);
    }

    void stalledServerTimesOut()
    {
        QFETCH(int, encryption);
        TestServer &server = *m_servers.at(QStringLiteral("stalled"));
        TConnectionSecurity security;
        security.Encryption = TEncryption(encryption);
        security.TrustServerCertificate = true;
        TDataAccessFacade facade;
        facade.SetLoginTimeout(2);
        QVERIFY(server.suspend());
        struct Resume
        {
            TestServer &Server;
            ~Resume() { Server.resume(); }
        } resume{server};
        try {
            connect(facade, QStringLiteral("stalled"), security);
            QFAIL("a stopped server let the login through");
        } catch (const EQueryTimeout &error) {
            QCOMPARE(error.Message(), QStringLiteral("Сервер не ответил на подключение за 2 с."));
        }
        server.resume();
        connect(facade, QStringLiteral("stalled"), security);
        QCOMPARE(facade.ServerMajorVersion(), 15);
    }

    // Which settings a server's offer explains, without a server.
    void failureTexts_data()
    {
        QTest::addColumn<int>("encryption");
        QTest::addColumn<bool>("trust");
        QTest::addColumn<int>("offered");
        QTest::addColumn<QString>("text");  // its start; empty: no explanation
        const int no = int(TEncryption::No), request = int(TEncryption::Request), require = int(TEncryption::Require);
        const QString insists = QStringLiteral("Сервер принимает только зашифрованные");
        const QString cannot = QStringLiteral("Сервер не поддерживает шифрование");
        const QString check = QStringLiteral("Сертификат сервера не прошёл проверку");
        QTest::newRow("no, insisting server") << no << false << int(TServerEncryption::On) << insists;
        QTest::newRow("no, server requiring") << no << false << int(TServerEncryption::Required) << insists;
        QTest::newRow("no, willing server") << no << false << int(TServerEncryption::Off) << "";
        QTest::newRow("request explains nothing") << request << false << int(TServerEncryption::On) << "";
        QTest::newRow("require, no certificate") << require << true << int(TServerEncryption::NotSupported) << cannot;
        QTest::newRow("require, checked") << require << false << int(TServerEncryption::Off) << check;
        QTest::newRow("require, trusted: something else") << require << true << int(TServerEncryption::Off) << "";
        QTest::newRow("no answer") << require << false << int(TServerEncryption::Unknown) << "";
    }

    void failureTexts()
    {
        QFETCH(int, encryption);
        QFETCH(bool, trust);
        QFETCH(int, offered);
        QFETCH(QString, text);
        TConnectionSecurity security;
        security.Encryption = TEncryption(encryption);
        security.TrustServerCertificate = trust;
        const QString got = EncryptionFailureText(security, TServerEncryption(offered));
        QVERIFY2(text.isEmpty() ? got.isEmpty() : got.startsWith(text), qPrintable(got));
    }

    void probeOfNothing()
    {
        TestServer stopped;
        QVERIFY2(stopped.start(), qPrintable(stopped.errorText()));
        const int port = stopped.port();
        stopped.stop();
        QCOMPARE(ProbeServerEncryption(QStringLiteral("127.0.0.1"), port, 2000), TServerEncryption::Unknown);
    }
};

QTEST_GUILESS_MAIN(TestEncryption)
#include "tst_encryption.moc"
