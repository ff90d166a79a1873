#include "SqlNames.h"

#include <QSet>

namespace {

const char *const reservedWords[] = {
    // SQL Server 2000
    "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUTHORIZATION", "BACKUP", "BEGIN", "BETWEEN", "BREAK",
    "BROWSE", "BULK", "BY", "CASCADE", "CASE", "CHECK", "CHECKPOINT", "CLOSE", "CLUSTERED", "COALESCE",
    "COLLATE", "COLUMN", "COMMIT", "COMPUTE", "CONSTRAINT", "CONTAINS", "CONTAINSTABLE", "CONTINUE", "CONVERT",
    "CREATE", "CROSS", "CURRENT", "CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER",
    "CURSOR", "DATABASE", "DBCC", "DEALLOCATE", "DECLARE", "DEFAULT", "DELETE", "DENY", "DESC", "DISK",
    "DISTINCT", "DISTRIBUTED", "DOUBLE", "DROP", "DUMMY", "DUMP", "ELSE", "END", "ERRLVL", "ESCAPE", "EXCEPT",
    "EXEC", "EXECUTE", "EXISTS", "EXIT", "FETCH", "FILE", "FILLFACTOR", "FOR", "FOREIGN", "FREETEXT",
    "FREETEXTTABLE", "FROM", "FULL", "FUNCTION", "GOTO", "GRANT", "GROUP", "HAVING", "HOLDLOCK", "IDENTITY",
    "IDENTITYCOL", "IDENTITY_INSERT", "IF", "IN", "INDEX", "INNER", "INSERT", "INTERSECT", "INTO", "IS", "JOIN",
    "KEY", "KILL", "LEFT", "LIKE", "LINENO", "LOAD", "NATIONAL", "NOCHECK", "NONCLUSTERED", "NOT", "NULL",
    "NULLIF", "OF", "OFF", "OFFSETS", "ON", "OPEN", "OPENDATASOURCE", "OPENQUERY", "OPENROWSET", "OPENXML",
    "OPTION", "OR", "ORDER", "OUTER", "OVER", "PERCENT", "PLAN", "PRECISION", "PRIMARY", "PRINT", "PROC",
    "PROCEDURE", "PUBLIC", "RAISERROR", "READ", "READTEXT", "RECONFIGURE", "REFERENCES", "REPLICATION",
    "RESTORE", "RESTRICT", "RETURN", "REVOKE", "RIGHT", "ROLLBACK", "ROWCOUNT", "ROWGUIDCOL", "RULE", "SAVE",
    "SCHEMA", "SELECT", "SESSION_USER", "SET", "SETUSER", "SHUTDOWN", "SOME", "STATISTICS", "SYSTEM_USER",
    "TABLE", "TEXTSIZE", "THEN", "TO", "TOP", "TRAN", "TRANSACTION", "TRIGGER", "TRUNCATE", "TSEQUAL", "UNION",
    "UNIQUE", "UPDATE", "UPDATETEXT", "USE", "USER", "VALUES", "VARYING", "VIEW", "WAITFOR", "WHEN", "WHERE",
    "WHILE", "WITH", "WRITETEXT",
    // reserved by later servers, where a script may also run
    "EXTERNAL", "MERGE", "PIVOT", "REVERT", "SECURITYAUDIT", "SEMANTICKEYPHRASETABLE",
    "SEMANTICSIMILARITYDETAILSTABLE", "SEMANTICSIMILARITYTABLE", "TABLESAMPLE", "TRY_CONVERT", "UNPIVOT",
};

const QSet<QString> &reservedSet()
{
    static const QSet<QString> set = [] {
        QSet<QString> s;
        for (const char *word : reservedWords)
            s.insert(QString::fromLatin1(word));
        return s;
    }();
    return set;
}

bool isFollowingChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'$' || c == u'#';
}

} // namespace

bool IsRegularIdentifier(QStringView Name)
{
    if (Name.isEmpty() || Name.size() > 128)
        return false;
    const QChar first = Name.front();
    if (!(first.isLetter() || first == u'_'))
        return false;
    for (QChar c : Name.mid(1))
        if (!isFollowingChar(c))
            return false;
    return true;
}

bool IsReservedWord(QStringView Name)
{
    if (Name.size() > 30)
        return false;
    return reservedSet().contains(Name.toString().toUpper());
}

void AppendQuotedName(QString &Out, QStringView Name)
{
    if (IsRegularIdentifier(Name) && !IsReservedWord(Name)) {
        Out += Name;
        return;
    }
    Out += u'[';
    for (QChar c : Name) {
        Out += c;
        if (c == u']')
            Out += c;
    }
    Out += u']';
}

QString QuoteName(const QString &Name)
{
    QString out;
    AppendQuotedName(out, Name);
    return out;
}

QString QuoteString(const QString &Text)
{
    QString out = Text;
    out.replace(u'\'', QStringLiteral("''"));
    return u'\'' + out + u'\'';
}

QString QuoteNationalString(const QString &Text)
{
    return u'N' + QuoteString(Text);
}

QString QuoteTypedName(const QString &Name)
{
    if (Name.contains(u'[') || Name.contains(u'"') || Name.contains(u'.'))
        return Name;
    return QuoteName(Name);
}

QString LastNamePart(const QString &Name)
{
    // Walk the parts: a part is [..] with ]] for ], ".." with "" for ", or
    // anything up to the next dot.
    QString part;
    const qsizetype n = Name.size();
    qsizetype i = 0;
    while (i < n) {
        part.clear();
        const QChar open = Name.at(i);
        if (open == u'[' || open == u'"') {
            const QChar close = open == u'[' ? QChar(u']') : QChar(u'"');
            ++i;
            while (i < n) {
                if (Name.at(i) == close) {
                    if (i + 1 < n && Name.at(i + 1) == close) {
                        part += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                part += Name.at(i++);
            }
            while (i < n && Name.at(i) != u'.')
                part += Name.at(i++);
        } else {
            while (i < n && Name.at(i) != u'.')
                part += Name.at(i++);
        }
        if (i < n && Name.at(i) == u'.')
            ++i;
        else
            break;
    }
    return part.trimmed();
}

QString CommentSafe(const QString &Text)
{
    QString out = Text;
    out.replace(u'\r', u' ');
    out.replace(u'\n', u' ');
    // "/*/" holds both marks; breaking the opener first leaves "/ */",
    // whose closer is broken next.
    out.replace(QStringLiteral("/*"), QStringLiteral("/ *"));
    out.replace(QStringLiteral("*/"), QStringLiteral("* /"));
    return out;
}

QString RowFilterClause(const QString &Filter)
{
    if (Filter.trimmed().isEmpty())
        return QString();
    const bool lineComment = Filter.contains(QStringLiteral("--"));
    return QStringLiteral(" WHERE (") + Filter + (lineComment ? QStringLiteral("\r\n)") : QStringLiteral(")"));
}
