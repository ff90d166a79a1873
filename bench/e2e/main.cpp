// quorvane-script end to end: a table of one million rows served by the test
// server, written to a file by quorvane-script, against `sqlite3 FILE .dump`
// of the same rows. Each run is a child process; its peak RSS and CPU time
// come from GNU time (or wait4 when it is missing). The server's CPU time is
// read when it ends.
//
//   bench_e2e [--rows N] [--runs N]
//
// The rows (the generator benchmark's shape: int identity, varchar(50),
// nvarchar(100) with Cyrillic, money, datetime with milliseconds,
// decimal(18,4), bit, float; about 5% NULLs) are written once, straight
// into the test server's storage, and kept in the build folder.

#include "Exec.h"
#include "Storage.h"
#include "Types.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using namespace qts;

struct SplitMix
{
    std::uint64_t state;
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % std::uint64_t(n)); }
    bool null() { return below(100) < 5; }
};

class ThrowingSink : public ResultSink
{
public:
    void beginResult(const std::vector<ColumnInfo> &) override {}
    bool row(const std::vector<Value> &) override { return true; }
    void statementEnd(const StatementEnd &) override {}
    void message(const Message &m) override
    {
        if (m.severity > 10)
            throw std::runtime_error(m.text);
    }
    void databaseChanged(const std::string &, const std::string &) override {}
};

void sqliteExec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", error);
        std::exit(2);
    }
}

// One row, as both stores take it.
struct BenchRow
{
    Row server{8};
    bool codeNull, titleNull, priceNull, createdNull, amountNull, activeNull, ratioNull;
    std::string code, title, created;
    std::int64_t price = 0, amount = 0;
    int active = 0;
    double ratio = 0;
};

