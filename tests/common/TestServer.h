#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Starts quorvane-testserver on a free loopback port for one test program.
// The binary comes from QUORVANE_TESTSERVER (set by CTest). Every test server
// keeps its databases in its own temporary folder and accepts sa:secret.
class TestServer
{
public:
    explicit TestServer(QStringList extraArgs = {});
    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    // Starts the server and waits for its "listening on" line; false (and
    // errorText()) when it did not come up within the time limit.
    [[nodiscard]] bool start(int timeoutMs = 30000);
    void stop();

    [[nodiscard]] int port() const { return m_port; }
    // The server's process id (to stop and continue it), 0 when not running.
    [[nodiscard]] qint64 processId() const { return m_process ? m_process->processId() : 0; }
    // "127.0.0.1,PORT": the form a user types into "Data Source".
    [[nodiscard]] QString dataSource() const;
    [[nodiscard]] QString dataDir() const { return m_dataDir.path(); }
    [[nodiscard]] QString errorText() const { return m_error; }
    // A stalled server: stops the process (SIGSTOP) and returns once it is
    // seen stopped; resume() lets it go on. False when it could not be stopped.
    [[nodiscard]] bool suspend();
    void resume();

    static constexpr const char *login = "sa";
    static constexpr const char *password = "secret";

private:
    QStringList m_extraArgs;
    QTemporaryDir m_dataDir;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
    QString m_error;
};
