// Running a batch: statement order, SQL Server's abort rules, reporting,
// name resolution, scans and EXISTS.

#include "Executor.h"
#include "Lexer.h"

namespace qts {

namespace {

struct Cancelled {};
struct Aborted {}; // an error ended the batch; it has been reported
struct Returned {}; // RETURN ended the batch

void flattenAnd(const Expr *e, std::vector<const Expr *> &out)
{
    if (e->kind == Expr::Kind::Binary && e->op == "AND") {
        flattenAnd(e->args[0].get(), out);
        flattenAnd(e->args[1].get(), out);
    } else {
        out.push_back(e);
    }
}

} // namespace

bool splitEquiJoin(const Expr *where, std::vector<const Expr *> &inner, std::vector<const Expr *> &outer,
                   std::vector<const Expr *> &residual, std::vector<std::uint8_t> &collations)
{
    if (!where)
        return false;
    std::vector<const Expr *> parts;
    flattenAnd(where, parts);
    for (const Expr *c : parts) {
        if (c->kind == Expr::Kind::Binary && c->op == "=") {
            std::vector<int> ls, rs;
            const bool lok = scopesOf(*c->args[0], ls), rok = scopesOf(*c->args[1], rs);
            const auto onlyInner = [](const std::vector<int> &v) {
                return !v.empty() && std::all_of(v.begin(), v.end(), [](int s) { return s == 0; });
            };
            const auto noInner = [](const std::vector<int> &v) {
                return std::none_of(v.begin(), v.end(), [](int s) { return s == 0; });
            };
            if (lok && rok && onlyInner(ls) && noInner(rs)) {
                inner.push_back(c->args[0].get());
                outer.push_back(c->args[1].get());
                collations.push_back(c->compareCollation);
                continue;
            }
            if (lok && rok && onlyInner(rs) && noInner(ls)) {
                inner.push_back(c->args[1].get());
                outer.push_back(c->args[0].get());
                collations.push_back(c->compareCollation);
                continue;
            }
        }
        residual.push_back(c);
    }
    return !inner.empty();
}

void Executor::run(ParsedBatch &batch)
{
    struct VarsGuard {
        SessionImpl &s;
        ~VarsGuard() { s.vars.clear(); }
    } guard{s_};
    try {
        declareVariables(batch);
    } catch (const SqlFailure &f) {
        error(f);
        return;
    }
    for (auto &st : batch.statements) {
        try {
            execute(st);
        } catch (const Cancelled &) {
            return;
        } catch (const Aborted &) {
            break;
        } catch (const Returned &) {
            break;
        }
    }
}

void Executor::execute(Statement &st)
{
    line_ = st.line;
    exists_.clear();
    try {
        statement(st);
        s_.lastError = 0;
    } catch (const SqlFailure &f) {
        error(f);
        if (f.abortBatch)
            throw Aborted{};
    }
}

void Executor::ifElse(IfStmt &st)
{
    bindExpr(*st.condition, {}, *this);
    const auto c = evalCondition(*st.condition, {}, *this);
    // UNKNOWN takes the ELSE branch, as FALSE does.
    if (Statement *next = c && *c ? st.then.get() : st.otherwise.get())
        execute(*next);
}

void Executor::block(BlockStmt &st)
{
    for (auto &inner : st.statements)
        execute(*inner);
}

void Executor::statement(Statement &st)
{
    std::visit([this](auto &body) {
        using T = std::decay_t<decltype(body)>;
        if constexpr (std::is_same_v<T, SelectStmt>) select(body);
        else if constexpr (std::is_same_v<T, InsertStmt>) insert(body);
        else if constexpr (std::is_same_v<T, UpdateStmt>) update(body);
        else if constexpr (std::is_same_v<T, DeleteStmt>) remove(body);
        else if constexpr (std::is_same_v<T, CreateTableStmt>) createTable(body, false);
        else if constexpr (std::is_same_v<T, DeclareTableStmt>) createTable(body.def, true);
        else if constexpr (std::is_same_v<T, DropTableStmt>) dropTable(body);
        else if constexpr (std::is_same_v<T, AlterTableStmt>) alterTable(body);
        else if constexpr (std::is_same_v<T, CreateDatabaseStmt>) createDatabase(body);
        else if constexpr (std::is_same_v<T, DropDatabaseStmt>) dropDatabase(body);
        else if constexpr (std::is_same_v<T, UseStmt>) use(body);
        else if constexpr (std::is_same_v<T, SetOptionStmt>) setOption(body);
        else if constexpr (std::is_same_v<T, PrintStmt>) print(body);
        else if constexpr (std::is_same_v<T, ExecStmt>) execProc(body);
        else if constexpr (std::is_same_v<T, CheckIdentStmt>) checkIdent(body);
        else if constexpr (std::is_same_v<T, WaitForStmt>) waitFor(body);
        else if constexpr (std::is_same_v<T, IfStmt>) ifElse(body);
        else if constexpr (std::is_same_v<T, BlockStmt>) block(body);
        else if constexpr (std::is_same_v<T, NoOpStmt>) done(false, 0, 0);
        else if constexpr (std::is_same_v<T, DeclareVarStmt>) {}
        else if constexpr (std::is_same_v<T, SetVarStmt>) setVariable(body);
        else if constexpr (std::is_same_v<T, RaiseErrorStmt>) raiseError(body);
        else if constexpr (std::is_same_v<T, ReturnStmt>) throw Returned{};
    }, st.body);
}

void Executor::done(bool hasCount, std::uint64_t count, std::uint16_t curCmd)
{
    StatementEnd end;
    end.hasCount = hasCount && !s_.nocount;
    end.rowCount = count;
    end.curCmd = curCmd;
    if (hasCount)
        s_.rowcount = std::int64_t(count);
    sink_.statementEnd(end);
}

void Executor::info(std::int32_t number, const std::string &text, std::uint8_t severity)
{
    Message m;
    m.number = number;
    m.severity = severity;
    m.state = 1;
    m.text = text;
    m.line = line_;
    sink_.message(m);
}

void Executor::error(const SqlFailure &f)
{
    Message m;
    m.number = f.number;
    m.severity = f.severity;
    m.state = f.state;
    m.text = f.text;
    m.line = line_;
    sink_.message(m);
    if (f.terminated)
        info(3621, "The statement has been terminated.", 0);
    s_.lastError = f.number;
    s_.rowcount = 0;
    StatementEnd end;
    end.error = true;
    sink_.statementEnd(end);
}

bool Executor::sendRow(const std::vector<Value> &row)
{
    if (!sink_.row(row))
        cancelBatch();
    return true;
}

void Executor::cancelBatch()
{
    cancelled_ = true;
    throw Cancelled{};
}

std::shared_ptr<Database> Executor::databaseFor(const TableRef &ref)
{
    if (ref.database.empty())
        return s_.db;
    auto db = engine_.findDatabase(ref.database);
    if (!db)
        fail(911, 16, "Could not locate entry in sysdatabases for database '" + ref.database + "'. No entry found with that name. Make sure that the name is entered correctly.", true);
    return db;
}

Target Executor::resolve(const TableRef &ref)
{
    Target t;
    t.alias = ref.alias;
    if (ref.variable) {
        auto it = s_.vars.find(foldCase(ref.name));
        if (it == s_.vars.end())
            fail(137, 15, "Must declare the variable '" + ref.name + "'.", true);
        t.var = &it->second;
        t.meta = it->second.meta;
        return t;
    }
    if (isTempName(ref.name)) {
        auto it = s_.temps.find(foldCase(ref.name));
        if (it == s_.temps.end())
            fail(208, 16, "Invalid object name '" + ref.name + "'.", true);
        t.var = &it->second;
        t.meta = it->second.meta;
        return t;
    }
    t.db = databaseFor(ref);
    // From SQL Server 2005 the schema sys holds the catalogue views.
    const bool sys = iequals(ref.schema, "sys") && engine_.version().atLeast(2005);
    if (sys) {
        if (auto view = sysView(ref.name)) {
            t.meta = view;
            t.system = true;
            t.systemRows = *sysViewRows(*view, engine_, *t.db, s_.conn(t.db));
            return t;
        }
    } else if (auto meta = t.db->findTable(ref.name)) {
        t.meta = meta;
        return t;
    }
    if (auto view = systemView(ref.name, iequals(t.db->name, "master") || engine_.version().atLeast(2005))) {
        t.meta = view;
        t.system = true;
        t.systemRows = systemRows(*view, engine_, *t.db);
        return t;
    }
    fail(208, 16, "Invalid object name '" + (sys ? ref.schema + "." : std::string()) + ref.name + "'.", true);
}

Scope Executor::scopeOf(const Target &t) const
{
    Scope sc;
    sc.meta = t.meta.get();
    sc.name = t.var ? t.meta->name : t.meta->name;
    sc.alias = t.alias;
    return sc;
}

void Executor::computeColumns(const TableMeta &meta, Row &row)
{
    const std::vector<const Row *> rows{&row};
    for (std::size_t i = 0; i < meta.columns.size(); ++i) {
        const ColumnMeta &c = meta.columns[i];
        if (c.computed && c.computedExpr)
            row[i] = convertValue(evalExpr(*c.computedExpr, rows, *this), c.type).v;
    }
}

std::int64_t Executor::countRows(Target &t)
{
    Stmt st(s_.conn(t.db), "SELECT COUNT(*) FROM " + t.meta->sqlName());
    st.step();
    return sqlite3_column_int64(st.get(), 0);
}

void Executor::scan(Target &t, const std::function<bool(const Row &, std::int64_t)> &f)
{
    if (t.var) {
        for (std::size_t i = 0; i < t.var->rows.size(); ++i)
            if (!f(t.var->rows[i], std::int64_t(i)))
                return;
        return;
    }
    if (t.system) {
        for (std::size_t i = 0; i < t.systemRows.size(); ++i)
            if (!f(t.systemRows[i], std::int64_t(i)))
                return;
        return;
    }
    const TableMeta &meta = *t.meta;
    std::string sql = "SELECT rowid";
    std::vector<std::pair<int, int>> stored; // (result column, table column)
    bool anyComputed = false;
    for (std::size_t i = 0; i < meta.columns.size(); ++i) {
        if (meta.columns[i].computed) {
            anyComputed = true;
            continue;
        }
        stored.emplace_back(int(stored.size()) + 1, int(i));
        sql += ", c" + std::to_string(i + 1);
    }
    sql += " FROM " + meta.sqlName();
    if (meta.hasPrimaryKey())
        sql += " ORDER BY k"; // a clustered key gives rows in key order
    Sql &conn = s_.conn(t.db);
    Stmt st(conn, sql);
    Row row(meta.columns.size());
    while (st.step()) {
        for (const auto &[rc, tc] : stored)
            readValue(st.get(), rc, meta.columns[std::size_t(tc)].type, row[std::size_t(tc)]);
        if (anyComputed)
            computeColumns(meta, row);
        if (!f(row, sqlite3_column_int64(st.get(), 0)))
            return;
    }
}

std::uint8_t Executor::defaultCollation()
{
    return s_.db->collation;
}

std::shared_ptr<const TableMeta> Executor::findObject(const std::string &text, std::shared_ptr<Database> &db, const TableVar **temp)
{
    // 'name', 'owner.name', 'db.owner.name', any part in [brackets]; else the text itself.
    std::vector<Token> toks;
    LexError err;
    db = s_.db;
    if (tokenize(text, toks, err)) {
        std::vector<std::string> parts;
        bool ok = !toks.empty() && toks[0].kind == Token::Kind::Ident;
        std::size_t i = 0;
        while (ok && i < toks.size() && toks[i].kind != Token::Kind::End) {
            if (toks[i].kind == Token::Kind::Ident) {
                parts.push_back(toks[i].text);
                ++i;
                if (toks[i].kind == Token::Kind::Symbol && toks[i].text == ".") {
                    ++i;
                    while (toks[i].kind == Token::Kind::Symbol && toks[i].text == ".") { parts.emplace_back(); ++i; }
                    continue;
                }
                if (toks[i].kind != Token::Kind::End) ok = false;
            } else {
                ok = false;
            }
        }
        if (ok && !parts.empty() && parts.size() <= 3 && isTempName(parts.back())) {
            // 'tempdb..#name' or '#name': this session's temporary table.
            const auto it = s_.temps.find(foldCase(parts.back()));
            if (!temp || it == s_.temps.end() || (parts.size() == 3 && !iequals(parts[0], "tempdb")))
                return nullptr;
            *temp = &it->second;
            db = nullptr;
            return it->second.meta;
        }
        if (ok && !parts.empty() && parts.size() <= 3) {
            std::shared_ptr<Database> d = s_.db;
            if (parts.size() == 3 && !parts[0].empty())
                d = engine_.findDatabase(parts[0]);
            if (d) {
                if (auto m = d->findTable(parts.back())) {
                    db = d;
                    return m;
                }
            }
        }
    }
    return s_.db->findTable(text);
}

void Executor::bindExists(Expr &e, const std::vector<Scope> &outer)
{
    ExistsPlan p;
    p.sub = e.subquery.get();
    if (p.sub->from.empty())
        fail(102, 15, "Incorrect syntax near ')'.", true);
    if (!p.sub->joins.empty())
        fail(50000, 16, "This test server runs EXISTS subqueries over one table only; the JOIN is not supported there.", true);
    p.target = resolve(p.sub->from);
    Scope inner = scopeOf(p.target);
    inner.level = 0;
    p.scopes.push_back(inner);
    for (Scope sc : outer) {
        sc.level += 1;
        p.scopes.push_back(sc);
    }
    for (auto &item : p.sub->items)
        if (item.expr)
            bindExpr(*item.expr, p.scopes, *this);
    if (p.sub->where) {
        bindExpr(*p.sub->where, p.scopes, *this);
        std::vector<std::uint8_t> collations;
        if (splitEquiJoin(p.sub->where.get(), p.innerKeys, p.outerKeys, p.residual, collations)) {
            p.hashed = true;
            for (std::size_t k = 0; k < p.innerKeys.size(); ++k)
                p.keyTypes.push_back(comparisonType(p.innerKeys[k]->type, p.outerKeys[k]->type, collations[k]));
        }
    }
    exists_[&e] = std::move(p);
}

bool Executor::exists(const Expr &e, const std::vector<const Row *> &outerRows)
{
    ExistsPlan &p = exists_.at(&e);
    std::vector<const Row *> rows;
    rows.push_back(nullptr);
    rows.insert(rows.end(), outerRows.begin(), outerRows.end());
    const auto keyOf = [&](const std::vector<const Expr *> &exprs, std::string &key) {
        for (std::size_t k = 0; k < exprs.size(); ++k) {
            const TypedValue v = evalExpr(*exprs[k], rows, *this);
            if (v.v.isNull())
                return false;
            appendKey(key, convertValue(v, p.keyTypes[k]));
        }
        return true;
    };
    if (p.hashed) {
        if (!p.built) {
            scan(p.target, [&](const Row &row, std::int64_t) {
                rows[0] = &row;
                std::string key;
                if (keyOf(p.innerKeys, key))
                    p.rows.emplace(std::move(key), row);
                return true;
            });
            p.built = true;
        }
        std::string key;
        rows[0] = nullptr;
        if (!keyOf(p.outerKeys, key))
            return false;
        const auto range = p.rows.equal_range(key);
        for (auto it = range.first; it != range.second; ++it) {
            rows[0] = &it->second;
            bool all = true;
            for (const Expr *r : p.residual) {
                const auto c = evalCondition(*r, rows, *this);
                if (!c || !*c) { all = false; break; }
            }
            if (all)
                return true;
        }
        return false;
    }
    bool found = false;
    scan(p.target, [&](const Row &row, std::int64_t) {
        rows[0] = &row;
        if (!p.sub->where) {
            found = true;
        } else {
            const auto c = evalCondition(*p.sub->where, rows, *this);
            found = c && *c;
        }
        return !found;
    });
    return found;
}

} // namespace qts
