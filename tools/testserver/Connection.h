#pragma once

// One client connection: PRELOGIN, LOGIN7, then requests until the client
// goes away. Runs on its own thread; everything here belongs to it.

#include "PacketIo.h"
#include "Tokens.h"
#include "engine/EngineApi.h"

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace qts {

struct Logins {
    std::map<std::string, std::string> passwords;  // login -> password
    [[nodiscard]] bool accepts(const std::string &login, const std::string &password) const;
};

class Connection : private ResultSink {
public:
    Connection(Transport &transport, Engine &engine, const Logins &logins, std::uint16_t spid);
    ~Connection() override;
    // Serves the connection until the client disconnects or breaks the protocol.
    void run();

private:
    bool nextMessage(TdsMessage &m);
    bool receiveMore(bool wait);
    bool handleLogin(const TdsMessage &m);
    void failLogin(const std::optional<Message> &cause, const std::string &user);
    void handleBatch(const TdsMessage &m);
    // Error 123: the batch is longer than 65,536 packets; the session goes on.
    void refuseLongBatch();
    void handleUnsupported(const std::string &what);
    void sendAttentionAck();
    bool attentionArrived();

    // ResultSink
    void beginResult(const std::vector<ColumnInfo> &columns) override;
    bool row(const std::vector<Value> &values) override;
    bool pause(std::chrono::milliseconds wait) override;
    void statementEnd(const StatementEnd &end) override;
    void message(const Message &message) override;
    void databaseChanged(const std::string &newName, const std::string &oldName) override;
    void flushPendingDone(bool more);

    Transport &m_transport;
    Engine &m_engine;
    const Logins &m_logins;
    MessageReader m_reader;
    PacketWriter m_writer;
    std::unique_ptr<Session> m_session;
    int m_tds = 74;
    std::uint8_t m_collation = kServerCollation; // as the last ENVCHANGE 7 said
    // Room for a batch's ALL_HEADERS beyond the text itself.
    static constexpr std::size_t kHeadersAllowance = 65536;
    std::size_t m_maxBatchBytes = 65536 * packet::DefaultSize;
    bool m_loggedIn = false;
    bool m_broken = false;

    // State of the batch being answered.
    std::optional<RowEncoder> m_result;
    std::optional<StatementEnd> m_pendingDone;
    bool m_cancelled = false;
    std::uint32_t m_rowsSinceCheck = 0;
    std::uint64_t m_packetsAtCheck = 0;
};

} // namespace qts
