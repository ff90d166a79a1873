// CREATE/DROP, USE, SET, PRINT, EXEC and DBCC CHECKIDENT.

#include "Executor.h"

#include <cstdio>

namespace qts {

void Executor::createTable(CreateTableStmt &st, bool variable)
{
    std::shared_ptr<Database> db;
    auto meta = std::make_shared<TableMeta>();
    meta->name = st.table.name;
    const bool temp = !variable && isTempName(st.table.name);
    if (temp) {
        if (s_.temps.count(foldCase(st.table.name)))
            fail(2714, 16, "There is already an object named '" + st.table.name + "' in the database.");
    } else if (!variable) {
        db = databaseFor(st.table);
        if (db->findTable(st.table.name) || systemView(st.table.name, true))
            fail(2714, 16, "There is already an object named '" + st.table.name + "' in the database.");
    }
    // Temporary tables take tempdb's collation (the server's), not the current database's.
    const std::uint8_t collation = temp ? kServerCollation : variable ? s_.db->collation : db->collation;
    int identities = 0;
    for (auto &cd : st.columns) {
        if (meta->findColumn(cd.name) >= 0)
            fail(2705, 16, "Column names in each table must be unique. Column name '" + cd.name + "' in table '" + st.table.name + "' is specified more than once.");
        ColumnMeta c;
        c.name = cd.name;
        if (cd.computed) {
            c.computed = true;
            c.computedText = cd.computedText;
            c.computedExpr = cd.computed;
            meta->columns.push_back(std::move(c));
            continue;
        }
        c.type = typeFromName(cd.type.name, cd.type.arg1, cd.type.arg2);
        // Character columns take the database's collation unless they name one.
        if (isStringType(c.type.type))
            c.type.collation = cd.collation >= 0 ? std::uint8_t(cd.collation) : collation;
        else if (cd.collation >= 0)
            fail(447, 16, "Expression type " + typeName(c.type.type) + " is invalid for COLLATE clause.", true);
        c.identity = cd.identity;
        c.sparse = cd.sparse;
        // A sparse column holds NULLs cheaply: it must allow them, and some types cannot be sparse.
        if (cd.sparse && (cd.nullable == 0 || cd.identity || cd.primaryKey || isLobType(c.type.type) || c.type.type == XType::Timestamp ||
                          c.type.type == XType::Geography || c.type.type == XType::Geometry))
            fail(1731, 16, "Cannot create the sparse column '" + cd.name + "' in the table '" + st.table.name +
                               "' because an option or data type specified is not valid. A sparse column must be nullable and cannot have the "
                               "ROWGUIDCOL, IDENTITY, or FILESTREAM properties. A sparse column cannot be of the following data types: text, "
                               "ntext, image, geometry, geography, or user-defined type.");
        c.seed = cd.seed;
        c.increment = cd.increment;
        if (cd.identity) {
            ++identities;
            const bool ok = c.type.type == XType::TinyInt || c.type.type == XType::SmallInt || c.type.type == XType::Int ||
                            c.type.type == XType::BigInt || ((c.type.type == XType::Decimal || c.type.type == XType::Numeric) && c.type.scale == 0);
            if (!ok || cd.nullable == 1)
                fail(2749, 16, "Identity column '" + cd.name + "' must be of data type int, bigint, smallint, tinyint, or decimal or numeric with a scale of 0, and constrained to be nonnullable.");
            if (cd.increment == 0)
                fail(2748, 16, "Cannot create identity column with increment of zero.");
        }
        c.nullable = cd.nullable == -1 ? !(cd.identity || cd.primaryKey || c.type.type == XType::Timestamp) : cd.nullable == 1;
        if (cd.defaultValue) {
            c.defaultExpr = cd.defaultValue;
            c.defaultText = cd.defaultText;
            bindExpr(*c.defaultExpr, {}, *this);
        }
        if (cd.primaryKey) {
            if (!meta->pkName.empty() || !st.primaryKey.empty())
                fail(8110, 16, "Cannot add multiple PRIMARY KEY constraints to table '" + st.table.name + "'.");
            if (cd.nullable == 1)
                fail(8111, 16, "Cannot define PRIMARY KEY constraint on nullable column in table '" + st.table.name + "'.");
            c.pkOrdinal = 1;
            meta->pkName = cd.constraintName.empty() ? "-" : cd.constraintName;
        }
        meta->columns.push_back(std::move(c));
    }
    if (identities > 1)
        fail(2744, 16, "Multiple identity columns specified for table '" + st.table.name + "'. Only one identity column per table is allowed.");
    if (!st.primaryKey.empty()) {
        int ord = 1;
        for (const std::string &name : st.primaryKey) {
            const int c = meta->findColumn(name);
            if (c < 0)
                fail(1911, 16, "Column name '" + name + "' does not exist in the target table.");
            ColumnMeta &cm = meta->columns[std::size_t(c)];
            const auto &def = st.columns[std::size_t(c)];
            if (cm.computed)
                fail(1911, 16, "Column name '" + name + "' does not exist in the target table.");
            if (def.nullable == 1)
                fail(8111, 16, "Cannot define PRIMARY KEY constraint on nullable column in table '" + st.table.name + "'.");
            cm.nullable = false;
            cm.pkOrdinal = ord++;
        }
        meta->pkName = st.constraintName.empty() ? "-" : st.constraintName;
    }
    for (auto &c : meta->columns)
        if (c.pkOrdinal > 0 && (isLargeType(c.type) || c.type.type == XType::Geography || c.type.type == XType::Geometry))
            fail(1919, 16, "Column '" + c.name + "' in table '" + st.table.name + "' is of a type that is invalid for use as a key column in an index.");
    // Computed columns take the type of their expression.
    std::vector<Scope> scopes{Scope{meta.get(), meta->name, "", 0}};
    for (auto &c : meta->columns)
        if (c.computed) {
            bindExpr(*c.computedExpr, scopes, *this);
            c.type = c.computedExpr->type;
            c.nullable = true;
        }
    currentDateTime(meta->crDays, meta->crTicks);
    std::vector<const ForeignKeyDef *> foreignKeys;
    for (const auto &cd : st.columns)
        for (const auto &fk : cd.references)
            foreignKeys.push_back(&fk);
    for (const auto &fk : st.foreignKeys)
        foreignKeys.push_back(&fk);
    if (temp)
        for (const ForeignKeyDef *fk : foreignKeys)
            skipTempForeignKey(fk->name);
    if (variable || temp) {
        meta->id = variable ? -1 : s_.nextTempId--;
        if (meta->pkName == "-")
            meta->pkName = "PK__" + st.table.name.substr(1) + "__" + std::to_string((variable ? s_.vars.size() : s_.temps.size()) + 1);
        TableVar v;
        v.meta = meta;
        v.temp = temp;
        (variable ? s_.vars : s_.temps)[foldCase(st.table.name)] = std::move(v);
        if (temp)
            done(false, 0, 0);
        return; // a declaration sends no DONE
    }
    Sql &conn = s_.conn(db);
    conn.exec("BEGIN IMMEDIATE");
    try {
        meta->id = std::int32_t(nextCounter(conn, "next_id", 1977058079) );
        setMetaValue(conn, "next_id", std::to_string(meta->id + 32));
        if (meta->hasPrimaryKey()) {
            meta->pkId = meta->id + 16;
            if (meta->pkName == "-") {
                char hex[16];
                std::snprintf(hex, sizeof hex, "%08X", unsigned(meta->pkId));
                meta->pkName = "PK__" + meta->name.substr(0, 8) + "__" + hex;
            }
        }
        for (const ForeignKeyDef *fk : foreignKeys)
            meta->foreignKeys.push_back(defineForeignKey(*fk, *meta, db, conn));
        storeTableDefinition(conn, *meta);
        storeForeignKeys(conn, *meta);
        conn.exec("COMMIT");
    } catch (...) {
        sqlite3_exec(conn.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    db->putTable(meta);
    done(false, 0, 0);
}

void Executor::dropTable(DropTableStmt &st)
{
    for (const TableRef &ref : st.tables) {
        if (isTempName(ref.name)) {
            const auto it = s_.temps.find(foldCase(ref.name));
            if (it == s_.temps.end())
                fail(3701, 11, "Cannot drop the table '" + ref.name + "', because it does not exist in the system catalog.");
            if (!s_.identityInsert.db && s_.identityInsert.tableId == it->second.meta->id)
                s_.identityInsert = {};
            s_.temps.erase(it);
            continue;
        }
        auto db = databaseFor(ref);
        auto meta = db->findTable(ref.name);
        if (!meta)
            fail(3701, 11, "Cannot drop the table '" + ref.name + "', because it does not exist in the system catalog.");
        for (const Reference &r : referencesTo(*db, meta->id))
            if (r.table->id != meta->id)
                fail(3726, 16, "Could not drop object '" + std::string(engine_.version().atLeast(2005) ? "dbo." : "") + meta->name +
                                   "' because it is referenced by a FOREIGN KEY constraint.");
        Sql &conn = s_.conn(db);
        conn.exec("BEGIN IMMEDIATE");
        try {
            dropTableDefinition(conn, meta->id);
            conn.exec("COMMIT");
        } catch (...) {
            sqlite3_exec(conn.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        db->removeTable(meta->id);
        if (s_.identityInsert.db == db && s_.identityInsert.tableId == meta->id)
            s_.identityInsert = {};
    }
    done(false, 0, 0);
}

void Executor::createDatabase(CreateDatabaseStmt &st)
{
    if (engine_.findDatabase(st.name))
        fail(1801, 16, "Database '" + st.name + "' already exists.");
    engine_.createDatabase(st.name, std::uint8_t(st.collation < 0 ? kServerCollation : st.collation));
    info(1802, "The CREATE DATABASE process is allocating 0.63 MB on disk '" + st.name + "'.", 0);
    info(1802, "The CREATE DATABASE process is allocating 0.49 MB on disk '" + st.name + "_log'.", 0);
    done(false, 0, 0);
}

void Executor::dropDatabase(DropDatabaseStmt &st)
{
    for (const std::string &name : st.names) {
        auto db = engine_.findDatabase(name);
        if (!db)
            fail(3701, 11, "Cannot drop the database '" + name + "', because it does not exist in the system catalog.");
        static const char *const system[] = {"master", "model", "msdb", "tempdb"};
        for (const char *s : system)
            if (iequals(name, s))
                fail(3708, 16, "Cannot drop the database '" + db->name + "' because it is a system database.");
        if (db->users.load() > 0)
            fail(3702, 16, "Cannot drop the database '" + db->name + "' because it is currently in use.");
        engine_.dropDatabase(db);
        info(0, "Deleting database file '" + db->path + "'.", 0);
    }
    done(false, 0, 0);
}

void Executor::use(UseStmt &st)
{
    auto db = engine_.findDatabase(st.name);
    if (!db)
        fail(911, 16, "Could not locate entry in sysdatabases for database '" + st.name + "'. No entry found with that name. Make sure that the name is entered correctly.", true);
    const std::string old = s_.db->name;
    s_.switchTo(db);
    sink_.databaseChanged(db->name, old);
    info(5701, "Changed database context to '" + db->name + "'.", 10);
    done(false, 0, 0);
}

void Executor::setOption(SetOptionStmt &st)
{
    if (st.option == "NOCOUNT") {
        s_.nocount = st.on;
    } else if (st.option == "TEXTSIZE") {
        s_.textsize = st.number == 0 ? SessionImpl::kDefaultTextSize : std::int32_t(st.number);
    } else if (st.option == "IDENTITY_INSERT") {
        Target t = resolve(st.table);
        if ((t.var && !t.var->temp) || t.system)
            fail(8105, 16, "'" + t.meta->name + "' is not a user table. Cannot perform SET operation.");
        if (t.meta->identityColumn() < 0)
            fail(8106, 16, "Table '" + t.meta->name + "' does not have the identity property. Cannot perform SET operation.");
        auto &ii = s_.identityInsert;
        if (st.on) {
            if (ii.tableId != 0 && !(ii.db == t.db && ii.tableId == t.meta->id))
                fail(8107, 16, "IDENTITY_INSERT is already ON for table '" + (ii.db ? ii.db->name : std::string("tempdb")) + ".dbo." + ii.tableName + "'. Cannot perform SET operation for table '" + t.meta->name + "'.");
            ii.db = t.db;
            ii.tableId = t.meta->id;
            ii.tableName = t.meta->name;
        } else if (ii.db == t.db && ii.tableId == t.meta->id) {
            ii = {};
        }
    }
    done(false, 0, 0);
}

void Executor::print(PrintStmt &st)
{
    bindExpr(*st.expr, {}, *this);
    const TypedValue v = evalExpr(*st.expr, {}, *this);
    info(0, valueToText(v), 0);
    done(false, 0, 0);
}

void Executor::execProc(ExecStmt &st)
{
    std::vector<TypedValue> args;
    for (auto &a : st.args) {
        if (a->kind == Expr::Kind::Column && a->parts.size() == 1) {
            args.push_back(textValue(a->parts[0], true)); // EXEC p name: a bare word is a string
            continue;
        }
        bindExpr(*a, {}, *this);
        args.push_back(evalExpr(*a, {}, *this));
    }
    if (iequals(st.procedure, "sp_MShelpcolumns")) {
        if (args.empty() || args[0].v.isNull())
            fail(201, 16, "Procedure 'sp_MShelpcolumns' expects parameter '@tablename', which was not supplied.");
        helpColumns(valueToText(args[0]));
        return;
    }
    fail(2812, 16, "Could not find stored procedure '" + st.procedure + "'.");
}

void Executor::helpColumns(const std::string &tableName)
{
    std::shared_ptr<Database> db;
    auto meta = findObject(tableName, db);
    if (!meta)
        fail(15001, 16, "Object '" + tableName + "' does not exist or is not a valid object for this operation.");
    auto view = helpColumnsMeta();
    std::vector<ColumnInfo> infos;
    for (const auto &c : view->columns) {
        ColumnInfo ci;
        ci.name = c.name;
        ci.type = c.type.type;
        ci.length = c.type.length;
        ci.precision = c.type.precision;
        ci.scale = c.type.scale;
        ci.nullable = c.nullable;
        infos.push_back(ci);
    }
    sink_.beginResult(infos);
    const auto rows = helpColumnsRows(*meta);
    for (const Row &r : rows)
        sendRow(r);
    // The procedure switches NOCOUNT off for its final SELECT.
    StatementEnd end;
    end.hasCount = true;
    end.rowCount = rows.size();
    end.curCmd = 0xC1;
    s_.rowcount = std::int64_t(rows.size());
    sink_.statementEnd(end);
}

void Executor::checkIdent(CheckIdentStmt &st)
{
    TableRef ref = st.table;
    std::shared_ptr<Database> db;
    std::shared_ptr<const TableMeta> meta;
    if (st.nameIsLiteral) {
        meta = findObject(ref.name, db);
    } else {
        db = databaseFor(ref);
        meta = db->findTable(ref.name);
    }
    if (!meta)
        fail(2501, 16, "Could not find a table or object named '" + ref.name + "'. Check sysobjects.");
    const int idc = meta->identityColumn();
    if (idc < 0)
        fail(7997, 16, "'" + meta->name + "' does not contain an identity column.");
    const ColumnMeta &cm = meta->columns[std::size_t(idc)];
    Sql &conn = s_.conn(db);
    conn.exec("BEGIN IMMEDIATE");
    std::string currentText, columnText;
    try {
        Stmt st1(conn, "SELECT ident_current, ident_used FROM qts_tables WHERE id=?");
        sqlite3_bind_int(st1.get(), 1, meta->id);
        st1.step();
        std::int64_t current = sqlite3_column_int64(st1.get(), 0);
        bool used = sqlite3_column_int(st1.get(), 1) != 0;
        Stmt mx(conn, std::string("SELECT ") + (cm.increment > 0 ? "max" : "min") + "(c" + std::to_string(idc + 1) + ") FROM " + meta->sqlName());
        mx.step();
        const bool hasRows = sqlite3_column_type(mx.get(), 0) != SQLITE_NULL;
        std::int64_t column = 0;
        if (hasRows) {
            if (sqlite3_column_type(mx.get(), 0) == SQLITE_INTEGER)
                column = sqlite3_column_int64(mx.get(), 0);
            else
                column = std::stoll(reinterpret_cast<const char *>(sqlite3_column_text(mx.get(), 0)));
        }
        currentText = used ? std::to_string(current) : "NULL";
        columnText = hasRows ? std::to_string(column) : "NULL";
        bool change = false;
        bool nowUsed = used;
        if (st.reseed && st.newValue) {
            // The next value is new + increment, or new itself when nothing was ever inserted.
            bindExpr(*st.newValue, {}, *this);
            current = convertValue(evalExpr(*st.newValue, {}, *this), TypeInfo{XType::BigInt, 8, 19, 0}).v.i;
            change = true;
        } else if (!st.noReseed && hasRows && (!used || (cm.increment > 0 ? current < column : current > column))) {
            current = column;
            nowUsed = true;
            change = true;
        }
        if (change) {
            Stmt up(conn, "UPDATE qts_tables SET ident_current=?, ident_used=? WHERE id=?");
            sqlite3_bind_int64(up.get(), 1, current);
            sqlite3_bind_int(up.get(), 2, nowUsed ? 1 : 0);
            sqlite3_bind_int(up.get(), 3, meta->id);
            up.step();
        }
        conn.exec("COMMIT");
    } catch (...) {
        sqlite3_exec(conn.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (!st.noInfoMessages) {
        info(7998, "Checking identity information: current identity value '" + currentText + "', current column value '" + columnText + "'.", 10);
        info(2528, "DBCC execution completed. If DBCC printed error messages, contact your system administrator.", 10);
    }
    done(false, 0, 0);
}

} // namespace qts
