#include "Storage.h"

#include "Eval.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>

namespace qts {

int TableMeta::findColumn(std::string_view n) const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (iequals(columns[i].name, n))
            return int(i);
    return -1;
}

int TableMeta::identityColumn() const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].identity)
            return int(i);
    return -1;
}

std::vector<int> TableMeta::keyColumns() const
{
    std::vector<int> keys;
    for (int ord = 1;; ++ord) {
        bool found = false;
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i].pkOrdinal == ord) {
                keys.push_back(int(i));
                found = true;
            }
        if (!found)
            break;
    }
    return keys;
}

std::shared_ptr<const TableMeta> Database::findTable(std::string_view n) const
{
    std::shared_lock lock(mutex_);
    auto it = tables_.find(foldCase(n));
    return it == tables_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<const TableMeta>> Database::allTables() const
{
    std::shared_lock lock(mutex_);
    std::vector<std::shared_ptr<const TableMeta>> out;
    for (const auto &[k, t] : tables_)
        out.push_back(t);
    return out;
}

void Database::putTable(std::shared_ptr<const TableMeta> t)
{
    std::unique_lock lock(mutex_);
    tables_[foldCase(t->name)] = std::move(t);
}

void Database::removeTable(std::int32_t id)
{
    std::unique_lock lock(mutex_);
    for (auto it = tables_.begin(); it != tables_.end(); ++it)
        if (it->second->id == id) {
            tables_.erase(it);
            return;
        }
}

Sql::Sql(const std::string &path)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        fail(5120, 16, "Unable to open the physical file \"" + path + "\": " + msg + ".", true);
    }
    sqlite3_busy_timeout(db_, 30000);
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
}

Sql::~Sql()
{
    sqlite3_close_v2(db_);
}

void Sql::raise(const std::string &what) const
{
    fail(3624, 20, "A system assertion check has failed (" + what + ": " + sqlite3_errmsg(db_) + ").", true);
}

void Sql::exec(const std::string &sql)
{
    char *err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "";
        sqlite3_free(err);
        fail(3624, 20, "A system assertion check has failed (" + sql + ": " + msg + ").", true);
    }
}

sqlite3_stmt *Sql::prepare(const std::string &sql)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &st, nullptr) != SQLITE_OK)
        raise(sql);
    return st;
}

bool Stmt::step()
{
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    if (rc == SQLITE_CONSTRAINT) {
        SqlFailure f;
        f.number = -1; // a unique-key violation; the caller words it
        throw f;
    }
    sql_->raise("step");
}

void initDatabaseFile(Sql &sql)
{
    sql.exec("CREATE TABLE IF NOT EXISTS qts_meta(key TEXT PRIMARY KEY, value)");
    sql.exec("CREATE TABLE IF NOT EXISTS qts_tables(id INTEGER PRIMARY KEY, name TEXT NOT NULL, crdate INTEGER,"
             " pk_name TEXT, pk_id INTEGER, ident_current INTEGER, ident_used INTEGER DEFAULT 0)");
    sql.exec("CREATE TABLE IF NOT EXISTS qts_columns(table_id INTEGER, colid INTEGER, name TEXT, xtype INTEGER,"
             " length INTEGER, prec INTEGER, scale INTEGER, nullable INTEGER, is_identity INTEGER, seed INTEGER,"
             " incr INTEGER, computed TEXT, dflt TEXT, pk_ordinal INTEGER, collation TEXT, sparse INTEGER DEFAULT 0,"
             " PRIMARY KEY(table_id, colid))");
    // Column lists are colids separated by commas, in constraint order.
    sql.exec("CREATE TABLE IF NOT EXISTS qts_foreign_keys(id INTEGER PRIMARY KEY, table_id INTEGER, name TEXT,"
             " ref_table_id INTEGER, columns TEXT, ref_columns TEXT, disabled INTEGER, not_trusted INTEGER, crdate INTEGER)");
    // Files written before columns had collations: theirs is the server's.
    sqlite3_exec(sql.handle(), "ALTER TABLE qts_columns ADD COLUMN collation TEXT", nullptr, nullptr, nullptr);
    // And before sparse columns: none is.
    sqlite3_exec(sql.handle(), "ALTER TABLE qts_columns ADD COLUMN sparse INTEGER DEFAULT 0", nullptr, nullptr, nullptr);
}

