#include "ScriptCliRun.h"

#include "DataFacade.h"
#include "Domain.h"
#include "RowSet.h"
#include "MultiTableScript.h"
#include "ScriptBuilder.h"
#include "ScriptCliProgress.h"
#include "ScriptCliSignals.h"
#include "ScriptPlan.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class EExit : public EQuorvaneException
{
public:
    EExit(int code, const QString &message) : EQuorvaneException(message), Code(code) {}
    int Code;
};

QString unbracket(const QString &name)
{
    return UnbracketName(name);
}

// The exact name first; otherwise the one item equal ignoring case (the
// server's default collation does not tell them apart).
template <typename List, typename Item>
Item *findByName(const List &list, const QString &wanted)
{
    Item *caseless = nullptr;
    int caselessCount = 0;
    for (int i = 0; i < list.Count(); ++i) {
        Item *item = list.Items(i);
        if (item->Name == wanted)
            return item;
        if (item->Name.compare(wanted, Qt::CaseInsensitive) == 0) {
            caseless = item;
            ++caselessCount;
        }
    }
    return caselessCount == 1 ? caseless : nullptr;
}

TCustomColumn *findColumn(TTable &table, const QString &wanted)
{
    return findByName<TColumnList, TCustomColumn>(table.Columns, unbracket(wanted));
}

void writeLine(std::FILE *out, const QString &text)
{
    std::fprintf(out, "quorvane-script: %s\n", OneLine(text).toUtf8().constData());
    std::fflush(out);
}

// The script is written beside its target under a name of its own and
// renamed to the target's only when it is complete: a run that fails or is
// interrupted leaves no part of a script behind, and an existing file of
// that name stays as it was.
class TOutputFile
{
public:
    TOutputFile(const QString &target, TSignalWatcher &watcher) : m_target(target), m_signals(watcher) {}
    ~TOutputFile() { Discard(); }

    // Creates the file; false (and errno) when it cannot be made.
    bool Create()
    {
        const QFileInfo info(m_target);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString path = info.absoluteDir().filePath(
                QStringLiteral(".%1.%2.%3.part").arg(info.fileName()).arg(::getpid()).arg(attempt));
            // Known before it exists: a signal that comes meanwhile removes it.
            m_signals.SetPendingFile(path);
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                m_signals.SetPendingFile(QString());
                if (errno == EEXIST)
                    continue;
                return false;
            }
            m_path = path;
            m_file = ::fdopen(fd, "wb");
            if (!m_file) {
                ::close(fd);
                Discard();
                return false;
            }
            return true;
        }
        errno = EEXIST;
        return false;
    }
    [[nodiscard]] std::FILE *File() const { return m_file; }
    [[nodiscard]] const QString &Path() const { return m_path; }

    // Closes the file and gives it the target's name; false when either fails.
    bool Commit()
    {
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        if (!closed || std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_target).constData()) != 0)
            return false;
        m_path.clear();
        m_signals.SetPendingFile(QString());
        return true;
    }
    // Closes and removes what was written.
    void Discard()
    {
        if (m_file)
            std::fclose(m_file);
        m_file = nullptr;
        if (!m_path.isEmpty())
            QFile::remove(m_path);
        m_path.clear();
        m_signals.SetPendingFile(QString());
    }

private:
    QString m_target;
    TSignalWatcher &m_signals;
    QString m_path;
    std::FILE *m_file = nullptr;
};

// The English reason a column cannot be carried as chosen; empty when it can.
QString carryProblem(const TCustomColumn &column)
{
    if (!column.IsOfKnownType())
        return QStringLiteral("column %1 is of a type unknown to quorvane-script (xtype %2); leave it out with --columns")
            .arg(column.Name)
            .arg(column.ColumnType.XType);
    return {};
}

// The rows of one table of a script of several: the signal watcher may
// cancel them while they are read, and the progress follows them.
class TWatchedRows final : public TForwardingRowSet
{
public:
    TWatchedRows(std::unique_ptr<TRowSet> Rows, TSignalWatcher &Watcher, TProgressDisplay &Progress, qint64 &Total)
        : TForwardingRowSet(*Rows), m_rows(std::move(Rows)), m_watcher(Watcher), m_progress(Progress), m_total(Total)
    {
        m_watcher.SetRows(m_rows.get());
        m_progress.Start(m_rows->RecordCount());
    }
    ~TWatchedRows() override
    {
        m_watcher.SetRows(nullptr);
        m_progress.Finish(m_count);
    }
    TWatchedRows(const TWatchedRows &) = delete;
    TWatchedRows &operator=(const TWatchedRows &) = delete;

