// TCP sockets on Windows (Winsock 2).
#include "net_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cerrno>
#include <cstring>

namespace orn {

namespace {

// Winsock is started once, for the life of the program.
void Startup() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

// Winsock's failures as the errno values the links report.
int Errno(int wsa) {
    switch (wsa) {
    case WSAECONNREFUSED: return ECONNREFUSED;
    case WSAEHOSTUNREACH: return EHOSTUNREACH;
    case WSAENETUNREACH:
    case WSAENETDOWN: return ENETUNREACH;
    case WSAETIMEDOUT: return ETIMEDOUT;
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAESHUTDOWN:
    case WSAENOTCONN:
    case WSAENETRESET: return ECONNRESET;
    case WSAEADDRINUSE: return EADDRINUSE;
    case WSAEACCES: return EACCES;
    default: return EIO;
    }
}

SOCKET Sock(intptr_t h) { return SOCKET(h); }

void NoDelay(SOCKET s) {
    const BOOL one = TRUE;
    (void)setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

bool NonBlocking(SOCKET s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

std::string EndpointText(const sockaddr* sa) {
    char host[INET6_ADDRSTRLEN] = {};
    if (sa->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(sa);
        inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof host);
        return "[" + std::string(host) + "]:" + std::to_string(ntohs(in6->sin6_port));
    }
    const auto* in4 = reinterpret_cast<const sockaddr_in*>(sa);
    inet_ntop(AF_INET, &in4->sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(in4->sin_port));
}

} // namespace

TcpSocket::~TcpSocket() { close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : handle_(other.handle_), event_(other.event_) {
    other.handle_ = -1;
    other.event_ = 0;
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        event_ = other.event_;
        other.handle_ = -1;
        other.event_ = 0;
    }
    return *this;
}

void TcpSocket::close() {
    if (handle_ != -1) closesocket(Sock(handle_));
    if (event_) WSACloseEvent(reinterpret_cast<WSAEVENT>(event_));
    handle_ = -1;
    event_ = 0;
}

TcpSocket TcpSocket::Connect(const NetEndpoint& to, int& error) {
    Startup();
    error = 0;
    const auto* sa = reinterpret_cast<const sockaddr*>(to.address.data());
    const SOCKET s = ::socket(sa->sa_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = Errno(WSAGetLastError());
        return {};
    }
    NoDelay(s);
    if (!NonBlocking(s) ||
        (::connect(s, sa, int(to.address.size())) != 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
        error = Errno(WSAGetLastError());
        closesocket(s);
        return {};
    }
    return TcpSocket(intptr_t(s));
}

int TcpSocket::connectState() {
    if (handle_ == -1) return EBADF;
    const SOCKET s = Sock(handle_);
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval now{0, 0};
    if (select(0, nullptr, &writable, &failed, &now) <= 0) return EINPROGRESS;
    if (FD_ISSET(s, &writable)) return 0;
    int err = 0;
    int len = sizeof err;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
    return err ? Errno(err) : ECONNREFUSED;
}

TcpSocket TcpSocket::Listen(const std::string& host, uint16_t port, int& error) {
    Startup();
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
    TcpSocket t;
    for (const addrinfo* a = found; a && !t.valid(); a = a->ai_next) {
        const SOCKET s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) {
            error = Errno(WSAGetLastError());
            continue;
        }
        if (::bind(s, a->ai_addr, int(a->ai_addrlen)) != 0 || ::listen(s, 16) != 0 || !NonBlocking(s)) {
            error = Errno(WSAGetLastError());
            closesocket(s);
            continue;
        }
        t = TcpSocket(intptr_t(s));
        error = 0;
    }
    freeaddrinfo(found);
    return t;
}

TcpSocket TcpSocket::accept(int& error) {
    error = 0;
    const SOCKET s = ::accept(Sock(handle_), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        const int wsa = WSAGetLastError();
        if (wsa != WSAEWOULDBLOCK && wsa != WSAECONNRESET) error = Errno(wsa);
        return {};
    }
    NoDelay(s);
    NonBlocking(s);
    return TcpSocket(intptr_t(s));
}

uint16_t TcpSocket::localPort() const {
    sockaddr_storage ss{};
    int len = sizeof ss;
    if (handle_ == -1 || getsockname(Sock(handle_), reinterpret_cast<sockaddr*>(&ss), &len) != 0) return 0;
    if (ss.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&ss)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&ss)->sin_port);
}

long TcpSocket::send(const uint8_t* data, size_t n, int& error) {
    error = 0;
    const int r = ::send(Sock(handle_), reinterpret_cast<const char*>(data), int(n), 0);
    if (r != SOCKET_ERROR) return long(r);
    const int wsa = WSAGetLastError();
    if (wsa == WSAEWOULDBLOCK) return 0;
    error = Errno(wsa);
    return -1;
}

long TcpSocket::recv(uint8_t* data, size_t n, int& error) {
    error = 0;
    // The event a loop waits on is cleared before the socket is read: bytes
    // that come after the read set it again.
    if (event_) WSAResetEvent(reinterpret_cast<WSAEVENT>(event_));
    const int r = ::recv(Sock(handle_), reinterpret_cast<char*>(data), int(n), 0);
    if (r > 0) return long(r);
    if (r == 0) {
        error = ECONNRESET;
        return -1;
    }
    const int wsa = WSAGetLastError();
    if (wsa == WSAEWOULDBLOCK) return 0;
    error = Errno(wsa);
    return -1;
}

int TcpSocket::readableHandle() {
    if (handle_ == -1) return -1;
    if (!event_) {
        WSAEVENT e = WSACreateEvent();
        if (e == WSA_INVALID_EVENT) return -1;
        if (WSAEventSelect(Sock(handle_), e, FD_READ | FD_CLOSE) != 0) {
            WSACloseEvent(e);
            return -1;
        }
        event_ = reinterpret_cast<intptr_t>(e);
    }
    return int(event_);
}

int ResolveHost(const std::string& host, uint16_t port, std::vector<NetEndpoint>& endpoints, bool numericOnly) {
    Startup();
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
        e.text = EndpointText(a->ai_addr);
        endpoints.push_back(std::move(e));
    }
    freeaddrinfo(found);
    return 0;
}

bool WaitReadable(const std::vector<const TcpSocket*>& sockets, int timeoutMs, std::vector<bool>& ready) {
    std::vector<WSAPOLLFD> fds;
    for (const TcpSocket* s : sockets)
        fds.push_back(WSAPOLLFD{s && s->valid() ? Sock(s->handle()) : INVALID_SOCKET, POLLRDNORM, 0});
    ready.assign(sockets.size(), false);
    if (WSAPoll(fds.data(), ULONG(fds.size()), timeoutMs) <= 0) return false;
    bool any = false;
    for (size_t i = 0; i < fds.size(); ++i)
        if (fds[i].revents & (POLLRDNORM | POLLHUP | POLLERR)) ready[i] = any = true;
    return any;
}

} // namespace orn