std::string metaValue(Sql &sql, const char *key)
{
    Stmt st(sql, "SELECT value FROM qts_meta WHERE key=?");
    sqlite3_bind_text(st.get(), 1, key, -1, SQLITE_STATIC);
    if (!st.step())
        return {};
    const auto *t = sqlite3_column_text(st.get(), 0);
    return t ? reinterpret_cast<const char *>(t) : "";
}

void setMetaValue(Sql &sql, const char *key, const std::string &value)
{
    Stmt st(sql, "INSERT OR REPLACE INTO qts_meta(key, value) VALUES(?, ?)");
    sqlite3_bind_text(st.get(), 1, key, -1, SQLITE_STATIC);
    sqlite3_bind_text(st.get(), 2, value.c_str(), int(value.size()), SQLITE_TRANSIENT);
    st.step();
}

std::int64_t nextCounter(Sql &sql, const char *key, std::int64_t first)
{
    const std::string v = metaValue(sql, key);
    const std::int64_t n = v.empty() ? first : std::stoll(v);
    setMetaValue(sql, key, std::to_string(n + 1));
    return n;
}

std::shared_ptr<Expr> parseStoredExpr(const std::string &text)
{
    ParseResult r = parseBatch("SELECT " + text);
    if (!r.ok || r.batch.statements.size() != 1)
        return nullptr;
    auto *sel = std::get_if<SelectStmt>(&r.batch.statements[0].body);
    if (!sel || sel->items.size() != 1 || !sel->items[0].expr)
        return nullptr;
    return std::shared_ptr<Expr>(std::move(sel->items[0].expr));
}

namespace {

// Stored expressions refer to their own table's columns and to functions only.
class StoredExprHost : public EvalHost {
public:
    TypedValue sysVar(const std::string &name) override { fail(137, 15, "Must declare the variable '" + name + "'.", true); }
    std::optional<TypedValue> sessionFunction(const std::string &, const std::vector<TypedValue> &) override { return std::nullopt; }
    void bindExists(Expr &, const std::vector<Scope> &) override { fail(1046, 15, "Subqueries are not allowed in this context. Only scalar expressions are allowed.", true); }
    bool exists(const Expr &, const std::vector<const Row *> &) override { return false; }
    TypeInfo variableType(const std::string &name) override { fail(137, 15, "Must declare the variable '" + name + "'.", true); }
    TypedValue variable(const std::string &name) override { fail(137, 15, "Must declare the variable '" + name + "'.", true); }
    void bindSubquery(Expr &) override { fail(1046, 15, "Subqueries are not allowed in this context. Only scalar expressions are allowed.", true); }
    std::uint8_t defaultCollation() override { return collation; }
    std::uint8_t collation = kServerCollation;
};

} // namespace

