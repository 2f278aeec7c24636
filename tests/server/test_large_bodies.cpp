// Bounded memory: decoding a large body takes many times its size, so large
// bodies are held one budget's worth at a time. One more, while the budget is
// spent, is read and answered 503 with Retry-After and a Portuguese message;
// once the budget is free again the same call goes through.

#include "raw_client.h"
#include "server_fixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <thread>

namespace {

QByteArray paddedCall(int id, qsizetype size) {
    QByteArray body = R"({"jsonrpc":"2.0","id":)" + QByteArray::number(id) + R"(,"method":"getTbPreco","params":[]})";
    return body + QByteArray(size - body.size(), ' ');
}

class LargeBodies : public ServerTest {};

TEST_P(LargeBodies, ALargeBodyBeyondTheBudgetGets503WithRetryAfterAndLaterGoesThrough) {
    // A holds nearly the whole budget (one full-size body) while its body arrives.
    const QByteArray big = paddedCall(1, options.maxBodyBytes - 1024);
    RawSocket a(server->port());
    ASSERT_TRUE(a.send("POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(big.size()) +
                       "\r\n\r\n" + big.left(4096)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // A's headers in before B's

    const QByteArray request = rpcRequest(paddedCall(2, 512 * 1024));
    RawSocket b(server->port());
    ASSERT_TRUE(b.send(request));
    const QByteArray raw = b.readAnswers(1, 5000);
    const QList<HttpAnswerText> refused = splitAnswers(raw);
    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused[0].status, 503);
    EXPECT_TRUE(raw.contains("Retry-After: 1\r\n")) << raw.left(300).toStdString();
    EXPECT_TRUE(QJsonDocument::fromJson(refused[0].body).object().value("error").toObject().value("message").toString().contains(
        QStringLiteral("Tente novamente")));
    // A small call is never held back.
    EXPECT_TRUE(call(QStringLiteral("getTbPreco")).ok);

    ASSERT_TRUE(a.send(big.mid(4096)));
    const QList<HttpAnswerText> first = splitAnswers(a.readAnswers(1, 10000));
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0].status, 200);
    a.close();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // A's share handed back

    RawSocket again(server->port());
    ASSERT_TRUE(again.send(request));
    const QList<HttpAnswerText> later = splitAnswers(again.readAnswers(1, 10000));
    ASSERT_EQ(later.size(), 1);
    EXPECT_EQ(later[0].status, 200);
    EXPECT_EQ(QJsonDocument::fromJson(later[0].body).object().value("id").toInt(), 2);
}

COT_BOTH_BACKENDS(LargeBodies);

}  // namespace
