// The protocol layer over the real SQL engine, seen on the wire: TEXTSIZE
// cuts values in ROW tokens, an attention ends a WAITFOR at once and the
// session lives on, a client that goes away ends its batch, and a batch
// longer than 65,536 packets is refused.

#include "Server.h"
#include "Tokens.h"
#include "WireClient.h"

#include <QTemporaryDir>
#include <QtTest>

#include <thread>

using namespace qts;

namespace {

// What a TDS 7.4 reply holds, as far as these tests look.
struct Reply {
    QList<int> errors;             // ERROR numbers
    QStringList errorTexts;
    QList<std::uint16_t> dones;    // status of each DONE
    QList<QList<QByteArray>> rows; // raw value bytes (NULL: a null QByteArray)
    QList<QByteArray> envChanges;  // type byte, then the rest of the token
    bool ok = true;                // parsed to the end
};

Reply parseReply(const QByteArray &p)
{
    Reply r;
    QList<std::uint8_t> types;
    qsizetype at = 0;
    auto u8 = [&](qsizetype k) { return quint8(p[k]); };
    auto u16 = [&](qsizetype k) { return quint16(u8(k) | u8(k + 1) << 8); };
    auto u32 = [&](qsizetype k) { return quint32(u16(k)) | quint32(u16(k + 2)) << 16; };
    while (at < p.size()) {
        const std::uint8_t t = u8(at++);
        switch (t) {
        case token::Error: case token::Info: case token::EnvChange: case token::LoginAck: {
            if (t == token::EnvChange)
                r.envChanges << p.mid(at + 2, u16(at));
            if (t == token::Error) {
                r.errors << int(u32(at + 2));
                const int chars = u16(at + 8);
                r.errorTexts << QString::fromUtf16(reinterpret_cast<const char16_t *>(p.constData() + at + 10), chars);
            }
            at += 2 + u16(at);
            break;
        }
        case token::Done: case token::DoneProc: case token::DoneInProc:
            r.dones << u16(at);
            at += 12;
            break;
        case token::ColMetadata: {
            const int n = u16(at);
            at += 2;
            types.clear();
            for (int k = 0; k < n; ++k) {
                at += 4 + 2;  // user type, flags
                const std::uint8_t type = u8(at++);
                types << type;
                switch (type) {
                case 0x26: case 0x68: case 0x6D: case 0x6E: case 0x6F: case 0x24: at += 1; break;
                case 0x6A: case 0x6C: at += 3; break;
                case 0xA7: case 0xAF: case 0xE7: case 0xEF: at += 2 + 5; break;
                case 0xA5: case 0xAD: at += 2; break;
                case 0x62: at += 4; break;
                case 0x23: case 0x63: case 0x22: {
                    at += 4 + (type == 0x22 ? 0 : 5);
                    const int parts = u8(at++);
                    for (int k2 = 0; k2 < parts; ++k2)
                        at += 2 + 2 * u16(at);
                    break;
                }
                default: r.ok = false; return r;
                }
                at += 1 + 2 * u8(at);  // column name
            }
            break;
        }
        case token::Row: {
            QList<QByteArray> row;
            for (const std::uint8_t type : types) {
                switch (type) {
                case 0xA7: case 0xAF: case 0xE7: case 0xEF: case 0xA5: case 0xAD: {
                    const int len = u16(at);
                    at += 2;
                    row << (len == 0xFFFF ? QByteArray() : p.mid(at, len));
                    at += len == 0xFFFF ? 0 : len;
                    break;
                }
                case 0x23: case 0x63: case 0x22: {
                    const int ptr = u8(at++);
                    if (ptr == 0) {
                        row << QByteArray();
                        break;
                    }
                    at += ptr + 8;
                    const qsizetype len = u32(at);
                    at += 4;
                    row << p.mid(at, len);
                    at += len;
                    break;
                }
                case 0x62: {
                    const qsizetype len = u32(at);
                    row << p.mid(at + 4, len);
                    at += 4 + len;
                    break;
                }
                default: {
                    const int len = u8(at++);
                    row << (len == 0 ? QByteArray() : p.mid(at, len));
                    at += len;
                    break;
                }
                }
            }
            r.rows << row;
            break;
        }
        default:
            r.ok = false;
            return r;
        }
    }
    return r;
}

class Client : public WireClient {
public:
    using WireClient::WireClient;
    Reply run(const QString &sql)
    {
        sendBatch(sql);
        return parseReply(readPayload());
    }
    bool login(quint32 packetSize = 8192)
    {
        const Reply r = parseReply(loginRaw(QStringLiteral("sa"), QStringLiteral("secret"), QString(), packetSize));
        return r.ok && r.errors.isEmpty() && !r.dones.isEmpty();
    }
};

int intOf(const QByteArray &b)
{
    int v = 0;
    for (qsizetype k = b.size() - 1; k >= 0; --k)
        v = v << 8 | quint8(b[k]);
    return v;
}

} // namespace

class TdsServerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void textSizeCutsRowValues();
    void attentionEndsAWait();
    void attentionDuringAWaitAfterRows();
    void clientGoneEndsItsWait();
    void batchLongerThan65536PacketsRefused();
    void databaseCollationFollowsUse();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<Server> m_server;
    std::thread m_thread;
    int m_stop[2] = {-1, -1};
};

void TdsServerTest::initTestCase()
{
    m_engine = createEngine(m_dir.path().toStdString(), false);
    Logins logins;
    logins.passwords["sa"] = "secret";
    m_server = std::make_unique<Server>(*m_engine, logins);
    QVERIFY(m_server->listen(0));
    QVERIFY(::pipe(m_stop) == 0);
    m_thread = std::thread([this] { m_server->serve(m_stop[0]); });
}

void TdsServerTest::cleanupTestCase()
{
    (void)!::write(m_stop[1], "x", 1);
    m_thread.join();
    m_server.reset();
    ::close(m_stop[0]);
    ::close(m_stop[1]);
}

void TdsServerTest::textSizeCutsRowValues()
{
    Client c(m_server->port());
    QVERIFY(c.login());
    const QString setup = "CREATE TABLE Longs (t text, n ntext, i image)\nINSERT INTO Longs VALUES('" + QString(5000, 'a') +
                          "', N'" + QString(3000, QChar(0x0436)) + "', 0x" + QString("AB").repeated(5000) + ")";
    QCOMPARE(c.run(setup).errors, QList<int>());

    Reply r = c.run("SELECT t, n, i FROM Longs");
    QVERIFY(r.ok);
    QCOMPARE(r.rows.size(), 1);
    QCOMPARE(r.rows[0][0], QByteArray(4096, 'a'));                       // text: 4,096 bytes of cp1251
    QCOMPARE(r.rows[0][1], QByteArray("\x36\x04").repeated(2048));       // ntext: 2,048 UTF-16 units
    QCOMPARE(r.rows[0][2], QByteArray("\xAB").repeated(4096));

    QCOMPARE(c.run("SET TEXTSIZE 2147483647").errors, QList<int>());
    r = c.run("SELECT t, n, i FROM Longs");
    QCOMPARE(r.rows[0][0].size(), 5000);
    QCOMPARE(r.rows[0][1].size(), 6000);
    QCOMPARE(r.rows[0][2].size(), 5000);

    // Every session starts at the default again.
    Client other(m_server->port());
    QVERIFY(other.login());
    QCOMPARE(other.run("SELECT t FROM Longs").rows[0][0].size(), 4096);
    QCOMPARE(intOf(other.run("SELECT @@TEXTSIZE").rows[0][0]), 4096);
}

void TdsServerTest::attentionEndsAWait()
{
    Client c(m_server->port());
    QVERIFY(c.login());
    // A minute's wait; the client's receive time-out (10 s) fails the test
    // if the attention does not end it.
    c.sendBatch("WAITFOR DELAY '00:01:00'");
    c.sendAttention();
    const TdsMessage interrupted = c.readMessage();
    QCOMPARE(interrupted.type, packet::Reply);
    QVERIFY(parseReply(c.readPayload()).dones == QList<std::uint16_t>{done::Attention});
    const Reply after = c.run("SELECT 42");
    QCOMPARE(after.rows.size(), 1);
    QCOMPARE(intOf(after.rows[0][0]), 42);
}

