#pragma once

// The TCP listener on 127.0.0.1 and one thread per connection.

#include "Connection.h"
#include "engine/EngineApi.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

namespace qts {

class Server {
public:
    Server(Engine &engine, ServerSettings settings);
    Server(Engine &engine, Logins logins);
    ~Server();

    // Binds 127.0.0.1:port (0 picks a free one); false with errorText set.
    bool listen(std::uint16_t port);
    [[nodiscard]] std::uint16_t port() const { return m_port; }
    [[nodiscard]] const std::string &errorText() const { return m_error; }
    // Accepts connections until stop() (callable from any thread or a
    // signal handler's helper thread) or until stopFd becomes readable.
    void serve(int stopFd);
    // Closes every connection and waits for their threads.
    void shutdownConnections();

private:
    void serveClient(int fd, std::uint16_t spid);

    Engine &m_engine;
    ServerSettings m_settings;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::string m_error;
    std::mutex m_mutex;
    std::condition_variable m_idle;
    std::set<int> m_clients;
    int m_running = 0;
    std::uint16_t m_nextSpid = 51;
};

} // namespace qts
