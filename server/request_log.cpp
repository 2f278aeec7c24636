#include "request_log.h"

#include "local_clock.h"

#include <charconv>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <cerrno>
#include <unistd.h>

namespace {

// About ten thousand lines: enough to ride out a slow reader, small enough
// that a reader gone for good costs little memory.
constexpr qsizetype kMaxQueued = 1024 * 1024;
// Lines go out at least this often, or as soon as this much is waiting.
constexpr int kPeriodMs = 20;
constexpr qsizetype kWakeAt = 32 * 1024;

class Writer {
public:
    Writer() { std::thread([this] { run(); }).detach(); }

    void write(const QByteArray &line) {
        bool wake = false;
        {
            std::lock_guard<std::mutex> g(m_lock);
            if (m_queued.size() + line.size() > kMaxQueued) {
                ++m_dropped;
                return;
            }
            m_queued += line;
            // The writer wakes by itself every few milliseconds; waking it for
            // each line cost a thread switch per request.
            wake = m_queued.size() >= kWakeAt || m_flushing;
        }
        if (wake) m_wake.notify_one();
    }

    void flush(int timeoutMs) {
        std::unique_lock<std::mutex> g(m_lock);
        const quint64 target = m_enqueuedUpTo();
        m_flushing = true;
        m_wake.notify_one();
        m_written.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return m_done >= target; });
        m_flushing = false;
    }

private:
    // Bytes ever queued (written, being written, or waiting).
    quint64 m_enqueuedUpTo() const { return m_taken + quint64(m_queued.size()); }

    void run() {
        for (;;) {
            QByteArray batch;
            {
                std::unique_lock<std::mutex> g(m_lock);
                m_wake.wait_for(g, std::chrono::milliseconds(kPeriodMs), [&] { return m_queued.size() >= kWakeAt || m_flushing || m_dropped > 0; });
                if (m_queued.isEmpty() && m_dropped == 0) continue;
                if (m_dropped > 0) {
                    m_queued += "cot-server: " + QByteArray::number(m_dropped) +
                                " linhas do registro descartadas: a saída de erros não estava sendo lida\n";
                    m_dropped = 0;
                }
                batch.swap(m_queued);
                m_taken += quint64(batch.size());
            }
            writeAll(batch);
            {
                std::lock_guard<std::mutex> g(m_lock);
                m_done += quint64(batch.size());
            }
            m_written.notify_all();
        }
    }

    // Blocks only this thread when the reader is slow; gives up on a closed output.
    static void writeAll(const QByteArray &bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(STDERR_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            done += n;
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake, m_written;
    QByteArray m_queued;
    quint64 m_dropped = 0;
    quint64 m_taken = 0, m_done = 0;
    bool m_flushing = false;
};

// Never destroyed: its thread may still be blocked on the output at exit.
Writer &writer() {
    static Writer *w = new Writer;
    return *w;
}

}  // namespace

namespace RequestLog {

void write(const QByteArray &line) { writer().write(line); }

void flush(int timeoutMs) { writer().flush(timeoutMs); }

void entry(QByteArrayView what, double ms, QByteArrayView outcome) {
    QByteArray line;
    line.reserve(96 + what.size() + outcome.size());
    LocalClock::appendLogStamp(line);
    line += " cot-server ";
    line += what;
    line += ' ';
    if (ms >= 0) {
        char buffer[32];
        const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, ms, std::chars_format::fixed, 2);
        line.append(buffer, r.ptr - buffer);
        line += "ms";
    } else line += '-';
    line += ' ';
    line += outcome;
    line += '\n';
    RequestLog::write(line);
}

}  // namespace RequestLog
