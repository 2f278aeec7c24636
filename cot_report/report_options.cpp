#include "report_options.h"

#include "routines.h"
#include "tls_trust.h"
#include "user_settings.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace ReportCommand {

QString helpText() {
    return QStringLiteral(
        "Uso: cot-report [--server URL [--token-file ARQUIVO] [--ca ARQUIVO | --fingerprint SHA256]\n"
        "                 | --database CAMINHO-OU-URL-POSTGRESQL]\n"
        "                [--tables T|CODIGO,CODIGO...] [--systems N] [--users U] [--types U,M,L]\n"
        "                [--location MM|FF|FM] [--format pdf|xlsx|csv] [--cell] --output ARQUIVO|-\n"
        "\n"
        "Gera o relatório de simulação de preços (COT003) das tabelas de preço da proposta\n"
        "comercial, sem janela, para livros de preços agendados.\n"
        "\n"
        "  --server URL        servidor de aplicação em execução (ex.: http://127.0.0.1:8080)\n"
        "  --token-file ARQ    arquivo com a chave de acesso do servidor (--token CHAVE também vale,\n"
        "                      mas deixa a chave visível na lista de processos)\n"
        "  --ca ARQUIVO        https: certificado (da empresa ou do próprio servidor) que garante o do servidor\n"
        "  --fingerprint HEX   https: impressão digital SHA-256 do certificado do servidor, que o administrador informa\n"
        "  --database DB       abre o banco diretamente, sem servidor: arquivo SQLite ou\n"
        "                      postgresql://usuario@maquina:porta/banco\n"
        "  --tables T|LISTA    T para todas as tabelas (padrão) ou os códigos separados por vírgula\n"
        "  --systems N         número de sistemas, de 1 a 20 (padrão 20)\n"
        "  --users U           número de usuários, de 1 a 150 (padrão 150)\n"
        "  --types U,M,L       tipos de preço: U licença de uso, M manutenção, L locação (padrão: os três)\n"
        "  --location MODO     MM Matriz/Matriz (padrão), FF Filial/Filial, FM Filial/Matriz\n"
        "  --format FORMATO    pdf, xlsx ou csv; sem ele, a extensão do arquivo de saída decide\n"
        "  --output ARQUIVO    arquivo gerado; - para a saída padrão\n"
        "  --cell              só o preço de exatamente N sistemas e U usuários, uma linha por\n"
        "                      tabela e tipo, em CSV (TIPO;CDPRECOPROP;NMPRECOPROP;MODLOC;SISTEMAS;\n"
        "                      USUARIOS;PRECO), arredondado ao centavo como o relatório imprime\n"
        "  --help              mostra esta ajuda\n"
        "\n"
        "Sem --server nem --database, vale o que o cot-host usa: o arquivo de configurações do usuário\n"
        "(~/.config/cot/cot-host.ini, ou a pasta em COT_CONFIG_DIR), seção [server]: url e token; sem\n"
        "url, o banco em database; sem nenhum dos dois, o banco local do cot-host\n"
        "Um servidor https:// sem --ca nem --fingerprint é conferido pelos certificados do sistema ou\n"
        "pelo certificado que o cot-host aceitou para ele; um certificado desconhecido é recusado\n"
        "(saída 1, com a impressão digital) antes de qualquer chave ser enviada.\n"
        "(~/.local/share/cot/cot-host/cot.db).\n"
        "\n"
        "Saída: 0 relatório gravado; 1 recusado (a mensagem diz o motivo, nenhum arquivo é gravado);\n"
        "2 argumentos inválidos.\n");
}

