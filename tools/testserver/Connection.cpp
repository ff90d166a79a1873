#include "Connection.h"

#include "Codec.h"

#include <algorithm>

namespace qts {

bool Logins::accepts(const std::string &login, const std::string &password) const
{
    const auto it = passwords.find(login);
    return it != passwords.end() && it->second == password;
}

Connection::Connection(Transport &transport, Engine &engine, const ServerSettings &settings, std::uint16_t spid)
    : m_socket(transport), m_transport(&transport), m_engine(engine), m_settings(settings), m_writer(transport)
{
    m_writer.setSpid(spid);
}

Connection::~Connection() = default;

bool Connection::receiveMore(bool wait)
{
    std::uint8_t buffer[8192];
    const std::size_t n = m_transport->receive(buffer, sizeof buffer, wait);
    if (n == 0)
        return false;
    if (!m_reader.feed(buffer, n)) {
        m_broken = true;
        return false;
    }
    return true;
}

bool Connection::nextMessage(TdsMessage &m)
{
    while (!m_reader.hasMessage()) {
        if (m_broken || !receiveMore(true))
            return false;
    }
    m = m_reader.take();
    return true;
}

void Connection::run()
{
    TdsMessage m;
    // Login phase: PRELOGIN (optional), then LOGIN7.
    while (!m_loggedIn) {
        if (!nextMessage(m))
            return;
        if (m.type == packet::Prelogin) {
            if (!(m_preloginDone ? handshakeStep(m) : handlePrelogin(m)))
                return;
        } else if (m.type == packet::Login7) {
            if (m_encryption != Encryption::None && !m_tls) {
                refuseUnencryptedLogin(m);
                return;
            }
            if (!handleLogin(m))
                return;
        } else {
            return;  // not a TDS client
        }
    }
    while (!m_broken && !m_writer.failed()) {
        if (!nextMessage(m))
            return;
        if (m.status & packet::StatusIgnore) {
            m_writer.begin();
            writeDone(m_writer, m_tds, token::Done, done::Final, 0, 0);
            m_writer.end();
            continue;
        }
        switch (m.type) {
        case packet::SqlBatch:
            handleBatch(m);
            break;
        case packet::Attention:
            // The request it meant to cancel has already been answered.
            sendAttentionAck();
            break;
        case packet::Rpc:
            handleUnsupported("RPC request '" + rpcProcName(m.payload, m_tds) + "'");
            break;
        case packet::TransactionManager:
            handleUnsupported("transaction manager request");
            break;
        case packet::BulkLoad:
            handleUnsupported("bulk load");
            break;
        default:
            return;
        }
    }
}

bool Connection::handlePrelogin(const TdsMessage &m)
{
    const std::optional<PreloginRequest> request = parsePrelogin(m.payload);
    if (!request)
        return false;
    m_preloginDone = true;
    const EncryptionChoice choice = chooseEncryption(request->encryption, m_settings.tls != nullptr, m_settings.forceEncryption);
    m_encryption = choice.mode;
    if (choice.mode == Encryption::LoginOnly || choice.mode == Encryption::Full)
        m_handshake = std::make_unique<TlsSession>(*m_settings.tls);
    writePreloginReply(m_writer, *m_settings.version, choice.answer);
    return !m_writer.failed();
}

bool Connection::handshakeStep(const TdsMessage &m)
{
    if (!m_handshake)
        return false;  // a second PRELOGIN where no handshake was agreed
    std::vector<std::uint8_t> out;
    const TlsSession::Step step = m_handshake->handshake(m.payload.data(), m.payload.size(), out);
    if (!out.empty()) {
        // SQL Server wraps its handshake flights in PRELOGIN packets too.
        m_writer.begin(packet::Prelogin);
        m_writer.bytes(out.data(), out.size());
        m_writer.end();
    }
    if (step == TlsSession::Step::Failed || m_writer.failed())
        return false;
    if (step == TlsSession::Step::More)
        return true;
    // Done: from here on TLS records go straight over the socket. With
    // login-only encryption only the LOGIN7's first packet comes in TLS, and
    // the answer to it already goes plain.
    const bool full = m_encryption == Encryption::Full;
    m_tls = std::make_unique<TlsTransport>(m_socket, std::move(m_handshake), !full);
    m_transport = m_tls.get();
    if (full)
        m_writer.setTransport(*m_tls);
    // Bytes the client sent past the handshake are the start of its TLS stream.
    const std::vector<std::uint8_t> early = m_reader.takeUnparsed();
    return early.empty();
}

void Connection::refuseUnencryptedLogin(const TdsMessage &m)
{
    const std::optional<Login7> login = parseLogin7(m.payload);
    m_tds = login ? requestedTds(login->tdsVersion) : 74;
    const std::string user = login ? login->userName : std::string();
    m_writer.begin();
    Message failed;
    failed.number = 18456;
    failed.severity = 14;
    failed.state = 1;
    failed.line = 0;
    failed.text = "Login failed for user '" + user + "'. "
                  + (m_encryption == Encryption::Refused
                         ? "The server requires encryption (Force Encryption), and the client does not support it."
                         : "The pre-login agreed on an encrypted login, but the login arrived unencrypted.");
    writeMessage(m_writer, m_tds, failed);
    writeDone(m_writer, m_tds, token::Done, done::Error, 0, 0);
    m_writer.end();
}

bool Connection::handleLogin(const TdsMessage &m)
{
    const std::optional<Login7> login = parseLogin7(m.payload);
    if (!login)
        return false;
    // Tokens before the LOGINACK follow the version the client asked for.
    m_tds = requestedTds(login->tdsVersion);
    if (!m_settings.logins.accepts(login->userName, login->password)) {
        failLogin(std::nullopt, login->userName);
        return false;
    }
    try {
        m_session = m_engine.openSession(login->userName, login->database);
    } catch (const SqlError &e) {
        failLogin(e.message, login->userName);
        return false;
    }
    const std::string database = m_session->database();
    m_writer.begin();
    writeEnvChange(m_writer, envchange::Database, database, "master");
    Message changed;
    changed.number = 5701;
    changed.severity = 10;
    changed.state = 2;
    changed.text = "Changed database context to '" + database + "'.";
    changed.line = 0;
    writeMessage(m_writer, m_tds, changed);
    writeEnvChange(m_writer, envchange::Language, "us_english", "");
    Message language;
    language.number = 5703;
    language.severity = 10;
    language.state = 1;
    language.text = "Changed language setting to us_english.";
    language.line = 0;
    writeMessage(m_writer, m_tds, language);
    m_collation = m_session->collation();
    writeCollationChange(m_writer, m_collation);
    m_tds = negotiateTds(login->tdsVersion, *m_settings.version);
    writeLoginAck(m_writer, loginAckVersion(login->tdsVersion, *m_settings.version), *m_settings.version);
    std::size_t size = m_settings.packetSize != 0 ? m_settings.packetSize
                       : login->packetSize == 0 ? packet::DefaultSize
                                                : login->packetSize;
    size = std::clamp<std::size_t>(size, packet::MinSize, packet::MaxSize);
    writeEnvChange(m_writer, envchange::PacketSize, std::to_string(size), std::to_string(packet::DefaultSize));
    writeDone(m_writer, m_tds, token::Done, done::Final, 0, 0);
    m_writer.end();
    if (m_writer.failed())
        return false;
    m_writer.setPacketSize(size);
    // SQL Server takes batches of up to 65,536 network packets.
    m_maxBatchBytes = 65536 * size;
    m_reader.setLimit(m_maxBatchBytes + kHeadersAllowance);
    m_loggedIn = true;
    return true;
}

void Connection::failLogin(const std::optional<Message> &cause, const std::string &user)
{
    m_writer.begin();
    if (cause)
        writeMessage(m_writer, m_tds, *cause);
    Message failed;
    failed.number = 18456;
    failed.severity = 14;
    failed.state = 1;
    failed.text = "Login failed for user '" + user + "'.";
    failed.line = 0;
    writeMessage(m_writer, m_tds, failed);
    writeDone(m_writer, m_tds, token::Done, done::Error, 0, 0);
    m_writer.end();
}

void Connection::handleUnsupported(const std::string &what)
{
    m_writer.begin();
    Message m;
    m.number = 2812;
    m.severity = 16;
    m.state = 62;
    m.line = 1;
    m.text = "This server answers SQL batches only; the " + what
             + " is not supported. Send the statement as a plain batch (SQLExecDirect without parameters).";
    writeMessage(m_writer, m_tds, m);
    writeDone(m_writer, m_tds, token::Done, done::Error, 0, 0);
    m_writer.end();
}

void Connection::sendAttentionAck()
{
    m_writer.begin();
    writeDone(m_writer, m_tds, token::Done, done::Attention, 0, 0);
    m_writer.end();
}

void Connection::refuseLongBatch()
{
    m_writer.begin();
    Message m;
    m.number = 123;
    m.severity = 15;
    m.state = 1;
    m.line = 1;
    m.text = "Batch/procedure exceeds maximum length of " + std::to_string(m_maxBatchBytes / 2) + " characters.";
    writeMessage(m_writer, m_tds, m);
    writeDone(m_writer, m_tds, token::Done, done::Error, 0, 0);
    m_writer.end();
}

void Connection::handleBatch(const TdsMessage &m)
{
    if (m.tooLong) {
        refuseLongBatch();
        return;
    }
    const std::optional<std::string> sql = batchText(m.payload, m_tds);
    if (!sql) {
        m_broken = true;
        return;
    }
    if (2 * tds::utf16Length(*sql) > m_maxBatchBytes) {
        refuseLongBatch();
        return;
    }
    m_result.reset();
    m_pendingDone.reset();
    m_cancelled = false;
    m_rowsSinceCheck = 0;
    m_packetsAtCheck = m_writer.packetsSent();
    m_writer.begin();
    try {
        m_engine.executeBatch(*m_session, *sql, *this);
    } catch (const SqlError &e) {
        message(e.message);
        StatementEnd end;
        end.error = true;
        statementEnd(end);
    } catch (const std::exception &e) {
        Message err;
        err.number = 50000;
        err.severity = 16;
        err.text = std::string("Internal error of the test server: ") + e.what();
        message(err);
        StatementEnd end;
        end.error = true;
        statementEnd(end);
    }
    if (m_cancelled) {
        // The interrupted answer ends here, after the statements that did
        // finish; the acknowledgement is a message of its own (tedious reads
        // exactly one message per request).
        flushPendingDone(true);
        m_writer.end();
        sendAttentionAck();
        return;
    }
    if (m_pendingDone)
        flushPendingDone(false);
    else
        writeDone(m_writer, m_tds, token::Done, done::Final, 0, 0);
    m_writer.end();
    // An attention that came too late to stop anything is still acknowledged.
    if (attentionArrived())
        sendAttentionAck();
}

bool Connection::attentionArrived()
{
    if (m_reader.takeAttention())
        return true;
    while (!m_broken && receiveMore(false)) {
        if (m_reader.takeAttention())
            return true;
    }
    return false;
}

void Connection::flushPendingDone(bool more)
{
    if (!m_pendingDone)
        return;
    const StatementEnd &e = *m_pendingDone;
    std::uint16_t status = more ? done::More : done::Final;
    if (e.hasCount)
        status |= done::Count;
    if (e.error)
        status |= done::Error;
    writeDone(m_writer, m_tds, token::Done, status, e.curCmd, e.hasCount ? e.rowCount : 0);
    m_pendingDone.reset();
}

void Connection::beginResult(const std::vector<ColumnInfo> &columns)
{
    if (m_cancelled)
        return;
    flushPendingDone(true);
    m_result.emplace(columns, m_tds);
    m_result->writeMetadata(m_writer);
}

bool Connection::row(const std::vector<Value> &values)
{
    if (m_cancelled)
        return false;
    if (m_writer.failed()) {
        m_cancelled = true;
        return false;
    }
    if (m_result)
        m_result->writeRow(m_writer, values);
    // Look for an attention whenever a packet went out, and now and then.
    if (++m_rowsSinceCheck >= 256 || m_writer.packetsSent() != m_packetsAtCheck) {
        m_rowsSinceCheck = 0;
        m_packetsAtCheck = m_writer.packetsSent();
        if (attentionArrived()) {
            m_cancelled = true;
            return false;
        }
    }
    return true;
}

bool Connection::pause(std::chrono::milliseconds wait)
{
    // The engine waits here, so this is where an attention (or the client
    // going away) must end the batch.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + wait;
    for (;;) {
        if (m_cancelled || m_broken || attentionArrived()) {
            m_cancelled = true;
            return false;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return true;
        if (m_transport->waitReadable(left) && !receiveMore(false) && m_transport->closed())
            m_broken = true; // the client has gone
    }
}

void Connection::statementEnd(const StatementEnd &end)
{
    if (m_cancelled)
        return;
    flushPendingDone(true);
    m_pendingDone = end;
    m_result.reset();
}

void Connection::message(const Message &message)
{
    if (m_cancelled)
        return;
    flushPendingDone(true);
    writeMessage(m_writer, m_tds, message);
}

void Connection::databaseChanged(const std::string &newName, const std::string &oldName)
{
    if (m_cancelled)
        return;
    flushPendingDone(true);
    writeEnvChange(m_writer, envchange::Database, newName, oldName);
    // A database of another default collation changes the session's.
    if (m_session->collation() != m_collation) {
        m_collation = m_session->collation();
        writeCollationChange(m_writer, m_collation);
    }
}

} // namespace qts
