// The catalogue as SQL Server 2000 shows it: sysdatabases, sysobjects,
// syscolumns and the result of sp_MShelpcolumns, built from the databases'
// table definitions.

#include "Executor.h"

namespace qts {

namespace {

struct Col {
    const char *name;
    const char *type;
    int arg1;
    int arg2;
};

std::shared_ptr<TableMeta> makeView(const char *name, std::initializer_list<Col> cols)
{
    auto t = std::make_shared<TableMeta>();
    t->name = name;
    t->system = true;
    for (const Col &c : cols) {
        ColumnMeta m;
        m.name = c.name;
        m.type = typeFromName(c.type, c.arg1, c.arg2);
        m.nullable = true;
        t->columns.push_back(m);
    }
    return t;
}

std::shared_ptr<const TableMeta> sysobjectsView()
{
    static const auto v = makeView("sysobjects", {
        {"name", "sysname", -1, -1}, {"id", "int", -1, -1}, {"xtype", "char", 2, -1}, {"uid", "smallint", -1, -1},
        {"info", "smallint", -1, -1}, {"status", "int", -1, -1}, {"base_schema_ver", "int", -1, -1},
        {"replinfo", "int", -1, -1}, {"parent_obj", "int", -1, -1}, {"crdate", "datetime", -1, -1},
        {"ftcatid", "smallint", -1, -1}, {"schema_ver", "int", -1, -1}, {"stats_schema_ver", "int", -1, -1},
        {"type", "char", 2, -1}, {"userstat", "smallint", -1, -1}, {"sysstat", "smallint", -1, -1},
        {"indexdel", "smallint", -1, -1}, {"refdate", "datetime", -1, -1}, {"version", "int", -1, -1},
        {"deltrig", "int", -1, -1}, {"instrig", "int", -1, -1}, {"updtrig", "int", -1, -1}, {"seltrig", "int", -1, -1},
        {"category", "int", -1, -1}, {"cache", "smallint", -1, -1},
    });
    return v;
}

std::shared_ptr<const TableMeta> syscolumnsView()
{
    static const auto v = makeView("syscolumns", {
        {"name", "sysname", -1, -1}, {"id", "int", -1, -1}, {"xtype", "tinyint", -1, -1}, {"typestat", "tinyint", -1, -1},
        {"xusertype", "smallint", -1, -1}, {"length", "smallint", -1, -1}, {"xprec", "tinyint", -1, -1},
        {"xscale", "tinyint", -1, -1}, {"colid", "smallint", -1, -1}, {"xoffset", "smallint", -1, -1},
        {"bitpos", "tinyint", -1, -1}, {"reserved", "tinyint", -1, -1}, {"colstat", "smallint", -1, -1},
        {"cdefault", "int", -1, -1}, {"domain", "int", -1, -1}, {"number", "smallint", -1, -1},
        {"colorder", "smallint", -1, -1}, {"autoval", "varbinary", 255, -1}, {"offset", "smallint", -1, -1},
        {"collationid", "int", -1, -1}, {"language", "int", -1, -1}, {"status", "tinyint", -1, -1},
        {"type", "tinyint", -1, -1}, {"usertype", "smallint", -1, -1}, {"printfmt", "varchar", 255, -1},
        {"prec", "smallint", -1, -1}, {"scale", "int", -1, -1}, {"iscomputed", "int", -1, -1},
        {"isoutparam", "int", -1, -1}, {"isnullable", "int", -1, -1}, {"collation", "sysname", -1, -1},
        {"tdscollation", "binary", 5, -1},
    });
    return v;
}

std::shared_ptr<const TableMeta> sysdatabasesView()
{
    static const auto v = makeView("sysdatabases", {
        {"name", "sysname", -1, -1}, {"dbid", "smallint", -1, -1}, {"sid", "varbinary", 85, -1},
        {"mode", "smallint", -1, -1}, {"status", "int", -1, -1}, {"status2", "int", -1, -1},
        {"crdate", "datetime", -1, -1}, {"reserved", "datetime", -1, -1}, {"category", "int", -1, -1},
        {"cmptlevel", "tinyint", -1, -1}, {"filename", "nvarchar", 260, -1}, {"version", "smallint", -1, -1},
    });
    return v;
}

std::shared_ptr<const TableMeta> sysforeignkeysView()
{
    static const auto v = makeView("sysforeignkeys", {
        {"constid", "int", -1, -1}, {"fkeyid", "int", -1, -1}, {"rkeyid", "int", -1, -1},
        {"fkey", "smallint", -1, -1}, {"rkey", "smallint", -1, -1}, {"keyno", "smallint", -1, -1},
    });
    return v;
}

std::shared_ptr<const TableMeta> sysreferencesView()
{
    static const auto v = [] {
        std::vector<Col> cols = {
            {"constid", "int", -1, -1}, {"fkeyid", "int", -1, -1}, {"rkeyid", "int", -1, -1}, {"rkeyindid", "smallint", -1, -1},
            {"keycnt", "smallint", -1, -1}, {"forkeys", "varbinary", 32, -1}, {"refkeys", "varbinary", 32, -1},
            {"fkeydbid", "smallint", -1, -1}, {"rkeydbid", "smallint", -1, -1},
        };
        static const char *const numbered[] = {"fkey1", "fkey2", "fkey3", "fkey4", "fkey5", "fkey6", "fkey7", "fkey8",
                                               "fkey9", "fkey10", "fkey11", "fkey12", "fkey13", "fkey14", "fkey15", "fkey16",
                                               "rkey1", "rkey2", "rkey3", "rkey4", "rkey5", "rkey6", "rkey7", "rkey8",
                                               "rkey9", "rkey10", "rkey11", "rkey12", "rkey13", "rkey14", "rkey15", "rkey16"};
        for (const char *n : numbered)
            cols.push_back({n, "smallint", -1, -1});
        auto t = std::make_shared<TableMeta>();
        t->name = "sysreferences";
        t->system = true;
        for (const Col &c : cols) {
            ColumnMeta m;
            m.name = c.name;
            m.type = typeFromName(c.type, c.arg1, c.arg2);
            t->columns.push_back(m);
        }
        return t;
    }();
    return v;
}

Value iv(std::int64_t v)
{
    Value x;
    x.kind = Value::Kind::Int;
    x.i = v;
    return x;
}

Value tv(std::string s)
{
    Value x;
    x.kind = Value::Kind::Text;
    x.bytes = std::move(s);
    return x;
}

Value bv(std::string b)
{
    Value x;
    x.kind = Value::Kind::Bytes;
    x.bytes = std::move(b);
    return x;
}

Value dv(std::int32_t days, std::uint32_t ticks)
{
    Value x;
    x.kind = Value::Kind::DateTime;
    x.days = days;
    x.ticks = ticks;
    return x;
}

Value collationName(const TypeInfo &t)
{
    return isStringType(t.type) ? tv(collationInfo(t.collation).name) : Value{};
}

bool lengthType(XType t)
{
    return t == XType::Char || t == XType::VarChar || t == XType::Binary || t == XType::VarBinary || t == XType::NChar || t == XType::NVarChar;
}

int xusertype(XType t)
{
    // timestamp was user type 80 in SQL Server 2000; from 2005 its type id is 189.
    return t == XType::Timestamp && !currentServerVersion().atLeast(2005) ? 80 : int(t);
}

int xtypeOf(XType t)
{
    // The CLR types share xtype 240 (their user types are 128-130).
    return t == XType::HierarchyId || t == XType::Geometry || t == XType::Geography ? 240 : int(t);
}

int usertype(XType t)
{
    switch (t) {
    case XType::Char: return 1;
    case XType::VarChar: return 2;
    case XType::Binary: return 3;
    case XType::VarBinary: return 4;
    case XType::TinyInt: return 5;
    case XType::SmallInt: return 6;
    case XType::Int: return 7;
    case XType::Float: return 8;
    case XType::Numeric: return 10;
    case XType::Money: return 11;
    case XType::DateTime: return 12;
    case XType::Bit: return 16;
    case XType::Text: return 19;
    case XType::Image: return 20;
    case XType::SmallMoney: return 21;
    case XType::SmallDateTime: return 22;
    case XType::Real: return 23;
    case XType::Decimal: return 24;
    case XType::Timestamp: return 80;
    default: return 0;
    }
}

int columnStatus(const ColumnMeta &c)
{
    int s = 0;
    if (c.nullable)
        s |= 0x08;
    if (c.type.type == XType::VarChar || c.type.type == XType::VarBinary)
        s |= 0x10; // created with ANSI_PADDING on, as OLE DB and ODBC sessions are
    if (c.identity)
        s |= 0x80;
    return s;
}

} // namespace

std::shared_ptr<const TableMeta> systemView(std::string_view name, bool master)
{
    if (iequals(name, "sysobjects"))
        return sysobjectsView();
    if (iequals(name, "syscolumns"))
        return syscolumnsView();
    if (master && iequals(name, "sysdatabases"))
        return sysdatabasesView();
    if (iequals(name, "sysforeignkeys"))
        return sysforeignkeysView();
    if (iequals(name, "sysreferences"))
        return sysreferencesView();
    return nullptr;
}

std::vector<Row> systemRows(const TableMeta &view, EngineImpl &engine, const Database &db)
{
    std::vector<Row> rows;
    if (&view == sysdatabasesView().get()) {
        for (const auto &d : engine.allDatabases()) {
            const bool system = d->dbid <= 4;
            rows.push_back({tv(d->name), iv(d->dbid), bv(std::string(1, '\x01')), iv(0), iv(system ? 24 : 16),
                            iv(1090519040), dv(d->crDays, d->crTicks), dv(0, 0), iv(0),
                            iv(engine.version().compatibilityLevel), tv(d->path), iv(engine.version().databaseVersion)});
        }
        return rows;
    }
    const auto tables = db.allTables();
    if (&view == sysobjectsView().get()) {
        std::int32_t crDays = db.crDays;
        std::uint32_t crTicks = db.crTicks;
        static const std::pair<const char *, int> systemTables[] = {
            {"sysobjects", 1}, {"sysindexes", 2}, {"syscolumns", 3}, {"systypes", 4}, {"syscomments", 6},
            {"sysfiles1", 8}, {"syspermissions", 9}, {"sysusers", 10}, {"sysproperties", 11}, {"sysdepends", 12},
            {"sysreferences", 14}, {"sysfulltextcatalogs", 19}, {"sysindexkeys", 24}, {"sysforeignkeys", 25},
            {"sysmembers", 26}, {"sysprotects", 27}, {"sysdatabases", 30},
        };
        const bool master = iequals(db.name, "master");
        for (const auto &[name, id] : systemTables) {
            if (id == 30 && !master)
                continue;
            rows.push_back({tv(name), iv(id), tv("S "), iv(1), iv(0), iv(-1073741823), iv(0), iv(0), iv(0),
                            dv(crDays, crTicks), iv(0), iv(0), iv(0), tv("S "), iv(1), iv(113), iv(0),
                            dv(crDays, crTicks), iv(0), iv(0), iv(0), iv(0), iv(0), iv(2), iv(0)});
        }
        for (const auto &t : tables) {
            rows.push_back({tv(t->name), iv(t->id), tv("U "), iv(1), iv(std::int64_t(t->columns.size())), iv(1610612736),
                            iv(0), iv(0), iv(0), dv(t->crDays, t->crTicks), iv(0), iv(0), iv(0), tv("U "), iv(1),
                            iv(3), iv(0), dv(t->crDays, t->crTicks), iv(0), iv(0), iv(0), iv(0), iv(0), iv(0), iv(0)});
            if (t->hasPrimaryKey())
                rows.push_back({tv(t->pkName), iv(t->pkId), tv("PK"), iv(1), iv(0), iv(0), iv(0), iv(0), iv(t->id),
                                dv(t->crDays, t->crTicks), iv(0), iv(0), iv(0), tv("K "), iv(1), iv(2), iv(0),
                                dv(t->crDays, t->crTicks), iv(0), iv(0), iv(0), iv(0), iv(0), iv(0), iv(0)});
            // A disabled constraint has status bit 0x800 (OBJECTPROPERTY's CnstIsDisabled).
            for (const ForeignKeyMeta &fk : t->foreignKeys)
                rows.push_back({tv(fk.name), iv(fk.id), tv("F "), iv(1), iv(0), iv(fk.disabled ? 0x800 : 0), iv(0), iv(0), iv(t->id),
                                dv(fk.crDays, fk.crTicks), iv(0), iv(0), iv(0), tv("F "), iv(1), iv(0), iv(0),
                                dv(fk.crDays, fk.crTicks), iv(0), iv(0), iv(0), iv(0), iv(0), iv(0), iv(0)});
        }
        return rows;
    }
    if (&view == sysforeignkeysView().get()) {
        for (const auto &t : tables)
            for (const ForeignKeyMeta &fk : t->foreignKeys)
                for (std::size_t k = 0; k < fk.columns.size(); ++k)
                    rows.push_back({iv(fk.id), iv(t->id), iv(fk.refTableId), iv(fk.columns[k] + 1), iv(fk.refColumns[k] + 1),
                                    iv(std::int64_t(k + 1))});
        return rows;
    }
    if (&view == sysreferencesView().get()) {
        for (const auto &t : tables)
            for (const ForeignKeyMeta &fk : t->foreignKeys) {
                // forkeys and refkeys: the 16 column ids as little-endian smallints, zeros after the last.
                std::string forkeys(32, '\0'), refkeys(32, '\0');
                Row row{iv(fk.id), iv(t->id), iv(fk.refTableId), iv(1), iv(std::int64_t(fk.columns.size())), Value{}, Value{}, iv(0), iv(0)};
                for (std::size_t k = 0; k < 16; ++k)
                    row.push_back(iv(k < fk.columns.size() ? fk.columns[k] + 1 : 0));
                for (std::size_t k = 0; k < 16; ++k)
                    row.push_back(iv(k < fk.refColumns.size() ? fk.refColumns[k] + 1 : 0));
                for (std::size_t k = 0; k < fk.columns.size() && k < 16; ++k) {
                    forkeys[2 * k] = char((fk.columns[k] + 1) & 0xFF);
                    forkeys[2 * k + 1] = char((fk.columns[k] + 1) >> 8);
                    refkeys[2 * k] = char((fk.refColumns[k] + 1) & 0xFF);
                    refkeys[2 * k + 1] = char((fk.refColumns[k] + 1) >> 8);
                }
                row[5] = bv(forkeys);
                row[6] = bv(refkeys);
                rows.push_back(std::move(row));
            }
        return rows;
    }
    if (&view == syscolumnsView().get()) {
        for (const auto &t : tables) {
            int fixedOffset = 4, varOffset = -1;
            for (std::size_t i = 0; i < t->columns.size(); ++i) {
                const ColumnMeta &c = t->columns[i];
                const XType x = c.type.type;
                const bool text = isStringType(x);
                const bool variable = x == XType::VarChar || x == XType::NVarChar || x == XType::VarBinary || x == XType::SqlVariant ||
                                      isLobType(x) || x == XType::Xml || isClrType(x);
                int offset = variable ? varOffset-- : fixedOffset;
                if (!variable)
                    fixedOffset += c.type.length;
                const bool max = c.type.length == kMaxLength;
                Value prec = iv(lengthType(x) ? (max ? -1 : isUnicodeType(x) ? c.type.length / 2 : c.type.length) : c.type.precision);
                Value scale = (isExactNumeric(x) || isIntegerType(x) || isDateType(x) || isTimeType(x)) ? iv(c.type.scale) : Value{};
                const CollationInfo &ci = collationInfo(c.type.collation);
                // SQL Server 2000's collationid: the TDS bytes before the sort id, little-endian.
                Value collationId = text ? iv(std::int32_t(ci.tds[0] | ci.tds[1] << 8 | ci.tds[2] << 16 | std::uint32_t(ci.tds[3]) << 24)) : Value{};
                rows.push_back({tv(c.name), iv(t->id), iv(xtypeOf(x)), iv(0), iv(xusertype(x)), iv(c.type.length),
                                iv(lengthType(x) ? 0 : c.type.precision), iv(lengthType(x) ? 0 : c.type.scale),
                                iv(std::int64_t(i + 1)), iv(offset), iv(0), iv(0), iv(c.identity ? 1 : 0), iv(0), iv(0),
                                iv(0), iv(std::int64_t(i + 1)), Value{}, iv(offset), collationId, iv(0),
                                iv(columnStatus(c)), iv(xtypeOf(x)), iv(usertype(x)), Value{}, prec, scale,
                                iv(c.computed ? 1 : 0), iv(0), iv(c.nullable ? 1 : 0),
                                collationName(c.type),
                                text ? bv(std::string(reinterpret_cast<const char *>(ci.tds), 5)) : Value{}});
            }
        }
        return rows;
    }
    return rows;
}

std::shared_ptr<const TableMeta> helpColumnsMeta()
{
    static const auto v = [] {
        auto t = makeView("sp_MShelpcolumns", {
            {"col_name", "nvarchar", 128, -1}, {"col_id", "int", -1, -1}, {"col_typename", "nvarchar", 128, -1},
            {"col_len", "int", -1, -1}, {"col_prec", "int", -1, -1}, {"col_scale", "int", -1, -1},
            {"col_basetypename", "nvarchar", 128, -1}, {"col_defname", "nvarchar", 257, -1},
            {"col_rulname", "nvarchar", 257, -1}, {"col_null", "bit", -1, -1}, {"col_identity", "bit", -1, -1},
            {"col_flags", "int", -1, -1}, {"col_seed", "nvarchar", 40, -1}, {"col_increment", "nvarchar", 40, -1},
            {"col_dridefname", "nvarchar", 128, -1}, {"text", "nvarchar", 4000, -1}, {"col_iscomputed", "int", -1, -1},
            {"text", "nvarchar", 4000, -1}, {"col_NotForRepl", "bit", -1, -1}, {"col_fulltext", "bit", -1, -1},
            {"col_AnsiPad", "bit", -1, -1}, {"col_DOwner", "nvarchar", 128, -1}, {"col_DName", "nvarchar", 128, -1},
            {"col_ROwner", "nvarchar", 128, -1}, {"col_RName", "nvarchar", 128, -1},
            {"collation", "nvarchar", 128, -1}, {"ColType", "nvarchar", 128, -1}, {"", "int", -1, -1},
            {"", "int", -1, -1},
        });
        for (auto &c : t->columns)
            if (c.name == "col_name" || c.name == "col_id" || c.name == "col_typename" || c.name == "col_len" ||
                c.name == "col_basetypename" || c.name == "col_flags" || c.name == "col_null" || c.name == "col_identity")
                c.nullable = false;
        return t;
    }();
    return v;
}

std::vector<Row> helpColumnsRows(const TableMeta &t)
{
    std::vector<Row> rows;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const ColumnMeta &c = t.columns[i];
        const XType x = c.type.type;
        int flags = 0;
        if (lengthType(x)) flags |= 0x1;
        if (x == XType::Decimal || x == XType::Numeric) flags |= 0x2;
        if (c.pkOrdinal > 0) flags |= 0x4;
        const bool dec = x == XType::Decimal || x == XType::Numeric;
        const bool padType = x == XType::Char || x == XType::VarChar || x == XType::Binary || x == XType::VarBinary;
        const Value none;
        rows.push_back({
            tv(c.name), iv(std::int64_t(i + 1)), tv(typeName(x)),
            iv(isUnicodeType(x) && lengthType(x) && c.type.length != kMaxLength ? c.type.length / 2 : c.type.length),
            dec ? iv(c.type.precision) : none, dec ? iv(c.type.scale) : none, tv(typeName(x)), none, none,
            iv(c.nullable ? 1 : 0), iv(c.identity ? 1 : 0), iv(flags),
            c.identity ? tv(std::to_string(c.seed)) : none, c.identity ? tv(std::to_string(c.increment)) : none,
            c.defaultText.empty() ? none : tv("DF__" + t.name.substr(0, 9) + "__" + c.name.substr(0, 5) + "__" + std::to_string(t.id + int(i))),
            c.defaultText.empty() ? none : tv("(" + c.defaultText + ")"),
            iv(c.computed ? 1 : 0), c.computed ? tv(c.computedText) : none, iv(0), iv(0),
            padType ? iv(1) : none, none, none, none, none,
            collationName(c.type), none, iv(isLobType(x) ? 0 : 1), iv(-1),
        });
    }
    return rows;
}

} // namespace qts
