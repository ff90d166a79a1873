// The catalogue views of SQL Server 2005 and later (schema sys), with the
// columns each release has: sys.databases, sys.schemas, sys.objects,
// sys.tables, sys.columns, sys.types, sys.indexes, sys.index_columns,
// sys.identity_columns, sys.computed_columns, sys.foreign_keys and
// sys.foreign_key_columns.

#include "Executor.h"

#include <functional>
#include <map>
#include <mutex>
#include <type_traits>

namespace qts {

namespace {

struct Col {
    const char *name;
    const char *type;
    int arg1;
    int since;  // the first release with the column
};

// sys.objects' columns, which sys.tables, sys.foreign_keys begin with.
const std::vector<Col> kObjectCols = {
    {"name", "sysname", -1, 2005}, {"object_id", "int", -1, 2005}, {"principal_id", "int", -1, 2005},
    {"schema_id", "int", -1, 2005}, {"parent_object_id", "int", -1, 2005}, {"type", "char", 2, 2005},
    {"type_desc", "nvarchar", 60, 2005}, {"create_date", "datetime", -1, 2005}, {"modify_date", "datetime", -1, 2005},
    {"is_ms_shipped", "bit", -1, 2005}, {"is_published", "bit", -1, 2005}, {"is_schema_published", "bit", -1, 2005},
};

// sys.columns' columns, which sys.identity_columns and sys.computed_columns begin with.
const std::vector<Col> kColumnCols = {
    {"object_id", "int", -1, 2005}, {"name", "sysname", -1, 2005}, {"column_id", "int", -1, 2005},
    {"system_type_id", "tinyint", -1, 2005}, {"user_type_id", "int", -1, 2005}, {"max_length", "smallint", -1, 2005},
    {"precision", "tinyint", -1, 2005}, {"scale", "tinyint", -1, 2005}, {"collation_name", "sysname", -1, 2005},
    {"is_nullable", "bit", -1, 2005}, {"is_ansi_padded", "bit", -1, 2005}, {"is_rowguidcol", "bit", -1, 2005},
    {"is_identity", "bit", -1, 2005}, {"is_computed", "bit", -1, 2005}, {"is_filestream", "bit", -1, 2005},
    {"is_replicated", "bit", -1, 2005}, {"is_non_sql_subscribed", "bit", -1, 2005}, {"is_merge_published", "bit", -1, 2005},
    {"is_dts_replicated", "bit", -1, 2005}, {"is_xml_document", "bit", -1, 2005}, {"xml_collection_id", "int", -1, 2005},
    {"default_object_id", "int", -1, 2005}, {"rule_object_id", "int", -1, 2005}, {"is_sparse", "bit", -1, 2008},
    {"is_column_set", "bit", -1, 2008}, {"generated_always_type", "tinyint", -1, 2016},
    {"generated_always_type_desc", "nvarchar", 60, 2016}, {"encryption_type", "int", -1, 2016},
    {"encryption_type_desc", "nvarchar", 64, 2016}, {"encryption_algorithm_name", "sysname", -1, 2016},
    {"column_encryption_key_id", "int", -1, 2016}, {"column_encryption_key_database_name", "sysname", -1, 2016},
    {"is_hidden", "bit", -1, 2016}, {"is_masked", "bit", -1, 2016}, {"graph_type", "int", -1, 2017},
    {"graph_type_desc", "nvarchar", 60, 2017},
};

std::vector<Col> concat(const std::vector<Col> &a, std::initializer_list<Col> b)
{
    std::vector<Col> out = a;
    out.insert(out.end(), b);
    return out;
}

const std::map<std::string, std::vector<Col>> &viewColumns()
{
    static const std::map<std::string, std::vector<Col>> views = {
        {"databases", {{"name", "sysname", -1, 2005}, {"database_id", "int", -1, 2005}, {"source_database_id", "int", -1, 2005},
                       {"owner_sid", "varbinary", 85, 2005}, {"create_date", "datetime", -1, 2005},
                       {"compatibility_level", "tinyint", -1, 2005}, {"collation_name", "sysname", -1, 2005},
                       {"user_access", "tinyint", -1, 2005}, {"user_access_desc", "nvarchar", 60, 2005},
                       {"is_read_only", "bit", -1, 2005}, {"is_auto_close_on", "bit", -1, 2005},
                       {"is_auto_shrink_on", "bit", -1, 2005}, {"state", "tinyint", -1, 2005},
                       {"state_desc", "nvarchar", 60, 2005}, {"is_in_standby", "bit", -1, 2005},
                       {"is_cleanly_shutdown", "bit", -1, 2005}, {"is_supplemental_logging_enabled", "bit", -1, 2005},
                       {"snapshot_isolation_state", "tinyint", -1, 2005}, {"snapshot_isolation_state_desc", "nvarchar", 60, 2005},
                       {"is_read_committed_snapshot_on", "bit", -1, 2005}, {"recovery_model", "tinyint", -1, 2005},
                       {"recovery_model_desc", "nvarchar", 60, 2005}, {"page_verify_option", "tinyint", -1, 2005},
                       {"page_verify_option_desc", "nvarchar", 60, 2005}, {"is_auto_create_stats_on", "bit", -1, 2005},
                       {"is_auto_update_stats_on", "bit", -1, 2005}, {"is_auto_update_stats_async_on", "bit", -1, 2005},
                       {"is_ansi_null_default_on", "bit", -1, 2005}, {"is_ansi_nulls_on", "bit", -1, 2005},
                       {"is_ansi_padding_on", "bit", -1, 2005}, {"is_ansi_warnings_on", "bit", -1, 2005},
                       {"is_arithabort_on", "bit", -1, 2005}, {"is_concat_null_yields_null_on", "bit", -1, 2005},
                       {"is_numeric_roundabort_on", "bit", -1, 2005}, {"is_quoted_identifier_on", "bit", -1, 2005},
                       {"is_recursive_triggers_on", "bit", -1, 2005}, {"is_cursor_close_on_commit_on", "bit", -1, 2005},
                       {"is_local_cursor_default", "bit", -1, 2005}, {"is_fulltext_enabled", "bit", -1, 2005},
                       {"is_trustworthy_on", "bit", -1, 2005}, {"is_db_chaining_on", "bit", -1, 2005},
                       {"is_parameterization_forced", "bit", -1, 2005}, {"is_master_key_encrypted_by_server", "bit", -1, 2005},
                       {"is_published", "bit", -1, 2005}, {"is_subscribed", "bit", -1, 2005},
                       {"is_merge_published", "bit", -1, 2005}, {"is_distributor", "bit", -1, 2005},
                       {"is_sync_with_backup", "bit", -1, 2005}, {"service_broker_guid", "uniqueidentifier", -1, 2005},
                       {"is_broker_enabled", "bit", -1, 2005}, {"log_reuse_wait", "tinyint", -1, 2005},
                       {"log_reuse_wait_desc", "nvarchar", 60, 2005}, {"is_date_correlation_on", "bit", -1, 2005}}},
        {"schemas", {{"name", "sysname", -1, 2005}, {"schema_id", "int", -1, 2005}, {"principal_id", "int", -1, 2005}}},
        {"objects", kObjectCols},
        {"tables", concat(kObjectCols, {{"lob_data_space_id", "int", -1, 2005}, {"filestream_data_space_id", "int", -1, 2008},
                                        {"max_column_id_used", "int", -1, 2005}, {"lock_on_bulk_load", "bit", -1, 2005},
                                        {"uses_ansi_nulls", "bit", -1, 2005}, {"is_replicated", "bit", -1, 2005},
                                        {"has_replication_filter", "bit", -1, 2005}, {"is_merge_published", "bit", -1, 2005},
                                        {"is_sync_tran_subscribed", "bit", -1, 2005}, {"has_unchecked_assembly_data", "bit", -1, 2005},
                                        {"text_in_row_limit", "int", -1, 2005}, {"large_value_types_out_of_row", "bit", -1, 2005},
                                        {"is_tracked_by_cdc", "bit", -1, 2008}, {"lock_escalation", "tinyint", -1, 2008},
                                        {"lock_escalation_desc", "nvarchar", 60, 2008}, {"is_filetable", "bit", -1, 2012},
                                        {"is_memory_optimized", "bit", -1, 2014}, {"durability", "tinyint", -1, 2014},
                                        {"durability_desc", "nvarchar", 60, 2014}, {"temporal_type", "tinyint", -1, 2016},
                                        {"temporal_type_desc", "nvarchar", 60, 2016}, {"history_table_id", "int", -1, 2016},
                                        {"is_remote_data_archive_enabled", "bit", -1, 2016}, {"is_external", "bit", -1, 2016},
                                        {"is_node", "bit", -1, 2017}, {"is_edge", "bit", -1, 2017}})},
        {"columns", kColumnCols},
        {"identity_columns", concat(kColumnCols, {{"seed_value", "sql_variant", -1, 2005}, {"increment_value", "sql_variant", -1, 2005},
                                                  {"last_value", "sql_variant", -1, 2005}, {"is_not_for_replication", "bit", -1, 2005}})},
        {"computed_columns", concat(kColumnCols, {{"definition", "nvarchar", kMaxArgument, 2005},
                                                  {"uses_database_collation", "bit", -1, 2005}, {"is_persisted", "bit", -1, 2005}})},
        {"types", {{"name", "sysname", -1, 2005}, {"system_type_id", "tinyint", -1, 2005}, {"user_type_id", "int", -1, 2005},
                   {"schema_id", "int", -1, 2005}, {"principal_id", "int", -1, 2005}, {"max_length", "smallint", -1, 2005},
                   {"precision", "tinyint", -1, 2005}, {"scale", "tinyint", -1, 2005}, {"collation_name", "sysname", -1, 2005},
                   {"is_nullable", "bit", -1, 2005}, {"is_user_defined", "bit", -1, 2005}, {"is_assembly_type", "bit", -1, 2005},
                   {"default_object_id", "int", -1, 2005}, {"rule_object_id", "int", -1, 2005}, {"is_table_type", "bit", -1, 2008}}},
        {"indexes", {{"object_id", "int", -1, 2005}, {"name", "sysname", -1, 2005}, {"index_id", "int", -1, 2005},
                     {"type", "tinyint", -1, 2005}, {"type_desc", "nvarchar", 60, 2005}, {"is_unique", "bit", -1, 2005},
                     {"data_space_id", "int", -1, 2005}, {"ignore_dup_key", "bit", -1, 2005}, {"is_primary_key", "bit", -1, 2005},
                     {"is_unique_constraint", "bit", -1, 2005}, {"fill_factor", "tinyint", -1, 2005}, {"is_padded", "bit", -1, 2005},
                     {"is_disabled", "bit", -1, 2005}, {"is_hypothetical", "bit", -1, 2005}, {"allow_row_locks", "bit", -1, 2005},
                     {"allow_page_locks", "bit", -1, 2005}, {"has_filter", "bit", -1, 2008},
                     {"filter_definition", "nvarchar", kMaxArgument, 2008}}},
        {"index_columns", {{"object_id", "int", -1, 2005}, {"index_id", "int", -1, 2005}, {"index_column_id", "int", -1, 2005},
                           {"column_id", "int", -1, 2005}, {"key_ordinal", "tinyint", -1, 2005},
                           {"partition_ordinal", "tinyint", -1, 2005}, {"is_descending_key", "bit", -1, 2005},
                           {"is_included_column", "bit", -1, 2005}}},
        {"foreign_keys", concat(kObjectCols, {{"referenced_object_id", "int", -1, 2005}, {"key_index_id", "int", -1, 2005},
                                              {"is_disabled", "bit", -1, 2005}, {"is_not_for_replication", "bit", -1, 2005},
                                              {"is_not_trusted", "bit", -1, 2005}, {"delete_referential_action", "tinyint", -1, 2005},
                                              {"delete_referential_action_desc", "nvarchar", 60, 2005},
                                              {"update_referential_action", "tinyint", -1, 2005},
                                              {"update_referential_action_desc", "nvarchar", 60, 2005},
                                              {"is_system_named", "bit", -1, 2005}})},
        {"foreign_key_columns", {{"constraint_object_id", "int", -1, 2005}, {"constraint_column_id", "int", -1, 2005},
                                 {"parent_object_id", "int", -1, 2005}, {"parent_column_id", "int", -1, 2005},
                                 {"referenced_object_id", "int", -1, 2005}, {"referenced_column_id", "int", -1, 2005}}},
    };
    return views;
}

struct ViewKey {
    std::string name;
    int year;
    bool operator<(const ViewKey &o) const { return name != o.name ? name < o.name : year < o.year; }
};

std::mutex g_viewsMutex;
std::map<ViewKey, std::shared_ptr<TableMeta>> g_views;
std::map<const TableMeta *, std::string> g_viewNames;

// Builds a row by column name; names the release lacks are left out.
class RowBuilder {
public:
    explicit RowBuilder(const TableMeta &view) : m_view(view), m_row(view.columns.size()) {}
    RowBuilder &set(std::string_view column, Value v)
    {
        const int c = m_view.findColumn(column);
        if (c >= 0)
            m_row[std::size_t(c)] = std::move(v);
        return *this;
    }
    template <typename I, typename = std::enable_if_t<std::is_integral_v<I>>>
    RowBuilder &set(std::string_view column, I i) { return set(column, intOf(std::int64_t(i))); }
    RowBuilder &set(std::string_view column, const char *text) { return set(column, textOf(text)); }
    RowBuilder &set(std::string_view column, const std::string &text) { return set(column, textOf(text)); }
    Row take() { return std::move(m_row); }

