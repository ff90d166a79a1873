#include "ScriptBuilder.h"

#include "Domain.h"
#include "RowSet.h"
#include "SqlNames.h"

#include <vector>

namespace {

const QString tableAlias = QStringLiteral("T");
const QString columnSuffix = QStringLiteral("1");

struct CarriedColumn
{
    const TCustomColumn *column;
    int field; // position in the whole column list = row set field
};

// The header and the "--...--" lines hold names; a name must not close
// the comment early or spill onto a line of its own.
QString commentSafe(const QString &text)
{
    QString out = text;
    out.replace(QStringLiteral("*/"), QStringLiteral("* /"));
    out.replace(u'\r', u' ');
    out.replace(u'\n', u' ');
    return out;
}

// "@" + name + "TempTable", made a valid variable name of at most 128 characters.
QString tableVariableName(const QString &tableName)
{
    const QString suffix = QStringLiteral("TempTable");
    QString name = tableName.left(128 - 1 - int(suffix.size()));
    for (QChar &c : name)
        if (!(c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'$' || c == u'#'))
            c = u'_';
    return u'@' + name + suffix;
}

QString suffixedName(const TCustomColumn &column)
{
    return QuoteName(column.Name + columnSuffix);
}

QString matchExpression(const TCustomColumn &column)
{
    return QuoteName(column.Name) + QStringLiteral(" = ") + tableAlias + u'.' + suffixedName(column);
}

QString rowProgressText(qint64 n, qint64 k)
{
    return QStringLiteral("Формирую данные. Всего строк в таблице: %1. Сформировано строк: %2. "
                          "Осталось сформировать: %3.")
        .arg(n)
        .arg(k + 1)
        .arg(n - (k + 1));
}

} // namespace

int RowPercent(qint64 K, qint64 N)
{
    const qint64 total = N > K ? N : K + 1;
    const qint64 percent = 1 + (98 * K) / total;
    return int(percent > 98 ? 98 : percent);
}

