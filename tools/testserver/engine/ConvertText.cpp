// Text forms of GUIDs and floats, as CONVERT reads and writes them.

#include "Types.h"

#include <cstdio>

namespace qts {

namespace {

std::string trimmed(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return std::string(s.substr(b, e - b));
}

} // namespace

std::string guidToText(const std::string &b)
{
    if (b.size() != 16)
        return "";
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out;
    char buf[3];
    for (int k = 0; k < 16; ++k) {
        if (k == 4 || k == 6 || k == 8 || k == 10)
            out += '-';
        std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(b[std::size_t(order[k])]));
        out += buf;
    }
    return out;
}

bool guidFromText(std::string s, std::string &out)
{
    s = trimmed(s);
    if (s.size() >= 38 && s.front() == '{')
        s = s.substr(1, 36);
    if (s.size() > 36)
        s.resize(36);
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
        return false;
    std::string hex;
    for (char c : s)
        if (c != '-')
            hex += c;
    if (hex.size() != 32)
        return false;
    unsigned char raw[16];
    for (int k = 0; k < 16; ++k) {
        int v = 0;
        for (int j = 0; j < 2; ++j) {
            const char c = hex[std::size_t(2 * k + j)];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (d < 0)
                return false;
            v = v * 16 + d;
        }
        raw[k] = static_cast<unsigned char>(v);
    }
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    out.assign(16, '\0');
    for (int k = 0; k < 16; ++k)
        out[std::size_t(order[k])] = char(raw[k]);
    return true;
}

std::string floatText(double d)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", d);
    std::string s = buf;
    const auto e = s.find('e');
    if (e != std::string::npos) {
        // SQL Server writes three exponent digits: 1.23457e+006.
        std::string mant = s.substr(0, e), exp = s.substr(e + 2);
        while (exp.size() < 3)
            exp.insert(0, "0");
        s = mant + "e" + s[e + 1] + exp;
    }
    return s;
}

} // namespace qts
