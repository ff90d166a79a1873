// TLS as the test server speaks it, seen from a client written here with
// OpenSSL: the handshake inside PRELOGIN packets, then login-only or
// whole-connection encryption; forced encryption refusing a client that
// will not encrypt; no encryption without a certificate. The certificate is
// made at test time with the openssl program.

#include "Server.h"
#include "Tokens.h"
#include "WireClient.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <thread>

using namespace qts;

namespace {

class OneRowEngine : public Engine {
public:
    class S : public Session {
    public:
        std::string database() const override { return "master"; }
    };
    std::unique_ptr<Session> openSession(const std::string &, const std::string &) override { return std::make_unique<S>(); }
    void executeBatch(Session &, const std::string &sql, ResultSink &sink) override
    {
        ColumnInfo c;
        c.name = "n";
        c.type = XType::Int;
        sink.beginResult({c});
        Value v;
        v.kind = Value::Kind::Int;
        v.i = std::int64_t(sql.size());
        sink.row({v});
        sink.statementEnd({true, 1, false, 0xC1});
    }
};

QByteArray utf16Bytes(const QString &s)
{
    return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
}

QByteArray prelogin(std::uint8_t encryption)
{
    // VERSION, ENCRYPTION, terminator.
    QByteArray p = unhex("00 000b 0006 01 0011 0001 ff 0b0000000000");
    p += char(encryption);
    return p;
}

// The ENCRYPTION byte of a PRELOGIN reply.
int encryptionOf(const QByteArray &reply)
{
    for (qsizetype at = 0; at + 5 <= reply.size() && quint8(reply[at]) != 0xFF; at += 5)
        if (reply[at] == 1)
            return quint8(reply[(quint8(reply[at + 1]) << 8) | quint8(reply[at + 2])]);
    return -1;
}

// A TLS client over a WireClient's socket, through memory buffers.
class TlsClient {
public:
    // With caFile the client trusts only that certificate and checks it names 127.0.0.1.
    explicit TlsClient(const QString &caFile = QString())
    {
        m_ctx = SSL_CTX_new(TLS_client_method());
        if (caFile.isEmpty()) {
            SSL_CTX_set_verify(m_ctx, SSL_VERIFY_NONE, nullptr);
        } else {
            SSL_CTX_set_verify(m_ctx, SSL_VERIFY_PEER, nullptr);
            SSL_CTX_load_verify_locations(m_ctx, caFile.toLocal8Bit().constData(), nullptr);
        }
        m_ssl = SSL_new(m_ctx);
        if (!caFile.isEmpty())
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), "127.0.0.1");
        m_in = BIO_new(BIO_s_mem());
        m_out = BIO_new(BIO_s_mem());
        SSL_set_bio(m_ssl, m_in, m_out);
        SSL_set_connect_state(m_ssl);
    }
    ~TlsClient()
    {
        SSL_free(m_ssl);
        SSL_CTX_free(m_ctx);
    }
    // Each flight in a PRELOGIN message; each answer read as one message.
    bool handshake(WireClient &c, QList<std::uint8_t> *replyTypes)
    {
        for (int round = 0; round < 10; ++round) {
            const int r = SSL_do_handshake(m_ssl);
            const QByteArray out = takeOutput();
            if (r == 1)
                return out.isEmpty();
            if (SSL_get_error(m_ssl, r) != SSL_ERROR_WANT_READ)
                return false;
            if (!out.isEmpty())
                c.sendMessage(packet::Prelogin, out);
            const TdsMessage m = c.readMessage();
            if (m.type == 0)
                return false;
            replyTypes->append(m.type);
            BIO_write(m_in, m.payload.data(), int(m.payload.size()));
        }
        return false;
    }
    QByteArray encrypt(const QByteArray &plain)
    {
        SSL_write(m_ssl, plain.constData(), int(plain.size()));
        return takeOutput();
    }
    // Decrypts raw bytes from the socket until a whole TDS message is read.
    QByteArray readMessage(WireClient &c)
    {
        MessageReader reader;
        while (!reader.hasMessage()) {
            char plain[16384];
            const int n = SSL_read(m_ssl, plain, sizeof plain);
            if (n > 0) {
                reader.feed(reinterpret_cast<const std::uint8_t *>(plain), std::size_t(n));
                continue;
            }
            std::uint8_t raw[16384];
            const ssize_t got = ::recv(c.fd, raw, sizeof raw, 0);
            if (got <= 0)
                return {};
            BIO_write(m_in, raw, int(got));
        }
        const TdsMessage m = reader.take();
        return QByteArray(reinterpret_cast<const char *>(m.payload.data()), qsizetype(m.payload.size()));
    }

