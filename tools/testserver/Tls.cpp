#include "Tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cstring>

namespace qts {

namespace {

std::string openSslErrors()
{
    std::string text;
    while (const unsigned long e = ERR_get_error()) {
        char buf[256];
        ERR_error_string_n(e, buf, sizeof buf);
        text += (text.empty() ? "" : "; ") + std::string(buf);
    }
    return text.empty() ? "unknown error" : text;
}

} // namespace

std::shared_ptr<TlsContext> TlsContext::load(const std::string &certFile, const std::string &keyFile, std::string &error)
{
    ERR_clear_error();
    std::shared_ptr<TlsContext> c(new TlsContext);
    c->m_ctx = SSL_CTX_new(TLS_server_method());
    if (!c->m_ctx) {
        error = "cannot set up TLS: " + openSslErrors();
        return nullptr;
    }
    // The handshake inside PRELOGIN packets is TLS 1.2 at most: SQL Server
    // speaks TLS 1.3 only with TDS 8, where TLS comes before any TDS. No
    // tickets or renegotiation: nothing may follow the handshake unasked.
    SSL_CTX_set_min_proto_version(c->m_ctx, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(c->m_ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(c->m_ctx, SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION);
    if (SSL_CTX_use_certificate_chain_file(c->m_ctx, certFile.c_str()) != 1) {
        error = "cannot read the certificate " + certFile + ": " + openSslErrors();
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(c->m_ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error = "cannot read the private key " + keyFile + ": " + openSslErrors();
        return nullptr;
    }
    if (SSL_CTX_check_private_key(c->m_ctx) != 1) {
        error = "the private key " + keyFile + " does not belong to the certificate " + certFile;
        return nullptr;
    }
    return c;
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_ctx);
}

TlsSession::TlsSession(const TlsContext &context)
{
    m_ssl = SSL_new(context.handle());
    m_in = BIO_new(BIO_s_mem());
    m_out = BIO_new(BIO_s_mem());
    if (!m_ssl || !m_in || !m_out) {
        BIO_free(m_in);
        BIO_free(m_out);
        m_in = m_out = nullptr;
        m_failed = true;
        m_error = "out of memory";
        return;
    }
    SSL_set_bio(m_ssl, m_in, m_out);
    SSL_set_accept_state(m_ssl);
}

TlsSession::~TlsSession()
{
    SSL_free(m_ssl);  // frees both BIOs
}

void TlsSession::noteError(const char *what)
{
    m_failed = true;
    m_error = std::string(what) + ": " + openSslErrors();
}

void TlsSession::drainOutput(std::vector<std::uint8_t> &out)
{
    if (!m_out)
        return;
    for (;;) {
        const std::size_t pending = BIO_ctrl_pending(m_out);
        if (pending == 0)
            return;
        const std::size_t at = out.size();
        out.resize(at + pending);
        const int r = BIO_read(m_out, out.data() + at, int(pending));
        out.resize(at + std::size_t(std::max(r, 0)));
        if (r <= 0)
            return;
    }
}

TlsSession::Step TlsSession::handshake(const std::uint8_t *in, std::size_t n, std::vector<std::uint8_t> &out)
{
    if (m_failed)
        return Step::Failed;
    if (n > 0)
        BIO_write(m_in, in, int(n));
    ERR_clear_error();
    const int r = SSL_do_handshake(m_ssl);
    // An alert for the client goes out even when the handshake failed.
    drainOutput(out);
    if (r == 1)
        return Step::Done;
    const int e = SSL_get_error(m_ssl, r);
    if (e == SSL_ERROR_WANT_READ)
        return Step::More;
    noteError("TLS handshake failed");
    return Step::Failed;
}

void TlsSession::feedCipher(const std::uint8_t *data, std::size_t n)
{
    if (!m_failed && n > 0)
        BIO_write(m_in, data, int(n));
}

std::size_t TlsSession::readPlain(std::uint8_t *buffer, std::size_t n)
{
    if (m_failed || n == 0)
        return 0;
    ERR_clear_error();
    const int r = SSL_read(m_ssl, buffer, int(std::min<std::size_t>(n, 1 << 30)));
    if (r > 0)
        return std::size_t(r);
    const int e = SSL_get_error(m_ssl, r);
    if (e == SSL_ERROR_WANT_READ)
        return 0;
    if (e == SSL_ERROR_ZERO_RETURN) {
        m_failed = true;
        m_error = "the client closed TLS";
        return 0;
    }
    noteError("TLS read failed");
    return 0;
}

bool TlsSession::hasPlain() const
{
    return !m_failed && SSL_pending(m_ssl) > 0;
}

bool TlsSession::writePlain(const std::uint8_t *data, std::size_t n, std::vector<std::uint8_t> &cipherOut)
{
    while (!m_failed && n > 0) {
        ERR_clear_error();
        const int r = SSL_write(m_ssl, data, int(std::min<std::size_t>(n, 16384)));
        if (r <= 0) {
            noteError("TLS write failed");
            break;
        }
        data += r;
        n -= std::size_t(r);
        drainOutput(cipherOut);
    }
    return !m_failed;
}

std::vector<std::uint8_t> TlsSession::takeUnreadCipher()
{
    std::vector<std::uint8_t> rest;
    if (!m_in)
        return rest;
    const std::size_t pending = BIO_ctrl_pending(m_in);
    rest.resize(pending);
    const int r = pending ? BIO_read(m_in, rest.data(), int(pending)) : 0;
    rest.resize(std::size_t(std::max(r, 0)));
    return rest;
}

TlsTransport::TlsTransport(Transport &inner, std::unique_ptr<TlsSession> session, bool firstPacketOnly)
    : m_inner(inner), m_session(std::move(session)), m_firstPacketOnly(firstPacketOnly)
{
}

bool TlsTransport::pull(bool wait)
{
    std::uint8_t raw[16384];
    const std::size_t r = m_inner.receive(raw, sizeof raw, wait);
    if (r == 0)
        return false;
    m_session->feedCipher(raw, r);
    return true;
}

std::size_t TlsTransport::receive(std::uint8_t *buffer, std::size_t n, bool wait)
{
    const auto deliverAfter = [&] {
        const std::size_t k = std::min(n, m_plainAfter.size());
        std::memcpy(buffer, m_plainAfter.data(), k);
        m_plainAfter.erase(m_plainAfter.begin(), m_plainAfter.begin() + std::ptrdiff_t(k));
        return k;
    };
    if (!m_plainAfter.empty())
        return deliverAfter();
    if (!m_session)
        return m_broken ? 0 : m_inner.receive(buffer, n, wait);
    for (;;) {
        if (!m_firstPacketOnly) {
            if (const std::size_t k = m_session->readPlain(buffer, n))
                return k;
        } else {
            // Login-only: collect the first packet whole, then TLS ends and
            // whatever follows it on the socket is plain.
            std::uint8_t plain[16384];
            const std::size_t k = m_session->readPlain(plain, sizeof plain);
            m_plainHeader.insert(m_plainHeader.end(), plain, plain + k);
            if (m_plainHeader.size() >= packet::HeaderSize) {
                const std::size_t length = std::size_t(m_plainHeader[2]) << 8 | m_plainHeader[3];
                if (m_plainHeader.size() >= length) {
                    const std::vector<std::uint8_t> rest = m_session->takeUnreadCipher();
                    m_plainAfter = std::move(m_plainHeader);  // the packet, and any plain bytes after it
                    m_plainAfter.insert(m_plainAfter.end(), rest.begin(), rest.end());
                    m_session.reset();
                    return deliverAfter();
                }
            }
        }
        if (m_session->failed()) {
            m_broken = true;
            return 0;
        }
        if (!pull(wait))
            return 0;
    }
}

bool TlsTransport::send(const std::uint8_t *data, std::size_t n)
{
    if (!m_session)
        return !m_broken && m_inner.send(data, n);
    m_cipherOut.clear();
    if (!m_session->writePlain(data, n, m_cipherOut)) {
        m_broken = true;
        return false;
    }
    return m_inner.send(m_cipherOut.data(), m_cipherOut.size());
}

bool TlsTransport::waitReadable(std::chrono::milliseconds timeout)
{
    if (!m_plainAfter.empty() || (m_session && m_session->hasPlain()))
        return true;
    return m_inner.waitReadable(timeout);
}

bool TlsTransport::closed() const
{
    return m_broken || m_inner.closed();
}

} // namespace qts
