// Who may change what, and writes safe to repeat, through the real server:
//   1. each role may do what it covers; anything else is refused (-32004)
//      before it writes, and a running server applies a new role at once;
//   2. a copy made by someone who may not grant permissions leaves them out;
//   3. a keyed write sent twice is done once and answered alike, on one
//      server or two on the same database; a key reused for another request
//      is refused;
//   4. bounded work: an oversized delta and a write past its time are refused
//      with nothing written;
//   5. the trail holds what went with a deleted price table, and refuses
//      being rewritten.

#include "server_fixture.h"

#include <rpc_codes.h>
#include <user_keys.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <httplib.h>

namespace {

// A write per right, and the table it would change.
struct Operation {
    const char *name;
    Right right;
    const char *table;  // counted before and after; null for reads
};

}  // namespace

class Roles : public ServerTest {
protected:
    void adjust(ServerOptions &o) override { o.token = QStringLiteral("chave-do-administrador-de-teste"); }
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        code = newPriceTable(QStringLiteral("Tabela 2026"));
        addBands(true, code, {{1, 20, 5}});
        addBands(false, code, {{1, 150, 2}});
        addOperator(QStringLiteral("000000000001"), QStringLiteral("Ana"));
    }

    std::unique_ptr<TNetConnection> as(const QString &name, Role role) {
        return connect(QString::fromLatin1(UserKeys::add(database(), name, role)));
    }

    RpcReply run(TNetConnection &c, const char *name) {
        const QString method = QString::fromLatin1(name);
        if (method == QLatin1String("SetIncTbPre")) {
            const Row row{QString(), QStringLiteral("Nova"), QDateTime(QDate(2027, 1, 1), QTime(0, 0)), QDateTime(QDate(2027, 12, 31), QTime(0, 0)),
                          10.0, 1.0, 1.0, 1.0, 1.0};
            return c.Call(method, {insertDelta(ClientFields::priceTable(), row)});
        }
        if (method == QLatin1String("setDescSis")) {
            TClientTable t;
            t.LoadPacket(PacketCodec::packetFromJson(c.Call(QStringLiteral("getDescSis"), {code}).data));
            t.Edit();
            t.FieldByName(QStringLiteral("VRPERCDESCSIST"))->SetValue(7.0);
            t.Post();
            return c.Call(method, {t.GetDelta()});
        }
        if (method == QLatin1String("Insere_OperDesc"))
            return c.Call(method, {QString(), QStringLiteral("M"), 100.0, code, QStringLiteral("L"), 100.0, QStringLiteral("U"), 100.0});
        if (method == QLatin1String("getLuSist")) return c.Call(method, {QStringLiteral("T"), 5});
        return c.Call(method, {});
    }

    QString code;
};

