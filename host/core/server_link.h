#pragma once
// One HTTP connection to an application server, shared by every TNetConnection
// of a thread that names the same address: the shell's check at start, the
// main screen and the tools it opens all talk over one kept-alive socket, so
// after the first handshake no action pays another. Over a slow link a
// handshake costs a round trip (and with TLS two more).
//
// Internal to host/core: TNetConnection is its only user, and the HTTP library
// stays hidden behind it.

#include "tls_trust.h"

#include <httplib.h>

#include <QString>
#include <chrono>
#include <memory>
#include <mutex>

class ServerLink {
public:
    // This thread's link to HOST:PORT, made on first use and kept until the
    // thread ends; with tls, HTTPS verified by the trust during the handshake
    // (a link per trust: a certificate accepted later makes a new one).
    // None, with a Portuguese reason, when the trust cannot be set up.
    static std::shared_ptr<ServerLink> to(const QString &host, int port, bool tls, const TlsTrust &trust, QString *refusal);

    // What a request gets back; `compressed` when the answer came gzipped
    // (the HTTP library has already inflated the body).
    struct Answer {
        httplib::Result result;
        bool compressed = false;
    };
    Answer post(const std::string &path, const httplib::Headers &headers, const std::string &body, int timeoutMs);
    // Reads /health: true when the server answers 200.
    bool check(int timeoutMs);
    // A request with no body and no work (HEAD /health) after the link has been
    // quiet this long, so neither the server's idle timeout nor a router's
    // state table closes the socket under a desktop left open.
    void keepAlive(std::chrono::milliseconds quietFor);
    // The socket is dropped; the next request opens a new one.
    void drop();
    // Some request on this link has had an answer since it was last dropped:
    // the server is known to be there.
    bool answered() const { return m_answered; }
    // What the server's certificate was found to be at the last handshake
    // (plain HTTP: nothing checked).
    TlsCheck tlsCheck() const { return m_verifier ? m_verifier->check() : TlsCheck(); }

private:
    ServerLink() = default;
    void applyTimeouts(int timeoutMs);
    void used(bool ok);

    mutable std::mutex m_guard;  // one request at a time on the socket
    std::unique_ptr<TlsTrustCheck::Verifier> m_verifier;  // before the client: it outlives the handshakes
    std::unique_ptr<httplib::Client> m_client;
    bool m_answered = false;
    std::chrono::steady_clock::time_point m_lastUse = std::chrono::steady_clock::now();
};
