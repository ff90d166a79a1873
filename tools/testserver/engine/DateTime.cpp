// datetime and smalldatetime: parsing the string forms SQL Server 2000 reads,
// rounding to 1/300 s, and the text forms CONVERT writes.

#include "Types.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace qts {

namespace {

constexpr std::uint32_t kTicksPerDay = 24u * 3600u * 300u;

const char *const kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};

int monthFromName(std::string_view w)
{
    if (w.size() < 3)
        return 0;
    const std::string l = toLowerAscii(w);
    for (int i = 0; i < 12; ++i)
        if (l.compare(0, 3, kMonths[i]) == 0)
            return i + 1;
    return 0;
}

bool validDate(int y, int m, int d)
{
    static const int dim[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= dim[m - 1] + (m == 2 && leap ? 1 : 0);
}

int fixYear(int y, std::size_t digits)
{
    if (digits <= 2)
        return y < 50 ? 2000 + y : 1900 + y;
    return y;
}

struct Cursor {
    std::string_view s;
    std::size_t i = 0;
    void skipSpaces() { while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i; }
    bool atEnd() const { return i >= s.size(); }
    char peek() const { return i < s.size() ? s[i] : '\0'; }
    // Reads up to maxDigits digits; returns the count read.
    std::size_t number(long long &v, std::size_t maxDigits = 9)
    {
        v = 0;
        std::size_t n = 0;
        while (i < s.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(s[i]))) {
            v = v * 10 + (s[i] - '0');
            ++i;
            ++n;
        }
        return n;
    }
};

// hh:mi[:ss[.fff | :fff]] [AM|PM]; also "10AM".
bool parseTime(Cursor &c, std::uint32_t &ticks, bool &carryDay)
{
    long long h = 0, mi = 0, sec = 0;
    std::uint64_t frac = 0;
    c.skipSpaces();
    if (c.number(h, 2) == 0)
        return false;
    bool any = false;
    if (c.peek() == ':') {
        ++c.i;
        if (c.number(mi, 2) == 0)
            return false;
        any = true;
        if (c.peek() == ':') {
            ++c.i;
            if (c.number(sec, 2) == 0)
                return false;
            if (c.peek() == '.' || c.peek() == ':') {
                const bool millis = c.peek() == ':';
                ++c.i;
                long long digits = 0;
                const std::size_t start = c.i;
                std::size_t n = c.number(digits, 9);
                while (std::isdigit(static_cast<unsigned char>(c.peek())))
                    ++c.i; // digits past the ninth do not change the rounding to 1/300 s
                if (n == 0 && (millis || c.i == start))
                    return millis ? false : true;
                if (millis) {
                    if (n > 3)
                        return false;
                    frac = std::uint64_t((digits * 300 * 2 + 1000) / 2000);
                } else {
                    std::uint64_t scale = 1;
                    for (std::size_t k = 0; k < n; ++k)
                        scale *= 10;
                    frac = (std::uint64_t(digits) * 600 + scale) / (2 * scale);
                }
            }
        }
    }
    c.skipSpaces();
    if (c.i + 1 < c.s.size() + 0 && (c.peek() == 'A' || c.peek() == 'a' || c.peek() == 'P' || c.peek() == 'p')) {
        const char ap = char(std::tolower(static_cast<unsigned char>(c.peek())));
        ++c.i;
        if (!(c.peek() == 'M' || c.peek() == 'm'))
            return false;
        ++c.i;
        if (h < 1 || h > 12)
            return false;
        if (ap == 'a' && h == 12) h = 0;
        if (ap == 'p' && h != 12) h += 12;
        any = true;
    }
    if (!any || h > 23 || mi > 59 || sec > 59)
        return false;
    std::uint64_t t = std::uint64_t((h * 3600 + mi * 60 + sec) * 300) + frac;
    carryDay = t >= kTicksPerDay;
    if (carryDay)
        t -= kTicksPerDay;
    ticks = std::uint32_t(t);
    return true;
}

} // namespace

