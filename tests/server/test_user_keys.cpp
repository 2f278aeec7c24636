// Keys per person on a server that asks for keys: each valid key is taken, a
// revoked one is refused from its next call, the administrator's key keeps
// working, and a run of wrong keys from one address is slowed down.

#include "server_fixture.h"

#include <rpc_codes.h>
#include <user_keys.h>

class UserKeysTest : public ServerTest {
protected:
    void adjust(ServerOptions &o) override { o.token = QStringLiteral("chave-do-administrador"); }
};

TEST_P(UserKeysTest, APersonsKeyWorksUntilRevokedAndTheAdministratorsAlways) {
    const QByteArray ana = UserKeys::add(database(), QStringLiteral("Ana Paula"), Role::Precos);
    EXPECT_THROW(UserKeys::add(database(), QStringLiteral("Ana Paula")), UserKeys::Refused);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM CHAVEUSUARIO WHERE HSCHAVE = ?"), {QString::fromLatin1(ana)}), 0);  // only its hash
    auto asAna = connect(QString::fromLatin1(ana));
    ASSERT_TRUE(asAna->Call(QStringLiteral("PrxPrecoProp"), {}).ok);
    EXPECT_FALSE(UserKeys::list(database()).value(0).lastUse.isNull());

    UserKeys::revoke(database(), QStringLiteral("Ana Paula"));
    EXPECT_EQ(asAna->Call(QStringLiteral("PrxPrecoProp"), {}).errorCode, RpcCode::Unauthorized);
    EXPECT_THROW(UserKeys::revoke(database(), QStringLiteral("Ana Paula")), UserKeys::Refused);
    EXPECT_TRUE(call(QStringLiteral("PrxPrecoProp")).ok);  // the administrator's key

    // A revoked person stays listed, and the name stays theirs: the trail
    // must not show another person's changes under it.
    EXPECT_THROW(UserKeys::add(database(), QStringLiteral("ana paula")), UserKeys::Refused);
    EXPECT_FALSE(UserKeys::list(database()).value(0).revoked.isNull());
}

TEST_P(UserKeysTest, NamesTheServerRecordsForItselfOrWithControlCharactersAreRefused) {
    for (const QString &name : {QStringLiteral("administrador"), QStringLiteral(" Local "), QStringLiteral("Ana\nadministrador"),
                                QStringLiteral("Ana\x1b[2J"), QStringLiteral("Ana\u202eodarts")})
        EXPECT_THROW(UserKeys::add(database(), name), UserKeys::Refused) << name.toStdString();
    EXPECT_TRUE(UserKeys::list(database()).isEmpty());
}

TEST_P(UserKeysTest, ARunOfWrongKeysFromOneAddressIsSlowedDown) {
    auto guesser = connect(QStringLiteral("palpite"));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(guesser->Call(QStringLiteral("getTbPreco"), {}).errorCode, RpcCode::Unauthorized) << i;
    // Now even the right key waits: a guess that happened to be right would
    // otherwise stand out.
    const RpcReply waiting = call(QStringLiteral("getTbPreco"));
    EXPECT_FALSE(waiting.ok);
    EXPECT_TRUE(waiting.errorMessage.contains(QStringLiteral("Muitas tentativas"))) << waiting.errorMessage.toStdString();
}

COT_BOTH_BACKENDS(UserKeysTest);
