#include "packet.h"
#include "packet_writer.h"
#include "rpc_answer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <cmath>

namespace {

DataPacket samplePacket() {
    DataPacket p;
    p.fields = {{"CDPRECOPROP", FieldType::String, 10},
                {"VRPRECOUNITSIST", FieldType::Float, 0},
                {"NRSEQ", FieldType::Integer, 0},
                {"DTINIPRECOPROP", FieldType::DateTime, 0}};
    p.rows = {{QString("0000000001"), 1000.5, qint64(7), QDateTime(QDate(2026, 1, 31), QTime(0, 0))},
              {QString("0000000002"), QVariant(), QVariant(), QVariant()}};
    return p;
}

QJsonObject parse(const char *text) { return QJsonDocument::fromJson(text).object(); }

}  // namespace

TEST(Packet, RoundTripKeepsValuesNullsSizesAndDates) {
    const DataPacket p = samplePacket();
    const DataPacket back = PacketCodec::decodePacket(PacketCodec::encode(p));
    ASSERT_EQ(back.fields, p.fields);
    ASSERT_EQ(back.rows.size(), 2);
    EXPECT_EQ(back.rows[0][0].toString(), "0000000001");
    EXPECT_DOUBLE_EQ(back.rows[0][1].toDouble(), 1000.5);
    EXPECT_EQ(back.rows[0][2].toLongLong(), 7);
    EXPECT_EQ(back.rows[0][3].toDateTime(), QDateTime(QDate(2026, 1, 31), QTime(0, 0)));
    for (int i = 1; i < 4; ++i) EXPECT_FALSE(back.rows[1][i].isValid()) << i;
    EXPECT_EQ(back.fields[0].size, 10);
}

TEST(Packet, WireFormatMatchesTheProtocol) {
    const QJsonObject o = PacketCodec::toJson(samplePacket());
    const QJsonObject f0 = o["fields"].toArray()[0].toObject();
    EXPECT_EQ(f0["name"].toString(), "CDPRECOPROP");
    EXPECT_EQ(f0["type"].toString(), "string");
    EXPECT_EQ(f0["size"].toInt(), 10);
    EXPECT_FALSE(o["fields"].toArray()[1].toObject().contains("size"));
    const QJsonArray row0 = o["rows"].toArray()[0].toArray();
    EXPECT_EQ(row0[3].toString(), "2026-01-31T00:00:00");
    EXPECT_TRUE(o["rows"].toArray()[1].toArray()[1].isNull());
}

TEST(Packet, DeltaRoundTripKeepsOperationsInOrder) {
    Delta d;
    d.fields = {{"CODE", FieldType::String, 5}, {"PCT", FieldType::Float, 0}};
    d.changes = {{DeltaChange::Insert, {}, {QString("00001"), 10.0}},
                 {DeltaChange::Update, {QString("00002"), 5.0}, {QString("00002"), 6.0}},
                 {DeltaChange::Delete, {QString("00003"), QVariant()}, {}}};
    const Delta back = PacketCodec::deltaFromJson(PacketCodec::toJson(d));
    ASSERT_EQ(back.changes.size(), 3);
    EXPECT_EQ(back.changes[0].op, DeltaChange::Insert);
    EXPECT_EQ(back.changes[1].op, DeltaChange::Update);
    EXPECT_DOUBLE_EQ(back.changes[1].oldValues[1].toDouble(), 5.0);
    EXPECT_DOUBLE_EQ(back.changes[1].newValues[1].toDouble(), 6.0);
    EXPECT_EQ(back.changes[2].op, DeltaChange::Delete);
    EXPECT_FALSE(back.changes[2].oldValues[1].isValid());
}

TEST(Packet, MalformedInputIsRefusedWithAPortugueseMessage) {
    struct Case { const char *json; const char *fragment; };
    const Case cases[] = {
        {R"({"rows":[]})", "campos"},
        {R"({"fields":[{"name":"A","type":"blob"}],"rows":[]})", "tipo desconhecido"},
        {R"({"fields":[{"name":"A","type":"string"}],"rows":[]})", "tamanho"},
        {R"({"fields":[{"name":"A","type":"string","size":2}],"rows":[["abc"]]})", "mais de 2"},
        {R"({"fields":[{"name":"A","type":"float"}],"rows":[["1,5"]]})", "número"},
        {R"({"fields":[{"name":"A","type":"integer"}],"rows":[[1.5]]})", "inteiro"},
        {R"({"fields":[{"name":"A","type":"datetime"}],"rows":[["2026-02-31T00:00:00"]]})", "data inválida"},
        {R"({"fields":[{"name":"A","type":"float"}],"rows":[[1,2]]})", "2 valores para 1"},
        {R"({"fields":[{"name":"A","type":"float"},{"name":"a","type":"float"}],"rows":[]})", "duas vezes"},
        {R"({"fields":[{"name":"A","type":"float"}]})", "linhas"},
    };
    for (const Case &c : cases) {
        try {
            PacketCodec::packetFromJson(parse(c.json));
            ADD_FAILURE() << "accepted " << c.json;
        } catch (const PacketError &e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment))) << e.message().toStdString();
        }
    }
    EXPECT_THROW(PacketCodec::decodePacket("{not json"), PacketError);
    EXPECT_THROW(PacketCodec::deltaFromJson(parse(R"({"fields":[],"changes":[{"op":"merge"}]})")), PacketError);
    EXPECT_THROW(PacketCodec::deltaFromJson(parse(R"({"fields":[{"name":"A","type":"float"}],"changes":[{"op":"update","new":[1]}]})")),
                 PacketError);
}