    static Value intOf(std::int64_t i) { Value v; v.kind = Value::Kind::Int; v.i = i; return v; }
    static Value textOf(std::string s) { Value v; v.kind = Value::Kind::Text; v.bytes = std::move(s); return v; }

private:
    const TableMeta &m_view;
    Row m_row;
};

Value dateOf(std::int32_t days, std::uint32_t ticks)
{
    Value v;
    v.kind = Value::Kind::DateTime;
    v.days = days;
    v.ticks = ticks;
    return v;
}

// system_type_id and user_type_id: the CLR types are 240 with user types 128-130.
int systemTypeId(XType t)
{
    return t == XType::HierarchyId || t == XType::Geometry || t == XType::Geography ? 240 : int(t);
}

void columnFacts(RowBuilder &r, const TableMeta &t, std::size_t i)
{
    const ColumnMeta &c = t.columns[i];
    const XType x = c.type.type;
    const bool character = isStringType(x);
    const bool exact = isExactNumeric(x) || isIntegerType(x) || x == XType::Float || x == XType::Real || isDateType(x) || isTimeType(x);
    r.set("object_id", t.id).set("name", c.name).set("column_id", std::int64_t(i + 1)).set("system_type_id", systemTypeId(x))
        .set("user_type_id", int(x)).set("max_length", c.type.length)
        .set("precision", exact ? c.type.precision : 0).set("scale", exact ? c.type.scale : 0)
        .set("is_nullable", c.nullable ? 1 : 0)
        .set("is_ansi_padded", character || isBinaryType(x) || x == XType::SqlVariant ? 1 : 0)
        .set("is_rowguidcol", 0).set("is_identity", c.identity ? 1 : 0).set("is_computed", c.computed ? 1 : 0)
        .set("is_filestream", 0).set("is_replicated", 0).set("is_non_sql_subscribed", 0).set("is_merge_published", 0)
        .set("is_dts_replicated", 0).set("is_xml_document", 0).set("xml_collection_id", 0).set("default_object_id", 0)
        .set("rule_object_id", 0).set("is_sparse", c.sparse ? 1 : 0).set("is_column_set", 0)
        .set("generated_always_type", 0).set("generated_always_type_desc", "NOT_APPLICABLE").set("is_hidden", 0)
        .set("is_masked", 0);
    if (character)
        r.set("collation_name", collationInfo(c.type.collation).name);
}

void objectFacts(RowBuilder &r, const std::string &name, std::int32_t id, std::int32_t parent, const char *type,
                 const char *typeDesc, std::int32_t days, std::uint32_t ticks)
{
    r.set("name", name).set("object_id", id).set("schema_id", 1).set("parent_object_id", parent).set("type", type)
        .set("type_desc", typeDesc).set("create_date", dateOf(days, ticks)).set("modify_date", dateOf(days, ticks))
        .set("is_ms_shipped", 0).set("is_published", 0).set("is_schema_published", 0);
}

struct TypeRow {
    const char *name;
    int system;
    int user;
    int maxLength;
    int precision;
    int scale;
    bool collated;
    int since;
};

const TypeRow kTypeRows[] = {
    {"image", 34, 34, 16, 0, 0, false, 2005}, {"text", 35, 35, 16, 0, 0, true, 2005},
    {"uniqueidentifier", 36, 36, 16, 0, 0, false, 2005}, {"date", 40, 40, 3, 10, 0, false, 2008},
    {"time", 41, 41, 5, 16, 7, false, 2008}, {"datetime2", 42, 42, 8, 27, 7, false, 2008},
    {"datetimeoffset", 43, 43, 10, 34, 7, false, 2008}, {"tinyint", 48, 48, 1, 3, 0, false, 2005},
    {"smallint", 52, 52, 2, 5, 0, false, 2005}, {"int", 56, 56, 4, 10, 0, false, 2005},
    {"smalldatetime", 58, 58, 4, 16, 0, false, 2005}, {"real", 59, 59, 4, 24, 0, false, 2005},
    {"money", 60, 60, 8, 19, 4, false, 2005}, {"datetime", 61, 61, 8, 23, 3, false, 2005},
    {"float", 62, 62, 8, 53, 0, false, 2005}, {"sql_variant", 98, 98, 8016, 0, 0, false, 2005},
    {"ntext", 99, 99, 16, 0, 0, true, 2005}, {"bit", 104, 104, 1, 1, 0, false, 2005},
    {"decimal", 106, 106, 17, 38, 38, false, 2005}, {"numeric", 108, 108, 17, 38, 38, false, 2005},
    {"smallmoney", 122, 122, 4, 10, 4, false, 2005}, {"bigint", 127, 127, 8, 19, 0, false, 2005},
    {"hierarchyid", 240, 128, 892, 0, 0, false, 2008}, {"geometry", 240, 129, -1, 0, 0, false, 2008},
    {"geography", 240, 130, -1, 0, 0, false, 2008}, {"varbinary", 165, 165, 8000, 0, 0, false, 2005},
    {"varchar", 167, 167, 8000, 0, 0, true, 2005}, {"binary", 173, 173, 8000, 0, 0, false, 2005},
    {"char", 175, 175, 8000, 0, 0, true, 2005}, {"timestamp", 189, 189, 8, 0, 0, false, 2005},
    {"nvarchar", 231, 231, 8000, 0, 0, true, 2005}, {"nchar", 239, 239, 8000, 0, 0, true, 2005},
    {"xml", 241, 241, -1, 0, 0, false, 2005}, {"sysname", 231, 256, 256, 0, 0, true, 2005},
};

} // namespace

std::shared_ptr<const TableMeta> sysView(std::string_view rawName)
{
    const ServerVersion &release = currentServerVersion();
    if (!release.atLeast(2005))
        return nullptr;
    const std::string name = toLowerAscii(rawName);
    const auto &views = viewColumns();
    const auto it = views.find(name);
    if (it == views.end())
        return nullptr;
    std::lock_guard lock(g_viewsMutex);
    auto &view = g_views[ViewKey{name, release.year}];
    if (!view) {
        view = std::make_shared<TableMeta>();
        view->name = name;
        view->system = true;
        for (const Col &c : it->second) {
            if (!release.atLeast(c.since))
                continue;
            ColumnMeta m;
            m.name = c.name;
            m.type = typeFromName(c.type, c.arg1, -1);
            m.nullable = true;
            view->columns.push_back(std::move(m));
        }
        g_viewNames[view.get()] = name;
    }
    return view;
}

std::optional<std::vector<Row>> sysViewRows(const TableMeta &view, EngineImpl &engine, const Database &db, Sql &conn)
{
    std::string name;
    {
        std::lock_guard lock(g_viewsMutex);
        const auto it = g_viewNames.find(&view);
        if (it == g_viewNames.end())
            return std::nullopt;
        name = it->second;
    }
    const ServerVersion &release = engine.version();
    std::vector<Row> rows;
    const auto tables = db.allTables();
    if (name == "databases") {
        for (const auto &d : engine.allDatabases()) {
            RowBuilder r(view);
            Value sid;
            sid.kind = Value::Kind::Bytes;
            sid.bytes = "\x01";
            r.set("name", d->name).set("database_id", d->dbid).set("owner_sid", sid).set("create_date", dateOf(d->crDays, d->crTicks))
                .set("compatibility_level", release.compatibilityLevel).set("collation_name", collationInfo(d->collation).name)
                .set("user_access", 0).set("user_access_desc", "MULTI_USER").set("is_read_only", 0).set("is_auto_close_on", 0)
                .set("is_auto_shrink_on", 0).set("state", 0).set("state_desc", "ONLINE").set("is_in_standby", 0)
                .set("is_cleanly_shutdown", 0).set("is_supplemental_logging_enabled", 0).set("snapshot_isolation_state", 0)
                .set("snapshot_isolation_state_desc", "OFF").set("is_read_committed_snapshot_on", 0)
                .set("recovery_model", d->dbid == 2 ? 3 : 1).set("recovery_model_desc", d->dbid == 2 ? "SIMPLE" : "FULL")
                .set("page_verify_option", 2).set("page_verify_option_desc", "CHECKSUM").set("is_auto_create_stats_on", 1)
                .set("is_auto_update_stats_on", 1).set("is_auto_update_stats_async_on", 0).set("is_ansi_null_default_on", 0)
                .set("is_ansi_nulls_on", 0).set("is_ansi_padding_on", 0).set("is_ansi_warnings_on", 0).set("is_arithabort_on", 0)
                .set("is_concat_null_yields_null_on", 0).set("is_numeric_roundabort_on", 0).set("is_quoted_identifier_on", 0)
                .set("is_recursive_triggers_on", 0).set("is_cursor_close_on_commit_on", 0).set("is_local_cursor_default", 0)
                .set("is_fulltext_enabled", 0).set("is_trustworthy_on", d->dbid == 4 ? 1 : 0).set("is_db_chaining_on", 0)
                .set("is_parameterization_forced", 0).set("is_master_key_encrypted_by_server", 0).set("is_published", 0)
                .set("is_subscribed", 0).set("is_merge_published", 0).set("is_distributor", 0).set("is_sync_with_backup", 0)
                .set("is_broker_enabled", 0).set("log_reuse_wait", 0).set("log_reuse_wait_desc", "NOTHING")
                .set("is_date_correlation_on", 0);
            rows.push_back(r.take());
        }
        return rows;
    }
    if (name == "schemas") {
        static const std::pair<const char *, int> schemas[] = {{"dbo", 1}, {"guest", 2}, {"INFORMATION_SCHEMA", 3}, {"sys", 4}};
        for (const auto &[schema, id] : schemas)
            rows.push_back(RowBuilder(view).set("name", schema).set("schema_id", id).set("principal_id", id).take());
        return rows;
    }
    if (name == "types") {
        for (const TypeRow &t : kTypeRows) {
            if (!release.atLeast(t.since))
                continue;
            RowBuilder r(view);
            r.set("name", t.name).set("system_type_id", t.system).set("user_type_id", t.user).set("schema_id", 4)
                .set("max_length", t.maxLength).set("precision", t.precision).set("scale", t.scale)
                .set("is_nullable", t.user == 256 ? 0 : 1).set("is_user_defined", 0).set("is_assembly_type", t.system == 240 ? 1 : 0)
                .set("default_object_id", 0).set("rule_object_id", 0).set("is_table_type", 0);
            if (t.collated)
                r.set("collation_name", collationInfo(db.collation).name);
            rows.push_back(r.take());
        }
        return rows;
    }
    for (const auto &t : tables) {
        if (name == "objects" || name == "tables") {
            RowBuilder r(view);
            objectFacts(r, t->name, t->id, 0, "U ", "USER_TABLE", t->crDays, t->crTicks);
            r.set("lob_data_space_id", 1).set("filestream_data_space_id", Value{}).set("max_column_id_used", std::int64_t(t->columns.size()))
                .set("lock_on_bulk_load", 0).set("uses_ansi_nulls", 1).set("is_replicated", 0).set("has_replication_filter", 0)
                .set("is_merge_published", 0).set("is_sync_tran_subscribed", 0).set("has_unchecked_assembly_data", 0)
                .set("text_in_row_limit", 0).set("large_value_types_out_of_row", 0).set("is_tracked_by_cdc", 0)
                .set("lock_escalation", 0).set("lock_escalation_desc", "TABLE").set("is_filetable", 0).set("is_memory_optimized", 0)
                .set("durability", 0).set("durability_desc", "SCHEMA_AND_DATA").set("temporal_type", 0)
                .set("temporal_type_desc", "NON_TEMPORAL_TABLE").set("is_remote_data_archive_enabled", 0).set("is_external", 0)
                .set("is_node", 0).set("is_edge", 0);
            rows.push_back(r.take());
            if (name == "objects" && t->hasPrimaryKey()) {
                RowBuilder pk(view);
                objectFacts(pk, t->pkName, t->pkId, t->id, "PK", "PRIMARY_KEY_CONSTRAINT", t->crDays, t->crTicks);
                rows.push_back(pk.take());
            }
            if (name == "objects")
                for (const ForeignKeyMeta &fk : t->foreignKeys) {
                    RowBuilder r(view);
                    objectFacts(r, fk.name, fk.id, t->id, "F ", "FOREIGN_KEY_CONSTRAINT", fk.crDays, fk.crTicks);
                    rows.push_back(r.take());
                }
        } else if (name == "foreign_keys") {
            for (const ForeignKeyMeta &fk : t->foreignKeys) {
                RowBuilder r(view);
                objectFacts(r, fk.name, fk.id, t->id, "F ", "FOREIGN_KEY_CONSTRAINT", fk.crDays, fk.crTicks);
                r.set("referenced_object_id", fk.refTableId).set("key_index_id", 1).set("is_disabled", fk.disabled ? 1 : 0)
                    .set("is_not_for_replication", 0).set("is_not_trusted", fk.notTrusted ? 1 : 0)
                    .set("delete_referential_action", 0).set("delete_referential_action_desc", "NO_ACTION")
                    .set("update_referential_action", 0).set("update_referential_action_desc", "NO_ACTION")
                    .set("is_system_named", fk.name.rfind("FK__", 0) == 0 ? 1 : 0);
                rows.push_back(r.take());
            }
        } else if (name == "foreign_key_columns") {
            for (const ForeignKeyMeta &fk : t->foreignKeys)
                for (std::size_t k = 0; k < fk.columns.size(); ++k)
                    rows.push_back(RowBuilder(view).set("constraint_object_id", fk.id).set("constraint_column_id", std::int64_t(k + 1))
                                       .set("parent_object_id", t->id).set("parent_column_id", fk.columns[k] + 1)
                                       .set("referenced_object_id", fk.refTableId).set("referenced_column_id", fk.refColumns[k] + 1).take());
        } else if (name == "columns" || name == "identity_columns" || name == "computed_columns") {
            for (std::size_t i = 0; i < t->columns.size(); ++i) {
                const ColumnMeta &c = t->columns[i];
                if ((name == "identity_columns" && !c.identity) || (name == "computed_columns" && !c.computed))
                    continue;
                RowBuilder r(view);
                columnFacts(r, *t, i);
                if (c.identity) {
                    // Seed, increment and last value are sql_variants of the column's type.
                    const auto variantOf = [&](std::int64_t v) {
                        const TypedValue x = c.type.type == XType::Decimal || c.type.type == XType::Numeric
                                                 ? decimalValue(v, 0, c.type.precision) : intValue(v, c.type.type);
                        return convertValue(convertValue(x, c.type), TypeInfo{XType::SqlVariant, 8016, 0, 0}).v;
                    };
                    r.set("seed_value", variantOf(c.seed)).set("increment_value", variantOf(c.increment)).set("is_not_for_replication", 0);
                    Stmt st(conn, "SELECT ident_current, ident_used FROM qts_tables WHERE id=?");
                    sqlite3_bind_int(st.get(), 1, t->id);
                    if (st.step() && sqlite3_column_int(st.get(), 1) != 0)
                        r.set("last_value", variantOf(sqlite3_column_int64(st.get(), 0)));
                }
                if (c.computed)
                    r.set("definition", "(" + c.computedText + ")").set("uses_database_collation", 1).set("is_persisted", 0);
                rows.push_back(r.take());
            }
        } else if (name == "indexes") {
            RowBuilder r(view);
            r.set("object_id", t->id).set("data_space_id", 1).set("ignore_dup_key", 0).set("is_unique_constraint", 0)
                .set("fill_factor", 0).set("is_padded", 0).set("is_disabled", 0).set("is_hypothetical", 0)
                .set("allow_row_locks", 1).set("allow_page_locks", 1).set("has_filter", 0);
            if (t->hasPrimaryKey())
                r.set("name", t->pkName).set("index_id", 1).set("type", 1).set("type_desc", "CLUSTERED").set("is_unique", 1).set("is_primary_key", 1);
            else
                r.set("index_id", 0).set("type", 0).set("type_desc", "HEAP").set("is_unique", 0).set("is_primary_key", 0);
            rows.push_back(r.take());
        } else if (name == "index_columns") {
            const std::vector<int> keys = t->keyColumns();
            for (std::size_t k = 0; k < keys.size(); ++k)
                rows.push_back(RowBuilder(view).set("object_id", t->id).set("index_id", 1).set("index_column_id", std::int64_t(k + 1))
                                   .set("column_id", keys[k] + 1).set("key_ordinal", std::int64_t(k + 1)).set("partition_ordinal", 0)
                                   .set("is_descending_key", 0).set("is_included_column", 0).take());
        }
    }
    return rows;
}

} // namespace qts
