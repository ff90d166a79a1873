#include "ScriptCliOptions.h"

const char *const ScriptCliUsage =
    "usage: quorvane-script --server NAME --login LOGIN --database DB --table TABLE\n"
    "                       [--columns a,b,c] [--keys k1,k2] [--nickname NAME] [--delete]\n"
    "                       [--where CONDITION] [--only-changed] [--batch-rows N]\n"
    "                       [--output FILE] [--verbose] [--driver NAME]\n"
    "                       [--encrypt no|request|require] [--trust-server-certificate]\n"
    "                       [--ca-file FILE]\n"
    "       quorvane-script --server NAME --login LOGIN --database DB\n"
    "                       (--table TABLE --table TABLE ... | --all-tables)\n"
    "                       [--allow-fk-cycle] [--delete] [--only-changed] [--batch-rows N] ...\n"
    "Writes the data script of one table, or of several tables in one script ordered\n"
    "by their foreign keys. The password is read from the environment variable\n"
    "QUORVANE_PASSWORD, or asked for when standard input is a terminal.\n"
    "  --table    the table to script; give it several times for several tables\n"
    "  --all-tables\n"
    "             every user table of the database in one script\n"
    "  --allow-fk-cycle\n"
    "             with several tables: tables that reference each other in a ring\n"
    "             have their constraints switched off (NOCHECK CONSTRAINT ALL) while\n"
    "             the script changes them and checked again after (WITH CHECK CHECK\n"
    "             CONSTRAINT ALL); without it such a set is refused\n"
    "  With several tables each table carries all its columns and all its rows and is\n"
    "  matched on its primary key (a table without one is refused unless --delete is\n"
    "  given: then its rows are replaced); --delete, --only-changed and --batch-rows\n"
    "  apply to every table; --columns, --keys, --nickname and --where are refused.\n"
    "  --columns  the columns the script carries (default: all)\n"
    "  --keys     the columns rows are matched on (default: the primary key)\n"
    "  --nickname the name the script addresses the target table by\n"
    "  --delete   delete the target's rows before the merge (with --where only the\n"
    "             rows that meet the condition)\n"
    "  --where    carry only the rows that meet this Transact-SQL condition\n"
    "  --only-changed\n"
    "             update only the target rows where a carried column differs\n"
    "  --batch-rows N  fill a temporary table in batches of N rows separated by GO;\n"
    "             0 keeps every row in one batch (default: batches of 10000 rows\n"
    "             when the script would pass 8 Mi characters, else one batch)\n"
    "  --output   the script file (default: standard output)\n"
    "  --verbose  report progress on standard error also when it is not a terminal\n"
    "  --driver   the ODBC driver (default: QUORVANE_ODBC_DRIVER, else FreeTDS)\n"
    "  --encrypt  encrypt the connection: no, request (when the server can; the\n"
    "             default) or require\n"
    "  --trust-server-certificate\n"
    "             with --encrypt require, do not check the server's certificate\n"
    "  --ca-file  with --encrypt require, the CA certificates (PEM) the server's\n"
    "             certificate must be signed by (default: the system's)\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

QString UnbracketName(const QString &Name)
{
    if (Name.size() >= 2 && Name.startsWith(u'[') && Name.endsWith(u']'))
        return Name.mid(1, Name.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
    return Name;
}

namespace {

// "a, b,c" -> a, b, c; an empty entry is a mistake.
bool splitNames(const QString &text, QStringList &out)
{
    out.clear();
    for (const QString &part : text.split(u',')) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            return false;
        out.append(name);
    }
    return true;
}

} // namespace

