// Table definitions: CREATE TABLE and DECLARE @t TABLE.

#include "ParserBase.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qts {

void Parser::createTable(CreateTableStmt &ct, bool variable)
{
    (void)variable;
    expectSym("(");
    do {
        if (isWord("CONSTRAINT") || isWord("PRIMARY") || isWord("UNIQUE") || isWord("CHECK")) {
            std::string name;
            if (acceptWord("CONSTRAINT"))
                name = identifier();
            if (acceptWord("PRIMARY")) {
                expectWord("KEY");
                if (!acceptWord("CLUSTERED"))
                    acceptWord("NONCLUSTERED");
                if (!ct.primaryKey.empty() || std::any_of(ct.columns.begin(), ct.columns.end(), [](const ColumnDef &c) { return c.primaryKey; }))
                    throw ParseFailure{8110, "Cannot add multiple PRIMARY KEY constraints to table '" + ct.table.name + "'.", cur().line};
                expectSym("(");
                do {
                    ct.primaryKey.push_back(identifier());
                    if (!acceptWord("ASC"))
                        acceptWord("DESC");
                } while (acceptSym(","));
                expectSym(")");
                ct.constraintName = name;
            } else if (acceptWord("UNIQUE")) {
                if (!acceptWord("CLUSTERED"))
                    acceptWord("NONCLUSTERED");
                expectSym("(");
                do {
                    identifier();
                    if (!acceptWord("ASC"))
                        acceptWord("DESC");
                } while (acceptSym(","));
                expectSym(")");
            } else if (acceptWord("CHECK")) {
                expectSym("(");
                expr();
                expectSym(")");
            } else {
                syntaxError();
            }
            continue;
        }
        ct.columns.push_back(columnDef());
    } while (acceptSym(","));
    expectSym(")");
}

ColumnDef Parser::columnDef()
{
    ColumnDef c;
    c.name = identifier();
    if (acceptWord("AS")) {
        const std::size_t start = cur().pos;
        c.computed = expr();
        const std::size_t end = cur().pos;
        std::string text(sql_.substr(start, end - start));
        while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r' || text.back() == '\t'))
            text.pop_back();
        c.computedText = text;
        return c;
    }
    c.type = typeSpec();
    for (;;) {
        if (acceptWord("COLLATE")) {
            c.collation = collationName();
        } else if (acceptWord("IDENTITY")) {
            c.identity = true;
            if (acceptSym("(")) {
                const auto num = [&]() -> std::int64_t {
                    const bool neg = acceptSym("-");
                    if (!neg)
                        acceptSym("+");
                    if (cur().kind != Token::Kind::Number)
                        syntaxError();
                    const std::int64_t v = std::strtoll(cur().text.c_str(), nullptr, 10);
                    ++i_;
                    return neg ? -v : v;
                };
                c.seed = num();
                expectSym(",");
                c.increment = num();
                expectSym(")");
            }
        } else if (acceptWord("NOT")) {
            expectWord("NULL");
            c.nullable = 0;
        } else if (acceptWord("NULL")) {
            c.nullable = 1;
        } else if (acceptWord("CONSTRAINT")) {
            c.constraintName = identifier();
        } else if (acceptWord("PRIMARY")) {
            expectWord("KEY");
            if (!acceptWord("CLUSTERED"))
                acceptWord("NONCLUSTERED");
            c.primaryKey = true;
        } else if (acceptWord("UNIQUE")) {
            if (!acceptWord("CLUSTERED"))
                acceptWord("NONCLUSTERED");
        } else if (acceptWord("ROWGUIDCOL")) {
        } else if (acceptWord("DEFAULT")) {
            const std::size_t start = cur().pos;
            c.defaultValue = std::shared_ptr<Expr>(expr());
            c.defaultText = std::string(sql_.substr(start, cur().pos - start));
            while (!c.defaultText.empty() && std::isspace(static_cast<unsigned char>(c.defaultText.back())))
                c.defaultText.pop_back();
        } else if (acceptWord("CHECK")) {
            expectSym("(");
            expr();
            expectSym(")");
        } else {
            break;
        }
    }
    return c;
}

} // namespace qts
