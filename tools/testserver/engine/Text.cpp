// Text helpers: UTF-8, code page 1251 (Cyrillic_General) and case folding.

#include "Types.h"

#include <cstring>

namespace qts {

namespace {

// Code page 1251, bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F; 0x98 is unassigned.
const char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

int cp1251Byte(char32_t c)
{
    if (c < 0x80)
        return int(c);
    if (c >= 0x410 && c <= 0x44F)
        return int(c - 0x410 + 0xC0);
    for (int i = 0; i < 64; ++i)
        if (kCp1251High[i] == c && c != 0)
            return 0x80 + i;
    return -1;
}

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

bool fitsCodePage(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size())
        if (cp1251Byte(nextCodePoint(s, i)) < 0)
            return false;
    return true;
}

std::string toCodePage(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t start = i;
        const char32_t c = nextCodePoint(s, i);
        if (cp1251Byte(c) < 0)
            out += '?';
        else
            out.append(s.substr(start, i - start));
    }
    return out;
}

std::string decodeCp1251(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += char(b);
        else if (b >= 0xC0)
            out += utf8Encode(0x410 + (b - 0xC0));
        else if (kCp1251High[b - 0x80] != 0)
            out += utf8Encode(kCp1251High[b - 0x80]);
        else
            out += '?';
    }
    return out;
}

std::string encodeCp1251(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const int b = cp1251Byte(nextCodePoint(s, i));
        out += b < 0 ? '?' : char(b);
    }
    return out;
}

} // namespace qts
