#include "ScriptCliRun.h"

#include "DataFacade.h"
#include "Domain.h"
#include "RowSet.h"
#include "ScriptBuilder.h"
#include "ScriptCliProgress.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstring>

namespace {

class EExit : public EQuorvaneException
{
public:
    EExit(int code, const QString &message) : EQuorvaneException(message), Code(code) {}
    int Code;
};

// "[Order Details]" names the table Order Details.
QString unbracket(const QString &name)
{
    if (name.size() >= 2 && name.startsWith(u'[') && name.endsWith(u']'))
        return name.mid(1, name.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
    return name;
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
    if (Keys.isEmpty()) {
        // As the wizard offers them: primary-key columns that are carried.
        for (int i = 0; i < Table.Columns.Count(); ++i) {
            TCustomColumn *column = Table.Columns.Items(i);
            column->IsKey = column->IsPrimaryKey && column->IsUsed;
        }
        return {};
    }
    for (const QString &name : Keys) {
        TCustomColumn *column = findColumn(Table, name);
        if (!column)
            return {secNoSuchObject, QStringLiteral("table %1 has no column %2").arg(Table.Name, name)};
        if (!column->IsUsed)
            return {secBadArguments, QStringLiteral("key column %1 is not among --columns").arg(column->Name)};
        column->IsKey = true;
    }
    return {};
}

int RunScriptCli(const TScriptCliOptions &Options, const TScriptCliEnvironment &Env)
{
    TDataAccessFacade facade;
    // The workbench's settings are not read here: the driver is FreeTDS
    // unless the environment names another.
    const QString driver = qEnvironmentVariable("QUORVANE_ODBC_DRIVER");
    facade.SetDriver(driver.isEmpty() ? QStringLiteral("FreeTDS") : driver);
    std::FILE *file = nullptr;
    bool outputStarted = false;
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
        TTable *table = tables ? findByName<TTableList, TTable>(*tables, unbracket(Options.Table)) : nullptr;
        if (!table)
            throw EExit(secNoSuchObject,
                        QStringLiteral("table %1 does not exist in database %2").arg(Options.Table, dataBase->Name));
        facade.LoadColumns(table);
        const TChoiceError choice = ApplyColumnChoices(*table, Options.Columns, Options.Keys);
        if (choice.Code != secSuccess)
            throw EExit(choice.Code, choice.Message);
        if (!Options.Nickname.isEmpty())
            table->Nickname = Options.Nickname;
        TParseSettings settings;
        settings.SetDeleteTable(Options.DeleteTable);

        std::unique_ptr<TRowSet> rows = facade.OpenTableRows(table);
        if (!rows)
            throw EExit(secFailure, QStringLiteral("cannot read the rows of %1: %2").arg(table->Name, facade.LastOpenError()));

        // The file is opened only now, so a failure above leaves an existing
        // file as it was.
        if (Options.Output.isEmpty()) {
            file = Env.Out;
        } else {
            file = std::fopen(QFile::encodeName(Options.Output).constData(), "wb");
            if (!file)
                throw EExit(secFailure, QStringLiteral("cannot create %1: %2")
                                            .arg(Options.Output, QString::fromLocal8Bit(std::strerror(errno))));
            outputStarted = true;
        }

        const TProgressDisplay::TMode mode = Env.ErrIsTerminal ? TProgressDisplay::pmBar
                                             : Options.Verbose ? TProgressDisplay::pmLines
                                                               : TProgressDisplay::pmQuiet;
        TProgressDisplay progress(mode, Env.Err);
        TCountingRowSet counted(*rows);
        if (mode != TProgressDisplay::pmQuiet)
            counted.OnRow = [&progress](qint64 n) { progress.Update(n); };
        const qint64 total = counted.RecordCount();
        progress.Start(total);

        TScriptFileSink sink(file);
        TScriptBuildControl control;
        control.Now = QDateTime::currentDateTime();
        BuildScript(*table, counted, &settings, sink, control);
        sink.Flush();
        if (std::fflush(file) != 0 || std::ferror(file))
            throw EQuorvaneException(QStringLiteral("the script could not be written"));
        progress.Finish(counted.Count());
        if (outputStarted) {
            const int closed = std::fclose(file);
            file = nullptr;
            if (closed != 0)
                throw EQuorvaneException(QStringLiteral("the script could not be written"));
        }
        if (Options.Verbose)
            writeLine(Env.Err, QStringLiteral("%1 rows, %2 bytes written").arg(counted.Count()).arg(sink.BytesWritten()));
        return secSuccess;
    } catch (const EExit &exit) {
        writeLine(Env.Err, exit.Message());
        if (outputStarted) {
            if (file)
                std::fclose(file);
            QFile::remove(Options.Output);
        }
        return exit.Code;
    } catch (const std::exception &error) {
        if (Env.ErrIsTerminal)
            std::fputc('\n', Env.Err);
        const EQuorvaneException *own = dynamic_cast<const EQuorvaneException *>(&error);
        writeLine(Env.Err, own ? own->Message() : QString::fromLocal8Bit(error.what()));
        if (outputStarted) {
            if (file)
                std::fclose(file);
            QFile::remove(Options.Output);
        }
        return secFailure;
    }
}
