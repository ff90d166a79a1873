#include "ScriptBuilder.h"

#include "ChangedRows.h"
#include "Domain.h"
#include "RowSet.h"
#include "ScriptPlan.h"
#include "SqlNames.h"

#include <vector>

namespace {

struct SourceField
{
    const TCarriedColumn *carried;
    int field; // the row set's field of the column's name
};

QString rowProgressText(qint64 n, qint64 k)
{
    return QStringLiteral("Формирую данные. Всего строк в таблице: %1. Сформировано строк: %2. "
                          "Осталось сформировать: %3.")
        .arg(n)
        .arg(k + 1)
        .arg(n - (k + 1));
}

// The field of the column's name: the exact name first, else the only one
// equal to it ignoring case; -1 when there is none.
int fieldOf(const TRowSet &rows, const QString &name)
{
    int caseless = -1, caselessCount = 0;
    for (int i = 0; i < rows.FieldCount(); ++i) {
        const QString field = rows.FieldName(i);
        if (field == name)
            return i;
        if (field.compare(name, Qt::CaseInsensitive) == 0) {
            caseless = i;
            ++caselessCount;
        }
    }
    return caselessCount == 1 ? caseless : -1;
}

// Comment marks inside a commented-out statement (names may hold them).
QString breakCommentMarks(QString text)
{
    text.replace(QStringLiteral("/*"), QStringLiteral("/ *"));
    text.replace(QStringLiteral("*/"), QStringLiteral("* /"));
    return text;
}

// The script after its header: the rows, then the statements that change
// the target. Returns false when broken off.
struct Writer
{
    const TTable &table;
    TRowSet &rows;
    TScriptLineSink &sink;
    const TScriptBuildControl &control;
    const TScriptPlan &plan;
    bool deleteTable;
    QString rowFilter; // the user's condition on the rows; empty for all
    bool onlyChanged;  // the UPDATE skips rows that hold the carried values

    void add(const QString &item) { sink.AddLine(item); }
    void report(int percent, const QString &text)
    {
        if (control.Progress)
            control.Progress(percent, text);
    }
    [[nodiscard]] bool stopRequested() const { return control.StopRequested && control.StopRequested(); }

