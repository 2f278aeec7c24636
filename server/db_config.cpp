#include "db_config.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

bool DbConfig::parse(const QString &given, DbConfig *out, QString *error) {
    const QString text = given.trimmed();
    DbConfig c;
    if (text.isEmpty()) {
        *error = QStringLiteral("Informe o banco de dados (arquivo SQLite ou URL postgresql://).");
        return false;
    }
    if (text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://"))) {
        const QUrl url(text, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty()) {
            *error = QStringLiteral("URL do PostgreSQL inválida: informe postgresql://usuario@servidor:porta/banco.");
            return false;
        }
        c.dialect = Dialect::PostgreSQL;
        c.host = url.host();
        c.port = url.port(5432);
        c.user = url.userName();
        c.password = url.password();
        c.databaseName = url.path().mid(1);
        if (c.databaseName.isEmpty()) {
            *error = QStringLiteral("URL do PostgreSQL sem o nome do banco de dados.");
            return false;
        }
        const QUrlQuery query(url);
        c.schema = query.queryItemValue(QStringLiteral("schema"));
        static const QRegularExpression keyword(QStringLiteral("^[a-z_]{1,40}$")), plainValue(QStringLiteral("^[^;\\s'\\\\]*$"));
        for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
            if (key == QLatin1String("schema")) continue;
            if (!keyword.match(key).hasMatch() || !plainValue.match(value).hasMatch()) {
                *error = QStringLiteral("Parâmetro inválido na URL do PostgreSQL: \"%1\" (use nome=valor, sem espaços nem \";\").").arg(key);
                return false;
            }
            c.libpqOptions << key + QLatin1Char('=') + value;
        }
        static const QRegularExpression identifier(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
        if (!c.schema.isEmpty() && !identifier.match(c.schema).hasMatch()) {
            *error = QStringLiteral("Nome de esquema inválido na URL do PostgreSQL: use letras minúsculas, dígitos e \"_\".");
            return false;
        }
    } else {
        c.dialect = Dialect::SQLite;
        c.sqlitePath = text;
    }
    *out = c;
    return true;
}

QString DbConfig::describe() const {
    if (dialect == Dialect::SQLite) return QStringLiteral("SQLite %1").arg(sqlitePath);
    QString s = QStringLiteral("PostgreSQL %1@%2:%3/%4").arg(user, host).arg(port).arg(databaseName);
    if (!schema.isEmpty()) s += QStringLiteral(" (esquema %1)").arg(schema);
    return s;
}
