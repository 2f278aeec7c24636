// The HTTP layer under hostile and heavy use.
//
//   1. Idle and slow clients hold no worker: a normal call answers beside them.
//   2. Body limits hold before and while the body arrives, whatever its framing;
//      the key is checked before the body is read.
//   3. Pipelined requests are all answered, in order.
//   4. SIGTERM finishes what is under way and exits promptly; a second one at once.
//   5. What a caller reads is Portuguese, also for unreadable JSON.
//   6. /health answers ok only when the schema really reads.
//   7. GET /openrpc.json describes the method registry, with an absolute server URL;
//      a notification (no id) runs and gets 204 without a body.

#include "raw_client.h"
#include "server_fixture.h"

#include <methods/methods.h>
#include <rpc_codes.h>
#include <rpc_dispatcher.h>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <csignal>
#include <thread>

namespace {

const QByteArray kToken = "chave-de-teste-http-0123456789";

QByteArray getTbPreco(int id) { return QByteArray(R"({"jsonrpc":"2.0","id":)") + QByteArray::number(id) + R"(,"method":"getTbPreco","params":[]})"; }

int answerId(const HttpAnswerText &a) { return QJsonDocument::fromJson(a.body).object().value("id").toInt(); }

QString tokenFile(const QTemporaryDir &dir) {
    QFile f(dir.filePath(QStringLiteral("token")));
    f.open(QIODevice::WriteOnly);
    f.write(kToken);
    return f.fileName();
}

}  // namespace

class Http : public ServerTest {};

// 1 ------------------------------------------------------------------------
TEST_P(Http, IdleAndSlowHeaderConnectionsLeaveACallAnsweredWithinASecond) {
    std::vector<RawSocket> idle, slow;
    for (int i = 0; i < 16; ++i) {
        // A desktop host that called once and keeps its connection.
        idle.emplace_back(server->port());
        ASSERT_TRUE(idle.back().send(rpcRequest(getTbPreco(i))));
        ASSERT_EQ(splitAnswers(idle.back().readAnswers(1, 5000)).size(), 1);
        slow.emplace_back(server->port());
        ASSERT_TRUE(slow.back().send("POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: x\r\n"));
    }
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        while (!done) {
            for (RawSocket &s : slow) s.send("X");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        QElapsedTimer t;
        t.start();
        auto fresh = connect();
        const RpcReply r = fresh->Call(QStringLiteral("getTbPreco"), {});
        EXPECT_TRUE(r.ok) << r.errorMessage.toStdString();
        EXPECT_LT(t.elapsed(), 1000);
    }
    done = true;
    trickle.join();
}

// 2 ------------------------------------------------------------------------
class HttpLimitsTest : public ServerTest {
protected:
    void adjust(ServerOptions &o) override {
        o.token = QString::fromLatin1(kToken);
        o.maxBodyBytes = 64 * 1024;
    }
};

TEST_P(HttpLimitsTest, AWrongKeyIsRefusedBeforeTheBodyIsRead) {
    for (const QByteArray &auth : {QByteArray(), QByteArray("Authorization: Bearer outra\r\n")}) {
        RawSocket s(server->port());
        // Announces a body and sends none: the answer must not wait for it.
        ASSERT_TRUE(s.send("POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: x\r\n" + auth + "Content-Length: 60000\r\n\r\n"));
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 2000));
        ASSERT_EQ(a.size(), 1);
        EXPECT_EQ(a[0].status, 401);
        EXPECT_TRUE(QJsonDocument::fromJson(a[0].body).object().value("error").toObject().value("message").toString().contains("chave"));
    }
}

TEST_P(HttpLimitsTest, AnAnnouncedLengthOverTheLimitIsAnswered413AtOnceAndABadOne400) {
    // A body over the limit that is worth reading is read (and dropped) before
    // the 413, so the 70000 bytes go too; one past that is answered at once.
    struct Case {
        QByteArray length;
        int status;
        QByteArray body;
    };
    for (const Case &c : {Case{"70000", 413, QByteArray(70000, ' ')}, Case{"99999999999999999999", 413, {}}, Case{"-5", 400, {}},
                          Case{"12abc", 400, {}}}) {
        SCOPED_TRACE(c.length.toStdString());
        RawSocket s(server->port());
        ASSERT_TRUE(s.send("POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + kToken +
                           "\r\nContent-Length: " + c.length + "\r\n\r\n" + c.body));
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 2000));
        ASSERT_EQ(a.size(), 1);
        EXPECT_EQ(a[0].status, c.status);
    }
}

