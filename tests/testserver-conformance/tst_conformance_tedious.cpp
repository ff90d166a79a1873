// The Node.js tedious driver against the test server (the checks live in
// tedious_conformance.js; tedious is installed into the build by a fixture).

#include "TestServer.h"

#include <QProcess>
#include <QtTest>

class ConformanceTediousTest : public QObject {
    Q_OBJECT
private slots:
    void tediousChecks();
};

void ConformanceTediousTest::tediousChecks()
{
    TestServer server;
    QVERIFY2(server.start(), qPrintable(server.errorText()));
    QProcess node;
    node.setProcessChannelMode(QProcess::MergedChannels);
    node.start(QStringLiteral("node"), {QStringLiteral(QUORVANE_CONFORMANCE_DIR "/tedious_conformance.js"),
                                        QString::number(server.port()), QStringLiteral(QUORVANE_TEDIOUS_DIR),
                                        QStringLiteral(QUORVANE_CONFORMANCE_DIR "/alltypes.sql")});
    QVERIFY(node.waitForStarted(10000));
    QVERIFY(node.waitForFinished(120000));
    const QString out = QString::fromUtf8(node.readAll());
    QVERIFY2(node.exitStatus() == QProcess::NormalExit && node.exitCode() == 0, qPrintable(out));
}

QTEST_GUILESS_MAIN(ConformanceTediousTest)
#include "tst_conformance_tedious.moc"
