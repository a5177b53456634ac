#include "editor/display_probe.h"

#include <X11/X.h>
#include <X11/Xauth.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Where a display name leads, as Xlib reads it: [protocol/]host:display[.screen].
struct DisplayAddress {
    bool local = false;   // the server's socket in /tmp/.X11-unix
    bool tcpFallback = false;   // a bare ":N" also tries TCP on localhost when the socket fails
    std::string host;
    int display = 0;
};

bool parseDisplayName(const char* name, DisplayAddress& address) {
    if (!name || !*name || *name == '/') return false;   // socket paths are left to Xlib
    std::string text = name, protocol;
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    const size_t slash = text.find('/');
    if (slash != std::string::npos && slash < colon) {
        protocol = text.substr(0, slash);
        text.erase(0, slash + 1);
    }
    const size_t at = text.rfind(':');
    std::string host = text.substr(0, at);
    if (!host.empty() && host.back() == ':') return false;   // DECnet
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    int display = 0, digits = 0;
    for (size_t i = at + 1; i < text.size() && text[i] != '.'; ++i, ++digits) {
        if (text[i] < '0' || text[i] > '9' || display > 59535 / 10) return false;
        display = display * 10 + (text[i] - '0');
    }
    if (digits == 0 || display > 59535) return false;
    if (protocol.empty()) {
        address.local = host.empty() || host == "unix";
        address.tcpFallback = host.empty();
    } else if (protocol == "unix" || protocol == "local") {
        address.local = true;
    } else if (protocol != "tcp" && protocol != "inet" && protocol != "inet6") {
        return false;
    }
    address.host = host.empty() ? "localhost" : host;
    address.display = display;
    return true;
}

int millisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

enum class Reached { Yes, No, TooLate };

// A non-blocking connect that gives up at the deadline.
Reached connectBefore(int fd, const sockaddr* to, socklen_t size, Clock::time_point deadline) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    while (connect(fd, to, size) != 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {   // a local server's queue is full: wait for room
            if (millisecondsLeft(deadline) == 0) return Reached::TooLate;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (errno != EINPROGRESS) return Reached::No;
        pollfd writable{fd, POLLOUT, 0};
        const int ready = poll(&writable, 1, millisecondsLeft(deadline));
        if (ready == 0) return Reached::TooLate;
        int error = 0;
        socklen_t length = sizeof error;
        if (ready < 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return Reached::No;
        return Reached::Yes;
    }
    return Reached::Yes;
}

// A connection setup as Xlib sends it, with the cookie Xlib would find for
// this server (an ssh that forwards the display complains of any other).
std::vector<unsigned char> setupRequest(const sockaddr* to, int display) {
    std::vector<unsigned char> request = {'l', 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    unsigned short family = FamilyLocal;   // local sockets and loopback: cookies filed by host name
    std::string address;
    if (to->sa_family == AF_INET) {
        const in_addr& ip = reinterpret_cast<const sockaddr_in*>(to)->sin_addr;
        if ((ntohl(ip.s_addr) >> 24) != 127) {
            family = FamilyInternet;
            address.assign(reinterpret_cast<const char*>(&ip), 4);
        }
    } else if (to->sa_family == AF_INET6) {
        const in6_addr& ip = reinterpret_cast<const sockaddr_in6*>(to)->sin6_addr;
        if (!IN6_IS_ADDR_LOOPBACK(&ip)) {
            family = FamilyInternet6;
            address.assign(reinterpret_cast<const char*>(&ip), 16);
        }
    }
    if (family == FamilyLocal) {
        char host[256] = {};
        gethostname(host, sizeof host - 1);
        address = host;
    }
    const std::string number = std::to_string(display);
    char cookieName[] = "MIT-MAGIC-COOKIE-1";
    char* names[] = {cookieName};
    int nameLengths[] = {static_cast<int>(sizeof cookieName - 1)};
    Xauth* auth = XauGetBestAuthByAddr(family, static_cast<unsigned short>(address.size()), address.data(),
                                       static_cast<unsigned short>(number.size()), number.data(), 1, names,
                                       nameLengths);
    if (!auth) return request;
    auto append = [&request](const char* bytes, unsigned short length, size_t lengthAt) {
        request[lengthAt] = static_cast<unsigned char>(length & 0xFF);
        request[lengthAt + 1] = static_cast<unsigned char>(length >> 8);
        request.insert(request.end(), bytes, bytes + length);
        request.resize((request.size() + 3) & ~size_t{3});
    };
    append(auth->name, auth->name_length, 6);
    append(auth->data, auth->data_length, 8);
    XauDisposeAuth(auth);
    return request;
}

// Sends a connection setup and waits for any reply: success, refusal or a
// request to authenticate all show a server at work. A closed connection
// counts too; Xlib then fails at once.
bool answersBefore(int fd, const std::vector<unsigned char>& setup, Clock::time_point deadline) {
    if (send(fd, setup.data(), setup.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(setup.size())) return true;
    pollfd readable{fd, POLLIN, 0};
    int ready;
    do ready = poll(&readable, 1, millisecondsLeft(deadline));
    while (ready < 0 && errno == EINTR);
    return ready != 0;
}

// Yes or No as the server answered; No also when nothing was reached at this address.
Reached probe(const sockaddr* to, socklen_t size, int display, Clock::time_point deadline) {
    const int fd = socket(to->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Reached::No;
    Reached reached = connectBefore(fd, to, size, deadline);
    if (reached == Reached::Yes && !answersBefore(fd, setupRequest(to, display), deadline))
        reached = Reached::TooLate;
    close(fd);
    return reached;
}

// The server's socket, in Linux's abstract namespace first as Xlib tries it.
Reached probeLocal(int display, Clock::time_point deadline) {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
    for (const bool abstract : {true, false}) {
        sockaddr_un to = {};
        to.sun_family = AF_UNIX;
        std::memcpy(to.sun_path + abstract, path.c_str(), path.size());
        const socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + abstract + path.size());
        const Reached reached = probe(reinterpret_cast<sockaddr*>(&to), size, display, deadline);
        if (reached != Reached::No) return reached;
    }
    return Reached::No;
}

Reached probeTcp(const std::string& host, int display, Clock::time_point deadline) {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(6000 + display).c_str(), &hints, &found) != 0) return Reached::No;
    Reached reached = Reached::No;
    for (addrinfo* a = found; a && reached == Reached::No; a = a->ai_next)
        reached = probe(a->ai_addr, a->ai_addrlen, display, deadline);
    freeaddrinfo(found);
    return reached;
}

}  // namespace

bool displayAnswers(const char* name, int milliseconds) {
    DisplayAddress address;
    if (!parseDisplayName(name, address)) return true;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    Reached reached = Reached::No;
    if (address.local) reached = probeLocal(address.display, deadline);
    if (reached == Reached::No && (!address.local || address.tcpFallback))
        reached = probeTcp(address.host, address.display, deadline);
    return reached != Reached::TooLate;
}
