#include "Server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace qts {
namespace {

class SocketTransport : public Transport {
public:
    explicit SocketTransport(int fd) : m_fd(fd) {}
    std::size_t receive(std::uint8_t *buffer, std::size_t n, bool wait) override
    {
        for (;;) {
            const ssize_t r = ::recv(m_fd, buffer, n, wait ? 0 : MSG_DONTWAIT);
            if (r > 0)
                return std::size_t(r);
            if (r < 0 && errno == EINTR)
                continue;
            if (r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                m_closed = true;
            return 0;
        }
    }
    bool closed() const override { return m_closed; }
    bool waitReadable(std::chrono::milliseconds timeout) override
    {
        pollfd p{m_fd, POLLIN, 0};
        for (;;) {
            const int r = ::poll(&p, 1, int(timeout.count()));
            if (r < 0 && errno == EINTR)
                continue;
            return r != 0;
        }
    }
    bool send(const std::uint8_t *data, std::size_t n) override
    {
        while (n > 0) {
            const ssize_t r = ::send(m_fd, data, n, MSG_NOSIGNAL);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data += r;
            n -= std::size_t(r);
        }
        return true;
    }

private:
    int m_fd;
    bool m_closed = false;
};

} // namespace

Server::Server(Engine &engine, Logins logins)
    : m_engine(engine), m_logins(std::move(logins))
{
}

Server::~Server()
{
    shutdownConnections();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

bool Server::listen(std::uint16_t port)
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        m_error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int yes = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0
        || ::listen(m_listenFd, 64) < 0) {
        m_error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    return true;
}

void Server::serve(int stopFd)
{
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        std::uint16_t spid;
        {
            std::lock_guard lock(m_mutex);
            m_clients.insert(fd);
            ++m_running;
            spid = m_nextSpid++;
            if (m_nextSpid == 0)
                m_nextSpid = 51;
        }
        std::thread([this, fd, spid] { serveClient(fd, spid); }).detach();
    }
}

void Server::serveClient(int fd, std::uint16_t spid)
{
    {
        SocketTransport transport(fd);
        try {
            Connection connection(transport, m_engine, m_logins, spid);
            connection.run();
        } catch (const std::exception &e) {
            // One connection's failure never takes the server down.
            std::fprintf(stderr, "quorvane-testserver: connection %u ended: %s\n", unsigned(spid), e.what());
        } catch (...) {
            std::fprintf(stderr, "quorvane-testserver: connection %u ended by an unknown exception\n", unsigned(spid));
        }
    }
    std::lock_guard lock(m_mutex);
    m_clients.erase(fd);
    ::close(fd);
    if (--m_running == 0)
        m_idle.notify_all();
}

void Server::shutdownConnections()
{
    std::unique_lock lock(m_mutex);
    for (const int fd : m_clients)
        ::shutdown(fd, SHUT_RDWR);
    m_idle.wait(lock, [this] { return m_running == 0; });
}

} // namespace qts
