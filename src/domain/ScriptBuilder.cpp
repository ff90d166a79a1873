#include "ScriptBuilder.h"

#include "ChangedRows.h"
#include "Domain.h"
#include "RowSet.h"
#include "ScriptPlan.h"
#include "ScriptRows.h"
#include "SqlNames.h"

#include <cstring>
#include <vector>

namespace {

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
    const TScriptBuildControl &control;
    const TScriptPlan &plan;
    bool deleteTable;
    QString rowFilter; // the user's condition on the rows; empty for all
    bool onlyChanged;  // the UPDATE skips rows that hold the carried values
    TScriptRows out;   // the rows and the sizes of the script

    TRowHolder &holder() { return out.Holders.front(); }
    void add(const QString &item) { out.Add(item); }
    void report(int percent, const QString &text)
    {
        if (control.Progress)
            control.Progress(percent, text);
    }
    [[nodiscard]] bool stopRequested() const { return out.StopRequested(); }
    [[nodiscard]] qint64 footerChars() const;

    void header();
    void declare();
    bool data(const std::vector<TRowField> &fields);
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
    if (out.Shape() != rsUndecided)
        declare();
    report(1, headerText);
}

// The table the rows go into; a batched script's first batch ends here.
void Writer::declare()
{
    const QString empty;
    if (out.Shape() == rsBatched) {
        add(QStringLiteral("--Строки переносятся пакетами по %1 через временную таблицу %2.--")
                .arg(out.BatchRows())
                .arg(holder().Temporary));
        add(QStringLiteral("CREATE TABLE %1 (%2);").arg(holder().Temporary, plan.TemporaryDeclarations.join(QStringLiteral(", "))));
        out.EndBatch();
    } else {
        add(QStringLiteral("DECLARE %1 TABLE (%2);").arg(plan.Variable, plan.Declarations.join(QStringLiteral(", "))));
        add(empty);
    }
}

// An upper bound of the characters the statements after the rows take.
qint64 Writer::footerChars() const
{
    return plan.Target.size() * 8 + plan.Variable.size() * 4 + plan.Where.size() * 2 + 2048 + PlanListChars(plan) +
           table.Name.size() * 2;
}

bool Writer::data(const std::vector<TRowField> &fields)
{
    const qint64 n = rows.RecordCount();
    // Rows enough that even the shortest INSERTs pass the size: no need
    // to hold any back.
    out.BatchIfPast(n * (out.InsertHead(holder()).size() + 8));
    int lastPercent = 1;
    const bool whole = out.Write(holder(), rows, fields, table.DataBaseCollation, [&](qint64 k) {
        const int percent = RowPercent(k, n);
        if (k == 0 || percent != lastPercent || rows.Eof()) {
            lastPercent = percent;
            report(percent, rowProgressText(n, k));
        }
    });
    if (!whole)
        return false;
    // Short enough for one batch: the script every small table gets.
    out.KeepOneBatch();
    // A stop that came with the last row (or cut the rows short) still
    // means the rows may not all be here.
    return !stopRequested();
}

