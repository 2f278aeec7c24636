// Writers racing on the bands of one price table, through one server and
// through two cot-server processes on the same database: the bands must never
// end up overlapping, and no writer may see a storage failure.

#include "server_fixture.h"

#include <rpc_codes.h>

#include <QThread>
#include <QProcess>
#include <QSet>
#include <atomic>
#include <barrier>
#include <mutex>
#include <thread>

namespace {

struct RaceResult {
    std::atomic<int> accepted{0}, refused{0}, other{0};
    std::mutex lock;
    QStringList otherMessages;
};

// In each round every client, released at the same moment, inserts a band of
// its own into one region of the table; all the bands of a round overlap, so
// exactly one of them may get in.
void raceBands(const QVector<int> &ports, const QString &code, int clients, int rounds, RaceResult &result, bool users) {
    std::barrier start(clients);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            TNetConnection net;
            net.Host = QStringLiteral("127.0.0.1");
            net.Port = ports[c % ports.size()];
            net.ThrowException = false;
            net.Open();
            const QVector<FieldDef> fields = users ? ClientFields::usersBand() : ClientFields::systemsBand();
            const QString method = users ? QStringLiteral("setDescUsu") : QStringLiteral("setDescSis");
            for (int r = 0; r < rounds; ++r) {
                // Region of the round: 5r+1 .. 5r+5; every band holds 5r+3.
                const int first = 5 * r + 1 + c % 3, last = 5 * r + 3 + (c / 3) % 3;
                const Row row{code, QStringLiteral("%1").arg(first, 5, 10, QLatin1Char('0')), QStringLiteral("%1").arg(last, 5, 10, QLatin1Char('0')),
                              double(c)};
                Delta d;
                d.fields = fields;
                d.changes.append({DeltaChange::Insert, {}, row});
                start.arrive_and_wait();
                const RpcReply reply = net.Call(method, {d});
                if (reply.ok) {
                    ++result.accepted;
                } else if (reply.errorCode == RpcCode::Refused) {
                    ++result.refused;
                } else {
                    ++result.other;
                    std::lock_guard<std::mutex> g(result.lock);
                    result.otherMessages << QStringLiteral("%1 %2").arg(reply.errorCode).arg(reply.errorMessage);
                }
            }
        });
    }
    for (auto &t : threads) t.join();
}

// The stored bands of a table overlap nowhere.
void expectNoOverlap(const DataPacket &p, const char *first, const char *last) {
    int prevLast = 0;
    for (int i = 0; i < p.rows.size(); ++i) {
        const int f = cell(p, i, first).toInt(), l = cell(p, i, last).toInt();
        EXPECT_GT(f, prevLast) << "faixa " << f << "-" << l << " sobrepõe a anterior, que termina em " << prevLast;
        EXPECT_LE(f, l);
        prevLast = std::max(prevLast, l);
    }
}

// A cot-server process of its own, on the given database.
class ServerProcess {
public:
    explicit ServerProcess(const QString &database) {
        m_process.setProgram(QStringLiteral(COT_SERVER_BIN));
        m_process.setArguments({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--database"), database,
                                QStringLiteral("--threads"), QStringLiteral("6")});
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
    }
    ~ServerProcess() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000)) m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // The port announced on the standard output, or 0.
    int port() {
        if (m_port) return m_port;
        QByteArray out;
        for (int i = 0; i < 100 && !out.contains('\n'); ++i) {
            m_process.waitForReadyRead(200);
            out += m_process.readAllStandardOutput();
            if (m_process.state() == QProcess::NotRunning) break;
        }
        const int colon = out.lastIndexOf(':');
        if (colon > 0) m_port = out.mid(colon + 1).trimmed().toInt();
        return m_port;
    }
    QByteArray errorOutput() { return m_process.readAllStandardError(); }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    int m_port = 0;
};

}  // namespace

class Concurrency : public ServerTest {
protected:
    void adjust(ServerOptions &o) override { o.threads = 8; }
};

TEST_P(Concurrency, RacingWritersThroughOneServerLeaveNoOverlap) {
    const QString code = newPriceTable();
    for (bool users : {false, true}) {
        const int rounds = users ? 30 : 4;
        RaceResult result;
        raceBands({server->port()}, code, 8, rounds, result, users);
        EXPECT_EQ(result.accepted, rounds) << (users ? "usuários" : "sistemas");
        EXPECT_EQ(result.refused, rounds * 7);
        EXPECT_EQ(result.other, 0) << result.otherMessages.join(" | ").toStdString();
    }
    expectNoOverlap(packet(QStringLiteral("getDescSis"), {code}), "QTINISISTEMAS", "QTFINSISTEMAS");
    expectNoOverlap(packet(QStringLiteral("getDescUsu"), {code}), "QTINIUSUARIOS", "QTFINUSUARIOS");
}

