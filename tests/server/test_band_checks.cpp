// The questions the band checks of the maintenance screen ask, and the
// answers they rely on.

#include "server_fixture.h"

#include <rpc_codes.h>

class BandChecks : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        code = newPriceTable();
    }
    // The one answer text of a question (empty when it has no row).
    QString answer(const QString &method, const QVector<RpcArg> &args, const QString &field) {
        const DataPacket p = packet(method, args);
        EXPECT_LE(p.rows.size(), 1);
        EXPECT_GE(p.fieldIndex(field), 0) << field.toStdString();
        return p.rows.isEmpty() ? QString() : cell(p, 0, field);
    }
    QString interval(bool sys, const QString &kind, const QString &first, const QString &last) {
        return answer(sys ? QStringLiteral("getVdIntervSis") : QStringLiteral("getVdIntervUsu"), {kind, code, first, last},
                      sys ? QStringLiteral("INTERVSIS") : QStringLiteral("INTERVUSU"));
    }
    QString code;
};

TEST_P(BandChecks, IntervalIAnswersTheBandContainingAQuantity) {
    addBands(true, code, {{1, 5, 0}, {10, 12, 4}});
    EXPECT_EQ(interval(true, "I", "00003", ""), QStringLiteral("00001 e 00005"));
    EXPECT_EQ(interval(true, "I", "00001", ""), QStringLiteral("00001 e 00005"));
    EXPECT_EQ(interval(true, "I", "00005", ""), QStringLiteral("00001 e 00005"));
    EXPECT_EQ(interval(true, "I", "00012", ""), QStringLiteral("00010 e 00012"));
    EXPECT_EQ(interval(true, "I", "00006", ""), QString());
    EXPECT_EQ(interval(true, "I", "00013", ""), QString());
    const DataPacket p = packet(QStringLiteral("getVdIntervSis"), {QStringLiteral("I"), code, QStringLiteral("00003"), QString()});
    EXPECT_EQ(fieldNames(p), QStringList{"INTERVSIS"});
    EXPECT_EQ(p.fields[0].size, 13);
    // Another table's bands do not answer.
    const QString other = newPriceTable();
    EXPECT_TRUE(packet(QStringLiteral("getVdIntervSis"), {QStringLiteral("I"), other, QStringLiteral("00003"), QString()}).rows.isEmpty());
}

TEST_P(BandChecks, IntervalFAnswersTheLargestStartABandEndingThereWouldEnclose) {
    addBands(true, code, {{1, 5, 0}, {10, 12, 4}});
    // No band lies wholly at or below 4.
    EXPECT_EQ(interval(true, "F", "", "00004"), QString());
    // Below 9 only 1-5 lies: a new band ending at 9 encloses it exactly when it starts at 1 or below.
    EXPECT_EQ(interval(true, "F", "", "00009").toInt(), 1);
    EXPECT_EQ(interval(true, "F", "", "00012").toInt(), 10);
    EXPECT_EQ(interval(true, "F", "", "00020").toInt(), 10);
    // Check the meaning against every band a screen could propose.
    const QVector<std::pair<int, int>> existing = {{1, 5}, {10, 12}};
    for (int last = 1; last <= 20; ++last) {
        const QString n = interval(true, "F", "", QStringLiteral("%1").arg(last, 5, 10, QLatin1Char('0')));
        for (int first = 1; first <= last; ++first) {
            bool encloses = false;
            for (auto [a, b] : existing) encloses |= first <= a && b <= last;
            const bool refused = !n.isEmpty() && first <= n.toInt();
            EXPECT_EQ(refused, encloses) << first << "-" << last;
        }
    }
}

TEST_P(BandChecks, UsersIntervalsMirrorTheSystems) {
    addBands(false, code, {{1, 10, 0}, {51, 150, 20}});
    EXPECT_EQ(interval(false, "I", "00100", ""), QStringLiteral("00051 e 00150"));
    EXPECT_EQ(interval(false, "I", "00011", ""), QString());
    EXPECT_EQ(interval(false, "F", "", "00050").toInt(), 1);
    EXPECT_EQ(interval(false, "F", "", "00150").toInt(), 51);
    EXPECT_EQ(interval(true, "I", "00005", ""), QString());  // no systems bands
}

