// Service types and the operators' discounts on them.

#include "server_fixture.h"

#include <rpc_codes.h>

#include <QSet>
#include <atomic>
#include <barrier>
#include <thread>

class ServiceTypes : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        exec(QStringLiteral("INSERT INTO TIPOSERV (CDTIPOSERV, NMTIPOSERV, IDPROPSERVWEB, IDSERVOBRIGPROS, VRPADRAOSERVNAC, VRPADRAOSERVINT)"
                            " VALUES ('001', 'Implantação', 'S', 'S', 3500, 1200), ('002', 'Treinamento', 'N', 'N', 1800, NULL)"));
        addOperator(QStringLiteral("000000000001"), QStringLiteral("Ana"));
        addOperator(QStringLiteral("000000000002"), QStringLiteral("Bruno"));
        addOperator(QStringLiteral("000000000009"), QStringLiteral("Inativo"), false);
    }
    double nextNumber(TNetConnection &c) {
        const DataPacket p = PacketCodec::packetFromJson(c.Call(QStringLiteral("GetMaxOperTipoServ"), {}).data);
        EXPECT_EQ(fieldNames(p), QStringList{"NROPERTIPOSERV"});
        return p.rows.isEmpty() ? -1 : p.rows[0][0].toDouble();
    }
    RpcReply addByType(const QVariant &type, const QVariant &op, const QVariant &pct, const QVariant &number) {
        return call(QStringLiteral("SetOperTipoServ"),
                    {insertDelta(ClientFields::operatorsOfType(), {type, number, op, QVariant(), pct}), nullptr});
    }
    RpcReply addByOperator(const QVariant &type, const QVariant &op, const QVariant &pct, const QVariant &number) {
        return call(QStringLiteral("SetOperTipoServ"),
                    {nullptr, insertDelta(ClientFields::typesOfOperator(), {type, QVariant(), pct, number, op})});
    }
    qint64 discounts() { return count(QStringLiteral("SELECT COUNT(*) FROM OPERTIPOSERV")); }
};

TEST_P(ServiceTypes, ListAndSearch) {
    const DataPacket p = packet(QStringLiteral("GetTipoServico"));
    EXPECT_EQ(fieldNames(p), (QStringList{"CDTIPOSERV", "NMTIPOSERV", "IDPROPSERVWEB", "IDSERVOBRIGPROS", "VRPADRAOSERVNAC", "VRPADRAOSERVINT"}));
    EXPECT_EQ(p.fields[1].size, 80);
    EXPECT_EQ(p.fields[3].size, 2);
    ASSERT_EQ(p.rows.size(), 2);
    EXPECT_EQ(cell(p, 0, "NMTIPOSERV"), QStringLiteral("Implantação"));
    EXPECT_EQ(cell(p, 1, "VRPADRAOSERVINT"), QString());
    DataPacket all = packet(QStringLiteral("GetPesqTipoServ"), {QString(), QStringLiteral("T")});
    EXPECT_EQ(fieldNames(all), (QStringList{"CDTIPOSERV", "NMTIPOSERV"}));
    EXPECT_EQ(all.rows.size(), 2);
    DataPacket one = packet(QStringLiteral("GetPesqTipoServ"), {QStringLiteral("2"), QString()});
    ASSERT_EQ(one.rows.size(), 1);
    EXPECT_EQ(cell(one, 0, "CDTIPOSERV"), QStringLiteral("002"));
    EXPECT_TRUE(packet(QStringLiteral("GetPesqTipoServ"), {QStringLiteral("777"), QString()}).rows.isEmpty());
}

