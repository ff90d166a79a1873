// SELECT: streamed row by row unless it sorts, removes duplicates or aggregates.

#include "Executor.h"

#include <algorithm>
#include <functional>
#include <unordered_set>

namespace qts {

namespace {

ColumnInfo columnInfo(const std::string &name, const TypeInfo &t, bool nullable)
{
    ColumnInfo c;
    c.name = name;
    c.type = t.type;
    c.length = t.length;
    c.precision = t.precision;
    c.scale = t.scale;
    c.nullable = nullable;
    c.collation = t.collation;
    return c;
}

struct Aggregate {
    std::string name;
    const Expr *arg = nullptr; // null for COUNT(*)
    std::int64_t count = 0;
    TypedValue acc;
    bool any = false;
};

} // namespace

void Executor::select(SelectStmt &st)
{
    // The FROM table and the tables joined to it: one scope each, all at one level.
    std::vector<Target> targets;
    std::vector<Scope> scopes;
    if (!st.from.empty()) {
        targets.push_back(resolve(st.from));
        scopes.push_back(scopeOf(targets.back()));
    }
    for (auto &j : st.joins) {
        targets.push_back(resolve(j.table));
        scopes.push_back(scopeOf(targets.back()));
        // ON sees the tables joined so far.
        bindExpr(*j.on, std::vector<Scope>(scopes.begin(), scopes.end()), *this);
    }
    const auto outerJoined = [&](std::size_t scope) { return scope > 0 && st.joins[scope - 1].left; };
    struct Out {
        Expr *expr = nullptr; // null: a column of a table
        int scope = 0;
        int column = -1;
    };
    std::vector<Out> outs;
    std::vector<ColumnInfo> infos;
    bool aggregate = false;
    for (auto &item : st.items) {
        if (item.star) {
            if (targets.empty())
                fail(263, 16, "Must specify table to select from.", true);
            bool qualified = false;
            for (std::size_t t = 0; t < targets.size(); ++t) {
                const Target &target = targets[t];
                if (!item.starQualifier.empty()) {
                    const std::string &q = target.alias.empty() ? target.meta->name : target.alias;
                    if (!iequals(q, item.starQualifier))
                        continue;
                    qualified = true;
                }
                for (std::size_t c = 0; c < target.meta->columns.size(); ++c) {
                    const ColumnMeta &cm = target.meta->columns[c];
                    outs.push_back({nullptr, int(t), int(c)});
                    ColumnInfo ci = columnInfo(cm.name, cm.type, cm.nullable || outerJoined(t));
                    ci.identity = cm.identity;
                    ci.computed = cm.computed;
                    if (isLobType(cm.type.type))
                        ci.tableName = target.meta->name;
                    infos.push_back(ci);
                }
            }
            if (!item.starQualifier.empty() && !qualified)
                fail(107, 16, "The column prefix '" + item.starQualifier + "' does not match with a table name or alias name used in the query.", true);
            continue;
        }
        bindExpr(*item.expr, scopes, *this, true);
        if (containsAggregate(*item.expr))
            aggregate = true;
        std::string name = item.alias;
        bool nullable = true;
        ColumnInfo ci;
        if (item.expr->kind == Expr::Kind::Column) {
            const std::size_t scope = std::size_t(item.expr->scope);
            const ColumnMeta &cm = scopes[scope].meta->columns[std::size_t(item.expr->column)];
            if (name.empty())
                name = cm.name;
            nullable = cm.nullable || outerJoined(scope);
            ci = columnInfo(name, item.expr->type, nullable);
            ci.identity = cm.identity;
            ci.computed = cm.computed;
            if (isLobType(cm.type.type))
                ci.tableName = scopes[scope].meta->name;
            outs.push_back({nullptr, item.expr->scope, item.expr->column});
        } else {
            ci = columnInfo(name, item.expr->type, nullable);
            if (item.expr->kind == Expr::Kind::Func && item.expr->name == "count")
                ci.nullable = true;
            outs.push_back({item.expr.get(), 0, -1});
        }
        infos.push_back(ci);
    }
    if (st.where)
        bindExpr(*st.where, scopes, *this);
    // ORDER BY: a select-list alias, a position, or an expression over the table.
    struct Key {
        int out = -1;
        Expr *expr = nullptr;
        bool desc = false;
    };
    std::vector<Key> keys;
    for (auto &o : st.orderBy) {
        Key k;
        k.desc = o.descending;
        if (o.expr->kind == Expr::Kind::Literal && o.expr->value.v.kind == Value::Kind::Int) {
            const std::int64_t n = o.expr->value.v.i;
            if (n < 1 || n > std::int64_t(outs.size()))
                fail(108, 16, "The ORDER BY position number " + std::to_string(n) + " is out of range of the number of items in the select list.", true);
            k.out = int(n - 1);
        } else if (o.expr->kind == Expr::Kind::Column && o.expr->parts.size() == 1) {
            for (std::size_t i = 0; i < st.items.size() && k.out < 0; ++i)
                if (!st.items[i].alias.empty() && iequals(st.items[i].alias, o.expr->parts[0]))
                    k.out = int(i);
        }
        if (k.out < 0) {
            bindExpr(*o.expr, scopes, *this);
            k.expr = o.expr.get();
        }
        const XType sorted = k.expr ? k.expr->type.type : infos[std::size_t(k.out)].type;
        if (isLobType(sorted))
            fail(306, 16, "The text, ntext, and image data types cannot be compared or sorted, except when using IS NULL or LIKE operator.", true);
        if (sorted == XType::Xml)
            fail(305, 16, "The XML data type cannot be compared or sorted, except when using the IS NULL operator.", true);
        if (sorted == XType::Geography || sorted == XType::Geometry)
            fail(403, 16, "Invalid operator for data type. Operator equals sort, type equals " + typeName(sorted) + ".", true);
        keys.push_back(k);
    }

    if (st.distinct)
        for (const ColumnInfo &ci : infos) {
            if (isLobType(ci.type))
                fail(8163, 16, "The text, ntext, or image data type cannot be selected as DISTINCT.", true);
            if (ci.type == XType::Xml || ci.type == XType::Geography || ci.type == XType::Geometry)
                fail(421, 16, "The " + typeName(ci.type) + " data type cannot be selected as DISTINCT because it is not comparable.", true);
        }
    // text, ntext, image and (max) values leave cut to the session's TEXTSIZE:
    // varchar(max) as text, nvarchar(max) as ntext, varbinary(max) as image.
    std::vector<std::pair<std::size_t, XType>> lobs;
    for (std::size_t i = 0; i < infos.size(); ++i) {
        const XType t = infos[i].type;
        if (isLobType(t))
            lobs.emplace_back(i, t);
        else if (infos[i].length == kMaxLength && (t == XType::VarChar || t == XType::NVarChar || t == XType::VarBinary))
            lobs.emplace_back(i, t == XType::VarChar ? XType::Text : t == XType::NVarChar ? XType::NText : XType::Image);
    }
    const auto send = [&](Row &row) {
        if (capture_) {
            capture_->rows.push_back(row);
            return;
        }
        for (const auto &[i, asType] : lobs)
            cutToTextSize(row[i], asType, s_.textsize);
        sendRow(row);
    };

    std::vector<Aggregate> aggs;
    std::vector<const Expr *> aggExprs;
    if (aggregate) {
        // Without GROUP BY every column must sit inside an aggregate (8120);
        // an aggregate may sit inside any expression (MAX(a) + 1).
        const auto notGrouped = [&](int scope, int column) {
            const Scope &sc = scopes[std::size_t(scope)];
            fail(8120, 16, "Column '" + (sc.alias.empty() ? sc.name : sc.alias) + "." + sc.meta->columns[std::size_t(column)].name +
                               "' is invalid in the select list because it is not contained in either an aggregate function or the GROUP BY clause.",
                 true);
        };
        std::function<void(const Expr &)> gather = [&](const Expr &e) {
            if (e.kind == Expr::Kind::Func && e.aggregate) {
                Aggregate a;
                a.name = e.name;
                a.arg = e.args.empty() || e.args[0]->kind == Expr::Kind::Star ? nullptr : e.args[0].get();
                a.acc.t = e.type;
                aggs.push_back(a);
                aggExprs.push_back(&e);
                return;
            }
            if (e.kind == Expr::Kind::Column)
                notGrouped(e.scope, e.column);
            for (const auto &arg : e.args)
                if (arg)
                    gather(*arg);
        };
        for (std::size_t i = 0; i < outs.size(); ++i) {
            if (!outs[i].expr)
                notGrouped(outs[i].scope, outs[i].column);
            gather(*outs[i].expr);
        }
    }

    if (capture_)
        capture_->infos = infos;
    else
        sink_.beginResult(infos);
    std::uint64_t count = 0;
    std::vector<const Row *> rows(scopes.size(), nullptr);
    Row out(outs.size());
    const auto project = [&]() {
        for (std::size_t i = 0; i < outs.size(); ++i) {
            if (outs[i].expr)
                out[i] = convertValue(evalExpr(*outs[i].expr, rows, *this), outs[i].expr->type).v;
            else
                out[i] = (*rows[std::size_t(outs[i].scope)])[std::size_t(outs[i].column)];
        }
    };
    const auto matches = [&]() {
        if (!st.where)
            return true;
        const auto c = evalCondition(*st.where, rows, *this);
        return c && *c;
    };
    // Visits every combination of the FROM row and the joined rows whose ON
    // holds (a LEFT JOIN gives a row of NULLs where none does), until visit
    // returns false. Joined tables are read once; nested loops pair them.
    std::vector<std::vector<Row>> joinedRows(targets.size());
    std::vector<Row> nullRows(targets.size());
    for (std::size_t t = 1; t < targets.size(); ++t) {
        scan(targets[t], [&](const Row &row, std::int64_t) {
            joinedRows[t].push_back(row);
            return true;
        });
        nullRows[t].assign(targets[t].meta->columns.size(), Value{});
    }
    const auto visitRows = [&](const std::function<bool()> &visit) {
        std::function<bool(std::size_t)> walk = [&](std::size_t t) -> bool {
            if (t == targets.size())
                return visit();
            bool any = false;
            for (const Row &r : joinedRows[t]) {
                rows[t] = &r;
                const auto on = evalCondition(*st.joins[t - 1].on, rows, *this);
                if (on && *on) {
                    any = true;
                    if (!walk(t + 1))
                        return false;
                }
            }
            if (!any && st.joins[t - 1].left) {
                rows[t] = &nullRows[t];
                return walk(t + 1);
            }
            return true;
        };
        if (targets.empty()) {
            visit();
            return;
        }
        scan(targets[0], [&](const Row &row, std::int64_t) {
            rows[0] = &row;
            return walk(1);
        });
    };

    if (aggregate) {

        const auto accumulate = [&]() {
            for (auto &a : aggs) {
                if (a.name.empty())
                    continue;
                if (!a.arg) {
                    ++a.count;
                    continue;
                }
                const TypedValue v = evalExpr(*a.arg, rows, *this);
                if (v.v.isNull())
                    continue;
                ++a.count;
                if (a.name == "count")
                    continue;
                if (a.name == "max" || a.name == "min") {
                    if (!a.any) a.acc = v;
                    else {
                        const auto c = compareValues(v, a.acc);
                        if (c && ((a.name == "max" && *c > 0) || (a.name == "min" && *c < 0)))
                            a.acc = v;
                    }
                } else {
                    const TypeInfo t = a.acc.t;
                    TypedValue cv = convertValue(v, t);
                    if (!a.any) a.acc = cv;
                    else if (cv.v.kind == Value::Kind::Int) {
                        if (__builtin_add_overflow(a.acc.v.i, cv.v.i, &a.acc.v.i) || (t.type == XType::Int && (a.acc.v.i > INT32_MAX || a.acc.v.i < INT32_MIN)))
                            failTerminated(8115, 16, "Arithmetic overflow error converting expression to data type " + typeName(t.type) + ".");
                    } else if (cv.v.kind == Value::Kind::Decimal) a.acc.v.unscaled += cv.v.unscaled;
                    else if (cv.v.kind == Value::Kind::Float) a.acc.v.f += cv.v.f;
                    a.acc.t = t;
                }
                a.any = true;
            }
        };
        // COUNT(*) alone over one stored table and no WHERE: the store
        // counts the rows itself (a scan would read every value).
        const bool countsOnly = targets.size() == 1 && !st.where && !targets[0].var && !targets[0].system &&
                                std::all_of(aggs.begin(), aggs.end(), [](const Aggregate &a) { return a.name == "count" && !a.arg; });
        if (countsOnly) {
            const std::int64_t n = countRows(targets[0]);
            for (auto &a : aggs)
                a.count = n;
        } else {
            visitRows([&] {
                if (matches())
                    accumulate();
                return true;
            });
        }
        aggregateResults_.clear();
        for (std::size_t k = 0; k < aggs.size(); ++k) {
            const Aggregate &a = aggs[k];
            const TypeInfo &type = aggExprs[k]->type;
            TypedValue result;
            result.t = type;
            if (a.name == "count") {
                result = intValue(a.count);
            } else if (a.any && a.name == "avg") {
                TypedValue v = a.acc;
                if (v.v.kind == Value::Kind::Int) v.v.i /= a.count;
                else if (v.v.kind == Value::Kind::Float) v.v.f /= double(a.count);
                else if (v.v.kind == Value::Kind::Decimal) v.v.unscaled /= a.count;
                result = convertValue(v, type);
            } else if (a.any) {
                result = convertValue(a.acc, type);
            }
            aggregateResults_[aggExprs[k]] = result;
        }
        // The select list over the aggregates' results: no row is current.
        rows.assign(scopes.size(), nullptr);
        for (std::size_t i = 0; i < outs.size(); ++i)
            out[i] = convertValue(evalExpr(*outs[i].expr, rows, *this), outs[i].expr->type).v;
        aggregateResults_.clear();
        send(out);
        if (!capture_)
            done(true, 1, 0xC1);
        return;
    }

    const bool streaming = keys.empty() && !st.distinct;
    std::vector<std::pair<Row, Row>> collected; // (output row, sort values)
    const auto emit = [&]() -> bool {
        project();
        if (streaming) {
            send(out);
            ++count;
            // A subquery needs no more rows than show it has more than one.
            if (capture_ && count >= 2)
                return false;
            return st.top < 0 || std::int64_t(count) < st.top;
        }
        Row sortValues(keys.size());
        for (std::size_t k = 0; k < keys.size(); ++k)
            sortValues[k] = keys[k].expr ? evalExpr(*keys[k].expr, rows, *this).v : out[std::size_t(keys[k].out)];
        collected.emplace_back(out, std::move(sortValues));
        return true;
    };
    if (st.top == 0) {
        if (!capture_)
            done(true, 0, 0xC1);
        return;
    }
    visitRows([&] { return !matches() || emit(); });
    if (!streaming) {
        std::vector<TypeInfo> keyTypes;
        for (const Key &k : keys)
            keyTypes.push_back(k.expr ? k.expr->type : TypeInfo{infos[std::size_t(k.out)].type, infos[std::size_t(k.out)].length, infos[std::size_t(k.out)].precision, infos[std::size_t(k.out)].scale});
        std::stable_sort(collected.begin(), collected.end(), [&](const auto &a, const auto &b) {
            for (std::size_t k = 0; k < keys.size(); ++k) {
                const TypedValue x{a.second[k], keyTypes[k]}, y{b.second[k], keyTypes[k]};
                int c;
                if (x.v.isNull() || y.v.isNull())
                    c = x.v.isNull() == y.v.isNull() ? 0 : (x.v.isNull() ? -1 : 1);
                else
                    c = *compareValues(x, y);
                if (c != 0)
                    return keys[k].desc ? c > 0 : c < 0;
            }
            return false;
        });
        std::vector<TypeInfo> outTypes;
        for (const auto &ci : infos)
            outTypes.push_back(TypeInfo{ci.type, ci.length, ci.precision, ci.scale});
        std::unordered_set<std::string> seen;
        for (auto &[row, sortValues] : collected) {
            if (st.top >= 0 && std::int64_t(count) >= st.top)
                break;
            if (st.distinct) {
                std::string key;
                for (std::size_t i = 0; i < row.size(); ++i)
                    appendKey(key, TypedValue{row[i], outTypes[i]});
                if (!seen.insert(key).second)
                    continue;
            }
            send(row);
            ++count;
        }
    }
    if (!capture_)
        done(true, count, 0xC1);
}

} // namespace qts
