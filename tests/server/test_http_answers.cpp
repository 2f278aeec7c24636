// Answers every client can read:
//   1. a body over the limit, written whole before the client reads (as most
//      HTTP libraries do), by length or chunked, gets a readable JSON 413;
//   2. a malformed request line is answered 400 (or closed) at once.

#include "raw_client.h"
#include "server_fixture.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString errorMessage(const HttpAnswerText &a) {
    return QJsonDocument::fromJson(a.body).object().value("error").toObject().value("message").toString();
}

class HttpAnswers : public ServerTest {
protected:
    void adjust(ServerOptions &o) override { o.maxBodyBytes = 64 * 1024; }
};

TEST_P(HttpAnswers, ABodyOverTheLimitWrittenWholeFirstGetsAReadable413) {
    const QByteArray head = "POST /rpc/Cot00300.rdmTbPreProCom HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n";
    const QByteArray body = "{" + QByteArray(200 * 1024, ' ') + "}";
    QByteArray chunked;
    for (qsizetype at = 0; at < body.size(); at += 0x4000) {
        const QByteArray piece = body.mid(at, 0x4000);
        chunked += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    struct Case {
        const char *framing;
        QByteArray request;
    };
    for (const Case &c : {Case{"Content-Length", head + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body},
                          Case{"chunked", head + "Transfer-Encoding: chunked\r\n\r\n" + chunked + "0\r\n\r\n"}}) {
        SCOPED_TRACE(c.framing);
        RawSocket s(server->port());
        ASSERT_TRUE(s.send(c.request)) << "the server stopped reading before the body ended";
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 5000));
        ASSERT_EQ(a.size(), 1);
        EXPECT_EQ(a[0].status, 413);
        EXPECT_TRUE(errorMessage(a[0]).contains(QStringLiteral("tamanho máximo"))) << errorMessage(a[0]).toStdString();
    }
    // The server goes on answering.
    EXPECT_TRUE(call(QStringLiteral("getTbPreco")).ok);
}

TEST_P(HttpAnswers, AMalformedRequestLineIsAnsweredAtOnce) {
    for (const QByteArray &line : {QByteArray("GARBAGE LINE\r\n\r\n"), QByteArray("\x01\x02\x03 \r\n\r\n"), QByteArray("GET /health\r\n\r\n"),
                                   QByteArray("GET /health HTTP/1.1\r\nHost: x\r\nsem dois pontos\r\n\r\n")}) {
        SCOPED_TRACE(line.toStdString());
        RawSocket s(server->port());
        ASSERT_TRUE(s.send(line));
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 2000));
        ASSERT_EQ(a.size(), 1);
        EXPECT_EQ(a[0].status, 400);
    }
    // A single word is no request line at all: the connection is closed, not held.
    RawSocket s(server->port());
    ASSERT_TRUE(s.send("garbage\r\n\r\n"));
    EXPECT_TRUE(s.closedByPeer(2000));
}

COT_BOTH_BACKENDS(HttpAnswers);

}  // namespace
