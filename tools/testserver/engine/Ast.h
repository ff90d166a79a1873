#pragma once

// The parsed form of a Transact-SQL batch.

#include "Types.h"

#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace qts {

struct SelectStmt;

struct TypeSpec {
    std::string name;
    int arg1 = -1;
    int arg2 = -1;
};

struct Expr {
    enum class Kind {
        Literal,   // value
        Column,    // parts: [qualifier.]name
        SysVar,    // name: @@VERSION ...
        Func,      // name, args; CONVERT/CAST: castType, style
        Unary,     // op: "-", "+", "~", "NOT"
        Binary,    // op: + - * / % = <> < > <= >= AND OR & | ^
        IsNull,    // args[0]; negated
        InList,    // args[0] IN (args[1..]); negated
        Like,      // args[0] LIKE args[1]; negated
        Between,   // args[0] BETWEEN args[1] AND args[2]; negated
        Exists,    // subquery; negated
        Star,      // COUNT(*)'s argument
        Collate,   // args[0] COLLATE name (the collation in type.collation)
        Variable,  // name: a scalar variable (@x)
        Subquery,  // subquery: a scalar subquery; its value once bound
    };
    // How a character expression came by its collation (SQL Server's
    // collation precedence): a literal, variable or function result takes
    // the database's (Default), a column its own (Implicit), COLLATE the one
    // it names (Explicit); None: two columns' collations clashed.
    enum class Derivation : std::uint8_t { None, Default, Implicit, Explicit };
    Kind kind = Kind::Literal;
    TypedValue value;
    std::vector<std::string> parts;
    std::string name;
    std::string op;
    std::vector<std::unique_ptr<Expr>> args;
    TypeSpec castType;
    int style = -1;
    bool negated = false;
    std::shared_ptr<SelectStmt> subquery;
    std::size_t pos = 0; // offset in the batch
    // Set by binding: the scope and column a Column refers to, and every node's type.
    int scope = -1;
    int column = -1;
    TypeInfo type;
    bool aggregate = false; // COUNT/MAX/MIN/SUM/AVG
    Derivation derivation = Derivation::Default;
    std::uint8_t collateTo = kServerCollation;       // Collate: the collation named
    std::uint8_t compareCollation = kLiteralCollation; // comparisons: the collation they use
};
using ExprPtr = std::unique_ptr<Expr>;

// A table named in a statement: [db.[owner].]name, or a table variable (@t).
struct TableRef {
    std::string database; // empty: the session's
    std::string schema;   // the owner or schema as written (empty: none)
    std::string name;
    std::string alias;
    bool variable = false;
    std::size_t pos = 0;
    [[nodiscard]] bool empty() const { return name.empty(); }
};

// FOREIGN KEY (columns) REFERENCES table [(refColumns)]: refColumns empty
// means the referenced table's primary key.
struct ForeignKeyDef {
    std::string name; // CONSTRAINT name; empty: the server names it
    std::vector<std::string> columns;
    TableRef refTable;
    std::vector<std::string> refColumns;
    std::size_t pos = 0;
};

struct ColumnDef {
    std::string name;
    TypeSpec type;
    int collation = -1; // COLLATE name; -1: the database's
    int nullable = -1; // -1 unspecified, 0 NOT NULL, 1 NULL
    bool identity = false;
    std::int64_t seed = 1;
    std::int64_t increment = 1;
    bool primaryKey = false;
    std::string constraintName;
    std::shared_ptr<Expr> computed;
    std::string computedText; // as written
    std::shared_ptr<Expr> defaultValue;
    std::string defaultText;
    bool sparse = false;
    std::vector<ForeignKeyDef> references; // column-level REFERENCES
};

struct CreateTableStmt {
    TableRef table;
    std::vector<ColumnDef> columns;
    std::vector<std::string> primaryKey; // table constraint columns, in order
    std::string constraintName;
    std::vector<ForeignKeyDef> foreignKeys; // table-level FOREIGN KEY constraints
};

// ALTER TABLE t [WITH CHECK | WITH NOCHECK] ADD [CONSTRAINT n] FOREIGN KEY ...,
// ALTER TABLE t [WITH CHECK | WITH NOCHECK] {CHECK | NOCHECK} CONSTRAINT {ALL | n, ...},
// ALTER TABLE t DROP CONSTRAINT n.
struct AlterTableStmt {
    enum class Action { AddForeignKey, Check, NoCheck, DropConstraint };
    TableRef table;
    Action action = Action::AddForeignKey;
    int with = 0; // 1 WITH CHECK, -1 WITH NOCHECK, 0 neither
    ForeignKeyDef foreignKey;
    bool all = false;
    std::vector<std::string> names;
};