std::optional<TScriptCliOptions> ParseScriptCliOptions(const QStringList &Arguments, QString &Error)
{
    TScriptCliOptions o;
    bool sawColumns = false, sawKeys = false;
    for (qsizetype k = 0; k < Arguments.size(); ++k) {
        QString name = Arguments.at(k);
        std::optional<QString> inlineValue;
        if (name.startsWith(QLatin1String("--"))) {
            const qsizetype eq = name.indexOf(u'=');
            if (eq > 2) {
                inlineValue = name.mid(eq + 1);
                name.truncate(eq);
            }
        }
        const auto flag = [&](bool &target) {
            if (inlineValue) {
                Error = QStringLiteral("%1 takes no value").arg(name);
                return false;
            }
            target = true;
            return true;
        };
        const auto value = [&](QString &target) {
            if (inlineValue) {
                target = *inlineValue;
            } else if (k + 1 < Arguments.size()) {
                target = Arguments.at(++k);
            } else {
                Error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            if (target.trimmed().isEmpty()) {
                Error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            return true;
        };
        QString text;
        bool ok = true;
        if (name == QLatin1String("--server")) {
            ok = value(o.Server);
        } else if (name == QLatin1String("--login")) {
            ok = value(o.Login);
        } else if (name == QLatin1String("--database")) {
            ok = value(o.DataBase);
        } else if (name == QLatin1String("--table")) {
            ok = value(text);
            if (ok) {
                for (const QString &given : std::as_const(o.Tables))
                    if (UnbracketName(given.trimmed()).compare(UnbracketName(text.trimmed()), Qt::CaseInsensitive) == 0) {
                        Error = QStringLiteral("table %1 is given twice (--table)").arg(text);
                        ok = false;
                    }
                o.Tables << text;
            }
        } else if (name == QLatin1String("--all-tables")) {
            ok = flag(o.AllTables);
        } else if (name == QLatin1String("--allow-fk-cycle")) {
            ok = flag(o.AllowFkCycle);
        } else if (name == QLatin1String("--nickname")) {
            ok = value(o.Nickname);
        } else if (name == QLatin1String("--where")) {
            ok = value(o.RowFilter);
        } else if (name == QLatin1String("--output")) {
            ok = value(o.Output);
        } else if (name == QLatin1String("--columns") || name == QLatin1String("--keys")) {
            ok = value(text);
            QStringList &list = name == QLatin1String("--keys") ? o.Keys : o.Columns;
            bool &seen = name == QLatin1String("--keys") ? sawKeys : sawColumns;
            if (ok && seen) {
                Error = QStringLiteral("%1 is given twice").arg(name);
                ok = false;
            }
            seen = true;
            if (ok && !splitNames(text, list)) {
                Error = QStringLiteral("%1 wants names separated by commas, got \"%2\"").arg(name, text);
                ok = false;
            }
        } else if (name == QLatin1String("--driver")) {
            ok = value(o.Driver);
        } else if (name == QLatin1String("--ca-file")) {
            ok = value(o.Security.CaFile);
        } else if (name == QLatin1String("--encrypt")) {
            ok = value(text);
            if (ok) {
                const std::optional<TEncryption> encryption = EncryptionFromText(text);
                if (!encryption) {
                    Error = QStringLiteral("--encrypt wants no, request or require, got \"%1\"").arg(text);
                    ok = false;
                } else {
                    o.Security.Encryption = *encryption;
                }
            }
        } else if (name == QLatin1String("--trust-server-certificate")) {
            ok = flag(o.Security.TrustServerCertificate);
        } else if (name == QLatin1String("--batch-rows")) {
            ok = value(text);
            bool number = false;
            const qint64 rows = text.trimmed().toLongLong(&number);
            if (ok && (!number || rows < 0)) {
                Error = QStringLiteral("--batch-rows wants a whole number of rows, 0 or more, got \"%1\"").arg(text);
                ok = false;
            }
            o.BatchRows = rows;
        } else if (name == QLatin1String("--delete")) {
            ok = flag(o.DeleteTable);
        } else if (name == QLatin1String("--only-changed")) {
            ok = flag(o.OnlyChanged);
        } else if (name == QLatin1String("--verbose")) {
            ok = flag(o.Verbose);
        } else if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            ok = flag(o.Help);
        } else if (name == QLatin1String("--version")) {
            ok = flag(o.Version);
        } else if (name == QLatin1String("--password")) {
            Error = QStringLiteral("the password is not taken from the command line; set QUORVANE_PASSWORD");
            ok = false;
        } else {
            Error = QStringLiteral("unknown argument \"%1\"").arg(Arguments.at(k));
            ok = false;
        }
        if (!ok)
            return std::nullopt;
    }
    if (o.Help || o.Version)
        return o;
    const std::pair<const char *, const QString *> required[] = {
        {"--server", &o.Server}, {"--login", &o.Login}, {"--database", &o.DataBase}};
    for (const auto &[option, field] : required)
        if (field->isEmpty()) {
            Error = QStringLiteral("%1 is required").arg(QLatin1String(option));
            return std::nullopt;
        }
    if (o.AllTables && !o.Tables.isEmpty()) {
        Error = QStringLiteral("--all-tables and --table exclude each other");
        return std::nullopt;
    }
    if (!o.AllTables && o.Tables.isEmpty()) {
        Error = QStringLiteral("--table is required (or --all-tables)");
        return std::nullopt;
    }
    if (o.SeveralTables()) {
        // Choices of one table's columns, name and rows have no meaning
        // for a set of tables.
        const std::pair<const char *, bool> perTable[] = {{"--columns", sawColumns},
                                                          {"--keys", sawKeys},
                                                          {"--nickname", !o.Nickname.isEmpty()},
                                                          {"--where", !o.RowFilter.isEmpty()}};
        for (const auto &[option, given] : perTable)
            if (given) {
                Error = QStringLiteral("%1 applies to a script of one table only; with several tables every table "
                                       "carries all its columns and rows")
                            .arg(QLatin1String(option));
                return std::nullopt;
            }
    }
    return o;
}
