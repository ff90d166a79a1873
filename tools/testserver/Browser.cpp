#include "Browser.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace qts {

std::optional<std::vector<std::uint8_t>> browserReply(const std::uint8_t *request, std::size_t n,
                                                      const std::string &host, std::uint16_t tcpPort,
                                                      const std::string &version)
{
    if (n == 0)
        return std::nullopt;
    const std::uint8_t kind = request[0];
    if (kind == 0x04) {
        // CLNT_UCAST_INST: the instance name up to a NUL (or the datagram's end).
        std::string name;
        for (std::size_t k = 1; k < n && request[k] != 0 && name.size() < 64; ++k)
            name.push_back(char(std::toupper(request[k])));
        if (name != "MSSQLSERVER")
            return std::nullopt;
    } else if (kind != 0x02 && kind != 0x03) {
        return std::nullopt;
    }
    const std::string data = "ServerName;" + host + ";InstanceName;MSSQLSERVER;IsClustered;No;Version;" + version + ";tcp;"
                             + std::to_string(tcpPort) + ";;";
    std::vector<std::uint8_t> reply(3 + data.size());
    reply[0] = 0x05;  // SVR_RESP
    reply[1] = std::uint8_t(data.size() & 0xFF);
    reply[2] = std::uint8_t(data.size() >> 8);
    std::memcpy(reply.data() + 3, data.data(), data.size());
    return reply;
}

Browser::~Browser()
{
    stop();
}

bool Browser::start(std::uint16_t udpPort, std::uint16_t tcpPort, std::string &error, std::string version)
{
    m_tcpPort = tcpPort;
    m_version = std::move(version);
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == 0)
        std::strcpy(name, "localhost");
    m_host = name;
    // The short name, upper case, as SQL Server reports its machine.
    m_host = m_host.substr(0, m_host.find('.'));
    std::transform(m_host.begin(), m_host.end(), m_host.begin(), [](unsigned char c) { return char(std::toupper(c)); });

    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(udpPort);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0) {
        error = "cannot bind UDP 127.0.0.1:" + std::to_string(udpPort) + ": " + std::strerror(errno);
        return false;
    }
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_thread = std::thread([this] { loop(); });
    return true;
}

void Browser::stop()
{
    if (m_thread.joinable()) {
        const char c = 0;
        (void)!::write(m_wake[1], &c, 1);
        m_thread.join();
    }
    for (int *fd : {&m_fd, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void Browser::loop()
{
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        std::uint8_t request[1500];
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(m_fd, request, sizeof request, 0, reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (n <= 0)
            continue;
        if (const auto reply = browserReply(request, std::size_t(n), m_host, m_tcpPort, m_version))
            ::sendto(m_fd, reply->data(), reply->size(), 0, reinterpret_cast<sockaddr *>(&from), fromLen);
    }
}

} // namespace qts
