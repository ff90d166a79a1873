// The Node.js tedious driver against the test server playing SQL Server
// 2019, with and without TLS (the checks live in tedious_modern.js). The
// certificate is made at test time with the openssl program.

#include "TestServer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class ConformanceTediousModernTest : public QObject {
    Q_OBJECT
private slots:
    void tediousChecks();
};

void ConformanceTediousModernTest::tediousChecks()
{
    QTemporaryDir dir;
    const QString cert = dir.filePath("server.pem"), key = dir.filePath("server.key");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days",
                                              "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"});
    QVERIFY(openssl.waitForFinished(60000));
    QCOMPARE(openssl.exitCode(), 0);
    const QStringList release = {"--version", "2019"};
    TestServer plain(release);
    TestServer tls(release + QStringList{"--tls-cert", cert, "--tls-key", key});
    TestServer forced(release + QStringList{"--tls-cert", cert, "--tls-key", key, "--force-encryption"});
    QVERIFY2(plain.start(), qPrintable(plain.errorText()));
    QVERIFY2(tls.start(), qPrintable(tls.errorText()));
    QVERIFY2(forced.start(), qPrintable(forced.errorText()));
    QProcess node;
    node.setProcessChannelMode(QProcess::MergedChannels);
    node.start(QStringLiteral("node"), {QStringLiteral(QUORVANE_CONFORMANCE_DIR "/tedious_modern.js"), QString::number(plain.port()),
                                        QString::number(tls.port()), QString::number(forced.port()), QStringLiteral(QUORVANE_TEDIOUS_DIR),
                                        QStringLiteral(QUORVANE_CONFORMANCE_DIR "/modern.sql"), cert});
    QVERIFY(node.waitForStarted(10000));
    QVERIFY(node.waitForFinished(180000));
    const QString out = QString::fromUtf8(node.readAll());
    QVERIFY2(node.exitStatus() == QProcess::NormalExit && node.exitCode() == 0, qPrintable(out));
}

QTEST_GUILESS_MAIN(ConformanceTediousModernTest)
#include "tst_conformance_tedious_modern.moc"
