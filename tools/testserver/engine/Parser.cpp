// Statements of a batch.

#include "ParserBase.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qts {

namespace {

const char *const kReserved[] = {
    "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN", "BETWEEN", "BREAK",
    "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT", "CLOSE", "CLUSTERED", "COALESCE",
    "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT", "CONTAINS", "CONTAINSTABLE", "CONTINUE",
    "CONVERT", "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP",
    "CURRENT_USER", "CURSOR", "DATABASE", "DBCC", "DEALLOCATE", "DECLARE", "DEFAULT", "DELETE", "DENY",
    "DESC", "DISK", "DISTINCT", "DISTRIBUTED", "DOUBLE", "DROP", "DUMMY", "DUMP", "ELSE", "END", "ERRLVL",
    "ESCAPE", "EXCEPT", "EXEC", "EXECUTE", "EXISTS", "EXIT", "FETCH", "FILE", "FILLFACTOR", "FOR",
    "FOREIGN", "FREETEXT", "FREETEXTTABLE", "FROM", "FULL", "FUNCTION", "GOTO", "GRANT", "GROUP", "HAVING",
    "HOLDLOCK", "IDENTITY", "IDENTITY_INSERT", "IDENTITYCOL", "IF", "IN", "INDEX", "INNER", "INSERT",
    "INTERSECT", "INTO", "IS", "JOIN", "KEY", "KILL", "LEFT", "LIKE", "LINENO", "LOAD", "NATIONAL",
    "NOCHECK", "NONCLUSTERED", "NOT", "NULL", "NULLIF", "OF", "OFF", "OFFSETS", "ON", "OPEN",
    "OPENDATASOURCE", "OPENQUERY", "OPENROWSET", "OPENXML", "OPTION", "OR", "ORDER", "OUTER", "OVER",
    "PERCENT", "PLAN", "PRECISION", "PRIMARY", "PRINT", "PROC", "PROCEDURE", "PUBLIC", "RAISERROR", "READ",
    "READTEXT", "RECONFIGURE", "REFERENCES", "REPLICATION", "RESTORE", "RESTRICT", "RETURN", "REVOKE",
    "RIGHT", "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL", "RULE", "SAVE", "SCHEMA", "SELECT", "SESSION_USER",
    "SET", "SETUSER", "SHUTDOWN", "SOME", "STATISTICS", "SYSTEM_USER", "TABLE", "TEXTSIZE", "THEN", "TO",
    "TOP", "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE", "TSEQUAL", "UNION", "UNIQUE", "UPDATE",
    "UPDATETEXT", "USE", "USER", "VALUES", "VARYING", "VIEW", "WAITFOR", "WHEN", "WHERE", "WHILE", "WITH",
    "WRITETEXT",
};

const char *const kStatementStarts[] = {
    "SELECT", "INSERT", "UPDATE", "DELETE", "CREATE", "DROP", "USE", "DECLARE", "SET", "PRINT", "EXEC",
    "EXECUTE", "DBCC", "BEGIN", "COMMIT", "ROLLBACK", "IF", "ELSE", "END", "SAVE", "TRUNCATE", "WAITFOR",
    "ALTER", "RAISERROR", "RETURN",
};

} // namespace

bool isReservedWord(std::string_view word)
{
    for (const char *w : kReserved)
        if (iequals(word, w))
            return true;
    return false;
}

bool Parser::isWordTok(const Token &t, const char *w)
{
    return t.kind == Token::Kind::Ident && !t.quoted && iequals(t.text, w);
}

bool Parser::acceptWord(const char *w)
{
    if (!isWord(w))
        return false;
    ++i_;
    return true;
}

bool Parser::acceptSym(const char *s)
{
    if (!isSym(s))
        return false;
    ++i_;
    return true;
}

void Parser::expectWord(const char *w)
{
    if (!acceptWord(w))
        syntaxError();
}

void Parser::expectSym(const char *s)
{
    if (!acceptSym(s))
        syntaxError();
}