TEST_P(Concurrency, RacingWritersThroughTwoServerProcessesLeaveNoOverlap) {
    const QString code = newPriceTable();
    ServerProcess one(databaseName()), two(databaseName());
    const int p1 = one.port(), p2 = two.port();
    ASSERT_GT(p1, 0) << one.errorOutput().toStdString();
    ASSERT_GT(p2, 0) << two.errorOutput().toStdString();
    for (bool users : {false, true}) {
        const int rounds = users ? 30 : 4;
        RaceResult result;
        raceBands({p1, p2}, code, 8, rounds, result, users);
        EXPECT_EQ(result.accepted, rounds) << (users ? "usuários" : "sistemas");
        EXPECT_EQ(result.refused, rounds * 7);
        EXPECT_EQ(result.other, 0) << result.otherMessages.join(" | ").toStdString();
    }
    expectNoOverlap(packet(QStringLiteral("getDescSis"), {code}), "QTINISISTEMAS", "QTFINSISTEMAS");
    expectNoOverlap(packet(QStringLiteral("getDescUsu"), {code}), "QTINIUSUARIOS", "QTFINUSUARIOS");
}

TEST_P(Concurrency, CodesAndNumbersAreUniqueAcrossProcesses) {
    ServerProcess one(databaseName()), two(databaseName());
    const QVector<int> ports{server->port(), one.port(), two.port()};
    ASSERT_GT(ports[1], 0);
    ASSERT_GT(ports[2], 0);
    std::mutex lock;
    QStringList codes, numbers;
    std::vector<std::thread> threads;
    for (int c = 0; c < 6; ++c) {
        threads.emplace_back([&, c] {
            TNetConnection net;
            net.Host = QStringLiteral("127.0.0.1");
            net.Port = ports[c % ports.size()];
            for (int i = 0; i < 25; ++i) {
                const RpcReply code = net.Call(QStringLiteral("PrxPrecoProp"), {});
                const RpcReply number = net.Call(QStringLiteral("GetMaxOperTipoServ"), {});
                std::lock_guard<std::mutex> g(lock);
                codes << (code.ok ? code.data.toString() : QStringLiteral("erro"));
                numbers << (number.ok ? QString::number(PacketCodec::packetFromJson(number.data).rows.value(0).value(0).toDouble())
                                      : QStringLiteral("erro"));
            }
        });
    }
    for (auto &t : threads) t.join();
    EXPECT_FALSE(codes.contains(QStringLiteral("erro")));
    EXPECT_FALSE(numbers.contains(QStringLiteral("erro")));
    EXPECT_EQ(QSet<QString>(codes.begin(), codes.end()).size(), 150);
    EXPECT_EQ(QSet<QString>(numbers.begin(), numbers.end()).size(), 150);
}

// SQLite: the server copies its write-ahead log back in a thread of its own;
// under writes that never pause the log must still start over, not grow.
TEST_P(Concurrency, UnderSteadyWritesTheSqliteLogStaysBounded) {
    if (isPostgres()) GTEST_SKIP() << "SQLite only";
    const int writers = 4;
    QStringList codes;
    for (int c = 0; c < writers; ++c) codes << newPriceTable();
    std::atomic<bool> stop{false};
    std::atomic<int> written{0}, failed{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < writers; ++c)
        threads.emplace_back([&, c] {
            TNetConnection client;
            client.Host = QStringLiteral("127.0.0.1");
            client.Port = server->port();
            client.ThrowException = false;
            client.Open();
            // One band inserted, then deleted again, over and over.
            const Row band{codes[c], QStringLiteral("00001"), QStringLiteral("00001"), 5.0};
            for (bool present = false; !stop; present = !present) {
                Delta d;
                d.fields = ClientFields::systemsBand();
                d.changes.append(present ? DeltaChange{DeltaChange::Delete, band, {}} : DeltaChange{DeltaChange::Insert, {}, band});
                ++(client.Call(QStringLiteral("setDescSis"), {d}).ok ? written : failed);
            }
        });
    // Frames in the log since it last started over, looked at while the writes go on
    // (a passive checkpoint from here copies, it never starts the log over).
    // 4,000 writes leave about 30,000 frames in a log that never starts over.
    int most = 0;
    for (int i = 0; i < 200 && written < 4000; ++i) {
        QThread::msleep(50);
        most = std::max(most, database().checkpointWal(false).frames);
    }
    stop = true;
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(failed, 0);
    EXPECT_GE(written, 4000);
    EXPECT_LT(most, 20000) << written;
}

COT_BOTH_BACKENDS(Concurrency);
