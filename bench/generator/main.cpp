// Times the data script generator against `sqlite3 FILE .dump` on the same
// million rows, both writing to /dev/null. Each run is a child process, so
// its peak RSS is its own (wait4's ru_maxrss).
//
//   bench_generator [--rows N] [--runs N]
//
// The last line is ratio_vs_sqlite3_dump=<our rows/s / sqlite3's rows/s>.

#include "Domain.h"
#include "LocaleFormat.h"
#include "ScriptBuilder.h"
#include "ReadAheadRowSet.h"
#include "SqliteRowSet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
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

const char *const createSql =
    "CREATE TABLE Goods(Id INTEGER PRIMARY KEY, Code TEXT, Title TEXT, Price INTEGER, Created TEXT,"
    " Amount INTEGER, Active INTEGER, Ratio REAL)";
const char *const selectSql = "SELECT Id, Code, Title, Price, Created, Amount, Active, Ratio FROM Goods";

struct SplitMix
{
    quint64 state;
    quint64 next()
    {
        quint64 z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }
    bool null() { return below(100) < 5; }
};

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", error);
        std::exit(2);
    }
}

void createData(const QString &path, qint64 rows)
{
    std::printf("creating %s (%lld rows, once)\n", qPrintable(path), static_cast<long long>(rows));
    std::fflush(stdout);
    const QString temp = path + QStringLiteral(".part");
    QFile::remove(temp);
    sqlite3 *db = nullptr;
    sqlite3_open(temp.toUtf8().constData(), &db);
    exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
    exec(db, createSql);
    exec(db, "BEGIN");
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Goods VALUES(?,?,?,?,?,?,?,?)", -1, &insert, nullptr);
    SplitMix rng{20040305};
    const QString cyrillic = QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЭЮЯ '");
    std::string latin;
    for (qint64 id = 1; id <= rows; ++id) {
        sqlite3_bind_int64(insert, 1, id);
        if (rng.null()) {
            sqlite3_bind_null(insert, 2);
        } else {
            latin.clear();
            for (int i = 0, n = 8 + rng.below(40); i < n; ++i)
                latin += "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-'"[rng.below(65)];
            sqlite3_bind_text(insert, 2, latin.data(), int(latin.size()), SQLITE_TRANSIENT);
        }
        if (rng.null()) {
            sqlite3_bind_null(insert, 3);
        } else {
            QString title;
            for (int i = 0, n = 10 + rng.below(80); i < n; ++i)
                title += cyrillic.at(rng.below(int(cyrillic.size())));
            const QByteArray utf8 = title.toUtf8();
            sqlite3_bind_text(insert, 3, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        if (rng.null())
            sqlite3_bind_null(insert, 4);
        else
            sqlite3_bind_int64(insert, 4, qint64(rng.next() % 100000000000ULL) - 20000000000LL);
        if (rng.null()) {
            sqlite3_bind_null(insert, 5);
        } else {
            char when[32];
            std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d.%03d", 1990 + rng.below(40),
                          1 + rng.below(12), 1 + rng.below(28), rng.below(24), rng.below(60), rng.below(60),
                          rng.below(4) == 0 ? 0 : rng.below(1000));
            sqlite3_bind_text(insert, 5, when, -1, SQLITE_TRANSIENT);
        }
        if (rng.null())
            sqlite3_bind_null(insert, 6);
        else
            sqlite3_bind_int64(insert, 6, qint64(rng.next() % 1000000000000000000ULL) - 500000000000000000LL);
        if (rng.null())
            sqlite3_bind_null(insert, 7);
        else
            sqlite3_bind_int(insert, 7, rng.below(2));
        if (rng.null())
            sqlite3_bind_null(insert, 8);
        else
            sqlite3_bind_double(insert, 8, double(rng.next() >> 11) / double(1ULL << 53) * 1e6 - 5e5);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
            std::exit(2);
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(db, "COMMIT");
    sqlite3_close(db);
    QFile::rename(temp, path);
}

std::unique_ptr<TTable> goodsTable()
{
    struct Spec
    {
        const char *name;
        int xtype;
        int length;
    };
    const Spec specs[] = {{"Id", XType::Int, 4},           {"Code", XType::VarChar, 50},
                          {"Title", XType::NVarChar, 200}, {"Price", XType::Money, 8},
                          {"Created", XType::DateTime, 8}, {"Amount", XType::Decimal, 9},
                          {"Active", XType::Bit, 1},       {"Ratio", XType::Float, 8}};
    auto table = std::make_unique<TTable>(QStringLiteral("Goods"), soUserTable, 1);
    for (const Spec &s : specs) {
        auto column = CreateColumn(QString::fromLatin1(s.name), s.xtype, 1, s.xtype == XType::Int, s.length);
        column->IsUsed = true;
        column->IsKey = s.xtype == XType::Int;
        column->Precision = 18;
        column->Scale = 4;
        table->Columns.Add(std::move(column));
    }
    return table;
}

// The child: one generation of the whole table into /dev/null.
int runGenerator(const char *path)
{
    SetDecimalSeparator(u',');
    sqlite3 *db = nullptr;
    // One thread at a time reads (the read-ahead's): no need for SQLite's
    // per-call locking.
    if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        return 2;
    auto table = goodsTable();
    // Read ahead as the product reads a server's rows.
    auto rows = std::make_unique<TReadAheadRowSet>(std::make_unique<TSqliteRowSet>(
        db, "SELECT COUNT(*) FROM Goods", selectSql,
        std::vector<TSqliteText>{TSqliteText::Integer, TSqliteText::Text, TSqliteText::Text, TSqliteText::Scaled4,
                                 TSqliteText::DateTime, TSqliteText::Scaled4, TSqliteText::Bit, TSqliteText::Float}));
    std::FILE *out = std::fopen("/dev/null", "wb");
    qint64 bytes = 0;
    {
        TScriptFileSink sink(out);
        TScriptBuildControl control;
        control.Now = QDateTime::currentDateTime();
        const TGenerationResult result = BuildScript(*table, *rows, nullptr, sink, control);
        if (!result.Complete()) {
            std::fprintf(stderr, "generation failed: %s\n", result.Reason.toUtf8().constData());
            return 3;
        }
        sink.Flush();
        bytes = sink.BytesWritten();
    }
    std::fclose(out);
    rows.reset(); // its statement goes before the database
    sqlite3_close(db);
    std::printf("%lld\n", static_cast<long long>(bytes));
    return 0;
}

struct RunResult
{
    double seconds = 0;
    long maxRssKb = 0;
    qint64 bytes = 0; // from the child's stdout when it reports it
};

// Runs argv with stdout to /dev/null, or to a pipe whose byte count (or
// first number, for our child) is returned.
RunResult spawn(const std::vector<std::string> &args, bool countBytes, bool readNumber)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (countBytes || readNumber) {
        if (pipe(pipeFds) != 0)
            std::exit(2);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(2);
    }
    posix_spawn_file_actions_destroy(&actions);
    RunResult result;
    if (pipeFds[1] >= 0) {
        close(pipeFds[1]);
        std::string text;
        char buf[1 << 16];
        for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) {
            result.bytes += n;
            if (readNumber)
                text.append(buf, size_t(n));
        }
        close(pipeFds[0]);
        if (readNumber)
            result.bytes = std::atoll(text.c_str());
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.seconds = double(timer.nsecsElapsed()) / 1e9;
    result.maxRssKb = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(2);
    }
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--generate") == 0)
        return runGenerator(argv[2]);

    qint64 rows = 1000000;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0)
            rows = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }

    QDir().mkpath(QStringLiteral(QUORVANE_BENCH_DATA_DIR));
    const QString path = QStringLiteral(QUORVANE_BENCH_DATA_DIR "/goods-%1.sqlite").arg(rows);
    if (!QFileInfo::exists(path))
        createData(path, rows);
    const std::string file = path.toStdString();
    const std::string self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().toStdString();

    // Output sizes, untimed.
    const qint64 dumpBytes = spawn({"sqlite3", file, ".dump"}, true, false).bytes;

    std::vector<double> dumpSeconds, ourSeconds;
    long dumpRss = 0, ourRss = 0;
    qint64 ourBytes = 0;
    for (int i = 0; i < runs; ++i) {
        const RunResult dump = spawn({"sqlite3", file, ".dump"}, false, false);
        dumpSeconds.push_back(dump.seconds);
        dumpRss = std::max(dumpRss, dump.maxRssKb);
        const RunResult ours = spawn({self, "--generate", file}, false, true);
        ourSeconds.push_back(ours.seconds);
        ourRss = std::max(ourRss, ours.maxRssKb);
        ourBytes = ours.bytes;
    }

    const double dumpTime = median(dumpSeconds), ourTime = median(ourSeconds);
    const auto line = [rows](const char *name, double seconds, qint64 bytes, long rssKb) {
        std::printf("%-16s median %.3f s  %.0f rows/s  %.1f MB/s  output %.1f MB  peak RSS %.1f MB\n", name, seconds,
                    double(rows) / seconds, double(bytes) / 1e6 / seconds, double(bytes) / 1e6, double(rssKb) / 1024.0);
    };
    std::printf("rows=%lld runs=%d\n", static_cast<long long>(rows), runs);
    line("sqlite3 .dump", dumpTime, dumpBytes, dumpRss);
    line("generator", ourTime, ourBytes, ourRss);
    std::printf("ratio_vs_sqlite3_dump=%.2f\n", dumpTime / ourTime);
    return 0;
}
