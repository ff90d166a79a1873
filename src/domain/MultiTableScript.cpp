#include "MultiTableScript.h"

#include "Domain.h"
#include "RowSet.h"
#include "ScriptPlan.h"
#include "SqlNames.h"

#include <QSet>

namespace {

enum class Shape { Single, Batched, Undecided };

struct SourceField
{
    const TCarriedColumn *carried;
    int field;
};

// One table as the script handles it.
struct TableWork
{
    const TTableScriptJob *job = nullptr;
    std::unique_ptr<TScriptPlan> plan;
    QString variable;  // its table variable, unique in the script
    QString temporary; // its temporary table, unique in the script
    bool deleteTable = false;
    QString rowFilter;
    bool onlyChanged = false;
    qint64 rowsWritten = 0;
    QList<QByteArray> heldBack; // an undecided script's INSERTs' values, UTF-8
};

QString quotedNames(const QStringList &names)
{
    QStringList quoted;
    for (const QString &name : names)
        quoted << QStringLiteral("«%1»").arg(name);
    return quoted.join(QStringLiteral(", "));
}

// The lines that stop the last batch before it changes anything when
// Source does not hold the Expected rows of the table.
QStringList rowCountGuard(const QString &source, qint64 expected, const QString &table)
{
    return {QStringLiteral("--Строк таблицы „%1“ в %2: %3.--").arg(CommentSafe(table), source).arg(expected)};
}

// A name not yet in Taken (compared ignoring case): Base, else Base made
// distinct by a number (Make(k) for k = 2, 3, ...).
template <typename Make>
QString distinctName(QSet<QString> &taken, const QString &base, Make make)
{
    QString name = base;
    for (int k = 2; taken.contains(name.toCaseFolded()); ++k)
        name = make(k);
    taken.insert(name.toCaseFolded());
    return name;
}

struct MultiWriter
{
    std::vector<TableWork> &tables; // in the order of the writes
    TScriptLineSink &sink;
    const TScriptBuildControl &control;
    const TMultiTableCheck &check;
    Shape shape;
    qint64 batchRows;

    qint64 scriptChars = 0;
    qint64 batchChars = 0;
    qint64 rowsInBatch = 0;
    qint64 footerSize = -1;
    int lastPercent = -1;

    void add(const QString &item)
    {
        const qint64 size = item.size() + 2;
        scriptChars += size;
        batchChars += size;
        sink.AddLine(item);
    }
    void addUtf8(QByteArrayView item, qint64 units)
    {
        scriptChars += units + 2;
        batchChars += units + 2;
        sink.AddUtf8Line(item);
    }
    void report(int percent, const QString &text)
    {
        if (control.Progress)
            control.Progress(percent, text);
    }
    [[nodiscard]] bool stopRequested() const { return control.StopRequested && control.StopRequested(); }
    [[nodiscard]] const QString &source(const TableWork &t) const
    {
        return shape == Shape::Batched ? t.temporary : t.variable;
    }
    [[nodiscard]] QByteArray insertHead(const TableWork &t) const
    {
        return QStringLiteral("INSERT INTO %1(%2) \r\n  VALUES(")
            .arg(source(t), t.plan->VariableList.join(QStringLiteral(", ")))
            .toUtf8();
    }
    [[nodiscard]] QStringList tableNames() const
    {
        QStringList names;
        for (const TableWork &t : tables)
            names << CommentSafe(t.job->Table->Name);
        return names;
    }

    void endBatch()
    {
        add(QStringLiteral("GO"));
        add(QString());
        batchChars = 0;
        rowsInBatch = 0;
    }

