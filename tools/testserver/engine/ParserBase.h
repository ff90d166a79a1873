#pragma once

// The recursive-descent parser's shared state; statements in Parser.cpp,
// expressions in ParserExpr.cpp.

#include "Ast.h"
#include "Lexer.h"

#include <set>

namespace qts {

struct ParseFailure {
    int number = 102;
    std::string text;
    int line = 1;
    std::uint8_t severity = 0; // 0: the number's usual one
};

class Parser {
public:
    Parser(std::string_view sql, std::vector<Token> tokens) : sql_(sql), toks_(std::move(tokens)) {}
    ParsedBatch parseAll();

    // Expressions (ParserExpr.cpp).
    ExprPtr expr();
    TypeSpec typeSpec();
    std::shared_ptr<SelectStmt> select();

private:
    const Token &cur() const { return toks_[i_]; }
    const Token &peekTok(std::size_t ahead = 1) const
    {
        return toks_[std::min(i_ + ahead, toks_.size() - 1)];
    }
    bool atEnd() const { return cur().kind == Token::Kind::End; }
    bool isWord(const char *w) const { return isWordTok(cur(), w); }
    static bool isWordTok(const Token &t, const char *w);
    bool isSym(const char *s) const { return cur().kind == Token::Kind::Symbol && cur().text == s; }
    bool acceptWord(const char *w);
    bool acceptSym(const char *s);
    void expectWord(const char *w);
    void expectSym(const char *s);
    [[noreturn]] void syntaxError() const;
    [[noreturn]] void syntaxErrorAt(const Token &t) const;
    std::string identifier();          // a name (bracketed, quoted or regular, not reserved)
    bool isIdentifierStart() const;    // a name can start here
    TableRef tableName(bool allowVariable);
    int collationName();               // a collation this server knows (448 otherwise)
    void optionalAlias(TableRef &t);
    bool startsStatement() const;

    Statement statement();
    void createTable(CreateTableStmt &st, bool variable);
    ColumnDef columnDef(bool variable);
    // After REFERENCES: table [(columns)] and the actions SQL Server allows.
    void references(ForeignKeyDef &fk, bool variable);
    // After FOREIGN KEY: (columns) REFERENCES ...
    ForeignKeyDef foreignKey(std::string name, bool variable);
    Statement alterTable();
    SelectStmt selectBody();
    ExprPtr orExpr();
    ExprPtr andExpr();
    ExprPtr notExpr();
    ExprPtr predicate();
    ExprPtr additive();
    ExprPtr multiplicative();
    ExprPtr unary();
    ExprPtr primary();
    ExprPtr makeBinary(std::string op, ExprPtr l, ExprPtr r, std::size_t pos);

    std::string_view sql_;
    std::vector<Token> toks_;
    std::size_t i_ = 0;
    std::set<std::string> variables_; // folded names of declared table variables
    std::set<std::string> scalars_;   // folded names of declared scalar variables
    void declared(const Token &name); // 134 when the name is taken in this batch
};

bool isReservedWord(std::string_view word);

} // namespace qts