void loadCatalog(Sql &sql, Database &db)
{
    Stmt tables(sql, "SELECT id, name, crdate, pk_name, pk_id FROM qts_tables ORDER BY id");
    while (tables.step()) {
        auto t = std::make_shared<TableMeta>();
        t->id = sqlite3_column_int(tables.get(), 0);
        t->name = reinterpret_cast<const char *>(sqlite3_column_text(tables.get(), 1));
        const std::int64_t cr = sqlite3_column_int64(tables.get(), 2);
        t->crDays = std::int32_t(cr >> 32);
        t->crTicks = std::uint32_t(cr & 0xFFFFFFFF);
        if (const auto *pk = sqlite3_column_text(tables.get(), 3))
            t->pkName = reinterpret_cast<const char *>(pk);
        t->pkId = sqlite3_column_int(tables.get(), 4);
        Stmt cols(sql, "SELECT name, xtype, length, prec, scale, nullable, is_identity, seed, incr, computed, dflt, pk_ordinal,"
                       " collation, sparse FROM qts_columns WHERE table_id=? ORDER BY colid");
        sqlite3_bind_int(cols.get(), 1, t->id);
        while (cols.step()) {
            ColumnMeta c;
            sqlite3_stmt *s = cols.get();
            c.name = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
            c.type.type = XType(sqlite3_column_int(s, 1));
            c.type.length = sqlite3_column_int(s, 2);
            c.type.precision = std::uint8_t(sqlite3_column_int(s, 3));
            c.type.scale = std::uint8_t(sqlite3_column_int(s, 4));
            c.nullable = sqlite3_column_int(s, 5) != 0;
            c.identity = sqlite3_column_int(s, 6) != 0;
            c.seed = sqlite3_column_int64(s, 7);
            c.increment = sqlite3_column_int64(s, 8);
            if (const auto *ct = sqlite3_column_text(s, 9)) {
                c.computed = true;
                c.computedText = reinterpret_cast<const char *>(ct);
                c.computedExpr = parseStoredExpr(c.computedText);
            }
            if (const auto *dt = sqlite3_column_text(s, 10)) {
                c.defaultText = reinterpret_cast<const char *>(dt);
                c.defaultExpr = parseStoredExpr(c.defaultText);
            }
            c.pkOrdinal = sqlite3_column_int(s, 11);
            if (const auto *cn = sqlite3_column_text(s, 12))
                c.type.collation = std::uint8_t(std::max(0, findCollation(reinterpret_cast<const char *>(cn))));
            c.sparse = sqlite3_column_int(s, 13) != 0;
            t->columns.push_back(std::move(c));
        }
        Stmt fks(sql, "SELECT id, name, ref_table_id, columns, ref_columns, disabled, not_trusted, crdate FROM qts_foreign_keys"
                      " WHERE table_id=? ORDER BY id");
        sqlite3_bind_int(fks.get(), 1, t->id);
        const auto colids = [](const unsigned char *text) {
            std::vector<int> out;
            std::string list = text ? reinterpret_cast<const char *>(text) : "";
            std::size_t at = 0;
            while (at < list.size()) {
                std::size_t comma = list.find(',', at);
                if (comma == std::string::npos)
                    comma = list.size();
                out.push_back(std::stoi(list.substr(at, comma - at)) - 1);
                at = comma + 1;
            }
            return out;
        };
        while (fks.step()) {
            ForeignKeyMeta fk;
            sqlite3_stmt *s = fks.get();
            fk.id = sqlite3_column_int(s, 0);
            fk.name = reinterpret_cast<const char *>(sqlite3_column_text(s, 1));
            fk.refTableId = sqlite3_column_int(s, 2);
            fk.columns = colids(sqlite3_column_text(s, 3));
            fk.refColumns = colids(sqlite3_column_text(s, 4));
            fk.disabled = sqlite3_column_int(s, 5) != 0;
            fk.notTrusted = sqlite3_column_int(s, 6) != 0;
            const std::int64_t cr = sqlite3_column_int64(s, 7);
            fk.crDays = std::int32_t(cr >> 32);
            fk.crTicks = std::uint32_t(cr & 0xFFFFFFFF);
            t->foreignKeys.push_back(std::move(fk));
        }
        StoredExprHost host;
        host.collation = db.collation;
        const std::vector<Scope> scopes{Scope{t.get(), t->name, "", 0}};
        for (auto &c : t->columns) {
            try {
                if (c.computedExpr)
                    bindExpr(*c.computedExpr, scopes, host);
                if (c.defaultExpr)
                    bindExpr(*c.defaultExpr, {}, host);
            } catch (const SqlFailure &) {
                c.computedExpr.reset();
                c.defaultExpr.reset();
            }
        }
        db.putTable(std::move(t));
    }
}

