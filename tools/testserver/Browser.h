#pragma once

// SQL Server Browser (SSRP) answers on a UDP port of 127.0.0.1: the one
// default instance MSSQLSERVER with our TCP port.

#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qts {

// The reply to one request datagram; nothing for requests we stay silent on
// (unknown instance, unknown request).
// version: the product version the instance announces ("8.00.194").
std::optional<std::vector<std::uint8_t>> browserReply(const std::uint8_t *request, std::size_t n,
                                                      const std::string &host, std::uint16_t tcpPort,
                                                      const std::string &version = "8.00.194");

class Browser {
public:
    ~Browser();
    bool start(std::uint16_t udpPort, std::uint16_t tcpPort, std::string &error, std::string version = "8.00.194");
    void stop();

private:
    void loop();
    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    std::uint16_t m_tcpPort = 0;
    std::string m_host;
    std::string m_version;
    std::thread m_thread;
};

} // namespace qts
