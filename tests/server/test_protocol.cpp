// The wire protocol: JSON-RPC requests and errors, HTTP limits, the token, and
// bad input of every kind, which must change nothing and leave the server up.

#include "server_fixture.h"

#include <rpc_codes.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <httplib.h>

namespace {

const char *const kPath = "/rpc/Cot00300.rdmTbPreProCom";

struct Raw {
    int status = 0;
    QJsonObject body;
    std::string text;
};

}  // namespace

class Protocol : public ServerTest {
protected:
    Raw post(const std::string &body, const std::string &token = std::string()) {
        httplib::Client c("127.0.0.1", server->port());
        httplib::Headers headers;
        if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
        auto res = c.Post(kPath, headers, body, "application/json");
        Raw r;
        if (!res) return r;
        r.status = res->status;
        r.text = res->body;
        r.body = QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object();
        return r;
    }
    int errorCode(const Raw &r) { return r.body.value("error").toObject().value("code").toInt(); }
    QString errorMessage(const Raw &r) { return r.body.value("error").toObject().value("message").toString(); }
    bool healthy() {
        httplib::Client c("127.0.0.1", server->port());
        auto res = c.Get("/health");
        return res && res->status == 200 && res->body == "{\"status\":\"ok\"}";
    }
    // Everything the tests below might damage, in one number per table.
    QString fingerprint() {
        QStringList parts;
        for (const char *t : {"PRECOPROPOSTA", "PRECOPROPSIST", "PRECOPROPUSU", "PRECOPROPOPER", "SEGMERCADO", "OPERADOR", "TIPOSERV"})
            parts << QString::number(count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(t))));
        parts << scalar(QStringLiteral("SELECT NRULTIMO FROM SEQUENCIA WHERE NMSEQUENCIA = 'PRECOPROPOSTA'"));
        return parts.join(QLatin1Char(','));
    }
    void seed() {
        code = newPriceTable(QStringLiteral("Tabela protegida"));
        addBands(true, code, {{1, 5, 0}, {6, 20, 10}});
        addOperator(QStringLiteral("000000000001"), QStringLiteral("Ana"));
        exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('001', 'Varejo', ?)"), {code});
    }
    QString code;
};

TEST_P(Protocol, HealthAnswersOkWhenTheDatabaseAnswers) {
    EXPECT_TRUE(healthy());
}

TEST_P(Protocol, SuccessCarriesDataAndTheFinalArguments) {
    seed();
    const Raw r = post(R"({"jsonrpc":"2.0","id":7,"method":"getDescSis","params":[")" + code.toStdString() + R"("]})");
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.body.value("jsonrpc").toString(), "2.0");
    EXPECT_EQ(r.body.value("id").toInt(), 7);
    const QJsonObject result = r.body.value("result").toObject();
    EXPECT_EQ(result.value("params").toArray().at(0).toString(), code);
    EXPECT_EQ(result.value("data").toObject().value("rows").toArray().size(), 2);
}

TEST_P(Protocol, UnknownMethodsAreRefusedAndNamesAreCaseSensitive) {
    seed();
    for (const char *name : {"naoExiste", "getvdqtiniusu", "GetVdQtIniUsu", "getVdQtIniUsu", "settbprecsegmer", "insere_operdesc"}) {
        const RpcReply r = call(QString::fromLatin1(name), {code, QStringLiteral("00001")});
        EXPECT_FALSE(r.ok) << name;
        EXPECT_EQ(r.errorCode, RpcCode::MethodNotFound) << name;
        EXPECT_FALSE(r.errorMessage.isEmpty());
    }
    // The users duplicate question is spelt with lower-case "usu".
    EXPECT_TRUE(call(QStringLiteral("getVdQtIniusu"), {code, QStringLiteral("00001")}).ok);
    EXPECT_TRUE(healthy());
}