TEST_P(HttpLimitsTest, CompressedBodiesAreRefusedWith415) {
    for (const char *encoding : {"gzip", "deflate", "br"}) {
        SCOPED_TRACE(encoding);
        RawSocket s(server->port());
        const QByteArray body = getTbPreco(1);
        ASSERT_TRUE(s.send("POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + kToken +
                           "\r\nContent-Encoding: " + encoding + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body));
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 2000));
        ASSERT_EQ(a.size(), 1);
        EXPECT_EQ(a[0].status, 415);
    }
}

TEST_P(HttpLimitsTest, AChunkedBodyPastTheLimitIsCutOffAndASmallOneAnswered) {
    // Within the limit, chunked framing is fine.
    {
        RawSocket s(server->port());
        const QByteArray body = getTbPreco(5);
        ASSERT_TRUE(s.send("POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + kToken +
                           "\r\nTransfer-Encoding: chunked\r\n\r\n" + QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n"));
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 2000));
        ASSERT_EQ(a.size(), 1);
        EXPECT_EQ(a[0].status, 200);
        EXPECT_EQ(answerId(a[0]), 5);
    }
    // Past it, the server stops reading: the connection ends long before 1 MiB is sent.
    RawSocket s(server->port());
    ASSERT_TRUE(s.send("POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + kToken +
                       "\r\nTransfer-Encoding: chunked\r\n\r\n"));
    const QByteArray chunk = "4000\r\n" + QByteArray(0x4000, ' ') + "\r\n";
    int sent = 0;
    for (; sent < 64 && s.send(chunk); ++sent) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(sent < 64 || s.closedByPeer(2000)) << sent;
    auto fresh = connect(QString::fromLatin1(kToken));
    EXPECT_TRUE(fresh->Call(QStringLiteral("getTbPreco"), {}).ok);
}

TEST_P(HttpLimitsTest, HugeBodiesWithoutAndWithTheKeyLeaveTheProcessMemoryFlat) {
    QTemporaryDir dir;
    ServerProcess p;
    ASSERT_TRUE(p.start(databaseName(), {QStringLiteral("--token-file"), tokenFile(dir), QStringLiteral("--max-body"), QStringLiteral("1048576")}));
    {  // warm up: one real call loads the drivers and the statements
        RawSocket s(p.port());
        s.send(rpcRequest(getTbPreco(1), kToken));
        ASSERT_EQ(splitAnswers(s.readAnswers(1, 5000)).value(0).status, 200);
    }
    const qint64 before = p.statusKiB("VmHWM");
    ASSERT_GT(before, 0);
    // Four clients at once, each pushing 32 MiB chunked, without a key and with one.
    std::vector<std::thread> clients;
    for (int i = 0; i < 4; ++i)
        clients.emplace_back([&, i] {
            RawSocket s(p.port());
            const QByteArray auth = i % 2 ? "Authorization: Bearer " + kToken + "\r\n" : QByteArray();
            if (!s.send("POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: x\r\n" + auth + "Transfer-Encoding: chunked\r\n\r\n")) return;
            const QByteArray chunk = "100000\r\n" + QByteArray(0x100000, 'a') + "\r\n";
            for (int c = 0; c < 32 && s.send(chunk); ++c) {
            }
        });
    for (std::thread &t : clients) t.join();
    const qint64 after = p.statusKiB("VmHWM");
    EXPECT_LT(after - before, 6 * 1024) << "pico de memória antes " << before << " KiB, depois " << after << " KiB";
    RawSocket s(p.port());
    s.send(rpcRequest(getTbPreco(2), kToken));
    EXPECT_EQ(splitAnswers(s.readAnswers(1, 5000)).value(0).status, 200);
}

// 3 ------------------------------------------------------------------------
TEST_P(Http, PipelinedRequestsAreAllAnsweredInOrder) {
    newPriceTable();
    RawSocket s(server->port());
    QByteArray burst;
    for (int id = 1; id <= 5; ++id) burst += id == 3 ? rpcRequest("{\"jsonrpc\":\"2.0\",\"id\":3,\"method\":") : rpcRequest(getTbPreco(id));
    ASSERT_TRUE(s.send(burst));
    const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(5, 5000));
    ASSERT_EQ(a.size(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a[i].status, 200);
        if (i != 2) EXPECT_EQ(answerId(a[i]), i + 1);
    }
    EXPECT_EQ(QJsonDocument::fromJson(a[2].body).object().value("error").toObject().value("code").toInt(), RpcCode::ParseError);
}

