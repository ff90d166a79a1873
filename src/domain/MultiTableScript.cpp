#include "MultiTableScript.h"

#include "Domain.h"
#include "RowSet.h"
#include "ScriptPlan.h"
#include "ScriptRows.h"
#include "SqlNames.h"

#include <QSet>

namespace {

// One table as the script handles it.
struct TableWork
{
    const TTableScriptJob *job = nullptr;
    std::unique_ptr<TScriptPlan> plan;
    bool deleteTable = false;
    QString rowFilter;
    bool onlyChanged = false;
};

QString quotedNames(const QStringList &names)
{
    QStringList quoted;
    for (const QString &name : names)
        quoted << QStringLiteral("«%1»").arg(name);
    return quoted.join(QStringLiteral(", "));
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
    const TScriptBuildControl &control;
    const TMultiTableCheck &check;
    // The rows and the sizes of the script; its holders go with the tables
    // (their table variables and temporary tables unique in the script).
    TScriptRows out;

    int lastPercent = -1;

    void add(const QString &item) { out.Add(item); }
    void report(int percent, const QString &text)
    {
        if (control.Progress)
            control.Progress(percent, text);
    }
    [[nodiscard]] bool stopRequested() const { return out.StopRequested(); }
    [[nodiscard]] const QString &source(std::size_t i) const { return out.Source(out.Holders[i]); }
    [[nodiscard]] QStringList tableNames() const
    {
        QStringList names;
        for (const TableWork &t : tables)
            names << CommentSafe(t.job->Table->Name);
        return names;
    }

    void header();
    void declare();
    void openRows(const TRowHolder &holder);
    [[nodiscard]] qint64 footerChars() const;
    bool data(std::size_t index);
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
    // From here on an error ends the batch (and rolls the changes back): a
    // row that fails to go into its table variable stops the script before
    // anything changes.
    add(QStringLiteral("SET XACT_ABORT ON;"));
    add(empty);
    if (out.Shape() != rsUndecided)
        declare();
    report(1, headerText);
}

// The tables the rows go into; a batched script's first batch ends here.
void MultiWriter::declare()
{
    if (out.Shape() == rsBatched) {
        add(QStringLiteral("--Строки переносятся пакетами по %1 через временные таблицы.--").arg(out.BatchRows()));
        for (std::size_t i = 0; i < tables.size(); ++i)
            add(QStringLiteral("CREATE TABLE %1 (%2);")
                    .arg(out.Holders[i].Temporary, tables[i].plan->TemporaryDeclarations.join(QStringLiteral(", "))));
        out.EndBatch();
    } else {
        for (std::size_t i = 0; i < tables.size(); ++i)
            add(QStringLiteral("DECLARE %1 TABLE (%2);")
                    .arg(out.Holders[i].Variable, tables[i].plan->Declarations.join(QStringLiteral(", "))));
        add(QString());
    }
}

void MultiWriter::openRows(const TRowHolder &holder)
{
    add(QStringLiteral("--Строки таблицы „%1“.--").arg(CommentSafe(holder.Table)));
    add(QString());
}

// An upper bound of the characters the statements after the rows take.
qint64 MultiWriter::footerChars() const
{
    qint64 total = 4096;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const TableWork &t = tables[i];
        const TScriptPlan &plan = *t.plan;
        total += plan.Target.size() * 12 + out.Holders[i].Temporary.size() * 6 + plan.Where.size() * 2 +
                 t.rowFilter.size() + 1024 + PlanListChars(plan);
        if (t.onlyChanged)
            for (const QString &item : plan.SetList)
                total += item.size() * 8 + 64;
    }
    return total;
}

// Opens, reads and writes one table's rows; false when broken off.
bool MultiWriter::data(std::size_t index)
{
    const TTableScriptJob &job = *tables[index].job;
    TRowHolder &holder = out.Holders[index];
    const int count = int(tables.size());
    const QString name = job.Table->Name;
    std::unique_ptr<TRowSet> rows = job.OpenRows();
    if (!rows) {
        const QString why = job.OpenError ? job.OpenError() : QString();
        throw EQuorvaneException(why.isEmpty() ? QStringLiteral("Не удалось прочитать строки таблицы «%1».").arg(name)
                                               : QStringLiteral("Не удалось прочитать строки таблицы «%1»: %2").arg(name, why));
    }
    QString missing;
    const std::vector<TRowField> fields = RowFields(*tables[index].plan, *rows, missing);
    if (!missing.isEmpty())
        throw EQuorvaneException(
            QStringLiteral("the rows read of table %1 hold no field for column %2").arg(name, missing));
    const qint64 n = rows->RecordCount();
    out.BatchIfPast(n * 16);
    const bool whole = out.Write(holder, *rows, fields, job.Table->DataBaseCollation, [&](qint64 k) {
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
    });
    return whole && !stopRequested();
}

void MultiWriter::footer()
{
    const QString empty;
    report(99, QStringLiteral("Формирую „подвал“»"));
    // Short enough for one batch.
    out.KeepOneBatch();
    out.EndRows();
    // Nothing changes unless every table's rows are all there.
    add(QStringLiteral("--Проверка: все строки всех таблиц перенесены.--"));
    for (const TRowHolder &holder : out.Holders)
        out.AddRowCountGuard(holder);
    add(empty);
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
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const TableWork &t = tables[i];
        statements.push_back(TargetStatements(*t.plan, source(i), t.deleteTable, t.rowFilter, t.onlyChanged));
    }
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
    if (out.Shape() == rsBatched)
        for (const TRowHolder &holder : out.Holders)
            add(QStringLiteral("DROP TABLE %1;").arg(holder.Temporary));
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
    MultiWriter writer{tables, Control, check, {Sink, Control, Options.BatchRows}};
    QSet<QString> variables, temporaries;
    for (const QString &name : check.Order.Writes) {
        const TTableScriptJob *job = nullptr;
        for (const TTableScriptJob &candidate : Jobs)
            if (candidate.Table->Name == name)
                job = &candidate;
        TableWork t;
        t.job = job;
        t.plan = std::make_unique<TScriptPlan>(*job->Table);
        TRowHolder holder;
        holder.Table = name;
        holder.Variable = distinctName(variables, t.plan->Variable, [&](int k) {
            return t.plan->Variable.left(100) + QStringLiteral("_%1").arg(k);
        });
        const QString temporary = TemporaryTableName(name, Control.Now);
        holder.Temporary = distinctName(temporaries, temporary, [&](int k) {
            return temporary.left(100) + QStringLiteral("_%1").arg(k);
        });
        holder.Columns = t.plan->VariableList.join(QStringLiteral(", "));
        const IParseSettings *settings = job->Settings.get();
        t.deleteTable = settings && settings->GetDeleteTable();
        t.rowFilter = settings ? settings->GetRowFilter().trimmed() : QString();
        t.onlyChanged = settings && settings->GetOnlyChanged();
        tables.push_back(std::move(t));
        writer.out.Holders.push_back(std::move(holder));
    }
    writer.out.Declare = [&writer] { writer.declare(); };
    writer.out.OpenRows = [&writer](const TRowHolder &holder) { writer.openRows(holder); };
    writer.out.FooterChars = writer.footerChars();
    try {
        writer.header();
        for (std::size_t i = 0; i < tables.size(); ++i)
            if (!writer.data(i))
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
