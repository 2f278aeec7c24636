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

}  // namespace

QByteArray hash(const QByteArray &key) { return QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex(); }

QByteArray add(DbSession &db, const QString &name) {
    const QString who = name.trimmed();
    if (who.isEmpty() || who.size() > 60) throw Refused("O nome da pessoa deve ter de 1 a 60 caracteres.");
    QByteArray random(32, '\0');
    QRandomGenerator::system()->generate(random.begin(), random.end());
    const QByteArray key = random.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    Transaction tx(db, TxMode::Write);
    {
        Query q(db, QStringLiteral("SELECT DTREVOGACAO FROM CHAVEUSUARIO WHERE NMUSUARIO = ?"));
        q.bind(who).exec();
        if (q.next()) {
            if (q.isNull(0)) throw Refused(QStringLiteral("%1 já tem uma chave válida: revogue-a antes de criar outra.").arg(who).toStdString());
            Query drop(db, QStringLiteral("DELETE FROM CHAVEUSUARIO WHERE NMUSUARIO = ?"));
            drop.bind(who).exec();
        }
    }
    Query q(db, QStringLiteral("INSERT INTO CHAVEUSUARIO (NMUSUARIO, HSCHAVE, DTCRIACAO) VALUES (?, ?, ?)"));
    q.bind(who).bind(QString::fromLatin1(hash(key))).bind(now()).exec();
    tx.commit();
    return key;
}

QVector<Entry> list(DbSession &db) {
    Query q(db, QStringLiteral("SELECT NMUSUARIO, CAST(DTCRIACAO AS VARCHAR(19)), CAST(DTULTIMOUSO AS VARCHAR(19)), "
                               "CAST(DTREVOGACAO AS VARCHAR(19)) FROM CHAVEUSUARIO ORDER BY NMUSUARIO"));
    q.exec();
    QVector<Entry> out;
    while (q.next()) out.append({q.text(0), readTime(q, 1), readTime(q, 2), readTime(q, 3)});
    return out;
}

void revoke(DbSession &db, const QString &name) {
    Transaction tx(db, TxMode::Write);
    Query q(db, QStringLiteral("UPDATE CHAVEUSUARIO SET DTREVOGACAO = ? WHERE NMUSUARIO = ? AND DTREVOGACAO IS NULL"));
    q.bind(now()).bind(name.trimmed()).exec();
    if (q.rowsAffected() != 1) throw Refused(QStringLiteral("Não há chave válida de %1.").arg(name.trimmed()).toStdString());
    tx.commit();
}

bool wellFormed(const QByteArray &key) {
    if (key.size() != 43) return false;  // 32 bytes in unpadded base64url
    return std::all_of(key.begin(), key.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; });
}

QString person(DbSession &db, const QByteArray &keyHash) {
    Query q(db, QStringLiteral("SELECT NMUSUARIO FROM CHAVEUSUARIO WHERE HSCHAVE = ? AND DTREVOGACAO IS NULL"));
    q.bind(QString::fromLatin1(keyHash)).exec();
    return q.next() ? q.text(0) : QString();
}

void recordUse(DbSession &db, const QString &name) {
    Transaction tx(db, TxMode::Write);
    Query used(db, QStringLiteral("UPDATE CHAVEUSUARIO SET DTULTIMOUSO = ? WHERE NMUSUARIO = ?"));
    used.bind(now()).bind(name).exec();
    tx.commit();
}

}  // namespace UserKeys