// 4 ------------------------------------------------------------------------
TEST_P(Http, SigtermWithIdleAndTricklingClientsExitsWithinTwoSeconds) {
    ServerProcess p;
    ASSERT_TRUE(p.start(databaseName()));
    std::vector<RawSocket> idle;
    for (int i = 0; i < 8; ++i) {
        idle.emplace_back(p.port());
        idle.back().send(rpcRequest(getTbPreco(i)));
        ASSERT_EQ(splitAnswers(idle.back().readAnswers(1, 5000)).size(), 1);
    }
    RawSocket trickler(p.port());
    trickler.send("POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\n");
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        while (!done) {
            trickler.send("X");
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    QElapsedTimer t;
    t.start();
    p.signal(SIGTERM);
    const bool exited = p.waitForExit(2000);
    const qint64 ms = t.elapsed();
    done = true;
    trickle.join();
    EXPECT_TRUE(exited) << ms << " ms";
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    for (RawSocket &s : idle) EXPECT_TRUE(s.closedByPeer(500));
}

TEST_P(Http, ASecondSigtermExitsAtOnceAndTheDatabaseKeepsWholeTransactions) {
    if (isPostgres()) GTEST_SKIP() << "o bloqueio de escrita do teste usa o arquivo SQLite";
    const QString code = newPriceTable();
    ServerProcess p;
    ASSERT_TRUE(p.start(databaseName()));
    // Another process holds the write lock: the server's write waits on it.
    exec(QStringLiteral("BEGIN IMMEDIATE"));
    RawSocket writer(p.port());
    // Handing out a code is a write: it waits on the lock.
    const QByteArray write = R"({"jsonrpc":"2.0","id":9,"method":"PrxPrecoProp","params":[]})";
    ASSERT_TRUE(writer.send(rpcRequest(write)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    p.signal(SIGTERM);
    EXPECT_FALSE(p.waitForExit(700)) << "the first SIGTERM waits for the write under way";
    QElapsedTimer t;
    t.start();
    p.signal(SIGTERM);
    EXPECT_TRUE(p.waitForExit(1000));
    EXPECT_LT(t.elapsed(), 1000);
    exec(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {code}), 1);
}

// 5 ------------------------------------------------------------------------
TEST_P(Http, UnreadableJsonIsExplainedInPortuguese) {
    struct Case {
        QByteArray body;
        const char *says;
    };
    for (const Case &c : {Case{"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":", "objeto não terminado"}, Case{"{\"a\" 1}", "falta \":\""},
                          Case{"[1 2]", "falta \",\""}, Case{"{\"a\":tru}", "valor inválido"}, Case{"{\"a\":\"x}", "não terminado"},
                          Case{"{} x", "depois do fim"}}) {
        SCOPED_TRACE(c.body.toStdString());
        RawSocket s(server->port());
        s.send(rpcRequest(c.body));
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 3000));
        ASSERT_EQ(a.size(), 1);
        const QString message = QJsonDocument::fromJson(a[0].body).object().value("error").toObject().value("message").toString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.says))) << message.toStdString();
        for (const char *english : {"illegal", "unterminated", "missing", "garbage", "value"})
            EXPECT_FALSE(message.contains(QLatin1String(english), Qt::CaseInsensitive)) << message.toStdString();
    }
}

TEST_P(Http, ErrorRepliesKeepDoubleQuotesInTheirText) {
    // The method name comes back in the message, quotes and backslashes intact.
    RawSocket s(server->port());
    s.send(rpcRequest(R"({"jsonrpc":"2.0","id":1,"method":"a\"b\\c","params":[]})"));
    const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 3000));
    ASSERT_EQ(a.size(), 1);
    const QString message = QJsonDocument::fromJson(a[0].body).object().value("error").toObject().value("message").toString();
    EXPECT_TRUE(message.contains(QStringLiteral("\"a\"b\\c\""))) << message.toStdString();
    // Refusals of the HTTP layer are JSON too.
    RawSocket other(server->port());
    other.send("GET /nada HTTP/1.1\r\nHost: x\r\n\r\n");
    const QList<HttpAnswerText> b = splitAnswers(other.readAnswers(1, 3000));
    ASSERT_EQ(b.size(), 1);
    EXPECT_EQ(b[0].status, 404);
    EXPECT_FALSE(QJsonDocument::fromJson(b[0].body).object().value("error").toObject().value("message").toString().isEmpty());
}

// 6 ------------------------------------------------------------------------
TEST_P(Http, HealthIs503OverADamagedDatabaseFile) {
    if (isPostgres()) GTEST_SKIP() << "o dano é escrito no arquivo SQLite";
    const QString code = newPriceTable();
    addBands(true, code, {{1, 5, 0}, {6, 20, 10}});
    auto health = [&] {
        RawSocket s(server->port());
        s.send("GET /health HTTP/1.1\r\nHost: x\r\n\r\n");
        return splitAnswers(s.readAnswers(1, 3000)).value(0).status;
    };
    ASSERT_EQ(health(), 200);
    QFile file(databaseName());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    ASSERT_GT(size, 8192);
    file.seek(4096);
    file.write(QByteArray(size - 4096, char(0xA5)));
    file.close();
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(health(), 503);
    }
}

