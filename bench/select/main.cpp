// Times SELECT * of an 8-column table from quorvane-testserver through
// unixODBC and the FreeTDS driver (SQLExecDirect, bound columns, SQLFetch).
//
//   bench_select [--rows N] [--server PATH] [--port P] [--tds 7.3] [--packet 4096]
//
// Without --port it starts its own server (temporary data folder). When the
// table BenchRows is missing it is filled first: 1,000 rows by INSERT ...
// VALUES, then INSERT ... SELECT doubling up to the row count (timed on its
// own). MB/s counts the TDS bytes of the rows (tokens, lengths, values and
// packet headers), worked out from the fetched data. Build it Release for
// figures that mean anything.

#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string &what, SQLSMALLINT type = 0, SQLHANDLE handle = nullptr)
{
    std::fprintf(stderr, "bench_select: %s\n", what.c_str());
    if (handle) {
        SQLCHAR state[6], text[1024];
        SQLINTEGER native;
        SQLSMALLINT len;
        for (SQLSMALLINT k = 1; SQLGetDiagRec(type, handle, k, state, &native, text, sizeof text, &len) == SQL_SUCCESS; ++k)
            std::fprintf(stderr, "  [%s] %d %s\n", state, int(native), text);
    }
    std::exit(1);
}

void check(SQLRETURN rc, const char *what, SQLSMALLINT type, SQLHANDLE handle)
{
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA)
        fail(what, type, handle);
}

void exec(SQLHDBC dbc, const std::string &sql)
{
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    check(SQLExecDirect(st, (SQLCHAR *)sql.c_str(), SQL_NTS), sql.substr(0, 80).c_str(), SQL_HANDLE_STMT, st);
    while (SQLMoreResults(st) == SQL_SUCCESS) {
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
}

// The first column of the first row; -1 when the statement fails.
long long scalar(SQLHDBC dbc, const std::string &sql)
{
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    const SQLRETURN rc = SQLExecDirect(st, (SQLCHAR *)sql.c_str(), SQL_NTS);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return -1;
    }
    SQLBIGINT v = -1;
    SQLLEN ind;
    if (SQLFetch(st) == SQL_SUCCESS)
        SQLGetData(st, 1, SQL_C_SBIGINT, &v, 0, &ind);
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return v;
}

// CPU seconds (user + system) of a process; 0 when unknown.
double cpuSeconds(pid_t pid)
{
    std::FILE *f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f)
        return 0;
    char buf[1024] = {};
    const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    const char *p = std::strrchr(buf, ')');
    if (!p || n == 0)
        return 0;
    unsigned long utime = 0, stime = 0;
    // Fields after the command: state is field 3; utime and stime are 14 and 15.
    std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime);
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

} // namespace

