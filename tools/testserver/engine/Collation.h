#pragma once

// The collations the test server knows. A collation is carried as its index
// in kCollations (column types, result columns, values of sql_variant).

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qts {

struct CollationInfo {
    const char *name;
    std::uint16_t codePage; // of char, varchar and text
    bool caseSensitive;
    bool binary;            // code point order
    std::uint8_t tds[5];    // LCID (20 bits), flags, version, sort id, as TDS sends it
};

inline constexpr CollationInfo kCollations[] = {
    {"Cyrillic_General_CI_AS", 1251, false, false, {0x19, 0x04, 0xD0, 0x00, 0x00}},
    {"Cyrillic_General_CS_AS", 1251, true, false, {0x19, 0x04, 0xC0, 0x00, 0x00}},
    {"Cyrillic_General_BIN", 1251, true, true, {0x19, 0x04, 0x00, 0x01, 0x00}},
    {"SQL_Latin1_General_CP1_CI_AS", 1252, false, false, {0x09, 0x04, 0xD0, 0x00, 0x34}},
    {"SQL_Latin1_General_CP1_CS_AS", 1252, true, false, {0x09, 0x04, 0xC0, 0x00, 0x33}},
    {"Latin1_General_CI_AS", 1252, false, false, {0x09, 0x04, 0xD0, 0x00, 0x00}},
    {"Latin1_General_CS_AS", 1252, true, false, {0x09, 0x04, 0xC0, 0x00, 0x00}},
    {"Latin1_General_BIN", 1252, true, true, {0x09, 0x04, 0x00, 0x01, 0x00}},
};

// The server's default, and the databases' unless CREATE DATABASE names another.
inline constexpr std::uint8_t kServerCollation = 0;
// A literal's until its statement is bound, when it takes the database's.
inline constexpr std::uint8_t kLiteralCollation = 0xFF;

inline const CollationInfo &collationInfo(std::uint8_t id)
{
    return kCollations[id < std::size(kCollations) ? id : kServerCollation];
}

// The collation of that name (any case); -1 when there is none.
inline int findCollation(std::string_view name)
{
    for (std::size_t k = 0; k < std::size(kCollations); ++k) {
        const std::string_view n = kCollations[k].name;
        bool same = n.size() == name.size();
        for (std::size_t i = 0; same && i < n.size(); ++i) {
            const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
            same = lower(n[i]) == lower(name[i]);
        }
        if (same)
            return int(k);
    }
    return -1;
}

} // namespace qts
