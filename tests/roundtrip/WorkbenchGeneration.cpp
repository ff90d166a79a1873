#include "WorkbenchGeneration.h"

#include "MultiTableScript.h"

#include "Parser.h"
#include "RowSet.h"
#include "ScriptSpool.h"
#include "TextFile.h"

#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

TWorkbenchSession::TWorkbenchSession(const QString &DataSource, const QString &Login, const QString &Password,
                                     const QString &DataBase)
{
    m_facade.SetDriver(QStringLiteral("FreeTDS"));
    m_facade.SetLogin(Login, Password);
    const TSQLServer server(DataSource);
    m_facade.SetServer(&server);
    m_dataBases = m_facade.GetDataBases();
    if (m_dataBases)
        for (int i = 0; i < m_dataBases->Count(); ++i)
            if (m_dataBases->Items(i)->Name == DataBase)
                m_dataBase = m_dataBases->Items(i);
    if (!m_dataBase)
        throw EQuorvaneException(QStringLiteral("no database %1").arg(DataBase));
    m_facade.SwitchToDataBase(m_dataBase);
}

QStringList TWorkbenchSession::TableNames()
{
    QStringList names;
    if (const auto tables = m_facade.GetTables(m_dataBase))
        for (int i = 0; i < tables->Count(); ++i)
            names << tables->Items(i)->Name;
    return names;
}

QList<TColumnFact> TWorkbenchSession::Columns(const QString &Table)
{
    QList<TColumnFact> facts;
    const auto tables = m_facade.GetTables(m_dataBase);
    for (int i = 0; tables && i < tables->Count(); ++i) {
        TTable *table = tables->Items(i);
        if (table->Name != Table)
            continue;
        m_facade.LoadColumns(table);
        for (int k = 0; k < table->Columns.Count(); ++k) {
            const TCustomColumn *column = table->Columns.Items(k);
            facts.append({column->Name, column->IsIdentity, column->IsPrimaryKey,
                          column->ColumnType.XType == XType::Timestamp, column->IsComputed});
        }
    }
    return facts;
}

