// FOREIGN KEY constraints: defining them (CREATE TABLE, ALTER TABLE),
// switching them off and on, and the checks every write runs against them.
// A foreign key always references the other table's primary key, whose
// order-preserving bytes (column k) find the referenced row.

#include "Executor.h"

#include <cstdio>

namespace qts {

namespace {

std::string hex8(std::int32_t id)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", unsigned(id));
    return hex;
}

// "Could not create constraint" after the error that says why.
[[noreturn]] void failConstraint()
{
    fail(1750, 16, "Could not create constraint. See previous errors.");
}

bool sameType(const TypeInfo &a, const TypeInfo &b)
{
    if (a.type != b.type)
        return false;
    if (a.type == XType::Decimal || a.type == XType::Numeric)
        return a.precision == b.precision && a.scale == b.scale;
    return true;
}

} // namespace

std::shared_ptr<const TableMeta> Executor::tableById(const Database &db, std::int32_t id) const
{
    for (auto &t : db.allTables())
        if (t->id == id)
            return t;
    return nullptr;
}

std::vector<Executor::Reference> Executor::referencesTo(const Database &db, std::int32_t id) const
{
    std::vector<Reference> out;
    for (auto &t : db.allTables())
        for (const ForeignKeyMeta &fk : t->foreignKeys)
            if (fk.refTableId == id)
                out.push_back(Reference{t, fk});
    return out;
}

bool Executor::referencedKey(const ForeignKeyMeta &fk, const TableMeta &child, const TableMeta &parent, const Row &row,
                             std::string &key) const
{
    key.clear();
    for (int pc : parent.keyColumns()) {
        std::size_t k = 0;
        while (k < fk.refColumns.size() && fk.refColumns[k] != pc)
            ++k;
        if (k == fk.refColumns.size())
            return false;
        const std::size_t cc = std::size_t(fk.columns[k]);
        const Value &v = row[cc];
        if (v.isNull())
            return false; // a NULL in the referencing columns references nothing
        try {
            appendKey(key, convertValue(TypedValue{v, child.columns[cc].type}, parent.columns[std::size_t(pc)].type));
        } catch (const SqlFailure &) {
            key = "\xFF"; // no key of the parent looks like this
            return true;
        }
    }
    return true;
}

void Executor::foreignKeyConflict(const char *verb, bool reference, const ForeignKeyMeta &fk, const Database &db,
                                  const TableMeta &table, const std::vector<int> &columns, bool sameTable) const
{
    SqlFailure f;
    f.number = 547;
    f.severity = 16;
    // A write is "terminated"; ALTER TABLE only refuses the constraint.
    f.terminated = std::string_view(verb) != "ALTER TABLE";
    const std::string column = columns.size() == 1 ? table.columns[std::size_t(columns[0])].name : std::string();
    if (engine_.version().atLeast(2005)) {
        const char *kind = reference ? (sameTable ? "SAME TABLE REFERENCE" : "REFERENCE")
                                     : (sameTable ? "FOREIGN KEY SAME TABLE" : "FOREIGN KEY");
        f.state = 0;
        f.text = std::string("The ") + verb + " statement conflicted with the " + kind + " constraint \"" + fk.name +
                 "\". The conflict occurred in database \"" + db.name + "\", table \"dbo." + table.name + "\"" +
                 (column.empty() ? "" : ", column '" + column + "'") + ".";
    } else {
        const char *kind = reference ? (sameTable ? "SAME TABLE REFERENCE" : "REFERENCE")
                                     : (sameTable ? "FOREIGN KEY SAME TABLE" : "FOREIGN KEY");
        f.state = 1;
        f.text = std::string(verb) + " statement conflicted with " + (columns.size() == 1 ? "COLUMN " : "TABLE ") + kind +
                 " constraint '" + fk.name + "'. The conflict occurred in database '" + db.name + "', table '" + table.name +
                 "'" + (column.empty() ? "" : ", column '" + column + "'") + ".";
    }
    throw f;
}

