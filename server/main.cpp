// cot-server: the application server on its own.
//
//   cot-server --listen 127.0.0.1:8300 --database PATH.db|postgresql://... [--token-file FILE] [--demo] [--threads N]
//   cot-server index set YYYY-MM VALUE --database PATH.db|postgresql://...
//   cot-server backup FILE --database PATH.db      (online: the server may be running)
//   cot-server restore FILE --database PATH.db     (with the server stopped)
//   cot-server user add NAME [--papel ROLE] | role NAME ROLE | list | revoke NAME --database PATH.db|postgresql://...
//   cot-server audit --database DB [--tabela CODE] [--desde YYYY-MM-DD] [--formato csv]
//   cot-server tls fingerprint --database PATH.db

#include "app_server.h"
#include "backup.h"
#include "db_config.h"
#include "db_session.h"
#include "monthly_index.h"
#include "schema.h"
#include "user_keys.h"
#include "access_roles.h"
#include "audit_trail.h"
#include "private_files.h"
#include "server_tls.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QFile>
#include <QStringList>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <cstdio>
#include <pthread.h>

namespace {

constexpr int kMinimumTokenLength = 20;

void say(FILE *to, const QString &text) {
    const QByteArray b = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), to);
    std::fflush(to);
}

int usage() {
    say(stderr, QStringLiteral(
                    "Uso:\n"
                    "  cot-server --listen ENDEREÇO:PORTA --database ARQUIVO.db|postgresql://usuario@servidor:porta/banco\n"
                    "             [--token-file ARQUIVO] [--demo] [--threads N] [--max-body BYTES]\n"
                    "             [--max-connections N] [--max-per-address N] [--idle-timeout SEGUNDOS]\n"
                    "             [--max-write-seconds SEGUNDOS]   (tempo máximo de uma gravação; padrão 30)\n"
                    "             [--tls-cert CERTIFICADO.pem --tls-key CHAVE.pem] [--trusted-proxy ENDEREÇO]...\n"
                    "  cot-server index set AAAA-MM VALOR --database ARQUIVO.db|postgresql://...\n"
                    "  cot-server backup ARQUIVO --database ARQUIVO.db   (cópia com o servidor no ar)\n"
                    "  cot-server restore ARQUIVO --database ARQUIVO.db  (com o servidor parado)\n"
                    "  cot-server user add NOME [--papel PAPEL] | role NOME PAPEL | list | revoke NOME\n"
                    "             --database ARQUIVO.db|postgresql://...\n"
                    "             (uma chave de acesso por pessoa; a do --token-file é a do administrador;\n"
                    "              PAPEL: consulta (padrão), precos, descontos ou administrador)\n"
                    "  cot-server audit --database ARQUIVO.db|postgresql://... [--tabela CÓDIGO] [--desde AAAA-MM-DD]\n"
                    "             [--formato csv]   (quem alterou o quê, das alterações mais novas às mais antigas)\n"
                    "  cot-server tls fingerprint --database ARQUIVO.db   (impressão digital SHA-256 do certificado gerado)\n"
                    "\n"
                    "Sem --token-file o servidor só escuta no endereço local (127.0.0.1).\n"
                    "Fora do endereço local o servidor só fala HTTPS: sem --tls-cert/--tls-key, gera na primeira partida\n"
                    "um certificado autoassinado ao lado do banco de dados e mostra a impressão digital dele.\n"
                    "--trusted-proxy: de conexões desse endereço, o cliente é o do cabeçalho X-Forwarded-For.\n"
                    "A porta 0 escolhe uma porta livre, informada na saída padrão."));
    return 2;
}

// A parser for one of the command lines; its help and messages are ours, in Portuguese.
void declare(QCommandLineParser *parser, const QStringList &valued, const QStringList &flags) {
    parser->setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QString &name : valued) parser->addOption(QCommandLineOption(name, QString(), QStringLiteral("valor")));
    for (const QString &name : flags) parser->addOption(QCommandLineOption(name));
    parser->addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
}

// The subcommands' arguments: "--database VALUE" anywhere, the rest in order.
// A negative number is a value, not an option: it goes after "--".
bool splitDatabaseArg(const QStringList &args, QString *database, QStringList *positional, const QString &extraName = QString(),
                      QString *extra = nullptr) {
    static const QRegularExpression number(QStringLiteral("^-[0-9.,]"));
    QStringList options{QStringLiteral("cot-server")}, numbers;
    for (const QString &a : args) (number.match(a).hasMatch() ? numbers : options) << a;
    QCommandLineParser parser;
    QStringList valued{QStringLiteral("database")};
    if (extra) valued << extraName;
    declare(&parser, valued, {});
    if (!parser.parse(options + QStringList{QStringLiteral("--")} + numbers) || parser.isSet(QStringLiteral("help"))) return false;
    *database = parser.value(QStringLiteral("database"));
    *positional = parser.positionalArguments();
    if (extra) *extra = parser.value(extraName);
    return true;
}