void storeTableDefinition(Sql &sql, const TableMeta &t)
{
    {
        Stmt st(sql, "INSERT INTO qts_tables(id, name, crdate, pk_name, pk_id, ident_current, ident_used) VALUES(?,?,?,?,?,NULL,0)");
        sqlite3_bind_int(st.get(), 1, t.id);
        sqlite3_bind_text(st.get(), 2, t.name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st.get(), 3, (std::int64_t(t.crDays) << 32) | t.crTicks);
        if (t.pkName.empty())
            sqlite3_bind_null(st.get(), 4);
        else
            sqlite3_bind_text(st.get(), 4, t.pkName.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st.get(), 5, t.pkId);
        st.step();
    }
    std::string create = "CREATE TABLE " + t.sqlName() + "(";
    bool first = true;
    Stmt col(sql, "INSERT INTO qts_columns VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const ColumnMeta &c = t.columns[i];
        sqlite3_stmt *s = col.get();
        sqlite3_bind_int(s, 1, t.id);
        sqlite3_bind_int(s, 2, int(i + 1));
        sqlite3_bind_text(s, 3, c.name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 4, int(c.type.type));
        sqlite3_bind_int(s, 5, c.type.length);
        sqlite3_bind_int(s, 6, c.type.precision);
        sqlite3_bind_int(s, 7, c.type.scale);
        sqlite3_bind_int(s, 8, c.nullable ? 1 : 0);
        sqlite3_bind_int(s, 9, c.identity ? 1 : 0);
        sqlite3_bind_int64(s, 10, c.seed);
        sqlite3_bind_int64(s, 11, c.increment);
        if (c.computed)
            sqlite3_bind_text(s, 12, c.computedText.c_str(), -1, SQLITE_TRANSIENT);
        if (!c.defaultText.empty())
            sqlite3_bind_text(s, 13, c.defaultText.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 14, c.pkOrdinal);
        if (isStringType(c.type.type))
            sqlite3_bind_text(s, 15, collationInfo(c.type.collation).name, -1, SQLITE_STATIC);
        sqlite3_bind_int(s, 16, c.sparse ? 1 : 0);
        col.step();
        col.reset();
        if (c.computed)
            continue;
        create += (first ? "" : ", ") + std::string("c") + std::to_string(i + 1);
        first = false;
    }
    if (t.hasPrimaryKey())
        create += std::string(first ? "" : ", ") + "k BLOB UNIQUE";
    else if (first)
        create += "dummy";
    create += ")";
    sql.exec(create);
}

void storeForeignKeys(Sql &sql, const TableMeta &t)
{
    sql.exec("DELETE FROM qts_foreign_keys WHERE table_id=" + std::to_string(t.id));
    Stmt st(sql, "INSERT INTO qts_foreign_keys VALUES(?,?,?,?,?,?,?,?,?)");
    const auto list = [](const std::vector<int> &cols) {
        std::string out;
        for (int c : cols)
            out += (out.empty() ? "" : ",") + std::to_string(c + 1);
        return out;
    };
    for (const ForeignKeyMeta &fk : t.foreignKeys) {
        sqlite3_stmt *s = st.get();
        sqlite3_bind_int(s, 1, fk.id);
        sqlite3_bind_int(s, 2, t.id);
        sqlite3_bind_text(s, 3, fk.name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 4, fk.refTableId);
        const std::string cols = list(fk.columns), refs = list(fk.refColumns);
        sqlite3_bind_text(s, 5, cols.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 6, refs.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 7, fk.disabled ? 1 : 0);
        sqlite3_bind_int(s, 8, fk.notTrusted ? 1 : 0);
        sqlite3_bind_int64(s, 9, (std::int64_t(fk.crDays) << 32) | fk.crTicks);
        st.step();
        st.reset();
    }
}

void dropTableDefinition(Sql &sql, std::int32_t id)
{
    sql.exec("DELETE FROM qts_foreign_keys WHERE table_id=" + std::to_string(id));
    sql.exec("DROP TABLE IF EXISTS t" + std::to_string(id));
    sql.exec("DELETE FROM qts_columns WHERE table_id=" + std::to_string(id));
    sql.exec("DELETE FROM qts_tables WHERE id=" + std::to_string(id));
}

namespace {
// First byte of a stored sql_variant with its attributes (no type code is 0xFE).
constexpr unsigned char kVariantMarker = 0xFE;
} // namespace

