#include "Eval.h"

#include <cmath>
#include <cstring>

namespace qts {

namespace {

bool isAggregateName(const std::string &n)
{
    return n == "count" || n == "max" || n == "min" || n == "sum" || n == "avg";
}

TypeInfo asDecimal(const TypeInfo &t)
{
    switch (t.type) {
    case XType::Bit: return TypeInfo{XType::Numeric, 5, 1, 0};
    case XType::TinyInt: return TypeInfo{XType::Numeric, 5, 3, 0};
    case XType::SmallInt: return TypeInfo{XType::Numeric, 5, 5, 0};
    case XType::Int: return TypeInfo{XType::Numeric, 9, 10, 0};
    case XType::BigInt: return TypeInfo{XType::Numeric, 9, 19, 0};
    case XType::Money: return TypeInfo{XType::Numeric, 9, 19, 4};
    case XType::SmallMoney: return TypeInfo{XType::Numeric, 5, 10, 4};
    default: return t;
    }
}

TypeInfo decimalOf(int p, int s)
{
    if (p > 38) {
        s = std::max(std::min(s, 6), s - (p - 38));
        p = 38;
    }
    if (s < 0) s = 0;
    if (p < 1) p = 1;
    TypeInfo t{XType::Numeric, 0, std::uint8_t(p), std::uint8_t(s)};
    t.length = p <= 9 ? 5 : p <= 19 ? 9 : p <= 28 ? 13 : 17;
    return t;
}

const char *operatorName(const std::string &op)
{
    return op == "+" ? "add" : op == "-" ? "subtract" : op == "*" ? "multiply" : op == "/" ? "divide" : op == "%" ? "modulo"
         : op == "&" ? "boolean AND" : op == "|" ? "boolean OR" : "boolean XOR";
}

TypeInfo arithmeticType(const std::string &op, const TypeInfo &a, const TypeInfo &b)
{
    for (const TypeInfo *t : {&a, &b})
        if (t->type == XType::Xml || isClrType(t->type))
            fail(402, 16, "The data types " + typeName(a.type) + " and " + typeName(b.type) + " are incompatible in the "
                              + operatorName(op) + " operator.", true);
    if (op == "+" && isStringType(a.type) && isStringType(b.type)) {
        // A (max) operand makes the result (max); otherwise it is cut at 8,000 bytes.
        const bool max = isMaxType(a) || isMaxType(b);
        if (isUnicodeType(a.type) || isUnicodeType(b.type)) {
            const int la = isUnicodeType(a.type) ? a.length / 2 : a.length, lb = isUnicodeType(b.type) ? b.length / 2 : b.length;
            return TypeInfo{XType::NVarChar, max ? kMaxLength : 2 * std::min(4000, la + lb), 0, 0};
        }
        return TypeInfo{XType::VarChar, max ? kMaxLength : std::min(8000, a.length + b.length), 0, 0};
    }
    // Only datetime and smalldatetime take part in arithmetic; the 2008 types do not.
    if (isTimeType(a.type) || isTimeType(b.type))
        operandClash(isTimeType(a.type) ? a : b, isTimeType(a.type) ? b : a);
    if ((op == "+" || op == "-") && (isDateType(a.type) || isDateType(b.type)))
        return isDateType(a.type) ? a : b;
    const TypeInfo &hi = typePrecedence(a.type) >= typePrecedence(b.type) ? a : b;
    if (hi.type == XType::Float || hi.type == XType::Real)
        return hi;
    if (hi.type == XType::Decimal || hi.type == XType::Numeric) {
        const TypeInfo da = asDecimal(isStringType(a.type) ? hi : a), db = asDecimal(isStringType(b.type) ? hi : b);
        const int p1 = da.precision, s1 = da.scale, p2 = db.precision, s2 = db.scale;
        if (op == "+" || op == "-") {
            const int s = std::max(s1, s2);
            return decimalOf(std::max(p1 - s1, p2 - s2) + s + 1, s);
        }
        if (op == "*")
            return decimalOf(p1 + p2 + 1, s1 + s2);
        if (op == "/") {
            const int s = std::max(6, s1 + p2 + 1);
            return decimalOf(p1 - s1 + s2 + s, s);
        }
        return decimalOf(std::min(p1 - s1, p2 - s2) + std::max(s1, s2), std::max(s1, s2));
    }
    if (hi.type == XType::Money || hi.type == XType::SmallMoney)
        return TypeInfo{XType::Money, 8, 19, 4};
    if (hi.type == XType::Bit)
        return TypeInfo{XType::Int, 4, 10, 0};
    if (isIntegerType(hi.type))
        return hi;
    fail(403, 16, "Invalid operator for data type. Operator equals " + std::string(operatorName(op)) + ", type equals " + typeName(hi.type) + ".", true);
}

} // namespace

TypeInfo typeFromSpec(const TypeSpec &spec, bool inCast)
{
    int a1 = spec.arg1;
    const std::string n = toLowerAscii(spec.name);
    if (inCast && a1 == -1 && (n == "char" || n == "varchar" || n == "nchar" || n == "nvarchar" || n == "binary" || n == "varbinary"))
        a1 = 30;
    return typeFromName(spec.name, a1, spec.arg2);
}

TypeInfo comparisonType(const TypeInfo &a, const TypeInfo &b, std::uint8_t collation)
{
    if (isStringType(a.type) && isStringType(b.type))
        return TypeInfo{XType::NVarChar, 8000, 0, 0, collation};
    const bool ea = isIntegerType(a.type) || isExactNumeric(a.type), eb = isIntegerType(b.type) || isExactNumeric(b.type);
    if (ea && eb) {
        if (isIntegerType(a.type) && isIntegerType(b.type))
            return TypeInfo{XType::BigInt, 8, 19, 0};
        return decimalOf(38, std::max(asDecimal(a).scale, asDecimal(b).scale));
    }
    TypeInfo t = typePrecedence(a.type) >= typePrecedence(b.type) ? a : b;
    if (isStringType(t.type))
        t.length = 8000;
    if (t.type == XType::Binary || t.type == XType::VarBinary)
        t = TypeInfo{XType::VarBinary, 8000, 0, 0};
    return t;
}

void comparable(const Expr &a, const Expr &b, const char *operation)
{
    if (a.type.type == XType::Xml || b.type.type == XType::Xml)
        fail(305, 16, "The XML data type cannot be compared or sorted, except when using the IS NULL operator.", true);
    for (const Expr *e : {&a, &b})
        if (e->type.type == XType::Geography || e->type.type == XType::Geometry)
            fail(403, 16, "Invalid operator for data type. Operator equals " + std::string(operation) + ", type equals "
                              + typeName(e->type.type) + ".", true);
    // IS NULL and LIKE are all that text, ntext and image allow; SQL Server
    // 2008 and later word it as a type mismatch.
    if (isLobType(a.type.type) || isLobType(b.type.type)) {
        if (currentServerVersion().atLeast(2008))
            fail(402, 16, "The data types " + typeName(a.type.type) + " and " + typeName(b.type.type)
                              + " are incompatible in the " + operation + " operator.", true);
        fail(306, 16, "The text, ntext, and image data types cannot be compared or sorted, except when using IS NULL or LIKE operator.", true);
    }
}

bool containsAggregate(const Expr &e)
{
    if (e.kind == Expr::Kind::Func && isAggregateName(e.name))
        return true;
    for (const auto &a : e.args)
        if (a && containsAggregate(*a))
            return true;
    return false;
}

bool scopesOf(const Expr &e, std::vector<int> &out)
{
    if (e.kind == Expr::Kind::Exists || e.kind == Expr::Kind::Subquery)
        return false;
    if (e.kind == Expr::Kind::Column)
        out.push_back(e.scope);
    for (const auto &a : e.args)
        if (a && !scopesOf(*a, out))
            return false;
    return true;
}

void bindExpr(Expr &e, const std::vector<Scope> &scopes, EvalHost &host, bool allowAggregates)
{
    switch (e.kind) {
    case Expr::Kind::Literal:
        resolveLiteral(e.value, host.defaultCollation());
        e.type = e.value.t;
        e.derivation = Expr::Derivation::Default;
        return;
    case Expr::Kind::Column: {
        const std::string &col = e.parts.back();
        const std::string qualifier = e.parts.size() >= 2 ? e.parts[e.parts.size() - 2] : std::string();
        int foundScope = -1, foundCol = -1, foundLevel = -1;
        bool qualifierSeen = qualifier.empty();
        for (std::size_t s = 0; s < scopes.size(); ++s) {
            const Scope &sc = scopes[s];
            if (foundLevel >= 0 && sc.level != foundLevel)
                break;
            if (!qualifier.empty()) {
                const bool match = sc.alias.empty() ? iequals(sc.name, qualifier) : iequals(sc.alias, qualifier);
                if (!match)
                    continue;
                qualifierSeen = true;
            }
            const int c = sc.meta->findColumn(col);
            if (c < 0)
                continue;
            if (foundScope >= 0)
                fail(209, 16, "Ambiguous column name '" + col + "'.", true);
            foundScope = int(s);
            foundCol = c;
            foundLevel = sc.level;
        }
        if (!qualifierSeen)
            fail(107, 16, "The column prefix '" + qualifier + "' does not match with a table name or alias name used in the query.", true);
        if (foundScope < 0)
            fail(207, 16, "Invalid column name '" + col + "'.", true);
        e.scope = foundScope;
        e.column = foundCol;
        e.type = scopes[std::size_t(foundScope)].meta->columns[std::size_t(foundCol)].type;
        e.derivation = Expr::Derivation::Implicit;
        return;
    }
    case Expr::Kind::SysVar:
        e.type = host.sysVar(e.name).t;
        e.type.collation = host.defaultCollation();
        return;
    case Expr::Kind::Star:
        e.type = TypeInfo{XType::Int, 4, 10, 0};
        return;
    case Expr::Kind::Exists:
        host.bindExists(e, scopes);
        e.type = TypeInfo{XType::Bit, 1, 1, 0};
        return;
    case Expr::Kind::Variable:
        e.type = host.variableType(e.name);
        if (isStringType(e.type.type))
            e.type.collation = host.defaultCollation();
        e.derivation = Expr::Derivation::Default;
        return;
    case Expr::Kind::Subquery:
        host.bindSubquery(e);
        e.derivation = isStringType(e.type.type) ? Expr::Derivation::Implicit : Expr::Derivation::Default;
        return;
    default:
        break;
    }
    const bool aggregate = e.kind == Expr::Kind::Func && isAggregateName(e.name);
    if (aggregate && !allowAggregates)
        fail(147, 15, "An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING clause or a select list, and the column being aggregated is an outer reference.", true);
    for (auto &a : e.args)
        bindExpr(*a, scopes, host, allowAggregates && !aggregate);
    e.aggregate = aggregate;
    if (aggregate && !e.args.empty() && isLobType(e.args[0]->type.type))
        fail(279, 16, "The text, ntext, and image data types are invalid in this subquery or aggregate expression.", true);
    if (aggregate && !e.args.empty() && e.name != "count" &&
        (e.args[0]->type.type == XType::Xml || e.args[0]->type.type == XType::Geography || e.args[0]->type.type == XType::Geometry))
        fail(8117, 16, "Operand data type " + typeName(e.args[0]->type.type) + " is invalid for " + e.name + " operator.", true);
    const std::uint8_t databaseCollation = host.defaultCollation();
    switch (e.kind) {
    case Expr::Kind::Collate:
        if (!isStringType(e.args[0]->type.type))
            fail(447, 16, "Expression type " + typeName(e.args[0]->type.type) + " is invalid for COLLATE clause.", true);
        e.type = e.args[0]->type;
        e.type.collation = e.collateTo;
        e.derivation = Expr::Derivation::Explicit;
        return;
    case Expr::Kind::Func: {
        const std::string &n = e.name;
        const auto argType = [&](std::size_t i) { return i < e.args.size() ? e.args[i]->type : TypeInfo{XType::Int, 4, 10, 0}; };
        if (n == "convert") e.type = typeFromSpec(e.castType, true);
        else if (n == "count") e.type = TypeInfo{XType::Int, 4, 10, 0};
        else if (n == "max" || n == "min" || n == "isnull" || n == "upper" || n == "lower" || n == "ltrim" || n == "rtrim" ||
                 n == "abs" || n == "substring" || n == "replace" || n == "left" || n == "right") {
            e.type = argType(0);
            if (e.type.type == XType::Char) e.type.type = XType::VarChar;
            if (e.type.type == XType::NChar) e.type.type = XType::NVarChar;
        } else if (n == "sum" || n == "avg") {
            const TypeInfo t = argType(0);
            if (isIntegerType(t.type)) e.type = t.type == XType::BigInt ? t : TypeInfo{XType::Int, 4, 10, 0};
            else if (t.type == XType::Decimal || t.type == XType::Numeric) e.type = decimalOf(38, n == "avg" ? std::max(6, int(t.scale)) : t.scale);
            else if (t.type == XType::Money || t.type == XType::SmallMoney) e.type = TypeInfo{XType::Money, 8, 19, 4};
            else e.type = TypeInfo{XType::Float, 8, 53, 0};
        } else if (n == "coalesce") {
            e.type = argType(0);
            for (const auto &a : e.args)
                if (typePrecedence(a->type.type) > typePrecedence(e.type.type))
                    e.type = a->type;
        } else if (n == "char") e.type = TypeInfo{XType::Char, 1, 0, 0};
        else if (n == "nchar") e.type = TypeInfo{XType::NChar, 2, 0, 0};
        else if (n == "len" || n == "datalength" || n == "object_id" || n == "ascii" || n == "unicode" || n == "charindex" ||
                 n == "schema_id" || n == "type_id" || n == "objectproperty") e.type = TypeInfo{XType::Int, 4, 10, 0};
        else if (n == "getdate" || n == "current_timestamp" || n == "getutcdate") e.type = TypeInfo{XType::DateTime, 8, 23, 3};
        else if ((n == "sysdatetime" || n == "sysutcdatetime") && currentServerVersion().atLeast(2008))
            e.type = typeFromName("datetime2", 7, -1);
        else if (n == "sysdatetimeoffset" && currentServerVersion().atLeast(2008))
            e.type = typeFromName("datetimeoffset", 7, -1);
        else if (n == "newid") e.type = TypeInfo{XType::UniqueIdentifier, 16, 0, 0};
        else if (n == "scope_identity" || n == "ident_current") e.type = decimalOf(38, 0);
        else if (n == "replicate" && isMaxType(argType(0))) e.type = argType(0);
        else if (n == "replicate" && isUnicodeType(argType(0).type)) e.type = TypeInfo{XType::NVarChar, 8000, 0, 0};
        else if (n == "space" || n == "replicate") e.type = TypeInfo{XType::VarChar, 8000, 0, 0};
        else if (n == "sql_variant_property" || n == "databasepropertyex" || n == "serverproperty") e.type = TypeInfo{XType::SqlVariant, 8016, 0, 0};
        else e.type = TypeInfo{XType::NVarChar, 256, 0, 0};
        // Functions of a character argument keep its collation; the others
        // (and conversions) give the database's.
        std::vector<const Expr *> from;
        if (n == "isnull" || n == "coalesce") {
            for (const auto &a : e.args)
                from.push_back(a.get());
        } else if (!e.args.empty() && n != "convert" && e.type.type != XType::Int &&
                   (n == "max" || n == "min" || n == "upper" || n == "lower" || n == "ltrim" || n == "rtrim" ||
                    n == "substring" || n == "replace" || n == "left" || n == "right")) {
            from.push_back(e.args[0].get());
        }
        e.type.collation = databaseCollation;
        e.derivation = Expr::Derivation::Default;
        deriveCollation(e, from, databaseCollation);
        return;
    }
    case Expr::Kind::Unary:
        e.type = e.op == "NOT" ? TypeInfo{XType::Bit, 1, 1, 0} : e.args[0]->type;
        return;
    case Expr::Kind::Binary: {
        if (e.op == "AND" || e.op == "OR") {
            e.type = TypeInfo{XType::Bit, 1, 1, 0};
            return;
        }
        static const char *const comparisons[] = {"=", "<>", "<", ">", "<=", ">="};
        for (const char *op : comparisons)
            if (e.op == op) {
                e.type = TypeInfo{XType::Bit, 1, 1, 0};
                comparable(*e.args[0], *e.args[1], comparisonName(e.op));
                e.compareCollation = comparisonCollation(*e.args[0], *e.args[1], comparisonName(e.op));
                return;
            }
        e.type = arithmeticType(e.op, e.args[0]->type, e.args[1]->type);
        e.type.collation = databaseCollation;
        deriveCollation(e, {e.args[0].get(), e.args[1].get()}, databaseCollation);
        return;
    }
    case Expr::Kind::InList: case Expr::Kind::Between:
        for (std::size_t i = 1; i < e.args.size(); ++i) {
            comparable(*e.args[0], *e.args[i], e.kind == Expr::Kind::InList ? "equal to" : "greater than or equal to");
            e.compareCollation = comparisonCollation(*e.args[0], *e.args[i], e.kind == Expr::Kind::InList ? "equal to" : "greater than or equal to");
        }
        e.type = TypeInfo{XType::Bit, 1, 1, 0};
        return;
    case Expr::Kind::Like:
        e.compareCollation = comparisonCollation(*e.args[0], *e.args[1], "like");
        e.type = TypeInfo{XType::Bit, 1, 1, 0};
        return;
    default:
        e.type = TypeInfo{XType::Bit, 1, 1, 0};
        return;
    }
}

bool likeMatch(std::string_view text, std::string_view pattern, bool caseSensitive)
{
    const std::string t = caseSensitive ? std::string(text) : foldCase(text);
    const std::string p = caseSensitive ? std::string(pattern) : foldCase(pattern);
    // Byte-wise match is enough for the ASCII wildcards; multi-byte characters match themselves.
    std::function<bool(std::size_t, std::size_t)> m = [&](std::size_t ti, std::size_t pi) -> bool {
        while (pi < p.size()) {
            const char c = p[pi];
            if (c == '%') {
                while (pi < p.size() && p[pi] == '%') ++pi;
                if (pi == p.size()) return true;
                for (std::size_t k = ti; k <= t.size(); ++k)
                    if (m(k, pi)) return true;
                return false;
            }
            if (ti >= t.size()) return false;
            if (c == '_') {
                const auto b = static_cast<unsigned char>(t[ti]);
                ti += b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
                ++pi;
                continue;
            }
            if (c == '[') {
                const std::size_t close = p.find(']', pi + 1);
                if (close != std::string::npos) {
                    std::string_view set = std::string_view(p).substr(pi + 1, close - pi - 1);
                    bool neg = !set.empty() && set[0] == '^';
                    if (neg) set.remove_prefix(1);
                    bool in = false;
                    for (std::size_t k = 0; k < set.size(); ++k) {
                        if (k + 2 < set.size() && set[k + 1] == '-') {
                            if (t[ti] >= set[k] && t[ti] <= set[k + 2]) in = true;
                            k += 2;
                        } else if (set[k] == t[ti]) {
                            in = true;
                        }
                    }
                    if (in == neg) return false;
                    ++ti;
                    pi = close + 1;
                    continue;
                }
            }
            if (t[ti] != c) return false;
            ++ti;
            ++pi;
        }
        // Trailing blanks of the text do not matter.
        while (ti < t.size() && t[ti] == ' ') ++ti;
        return ti == t.size();
    };
    return m(0, 0);
}

std::optional<bool> evalCondition(const Expr &e, const std::vector<const Row *> &rows, EvalHost &host)
{
    switch (e.kind) {
    case Expr::Kind::Binary: {
        if (e.op == "AND") {
            const auto a = evalCondition(*e.args[0], rows, host);
            if (a && !*a) return false;
            const auto b = evalCondition(*e.args[1], rows, host);
            if (b && !*b) return false;
            if (a && b) return true;
            return std::nullopt;
        }
        if (e.op == "OR") {
            const auto a = evalCondition(*e.args[0], rows, host);
            if (a && *a) return true;
            const auto b = evalCondition(*e.args[1], rows, host);
            if (b && *b) return true;
            if (a && b) return false;
            return std::nullopt;
        }
        const std::string &op = e.op;
        if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
            const auto c = compareValues(evalExpr(*e.args[0], rows, host), evalExpr(*e.args[1], rows, host), e.compareCollation);
            if (!c) return std::nullopt;
            if (op == "=") return *c == 0;
            if (op == "<>") return *c != 0;
            if (op == "<") return *c < 0;
            if (op == ">") return *c > 0;
            if (op == "<=") return *c <= 0;
            return *c >= 0;
        }
        break;
    }
    case Expr::Kind::Unary:
        if (e.op == "NOT") {
            const auto a = evalCondition(*e.args[0], rows, host);
            if (!a) return std::nullopt;
            return !*a;
        }
        break;
    case Expr::Kind::IsNull: {
        const bool isNull = evalExpr(*e.args[0], rows, host).v.isNull();
        return e.negated ? !isNull : isNull;
    }
    case Expr::Kind::InList: {
        const TypedValue v = evalExpr(*e.args[0], rows, host);
        bool unknown = false;
        for (std::size_t i = 1; i < e.args.size(); ++i) {
            const auto c = compareValues(v, evalExpr(*e.args[i], rows, host), e.compareCollation);
            if (!c) unknown = true;
            else if (*c == 0) return !e.negated;
        }
        if (unknown) return std::nullopt;
        return e.negated;
    }
    case Expr::Kind::Like: {
        const TypedValue a = evalExpr(*e.args[0], rows, host), b = evalExpr(*e.args[1], rows, host);
        if (a.v.isNull() || b.v.isNull()) return std::nullopt;
        const bool m = likeMatch(valueToText(a), valueToText(b), collationInfo(e.compareCollation).caseSensitive);
        return e.negated ? !m : m;
    }
    case Expr::Kind::Between: {
        const TypedValue v = evalExpr(*e.args[0], rows, host);
        const auto lo = compareValues(v, evalExpr(*e.args[1], rows, host), e.compareCollation);
        const auto hi = compareValues(v, evalExpr(*e.args[2], rows, host), e.compareCollation);
        if (!lo || !hi) return std::nullopt;
        const bool in = *lo >= 0 && *hi <= 0;
        return e.negated ? !in : in;
    }
    case Expr::Kind::Exists: {
        const bool found = host.exists(e, rows);
        return e.negated ? !found : found;
    }
    default:
        break;
    }
    fail(4145, 15, "An expression of non-boolean type specified in a context where a condition is expected.", true);
}

} // namespace qts
