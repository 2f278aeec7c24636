#include "apply_changes.h"
#include "client_table.h"
#include "errors.h"
#include "net_connection.h"
#include "recording_dialogs.h"
#include "rpc_codes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <httplib.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// A small JSON-RPC endpoint on loopback that answers like the application
// server: echoes by-reference arguments changed, refuses one method.
class FakeServer {
public:
    FakeServer() {
        server.Get("/health", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(R"({"status":"ok"})", "application/json");
        });
        server.Post("/rpc/Cot00300.rdmTbPreProCom", [this](const httplib::Request &req, httplib::Response &res) {
            ++calls;
            lastAuth = req.get_header_value("Authorization");
            keys.push_back(req.get_header_value("Idempotency-Key"));
            const QJsonObject in = QJsonDocument::fromJson(QByteArray::fromStdString(req.body)).object();
            lastRequest = in;
            const QString method = in["method"].toString();
            QJsonObject out{{"jsonrpc", "2.0"}, {"id", in["id"]}};
            QJsonArray params = in["params"].toArray();
            if (method == "getQtMaxFin") {
                params[1] = 5;  // by reference: the server writes back
                out["result"] = QJsonObject{{"data", QJsonObject{{"fields", QJsonArray{QJsonObject{{"name", "FINSIST"}, {"type", "string"}, {"size", 5}}}},
                                                                 {"rows", QJsonArray{QJsonArray{"00005"}}}}},
                                            {"params", params}};
            } else if (method == "setDescSis") {
                out["error"] = QJsonObject{{"code", RpcCode::Refused}, {"message", "Faixa 00001 a 00005 sobrepõe outra faixa da tabela 0000000001."}};
            } else if (method == "SetIncTbPre") {
                out["error"] = QJsonObject{{"code", RpcCode::OutcomeUnknown}, {"message", "Não se sabe se a alteração foi gravada."}};
            } else if (method == "slow") {
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                out["result"] = QJsonObject{{"data", QJsonValue::Null}, {"params", params}};
            } else if (method == "behindProxy" && ++proxied == 1) {
                res.status = 504;  // a proxy gave up waiting; the server may still have done it
                res.set_content("<html>Gateway Timeout</html>", "text/html");
                return;
            } else if (method == "garbage") {
                res.set_content("<html>", "text/html");
                return;
            } else {
                out["result"] = QJsonObject{{"data", QJsonValue::Null}, {"params", params}};
            }
            res.set_content(QJsonDocument(out).toJson().toStdString(), "application/json");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~FakeServer() {
        server.stop();
        thread.join();
    }

    httplib::Server server;
    std::thread thread;
    int port = 0;
    std::atomic<int> calls{0};
    std::string lastAuth;
    std::vector<std::string> keys;  // the Idempotency-Key of each call
    std::atomic<int> proxied{0};
    QJsonObject lastRequest;
};

// A loopback port nobody listens on: bound, read and closed again.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

}  // namespace

TEST(NetConnection, BeforeConnectSetsTheAddressAndTheTokenTravelsWithEveryCall) {
    FakeServer fake;
    TNetConnection net;
    net.Token = "segredo";
    net.OnBeforeConnect = [&](TNetConnection &c) {
        c.Host = "http://127.0.0.1/";
        c.Port = fake.port;
    };
    ASSERT_TRUE(net.Open());
    EXPECT_TRUE(net.Connected());
    EXPECT_EQ(net.Host, "127.0.0.1");
    const RpcReply r = net.Call("getDescSis", {QString("0000000001")});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(fake.lastAuth, "Bearer segredo");
    EXPECT_EQ(fake.lastRequest["method"].toString(), "getDescSis");
    EXPECT_EQ(fake.lastRequest["jsonrpc"].toString(), "2.0");
    EXPECT_EQ(fake.lastRequest["params"].toArray()[0].toString(), "0000000001");
}

TEST(NetConnection, ByReferenceArgumentsAreWrittenBack) {
    FakeServer fake;
    TNetConnection net;
    net.Host = "127.0.0.1";
    net.Port = fake.port;
    int inQtIniAux = 6;
    QString untouched = "0000000001";
    const RpcReply r = net.Call("getQtMaxFin", {RpcArg::ref(&untouched), RpcArg::ref(&inQtIniAux), "EDIT"});
    const DataPacket p = CheckResultPacket(r);
    EXPECT_EQ(inQtIniAux, 5);
    EXPECT_EQ(untouched, "0000000001");
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(p.rows[0][0].toString(), "00005");
    EXPECT_EQ(fake.lastRequest["params"].toArray()[1].toInt(), 6);
}

TEST(NetConnection, DeltasAndNullTravelAsPacketsAndNull) {
    FakeServer fake;
    TNetConnection net;
    net.Host = "127.0.0.1";
    net.Port = fake.port;
    Delta d;
    d.fields = {{"A", FieldType::Float, 0}};
    d.changes = {{DeltaChange::Insert, {}, {1.0}}};
    net.Call("SetOperTipoServ", {d, nullptr});
    const QJsonArray params = fake.lastRequest["params"].toArray();
    EXPECT_EQ(params[0].toObject()["changes"].toArray().size(), 1);
    EXPECT_TRUE(params[1].isNull());
}

TEST(NetConnection, ARefusedCallIsShownOnceAndRaisesTheSilentServerError) {
    FakeServer fake;
    RecordingDialogs dialogs;
    TNetConnection net;
    net.Host = "127.0.0.1";
    net.Port = fake.port;
    const RpcReply r = net.Call("setDescSis", {nullptr});
    EXPECT_FALSE(r.ok);
    try {
        CheckResultServ(r, true, 0);
        FAIL() << "no exception";
    } catch (const EServerError &e) {
        EXPECT_EQ(e.code(), RpcCode::Refused);
    }
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, "Faixa 00001 a 00005 sobrepõe outra faixa da tabela 0000000001.");
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Error);
    // The silent server error is an abort: the top-level handler shows nothing more.
    EXPECT_THROW(CheckResultServ(r, false, 0), EAbort);
    EXPECT_EQ(dialogs.shown.size(), 1);
}

