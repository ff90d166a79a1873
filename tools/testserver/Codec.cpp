#include "Codec.h"

#include "engine/CodePages.h"

#include <array>

namespace qts::tds {
namespace {

// Unicode of the CP1251 bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
// 0x98 is unassigned.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

} // namespace

char32_t nextCodePoint(std::string_view s, std::size_t &i)
{
    const auto b0 = std::uint8_t(s[i++]);
    if (b0 < 0x80)
        return b0;
    int extra;
    char32_t c;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) { extra = 1; c = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; c = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; c = b0 & 0x07; min = 0x10000; }
    else return 0xFFFD;
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (std::uint8_t(s[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (std::uint8_t(s[i++]) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0xFFFD;
    return c;
}

std::string utf16leToUtf8(const std::uint8_t *data, std::size_t bytes)
{
    std::string out;
    out.reserve(bytes / 2);
    const std::size_t units = bytes / 2;
    for (std::size_t k = 0; k < units; ++k) {
        char32_t c = char32_t(data[2 * k] | (data[2 * k + 1] << 8));
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units) {
            const char32_t lo = char32_t(data[2 * k + 2] | (data[2 * k + 3] << 8));
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                ++k;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string utf8ToUtf16le(std::string_view utf8)
{
    std::string out;
    utf8ToUtf16le(utf8, out);
    return out;
}

void utf8ToUtf16le(std::string_view utf8, std::string &out)
{
    // No UTF-8 byte gives more than two bytes of UTF-16 (a four-byte
    // sequence gives four, a bad byte one replacement character).
    out.resize(utf8.size() * 2);
    char *p = out.data();
    const auto put = [&p](char32_t unit) {
        *p++ = char(unit & 0xFF);
        *p++ = char(unit >> 8);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        if (const auto b = std::uint8_t(utf8[i]); b < 0x80) {
            put(b);
            ++i;
            continue;
        }
        char32_t c = nextCodePoint(utf8, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    out.resize(std::size_t(p - out.data()));
}

std::size_t utf16Length(std::string_view utf8)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size();)
        n += nextCodePoint(utf8, i) >= 0x10000 ? 2 : 1;
    return n;
}

std::uint8_t cp1251Byte(char32_t c)
{
    if (c < 0x80)
        return std::uint8_t(c);
    if (c >= 0x0410 && c <= 0x044F)
        return std::uint8_t(0xC0 + (c - 0x0410));
    for (std::size_t k = 0; k < kHigh.size(); ++k)
        if (kHigh[k] == c && c != 0xFFFD)
            return std::uint8_t(0x80 + k);
    return '?';
}

std::string utf8ToCp1251(std::string_view utf8)
{
    std::string out;
    utf8ToCp1251(utf8, out);
    return out;
}

void utf8ToCp1251(std::string_view utf8, std::string &out)
{
    out.clear();
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = std::uint8_t(utf8[i]);
        if (b < 0x80) {
            out.push_back(char(b));
            ++i;
            continue;
        }
        out.push_back(char(cp1251Byte(nextCodePoint(utf8, i))));
    }
}

void utf8ToCodePage(std::string_view utf8, std::uint16_t codePage, std::string &out)
{
    out.clear();
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = std::uint8_t(utf8[i]);
        if (b < 0x80) {
            out.push_back(char(b));
            ++i;
            continue;
        }
        const int c = codepage::fromUnicode(codePage, nextCodePoint(utf8, i));
        out.push_back(c < 0 ? '?' : char(c));
    }
}

std::string cp1251ToUtf8(std::string_view cp1251)
{
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (const char ch : cp1251) {
        const auto b = std::uint8_t(ch);
        if (b < 0x80)
            out.push_back(char(b));
        else if (b >= 0xC0)
            appendUtf8(out, char32_t(0x0410 + (b - 0xC0)));
        else
            appendUtf8(out, kHigh[b - 0x80] == 0xFFFD ? char32_t('?') : char32_t(kHigh[b - 0x80]));
    }
    return out;
}

} // namespace qts::tds
