// The release the test server plays (--version) as the wire shows it: the
// PRELOGIN version, the TDS version each release agrees on, the LOGINACK,
// the Browser's answer; and the pre-login's encryption answer.

#include "Browser.h"
#include "Login.h"
#include "Options.h"
#include "Tokens.h"
#include "WireHelpers.h"

#include <QtTest>

using namespace qts;

namespace {

std::vector<std::uint8_t> bytesOf(const QByteArray &b) { return {b.begin(), b.end()}; }

const ServerVersion &release(int year)
{
    const ServerVersion *v = findServerVersion(year);
    if (!v)
        qFatal("no release %d", year);
    return *v;
}

} // namespace

class TdsReleaseTest : public QObject {
    Q_OBJECT
private slots:
    void preloginVersion_data();
    void preloginVersion();
    void negotiation_data();
    void negotiation();
    void loginAckNamesTheRelease();
    void browserNamesTheRelease();
    void encryptionAnswer_data();
    void encryptionAnswer();
    void clientEncryptionParsed_data();
    void clientEncryptionParsed();
    void options_data();
    void options();
};

void TdsReleaseTest::preloginVersion_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<QByteArray>("version");  // UL_VERSION and US_SUBBUILD as sent
    QTest::newRow("2000") << 2000 << unhex("08 00 00c2 0000");
    QTest::newRow("2005") << 2005 << unhex("09 00 0577 0006");
    QTest::newRow("2008") << 2008 << unhex("0a 00 0640 0016");
    QTest::newRow("2012") << 2012 << unhex("0b 00 0834 003c");
    QTest::newRow("2019") << 2019 << unhex("0f 00 07d0 0005");
    QTest::newRow("2022") << 2022 << unhex("10 00 03e8 0006");
}

void TdsReleaseTest::preloginVersion()
{
    QFETCH(int, year);
    QFETCH(QByteArray, version);
    MemoryTransport t;
    PacketWriter w(t);
    writePreloginReply(w, release(year), encrypt::Off);
    const QByteArray p = payloads(t.sent);
    QCOMPARE(quint8(t.sent[0]), quint8(packet::Reply));
    QVERIFY(parsePrelogin(bytesOf(p)).has_value());
    QCOMPARE(p.mid(26, 6).toHex(' '), version.toHex(' '));
    QCOMPARE(quint8(p[32]), quint8(encrypt::Off));
}

void TdsReleaseTest::negotiation_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<quint32>("requested");
    QTest::addColumn<int>("tds");
    QTest::addColumn<quint32>("loginAck");
    // 2000 keeps answering every 7.x client at its own version, as it always did.
    QTest::newRow("2000, 7.4") << 2000 << 0x74000004u << 74 << 0x74000004u;
    QTest::newRow("2000, 7.1") << 2000 << 0x71000001u << 71 << 0x71000001u;
    QTest::newRow("2000, 7.3A gets 7.3B as before") << 2000 << 0x730A0003u << 73 << 0x730B0003u;
    QTest::newRow("2005, 7.4 gets 7.2") << 2005 << 0x74000004u << 72 << 0x72090002u;
    QTest::newRow("2005, 7.3 gets 7.2") << 2005 << 0x730B0003u << 72 << 0x72090002u;
    QTest::newRow("2005, 7.1") << 2005 << 0x71000001u << 71 << 0x71000001u;
    QTest::newRow("2008, 7.4 gets 7.3A") << 2008 << 0x74000004u << 73 << 0x730A0003u;
    QTest::newRow("2008, 7.3B gets 7.3A") << 2008 << 0x730B0003u << 73 << 0x730A0003u;
    QTest::newRow("2008, 7.2") << 2008 << 0x72090002u << 72 << 0x72090002u;
    QTest::newRow("2012, 7.4") << 2012 << 0x74000004u << 74 << 0x74000004u;
    QTest::newRow("2012, 7.3B") << 2012 << 0x730B0003u << 73 << 0x730B0003u;
    QTest::newRow("2012, 7.3A") << 2012 << 0x730A0003u << 73 << 0x730A0003u;
    QTest::newRow("2019, 7.1") << 2019 << 0x71000001u << 71 << 0x71000001u;
    QTest::newRow("2022, newer than 7.4") << 2022 << 0x75000000u << 74 << 0x74000004u;
}

void TdsReleaseTest::negotiation()
{
    QFETCH(int, year);
    QFETCH(quint32, requested);
    QFETCH(int, tds);
    QFETCH(quint32, loginAck);
    QCOMPARE(negotiateTds(requested, release(year)), tds);
    QCOMPARE(loginAckVersion(requested, release(year)), loginAck);
}

void TdsReleaseTest::loginAckNamesTheRelease()
{
    MemoryTransport t;
    PacketWriter w(t);
    w.begin();
    writeLoginAck(w, 0x74000004, release(2019));
    w.end();
    const QByteArray p = payloads(t.sent);
    // Interface 1, TDS 7.4 big-endian, "Microsoft SQL Server", 15.0.2000.
    QCOMPARE(p.left(9).toHex(' '), unhex("ad 3200 01 74000004 14").toHex(' '));
    QCOMPARE(p.right(4).toHex(' '), unhex("0f 00 07 d0").toHex(' '));
}

