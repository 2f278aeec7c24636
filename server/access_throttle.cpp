#include "access_throttle.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

// One spelling per address, so "::ffff:127.0.0.1" and "127.0.0.1" are one
// client; empty when the text is not a numeric address.
QByteArray canonical(const QByteArray &given) {
    const QByteArray text = given.trimmed();
    char out[INET6_ADDRSTRLEN] = {};
    in_addr v4{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1) return inet_ntop(AF_INET, &v4, out, sizeof out) ? QByteArray(out) : QByteArray();
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.constData(), &v6) != 1) return {};
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::memcpy(&v4, v6.s6_addr + 12, 4);
        return inet_ntop(AF_INET, &v4, out, sizeof out) ? QByteArray(out) : QByteArray();
    }
    return inet_ntop(AF_INET6, &v6, out, sizeof out) ? QByteArray(out) : QByteArray();
}

}  // namespace

bool AccessThrottle::setTrustedProxies(const QStringList &addresses, QString *error) {
    m_trusted.clear();
    for (const QString &address : addresses) {
        const QByteArray c = canonical(address.toLatin1());
        if (c.isEmpty()) {
            *error = QStringLiteral("Endereço de proxy inválido em --trusted-proxy: \"%1\" (use um endereço numérico).").arg(address);
            return false;
        }
        m_trusted.insert(c);
    }
    return true;
}

QByteArray AccessThrottle::clientOf(const QByteArray &peer, const QByteArray &forwardedFor) const {
    QByteArray client = canonical(peer);
    if (client.isEmpty()) client = peer;
    if (!m_trusted.contains(client)) return client;
    // From the right: each trusted proxy appended the address it saw.
    const QList<QByteArray> hops = forwardedFor.split(',');
    for (auto it = hops.crbegin(); it != hops.crend(); ++it) {
        const QByteArray hop = canonical(*it);
        if (hop.isEmpty()) break;  // not an address: nothing further left is believed
        client = hop;
        if (!m_trusted.contains(hop)) break;
    }
    return client;
}

double AccessThrottle::drained(const Entry &e, Clock::time_point now) const {
    const double seconds = std::chrono::duration<double>(now - e.last).count();
    return std::max(0.0, e.count - seconds / m_policy.drainSeconds);
}

std::optional<int> AccessThrottle::wait(const QByteArray &client, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(m_guard);
    const auto it = m_entries.constFind(client);
    if (it == m_entries.cend()) return std::nullopt;
    // Rounded: a count a moment old has drained a hair below its whole value.
    const double over = double(std::lround(it->count)) - m_policy.freeRefusals;
    if (over < 0) return std::nullopt;
    const int hold = int(std::min<double>(m_policy.maxWaitSeconds, std::pow(2.0, std::min(over, 16.0))));
    const double since = std::chrono::duration<double>(now - it->last).count();
    if (since >= hold) return std::nullopt;
    return std::max(1, int(std::ceil(hold - since)));
}

double AccessThrottle::refused(const QByteArray &client, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(m_guard);
    forgetIdle(now);
    Entry &e = m_entries[client];
    e.count = drained(e, now) + 1;
    e.last = now;
    return e.count;
}

// Entries drained to nothing are dropped now and then, so a stream of
// addresses cannot grow the table without bound.
void AccessThrottle::forgetIdle(Clock::time_point now) {
    if (now - m_lastSweep < std::chrono::minutes(1)) return;
    m_lastSweep = now;
    for (auto it = m_entries.begin(); it != m_entries.end();)
        it = drained(*it, now) <= 0 ? m_entries.erase(it) : std::next(it);
}