void BuildScript(const TTable &Table, TRowSet &RowSet, const IParseSettings *Settings, TScriptLineSink &Sink,
                 const TScriptBuildControl &Control)
{
    const auto report = [&Control](int percent, const QString &text) {
        if (Control.Progress)
            Control.Progress(percent, text);
    };
    const auto add = [&Sink](const QString &item) { Sink.AddLine(item); };
    const QString empty;

    // Everything the script needs of the table and the settings, taken once.
    std::vector<CarriedColumn> carried;
    QStringList leftOut, columnList, suffixedList, declarations, setList, where;
    bool identityCarried = false;
    for (int i = 0; i < Table.Columns.Count(); ++i) {
        const TCustomColumn &column = *Table.Columns.Items(i);
        if (column.IsKey && column.IsCarriable())
            where.append(u'(' + matchExpression(column) + u')');
        if (!column.IsUsed)
            continue;
        if (!column.IsCarriable()) {
            leftOut.append(column.Name);
            continue;
        }
        carried.push_back({&column, i});
        columnList.append(QuoteName(column.Name));
        suffixedList.append(suffixedName(column));
        declarations.append(GetColumnDeclaration(column, columnSuffix));
        if (column.IsIdentity)
            identityCarried = true;
        else if (!column.IsKey)
            setList.append(matchExpression(column));
    }
    const QString variable = tableVariableName(Table.Name);
    // A nickname goes as the user typed it (it may carry an owner or brackets).
    const QString target = Table.Nickname.isEmpty() ? QuoteName(Table.Name) : Table.Nickname;
    const QString reseedTarget =
        IsRegularIdentifier(target) && !IsReservedWord(target) ? target : QuoteString(target);
    const QString tableName = commentSafe(Table.Name);
    const bool deleteTable = Settings && Settings->GetDeleteTable();
    const bool hasKeys = !where.isEmpty();
    const QString suffixedJoined = suffixedList.join(QStringLiteral(", "));
    const QString whereJoined = where.join(QStringLiteral(" AND "));

    const QString headerText = QStringLiteral("Формирую заголовок.");
    report(0, headerText);
    add(QStringLiteral("/*"));
    add(QStringLiteral("Created by Quorvane."));
    add(QStringLiteral("Creation date and time „%1“").arg(Control.Now.toString(QStringLiteral("dd_MM_yyyy hh-mm-ss"))));
    add(Table.DataBase ? QStringLiteral("Used data base „%1“").arg(commentSafe(Table.DataBase->Name)) : empty);
    add(QStringLiteral("Used table „%1“").arg(tableName));
    add(QStringLiteral("*/"));
    add(empty);
    add(QStringLiteral("--Script for table „%1“ start.--").arg(tableName));
    add(empty);
    if (!leftOut.isEmpty())
        add(QStringLiteral("--Not carried, the server takes no values for them (timestamp or computed): %1--")
                .arg(commentSafe(leftOut.join(QStringLiteral(", ")))));
    add(QStringLiteral("DECLARE %1 TABLE (%2);").arg(variable, declarations.join(QStringLiteral(", "))));
    add(empty);
    report(1, headerText);

    // The rows: one buffer reused for every INSERT.
    const QString insertHead = QStringLiteral("INSERT INTO %1(%2) \r\n  VALUES(").arg(variable, suffixedJoined);
    QString line;
    line.reserve(insertHead.size() + 256);
    const qint64 n = RowSet.RecordCount();
    int lastPercent = 1;
    for (qint64 k = 0; !RowSet.Eof(); ++k) {
        line.resize(0);
        line += insertHead;
        bool first = true;
        for (const CarriedColumn &c : carried) {
            if (!first)
                line += u", ";
            first = false;
            AppendFieldLiteral(line, RowSet, c.field, *c.column);
        }
        line += u");";
        add(line);
        add(empty);
        RowSet.Next();
        const int percent = RowPercent(k, n);
        if (k == 0 || percent != lastPercent || RowSet.Eof()) {
            lastPercent = percent;
            report(percent, rowProgressText(n, k));
        }
        if (Control.StopRequested && Control.StopRequested())
            break;
    }

    report(99, QStringLiteral("Формирую „подвал“»"));
    if (deleteTable)
        add(QStringLiteral("DELETE FROM %1;").arg(target));
    if (identityCarried)
        add(QStringLiteral("SET IDENTITY_INSERT %1 ON;").arg(target));
    if (hasKeys) {
        add(empty);
        if (setList.isEmpty()) {
            add(QStringLiteral("/*"));
            add(QStringLiteral("--Выражение SET пустое, поэтому блок UPDATE закомментирован.--"));
        }
        add(QStringLiteral("UPDATE %1 \r\n  SET %2 \r\n  FROM %3 AS %4 \r\n  WHERE %5;")
                .arg(target, setList.join(QStringLiteral(", ")), variable, tableAlias, whereJoined));
        if (setList.isEmpty())
            add(QStringLiteral("*/"));
        add(empty);
        add(QStringLiteral("INSERT INTO %1(%2) \r\n  SELECT %3 FROM %4 AS %5\r\n  WHERE NOT EXISTS(SELECT * FROM %1 WHERE %6)")
                .arg(target, columnList.join(QStringLiteral(", ")), suffixedJoined, variable, tableAlias, whereJoined));
        add(empty);
    }
    if (identityCarried) {
        add(QStringLiteral("SET IDENTITY_INSERT %1 OFF;").arg(target));
        add(QStringLiteral("DBCC CHECKIDENT(%1, RESEED);").arg(reseedTarget));
    }
    add(empty);
    add(QStringLiteral("--Script for table „%1“ end.--").arg(tableName));
    add(empty);
    add(QStringLiteral("/*"));
    add(empty);
    add(QStringLiteral("*/"));
    add(empty);
    add(empty);
    report(100, QStringLiteral("Скрипт создан."));
}

TScriptFileSink::TScriptFileSink(std::FILE *File) : m_file(File)
{
    m_buffer.resize(1 << 16);
}

TScriptFileSink::~TScriptFileSink()
{
    try {
        Flush();
    } catch (...) {
    }
}

void TScriptFileSink::AddLine(const QString &Item)
{
    const qsizetype needed = m_encoder.requiredSpace(Item.size()) + 2;
    if (m_used + needed > m_buffer.size()) {
        Flush();
        if (needed > m_buffer.size())
            m_buffer.resize(needed);
    }
    char *begin = m_buffer.data() + m_used;
    char *end = m_encoder.appendToBuffer(begin, Item);
    *end++ = '\r';
    *end++ = '\n';
    m_used += end - begin;
}

void TScriptFileSink::Flush()
{
    if (m_used == 0)
        return;
    const size_t size = size_t(m_used);
    m_used = 0;
    if (std::fwrite(m_buffer.constData(), 1, size, m_file) != size)
        throw EQuorvaneException(QStringLiteral("The script could not be written."));
    m_written += qint64(size);
}
