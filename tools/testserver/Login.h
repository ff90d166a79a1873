#pragma once

// PRELOGIN and LOGIN7: what the client asks for and what we answer.

#include "PacketIo.h"
#include "Tls.h"
#include "engine/ServerVersion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qts {

struct PreloginRequest {
    std::uint8_t encryption = encrypt::Off; // what the client offers (encrypt::...)
};

// The options of a PRELOGIN payload; nothing when it is not a well-formed option list.
std::optional<PreloginRequest> parsePrelogin(const std::vector<std::uint8_t> &payload);

// What the connection does about encryption after the pre-login.
enum class Encryption {
    None,      // plain throughout
    LoginOnly, // the handshake, then only the LOGIN7's first packet in TLS
    Full,      // the handshake, then everything in TLS
    Refused,   // the server requires encryption and the client cannot
};
struct EncryptionChoice {
    std::uint8_t answer = encrypt::NotSupported; // the PRELOGIN ENCRYPTION byte we send
    Encryption mode = Encryption::None;
};
// SQL Server's rules (MS-TDS 2.2.6.5): without a certificate nothing is
// encrypted; with one a client offering ENCRYPT_OFF gets login-only
// encryption and ENCRYPT_ON/REQ the whole connection; forced encryption
// turns OFF into ON and refuses ENCRYPT_NOT_SUP.
EncryptionChoice chooseEncryption(std::uint8_t client, bool haveCertificate, bool force);

// The release's version, the encryption answer, instance OK, no MARS.
void writePreloginReply(PacketWriter &w, const ServerVersion &version = defaultServerVersion(),
                        std::uint8_t encryption = encrypt::NotSupported);

struct Login7 {
    std::uint32_t tdsVersion = 0;   // as sent (LE dword)
    std::uint32_t packetSize = 0;
    std::uint8_t optionFlags1 = 0;
    std::string hostName, userName, password, appName, serverName, language, database;  // UTF-8
};

// Reads a LOGIN7 payload; nothing when it is malformed.
std::optional<Login7> parseLogin7(const std::vector<std::uint8_t> &payload);

// The version the server speaks for what the client asked: 71..74 (at most
// what the release speaks), and the word the LOGINACK carries for it.
int negotiateTds(std::uint32_t requested, const ServerVersion &version = defaultServerVersion());
std::uint32_t tdsWireVersion(int tds);
std::uint32_t loginAckVersion(std::uint32_t requested, const ServerVersion &version);
// The width of pre-LOGINACK tokens follows what the client asked for.
int requestedTds(std::uint32_t requested);

// Payload of an SQL batch as UTF-8 (ALL_HEADERS skipped for 7.2+); nothing
// when the headers are inconsistent.
std::optional<std::string> batchText(const std::vector<std::uint8_t> &payload, int tds);
// Name (or "#id") of the procedure an RPC request calls.
std::string rpcProcName(const std::vector<std::uint8_t> &payload, int tds);

} // namespace qts