void bindValue(sqlite3_stmt *st, int index, const Value &v, const TypeInfo &t)
{
    switch (v.kind) {
    case Value::Kind::Null:
        sqlite3_bind_null(st, index);
        return;
    default:
        break;
    }
    if (t.type == XType::SqlVariant) {
        // A marker, the base type, the kind of value, its precision and
        // collation, its declared length (4 bytes), then the value. (Files
        // of earlier versions lack the marker and the attributes.)
        std::string blob;
        blob += char(kVariantMarker);
        blob += char(v.variantType);
        blob += char(v.kind);
        blob += char(v.variantPrecision);
        blob += char(v.variantCollation);
        blob.append(reinterpret_cast<const char *>(&v.variantLength), 4);
        switch (v.kind) {
        case Value::Kind::Int: blob.append(reinterpret_cast<const char *>(&v.i), 8); break;
        case Value::Kind::Float: blob.append(reinterpret_cast<const char *>(&v.f), 8); break;
        case Value::Kind::Decimal:
            blob += char(v.scale);
            blob.append(reinterpret_cast<const char *>(&v.unscaled), 16);
            break;
        case Value::Kind::DateTime:
            blob.append(reinterpret_cast<const char *>(&v.days), 4);
            blob.append(reinterpret_cast<const char *>(&v.ticks), 4);
            break;
        case Value::Kind::Time:
            blob.append(reinterpret_cast<const char *>(&v.days), 4);
            blob.append(reinterpret_cast<const char *>(&v.hns), 8);
            blob.append(reinterpret_cast<const char *>(&v.offset), 2);
            break;
        default: blob += v.bytes; break;
        }
        sqlite3_bind_blob(st, index, blob.data(), int(blob.size()), SQLITE_TRANSIENT);
        return;
    }
    if (v.kind == Value::Kind::Time) {
        // The local date and time in 100 ns units, and a datetimeoffset's offset after it.
        const std::int64_t local = std::int64_t(v.days) * std::int64_t(kHnsPerDay) + std::int64_t(v.hns);
        if (t.type != XType::DateTimeOffset) {
            sqlite3_bind_int64(st, index, local);
        } else {
            char blob[10];
            std::memcpy(blob, &local, 8);
            std::memcpy(blob + 8, &v.offset, 2);
            sqlite3_bind_blob(st, index, blob, 10, SQLITE_TRANSIENT);
        }
        return;
    }
    switch (v.kind) {
    case Value::Kind::Int: sqlite3_bind_int64(st, index, v.i); break;
    case Value::Kind::Float: sqlite3_bind_double(st, index, v.f); break;
    case Value::Kind::Decimal:
        if (v.unscaled >= INT64_MIN && v.unscaled <= INT64_MAX)
            sqlite3_bind_int64(st, index, std::int64_t(v.unscaled));
        else {
            const std::string s = int128ToString(v.unscaled);
            sqlite3_bind_text(st, index, s.c_str(), int(s.size()), SQLITE_TRANSIENT);
        }
        break;
    case Value::Kind::DateTime: sqlite3_bind_int64(st, index, std::int64_t(v.days) * 4294967296LL + v.ticks); break;
    case Value::Kind::Text: sqlite3_bind_text(st, index, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT); break;
    case Value::Kind::Bytes: sqlite3_bind_blob(st, index, v.bytes.data(), int(v.bytes.size()), SQLITE_TRANSIENT); break;
    case Value::Kind::Null: case Value::Kind::Time: break;
    }
}

