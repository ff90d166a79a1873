// Streams SELECT * of a table of 2^20 rows through a sink that only counts,
// and prints rows per second. Usage: bench_engine_select [data folder]

#include "EngineApi.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

class CountingSink : public qts::ResultSink {
public:
    void beginResult(const std::vector<qts::ColumnInfo> &) override {}
    bool row(const std::vector<qts::Value> &values) override
    {
        ++rows;
        bytes += values.size();
        return true;
    }
    void statementEnd(const qts::StatementEnd &) override {}
    void message(const qts::Message &m) override
    {
        if (m.severity > 10)
            std::fprintf(stderr, "error %d: %s\n", m.number, m.text.c_str());
    }
    void databaseChanged(const std::string &, const std::string &) override {}
    std::uint64_t rows = 0;
    std::uint64_t bytes = 0;
};

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char **argv)
{
    const std::filesystem::path dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path() / "qts-bench-select";
    std::filesystem::remove_all(dir);
    auto engine = qts::createEngine(dir.string(), false);
    auto session = engine->openSession("sa", "");
    CountingSink sink;
    auto start = std::chrono::steady_clock::now();
    engine->executeBatch(*session,
                         "SET NOCOUNT ON\nCREATE TABLE big (Id int NOT NULL, Title varchar(40) NULL, Price money NULL, "
                         "Created datetime NULL)\nINSERT INTO big VALUES(0, 'Tea', 2.5, '2004-03-01 10:00')",
                         sink);
    for (int i = 0; i < 20; ++i)
        engine->executeBatch(*session, "INSERT INTO big SELECT Id + " + std::to_string(1 << i) + ", Title, Price, Created FROM big", sink);
    std::printf("filled 1048576 rows in %.2f s\n", seconds(start));
    for (int run = 0; run < 3; ++run) {
        CountingSink count;
        start = std::chrono::steady_clock::now();
        engine->executeBatch(*session, "SELECT * FROM big", count);
        const double s = seconds(start);
        std::printf("SELECT * streamed %llu rows in %.3f s: %.0f rows/s\n", static_cast<unsigned long long>(count.rows), s, double(count.rows) / s);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