void Writer::footer()
{
    const QString empty;
    report(99, QStringLiteral("Формирую „подвал“»"));
    // The merge is the last batch of a batched script.
    out.EndRows();
    const bool batched = out.Shape() == rsBatched;
    const QString &source = out.Source(holder());
    // Nothing in the target changes unless every row reached the source: a
    // batch that failed or was left out would otherwise lose rows (with the
    // delete) or leave them out. One batch loses rows the same way when an
    // INSERT into the table variable fails and the batch goes on.
    const bool changesTarget = plan.HasKeys || deleteTable;
    if (changesTarget && (batched || deleteTable)) {
        out.AddRowCountGuard(holder());
        add(empty);
    }
    const TTargetStatements statements = TargetStatements(plan, source, deleteTable, rowFilter, onlyChanged);
    for (const QString &item : statements.Delete)
        add(item);
    for (const QString &item : statements.Writes)
        add(item);
    if (batched)
        add(QStringLiteral("DROP TABLE %1;").arg(holder().Temporary));
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

TTargetStatements TargetStatements(const TScriptPlan &Plan, const QString &Source, bool DeleteTable,
                                   const QString &RowFilter, bool OnlyChanged)
{
    TTargetStatements out;
    const QString empty;
    QStringList &writes = out.Writes;
    // Without keys nothing is written to the target unless its rows were
    // deleted first: then every carried row goes in unmatched.
    const bool changesTarget = Plan.HasKeys || DeleteTable;
    const bool identity = Plan.IdentityCarried && changesTarget;
    const QString columns = Plan.ColumnList.join(QStringLiteral(", "));
    const QString variableColumns = Plan.SelectList.join(QStringLiteral(", "));
    // With a row filter only the target's rows that meet it go: the rows
    // outside it were never read, so they are not the script's to replace.
    if (DeleteTable)
        out.Delete << QStringLiteral("DELETE FROM %1%2;").arg(Plan.Target, RowFilterClause(RowFilter));
    if (identity)
        writes << QStringLiteral("SET IDENTITY_INSERT %1 ON;").arg(Plan.Target);
    if (Plan.HasKeys) {
        writes << empty;
        QString updateWhere = Plan.Where;
        if (OnlyChanged && !Plan.SetList.isEmpty()) {
            const TChangedRowsCondition changed = ChangedRowsCondition(Plan);
            if (!changed.Uncompared.isEmpty()) {
                writes << QStringLiteral("--Столбцы %1 (text, ntext, image, sql_variant) нельзя сравнить точно, поэтому "
                                         "обновляются все строки, совпавшие по ключу.--")
                              .arg(CommentSafe(changed.Uncompared.join(QStringLiteral(", "))));
            } else {
                writes << QStringLiteral("--Обновляются только строки, в которых отличается хотя бы один переносимый "
                                         "столбец.--");
                updateWhere += QStringLiteral(" \r\n  AND (") + changed.Condition + u')';
            }
        }
        const QString update = QStringLiteral("UPDATE %1 \r\n  SET %2 \r\n  FROM %3 AS %4 \r\n  WHERE %5;")
                                   .arg(Plan.Target, Plan.SetList.join(QStringLiteral(", ")), Source, Plan.Alias,
                                        updateWhere);
        if (Plan.SetList.isEmpty()) {
            writes << QStringLiteral("/*");
            writes << QStringLiteral("--Выражение SET пустое, поэтому блок UPDATE закомментирован.--");
            writes << breakCommentMarks(update);
            writes << QStringLiteral("*/");
        } else {
            writes << update;
        }
        writes << empty;
        writes << QStringLiteral("INSERT INTO %1(%2) \r\n  SELECT %3 FROM %4 AS %5\r\n  WHERE NOT EXISTS(SELECT * FROM %1 WHERE %6)")
                      .arg(Plan.Target, columns, variableColumns, Source, Plan.Alias, Plan.Where);
        writes << empty;
    } else if (DeleteTable) {
        writes << empty;
        writes << QStringLiteral("INSERT INTO %1(%2) \r\n  SELECT %3 FROM %4").arg(Plan.Target, columns, variableColumns, Source);
        writes << empty;
    }
    if (identity) {
        writes << QStringLiteral("SET IDENTITY_INSERT %1 OFF;").arg(Plan.Target);
        writes << QStringLiteral("DBCC CHECKIDENT(%1, RESEED);").arg(Plan.ReseedTarget);
    }
    return out;
}

int RowFieldIndex(const TRowSet &RowSet, const QString &Name)
{
    return fieldOf(RowSet, Name);
}

qint64 Utf16Size(QByteArrayView Utf8)
{
    // Every character but a continuation byte (10xxxxxx) starts one unit; a
    // four-byte sequence (its lead is 11110xxx) takes two. Eight bytes at a
    // time: the top bit of each byte of the masks marks what it counts.
    constexpr quint64 tops = 0x8080808080808080ull;
    // How many top bits a mask has: the multiply adds the bytes' low bits
    // into the highest byte.
    const auto count = [](quint64 mask) { return qint64(((mask >> 7) * 0x0101010101010101ull) >> 56); };
    const char *p = Utf8.data();
    const char *const end = p + Utf8.size();
    qint64 units = 0;
    for (; end - p >= 8; p += 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        const quint64 continuation = w & ~(w << 1) & tops;
        const quint64 fourByteLead = w & (w << 1) & (w << 2) & (w << 3) & tops;
        units += 8 - count(continuation) + count(fourByteLead);
    }
    for (; p != end; ++p) {
        const auto b = static_cast<unsigned char>(*p);
        units += (b & 0xC0) != 0x80;
        units += b >= 0xF0;
    }
    return units;
}

QStringList RowCountGuard(const QString &Source, qint64 Rows, const QString &TableName)
{
    // RAISERROR takes only constants and variables as arguments: the count
    // found goes through a variable. It stays NULL when the count fails.
    const QString head = QStringLiteral("@Rows_");
    const QString found = head + Source.mid(1).left(128 - int(head.size()));
    QStringList guard{QStringLiteral("--Проверка: в %1 должно быть строк: %2, иначе таблица не меняется.--").arg(Source).arg(Rows),
            QStringLiteral("DECLARE %1 int;").arg(found),
            QStringLiteral("SET %1 = (SELECT COUNT(*) FROM %2);").arg(found, Source),
            QStringLiteral("IF %1 IS NULL OR %1 <> %2").arg(found).arg(Rows),
            QStringLiteral("BEGIN"),
            QStringLiteral("  RAISERROR(N'Таблица %s не изменена: скрипт переносит строк: %1, а в промежуточную таблицу "
                           "попало: %d. Не все пакеты скрипта выполнились, смотрите ошибки выше.', 16, 1, %2, %3);")
                .arg(Rows)
                .arg(QuoteNationalString(TableName), found)};
    // A temporary table outlives the batch: dropped here, the same script
    // can run again in the same session.
    if (Source.startsWith(u'#'))
        guard << QStringLiteral("  DROP TABLE %1;").arg(Source);
    guard << QStringLiteral("  RETURN;") << QStringLiteral("END");
    return guard;
}

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
    Writer writer{Table,
                  RowSet,
                  Control,
                  plan,
                  Settings && Settings->GetDeleteTable(),
                  Settings ? Settings->GetRowFilter().trimmed() : QString(),
                  Settings && Settings->GetOnlyChanged(),
                  {Sink, Control, Settings ? Settings->GetBatchRows() : BatchRowsAutomatic}};
    writer.out.Holders.push_back({Table.Name, plan.Variable, TemporaryTableName(Table.Name, Control.Now),
                                  plan.VariableList.join(QStringLiteral(", "))});
    writer.out.Declare = [&writer] { writer.declare(); };
    writer.out.FooterChars = writer.footerChars();
    try {
        QString missing;
        const std::vector<TRowField> fields = RowFields(plan, RowSet, missing);
        if (!missing.isEmpty())
            return TGenerationResult::Failed(QStringLiteral("the rows read hold no field for column %1").arg(missing));
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

void TScriptFileSink::AddUtf8Line(QByteArrayView Item)
{
    const qsizetype needed = Item.size() + 2;
    if (m_used + needed > m_buffer.size()) {
        Flush();
        if (needed > m_buffer.size())
            m_buffer.resize(needed);
    }
    char *at = m_buffer.data() + m_used;
    if (!Item.isEmpty())
        std::memcpy(at, Item.data(), size_t(Item.size()));
    at[Item.size()] = '\r';
    at[Item.size() + 1] = '\n';
    m_used += needed;
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
