// Comparison of values under SQL Server's rules, and the key bytes that
// order and group them the same way.

#include "Types.h"

#include <cstring>

namespace qts {

namespace {

TypeInfo baseType(const TypedValue &in)
{
    return in.t.type == XType::SqlVariant ? variantBaseType(in.v) : in.t;
}

} // namespace

int compareText(std::string_view x, std::string_view y, std::uint8_t collation)
{
    // Trailing blanks never count; a case-insensitive collation compares
    // folded text, a case-sensitive one breaks ties of the folded text by
    // case, a binary one compares code points (UTF-8 keeps their order).
    while (!x.empty() && x.back() == ' ') x.remove_suffix(1);
    while (!y.empty() && y.back() == ' ') y.remove_suffix(1);
    const CollationInfo &c = collationInfo(collation);
    const auto sign = [](int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
    if (c.binary)
        return sign(x.compare(y));
    const int folded = foldCase(x).compare(foldCase(y));
    if (folded != 0 || !c.caseSensitive)
        return sign(folded);
    // Lower case before upper case, as Windows collations sort.
    return sign(-x.compare(y));
}

std::optional<int> compareValues(const TypedValue &aRaw, const TypedValue &bRaw, std::uint8_t collation)
{
    if (aRaw.v.isNull() || bRaw.v.isNull())
        return std::nullopt;
    TypedValue a = aRaw, b = bRaw;
    a.t = baseType(aRaw);
    b.t = baseType(bRaw);
    a.v.variantType = b.v.variantType = XType::SqlVariant;
    const XType ta = a.t.type, tb = b.t.type;
    if (ta != tb || a.v.kind != b.v.kind) {
        const bool bothText = a.v.kind == Value::Kind::Text && b.v.kind == Value::Kind::Text;
        const bool bothExact = (a.v.kind == Value::Kind::Int || a.v.kind == Value::Kind::Decimal) &&
                               (b.v.kind == Value::Kind::Int || b.v.kind == Value::Kind::Decimal);
        if (!bothText && !bothExact) {
            if (typePrecedence(ta) >= typePrecedence(tb))
                b = convertValue(b, a.t);
            else
                a = convertValue(a, b.t);
        }
    }
    const auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    if ((a.v.kind == Value::Kind::Int || a.v.kind == Value::Kind::Decimal) &&
        (b.v.kind == Value::Kind::Int || b.v.kind == Value::Kind::Decimal)) {
        const int sa = a.v.kind == Value::Kind::Int ? 0 : a.v.scale, sb = b.v.kind == Value::Kind::Int ? 0 : b.v.scale;
        const __int128 ua = a.v.kind == Value::Kind::Int ? __int128(a.v.i) : a.v.unscaled;
        const __int128 ub = b.v.kind == Value::Kind::Int ? __int128(b.v.i) : b.v.unscaled;
        const int s = std::max(sa, sb);
        __int128 xa, xb;
        if (mulPow10(ua, s - sa, xa) && mulPow10(ub, s - sb, xb))
            return sign(xa, xb);
        // Too many digits at the common scale: integer parts first, then
        // the fractions (each below 10^38 at that scale).
        const __int128 ia = ua / pow10i(sa), ib = ub / pow10i(sb);
        if (ia != ib)
            return sign(ia, ib);
        return sign((ua % pow10i(sa)) * pow10i(s - sa), (ub % pow10i(sb)) * pow10i(s - sb));
    }
    switch (a.v.kind) {
    case Value::Kind::Float: return sign(a.v.f, b.v.f);
    case Value::Kind::DateTime:
        if (a.v.days != b.v.days)
            return sign(a.v.days, b.v.days);
        return sign(a.v.ticks, b.v.ticks);
    case Value::Kind::Text:
        return compareText(a.v.bytes, b.v.bytes, collation != kLiteralCollation ? collation : aRaw.t.collation);
    case Value::Kind::Bytes: {
        std::string x, y;
        appendKey(x, a);
        appendKey(y, b);
        const int c = x.compare(y);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    default: return 0;
    }
}

void appendKey(std::string &out, const TypedValue &tv)
{
    const Value &v = tv.v;
    if (v.isNull()) {
        out += '\0';
        return;
    }
    out += '\1';
    const auto be = [&out](std::uint64_t u, int bytes) {
        for (int k = bytes - 1; k >= 0; --k)
            out += char((u >> (8 * k)) & 0xFF);
    };
    const auto escaped = [&out](std::string_view s) {
        for (char c : s) {
            if (c == '\0' || c == '\1') {
                out += '\1';
                out += char(c + 1);
            } else {
                out += c;
            }
        }
        out += '\0';
    };
    switch (v.kind) {
    case Value::Kind::Int: be(std::uint64_t(v.i) ^ 0x8000000000000000ULL, 8); break;
    case Value::Kind::Float: {
        std::uint64_t u;
        const double d = v.f == 0 ? 0.0 : v.f;
        std::memcpy(&u, &d, 8);
        u = (u & 0x8000000000000000ULL) ? ~u : (u | 0x8000000000000000ULL);
        be(u, 8);
        break;
    }
    case Value::Kind::Decimal: {
        const unsigned __int128 u = (unsigned __int128)v.unscaled ^ ((unsigned __int128)1 << 127);
        be(std::uint64_t(u >> 64), 8);
        be(std::uint64_t(u), 8);
        break;
    }
    case Value::Kind::DateTime:
        be(std::uint32_t(v.days) ^ 0x80000000u, 4);
        be(v.ticks, 4);
        break;
    case Value::Kind::Text: {
        std::string f = collationInfo(tv.t.collation).caseSensitive ? v.bytes : foldCase(v.bytes);
        while (!f.empty() && f.back() == ' ')
            f.pop_back();
        escaped(f);
        break;
    }
    case Value::Kind::Bytes:
        if (tv.t.type == XType::UniqueIdentifier && v.bytes.size() == 16) {
            // SQL Server orders GUIDs by their last six bytes first.
            static const int order[16] = {10, 11, 12, 13, 14, 15, 8, 9, 6, 7, 4, 5, 0, 1, 2, 3};
            for (int k : order)
                out += v.bytes[std::size_t(k)];
        } else {
            std::string_view s = v.bytes;
            while (!s.empty() && s.back() == '\0')
                s.remove_suffix(1);
            escaped(s);
        }
        break;
    case Value::Kind::Null: break;
    }
}

} // namespace qts