TEST_P(ServiceTypes, FlagsAndValuesAreSavedAndChecked) {
    auto t = table(QStringLiteral("GetTipoServico"));
    t->First();
    t->Edit();
    t->FieldByName(QStringLiteral("IDPROPSERVWEB"))->SetValue(QStringLiteral("N"));
    t->FieldByName(QStringLiteral("VRPADRAOSERVNAC"))->SetValue(3600.0);
    t->Post();
    ASSERT_TRUE(call(QStringLiteral("SetTipoServico"), {t->GetDelta()}).ok);
    t->MergeChangeLog();
    EXPECT_EQ(scalar(QStringLiteral("SELECT IDPROPSERVWEB FROM TIPOSERV WHERE CDTIPOSERV = '001'")), QStringLiteral("N"));
    for (const char *bad : {"X", ""}) {
        auto u = table(QStringLiteral("GetTipoServico"));
        u->Edit();
        u->FieldByName(QStringLiteral("IDSERVOBRIGPROS"))->SetValue(QString::fromLatin1(bad));
        u->Post();
        const RpcReply r = call(QStringLiteral("SetTipoServico"), {u->GetDelta()});
        EXPECT_EQ(r.errorCode, RpcCode::Refused) << bad;
        EXPECT_TRUE(r.errorMessage.contains(QStringLiteral("001"))) << r.errorMessage.toStdString();
    }
    auto v = table(QStringLiteral("GetTipoServico"));
    v->Edit();
    v->FieldByName(QStringLiteral("VRPADRAOSERVINT"))->SetValue(-5.0);
    v->Post();
    EXPECT_EQ(call(QStringLiteral("SetTipoServico"), {v->GetDelta()}).errorCode, RpcCode::Refused);
    // Someone else's earlier save makes a stale copy conflict.
    auto stale = std::make_unique<TClientTable>();
    stale->LoadPacket(PacketCodec::packetFromJson(QJsonValue(PacketCodec::toJson(t->Data()))));
    auto fresh = table(QStringLiteral("GetTipoServico"));
    fresh->Edit();
    fresh->FieldByName(QStringLiteral("VRPADRAOSERVNAC"))->SetValue(1.0);
    fresh->Post();
    ASSERT_TRUE(call(QStringLiteral("SetTipoServico"), {fresh->GetDelta()}).ok);
    stale->Edit();
    stale->FieldByName(QStringLiteral("VRPADRAOSERVNAC"))->SetValue(2.0);
    stale->Post();
    EXPECT_EQ(call(QStringLiteral("SetTipoServico"), {stale->GetDelta()}).errorCode, RpcCode::Conflict);
    EXPECT_EQ(scalar(QStringLiteral("SELECT VRPADRAOSERVNAC FROM TIPOSERV WHERE CDTIPOSERV = '001'")).toDouble(), 1.0);
}

TEST_P(ServiceTypes, RecordNumbersAreNeverHandedOutTwice) {
    auto other = connect();
    QSet<double> seen;
    for (int i = 0; i < 30; ++i) {
        const double n = nextNumber(i % 2 ? *other : *net);
        EXPECT_GT(n, 0);
        EXPECT_FALSE(seen.contains(n)) << n;
        seen.insert(n);
    }
    // A number used by an insert is not handed out afterwards either.
    ASSERT_TRUE(addByType("001", "000000000001", 5.0, 1000.0).ok);
    EXPECT_GT(nextNumber(*net), 1000.0);
}

