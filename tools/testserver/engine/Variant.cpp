// sql_variant: a value keeps the type it was stored as, with that type's
// precision, scale, length and collation; SQL_VARIANT_PROPERTY reads them.

#include "Types.h"

namespace qts {

namespace {

// Storage bytes of a fixed-length type, and of decimal by its precision.
std::int32_t dataLength(const TypeInfo &t)
{
    switch (t.type) {
    case XType::TinyInt: case XType::Bit: return 1;
    case XType::SmallInt: return 2;
    case XType::Int: case XType::Real: case XType::SmallMoney: case XType::SmallDateTime: return 4;
    case XType::BigInt: case XType::Float: case XType::Money: case XType::DateTime: return 8;
    case XType::UniqueIdentifier: return 16;
    case XType::Decimal: case XType::Numeric: return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    default: return t.length;
    }
}

TypedValue sysnameValue(const std::string &s)
{
    return convertValue(textValue(s, true), TypeInfo{XType::SqlVariant, 8016, 0, 0});
}

TypedValue intVariant(std::int64_t v)
{
    return convertValue(intValue(v), TypeInfo{XType::SqlVariant, 8016, 0, 0});
}

} // namespace

TypeInfo variantBaseType(const Value &v)
{
    TypeInfo t = typeFromName(typeName(v.variantType), -1, -1);
    if (v.kind == Value::Kind::Decimal && (t.type == XType::Decimal || t.type == XType::Numeric)) {
        t.scale = v.scale;
        t.precision = v.variantPrecision != 0 ? v.variantPrecision
                                              : std::uint8_t(std::max(digitCount(v.unscaled), int(v.scale)));
        t.length = dataLength(t);
    } else if (v.kind == Value::Kind::Text || v.kind == Value::Kind::Bytes) {
        if (t.type != XType::UniqueIdentifier)
            t.length = v.variantLength > 0 ? v.variantLength : std::int32_t(std::max<std::size_t>(1, v.bytes.size()));
    }
    if (isStringType(t.type))
        t.collation = v.variantCollation;
    return t;
}

TypedValue variantProperty(const TypedValue &value, std::string_view property)
{
    TypedValue none;
    none.t = TypeInfo{XType::SqlVariant, 8016, 0, 0};
    if (value.v.isNull())
        return none;
    // Any expression is a sql_variant here, of its own type.
    const TypedValue v = value.t.type == XType::SqlVariant ? value : convertValue(value, TypeInfo{XType::SqlVariant, 8016, 0, 0});
    const TypeInfo t = variantBaseType(v.v);
    const XType x = t.type;
    if (iequals(property, "BaseType"))
        return sysnameValue(typeName(x));
    if (iequals(property, "Precision")) {
        switch (x) {
        case XType::DateTime: return intVariant(23);
        case XType::SmallDateTime: return intVariant(16);
        case XType::Float: return intVariant(53);
        case XType::Real: return intVariant(24);
        case XType::Decimal: case XType::Numeric: return intVariant(t.precision);
        case XType::Money: return intVariant(19);
        case XType::SmallMoney: return intVariant(10);
        case XType::BigInt: return intVariant(19);
        case XType::Int: return intVariant(10);
        case XType::SmallInt: return intVariant(5);
        case XType::TinyInt: return intVariant(3);
        case XType::Bit: return intVariant(1);
        default: return intVariant(0);
        }
    }
    if (iequals(property, "Scale")) {
        switch (x) {
        case XType::Decimal: case XType::Numeric: return intVariant(t.scale);
        case XType::Money: case XType::SmallMoney: return intVariant(4);
        case XType::DateTime: return intVariant(3);
        default: return intVariant(0);
        }
    }
    if (iequals(property, "MaxLength"))
        return intVariant(dataLength(t));
    if (iequals(property, "Collation"))
        return isStringType(x) ? sysnameValue(collationInfo(t.collation).name) : none;
    if (iequals(property, "TotalBytes")) {
        // As TDS carries it: base type and property count, the properties, the data.
        const std::int64_t props = isStringType(x) ? 7 : (isBinaryType(x) || x == XType::Decimal || x == XType::Numeric) ? 2 : 0;
        std::int64_t data = dataLength(t);
        if (isStringType(x) || isBinaryType(x))
            data = isUnicodeType(x) ? 2 * std::int64_t(utf16Units(v.v.bytes)) : std::int64_t(v.v.bytes.size());
        if (x == XType::VarChar || x == XType::Char)
            data = std::int64_t(utf8Length(v.v.bytes));
        return intVariant(2 + props + data);
    }
    return none;
}

} // namespace qts