TEST_P(Roles, EachRoleDoesWhatItCoversAndIsRefusedTheRestWithNothingWritten) {
    const Operation operations[] = {
        {"getTbPreco", Right::Read, nullptr},      {"getLuSist", Right::Read, nullptr},
        {"GetHistTbPreco", Right::Read, nullptr},  {"PrxPrecoProp", Right::Prices, "SEQUENCIA"},
        {"SetIncTbPre", Right::Prices, "PRECOPROPOSTA"}, {"setDescSis", Right::Prices, "PRECOPROPSIST"},
        {"Insere_OperDesc", Right::Discounts, "PRECOPROPOPER"},
    };
    const struct {
        const char *person;
        Role role;
    } people[] = {{"Carla Consulta", Role::Consulta}, {"Paulo Precos", Role::Precos}, {"Diana Descontos", Role::Descontos},
                  {"Alice Admin", Role::Administrador}};
    for (const auto &p : people) {
        auto c = as(QString::fromLatin1(p.person), p.role);
        for (const Operation &op : operations) {
            SCOPED_TRACE(std::string(p.person) + " " + op.name);
            if (QByteArray(op.name) == "GetHistTbPreco") {  // takes the table's code
                EXPECT_TRUE(c->Call(QStringLiteral("GetHistTbPreco"), {code}).ok);
                continue;
            }
            const auto rows = [&] {
                return count(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(op.table))) * 1000000 +
                       count(QStringLiteral("SELECT COUNT(*) FROM AUDITORIA"));
            };
            const qint64 before = op.table ? rows() : 0;
            const QString sequence = scalar(QStringLiteral("SELECT NRULTIMO FROM SEQUENCIA WHERE NMSEQUENCIA = 'PRECOPROPOSTA'"));
            const QString percent = scalar(QStringLiteral("SELECT VRPERCDESCSIST FROM PRECOPROPSIST WHERE CDPRECOPROP = ?"), {code});
            const RpcReply r = run(*c, op.name);
            if (AccessRoles::allows(p.role, op.right)) {
                EXPECT_TRUE(r.ok) << r.errorMessage.toStdString();
                continue;
            }
            EXPECT_EQ(r.errorCode, RpcCode::NotAllowed);
            EXPECT_TRUE(r.errorMessage.contains(AccessRoles::name(p.role)) && r.errorMessage.contains(QString::fromLatin1(p.person)))
                << r.errorMessage.toStdString();
            EXPECT_EQ(rows(), before);
            EXPECT_EQ(scalar(QStringLiteral("SELECT NRULTIMO FROM SEQUENCIA WHERE NMSEQUENCIA = 'PRECOPROPOSTA'")), sequence);
            EXPECT_EQ(scalar(QStringLiteral("SELECT VRPERCDESCSIST FROM PRECOPROPSIST WHERE CDPRECOPROP = ?"), {code}), percent);
        }
        // The desktop learns the person, the role and the methods allowed.
        const DataPacket access = PacketCodec::packetFromJson(c->Call(QStringLiteral("getAcesso"), {}).data);
        ASSERT_FALSE(access.rows.isEmpty());
        EXPECT_EQ(cell(access, 0, QStringLiteral("NMUSUARIO")), QString::fromLatin1(p.person));
        EXPECT_EQ(cell(access, 0, QStringLiteral("NMPAPEL")), AccessRoles::name(p.role));
        QStringList allowed;
        for (int i = 0; i < access.rows.size(); ++i) allowed << cell(access, i, QStringLiteral("NMMETODO"));
        EXPECT_EQ(allowed.contains(QStringLiteral("setPerOper")), AccessRoles::allows(p.role, Right::Discounts));
        EXPECT_EQ(allowed.contains(QStringLiteral("SetTipoServico")), AccessRoles::allows(p.role, Right::Prices));
        EXPECT_TRUE(allowed.contains(QStringLiteral("getRelTbPreco")));
    }
}

TEST_P(Roles, ARunningServerAppliesANewRoleFromTheNextCall) {
    auto carla = as(QStringLiteral("Carla"), Role::Consulta);
    EXPECT_EQ(run(*carla, "SetIncTbPre").errorCode, RpcCode::NotAllowed);
    UserKeys::setRole(database(), QStringLiteral("Carla"), Role::Precos);
    EXPECT_TRUE(run(*carla, "SetIncTbPre").ok);
    EXPECT_EQ(UserKeys::list(database()).value(0).role, Role::Precos);
}

TEST_P(Roles, ACopyByWhoMayNotGrantKeepsTheBandsAndLeavesThePermissions) {
    ASSERT_TRUE(run(*net, "Insere_OperDesc").ok);
    auto paulo = as(QStringLiteral("Paulo"), Role::Precos);
    TClientTable t;
    t.LoadPacket(PacketCodec::packetFromJson(paulo->Call(QStringLiteral("getTbPreco"), {}).data));
    t.Edit();
    t.FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Tabela 2027"));
    t.Post();
    const RpcReply r = paulo->Call(QStringLiteral("CopiaTbPreco"), {t.GetDelta()});
    ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
    const DataPacket answer = PacketCodec::packetFromJson(r.data);
    const QString copy = cell(answer, 0, QStringLiteral("CDPRECOPROP"));
    EXPECT_EQ(cell(answer, 0, QStringLiteral("IDPERMCOP")), QStringLiteral("N"));
    EXPECT_EQ(cell(answer, 0, QStringLiteral("QTFAIXACOP")).toDouble(), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPSIST WHERE CDPRECOPROP = ?"), {copy}), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOPER WHERE CDPRECOPROP = ?"), {copy}), 0);
}

