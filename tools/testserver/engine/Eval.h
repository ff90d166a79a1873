#pragma once

// Binding names in expressions to columns, typing them, and evaluating them
// row by row.

#include "Storage.h"

#include <functional>

namespace qts {

// One table visible to an expression. Scopes of one level (UPDATE's target
// and its FROM) share a level; an EXISTS subquery's table is one level in.
struct Scope {
    const TableMeta *meta = nullptr;
    std::string name;  // the table's name
    std::string alias; // when given, the only name that qualifies its columns
    int level = 0;
};

// What evaluation needs from the session and the statement.
class EvalHost {
public:
    virtual ~EvalHost() = default;
    virtual TypedValue sysVar(const std::string &name) = 0;
    // Functions that depend on the session (DB_NAME, SCOPE_IDENTITY ...); nullopt: not one of them.
    virtual std::optional<TypedValue> sessionFunction(const std::string &name, const std::vector<TypedValue> &args) = 0;
    // Binds an EXISTS subquery, with scopes the enclosing ones.
    virtual void bindExists(Expr &e, const std::vector<Scope> &outer) = 0;
    virtual bool exists(const Expr &e, const std::vector<const Row *> &rows) = 0;
};

// Resolves columns (207, 107, 209) and types every node. scopes[0] is the innermost.
void bindExpr(Expr &e, const std::vector<Scope> &scopes, EvalHost &host, bool allowAggregates = false);
bool containsAggregate(const Expr &e);

TypedValue evalExpr(const Expr &e, const std::vector<const Row *> &rows, EvalHost &host);
// WHERE semantics: nullopt is UNKNOWN.
std::optional<bool> evalCondition(const Expr &e, const std::vector<const Row *> &rows, EvalHost &host);

TypeInfo typeFromSpec(const TypeSpec &spec, bool inCast);
// The type both sides of a comparison are brought to, for hashing.
TypeInfo comparisonType(const TypeInfo &a, const TypeInfo &b);

// LIKE with % _ [set]; case-insensitive.
bool likeMatch(std::string_view text, std::string_view pattern);

// The scopes (by index) that an expression's columns refer to; false when it holds a subquery.
bool scopesOf(const Expr &e, std::vector<int> &out);

} // namespace qts
