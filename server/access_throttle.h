#pragma once
// Slows down whoever guesses keys, and only them. Refused keys are counted per
// client: the connection's address, or, on a connection from a proxy named
// trusted (--trusted-proxy), the address that proxy put in X-Forwarded-For.
// A valid key does not clear the count (a guesser holding one key of his own
// gains nothing by mixing it in); the count drains with time instead, one
// refusal forgiven every `drainSeconds`. Past `freeRefusals`, the client waits
// a time that doubles with each further refusal, up to a minute, before any
// key of it is looked at again.

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <chrono>
#include <mutex>
#include <optional>

class AccessThrottle {
public:
    using Clock = std::chrono::steady_clock;

    struct Policy {
        double freeRefusals = 5;
        double drainSeconds = 30;
        int maxWaitSeconds = 60;
    };

    AccessThrottle() = default;
    explicit AccessThrottle(Policy policy) : m_policy(policy) {}

    // Addresses of proxies whose X-Forwarded-For is believed. False when one
    // is not a numeric address.
    bool setTrustedProxies(const QStringList &addresses, QString *error);

    // Who is asking: `peer` itself, unless it is a trusted proxy; then the
    // nearest address in X-Forwarded-For that is not a trusted proxy.
    QByteArray clientOf(const QByteArray &peer, const QByteArray &forwardedFor) const;

    // The seconds this client must still wait before a key of it is looked
    // at; nothing when it may try now.
    std::optional<int> wait(const QByteArray &client, Clock::time_point now = Clock::now());
    // Counts a refused key of this client; returns the count after it.
    double refused(const QByteArray &client, Clock::time_point now = Clock::now());

private:
    struct Entry {
        double count = 0;
        Clock::time_point last{};
    };
    double drained(const Entry &e, Clock::time_point now) const;
    void forgetIdle(Clock::time_point now);

    Policy m_policy;
    QSet<QByteArray> m_trusted;
    std::mutex m_guard;
    QHash<QByteArray, Entry> m_entries;
    Clock::time_point m_lastSweep{};
};
