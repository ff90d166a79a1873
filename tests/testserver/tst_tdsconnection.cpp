// Whole connections against the protocol layer over loopback, with a fake
// engine: login outcomes, statement sequencing, cancel, RPC, bad clients.

#include "Browser.h"
#include "Server.h"
#include "Tokens.h"
#include "WireClient.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace qts;

namespace {

class FakeSession : public Session {
public:
    explicit FakeSession(std::string db) : db(std::move(db)) {}
    std::string database() const override { return db; }
    std::string db;
};

class FakeEngine : public Engine {
public:
    std::unique_ptr<Session> openSession(const std::string &, const std::string &database) override
    {
        if (!database.empty() && database != "Shop") {
            SqlError e;
            e.message.number = 4060;
            e.message.severity = 11;
            e.message.text = "Cannot open database \"" + database + "\" requested by the login. The login failed.";
            throw e;
        }
        return std::make_unique<FakeSession>(database.empty() ? "master" : database);
    }
    void executeBatch(Session &, const std::string &sql, ResultSink &sink) override
    {
        ColumnInfo c;
        c.name = "n";
        c.type = XType::Int;
        if (sql == "endless") {
            sink.beginResult({c});
            Value v;
            v.kind = Value::Kind::Int;
            // Bounded so that a broken cancel fails the test instead of hanging it.
            for (v.i = 0; v.i < 50'000'000; ++v.i)
                if (!sink.row({v}))
                    return;
            StatementEnd end;
            end.hasCount = true;
            end.rowCount = std::uint64_t(v.i);
            sink.statementEnd(end);
        } else if (sql == "two") {
            sink.beginResult({c});
            Value v;
            v.kind = Value::Kind::Int;
            v.i = 42;
            sink.row({v});
            sink.statementEnd({true, 1, false, 0xC1});
            sink.statementEnd({true, 3, false, 0xC3});
        } else if (sql == "fail") {
            Message m;
            m.number = 208;
            m.text = "Invalid object name 'x'.";
            sink.message(m);
            sink.statementEnd({false, 0, true, 0xC1});
        } else {
            sink.statementEnd({});
        }
    }
};

struct Token {
    std::uint8_t type = 0;
    std::uint16_t status = 0;      // DONE
    std::int32_t number = 0;       // INFO/ERROR
    std::uint64_t count = 0;       // DONE
    std::int32_t value = 0;        // ROW of one INT column
};

// Tokens of a 7.4 reply; only what FakeEngine and the login produce.
QList<Token> parseTokens(const QByteArray &p)
{
    QList<Token> out;
    qsizetype at = 0;
    auto u16 = [&](qsizetype k) { return quint16(quint8(p[k]) | quint8(p[k + 1]) << 8); };
    auto u32 = [&](qsizetype k) { return quint32(u16(k)) | quint32(u16(k + 2)) << 16; };
    while (at < p.size()) {
        Token t;
        t.type = quint8(p[at++]);
        switch (t.type) {
        case token::Error: case token::Info: case token::EnvChange: case token::LoginAck:
            if (t.type == token::Error || t.type == token::Info)
                t.number = qint32(u32(at + 2));
            at += 2 + u16(at);
            break;
        case token::Done: case token::DoneProc: case token::DoneInProc:
            t.status = u16(at);
            t.count = u32(at + 4) | quint64(u32(at + 8)) << 32;
            at += 12;
            break;
        case token::ColMetadata: {
            const int n = u16(at);
            at += 2;
            for (int k = 0; k < n; ++k) {
                at += 4 + 2 + 2;  // user type, flags, INTN + length
                at += 1 + 2 * quint8(p[at]);
            }
            break;
        }
        case token::Row:
            at += 1;
            t.value = qint32(u32(at));
            at += 4;
            break;
        default:
            qWarning("unexpected token %02x", t.type);
            return out;
        }
        out.append(t);
    }
    return out;
}

class Client : public WireClient {
public:
    using WireClient::WireClient;
    QList<Token> readTokens() { return parseTokens(readPayload()); }
    QList<Token> login(const QString &user, const QString &password, const QString &db = QString())
    {
        return parseTokens(loginRaw(user, password, db));
    }
};

QList<std::uint8_t> types(const QList<Token> &tokens)
{
    QList<std::uint8_t> out;
    for (const Token &t : tokens)
        out.append(t.type);
    return out;
}

QList<int> numbers(const QList<Token> &tokens)
{
    QList<int> out;
    for (const Token &t : tokens)
        if (t.type == token::Error)
            out.append(t.number);
    return out;
}

} // namespace

class TdsConnectionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void loginAccepted();
    void loginRefused_data();
    void loginRefused();
    void statementsOfABatch();
    void attentionCancelsLongSelect();
    void lateAttentionAcknowledged();
    void rpcAnsweredWithError();
    void garbageEndsOnlyThatConnection_data();
    void garbageEndsOnlyThatConnection();
    void concurrentConnections();
    void browserAnswersOnLoopback();

private:
    FakeEngine m_engine;
    std::unique_ptr<Server> m_server;
    std::thread m_thread;
    int m_stop[2] = {-1, -1};
};

void TdsConnectionTest::initTestCase()
{
    Logins logins;
    logins.passwords["sa"] = "secret";
    m_server = std::make_unique<Server>(m_engine, logins);
    QVERIFY(m_server->listen(0));
    QVERIFY(::pipe(m_stop) == 0);
    m_thread = std::thread([this] { m_server->serve(m_stop[0]); });
}

void TdsConnectionTest::cleanupTestCase()
{
    (void)!::write(m_stop[1], "x", 1);
    m_thread.join();
    m_server.reset();
    ::close(m_stop[0]);
    ::close(m_stop[1]);
}

void TdsConnectionTest::loginAccepted()
{
    Client c(m_server->port());
    QVERIFY(c.connected);
    const QList<Token> t = c.login(QStringLiteral("sa"), QStringLiteral("secret"), QStringLiteral("Shop"));
    QVERIFY(types(t).contains(token::LoginAck));
    QCOMPARE(t.last().type, token::Done);
    QCOMPARE(t.last().status, done::Final);
    // FreeTDS takes the SPID from the login reply's header.
    QVERIFY(quint8(c.firstHeader[4]) != 0 || quint8(c.firstHeader[5]) != 0);
}

void TdsConnectionTest::loginRefused_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QList<int>>("errors");
    QTest::newRow("wrong password") << "sa" << "Secret" << "" << QList<int>{18456};
    QTest::newRow("unknown login") << "bob" << "secret" << "" << QList<int>{18456};
    QTest::newRow("unknown database") << "sa" << "secret" << "Nowhere" << QList<int>{4060, 18456};
}

void TdsConnectionTest::loginRefused()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, database);
    QFETCH(QList<int>, errors);
    Client c(m_server->port());
    const QList<Token> t = c.login(user, password, database);
    QCOMPARE(numbers(t), errors);
    QVERIFY(!types(t).contains(token::LoginAck));
    QCOMPARE(t.last().type, token::Done);
    QCOMPARE(t.last().status, done::Error);
    QCOMPARE(c.readMessage().type, std::uint8_t(0));  // the server hangs up
}

void TdsConnectionTest::statementsOfABatch()
{
    Client c(m_server->port());
    c.login(QStringLiteral("sa"), QStringLiteral("secret"));
    c.sendBatch(QStringLiteral("two"));
    const QList<Token> t = c.readTokens();
    QCOMPARE(types(t), (QList<std::uint8_t>{token::ColMetadata, token::Row, token::Done, token::Done}));
    QCOMPARE(t[1].value, 42);
    QCOMPARE(t[2].status, std::uint16_t(done::More | done::Count));
    QCOMPARE(t[2].count, 1u);
    QCOMPARE(t[3].status, done::Count);
    QCOMPARE(t[3].count, 3u);

    c.sendBatch(QStringLiteral("fail"));
    const QList<Token> f = c.readTokens();
    QCOMPARE(numbers(f), QList<int>{208});
    QCOMPARE(f.last().status, done::Error);
}

void TdsConnectionTest::attentionCancelsLongSelect()
{
    Client c(m_server->port());
    c.login(QStringLiteral("sa"), QStringLiteral("secret"));
    c.sendBatch(QStringLiteral("endless"));
    // Wait for the first rows, then cancel.
    std::uint8_t buf[4096];
    const ssize_t got = ::recv(c.fd, buf, sizeof buf, 0);
    QVERIFY(got > 0);
    c.sendMessage(packet::Attention, QByteArray());
    // The interrupted answer ends with its own EOM; the acknowledgement is
    // the next message and holds nothing but DONE(ATTN).
    QVERIFY(c.reader.feed(buf, std::size_t(got)));
    TdsMessage m;
    int messages = 0;
    do {
        m = c.readMessage();
        ++messages;
        QVERIFY(m.type == packet::Reply);
    } while (!(m.payload.size() == 13 && m.payload[0] == token::Done && m.payload[1] == done::Attention));
    QVERIFY(messages >= 1);
    c.sendBatch(QStringLiteral("two"));
    QCOMPARE(c.readTokens().size(), 4);
}