TEST_P(ServiceTypes, DiscountsFromBothSidesAndTheirRules) {
    const double n1 = nextNumber(*net);
    ASSERT_TRUE(addByType("001", "1", 5.0, n1).ok);
    const double n2 = nextNumber(*net);
    ASSERT_TRUE(addByOperator("2", "000000000001", 100.0, n2).ok);
    ASSERT_TRUE(addByType("002", "000000000002", 0.0, QVariant()).ok);  // numbered by the server

    DataPacket byType = packet(QStringLiteral("GetOperTipoServ"), {QStringLiteral("001")});
    EXPECT_EQ(fieldNames(byType), (QStringList{"CDTIPOSERV", "NROPERTIPOSERV", "CDOPERADOR", "NMOPERADOR", "VRPEDESOPERSERV"}));
    ASSERT_EQ(byType.rows.size(), 1);
    EXPECT_EQ(cell(byType, 0, "NMOPERADOR"), QStringLiteral("Ana"));
    EXPECT_EQ(byType.rows[0][1].toDouble(), n1);
    DataPacket byOperator = packet(QStringLiteral("GetTipoServOper"), {QStringLiteral("000000000001")});
    EXPECT_EQ(fieldNames(byOperator), (QStringList{"CDTIPOSERV", "NMTIPOSERV", "VRPEDESOPERSERV", "NROPERTIPOSERV", "CDOPERADOR"}));
    ASSERT_EQ(byOperator.rows.size(), 2);
    EXPECT_EQ(cell(byOperator, 1, "NMTIPOSERV"), QStringLiteral("Treinamento"));
    EXPECT_EQ(cell(byOperator, 1, "VRPEDESOPERSERV"), QStringLiteral("100"));

    struct Case {
        QVariant type, op, pct;
        const char *expected;
    };
    const QVector<Case> cases = {
        {"001", "000000000001", 1.0, "já tem desconto"},
        {"001", "000000000009", 1.0, "inativo"},
        {"001", "000000000055", 1.0, "inativo"},
        {"777", "000000000002", 1.0, "não cadastrado"},
        {"001", "000000000002", 100.01, "entre 0% e 100%"},
        {"001", "000000000002", -0.01, "entre 0% e 100%"},
        {"001", "000000000002", QVariant(), "deve ser informado"},
        {QVariant(), "000000000002", 1.0, "tipo de serviço deve ser informado"},
        {"001", QVariant(), 1.0, "operador deve ser informado"},
    };
    for (const Case &c : cases) {
        const RpcReply r = addByType(c.type, c.op, c.pct, nextNumber(*net));
        EXPECT_EQ(r.errorCode, RpcCode::Refused) << c.expected;
        EXPECT_TRUE(r.errorMessage.contains(QString::fromUtf8(c.expected))) << r.errorMessage.toStdString();
    }
    EXPECT_EQ(addByType("002", "000000000001", 1.0, n1).errorCode, RpcCode::Refused);  // number in use
    EXPECT_EQ(discounts(), 3);
}

