#include "ChangedRowsSplit.h"

#include <QSet>

namespace {

enum class TokenKind { Word, Name, Variable, Open, Close, Comma, Dot, Semicolon, Other };

struct Token
{
    TokenKind Kind;
    QString Text; // a word upper-cased; a name without its delimiters
};

// Tokens outside comments and string literals. Block comments nest.
QList<Token> tokenize(const QString &text)
{
    QList<Token> out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto isWordChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$'; };
    while (i < n) {
        const QChar c = text.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < n && text.at(i + 1) == u'-') {
            while (i < n && text.at(i) != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && text.at(i + 1) == u'*') {
            int depth = 0;
            while (i < n) {
                if (text.at(i) == u'/' && i + 1 < n && text.at(i + 1) == u'*') {
                    ++depth;
                    i += 2;
                } else if (text.at(i) == u'*' && i + 1 < n && text.at(i + 1) == u'/') {
                    i += 2;
                    if (--depth == 0)
                        break;
                } else {
                    ++i;
                }
            }
        } else if (c == u'\'' || ((c == u'N' || c == u'n') && i + 1 < n && text.at(i + 1) == u'\'')) {
            i += c == u'\'' ? 1 : 2;
            while (i < n) {
                if (text.at(i) == u'\'') {
                    if (i + 1 < n && text.at(i + 1) == u'\'') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            out.append({TokenKind::Other, QString()});
        } else if (c == u'[' || c == u'"') {
            const QChar close = c == u'[' ? u']' : u'"';
            QString name;
            ++i;
            while (i < n) {
                if (text.at(i) == close) {
                    if (i + 1 < n && text.at(i + 1) == close) {
                        name += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                name += text.at(i++);
            }
            out.append({TokenKind::Name, name});
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            while (i < n && isWordChar(text.at(i)))
                ++i;
            const QString word = text.mid(start, i - start);
            if (word.startsWith(u'@'))
                out.append({TokenKind::Variable, word});
            else if (word.startsWith(u'#'))
                out.append({TokenKind::Name, word});
            else
                out.append({TokenKind::Word, word.toUpper()});
        } else {
            TokenKind kind = TokenKind::Other;
            if (c == u'(')
                kind = TokenKind::Open;
            else if (c == u')')
                kind = TokenKind::Close;
            else if (c == u',')
                kind = TokenKind::Comma;
            else if (c == u'.')
                kind = TokenKind::Dot;
            else if (c == u';')
                kind = TokenKind::Semicolon;
            out.append({kind, QString(c)});
            ++i;
        }
    }
    return out;
}

// Words that begin a statement wherever they stand outside parentheses
// (and outside a CASE expression, for ELSE and END).
const QSet<QString> &statementWords()
{
    static const QSet<QString> words{
        QStringLiteral("ALTER"),    QStringLiteral("BACKUP"),     QStringLiteral("BEGIN"),    QStringLiteral("BREAK"),
        QStringLiteral("BULK"),     QStringLiteral("CHECKPOINT"), QStringLiteral("CLOSE"),    QStringLiteral("COMMIT"),
        QStringLiteral("CONTINUE"), QStringLiteral("CREATE"),     QStringLiteral("DBCC"),     QStringLiteral("DEALLOCATE"),
        QStringLiteral("DECLARE"),  QStringLiteral("DELETE"),     QStringLiteral("DENY"),     QStringLiteral("DROP"),
        QStringLiteral("ELSE"),     QStringLiteral("END"),        QStringLiteral("EXEC"),     QStringLiteral("EXECUTE"),
        QStringLiteral("FETCH"),    QStringLiteral("GOTO"),       QStringLiteral("GRANT"),    QStringLiteral("IF"),
        QStringLiteral("INSERT"),   QStringLiteral("KILL"),       QStringLiteral("MERGE"),    QStringLiteral("OPEN"),
        QStringLiteral("PRINT"),    QStringLiteral("RAISERROR"),  QStringLiteral("READTEXT"), QStringLiteral("RECONFIGURE"),
        QStringLiteral("RESTORE"),  QStringLiteral("RETURN"),     QStringLiteral("REVERT"),   QStringLiteral("REVOKE"),
        QStringLiteral("ROLLBACK"), QStringLiteral("SAVE"),       QStringLiteral("SELECT"),   QStringLiteral("SET"),
        QStringLiteral("SETUSER"),  QStringLiteral("SHUTDOWN"),   QStringLiteral("THROW"),    QStringLiteral("TRUNCATE"),
        QStringLiteral("UPDATE"),   QStringLiteral("UPDATETEXT"), QStringLiteral("USE"),      QStringLiteral("WAITFOR"),
        QStringLiteral("WHILE"),    QStringLiteral("WITH"),       QStringLiteral("WRITETEXT")};
    return words;
}

// Words after which a following word is not an alias.
const QSet<QString> &clauseWords()
{
    static const QSet<QString> words{
        QStringLiteral("WHERE"), QStringLiteral("JOIN"),  QStringLiteral("INNER"), QStringLiteral("LEFT"),
        QStringLiteral("RIGHT"), QStringLiteral("FULL"),  QStringLiteral("CROSS"), QStringLiteral("OUTER"),
        QStringLiteral("ON"),    QStringLiteral("WITH"),  QStringLiteral("GROUP"), QStringLiteral("ORDER"),
        QStringLiteral("OPTION"), QStringLiteral("HAVING"), QStringLiteral("UNION"), QStringLiteral("SET"),
        QStringLiteral("FROM"),  QStringLiteral("AS"),    QStringLiteral("SELECT"), QStringLiteral("VALUES"),
        QStringLiteral("DEFAULT"), QStringLiteral("AND"), QStringLiteral("OR"),   QStringLiteral("NOT"),
        QStringLiteral("IS"),    QStringLiteral("NULL"),  QStringLiteral("IN"),   QStringLiteral("LIKE"),
        QStringLiteral("BETWEEN"), QStringLiteral("EXISTS")};
    return words;
}

bool isNameToken(const Token &t)
{
    return t.Kind == TokenKind::Word || t.Kind == TokenKind::Name || t.Kind == TokenKind::Variable;
}

// A possibly dotted name from k on; its last part, k moved past it. Empty
// when k stands on no name.
QString readName(const QList<Token> &tokens, qsizetype &k)
{
    QString last;
    while (k < tokens.size()) {
        if (tokens.at(k).Kind == TokenKind::Dot) {
            ++k; // db..table leaves a part out
            continue;
        }
        if (!isNameToken(tokens.at(k)))
            break;
        last = tokens.at(k).Text;
        ++k;
        if (k < tokens.size() && tokens.at(k).Kind == TokenKind::Dot)
            continue;
        break;
    }
    return last;
}

struct Statement
{
    QString Verb;
    QList<Token> Tokens; // the statement's own tokens, the verb first
};

// Statements cut at their verbs and semicolons; false when a word that
// cannot be paired stands where a statement starts.
bool splitStatements(const QList<Token> &tokens, QList<Statement> &out)
{
    int depth = 0, caseDepth = 0;
    bool updateSet = false;    // UPDATE's own SET is still to come
    bool insertValues = false; // INSERT ... VALUES: a SELECT after it is a statement
    for (const Token &t : tokens) {
        if (t.Kind == TokenKind::Open)
            ++depth;
        else if (t.Kind == TokenKind::Close)
            depth = qMax(0, depth - 1);
        if (depth == 0 && t.Kind == TokenKind::Semicolon) {
            caseDepth = 0;
            out.append({QString(), {}});
            continue;
        }
        bool starts = false;
        if (depth == 0 && t.Kind == TokenKind::Word) {
            if (t.Text == QLatin1String("CASE")) {
                ++caseDepth;
            } else if (caseDepth > 0 && (t.Text == QLatin1String("END") || t.Text == QLatin1String("ELSE"))) {
                if (t.Text == QLatin1String("END"))
                    --caseDepth;
            } else if (t.Text == QLatin1String("VALUES")) {
                insertValues = true;
            } else if (statementWords().contains(t.Text)) {
                const QString verb = out.isEmpty() ? QString() : out.last().Verb;
                if (verb == QLatin1String("UPDATE") && t.Text == QLatin1String("SET") && updateSet)
                    updateSet = false;
                else if (verb == QLatin1String("INSERT") && t.Text == QLatin1String("SELECT") && !insertValues)
                    ; // INSERT ... SELECT
                else if (verb == QLatin1String("ALTER") && t.Text == QLatin1String("WITH"))
                    ; // ALTER TABLE t WITH CHECK ...
                else
                    starts = true;
            }
        }
        if (starts) {
            out.append({t.Text, {}});
            updateSet = t.Text == QLatin1String("UPDATE");
            insertValues = false;
            caseDepth = 0;
        } else if (out.isEmpty() || out.last().Verb.isEmpty()) {
            // Text before any verb, or after a semicolon without one.
            if (t.Kind != TokenKind::Semicolon)
                return false;
            continue;
        }
        out.last().Tokens.append(t);
    }
    return true;
}

bool isWord(const Token &t, const char *word)
{
    return t.Kind == TokenKind::Word && t.Text == QLatin1String(word);
}

// The target of an UPDATE or DELETE that names an alias: the table source
// given that alias in its FROM clause (from k on). Empty when none is;
// false when the alias is a derived table's.
bool resolveAlias(const QList<Token> &tokens, qsizetype from, const QString &alias, QString &target)
{
    int depth = 0;
    bool condition = false; // in a join's ON condition
    for (qsizetype k = from; k < tokens.size(); ++k) {
        const Token &t = tokens.at(k);
        if (depth == 0) {
            // The FROM clause ends at the statement's other clauses.
            if (isWord(t, "WHERE") || isWord(t, "GROUP") || isWord(t, "ORDER") || isWord(t, "OPTION") ||
                isWord(t, "HAVING") || isWord(t, "UNION"))
                break;
            if (isWord(t, "ON"))
                condition = true;
            else if (t.Kind == TokenKind::Comma || isWord(t, "JOIN") || isWord(t, "INNER") || isWord(t, "LEFT") ||
                     isWord(t, "RIGHT") || isWord(t, "FULL") || isWord(t, "CROSS"))
                condition = false;
        }
        if (t.Kind == TokenKind::Open) {
            ++depth;
            continue;
        }
        if (t.Kind == TokenKind::Close) {
            --depth;
            // A derived table: ( ... ) [AS] alias.
            if (depth == 0) {
                qsizetype a = k + 1;
                if (a < tokens.size() && tokens.at(a).Kind == TokenKind::Word && tokens.at(a).Text == QLatin1String("AS"))
                    ++a;
                if (a < tokens.size() && isNameToken(tokens.at(a)) &&
                    tokens.at(a).Text.compare(alias, Qt::CaseInsensitive) == 0)
                    return false;
            }
            continue;
        }
        if (depth != 0 || condition || !isNameToken(t) || (t.Kind == TokenKind::Word && clauseWords().contains(t.Text)))
            continue;
        qsizetype a = k;
        const QString source = readName(tokens, a);
        if (a < tokens.size() && tokens.at(a).Kind == TokenKind::Word && tokens.at(a).Text == QLatin1String("AS"))
            ++a;
        if (a < tokens.size() && isNameToken(tokens.at(a)) &&
            !(tokens.at(a).Kind == TokenKind::Word && clauseWords().contains(tokens.at(a).Text)) &&
            tokens.at(a).Text.compare(alias, Qt::CaseInsensitive) == 0) {
            target = source;
            return true;
        }
        k = a - 1;
    }
    return true;
}

bool temporaryName(const QString &name)
{
    return name.startsWith(u'@') || name.startsWith(u'#');
}

} // namespace

bool StatementTargets(const QString &Batch, QList<bool> &Temporary)
{
    Temporary.clear();
    QList<Statement> statements;
    if (!splitStatements(tokenize(Batch), statements))
        return false;
    for (const Statement &statement : statements) {
        const QList<Token> &t = statement.Tokens;
        const QString &verb = statement.Verb;
        if (verb.isEmpty())
            continue;
        if (verb == QLatin1String("PRINT") || verb == QLatin1String("DBCC"))
            continue;
        // Tables and indexes made or dropped: no count. A procedure's,
        // trigger's or view's body would be taken for statements that run.
        if (verb == QLatin1String("CREATE") || verb == QLatin1String("DROP")) {
            bool plain = false;
            for (qsizetype k = 1; k < t.size() && t.at(k).Kind == TokenKind::Word; ++k) {
                const QString &word = t.at(k).Text;
                if (word == QLatin1String("TABLE") || word == QLatin1String("INDEX")) {
                    plain = true;
                    break;
                }
                if (word != QLatin1String("UNIQUE") && word != QLatin1String("CLUSTERED") &&
                    word != QLatin1String("NONCLUSTERED"))
                    break;
            }
            if (!plain)
                return false;
            continue;
        }
        if (verb == QLatin1String("SET")) {
            if (t.size() > 1 && t.at(1).Kind == TokenKind::Word && t.at(1).Text == QLatin1String("NOCOUNT"))
                return false;
            continue;
        }
        if (verb == QLatin1String("DECLARE")) {
            for (const Token &token : t)
                if (token.Kind == TokenKind::Word && token.Text == QLatin1String("CURSOR"))
                    return false;
            continue;
        }
        // A transaction begun and committed, and a table's constraints
        // switched off or on: no count, and what follows runs once.
        if (verb == QLatin1String("BEGIN") || verb == QLatin1String("COMMIT")) {
            const bool transaction = t.size() > 1 && t.at(1).Kind == TokenKind::Word &&
                                     (t.at(1).Text == QLatin1String("TRAN") || t.at(1).Text == QLatin1String("TRANSACTION"));
            if (!transaction && !(verb == QLatin1String("COMMIT") && t.size() == 1))
                return false;
            continue;
        }
        if (verb == QLatin1String("ALTER")) {
            bool constraints = t.size() > 2 && t.at(1).Kind == TokenKind::Word && t.at(1).Text == QLatin1String("TABLE");
            bool switched = false;
            for (const Token &token : t) {
                if (token.Kind != TokenKind::Word)
                    continue;
                if (token.Text == QLatin1String("ADD") || token.Text == QLatin1String("COLUMN"))
                    constraints = false;
                if (token.Text == QLatin1String("CONSTRAINT"))
                    switched = true;
            }
            if (!constraints || !switched)
                return false;
            continue;
        }
        if (verb != QLatin1String("INSERT") && verb != QLatin1String("UPDATE") && verb != QLatin1String("DELETE"))
            return false;
        for (const Token &token : t)
            if (token.Kind == TokenKind::Word &&
                (token.Text == QLatin1String("EXEC") || token.Text == QLatin1String("EXECUTE")))
                return false; // INSERT ... EXEC
        qsizetype k = 1;
        const auto skipWord = [&](const char *word) {
            if (k < t.size() && t.at(k).Kind == TokenKind::Word && t.at(k).Text == QLatin1String(word))
                ++k;
        };
        if (verb == QLatin1String("INSERT"))
            skipWord("INTO");
        else if (verb == QLatin1String("DELETE"))
            skipWord("FROM");
        if (k < t.size() && t.at(k).Kind == TokenKind::Word && t.at(k).Text == QLatin1String("TOP"))
            return false;
        QString target = readName(t, k);
        if (target.isEmpty())
            return false;
        if (verb != QLatin1String("INSERT") && !temporaryName(target)) {
            // UPDATE alias ... FROM table AS alias: the table is the target.
            qsizetype from = k;
            while (from < t.size() && !(t.at(from).Kind == TokenKind::Word && t.at(from).Text == QLatin1String("FROM")))
                ++from;
            QString aliased;
            if (from < t.size() && !resolveAlias(t, from + 1, target, aliased))
                return false;
            if (!aliased.isEmpty())
                target = aliased;
        }
        Temporary.append(temporaryName(target));
    }
    return true;
}

TChangedRowsSplit SplitChangedRows(const QString &Batch, const QList<qint64> &Counts, bool Clean)
{
    TChangedRowsSplit split;
    qint64 total = 0;
    for (const qint64 count : Counts)
        total += count;
    // Nothing changed is nothing changed anywhere, whatever the batch holds.
    if (total == 0) {
        split.Known = true;
        return split;
    }
    QList<bool> temporary;
    if (!Clean || !StatementTargets(Batch, temporary) || temporary.size() != Counts.size())
        return split;
    split.Known = true;
    for (qsizetype k = 0; k < Counts.size(); ++k)
        (temporary.at(k) ? split.Temporary : split.Tables) += Counts.at(k);
    return split;
}
