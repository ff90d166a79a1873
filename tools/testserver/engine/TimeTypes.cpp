// date, time, datetime2 and datetimeoffset (SQL Server 2008): their string
// forms, rounding to a scale, and the text forms CONVERT writes.

#include "Types.h"

#include <cctype>
#include <cstdio>

namespace qts {

namespace {

struct Reader {
    std::string_view s;
    std::size_t i = 0;
    void spaces() { while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i; }
    [[nodiscard]] bool end() const { return i >= s.size(); }
    [[nodiscard]] char peek(std::size_t ahead = 0) const { return i + ahead < s.size() ? s[i + ahead] : '\0'; }
    // Up to max digits; the count read.
    int digits(long long &v, int max)
    {
        v = 0;
        int n = 0;
        while (n < max && i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            v = v * 10 + (s[i++] - '0');
            ++n;
        }
        return n;
    }
};

bool validDay(long long y, long long m, long long d)
{
    static const int dim[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= dim[m - 1] + (m == 2 && leap ? 1 : 0);
}

bool dayMonthFirst(int style)
{
    return style == 103 || style == 104 || style == 105 || style == 3 || style == 4 || style == 5;
}

// A date at the reader: yyyy-mm-dd (also / and .), yyyymmdd, or with the
// year last, month first (day first in the d/m/y styles).
bool parseDate(Reader &r, int style, std::int32_t &days, bool &range)
{
    const std::size_t start = r.i;
    long long a = 0, b = 0, c = 0;
    const int na = r.digits(a, 8);
    long long y = 0, m = 0, d = 0;
    if (na == 8) {
        y = a / 10000;
        m = a / 100 % 100;
        d = a % 100;
    } else if (na > 0 && (r.peek() == '-' || r.peek() == '/' || r.peek() == '.')) {
        const char sep = r.peek();
        ++r.i;
        const int nb = r.digits(b, 2);
        if (nb == 0 || r.peek() != sep)
            return false;
        ++r.i;
        const int nc = r.digits(c, 4);
        if (nc == 0)
            return false;
        if (na == 4) {
            y = a;
            m = b;
            d = c;
        } else {
            if (na > 2)
                return false;
            if (dayMonthFirst(style)) { d = a; m = b; }
            else { m = a; d = b; }
            y = nc <= 2 ? (c < 50 ? 2000 + c : 1900 + c) : c;
        }
    } else {
        r.i = start;
        return false;
    }
    if (!validDay(y, m, d)) {
        range = true;
        return false;
    }
    days = daysFromCivil(int(y), int(m), int(d));
    return true;
}

// hh:mi[:ss[.fffffff]] [AM|PM]; more than seven digits of fraction is an error.
bool parseTime(Reader &r, std::uint64_t &hns, int &digits)
{
    long long h = 0, mi = 0, sec = 0, frac = 0;
    digits = 0;
    if (r.digits(h, 2) == 0 || r.peek() != ':')
        return false;
    ++r.i;
    if (r.digits(mi, 2) != 2)
        return false;
    if (r.peek() == ':') {
        ++r.i;
        if (r.digits(sec, 2) != 2)
            return false;
        if (r.peek() == '.') {
            ++r.i;
            digits = r.digits(frac, 8);
            if (digits == 0 || digits > 7)
                return false;
        }
    }
    r.spaces();
    const char ap = char(std::tolower(static_cast<unsigned char>(r.peek())));
    if ((ap == 'a' || ap == 'p') && std::tolower(static_cast<unsigned char>(r.peek(1))) == 'm') {
        if (h < 1 || h > 12)
            return false;
        if (ap == 'a' && h == 12) h = 0;
        if (ap == 'p' && h != 12) h += 12;
        r.i += 2;
    }
    if (h > 23 || mi > 59 || sec > 59)
        return false;
    for (int k = digits; k < 7; ++k)
        frac *= 10;
    hns = std::uint64_t(((h * 60 + mi) * 60 + sec)) * 10000000ULL + std::uint64_t(frac);
    return true;
}

// Z, or +hh:mi / -hh:mi within +-14:00.
bool parseOffset(Reader &r, int &minutes)
{
    if (r.peek() == 'Z' || r.peek() == 'z') {
        ++r.i;
        minutes = 0;
        return true;
    }
    if (r.peek() != '+' && r.peek() != '-')
        return false;
    const bool negative = r.peek() == '-';
    ++r.i;
    long long h = 0, m = 0;
    if (r.digits(h, 2) != 2 || r.peek() != ':')
        return false;
    ++r.i;
    if (r.digits(m, 2) != 2 || m > 59 || h * 60 + m > 14 * 60)
        return false;
    minutes = int(negative ? -(h * 60 + m) : h * 60 + m);
    return true;
}


} // namespace

bool parseTimeText(std::string_view text, int style, TimeParts &out, bool &outOfRange)
{
    outOfRange = false;
    out = TimeParts{};
    Reader r{text};
    r.spaces();
    if (r.end())
        return true;  // '' is 1900-01-01 00:00:00
    const std::size_t save = r.i;
    if (parseDate(r, style, out.days, outOfRange)) {
        out.hasDate = true;
        if (r.peek() == 'T') {
            ++r.i;
            if (!parseTime(r, out.hns, out.digits))
                return false;
            out.hasTime = true;
        }
    } else if (outOfRange) {
        return false;
    } else {
        r.i = save;
    }
    r.spaces();
    if (!out.hasTime && std::isdigit(static_cast<unsigned char>(r.peek()))) {
        if (!parseTime(r, out.hns, out.digits))
            return false;
        out.hasTime = true;
    }
    r.spaces();
    if (!r.end()) {
        if (!out.hasTime || !parseOffset(r, out.offset))
            return false;
        out.hasOffset = true;
        r.spaces();
    }
    return r.end() && (out.hasDate || out.hasTime);
}

bool roundToScale(std::int32_t &days, std::uint64_t &hns, int scale)
{
    std::uint64_t unit = 1;
    for (int k = scale; k < 7; ++k)
        unit *= 10;
    hns = (hns + unit / 2) / unit * unit;
    if (hns >= kHnsPerDay) {
        hns -= kHnsPerDay;
        ++days;
        return true;
    }
    return false;
}

std::string timeValueText(const Value &v, const TypeInfo &t, int style)
{
    const int scale = t.type == XType::Date ? 0 : t.scale;
    // 126 and 127 are ISO 8601: a T between date and time, no fraction when it is zero;
    // 127 gives a datetimeoffset in UTC with a Z.
    const bool iso = style == 126 || style == 127;
    std::int32_t days = v.days;
    std::uint64_t hns = v.hns;
    bool utc = false;
    if (style == 127 && t.type == XType::DateTimeOffset) {
        std::int64_t instant = std::int64_t(hns) - std::int64_t(v.offset) * 600000000LL;
        while (instant < 0) { instant += std::int64_t(kHnsPerDay); --days; }
        while (instant >= std::int64_t(kHnsPerDay)) { instant -= std::int64_t(kHnsPerDay); ++days; }
        hns = std::uint64_t(instant);
        utc = true;
    }
    std::string date;
    if (t.type != XType::Time) {
        int y, m, d;
        civilFromDays(days, y, m, d);
        char buf[16];
        switch (style) {
        case 103: case 3: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d, m, y); break;
        case 104: case 4: std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d, m, y); break;
        case 105: case 5: std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", d, m, y); break;
        case 112: std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d); break;
        default: std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d); break;
        }
        date = buf;
        if (t.type == XType::Date || style == 103 || style == 104 || style == 105 || style == 112 ||
            style == 3 || style == 4 || style == 5)
            return date;
    }
    const std::string time = timeOfDayText(hns, style == 120 || style == 108 ? 0 : scale, iso);
    if (t.type == XType::Time || style == 108)
        return time;
    std::string out = date + (iso ? "T" : " ") + time;
    if (t.type == XType::DateTimeOffset)
        out += utc ? "Z" : (iso ? "" : " ") + offsetText(v.offset);
    return out;
}

} // namespace qts
