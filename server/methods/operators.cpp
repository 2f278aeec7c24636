// Operators (OPERADOR, kept by the host application) and the automatic
// registration of discount permissions for many operators at once.

#include "codes.h"
#include "common.h"
#include "discount_types.h"
#include "method_names.h"
#include "methods.h"
#include "value_limits.h"
#include "packets.h"
#include "rpc_dispatcher.h"
#include "write_path.h"

namespace {

using Packets::text;

// Insere_OperDesc(var operators, var "M", percentage, price table, var "L",
// percentage, var "U", percentage): grants each ticked type (non-empty code)
// to the listed operators, or to every active operator when the list is empty
// or "T"; an existing permission takes the new percentage.
void insereOperDesc(CallContext &ctx) {
    DbSession &db = ctx.db;
    const Codes::Selection operators = Codes::operatorSelection(ctx.text(0));
    const QString code = Codes::priceTableArg(ctx.text(3));
    if (code.isEmpty()) refuse(QStringLiteral("Informe a tabela de preço que receberá as permissões de desconto."));

    struct Grant {
        QString type;
        double percent;
    };
    QVector<Grant> grants;
    const struct {
        int typeArg, percentArg;
        const char *expected;
    } choices[] = {{1, 2, "M"}, {4, 5, "L"}, {6, 7, "U"}};
    for (const auto &s : choices) {
        const QString type = ctx.text(s.typeArg).trimmed();
        if (type.isEmpty()) continue;
        if (type != QLatin1String(s.expected))
            invalidParams(QStringLiteral("O argumento %1 do método Insere_OperDesc deve ser \"%2\" ou vazio.")
                              .arg(s.typeArg + 1)
                              .arg(QLatin1String(s.expected)));
        if (ctx.isNull(s.percentArg))
            refuse(QStringLiteral("Informe o percentual de desconto para %1.").arg(DiscountTypes::caption(type).toLower()));
        const double pct = ctx.number(s.percentArg);
        if (!Limits::isPercent(pct))
            refuse(QStringLiteral("Percentual de desconto para %1 deve estar entre 0% e 100%.").arg(DiscountTypes::caption(type).toLower()));
        grants.append({type, pct});
    }

    const QSet<QString> locked = Common::lockPriceTables(db, {code});
    if (locked.isEmpty()) refuse(QStringLiteral("A tabela de preço %1 não está cadastrada.").arg(code));

    QStringList targets;
    if (operators.all || operators.codes.isEmpty()) {
        Query q(db, QStringLiteral("SELECT CDOPERADOR FROM OPERADOR WHERE IDOPERATIVO = 'A' ORDER BY CDOPERADOR"));
        q.exec();
        while (q.next()) targets << q.text(0);
    } else {
        for (const QString &op : operators.codes) {
            const QString status = Common::operatorStatus(db, op);
            if (status.isEmpty()) refuse(QStringLiteral("Operador %1 não cadastrado.").arg(op));
            if (status != QLatin1String("A"))
                refuse(QStringLiteral("Operador %1 (%2) está inativo e não pode receber permissões de desconto.")
                           .arg(op, Common::operatorName(db, op).trimmed()));
            targets << op;
        }
    }

    // Each grant is a permission's insert or a change of its percentage, made
    // through the same rules as the permissions grid.
    const TableRules &rules = Permissions::rules();
    for (const QString &op : std::as_const(targets)) {
        for (const Grant &g : std::as_const(grants)) {
            DeltaRecord grant{{code, op, g.type, g.percent}, {true, true, true, true}};
            if (const auto stored = Entity::fetch(db, *rules.layout, {code, op, g.type}, false))
                WritePath::applyOne(ctx, rules, DeltaChange::Update, DeltaRecord{*stored, {true, true, true, true}}, grant, locked);
            else
                WritePath::applyOne(ctx, rules, DeltaChange::Insert, {}, grant, locked);
        }
    }
}

}  // namespace

void Methods::registerOperators(MethodRegistry &registry) {
    using A = ArgKind;
    registry.add(Right::Read, {Method::GetOperador, {}, TxMode::None, [](CallContext &ctx) {
                      ctx.data = Packets::select(ctx.db, {text("IDMARCADO", 1), text("CDOPERADOR", 12), text("NMOPERADOR", 40)},
                                                 QStringLiteral("SELECT NULL, CDOPERADOR, NMOPERADOR FROM OPERADOR"
                                                                " WHERE IDOPERATIVO = 'A' ORDER BY CDOPERADOR"),
                                                 {});
                  }});
    registry.add(Right::Discounts, {Method::Insere_OperDesc,
                  {A::Text, A::Text, A::NumberOrNull, A::Text, A::Text, A::NumberOrNull, A::Text, A::NumberOrNull},
                  TxMode::Write, insereOperDesc, {0, 1, 4, 6}});
}