void Executor::checkForeignKeys(const Target &t, const std::vector<Row> &rows, const char *verb, const std::vector<bool> *setColumns)
{
    if (t.var || t.system || rows.empty())
        return;
    const TableMeta &meta = *t.meta;
    for (const ForeignKeyMeta &fk : meta.foreignKeys) {
        if (fk.disabled)
            continue;
        if (setColumns && std::none_of(fk.columns.begin(), fk.columns.end(), [&](int c) { return (*setColumns)[std::size_t(c)]; }))
            continue;
        const bool self = fk.refTableId == meta.id;
        const auto parent = self ? t.meta : tableById(*t.db, fk.refTableId);
        if (!parent)
            continue;
        Stmt probe(s_.conn(t.db), "SELECT 1 FROM " + parent->sqlName() + " WHERE k=?");
        std::string key;
        for (const Row &row : rows) {
            if (!referencedKey(fk, meta, *parent, row, key))
                continue;
            sqlite3_bind_blob(probe.get(), 1, key.data(), int(key.size()), SQLITE_TRANSIENT);
            const bool found = probe.step();
            probe.reset();
            if (!found)
                foreignKeyConflict(verb, false, fk, *t.db, *parent, fk.refColumns, self);
        }
    }
}

bool Executor::isReferenced(const Target &t) const
{
    if (t.var || t.system || !t.meta->hasPrimaryKey())
        return false;
    for (const Reference &r : referencesTo(*t.db, t.meta->id))
        if (!r.fk.disabled)
            return true;
    return false;
}

void Executor::checkReferences(const Target &t, std::unordered_set<std::string> gone, const char *verb)
{
    if (gone.empty() || !isReferenced(t))
        return;
    const TableMeta &meta = *t.meta;
    Sql &conn = s_.conn(t.db);
    {
        // A key that an UPDATE took away from one row and gave to another is still there.
        Stmt probe(conn, "SELECT 1 FROM " + meta.sqlName() + " WHERE k=?");
        for (auto it = gone.begin(); it != gone.end();) {
            sqlite3_bind_blob(probe.get(), 1, it->data(), int(it->size()), SQLITE_TRANSIENT);
            const bool found = probe.step();
            probe.reset();
            it = found ? gone.erase(it) : std::next(it);
        }
    }
    if (gone.empty())
        return;
    for (const Reference &r : referencesTo(*t.db, meta.id)) {
        if (r.fk.disabled)
            continue;
        const bool self = r.table->id == meta.id;
        Target child;
        child.db = t.db;
        child.meta = self ? t.meta : r.table;
        std::string key;
        scan(child, [&](const Row &row, std::int64_t) {
            if (referencedKey(r.fk, *child.meta, meta, row, key) && gone.count(key))
                foreignKeyConflict(verb, true, r.fk, *t.db, *child.meta, r.fk.columns, self);
            return true;
        });
    }
}

void Executor::validateForeignKey(const std::shared_ptr<Database> &db, const std::shared_ptr<const TableMeta> &table, const ForeignKeyMeta &fk)
{
    const bool self = fk.refTableId == table->id;
    const auto parent = self ? table : tableById(*db, fk.refTableId);
    Target t;
    t.db = db;
    t.meta = table;
    std::vector<Row> rows;
    scan(t, [&](const Row &row, std::int64_t) {
        rows.push_back(row);
        return true;
    });
    ForeignKeyMeta enabled = fk;
    enabled.disabled = false;
    Stmt probe(s_.conn(db), "SELECT 1 FROM " + parent->sqlName() + " WHERE k=?");
    std::string key;
    for (const Row &row : rows) {
        if (!referencedKey(enabled, *table, *parent, row, key))
            continue;
        sqlite3_bind_blob(probe.get(), 1, key.data(), int(key.size()), SQLITE_TRANSIENT);
        const bool found = probe.step();
        probe.reset();
        if (!found)
            foreignKeyConflict("ALTER TABLE", false, fk, *db, *parent, fk.refColumns, self);
    }
}