namespace {

QString dashed(const QString &name) { return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name; }

// QCommandLineParser's own messages are English: say in Portuguese what it refused.
QString parserRefusal(const QCommandLineParser &parser, const QStringList &args) {
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("Opção desconhecida: %1.").arg(dashed(parser.unknownOptionNames().first()));
    // Otherwise an option that takes a value ended the command line.
    return QStringLiteral("Falta o valor de %1.").arg(args.isEmpty() ? QString() : args.last());
}

bool parseTables(const QString &value, QString *tables, QString *error) {
    const QString v = value.trimmed();
    if (v.compare(QLatin1String("T"), Qt::CaseInsensitive) == 0) {
        *tables = QStringLiteral("T");
        return true;
    }
    QStringList codes;
    for (const QString &c : v.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString code = c.trimmed();
        if (!QRegularExpression(QStringLiteral("^[0-9]{1,10}$")).match(code).hasMatch()) {
            *error = QStringLiteral("Código de tabela de preço inválido em --tables: \"%1\" (use até 10 dígitos).").arg(code);
            return false;
        }
        const QString padded = Ajusta(code, 10);
        if (!codes.contains(padded)) codes.append(padded);
    }
    *tables = codes.join(QLatin1Char(','));  // empty: nothing chosen, refused by the checks
    return true;
}

bool parseTypes(const QString &value, QVector<PriceSimulation::PriceType> *types, QString *error) {
    types->clear();
    for (const QString &t : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString c = t.trimmed().toUpper();
        PriceSimulation::PriceType type;
        if (c == QLatin1String("U")) type = PriceSimulation::PriceType::Licence;
        else if (c == QLatin1String("M")) type = PriceSimulation::PriceType::Maintenance;
        else if (c == QLatin1String("L")) type = PriceSimulation::PriceType::Rental;
        else {
            *error = QStringLiteral("Tipo de preço inválido em --types: \"%1\" (use U, M ou L).").arg(t.trimmed());
            return false;
        }
        if (!types->contains(type)) types->append(type);
    }
    return true;
}

bool parseLocation(const QString &value, PriceSimulation::LocationMode *mode, QString *error) {
    const QString m = value.trimmed().toUpper();
    if (m == QLatin1String("MM")) *mode = PriceSimulation::LocationMode::HeadHead;
    else if (m == QLatin1String("FF")) *mode = PriceSimulation::LocationMode::BranchBranch;
    else if (m == QLatin1String("FM")) *mode = PriceSimulation::LocationMode::BranchHead;
    else {
        *error = QStringLiteral("Modo/local inválido em --location: \"%1\" (use MM, FF ou FM).").arg(value);
        return false;
    }
    return true;
}

}  // namespace

// Where cot-host reads: its remembered server, else its local database when
// there is one. Nothing found leaves both empty.
static void fromSettings(ReportOptions *o) {
    const auto settings = UserSettings();
    o->server = settings->value(QStringLiteral("server/url")).toString();
    if (!o->server.isEmpty()) {
        if (o->token.isEmpty()) o->token = settings->value(QStringLiteral("server/token")).toString();
        if (o->caFile.isEmpty()) o->caFile = settings->value(QStringLiteral("server/ca")).toString();
        return;
    }
    // A shared database named there, else the desktop's own when it has one.
    o->database = settings->value(QStringLiteral("server/database")).toString();
    const QString local = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/cot/cot-host/cot.db");
    if (o->database.isEmpty() && QFileInfo::exists(local)) o->database = local;
}