    void Next() override
    {
        m_rows->Next();
        ++m_count;
        ++m_total;
        m_progress.Update(m_count);
    }

private:
    std::unique_ptr<TRowSet> m_rows;
    TSignalWatcher &m_watcher;
    TProgressDisplay &m_progress;
    qint64 &m_total;
    qint64 m_count = 0;
};

} // namespace

QString OneLine(const QString &Text)
{
    QStringList parts;
    for (const QString &line : Text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            parts << trimmed;
    }
    return parts.join(QStringLiteral("; "));
}

TChoiceError ApplyColumnChoices(TTable &Table, const QStringList &Columns, const QStringList &Keys)
{
    for (int i = 0; i < Table.Columns.Count(); ++i) {
        TCustomColumn *column = Table.Columns.Items(i);
        column->IsUsed = Columns.isEmpty();
        column->IsKey = false;
    }
    for (const QString &name : Columns) {
        TCustomColumn *column = findColumn(Table, name);
        if (!column)
            return {secNoSuchObject, QStringLiteral("table %1 has no column %2").arg(Table.Name, name)};
        column->IsUsed = true;
    }
    // A column of a type the program does not know is never carried blindly.
    for (int i = 0; i < Table.Columns.Count(); ++i) {
        const TCustomColumn *column = Table.Columns.Items(i);
        if (column->IsUsed)
            if (const QString problem = carryProblem(*column); !problem.isEmpty())
                return {secBadArguments, problem};
    }
    if (Keys.isEmpty()) {
        // As the wizard offers them: primary-key columns that are carried. A
        // primary key the script cannot match on is refused, not dropped.
        for (int i = 0; i < Table.Columns.Count(); ++i) {
            TCustomColumn *column = Table.Columns.Items(i);
            if (!column->IsPrimaryKey || !column->IsUsed)
                continue;
            if (const TKeyRefusal refusal = KeyRefusal(*column); refusal != krNone)
                return {secBadArguments, QStringLiteral("the primary key cannot be used: %1; name the keys with --keys")
                                             .arg(KeyRefusalText(*column, refusal))};
            column->IsKey = true;
        }
        return {};
    }
    for (const QString &name : Keys) {
        TCustomColumn *column = findColumn(Table, name);
        if (!column)
            return {secNoSuchObject, QStringLiteral("table %1 has no column %2").arg(Table.Name, name)};
        if (!column->IsUsed)
            return {secBadArguments, QStringLiteral("key column %1 is not among --columns").arg(column->Name)};
        if (const TKeyRefusal refusal = KeyRefusal(*column); refusal != krNone)
            return {secBadArguments, KeyRefusalText(*column, refusal)};
        column->IsKey = true;
    }
    return {};
}