TEST_P(BandChecks, FinEditAnswersAnotherBandTheEditWouldOverlap) {
    addBands(true, code, {{1, 5, 0}, {10, 15, 4}});
    const auto fin = [&](const char *last, const char *first) {
        const DataPacket p = packet(QStringLiteral("getVdFinSistEdit"), {code, QString::fromLatin1(last), QString::fromLatin1(first)});
        EXPECT_EQ(fieldNames(p), (QStringList{"QTINISISTEMAS", "QTFINSISTEMAS"}));
        return p.rows.isEmpty() ? QString() : cell(p, 0, "QTINISISTEMAS") + "-" + cell(p, 0, "QTFINSISTEMAS");
    };
    EXPECT_EQ(fin("00008", "00001"), QString());  // 1-8 touches nothing else
    EXPECT_EQ(fin("00005", "00001"), QString());  // never the edited band itself
    EXPECT_EQ(fin("00012", "00001"), QStringLiteral("00010-00015"));
    EXPECT_EQ(fin("00020", "00010"), QString());
    EXPECT_EQ(fin("00002", "00010"), QStringLiteral("00001-00005"));  // reaching below
    const DataPacket u = packet(QStringLiteral("getVdFinUsuEdit"), {code, QStringLiteral("00010"), QStringLiteral("00001")});
    EXPECT_EQ(fieldNames(u), (QStringList{"QTINIUSUARIOS", "QTFINUSUARIOS"}));
    EXPECT_TRUE(u.rows.isEmpty());
}

TEST_P(BandChecks, QtMaxFinAnswersTheEndOfThePrecedingBand) {
    addBands(true, code, {{1, 5, 0}, {6, 10, 5}});
    addBands(false, code, {{1, 3, 0}, {4, 10, 5}, {11, 150, 9}});
    int start = 6;
    const RpcReply r = call(QStringLiteral("getQtMaxFin"), {code, RpcArg::ref(&start), QStringLiteral("EDIT")});
    ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
    const DataPacket p = PacketCodec::packetFromJson(r.data);
    EXPECT_EQ(fieldNames(p), (QStringList{"FINSIST", "FINUSU"}));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(cell(p, 0, "FINSIST").toInt(), 5);
    EXPECT_EQ(cell(p, 0, "FINUSU").toInt(), 3);
    EXPECT_EQ(start, 6);  // written back unchanged
    EXPECT_EQ(r.params.at(1).toInt(), 6);
    EXPECT_EQ(r.params.at(2).toString(), QStringLiteral("EDIT"));

    int first = 1;
    const DataPacket none = PacketCodec::packetFromJson(call(QStringLiteral("getQtMaxFin"), {code, RpcArg::ref(&first), QStringLiteral("EDIT")}).data);
    EXPECT_EQ(cell(none, 0, "FINSIST"), QStringLiteral("0"));
    EXPECT_EQ(cell(none, 0, "FINUSU"), QStringLiteral("0"));
    int eleven = 11;
    const DataPacket later = PacketCodec::packetFromJson(call(QStringLiteral("getQtMaxFin"), {code, RpcArg::ref(&eleven), QStringLiteral("EDIT")}).data);
    EXPECT_EQ(cell(later, 0, "FINSIST").toInt(), 10);
    EXPECT_EQ(cell(later, 0, "FINUSU").toInt(), 10);
    EXPECT_EQ(call(QStringLiteral("getQtMaxFin"), {code, 6, QStringLiteral("OUTRO")}).errorCode, RpcCode::InvalidParams);
}

TEST_P(BandChecks, SameStartQuestionsAnswerTheBandsWithThatStart) {
    addBands(true, code, {{1, 5, 0}});
    addBands(false, code, {{1, 7, 0}});
    DataPacket p = packet(QStringLiteral("getVdQtIniSis"), {code, QStringLiteral("00001")});
    EXPECT_EQ(fieldNames(p), (QStringList{"CDPRECOPROP", "QTINISISTEMAS"}));
    ASSERT_EQ(p.rows.size(), 1);
    EXPECT_EQ(cell(p, 0, "QTINISISTEMAS"), QStringLiteral("00001"));
    EXPECT_TRUE(packet(QStringLiteral("getVdQtIniSis"), {code, QStringLiteral("00002")}).rows.isEmpty());
    p = packet(QStringLiteral("getVdQtIniusu"), {code, QStringLiteral("1")});
    EXPECT_EQ(fieldNames(p), (QStringList{"CDPRECOPROP", "QTINIUSUARIOS"}));
    EXPECT_EQ(p.rows.size(), 1);
}

COT_BOTH_BACKENDS(BandChecks);
