// Generates the demo database's Sales table (100,000 rows) the way the
// wizard does (a fresh controller, the generator on its worker thread,
// progress and completion on the GUI thread), then places the script in a
// new tab: the documents list and a QScintilla editor showing it.
// Prints wall time per phase and the process's peak resident memory.
//
//   cmake -S . -B build/rel -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/rel -j2 --target quorvane-testserver bench_wizardgeneration
//   QT_QPA_PLATFORM=offscreen build/rel/bin/bench_wizardgeneration

#include "Controller.h"
#include "DataFacade.h"
#include "Domain.h"
#include "Model.h"
#include "ScriptManager.h"
#include "TestServer.h"

#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QUORVANE_TESTSERVER"))
        qputenv("QUORVANE_TESTSERVER", QUORVANE_TESTSERVER_DEFAULT);
    QApplication app(argc, argv);
    QTemporaryDir appData;
    qputenv("APPDATA", appData.path().toLocal8Bit());

    TestServer server({QStringLiteral("--demo")});
    if (!server.start(120000)) {
        std::fprintf(stderr, "test server: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    TSQLServer entry(server.dataSource());
    TDataAccessFacade *facade = DataAccessFacade();
    facade->SetLogin(QString::fromLatin1(TestServer::login), QString::fromLatin1(TestServer::password));
    facade->SetServer(&entry);
    ScriptCreatorModel()->SetDataBases(facade->GetDataBases());
    TDataBaseList *dataBases = ScriptCreatorModel()->DataBases();
    for (int i = 0; i < dataBases->Count(); ++i)
        if (dataBases->Items(i)->Name == QStringLiteral("Shop"))
            dataBases->SetItemIndex(i);
    facade->SwitchToDataBase(dataBases->CurrentDataBase());
    ScriptCreatorModel()->SetTables(facade->GetTables(dataBases->CurrentDataBase()));
    TTable *sales = nullptr;
    for (int i = 0; i < ScriptCreatorModel()->Tables()->Count(); ++i)
        if (ScriptCreatorModel()->Tables()->Items(i)->Name == QStringLiteral("Sales"))
            sales = ScriptCreatorModel()->Tables()->Items(i);
    if (!sales) {
        std::fprintf(stderr, "no table Sales in the demo database\n");
        return 1;
    }
    const double baseline = peakMiB();

    auto controller = std::make_shared<TScriptCreationController>();
    controller->LoadColumns(sales);
    for (int i = 0; i < sales->Columns.Count(); ++i) {
        TCustomColumn *column = sales->Columns.Items(i);
        column->IsUsed = true;
        column->IsKey = column->IsPrimaryKey;
    }

    std::unique_ptr<TScript> script;
    int reports = 0;
    QEventLoop loop;
    controller->SetOnProgress([&](IWizzardController *, int, const QString &) { ++reports; });
    QString failure;
    controller->SetOnScriptCreated([&](IWizzardController *, std::unique_ptr<TScript> s, const TGenerationResult &result) {
        script = std::move(s);
        failure = result.Reason;
        loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    controller->CreateScript(sales, std::make_shared<TParseSettings>());
    loop.exec();
    const qint64 generationMs = timer.elapsed();
    if (!script) {
        std::fprintf(stderr, "no script: %s\n", qPrintable(failure));
        return 1;
    }
    const qsizetype items = script->Lines.size();
    const double afterGeneration = peakMiB();

    // Into a new tab: the documents list, then the editor shows the text.
    QsciScintilla editor;
    QsciLexerSQL lexer;
    editor.setLexer(&lexer);
    editor.setMarginLineNumbers(0, true);
    editor.resize(1000, 700);
    editor.show();
    timer.restart();
    ScriptManager()->AddScriptFromText(script->Lines.join(QStringLiteral("\r\n")));
    script.reset();
    const qint64 documentMs = timer.elapsed();
    timer.restart();
    editor.setText(ScriptManager()->Current()->Lines.join(QStringLiteral("\r\n")));
    app.processEvents();
    const qint64 editorMs = timer.elapsed();

    std::printf("table Sales: %lld rows\n", 100000LL);
    std::printf("script items: %lld, progress reports passed on: %d\n", static_cast<long long>(items), reports);
    std::printf("generation (worker, rows read over TDS): %lld ms\n", static_cast<long long>(generationMs));
    std::printf("new tab, documents list: %lld ms\n", static_cast<long long>(documentMs));
    std::printf("new tab, editor text and first paint: %lld ms (%d lines)\n", static_cast<long long>(editorMs),
                editor.lines());
    std::printf("peak resident memory: %.1f MiB before, %.1f MiB after generation, %.1f MiB at the end\n",
                baseline, afterGeneration, peakMiB());

    controller.reset();
    ScriptManager()->Clear();
    DestroyScriptCreatorModel();
    DestroyDataAccessFacade();
    return 0;
}