int RunScriptCli(const TScriptCliOptions &Options, const TScriptCliEnvironment &Env)
{
    // Before any other thread: SIGINT and SIGTERM are waited for on a thread
    // of its own from here on.
    TSignalWatcher watcher;
    TDataAccessFacade facade;
    // The workbench's settings are not read here: the driver is FreeTDS
    // unless the command line or the environment names another.
    const QString driver = Options.Driver.isEmpty() ? qEnvironmentVariable("QUORVANE_ODBC_DRIVER") : Options.Driver;
    facade.SetDriver(driver.isEmpty() ? QStringLiteral("FreeTDS") : driver);
    facade.SetSecurity(Options.Security);
    std::unique_ptr<TOutputFile> output;
    std::unique_ptr<TRowSet> rows;
    bool progressShown = false;
    // Before anything goes: the watcher must not cancel rows that are gone.
    const auto cleanUp = [&] {
        if (progressShown && Env.ErrIsTerminal)
            std::fputc('\n', Env.Err);
        watcher.SetRows(nullptr);
        rows.reset();
        output.reset();
        watcher.Done();
    };
    try {
        // Connecting: every failure here is the server's or the login's.
        std::unique_ptr<TDataBaseList> dataBases;
        try {
            facade.SetLogin(Options.Login, Env.Password);
            const TSQLServer server(Options.Server);
            facade.SetServer(&server);
            dataBases = facade.GetDataBases();
        } catch (const EQuorvaneException &error) {
            throw EExit(secConnectionFailed, error.Message());
        }
        const QString dataBaseName = unbracket(Options.DataBase);
        TDataBase *dataBase = dataBases ? findByName<TDataBaseList, TDataBase>(*dataBases, dataBaseName) : nullptr;
        if (!dataBase)
            throw EExit(secNoSuchObject, QStringLiteral("database %1 does not exist").arg(Options.DataBase));
        try {
            facade.SwitchToDataBase(dataBase);
        } catch (const EQuorvaneException &error) {
            throw EExit(secConnectionFailed, error.Message());
        }

        std::unique_ptr<TTableList> tables = facade.GetTables(dataBase);
        // The tables as named (or every user table), each found once.
        std::vector<TTable *> chosen;
        if (Options.AllTables) {
            for (int i = 0; tables && i < tables->Count(); ++i)
                if (tables->Items(i)->ObjectType == soUserTable)
                    chosen.push_back(tables->Items(i));
            if (chosen.empty())
                throw EExit(secNoSuchObject, QStringLiteral("database %1 has no user tables").arg(dataBase->Name));
        } else {
            for (const QString &name : Options.Tables) {
                TTable *table = tables ? findByName<TTableList, TTable>(*tables, unbracket(name)) : nullptr;
                if (!table)
                    throw EExit(secNoSuchObject,
                                QStringLiteral("table %1 does not exist in database %2").arg(name, dataBase->Name));
                for (const TTable *other : chosen)
                    if (other == table)
                        throw EExit(secBadArguments, QStringLiteral("table %1 is given twice (--table)").arg(name));
                chosen.push_back(table);
            }
        }
        const bool several = Options.SeveralTables();
        for (TTable *table : chosen) {
            facade.LoadColumns(table);
            TChoiceError choice = ApplyColumnChoices(*table, Options.Columns, Options.Keys);
            if (choice.Code != secSuccess) {
                if (several)
                    choice.Message = QStringLiteral("table %1: %2").arg(table->Name, choice.Message);
                throw EExit(choice.Code, choice.Message);
            }
        }
        TTable *table = chosen.front();
        if (!Options.Nickname.isEmpty())
            table->Nickname = Options.Nickname;
        auto settings = std::make_shared<TParseSettings>();
        settings->SetDeleteTable(Options.DeleteTable);
        settings->SetRowFilter(Options.RowFilter);
        settings->SetOnlyChanged(Options.OnlyChanged);
        settings->SetBatchRows(Options.BatchRows < 0 ? BatchRowsAutomatic : Options.BatchRows);
        for (TTable *each : chosen) {
            const TScriptPlan plan(*each);
            if (!plan.Problem.isEmpty())
                throw EExit(secBadArguments, several ? QStringLiteral("table %1: %2").arg(each->Name, plan.Problem)
                                                     : plan.Problem);
            if (plan.HasKeys || Options.DeleteTable)
                continue;
            // A set of tables is merged on the keys: a table without one
            // would go unchanged while its neighbours change.
            if (several)
                throw EExit(secBadArguments,
                            QStringLiteral("table %1 has no primary key to match its rows on; give --delete to replace "
                                           "its rows, or script it alone with --keys")
                                .arg(each->Name));
            writeLine(Env.Err, QStringLiteral("note: no key columns and no --delete: the script fills its table "
                                              "variable and changes nothing in %1")
                                   .arg(plan.Target));
        }

        const TProgressDisplay::TMode mode = Env.ErrIsTerminal ? TProgressDisplay::pmBar
                                             : Options.Verbose ? TProgressDisplay::pmLines
                                                               : TProgressDisplay::pmQuiet;
        TProgressDisplay progress(mode, Env.Err);
        qint64 rowCount = 0;
        std::vector<TTableScriptJob> jobs;
        TMultiTableOptions multiOptions;
        if (several) {
            multiOptions.DisableConstraintsForCycles = Options.AllowFkCycle;
            multiOptions.BatchRows = settings->GetBatchRows();
            try {
                multiOptions.ForeignKeys = facade.GetForeignKeys();
            } catch (const EQuorvaneException &error) {
                throw EExit(secFailure, QStringLiteral("cannot read the foreign keys: %1").arg(error.Message()));
            }
            for (TTable *each : chosen)
                jobs.push_back({each, settings, {}, {}});
            // Each table's rows are opened when the script comes to them;
            // each gets a bar of its own.
            for (TTableScriptJob &job : jobs) {
                const TTable *each = job.Table;
                job.OpenRows = [&, each]() -> std::unique_ptr<TRowSet> {
                    std::unique_ptr<TRowSet> opened = facade.OpenTableRows(each);
                    if (!opened)
                        return nullptr;
                    if (mode == TProgressDisplay::pmLines)
                        writeLine(Env.Err, QStringLiteral("table %1").arg(each->Name));
                    progressShown = mode == TProgressDisplay::pmBar;
                    return std::make_unique<TWatchedRows>(std::move(opened), watcher, progress, rowCount);
                };
                job.OpenError = [&facade] { return facade.LastOpenError(); };
            }
            const TMultiTableCheck check = CheckMultiTableJobs(jobs, multiOptions);
            if (check.Order.HasCycles() && !Options.AllowFkCycle)
                throw EExit(secBadArguments,
                            QStringLiteral("the tables reference each other in a ring; --allow-fk-cycle switches their "
                                           "constraints off while the script runs: %1")
                                .arg(check.Order.CycleMessage()));
            if (!check.Ok())
                throw EExit(secBadArguments, check.Problem);
        } else {
            rows = facade.OpenTableRows(table, Options.RowFilter);
            if (!rows)
                throw EExit(secFailure,
                            QStringLiteral("cannot read the rows of %1: %2").arg(table->Name, facade.LastOpenError()));
            watcher.SetRows(rows.get());
        }

        // The file is made only now, so a failure above leaves no trace.
        std::FILE *file = Env.Out;
        if (!Options.Output.isEmpty()) {
            output = std::make_unique<TOutputFile>(Options.Output, watcher);
            if (!output->Create())
                throw EExit(secFailure, QStringLiteral("cannot create a file beside %1: %2")
                                            .arg(Options.Output, QString::fromLocal8Bit(std::strerror(errno))));
            file = output->File();
        }

        TScriptFileSink sink(file);
        TScriptBuildControl control;
        control.Now = QDateTime::currentDateTime();
        control.StopRequested = [&watcher] { return watcher.StopRequested(); };
        TGenerationResult result;
        if (several) {
            result = BuildMultiTableScript(jobs, multiOptions, sink, control);
            progressShown = false;
        } else {
            TCountingRowSet counted(*rows);
            if (mode != TProgressDisplay::pmQuiet)
                counted.OnRow = [&progress](qint64 n) { progress.Update(n); };
            const qint64 total = counted.RecordCount();
            progress.Start(total);
            progressShown = mode == TProgressDisplay::pmBar;
            result = BuildScript(*table, counted, settings.get(), sink, control);
            rowCount = counted.Count();
        }
        if (result.Outcome == goBrokenOff)
            throw EExit(watcher.ExitCode(), QStringLiteral("interrupted, no script written"));
        if (result.Outcome == goFailed)
            throw EExit(secFailure, result.Reason);
        sink.Flush();
        if (std::fflush(file) != 0 || std::ferror(file))
            throw EQuorvaneException(QStringLiteral("the script could not be written"));
        if (watcher.StopRequested())
            throw EExit(watcher.ExitCode(), QStringLiteral("interrupted, no script written"));
        if (!several)
            progress.Finish(rowCount);
        progressShown = false;
        watcher.SetRows(nullptr);
        if (output && !output->Commit())
            throw EExit(secFailure, QStringLiteral("the script could not be written to %1: %2")
                                        .arg(Options.Output, QString::fromLocal8Bit(std::strerror(errno))));
        output.reset();
        watcher.Done();
        if (Options.Verbose)
            writeLine(Env.Err, QStringLiteral("%1 rows, %2 bytes written").arg(rowCount).arg(sink.BytesWritten()));
        return secSuccess;
    } catch (const EExit &exit) {
        cleanUp();
        writeLine(Env.Err, exit.Message());
        return exit.Code;
    } catch (const std::exception &error) {
        cleanUp();
        const EQuorvaneException *own = dynamic_cast<const EQuorvaneException *>(&error);
        writeLine(Env.Err, own ? own->Message() : QString::fromLocal8Bit(error.what()));
        return watcher.StopRequested() ? watcher.ExitCode() : secFailure;
    }
}