    void header();
    bool data(const std::vector<SourceField> &fields);
    void footer();
};

void Writer::header()
{
    const QString empty;
    const QString tableName = CommentSafe(table.Name);
    const QString headerText = QStringLiteral("Формирую заголовок.");
    report(0, headerText);
    add(QStringLiteral("/*"));
    add(QStringLiteral("Created by Quorvane."));
    add(QStringLiteral("Creation date and time „%1“").arg(control.Now.toString(QStringLiteral("dd_MM_yyyy hh-mm-ss"))));
    add(table.DataBase ? QStringLiteral("Used data base „%1“").arg(CommentSafe(table.DataBase->Name)) : empty);
    add(QStringLiteral("Used table „%1“").arg(tableName));
    if (!rowFilter.isEmpty())
        add(QStringLiteral("Used row filter „%1“").arg(CommentSafe(rowFilter)));
    add(QStringLiteral("*/"));
    add(empty);
    add(QStringLiteral("--Script for table „%1“ start.--").arg(tableName));
    add(empty);
    if (!plan.LeftOut.isEmpty())
        add(QStringLiteral("--Not carried, the server takes no values for them (timestamp or computed): %1--")
                .arg(CommentSafe(plan.LeftOut.join(QStringLiteral(", ")))));
    if (!plan.UnknownTypes.isEmpty())
        add(QStringLiteral("--Not carried, of a type unknown to Quorvane: %1--")
                .arg(CommentSafe(plan.UnknownTypes.join(QStringLiteral(", ")))));
    if (!plan.HasKeys && !deleteTable)
        add(QStringLiteral("--Ключевые столбцы не выбраны и удаление строк не задано: скрипт только заполняет "
                           "табличную переменную и ничего не меняет в таблице.--"));
    add(QStringLiteral("DECLARE %1 TABLE (%2);").arg(plan.Variable, plan.Declarations.join(QStringLiteral(", "))));
    add(empty);
    report(1, headerText);
}

bool Writer::data(const std::vector<SourceField> &fields)
{
    // One buffer reused for every INSERT.
    const QString insertHead =
        QStringLiteral("INSERT INTO %1(%2) \r\n  VALUES(").arg(plan.Variable, plan.VariableList.join(QStringLiteral(", ")));
    const QString empty;
    QString line;
    line.reserve(insertHead.size() + 256);
    const qint64 n = rows.RecordCount();
    int lastPercent = 1;
    for (qint64 k = 0; !rows.Eof(); ++k) {
        line.resize(0);
        line += insertHead;
        bool first = true;
        for (const SourceField &f : fields) {
            if (!first)
                line += u", ";
            first = false;
            AppendFieldLiteral(line, rows, f.field, *f.carried->Column, table.DataBaseCollation);
        }
        line += u");";
        add(line);
        add(empty);
        rows.Next();
        const int percent = RowPercent(k, n);
        if (k == 0 || percent != lastPercent || rows.Eof()) {
            lastPercent = percent;
            report(percent, rowProgressText(n, k));
        }
        if (stopRequested())
            return false;
    }
    // A stop that came with the last row (or cut the rows short) still
    // means the rows may not all be here.
    return !stopRequested();
}

void Writer::footer()
{
    const QString empty;
    report(99, QStringLiteral("Формирую „подвал“»"));
    // Without keys nothing is written to the target unless its rows were
    // deleted first: then every carried row goes in unmatched.
    const bool changesTarget = plan.HasKeys || deleteTable;
    const bool identity = plan.IdentityCarried && changesTarget;
    const QString columns = plan.ColumnList.join(QStringLiteral(", "));
    const QString variableColumns = plan.VariableList.join(QStringLiteral(", "));
    // With a row filter only the target's rows that meet it go: the rows
    // outside it were never read, so they are not the script's to replace.
    if (deleteTable)
        add(QStringLiteral("DELETE FROM %1%2;").arg(plan.Target, RowFilterClause(rowFilter)));
    if (identity)
        add(QStringLiteral("SET IDENTITY_INSERT %1 ON;").arg(plan.Target));
    if (plan.HasKeys) {
        add(empty);
        QString updateWhere = plan.Where;
        if (onlyChanged && !plan.SetList.isEmpty()) {
            const TChangedRowsCondition changed = ChangedRowsCondition(plan);
            if (!changed.Uncompared.isEmpty()) {
                add(QStringLiteral("--Столбцы %1 (text, ntext, image, sql_variant) нельзя сравнить точно, поэтому "
                                   "обновляются все строки, совпавшие по ключу.--")
                        .arg(CommentSafe(changed.Uncompared.join(QStringLiteral(", ")))));
            } else {
                add(QStringLiteral("--Обновляются только строки, в которых отличается хотя бы один переносимый "
                                   "столбец.--"));
                updateWhere += QStringLiteral(" \r\n  AND (") + changed.Condition + u')';
            }
        }
        const QString update = QStringLiteral("UPDATE %1 \r\n  SET %2 \r\n  FROM %3 AS %4 \r\n  WHERE %5;")
                                   .arg(plan.Target, plan.SetList.join(QStringLiteral(", ")), plan.Variable, plan.Alias,
                                        updateWhere);
        if (plan.SetList.isEmpty()) {
            add(QStringLiteral("/*"));
            add(QStringLiteral("--Выражение SET пустое, поэтому блок UPDATE закомментирован.--"));
            add(breakCommentMarks(update));
            add(QStringLiteral("*/"));
        } else {
            add(update);
        }
        add(empty);
        add(QStringLiteral("INSERT INTO %1(%2) \r\n  SELECT %3 FROM %4 AS %5\r\n  WHERE NOT EXISTS(SELECT * FROM %1 WHERE %6)")
                .arg(plan.Target, columns, variableColumns, plan.Variable, plan.Alias, plan.Where));
        add(empty);
    } else if (deleteTable) {
        add(empty);
        add(QStringLiteral("INSERT INTO %1(%2) \r\n  SELECT %3 FROM %4").arg(plan.Target, columns, variableColumns, plan.Variable));
        add(empty);
    }
    if (identity) {
        add(QStringLiteral("SET IDENTITY_INSERT %1 OFF;").arg(plan.Target));
        add(QStringLiteral("DBCC CHECKIDENT(%1, RESEED);").arg(plan.ReseedTarget));
    }
    add(empty);
    add(QStringLiteral("--Script for table „%1“ end.--").arg(CommentSafe(table.Name)));
    add(empty);
    add(QStringLiteral("/*"));
    add(empty);
    add(QStringLiteral("*/"));
    add(empty);
    add(empty);
    report(100, QStringLiteral("Скрипт создан."));
}

} // namespace

int RowPercent(qint64 K, qint64 N)
{
    const qint64 total = N > K ? N : K + 1;
    const qint64 percent = 1 + (98 * K) / total;
    return int(percent > 98 ? 98 : percent);
}

TGenerationResult BuildScript(const TTable &Table, TRowSet &RowSet, const IParseSettings *Settings,
                              TScriptLineSink &Sink, const TScriptBuildControl &Control)
{
    const TScriptPlan plan(Table);
    if (!plan.Problem.isEmpty())
        return TGenerationResult::Failed(plan.Problem);
    Writer writer{Table, RowSet, Sink, Control, plan, Settings && Settings->GetDeleteTable(),
                  Settings ? Settings->GetRowFilter().trimmed() : QString(), Settings && Settings->GetOnlyChanged()};
    try {
        std::vector<SourceField> fields;
        for (const TCarriedColumn &carried : plan.Carried) {
            const int field = fieldOf(RowSet, carried.Column->Name);
            if (field < 0)
                return TGenerationResult::Failed(
                    QStringLiteral("the rows read hold no field for column %1").arg(carried.Column->Name));
            fields.push_back({&carried, field});
        }
        writer.header();
        if (!writer.data(fields))
            return TGenerationResult::BrokenOff();
        writer.footer();
    } catch (const std::exception &error) {
        // A read cut off on purpose (a break-off cancels the read) is no failure.
        if (writer.stopRequested())
            return TGenerationResult::BrokenOff();
        const auto *own = dynamic_cast<const EQuorvaneException *>(&error);
        return TGenerationResult::Failed(own ? own->Message() : QString::fromUtf8(error.what()));
    }
    return TGenerationResult::Completed();
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
