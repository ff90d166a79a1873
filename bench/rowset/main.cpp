// Times TDataAccessFacade::OpenTableRows and a full pass over the rows,
// reading every field as text (what the data script generator does), from
// quorvane-testserver through unixODBC and FreeTDS.
//
//   bench_rowset [--rows N] [--server PATH]
//
// Starts its own server on a free loopback port with a temporary data
// folder, fills a 7-column table (1,000 rows by INSERT, then INSERT ...
// SELECT doubling) and prints rows/s. Build it Release for figures that
// mean anything.

#include "DataFacade.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "bench_rowset: %s\n", qPrintable(what));
    std::exit(1);
}

void run(TDataAccessFacade &facade, const QString &sql)
{
    TScript script;
    script.Lines = sql.split(QLatin1Char('\n'));
    const TScriptResult result = facade.MakeScriptCommand(&script)->Execute(0);
    if (result.HasErrors())
        fail(result.FirstError());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qint64 rows = 200000;
    QString serverPath = QStringLiteral(QUORVANE_TESTSERVER_PATH);
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--rows"))
            rows = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--server"))
            serverPath = args[i + 1];
        else
            fail(QStringLiteral("usage: bench_rowset [--rows N] [--server PATH]"));
    }

    QTemporaryDir data;
    QProcess server;
    server.start(serverPath, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--data"), data.path(),
                              QStringLiteral("--login"), QStringLiteral("sa:secret")});
    if (!server.waitForStarted(30000))
        fail(QStringLiteral("cannot start %1").arg(serverPath));
    int port = 0;
    static const QRegularExpression listening(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)"));
    while (port == 0 && server.waitForReadyRead(30000))
        while (server.canReadLine())
            if (const auto m = listening.match(QString::fromUtf8(server.readLine())); m.hasMatch())
                port = m.captured(1).toInt();
    if (port == 0)
        fail(QStringLiteral("the server did not report its port"));

    TDataAccessFacade facade;
    facade.SetDriver(QStringLiteral("FreeTDS"));
    facade.SetLogin(QStringLiteral("sa"), QStringLiteral("secret"));
    const TSQLServer target(QStringLiteral("127.0.0.1,%1").arg(port));
    facade.SetServer(&target);
    run(facade, QStringLiteral("CREATE DATABASE bench"));
    facade.UseDataBase(QStringLiteral("bench"));

    QElapsedTimer fillTimer;
    fillTimer.start();
    run(facade, QStringLiteral("CREATE TABLE BenchRows (id int NOT NULL, name nvarchar(40) NULL, price decimal(18,4) NULL, "
                               "made datetime NULL, ratio float NULL, flag bit NULL, note varchar(60) NULL)"));
    QStringList inserts;
    for (int i = 0; i < 1000; ++i)
        inserts << QStringLiteral("INSERT INTO BenchRows (id, name, price, made, ratio, flag, note) VALUES "
                                  "(%1, N'Товар %1', %1.2500, CONVERT(DATETIME, '19.06.1992 22:22:17.997',105), %1.5, %2, "
                                  "'note for row %1')")
                       .arg(i)
                       .arg(i % 2);
    run(facade, inserts.join(QLatin1Char('\n')));
    for (qint64 have = 1000; have < rows; have *= 2)
        run(facade, QStringLiteral("INSERT INTO BenchRows (id, name, price, made, ratio, flag, note) "
                                   "SELECT id + %1, name, price, made, ratio, flag, note FROM BenchRows").arg(have));
    const double fillSeconds = fillTimer.elapsed() / 1000.0;

    TTable table(QStringLiteral("BenchRows"), soUserTable, 0);
    QElapsedTimer timer;
    timer.start();
    auto rowSet = facade.OpenTableRows(&table);
    if (!rowSet)
        fail(facade.LastOpenError());
    const qint64 count = rowSet->RecordCount();
    const double openSeconds = timer.elapsed() / 1000.0;
    const std::clock_t cpuStart = std::clock();
    qint64 seen = 0, characters = 0;
    for (; !rowSet->Eof(); rowSet->Next(), ++seen)
        for (int i = 0; i < rowSet->FieldCount(); ++i)
            if (!rowSet->IsNull(i))
                characters += rowSet->AsString(i).size();
    const double seconds = timer.elapsed() / 1000.0;
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (seen != count)
        fail(QStringLiteral("counted %1 rows, read %2").arg(count).arg(seen));
    std::printf("filled %lld rows in %.2f s\n", static_cast<long long>(count), fillSeconds);
    std::printf("open (count + select): %.3f s\n", openSeconds);
    std::printf("read %lld rows x 7 fields as text in %.2f s: %.0f rows/s (%.1f M characters)\n",
                static_cast<long long>(seen), seconds, seen / seconds, characters / 1e6);
    std::printf("client CPU while reading: %.2f s (the rest is the server and the wire)\n", cpuSeconds);
    rowSet.reset();
    server.terminate();
    server.waitForFinished(10000);
    return 0;
}
