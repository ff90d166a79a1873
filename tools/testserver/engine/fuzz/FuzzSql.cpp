// libFuzzer target: any text as a batch through the lexer and parser, and as
// a date/time, number or value converted to every catalogue type.

#include "Ast.h"

#include <iterator>
#include <string>

using namespace qts;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const ParseResult r = parseBatch(text);
    if (!r.ok && r.error.text.empty())
        __builtin_trap(); // every refusal carries SQL Server's message

    std::int32_t days = 0;
    std::uint32_t ticks = 0;
    for (int style : {-1, 105, 101})
        if (parseDateTime(text, style, days, ticks) && ticks >= 24u * 3600u * 300u)
            __builtin_trap();

    static const XType types[] = {XType::TinyInt, XType::Int, XType::BigInt, XType::Bit, XType::Decimal, XType::Money,
                                  XType::SmallMoney, XType::Float, XType::Real, XType::DateTime, XType::SmallDateTime,
                                  XType::VarChar, XType::NChar, XType::VarBinary, XType::UniqueIdentifier};
    // The text in one of the collations (code page 1251 or 1252, CI, CS or BIN).
    const auto collation = std::uint8_t(size % std::size(kCollations));
    const TypedValue in = textValue(text, size % 2 == 0, collation);
    TypedValue big = decimalValue((__int128(1) << 126) / (size % 2 ? 1 : -1), std::uint8_t(size % 39), 38);
    for (XType t : types) {
        try {
            TypeInfo ti = typeFromName(typeName(t), t == XType::Decimal ? 10 : 8, t == XType::Decimal ? 3 : -1);
            ti.collation = std::uint8_t((size / 7) % std::size(kCollations));
            const TypedValue out = convertValue(in, ti, -1, true);
            (void)compareValues(out, out);
            (void)compareValues(out, in, collation);
            (void)compareValues(big, out);
            std::string key;
            appendKey(key, out);
            (void)valueToText(out);
            // As a sql_variant: it keeps its type, and says so.
            const TypedValue v = convertValue(out, TypeInfo{XType::SqlVariant, 8016, 0, 0});
            for (const char *p : {"BaseType", "Precision", "Scale", "MaxLength", "Collation", "TotalBytes"})
                (void)variantProperty(v, p);
            (void)compareValues(v, out);
            Value cut = out.v;
            cutToTextSize(cut, size % 3 == 0 ? XType::NText : size % 3 == 1 ? XType::Text : XType::Image, std::int32_t(size % 9));
        } catch (const SqlFailure &) {
        }
    }
    return 0;
}