void TdsServerTest::attentionDuringAWaitAfterRows()
{
    Client c(m_server->port());
    QVERIFY(c.login());
    c.sendBatch("SELECT 1\nWAITFOR DELAY '00:01:00'\nSELECT 2");
    c.sendAttention();
    // The interrupted answer holds what ran before the wait, and ends there;
    // the acknowledgement is a message of its own.
    const Reply first = parseReply(c.readPayload());
    QVERIFY(first.ok);
    QCOMPARE(first.rows.size(), 1);
    QCOMPARE(intOf(first.rows[0][0]), 1);
    QCOMPARE(first.dones, QList<std::uint16_t>{std::uint16_t(done::More | done::Count)});
    QCOMPARE(parseReply(c.readPayload()).dones, QList<std::uint16_t>{done::Attention});
    QCOMPARE(intOf(c.run("SELECT 3").rows[0][0]), 3);
}

void TdsServerTest::clientGoneEndsItsWait()
{
    {
        Client c(m_server->port());
        QVERIFY(c.login());
        QCOMPARE(c.run("CREATE DATABASE Waiting").errors, QList<int>());
        QCOMPARE(c.run("USE Waiting").errors, QList<int>());
        c.sendBatch("WAITFOR DELAY '00:01:00'");
    }
    // While that session lives its database is in use (3702); it ends as
    // soon as the server sees the client go, not a minute later.
    Client admin(m_server->port());
    QVERIFY(admin.login());
    QList<int> errors;
    for (int attempt = 0; attempt < 400; ++attempt) {
        errors = admin.run("DROP DATABASE Waiting").errors;
        if (errors.isEmpty())
            break;
        QCOMPARE(errors, QList<int>{3702});
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    QCOMPARE(errors, QList<int>());
}

void TdsServerTest::batchLongerThan65536PacketsRefused()
{
    Client c(m_server->port());
    QVERIFY(c.login(512));
    // 65,536 packets of 512 bytes: 33,554,432 bytes of UTF-16 text.
    const int limit = 65536 * 512 / 2;
    const QString head = QStringLiteral("SELECT 7 --");
    const QString fits = head + QString(limit - head.size(), 'x');
    Reply r = c.run(fits);
    QCOMPARE(r.errors, QList<int>());
    QCOMPARE(intOf(r.rows.value(0).value(0)), 7);

    r = c.run(fits + 'x');
    QCOMPARE(r.errors, QList<int>{123});
    QCOMPARE(r.errorTexts.value(0), QStringLiteral("Batch/procedure exceeds maximum length of 16777216 characters."));
    QCOMPARE(r.dones, QList<std::uint16_t>{done::Error});
    // Far beyond it the batch is not even kept, and the session still goes on.
    r = c.run(fits + QString(100000, 'x'));
    QCOMPARE(r.errors, QList<int>{123});
    QCOMPARE(intOf(c.run("SELECT 8").rows.value(0).value(0)), 8);
}

void TdsServerTest::databaseCollationFollowsUse()
{
    Client c(m_server->port());
    QVERIFY(c.login());
    QCOMPARE(c.run("CREATE DATABASE Latin COLLATE SQL_Latin1_General_CP1_CI_AS").errors, QList<int>());
    Reply r = c.run("USE Latin");
    // The database, then its collation: clients take the code page of
    // plain character data from it.
    QCOMPARE(r.envChanges.size(), 2);
    QCOMPARE(r.envChanges[0].at(0), char(1));
    QCOMPARE(r.envChanges[1].toHex(' '), unhex("07 05 0904d00034 00").toHex(' '));
    r = c.run("SELECT 'é'");
    QCOMPARE(r.rows.value(0).value(0).toHex(), QByteArray("e9"));
    r = c.run("USE master");
    QCOMPARE(r.envChanges.size(), 2);
    QCOMPARE(r.envChanges[1].toHex(' '), unhex("07 05 1904d00000 00").toHex(' '));
    // The same collation again: no change to announce.
    QCOMPARE(c.run("USE tempdb").envChanges.size(), 1);
}

QTEST_GUILESS_MAIN(TdsServerTest)
#include "tst_tdsserver.moc"
