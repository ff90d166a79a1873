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
    // A scalar variable's declared type and its value (NULL until set).
    virtual TypeInfo variableType(const std::string &name) = 0;
    virtual TypedValue variable(const std::string &name) = 0;
    // Runs a scalar subquery (one column; no correlation with the enclosing
    // statement): its type and value go into e.type and e.value.
    virtual void bindSubquery(Expr &e) = 0;
    // The current database's collation: literals and conversions take it.
    virtual std::uint8_t defaultCollation() = 0;
    // The result of an aggregate of the running SELECT; nullptr outside one.
    virtual const TypedValue *aggregateResult(const Expr &) { return nullptr; }
};

// Resolves columns (207, 107, 209) and types every node. scopes[0] is the innermost.
void bindExpr(Expr &e, const std::vector<Scope> &scopes, EvalHost &host, bool allowAggregates = false);
bool containsAggregate(const Expr &e);

TypedValue evalExpr(const Expr &e, const std::vector<const Row *> &rows, EvalHost &host);
// WHERE semantics: nullopt is UNKNOWN.
std::optional<bool> evalCondition(const Expr &e, const std::vector<const Row *> &rows, EvalHost &host);

TypeInfo typeFromSpec(const TypeSpec &spec, bool inCast);

// Collation precedence (EvalCollation.cpp). deriveCollation gives a
// character expression the collation its character operands combine to;
// comparisonCollation is the one a comparison of a and b uses (446 when
// they clash); comparisonName words an operator as error 446 does.
void deriveCollation(Expr &e, const std::vector<const Expr *> &from, std::uint8_t databaseDefault);
std::uint8_t comparisonCollation(const Expr &a, const Expr &b, const char *operation);
const char *comparisonName(const std::string &op);
// The type both sides of a comparison are brought to, for hashing
// (character values: under the comparison's collation).
TypeInfo comparisonType(const TypeInfo &a, const TypeInfo &b, std::uint8_t collation);
// Refuses what cannot be compared: text, ntext and image (306, or 402 from
// SQL Server 2008), xml (305), geography and geometry (403). operation words
// the operator as the errors do ("equal to").
void comparable(const Expr &a, const Expr &b, const char *operation);

// LIKE with % _ [set]; case-insensitive unless the collation is not.
bool likeMatch(std::string_view text, std::string_view pattern, bool caseSensitive = false);

// The scopes (by index) that an expression's columns refer to; false when it holds a subquery.
bool scopesOf(const Expr &e, std::vector<int> &out);

} // namespace qts
