// Generated from the project's T-SQL 2000 word lists (reserved words, data
// types, a few SET options and hints; built-in functions). Lower case: the
// SQL lexer lower-cases every word before looking it up.
#pragma once

namespace TransactSqlWords {
inline constexpr const char *KeyWords =
    "add all alter and ansi_nulls ansi_padding ansi_warnings any arithabort as asc authorization "
    "backup begin between bigint binary bit break browse bulk by cascade case char check checkident "
    "checkpoint close clustered coalesce collate column commit compute concat_null_yields_null "
    "constraint contains containstable continue convert create cross current current_date "
    "current_time current_timestamp current_user cursor database datefirst dateformat datetime dbcc "
    "deallocate decimal declare default delete deny desc disk distinct distributed double drop dummy "
    "dump else end errlvl escape except exec execute exists exit fetch file fillfactor float for "
    "foreign freetext freetexttable from full function go goto grant group having holdlock identity "
    "identity_insert identitycol if image implicit_transactions in index inner insert int intersect "
    "into is join key kill language left like lineno load lock_timeout money national nchar nocheck "
    "nocount nolock nonclustered not ntext null nullif numeric nvarchar of off offsets on open "
    "opendatasource openquery openrowset openxml option or order outer output over percent plan "
    "precision primary print proc procedure public quoted_identifier raiserror read readpast "
    "readtext real reconfigure references replication reseed restore restrict return returns revoke "
    "right rollback rowcount rowguidcol rowlock rule save schema select session_user set setuser "
    "shutdown smalldatetime smallint smallmoney some sql_variant statistics sysname system_user "
    "table tablock tablockx text textsize then timestamp tinyint to top tran transaction trigger "
    "truncate tsequal union unique uniqueidentifier update updatetext updlock use user values "
    "varbinary varchar varying view waitfor when where while with writetext xact_abort ";

// Built-in functions that are not also reserved words (those stay key words).
inline constexpr const char *Functions =
    "abs acos app_name ascii asin atan atn2 avg binary_checksum cast ceiling charindex checksum "
    "checksum_agg col_length col_name collationproperty columnproperty cos cot count count_big "
    "cursor_status databaseproperty databasepropertyex datalength dateadd datediff datename datepart "
    "day db_id db_name degrees difference exp file_id file_name filegroup_id filegroup_name "
    "filegroupproperty fileproperty floor fn_helpcollations fn_listextendedproperty "
    "fn_servershareddrives fn_trace_geteventinfo fn_trace_getfilterinfo fn_trace_getinfo "
    "fn_trace_gettable fn_virtualfilestats formatmessage fulltextcatalogproperty "
    "fulltextserviceproperty getansinull getdate getutcdate grouping has_dbaccess host_id host_name "
    "ident_current ident_incr ident_seed index_col indexkey_property indexproperty is_member "
    "is_srvrolemember isdate isnull isnumeric len log log10 lower ltrim max min month newid "
    "object_id object_name objectproperty parsename patindex permissions pi power quotename radians "
    "rand replace replicate reverse round rowcount_big rtrim scope_identity serverproperty "
    "sessionproperty sign sin soundex space sql_variant_property sqrt square stats_date stdev stdevp "
    "str stuff substring sum suser_sid suser_sname tan textptr textvalid typeproperty unicode upper "
    "user_id user_name var varp year ";
}
