// Expressions, type names and SELECT.

#include "ParserBase.h"

#include <cstdlib>

namespace qts {

TypeSpec Parser::typeSpec()
{
    TypeSpec t;
    if (cur().kind != Token::Kind::Ident)
        syntaxError();
    t.name = cur().text;
    ++i_;
    // Two-word names.
    if (iequals(t.name, "double") && acceptWord("PRECISION"))
        t.name = "double precision";
    else if (iequals(t.name, "national")) {
        if (acceptWord("CHARACTER")) t.name = "national character";
        else if (acceptWord("CHAR")) t.name = "national char";
        else if (acceptWord("TEXT")) t.name = "national text";
        else syntaxError();
        if (acceptWord("VARYING")) t.name += " varying";
    } else if ((iequals(t.name, "char") || iequals(t.name, "character")) && acceptWord("VARYING"))
        t.name = "character varying";
    if (acceptSym("(")) {
        // (max): varchar, nvarchar and varbinary from SQL Server 2005 on.
        const std::string lower = toLowerAscii(t.name);
        const bool maxable = lower == "varchar" || lower == "nvarchar" || lower == "varbinary" || lower == "character varying" ||
                             lower == "char varying" || lower == "national character varying" || lower == "national char varying";
        if (maxable && isWord("MAX") && currentServerVersion().atLeast(2005)) {
            ++i_;
            t.arg1 = kMaxArgument;
            expectSym(")");
            return t;
        }
        if (cur().kind != Token::Kind::Number)
            syntaxError();
        t.arg1 = std::atoi(cur().text.c_str());
        if ((lower == "time" || lower == "datetime2" || lower == "datetimeoffset") && currentServerVersion().atLeast(2008) &&
            (cur().text.size() > 2 || t.arg1 > 7))
            throw ParseFailure{1002, "Line " + std::to_string(cur().line) + ": Specified scale " + cur().text + " is invalid.",
                               cur().line, 16};
        ++i_;
        if (acceptSym(",")) {
            if (cur().kind != Token::Kind::Number)
                syntaxError();
            t.arg2 = std::atoi(cur().text.c_str());
            ++i_;
        }
        expectSym(")");
    }
    return t;
}

ExprPtr Parser::expr() { return orExpr(); }

ExprPtr Parser::makeBinary(std::string op, ExprPtr l, ExprPtr r, std::size_t pos)
{
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Binary;
    e->op = std::move(op);
    e->pos = pos;
    e->args.push_back(std::move(l));
    e->args.push_back(std::move(r));
    return e;
}

ExprPtr Parser::orExpr()
{
    auto l = andExpr();
    while (isWord("OR")) {
        const std::size_t pos = cur().pos;
        ++i_;
        l = makeBinary("OR", std::move(l), andExpr(), pos);
    }
    return l;
}

ExprPtr Parser::andExpr()
{
    auto l = notExpr();
    while (isWord("AND")) {
        const std::size_t pos = cur().pos;
        ++i_;
        l = makeBinary("AND", std::move(l), notExpr(), pos);
    }
    return l;
}

ExprPtr Parser::notExpr()
{
    if (isWord("NOT")) {
        const std::size_t pos = cur().pos;
        ++i_;
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Unary;
        e->op = "NOT";
        e->pos = pos;
        e->args.push_back(notExpr());
        return e;
    }
    return predicate();
}

ExprPtr Parser::predicate()
{
    if (isWord("EXISTS")) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Exists;
        e->pos = cur().pos;
        ++i_;
        expectSym("(");
        e->subquery = select();
        expectSym(")");
        return e;
    }
    auto l = additive();
    static const char *const cmp[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char *op : cmp) {
        if (isSym(op)) {
            const std::size_t pos = cur().pos;
            ++i_;
            std::string o = op;
            if (o == "!=") o = "<>";
            if (o == "!<") o = ">=";
            if (o == "!>") o = "<=";
            return makeBinary(o, std::move(l), additive(), pos);
        }
    }
    const std::size_t pos = cur().pos;
    bool negated = false;
    if (isWord("NOT") && (isWordTok(peekTok(), "IN") || isWordTok(peekTok(), "LIKE") || isWordTok(peekTok(), "BETWEEN"))) {
        negated = true;
        ++i_;
    }
    if (acceptWord("IS")) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::IsNull;
        e->pos = pos;
        e->negated = acceptWord("NOT");
        expectWord("NULL");
        e->args.push_back(std::move(l));
        return e;
    }
    if (acceptWord("IN")) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::InList;
        e->pos = pos;
        e->negated = negated;
        e->args.push_back(std::move(l));
        expectSym("(");
        do {
            e->args.push_back(expr());
        } while (acceptSym(","));
        expectSym(")");
        return e;
    }
    if (acceptWord("LIKE")) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Like;
        e->pos = pos;
        e->negated = negated;
        e->args.push_back(std::move(l));
        e->args.push_back(additive());
        return e;
    }
    if (acceptWord("BETWEEN")) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Between;
        e->pos = pos;
        e->negated = negated;
        e->args.push_back(std::move(l));
        e->args.push_back(additive());
        expectWord("AND");
        e->args.push_back(additive());
        return e;
    }
    if (negated)
        syntaxError();
    return l;
}