// style: 103/104/105 and 3/4/5 read day-month-year, 101/110 and 1/10 month-day-year,
// anything else the default (month-day-year; a four-digit year first means year-month-day).
bool parseDateTime(std::string_view text, int style, std::int32_t &days, std::uint32_t &ticks, bool *outOfRange)
{
    if (outOfRange)
        *outOfRange = false;
    Cursor c{text};
    c.skipSpaces();
    int y = 1900, m = 1, d = 1;
    std::uint32_t t = 0;
    bool carry = false;
    if (c.atEnd()) {
        days = 0;
        ticks = 0;
        return true;
    }
    const std::size_t save = c.i;
    long long a = 0;
    const std::size_t na = c.number(a, 8);
    bool haveDate = false;
    if (na == 8 && (c.atEnd() || c.peek() == ' ' || c.peek() == 'T')) {
        y = int(a / 10000); m = int(a / 100 % 100); d = int(a % 100);
        haveDate = true;
    } else if (na > 0 && (c.peek() == '-' || c.peek() == '/' || c.peek() == '.')) {
        const char sep = c.peek();
        ++c.i;
        long long b = 0, e = 0;
        const std::size_t nb = c.number(b, 4);
        if (nb == 0)
            return false;
        if (c.peek() != sep && !(sep == '-' && c.peek() == '/'))
            return false;
        ++c.i;
        const std::size_t ne = c.number(e, 4);
        if (ne == 0)
            return false;
        if (na == 4) {
            y = int(a); m = int(b); d = int(e);
        } else {
            const bool dmy = style == 103 || style == 104 || style == 105 || style == 3 || style == 4 || style == 5;
            if (dmy) { d = int(a); m = int(b); }
            else { m = int(a); d = int(b); }
            y = fixYear(int(e), ne);
        }
        haveDate = true;
    } else if (na > 0 && (c.peek() == ':' || c.atEnd() || std::isalpha(static_cast<unsigned char>(c.peek())) || c.peek() == ' ')) {
        // "1 March 2004", or a time alone.
        c.skipSpaces();
        std::size_t w = c.i;
        while (w < text.size() && std::isalpha(static_cast<unsigned char>(text[w])))
            ++w;
        const int mon = monthFromName(text.substr(c.i, w - c.i));
        if (mon > 0 && c.peek() != 'A' && c.peek() != 'a' && c.peek() != 'P' && c.peek() != 'p') {
            c.i = w;
            c.skipSpaces();
            if (c.peek() == ',') ++c.i;
            c.skipSpaces();
            long long yy = 0;
            const std::size_t ny = c.number(yy, 4);
            if (ny == 0)
                return false;
            d = int(a); m = mon; y = fixYear(int(yy), ny);
            haveDate = true;
        } else {
            c.i = save;
        }
    } else if (na == 0) {
        std::size_t w = c.i;
        while (w < text.size() && std::isalpha(static_cast<unsigned char>(text[w])))
            ++w;
        const int mon = monthFromName(text.substr(c.i, w - c.i));
        if (mon == 0)
            return false;
        c.i = w;
        c.skipSpaces();
        long long dd = 0, yy = 0;
        if (c.number(dd, 2) == 0)
            return false;
        c.skipSpaces();
        if (c.peek() == ',') ++c.i;
        c.skipSpaces();
        const std::size_t ny = c.number(yy, 4);
        if (ny == 0)
            return false;
        d = int(dd); m = mon; y = fixYear(int(yy), ny);
        haveDate = true;
    } else {
        return false;
    }
    if (haveDate) {
        if (c.peek() == 'T')
            ++c.i;
        c.skipSpaces();
    }
    if (!c.atEnd()) {
        if (!parseTime(c, t, carry))
            return false;
        c.skipSpaces();
        if (!c.atEnd())
            return false;
    }
    if (y < 1 || y > 9999 || !validDate(y, m, d)) {
        if (outOfRange)
            *outOfRange = true;
        return false;
    }
    days = daysFromCivil(y, m, d) + (carry ? 1 : 0);
    ticks = t;
    return true;
}

std::string dateTimeToText(std::int32_t days, std::uint32_t ticks, bool small)
{
    int y, m, d;
    civilFromDays(days, y, m, d);
    const std::uint32_t totalMs = std::uint32_t((std::uint64_t(ticks) * 10 + 1) / 3);
    int h = int(totalMs / 3600000), mi = int(totalMs / 60000 % 60), s = int(totalMs / 1000 % 60), ms = int(totalMs % 1000);
    char buf[64];
    if (small)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:00", y, m, d, h, mi);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, m, d, h, mi, s, ms);
    return buf;
}

} // namespace qts
