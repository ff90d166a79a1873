// SELECT: streamed row by row unless it sorts, removes duplicates or aggregates.

#include "Executor.h"

#include <algorithm>
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
    std::optional<Target> target;
    std::vector<Scope> scopes;
    if (!st.from.empty()) {
        target = resolve(st.from);
        scopes.push_back(scopeOf(*target));
    }
    struct Out {
        Expr *expr = nullptr; // null: a column of the table
        int column = -1;
    };
    std::vector<Out> outs;
    std::vector<ColumnInfo> infos;
    bool aggregate = false;
    for (auto &item : st.items) {
        if (item.star) {
            if (!target)
                fail(263, 16, "Must specify table to select from.", true);
            if (!item.starQualifier.empty()) {
                const std::string &q = target->alias.empty() ? target->meta->name : target->alias;
                if (!iequals(q, item.starQualifier))
                    fail(107, 16, "The column prefix '" + item.starQualifier + "' does not match with a table name or alias name used in the query.", true);
            }
            for (std::size_t c = 0; c < target->meta->columns.size(); ++c) {
                const ColumnMeta &cm = target->meta->columns[c];
                outs.push_back({nullptr, int(c)});
                ColumnInfo ci = columnInfo(cm.name, cm.type, cm.nullable);
                ci.identity = cm.identity;
                ci.computed = cm.computed;
                if (isLobType(cm.type.type))
                    ci.tableName = target->meta->name;
                infos.push_back(ci);
            }
            continue;
        }
        bindExpr(*item.expr, scopes, *this, true);
        if (containsAggregate(*item.expr))
            aggregate = true;
        std::string name = item.alias;
        bool nullable = true;
        ColumnInfo ci;
        if (item.expr->kind == Expr::Kind::Column) {
            const ColumnMeta &cm = scopes[std::size_t(item.expr->scope)].meta->columns[std::size_t(item.expr->column)];
            if (name.empty())
                name = cm.name;
            nullable = cm.nullable;
            ci = columnInfo(name, item.expr->type, nullable);
            ci.identity = cm.identity;
            ci.computed = cm.computed;
            if (isLobType(cm.type.type))
                ci.tableName = target->meta->name;
            outs.push_back({nullptr, item.expr->column});
        } else {
            ci = columnInfo(name, item.expr->type, nullable);
            if (item.expr->kind == Expr::Kind::Func && item.expr->name == "count")
                ci.nullable = true;
            outs.push_back({item.expr.get(), -1});
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
        if (isLobType(k.expr ? k.expr->type.type : infos[std::size_t(k.out)].type))
            fail(306, 16, "The text, ntext, and image data types cannot be compared or sorted, except when using IS NULL or LIKE operator.", true);
        keys.push_back(k);
    }

    if (st.distinct)
        for (const ColumnInfo &ci : infos)
            if (isLobType(ci.type))
                fail(8163, 16, "The text, ntext, or image data type cannot be selected as DISTINCT.", true);
    // text, ntext and image values leave cut to the session's TEXTSIZE.
    std::vector<std::size_t> lobs;
    for (std::size_t i = 0; i < infos.size(); ++i)
        if (isLobType(infos[i].type))
            lobs.push_back(i);
    const auto send = [&](Row &row) {
        for (std::size_t i : lobs)
            cutToTextSize(row[i], infos[i].type, s_.textsize);
        sendRow(row);
    };

    sink_.beginResult(infos);
    std::uint64_t count = 0;
    std::vector<const Row *> rows(scopes.size(), nullptr);
    Row out(outs.size());
    const auto project = [&](const Row *row) {
        for (std::size_t i = 0; i < outs.size(); ++i) {
            if (outs[i].expr)
                out[i] = convertValue(evalExpr(*outs[i].expr, rows, *this), outs[i].expr->type).v;
            else
                out[i] = (*row)[std::size_t(outs[i].column)];
        }
    };
    const auto matches = [&]() {
        if (!st.where)
            return true;
        const auto c = evalCondition(*st.where, rows, *this);
        return c && *c;
    };

    if (aggregate) {
        std::vector<Aggregate> aggs(outs.size());
        for (std::size_t i = 0; i < outs.size(); ++i) {
            Expr *e = outs[i].expr;
            if (e && e->kind == Expr::Kind::Func && e->aggregate) {
                aggs[i].name = e->name;
                aggs[i].arg = e->args.empty() || e->args[0]->kind == Expr::Kind::Star ? nullptr : e->args[0].get();
                aggs[i].acc.t = e->type;
            }
        }
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
        if (target) {
            scan(*target, [&](const Row &row, std::int64_t) {
                rows[0] = &row;
                if (matches())
                    accumulate();
                return true;
            });
        } else if (matches()) {
            accumulate();
        }
        for (std::size_t i = 0; i < outs.size(); ++i) {
            Aggregate &a = aggs[i];
            if (a.name.empty()) {
                rows.assign(scopes.size(), nullptr);
                out[i] = outs[i].expr ? convertValue(evalExpr(*outs[i].expr, rows, *this), outs[i].expr->type).v : Value{};
            } else if (a.name == "count") {
                out[i] = intValue(a.count).v;
            } else if (!a.any) {
                out[i] = Value{};
            } else if (a.name == "avg") {
                TypedValue v = a.acc;
                if (v.v.kind == Value::Kind::Int) v.v.i /= a.count;
                else if (v.v.kind == Value::Kind::Float) v.v.f /= double(a.count);
                else if (v.v.kind == Value::Kind::Decimal) v.v.unscaled /= a.count;
                out[i] = convertValue(v, outs[i].expr->type).v;
            } else {
                out[i] = convertValue(a.acc, outs[i].expr->type).v;
            }
        }
        send(out);
        done(true, 1, 0xC1);
        return;
    }

    const bool streaming = keys.empty() && !st.distinct;
    std::vector<std::pair<Row, Row>> collected; // (output row, sort values)
    const auto emit = [&](const Row *row) -> bool {
        project(row);
        if (streaming) {
            send(out);
            ++count;
            return st.top < 0 || std::int64_t(count) < st.top;
        }
        Row sortValues(keys.size());
        for (std::size_t k = 0; k < keys.size(); ++k)
            sortValues[k] = keys[k].expr ? evalExpr(*keys[k].expr, rows, *this).v : out[std::size_t(keys[k].out)];
        collected.emplace_back(out, std::move(sortValues));
        return true;
    };
    if (st.top == 0) {
        done(true, 0, 0xC1);
        return;
    }
    if (target) {
        scan(*target, [&](const Row &row, std::int64_t) {
            rows[0] = &row;
            if (!matches())
                return true;
            return emit(&row);
        });
    } else if (matches()) {
        emit(nullptr);
    }
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
    done(true, count, 0xC1);
}

} // namespace qts