// A role named on the command line, or a message listing the roles.
std::optional<Role> roleArg(const QString &text) {
    const std::optional<Role> role = AccessRoles::parse(text.trimmed());
    if (!role) say(stderr, QStringLiteral("Papel desconhecido: \"%1\". Use %2.").arg(text, AccessRoles::namesForHelp()));
    return role;
}

int setIndex(const QStringList &args) {
    // index set YYYY-MM VALUE --database FILE|URL
    QString database, month, valueText;
    QStringList positional;
    if (!splitDatabaseArg(args, &database, &positional)) return usage();
    if (positional.size() != 4 || positional[1] != QLatin1String("set") || database.isEmpty()) return usage();
    QString error;
    double value = 0;
    if (!MonthlyIndex::parseMonth(positional[2], &month, &error) || !MonthlyIndex::parseValue(positional[3], &value, &error)) {
        say(stderr, error);
        return 2;
    }
    DbConfig config;
    if (!DbConfig::parse(database, &config, &error)) {
        say(stderr, error);
        return 2;
    }
    try {
        DbSession db(config, QStringLiteral("cot-server-index"));
        db.open();
        Schema::migrate(db);
        Transaction tx(db, TxMode::Write);
        MonthlyIndex::set(db, month, value);
        tx.commit();
    } catch (const DbError &e) {
        say(stderr, QStringLiteral("Não foi possível gravar o índice: %1").arg(e.text()));
        return 1;
    }
    say(stdout, QStringLiteral("Índice de %1 gravado: %2").arg(month).arg(value, 0, 'g', 10));
    return 0;
}

// backup FILE --database DB | restore FILE --database DB
int backupOrRestore(const QStringList &args) {
    QString database;
    QStringList positional;
    if (!splitDatabaseArg(args, &database, &positional)) return usage();
    if (positional.size() != 2 || database.isEmpty()) return usage();
    DbConfig config;
    QString error;
    if (!DbConfig::parse(database, &config, &error)) {
        say(stderr, error);
        return 2;
    }
    const bool save = positional[0] == QLatin1String("backup");
    if (!(save ? Backup::save(config, positional[1], &error) : Backup::restore(config, positional[1], &error))) {
        say(stderr, error);
        return 1;
    }
    say(stdout, save ? QStringLiteral("Cópia gravada em %1.").arg(positional[1])
                     : QStringLiteral("Banco de dados %1 restaurado da cópia %2.").arg(config.sqlitePath, positional[1]));
    return 0;
}

