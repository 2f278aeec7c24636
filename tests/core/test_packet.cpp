#include "packet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

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
