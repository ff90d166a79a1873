#pragma once

// The SQL Server release the test server plays (--version): what it
// announces (PRELOGIN, LOGINACK, @@VERSION, SERVERPROPERTY, the Browser),
// which TDS versions it speaks, and which types and catalogue views exist.
// 2000 is the default.

#include <cstdint>
#include <string>

namespace qts {

struct ServerVersion {
    int year = 2000;               // 2000, 2005, 2008, 2012 ... 2022
    std::uint8_t major = 8;
    std::uint8_t minor = 0;
    std::uint16_t build = 194;
    std::uint16_t revision = 0;    // the fourth part of the product version
    int maxTds = 74;               // highest protocol version it answers, 71..74
    std::uint32_t tds73Word = 0x730B0003; // the LOGINACK word it gives a 7.3 client
    int compatibilityLevel = 80;   // of the databases it creates
    int databaseVersion = 539;     // DATABASEPROPERTYEX(..., 'Version')
    const char *productVersion = "8.00.194";
    const char *versionText = "";  // @@VERSION

    // The release is at least `y` (2005: max types and xml, 2008: the new
    // date and time types and the CLR system types ...).
    [[nodiscard]] bool atLeast(int y) const { return year >= y; }
    // @@MICROSOFTVERSION: major, minor and build in one int.
    [[nodiscard]] std::int32_t microsoftVersion() const
    {
        return std::int32_t(std::uint32_t(major) << 24 | std::uint32_t(minor) << 16 | build);
    }
};

// The release of that year; nullptr for a year the server does not play.
const ServerVersion *findServerVersion(int year);
const ServerVersion &defaultServerVersion();
// "2000|2005|2008|...": the years for usage texts.
std::string serverVersionYears();

// The release of the batch running on this thread (the engine sets it for
// each batch; the default release elsewhere). Conversions consult it.
const ServerVersion &currentServerVersion();

class ServerVersionScope {
public:
    explicit ServerVersionScope(const ServerVersion &v);
    ~ServerVersionScope();
    ServerVersionScope(const ServerVersionScope &) = delete;
    ServerVersionScope &operator=(const ServerVersionScope &) = delete;

private:
    const ServerVersion *m_previous;
};

} // namespace qts