TEST(NetConnection, AWriteOfUnknownOutcomeIsAWarningAndItsChangesStayUnmerged) {
    FakeServer fake;
    RecordingDialogs dialogs;
    TNetConnection net;
    net.Host = "127.0.0.1";
    net.Port = fake.port;
    TClientTable t{"cdsTbPreco"};
    t.AddField("CDPRECOPROP", FieldType::String, 10, "Código");
    DataPacket p;
    p.fields = t.fieldDefs();
    t.LoadPacket(p);
    t.Append();
    t.FieldByName("CDPRECOPROP")->SetAsString("0000000001");
    t.Post();
    try {
        ApplyChanges(net, t, "SetIncTbPre");
        FAIL() << "no exception";
    } catch (const EServerError &e) {
        EXPECT_EQ(e.code(), RpcCode::OutcomeUnknown);
    }
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].type, MsgType::Warning);
    EXPECT_EQ(dialogs.shown[0].text, "Não se sabe se a alteração foi gravada.");
    EXPECT_EQ(t.ChangeCount(), 1);

    // Sent again, the change goes under the same key, so a server that had
    // stored it answers as the first time instead of storing it twice.
    EXPECT_THROW(ApplyChanges(net, t, "SetIncTbPre"), EServerError);
    ASSERT_EQ(fake.keys.size(), 2u);
    EXPECT_FALSE(fake.keys[0].empty());
    EXPECT_EQ(fake.keys[1], fake.keys[0]);
}

TEST(NetConnection, AProxysTimeoutIsAnUnknownOutcomeAndOnlyItsRepeatKeepsTheKey) {
    FakeServer fake;
    TNetConnection net;
    net.ThrowException = false;
    net.Host = "127.0.0.1";
    net.Port = fake.port;
    const RpcReply lost = net.Call("behindProxy", {1});
    EXPECT_EQ(lost.errorCode, RpcCode::OutcomeUnknown);
    EXPECT_TRUE(lost.errorMessage.contains("HTTP 504")) << lost.errorMessage.toStdString();
    EXPECT_TRUE(net.Call("behindProxy", {1}).ok);
    EXPECT_TRUE(net.Call("behindProxy", {1}).ok);  // answered: a new operation
    EXPECT_TRUE(net.Call("behindProxy", {2}).ok);
    ASSERT_EQ(fake.keys.size(), 4u);
    EXPECT_EQ(fake.keys[1], fake.keys[0]);
    EXPECT_NE(fake.keys[2], fake.keys[1]);
    EXPECT_NE(fake.keys[3], fake.keys[2]);
}

TEST(NetConnection, AnUnreadableReplyIsAClearFailure) {
    FakeServer fake;
    RecordingDialogs dialogs;
    TNetConnection net;
    net.Host = "127.0.0.1";
    net.Port = fake.port;
    const RpcReply r = net.Call("garbage", {});
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.errorMessage.startsWith("Resposta inválida do servidor de aplicação"));
}

TEST(NetConnection, AnUnreachableServerGivesAClearPortugueseError) {
    RecordingDialogs dialogs;
    const int port = freePort();
    TNetConnection net;
    net.Host = "127.0.0.1";
    net.Port = port;
    try {
        net.Open();
        FAIL() << "connected to nothing";
    } catch (const EAppError &e) {
        EXPECT_EQ(e.message(), QString("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:%1.").arg(port));
    }
    EXPECT_FALSE(net.Connected());

    net.ThrowException = false;  // the reason travels with the next call's reply
    EXPECT_FALSE(net.Open());
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_TRUE(net.LastError().startsWith("Não foi possível conectar"));
    const RpcReply r = net.Call("getTbPreco", {});
    EXPECT_FALSE(r.ok);
    EXPECT_THROW(CheckResultServ(r), EServerError);
    ASSERT_EQ(dialogs.shown.size(), 1);  // shown once, by CheckResultServ
    EXPECT_TRUE(dialogs.last().startsWith("Não foi possível conectar"));
}

TEST(NetConnection, AServerThatStopsAnsweringTimesOut) {
    FakeServer fake;
    TNetConnection net;
    net.Host = "127.0.0.1";
    net.Port = fake.port;
    net.TimeoutMs = 300;
    ASSERT_TRUE(net.Open());
    try {
        net.Call("slow", {});
        FAIL() << "no timeout";
    } catch (const EAppError &e) {
        EXPECT_TRUE(e.message().contains("não respondeu a tempo")) << e.message().toStdString();
    }
}