private:
    QByteArray takeOutput()
    {
        QByteArray out;
        char buf[16384];
        int n;
        while ((n = BIO_read(m_out, buf, sizeof buf)) > 0)
            out.append(buf, n);
        return out;
    }
    SSL_CTX *m_ctx;
    SSL *m_ssl;
    BIO *m_in;
    BIO *m_out;
};

// One TDS packet with EOM.
QByteArray packetOf(std::uint8_t type, const QByteArray &payload)
{
    QByteArray h = unhex("00 01 0000 0000 01 00");
    h[0] = char(type);
    h[2] = char((payload.size() + 8) >> 8);
    h[3] = char(payload.size() + 8);
    return h + payload;
}

QByteArray batchPayload(const QString &sql)
{
    return unhex("16000000 12000000 0200 0000000000000000 01000000") + QByteArray(reinterpret_cast<const char *>(sql.utf16()), sql.size() * 2);
}

bool hasLoginAck(const QByteArray &reply) { return reply.contains(char(token::LoginAck)) && reply.contains(utf16Bytes("Microsoft SQL Server")); }

} // namespace

class TdsTlsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void noCertificateNoEncryption();
    void loginOnlyEncryption();
    void wholeConnectionEncrypted();
    void plainLoginAfterAgreeingToEncryptIsRefused();
    void forcedEncryptionRefusesAClientThatCannot();
    void forcedEncryptionEncryptsAnOffClient();
    void badCertificateFilesRefused();
    void certificateCheckedByTheClient_data();
    void certificateCheckedByTheClient();

private:
    struct Running {
        std::unique_ptr<Server> server;
        std::thread thread;
        int stop[2] = {-1, -1};
    };
    void start(Running &r, bool tls, bool force);
    void stop(Running &r);
    QTemporaryDir m_dir;
    QString m_cert, m_key;
    OneRowEngine m_engine;
    Running m_plain, m_offered, m_forced;
};

void TdsTlsTest::initTestCase()
{
    m_cert = m_dir.filePath("cert.pem");
    m_key = m_dir.filePath("key.pem");
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", m_key, "-out", m_cert, "-days", "2",
                              "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"});
    QVERIFY(openssl.waitForFinished(60000));
    QCOMPARE(openssl.exitCode(), 0);
    start(m_plain, false, false);
    start(m_offered, true, false);
    start(m_forced, true, true);
}

void TdsTlsTest::start(Running &r, bool tls, bool force)
{
    ServerSettings s;
    s.logins.passwords["sa"] = "secret";
    s.version = findServerVersion(2019);
    if (tls) {
        std::string error;
        s.tls = TlsContext::load(m_cert.toStdString(), m_key.toStdString(), error);
        QVERIFY2(s.tls, error.c_str());
    }
    s.forceEncryption = force;
    r.server = std::make_unique<Server>(m_engine, s);
    QVERIFY(r.server->listen(0));
    QVERIFY(::pipe(r.stop) == 0);
    r.thread = std::thread([&r] { r.server->serve(r.stop[0]); });
}

void TdsTlsTest::stop(Running &r)
{
    (void)!::write(r.stop[1], "x", 1);
    r.thread.join();
    r.server.reset();
    ::close(r.stop[0]);
    ::close(r.stop[1]);
}

void TdsTlsTest::cleanupTestCase()
{
    stop(m_plain);
    stop(m_offered);
    stop(m_forced);
}

void TdsTlsTest::noCertificateNoEncryption()
{
    WireClient c(m_plain.server->port());
    c.sendMessage(packet::Prelogin, prelogin(encrypt::On));
    QCOMPARE(encryptionOf(c.readPayload()), int(encrypt::NotSupported));
    QVERIFY(hasLoginAck(c.loginRaw("sa", "secret")));
}

void TdsTlsTest::loginOnlyEncryption()
{
    WireClient c(m_offered.server->port());
    c.sendMessage(packet::Prelogin, prelogin(encrypt::Off));
    QCOMPARE(encryptionOf(c.readPayload()), int(encrypt::Off));
    TlsClient tls;
    QList<std::uint8_t> types;
    QVERIFY(tls.handshake(c, &types));
    // SQL Server answers handshake flights in PRELOGIN packets.
    QVERIFY(!types.isEmpty());
    QCOMPARE(types.count(packet::Prelogin), types.size());
    const QByteArray login = packetOf(packet::Login7, buildLogin("sa", "secret", QByteArray(), 0x74000004, QString(), 4096));
    c.sendRaw(tls.encrypt(login));
    // The answer and everything after it are plain.
    QVERIFY(hasLoginAck(c.readPayload()));
    c.sendBatch("SELECT 1");
    const QByteArray reply = c.readPayload();
    QVERIFY(reply.contains(char(token::Row)));
}