// user add NAME [--papel ROLE] | user role NAME ROLE | user list | user revoke NAME, --database DB
int userKeys(const QStringList &args) {
    QString database, roleText;
    QStringList positional;
    if (!splitDatabaseArg(args, &database, &positional, QStringLiteral("papel"), &roleText) || database.isEmpty() || positional.size() < 2)
        return usage();
    const QString verb = positional[1];
    const bool named = verb == QLatin1String("add") || verb == QLatin1String("revoke");
    const bool roleChange = verb == QLatin1String("role");
    if (!(named ? positional.size() == 3 : roleChange ? positional.size() == 4 : verb == QLatin1String("list") && positional.size() == 2))
        return usage();
    if (!roleText.isEmpty() && verb != QLatin1String("add")) return usage();
    Role role = Role::Consulta;
    if (!roleText.isEmpty() || roleChange) {
        const std::optional<Role> given = roleArg(roleChange ? positional[3] : roleText);
        if (!given) return 2;
        role = *given;
    }
    DbConfig config;
    QString error;
    if (!DbConfig::parse(database, &config, &error)) {
        say(stderr, error);
        return 2;
    }
    const auto shown = [](const QDateTime &t) { return t.isNull() ? QStringLiteral("-") : t.toString(QStringLiteral("dd/MM/yyyy HH:mm")); };
    try {
        DbSession db(config, QStringLiteral("cot-server-user"));
        db.open();
        Schema::migrate(db);
        if (verb == QLatin1String("add")) {
            const QByteArray key = UserKeys::add(db, positional[2], role);
            say(stdout, QStringLiteral("Chave de acesso de %1, papel %2 (mostrada só agora; guarde-a em lugar seguro):\n%3")
                            .arg(positional[2].trimmed(), AccessRoles::name(role), QString::fromLatin1(key)));
        } else if (roleChange) {
            UserKeys::setRole(db, positional[2], role);
            say(stdout, QStringLiteral("Papel de %1: %2 (vale a partir da próxima chamada, também com o servidor no ar).")
                            .arg(positional[2].trimmed(), AccessRoles::name(role)));
        } else if (verb == QLatin1String("revoke")) {
            UserKeys::revoke(db, positional[2]);
            say(stdout, QStringLiteral("Chave de %1 revogada.").arg(positional[2].trimmed()));
        } else {
            say(stdout, QStringLiteral("%1 %2 %3 %4 %5").arg(QStringLiteral("NOME"), -30).arg(QStringLiteral("PAPEL"), -13)
                            .arg(QStringLiteral("CRIADA EM"), -16).arg(QStringLiteral("ÚLTIMO USO"), -16).arg(QStringLiteral("SITUAÇÃO")));
            for (const UserKeys::Entry &e : UserKeys::list(db))
                say(stdout, QStringLiteral("%1 %2 %3 %4 %5").arg(e.name, -30).arg(AccessRoles::name(e.role), -13).arg(shown(e.created), -16)
                                .arg(shown(e.lastUse), -16)
                                .arg(e.revoked.isNull() ? QStringLiteral("válida") : QStringLiteral("revogada em %1").arg(shown(e.revoked))));
        }
    } catch (const UserKeys::Refused &e) {
        say(stderr, e.text());
        return 1;
    } catch (const DbError &e) {
        say(stderr, QStringLiteral("Não foi possível acessar as chaves: %1").arg(e.text()));
        return 1;
    }
    return 0;
}

QString escapedControls(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\') out += QStringLiteral("\\\\");
        else if (u == '\n') out += QStringLiteral("\\n");
        else if (u == '\r') out += QStringLiteral("\\r");
        else if (u == '\t') out += QStringLiteral("\\t");
        else if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format || u == 0x2028 || u == 0x2029)
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else out += c;
    }
    return out;
}

// audit --database DB [--tabela CODE] [--desde YYYY-MM-DD] [--formato csv]
int audit(const QStringList &args) {
    QCommandLineParser parser;
    declare(&parser, {QStringLiteral("database"), QStringLiteral("tabela"), QStringLiteral("desde"), QStringLiteral("formato")}, {});
    if (!parser.parse(QStringList{QStringLiteral("cot-server")} + args) || parser.isSet(QStringLiteral("help")) ||
        parser.positionalArguments() != QStringList{QStringLiteral("audit")} || parser.value(QStringLiteral("database")).isEmpty())
        return usage();
    const QString format = parser.value(QStringLiteral("formato"));
    if (!format.isEmpty() && format != QLatin1String("csv")) {
        say(stderr, QStringLiteral("Formato desconhecido: \"%1\" (use csv, ou nada para texto).").arg(format));
        return 2;
    }
    QDate since;
    if (parser.isSet(QStringLiteral("desde"))) {
        since = QDate::fromString(parser.value(QStringLiteral("desde")), QStringLiteral("yyyy-MM-dd"));
        if (!since.isValid()) {
            say(stderr, QStringLiteral("Data inválida em --desde: \"%1\" (use AAAA-MM-DD).").arg(parser.value(QStringLiteral("desde"))));
            return 2;
        }
    }
    QString table = parser.value(QStringLiteral("tabela")).trimmed();
    if (!table.isEmpty()) table = table.rightJustified(10, QLatin1Char('0'));
    DbConfig config;
    QString error;
    if (!DbConfig::parse(parser.value(QStringLiteral("database")), &config, &error)) {
        say(stderr, error);
        return 2;
    }
    try {
        DbSession db(config, QStringLiteral("cot-server-audit"));
        db.open();
        Schema::migrate(db);
        const bool csv = format == QLatin1String("csv");
        // Control characters are written escaped (a stored value cannot move
        // the terminal's cursor or forge a line of the listing), and so is the
        // backslash that starts an escape.
        const auto cell = [csv](const QString &raw) {
            const QString v = escapedControls(raw);
            if (!csv || !v.contains(QRegularExpression(QStringLiteral("[;\"]")))) return v;
            return QStringLiteral("\"%1\"").arg(QString(v).replace(QLatin1Char('"'), QStringLiteral("\"\"")));
        };
        const QString separator = csv ? QStringLiteral(";") : QStringLiteral(" | ");
        say(stdout, QStringList{QStringLiteral("DATA"), QStringLiteral("PESSOA"), QStringLiteral("METODO"), QStringLiteral("TABELA"),
                                QStringLiteral("CHAVE"), QStringLiteral("OPERACAO"), QStringLiteral("CAMPO"), QStringLiteral("ANTES"),
                                QStringLiteral("DEPOIS")}
                        .join(separator));
        for (const AuditTrail::Entry &e : AuditTrail::read(db, table, since))
            say(stdout, QStringList{e.when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), cell(e.user), cell(e.method), cell(e.table),
                                    cell(e.key), AuditTrail::operationName(e.operation), cell(e.field), cell(e.before), cell(e.after)}
                            .join(separator));
    } catch (const DbError &e) {
        say(stderr, QStringLiteral("Não foi possível ler a auditoria: %1").arg(e.text()));
        return 1;
    }
    return 0;
}

