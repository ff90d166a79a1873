#include "Executor.h"

#include <filesystem>

namespace qts {

namespace fs = std::filesystem;

SessionImpl::SessionImpl(EngineImpl &e, std::string l, std::shared_ptr<Database> d, int id)
    : engine(e), login(std::move(l)), db(std::move(d)), spid(id)
{
    db->users.fetch_add(1);
}

SessionImpl::~SessionImpl()
{
    db->users.fetch_sub(1);
}

void SessionImpl::switchTo(std::shared_ptr<Database> d)
{
    d->users.fetch_add(1);
    db->users.fetch_sub(1);
    db = std::move(d);
}

Sql &SessionImpl::conn(const std::shared_ptr<Database> &d)
{
    if (d->dropped.load())
        fail(911, 16, "Could not locate entry in sysdatabases for database '" + d->name + "'. No entry found with that name. Make sure that the name is entered correctly.", true);
    auto it = conns_.find(d->dbid);
    if (it != conns_.end() && it->second.first == d)
        return *it->second.second;
    auto sql = std::make_unique<Sql>(d->path);
    Sql &ref = *sql;
    conns_[d->dbid] = {d, std::move(sql)};
    return ref;
}

EngineImpl::EngineImpl(std::string dataDir, bool demo) : dataDir_(std::move(dataDir))
{
    fs::create_directories(dataDir_);
    master_ = std::make_unique<Sql>((fs::path(dataDir_) / "master.sqlite").string());
    initDatabaseFile(*master_);
    master_->exec("CREATE TABLE IF NOT EXISTS qts_databases(dbid INTEGER PRIMARY KEY, name TEXT NOT NULL, file TEXT NOT NULL, crdate INTEGER)");
    {
        Stmt count(*master_, "SELECT count(*) FROM qts_databases");
        count.step();
        if (sqlite3_column_int(count.get(), 0) == 0) {
            std::int32_t days;
            std::uint32_t ticks;
            currentDateTime(days, ticks);
            const std::int64_t cr = (std::int64_t(days) << 32) | ticks;
            const char *const names[] = {"master", "tempdb", "model", "msdb"};
            for (int i = 0; i < 4; ++i) {
                Stmt ins(*master_, "INSERT INTO qts_databases VALUES(?, ?, ?, ?)");
                sqlite3_bind_int(ins.get(), 1, i + 1);
                sqlite3_bind_text(ins.get(), 2, names[i], -1, SQLITE_STATIC);
                const std::string file = i == 0 ? "master.sqlite" : std::string(names[i]) + ".sqlite";
                sqlite3_bind_text(ins.get(), 3, file.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int64(ins.get(), 4, cr);
                ins.step();
            }
        }
    }
    Stmt all(*master_, "SELECT dbid, name, file, crdate FROM qts_databases ORDER BY dbid");
    while (all.step()) {
        const int dbid = sqlite3_column_int(all.get(), 0);
        const std::string name = reinterpret_cast<const char *>(sqlite3_column_text(all.get(), 1));
        const std::string file = reinterpret_cast<const char *>(sqlite3_column_text(all.get(), 2));
        auto db = openDatabase(name, dbid, file);
        const std::int64_t cr = sqlite3_column_int64(all.get(), 3);
        db->crDays = std::int32_t(cr >> 32);
        db->crTicks = std::uint32_t(cr & 0xFFFFFFFF);
        databases_[foldCase(name)] = db;
    }
    if (demo && !findDatabase("Shop"))
        createDemoDatabase(*this);
}

std::shared_ptr<Database> EngineImpl::openDatabase(const std::string &name, std::int32_t dbid, const std::string &file)
{
    auto db = std::make_shared<Database>();
    db->name = name;
    db->dbid = dbid;
    db->path = (fs::path(dataDir_) / file).string();
    Sql sql(db->path);
    initDatabaseFile(sql);
    const int collation = findCollation(metaValue(sql, "collation"));
    db->collation = std::uint8_t(collation < 0 ? kServerCollation : collation);
    loadCatalog(sql, *db);
    return db;
}

std::shared_ptr<Database> EngineImpl::findDatabase(std::string_view name) const
{
    std::lock_guard lock(mutex_);
    auto it = databases_.find(foldCase(name));
    return it == databases_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Database>> EngineImpl::allDatabases() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Database>> out;
    for (const auto &[k, d] : databases_)
        out.push_back(d);
    std::sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a->dbid < b->dbid; });
    return out;
}

