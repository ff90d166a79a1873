// The session's variables (@@VERSION ...) and the functions that depend on
// the session or the catalogue (DB_NAME, SERVERPROPERTY, OBJECT_ID,
// TYPE_NAME ...).

#include "Executor.h"

namespace qts {

TypedValue Executor::sysVar(const std::string &name)
{
    const auto i32 = [](std::int64_t v) { return intValue(v, XType::Int); };
    if (name == "@@version") return textValue(engine_.version().versionText, true);
    if (name == "@@spid") return intValue(s_.spid, XType::SmallInt);
    if (name == "@@rowcount") return i32(s_.rowcount);
    if (name == "@@error") return i32(s_.lastError);
    if (name == "@@trancount" || name == "@@nestlevel" || name == "@@procid" || name == "@@fetch_status") return i32(0);
    if (name == "@@identity") {
        if (!s_.lastIdentity) {
            TypedValue n;
            n.t = TypeInfo{XType::Numeric, 17, 38, 0};
            return n;
        }
        TypedValue v = decimalValue(*s_.lastIdentity, 0, 38);
        return v;
    }
    if (name == "@@servername") return textValue("QUORVANE", true);
    if (name == "@@servicename") return textValue("MSSQLSERVER", true);
    if (name == "@@language") return textValue("us_english", true);
    if (name == "@@langid") return intValue(0, XType::SmallInt);
    if (name == "@@max_precision") return intValue(38, XType::TinyInt);
    if (name == "@@textsize") return i32(s_.textsize);
    if (name == "@@datefirst") return intValue(7, XType::TinyInt);
    if (name == "@@options") return i32(5496);
    if (name == "@@lock_timeout") return i32(-1);
    if (name == "@@microsoftversion") return i32(engine_.version().microsoftVersion());
    if (name == "@@dbts") {
        const std::string v = metaValue(s_.conn(s_.db), "dbts");
        const std::uint64_t n = v.empty() ? 2000 : std::stoull(v);
        std::string b;
        for (int k = 7; k >= 0; --k)
            b += char((n >> (8 * k)) & 0xFF);
        TypedValue tv = bytesValue(b);
        tv.t = TypeInfo{XType::VarBinary, 8, 0, 0};
        return tv;
    }
    fail(137, 15, "Must declare the variable '" + name + "'.", true);
}

std::optional<TypedValue> Executor::sessionFunction(const std::string &name, const std::vector<TypedValue> &args)
{
    if (name == "db_name") {
        if (args.empty() || args[0].v.isNull())
            return textValue(s_.db->name, true);
        const std::int64_t id = convertValue(args[0], TypeInfo{XType::Int, 4, 10, 0}).v.i;
        for (const auto &d : engine_.allDatabases())
            if (d->dbid == id)
                return textValue(d->name, true);
        TypedValue n;
        n.t = TypeInfo{XType::NVarChar, 256, 0, 0};
        return n;
    }
    if (name == "db_id") {
        if (args.empty() || args[0].v.isNull())
            return intValue(s_.db->dbid, XType::SmallInt);
        auto d = engine_.findDatabase(valueToText(args[0]));
        if (!d) {
            TypedValue n;
            n.t = TypeInfo{XType::SmallInt, 2, 5, 0};
            return n;
        }
        return intValue(d->dbid, XType::SmallInt);
    }
    if (name == "databasepropertyex" || name == "serverproperty") {
        TypedValue none;
        none.t = TypeInfo{XType::SqlVariant, 8016, 0, 0};
        const bool server = name == "serverproperty";
        if (args.size() != (server ? 1u : 2u))
            fail(174, 15, "The " + name + " function requires " + (server ? "1" : "2") + " argument(s).", true);
        if (args[0].v.isNull() || args.back().v.isNull())
            return none;
        const std::string property = valueToText(args.back());
        const auto sysname = [&](const std::string &s) { return convertValue(textValue(s, true, s_.db->collation), none.t); };
        if (server) {
            if (iequals(property, "Collation")) return sysname(collationInfo(kServerCollation).name);
            const ServerVersion &v = engine_.version();
            if (iequals(property, "ProductVersion")) return sysname(v.productVersion);
            if (iequals(property, "ProductLevel")) return sysname("RTM");
            // The major and minor parts came with SQL Server 2012.
            if (v.atLeast(2012) && iequals(property, "ProductMajorVersion")) return sysname(std::to_string(v.major));
            if (v.atLeast(2012) && iequals(property, "ProductMinorVersion")) return sysname(std::to_string(v.minor));
            if (v.atLeast(2012) && iequals(property, "ProductBuild")) return sysname(std::to_string(v.build));
            if (iequals(property, "ServerName") || iequals(property, "MachineName")) return sysname("QUORVANE");
            if (iequals(property, "Edition")) return sysname("Developer Edition");
            return none;
        }
        const auto d = engine_.findDatabase(valueToText(args[0]));
        if (!d)
            return none;
        if (iequals(property, "Collation")) return sysname(collationInfo(d->collation).name);
        if (iequals(property, "Status")) return sysname("ONLINE");
        if (iequals(property, "Updateability")) return sysname("READ_WRITE");
        if (iequals(property, "UserAccess")) return sysname("MULTI_USER");
        if (iequals(property, "Version")) return convertValue(intValue(engine_.version().databaseVersion), none.t);
        return none;
    }
    if (name == "object_name" || name == "object_schema_name" || name == "schema_name" || name == "type_name") {
        TypedValue none;
        none.t = TypeInfo{XType::NVarChar, 256, 0, 0};
        if (name == "schema_name" && args.empty())
            return textValue("dbo", true);
        if (args.empty() || args[0].v.isNull())
            return none;
        const std::int64_t id = convertValue(args[0], TypeInfo{XType::Int, 4, 10, 0}).v.i;
        if (name == "schema_name") {
            static const char *const schemas[] = {"dbo", "guest", "INFORMATION_SCHEMA", "sys"};
            return id >= 1 && id <= (engine_.version().atLeast(2005) ? 4 : 1) ? textValue(schemas[id - 1], true) : none;
        }
        if (name == "type_name") {
            if (id == 256)
                return textValue("sysname", true);
            // A type this release has, by its (user) type id.
            const std::string type = id > 0 && id < 256 ? typeName(XType(id)) : std::string();
            if (type.empty())
                return none;
            try {
                typeFromName(type, -1, -1);
            } catch (const SqlFailure &) {
                return none;
            }
            return textValue(type, true);
        }
        for (const auto &t : s_.db->allTables()) {
            if (t->id == id)
                return textValue(name == "object_name" ? t->name : std::string("dbo"), true);
            if (t->hasPrimaryKey() && t->pkId == id)
                return textValue(name == "object_name" ? t->pkName : std::string("dbo"), true);
            for (const ForeignKeyMeta &fk : t->foreignKeys)
                if (fk.id == id)
                    return textValue(name == "object_name" ? fk.name : std::string("dbo"), true);
        }
        return none;
    }
    if (name == "schema_id" || name == "type_id") {
        TypedValue none;
        none.t = TypeInfo{XType::Int, 4, 10, 0};
        if (name == "schema_id" && args.empty())
            return intValue(1);
        if (args.empty() || args[0].v.isNull())
            return none;
        std::string text = valueToText(args[0]);
        if (name == "schema_id") {
            static const char *const schemas[] = {"dbo", "guest", "INFORMATION_SCHEMA", "sys"};
            for (int k = 0; k < (engine_.version().atLeast(2005) ? 4 : 1); ++k)
                if (iequals(text, schemas[k]))
                    return intValue(k + 1);
            return none;
        }
        if (text.size() > 4 && iequals(text.substr(0, 4), "sys."))
            text = text.substr(4);
        if (iequals(text, "sysname"))
            return intValue(256);
        try {
            const TypeInfo t = typeFromName(text, -1, -1);
            return intValue(int(t.type));
        } catch (const SqlFailure &) {
            return none;
        }
    }
    if (name == "user_name" || name == "user" || name == "current_user" || name == "session_user")
        return textValue("dbo", true);
    if (name == "suser_sname" || name == "suser_name" || name == "system_user")
        return textValue(s_.login, true);
    if (name == "scope_identity") {
        TypedValue n;
        n.t = TypeInfo{XType::Numeric, 17, 38, 0};
        return s_.lastIdentity ? decimalValue(*s_.lastIdentity, 0, 38) : n;
    }
    if (name == "objectproperty") {
        // The properties a client asks of tables and their foreign keys; NULL for the rest.
        TypedValue n;
        n.t = TypeInfo{XType::Int, 4, 10, 0};
        if (args.size() != 2)
            fail(174, 15, "The objectproperty function requires 2 argument(s).", true);
        if (args[0].v.isNull() || args[1].v.isNull())
            return n;
        const std::int64_t id = convertValue(args[0], TypeInfo{XType::Int, 4, 10, 0}).v.i;
        const std::string property = toLowerAscii(valueToText(args[1]));
        for (const auto &t : s_.db->allTables()) {
            if (t->id == id) {
                if (property == "isusertable" || property == "istable")
                    return intValue(1);
                if (property == "isforeignkey" || property == "cnstisdisabled" || property == "cnstisnottrusted")
                    return intValue(0);
                if (property == "tablehasforeignkey")
                    return intValue(t->foreignKeys.empty() ? 0 : 1);
                if (property == "tablehasforeignref")
                    return intValue(referencesTo(*s_.db, t->id).empty() ? 0 : 1);
                return n;
            }
            for (const ForeignKeyMeta &fk : t->foreignKeys) {
                if (fk.id != id)
                    continue;
                if (property == "isforeignkey" || property == "isconstraint")
                    return intValue(1);
                if (property == "cnstisdisabled")
                    return intValue(fk.disabled ? 1 : 0);
                if (property == "cnstisnottrusted")
                    return intValue(fk.notTrusted ? 1 : 0);
                if (property == "isusertable" || property == "istable")
                    return intValue(0);
                return n;
            }
        }
        return n;
    }
    if (name == "object_id" || name == "ident_current") {
        TypedValue n;
        n.t = name == "object_id" ? TypeInfo{XType::Int, 4, 10, 0} : TypeInfo{XType::Numeric, 17, 38, 0};
        if (args.empty() || args[0].v.isNull())
            return n;
        std::shared_ptr<Database> db;
        const TableVar *temp = nullptr;
        auto meta = findObject(valueToText(args[0]), db, &temp);
        if (!meta)
            return n;
        if (name == "object_id")
            return intValue(meta->id);
        const int idc = meta->identityColumn();
        if (temp) {
            if (idc < 0)
                return n;
            return decimalValue(temp->identUsed ? temp->identCurrent : meta->columns[std::size_t(idc)].seed, 0, 38);
        }
        Sql &conn = s_.conn(db);
        Stmt st(conn, "SELECT ident_current, ident_used FROM qts_tables WHERE id=?");
        sqlite3_bind_int(st.get(), 1, meta->id);
        if (idc < 0 || !st.step())
            return n;
        if (sqlite3_column_int(st.get(), 1) == 0)
            return decimalValue(meta->columns[std::size_t(idc)].seed, 0, 38);
        return decimalValue(sqlite3_column_int64(st.get(), 0), 0, 38);
    }
    return std::nullopt;
}

} // namespace qts
