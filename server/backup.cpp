#include "backup.h"

#include "private_files.h"

#include "db_session.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cstdio>

namespace {

std::atomic<int> g_next{1};

QString connectionName(const char *what) { return QStringLiteral("cot-server-%1-%2").arg(QLatin1String(what)).arg(g_next++); }

QString pgHelp(const DbConfig &db) {
    return QStringLiteral("Para PostgreSQL use as ferramentas do próprio banco, com o servidor no ar:\n"
                          "  cópia:       pg_dump --format=custom --file=ARQUIVO.dump %1%2\n"
                          "  restauração: pg_restore --clean --if-exists --dbname=%1 ARQUIVO.dump (com o servidor parado)")
        .arg(db.describe(), db.schema.isEmpty() ? QString() : QStringLiteral(" --schema=%1").arg(db.schema));
}

// The copy opens, passes a quick check and holds the current schema.
bool checkCopy(const QString &file, QString *error) {
    DbConfig copy;
    QString parseError;
    if (!DbConfig::parse(file, &copy, &parseError)) {
        *error = parseError;
        return false;
    }
    try {
        DbSession s(copy, connectionName("check"));
        s.open();
        if (Schema::readable(s)) return true;
    } catch (const DbError &) {
    }
    *error = QStringLiteral("O arquivo %1 não é uma cópia íntegra do banco de dados do servidor de aplicação.").arg(file);
    return false;
}

}  // namespace

namespace Backup {

bool save(const DbConfig &db, const QString &file, QString *error) {
    if (db.dialect == Dialect::PostgreSQL) {
        *error = pgHelp(db);
        return false;
    }
    const QString target = QFileInfo(file).absoluteFilePath();
    if (QFileInfo::exists(target)) {
        *error = QStringLiteral("O arquivo %1 já existe: escolha outro nome para a cópia.").arg(target);
        return false;
    }
    if (!QFileInfo::exists(db.sqlitePath)) {
        *error = QStringLiteral("O banco de dados %1 não existe.").arg(db.sqlitePath);
        return false;
    }
    // Created empty and 0600 first (SQLite writes into an empty file): a copy
    // holds the key table as the database does.
    if (!PrivateFiles::createEmpty(target, error)) return false;
    try {
        DbSession s(db, connectionName("backup"));
        s.open();
        Query q(s, QStringLiteral("VACUUM INTO ?"));
        q.bind(target).exec();
    } catch (const DbError &e) {
        QFile::remove(target);
        *error = QStringLiteral("Não foi possível gravar a cópia em %1: %2").arg(target, e.text());
        return false;
    }
    return checkCopy(target, error);
}

bool restore(const DbConfig &db, const QString &file, QString *error) {
    if (db.dialect == Dialect::PostgreSQL) {
        *error = pgHelp(db);
        return false;
    }
    const QString source = QFileInfo(file).absoluteFilePath();
    if (!QFileInfo::exists(source)) {
        *error = QStringLiteral("A cópia %1 não existe.").arg(source);
        return false;
    }
    if (!checkCopy(source, error)) return false;
    // Written beside the database and renamed over it, so that a failure
    // midway leaves the database as it was.
    const QString target = db.sqlitePath;
    const QString staging = target + QStringLiteral(".restaurando");
    QFile::remove(staging);
    if (!QFile::copy(source, staging)) {
        *error = QStringLiteral("Não foi possível copiar %1 para %2.").arg(source, staging);
        return false;
    }
    PrivateFiles::restrict(staging);
    // The old database's log must not be replayed into the copy.
    for (const char *suffix : {"-wal", "-shm"}) QFile::remove(target + QLatin1String(suffix));
    if (std::rename(QFile::encodeName(staging).constData(), QFile::encodeName(target).constData()) != 0) {
        *error = QStringLiteral("Não foi possível substituir o banco de dados %1.").arg(target);
        return false;
    }
    return true;
}

}  // namespace Backup