TEST_P(Protocol, WrongArgumentCountsAndKindsAreRefusedWithNothingChanged) {
    seed();
    const QString before = fingerprint();
    struct Case {
        const char *method;
        QVector<RpcArg> args;
    };
    const QVector<Case> cases = {
        {"getDescSis", {}},
        {"getDescSis", {code, code}},
        {"getDescSis", {42.0}},
        {"getTbPreco", {code}},
        {"setDescSis", {code}},
        {"setDescSis", {nullptr}},
        {"SetIncTbPre", {1.0}},
        {"getVdIntervSis", {QStringLiteral("I"), code, QStringLiteral("00003")}},
        {"getVdIntervSis", {QStringLiteral("X"), code, QStringLiteral("00003"), QString()}},
        {"getQtMaxFin", {code, QStringLiteral("seis"), QStringLiteral("EDIT")}},
        {"getQtMaxFin", {code, 6.5, QStringLiteral("EDIT")}},
        {"getLuSist", {QStringLiteral("T"), nullptr}},
        {"Insere_OperDesc", {QString(), QStringLiteral("M"), 10.0, code}},
        {"Insere_OperDesc", {QString(), QStringLiteral("M"), QStringLiteral("dez"), code, QString(), 0.0, QString(), 0.0}},
        {"SetOperTipoServ", {nullptr}},
        {"SetOperTipoServ", {QStringLiteral("x"), nullptr}},
    };
    for (const Case &c : cases) {
        const RpcReply r = call(QString::fromLatin1(c.method), c.args);
        EXPECT_FALSE(r.ok) << c.method;
        EXPECT_EQ(r.errorCode, RpcCode::InvalidParams) << c.method << ": " << r.errorMessage.toStdString();
        EXPECT_FALSE(r.errorMessage.isEmpty());
    }
    EXPECT_EQ(fingerprint(), before);
    EXPECT_TRUE(healthy());
}

