#pragma once

// Text conversions of the wire: UTF-16LE for identifiers, SQL text and
// n-types, the code page of the column's collation (1251 or 1252) for
// char/varchar/text. The engine speaks UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Its own namespace: the engine has text helpers of its own in qts.
namespace qts::tds {

// Decodes one UTF-8 sequence at s[i], advancing i; malformed bytes give U+FFFD.
char32_t nextCodePoint(std::string_view s, std::size_t &i);

// UTF-16LE bytes (odd trailing byte ignored, lone surrogates -> U+FFFD) to UTF-8.
std::string utf16leToUtf8(const std::uint8_t *data, std::size_t bytes);
// UTF-8 to UTF-16LE bytes.
std::string utf8ToUtf16le(std::string_view utf8);
// The same into a buffer that is reused (no allocation once it is big enough).
void utf8ToUtf16le(std::string_view utf8, std::string &out);
// Number of UTF-16 code units utf8 needs.
std::size_t utf16Length(std::string_view utf8);

// Code page 1251; characters it lacks become '?'.
std::string utf8ToCp1251(std::string_view utf8);
void utf8ToCp1251(std::string_view utf8, std::string &out);
std::string cp1251ToUtf8(std::string_view cp1251);
// One code point to its CP1251 byte, '?' when unmappable.
std::uint8_t cp1251Byte(char32_t c);
// Any of the collations' code pages; characters it lacks become '?'.
void utf8ToCodePage(std::string_view utf8, std::uint16_t codePage, std::string &out);

} // namespace qts::tds
