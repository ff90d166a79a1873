// INSERT, UPDATE and DELETE with identity, timestamp, key and NULL rules.

#include "Executor.h"

#include <cstdio>
#include <unordered_set>

namespace qts {

namespace {


struct IdentState {
    std::int64_t current = 0;
    bool used = false;
};

IdentState readIdent(Sql &sql, std::int32_t id)
{
    Stmt st(sql, "SELECT ident_current, ident_used FROM qts_tables WHERE id=?");
    sqlite3_bind_int(st.get(), 1, id);
    IdentState s;
    if (st.step()) {
        s.current = sqlite3_column_int64(st.get(), 0);
        s.used = sqlite3_column_int(st.get(), 1) != 0;
    }
    return s;
}

void writeIdent(Sql &sql, std::int32_t id, const IdentState &s)
{
    Stmt st(sql, "UPDATE qts_tables SET ident_current=?, ident_used=? WHERE id=?");
    sqlite3_bind_int64(st.get(), 1, s.current);
    sqlite3_bind_int(st.get(), 2, s.used ? 1 : 0);
    sqlite3_bind_int(st.get(), 3, id);
    st.step();
}

std::string timestampBytes(std::uint64_t n)
{
    std::string b;
    for (int k = 7; k >= 0; --k)
        b += char((n >> (8 * k)) & 0xFF);
    return b;
}

bool identityFits(XType t, std::int64_t v, std::uint8_t precision)
{
    switch (t) {
    case XType::TinyInt: return v >= 0 && v <= 255;
    case XType::SmallInt: return v >= -32768 && v <= 32767;
    case XType::Int: return v >= INT32_MIN && v <= INT32_MAX;
    case XType::Decimal: case XType::Numeric: return (v < 0 ? -__int128(v) : __int128(v)) < pow10i(precision);
    default: return true;
    }
}

Value identityValue(const TypeInfo &t, std::int64_t v)
{
    Value out;
    if (t.type == XType::Decimal || t.type == XType::Numeric) {
        out.kind = Value::Kind::Decimal;
        out.unscaled = v;
        out.scale = 0;
    } else {
        out.kind = Value::Kind::Int;
        out.i = v;
    }
    return out;
}

std::int64_t identityOf(const Value &v)
{
    return v.kind == Value::Kind::Decimal ? std::int64_t(v.unscaled) : v.i;
}

} // namespace

std::string Executor::qualifiedName(const Target &t) const
{
    if (t.var)
        return t.var->temp ? "tempdb.dbo." + t.meta->name : t.meta->name;
    return t.db->name + ".dbo." + t.meta->name;
}

std::string Executor::keyOf(const TableMeta &meta, const Row &row) const
{
    std::string key;
    for (int c : meta.keyColumns())
        appendKey(key, TypedValue{row[std::size_t(c)], meta.columns[std::size_t(c)].type});
    return key;
}

Value Executor::columnValue(const TypedValue &v, const Target &t, const ColumnMeta &column)
{
    try {
        return convertValue(v, column.type, -1, true).v;
    } catch (SqlFailure &f) {
        if (f.number != 8152 || !currentServerVersion().atLeast(2019))
            throw;
        std::string table = qualifiedName(t);
        if (t.var && !t.var->temp) {
            // A table variable is a #table of tempdb with a made-up name.
            std::uint32_t h = 2166136261u;
            for (const char c : foldCase(t.meta->name))
                h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
            char name[16];
            std::snprintf(name, sizeof name, "#%08X", h);
            table = std::string("tempdb.dbo.") + name;
        }
        f.number = 2628;
        f.state = 1;
        f.text = "String or binary data would be truncated in table '" + table + "', column '" + column.name
                 + "'. Truncated value: '" + f.truncatedValue + "'.";
        throw;
    }
}

void Executor::duplicateKey(const TableMeta &meta) const
{
    failTerminated(2627, 14, "Violation of PRIMARY KEY constraint '" + meta.pkName + "'. Cannot insert duplicate key in object '" + meta.name + "'.");
}

void Executor::insert(InsertStmt &st)
{
    Target t = resolve(st.table);
    if (t.system)
        fail(259, 16, "Ad hoc updates to system catalogs are not enabled. The system administrator must reconfigure SQL Server to allow this.");
    const TableMeta &meta = *t.meta;
    const int idc = meta.identityColumn();
    const bool identityOn = (!t.var || t.var->temp) && s_.identityInsert.tableId == meta.id && s_.identityInsert.db == t.db;
    std::vector<int> cols;
    if (st.columnList) {
        for (const std::string &name : st.columns) {
            const int c = meta.findColumn(name);
            if (c < 0)
                fail(207, 16, "Invalid column name '" + name + "'.", true);
            if (std::find(cols.begin(), cols.end(), c) != cols.end())
                fail(264, 16, "Column name '" + name + "' appears more than once in the result column list.");
            if (meta.columns[std::size_t(c)].computed)
                fail(271, 16, "Column '" + meta.columns[std::size_t(c)].name + "' cannot be modified because it is either a computed column or is the result of a UNION operator.");
            cols.push_back(c);
        }
    } else {
        if (identityOn)
            fail(8101, 16, "An explicit value for the identity column in table '" + meta.name + "' can only be specified when a column list is used and IDENTITY_INSERT is ON.");
        for (std::size_t c = 0; c < meta.columns.size(); ++c)
            if (!meta.columns[c].computed && !meta.columns[c].identity)
                cols.push_back(int(c));
    }
    const bool explicitIdentity = idc >= 0 && std::find(cols.begin(), cols.end(), idc) != cols.end();
    if (explicitIdentity && !identityOn)
        fail(544, 16, "Cannot insert explicit value for identity column in table '" + meta.name + "' when IDENTITY_INSERT is set to OFF.");
    if (idc >= 0 && !explicitIdentity && identityOn)
        fail(545, 16, "Explicit value must be specified for identity column in table '" + meta.name + "' either when IDENTITY_INSERT is set to ON or when a replication user is inserting into a NOT FOR REPLICATION identity column.");

    std::vector<std::vector<TypedValue>> rows;
    if (st.defaultValues) {
        cols.clear();
        rows.emplace_back();
    } else if (st.select) {
        collect(*st.select, rows);
        const std::size_t items = rows.empty() ? 0 : rows[0].size();
        if (!rows.empty() && items < cols.size())
            fail(120, 15, "Insert Error: The select list for the INSERT statement contains fewer items than the insert list. The number of SELECT values must match the number of INSERT columns.");
        if (!rows.empty() && items > cols.size())
            fail(121, 15, "Insert Error: The select list for the INSERT statement contains more items than the insert list. The number of SELECT values must match the number of INSERT columns.");
    } else {
        if (st.values.size() != cols.size()) {
            if (!st.columnList)
                fail(213, 16, "Insert Error: Column name or number of supplied values does not match table definition.");
            if (st.values.size() < cols.size())
                fail(109, 15, "There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement.");
            fail(110, 15, "There are fewer columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement.");
        }
        std::vector<TypedValue> row;
        const std::vector<const Row *> none;
        for (auto &v : st.values) {
            bindExpr(*v, {}, *this);
            row.push_back(evalExpr(*v, none, *this));
        }
        rows.push_back(std::move(row));
    }
    insertRows(t, cols, rows, explicitIdentity);
    done(true, rows.size(), 0xC3);
}

void Executor::collect(SelectStmt &st, std::vector<std::vector<TypedValue>> &rows)
{
    if (!st.joins.empty())
        fail(50000, 16, "This test server runs INSERT ... SELECT from one table only; the JOIN is not supported there.", true);
    std::optional<Target> target;
    std::vector<Scope> scopes;
    if (!st.from.empty()) {
        target = resolve(st.from);
        scopes.push_back(scopeOf(*target));
    }
    std::vector<const Expr *> exprs;
    std::vector<int> columns;
    for (auto &item : st.items) {
        if (item.star) {
            if (!target)
                fail(263, 16, "Must specify table to select from.", true);
            for (std::size_t c = 0; c < target->meta->columns.size(); ++c) {
                exprs.push_back(nullptr);
                columns.push_back(int(c));
            }
            continue;
        }
        bindExpr(*item.expr, scopes, *this);
        exprs.push_back(item.expr.get());
        columns.push_back(-1);
    }
    if (st.where)
        bindExpr(*st.where, scopes, *this);
    std::vector<const Row *> ctx(scopes.size(), nullptr);
    const auto take = [&](const Row *row) {
        if (st.where) {
            const auto c = evalCondition(*st.where, ctx, *this);
            if (!c || !*c)
                return true;
        }
        std::vector<TypedValue> out;
        for (std::size_t i = 0; i < exprs.size(); ++i) {
            if (exprs[i])
                out.push_back(evalExpr(*exprs[i], ctx, *this));
            else
                out.push_back(TypedValue{(*row)[std::size_t(columns[i])], target->meta->columns[std::size_t(columns[i])].type});
        }
        rows.push_back(std::move(out));
        return st.top < 0 || std::int64_t(rows.size()) < st.top;
    };
    if (st.top == 0)
        return;
    if (target) {
        scan(*target, [&](const Row &row, std::int64_t) {
            ctx[0] = &row;
            return take(&row);
        });
    } else {
        take(nullptr);
    }
}

void Executor::insertRows(Target &t, const std::vector<int> &cols, const std::vector<std::vector<TypedValue>> &rows, bool explicitIdentity)
{
    const TableMeta &meta = *t.meta;
    const int idc = meta.identityColumn();
    const std::size_t n = meta.columns.size();
    std::optional<WriteTxn> txn;
    std::unique_ptr<Stmt> ins;
    IdentState ident;
    std::uint64_t dbts = 0;
    bool usesTimestamp = false;
    for (const auto &c : meta.columns)
        usesTimestamp = usesTimestamp || c.type.type == XType::Timestamp;
    Sql *conn = nullptr;
    if (t.var) {
        ident.current = t.var->identCurrent;
        ident.used = t.var->identUsed;
    } else {
        conn = &s_.conn(t.db);
        txn.emplace(*conn);
        if (idc >= 0)
            ident = readIdent(*conn, meta.id);
        if (usesTimestamp) {
            const std::string v = metaValue(*conn, "dbts");
            dbts = v.empty() ? 2000 : std::stoull(v);
        }
        std::string sql = "INSERT INTO " + meta.sqlName() + "(", params;
        for (std::size_t c = 0; c < n; ++c) {
            if (meta.columns[c].computed)
                continue;
            sql += (params.empty() ? "c" : ", c") + std::to_string(c + 1);
            params += params.empty() ? "?" : ", ?";
        }
        if (meta.hasPrimaryKey()) {
            sql += params.empty() ? "k" : ", k";
            params += params.empty() ? "?" : ", ?";
        }
        if (params.empty()) {
            sql += "dummy";
            params = "NULL";
        }
        sql += ") VALUES(" + params + ")";
        ins = std::make_unique<Stmt>(*conn, sql);
    }
    std::vector<Row> newRows;
    std::vector<Row> written; // checked against the tables they reference
    const bool referencing = !t.var && !meta.foreignKeys.empty();
    std::unordered_set<std::string> newKeys;
    std::optional<std::int64_t> lastIdentity;
    std::vector<bool> given(n);
    for (const auto &src : rows) {
        Row full(n);
        std::fill(given.begin(), given.end(), false);
        for (std::size_t k = 0; k < cols.size(); ++k) {
            const std::size_t c = std::size_t(cols[k]);
            const ColumnMeta &cm = meta.columns[c];
            if (cm.type.type == XType::Timestamp) {
                if (!src[k].v.isNull())
                    fail(273, 16, "Cannot insert a non-null value into a timestamp column. Use INSERT with a column list or with a default of NULL for the timestamp column.");
                continue;
            }
            full[c] = columnValue(src[k], t, cm);
            given[c] = true;
        }
        for (std::size_t c = 0; c < n; ++c) {
            const ColumnMeta &cm = meta.columns[c];
            if (given[c] || cm.computed)
                continue;
            if (cm.identity) {
                const std::int64_t v = ident.used ? ident.current + cm.increment : cm.seed;
                if (!identityFits(cm.type.type, v, cm.type.precision))
                    failTerminated(8115, 16, "Arithmetic overflow error converting IDENTITY to data type " + typeName(cm.type.type) + ".");
                full[c] = identityValue(cm.type, v);
                ident.current = v;
                ident.used = true;
                lastIdentity = v;
            } else if (cm.type.type == XType::Timestamp) {
                full[c].kind = Value::Kind::Bytes;
                full[c].bytes = timestampBytes(++dbts);
            } else if (cm.defaultExpr) {
                full[c] = columnValue(evalExpr(*cm.defaultExpr, {}, *this), t, cm);
            }
        }
        if (explicitIdentity && !full[std::size_t(idc)].isNull()) {
            const ColumnMeta &cm = meta.columns[std::size_t(idc)];
            const std::int64_t v = identityOf(full[std::size_t(idc)]);
            if (!ident.used || (cm.increment > 0 ? v > ident.current : v < ident.current))
                ident.current = v;
            ident.used = true;
            lastIdentity = v;
        }
        for (std::size_t c = 0; c < n; ++c) {
            const ColumnMeta &cm = meta.columns[c];
            if (!cm.computed && !cm.nullable && full[c].isNull())
                failTerminated(515, 16, "Cannot insert the value NULL into column '" + cm.name + "', table '" + qualifiedName(t) + "'; column does not allow nulls. INSERT fails.");
        }
        const std::string key = meta.hasPrimaryKey() ? keyOf(meta, full) : std::string();
        if (t.var) {
            if (meta.hasPrimaryKey() && (t.var->keys.count(key) || !newKeys.insert(key).second))
                duplicateKey(meta);
            newRows.push_back(std::move(full));
            continue;
        }
        sqlite3_stmt *s = ins->get();
        int p = 1;
        for (std::size_t c = 0; c < n; ++c)
            if (!meta.columns[c].computed)
                bindValue(s, p++, full[c], meta.columns[c].type);
        if (meta.hasPrimaryKey())
            sqlite3_bind_blob(s, p, key.data(), int(key.size()), SQLITE_TRANSIENT);
        try {
            ins->step();
        } catch (const SqlFailure &f) {
            if (f.number == -1)
                duplicateKey(meta);
            throw;
        }
        ins->reset();
        if (referencing)
            written.push_back(std::move(full));
    }
    // At the statement's end, as SQL Server checks: a row may reference one the same statement inserts.
    checkForeignKeys(t, written, "INSERT");
    if (t.var) {
        for (auto &r : newRows) {
            if (meta.hasPrimaryKey())
                t.var->keys.emplace(keyOf(meta, r), t.var->rows.size());
            t.var->rows.push_back(std::move(r));
        }
        t.var->identCurrent = ident.current;
        t.var->identUsed = ident.used;
    } else {
        if (idc >= 0)
            writeIdent(*conn, meta.id, ident);
        if (usesTimestamp)
            setMetaValue(*conn, "dbts", std::to_string(dbts));
        ins.reset();
        txn->commit();
    }
    if (lastIdentity)
        s_.lastIdentity = lastIdentity;
}

} // namespace qts
