#pragma once

#include "Exec.h"

#include <functional>
#include <unordered_set>

namespace qts {

// Runs one parsed batch for one session, reporting through the sink.
class Executor : public EvalHost {
public:
    Executor(EngineImpl &engine, SessionImpl &session, ResultSink &sink)
        : engine_(engine), s_(session), sink_(sink) {}
    void run(ParsedBatch &batch);

    // EvalHost
    TypedValue sysVar(const std::string &name) override;
    std::optional<TypedValue> sessionFunction(const std::string &name, const std::vector<TypedValue> &args) override;
    void bindExists(Expr &e, const std::vector<Scope> &outer) override;
    bool exists(const Expr &e, const std::vector<const Row *> &rows) override;
    std::uint8_t defaultCollation() override;
    TypeInfo variableType(const std::string &name) override;
    TypedValue variable(const std::string &name) override;
    void bindSubquery(Expr &e) override;
    const TypedValue *aggregateResult(const Expr &e) override
    {
        const auto it = aggregateResults_.find(&e);
        return it == aggregateResults_.end() ? nullptr : &it->second;
    }

private:
    // One statement under SQL Server's abort rules (throws Aborted when the
    // batch ends there).
    void execute(Statement &st);
    void statement(Statement &st);
    void ifElse(IfStmt &st);
    void block(BlockStmt &st);
    void select(SelectStmt &st);
    void insert(InsertStmt &st);
    void update(UpdateStmt &st);
    void remove(DeleteStmt &st);
    void createTable(CreateTableStmt &st, bool variable);
    void dropTable(DropTableStmt &st);
    void createDatabase(CreateDatabaseStmt &st);
    void dropDatabase(DropDatabaseStmt &st);
    void use(UseStmt &st);
    void setOption(SetOptionStmt &st);
    void print(PrintStmt &st);
    void execProc(ExecStmt &st);
    void checkIdent(CheckIdentStmt &st);
    void waitFor(const WaitForStmt &st);
    // Scalar variables, RAISERROR (ExecVariables.cpp).
    void declareVariables(ParsedBatch &batch);
    void setVariable(SetVarStmt &st);
    void raiseError(RaiseErrorStmt &st);
    void helpColumns(const std::string &tableName);
    void alterTable(AlterTableStmt &st);

    // Names.
    Target resolve(const TableRef &ref);
    std::shared_ptr<Database> databaseFor(const TableRef &ref);
    // A table named by a string; temp: where a #table may be found (OBJECT_ID).
    std::shared_ptr<const TableMeta> findObject(const std::string &text, std::shared_ptr<Database> &db,
                                                const TableVar **temp = nullptr);
    Scope scopeOf(const Target &t) const;
    // Visits every row (and its rowid) until f returns false.
    void scan(Target &t, const std::function<bool(const Row &, std::int64_t)> &f);
    // The rows of a stored table (neither a table variable nor a catalogue view).
    std::int64_t countRows(Target &t);
    void computeColumns(const TableMeta &meta, Row &row);

    // Writing.
    void insertRows(Target &t, const std::vector<int> &columns, const std::vector<std::vector<TypedValue>> &rows, bool explicitIdentity);
    // Rows of a SELECT used as a source (INSERT ... SELECT), with their types.
    void collect(SelectStmt &st, std::vector<std::vector<TypedValue>> &rows);
    std::string qualifiedName(const Target &t) const;
    // A value converted for a column of t; a value too long is 8152, or
    // from SQL Server 2019 on 2628, which names the table, column and value.
    Value columnValue(const TypedValue &v, const Target &t, const ColumnMeta &column);
    std::string keyOf(const TableMeta &meta, const Row &row) const;
    [[noreturn]] void duplicateKey(const TableMeta &meta) const;