bool parse(const QStringList &args, ReportOptions *out, QString *error) {
    const QString kValued[] = {QStringLiteral("server"), QStringLiteral("token"),  QStringLiteral("database"),
                               QStringLiteral("token-file"), QStringLiteral("ca"), QStringLiteral("fingerprint"),
                               QStringLiteral("tables"), QStringLiteral("systems"), QStringLiteral("users"),
                               QStringLiteral("types"),  QStringLiteral("location"), QStringLiteral("format"),
                               QStringLiteral("output")};
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QString &name : kValued) parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("valor")));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(QCommandLineOption(QStringLiteral("cell")));
    if (!parser.parse(QStringList{QStringLiteral("cot-report")} + args)) {
        *error = parserRefusal(parser, args);
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("Argumento não reconhecido: \"%1\".").arg(parser.positionalArguments().first());
        return false;
    }
    ReportOptions o;
    if (parser.isSet(QStringLiteral("help"))) {
        o.help = true;
        *out = o;
        return true;
    }
    for (const QString &name : parser.optionNames()) {
        if (parser.optionNames().count(name) > 1) {
            *error = QStringLiteral("A opção %1 foi informada mais de uma vez.").arg(dashed(name));
            return false;
        }
    }
    auto given = [&](const char *name, QString *value) {
        if (!parser.isSet(QLatin1String(name))) return false;
        *value = parser.value(QLatin1String(name));
        return true;
    };
    QString value;
    given("server", &o.server);
    given("token", &o.token);
    given("database", &o.database);
    given("ca", &o.caFile);
    if (given("token-file", &value)) {
        if (!o.token.isEmpty()) {
            *error = QStringLiteral("Use --token ou --token-file, não os dois.");
            return false;
        }
        if (!ReadTokenFile(value, &o.token, error)) return false;
    }
    if (given("fingerprint", &value)) {
        o.fingerprint = TlsTrustCheck::normalizeFingerprint(value);
        if (o.fingerprint.isEmpty()) {
            *error = QStringLiteral("Impressão digital inválida em --fingerprint: informe os 64 dígitos hexadecimais do SHA-256.");
            return false;
        }
    }
    given("systems", &o.systems);
    given("users", &o.users);
    given("output", &o.output);
    if (given("tables", &value) && !parseTables(value, &o.tables, error)) return false;
    if (given("types", &value) && !parseTypes(value, &o.types, error)) return false;
    if (given("location", &value) && !parseLocation(value, &o.mode, error)) return false;
    const bool formatGiven = given("format", &value);
    if (formatGiven && !ReportFiles::formatFromName(value, &o.format)) {
        *error = QStringLiteral("Formato inválido em --format: \"%1\" (use pdf, xlsx ou csv).").arg(value);
        return false;
    }
    if (o.server.isEmpty() && o.database.isEmpty()) fromSettings(&o);
    if (o.server.isEmpty() == o.database.isEmpty()) {
        *error = QStringLiteral("Informe --server ou --database (um dos dois).");
        return false;
    }
    if ((!o.caFile.isEmpty() || !o.fingerprint.isEmpty()) && o.server.isEmpty()) {
        *error = QStringLiteral("--ca e --fingerprint só valem com --server.");
        return false;
    }
    if (!o.token.isEmpty() && o.server.isEmpty()) {
        *error = QStringLiteral("--token só vale com --server.");
        return false;
    }
    if (o.output.isEmpty()) {
        *error = QStringLiteral("Informe o arquivo de saída com --output (ou - para a saída padrão).");
        return false;
    }
    for (const QString *count : {&o.systems, &o.users}) {
        const QString t = count->trimmed();
        if (!t.isEmpty() && !QRegularExpression(QStringLiteral("^[+-]?[0-9]{1,9}$")).match(t).hasMatch()) {
            *error = QStringLiteral("%1 deve ser um número inteiro: \"%2\".")
                         .arg(count == &o.systems ? QStringLiteral("--systems") : QStringLiteral("--users"), *count);
            return false;
        }
    }
    o.cell = parser.isSet(QStringLiteral("cell"));
    if (o.cell) {
        if (formatGiven && o.format != ReportFiles::Format::Csv) {
            *error = QStringLiteral("Com --cell, o formato é csv.");
            return false;
        }
        o.format = ReportFiles::Format::Csv;
    } else if (!formatGiven) {
        if (o.output == QLatin1String("-")) {
            *error = QStringLiteral("Com a saída padrão (--output -), informe o formato com --format.");
            return false;
        }
        if (!ReportFiles::formatFromPath(o.output, &o.format)) {
            *error = QStringLiteral("Não sei o formato de \"%1\": use a extensão .pdf, .xlsx ou .csv, ou informe --format.").arg(o.output);
            return false;
        }
    }
    *out = o;
    return true;
}

}  // namespace ReportCommand