// tls fingerprint --database DB: the fingerprint of the certificate the
// server made for itself, to give to the desktops' users.
int tlsFingerprint(const QStringList &args) {
    QString database;
    QStringList positional;
    if (!splitDatabaseArg(args, &database, &positional) || database.isEmpty() ||
        positional != QStringList{QStringLiteral("tls"), QStringLiteral("fingerprint")})
        return usage();
    DbConfig config;
    QString error, cert, key;
    if (!DbConfig::parse(database, &config, &error) || !ServerTls::defaultFiles(config, &cert, &key, &error)) {
        say(stderr, error);
        return 2;
    }
    TlsCertificate tls;
    if (!QFile::exists(cert)) {
        say(stderr, QStringLiteral("O servidor ainda não gerou um certificado para %1 (ele o gera na primeira partida fora do "
                                   "endereço local).").arg(config.sqlitePath));
        return 1;
    }
    if (!TlsCertificate::load(cert, key, &tls, &error)) {
        say(stderr, error);
        return 1;
    }
    say(stdout, QStringLiteral("Certificado %1\nSHA-256 %2").arg(cert, tls.fingerprint));
    return 0;
}

// The key file: long enough not to be guessed, and the warning when others may read it.
bool readTokenFile(const QString &tokenFile, QString *token) {
    QFile f(tokenFile);
    if (!f.open(QIODevice::ReadOnly)) {
        say(stderr, QStringLiteral("Não foi possível ler o arquivo de chave de acesso %1.").arg(tokenFile));
        return false;
    }
    *token = QString::fromUtf8(f.readAll()).trimmed();
    if (token->isEmpty()) {
        say(stderr, QStringLiteral("O arquivo de chave de acesso %1 está vazio.").arg(tokenFile));
        return false;
    }
    if (token->size() < kMinimumTokenLength) {
        say(stderr, QStringLiteral("A chave de acesso em %1 tem %2 caracteres: use pelo menos %3 (por exemplo, a saída de "
                                   "\"openssl rand -hex 32\").").arg(tokenFile).arg(token->size()).arg(kMinimumTokenLength));
        return false;
    }
    if (PrivateFiles::readableByOthers(tokenFile))
        say(stderr, QStringLiteral("Aviso: o arquivo de chave de acesso %1 pode ser lido por outros usuários (use chmod 600).").arg(tokenFile));
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    // Signals are taken by sigwait below; worker threads inherit the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == QLatin1String("index")) return setIndex(args);
    if (!args.isEmpty() && args.first() == QLatin1String("user")) return userKeys(args);
    if (!args.isEmpty() && args.first() == QLatin1String("audit")) return audit(args);
    if (!args.isEmpty() && args.first() == QLatin1String("tls")) return tlsFingerprint(args);
    if (!args.isEmpty() && (args.first() == QLatin1String("backup") || args.first() == QLatin1String("restore"))) return backupOrRestore(args);

    QCommandLineParser parser;
    declare(&parser,
            {QStringLiteral("listen"), QStringLiteral("database"), QStringLiteral("token-file"), QStringLiteral("threads"),
             QStringLiteral("max-body"), QStringLiteral("max-connections"), QStringLiteral("max-per-address"),
             QStringLiteral("idle-timeout"), QStringLiteral("max-write-seconds"), QStringLiteral("tls-cert"), QStringLiteral("tls-key"),
             QStringLiteral("trusted-proxy")},
            {QStringLiteral("demo")});
    if (!parser.parse(app.arguments())) {
        if (!parser.unknownOptionNames().isEmpty()) {
            const QString name = parser.unknownOptionNames().first();
            say(stderr, QStringLiteral("Opção desconhecida: %1%2").arg(name.size() == 1 ? "-" : "--", name));
        }
        return usage();  // or a value missing at the end
    }
    if (parser.isSet(QStringLiteral("help"))) {
        usage();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        say(stderr, QStringLiteral("Opção desconhecida: %1").arg(parser.positionalArguments().first()));
        return usage();
    }
    ServerOptions options;
    int maxWriteSeconds = options.maxWriteMs / 1000;
    const QString listen = parser.isSet(QStringLiteral("listen")) ? parser.value(QStringLiteral("listen")) : QStringLiteral("127.0.0.1:8300");
    const QString tokenFile = parser.value(QStringLiteral("token-file"));
    options.database = parser.value(QStringLiteral("database"));
    options.demo = parser.isSet(QStringLiteral("demo"));
    options.tlsCertFile = parser.value(QStringLiteral("tls-cert"));
    options.tlsKeyFile = parser.value(QStringLiteral("tls-key"));
    options.trustedProxies = parser.values(QStringLiteral("trusted-proxy"));
    bool ok = true;
    if (parser.isSet(QStringLiteral("threads"))) options.threads = parser.value(QStringLiteral("threads")).toInt(&ok);
    if (!ok) return usage();
    if (parser.isSet(QStringLiteral("max-body"))) options.maxBodyBytes = parser.value(QStringLiteral("max-body")).toLongLong(&ok);
    if (!ok) return usage();
    for (auto [name, target] : {std::pair{"max-connections", &options.maxConnections},
                                std::pair{"max-per-address", &options.maxConnectionsPerAddress},
                                std::pair{"idle-timeout", &options.idleTimeoutSeconds},
                                std::pair{"max-write-seconds", &maxWriteSeconds}}) {
        if (!parser.isSet(QLatin1String(name))) continue;
        const int n = parser.value(QLatin1String(name)).toInt(&ok);
        const bool zeroAllowed = std::strcmp(name, "max-per-address") == 0 || std::strcmp(name, "max-write-seconds") == 0;
        if (!ok || n < 0 || (n == 0 && !zeroAllowed)) return usage();
        *target = n;
    }
    if (maxWriteSeconds > 24 * 3600) return usage();
    options.maxWriteMs = maxWriteSeconds * 1000;
    if (options.database.isEmpty()) return usage();
    const int colon = listen.lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    if (colon <= 0) return usage();
    options.listenHost = listen.left(colon);
    if (options.listenHost.startsWith(QLatin1Char('[')) && options.listenHost.endsWith(QLatin1Char(']')))
        options.listenHost = options.listenHost.mid(1, options.listenHost.size() - 2);
    options.port = listen.mid(colon + 1).toInt(&portOk);
    if (!portOk || options.port < 0 || options.port > 65535) return usage();
    if (!tokenFile.isEmpty() && !readTokenFile(tokenFile, &options.token)) return 1;
    {
        DbConfig db;
        QString ignored;
        if (DbConfig::parse(options.database, &db, &ignored) && db.dialect == Dialect::SQLite && PrivateFiles::readableByOthers(db.sqlitePath))
            say(stderr, QStringLiteral("Aviso: o banco de dados %1 pode ser lido por outros usuários (use chmod 600 nele e nos "
                                       "arquivos -wal e -shm).").arg(db.sqlitePath));
    }

    AppServer server(options);
    QString error;
    if (!server.start(&error)) {
        say(stderr, error);
        return 1;
    }
    const QString fingerprint = server.tlsFingerprint();
    say(stdout, QStringLiteral("cot-server escutando em %1://%2:%3").arg(fingerprint.isEmpty() ? "http" : "https", options.listenHost)
                    .arg(server.port()));
    if (!fingerprint.isEmpty()) say(stdout, QStringLiteral("Certificado TLS, SHA-256 %1").arg(fingerprint));

    // The first signal stops the server gracefully on another thread: requests
    // under way finish, every other connection closes. A second one exits at
    // once; the database keeps only whole transactions either way.
    int sig = 0;
    sigwait(&stopSignals, &sig);
    say(stderr, QStringLiteral("cot-server encerrando."));
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        server.stop();
        stopped = true;
    });
    const timespec tick{0, 20 * 1000 * 1000};
    while (!stopped) {
        siginfo_t info;
        if (sigtimedwait(&stopSignals, &info, &tick) > 0) {
            say(stderr, QStringLiteral("cot-server encerrado sem esperar as requisições em andamento."));
            std::_Exit(3);
        }
    }
    stopper.join();
    return 0;
}