    // Foreign keys (ExecForeignKeys.cpp).
    struct Reference {
        std::shared_ptr<const TableMeta> table; // the referencing table
        ForeignKeyMeta fk;
    };
    std::shared_ptr<const TableMeta> tableById(const Database &db, std::int32_t id) const;
    std::vector<Reference> referencesTo(const Database &db, std::int32_t id) const;
    // The bytes of the parent's primary key a child row points at; false when
    // a referencing column is NULL (the row references nothing).
    bool referencedKey(const ForeignKeyMeta &fk, const TableMeta &child, const TableMeta &parent, const Row &row, std::string &key) const;
    [[noreturn]] void foreignKeyConflict(const char *verb, bool reference, const ForeignKeyMeta &fk, const Database &db,
                                         const TableMeta &table, const std::vector<int> &columns, bool sameTable) const;
    // Rows written to t must find the rows they reference (setColumns: an
    // UPDATE checks only the keys whose columns it sets).
    void checkForeignKeys(const Target &t, const std::vector<Row> &rows, const char *verb, const std::vector<bool> *setColumns = nullptr);
    // t is referenced by an enabled foreign key of some table.
    bool isReferenced(const Target &t) const;
    // Keys (primary key bytes) t lost must not be referenced any more.
    void checkReferences(const Target &t, std::unordered_set<std::string> gone, const char *verb);
    void validateForeignKey(const std::shared_ptr<Database> &db, const std::shared_ptr<const TableMeta> &table, const ForeignKeyMeta &fk);
    ForeignKeyMeta defineForeignKey(const ForeignKeyDef &def, const TableMeta &table, const std::shared_ptr<Database> &db, Sql &conn);
    void skipTempForeignKey(const std::string &name);

    // Reporting.
    void done(bool hasCount, std::uint64_t count, std::uint16_t curCmd);
    void info(std::int32_t number, const std::string &text, std::uint8_t severity = 10);
    void error(const SqlFailure &f);
    bool sendRow(const std::vector<Value> &row);
    // The client cancelled: the batch ends here, reporting nothing more.
    [[noreturn]] void cancelBatch();

    EngineImpl &engine_;
    SessionImpl &s_;
    ResultSink &sink_;
    int line_ = 1;
    bool cancelled_ = false;

    // EXISTS subqueries of the running statement.
    struct ExistsPlan {
        Target target;
        std::vector<Scope> scopes;
        SelectStmt *sub = nullptr;
        std::vector<const Expr *> innerKeys, outerKeys, residual;
        std::vector<TypeInfo> keyTypes;
        bool hashed = false;
        bool built = false;
        std::unordered_multimap<std::string, Row> rows;
    };
    std::map<const Expr *, ExistsPlan> exists_;
    // The batch's scalar variables by folded name.
    std::map<std::string, TypedValue> scalars_;
    // Where a scalar subquery's SELECT puts its columns and (at most two) rows
    // instead of sending them; null for a SELECT that sends its result.
    struct SubqueryRows {
        std::vector<ColumnInfo> infos;
        std::vector<Row> rows;
    };
    SubqueryRows *capture_ = nullptr;
    // The aggregates of a SELECT once its rows are read.
    std::map<const Expr *, TypedValue> aggregateResults_;
};

// RAISERROR's message: the format with its printf-style conversions filled in.
std::string raiseErrorText(const std::string &format, const std::vector<TypedValue> &args);

// Splits a WHERE into equalities between scope 0 and the other scopes, and the rest.
bool splitEquiJoin(const Expr *where, std::vector<const Expr *> &inner, std::vector<const Expr *> &outer,
                   std::vector<const Expr *> &residual, std::vector<std::uint8_t> &collations);

// Catalogue views of a database: nullptr when the name is none of them.
std::shared_ptr<const TableMeta> systemView(std::string_view name, bool master);
std::vector<Row> systemRows(const TableMeta &view, EngineImpl &engine, const Database &db);
// The sys.* views of SQL Server 2005 and later (nullptr in earlier releases
// or for another name), and their rows (nullopt: not one of these views).
std::shared_ptr<const TableMeta> sysView(std::string_view name);
std::optional<std::vector<Row>> sysViewRows(const TableMeta &view, EngineImpl &engine, const Database &db, Sql &conn);
std::shared_ptr<const TableMeta> helpColumnsMeta();
std::vector<Row> helpColumnsRows(const TableMeta &table);

} // namespace qts
