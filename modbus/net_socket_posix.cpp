// TCP sockets on POSIX systems.
#include "net_socket.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orn {

namespace {

// The peer went away: the connection is closed whatever the system calls it.
int Closed(int err) { return err == EPIPE || err == ENOTCONN ? ECONNRESET : err; }

std::string EndpointText(const sockaddr* sa, socklen_t) {
    char host[INET6_ADDRSTRLEN] = {};
    uint16_t port = 0;
    if (sa->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(sa);
        inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof host);
        port = ntohs(in6->sin6_port);
        return "[" + std::string(host) + "]:" + std::to_string(port);
    }
    const auto* in4 = reinterpret_cast<const sockaddr_in*>(sa);
    inet_ntop(AF_INET, &in4->sin_addr, host, sizeof host);
    port = ntohs(in4->sin_port);
    return std::string(host) + ":" + std::to_string(port);
}

} // namespace

TcpSocket::~TcpSocket() { close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

void TcpSocket::close() {
    if (handle_ != -1) ::close(int(handle_));
    handle_ = -1;
}

TcpSocket TcpSocket::Connect(const NetEndpoint& to, int& error) {
    error = 0;
    const auto* sa = reinterpret_cast<const sockaddr*>(to.address.data());
    const int fd = ::socket(sa->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return {};
    }
    // A request is a few bytes that must leave at once, not wait for the
    // acknowledgement of the ones before.
    const int one = 1;
    (void)setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd, sa, socklen_t(to.address.size())) != 0 && errno != EINPROGRESS) {
        error = errno;
        ::close(fd);
        return {};
    }
    return TcpSocket(fd);
}

int TcpSocket::connectState() {
    if (handle_ == -1) return EBADF;
    pollfd p{int(handle_), POLLOUT, 0};
    const int k = ::poll(&p, 1, 0);
    if (k == 0 || (k < 0 && errno == EINTR)) return EINPROGRESS;
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(int(handle_), SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    return err;
}

TcpSocket TcpSocket::Listen(const std::string& host, uint16_t port, int& error) {
    error = 0;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        error = NetNameNotFound;
        return {};
    }
    TcpSocket s;
    for (const addrinfo* a = found; a && !s.valid(); a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        const int one = 1;
        (void)setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, 16) != 0) {
            error = errno;
            ::close(fd);
            continue;
        }
        s = TcpSocket(fd);
        error = 0;
    }
    freeaddrinfo(found);
    return s;
}

TcpSocket TcpSocket::accept(int& error) {
    error = 0;
    const int fd = ::accept4(int(handle_), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) error = errno;
        return {};
    }
    const int one = 1;
    (void)setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return TcpSocket(fd);
}

uint16_t TcpSocket::localPort() const {
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    if (handle_ == -1 || getsockname(int(handle_), reinterpret_cast<sockaddr*>(&ss), &len) != 0) return 0;
    if (ss.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&ss)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&ss)->sin_port);
}

long TcpSocket::send(const uint8_t* data, size_t n, int& error) {
    error = 0;
    const ssize_t r = ::send(int(handle_), data, n, MSG_NOSIGNAL);
    if (r >= 0) return long(r);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    error = Closed(errno);
    return -1;
}

long TcpSocket::recv(uint8_t* data, size_t n, int& error) {
    error = 0;
    const ssize_t r = ::recv(int(handle_), data, n, 0);
    if (r > 0) return long(r);
    if (r == 0) {
        error = ECONNRESET;
        return -1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    error = Closed(errno);
    return -1;
}

int TcpSocket::readableHandle() { return int(handle_); }

int ResolveHost(const std::string& host, uint16_t port, std::vector<NetEndpoint>& endpoints, bool numericOnly) {
    endpoints.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = numericOnly ? AI_NUMERICHOST : AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) return NetNameNotFound;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        NetEndpoint e;
        const auto* bytes = reinterpret_cast<const uint8_t*>(a->ai_addr);
        e.address.assign(bytes, bytes + a->ai_addrlen);
        e.text = EndpointText(a->ai_addr, a->ai_addrlen);
        endpoints.push_back(std::move(e));
    }
    freeaddrinfo(found);
    return 0;
}

bool WaitReadable(const std::vector<const TcpSocket*>& sockets, int timeoutMs, std::vector<bool>& ready) {
    std::vector<pollfd> fds;
    for (const TcpSocket* s : sockets) fds.push_back(pollfd{s && s->valid() ? int(s->handle()) : -1, POLLIN, 0});
    ready.assign(sockets.size(), false);
    if (::poll(fds.data(), nfds_t(fds.size()), timeoutMs) <= 0) return false;
    bool any = false;
    for (size_t i = 0; i < fds.size(); ++i)
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) ready[i] = any = true;
    return any;
}

} // namespace orn