std::shared_ptr<Database> EngineImpl::createDatabase(const std::string &name, std::uint8_t collation)
{
    std::lock_guard lock(mutex_);
    if (databases_.count(foldCase(name)))
        fail(1801, 16, "Database '" + name + "' already exists.");
    Stmt next(*master_, "SELECT coalesce(max(dbid), 4) + 1 FROM qts_databases");
    next.step();
    const int dbid = sqlite3_column_int(next.get(), 0);
    const std::string file = "db" + std::to_string(dbid) + ".sqlite";
    for (const char *suffix : {"", "-wal", "-shm"})
        fs::remove(fs::path(dataDir_) / (file + suffix));
    std::int32_t days;
    std::uint32_t ticks;
    currentDateTime(days, ticks);
    {
        Sql sql((fs::path(dataDir_) / file).string());
        initDatabaseFile(sql);
        setMetaValue(sql, "collation", collationInfo(collation).name);
    }
    auto db = openDatabase(name, dbid, file);
    db->crDays = days;
    db->crTicks = ticks;
    Stmt ins(*master_, "INSERT INTO qts_databases VALUES(?, ?, ?, ?)");
    sqlite3_bind_int(ins.get(), 1, dbid);
    sqlite3_bind_text(ins.get(), 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins.get(), 3, file.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(ins.get(), 4, (std::int64_t(days) << 32) | ticks);
    ins.step();
    databases_[foldCase(name)] = db;
    return db;
}

void EngineImpl::dropDatabase(const std::shared_ptr<Database> &db)
{
    std::lock_guard lock(mutex_);
    Stmt del(*master_, "DELETE FROM qts_databases WHERE dbid=?");
    sqlite3_bind_int(del.get(), 1, db->dbid);
    del.step();
    databases_.erase(foldCase(db->name));
    db->dropped.store(true);
    std::error_code ec;
    for (const char *suffix : {"", "-wal", "-shm"})
        fs::remove(db->path + suffix, ec);
}

std::unique_ptr<Session> EngineImpl::openSession(const std::string &login, const std::string &database)
{
    auto db = findDatabase(database.empty() ? "master" : database);
    if (!db) {
        SqlError e;
        e.message.number = 4060;
        e.message.severity = 11;
        e.message.text = "Cannot open database \"" + database + "\" requested by the login. The login failed.";
        throw e;
    }
    return std::make_unique<SessionImpl>(*this, login, db, nextSpid_.fetch_add(1));
}

void EngineImpl::executeBatch(Session &session, const std::string &sql, ResultSink &sink)
{
    auto &s = static_cast<SessionImpl &>(session);
    ParseResult parsed = parseBatch(sql);
    if (!parsed.ok) {
        // A compile error: nothing in the batch runs.
        sink.message(parsed.error);
        StatementEnd end;
        end.error = true;
        sink.statementEnd(end);
        s.lastError = parsed.error.number;
        return;
    }
    Executor ex(*this, s, sink);
    try {
        ex.run(parsed.batch);
    } catch (const std::exception &e) {
        Message m;
        m.number = 3624;
        m.severity = 20;
        m.text = std::string("A system assertion check has failed: ") + e.what();
        sink.message(m);
        StatementEnd end;
        end.error = true;
        sink.statementEnd(end);
    }
}

std::unique_ptr<Engine> createEngine(const std::string &dataDir, bool demo)
{
    return std::make_unique<EngineImpl>(dataDir, demo);
}

} // namespace qts