namespace {

struct Posted {
    int status = 0;
    QJsonObject body;
};

Posted post(int port, const QByteArray &key, const QJsonObject &request, const QString &token) {
    httplib::Client client("127.0.0.1", port);
    httplib::Headers headers{{"Authorization", "Bearer " + token.toStdString()}};
    if (!key.isEmpty()) headers.emplace("Idempotency-Key", key.toStdString());
    auto res = client.Post("/rpc/Cot00300.rdmTbPreProCom", headers, QJsonDocument(request).toJson(QJsonDocument::Compact).toStdString(),
                           "application/json");
    if (!res) return {};
    return {res->status, QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object()};
}

}  // namespace

TEST_P(Roles, AKeyedCopySentTwiceIsMadeOnceAndAnsweredAlikeOnAnyServer) {
    TClientTable t;
    t.LoadPacket(PacketCodec::packetFromJson(net->Call(QStringLiteral("getTbPreco"), {}).data));
    t.Edit();
    t.FieldByName(QStringLiteral("NMPRECOPROP"))->SetValue(QStringLiteral("Tabela 2027"));
    t.Post();
    const QJsonObject copy{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "CopiaTbPreco"}, {"params", QJsonArray{PacketCodec::toJson(t.GetDelta())}}};
    // A second server on the same database: a repeat may reach either.
    AppServer other(options);
    QString error;
    ASSERT_TRUE(other.start(&error)) << error.toStdString();

    const Posted first = post(server->port(), "copia-1", copy, options.token);
    QJsonObject repeat = copy;
    repeat[QStringLiteral("id")] = 2;  // a repeat made by a new call of the client
    const Posted second = post(other.port(), "copia-1", repeat, options.token);
    ASSERT_EQ(first.status, 200);
    ASSERT_TRUE(first.body.contains(QStringLiteral("result"))) << QJsonDocument(first.body).toJson().toStdString();
    EXPECT_EQ(second.body.value(QStringLiteral("result")), first.body.value(QStringLiteral("result")));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), 2);

    // The key names that copy: another request under it is refused, and a
    // malformed key is refused before anything runs.
    QJsonObject other2 = copy;
    other2[QStringLiteral("method")] = QStringLiteral("PrxPrecoProp");
    other2[QStringLiteral("params")] = QJsonArray();
    EXPECT_EQ(post(server->port(), "copia-1", other2, options.token).body[QStringLiteral("error")][QStringLiteral("code")].toInt(),
              RpcCode::Refused);
    EXPECT_EQ(post(server->port(), QByteArray(65, 'k'), other2, options.token).body[QStringLiteral("error")][QStringLiteral("code")].toInt(),
              RpcCode::InvalidRequest);
    // Without a key each call is its own.
    post(server->port(), QByteArray(), copy, options.token);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), 3);

    // A batch under a key: each of its calls is answered as the first time.
    const QJsonArray batch{copy, QJsonObject{{"jsonrpc", "2.0"}, {"id", 3}, {"method", "getIndiceBtn"}, {"params", QJsonArray()}}};
    const auto postBatch = [&](int port) {
        httplib::Client client("127.0.0.1", port);
        auto res = client.Post("/rpc/Cot00300.rdmTbPreProCom",
                               {{"Authorization", "Bearer " + options.token.toStdString()}, {"Idempotency-Key", "lote-1"}},
                               QJsonDocument(batch).toJson(QJsonDocument::Compact).toStdString(), "application/json");
        return res ? QByteArray::fromStdString(res->body) : QByteArray();
    };
    const QByteArray firstBatch = postBatch(server->port());
    EXPECT_TRUE(firstBatch.contains("\"result\"")) << firstBatch.toStdString();
    EXPECT_EQ(postBatch(other.port()), firstBatch);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), 4);
}

