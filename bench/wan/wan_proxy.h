#pragma once
// A TCP proxy on the loopback that delays every byte by a fixed one-way time
// in each direction, as a wide-area link does (its bandwidth is not limited).
// Each accepted connection opens one to the target; connections() counts
// them, so a benchmark can tell the handshakes it paid.

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class WanProxy {
public:
    // Listens on 127.0.0.1 (a free port when 0) and forwards to 127.0.0.1:targetPort.
    WanProxy(int targetPort, int oneWayDelayMs, int listenPort = 0);
    ~WanProxy();
    int port() const { return m_port; }
    int connections() const { return m_connections; }

private:
    void acceptLoop();
    int m_listen = -1;
    int m_port = 0;
    int m_target;
    int m_delayMs;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_acceptor;
    std::vector<std::thread> m_pumps;
};
