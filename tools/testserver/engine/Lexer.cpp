#include "Lexer.h"

#include "Types.h"

#include <cctype>

namespace qts {

namespace {

bool identStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '#' || c >= 0x80; }
bool identPart(unsigned char c) { return std::isalnum(c) || c == '_' || c == '#' || c == '@' || c == '$' || c >= 0x80; }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr std::size_t kMaxName = 128;

} // namespace

bool tokenize(std::string_view s, std::vector<Token> &out, LexError &error)
{
    // Names over 128 characters are refused before anything runs.
    const auto tooLong = [&](const Token &t) {
        // SQL Server's names are nvarchar(128): UTF-16 units count.
        if (utf16Units(t.text) <= kMaxName)
            return false;
        error = {103, "The identifier that starts with '" + utf16Prefix(t.text, kMaxName) + "' is too long. Maximum length is 128.", t.line};
        return true;
    };
    std::size_t i = 0;
    int line = 1;
    const auto countLines = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < s.size(); ++k)
            if (s[k] == '\n')
                ++line;
    };
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            if (c == '\n')
                ++line;
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            // Comments nest in Transact-SQL.
            int depth = 0;
            const int startLine = line;
            while (i < s.size()) {
                if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*') { ++depth; i += 2; continue; }
                if (s[i] == '*' && i + 1 < s.size() && s[i + 1] == '/') {
                    i += 2;
                    if (--depth == 0)
                        break;
                    continue;
                }
                if (s[i] == '\n') ++line;
                ++i;
            }
            if (depth != 0) {
                error = {113, "Missing end comment mark '*/'.", startLine};
                return false;
            }
            continue;
        }
        Token t;
        t.pos = i;
        t.line = line;
        const bool nstring = (c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'';
        if (c == '\'' || nstring) {
            std::size_t k = i + (nstring ? 2 : 1);
            std::string value;
            bool closed = false;
            while (k < s.size()) {
                const char ch = s[k];
                if (ch == '\'') {
                    if (k + 1 < s.size() && s[k + 1] == '\'') { value += '\''; k += 2; continue; }
                    closed = true;
                    ++k;
                    break;
                }
                // A backslash right before a line break continues the line.
                if (ch == '\\' && k + 1 < s.size() && (s[k + 1] == '\n' || (s[k + 1] == '\r' && k + 2 < s.size() && s[k + 2] == '\n'))) {
                    k += s[k + 1] == '\r' ? 3 : 2;
                    continue;
                }
                value += ch;
                ++k;
            }
            if (!closed) {
                error = {105, "Unclosed quotation mark before the character string '" + value + "'.", line};
                return false;
            }
            countLines(i, k);
            t.kind = nstring ? Token::Kind::NString : Token::Kind::String;
            t.text = std::move(value);
            i = k;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            std::size_t k = i + 2;
            std::string hex;
            for (;;) {
                while (k < s.size() && hexDigit(s[k]) >= 0)
                    hex += s[k++];
                // A backslash right before a line break continues the constant.
                if (k + 1 < s.size() && s[k] == '\\' && (s[k + 1] == '\n' || (s[k + 1] == '\r' && k + 2 < s.size() && s[k + 2] == '\n'))) {
                    k += s[k + 1] == '\r' ? 3 : 2;
                    ++line;
                    continue;
                }
                break;
            }
            if (hex.size() % 2)
                hex.insert(0, "0");
            std::string bytes;
            for (std::size_t h = 0; h < hex.size(); h += 2)
                bytes += char(hexDigit(hex[h]) * 16 + hexDigit(hex[h + 1]));
            t.kind = Token::Kind::Binary;
            t.text = std::move(bytes);
            i = k;
            out.push_back(std::move(t));
            continue;
        }
        if (std::isdigit(c) || (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            std::size_t k = i;
            while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
            if (k < s.size() && s[k] == '.') {
                ++k;
                while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
            }
            if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
                std::size_t e = k + 1;
                if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
                if (e < s.size() && std::isdigit(static_cast<unsigned char>(s[e]))) {
                    k = e;
                    while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
                }
            }
            t.kind = Token::Kind::Number;
            t.text = std::string(s.substr(i, k - i));
            i = k;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '[' || c == '"') {
            const char close = c == '[' ? ']' : '"';
            std::size_t k = i + 1;
            std::string name;
            bool closed = false;
            while (k < s.size()) {
                if (s[k] == close) {
                    if (k + 1 < s.size() && s[k + 1] == close) { name += close; k += 2; continue; }
                    closed = true;
                    ++k;
                    break;
                }
                name += s[k++];
            }
            if (!closed) {
                if (c == '[')
                    error = {105, "Unclosed quotation mark before the character string '" + name + "'.", line};
                else
                    error = {105, "Unclosed quotation mark before the character string '" + name + "'.", line};
                return false;
            }
            countLines(i, k);
            t.kind = Token::Kind::Ident;
            t.quoted = true;
            t.text = std::move(name);
            i = k;
            if (tooLong(t))
                return false;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '@') {
            std::size_t k = i + 1;
            const bool sys = k < s.size() && s[k] == '@';
            if (sys) ++k;
            while (k < s.size() && identPart(static_cast<unsigned char>(s[k])))
                ++k;
            t.kind = sys ? Token::Kind::SysVariable : Token::Kind::Variable;
            t.text = std::string(s.substr(i, k - i));
            i = k;
            if (tooLong(t))
                return false;
            out.push_back(std::move(t));
            continue;
        }
        if (identStart(c)) {
            std::size_t k = i;
            while (k < s.size() && identPart(static_cast<unsigned char>(s[k])))
                ++k;
            t.kind = Token::Kind::Ident;
            t.text = std::string(s.substr(i, k - i));
            i = k;
            if (tooLong(t))
                return false;
            out.push_back(std::move(t));
            continue;
        }
        static const char *const two[] = {"<>", "!=", "<=", ">=", "!<", "!>"};
        std::string sym(1, char(c));
        if (i + 1 < s.size()) {
            const std::string pair{char(c), s[i + 1]};
            for (const char *p : two)
                if (pair == p)
                    sym = pair;
        }
        static const std::string singles = "=<>+-*/%(),.;&|^~";
        if (sym.size() == 1 && singles.find(char(c)) == std::string::npos) {
            error = {102, "Incorrect syntax near '" + sym + "'.", line};
            return false;
        }
        t.kind = Token::Kind::Symbol;
        t.text = sym;
        i += sym.size();
        out.push_back(std::move(t));
    }
    Token end;
    end.kind = Token::Kind::End;
    end.pos = s.size();
    end.line = line;
    out.push_back(end);
    return true;
}

} // namespace qts
