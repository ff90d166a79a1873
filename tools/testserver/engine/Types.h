#pragma once

// Column types, typed values and SQL Server's conversions between them.

#include "EngineApi.h"

#include <optional>
#include <string>
#include <string_view>

namespace qts {

// A statement-level failure with SQL Server's number, severity and text.
// abortBatch: the rest of the batch does not run.
struct SqlFailure {
    std::int32_t number = 0;
    std::uint8_t severity = 16;
    std::string text;
    bool abortBatch = false;
    bool terminated = false; // followed by 3621 "The statement has been terminated."
    std::uint8_t state = 1;
};

[[noreturn]] void fail(std::int32_t number, std::uint8_t severity, std::string text, bool abortBatch = false);
[[noreturn]] void failTerminated(std::int32_t number, std::uint8_t severity, std::string text);

struct TypeInfo {
    XType type = XType::Int;
    std::int32_t length = 4; // bytes; nchar/nvarchar: 2 x characters
    std::uint8_t precision = 10;
    std::uint8_t scale = 0;
    std::uint8_t collation = kServerCollation; // character types only

    [[nodiscard]] bool operator==(const TypeInfo &) const = default;
};

struct TypedValue {
    Value v;
    TypeInfo t;
};

// Type by name with its arguments (-1 = not given). Throws 2715 for an unknown name.
TypeInfo typeFromName(const std::string &name, int arg1, int arg2);
std::string typeName(XType type);
// "int", "varchar(50)", "decimal(18,2)", "nvarchar(20)" (characters).
std::string typeDisplay(const TypeInfo &t);
// Precision/scale as syscolumns shows them.
void defaultPrecision(TypeInfo &t);

bool isStringType(XType t);
bool isUnicodeType(XType t);
bool isBinaryType(XType t);
bool isIntegerType(XType t);
bool isExactNumeric(XType t); // decimal, numeric, money, smallmoney
bool isNumericType(XType t);  // integers, bit, exact, float, real
bool isDateType(XType t);
bool isLobType(XType t);      // text, ntext, image
int typePrecedence(XType t);  // higher wins

// Literal constructors.
TypedValue nullValue();
TypedValue intValue(std::int64_t v, XType t = XType::Int);
// A character value; a non-Unicode one in the code page of its collation.
TypedValue textValue(std::string utf8, bool unicode, std::uint8_t collation = kServerCollation);
// A literal as written: its collation (and a non-N one's code page) is the
// database's, settled when its statement is bound (resolveLiteral).
TypedValue literalText(std::string utf8, bool unicode);
void resolveLiteral(TypedValue &v, std::uint8_t collation);
TypedValue bytesValue(std::string bytes);
TypedValue decimalValue(__int128 unscaled, std::uint8_t scale, std::uint8_t precision);
TypedValue floatValue(double d);
// A numeric literal as SQL Server types it: int, numeric(p,s) or float.
TypedValue numberLiteral(std::string_view text);

// Converts to a target type; style applies to datetime<->string (105 etc).
// Throws the conversion error SQL Server gives (245, 241, 8114, 8115, 220, 8152 ...).
// forColumn: the target is a column (8152 on truncation); else strings are cut silently.
TypedValue convertValue(const TypedValue &in, const TypeInfo &to, int style = -1, bool forColumn = false);

// sql_variant (Variant.cpp): the type a value keeps, and SQL_VARIANT_PROPERTY.
TypeInfo variantBaseType(const Value &v);
TypedValue variantProperty(const TypedValue &value, std::string_view property);

// The value as text (CONVERT(varchar, x)): used by PRINT, concatenation and messages.
std::string valueToText(const TypedValue &tv);

// Three-way compare under SQL Server's rules (character values by the
// collation, default: a's; trailing blanks ignored; binary zero-padded).
// nullopt when either side is NULL.
std::optional<int> compareValues(const TypedValue &a, const TypedValue &b, std::uint8_t collation = kLiteralCollation);

// Character strings compared under a collation (trailing blanks ignored).
int compareText(std::string_view x, std::string_view y, std::uint8_t collation);

// Bytes whose memcmp order and equality follow compareValues for values of
// one type (character values: by the type's collation).
void appendKey(std::string &out, const TypedValue &tv);

// A #temporary table's name.
inline bool isTempName(std::string_view name) { return !name.empty() && name[0] == '#'; }

// Text helpers.
std::string toLowerAscii(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
std::string foldCase(std::string_view utf8); // CI comparison form
std::size_t utf8Length(std::string_view s);
std::size_t utf16Units(std::string_view s);
// The longest start of s that fits in n UTF-16 units.
std::string utf16Prefix(std::string_view s, std::size_t n);
// A text, ntext or image value as a result carries it under SET TEXTSIZE:
// at most maxBytes bytes (text: one byte per character; ntext: two per
// UTF-16 unit, a pair that would be split is left out; -1: no limit).
void cutToTextSize(Value &v, XType type, std::int32_t maxBytes);
std::string utf8Encode(char32_t c);
// 8-bit code pages (1251, 1252): characters outside the page become '?'.
std::string toCodePage(std::string_view utf8, std::uint16_t cp);
bool fitsCodePage(std::string_view utf8, std::uint16_t cp);
std::string decodeCodePage(std::string_view bytes, std::uint16_t cp);
std::string encodeCodePage(std::string_view utf8, std::uint16_t cp);

// Decimal helpers.
std::string int128ToString(__int128 v);
std::string decimalToString(__int128 unscaled, int scale);
__int128 pow10i(int n); // 0 <= n <= 38
// v * 10^n; false when it does not fit in 128 bits.
bool mulPow10(__int128 v, int n, __int128 &out);
int digitCount(__int128 v);

// Date helpers: days since 1900-01-01 and 1/300 s ticks.
// outOfRange: the text has a date's form but no such day exists.
bool parseDateTime(std::string_view text, int style, std::int32_t &days, std::uint32_t &ticks, bool *outOfRange = nullptr);
std::int32_t daysFromCivil(int y, int m, int d);
void civilFromDays(std::int32_t days, int &y, int &m, int &d);
std::string dateTimeToText(std::int32_t days, std::uint32_t ticks, bool small);

} // namespace qts