ExprPtr Parser::additive()
{
    auto l = multiplicative();
    while (isSym("+") || isSym("-") || isSym("&") || isSym("|") || isSym("^")) {
        const std::string op = cur().text;
        const std::size_t pos = cur().pos;
        ++i_;
        l = makeBinary(op, std::move(l), multiplicative(), pos);
    }
    return l;
}

ExprPtr Parser::multiplicative()
{
    auto l = unary();
    while (isSym("*") || isSym("/") || isSym("%")) {
        const std::string op = cur().text;
        const std::size_t pos = cur().pos;
        ++i_;
        l = makeBinary(op, std::move(l), unary(), pos);
    }
    return l;
}

ExprPtr Parser::unary()
{
    if (isSym("-") || isSym("+") || isSym("~")) {
        const std::string op = cur().text;
        const std::size_t pos = cur().pos;
        ++i_;
        if (op == "-" && cur().kind == Token::Kind::Number) {
            // A negative literal keeps its own type (-2147483648 is an int).
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Literal;
            e->pos = pos;
            TypedValue v;
            if (cur().text == "2147483648") {
                v = intValue(-2147483648LL);
            } else {
                v = numberLiteral(cur().text);
                if (v.v.kind == Value::Kind::Int)
                    v.v.i = -v.v.i;
                else if (v.v.kind == Value::Kind::Decimal)
                    v.v.unscaled = -v.v.unscaled;
                else
                    v.v.f = -v.v.f;
            }
            e->value = std::move(v);
            ++i_;
            return e;
        }
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Unary;
        e->op = op;
        e->pos = pos;
        e->args.push_back(unary());
        return e;
    }
    auto e = primary();
    while (isWord("COLLATE")) {
        auto c = std::make_unique<Expr>();
        c->kind = Expr::Kind::Collate;
        c->pos = cur().pos;
        ++i_;
        c->collateTo = std::uint8_t(collationName());
        c->args.push_back(std::move(e));
        e = std::move(c);
    }
    return e;
}

ExprPtr Parser::primary()
{
    auto e = std::make_unique<Expr>();
    const Token &t = cur();
    e->pos = t.pos;
    switch (t.kind) {
    case Token::Kind::Number:
        e->value = numberLiteral(t.text);
        ++i_;
        return e;
    case Token::Kind::String:
        e->value = literalText(t.text, false);
        ++i_;
        return e;
    case Token::Kind::NString:
        e->value = literalText(t.text, true);
        ++i_;
        return e;
    case Token::Kind::Binary:
        e->value = bytesValue(t.text);
        ++i_;
        return e;
    case Token::Kind::SysVariable:
        e->kind = Expr::Kind::SysVar;
        e->name = toLowerAscii(t.text);
        ++i_;
        return e;
    case Token::Kind::Variable:
        if (!scalars_.count(foldCase(t.text)))
            throw ParseFailure{137, "Must declare the variable '" + t.text + "'.", t.line};
        e->kind = Expr::Kind::Variable;
        e->name = t.text;
        ++i_;
        return e;
    case Token::Kind::Symbol:
        if (t.text == "(") {
            ++i_;
            if (isWord("SELECT")) {
                e->kind = Expr::Kind::Subquery;
                e->subquery = select();
                expectSym(")");
                return e;
            }
            auto inner = expr();
            expectSym(")");
            return inner;
        }
        syntaxError();
    case Token::Kind::End:
        syntaxError();
    case Token::Kind::Ident:
        break;
    }
    if (isWord("NULL")) {
        ++i_;
        e->value = nullValue();
        return e;
    }
    const bool call = peekTok().kind == Token::Kind::Symbol && peekTok().text == "(" && !t.quoted;
    if (call && isWord("CAST")) {
        i_ += 2;
        e->kind = Expr::Kind::Func;
        e->name = "convert";
        e->args.push_back(expr());
        expectWord("AS");
        e->castType = typeSpec();
        expectSym(")");
        return e;
    }
    if (call && isWord("CONVERT")) {
        i_ += 2;
        e->kind = Expr::Kind::Func;
        e->name = "convert";
        e->castType = typeSpec();
        expectSym(",");
        e->args.push_back(expr());
        if (acceptSym(",")) {
            const bool neg = acceptSym("-");
            if (cur().kind != Token::Kind::Number)
                syntaxError();
            e->style = std::atoi(cur().text.c_str()) * (neg ? -1 : 1);
            ++i_;
        }
        expectSym(")");
        return e;
    }
    if (call && (!isReservedWord(t.text) || isWord("COALESCE") || isWord("NULLIF") || isWord("LEFT") || isWord("RIGHT") || isWord("USER"))) {
        e->kind = Expr::Kind::Func;
        e->name = toLowerAscii(t.text);
        i_ += 2;
        if (!isSym(")")) {
            do {
                if (isSym("*")) {
                    auto star = std::make_unique<Expr>();
                    star->kind = Expr::Kind::Star;
                    star->pos = cur().pos;
                    ++i_;
                    e->args.push_back(std::move(star));
                } else {
                    acceptWord("DISTINCT");
                    e->args.push_back(expr());
                }
            } while (acceptSym(","));
        }
        expectSym(")");
        return e;
    }
    if (!t.quoted && (isWord("CURRENT_TIMESTAMP") || isWord("CURRENT_USER") || isWord("SESSION_USER") || isWord("SYSTEM_USER") || isWord("USER"))) {
        e->kind = Expr::Kind::Func;
        e->name = toLowerAscii(t.text);
        ++i_;
        return e;
    }
    e->kind = Expr::Kind::Column;
    e->parts.push_back(identifier());
    while (isSym(".") && peekTok().kind == Token::Kind::Ident) {
        ++i_;
        // After a qualifier a keyword names a column too (c.precision of sys.columns).
        e->parts.push_back(toks_[i_++].text);
    }
    if (e->parts.size() > 4)
        syntaxError();
    return e;
}

