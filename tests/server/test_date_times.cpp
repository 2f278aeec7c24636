// The protocol's date-times are local and to the second: one carrying a zone,
// an offset or fractions of a second is refused, naming the field, and nothing
// is stored (it used to be stored with the zone or fraction dropped).

#include "raw_client.h"
#include "server_fixture.h"

#include <rpc_codes.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class DateTimes : public ServerTest {};

TEST_P(DateTimes, AZoneAnOffsetOrAFractionIsRefusedNamingTheField) {
    struct Case {
        const char *start;
        bool accepted;
    };
    const Case cases[] = {{"2026-03-01T23:00:00-03:00", false}, {"2026-03-01T23:00:00+00:00", false}, {"2026-03-01T23:00:00Z", false},
                          {"2026-03-01T23:00:00.123", false},   {"2026-03-01T23:00:00,5", false},     {"2026-03-01T23:00:00.000-03:00", false},
                          {"2026-03-01T23:00:00", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        const QString code = call(QStringLiteral("PrxPrecoProp")).data.toString();
        const Row row{code, QStringLiteral("Tabela"), QDateTime(QDate(2026, 1, 1), QTime(0, 0)), QDateTime(QDate(2026, 12, 31), QTime(0, 0)),
                      1000.0, 180.0, 36.0, 10.0, 15.0};
        QJsonObject delta = PacketCodec::toJson(insertDelta(ClientFields::priceTable(), row));
        QJsonArray changes = delta.value("changes").toArray();
        QJsonObject change = changes[0].toObject();
        QJsonArray values = change.value("new").toArray();
        values[2] = QString::fromLatin1(c.start);  // DTINIPRECOPROP
        change.insert("new", values);
        changes[0] = change;
        delta.insert("changes", changes);
        const QJsonObject request{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "SetIncTbPre"}, {"params", QJsonArray{delta}}};

        RawSocket s(server->port());
        ASSERT_TRUE(s.send(rpcRequest(QJsonDocument(request).toJson(QJsonDocument::Compact))));
        const QList<HttpAnswerText> a = splitAnswers(s.readAnswers(1, 5000));
        ASSERT_EQ(a.size(), 1);
        const QJsonObject error = QJsonDocument::fromJson(a[0].body).object().value("error").toObject();
        const qint64 stored = count(QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA WHERE CDPRECOPROP = ?"), {code});
        if (c.accepted) {
            EXPECT_TRUE(error.isEmpty()) << error.value("message").toString().toStdString();
            EXPECT_EQ(stored, 1);
            const DataPacket p = packet(QStringLiteral("getTbPreco"));
            EXPECT_EQ(p.rows.value(0).value(p.fieldIndex(QStringLiteral("DTINIPRECOPROP"))).toDateTime(), QDateTime(QDate(2026, 3, 1), QTime(23, 0)));
        } else {
            EXPECT_EQ(error.value("code").toInt(), RpcCode::InvalidParams);
            EXPECT_TRUE(error.value("message").toString().contains(QStringLiteral("DTINIPRECOPROP"))) << error.value("message").toString().toStdString();
            EXPECT_EQ(stored, 0);
        }
    }
}

COT_BOTH_BACKENDS(DateTimes);

}  // namespace
