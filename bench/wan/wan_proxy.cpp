#include "wan_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

int loopbackSocket(int port, bool listen) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (listen) {
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 64) != 0) {
            ::close(fd);
            return -1;
        }
    } else if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One direction of a connection: what is read from `from` is written to `to`
// once its delay has passed, in order.
struct Direction {
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::pair<Clock::time_point, std::string>> queue;
    bool closed = false;
};

void readInto(int from, Direction &d, std::chrono::milliseconds delay, const std::atomic<bool> &stop) {
    char buffer[65536];
    while (!stop) {
        pollfd p{from, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n <= 0) break;
        std::lock_guard<std::mutex> lock(d.m);
        d.queue.emplace_back(Clock::now() + delay, std::string(buffer, size_t(n)));
        d.cv.notify_one();
    }
    std::lock_guard<std::mutex> lock(d.m);
    d.closed = true;
    d.cv.notify_one();
}

void writeFrom(Direction &d, int to, std::chrono::milliseconds delay) {
    for (;;) {
        std::unique_lock<std::mutex> lock(d.m);
        d.cv.wait(lock, [&] { return d.closed || !d.queue.empty(); });
        if (d.queue.empty()) break;
        auto [due, bytes] = std::move(d.queue.front());
        d.queue.pop_front();
        lock.unlock();
        std::this_thread::sleep_until(due);
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t n = ::send(to, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0) return;
            at += size_t(n);
        }
    }
    // The closing, too, arrives after the delay.
    std::this_thread::sleep_for(delay);
    ::shutdown(to, SHUT_WR);
}

}  // namespace

WanProxy::WanProxy(int targetPort, int oneWayDelayMs, int listenPort) : m_target(targetPort), m_delayMs(oneWayDelayMs) {
    m_listen = loopbackSocket(listenPort, true);
    if (m_listen < 0) return;
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

WanProxy::~WanProxy() {
    m_stop = true;
    if (m_acceptor.joinable()) m_acceptor.join();
    for (std::thread &t : m_pumps) t.join();
    if (m_listen >= 0) ::close(m_listen);
}

void WanProxy::acceptLoop() {
    const std::chrono::milliseconds delay(m_delayMs);
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        const int client = ::accept(m_listen, nullptr, nullptr);
        if (client < 0) continue;
        ++m_connections;
        const int one = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // The handshake to the server crosses the link too: it waits a round trip.
        std::this_thread::sleep_for(2 * delay);
        const int server = loopbackSocket(m_target, false);
        if (server < 0) {
            ::close(client);
            continue;
        }
        m_pumps.emplace_back([this, client, server, delay] {
            Direction up, down;
            std::thread r1(readInto, client, std::ref(up), delay, std::cref(m_stop));
            std::thread w1(writeFrom, std::ref(up), server, delay);
            std::thread r2(readInto, server, std::ref(down), delay, std::cref(m_stop));
            std::thread w2(writeFrom, std::ref(down), client, delay);
            r1.join();
            r2.join();
            w1.join();
            w2.join();
            ::close(client);
            ::close(server);
        });
    }
}
