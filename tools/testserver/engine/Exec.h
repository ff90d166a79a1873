#pragma once

// The engine's sessions and the executor of one batch.

#include "Eval.h"

#include <mutex>
#include <unordered_map>

namespace qts {

class EngineImpl;

// A table variable (lives for its batch) or a #temporary table (lives for
// its session, seen by no other): rows in memory.
struct TableVar {
    bool temp = false;
    std::shared_ptr<TableMeta> meta;
    std::vector<Row> rows;
    std::unordered_map<std::string, std::size_t> keys; // primary key bytes
    std::int64_t identCurrent = 0;
    bool identUsed = false;
};

class SessionImpl : public Session {
public:
    SessionImpl(EngineImpl &engine, std::string login, std::shared_ptr<Database> db, int spid);
    ~SessionImpl() override;
    [[nodiscard]] std::string database() const override { return db->name; }
    [[nodiscard]] std::uint8_t collation() const override { return db->collation; }

    Sql &conn(const std::shared_ptr<Database> &d);
    void switchTo(std::shared_ptr<Database> d);

    EngineImpl &engine;
    std::string login;
    std::shared_ptr<Database> db;
    int spid;
    bool nocount = false;
    // Bytes of a text, ntext or image value a result carries (SET TEXTSIZE).
    static constexpr std::int32_t kDefaultTextSize = 4096;
    std::int32_t textsize = kDefaultTextSize;
    struct IdentityInsert {
        std::shared_ptr<Database> db;
        std::int32_t tableId = 0;
        std::string tableName;
    } identityInsert;
    std::optional<std::int64_t> lastIdentity;
    std::int64_t rowcount = 0;
    std::int32_t lastError = 0;
    std::map<std::string, TableVar> vars; // by folded name; live for one batch
    std::map<std::string, TableVar> temps; // #tables by folded name
    std::int32_t nextTempId = -2;          // table variables are all -1

private:
    std::map<std::int32_t, std::pair<std::shared_ptr<Database>, std::unique_ptr<Sql>>> conns_;
};

class EngineImpl : public Engine {
public:
    EngineImpl(std::string dataDir, bool demo);
    std::unique_ptr<Session> openSession(const std::string &login, const std::string &database) override;
    void executeBatch(Session &session, const std::string &sql, ResultSink &sink) override;

    std::shared_ptr<Database> findDatabase(std::string_view name) const;
    std::vector<std::shared_ptr<Database>> allDatabases() const;
    std::shared_ptr<Database> createDatabase(const std::string &name, std::uint8_t collation);
    void dropDatabase(const std::shared_ptr<Database> &db);
    const std::string &dataDir() const { return dataDir_; }

private:
    std::shared_ptr<Database> openDatabase(const std::string &name, std::int32_t dbid, const std::string &file);
    std::string dataDir_;
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Database>> databases_; // by folded name
    std::unique_ptr<Sql> master_;
    std::atomic<int> nextSpid_{51};
};

// A table a statement reads or writes, resolved from its name.
struct Target {
    std::shared_ptr<Database> db;
    std::shared_ptr<const TableMeta> meta;
    TableVar *var = nullptr;
    std::vector<Row> systemRows; // for catalogue views
    bool system = false;
    std::string alias;
    [[nodiscard]] std::string displayName() const { return meta->name; }
};

void createDemoDatabase(EngineImpl &engine);

} // namespace qts