int main(int argc, char **argv)
{
    long long rows = 1'000'000;
    std::string server = QUORVANE_TESTSERVER_PATH;
    std::string tds = "7.3";
    std::string packetSize = "4096";
    int port = 0;
    for (int k = 1; k + 1 < argc; k += 2) {
        const std::string a = argv[k];
        if (a == "--rows") rows = std::atoll(argv[k + 1]);
        else if (a == "--server") server = argv[k + 1];
        else if (a == "--port") port = std::atoi(argv[k + 1]);
        else if (a == "--tds") tds = argv[k + 1];
        else if (a == "--packet") packetSize = argv[k + 1];
        else fail("unknown argument " + a);
    }

    pid_t child = 0;
    if (port == 0) {
        int out[2];
        if (pipe(out) != 0)
            fail("pipe");
        child = fork();
        if (child == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execl(server.c_str(), server.c_str(), "--port", "0", "--login", "sa:secret", (char *)nullptr);
            _exit(127);
        }
        close(out[1]);
        FILE *f = fdopen(out[0], "r");
        char line[256] = {};
        if (!fgets(line, sizeof line, f) || std::sscanf(line, "listening on 127.0.0.1:%d", &port) != 1)
            fail("the server did not start: " + server);
    }

    SQLHENV env;
    SQLHDBC dbc;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const std::string cs = "DRIVER=FreeTDS;SERVER=127.0.0.1;PORT=" + std::to_string(port)
                           + ";UID=sa;PWD=secret;TDS_Version=" + tds + ";ClientCharset=UTF-8;PacketSize=" + packetSize;
    check(SQLDriverConnect(dbc, nullptr, (SQLCHAR *)cs.c_str(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
          "connect", SQL_HANDLE_DBC, dbc);

    if (scalar(dbc, "SELECT COUNT(*) FROM BenchRows") < 0) {
        const auto fillStart = Clock::now();
        exec(dbc, "CREATE TABLE BenchRows (Id int NOT NULL, Qty smallint NULL, Amount money NULL, Price float NULL, "
                  "Title varchar(40) NULL, Name nvarchar(40) NULL, Created datetime NULL, Active bit NULL)");
        std::string batch;
        const long long seed = std::min<long long>(rows, 1000);
        for (long long k = 1; k <= seed; ++k)
            batch += "INSERT INTO BenchRows VALUES (" + std::to_string(k) + ", " + std::to_string(k % 300) + ", "
                     + std::to_string(k) + ".25, " + std::to_string(k) + ".5, 'Товар номер " + std::to_string(k)
                     + "', N'Name " + std::to_string(k) + "', '2004-03-01 10:00:00.123', " + std::to_string(k % 2) + ")\n";
        exec(dbc, batch);
        for (long long have = seed; have < rows; have *= 2) {
            const long long take = std::min(have, rows - have);
            exec(dbc, "INSERT INTO BenchRows SELECT Id + " + std::to_string(have)
                          + ", Qty, Amount, Price, Title, Name, Created, Active FROM BenchRows WHERE Id <= " + std::to_string(take));
        }
        std::printf("fill: %lld rows in %.2f s\n", scalar(dbc, "SELECT COUNT(*) FROM BenchRows"), seconds(fillStart));
    }

    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    SQLINTEGER id;
    SQLSMALLINT qty;
    SQLCHAR amount[32], title[128];
    double price;
    SQLWCHAR name[64];
    SQL_TIMESTAMP_STRUCT created;
    unsigned char active;
    SQLLEN ind[8];
    const double clientCpuBefore = cpuSeconds(getpid());
    const double serverCpuBefore = child ? cpuSeconds(child) : 0;
    const auto start = Clock::now();
    check(SQLExecDirect(st, (SQLCHAR *)"SELECT * FROM BenchRows", SQL_NTS), "select", SQL_HANDLE_STMT, st);
    SQLBindCol(st, 1, SQL_C_SLONG, &id, 0, &ind[0]);
    SQLBindCol(st, 2, SQL_C_SSHORT, &qty, 0, &ind[1]);
    SQLBindCol(st, 3, SQL_C_CHAR, amount, sizeof amount, &ind[2]);
    SQLBindCol(st, 4, SQL_C_DOUBLE, &price, 0, &ind[3]);
    SQLBindCol(st, 5, SQL_C_CHAR, title, sizeof title, &ind[4]);
    SQLBindCol(st, 6, SQL_C_WCHAR, name, sizeof name, &ind[5]);
    SQLBindCol(st, 7, SQL_C_TYPE_TIMESTAMP, &created, 0, &ind[6]);
    SQLBindCol(st, 8, SQL_C_BIT, &active, 0, &ind[7]);
    long long fetched = 0;
    long long checksum = 0;
    long long wireBytes = 0;
    SQLRETURN rc;
    while ((rc = SQLFetch(st)) == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
        ++fetched;
        checksum += id;
        // ROW token, then int, smallint, money, float, varchar (one byte a
        // character in CP1251), nvarchar, datetime and bit with their lengths.
        long long titleChars = 0;
        for (SQLLEN k = 0; ind[4] > 0 && k < ind[4]; ++k)
            titleChars += (title[k] & 0xC0) != 0x80;
        wireBytes += 1 + 5 + 3 + 9 + 9 + 2 + titleChars + 2 + std::max<SQLLEN>(ind[5], 0) + 9 + 2;
    }
    if (rc != SQL_NO_DATA)
        fail("fetch", SQL_HANDLE_STMT, st);
    const double elapsed = seconds(start);
    const double clientCpu = cpuSeconds(getpid()) - clientCpuBefore;
    const double serverCpu = child ? cpuSeconds(child) - serverCpuBefore : 0;
    wireBytes += wireBytes / (std::atoll(packetSize.c_str()) - 8) * 8;  // packet headers
    const double megabytes = double(wireBytes) / 1e6;
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    std::printf("select: %lld rows (id sum %lld) in %.3f s: %.0f rows/s, %.1f MB/s (%.1f MB of rows)\n", fetched,
                checksum, elapsed, fetched / elapsed, megabytes / elapsed, megabytes);
    // On a shared machine the wall clock also counts other people's work;
    // the CPU time of both ends says what the pair itself needs.
    if (child)
        std::printf("cpu: server %.3f s, client %.3f s: %.0f rows per server CPU second\n", serverCpu, clientCpu,
                    serverCpu > 0 ? fetched / serverCpu : 0.0);

    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    if (child) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
    }
    return fetched == rows || !child ? 0 : 1;
}
