#pragma once

// Databases on disk: one SQLite file each, holding the catalogue of its
// tables (qts_tables, qts_columns, qts_meta) and one SQLite table per user
// table ("t<object id>", columns c<colid>, plus k, the primary key's
// order-preserving bytes, under a UNIQUE index).
//
// Thread rules: Database::mutex guards the table map; a TableMeta is
// immutable once published (DDL replaces it). Each session opens its own
// SQLite connection per database (WAL), so readers never wait for writers.

#include "Ast.h"

#include <atomic>
#include <map>
#include <memory>
#include <shared_mutex>
#include <sqlite3.h>

namespace qts {

struct ColumnMeta {
    std::string name;
    TypeInfo type;
    bool nullable = true;
    bool identity = false;
    std::int64_t seed = 1;
    std::int64_t increment = 1;
    bool computed = false;
    std::string computedText;
    std::shared_ptr<Expr> computedExpr;
    std::string defaultText;
    std::shared_ptr<Expr> defaultExpr;
    int pkOrdinal = 0; // 1-based position in the primary key, 0 = not in it
    bool sparse = false; // SPARSE (SQL Server 2008)
};

// A FOREIGN KEY constraint of the table that holds it (the referencing
// table). It always references the other table's primary key.
struct ForeignKeyMeta {
    std::int32_t id = 0;
    std::string name;
    std::int32_t refTableId = 0;
    std::vector<int> columns;    // referencing columns (indexes in this table), in constraint order
    std::vector<int> refColumns; // the referenced columns they match, same order
    bool disabled = false;       // NOCHECK CONSTRAINT
    bool notTrusted = false;     // added or enabled without checking the rows there
    std::int32_t crDays = 0;
    std::uint32_t crTicks = 0;
};

struct TableMeta {
    std::int32_t id = 0;
    std::string name;
    std::vector<ColumnMeta> columns;
    std::string pkName;
    std::int32_t pkId = 0;
    std::int32_t crDays = 0;
    std::uint32_t crTicks = 0;
    bool system = false; // a catalogue view (sysobjects ...)
    std::vector<ForeignKeyMeta> foreignKeys;

    [[nodiscard]] int findColumn(std::string_view name) const;
    [[nodiscard]] int identityColumn() const;
    [[nodiscard]] bool hasPrimaryKey() const { return !pkName.empty(); }
    [[nodiscard]] std::string sqlName() const { return "t" + std::to_string(id); }
    [[nodiscard]] std::vector<int> keyColumns() const; // column indexes in key order
};

using Row = std::vector<Value>;

class Database {
public:
    std::string name;
    std::int32_t dbid = 0;
    std::string path;
    std::int32_t crDays = 0;
    std::uint32_t crTicks = 0;
    std::atomic<bool> dropped{false};
    std::atomic<int> users{0}; // sessions whose current database this is
    std::uint8_t collation = kServerCollation; // the default of its character columns

    [[nodiscard]] std::shared_ptr<const TableMeta> findTable(std::string_view name) const;
    [[nodiscard]] std::vector<std::shared_ptr<const TableMeta>> allTables() const;
    void putTable(std::shared_ptr<const TableMeta> t);
    void removeTable(std::int32_t id);

private:
    mutable std::shared_mutex mutex_;
    std::map<std::string, std::shared_ptr<const TableMeta>> tables_; // by folded name
};

// A SQLite connection with the checks every call goes through.
class Sql {
public:
    explicit Sql(const std::string &path);
    ~Sql();
    Sql(const Sql &) = delete;
    Sql &operator=(const Sql &) = delete;
    sqlite3 *handle() const { return db_; }
    void exec(const std::string &sql);
    sqlite3_stmt *prepare(const std::string &sql);
    [[noreturn]] void raise(const std::string &what) const;

private:
    sqlite3 *db_ = nullptr;
};

// A prepared statement, finalized on scope exit.
class Stmt {
public:
    Stmt(Sql &sql, const std::string &text) : sql_(&sql), st_(sql.prepare(text)) {}
    ~Stmt() { sqlite3_finalize(st_); }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    sqlite3_stmt *get() const { return st_; }
    bool step(); // true: a row
    void reset() { sqlite3_reset(st_); sqlite3_clear_bindings(st_); }

private:
    Sql *sql_;
    sqlite3_stmt *st_;
};

// One statement's write transaction: rolled back unless committed.
class WriteTxn {
public:
    explicit WriteTxn(Sql &sql) : sql_(sql) { sql_.exec("BEGIN IMMEDIATE"); }
    ~WriteTxn()
    {
        if (!done_)
            sqlite3_exec(sql_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    WriteTxn(const WriteTxn &) = delete;
    WriteTxn &operator=(const WriteTxn &) = delete;
    void commit()
    {
        sql_.exec("COMMIT");
        done_ = true;
    }

private:
    Sql &sql_;
    bool done_ = false;
};

// Catalogue schema of a database file; creates it when missing.
void initDatabaseFile(Sql &sql);
void loadCatalog(Sql &sql, Database &db);
// Reads and writes one value of a column in the file's representation.
void bindValue(sqlite3_stmt *st, int index, const Value &v, const TypeInfo &t);
void readValue(sqlite3_stmt *st, int index, const TypeInfo &t, Value &out);
// Persists a table's definition and creates its SQLite table.
void storeTableDefinition(Sql &sql, const TableMeta &t);
void dropTableDefinition(Sql &sql, std::int32_t id);
// Writes a table's foreign keys anew (after CREATE or ALTER TABLE).
void storeForeignKeys(Sql &sql, const TableMeta &t);
std::int64_t nextCounter(Sql &sql, const char *key, std::int64_t first);
std::string metaValue(Sql &sql, const char *key);
void setMetaValue(Sql &sql, const char *key, const std::string &value);
// Parses a stored computed/default expression again.
std::shared_ptr<Expr> parseStoredExpr(const std::string &text);
// Now, as datetime days and ticks (local time).
void currentDateTime(std::int32_t &days, std::uint32_t &ticks);
// Now, local, to 100 ns, and the local offset from UTC in minutes.
void currentTime(std::int32_t &days, std::uint64_t &hns, int &offsetMinutes);

} // namespace qts
