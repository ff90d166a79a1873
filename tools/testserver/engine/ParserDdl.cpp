// Table definitions: CREATE TABLE and DECLARE @t TABLE.

#include "ParserBase.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qts {

void Parser::createTable(CreateTableStmt &ct, bool variable)
{
    expectSym("(");
    do {
        if (isWord("CONSTRAINT") || isWord("PRIMARY") || isWord("UNIQUE") || isWord("CHECK") || isWord("FOREIGN")) {
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
            } else if (isWord("FOREIGN") && !variable) {
                ++i_;
                ct.foreignKeys.push_back(foreignKey(name, variable));
            } else {
                syntaxError();
            }
            continue;
        }
        ct.columns.push_back(columnDef(variable));
    } while (acceptSym(","));
    expectSym(")");
}

ForeignKeyDef Parser::foreignKey(std::string name, bool variable)
{
    ForeignKeyDef fk;
    fk.name = std::move(name);
    fk.pos = cur().pos;
    expectWord("KEY");
    expectSym("(");
    do {
        fk.columns.push_back(identifier());
    } while (acceptSym(","));
    expectSym(")");
    expectWord("REFERENCES");
    references(fk, variable);
    return fk;
}

void Parser::references(ForeignKeyDef &fk, bool variable)
{
    // A table variable takes no FOREIGN KEY: REFERENCES is where its grammar ends.
    if (variable)
        syntaxErrorAt(toks_[i_ - 1]);
    fk.refTable = tableName(false);
    if (acceptSym("(")) {
        do {
            fk.refColumns.push_back(identifier());
        } while (acceptSym(","));
        expectSym(")");
    }
    // ON DELETE / ON UPDATE: NO ACTION is what this server does; it has no cascades.
    while (isWord("ON") && (isWordTok(peekTok(), "DELETE") || isWordTok(peekTok(), "UPDATE"))) {
        i_ += 2;
        if (acceptWord("NO")) {
            expectWord("ACTION");
            continue;
        }
        if (isWord("CASCADE") || isWord("SET"))
            throw ParseFailure{50000, "This test server does not run cascading referential actions; only NO ACTION is supported.", cur().line, 16};
        syntaxError();
    }
    if (isWord("NOT") && isWordTok(peekTok(), "FOR")) {
        i_ += 2;
        expectWord("REPLICATION");
    }
}

ColumnDef Parser::columnDef(bool variable)
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
    std::size_t namedAt = 0; // the token after the last CONSTRAINT name
    std::string pkName;
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
            namedAt = i_;
        } else if (acceptWord("PRIMARY")) {
            pkName = c.constraintName;
            expectWord("KEY");
            if (!acceptWord("CLUSTERED"))
                acceptWord("NONCLUSTERED");
            c.primaryKey = true;
        } else if (acceptWord("UNIQUE")) {
            if (!acceptWord("CLUSTERED"))
                acceptWord("NONCLUSTERED");
        } else if (currentServerVersion().atLeast(2008) && acceptWord("SPARSE")) {
            c.sparse = true;
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
        } else if (isWord("FOREIGN") || isWord("REFERENCES")) {
            // [CONSTRAINT n] [FOREIGN KEY] REFERENCES t [(c)]: the name given just before belongs to it.
            ForeignKeyDef fk;
            fk.pos = cur().pos;
            if (namedAt == i_)
                fk.name = c.constraintName;
            if (acceptWord("FOREIGN"))
                expectWord("KEY");
            expectWord("REFERENCES");
            references(fk, variable);
            fk.columns.push_back(c.name);
            c.references.push_back(std::move(fk));
        } else {
            break;
        }
    }
    if (c.primaryKey)
        c.constraintName = pkName;
    return c;
}

Statement Parser::alterTable()
{
    Statement st;
    AlterTableStmt at;
    at.table = tableName(false);
    if (acceptWord("WITH")) {
        if (acceptWord("CHECK"))
            at.with = 1;
        else if (acceptWord("NOCHECK"))
            at.with = -1;
        else
            syntaxError();
    }
    if (acceptWord("ADD")) {
        std::string name;
        if (acceptWord("CONSTRAINT"))
            name = identifier();
        if (!acceptWord("FOREIGN"))
            throw ParseFailure{50000, "This test server adds only FOREIGN KEY constraints with ALTER TABLE.", cur().line, 16};
        at.action = AlterTableStmt::Action::AddForeignKey;
        at.foreignKey = foreignKey(std::move(name), false);
    } else if (at.with == 0 && acceptWord("DROP")) {
        expectWord("CONSTRAINT");
        at.action = AlterTableStmt::Action::DropConstraint;
        at.names.push_back(identifier());
    } else if (acceptWord("CHECK") || acceptWord("NOCHECK")) {
        at.action = iequals(toks_[i_ - 1].text, "CHECK") ? AlterTableStmt::Action::Check : AlterTableStmt::Action::NoCheck;
        expectWord("CONSTRAINT");
        if (acceptWord("ALL")) {
            at.all = true;
        } else {
            do {
                at.names.push_back(identifier());
            } while (acceptSym(","));
        }
    } else {
        syntaxError();
    }
    st.body = std::move(at);
    return st;
}

} // namespace qts