void makeRow(SplitMix &rng, std::int64_t id, BenchRow &r)
{
    static const std::u32string cyrillic = U"абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЭЮЯ '";
    static const char latin[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-'";
    for (Value &v : r.server)
        v = Value{};
    r.server[0].kind = Value::Kind::Int;
    r.server[0].i = id;
    if (!(r.codeNull = rng.null())) {
        r.code.clear();
        for (int i = 0, n = 8 + rng.below(40); i < n; ++i)
            r.code += latin[rng.below(65)];
        r.server[1].kind = Value::Kind::Text;
        r.server[1].bytes = r.code;
    }
    if (!(r.titleNull = rng.null())) {
        r.title.clear();
        for (int i = 0, n = 10 + rng.below(80); i < n; ++i)
            r.title += utf8Encode(cyrillic[std::size_t(rng.below(int(cyrillic.size())))]);
        r.server[2].kind = Value::Kind::Text;
        r.server[2].bytes = r.title;
    }
    if (!(r.priceNull = rng.null())) {
        r.price = std::int64_t(rng.next() % 100000000000ULL) - 20000000000LL;
        r.server[3].kind = Value::Kind::Decimal;
        r.server[3].unscaled = r.price;
        r.server[3].scale = 4;
    }
    if (!(r.createdNull = rng.null())) {
        const int y = 1990 + rng.below(40), mo = 1 + rng.below(12), d = 1 + rng.below(28);
        const int h = rng.below(24), mi = rng.below(60), s = rng.below(60);
        const int ms = rng.below(4) == 0 ? 0 : rng.below(1000);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
        r.created = text;
        r.server[4].kind = Value::Kind::DateTime;
        r.server[4].days = daysFromCivil(y, mo, d);
        r.server[4].ticks = std::uint32_t((h * 3600 + mi * 60 + s) * 300 + (ms * 3 + 5) / 10);
    }
    if (!(r.amountNull = rng.null())) {
        r.amount = std::int64_t(rng.next() % 1000000000000000000ULL) - 500000000000000000LL;
        r.server[5].kind = Value::Kind::Decimal;
        r.server[5].unscaled = r.amount;
        r.server[5].scale = 4;
    }
    if (!(r.activeNull = rng.null())) {
        r.active = rng.below(2);
        r.server[6].kind = Value::Kind::Int;
        r.server[6].i = r.active;
    }
    if (!(r.ratioNull = rng.null())) {
        r.ratio = double(rng.next() >> 11) / double(1ULL << 53) * 1e6 - 5e5;
        r.server[7].kind = Value::Kind::Float;
        r.server[7].f = r.ratio;
    }
}

void createData(const QString &dir, std::int64_t rows)
{
    std::printf("creating %s (%lld rows, once)\n", qPrintable(dir), static_cast<long long>(rows));
    std::fflush(stdout);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir + QStringLiteral("/server"));

    EngineImpl engine((dir + QStringLiteral("/server")).toStdString(), false, defaultServerVersion());
    auto db = engine.createDatabase("Bench", qts::kServerCollation);
    {
        auto session = engine.openSession("sa", "Bench");
        ThrowingSink sink;
        engine.executeBatch(*session,
                            "CREATE TABLE Goods (Id int IDENTITY(1,1) PRIMARY KEY, Code varchar(50) NULL, "
                            "Title nvarchar(100) NULL, Price money NULL, Created datetime NULL, "
                            "Amount decimal(18,4) NULL, Active bit NULL, Ratio float NULL)",
                            sink);
    }
    auto goods = db->findTable("Goods");
    Sql server(db->path);
    server.exec("PRAGMA synchronous=OFF");
    server.exec("BEGIN IMMEDIATE");
    Stmt insert(server, "INSERT INTO " + goods->sqlName() + "(c1, c2, c3, c4, c5, c6, c7, c8, k) VALUES(?,?,?,?,?,?,?,?,?)");

    sqlite3 *plain = nullptr;
    sqlite3_open((dir + QStringLiteral("/goods.sqlite")).toUtf8().constData(), &plain);
    sqliteExec(plain, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
    sqliteExec(plain, "CREATE TABLE Goods(Id INTEGER PRIMARY KEY, Code TEXT, Title TEXT, Price INTEGER, Created TEXT,"
                      " Amount INTEGER, Active INTEGER, Ratio REAL)");
    sqliteExec(plain, "BEGIN");
    sqlite3_stmt *plainInsert = nullptr;
    sqlite3_prepare_v2(plain, "INSERT INTO Goods VALUES(?,?,?,?,?,?,?,?)", -1, &plainInsert, nullptr);

    SplitMix rng{20040305};
    BenchRow r;
    std::string key;
    for (std::int64_t id = 1; id <= rows; ++id) {
        makeRow(rng, id, r);
        for (int c = 0; c < 8; ++c)
            bindValue(insert.get(), c + 1, r.server[std::size_t(c)], goods->columns[std::size_t(c)].type);
        key.clear();
        appendKey(key, TypedValue{r.server[0], goods->columns[0].type});
        sqlite3_bind_blob(insert.get(), 9, key.data(), int(key.size()), SQLITE_TRANSIENT);
        insert.step();
        insert.reset();

        sqlite3_bind_int64(plainInsert, 1, id);
        const auto text = [&](int index, bool null, const std::string &value) {
            if (null)
                sqlite3_bind_null(plainInsert, index);
            else
                sqlite3_bind_text(plainInsert, index, value.data(), int(value.size()), SQLITE_TRANSIENT);
        };
        const auto integer = [&](int index, bool null, std::int64_t value) {
            if (null)
                sqlite3_bind_null(plainInsert, index);
            else
                sqlite3_bind_int64(plainInsert, index, value);
        };
        text(2, r.codeNull, r.code);
        text(3, r.titleNull, r.title);
        integer(4, r.priceNull, r.price);
        text(5, r.createdNull, r.created);
        integer(6, r.amountNull, r.amount);
        integer(7, r.activeNull, r.active);
        if (r.ratioNull)
            sqlite3_bind_null(plainInsert, 8);
        else
            sqlite3_bind_double(plainInsert, 8, r.ratio);
        if (sqlite3_step(plainInsert) != SQLITE_DONE) {
            std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(plain));
            std::exit(2);
        }
        sqlite3_reset(plainInsert);
    }
    Stmt ident(server, "UPDATE qts_tables SET ident_current=?, ident_used=1 WHERE id=?");
    sqlite3_bind_int64(ident.get(), 1, rows);
    sqlite3_bind_int(ident.get(), 2, goods->id);
    ident.step();
    server.exec("COMMIT");
    sqlite3_finalize(plainInsert);
    sqliteExec(plain, "COMMIT");
    sqlite3_close(plain);
    QFile marker(dir + QStringLiteral("/ready"));
    marker.open(QIODevice::WriteOnly);
}

struct RunResult
{
    double seconds = 0;
    double cpuSeconds = 0;
    long maxRssKb = 0;
};

