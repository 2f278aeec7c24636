#include "report_options.h"

#include "routines.h"

#include <QRegularExpression>

namespace ReportCommand {

QString helpText() {
    return QStringLiteral(
        "Uso: cot-report (--server URL [--token CHAVE] | --database CAMINHO-OU-URL-POSTGRESQL)\n"
        "                [--tables T|CODIGO,CODIGO...] [--systems N] [--users U] [--types U,M,L]\n"
        "                [--location MM|FF|FM] [--format pdf|xlsx|csv] --output ARQUIVO|-\n"
        "\n"
        "Gera o relatório de simulação de preços (COT003) das tabelas de preço da proposta\n"
        "comercial, sem janela, para livros de preços agendados.\n"
        "\n"
        "  --server URL        servidor de aplicação em execução (ex.: http://127.0.0.1:8080)\n"
        "  --token CHAVE       chave de acesso do servidor, quando ele exige uma\n"
        "  --database DB       abre o banco diretamente, sem servidor: arquivo SQLite ou\n"
        "                      postgresql://usuario@maquina:porta/banco\n"
        "  --tables T|LISTA    T para todas as tabelas (padrão) ou os códigos separados por vírgula\n"
        "  --systems N         número de sistemas, de 1 a 20 (padrão 20)\n"
        "  --users U           número de usuários, de 1 a 150 (padrão 150)\n"
        "  --types U,M,L       tipos de preço: U licença de uso, M manutenção, L locação (padrão: os três)\n"
        "  --location MODO     MM Matriz/Matriz (padrão), FF Filial/Filial, FM Filial/Matriz\n"
        "  --format FORMATO    pdf, xlsx ou csv; sem ele, a extensão do arquivo de saída decide\n"
        "  --output ARQUIVO    arquivo gerado; - para a saída padrão\n"
        "  --help              mostra esta ajuda\n"
        "\n"
        "Saída: 0 relatório gravado; 1 recusado (a mensagem diz o motivo, nenhum arquivo é gravado);\n"
        "2 argumentos inválidos.\n");
}

bool parse(const QStringList &args, ReportOptions *out, QString *error) {
    ReportOptions o;
    bool formatGiven = false;
    QSet<QString> seen;
    for (int i = 0; i < args.size(); ++i) {
        QString name = args[i], value;
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            o.help = true;
            continue;
        }
        if (!name.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("Argumento não reconhecido: \"%1\".").arg(name);
            return false;
        }
        const int eq = name.indexOf(QLatin1Char('='));
        if (eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        } else {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("Falta o valor de %1.").arg(name);
                return false;
            }
            value = args[++i];
        }
        if (seen.contains(name)) {
            *error = QStringLiteral("A opção %1 foi informada mais de uma vez.").arg(name);
            return false;
        }
        seen.insert(name);
        if (name == QLatin1String("--server")) o.server = value;
        else if (name == QLatin1String("--token")) o.token = value;
        else if (name == QLatin1String("--database")) o.database = value;
        else if (name == QLatin1String("--systems")) o.systems = value;
        else if (name == QLatin1String("--users")) o.users = value;
        else if (name == QLatin1String("--output")) o.output = value;
        else if (name == QLatin1String("--tables")) {
            const QString v = value.trimmed();
            if (v.compare(QLatin1String("T"), Qt::CaseInsensitive) == 0) {
                o.tables = QStringLiteral("T");
            } else {
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
                o.tables = codes.join(QLatin1Char(','));  // empty: nothing chosen, refused by the checks
            }
        } else if (name == QLatin1String("--types")) {
            o.types.clear();
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
                if (!o.types.contains(type)) o.types.append(type);
            }
        } else if (name == QLatin1String("--location")) {
            const QString m = value.trimmed().toUpper();
            if (m == QLatin1String("MM")) o.mode = PriceSimulation::LocationMode::HeadHead;
            else if (m == QLatin1String("FF")) o.mode = PriceSimulation::LocationMode::BranchBranch;
            else if (m == QLatin1String("FM")) o.mode = PriceSimulation::LocationMode::BranchHead;
            else {
                *error = QStringLiteral("Modo/local inválido em --location: \"%1\" (use MM, FF ou FM).").arg(value);
                return false;
            }
        } else if (name == QLatin1String("--format")) {
            if (!ReportFiles::formatFromName(value, &o.format)) {
                *error = QStringLiteral("Formato inválido em --format: \"%1\" (use pdf, xlsx ou csv).").arg(value);
                return false;
            }
            formatGiven = true;
        } else {
            *error = QStringLiteral("Opção desconhecida: %1.").arg(name);
            return false;
        }
    }
    if (o.help) {
        *out = o;
        return true;
    }
    if (o.server.isEmpty() == o.database.isEmpty()) {
        *error = QStringLiteral("Informe --server ou --database (um dos dois).");
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
    if (!formatGiven) {
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