std::shared_ptr<SelectStmt> Parser::select()
{
    return std::make_shared<SelectStmt>(selectBody());
}

SelectStmt Parser::selectBody()
{
    SelectStmt s;
    expectWord("SELECT");
    if (acceptWord("DISTINCT"))
        s.distinct = true;
    else
        acceptWord("ALL");
    if (acceptWord("TOP")) {
        const bool paren = acceptSym("(");
        if (cur().kind != Token::Kind::Number)
            syntaxError();
        s.top = std::strtoll(cur().text.c_str(), nullptr, 10);
        ++i_;
        if (paren)
            expectSym(")");
    }
    do {
        SelectItem item;
        if (isSym("*")) {
            ++i_;
            item.star = true;
        } else if (cur().kind == Token::Kind::Ident && peekTok().kind == Token::Kind::Symbol && peekTok().text == "." &&
                   peekTok(2).kind == Token::Kind::Symbol && peekTok(2).text == "*") {
            item.star = true;
            item.starQualifier = cur().text;
            i_ += 3;
        } else if ((isIdentifierStart() || cur().kind == Token::Kind::String) && peekTok().kind == Token::Kind::Symbol && peekTok().text == "=") {
            item.alias = cur().text;
            i_ += 2;
            item.expr = expr();
        } else {
            item.expr = expr();
            if (acceptWord("AS")) {
                if (cur().kind == Token::Kind::String || cur().kind == Token::Kind::NString) {
                    item.alias = cur().text;
                    ++i_;
                } else {
                    item.alias = identifier();
                }
            } else if (cur().kind == Token::Kind::String) {
                item.alias = cur().text;
                ++i_;
            } else if (isIdentifierStart() && !startsStatement()) {
                item.alias = identifier();
            }
        }
        s.items.push_back(std::move(item));
    } while (acceptSym(","));
    if (acceptWord("FROM")) {
        s.from = tableName(true);
        optionalAlias(s.from);
        for (;;) {
            JoinClause j;
            if (acceptWord("LEFT")) {
                acceptWord("OUTER");
                j.left = true;
            } else if (!acceptWord("INNER") && !isWord("JOIN")) {
                break;
            }
            expectWord("JOIN");
            j.table = tableName(true);
            optionalAlias(j.table);
            expectWord("ON");
            j.on = std::shared_ptr<Expr>(expr());
            s.joins.push_back(std::move(j));
        }
        if (isSym(",") || isWord("CROSS") || isWord("RIGHT") || isWord("FULL"))
            syntaxError();
    }
    if (acceptWord("WHERE"))
        s.where = expr();
    if (acceptWord("ORDER")) {
        expectWord("BY");
        do {
            OrderItem o;
            o.expr = expr();
            if (acceptWord("DESC"))
                o.descending = true;
            else
                acceptWord("ASC");
            s.orderBy.push_back(std::move(o));
        } while (acceptSym(","));
    }
    return s;
}

} // namespace qts
