#pragma once

// TLS as TDS 7.x carries it (MS-TDS 2.2.6.5, 3.2.5.1): the handshake travels
// as the payload of PRELOGIN packets; once it is done, TLS records go
// straight over the socket, for the whole connection or, when the pre-login
// agreed on ENCRYPT_OFF, only for the first packet of the LOGIN7.
//
// Thread rules: a TlsContext is shared by every connection (read-only after
// load); a TlsSession and a TlsTransport belong to one connection's thread.

#include "PacketIo.h"

#include <memory>
#include <string>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;
typedef struct bio_st BIO;

namespace qts {

// PRELOGIN ENCRYPTION values.
namespace encrypt {
constexpr std::uint8_t Off = 0;          // available, but only the login is encrypted
constexpr std::uint8_t On = 1;           // the whole connection
constexpr std::uint8_t NotSupported = 2;
constexpr std::uint8_t Required = 3;
} // namespace encrypt

class TlsContext {
public:
    // The certificate (chain) and key from PEM files; nullptr with error set
    // when they cannot be read or do not belong together.
    static std::shared_ptr<TlsContext> load(const std::string &certFile, const std::string &keyFile, std::string &error);
    ~TlsContext();
    TlsContext(const TlsContext &) = delete;
    TlsContext &operator=(const TlsContext &) = delete;
    [[nodiscard]] SSL_CTX *handle() const { return m_ctx; }

private:
    TlsContext() = default;
    SSL_CTX *m_ctx = nullptr;
};

// One connection's TLS, driven through memory buffers.
class TlsSession {
public:
    explicit TlsSession(const TlsContext &context);
    ~TlsSession();
    TlsSession(const TlsSession &) = delete;
    TlsSession &operator=(const TlsSession &) = delete;

    enum class Step { More, Done, Failed };
    // Feeds handshake bytes from the client; out receives what goes back.
    Step handshake(const std::uint8_t *in, std::size_t n, std::vector<std::uint8_t> &out);
    // After the handshake: ciphertext in, plaintext out, and back.
    void feedCipher(const std::uint8_t *data, std::size_t n);
    // Up to n plaintext bytes; 0 when a whole record has not arrived yet (or failed()).
    std::size_t readPlain(std::uint8_t *buffer, std::size_t n);
    [[nodiscard]] bool hasPlain() const;
    // Encrypts; false when the session has failed.
    bool writePlain(const std::uint8_t *data, std::size_t n, std::vector<std::uint8_t> &cipherOut);
    // Ciphertext fed in but not yet read as a record.
    std::vector<std::uint8_t> takeUnreadCipher();
    [[nodiscard]] bool failed() const { return m_failed; }
    [[nodiscard]] const std::string &errorText() const { return m_error; }

private:
    void drainOutput(std::vector<std::uint8_t> &out);
    void noteError(const char *what);
    SSL *m_ssl = nullptr;
    BIO *m_in = nullptr;   // ciphertext from the client (owned by m_ssl)
    BIO *m_out = nullptr;  // ciphertext to the client (owned by m_ssl)
    bool m_failed = false;
    std::string m_error;
};

// The connection's transport once the handshake is done.
class TlsTransport : public Transport {
public:
    // firstPacketOnly: TLS ends after one whole TDS packet has been read;
    // everything after it, both ways, is plain (login-only encryption).
    TlsTransport(Transport &inner, std::unique_ptr<TlsSession> session, bool firstPacketOnly);
    std::size_t receive(std::uint8_t *buffer, std::size_t n, bool wait) override;
    bool send(const std::uint8_t *data, std::size_t n) override;
    bool waitReadable(std::chrono::milliseconds timeout) override;
    [[nodiscard]] bool closed() const override;
    [[nodiscard]] bool encrypting() const { return m_session != nullptr; }

private:
    // Reads ciphertext from the inner transport into the session.
    bool pull(bool wait);
    Transport &m_inner;
    std::unique_ptr<TlsSession> m_session;
    bool m_firstPacketOnly;
    std::vector<std::uint8_t> m_plainHeader;  // the first packet's bytes so far (login-only)
    std::size_t m_firstPacketLeft = 0;        // its bytes still to deliver; 0: length not known yet
    std::vector<std::uint8_t> m_plainAfter;   // plain bytes that followed TLS (login-only)
    std::vector<std::uint8_t> m_cipherOut;
    bool m_broken = false;
};

} // namespace qts
