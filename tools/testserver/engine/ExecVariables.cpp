// Scalar variables, scalar subqueries, RAISERROR and RETURN.

#include "Executor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace qts {

namespace {

void collectDeclarations(const Statement &st, std::vector<const DeclareVarStmt *> &out)
{
    if (const auto *d = std::get_if<DeclareVarStmt>(&st.body)) {
        out.push_back(d);
    } else if (const auto *i = std::get_if<IfStmt>(&st.body)) {
        collectDeclarations(*i->then, out);
        if (i->otherwise)
            collectDeclarations(*i->otherwise, out);
    } else if (const auto *b = std::get_if<BlockStmt>(&st.body)) {
        for (const auto &inner : b->statements)
            collectDeclarations(*inner, out);
    }
}

// One argument as a printf-style conversion of RAISERROR shows it.
std::string formatArgument(const TypedValue *arg, char conversion, const std::string &flags, int width, int precision)
{
    std::string text;
    if (!arg || arg->v.isNull()) {
        text = "(null)";
    } else if (conversion == 's') {
        text = valueToText(*arg);
        if (precision >= 0 && int(utf16Units(text)) > precision)
            text = utf16Prefix(text, std::size_t(precision));
    } else {
        const TypedValue n = convertValue(*arg, TypeInfo{XType::BigInt, 8, 19, 0});
        std::string format = "%" + flags;
        if (precision >= 0)
            format += "." + std::to_string(precision);
        char buffer[64];
        if (conversion == 'd' || conversion == 'i') {
            format += "lld";
            std::snprintf(buffer, sizeof buffer, format.c_str(), static_cast<long long>(n.v.i));
        } else {
            // Unsigned conversions show the 32-bit pattern of a negative int.
            const auto u = static_cast<unsigned long long>(n.v.i < 0 && n.v.i >= INT32_MIN ? std::uint32_t(n.v.i) : std::uint64_t(n.v.i));
            format += std::string("ll") + conversion;
            std::snprintf(buffer, sizeof buffer, format.c_str(), u);
        }
        text = buffer;
    }
    const int units = int(utf16Units(text));
    if (width > units) {
        const std::string pad(std::size_t(width - units), flags.find('0') != std::string::npos && conversion != 's' ? '0' : ' ');
        if (flags.find('-') != std::string::npos)
            text += std::string(std::size_t(width - units), ' ');
        else if (pad[0] == '0' && !text.empty() && (text[0] == '-' || text[0] == '+'))
            text.insert(1, pad);
        else
            text = pad + text;
    }
    return text;
}

} // namespace

// RAISERROR's message: %% and the conversions d, i, o, s, u, x, X with
// flags (- + 0 # space), width and precision; the arguments in order.
std::string raiseErrorText(const std::string &format, const std::vector<TypedValue> &args)
{
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        std::size_t j = i + 1;
        if (j < format.size() && format[j] == '%') {
            out += '%';
            i = j;
            continue;
        }
        std::string flags;
        while (j < format.size() && std::string("-+0# ").find(format[j]) != std::string::npos)
            flags += format[j++];
        int width = -1, precision = -1;
        while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
            width = std::max(width, 0) * 10 + (format[j++] - '0');
        if (j < format.size() && format[j] == '.') {
            ++j;
            precision = 0;
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])))
                precision = precision * 10 + (format[j++] - '0');
        }
        if (j < format.size() && (format[j] == 'h' || format[j] == 'l'))
            ++j;
        if (j >= format.size() || std::string("dioxXus").find(format[j]) == std::string::npos) {
            // Not a conversion: the text stays as written.
            out += format.substr(i, j - i);
            i = j - 1;
            continue;
        }
        const TypedValue *arg = next < args.size() ? &args[next] : nullptr;
        ++next;
        out += formatArgument(arg, format[j], flags, std::min(width, 400), std::min(precision, 400));
        i = j;
    }
    return out;
}

void Executor::declareVariables(ParsedBatch &batch)
{
    // A variable exists from the start of its batch, NULL until set,
    // whether or not its DECLARE runs.
    std::vector<const DeclareVarStmt *> declarations;
    for (const auto &st : batch.statements)
        collectDeclarations(st, declarations);
    for (const DeclareVarStmt *d : declarations)
        for (const auto &[name, declared] : d->vars) {
            TypedValue v = nullValue();
            v.t = typeFromSpec(declared, false);
            if (isLobType(v.t.type))
                fail(2739, 16, "The text, ntext, and image data types are invalid for local variables.", true);
            scalars_[foldCase(name)] = v;
        }
}

