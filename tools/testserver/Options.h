#pragma once

// The command line of quorvane-testserver.

#include "Connection.h"
#include "engine/ServerVersion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qts {

struct Options {
    std::uint16_t port = 0;
    std::string dataDir;          // empty: a temporary folder, removed at exit
    Logins logins;
    bool demo = false;
    std::optional<std::uint16_t> browserPort;
    const ServerVersion *serverVersion = &defaultServerVersion();
    std::string tlsCert, tlsKey;  // PEM files; both or neither
    bool forceEncryption = false;
    std::size_t packetSize = 0; // 0: the client's
    bool help = false;
    bool version = false;
};

// Nothing (and error set) when the arguments are wrong.
std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error);
extern const char *const kUsage;

} // namespace qts