void TdsConnectionTest::lateAttentionAcknowledged()
{
    Client c(m_server->port());
    c.login(QStringLiteral("sa"), QStringLiteral("secret"));
    c.sendBatch(QStringLiteral("two"));
    QCOMPARE(c.readTokens().size(), 4);
    c.sendMessage(packet::Attention, QByteArray());
    const QList<Token> t = c.readTokens();
    QCOMPARE(t.size(), 1);
    QCOMPARE(t[0].status, done::Attention);
}

void TdsConnectionTest::rpcAnsweredWithError()
{
    Client c(m_server->port());
    c.login(QStringLiteral("sa"), QStringLiteral("secret"));
    c.sendMessage(packet::Rpc, unhex("16000000 12000000 0200 0000000000000000 01000000 ffff 0d00 0000"));
    const QList<Token> t = c.readTokens();
    QCOMPARE(numbers(t), QList<int>{2812});
    QCOMPARE(t.last().status, done::Error);
    c.sendBatch(QStringLiteral("two"));
    QCOMPARE(c.readTokens().size(), 4);
}

void TdsConnectionTest::garbageEndsOnlyThatConnection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loggedIn");
    QTest::newRow("http before login") << QByteArray("GET / HTTP/1.0\r\n\r\n") << false;
    QTest::newRow("bad length after login") << unhex("01 01 0003 0000 01 00") << true;
    QTest::newRow("truncated login") << unhex("10 01 0010 0000 01 00 0102030405060708") << false;
}

void TdsConnectionTest::garbageEndsOnlyThatConnection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loggedIn);
    {
        Client bad(m_server->port());
        if (loggedIn)
            bad.login(QStringLiteral("sa"), QStringLiteral("secret"));
        bad.sendRaw(bytes);
        QCOMPARE(bad.readMessage().type, std::uint8_t(0));
    }
    Client good(m_server->port());
    QVERIFY(types(good.login(QStringLiteral("sa"), QStringLiteral("secret"))).contains(token::LoginAck));
}

void TdsConnectionTest::concurrentConnections()
{
    constexpr int kClients = 8;
    std::atomic<int> ok = 0;
    std::vector<std::thread> threads;
    for (int k = 0; k < kClients; ++k)
        threads.emplace_back([&] {
            Client c(m_server->port());
            c.login(QStringLiteral("sa"), QStringLiteral("secret"));
            for (int round = 0; round < 20; ++round) {
                c.sendBatch(QStringLiteral("two"));
                if (c.readTokens().size() != 4)
                    return;
            }
            ++ok;
        });
    for (auto &t : threads)
        t.join();
    QCOMPARE(ok.load(), kClients);
}

void TdsConnectionTest::browserAnswersOnLoopback()
{
    // A free UDP port: bind, read it back, release it for the browser.
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    QVERIFY(::bind(probe, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0);
    ::getsockname(probe, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(probe);
    Browser browser;
    std::string error;
    QVERIFY2(browser.start(ntohs(a.sin_port), m_server->port(), error), error.c_str());

    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    timeval tv{0, 300000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    auto ask = [&](const QByteArray &request) {
        ::sendto(fd, request.constData(), size_t(request.size()), 0, reinterpret_cast<sockaddr *>(&a), sizeof a);
        char reply[2048];
        const ssize_t n = ::recv(fd, reply, sizeof reply, 0);
        return n > 0 ? QByteArray(reply, int(n)) : QByteArray();
    };
    const QByteArray all = ask(QByteArray("\x03", 1));
    QVERIFY(all.startsWith('\x05'));
    QVERIFY2(all.contains(";InstanceName;MSSQLSERVER;IsClustered;No;Version;8.00.194;tcp;"
                          + QByteArray::number(m_server->port()) + ";;"), all.constData());
    QCOMPARE(ask(QByteArray("\x04MSSQLSERVER\0", 13)), all);
    QVERIFY(ask(QByteArray("\x04SQLEXPRESS\0", 12)).isEmpty());  // silence for another instance
    ::close(fd);
}

QTEST_GUILESS_MAIN(TdsConnectionTest)
#include "tst_tdsconnection.moc"