void Parser::syntaxError() const
{
    // At the end of the batch SQL Server names the last token it read.
    if (atEnd() && i_ > 0)
        syntaxErrorAt(toks_[i_ - 1]);
    syntaxErrorAt(cur());
}

void Parser::syntaxErrorAt(const Token &t) const
{
    ParseFailure f;
    f.line = t.line;
    if (t.kind == Token::Kind::Ident && !t.quoted && isReservedWord(t.text)) {
        f.number = 156;
        f.text = "Incorrect syntax near the keyword '" + t.text + "'.";
    } else {
        std::string near = t.text;
        if (t.kind == Token::Kind::Binary) {
            near = std::string(sql_.substr(t.pos, std::min<std::size_t>(sql_.size() - t.pos, 2 + 2 * t.text.size())));
        } else if (t.kind == Token::Kind::Number || t.kind == Token::Kind::Symbol) {
            near = t.text;
        }
        f.number = 102;
        f.text = "Incorrect syntax near '" + near + "'.";
    }
    throw f;
}

bool Parser::isIdentifierStart() const
{
    const Token &t = cur();
    return t.kind == Token::Kind::Ident && (t.quoted || !isReservedWord(t.text));
}

std::string Parser::identifier()
{
    if (!isIdentifierStart())
        syntaxError();
    return toks_[i_++].text;
}

int Parser::collationName()
{
    const Token t = cur();
    const std::string name = identifier();
    const int id = findCollation(name);
    if (id < 0)
        throw ParseFailure{448, "Invalid collation '" + name + "'.", t.line};
    return id;
}

bool Parser::startsStatement() const
{
    if (cur().kind != Token::Kind::Ident || cur().quoted)
        return false;
    for (const char *w : kStatementStarts)
        if (iequals(cur().text, w))
            return true;
    return false;
}

TableRef Parser::tableName(bool allowVariable)
{
    TableRef t;
    t.pos = cur().pos;
    if (cur().kind == Token::Kind::Variable) {
        if (!allowVariable)
            syntaxError();
        t.variable = true;
        t.name = cur().text;
        if (scalars_.count(foldCase(t.name)))
            throw ParseFailure{1087, "Must declare the table variable \"" + t.name + "\".", cur().line, 15};
        if (!variables_.count(foldCase(t.name)))
            throw ParseFailure{137, "Must declare the variable '" + t.name + "'.", cur().line};
        ++i_;
        return t;
    }
    // [db.][owner.]name, with empty parts allowed in the middle (master..sysdatabases).
    std::vector<std::string> parts;
    parts.push_back(identifier());
    while (isSym(".")) {
        ++i_;
        if (isSym(".")) {
            parts.emplace_back();
            continue;
        }
        parts.push_back(identifier());
    }
    if (parts.size() > 3)
        syntaxError();
    t.name = parts.back();
    if (parts.size() >= 2)
        t.schema = parts[parts.size() - 2];
    if (parts.size() == 3)
        t.database = parts[0];
    return t;
}

void Parser::optionalAlias(TableRef &t)
{
    if (acceptWord("AS")) {
        t.alias = identifier();
        return;
    }
    if (isIdentifierStart() && !startsStatement())
        t.alias = identifier();
}

ParsedBatch Parser::parseAll()
{
    ParsedBatch batch;
    while (!atEnd()) {
        if (acceptSym(";"))
            continue;
        batch.statements.push_back(statement());
    }
    return batch;
}

