// UPDATE [... FROM other AS alias WHERE ...] and DELETE.

#include "Executor.h"

#include <unordered_map>
#include <unordered_set>

namespace qts {

namespace {


std::string timestampBytes(std::uint64_t n)
{
    std::string b;
    for (int k = 7; k >= 0; --k)
        b += char((n >> (8 * k)) & 0xFF);
    return b;
}

// SQL Server binds the target of UPDATE/DELETE ... FROM to the FROM's table
// when it names that table's alias (whatever table the same name denotes
// elsewhere), or, when the FROM table has no alias, the same table.
bool targetIsFromTable(const TableRef &target, const TableRef &from)
{
    if (from.empty())
        return false;
    if (!from.alias.empty())
        return !target.variable && target.database.empty() && iequals(target.name, from.alias);
    return target.variable == from.variable && iequals(target.name, from.name) && iequals(target.database, from.database);
}

} // namespace

void Executor::update(UpdateStmt &st)
{
    std::optional<Target> from;
    Target target;
    if (targetIsFromTable(st.table, st.from)) {
        target = resolve(st.from);
    } else {
        target = resolve(st.table);
        if (!st.from.empty())
            from = resolve(st.from);
    }
    if (target.system)
        fail(259, 16, "Ad hoc updates to system catalogs are not enabled. The system administrator must reconfigure SQL Server to allow this.");
    const TableMeta &meta = *target.meta;
    // With a FROM the joined table is scope 0 and the target scope 1, both at one level.
    std::vector<Scope> scopes;
    if (from)
        scopes.push_back(scopeOf(*from));
    scopes.push_back(scopeOf(target));
    const std::size_t ts = from ? 1 : 0;
    std::vector<std::pair<int, Expr *>> sets;
    for (auto &[name, e] : st.sets) {
        const int c = meta.findColumn(name);
        if (c < 0)
            fail(207, 16, "Invalid column name '" + name + "'.", true);
        const ColumnMeta &cm = meta.columns[std::size_t(c)];
        if (cm.identity)
            fail(8102, 16, "Cannot update identity column '" + cm.name + "'.");
        if (cm.computed)
            fail(271, 16, "Column '" + cm.name + "' cannot be modified because it is either a computed column or is the result of a UNION operator.");
        if (cm.type.type == XType::Timestamp)
            fail(272, 16, "Cannot update a timestamp column.");
        bindExpr(*e, scopes, *this);
        sets.emplace_back(c, e.get());
    }
    if (st.where)
        bindExpr(*st.where, scopes, *this);

    std::vector<bool> setColumns(meta.columns.size());
    for (const auto &[c, e] : sets)
        setColumns[std::size_t(c)] = true;
    // Keys the update takes from rows that another table may reference.
    bool keySet = false;
    for (int c : meta.keyColumns())
        keySet = keySet || setColumns[std::size_t(c)];
    const bool watchKeys = keySet && isReferenced(target);
    std::unordered_set<std::string> oldKeys;

    std::vector<std::pair<std::int64_t, Row>> changes;
    std::vector<const Row *> rows(scopes.size(), nullptr);
    const auto apply = [&](const Row &old, std::int64_t rowid) {
        if (watchKeys)
            oldKeys.insert(keyOf(meta, old));
        Row row = old;
        for (const auto &[c, e] : sets) {
            const ColumnMeta &cm = meta.columns[std::size_t(c)];
            row[std::size_t(c)] = columnValue(evalExpr(*e, rows, *this), target, cm);
            if (!cm.nullable && row[std::size_t(c)].isNull())
                failTerminated(515, 16, "Cannot insert the value NULL into column '" + cm.name + "', table '" + qualifiedName(target) + "'; column does not allow nulls. UPDATE fails.");
        }
        changes.emplace_back(rowid, std::move(row));
    };
    const auto matches = [&]() {
        if (!st.where)
            return true;
        const auto c = evalCondition(*st.where, rows, *this);
        return c && *c;
    };
    std::vector<const Expr *> inner, outer, residual;
    std::vector<std::uint8_t> collations;
    if (from && splitEquiJoin(st.where.get(), inner, outer, residual, collations)) {
        // Hash join: the joined rows by key, probed once per target row.
        std::vector<TypeInfo> types;
        for (std::size_t k = 0; k < inner.size(); ++k)
            types.push_back(comparisonType(inner[k]->type, outer[k]->type, collations[k]));
        const auto keyOf = [&](const std::vector<const Expr *> &exprs, std::string &key) {
            for (std::size_t k = 0; k < exprs.size(); ++k) {
                const TypedValue v = evalExpr(*exprs[k], rows, *this);
                if (v.v.isNull())
                    return false;
                appendKey(key, convertValue(v, types[k]));
            }
            return true;
        };
        std::unordered_multimap<std::string, Row> joined;
        std::vector<std::string> order;
        scan(*from, [&](const Row &row, std::int64_t) {
            rows[0] = &row;
            std::string key;
            if (keyOf(inner, key))
                joined.emplace(std::move(key), row);
            return true;
        });
        scan(target, [&](const Row &row, std::int64_t rowid) {
            rows[0] = nullptr;
            rows[ts] = &row;
            std::string key;
            if (!keyOf(outer, key))
                return true;
            const auto range = joined.equal_range(key);
            for (auto it = range.first; it != range.second; ++it) {
                rows[0] = &it->second;
                bool all = true;
                for (const Expr *r : residual) {
                    const auto c = evalCondition(*r, rows, *this);
                    if (!c || !*c) { all = false; break; }
                }
                if (all) {
                    apply(row, rowid);
                    break;
                }
            }
            return true;
        });
    } else if (from) {
        std::vector<Row> joined;
        scan(*from, [&](const Row &row, std::int64_t) {
            joined.push_back(row);
            return true;
        });
        scan(target, [&](const Row &row, std::int64_t rowid) {
            rows[ts] = &row;
            for (const Row &j : joined) {
                rows[0] = &j;
                if (matches()) {
                    apply(row, rowid);
                    break;
                }
            }
            return true;
        });
    } else {
        scan(target, [&](const Row &row, std::int64_t rowid) {
            rows[0] = &row;
            if (matches())
                apply(row, rowid);
            return true;
        });
    }

    bool usesTimestamp = false;
    for (const auto &c : meta.columns)
        usesTimestamp = usesTimestamp || c.type.type == XType::Timestamp;
    if (target.var) {
        TableVar &v = *target.var;
        std::vector<Row> next = v.rows;
        for (auto &[rowid, row] : changes)
            next[std::size_t(rowid)] = std::move(row);
        std::unordered_map<std::string, std::size_t> keys;
        if (meta.hasPrimaryKey())
            for (std::size_t i = 0; i < next.size(); ++i)
                if (!keys.emplace(keyOf(meta, next[i]), i).second)
                    duplicateKey(meta);
        v.rows = std::move(next);
        v.keys = std::move(keys);
        done(true, changes.size(), 0xC5);
        return;
    }
    Sql &conn = s_.conn(target.db);
    WriteTxn txn(conn);
    std::uint64_t dbts = 0;
    if (usesTimestamp) {
        const std::string v = metaValue(conn, "dbts");
        dbts = v.empty() ? 2000 : std::stoull(v);
    }
    std::string sql = "UPDATE " + meta.sqlName() + " SET ";
    bool first = true;
    for (std::size_t c = 0; c < meta.columns.size(); ++c) {
        if (meta.columns[c].computed)
            continue;
        sql += (first ? "c" : ", c") + std::to_string(c + 1) + "=?";
        first = false;
    }
    if (meta.hasPrimaryKey())
        sql += first ? "k=?" : ", k=?";
    sql += " WHERE rowid=?";
    if (!changes.empty() && !first) {
        Stmt up(conn, sql);
        for (auto &[rowid, row] : changes) {
            int p = 1;
            for (std::size_t c = 0; c < meta.columns.size(); ++c) {
                const ColumnMeta &cm = meta.columns[c];
                if (cm.computed)
                    continue;
                if (cm.type.type == XType::Timestamp) {
                    row[c].kind = Value::Kind::Bytes;
                    row[c].bytes = timestampBytes(++dbts);
                }
                bindValue(up.get(), p++, row[c], cm.type);
            }
            if (meta.hasPrimaryKey()) {
                const std::string key = keyOf(meta, row);
                sqlite3_bind_blob(up.get(), p++, key.data(), int(key.size()), SQLITE_TRANSIENT);
            }
            sqlite3_bind_int64(up.get(), p, rowid);
            try {
                up.step();
            } catch (const SqlFailure &f) {
                if (f.number == -1)
                    duplicateKey(meta);
                throw;
            }
            up.reset();
        }
    }
    if (usesTimestamp)
        setMetaValue(conn, "dbts", std::to_string(dbts));
    if (!meta.foreignKeys.empty()) {
        std::vector<Row> written;
        for (auto &[rowid, row] : changes)
            written.push_back(std::move(row));
        checkForeignKeys(target, written, "UPDATE", &setColumns);
    }
    checkReferences(target, std::move(oldKeys), "UPDATE");
    txn.commit();
    done(true, changes.size(), 0xC5);
}

void Executor::remove(DeleteStmt &st)
{
    std::optional<Target> from;
    Target target;
    if (targetIsFromTable(st.table, st.from)) {
        target = resolve(st.from);
    } else {
        target = resolve(st.table);
        if (!st.from.empty())
            from = resolve(st.from);
    }
    if (target.system)
        fail(259, 16, "Ad hoc updates to system catalogs are not enabled. The system administrator must reconfigure SQL Server to allow this.");
    const TableMeta &meta = *target.meta;
    if (st.truncate && !target.var) {
        for (const Reference &r : referencesTo(*target.db, meta.id))
            if (r.table->id != meta.id)
                fail(4712, 16, "Cannot truncate table '" + std::string(engine_.version().atLeast(2005) ? "dbo." : "") + meta.name +
                                   "' because it is being referenced by a FOREIGN KEY constraint.");
    }
    std::vector<Scope> scopes;
    if (from)
        scopes.push_back(scopeOf(*from));
    scopes.push_back(scopeOf(target));
    const std::size_t ts = from ? 1 : 0;
    if (st.where)
        bindExpr(*st.where, scopes, *this);
    // The keys of deleted rows, when another table may still reference them.
    const bool watchKeys = isReferenced(target);
    std::unordered_set<std::string> goneKeys;
    std::vector<std::int64_t> victims;
    std::uint64_t all = 0;
    const bool everything = !st.where && !from;
    if (everything) {
        if (watchKeys)
            scan(target, [&](const Row &row, std::int64_t) {
                goneKeys.insert(keyOf(meta, row));
                return true;
            });
        if (target.var) {
            all = target.var->rows.size();
        } else {
            Stmt cnt(s_.conn(target.db), "SELECT count(*) FROM " + meta.sqlName());
            cnt.step();
            all = std::uint64_t(sqlite3_column_int64(cnt.get(), 0));
        }
    } else {
        std::vector<Row> joined;
        if (from)
            scan(*from, [&](const Row &row, std::int64_t) {
                joined.push_back(row);
                return true;
            });
        std::vector<const Row *> rows(scopes.size(), nullptr);
        scan(target, [&](const Row &row, std::int64_t rowid) {
            rows[ts] = &row;
            const auto test = [&]() {
                if (!st.where)
                    return true;
                const auto c = evalCondition(*st.where, rows, *this);
                return c && *c;
            };
            const std::size_t before = victims.size();
            if (from) {
                for (const Row &j : joined) {
                    rows[0] = &j;
                    if (test()) {
                        victims.push_back(rowid);
                        break;
                    }
                }
            } else if (test()) {
                victims.push_back(rowid);
            }
            if (watchKeys && victims.size() > before)
                goneKeys.insert(keyOf(meta, row));
            return true;
        });
        all = victims.size();
    }
    if (target.var) {
        TableVar &v = *target.var;
        if (everything) {
            v.rows.clear();
            v.keys.clear();
        } else {
            std::unordered_set<std::int64_t> gone(victims.begin(), victims.end());
            std::vector<Row> keep;
            for (std::size_t i = 0; i < v.rows.size(); ++i)
                if (!gone.count(std::int64_t(i)))
                    keep.push_back(std::move(v.rows[i]));
            v.rows = std::move(keep);
            v.keys.clear();
            if (meta.hasPrimaryKey())
                for (std::size_t i = 0; i < v.rows.size(); ++i)
                    v.keys.emplace(keyOf(meta, v.rows[i]), i);
        }
        if (st.truncate)
            v.identUsed = false;
    } else {
        Sql &conn = s_.conn(target.db);
        WriteTxn txn(conn);
        if (everything) {
            conn.exec("DELETE FROM " + meta.sqlName());
        } else {
            Stmt del(conn, "DELETE FROM " + meta.sqlName() + " WHERE rowid=?");
            for (std::int64_t id : victims) {
                sqlite3_bind_int64(del.get(), 1, id);
                del.step();
                del.reset();
            }
        }
        if (st.truncate)
            conn.exec("UPDATE qts_tables SET ident_used=0 WHERE id=" + std::to_string(meta.id));
        checkReferences(target, std::move(goneKeys), "DELETE");
        txn.commit();
    }
    if (st.truncate)
        done(false, 0, 0);
    else
        done(true, all, 0xC4);
}

} // namespace qts