void TdsTlsTest::wholeConnectionEncrypted()
{
    WireClient c(m_offered.server->port());
    c.sendMessage(packet::Prelogin, prelogin(encrypt::On));
    QCOMPARE(encryptionOf(c.readPayload()), int(encrypt::On));
    TlsClient tls;
    QList<std::uint8_t> types;
    QVERIFY(tls.handshake(c, &types));
    const QByteArray login = packetOf(packet::Login7, buildLogin("sa", "secret", QByteArray(), 0x74000004, QString(), 4096));
    c.sendRaw(tls.encrypt(login));
    QVERIFY(hasLoginAck(tls.readMessage(c)));
    // The batch and its answer go in TLS records: no TDS header shows on the socket.
    const QString sql = "SELECT 'encrypted'";
    c.sendRaw(tls.encrypt(packetOf(packet::SqlBatch, batchPayload(sql))));
    const QByteArray reply = tls.readMessage(c);
    QVERIFY(reply.contains(char(token::Row)));
    // ROW: INTN of 4 bytes holding the batch's length.
    QVERIFY(reply.contains(QByteArray("\xD1\x04", 2) + char(sql.size()) + QByteArray(3, '\0')));
}

void TdsTlsTest::plainLoginAfterAgreeingToEncryptIsRefused()
{
    WireClient c(m_offered.server->port());
    c.sendMessage(packet::Prelogin, prelogin(encrypt::Off));
    QCOMPARE(encryptionOf(c.readPayload()), int(encrypt::Off));
    const QByteArray reply = c.loginRaw("sa", "secret");
    QVERIFY(!hasLoginAck(reply));
    QVERIFY(reply.contains(utf16Bytes("Login failed for user 'sa'. The pre-login agreed on an encrypted login, but the login arrived unencrypted.")));
    QCOMPARE(c.readMessage().type, std::uint8_t(0));  // and the connection ends
}

void TdsTlsTest::forcedEncryptionRefusesAClientThatCannot()
{
    WireClient c(m_forced.server->port());
    c.sendMessage(packet::Prelogin, prelogin(encrypt::NotSupported));
    QCOMPARE(encryptionOf(c.readPayload()), int(encrypt::Required));
    const QByteArray reply = c.loginRaw("sa", "secret");
    QVERIFY(!hasLoginAck(reply));
    QVERIFY(reply.contains(utf16Bytes("Login failed for user 'sa'. The server requires encryption (Force Encryption), and the client does not support it.")));
    QCOMPARE(c.readMessage().type, std::uint8_t(0));
}

void TdsTlsTest::forcedEncryptionEncryptsAnOffClient()
{
    WireClient c(m_forced.server->port());
    c.sendMessage(packet::Prelogin, prelogin(encrypt::Off));
    QCOMPARE(encryptionOf(c.readPayload()), int(encrypt::On));
    TlsClient tls;
    QList<std::uint8_t> types;
    QVERIFY(tls.handshake(c, &types));
    c.sendRaw(tls.encrypt(packetOf(packet::Login7, buildLogin("sa", "secret", QByteArray(), 0x74000004, QString(), 4096))));
    QVERIFY(hasLoginAck(tls.readMessage(c)));
}

void TdsTlsTest::badCertificateFilesRefused()
{
    std::string error;
    QVERIFY(!TlsContext::load(m_dir.filePath("missing.pem").toStdString(), m_key.toStdString(), error));
    QVERIFY2(error.find("cannot read the certificate") != std::string::npos, error.c_str());
    // The certificate as its own key: not a key.
    error.clear();
    QVERIFY(!TlsContext::load(m_cert.toStdString(), m_cert.toStdString(), error));
    QVERIFY2(error.find("private key") != std::string::npos, error.c_str());
}

void TdsTlsTest::certificateCheckedByTheClient_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::newRow("its own certificate as the CA") << true;
    QTest::newRow("another CA") << false;
}

void TdsTlsTest::certificateCheckedByTheClient()
{
    // The server presents the certificate it was given, for 127.0.0.1; a
    // client that trusts another CA ends the handshake.
    QFETCH(bool, trusted);
    QString ca = m_cert;
    if (!trusted) {
        ca = m_dir.filePath("other.pem");
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", m_dir.filePath("other.key"), "-out", ca,
                                  "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
        QVERIFY(openssl.waitForFinished(60000));
        QCOMPARE(openssl.exitCode(), 0);
    }
    WireClient c(m_offered.server->port());
    c.sendMessage(packet::Prelogin, prelogin(encrypt::On));
    QCOMPARE(encryptionOf(c.readPayload()), int(encrypt::On));
    TlsClient tls(ca);
    QList<std::uint8_t> types;
    QCOMPARE(tls.handshake(c, &types), trusted);
}

QTEST_GUILESS_MAIN(TdsTlsTest)
#include "tst_tdstls.moc"