Statement Parser::statement()
{
    Statement st;
    st.line = cur().line;
    if (isWord("SELECT")) {
        st.body = selectBody();
    } else if (acceptWord("INSERT")) {
        InsertStmt ins;
        acceptWord("INTO");
        ins.table = tableName(true);
        if (isSym("(") ) {
            ++i_;
            ins.columnList = true;
            do {
                ins.columns.push_back(identifier());
            } while (acceptSym(","));
            expectSym(")");
        }
        if (acceptWord("VALUES")) {
            expectSym("(");
            do {
                ins.values.push_back(expr());
            } while (acceptSym(","));
            expectSym(")");
        } else if (isWord("SELECT")) {
            ins.select = std::make_shared<SelectStmt>(selectBody());
        } else if (acceptWord("DEFAULT")) {
            expectWord("VALUES");
            ins.defaultValues = true;
        } else {
            syntaxError();
        }
        st.body = std::move(ins);
    } else if (acceptWord("UPDATE")) {
        UpdateStmt up;
        up.table = tableName(true);
        expectWord("SET");
        do {
            std::vector<std::string> parts{identifier()};
            while (acceptSym("."))
                parts.push_back(identifier());
            expectSym("=");
            up.sets.emplace_back(parts.back(), expr());
        } while (acceptSym(","));
        if (acceptWord("FROM")) {
            up.from = tableName(true);
            optionalAlias(up.from);
        }
        if (acceptWord("WHERE"))
            up.where = expr();
        st.body = std::move(up);
    } else if (acceptWord("DELETE")) {
        DeleteStmt del;
        acceptWord("FROM");
        del.table = tableName(true);
        if (acceptWord("FROM")) {
            del.from = tableName(true);
            optionalAlias(del.from);
        }
        if (acceptWord("WHERE"))
            del.where = expr();
        st.body = std::move(del);
    } else if (acceptWord("TRUNCATE")) {
        expectWord("TABLE");
        DeleteStmt del;
        del.table = tableName(false);
        del.truncate = true;
        st.body = std::move(del);
    } else if (acceptWord("CREATE")) {
        if (acceptWord("DATABASE")) {
            CreateDatabaseStmt cd{identifier()};
            if (acceptWord("COLLATE"))
                cd.collation = collationName();
            st.body = std::move(cd);
        } else if (acceptWord("TABLE")) {
            CreateTableStmt ct;
            const Token nameToken = cur();
            ct.table = tableName(false);
            // A #name leaves room for the suffix that makes it unique in tempdb.
            if (isTempName(ct.table.name) && utf16Units(ct.table.name) > 116)
                throw ParseFailure{193, "The object or column name starting with '" + utf16Prefix(ct.table.name, 116) +
                                            "' is too long. The maximum length is 116 characters.", nameToken.line};
            createTable(ct, false);
            st.body = std::move(ct);
        } else {
            syntaxError();
        }
    } else if (acceptWord("DROP")) {
        if (acceptWord("DATABASE")) {
            DropDatabaseStmt dd;
            do {
                dd.names.push_back(identifier());
            } while (acceptSym(","));
            st.body = std::move(dd);
        } else if (acceptWord("TABLE")) {
            DropTableStmt dt;
            do {
                dt.tables.push_back(tableName(false));
            } while (acceptSym(","));
            st.body = std::move(dt);
        } else {
            syntaxError();
        }
    } else if (acceptWord("ALTER")) {
        expectWord("TABLE");
        const int line = st.line;
        st = alterTable();
        st.line = line;
    } else if (acceptWord("USE")) {
        st.body = UseStmt{identifier()};
    } else if (acceptWord("DECLARE")) {
        if (cur().kind != Token::Kind::Variable)
            syntaxError();
        if (isWordTok(peekTok(), "TABLE") || (isWordTok(peekTok(), "AS") && isWordTok(peekTok(2), "TABLE"))) {
            const Token nameTok = cur();
            ++i_;
            acceptWord("AS");
            ++i_;
            declared(nameTok);
            DeclareTableStmt dt;
            dt.def.table.name = nameTok.text;
            dt.def.table.variable = true;
            createTable(dt.def, true);
            variables_.insert(foldCase(nameTok.text));
            st.body = std::move(dt);
        } else {
            DeclareVarStmt dv;
            do {
                if (cur().kind != Token::Kind::Variable)
                    syntaxError();
                const Token nameTok = cur();
                ++i_;
                acceptWord("AS");
                if (isWord("TABLE"))
                    syntaxError();
                TypeSpec type = typeSpec();
                declared(nameTok);
                scalars_.insert(foldCase(nameTok.text));
                dv.vars.emplace_back(nameTok.text, std::move(type));
            } while (acceptSym(","));
            st.body = std::move(dv);
        }
    } else if (isWord("SET") && peekTok().kind == Token::Kind::Variable) {
        ++i_;
        SetVarStmt sv;
        sv.name = cur().text;
        if (!scalars_.count(foldCase(sv.name)))
            throw ParseFailure{137, "Must declare the variable '" + sv.name + "'.", cur().line};
        ++i_;
        expectSym("=");
        sv.value = expr();
        st.body = std::move(sv);
    } else if (acceptWord("RAISERROR")) {
        RaiseErrorStmt re;
        expectSym("(");
        do {
            re.args.push_back(expr());
        } while (acceptSym(","));
        expectSym(")");
        if (re.args.size() < 3)
            syntaxErrorAt(toks_[i_ - 1]);
        if (acceptWord("WITH")) {
            do {
                if (acceptWord("LOG"))
                    re.withLog = true;
                else if (acceptWord("SETERROR"))
                    re.withSetError = true;
                else if (!acceptWord("NOWAIT"))
                    syntaxError();
            } while (acceptSym(","));
        }
        st.body = std::move(re);
    } else if (acceptWord("RETURN")) {
        st.body = ReturnStmt{};
    } else if (acceptWord("SET")) {
        SetOptionStmt so;
        if (!isIdentifierStart() && !(cur().kind == Token::Kind::Ident))
            syntaxError();
        so.option = toLowerAscii(cur().text);
        std::transform(so.option.begin(), so.option.end(), so.option.begin(), [](char c) { return char(std::toupper(static_cast<unsigned char>(c))); });
        ++i_;
        if (so.option == "IDENTITY_INSERT") {
            so.table = tableName(false);
            if (acceptWord("ON")) so.on = true;
            else if (acceptWord("OFF")) so.on = false;
            else syntaxError();
        } else if (so.option == "NOCOUNT") {
            if (acceptWord("ON")) so.on = true;
            else if (acceptWord("OFF")) so.on = false;
            else syntaxError();
        } else if (so.option == "TEXTSIZE") {
            const bool negative = acceptSym("-");
            if (cur().kind != Token::Kind::Number || cur().text.find_first_not_of("0123456789") != std::string::npos ||
                cur().text.size() > 10)
                syntaxError();
            so.number = std::strtoll(cur().text.c_str(), nullptr, 10) * (negative ? -1 : 1);
            if (so.number > 2147483647 || so.number < -1)
                throw ParseFailure{102, "Incorrect syntax near '" + cur().text + "'.", cur().line};
            ++i_;
        } else {
            // Other options are accepted as they stand: up to the next statement.
            while (!atEnd() && !isSym(";") && !startsStatement())
                ++i_;
        }
        st.body = std::move(so);
    } else if (acceptWord("PRINT")) {
        st.body = PrintStmt{expr()};
    } else if (acceptWord("EXEC") || acceptWord("EXECUTE")) {
        ExecStmt ex;
        std::vector<std::string> parts{identifier()};
        while (acceptSym(".")) {
            if (isSym("."))
                continue;
            parts.push_back(identifier());
        }
        ex.procedure = parts.back();
        if (!atEnd() && !isSym(";") && !startsStatement()) {
            do {
                if (cur().kind == Token::Kind::Variable && peekTok().kind == Token::Kind::Symbol && peekTok().text == "=")
                    i_ += 2;
                ex.args.push_back(expr());
            } while (acceptSym(","));
        }
        st.body = std::move(ex);
    } else if (acceptWord("DBCC")) {
        CheckIdentStmt ci;
        if (!acceptWord("CHECKIDENT"))
            syntaxError();
        expectSym("(");
        if (cur().kind == Token::Kind::String || cur().kind == Token::Kind::NString) {
            ci.table.name = cur().text;
            ci.table.pos = cur().pos;
            ci.nameIsLiteral = true;
            ++i_;
        } else {
            ci.table = tableName(false);
        }
        if (acceptSym(",")) {
            if (acceptWord("RESEED")) {
                ci.reseed = true;
                if (acceptSym(","))
                    ci.newValue = expr();
            } else if (acceptWord("NORESEED")) {
                ci.noReseed = true;
            } else {
                syntaxError();
            }
        }
        expectSym(")");
        if (acceptWord("WITH")) {
            if (!acceptWord("NO_INFOMSGS"))
                syntaxError();
            ci.noInfoMessages = true;
        }
        st.body = std::move(ci);
    } else if (acceptWord("WAITFOR")) {
        WaitForStmt w;
        if (acceptWord("TIME"))
            w.delay = false;
        else
            expectWord("DELAY");
        if (cur().kind != Token::Kind::String && cur().kind != Token::Kind::NString)
            syntaxError();
        // hh:mm[:ss[.mmm]]: a time of day, or a delay of less than a day.
        std::int32_t days = 0;
        if (!parseDateTime(cur().text, -1, days, w.ticks) || days != 0)
            throw ParseFailure{148, "Incorrect time syntax in time string '" + cur().text + "' used with WAITFOR.", cur().line};
        ++i_;
        st.body = w;
    } else if (acceptWord("BEGIN")) {
        if (acceptWord("TRAN") || acceptWord("TRANSACTION")) {
            if (isIdentifierStart() && !startsStatement())
                ++i_;
            st.body = NoOpStmt{"BEGIN TRANSACTION"};
        } else {
            BlockStmt block;
            while (!acceptWord("END")) {
                if (acceptSym(";"))
                    continue;
                if (atEnd())
                    syntaxError();
                block.statements.push_back(std::make_shared<Statement>(statement()));
            }
            if (block.statements.empty())
                syntaxErrorAt(toks_[i_ - 1]);
            st.body = std::move(block);
        }
    } else if (acceptWord("COMMIT") || acceptWord("ROLLBACK") || acceptWord("SAVE")) {
        if (acceptWord("TRAN") || acceptWord("TRANSACTION") || acceptWord("WORK")) {
            if (isIdentifierStart() && !startsStatement())
                ++i_;
        }
        st.body = NoOpStmt{"TRANSACTION"};
    } else if (acceptWord("IF")) {
        IfStmt branch;
        branch.condition = expr();
        if (atEnd())
            syntaxError();
        branch.then = std::make_shared<Statement>(statement());
        if (acceptWord("ELSE")) {
            if (atEnd())
                syntaxError();
            branch.otherwise = std::make_shared<Statement>(statement());
        }
        st.body = std::move(branch);
    } else {
        syntaxError();
    }
    return st;
}

