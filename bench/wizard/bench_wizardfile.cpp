// The wizard's "Сохранить в файл…" on a million rows: the generator on its
// worker as the wizard runs it (the script kept in a temporary file past
// 8 Mi characters), then the file moved to its name. Prints the time, the
// script's size and the process's peak resident memory; then a second
// generation broken off after a second, and how long the break-off took to
// be delivered.
//
// The rows are bench_e2e's (Bench.Goods, made once by bench_e2e in the same
// build folder): run bench_e2e first.
//
//   cmake --build build/rel -j2 --target bench_e2e bench_wizardfile
//   build/rel/bin/bench_e2e --runs 1
//   QT_QPA_PLATFORM=offscreen build/rel/bin/bench_wizardfile

#include "DataFacade.h"
#include "Domain.h"
#include "Parser.h"
#include "RowSet.h"
#include "ScriptSpool.h"
#include "TableScriptRoutine.h"
#include "TestServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct TRun
{
    std::unique_ptr<TScript> script;
    TGenerationResult result;
    qint64 deliveredAtNs = 0;
};

// One generation of Goods; BreakAfterMs > 0 asks Terminate then and
// returns when the end is delivered.
TRun generate(TDataAccessFacade &facade, TTable &table, int breakAfterMs, qint64 &terminatedAtNs, QElapsedTimer &clock)
{
    TRun run;
    std::unique_ptr<TRowSet> rows = facade.OpenTableRows(&table);
    if (!rows) {
        std::fprintf(stderr, "rows not opened: %s\n", qPrintable(facade.LastOpenError()));
        std::exit(1);
    }
    QEventLoop loop;
    QPointer<TScriptCreatorParser> parser = new TScriptCreatorParser;
    parser->OnScriptCreated = [&](TScriptCreatorParser *, std::unique_ptr<TScript> script, const TGenerationResult &result) {
        run.deliveredAtNs = clock.nsecsElapsed();
        run.script = std::move(script);
        run.result = result;
    };
    QObject::connect(parser.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    if (breakAfterMs > 0)
        QTimer::singleShot(breakAfterMs, &loop, [&] {
            if (parser) {
                terminatedAtNs = clock.nsecsElapsed();
                parser->Terminate();
            }
        });
    parser->Start(std::make_unique<TTableSnapshot>(table), std::move(rows), std::make_shared<TParseSettings>());
    loop.exec();
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString data = QStringLiteral(QUORVANE_BENCH_DATA_DIR "/e2e-1000000");
    if (!QFileInfo::exists(data + QStringLiteral("/ready"))) {
        std::fprintf(stderr, "no rows in %s: run bench_e2e first\n", qPrintable(data));
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QUORVANE_TESTSERVER"))
        qputenv("QUORVANE_TESTSERVER", QUORVANE_TESTSERVER_DEFAULT);
    QTemporaryDir appData, out;
    qputenv("APPDATA", appData.path().toLocal8Bit());
    // The server works on a copy-free view of the data folder; it only reads.
    TestServer server({QStringLiteral("--data"), data + QStringLiteral("/server")});
    if (!server.start(120000)) {
        std::fprintf(stderr, "test server: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    TSQLServer entry(server.dataSource());
    TDataAccessFacade facade;
    facade.SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
    facade.SetServer(&entry);
    std::unique_ptr<TDataBaseList> dataBases = facade.GetDataBases();
    TDataBase *bench = nullptr;
    for (int i = 0; dataBases && i < dataBases->Count(); ++i)
        if (dataBases->Items(i)->Name == QStringLiteral("Bench"))
            bench = dataBases->Items(i);
    if (!bench) {
        std::fprintf(stderr, "no database Bench\n");
        return 1;
    }
    facade.SwitchToDataBase(bench);
    std::unique_ptr<TTableList> tables = facade.GetTables(bench);
    TTable *goods = nullptr;
    for (int i = 0; tables && i < tables->Count(); ++i)
        if (tables->Items(i)->Name == QStringLiteral("Goods"))
            goods = tables->Items(i);
    if (!goods) {
        std::fprintf(stderr, "no table Goods\n");
        return 1;
    }
    facade.LoadColumns(goods);
    for (int i = 0; i < goods->Columns.Count(); ++i) {
        TCustomColumn *column = goods->Columns.Items(i);
        column->IsUsed = true;
        column->IsKey = column->IsPrimaryKey;
    }
    const double before = peakMiB();

    QElapsedTimer clock;
    clock.start();
    qint64 unused = 0;
    TRun whole = generate(facade, *goods, 0, unused, clock);
    const qint64 generatedNs = clock.nsecsElapsed();
    if (!whole.result.Complete() || !whole.script) {
        std::fprintf(stderr, "no script: %s\n", qPrintable(whole.result.Reason));
        return 1;
    }
    const QString fileName = out.filePath(QStringLiteral("goods.sql"));
    SaveGeneratedScript(*whole.script, fileName);
    const qint64 savedNs = clock.nsecsElapsed();
    const qint64 bytes = QFileInfo(fileName).size();
    std::printf("rows=1000000 file placement: generation %.3f s, to the file %.3f s, script %.1f MB\n",
                double(generatedNs) / 1e9, double(savedNs - generatedNs) / 1e9, double(bytes) / 1e6);
    std::printf("peak RSS %.1f MB (%.1f MB before the generation)\n", peakMiB(), before);

    clock.restart();
    qint64 terminatedAt = 0;
    const TRun broken = generate(facade, *goods, 1000, terminatedAt, clock);
    const double cancelMs = double(broken.deliveredAtNs - terminatedAt) / 1e6;
    std::printf("break-off after 1 s: %s, delivered %.1f ms after Terminate\n",
                broken.result.Outcome == goBrokenOff ? "broken off" : "NOT broken off", cancelMs);
    std::printf("goal: peak RSS under 200 MB and break-off within 100 ms: %s\n",
                peakMiB() < 200 && cancelMs <= 100 && broken.result.Outcome == goBrokenOff ? "met" : "NOT met");
    return 0;
}