    void header();
    void declare();
    void row(TableWork &t, QByteArray &line, qsizetype headSize, qint64 headUnits);
    void decideBatched();
    [[nodiscard]] qint64 footerChars() const;
    bool data(TableWork &t, int index);
    void footer();
};

void MultiWriter::header()
{
    const QString empty;
    const QString headerText = QStringLiteral("Формирую заголовок.");
    report(0, headerText);
    const TTable &first = *tables.front().job->Table;
    const QString names = quotedNames(tableNames());
    add(QStringLiteral("/*"));
    add(QStringLiteral("Created by Quorvane."));
    add(QStringLiteral("Creation date and time „%1“").arg(control.Now.toString(QStringLiteral("dd_MM_yyyy hh-mm-ss"))));
    add(first.DataBase ? QStringLiteral("Used data base „%1“").arg(CommentSafe(first.DataBase->Name)) : empty);
    add(QStringLiteral("Used tables %1").arg(names));
    for (const TableWork &t : tables)
        if (!t.rowFilter.isEmpty())
            add(QStringLiteral("Used row filter „%1“ for table „%2“")
                    .arg(CommentSafe(t.rowFilter), CommentSafe(t.job->Table->Name)));
    add(QStringLiteral("*/"));
    add(empty);
    add(QStringLiteral("--Script for tables %1 start.--").arg(names));
    add(QStringLiteral("--Сначала переносятся строки всех таблиц, затем проверяется их число, и только потом в одной "
                       "транзакции удаляются (от дочерних таблиц к родительским), обновляются и добавляются (от "
                       "родительских к дочерним) строки.--"));
    if (!check.ConstraintsSwitched.isEmpty())
        add(QStringLiteral("--Таблицы %1 ссылаются друг на друга по кругу: их ограничения отключаются на время "
                           "изменений и затем включаются с проверкой строк.--")
                .arg(CommentSafe(quotedNames(check.ConstraintsSwitched))));
    add(empty);
    for (const TableWork &t : tables) {
        const QString name = CommentSafe(t.job->Table->Name);
        if (!t.plan->LeftOut.isEmpty())
            add(QStringLiteral("--„%1“: not carried, the server takes no values for them (timestamp or computed): %2--")
                    .arg(name, CommentSafe(t.plan->LeftOut.join(QStringLiteral(", ")))));
        if (!t.plan->UnknownTypes.isEmpty())
            add(QStringLiteral("--„%1“: not carried, of a type unknown to Quorvane: %2--")
                    .arg(name, CommentSafe(t.plan->UnknownTypes.join(QStringLiteral(", ")))));
        if (!t.plan->HasKeys && !t.deleteTable)
            add(QStringLiteral("--„%1“: ключевые столбцы не выбраны и удаление строк не задано: строки таблицы "
                               "переносятся, но в самой таблице ничего не меняется.--")
                    .arg(name));
    }
    if (shape != Shape::Undecided)
        declare();
    report(1, headerText);
}

// The tables the rows go into; a batched script's first batch ends here.
void MultiWriter::declare()
{
    if (shape == Shape::Batched) {
        add(QStringLiteral("--Строки переносятся пакетами по %1 через временные таблицы.--").arg(batchRows));
        for (const TableWork &t : tables)
            add(QStringLiteral("CREATE TABLE %1 (%2);")
                    .arg(t.temporary, t.plan->TemporaryDeclarations.join(QStringLiteral(", "))));
        endBatch();
    } else {
        for (const TableWork &t : tables)
            add(QStringLiteral("DECLARE %1 TABLE (%2);").arg(t.variable, t.plan->Declarations.join(QStringLiteral(", "))));
        add(QString());
    }
}

void MultiWriter::row(TableWork &t, QByteArray &line, qsizetype headSize, qint64 headUnits)
{
    if (shape == Shape::Single) {
        sink.AddUtf8Line(line);
        sink.AddUtf8Line(QByteArrayView());
        return;
    }
    const qint64 units = headUnits + Utf16Size(QByteArrayView(line).sliced(headSize));
    if (shape == Shape::Undecided) {
        scriptChars += units + 4;
        t.heldBack.append(line.sliced(headSize));
        if (footerSize < 0)
            footerSize = footerChars();
        if (scriptChars + footerSize > control.AutomaticBatchChars)
            decideBatched();
        return;
    }
    if (rowsInBatch > 0 && (rowsInBatch >= batchRows || batchChars + units + 4 > control.BatchChars))
        endBatch();
    addUtf8(line, units);
    addUtf8(QByteArrayView(), 0);
    ++rowsInBatch;
}

// The script turned out too long for one batch: the rows held back (of
// every table read so far) go out as the first batches.
void MultiWriter::decideBatched()
{
    shape = Shape::Batched;
    batchRows = DefaultBatchRows;
    declare();
    QByteArray line;
    for (TableWork &t : tables) {
        QList<QByteArray> held;
        held.swap(t.heldBack);
        if (held.isEmpty())
            continue;
        add(QStringLiteral("--Строки таблицы „%1“.--").arg(CommentSafe(t.job->Table->Name)));
        add(QString());
        const QByteArray head = insertHead(t);
        const qint64 headUnits = Utf16Size(head);
        for (const QByteArray &values : std::as_const(held)) {
            line = head + values;
            row(t, line, head.size(), headUnits);
        }
    }
}

// An upper bound of the characters the statements after the rows take.
qint64 MultiWriter::footerChars() const
{
    qint64 total = 4096;
    for (const TableWork &t : tables) {
        const TScriptPlan &plan = *t.plan;
        total += plan.Target.size() * 12 + t.temporary.size() * 6 + plan.Where.size() * 2 + t.rowFilter.size() + 1024;
        for (const QStringList *list : {&plan.ColumnList, &plan.VariableList, &plan.SetList, &plan.Declarations})
            for (const QString &item : *list)
                total += item.size() * 2 + 4;
        if (t.onlyChanged)
            for (const QString &item : plan.SetList)
                total += item.size() * 8 + 64;
    }
    return total;
}

// Opens, reads and writes one table's rows; false when broken off.
bool MultiWriter::data(TableWork &t, int index)
{
    const TTableScriptJob &job = *t.job;
    const int count = int(tables.size());
    const QString name = job.Table->Name;
    std::unique_ptr<TRowSet> rows = job.OpenRows();
    if (!rows) {
        const QString why = job.OpenError ? job.OpenError() : QString();
        throw EQuorvaneException(why.isEmpty() ? QStringLiteral("Не удалось прочитать строки таблицы «%1».").arg(name)
                                               : QStringLiteral("Не удалось прочитать строки таблицы «%1»: %2").arg(name, why));
    }
    std::vector<SourceField> fields;
    for (const TCarriedColumn &carried : t.plan->Carried) {
        const int field = RowFieldIndex(*rows, carried.Column->Name);
        if (field < 0)
            throw EQuorvaneException(QStringLiteral("the rows read of table %1 hold no field for column %2")
                                         .arg(name, carried.Column->Name));
        fields.push_back({&carried, field});
    }
    const qint64 n = rows->RecordCount();
    if (shape == Shape::Undecided && n * 16 + scriptChars > control.AutomaticBatchChars)
        decideBatched();
    if (shape != Shape::Undecided) {
        add(QStringLiteral("--Строки таблицы „%1“.--").arg(CommentSafe(name)));
        add(QString());
    }
    QByteArray head = insertHead(t);
    qint64 headUnits = Utf16Size(head);
    QByteArray line, scratch;
    const TTable &table = *job.Table;
    for (qint64 k = 0; !rows->Eof(); ++k) {
        line.resize(0);
        line += head;
        bool first = true;
        for (const SourceField &f : fields) {
            if (!first)
                line += ", ";
            first = false;
            AppendFieldLiteral(line, *rows, f.field, *f.carried->Column, table.DataBaseCollation, scratch);
        }
        line += ");";
        const bool undecided = shape == Shape::Undecided;
        row(t, line, head.size(), headUnits);
        ++t.rowsWritten;
        if (undecided && shape == Shape::Batched) {
            head = insertHead(t);
            headUnits = Utf16Size(head);
        }
        rows->Next();
        // The table's share of 1..98: table Index of Count.
        const int percent = int(1 + (qint64(index) * 98 + RowPercent(k, n)) / count);
        if (k == 0 || percent != lastPercent || rows->Eof()) {
            lastPercent = percent;
            report(qMin(percent, 98), QStringLiteral("Таблица «%1» (%2 из %3). Всего строк: %4. Сформировано строк: %5.")
                                          .arg(name)
                                          .arg(index + 1)
                                          .arg(count)
                                          .arg(n)
                                          .arg(k + 1));
        }
        if (stopRequested())
            return false;
    }
    return !stopRequested();
}

void MultiWriter::footer()
{
    const QString empty;
    report(99, QStringLiteral("Формирую „подвал“»"));
    if (shape == Shape::Undecided) {
        // Short enough for one batch.
        shape = Shape::Single;
        declare();
        QByteArray line;
        for (TableWork &t : tables) {
            add(QStringLiteral("--Строки таблицы „%1“.--").arg(CommentSafe(t.job->Table->Name)));
            add(empty);
            const QByteArray head = insertHead(t);
            for (const QByteArray &values : std::as_const(t.heldBack)) {
                line = head + values;
                row(t, line, head.size(), 0);
            }
            t.heldBack.clear();
        }
    }
    if (shape == Shape::Batched && rowsInBatch > 0)
        endBatch();
    // Nothing changes unless every table's rows are all there.
    add(QStringLiteral("--Проверка: все строки всех таблиц перенесены.--"));
    for (const TableWork &t : tables)
        for (const QString &item : rowCountGuard(source(t), t.rowsWritten, t.job->Table->Name))
            add(item);
    add(empty);
    add(QStringLiteral("SET XACT_ABORT ON;"));
    add(QStringLiteral("BEGIN TRANSACTION;"));
    add(empty);
    QStringList switched;
    for (const TableWork &t : tables)
        for (const QString &name : check.ConstraintsSwitched)
            if (name.compare(t.job->Table->Name, Qt::CaseInsensitive) == 0)
                switched << t.plan->Target;
    for (const QString &target : std::as_const(switched))
        add(QStringLiteral("ALTER TABLE %1 NOCHECK CONSTRAINT ALL;").arg(target));
    if (!switched.isEmpty())
        add(empty);
    std::vector<TTargetStatements> statements;
    for (const TableWork &t : tables)
        statements.push_back(TargetStatements(*t.plan, source(t), t.deleteTable, t.rowFilter, t.onlyChanged));
    // Children before parents: the tables are held parents first.
    bool deletes = false;
    for (auto it = statements.rbegin(); it != statements.rend(); ++it)
        for (const QString &item : it->Delete) {
            add(item);
            deletes = true;
        }
    if (deletes)
        add(empty);
    for (std::size_t i = 0; i < tables.size(); ++i) {
        add(QStringLiteral("--Таблица „%1“.--").arg(CommentSafe(tables[i].job->Table->Name)));
        for (const QString &item : statements[i].Writes)
            add(item);
        add(empty);
    }
    for (const QString &target : std::as_const(switched))
        add(QStringLiteral("ALTER TABLE %1 WITH CHECK CHECK CONSTRAINT ALL;").arg(target));
    if (!switched.isEmpty())
        add(empty);
    add(QStringLiteral("COMMIT TRANSACTION;"));
    // The connection's default again for whatever it runs next.
    add(QStringLiteral("SET XACT_ABORT OFF;"));
    if (shape == Shape::Batched)
        for (const TableWork &t : tables)
            add(QStringLiteral("DROP TABLE %1;").arg(t.temporary));
    add(empty);
    add(QStringLiteral("--Script for tables %1 end.--").arg(quotedNames(tableNames())));
    add(empty);
    add(QStringLiteral("/*"));
    add(empty);
    add(QStringLiteral("*/"));
    add(empty);
    add(empty);
    report(100, QStringLiteral("Скрипт создан."));
}

} // namespace

