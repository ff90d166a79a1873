#include "Options.h"

#include <charconv>

namespace qts {

const char *const kUsage =
    "usage: quorvane-testserver [--port N] [--data DIR] [--login NAME:PASSWORD]... [--demo] [--browser-port N]\n"
    "                           [--version YEAR] [--tls-cert FILE --tls-key FILE [--force-encryption]]\n"
    "                           [--packet-size N]\n"
    "       quorvane-testserver --help | --version\n"
    "  --port N          TCP port on 127.0.0.1 (0, the default, picks a free one)\n"
    "  --data DIR        folder of the database files (default: a temporary folder removed at exit)\n"
    "  --login N:P       an accepted SQL login (repeatable)\n"
    "  --demo            create the demo database Shop when it is missing\n"
    "  --browser-port N  answer SQL Server Browser requests on this UDP port of 127.0.0.1\n"
    "  --version YEAR    play SQL Server of that year: 2000 (the default), 2005, 2008, 2012, 2014,\n"
    "                    2016, 2017, 2019 or 2022\n"
    "  --tls-cert FILE   the server certificate (PEM): encryption is offered in the pre-login\n"
    "  --tls-key FILE    its private key (PEM)\n"
    "  --force-encryption refuse clients that will not encrypt the whole connection\n"
    "  --packet-size N   grant every login packets of N bytes (512 to 32767) whatever it asks for;\n"
    "                    a batch may be 65,536 packets long (FreeTDS always asks for 4096)\n"
    "  --help            show this text and exit\n"
    "  --version         show the version and exit\n";

namespace {

std::optional<std::uint16_t> parsePort(const std::string &s)
{
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v > 65535)
        return std::nullopt;
    return std::uint16_t(v);
}

} // namespace

std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error)
{
    Options o;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string &a = args[k];
        auto value = [&]() -> const std::string * {
            if (k + 1 >= args.size()) {
                error = a + " needs a value";
                return nullptr;
            }
            return &args[++k];
        };
        if (a == "--demo") {
            o.demo = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            // With a year: the release to play; alone: print our own version.
            if (k + 1 < args.size() && !args[k + 1].empty() && args[k + 1][0] != '-') {
                const std::string &year = args[++k];
                int y = 0;
                const auto [end, ec] = std::from_chars(year.data(), year.data() + year.size(), y);
                const ServerVersion *v = ec == std::errc() && end == year.data() + year.size() ? findServerVersion(y) : nullptr;
                if (!v) {
                    error = "unknown SQL Server version " + year + " (one of " + serverVersionYears() + ")";
                    return std::nullopt;
                }
                o.serverVersion = v;
            } else {
                o.version = true;
            }
        } else if (a == "--force-encryption") {
            o.forceEncryption = true;
        } else if (a == "--tls-cert" || a == "--tls-key") {
            const std::string *v = value();
            if (!v)
                return std::nullopt;
            (a == "--tls-cert" ? o.tlsCert : o.tlsKey) = *v;
        } else if (a == "--port" || a == "--browser-port") {
            const std::string *v = value();
            if (!v)
                return std::nullopt;
            const auto port = parsePort(*v);
            if (!port || (a == "--browser-port" && *port == 0)) {
                error = "bad port for " + a + ": " + *v;
                return std::nullopt;
            }
            if (a == "--port")
                o.port = *port;
            else
                o.browserPort = *port;
        } else if (a == "--packet-size") {
            const std::string *v = value();
            if (!v)
                return std::nullopt;
            unsigned size = 0;
            const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), size);
            if (ec != std::errc() || end != v->data() + v->size() || size < packet::MinSize || size > packet::MaxSize) {
                error = "--packet-size wants 512 to 32767 bytes, got " + *v;
                return std::nullopt;
            }
            o.packetSize = size;
        } else if (a == "--data") {
            const std::string *v = value();
            if (!v)
                return std::nullopt;
            o.dataDir = *v;
        } else if (a == "--login") {
            const std::string *v = value();
            if (!v)
                return std::nullopt;
            const auto colon = v->find(':');
            if (colon == std::string::npos || colon == 0) {
                error = "--login wants NAME:PASSWORD, got " + *v;
                return std::nullopt;
            }
            o.logins.passwords[v->substr(0, colon)] = v->substr(colon + 1);
        } else {
            error = "unknown argument " + a;
            return std::nullopt;
        }
    }
    if (o.tlsCert.empty() != o.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return std::nullopt;
    }
    if (o.forceEncryption && o.tlsCert.empty()) {
        error = "--force-encryption needs --tls-cert and --tls-key";
        return std::nullopt;
    }
    return o;
}

} // namespace qts
