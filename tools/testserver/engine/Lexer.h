#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qts {

struct Token {
    enum class Kind {
        Ident,       // text: the name (brackets/quotes removed); quoted tells which
        Number,      // text as written
        String,      // text: the value ('' undone, line continuations removed)
        NString,     // N'...'
        Binary,      // text: the raw bytes
        Variable,    // @name (text includes the @)
        SysVariable, // @@name
        Symbol,      // = <> != < > <= >= !< !> + - * / % ( ) , . ; & | ^ ~
        End,
    };
    Kind kind = Kind::End;
    std::string text;
    bool quoted = false;
    std::size_t pos = 0;
    int line = 1;
};

struct LexError {
    int number = 0;
    std::string text;
    int line = 1;
};

// Splits a batch into tokens, dropping comments. Returns false with error set
// for an unclosed quote or comment.
bool tokenize(std::string_view sql, std::vector<Token> &out, LexError &error);

} // namespace qts
