// libFuzzer target: any text as a batch through the lexer and parser, and as
// a date/time, number or value converted to every catalogue type.

#include "Ast.h"

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
    const TypedValue in = textValue(text, size % 2 == 0);
    for (XType t : types) {
        try {
            TypeInfo ti = typeFromName(typeName(t), t == XType::Decimal ? 10 : 8, t == XType::Decimal ? 3 : -1);
            const TypedValue out = convertValue(in, ti, -1, true);
            (void)compareValues(out, out);
            std::string key;
            appendKey(key, out);
            (void)valueToText(out);
        } catch (const SqlFailure &) {
        }
    }
    return 0;
}