TEST_P(Roles, AnOversizedDeltaOrAWritePastItsTimeIsRefusedWithNothingWritten) {
    Delta many;
    many.fields = ClientFields::priceTable();
    const Row row{QString(), QStringLiteral("Lote"), QDateTime(QDate(2027, 1, 1), QTime(0, 0)), QDateTime(QDate(2027, 12, 31), QTime(0, 0)),
                  10.0, 1.0, 1.0, 1.0, 1.0};
    for (int i = 0; i < 20001; ++i) many.changes.append(DeltaChange{DeltaChange::Insert, {}, row});
    const RpcReply big = call(QStringLiteral("SetIncTbPre"), {many});
    EXPECT_EQ(big.errorCode, RpcCode::Refused);
    EXPECT_TRUE(big.errorMessage.contains(QStringLiteral("20.000"))) << big.errorMessage.toStdString();

    // A server whose writes may hold the lock for 1 ms: three hundred inserts take longer.
    ServerOptions quick = options;
    quick.maxWriteMs = 1;
    AppServer strict(quick);
    QString error;
    ASSERT_TRUE(strict.start(&error)) << error.toStdString();
    TNetConnection c;
    c.Host = QStringLiteral("127.0.0.1");
    c.Port = strict.port();
    c.Token = options.token;
    many.changes.resize(300);
    const qint64 before = count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA"));
    const RpcReply slow = c.Call(QStringLiteral("SetIncTbPre"), {many});
    EXPECT_EQ(slow.errorCode, RpcCode::Storage) << slow.errorMessage.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")), before);
}

TEST_P(Roles, TheTrailHoldsWhatWentWithADeletedTableAndCannotBeRewritten) {
    exec(QStringLiteral("INSERT INTO SEGMERCADO (CDSEGMERCADO, NMSEGMERCADO, CDPRECOPROP) VALUES ('001', 'Varejo', ?)"), {code});
    ASSERT_TRUE(run(*net, "Insere_OperDesc").ok);
    TClientTable t;
    t.LoadPacket(PacketCodec::packetFromJson(net->Call(QStringLiteral("getTbPreco"), {}).data));
    t.Delete();
    ASSERT_TRUE(call(QStringLiteral("SetIncTbPre"), {t.GetDelta()}).ok);
    const auto removed = [&](const char *table) {
        return count(QStringLiteral("SELECT COUNT(DISTINCT DSCHAVE) FROM AUDITORIA WHERE CDPRECOPROP = ? AND NMTABELA = ? AND IDOPERACAO = ?"),
                     {code, QString::fromLatin1(table), table == QByteArray("SEGMERCADO") ? QStringLiteral("A") : QStringLiteral("E")});
    };
    EXPECT_EQ(removed("PRECOPROPSIST"), 1);
    EXPECT_EQ(removed("PRECOPROPUSU"), 1);
    EXPECT_EQ(removed("PRECOPROPOPER"), 3);
    EXPECT_EQ(removed("SEGMERCADO"), 1);

    // Anyone with the file or the server's database role: append only.
    const qint64 rows = count(QStringLiteral("SELECT COUNT(*) FROM AUDITORIA"));
    EXPECT_THROW(exec(QStringLiteral("DELETE FROM AUDITORIA")), DbError);
    EXPECT_THROW(exec(QStringLiteral("UPDATE AUDITORIA SET NMUSUARIO = 'ninguem'")), DbError);
    if (isPostgres()) EXPECT_THROW(exec(QStringLiteral("TRUNCATE AUDITORIA")), DbError);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM AUDITORIA")), rows);
}

COT_BOTH_BACKENDS(Roles);
