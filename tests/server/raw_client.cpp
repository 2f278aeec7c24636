#include "raw_client.h"

#include <QFile>
#include <QThread>
#include <chrono>
#include <csignal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawSocket::~RawSocket() { close(); }

bool RawSocket::connectTo(int port) {
    close();
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        close();
        return false;
    }
    int one = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return true;
}

bool RawSocket::send(const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

static int completeAnswers(const QByteArray &stream) { return int(splitAnswers(stream).size()); }

QByteArray RawSocket::readAnswers(int until, int timeoutMs) {
    QByteArray got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_fd >= 0 && completeAnswers(got) < until) {
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        if (left <= 0) break;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) break;
        char buffer[16384];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        got.append(buffer, n);
    }
    return got;
}

bool RawSocket::closedByPeer(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_fd >= 0) {
        const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        if (left <= 0) return false;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, left) <= 0) return false;
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) return true;
    }
    return true;
}

void RawSocket::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

QList<HttpAnswerText> splitAnswers(const QByteArray &stream) {
    QList<HttpAnswerText> answers;
    qsizetype at = 0;
    for (;;) {
        const qsizetype headEnd = stream.indexOf("\r\n\r\n", at);
        if (headEnd < 0) break;
        const QByteArray head = stream.mid(at, headEnd - at);
        HttpAnswerText a;
        a.status = head.mid(9, 3).toInt();
        qsizetype length = 0;
        for (const QByteArray &line : head.split('\n'))
            if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
        if (stream.size() < headEnd + 4 + length) break;
        a.body = stream.mid(headEnd + 4, length);
        answers.append(a);
        at = headEnd + 4 + length;
    }
    return answers;
}

QByteArray rpcRequest(const QByteArray &body, const QByteArray &token, bool keepAlive) {
    QByteArray r = "POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n";
    if (!token.isEmpty()) r += "Authorization: Bearer " + token + "\r\n";
    if (!keepAlive) r += "Connection: close\r\n";
    r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return r;
}

ServerProcess::~ServerProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ServerProcess::start(const QString &database, const QStringList &extra) {
    m_process.start(QStringLiteral(COT_SERVER_BIN),
                    QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--database"), database} + extra);
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains('\n'); ++i) {
        m_process.waitForReadyRead(200);
        out += m_process.readAllStandardOutput();
    }
    // "cot-server escutando em http(s)://HOST:PORT"; a fingerprint line may follow.
    const QByteArray first = out.left(out.indexOf('\n'));
    m_port = first.mid(first.lastIndexOf(':') + 1).trimmed().toInt();
    return m_port > 0;
}

qint64 ServerProcess::statusKiB(const char *field) const {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid()));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Once the process has ended QProcess reports pid 0, and kill(0, ...) would
// signal this whole process group (the test runner with it).
void ServerProcess::signal(int sig) {
    const pid_t target = pid_t(pid());
    if (target > 0) ::kill(target, sig);
}

bool ServerProcess::waitForExit(int timeoutMs) { return m_process.waitForFinished(timeoutMs); }