void TdsReleaseTest::browserNamesTheRelease()
{
    const auto reply = browserReply(reinterpret_cast<const std::uint8_t *>("\x03"), 1, "HOST", 1433,
                                    release(2019).productVersion);
    QVERIFY(reply.has_value());
    const QByteArray text(reinterpret_cast<const char *>(reply->data()) + 3, qsizetype(reply->size()) - 3);
    QCOMPARE(text, QByteArray("ServerName;HOST;InstanceName;MSSQLSERVER;IsClustered;No;Version;15.0.2000.5;tcp;1433;;"));
}

void TdsReleaseTest::encryptionAnswer_data()
{
    QTest::addColumn<int>("client");
    QTest::addColumn<bool>("certificate");
    QTest::addColumn<bool>("force");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("mode");
    const int none = int(Encryption::None), login = int(Encryption::LoginOnly), full = int(Encryption::Full),
              refused = int(Encryption::Refused);
    QTest::newRow("no certificate, client off") << 0 << false << false << 2 << none;
    QTest::newRow("no certificate, client requires") << 3 << false << false << 2 << none;
    QTest::newRow("certificate, client off: login only") << 0 << true << false << 0 << login;
    QTest::newRow("certificate, client on") << 1 << true << false << 1 << full;
    QTest::newRow("certificate, client requires") << 3 << true << false << 1 << full;
    QTest::newRow("certificate, client cannot") << 2 << true << false << 2 << none;
    QTest::newRow("forced, client off: whole connection") << 0 << true << true << 1 << full;
    QTest::newRow("forced, client on") << 1 << true << true << 1 << full;
    QTest::newRow("forced, client cannot: refused") << 2 << true << true << 3 << refused;
}

void TdsReleaseTest::encryptionAnswer()
{
    QFETCH(int, client);
    QFETCH(bool, certificate);
    QFETCH(bool, force);
    QFETCH(int, answer);
    QFETCH(int, mode);
    const EncryptionChoice c = chooseEncryption(std::uint8_t(client), certificate, force);
    QCOMPARE(int(c.answer), answer);
    QCOMPARE(int(c.mode), mode);
}

void TdsReleaseTest::clientEncryptionParsed_data()
{
    QTest::addColumn<QByteArray>("prelogin");
    QTest::addColumn<int>("encryption");  // -1: malformed
    // FreeTDS's layout: VERSION, ENCRYPTION, INSTOPT, THREADID, MARS.
    const QByteArray head = unhex("00 001a 0006 01 0020 0001 02 0021 0001 03 0022 0004 04 0026 0001 ff");
    QTest::newRow("off") << head + unhex("090000000000 00 00 00000000 00") << 0;
    QTest::newRow("on") << head + unhex("090000000000 01 00 00000000 00") << 1;
    QTest::newRow("not supported") << head + unhex("090000000000 02 00 00000000 00") << 2;
    QTest::newRow("no encryption option: off") << unhex("00 0006 0006 ff 090000000000") << 0;
    QTest::newRow("option past the end") << head + unhex("0900") << -1;
    QTest::newRow("no terminator") << unhex("00 0005 0000") << -1;
}

void TdsReleaseTest::clientEncryptionParsed()
{
    QFETCH(QByteArray, prelogin);
    QFETCH(int, encryption);
    const auto r = parsePrelogin(bytesOf(prelogin));
    QCOMPARE(r.has_value(), encryption >= 0);
    if (r)
        QCOMPARE(int(r->encryption), encryption);
}

void TdsReleaseTest::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("year");        // 0: the arguments are refused
    QTest::addColumn<bool>("printVersion");
    QTest::newRow("default release") << QStringList{"--port", "0"} << 2000 << false;
    QTest::newRow("2019") << QStringList{"--version", "2019", "--port", "0"} << 2019 << false;
    QTest::newRow("version alone prints") << QStringList{"--version"} << 2000 << true;
    QTest::newRow("version before an option prints") << QStringList{"--version", "--demo"} << 2000 << true;
    QTest::newRow("unknown year") << QStringList{"--version", "2010"} << 0 << false;
    QTest::newRow("not a year") << QStringList{"--version", "x"} << 0 << false;
    QTest::newRow("tls") << QStringList{"--tls-cert", "c.pem", "--tls-key", "k.pem", "--force-encryption"} << 2000 << false;
    QTest::newRow("certificate without key") << QStringList{"--tls-cert", "c.pem"} << 0 << false;
    QTest::newRow("force without certificate") << QStringList{"--force-encryption"} << 0 << false;
}

void TdsReleaseTest::options()
{
    QFETCH(QStringList, args);
    QFETCH(int, year);
    QFETCH(bool, printVersion);
    std::vector<std::string> argv;
    for (const QString &a : args)
        argv.push_back(a.toStdString());
    std::string error;
    const auto o = parseOptions(argv, error);
    QCOMPARE(o.has_value(), year != 0);
    QCOMPARE(error.empty(), year != 0);
    if (!o)
        return;
    QCOMPARE(o->serverVersion->year, year);
    QCOMPARE(o->version, printVersion);
    if (args.contains("--tls-cert")) {
        QCOMPARE(o->tlsCert, std::string("c.pem"));
        QCOMPARE(o->tlsKey, std::string("k.pem"));
        QVERIFY(o->forceEncryption);
    }
}

QTEST_GUILESS_MAIN(TdsReleaseTest)
#include "tst_tdsrelease.moc"