bool TWorkbenchSession::Generate(const TWorkbenchChoices &Choices, QStringList &Lines, QString &Error,
                                 const TWorkbenchOptions &Options)
{
    const auto tables = m_facade.GetTables(m_dataBase);
    TTable *table = nullptr;
    for (int i = 0; tables && i < tables->Count(); ++i)
        if (tables->Items(i)->Name == Choices.Table)
            table = tables->Items(i);
    if (!table) {
        Error = QStringLiteral("no table %1").arg(Choices.Table);
        return false;
    }
    m_facade.LoadColumns(table);
    for (int i = 0; i < table->Columns.Count(); ++i) {
        TCustomColumn *column = table->Columns.Items(i);
        column->IsUsed = Choices.Columns.isEmpty() || Choices.Columns.contains(column->Name, Qt::CaseInsensitive);
        column->IsKey = Choices.Keys.isEmpty() ? column->IsPrimaryKey && column->IsUsed
                                               : Choices.Keys.contains(column->Name, Qt::CaseInsensitive);
    }
    if (!Choices.Nickname.isEmpty())
        table->Nickname = Choices.Nickname;
    std::unique_ptr<TRowSet> rows = m_facade.OpenTableRows(table, Options.RowFilter);
    if (!rows) {
        Error = QStringLiteral("rows of %1 not opened: %2").arg(table->Name, m_facade.LastOpenError());
        return false;
    }
    auto settings = std::make_shared<TParseSettings>();
    settings->SetDeleteTable(Choices.DeleteTable);
    settings->SetRowFilter(Options.RowFilter);
    settings->SetOnlyChanged(Options.OnlyChanged);
    settings->SetBatchRows(Choices.BatchRows);

    QEventLoop loop;
    std::unique_ptr<TScript> script;
    TGenerationResult result;
    bool delivered = false;
    QPointer<TScriptCreatorParser> parser = new TScriptCreatorParser;
    parser->OnScriptCreated = [&](TScriptCreatorParser *, std::unique_ptr<TScript> Script, const TGenerationResult &Result) {
        script = std::move(Script);
        result = Result;
        delivered = true;
    };
    QObject::connect(parser.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    // The time limit only guards against a hang.
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    parser->Start(table, rows.get(), settings);
    loop.exec();
    if (parser) {
        parser->BreakOffAndFree();
        Error = QStringLiteral("the generator did not finish");
        return false;
    }
    if (!delivered || !script) {
        Error = QStringLiteral("no script: %1").arg(delivered ? result.Reason : QStringLiteral("the generator did not report"));
        return false;
    }
    if (script->Spool) {
        // A long script comes in a file: its lines cut at CR LF only, so
        // that joined with CR LF they are the text again.
        QFile file(script->Spool->Path());
        if (!file.open(QIODevice::ReadOnly)) {
            Error = QStringLiteral("the script's file cannot be read");
            return false;
        }
        Lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        if (!Lines.isEmpty() && Lines.last().isEmpty())
            Lines.removeLast();
        return true;
    }
    Lines = script->Lines;
    return true;
}

bool TWorkbenchSession::GenerateSeveral(const QStringList &Tables, bool DeleteTable, qint64 BatchRows, bool AllowCycles,
                                        QStringList &Lines, QString &Error)
{
    const auto tables = m_facade.GetTables(m_dataBase);
    auto settings = std::make_shared<TParseSettings>();
    settings->SetDeleteTable(DeleteTable);
    std::vector<TTableScriptJob> jobs;
    for (const QString &name : Tables) {
        TTable *table = nullptr;
        for (int i = 0; tables && i < tables->Count(); ++i)
            if (tables->Items(i)->Name == name)
                table = tables->Items(i);
        if (!table) {
            Error = QStringLiteral("no table %1").arg(name);
            return false;
        }
        m_facade.LoadColumns(table);
        for (int i = 0; i < table->Columns.Count(); ++i) {
            TCustomColumn *column = table->Columns.Items(i);
            column->IsUsed = true;
            column->IsKey = column->IsPrimaryKey;
        }
        jobs.push_back({table, settings, [this, table] { return m_facade.OpenTableRows(table); },
                        [this] { return m_facade.LastOpenError(); }});
    }
    TMultiTableOptions options;
    options.ForeignKeys = m_facade.GetForeignKeys();
    options.DisableConstraintsForCycles = AllowCycles;
    options.BatchRows = BatchRows;
    Lines.clear();
    TScriptLinesCollector sink(Lines);
    TScriptBuildControl control;
    control.Now = QDateTime::currentDateTime();
    const TGenerationResult result = BuildMultiTableScript(jobs, options, sink, control);
    if (!result.Complete()) {
        Lines.clear();
        Error = result.Reason;
        return false;
    }
    return true;
}

QList<QStringList> TWorkbenchSession::Query(const QString &Sql)
{
    const TScriptResult result = m_facade.ExecuteScriptText(Sql, 1000000);
    if (result.HasErrors())
        throw EQuorvaneException(result.FirstError());
    return result.Rows;
}

QString TWorkbenchSession::Execute(const QString &Sql)
{
    const TScriptResult result = m_facade.ExecuteScriptText(Sql, 100);
    return result.FirstError();
}

QByteArray ScriptFileBytes(const QStringList &Lines)
{
    return EncodeTextLines(Lines);
}

QByteArray MaskCreationTime(QByteArray Bytes)
{
    static const QRegularExpression time(QStringLiteral("Creation date and time „[^“\r\n]*“"));
    // A batched script's temporary table is named after the time too.
    static const QRegularExpression temporary(QStringLiteral("TempTable_\\d{8}_\\d{9}"));
    return QString::fromUtf8(Bytes)
        .replace(time, QStringLiteral("Creation date and time „(masked)“"))
        .replace(temporary, QStringLiteral("TempTable_(masked)"))
        .toUtf8();
}
