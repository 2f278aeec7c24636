// The desktop's connection used from a plain thread with no Qt event loop (the
// scale benchmark's clients, integrations) against a cot-server process whose
// log nobody reads meanwhile: such a caller's QProcess never drains the pipe,
// and a server that waited for its log to be read stopped answering after
// about a thousand calls. Every call must answer.

#include "server_fixture.h"

#include <QProcess>
#include <thread>

namespace {

class ClientThreadTest : public ServerTest {};

TEST_P(ClientThreadTest, ManyCallsAnswerWhileNobodyReadsTheServerLog) {
    const QString code = newPriceTable();
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral(COT_SERVER_BIN), {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--database"), databaseName()});
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains('\n'); ++i) {
        p.waitForReadyRead(200);
        out += p.readAllStandardOutput();
    }
    const int port = out.mid(out.lastIndexOf(':') + 1).trimmed().toInt();
    ASSERT_GT(port, 0) << out.toStdString();

    constexpr int kCalls = 4000;  // several pipe buffers of log lines
    int ok = 0;
    QString firstFailure;
    std::thread client([&] {
        TNetConnection c;
        c.Host = QStringLiteral("127.0.0.1");
        c.Port = port;
        c.ThrowException = false;
        c.TimeoutMs = 4000;  // a stall ends a call as a failure instead of hanging the test
        for (int i = 0; i < kCalls && firstFailure.isEmpty(); ++i) {
            const RpcReply r = c.Call(QStringLiteral("getDescSis"), {code});
            if (r.ok) ++ok;
            else firstFailure = QStringLiteral("chamada %1: %2").arg(i).arg(r.errorMessage);
        }
    });
    client.join();
    EXPECT_EQ(ok, kCalls) << qPrintable(firstFailure);

    p.terminate();
    EXPECT_TRUE(p.waitForFinished(10000));
    EXPECT_TRUE(p.readAllStandardError().contains(" rpc getDescSis "));
}

COT_BOTH_BACKENDS(ClientThreadTest);

}  // namespace
