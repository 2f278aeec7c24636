#include "user_keys.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <algorithm>
#include <cctype>

namespace UserKeys {

namespace {

QDateTime readTime(const Query &q, int i) {
    return q.isNull(i) ? QDateTime() : QDateTime::fromString(q.text(i).left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime now() { return QDateTime::currentDateTime().addMSecs(-QDateTime::currentDateTime().time().msec()); }

// A person's name as the trail will show it: no control characters, and none
// of the names the server records for itself.
QString checkedName(const QString &name) {
    const QString who = name.trimmed();
    if (who.isEmpty() || who.size() > 60) throw Refused("O nome da pessoa deve ter de 1 a 60 caracteres.");
    for (const QChar c : who)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            throw Refused("O nome da pessoa não pode ter caracteres de controle (tabulação, quebra de linha e semelhantes).");
    for (const QString &reserved : {keyFilePerson(), embeddedPerson()})
        if (who.compare(reserved, Qt::CaseInsensitive) == 0)
            throw Refused(QStringLiteral("O nome \"%1\" é reservado: a auditoria o usa para a chave do arquivo de chave (administrador) "
                                         "ou para o servidor embutido da estação (local). Escolha outro nome.")
                              .arg(who)
                              .toStdString());
    return who;
}


}  // namespace

QByteArray hash(const QByteArray &key) { return QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex(); }

QString keyFilePerson() { return QStringLiteral("administrador"); }
QString embeddedPerson() { return QStringLiteral("local"); }

QByteArray add(DbSession &db, const QString &name, Role role) {
    const QString who = checkedName(name);
    QByteArray random(32, '\0');
    QRandomGenerator::system()->generate(random.begin(), random.end());
    const QByteArray key = random.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    Transaction tx(db, TxMode::Write);
    {
        // Names differing only in case would read as one person in the trail.
        Query q(db, QStringLiteral("SELECT NMUSUARIO, DTREVOGACAO FROM CHAVEUSUARIO WHERE LOWER(NMUSUARIO) = LOWER(?)"));
        q.bind(who).exec();
        if (q.next()) {
            if (q.isNull(1))
                throw Refused(QStringLiteral("%1 já tem uma chave válida: para trocá-la, revogue-a e crie a nova pessoa com outro nome.")
                                  .arg(q.text(0))
                                  .toStdString());
            throw Refused(QStringLiteral("A chave de %1 foi revogada e o nome não pode ser usado de novo: a auditoria já o registra para "
                                         "aquela pessoa. Use outro nome (por exemplo, com o sobrenome).")
                              .arg(q.text(0))
                              .toStdString());
        }
    }
    Query q(db, QStringLiteral("INSERT INTO CHAVEUSUARIO (NMUSUARIO, HSCHAVE, DTCRIACAO, NMPAPEL) VALUES (?, ?, ?, ?)"));
    q.bind(who).bind(QString::fromLatin1(hash(key))).bind(now()).bind(AccessRoles::name(role)).exec();
    tx.commit();
    return key;
}

QVector<Entry> list(DbSession &db) {
    Query q(db, QStringLiteral("SELECT NMUSUARIO, NMPAPEL, CAST(DTCRIACAO AS VARCHAR(19)), CAST(DTULTIMOUSO AS VARCHAR(19)), "
                               "CAST(DTREVOGACAO AS VARCHAR(19)) FROM CHAVEUSUARIO ORDER BY NMUSUARIO"));
    q.exec();
    QVector<Entry> out;
    while (q.next())
        out.append({q.text(0), AccessRoles::parse(q.text(1)).value_or(Role::Consulta), readTime(q, 2), readTime(q, 3), readTime(q, 4)});
    return out;
}

void revoke(DbSession &db, const QString &name) {
    Transaction tx(db, TxMode::Write);
    Query q(db, QStringLiteral("UPDATE CHAVEUSUARIO SET DTREVOGACAO = ? WHERE NMUSUARIO = ? AND DTREVOGACAO IS NULL"));
    q.bind(now()).bind(name.trimmed()).exec();
    if (q.rowsAffected() != 1) throw Refused(QStringLiteral("Não há chave válida de %1.").arg(name.trimmed()).toStdString());
    tx.commit();
}

void setRole(DbSession &db, const QString &name, Role role) {
    Transaction tx(db, TxMode::Write);
    Query q(db, QStringLiteral("UPDATE CHAVEUSUARIO SET NMPAPEL = ? WHERE NMUSUARIO = ? AND DTREVOGACAO IS NULL"));
    q.bind(AccessRoles::name(role)).bind(name.trimmed()).exec();
    if (q.rowsAffected() != 1) throw Refused(QStringLiteral("Não há chave válida de %1.").arg(name.trimmed()).toStdString());
    tx.commit();
}

bool wellFormed(const QByteArray &key) {
    if (key.size() != 43) return false;  // 32 bytes in unpadded base64url
    return std::all_of(key.begin(), key.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; });
}

std::optional<Caller> person(DbSession &db, const QByteArray &keyHash) {
    Query q(db, QStringLiteral("SELECT NMUSUARIO, NMPAPEL FROM CHAVEUSUARIO WHERE HSCHAVE = ? AND DTREVOGACAO IS NULL"));
    q.bind(QString::fromLatin1(keyHash)).exec();
    if (!q.next()) return std::nullopt;
    // A role this server does not know (written by a newer one) allows reading only.
    return Caller{q.text(0), AccessRoles::parse(q.text(1)).value_or(Role::Consulta)};
}

void recordUse(DbSession &db, const QString &name) {
    Transaction tx(db, TxMode::Write);
    Query used(db, QStringLiteral("UPDATE CHAVEUSUARIO SET DTULTIMOUSO = ? WHERE NMUSUARIO = ?"));
    used.bind(now()).bind(name).exec();
    tx.commit();
}

}  // namespace UserKeys
