#pragma once
// A bare TCP client for tests that speak HTTP the way a hostile or broken
// client would: partial headers, pipelined requests, bodies the server must
// refuse, sockets left open. And a real cot-server process, for what only a
// process shows (its memory, its signals).

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class RawSocket {
public:
    RawSocket() = default;
    explicit RawSocket(int port) { connectTo(port); }
    ~RawSocket();
    RawSocket(RawSocket &&other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    RawSocket(const RawSocket &) = delete;
    RawSocket &operator=(const RawSocket &) = delete;

    bool connectTo(int port);
    bool isOpen() const { return m_fd >= 0; }
    // False when the peer closed or reset the connection.
    bool send(const QByteArray &bytes);
    // Everything readable within timeoutMs, until `until` answers are complete
    // (counted by their status lines and Content-Length) or the peer closes.
    QByteArray readAnswers(int until, int timeoutMs);
    // True when the peer closed the connection within timeoutMs.
    bool closedByPeer(int timeoutMs);
    void close();

private:
    int m_fd = -1;
};

// The status codes and bodies of the answers in a stream, in order.
struct HttpAnswerText {
    int status = 0;
    QByteArray body;
};
QList<HttpAnswerText> splitAnswers(const QByteArray &stream);

QByteArray rpcRequest(const QByteArray &body, const QByteArray &token = QByteArray(), bool keepAlive = true);

class ServerProcess {
public:
    ~ServerProcess();
    // Starts cot-server on a free port with these extra arguments; the port is read from its first line.
    bool start(const QString &database, const QStringList &extra = {});
    int port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    // A field of /proc/PID/status in KiB (VmRSS, VmHWM), or -1.
    qint64 statusKiB(const char *field) const;
    void signal(int sig);
    // Waits for the process to end; false when it is still running after timeoutMs.
    bool waitForExit(int timeoutMs);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QString errorText() { return QString::fromUtf8(m_process.readAllStandardError()); }

private:
    QProcess m_process;
    int m_port = 0;
};
