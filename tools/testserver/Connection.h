#pragma once

// One client connection: PRELOGIN, LOGIN7, then requests until the client
// goes away. Runs on its own thread; everything here belongs to it.

#include "Login.h"
#include "PacketIo.h"
#include "Tls.h"
#include "Tokens.h"
#include "engine/EngineApi.h"
#include "engine/ServerVersion.h"

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

// What every connection of a server shares: who may log in, the release it
// plays, and whether it offers (or insists on) encryption.
struct ServerSettings {
    Logins logins;
    const ServerVersion *version = &defaultServerVersion();
    std::shared_ptr<const TlsContext> tls; // null: encryption is not supported
    bool forceEncryption = false;
    // The network packet size every login is granted; 0 grants what the
    // client asks for. Batches are limited to 65,536 packets of it.
    std::size_t packetSize = 0;
};

class Connection : private ResultSink {
public:
    Connection(Transport &transport, Engine &engine, const ServerSettings &settings, std::uint16_t spid);
    ~Connection() override;
    // Serves the connection until the client disconnects or breaks the protocol.
    void run();

private:
    bool nextMessage(TdsMessage &m);
    bool receiveMore(bool wait);
    bool handlePrelogin(const TdsMessage &m);
    // One flight of the TLS handshake; false ends the connection.
    bool handshakeStep(const TdsMessage &m);
    // A LOGIN7 that came in plain where the pre-login agreed on encryption.
    void refuseUnencryptedLogin(const TdsMessage &m);
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

    Transport &m_socket;
    Transport *m_transport;  // the socket, or TLS over it
    Engine &m_engine;
    const ServerSettings &m_settings;
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
    bool m_preloginDone = false;
    Encryption m_encryption = Encryption::None;
    std::unique_ptr<TlsSession> m_handshake;  // while the handshake runs
    std::unique_ptr<TlsTransport> m_tls;      // once it is done

    // State of the batch being answered.
    std::optional<RowEncoder> m_result;
    std::optional<StatementEnd> m_pendingDone;
    bool m_cancelled = false;
    std::uint32_t m_rowsSinceCheck = 0;
    std::uint64_t m_packetsAtCheck = 0;
};

} // namespace qts
