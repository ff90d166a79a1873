// Stands in for the SQL engine when it is not part of the build: logins
// work, every batch is answered with an error.

#include "engine/EngineApi.h"

namespace qts {
namespace {

class StubSession : public Session {
public:
    std::string database() const override { return "master"; }
};

class StubEngine : public Engine {
public:
    std::unique_ptr<Session> openSession(const std::string &, const std::string &database) override
    {
        if (!database.empty() && database != "master") {
            SqlError e;
            e.message.number = 4060;
            e.message.severity = 11;
            e.message.text = "Cannot open database \"" + database + "\" requested by the login. The login failed.";
            throw e;
        }
        return std::make_unique<StubSession>();
    }
    void executeBatch(Session &, const std::string &, ResultSink &sink) override
    {
        Message m;
        m.number = 50000;
        m.severity = 16;
        m.text = "This build of the test server has no SQL engine.";
        sink.message(m);
        StatementEnd end;
        end.error = true;
        sink.statementEnd(end);
    }
};

} // namespace

std::unique_ptr<Engine> createEngine(const std::string &, bool)
{
    return std::make_unique<StubEngine>();
}

} // namespace qts
