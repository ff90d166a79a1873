// libFuzzer target: a client byte stream against one connection of the
// protocol layer (packet reader, PRELOGIN/LOGIN7 parsing, batch decoding,
// token writing), plus the browser's request parser.
//
// The first input byte chooses whether a valid login comes first (so that
// most inputs reach the request loop) and which TDS version it asks for.

#include "Browser.h"
#include "Connection.h"
#include "Login.h"

#include <cstring>
#include <string>
#include <vector>

using namespace qts;

namespace {

class FuzzTransport : public Transport {
public:
    std::size_t receive(std::uint8_t *buffer, std::size_t n, bool) override
    {
        const std::size_t k = std::min(n, input.size() - at);
        if (k == 0)
            return 0;
        std::memcpy(buffer, input.data() + at, k);
        at += k;
        return k;
    }
    bool send(const std::uint8_t *, std::size_t n) override
    {
        sent += n;
        return sent < (64u << 20);
    }
    std::vector<std::uint8_t> input;
    std::size_t at = 0;
    std::size_t sent = 0;
};

class FuzzSession : public Session {
public:
    std::string database() const override { return "master"; }
};

// Answers every batch with one row of several types built from the text.
class FuzzEngine : public Engine {
public:
    std::unique_ptr<Session> openSession(const std::string &, const std::string &database) override
    {
        if (!database.empty() && database != "master")
            throw SqlError{Message{4060, 1, 11, "Cannot open database", 0, {}}};
        return std::make_unique<FuzzSession>();
    }
    void executeBatch(Session &, const std::string &sql, ResultSink &sink) override
    {
        // A wait, where an attention later in the input ends the batch.
        if (sql.find("wait") != std::string::npos && !sink.pause(std::chrono::milliseconds(0)))
            return;
        std::vector<ColumnInfo> cols(6);
        cols[0] = {"t", XType::NVarChar, 200, 0, 0, true, false, false, {}};
        cols[1] = {"v", XType::VarChar, 50, 0, 0, true, false, false, {}};
        cols[2] = {"d", XType::Decimal, 17, 38, 10, true, false, false, {}};
        cols[3] = {"x", XType::NText, 16, 0, 0, true, false, false, "T"};
        cols[4] = {"s", XType::SqlVariant, 8016, 0, 0, true, false, false, {}};
        cols[5] = {"m", XType::Money, 8, 0, 0, true, false, false, {}};
        sink.beginResult(cols);
        std::vector<Value> row(6);
        row[0].kind = row[1].kind = row[3].kind = Value::Kind::Text;
        row[0].bytes = row[1].bytes = row[3].bytes = sql;
        row[2].kind = row[5].kind = Value::Kind::Decimal;
        std::uint64_t h = 0;
        for (const char c : sql)
            h = h * 31 + (unsigned char)c;
        row[2].unscaled = row[5].unscaled = __int128(h >> 2) * (h & 1 ? -1 : 1);
        row[2].scale = std::uint8_t(sql.size() % 12);
        row[5].scale = 4;
        row[4] = row[0];
        row[4].variantType = sql.size() % 2 ? XType::NVarChar : XType::VarChar;
        for (std::size_t k = 0; k < 1 + sql.size() % 5; ++k)
            if (!sink.row(row))
                return;
        sink.statementEnd({true, 1, false, 0xC1});
        Message m{208, 1, 16, sql, 1, {}};
        sink.message(m);
        sink.statementEnd({false, 0, true, 0xC1});
        if (sql.size() > 3 && sql[0] == 'U')
            sink.databaseChanged(sql, "master");
    }
};

void appendPacket(std::vector<std::uint8_t> &out, std::uint8_t type, const std::vector<std::uint8_t> &payload)
{
    const std::size_t len = payload.size() + 8;
    const std::uint8_t h[8] = {type, 1, std::uint8_t(len >> 8), std::uint8_t(len), 0, 0, 1, 0};
    out.insert(out.end(), h, h + 8);
    out.insert(out.end(), payload.begin(), payload.end());
}

std::vector<std::uint8_t> cannedLogin(std::uint32_t version)
{
    std::vector<std::uint8_t> p(94, 0);
    auto put16 = [&](std::size_t at, std::size_t v) { p[at] = std::uint8_t(v); p[at + 1] = std::uint8_t(v >> 8); };
    for (int k = 0; k < 4; ++k)
        p[4 + k] = std::uint8_t(version >> (8 * k));
    put16(8, 4096);
    const char user[] = "sa";
    put16(40, p.size());
    put16(42, 2);
    for (const char c : std::string(user, 2)) {
        p.push_back(std::uint8_t(c));
        p.push_back(0);
    }
    p[0] = std::uint8_t(p.size());
    return p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    (void)browserReply(data, size, "HOST", 1433);
    if (size == 0)
        return 0;
    FuzzTransport transport;
    if (data[0] & 1) {
        static const std::uint32_t versions[] = {0x71000001, 0x72090002, 0x730B0003, 0x74000004};
        appendPacket(transport.input, packet::Prelogin, {0x00, 0x00, 0x06, 0x00, 0x06, 0xFF, 9, 0, 0, 0, 0, 0});
        appendPacket(transport.input, packet::Login7, cannedLogin(versions[(data[0] >> 1) & 3]));
    }
    transport.input.insert(transport.input.end(), data + 1, data + size);
    static FuzzEngine engine;
    static const Logins logins = [] { Logins l; l.passwords["sa"] = ""; return l; }();
    Connection connection(transport, engine, logins, 51);
    connection.run();
    return 0;
}
