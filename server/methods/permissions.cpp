// Discount permissions of operators on a price table (PRECOPROPOPER): one
// percentage per price table, operator and discount type ("L" rental, "M"
// maintenance, "U" licence of use), for active operators only.

#include "codes.h"
#include "common.h"
#include "entity.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"

#include <QList>

namespace {

using Packets::number;
using Packets::text;

enum Col { CODE, OPERATOR, TYPE, PERCENT };

const TableLayout &layout() {
    static const TableLayout s(QStringLiteral("PRECOPROPOPER"), {{QStringLiteral("CDPRECOPROP"), FieldType::String, 10, true},
                                                              {QStringLiteral("CDOPERADOR"), FieldType::String, 12, true},
                                                              {QStringLiteral("IDTIPODESCOPER"), FieldType::String, 1, true},
                                                              {QStringLiteral("VRPERCDESCOPER"), FieldType::Float}});
    return s;
}

bool missing(const QVariant &v) { return !v.isValid() || v.isNull() || v.toString().trimmed().isEmpty(); }

// The discount type as a code; the screen's texts are accepted too.
QString typeCode(const QString &text) {
    const QString t = text.trimmed();
    if (t == QLatin1String("Locação")) return QStringLiteral("L");
    if (t == QLatin1String("Manutenção")) return QStringLiteral("M");
    if (t == QLatin1String("Licença de Uso")) return QStringLiteral("U");
    return t;
}

bool isType(const QString &code) {
    return code == QLatin1String("L") || code == QLatin1String("M") || code == QLatin1String("U");
}

QString describe(const Values &row) {
    return QStringLiteral("Permissão do operador %1 (tipo %2) na tabela de preço %3")
        .arg(Codes::shown(Entity::text(row[OPERATOR])), Codes::shown(Common::discountTypeName(Entity::text(row[TYPE])), 20),
             Codes::shown(Entity::text(row[CODE])));
}

void validate(DbSession &db, const Values &row, const QSet<QString> &existingTables) {
    const QString who = describe(row);
    const QString code = Entity::text(row[CODE]);
    if (code.isEmpty()) refuse(QStringLiteral("%1: a tabela de preço deve ser informada.").arg(who));
    if (!Codes::isPriceTable(code) || !existingTables.contains(code))
        refuse(QStringLiteral("%1: a tabela de preço %2 não está cadastrada.").arg(who, Codes::shown(code)));
    if (missing(row[OPERATOR])) refuse(QStringLiteral("%1: o operador deve ser informado.").arg(who));
    if (missing(row[TYPE])) refuse(QStringLiteral("%1: o tipo de desconto deve ser informado.").arg(who));
    if (missing(row[PERCENT])) refuse(QStringLiteral("%1: o valor de desconto deve ser informado.").arg(who));
    if (!isType(row[TYPE].toString()))
        refuse(QStringLiteral("%1: o tipo de desconto deve ser L (Locação), M (Manutenção) ou U (Licença de Uso).").arg(who));
    const double pct = row[PERCENT].toDouble();
    if (pct < 0 || pct > 100) refuse(QStringLiteral("%1: o valor de desconto deve estar entre 0% e 100%.").arg(who));
    const QString op = row[OPERATOR].toString();
    if (!Codes::isOperator(op) || Common::operatorStatus(db, op) != QLatin1String("A"))
        refuse(QStringLiteral("%1: não existe operador ativo cadastrado com o código informado.").arg(who));
}

void normalise(DeltaRecord &r) {
    if (r.has(CODE) && !r.values[CODE].isNull()) r.values[CODE] = Codes::priceTable(r.values[CODE].toString());
    if (r.has(OPERATOR) && !r.values[OPERATOR].isNull()) r.values[OPERATOR] = Codes::operatorCode(r.values[OPERATOR].toString());
    if (r.has(TYPE) && !r.values[TYPE].isNull()) r.values[TYPE] = typeCode(r.values[TYPE].toString());
}

QString conflictMessage(const Values &key) {
    return QStringLiteral("A permissão do operador %1 (tipo %2) na tabela de preço %3 foi alterada ou excluída por outro usuário. "
                          "Atualize os dados e tente novamente.")
        .arg(Codes::shown(Entity::text(key[1])), Codes::shown(Common::discountTypeName(Entity::text(key[2])), 20),
             Codes::shown(Entity::text(key[0])));
}

void refuseDuplicate(const Values &row) {
    refuse(QStringLiteral("%1: operador e tipo de desconto já cadastrados para a tabela de preço.").arg(describe(row)));
}

void setPerOper(CallContext &ctx) {
    Common::PriceTableRecords rules;
    rules.layout = &layout();
    rules.codeColumn = CODE;
    rules.normalise = normalise;
    rules.oldKeyMissing =
        QStringLiteral("As alterações de permissões não trazem a tabela de preço, o operador e o tipo da permissão alterada.");
    DbSession &db = ctx.db;
    rules.validate = [&db](const Values &row, const QSet<QString> &existing) { validate(db, row, existing); };
    rules.refuseDuplicate = refuseDuplicate;
    rules.conflictMessage = conflictMessage;
    Common::applyPriceTableRecords(db, *ctx.delta(0), rules);
}

}  // namespace

void Methods::registerPermissions(MethodRegistry &registry) {
    using A = ArgKind;
    registry.add({QStringLiteral("getPerOper"), {A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString code = Codes::priceTableArg(ctx.text(0));
                      ctx.data = Packets::select(
                          ctx.db,
                          {text("CDOPERADOR", 12), text("NMOPERADOR", 40), text("CDPRECOPROP", 10), text("IDTIPODESCOPER", 1),
                           number("VRPERCDESCOPER")},
                          QStringLiteral("SELECT P.CDOPERADOR, O.NMOPERADOR, P.CDPRECOPROP, P.IDTIPODESCOPER, P.VRPERCDESCOPER"
                                         " FROM PRECOPROPOPER P LEFT JOIN OPERADOR O ON O.CDOPERADOR = P.CDOPERADOR"
                                         " WHERE P.CDPRECOPROP = ? ORDER BY P.CDOPERADOR, P.IDTIPODESCOPER"),
                          {code});
                  }});
    registry.add({QStringLiteral("setPerOper"), {A::Delta}, TxMode::Write, setPerOper});
    registry.add({QStringLiteral("getVdOpTipo"), {A::Text, A::Text, A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString op = Codes::operatorArg(ctx.text(0));
                      const QString code = Codes::priceTableArg(ctx.text(1));
                      const QString type = typeCode(ctx.text(2));
                      if (!type.isEmpty() && !isType(type))
                          invalidParams(QStringLiteral("Tipo de desconto inválido: \"%1\". Use L, M ou U.").arg(Codes::shown(ctx.text(2))));
                      ctx.data = Packets::select(ctx.db, {text("CDOPERADOR", 12), text("CDPRECOPROP", 10), text("IDTIPODESCOPER", 1)},
                                                 QStringLiteral("SELECT CDOPERADOR, CDPRECOPROP, IDTIPODESCOPER FROM PRECOPROPOPER"
                                                                " WHERE CDOPERADOR = ? AND CDPRECOPROP = ? AND IDTIPODESCOPER = ?"),
                                                 {op, code, type});
                  }});
}