struct SelectItem {
    ExprPtr expr;        // null for * or alias.*
    std::string alias;   // AS name
    std::string starQualifier;
    bool star = false;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

// [INNER] JOIN table ON condition, LEFT [OUTER] JOIN table ON condition.
struct JoinClause {
    TableRef table;
    bool left = false;
    std::shared_ptr<Expr> on;
};

struct SelectStmt {
    std::vector<SelectItem> items;
    TableRef from;       // empty: no FROM
    std::vector<JoinClause> joins;
    ExprPtr where;
    std::vector<OrderItem> orderBy;
    std::int64_t top = -1;
    bool distinct = false;
};

struct InsertStmt {
    TableRef table;
    std::vector<std::string> columns;
    bool columnList = false;
    std::vector<ExprPtr> values;        // VALUES (...)
    std::shared_ptr<SelectStmt> select; // INSERT ... SELECT
    bool defaultValues = false;
};

struct UpdateStmt {
    TableRef table;
    std::vector<std::pair<std::string, ExprPtr>> sets;
    TableRef from;
    ExprPtr where;
};

struct DeleteStmt {
    TableRef table;
    TableRef from;
    ExprPtr where;
    bool truncate = false; // TRUNCATE TABLE: also resets the identity
};

struct CreateDatabaseStmt {
    std::string name;
    int collation = -1; // COLLATE name; -1: the server's
};
struct DropDatabaseStmt { std::vector<std::string> names; };
struct DropTableStmt { std::vector<TableRef> tables; };
struct UseStmt { std::string name; };
struct DeclareTableStmt { CreateTableStmt def; };
struct SetOptionStmt {
    std::string option;   // NOCOUNT, IDENTITY_INSERT, TEXTSIZE, ... (upper case)
    bool on = true;
    TableRef table;       // IDENTITY_INSERT
    std::int64_t number = 0; // TEXTSIZE
};
struct PrintStmt { ExprPtr expr; };
// DECLARE @a type [, @b type ...]: scalar variables, NULL until set.
struct DeclareVarStmt { std::vector<std::pair<std::string, TypeSpec>> vars; };
// SET @a = expression.
struct SetVarStmt {
    std::string name;
    ExprPtr value;
};
// RAISERROR(message, severity, state [, argument ...]) [WITH option ...].
struct RaiseErrorStmt {
    std::vector<ExprPtr> args;
    bool withLog = false;
    bool withSetError = false;
};
// RETURN: the batch ends here.
struct ReturnStmt {};
struct ExecStmt {
    std::string procedure;
    std::vector<ExprPtr> args;
};
struct CheckIdentStmt {
    TableRef table;        // DBCC CHECKIDENT('name'): the literal's text, parsed as a name later
    bool nameIsLiteral = false;
    bool reseed = false;
    bool noReseed = false;
    ExprPtr newValue;
    bool noInfoMessages = false;
};
struct WaitForStmt {
    bool delay = true;     // DELAY: how long; TIME: until when (local time of day)
    std::uint32_t ticks = 0; // 1/300 s since midnight, or the length of the delay
};
struct Statement;
// IF condition statement [ELSE statement]; BEGIN ... END.
struct IfStmt {
    ExprPtr condition;
    std::shared_ptr<Statement> then;
    std::shared_ptr<Statement> otherwise; // may be null
};
struct BlockStmt {
    std::vector<std::shared_ptr<Statement>> statements;
};
struct NoOpStmt { std::string what; }; // transactions and the like

struct Statement {
    std::variant<SelectStmt, InsertStmt, UpdateStmt, DeleteStmt, CreateTableStmt, DropTableStmt,
                 CreateDatabaseStmt, DropDatabaseStmt, UseStmt, DeclareTableStmt, SetOptionStmt,
                 PrintStmt, ExecStmt, CheckIdentStmt, WaitForStmt, IfStmt, BlockStmt, NoOpStmt, AlterTableStmt,
                 DeclareVarStmt, SetVarStmt, RaiseErrorStmt, ReturnStmt>
        body;
    int line = 1;
};

struct ParsedBatch {
    std::vector<Statement> statements;
};

struct ParseResult {
    ParsedBatch batch;
    bool ok = true;
    Message error; // when !ok
};

// Parses a whole batch. Never throws; a syntax error comes back in error.
ParseResult parseBatch(std::string_view sql);

} // namespace qts