void readValue(sqlite3_stmt *st, int index, const TypeInfo &t, Value &out)
{
    const int ct = sqlite3_column_type(st, index);
    out.variantType = XType::SqlVariant;
    if (ct == SQLITE_NULL) {
        out.kind = Value::Kind::Null;
        return;
    }
    const XType x = t.type;
    if (x == XType::SqlVariant) {
        const auto *p = static_cast<const char *>(sqlite3_column_blob(st, index));
        const auto n = std::size_t(sqlite3_column_bytes(st, index));
        out.variantPrecision = 0;
        out.variantLength = 0;
        out.variantCollation = kServerCollation;
        // With the attributes: marker, type, kind, precision, collation,
        // length (4), value; files of earlier versions: type, kind, value.
        const bool attributes = n >= 9 && static_cast<unsigned char>(p[0]) == kVariantMarker;
        if (!attributes && n < 2) {
            out.kind = Value::Kind::Null;
            return;
        }
        const std::size_t at = attributes ? 8 : 2;
        if (attributes) {
            out.variantPrecision = std::uint8_t(p[3]);
            out.variantCollation = std::uint8_t(p[4]);
            std::memcpy(&out.variantLength, p + 5, 4);
            ++p;
        }
        const std::size_t size = n - at - (attributes ? 1 : 0);
        out.variantType = XType(static_cast<unsigned char>(p[0]));
        out.kind = Value::Kind(p[1]);
        const char *v = p + at;
        switch (out.kind) {
        case Value::Kind::Int: std::memcpy(&out.i, v, 8); break;
        case Value::Kind::Float: std::memcpy(&out.f, v, 8); break;
        case Value::Kind::Decimal:
            out.scale = std::uint8_t(v[0]);
            std::memcpy(&out.unscaled, v + 1, 16);
            break;
        case Value::Kind::DateTime:
            std::memcpy(&out.days, v, 4);
            std::memcpy(&out.ticks, v + 4, 4);
            break;
        case Value::Kind::Time:
            std::memcpy(&out.days, v, 4);
            std::memcpy(&out.hns, v + 4, 8);
            std::memcpy(&out.offset, v + 12, 2);
            break;
        default: out.bytes.assign(v, size); break;
        }
        return;
    }
    if (isTimeType(x)) {
        std::int64_t local = 0;
        out.offset = 0;
        if (x == XType::DateTimeOffset) {
            const auto *p = static_cast<const char *>(sqlite3_column_blob(st, index));
            if (p && sqlite3_column_bytes(st, index) == 10) {
                std::memcpy(&local, p, 8);
                std::memcpy(&out.offset, p + 8, 2);
            }
        } else {
            local = sqlite3_column_int64(st, index);
        }
        out.kind = Value::Kind::Time;
        const auto perDay = std::int64_t(kHnsPerDay);
        const std::int64_t days = local >= 0 ? local / perDay : -((-local + perDay - 1) / perDay);
        out.days = std::int32_t(days);
        out.hns = std::uint64_t(local - days * perDay);
        return;
    }
    if (isIntegerType(x)) {
        out.kind = Value::Kind::Int;
        out.i = sqlite3_column_int64(st, index);
    } else if (x == XType::Float || x == XType::Real) {
        out.kind = Value::Kind::Float;
        out.f = sqlite3_column_double(st, index);
    } else if (isExactNumeric(x)) {
        out.kind = Value::Kind::Decimal;
        out.scale = t.scale;
        if (ct == SQLITE_INTEGER) {
            out.unscaled = sqlite3_column_int64(st, index);
        } else {
            const char *s = reinterpret_cast<const char *>(sqlite3_column_text(st, index));
            __int128 v = 0;
            bool neg = false;
            for (; s && *s; ++s) {
                if (*s == '-') neg = true;
                else v = v * 10 + (*s - '0');
            }
            out.unscaled = neg ? -v : v;
        }
    } else if (isDateType(x)) {
        const std::int64_t v = sqlite3_column_int64(st, index);
        out.kind = Value::Kind::DateTime;
        std::int64_t days = v >= 0 ? v / 4294967296LL : -((-v + 4294967295LL) / 4294967296LL);
        out.days = std::int32_t(days);
        out.ticks = std::uint32_t(v - days * 4294967296LL);
    } else if (isStringType(x) || x == XType::Xml) {
        out.kind = Value::Kind::Text;
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(st, index));
        out.bytes.assign(p ? p : "", std::size_t(sqlite3_column_bytes(st, index)));
    } else {
        out.kind = Value::Kind::Bytes;
        const auto *p = static_cast<const char *>(sqlite3_column_blob(st, index));
        out.bytes.assign(p ? p : "", std::size_t(sqlite3_column_bytes(st, index)));
    }
}

void currentTime(std::int32_t &days, std::uint64_t &hns, int &offsetMinutes)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t tt = std::chrono::system_clock::to_time_t(now);
    std::tm lt{};
    localtime_r(&tt, &lt);
    const auto sub = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count() % 1000000000 / 100;
    days = daysFromCivil(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday);
    hns = std::uint64_t(lt.tm_hour * 3600 + lt.tm_min * 60 + lt.tm_sec) * 10000000ULL + std::uint64_t(sub);
    offsetMinutes = int(lt.tm_gmtoff / 60);
}

void currentDateTime(std::int32_t &days, std::uint32_t &ticks)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t tt = std::chrono::system_clock::to_time_t(now);
    std::tm lt{};
    localtime_r(&tt, &lt);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    days = daysFromCivil(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday);
    ticks = std::uint32_t(((lt.tm_hour * 3600 + lt.tm_min * 60 + lt.tm_sec) * 1000 + ms) * 3 / 10);
}

} // namespace qts