ForeignKeyMeta Executor::defineForeignKey(const ForeignKeyDef &def, const TableMeta &table, const std::shared_ptr<Database> &db, Sql &conn)
{
    ForeignKeyMeta fk;
    fk.id = std::int32_t(nextCounter(conn, "next_id", 1977058079));
    setMetaValue(conn, "next_id", std::to_string(fk.id + 32));
    fk.name = def.name.empty() ? "FK__" + utf16Prefix(table.name, 8) + "__" + utf16Prefix(def.columns.empty() ? "" : def.columns[0], 8) + "__" + hex8(fk.id)
                               : def.name;
    currentDateTime(fk.crDays, fk.crTicks);
    // Constraint names share the database's object names.
    bool taken = db->findTable(fk.name) != nullptr;
    for (const auto &t : db->allTables()) {
        taken = taken || (t->hasPrimaryKey() && iequals(t->pkName, fk.name));
        for (const ForeignKeyMeta &other : t->id == table.id ? table.foreignKeys : t->foreignKeys)
            taken = taken || iequals(other.name, fk.name);
    }
    for (const ForeignKeyMeta &other : table.foreignKeys)
        taken = taken || iequals(other.name, fk.name);
    if (taken) {
        info(2714, "There is already an object named '" + fk.name + "' in the database.", 16);
        failConstraint();
    }
    if (!def.refTable.database.empty() && !iequals(def.refTable.database, db->name))
        fail(1763, 16, "Cross-database foreign key references are not supported. Foreign key '" + def.refTable.database + "." +
                           (def.refTable.schema.empty() ? "" : def.refTable.schema + ".") + def.refTable.name + "'.");
    std::shared_ptr<const TableMeta> parent;
    const bool self = iequals(def.refTable.name, table.name);
    if (!self)
        parent = db->findTable(def.refTable.name);
    const TableMeta *ref = self ? &table : parent.get();
    if (!ref) {
        info(1767, "Foreign key '" + fk.name + "' references invalid table '" + def.refTable.name + "'.", 16);
        failConstraint();
    }
    fk.refTableId = self ? table.id : ref->id;
    for (const std::string &name : def.columns) {
        const int c = table.findColumn(name);
        if (c < 0) {
            info(1769, "Foreign key '" + fk.name + "' references invalid column '" + name + "' in referencing table '" + table.name + "'.", 16);
            failConstraint();
        }
        fk.columns.push_back(c);
    }
    if (def.refColumns.empty()) {
        fk.refColumns = ref->keyColumns();
    } else {
        for (const std::string &name : def.refColumns) {
            const int c = ref->findColumn(name);
            if (c < 0) {
                info(1770, "Foreign key '" + fk.name + "' references invalid column '" + name + "' in referenced table '" + ref->name + "'.", 16);
                failConstraint();
            }
            fk.refColumns.push_back(c);
        }
    }
    if (fk.refColumns.size() != fk.columns.size()) {
        info(8139, "Number of referencing columns in foreign key differs from number of referenced columns, table '" + table.name + "'.", 16);
        failConstraint();
    }
    // The referenced columns must be the whole primary key (this server keeps no other unique keys).
    std::vector<int> keys = ref->keyColumns(), wanted = fk.refColumns;
    std::sort(keys.begin(), keys.end());
    std::sort(wanted.begin(), wanted.end());
    if (keys.empty() || keys != wanted) {
        info(1776, "There are no primary or candidate keys in the referenced table '" + ref->name +
                       "' that match the referencing column list in the foreign key '" + fk.name + "'.", 16);
        failConstraint();
    }
    for (std::size_t k = 0; k < fk.columns.size(); ++k) {
        const ColumnMeta &c = table.columns[std::size_t(fk.columns[k])];
        const ColumnMeta &r = ref->columns[std::size_t(fk.refColumns[k])];
        if (!sameType(c.type, r.type) || c.computed) {
            info(1778, "Column '" + ref->name + "." + r.name + "' is not the same data type as referencing column '" + table.name + "." +
                           c.name + "' in foreign key '" + fk.name + "'.", 16);
            failConstraint();
        }
        if (isStringType(c.type.type) && c.type.collation != r.type.collation) {
            info(1757, "Column '" + ref->name + "." + r.name + "' is not of same collation as referencing column '" + table.name + "." +
                           c.name + "' in foreign key '" + fk.name + "'.", 16);
            failConstraint();
        }
    }
    return fk;
}