TMultiTableCheck CheckMultiTableJobs(const std::vector<TTableScriptJob> &Jobs, const TMultiTableOptions &Options)
{
    TMultiTableCheck check;
    if (Jobs.empty()) {
        check.Problem = QStringLiteral("Не выбрано ни одной таблицы.");
        return check;
    }
    QStringList names;
    QSet<QString> seen;
    for (const TTableScriptJob &job : Jobs) {
        if (!job.Table) {
            check.Problem = QStringLiteral("Задание скрипта без таблицы.");
            return check;
        }
        const QString &name = job.Table->Name;
        if (seen.contains(name.toCaseFolded())) {
            check.Problem = QStringLiteral("Таблица «%1» выбрана дважды.").arg(name);
            return check;
        }
        seen.insert(name.toCaseFolded());
        if (!job.OpenRows) {
            check.Problem = QStringLiteral("Для таблицы «%1» не задан источник строк.").arg(name);
            return check;
        }
        if (const TScriptPlan plan(*job.Table); !plan.Problem.isEmpty()) {
            check.Problem = QStringLiteral("Для таблицы «%1» нельзя построить скрипт: %2").arg(name, plan.Problem);
            return check;
        }
        names << name;
    }
    check.Order = OrderTables(names, Options.ForeignKeys);
    if (check.Order.HasCycles()) {
        if (!Options.DisableConstraintsForCycles) {
            check.Problem = check.Order.CycleMessage();
            return check;
        }
        for (const QStringList &cycle : check.Order.Cycles)
            check.ConstraintsSwitched << cycle;
    }
    return check;
}