TEST(Packet, CoerceConvertsBetweenTextAndTypes) {
    QVariant out;
    EXPECT_TRUE(PacketCodec::coerce(QString("12.5"), {"F", FieldType::Float, 0}, &out));
    EXPECT_DOUBLE_EQ(out.toDouble(), 12.5);
    EXPECT_FALSE(PacketCodec::coerce(QString("abc"), {"F", FieldType::Float, 0}, &out));
    EXPECT_TRUE(PacketCodec::coerce(7.0, {"I", FieldType::Integer, 0}, &out));
    EXPECT_EQ(out.toLongLong(), 7);
    EXPECT_FALSE(PacketCodec::coerce(7.5, {"I", FieldType::Integer, 0}, &out));
    EXPECT_TRUE(PacketCodec::coerce(QString("2026-03-01T00:00:00"), {"D", FieldType::DateTime, 0}, &out));
    EXPECT_EQ(out.toDateTime().date(), QDate(2026, 3, 1));
    EXPECT_TRUE(PacketCodec::coerce(QVariant(), {"D", FieldType::DateTime, 0}, &out));
    EXPECT_FALSE(out.isValid());
}

namespace {

// Reads a packet with Qt's reader alone: what the fast reader must match.
QString readWithQt(const QByteArray &text, DataPacket *out) {
    try {
        *out = PacketCodec::packetFromJson(QJsonDocument::fromJson(text).object());
        return QString();
    } catch (const PacketError &e) {
        return e.message();
    }
}

}  // namespace

TEST(Packet, TheFastReaderReadsEveryPacketAsQtsReaderDoes) {
    const QByteArray cases[] = {
        PacketCodec::encode(samplePacket()),
        R"({"fields":[{"name":"A","type":"string","size":6}],"rows":[["\ufeffab"],["a\u00e7\u00e3o"],["\ud83d\ude00"],["x\"\\y\n"],[null]]})",
        R"({"fields":[{"name":"A","type":"float"}],"rows":[[1e30],[-0.0],[18446744073709551615],[123456789012345678901234567890],[0.1]]})",
        R"({"fields":[{"name":"A","type":"integer"}],"rows":[[9007199254740992],[-3],[9007199254740993e0]]})",
        R"({"fields":[{"name":"A","type":"datetime"}],"rows":[["2026-03-01T23:00:00-03:00"]]})",
        R"({"fields":[{"name":"A","type":"datetime"}],"rows":[["2026-03-01 23:00:00"],["2026-03-01"]]})",
        R"({"fields":[{"name":"A","type":"string","size":2}],"rows":[["abc"]]})",
        R"({"fields":[{"name":"A","type":"float"}],"rows":[[1,2]]})",
        R"({"fields":[{"name":"A","type":"float"}],"rows":[{"A":1}]})",
        R"({"fields":[{"name":"A","type":"float"}],"rows":{}})",
        R"({"fields":[{"name":"A","type":"float"}],"rows":[[true]]})",
        R"({"fields":[{"name":"A","type":"float"},{"name":"a","type":"float"}],"rows":[]})",
        R"({"rows":[]})",
        R"([1,2])",
    };
    for (const QByteArray &text : cases) {
        DataPacket expected, got;
        const QString expectedError = readWithQt(text, &expected);
        QString error;
        try {
            got = PacketCodec::decodePacket(text);
        } catch (const PacketError &e) {
            error = e.message();
        }
        EXPECT_EQ(error, expectedError) << text.toStdString();
        EXPECT_EQ(got.fields, expected.fields) << text.toStdString();
        EXPECT_EQ(got.rows, expected.rows) << text.toStdString();
    }
    // Not JSON at all, and text that is not UTF-8: refused, never read in part.
    for (const QByteArray &bad : {QByteArray("{\"fields\":[],\"rows\":[[1,]]}"), QByteArray("{\"fields\":[{\"name\":\"A\",\"type\":\"string\","
                                                                                           "\"size\":5}],\"rows\":[[\"\xC3\x28\"]]}")})
        EXPECT_THROW(PacketCodec::decodePacket(bad), PacketError) << bad.toStdString();
}

