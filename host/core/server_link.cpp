#include "server_link.h"

#include <QHash>

std::shared_ptr<ServerLink> ServerLink::to(const QString &host, int port, bool tls, const TlsTrust &trust, QString *refusal) {
    // One set per thread: the desktop's connections all live on its GUI
    // thread and share; a worker thread (a test, a tool) gets its own
    // sockets, never waits on another thread's call, and closes them when
    // it ends.
    thread_local QHash<QString, std::shared_ptr<ServerLink>> links;
    const QString key = tls ? QStringLiteral("https://%1:%2 %3 %4").arg(host).arg(port).arg(trust.caFile, trust.pinnedFingerprint)
                            : QStringLiteral("http://%1:%2").arg(host).arg(port);
    std::shared_ptr<ServerLink> &kept = links[key];
    if (kept) return kept;
    std::shared_ptr<ServerLink> link(new ServerLink);
    if (tls) {
        const QString name = host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')) ? '[' + host + ']' : host;
        link->m_client = std::make_unique<httplib::Client>(QStringLiteral("https://%1:%2").arg(name).arg(port).toStdString());
        link->m_client->enable_server_certificate_verification(false);  // the verifier checks, during the handshake
        link->m_verifier = std::make_unique<TlsTrustCheck::Verifier>(host, trust);
        if (!link->m_verifier->configure(link->m_client->ssl_context(), refusal)) return nullptr;
    } else {
        link->m_client = std::make_unique<httplib::Client>(host.toStdString(), port);
    }
    link->m_client->set_keep_alive(true);
    link->m_client->set_tcp_nodelay(true);
    // The library inflates gzipped answers itself; the header is ours to send.
    link->m_client->set_decompress(true);
    kept = link;
    return link;
}

void ServerLink::applyTimeouts(int timeoutMs) {
    m_client->set_connection_timeout(std::chrono::milliseconds(std::min(timeoutMs, 5000)));
    m_client->set_read_timeout(std::chrono::milliseconds(timeoutMs));
    m_client->set_write_timeout(std::chrono::milliseconds(timeoutMs));
}

void ServerLink::used(bool ok) {
    m_answered = ok;
    m_lastUse = std::chrono::steady_clock::now();
}

ServerLink::Answer ServerLink::post(const std::string &path, const httplib::Headers &headers, const std::string &body, int timeoutMs) {
    std::lock_guard<std::mutex> lock(m_guard);
    applyTimeouts(timeoutMs);
    httplib::Headers all = headers;
    all.emplace("Accept-Encoding", "gzip");
    Answer a{m_client->Post(path.c_str(), all, body, "application/json")};
    a.compressed = a.result && a.result->get_header_value("Content-Encoding") == "gzip";
    used(bool(a.result));
    if (!a.result) m_client->stop();
    return a;
}

bool ServerLink::check(int timeoutMs) {
    std::lock_guard<std::mutex> lock(m_guard);
    applyTimeouts(timeoutMs);
    auto res = m_client->Get("/health");
    used(res && res->status == 200);
    if (!res) m_client->stop();
    return m_answered;
}

void ServerLink::keepAlive(std::chrono::milliseconds quietFor) {
    std::unique_lock<std::mutex> lock(m_guard, std::try_to_lock);
    // Busy is alive; never dialled or dropped has nothing to keep.
    if (!lock.owns_lock() || !m_answered || std::chrono::steady_clock::now() - m_lastUse < quietFor) return;
    applyTimeouts(5000);
    auto res = m_client->Head("/health");
    used(bool(res));
    if (!res) m_client->stop();
}

void ServerLink::drop() {
    std::lock_guard<std::mutex> lock(m_guard);
    m_client->stop();
    m_answered = false;
}
