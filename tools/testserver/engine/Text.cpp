// Text helpers: UTF-8, the 8-bit code pages of the collations, case folding.

#include "CodePages.h"
#include "Types.h"

#include <cstring>

namespace qts {

namespace {

// Decodes one code point; malformed bytes decode as U+FFFD, one byte each.
char32_t nextCodePoint(std::string_view s, std::size_t &i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    int len = 0;
    char32_t c = 0;
    if ((b & 0xE0) == 0xC0) { len = 2; c = b & 0x1F; }
    else if ((b & 0xF0) == 0xE0) { len = 3; c = b & 0x0F; }
    else if ((b & 0xF8) == 0xF0) { len = 4; c = b & 0x07; }
    else { ++i; return 0xFFFD; }
    if (i + len > s.size()) { ++i; return 0xFFFD; }
    for (int k = 1; k < len; ++k) {
        const auto cb = static_cast<unsigned char>(s[i + k]);
        if ((cb & 0xC0) != 0x80) { ++i; return 0xFFFD; }
        c = (c << 6) | (cb & 0x3F);
    }
    i += len;
    return c;
}

char32_t lowerOf(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    if (c == 0x490) return 0x491;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    return c;
}

} // namespace

std::string utf8Encode(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

std::string toLowerAscii(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return out;
}

bool iequals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return foldCase(a) == foldCase(b);
    bool ascii = true;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80) { ascii = false; break; }
        const char lx = (x >= 'A' && x <= 'Z') ? char(x + 32) : char(x);
        const char ly = (y >= 'A' && y <= 'Z') ? char(y + 32) : char(y);
        if (lx != ly)
            return false;
    }
    return ascii || foldCase(a) == foldCase(b);
}

std::string foldCase(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out += (b >= 'A' && b <= 'Z') ? char(b + 32) : char(b);
            ++i;
            continue;
        }
        out += utf8Encode(lowerOf(nextCodePoint(s, i)));
    }
    return out;
}

std::size_t utf8Length(std::string_view s)
{
    std::size_t n = 0, i = 0;
    while (i < s.size()) {
        nextCodePoint(s, i);
        ++n;
    }
    return n;
}

std::size_t utf16Units(std::string_view s)
{
    std::size_t n = 0, i = 0;
    while (i < s.size())
        n += nextCodePoint(s, i) >= 0x10000 ? 2 : 1;
    return n;
}

std::string utf16Prefix(std::string_view s, std::size_t n)
{
    std::size_t i = 0, units = 0;
    while (i < s.size()) {
        std::size_t next = i;
        const std::size_t u = nextCodePoint(s, next) >= 0x10000 ? 2 : 1;
        if (units + u > n)
            break;
        units += u;
        i = next;
    }
    return std::string(s.substr(0, i));
}

void cutToTextSize(Value &v, XType type, std::int32_t maxBytes)
{
    if (v.isNull() || maxBytes < 0)
        return;
    std::string &s = v.bytes;
    const auto limit = std::size_t(maxBytes);
    if (type == XType::Image) {
        if (s.size() > limit)
            s.resize(limit);
        return;
    }
    // text holds single-byte characters of its code page; ntext UTF-16 units.
    const std::size_t budget = type == XType::NText ? limit / 2 : limit;
    std::size_t i = 0, used = 0;
    while (i < s.size()) {
        std::size_t next = i;
        const std::size_t units = type == XType::NText && nextCodePoint(s, next) >= 0x10000 ? 2 : 1;
        if (type != XType::NText)
            nextCodePoint(s, next);
        if (used + units > budget)
            break;
        used += units;
        i = next;
    }
    s.resize(i);
}

bool fitsCodePage(std::string_view s, std::uint16_t cp)
{
    std::size_t i = 0;
    while (i < s.size())
        if (codepage::fromUnicode(cp, nextCodePoint(s, i)) < 0)
            return false;
    return true;
}

std::string toCodePage(std::string_view s, std::uint16_t cp)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t start = i;
        const char32_t c = nextCodePoint(s, i);
        if (codepage::fromUnicode(cp, c) < 0)
            out += '?';
        else
            out.append(s.substr(start, i - start));
    }
    return out;
}

std::string decodeCodePage(std::string_view bytes, std::uint16_t cp)
{
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const char32_t c = codepage::toUnicode(cp, static_cast<unsigned char>(ch));
        out += c == 0 && ch != 0 ? std::string("?") : utf8Encode(c);
    }
    return out;
}

std::string encodeCodePage(std::string_view s, std::uint16_t cp)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const int b = codepage::fromUnicode(cp, nextCodePoint(s, i));
        out += b < 0 ? '?' : char(b);
    }
    return out;
}

} // namespace qts