TEST(JsonWriter, TextsAndNumbersReadBackExactly) {
    const QString texts[] = {QString(), "0000000001", "Açaí Órgãos € ß", QString(QChar(0xFEFF)) + "ab" + QChar(0xFEFF),
                             "quote \" backslash \\ tab \t nul " + QString(QChar(0)) + " end", QString::fromUtf8("\xF0\x9F\x98\x80 emoji")};
    for (const QString &t : texts) {
        QByteArray out;
        JsonText::appendString(out, t);
        const QJsonArray back = QJsonDocument::fromJson("[" + out + "]").array();
        ASSERT_EQ(back.size(), 1) << out.toStdString();
        EXPECT_EQ(back.at(0).toString(), t) << out.toStdString();
    }
    QByteArray escapes;
    JsonText::appendString(escapes, QString("a\"b\\c") + QChar(1) + QChar(0xFEFF));
    EXPECT_EQ(escapes, R"("a\"b\\c\u0001\ufeff")");

    const double numbers[] = {0, 1001, -3, 12.5, 0.1, 1e15, 1e-7, 123456.789, 9007199254740993.0, 1.7976931348623157e308};
    for (double d : numbers) {
        QByteArray out;
        JsonText::appendNumber(out, d);
        EXPECT_EQ(QJsonDocument::fromJson("[" + out + "]").array().at(0).toDouble(), d) << out.toStdString();
    }
    QByteArray special;
    for (double d : {-0.0, std::nan(""), HUGE_VAL}) {
        JsonText::appendNumber(special, d);
        special += ' ';
    }
    EXPECT_EQ(special, "0 null null ");
}

TEST(RpcAnswer, TheEnvelopeIsReadAsQtReadsIt) {
    struct Case {
        const char *body;
        bool readable, isError;
        int code;
        const char *message;
        QJsonValue data;
        QJsonArray params;
    };
    const Case cases[] = {
        {R"({"jsonrpc":"2.0","id":1,"result":{"data":"0000000004","params":["x",2]}})", true, false, 0, "", "0000000004", {"x", 2}},
        {R"({"jsonrpc":"2.0","id":1,"result":{"params":[],"data":null}})", true, false, 0, "", QJsonValue::Null, {}},
        {R"({"jsonrpc":"2.0","id":1,"result":{"data":[1,{"a":"b"}],"params":[]}})", true, false, 0, "", QJsonArray{1, QJsonObject{{"a", "b"}}}, {}},
        {R"({"jsonrpc":"2.0","id":1,"result":{"data":123456789012345678901234567890,"params":[]}})", true, false, 0, "", 1.2345678901234568e29, {}},
        {R"({"jsonrpc":"2.0","id":1,"error":{"code":-32001,"message":"Outro usu\u00e1rio alterou"}})", true, true, -32001, "Outro usuário alterou", QJsonValue::Undefined, {}},
        {R"({"jsonrpc":"2.0","id":1,"result":{}})", true, false, 0, "", QJsonValue::Undefined, {}},
        {R"({"result":{"data":1}} trailing)", false, false, 0, "", QJsonValue::Undefined, {}},
        {R"([1,2])", false, false, 0, "", QJsonValue::Undefined, {}},
        {"", false, false, 0, "", QJsonValue::Undefined, {}},
    };
    for (const Case &c : cases) {
        const RpcAnswer a = RpcAnswerReader::read(c.body);
        EXPECT_EQ(a.readable, c.readable) << c.body;
        if (!a.readable) continue;
        EXPECT_EQ(a.isError, c.isError) << c.body;
        EXPECT_EQ(a.errorCode, c.code) << c.body;
        EXPECT_EQ(a.errorMessage, QString::fromUtf8(c.message)) << c.body;
        EXPECT_EQ(a.data.value(), c.data) << c.body;
        EXPECT_EQ(a.params, c.params) << c.body;
    }
    // A packet in the data is read straight from its text.
    const QByteArray packet = PacketCodec::encode(samplePacket());
    const RpcAnswer a = RpcAnswerReader::read(R"({"jsonrpc":"2.0","id":7,"result":{"data":)" + packet + R"(,"params":[]}})");
    EXPECT_EQ(a.data.packet().rows, samplePacket().rows);
}