TGenerationResult BuildMultiTableScript(const std::vector<TTableScriptJob> &Jobs, const TMultiTableOptions &Options,
                                        TScriptLineSink &Sink, const TScriptBuildControl &Control)
{
    const TMultiTableCheck check = CheckMultiTableJobs(Jobs, Options);
    if (!check.Ok())
        return TGenerationResult::Failed(check.Problem);
    std::vector<TableWork> tables;
    QSet<QString> variables, temporaries;
    for (const QString &name : check.Order.Writes) {
        const TTableScriptJob *job = nullptr;
        for (const TTableScriptJob &candidate : Jobs)
            if (candidate.Table->Name == name)
                job = &candidate;
        TableWork t;
        t.job = job;
        t.plan = std::make_unique<TScriptPlan>(*job->Table);
        t.variable = distinctName(variables, t.plan->Variable, [&](int k) {
            return t.plan->Variable.left(100) + QStringLiteral("_%1").arg(k);
        });
        const QString temporary = TemporaryTableName(name, Control.Now);
        t.temporary = distinctName(temporaries, temporary, [&](int k) {
            return temporary.left(100) + QStringLiteral("_%1").arg(k);
        });
        const IParseSettings *settings = job->Settings.get();
        t.deleteTable = settings && settings->GetDeleteTable();
        t.rowFilter = settings ? settings->GetRowFilter().trimmed() : QString();
        t.onlyChanged = settings && settings->GetOnlyChanged();
        tables.push_back(std::move(t));
    }
    const qint64 batchRows = Options.BatchRows;
    const Shape shape = batchRows == 0 ? Shape::Single : batchRows > 0 ? Shape::Batched : Shape::Undecided;
    MultiWriter writer{tables, Sink, Control, check, shape, batchRows > 0 ? batchRows : DefaultBatchRows};
    try {
        writer.header();
        for (std::size_t i = 0; i < tables.size(); ++i)
            if (!writer.data(tables[i], int(i)))
                return TGenerationResult::BrokenOff();
        writer.footer();
    } catch (const std::exception &error) {
        if (writer.stopRequested())
            return TGenerationResult::BrokenOff();
        const auto *own = dynamic_cast<const EQuorvaneException *>(&error);
        return TGenerationResult::Failed(own ? own->Message() : QString::fromUtf8(error.what()));
    }
    return TGenerationResult::Completed();
}