TEST_P(Protocol, MalformedRequestsGetTheirErrorCodes) {
    seed();
    const QString before = fingerprint();
    EXPECT_EQ(errorCode(post("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":")), RpcCode::ParseError);
    EXPECT_EQ(errorCode(post("não é json")), RpcCode::ParseError);
    EXPECT_EQ(errorCode(post("")), RpcCode::ParseError);
    EXPECT_EQ(errorCode(post("[]")), RpcCode::InvalidRequest);
    EXPECT_EQ(errorCode(post("42")), RpcCode::InvalidRequest);
    EXPECT_EQ(errorCode(post(R"({"id":1,"method":"getTbPreco","params":[]})")), RpcCode::InvalidRequest);
    EXPECT_EQ(errorCode(post(R"({"jsonrpc":"1.0","id":1,"method":"getTbPreco","params":[]})")), RpcCode::InvalidRequest);
    EXPECT_EQ(errorCode(post(R"({"jsonrpc":"2.0","id":1,"params":[]})")), RpcCode::InvalidRequest);
    EXPECT_EQ(errorCode(post(R"({"jsonrpc":"2.0","id":1,"method":7,"params":[]})")), RpcCode::InvalidRequest);
    EXPECT_EQ(errorCode(post(R"({"jsonrpc":"2.0","id":{"a":1},"method":"getTbPreco","params":[]})")), RpcCode::InvalidRequest);
    EXPECT_EQ(errorCode(post(R"({"jsonrpc":"2.0","id":1,"method":"getDescSis","params":{"code":"1"}})")), RpcCode::InvalidParams);
    const Raw r = post("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":");
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body.value("id").isNull());
    EXPECT_FALSE(errorMessage(r).isEmpty());
    EXPECT_EQ(fingerprint(), before);
    EXPECT_TRUE(healthy());
}

TEST_P(Protocol, MalformedDeltasAreRefusedWithNothingChanged) {
    seed();
    const QString before = fingerprint();
    const std::string c = code.toStdString();
    const std::string bodies[] = {
        // a value of the wrong type
        R"({"jsonrpc":"2.0","id":1,"method":"setDescSis","params":[{"fields":[{"name":"CDPRECOPROP","type":"string","size":10},)"
        R"({"name":"QTINISISTEMAS","type":"string","size":5},{"name":"QTFINSISTEMAS","type":"string","size":5},)"
        R"({"name":"VRPERCDESCSIST","type":"float"}],"changes":[{"op":"insert","new":[")" + c + R"(","00021","00021","dez"]}]}]})",
        // a row with too few values
        R"({"jsonrpc":"2.0","id":1,"method":"setDescSis","params":[{"fields":[{"name":"CDPRECOPROP","type":"string","size":10}],)"
        R"("changes":[{"op":"delete","old":[]}]}]})",
        // an unknown operation
        R"({"jsonrpc":"2.0","id":1,"method":"SetIncTbPre","params":[{"fields":[{"name":"CDPRECOPROP","type":"string","size":10}],)"
        R"("changes":[{"op":"truncate","old":[")" + c + R"("]}]}]})",
        // no field list
        R"({"jsonrpc":"2.0","id":1,"method":"setPerOper","params":[{"changes":[]}]})",
        // a delete without the key
        R"({"jsonrpc":"2.0","id":1,"method":"SetIncTbPre","params":[{"fields":[{"name":"NMPRECOPROP","type":"string","size":50}],)"
        R"("changes":[{"op":"delete","old":["x"]}]}]})",
    };
    for (const std::string &body : bodies) {
        const Raw r = post(body);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(errorCode(r), RpcCode::InvalidParams) << body << " -> " << r.text;
    }
    EXPECT_EQ(fingerprint(), before);
    EXPECT_TRUE(healthy());
}

TEST_P(Protocol, HostileTextInCodesAndSelectionsChangesNothing) {
    seed();
    const QString before = fingerprint();
    const QString hostile[] = {QStringLiteral("1' OR '1'='1"), QStringLiteral("0000000001);DROP TABLE PRECOPROPOSTA"),
                               QStringLiteral("0000000001'; DELETE FROM SEGMERCADO; --"), QStringLiteral("T,1' OR 1=1 --"),
                               QString(20000, QLatin1Char('9'))};
    for (const QString &h : hostile) {
        for (const char *m : {"getDescSis", "getDescUsu", "getPerOper", "setTbPrecSegMer"}) {
            const RpcReply r = call(QString::fromLatin1(m), {h});
            EXPECT_FALSE(r.ok) << m;
            EXPECT_EQ(r.errorCode, RpcCode::InvalidParams) << m;
        }
        QString selection = h;
        const RpcReply lu = call(QStringLiteral("getLuSist"), {RpcArg::ref(&selection), QStringLiteral("5")});
        EXPECT_EQ(lu.errorCode, RpcCode::InvalidParams);
        const RpcReply ins = call(QStringLiteral("Insere_OperDesc"),
                                  {h, QStringLiteral("M"), 10.0, code, QString(), 0.0, QString(), 0.0});
        EXPECT_EQ(ins.errorCode, RpcCode::InvalidParams);
        EXPECT_EQ(call(QStringLiteral("getVdOpTipo"), {h, code, QStringLiteral("L")}).errorCode, RpcCode::InvalidParams);
        EXPECT_EQ(call(QStringLiteral("GetOperTipoServ"), {h}).errorCode, RpcCode::InvalidParams);
        EXPECT_EQ(call(QStringLiteral("getVdIntervSis"), {QStringLiteral("I"), code, h, QString()}).errorCode, RpcCode::InvalidParams);
    }
    // The message names the offending text, cut short and readable.
    const RpcReply r = call(QStringLiteral("getDescSis"), {QStringLiteral("1' OR '1'='1")});
    EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("1' OR '1'='1"))) << r.errorMessage.toStdString();
    EXPECT_EQ(fingerprint(), before);
    EXPECT_EQ(packet(QStringLiteral("getDescSis"), {code}).rows.size(), 2);
    EXPECT_TRUE(healthy());
}

TEST_P(Protocol, HostileTextStoredAsDataComesBackAsData) {
    seed();
    const QString name = QStringLiteral("x'); DROP TABLE PRECOPROPOSTA; --");
    const QString c = newPriceTable(name);
    const DataPacket p = packet(QStringLiteral("getTbPreco"));
    bool found = false;
    for (int i = 0; i < p.rows.size(); ++i)
        if (cell(p, i, QStringLiteral("CDPRECOPROP")) == c) found = cell(p, i, QStringLiteral("NMPRECOPROP")) == name;
    EXPECT_TRUE(found);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), 2);
}