void Executor::skipTempForeignKey(const std::string &name)
{
    // A #table keeps no foreign keys; SQL Server says so and goes on.
    info(0, "Skipping FOREIGN KEY constraint '" + name + "' definition for temporary table. FOREIGN KEY constraints are not enforced on local or global temporary tables.", 10);
}

void Executor::alterTable(AlterTableStmt &st)
{
    using Action = AlterTableStmt::Action;
    if (isTempName(st.table.name)) {
        const auto it = s_.temps.find(foldCase(st.table.name));
        if (it == s_.temps.end())
            fail(4902, 16, engine_.version().atLeast(2005) ? "Cannot find the object \"" + st.table.name + "\" because it does not exist or you do not have permissions."
                                                           : "Cannot alter table '" + st.table.name + "' because this table does not exist in database 'tempdb'.");
        if (st.action == Action::AddForeignKey)
            skipTempForeignKey(st.foreignKey.name);
        else if (!st.all && !st.names.empty())
            fail(4917, 16, "Constraint '" + st.names[0] + "' does not exist.");
        done(false, 0, 0);
        return;
    }
    auto db = databaseFor(st.table);
    auto meta = db->findTable(st.table.name);
    if (!meta)
        fail(4902, 16, engine_.version().atLeast(2005) ? "Cannot find the object \"" + st.table.name + "\" because it does not exist or you do not have permissions."
                                                       : "Cannot alter table '" + st.table.name + "' because this table does not exist in database '" + db->name + "'.");
    auto next = std::make_shared<TableMeta>(*meta);
    Sql &conn = s_.conn(db);
    WriteTxn txn(conn);
    if (st.action == Action::AddForeignKey) {
        ForeignKeyMeta fk = defineForeignKey(st.foreignKey, *next, db, conn);
        if (st.with == -1)
            fk.notTrusted = true;
        else
            validateForeignKey(db, next, fk);
        next->foreignKeys.push_back(std::move(fk));
    } else if (st.action == Action::DropConstraint) {
        auto &fks = next->foreignKeys;
        const auto it = std::find_if(fks.begin(), fks.end(), [&](const ForeignKeyMeta &fk) { return iequals(fk.name, st.names[0]); });
        if (it == fks.end()) {
            if (next->hasPrimaryKey() && iequals(next->pkName, st.names[0]))
                fail(50000, 16, "This test server drops only FOREIGN KEY constraints with ALTER TABLE.");
            info(3728, "'" + st.names[0] + "' is not a constraint.", 16);
            fail(3727, 16, "Could not drop constraint. See previous errors.");
        }
        fks.erase(it);
    } else {
        std::vector<ForeignKeyMeta *> chosen;
        if (st.all) {
            for (auto &fk : next->foreignKeys)
                chosen.push_back(&fk);
        } else {
            for (const std::string &name : st.names) {
                auto it = std::find_if(next->foreignKeys.begin(), next->foreignKeys.end(), [&](const ForeignKeyMeta &fk) { return iequals(fk.name, name); });
                if (it == next->foreignKeys.end())
                    fail(4917, 16, "Constraint '" + name + "' does not exist.");
                chosen.push_back(&*it);
            }
        }
        for (ForeignKeyMeta *fk : chosen) {
            if (st.action == Action::NoCheck) {
                fk->disabled = true;
                fk->notTrusted = true;
                continue;
            }
            fk->disabled = false;
            if (st.with == 1) {
                validateForeignKey(db, next, *fk);
                fk->notTrusted = false;
            }
        }
    }
    storeForeignKeys(conn, *next);
    txn.commit();
    db->putTable(next);
    done(false, 0, 0);
}

} // namespace qts