void Parser::declared(const Token &name)
{
    const std::string key = foldCase(name.text);
    if (variables_.count(key) || scalars_.count(key))
        throw ParseFailure{134, "The variable name '" + name.text + "' has already been declared. Variable names must be unique within a query batch or stored procedure.", name.line};
}

ParseResult parseBatch(std::string_view sql)
{
    ParseResult r;
    std::vector<Token> tokens;
    LexError lexError;
    if (!tokenize(sql, tokens, lexError)) {
        r.ok = false;
        r.error.number = lexError.number;
        r.error.severity = 15;
        r.error.text = lexError.text;
        r.error.line = lexError.line;
        return r;
    }
    try {
        Parser p(sql, std::move(tokens));
        r.batch = p.parseAll();
    } catch (const ParseFailure &f) {
        r.ok = false;
        r.error.number = f.number;
        // Syntax-level refusals are severity 15, the rest 16.
        static const int kSyntax[] = {102, 103, 105, 113, 123, 134, 137, 148, 156, 193};
        r.error.severity = f.severity != 0 ? f.severity
                         : std::uint8_t(std::find(std::begin(kSyntax), std::end(kSyntax), f.number) != std::end(kSyntax) ? 15 : 16);
        r.error.text = f.text;
        r.error.line = f.line;
    } catch (const SqlFailure &f) {
        r.ok = false;
        r.error.number = f.number;
        r.error.severity = f.severity;
        r.error.text = f.text;
    }
    return r;
}

} // namespace qts