TEST_P(ServiceTypes, EditAndDeleteFromEitherSide) {
    ASSERT_TRUE(addByType("001", "000000000001", 5.0, QVariant()).ok);
    ASSERT_TRUE(addByType("002", "000000000001", 6.0, QVariant()).ok);
    auto byOperator = table(QStringLiteral("GetTipoServOper"), {QStringLiteral("000000000001")});
    byOperator->First();
    byOperator->Edit();
    byOperator->FieldByName(QStringLiteral("VRPEDESOPERSERV"))->SetValue(7.5);
    byOperator->Post();
    byOperator->Next();
    byOperator->Delete();
    ASSERT_TRUE(call(QStringLiteral("SetOperTipoServ"), {nullptr, byOperator->GetDelta()}).ok);
    EXPECT_EQ(discounts(), 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT VRPEDESOPERSERV FROM OPERTIPOSERV")).toDouble(), 7.5);
    auto byType = table(QStringLiteral("GetOperTipoServ"), {QStringLiteral("001")});
    byType->Delete();
    ASSERT_TRUE(call(QStringLiteral("SetOperTipoServ"), {byType->GetDelta(), nullptr}).ok);
    EXPECT_EQ(discounts(), 0);
    // The same deletion again finds nothing: a conflict.
    EXPECT_EQ(call(QStringLiteral("SetOperTipoServ"), {byType->GetDelta(), nullptr}).errorCode, RpcCode::Conflict);
}

TEST_P(ServiceTypes, AServiceTypeWithDiscountsCannotBeDeleted) {
    ASSERT_TRUE(addByType("001", "000000000001", 5.0, QVariant()).ok);
    auto t = table(QStringLiteral("GetTipoServico"));
    t->First();
    t->Delete();
    EXPECT_EQ(call(QStringLiteral("SetTipoServico"), {t->GetDelta()}).errorCode, RpcCode::Refused);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TIPOSERV")), 2);
}

COT_BOTH_BACKENDS(ServiceTypes);

// ---------------------------------------------------------------- what the screens send

class ServiceTypesAsScreensSend : public ServiceTypes {
protected:
    // A service type written by another program of the host, with flags the
    // screens never write.
    void addLegacyType(const QString &code, const QString &web, const QString &prospect) {
        exec(QStringLiteral("INSERT INTO TIPOSERV (CDTIPOSERV, NMTIPOSERV, IDPROPSERVWEB, IDSERVOBRIGPROS, VRPADRAOSERVNAC)"
                            " VALUES (?, 'Legado', ?, ?, 10)"),
             {code, web, prospect});
    }
    // The service-type list as the screen holds it, on the row of that code.
    std::unique_ptr<TClientTable> typesAt(const QString &code) {
        auto t = table(QStringLiteral("GetTipoServico"));
        EXPECT_TRUE(t->Locate(QStringLiteral("CDTIPOSERV"), code));
        return t;
    }
};

TEST_P(ServiceTypesAsScreensSend, AServiceTypeIsCheckedOnWhatTheChangeTouches) {
    addLegacyType(QStringLiteral("900"), QStringLiteral("X"), QStringLiteral("?"));
    struct Case {
        const char *field;
        QVariant value;
        bool taken;
    };
    const QVector<Case> cases = {
        {"VRPADRAOSERVNAC", 25.5, true},  // the values alone: taken, flags as stored
        {"VRPADRAOSERVINT", 0.0, true},
        {"VRPADRAOSERVNAC", -1.0, false},
        {"IDPROPSERVWEB", "Y", false},  // a flag touched must be S or N
        {"IDSERVOBRIGPROS", "", false},
        {"IDPROPSERVWEB", "N", true},
        {"IDSERVOBRIGPROS", "S", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.field) + " = " + c.value.toString().toStdString());
        auto t = typesAt(QStringLiteral("900"));
        t->Edit();
        t->FieldByName(QString::fromLatin1(c.field))->SetValue(c.value);
        t->Post();
        const RpcReply r = call(QStringLiteral("SetTipoServico"), {t->GetDelta()});
        EXPECT_EQ(r.ok, c.taken) << r.errorMessage.toStdString();
        if (!c.taken) {
            EXPECT_EQ(r.errorCode, RpcCode::Refused);
        }
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT VRPADRAOSERVNAC FROM TIPOSERV WHERE CDTIPOSERV = '900'")).toDouble(), 25.5);
    EXPECT_EQ(scalar(QStringLiteral("SELECT IDPROPSERVWEB || IDSERVOBRIGPROS FROM TIPOSERV WHERE CDTIPOSERV = '900'")),
              QStringLiteral("NS"));
}

TEST_P(ServiceTypesAsScreensSend, APercentageEditIsTakenAfterTheOperatorBecameInactive) {
    ASSERT_TRUE(addByType("001", "000000000002", 5.0, QVariant()).ok);
    exec(QStringLiteral("UPDATE OPERADOR SET IDOPERATIVO = 'I' WHERE CDOPERADOR = '000000000002'"));
    for (bool byOperator : {false, true}) {
        SCOPED_TRACE(byOperator ? "by operator" : "by service type");
        auto t = byOperator ? table(QStringLiteral("GetTipoServOper"), {QStringLiteral("000000000002")})
                            : table(QStringLiteral("GetOperTipoServ"), {QStringLiteral("001")});
        ASSERT_EQ(t->RecordCount(), 1);
        t->Edit();
        t->FieldByName(QStringLiteral("VRPEDESOPERSERV"))->SetValue(byOperator ? 9.0 : 7.0);
        t->Post();
        const RpcReply r = byOperator ? call(QStringLiteral("SetOperTipoServ"), {nullptr, t->GetDelta()})
                                      : call(QStringLiteral("SetOperTipoServ"), {t->GetDelta(), nullptr});
        EXPECT_TRUE(r.ok) << r.errorMessage.toStdString();
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT VRPEDESOPERSERV FROM OPERTIPOSERV")).toDouble(), 9.0);
    // A new discount for the inactive operator is still refused, from either side.
    const RpcReply byType = addByType("002", "000000000002", 1.0, QVariant());
    EXPECT_EQ(byType.errorCode, RpcCode::Refused);
    EXPECT_TRUE(byType.errorMessage.contains(QStringLiteral("inativo"))) << byType.errorMessage.toStdString();
    EXPECT_EQ(addByOperator("002", "000000000002", 1.0, QVariant()).errorCode, RpcCode::Refused);
    // So is moving a discount onto an inactive operator.
    ASSERT_TRUE(addByType("002", "000000000001", 3.0, QVariant()).ok);
    auto t = table(QStringLiteral("GetOperTipoServ"), {QStringLiteral("002")});
    t->Edit();
    t->FieldByName(QStringLiteral("CDOPERADOR"))->SetValue(QStringLiteral("000000000009"));
    t->Post();
    EXPECT_EQ(call(QStringLiteral("SetOperTipoServ"), {t->GetDelta(), nullptr}).errorCode, RpcCode::Refused);
    EXPECT_EQ(discounts(), 2);
}

TEST_P(ServiceTypesAsScreensSend, AMalformedCodeFindsNoServiceType) {
    for (const char *code : {"1234", "'; DROP TABLE TIPOSERV; --", "a b", "%", "0001"}) {
        SCOPED_TRACE(code);
        const RpcReply r = call(QStringLiteral("GetPesqTipoServ"), {QString::fromUtf8(code), QString()});
        ASSERT_TRUE(r.ok) << r.errorMessage.toStdString();
        const DataPacket p = PacketCodec::packetFromJson(r.data);
        EXPECT_EQ(fieldNames(p), (QStringList{"CDTIPOSERV", "NMTIPOSERV"}));
        EXPECT_TRUE(p.rows.isEmpty());
    }
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TIPOSERV")), 2);
}

// Hosts released at the same moment, each adding the same operator to the same
// service type with a number of its own: one row gets in, the others are told.
TEST_P(ServiceTypesAsScreensSend, HostsAddingTheSameOperatorAtOnceLeaveOneRow) {
    constexpr int kHosts = 2, kRounds = 5;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        exec(QStringLiteral("DELETE FROM OPERTIPOSERV"));
        std::barrier start(kHosts);
        std::atomic<int> accepted{0}, refused{0};
        std::vector<std::thread> hosts;
        for (int h = 0; h < kHosts; ++h) {
            hosts.emplace_back([&, h] {
                auto c = connect();
                c->ThrowException = false;
                const double number = nextNumber(*c);
                const bool byOperator = h % 2 == 1;  // from either grid
                const Delta d = byOperator
                                    ? insertDelta(ClientFields::typesOfOperator(), {"001", QVariant(), double(h), number, "000000000001"})
                                    : insertDelta(ClientFields::operatorsOfType(), {"001", number, "000000000001", QVariant(), double(h)});
                start.arrive_and_wait();
                const RpcReply r = byOperator ? c->Call(QStringLiteral("SetOperTipoServ"), {nullptr, d})
                                              : c->Call(QStringLiteral("SetOperTipoServ"), {d, nullptr});
                if (r.ok) ++accepted;
                else if (r.errorCode == RpcCode::Refused || r.errorCode == RpcCode::Conflict) ++refused;
                else ADD_FAILURE() << r.errorCode << " " << r.errorMessage.toStdString();
            });
        }
        for (auto &t : hosts) t.join();
        EXPECT_EQ(accepted.load(), 1);
        EXPECT_EQ(refused.load(), kHosts - 1);
        EXPECT_EQ(discounts(), 1);
    }
}

COT_BOTH_BACKENDS(ServiceTypesAsScreensSend);