double cpuOf(const rusage &u)
{
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char *const timeProgram = "/usr/bin/time";

// Runs args with stdout to outFile (or /dev/null) and stderr to /dev/null.
// A child started from this process inherits its peak RSS as a floor (the
// kernel keeps the larger of the old and the new image's peak across exec),
// so when GNU time is there it starts the command and reports its figures.
RunResult spawnAndWait(const std::vector<std::string> &command, const char *outFile)
{
    const bool viaTime = access(timeProgram, X_OK) == 0;
    const std::string report = std::string(QUORVANE_BENCH_DATA_DIR) + "/time-report.txt";
    std::vector<std::string> args;
    if (viaTime)
        args = {timeProgram, "-f", "%M %U %S", "-o", report};
    args.insert(args.end(), command.begin(), command.end());
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile ? outFile : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(2);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    RunResult result{double(timer.nsecsElapsed()) / 1e9, cpuOf(usage), usage.ru_maxrss};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", command[0].c_str(), status);
        std::exit(2);
    }
    if (viaTime) {
        double user = 0, system = 0;
        if (FILE *f = std::fopen(report.c_str(), "r")) {
            if (std::fscanf(f, "%ld %lf %lf", &result.maxRssKb, &user, &system) == 3)
                result.cpuSeconds = user + system;
            std::fclose(f);
        }
    }
    return result;
}

// Starts the test server on a free port; returns its pid and port.
pid_t startServer(const std::string &dataDir, int &port)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::exit(2);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<std::string> args{QUORVANE_TESTSERVER_BIN, "--port", "0", "--data", dataDir, "--login", "sa:secret"};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start the test server\n");
        std::exit(2);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string text;
    char c;
    port = 0;
    while (read(fds[0], &c, 1) == 1) {
        if (c != '\n') {
            text += c;
            continue;
        }
        if (std::sscanf(text.c_str(), "listening on 127.0.0.1:%d", &port) == 1)
            break;
        text.clear();
    }
    close(fds[0]);
    if (port == 0) {
        std::fprintf(stderr, "the test server did not start\n");
        std::exit(2);
    }
    return pid;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    std::int64_t rows = 1000000;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0)
            rows = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    const QString dir = QStringLiteral(QUORVANE_BENCH_DATA_DIR "/e2e-%1").arg(rows);
    if (!QFileInfo::exists(dir + QStringLiteral("/ready")))
        createData(dir, rows);
    const std::string base = dir.toStdString();
    const std::string scriptFile = base + "/script.sql", dumpFile = base + "/dump.sql";

    int port = 0;
    const pid_t server = startServer(base + "/server", port);
    setenv("QUORVANE_PASSWORD", "secret", 1);
    const std::vector<std::string> script{QUORVANE_SCRIPT_BIN, "--server", "127.0.0.1," + std::to_string(port),
                                          "--login", "sa", "--database", "Bench", "--table", "Goods",
                                          "--output", scriptFile};
    const std::vector<std::string> dump{"sqlite3", base + "/goods.sqlite", ".dump"};

    std::vector<double> scriptSeconds, scriptCpu, dumpSeconds;
    long scriptRss = 0, dumpRss = 0;
    for (int i = 0; i < runs; ++i) {
        const RunResult s = spawnAndWait(script, nullptr);
        scriptSeconds.push_back(s.seconds);
        scriptCpu.push_back(s.cpuSeconds);
        scriptRss = std::max(scriptRss, s.maxRssKb);
        const RunResult d = spawnAndWait(dump, dumpFile.c_str());
        dumpSeconds.push_back(d.seconds);
        dumpRss = std::max(dumpRss, d.maxRssKb);
    }
    kill(server, SIGTERM);
    int status = 0;
    rusage serverUsage{};
    wait4(server, &status, 0, &serverUsage);

    const qint64 scriptBytes = QFileInfo(QString::fromStdString(scriptFile)).size();
    const qint64 dumpBytes = QFileInfo(QString::fromStdString(dumpFile)).size();
    const auto line = [rows](const char *name, double seconds, qint64 bytes, long rssKb) {
        std::printf("%-16s median %.3f s  %.0f rows/s  %.1f MB/s  output %.1f MB  peak RSS %.1f MB\n", name, seconds,
                    double(rows) / seconds, double(bytes) / 1e6 / seconds, double(bytes) / 1e6, double(rssKb) / 1024.0);
    };
    std::printf("rows=%lld runs=%d\n", static_cast<long long>(rows), runs);
    line("quorvane-script", median(scriptSeconds), scriptBytes, scriptRss);
    line("sqlite3 .dump", median(dumpSeconds), dumpBytes, dumpRss);
    std::printf("quorvane-script CPU median %.3f s; test server CPU %.3f s over %d runs (%.3f s a run)\n",
                median(scriptCpu), cpuOf(serverUsage), runs, cpuOf(serverUsage) / runs);
    const double ratio = median(scriptSeconds) / median(dumpSeconds);
    std::printf("goal: at most 1.5 x sqlite3 .dump and under 150 MB: %s\n",
                ratio <= 1.5 && scriptRss < 150 * 1024 ? "met" : "NOT met");
    // quorvane-script's time over sqlite3's, both measured in this run.
    std::printf("ratio_e2e_vs_sqlite3_dump=%.2f\n", ratio);
    return 0;
}
