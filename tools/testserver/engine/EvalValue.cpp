// Values of expressions: arithmetic, concatenation and the built-in functions.

#include "Eval.h"

#include <cmath>
#include <random>

namespace qts {

namespace {

[[noreturn]] void arithOverflow(const TypeInfo &t)
{
    failTerminated(8115, 16, "Arithmetic overflow error converting expression to data type " + typeName(t.type == XType::Decimal ? XType::Numeric : t.type) + ".");
}

[[noreturn]] void divideByZero()
{
    failTerminated(8134, 16, "Divide by zero error encountered.");
}

TypedValue arithmetic(const std::string &op, const TypedValue &a, const TypedValue &b, const TypeInfo &rt)
{
    TypedValue out;
    out.t = rt;
    if (a.v.isNull() || b.v.isNull())
        return out;
    if (isStringType(rt.type)) {
        out.v.kind = Value::Kind::Text;
        out.v.bytes = convertValue(a, rt).v.bytes + convertValue(b, rt).v.bytes;
        if (!isUnicodeType(rt.type))
            out.v.bytes = toCodePage(out.v.bytes, collationInfo(rt.collation).codePage);
        // Without a (max) operand the result is cut at 8,000 bytes (4,000 characters).
        if (!isMaxType(rt))
            out.v.bytes = utf16Prefix(out.v.bytes, std::size_t(isUnicodeType(rt.type) ? rt.length / 2 : rt.length));
        return out;
    }
    if (isDateType(rt.type)) {
        const TypedValue &d = isDateType(a.t.type) ? a : b;
        const TypedValue &n = isDateType(a.t.type) ? b : a;
        const TypedValue nd = convertValue(n, TypeInfo{XType::DateTime, 8, 23, 3});
        std::int64_t ticks = std::int64_t(d.v.days) * 25920000 + d.v.ticks;
        const std::int64_t delta = std::int64_t(nd.v.days) * 25920000 + nd.v.ticks;
        ticks = op == "+" ? ticks + delta : ticks - delta;
        std::int64_t days = ticks >= 0 ? ticks / 25920000 : -((-ticks + 25919999) / 25920000);
        TypedValue r;
        r.t = TypeInfo{XType::DateTime, 8, 23, 3};
        r.v.kind = Value::Kind::DateTime;
        r.v.days = std::int32_t(days);
        r.v.ticks = std::uint32_t(ticks - days * 25920000);
        return convertValue(r, rt);
    }
    if (rt.type == XType::Float || rt.type == XType::Real) {
        const double x = convertValue(a, TypeInfo{XType::Float, 8, 53, 0}).v.f;
        const double y = convertValue(b, TypeInfo{XType::Float, 8, 53, 0}).v.f;
        double r = 0;
        if (op == "+") r = x + y;
        else if (op == "-") r = x - y;
        else if (op == "*") r = x * y;
        else if (op == "/") { if (y == 0) divideByZero(); r = x / y; }
        else fail(403, 16, "Invalid operator for data type. Operator equals modulo, type equals float.", true);
        if (!std::isfinite(r))
            arithOverflow(rt);
        out.v.kind = Value::Kind::Float;
        out.v.f = rt.type == XType::Real ? double(float(r)) : r;
        return out;
    }
    if (isIntegerType(rt.type)) {
        const __int128 x = convertValue(a, TypeInfo{XType::BigInt, 8, 19, 0}).v.i;
        const __int128 y = convertValue(b, TypeInfo{XType::BigInt, 8, 19, 0}).v.i;
        __int128 r = 0;
        if (op == "+") r = x + y;
        else if (op == "-") r = x - y;
        else if (op == "*") r = x * y;
        else if (op == "/") { if (y == 0) divideByZero(); r = x / y; }
        else if (op == "%") { if (y == 0) divideByZero(); r = x % y; }
        else if (op == "&") r = x & y;
        else if (op == "|") r = x | y;
        else if (op == "^") r = x ^ y;
        const bool fits = rt.type == XType::TinyInt ? (r >= 0 && r <= 255) : rt.type == XType::SmallInt ? (r >= -32768 && r <= 32767)
                        : rt.type == XType::Int ? (r >= INT32_MIN && r <= INT32_MAX) : (r >= INT64_MIN && r <= INT64_MAX);
        if (!fits)
            arithOverflow(rt);
        out.v.kind = Value::Kind::Int;
        out.v.i = std::int64_t(r);
        return out;
    }
    // Exact numerics: work at a common scale in 128 bits.
    const TypedValue da = convertValue(a, TypeInfo{XType::Numeric, 17, 38, std::uint8_t(a.v.kind == Value::Kind::Decimal ? a.v.scale : 0)});
    const TypedValue db = convertValue(b, TypeInfo{XType::Numeric, 17, 38, std::uint8_t(b.v.kind == Value::Kind::Decimal ? b.v.scale : 0)});
    const int s1 = da.v.scale, s2 = db.v.scale, rs = rt.scale;
    __int128 r = 0;
    int scale = 0;
    const auto mulOk = [](__int128 x, __int128 y, __int128 &res) { return !__builtin_mul_overflow(x, y, &res); };
    if (op == "+" || op == "-" || op == "%") {
        scale = std::max(s1, s2);
        __int128 x, y;
        if (!mulPow10(da.v.unscaled, scale - s1, x) || !mulPow10(db.v.unscaled, scale - s2, y))
            arithOverflow(rt);
        if (op == "%") { if (y == 0) divideByZero(); r = x % y; }
        else if (op == "+" ? __builtin_add_overflow(x, y, &r) : __builtin_sub_overflow(x, y, &r))
            arithOverflow(rt);
    } else if (op == "*") {
        scale = s1 + s2;
        if (!mulOk(da.v.unscaled, db.v.unscaled, r))
            arithOverflow(rt);
    } else if (op == "/") {
        if (db.v.unscaled == 0)
            divideByZero();
        scale = rs;
        __int128 x;
        if (!mulPow10(da.v.unscaled, rs + s2 - s1 >= 0 ? rs + s2 - s1 : 0, x))
            arithOverflow(rt);
        r = x / db.v.unscaled;
    } else {
        fail(403, 16, "Invalid operator for data type. Operator equals " + op + ", type equals numeric.", true);
    }
    TypedValue tmp = decimalValue(r, std::uint8_t(std::min(scale, 38)), 38);
    if (scale > 38)
        arithOverflow(rt);
    TypedValue res = convertValue(tmp, rt);
    return res;
}

std::string upperText(const std::string &s)
{
    std::string out;
    const std::string lower = foldCase(s);
    // Upper-casing: ASCII and Cyrillic, the letters the collation knows.
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out += (b >= 'a' && b <= 'z') ? char(b - 32) : char(b);
            ++i;
            continue;
        }
        std::size_t n = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
        if (n == 2 && i + 1 < s.size()) {
            char32_t c = char32_t(((b & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F));
            if (c >= 0x430 && c <= 0x44F) c -= 0x20;
            else if (c >= 0x450 && c <= 0x45F) c -= 0x50;
            else if (c == 0x491) c = 0x490;
            out += utf8Encode(c);
        } else {
            out.append(s, i, n);
        }
        i += n;
    }
    (void)lower;
    return out;
}

TypedValue text(std::string s, const TypeInfo &t)
{
    TypedValue r;
    r.t = t;
    r.v.kind = Value::Kind::Text;
    r.v.bytes = std::move(s);
    return r;
}

// Code points of a UTF-8 string.
std::u32string codePoints(const std::string &s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
        char32_t c = n == 1 ? b : b & (n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
        for (std::size_t k = 1; k < n && i + k < s.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out += c;
        i += n;
    }
    return out;
}

std::string fromCodePoints(const std::u32string &s)
{
    std::string out;
    for (char32_t c : s)
        out += utf8Encode(c);
    return out;
}

TypedValue function(const Expr &e, const std::vector<const Row *> &rows, EvalHost &host)
{
    const std::string &n = e.name;
    if (e.aggregate) {
        // Aggregates are reckoned by the SELECT over all its rows.
        if (const TypedValue *result = host.aggregateResult(e))
            return *result;
        fail(147, 15, "An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING clause or a select list, and the column being aggregated is an outer reference.", true);
    }
    std::vector<TypedValue> args;
    if (n != "isnull" && n != "coalesce")
        for (const auto &a : e.args)
            args.push_back(evalExpr(*a, rows, host));
    TypedValue nul;
    nul.t = e.type;
    if (n == "convert")
        return convertValue(evalExpr(*e.args[0], rows, host), e.type, e.style);
    if (n == "isnull" || n == "coalesce") {
        for (const auto &a : e.args) {
            TypedValue v = evalExpr(*a, rows, host);
            if (!v.v.isNull())
                return convertValue(v, e.type);
        }
        return nul;
    }
    if (auto r = host.sessionFunction(n, args))
        return *r;
    const auto arg = [&](std::size_t i) -> const TypedValue & {
        if (i >= args.size())
            fail(174, 15, "The " + n + " function requires " + std::to_string(i + 1) + " argument(s).", true);
        return args[i];
    };
    if (n == "sql_variant_property") {
        if (args.size() != 2)
            fail(174, 15, "The sql_variant_property function requires 2 argument(s).", true);
        return variantProperty(args[0], valueToText(args[1]));
    }
    if (n == "char" || n == "nchar") {
        const TypedValue c = convertValue(arg(0), TypeInfo{XType::Int, 4, 10, 0});
        if (c.v.isNull() || c.v.i < 0 || c.v.i > (n == "char" ? 255 : 65535))
            return nul;
        if (n == "char")
            return text(decodeCodePage(std::string(1, char(c.v.i)), collationInfo(e.type.collation).codePage), e.type);
        return text(utf8Encode(char32_t(c.v.i)), e.type);
    }
    if (n == "len") {
        if (arg(0).v.isNull()) return nul;
        std::string s = valueToText(arg(0));
        while (!s.empty() && s.back() == ' ') s.pop_back();
        // Characters as UTF-16 counts them: one beyond U+FFFF is two.
        return intValue(std::int64_t(utf16Units(s)));
    }
    if (n == "datalength") {
        const TypedValue &v = arg(0);
        if (v.v.isNull()) return nul;
        if (v.v.kind == Value::Kind::Text)
            return intValue(std::int64_t(isUnicodeType(v.t.type) || v.t.type == XType::Xml ? 2 * utf16Units(v.v.bytes) : utf8Length(v.v.bytes)));
        if (v.v.kind == Value::Kind::Bytes)
            return intValue(std::int64_t(v.v.bytes.size()));
        return intValue(v.t.length);
    }
    if (n == "upper" || n == "lower" || n == "ltrim" || n == "rtrim") {
        if (arg(0).v.isNull()) return nul;
        std::string s = valueToText(arg(0));
        if (n == "upper") s = upperText(s);
        else if (n == "lower") s = foldCase(s);
        else if (n == "ltrim") s.erase(0, s.find_first_not_of(' ') == std::string::npos ? s.size() : s.find_first_not_of(' '));
        else while (!s.empty() && s.back() == ' ') s.pop_back();
        return text(s, e.type);
    }
    if (n == "substring" || n == "left" || n == "right") {
        if (arg(0).v.isNull()) return nul;
        const std::u32string s = codePoints(valueToText(arg(0)));
        std::int64_t start = 1, len = 0;
        if (n == "substring") {
            start = convertValue(arg(1), TypeInfo{XType::BigInt, 8, 19, 0}).v.i;
            len = convertValue(arg(2), TypeInfo{XType::BigInt, 8, 19, 0}).v.i;
        } else {
            len = convertValue(arg(1), TypeInfo{XType::BigInt, 8, 19, 0}).v.i;
            if (n == "right") start = std::int64_t(s.size()) - len + 1;
        }
        std::int64_t from = std::max<std::int64_t>(start, 1), to = std::min<std::int64_t>(start + len, std::int64_t(s.size()) + 1);
        if (len < 0) fail(536, 16, "Invalid length parameter passed to the " + n + " function.");
        return text(to > from ? fromCodePoints(s.substr(std::size_t(from - 1), std::size_t(to - from))) : std::string(), e.type);
    }
    if (n == "replace") {
        if (arg(0).v.isNull() || arg(1).v.isNull() || arg(2).v.isNull()) return nul;
        std::string s = valueToText(arg(0));
        const std::string what = valueToText(arg(1)), with = valueToText(arg(2));
        if (!what.empty())
            for (std::size_t p = 0; (p = s.find(what, p)) != std::string::npos; p += with.size())
                s.replace(p, what.size(), with);
        return text(s, e.type);
    }
    if (n == "abs") {
        TypedValue v = arg(0);
        if (v.v.kind == Value::Kind::Int) v.v.i = v.v.i < 0 ? -v.v.i : v.v.i;
        else if (v.v.kind == Value::Kind::Decimal) v.v.unscaled = v.v.unscaled < 0 ? -v.v.unscaled : v.v.unscaled;
        else if (v.v.kind == Value::Kind::Float) v.v.f = std::fabs(v.v.f);
        return v;
    }
    if (n == "getdate" || n == "current_timestamp") {
        TypedValue r;
        r.t = e.type;
        r.v.kind = Value::Kind::DateTime;
        currentDateTime(r.v.days, r.v.ticks);
        return r;
    }
    if (n == "sysdatetime" || n == "sysutcdatetime" || n == "sysdatetimeoffset" || n == "getutcdate") {
        TypedValue r;
        r.t = e.type;
        const bool utc = n == "sysutcdatetime" || n == "getutcdate";
        int offset = 0;
        currentTime(r.v.days, r.v.hns, offset);
        if (utc) {
            std::int64_t local = std::int64_t(r.v.hns) - std::int64_t(offset) * 600000000LL;
            if (local < 0) { local += std::int64_t(kHnsPerDay); --r.v.days; }
            if (local >= std::int64_t(kHnsPerDay)) { local -= std::int64_t(kHnsPerDay); ++r.v.days; }
            r.v.hns = std::uint64_t(local);
        }
        r.v.kind = Value::Kind::Time;
        r.v.offset = std::int16_t(n == "sysdatetimeoffset" ? offset : 0);
        if (n == "getutcdate") {
            TypedValue t{r.v, typeFromName("datetime2", 7, -1)};
            return convertValue(t, e.type);
        }
        return r;
    }
    if (n == "newid") {
        static thread_local std::mt19937_64 rng{std::random_device{}()};
        std::string b(16, '\0');
        for (auto &c : b) c = char(rng() & 0xFF);
        b[7] = char((b[7] & 0x0F) | 0x40);
        b[8] = char((b[8] & 0x3F) | 0x80);
        TypedValue r;
        r.t = e.type;
        r.v.kind = Value::Kind::Bytes;
        r.v.bytes = b;
        return r;
    }
    if (n == "space" || n == "replicate") {
        const bool space = n == "space";
        const TypedValue &cnt = space ? arg(0) : arg(1);
        if (cnt.v.isNull()) return nul;
        const std::int64_t k = convertValue(cnt, TypeInfo{XType::BigInt, 8, 19, 0}).v.i;
        const std::string unit = space ? " " : valueToText(arg(0));
        std::string s;
        // Only a (max) argument gives more than 8,000 bytes (4,000 characters).
        const bool unicode = isUnicodeType(e.type.type);
        const std::size_t cap = isMaxType(e.type) ? std::size_t(0x7FFFFFFF) : unicode ? 4000 : 8000;
        const std::size_t unitLength = unicode ? utf16Units(unit) : utf8Length(unit);
        std::size_t length = 0;
        for (std::int64_t i = 0; i < k && length < cap && unitLength > 0; ++i) {
            s += unit;
            length += unitLength;
        }
        if (length > cap) s = utf16Prefix(s, cap);
        return text(s, e.type);
    }
    if (n == "ascii" || n == "unicode") {
        if (arg(0).v.isNull()) return nul;
        const std::u32string s = codePoints(valueToText(arg(0)));
        if (s.empty()) return nul;
        if (n == "ascii") {
            const std::string b = encodeCodePage(fromCodePoints(s.substr(0, 1)), collationInfo(arg(0).t.collation).codePage);
            return intValue(static_cast<unsigned char>(b[0]));
        }
        return intValue(std::int64_t(s[0]));
    }
    fail(195, 15, "'" + n + "' is not a recognized function name.", true);
}

} // namespace

TypedValue evalExpr(const Expr &e, const std::vector<const Row *> &rows, EvalHost &host)
{
    switch (e.kind) {
    case Expr::Kind::Literal:
        return e.value;
    case Expr::Kind::Column: {
        TypedValue tv;
        tv.t = e.type;
        tv.v = (*rows[std::size_t(e.scope)])[std::size_t(e.column)];
        return tv;
    }
    case Expr::Kind::SysVar:
        return host.sysVar(e.name);
    case Expr::Kind::Variable:
        return host.variable(e.name);
    case Expr::Kind::Subquery:
        return e.value;
    case Expr::Kind::Collate: {
        TypedValue v = evalExpr(*e.args[0], rows, host);
        v.t = e.type;
        if (v.v.kind == Value::Kind::Text && !isUnicodeType(v.t.type))
            v.v.bytes = toCodePage(v.v.bytes, collationInfo(v.t.collation).codePage);
        return v;
    }
    case Expr::Kind::Func:
        return function(e, rows, host);
    case Expr::Kind::Unary: {
        if (e.op == "NOT")
            break;
        TypedValue v = evalExpr(*e.args[0], rows, host);
        if (e.op == "+" || v.v.isNull())
            return v;
        if (e.op == "~") {
            if (v.v.kind != Value::Kind::Int)
                fail(403, 16, "Invalid operator for data type. Operator equals bitwise not, type equals " + typeName(v.t.type) + ".", true);
            v.v.i = ~v.v.i;
            return convertValue(v, v.t);
        }
        switch (v.v.kind) {
        case Value::Kind::Int:
            if ((v.t.type == XType::Int && v.v.i == INT32_MIN) || (v.t.type == XType::BigInt && v.v.i == INT64_MIN))
                arithOverflow(v.t);
            v.v.i = -v.v.i;
            if (v.t.type == XType::TinyInt && v.v.i != 0)
                arithOverflow(v.t);
            return v;
        case Value::Kind::Decimal: v.v.unscaled = -v.v.unscaled; return v;
        case Value::Kind::Float: v.v.f = -v.v.f; return v;
        default:
            fail(8117, 16, "Operand data type " + typeName(v.t.type) + " is invalid for minus operator.", true);
        }
    }
    case Expr::Kind::Binary: {
        if (e.type.type == XType::Bit && (e.op == "=" || e.op == "<>" || e.op == "<" || e.op == ">" || e.op == "<=" || e.op == ">=" || e.op == "AND" || e.op == "OR"))
            break;
        return arithmetic(e.op, evalExpr(*e.args[0], rows, host), evalExpr(*e.args[1], rows, host), e.type);
    }
    default:
        break;
    }
    const auto c = evalCondition(e, rows, host);
    TypedValue r;
    r.t = TypeInfo{XType::Bit, 1, 1, 0};
    if (c) {
        r.v.kind = Value::Kind::Int;
        r.v.i = *c ? 1 : 0;
    }
    return r;
}

} // namespace qts
