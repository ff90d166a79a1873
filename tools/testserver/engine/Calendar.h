#pragma once

// Days since 1900-01-01 (negative before it, back to 0001-01-01) and the
// civil dates of the proleptic Gregorian calendar; the text forms of the
// 2008 date and time values. Shared by the engine and the wire.

#include <cstdint>
#include <cstdio>
#include <string>

namespace qts {

inline std::int32_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = unsigned((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1);
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int fromEpoch = era * 146097 + int(doe) - 719468; // days since 1970-01-01
    return fromEpoch + 25567;                               // 1900-01-01 is 25567 days earlier
}

inline void civilFromDays(std::int32_t days, int &y, int &m, int &d)
{
    int z = days - 25567 + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe) + era * 400 + (m <= 2);
}

inline constexpr std::uint64_t kHnsPerDay = 864000000000ULL; // 100 ns units in a day
inline constexpr std::int32_t kFirstDay = -693595;           // 0001-01-01
inline constexpr std::int32_t kLastDay = 2958463;            // 9999-12-31

// yyyy-mm-dd, hh:mi:ss[.f...] with `scale` digits, and +hh:mi: the parts of
// SQL Server's default text of a date, time, datetime2 or datetimeoffset.
inline std::string dateText(std::int32_t days)
{
    int y, m, d;
    civilFromDays(days, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

inline std::string timeOfDayText(std::uint64_t hns, int scale, bool trimZeroFraction = false)
{
    const std::uint64_t seconds = hns / 10000000ULL;
    const std::uint64_t fraction = hns % 10000000ULL;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", unsigned(seconds / 3600), unsigned(seconds / 60 % 60), unsigned(seconds % 60));
    std::string out = buf;
    if (scale > 0 && !(trimZeroFraction && fraction == 0)) {
        std::snprintf(buf, sizeof buf, "%07llu", static_cast<unsigned long long>(fraction));
        out += '.';
        out.append(buf, std::size_t(scale));
    }
    return out;
}

inline std::string offsetText(int minutes)
{
    const int m = minutes < 0 ? -minutes : minutes;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%c%02d:%02d", minutes < 0 ? '-' : '+', m / 60, m % 60);
    return buf;
}

} // namespace qts