TypeInfo Executor::variableType(const std::string &name)
{
    const auto it = scalars_.find(foldCase(name));
    if (it == scalars_.end())
        fail(137, 15, "Must declare the variable '" + name + "'.", true);
    TypeInfo t = it->second.t;
    return t;
}

TypedValue Executor::variable(const std::string &name)
{
    const auto it = scalars_.find(foldCase(name));
    if (it == scalars_.end())
        fail(137, 15, "Must declare the variable '" + name + "'.", true);
    return it->second;
}

void Executor::setVariable(SetVarStmt &st)
{
    bindExpr(*st.value, {}, *this);
    TypedValue &target = scalars_[foldCase(st.name)];
    TypedValue v = evalExpr(*st.value, {}, *this);
    const TypeInfo type = target.t;
    if (v.v.isNull()) {
        target = nullValue();
        target.t = type;
    } else {
        target = convertValue(v, type);
        target.t = type;
    }
    done(false, 0, 0);
}

void Executor::bindSubquery(Expr &e)
{
    SubqueryRows captured;
    struct Restore {
        SubqueryRows *&slot;
        SubqueryRows *saved;
        ~Restore() { slot = saved; }
    } restore{capture_, capture_};
    capture_ = &captured;
    select(*e.subquery);
    capture_ = restore.saved;
    if (captured.infos.size() != 1)
        fail(116, 16, "Only one expression can be specified in the select list when the subquery is not introduced with EXISTS.", true);
    const ColumnInfo &c = captured.infos[0];
    e.type = TypeInfo{c.type, c.length, c.precision, c.scale, c.collation};
    if (captured.rows.size() > 1)
        fail(512, 16, "Subquery returned more than 1 value. This is not permitted when the subquery follows =, !=, <, <= , >, >= or when the subquery is used as an expression.");
    if (captured.rows.empty()) {
        e.value = nullValue();
        e.value.t = e.type;
    } else {
        e.value = TypedValue{captured.rows[0][0], e.type};
    }
}

void Executor::raiseError(RaiseErrorStmt &st)
{
    std::vector<TypedValue> values;
    for (auto &a : st.args) {
        bindExpr(*a, {}, *this);
        values.push_back(evalExpr(*a, {}, *this));
    }
    const auto number = [&](std::size_t i) {
        const TypedValue &v = values[i];
        if (v.v.isNull() || !(isIntegerType(v.t.type) || isExactNumeric(v.t.type)))
            fail(2786, 16, "The data type of substitution parameter " + std::to_string(i + 1) + " does not match the expected type of the format specification.", true);
        return convertValue(v, TypeInfo{XType::BigInt, 8, 19, 0}).v.i;
    };
    if (!isStringType(values[0].t.type))
        fail(18054, 16, "Error " + valueToText(values[0]) + ", severity " + std::to_string(number(1)) + ", state " + std::to_string(number(2)) +
                            " was raised, but no message with that error number was found in sysmessages.");
    std::int64_t severity = number(1);
    std::int64_t state = number(2);
    if (severity > 18 && !st.withLog)
        fail(2754, 16, "Error severity levels greater than 18 can only be specified by members of the sysadmin role, using the WITH LOG option.");
    severity = std::clamp<std::int64_t>(severity, 0, 25);
    state = std::clamp<std::int64_t>(state, 0, 255);
    const std::string text = raiseErrorText(valueToText(values[0]), std::vector<TypedValue>(values.begin() + 3, values.end()));
    if (severity >= 11) {
        SqlFailure f;
        f.number = 50000;
        f.severity = std::uint8_t(severity);
        f.state = std::uint8_t(state);
        f.text = text;
        throw f;
    }
    Message m;
    m.number = 50000;
    m.severity = std::uint8_t(severity);
    m.state = std::uint8_t(state);
    m.text = text;
    m.line = line_;
    sink_.message(m);
    done(false, 0, 0);
}

} // namespace qts