TEST_P(Protocol, RandomAndMutatedRequestsNeverBringTheServerDown) {
    seed();
    const QString before = fingerprint();
    const std::string valid = R"({"jsonrpc":"2.0","id":1,"method":"setDescSis","params":[{"fields":[{"name":"CDPRECOPROP","type":"string","size":10},)"
                              R"({"name":"QTINISISTEMAS","type":"string","size":5},{"name":"QTFINSISTEMAS","type":"string","size":5},)"
                              R"({"name":"VRPERCDESCSIST","type":"float"}],"changes":[{"op":"update","old":[")" +
                              code.toStdString() + R"(","00001","00005",0],"new":[")" + code.toStdString() +
                              R"(","00001","00030",0]}]}]})";
    QRandomGenerator rng(20260101);
    int answered = 0;
    for (int i = 0; i < 300; ++i) {
        std::string body = valid;
        const int edits = 1 + int(rng.bounded(6));
        for (int e = 0; e < edits; ++e) {
            const int pos = int(rng.bounded(int(body.size())));
            switch (rng.bounded(3)) {
            case 0: body[size_t(pos)] = char(rng.bounded(256)); break;
            case 1: body.erase(size_t(pos), 1 + rng.bounded(8)); break;
            default: body.insert(size_t(pos), 1, "{}[]\",:0-e\\"[rng.bounded(11)]); break;
            }
        }
        const Raw r = post(body);
        if (r.status == 200) ++answered;
        EXPECT_TRUE(r.status == 200) << "status " << r.status;
        if (r.body.contains("result")) continue;  // a mutation may still be a valid call
        EXPECT_TRUE(r.body.contains("error")) << body;
    }
    EXPECT_EQ(answered, 300);
    // The valid update asks for a band end above 20: refused by the rules.
    EXPECT_EQ(errorCode(post(valid)), RpcCode::Refused);
    EXPECT_EQ(fingerprint(), before);
    EXPECT_TRUE(healthy());
}

COT_BOTH_BACKENDS(Protocol);

// --- HTTP limits and the token ----------------------------------------------

class SmallBody : public Protocol {
protected:
    void adjust(ServerOptions &o) override { o.maxBodyBytes = 4096; }
};

TEST_P(SmallBody, OversizedBodiesAreRefusedWith413) {
    seed();
    const QString before = fingerprint();
    std::string big = R"({"jsonrpc":"2.0","id":1,"method":"setTbPrecSegMer","params":[")" + std::string(8000, '1') + R"("]})";
    const Raw r = post(big);
    EXPECT_EQ(r.status, 413);
    // Through the desktop's connection too.
    QString huge(6000, QLatin1Char('0'));
    const RpcReply reply = call(QStringLiteral("setTbPrecSegMer"), {huge});
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.errorCode, RpcCode::TooLarge);
    EXPECT_EQ(fingerprint(), before);
    EXPECT_TRUE(healthy());
    EXPECT_TRUE(call(QStringLiteral("getTbPreco")).ok);
}

COT_BOTH_BACKENDS(SmallBody);

class WithToken : public Protocol {
protected:
    void adjust(ServerOptions &o) override { o.token = QStringLiteral("s3gr3d0-de-teste"); }
};