// 7 ------------------------------------------------------------------------
TEST_P(Http, OpenRpcDocumentDescribesEveryRegisteredMethodAndNothingElse) {
    MethodRegistry registry;
    Methods::registerAll(registry);
    RawSocket s(server->port());
    s.send("GET /openrpc.json HTTP/1.1\r\nHost: x\r\n\r\n");
    const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 3000));
    ASSERT_EQ(a.size(), 1);
    ASSERT_EQ(a[0].status, 200);
    const QJsonObject doc = QJsonDocument::fromJson(a[0].body).object();
    EXPECT_FALSE(doc.value("openrpc").toString().isEmpty());
    QStringList described;
    QHash<QString, QJsonObject> byName;
    for (const QJsonValue &m : doc.value("methods").toArray()) {
        described << m.toObject().value("name").toString();
        byName.insert(described.last(), m.toObject());
    }
    QStringList registered = registry.names();
    registered.sort();
    described.sort();
    EXPECT_EQ(described, registered);
    for (const QString &name : registered) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(byName[name].value("params").toArray().size(), registry.find(name)->args.size());
    }
    // By-reference arguments and what comes back, as the module relies on them.
    auto byRef = [&](const char *method, int i) {
        return byName[QLatin1String(method)].value("params").toArray().at(i).toObject().value("x-by-reference").toBool();
    };
    EXPECT_TRUE(byRef("getQtMaxFin", 1));
    EXPECT_FALSE(byRef("getQtMaxFin", 0));
    EXPECT_TRUE(byRef("getLuSist", 0));
    EXPECT_TRUE(byRef("Insere_OperDesc", 6));
    EXPECT_FALSE(byRef("Insere_OperDesc", 2));
    auto data = [&](const char *method) {
        return byName[QLatin1String(method)].value("result").toObject().value("schema").toObject().value("properties").toObject().value("data").toObject();
    };
    EXPECT_EQ(data("PrxPrecoProp").value("type").toString(), "string");
    EXPECT_EQ(data("setDescSis").value("type").toString(), "null");
    EXPECT_TRUE(data("getDescSis").value("$ref").toString().endsWith("DataPacket"));
    QList<int> codes;
    for (const QJsonValue &e : doc.value("components").toObject().value("errors").toObject()) codes << e.toObject().value("code").toInt();
    for (int code : {RpcCode::ParseError, RpcCode::InvalidRequest, RpcCode::MethodNotFound, RpcCode::InvalidParams, RpcCode::Refused,
                     RpcCode::Conflict, RpcCode::Storage})
        EXPECT_TRUE(codes.contains(code)) << code;
}

TEST_P(Http, TheDescriptionNamesTheServerAsReachedAndANotificationGetsNoAnswer) {
    const QByteArray path = "/rpc/Cot00300.rdmTbPreProCom";
    const QByteArray loopback = "http://127.0.0.1:" + QByteArray::number(server->port()) + path;
    for (const auto &[host, url] : {std::pair<QByteArray, QByteArray>{"cot.example:8300", "http://cot.example:8300" + path},
                                    {"[::1]:8300", "http://[::1]:8300" + path},
                                    {"x\"}, \"y", loopback}}) {
        SCOPED_TRACE(host.toStdString());
        RawSocket s(server->port());
        s.send("GET /openrpc.json HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 3000));
        ASSERT_EQ(a.size(), 1);
        const QJsonObject doc = QJsonDocument::fromJson(a[0].body).object();
        EXPECT_EQ(doc.value("servers").toArray().at(0).toObject().value("url").toString().toUtf8(), url);
    }
    // A notification runs (the code it takes is not handed out again) and is not answered.
    RawSocket s(server->port());
    s.send(rpcRequest(R"({"jsonrpc":"2.0","method":"PrxPrecoProp","params":[]})"));
    const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 3000));
    ASSERT_EQ(a.size(), 1);
    EXPECT_EQ(a[0].status, 204);
    EXPECT_TRUE(a[0].body.isEmpty());
    EXPECT_EQ(call(QStringLiteral("PrxPrecoProp")).data.toString(), QStringLiteral("0000000002"));
}

COT_BOTH_BACKENDS(Http);
COT_BOTH_BACKENDS(HttpLimitsTest);
