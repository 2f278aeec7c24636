// Batches and compressed answers on the wire:
//   1. a batch is answered as JSON-RPC 2.0 says: in order, without the
//      notifications, an empty one as a single error, an invalid member
//      beside the valid answers, none at all (204) when all are notifications,
//      and each write in its own transaction;
//   2. an answer is gzipped only when the client asks and it is worth it.

#include "raw_client.h"
#include "server_fixture.h"

#include <packet_writer.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <zlib.h>

namespace {

// "id:ok" or "id:code" per answer: "[...]" for an array, "{...}" for one object.
QString summary(const QByteArray &body) {
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    auto one = [](const QJsonObject &o) {
        const QJsonValue id = o.value("id");
        const QString idText = id.isString() ? id.toString() : id.isDouble() ? QString::number(id.toInt()) : QStringLiteral("null");
        return idText + ":" + (o.contains("result") ? QStringLiteral("ok") : QString::number(o.value("error").toObject().value("code").toInt()));
    };
    if (doc.isObject()) return "{" + one(doc.object()) + "}";
    QStringList parts;
    for (const QJsonValue &v : doc.array()) parts.append(one(v.toObject()));
    return doc.isArray() ? "[" + parts.join(' ') + "]" : QString();
}

QByteArray member(const char *id, const char *method, const QByteArray &params = "[]") {
    QByteArray c = R"({"jsonrpc":"2.0","method":")" + QByteArray(method) + R"(","params":)" + params;
    if (id) c += R"(,"id":)" + QByteArray(id);
    return c + "}";
}

QByteArray gunzip(const QByteArray &in) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return {};
    QByteArray out(in.size() * 40 + 1024, '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_FINISH);
    out.resize(qsizetype(z.total_out));
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out : QByteArray();
}

using Batches = ServerTest;

TEST_P(Batches, AreAnsweredAsJsonRpcDefines) {
    auto priceTable = [](const char *code, int lastMonth) {
        return JsonText::encode(PacketCodec::toJson(ServerTest::insertDelta(
            ClientFields::priceTable(), {QString::fromLatin1(code), QStringLiteral("Outra"), QDateTime(QDate(2026, 6, 1), QTime(0, 0)),
                                         QDateTime(QDate(2026, lastMonth, 1), QTime(0, 0)), 1.0, 1.0, 1.0, 1.0, 1.0})));
    };
    // The second ends before it starts: refused by the server's rule, inside its own transaction.
    const QByteArray fresh = priceTable("0000009999", 12), backwards = priceTable("0000009998", 1);
    struct Case {
        const char *rule;
        QByteArray body;
        int status;
        const char *answers;
    } cases[] = {
        {"answers keep the calls' order", "[" + member("\"b\"", "getIndiceBtn") + "," + member("1", "getTbPreco") + "]", 200, "[b:ok 1:ok]"},
        {"a notification gets no member", "[" + member(nullptr, "getTbPreco") + "," + member("2", "getIndiceBtn") + "]", 200, "[2:ok]"},
        {"an empty batch is one error object", "[]", 200, "{null:-32600}"},
        {"an invalid member gets its own error beside the valid answers",
         "[" + member("1", "getTbPreco") + ",5," + member("3", "naoExiste") + ",[]," + member("4", "getIndiceBtn") + "]", 200,
         "[1:ok null:-32600 3:-32601 null:-32600 4:ok]"},
        {"only notifications: no body", "[" + member(nullptr, "getTbPreco") + "," + member(nullptr, "naoExiste") + "]", 204, ""},
        {"unreadable JSON is one parse error", "[" + member("1", "getTbPreco") + ",", 200, "{null:-32700}"},
        {"each write commits alone", "[" + member("1", "SetIncTbPre", "[" + fresh + "]") + "," + member("2", "SetIncTbPre", "[" + backwards + "]") + "]",
         200, "[1:ok 2:-32000]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rule);
        RawSocket s(server->port());
        ASSERT_TRUE(s.send(rpcRequest(c.body)));
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 5000));
        ASSERT_EQ(a.size(), 1);
        EXPECT_EQ(a[0].status, c.status);
        EXPECT_EQ(summary(a[0].body), QString::fromLatin1(c.answers)) << a[0].body.toStdString();
    }
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {QStringLiteral("0000009999")}), 1);
}

TEST_P(Batches, AnAnswerIsGzippedOnlyWhenAskedAndWorthIt) {
    for (int i = 0; i < 12; ++i) newPriceTable(QStringLiteral("Tabela de preço número %1").arg(i));
    const QByteArray big = member("1", "getTbPreco"), small = member("2", "getIndiceBtn");
    struct Case {
        const char *rule;
        QByteArray body;
        bool ask, gzipped;
    } cases[] = {{"asked and large", big, true, true},
                 {"not asked", big, false, false},
                 {"asked but small", small, true, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rule);
        QByteArray request = rpcRequest(c.body);
        if (c.ask) request.replace("Content-Type:", "Accept-Encoding: deflate, gzip;q=0.8\r\nContent-Type:");
        RawSocket s(server->port());
        ASSERT_TRUE(s.send(request));
        const QByteArray raw = s.readAnswers(1, 5000);
        EXPECT_EQ(raw.contains("Content-Encoding: gzip"), c.gzipped);
        EXPECT_TRUE(raw.contains("Vary: Accept-Encoding"));
        const QList<HttpAnswerText> a = splitAnswers(raw);
        ASSERT_EQ(a.size(), 1);
        const QByteArray body = c.gzipped ? gunzip(a[0].body) : a[0].body;
        EXPECT_TRUE(summary(body).endsWith(":ok}")) << body.left(200).toStdString();
    }
    // The desktop asks, and reads the answer as if it were plain.
    const TNetConnection::Traffic before = net->traffic();
    EXPECT_EQ(packet(QStringLiteral("getTbPreco")).rows.size(), 12);
    EXPECT_EQ(net->traffic().compressedAnswers, before.compressedAnswers + 1);
}

COT_BOTH_BACKENDS(Batches);

}  // namespace