TEST_P(WithToken, CallsWithoutTheRightTokenGet401) {
    EXPECT_EQ(post(R"({"jsonrpc":"2.0","id":1,"method":"getTbPreco","params":[]})").status, 401);
    EXPECT_EQ(post(R"({"jsonrpc":"2.0","id":1,"method":"getTbPreco","params":[]})", "outro").status, 401);
    EXPECT_EQ(post(R"({"jsonrpc":"2.0","id":1,"method":"getTbPreco","params":[]})", "s3gr3d0-de-teste-").status, 401);
    EXPECT_EQ(post(R"({"jsonrpc":"2.0","id":1,"method":"getTbPreco","params":[]})", "s3gr3d0-de-teste").status, 200);
    // The fixture's connection carries the token.
    EXPECT_TRUE(call(QStringLiteral("getTbPreco")).ok);
    auto anonymous = connect();
    const RpcReply r = anonymous->Call(QStringLiteral("PrxPrecoProp"), {});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorCode, RpcCode::Unauthorized);
    EXPECT_EQ(scalar(QStringLiteral("SELECT NRULTIMO FROM SEQUENCIA WHERE NMSEQUENCIA = 'PRECOPROPOSTA'")), QStringLiteral("0"));
    EXPECT_TRUE(healthy());
}

COT_BOTH_BACKENDS(WithToken);

TEST(ServerStart, RefusesAnAddressOtherThanLoopbackWithoutAToken) {
    QTemporaryDir dir;
    ServerOptions o;
    o.database = dir.filePath(QStringLiteral("x.db"));
    o.listenHost = QStringLiteral("0.0.0.0");
    AppServer s(o);
    QString error;
    EXPECT_FALSE(s.start(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("127.0.0.1"))) << error.toStdString();
    EXPECT_EQ(s.port(), 0);

    o.token = QStringLiteral("chave");
    AppServer withToken(o);
    EXPECT_TRUE(withToken.start(&error)) << error.toStdString();
    EXPECT_GT(withToken.port(), 0);
}

TEST(ServerStart, ReportsADatabaseItCannotOpen) {
    ServerOptions o;
    o.database = QStringLiteral("postgresql://ninguem@127.0.0.1:1/nada");
    AppServer s(o);
    QString error;
    EXPECT_FALSE(s.start(&error));
    EXPECT_FALSE(error.isEmpty());
    ServerOptions bad;
    bad.database = QStringLiteral("postgresql://x@h/db?schema=Drop;Table");
    AppServer s2(bad);
    EXPECT_FALSE(s2.start(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("esquema"))) << error.toStdString();
}

// --- Faults of the database ---------------------------------------------------

class DatabaseFaults : public ServerTest {};

TEST_P(DatabaseFaults, ConnectionsDroppedByTheDatabaseAreOpenedAgain) {
    if (!isPostgres()) GTEST_SKIP() << "a SQLite file has no connection to lose";
    const QString code = newPriceTable();
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(call(QStringLiteral("getDescSis"), {code}).ok);
    const QString app = QStringLiteral("cot-server:") + databaseName().section(QStringLiteral("schema="), 1);
    const qint64 killed = count(QStringLiteral("SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity"
                                               " WHERE application_name = ? AND pid <> pg_backend_pid()"),
                                {app});
    ASSERT_GT(killed, 0);
    // Reads are tried again on a new connection; nothing fails.
    for (int i = 0; i < 8; ++i) {
        const RpcReply r = call(QStringLiteral("getDescSis"), {code});
        EXPECT_TRUE(r.ok) << r.errorCode << " " << r.errorMessage.toStdString();
    }
    count(QStringLiteral("SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE application_name = ? AND pid <> pg_backend_pid()"),
          {app});
    // A write on a lost connection is not repeated: it fails as a storage failure, or succeeds on a new connection.
    const RpcReply w = call(QStringLiteral("PrxPrecoProp"));
    if (!w.ok) {
        EXPECT_EQ(w.errorCode, RpcCode::Storage);
        EXPECT_FALSE(w.errorMessage.isEmpty());
    }
    const RpcReply again = call(QStringLiteral("PrxPrecoProp"));
    EXPECT_TRUE(again.ok) << again.errorMessage.toStdString();
    httplib::Client c("127.0.0.1", server->port());
    auto res = c.Get("/health");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
}

COT_BOTH_BACKENDS(DatabaseFaults);
