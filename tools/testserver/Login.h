#pragma once

// PRELOGIN and LOGIN7: what the client asks for and what we answer.

#include "PacketIo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qts {

// Checks that a PRELOGIN payload is a well-formed option list.
bool parsePrelogin(const std::vector<std::uint8_t> &payload);
// Version 8.00.194, encryption not supported, instance OK, no MARS.
void writePreloginReply(PacketWriter &w);

struct Login7 {
    std::uint32_t tdsVersion = 0;   // as sent (LE dword)
    std::uint32_t packetSize = 0;
    std::uint8_t optionFlags1 = 0;
    std::string hostName, userName, password, appName, serverName, language, database;  // UTF-8
};

// Reads a LOGIN7 payload; nothing when it is malformed.
std::optional<Login7> parseLogin7(const std::vector<std::uint8_t> &payload);

// The version the server speaks for what the client asked: 71..74, and the
// word the LOGINACK carries for it.
int negotiateTds(std::uint32_t requested);
std::uint32_t tdsWireVersion(int tds);
// The width of pre-LOGINACK tokens follows what the client asked for.
int requestedTds(std::uint32_t requested);

// Payload of an SQL batch as UTF-8 (ALL_HEADERS skipped for 7.2+); nothing
// when the headers are inconsistent.
std::optional<std::string> batchText(const std::vector<std::uint8_t> &payload, int tds);
// Name (or "#id") of the procedure an RPC request calls.
std::string rpcProcName(const std::vector<std::uint8_t> &payload, int tds);

} // namespace qts
