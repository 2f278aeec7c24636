#include "report_catalogue.h"

namespace ReportCatalogue {

QStringList lines() {
    static const QStringList l{
        QStringLiteral("NovoCaption|Título do relatório"),
        QStringLiteral("NovoPrompt|Informe o título do relatório:"),
        QStringLiteral("NUMSIST_ACIMA_LMT|Número de sistemas acima do limite de \"20\"."),
        QStringLiteral("TB_PRECO|Tabela de Preço"),
        QStringLiteral("NUM_SIST_INF|Numero de sistemas deve ser Informado"),
        QStringLiteral("SIST_MAIOR|Numero de sistemas deve ser maior que \"0\"."),
        QStringLiteral("NUM_USU_INF|Numero de Usuários deve ser Informado"),
        QStringLiteral("USU_MAIOR|Numero de usuários deve ser maior que \"0\"."),
        QStringLiteral("NUMUSU_ACIMA_LMT|Numero de usuários acima do limite de \"150\"."),
        QStringLiteral("Arq_Rel_Err|O arquivo contendo a definição do relatório de código '%s' não foi encontrado no diretório '%s'."),
        QStringLiteral("SEL_TIPO|Tipo de Tabela de Preço deve ser Informada"),
        QStringLiteral("TBPRECO_SEL|Tabela de Preço deve ser Informada"),
        QStringLiteral("TB_N_CAD_OU|Não existem Tabela(s) de preço cadastrada(s) ou a(s) Tabela(s) de Preço não possue(m) desconto por "
                   "sistema e ou desconto por usuario cadastrado com limite inferior e ou superior."),
        QStringLiteral("MES_N_CAD|Não foi encontrado o mês vigente."),
    };
    return l;
}

QString text(const QString &key) {
    for (const QString &line : lines())
        if (line.section(QLatin1Char('|'), 0, 0) == key) return line.section(QLatin1Char('|'), 1);
    return key;
}

}  // namespace ReportCatalogue
