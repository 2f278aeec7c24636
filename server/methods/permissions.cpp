// Discount permissions of operators on a price table (PRECOPROPOPER): one
// percentage per price table, operator and discount type ("L" rental, "M"
// maintenance, "U" licence of use), for active operators only.

#include "codes.h"
#include "discount_types.h"
#include "value_limits.h"
#include "common.h"
#include "entity.h"
#include "method_names.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"
#include "write_path.h"

#include <QList>

namespace {

enum Col { CODE, OPERATOR, TYPE, PERCENT };

const TableLayout &layout() {
    static const TableLayout s(Vocabulary::OperatorPermissions);
    return s;
}

using WritePath::isBlank;

// The discount type as a code; the screen's texts are accepted too.
QString typeCode(const QString &text) {
    const QString code = DiscountTypes::code(text);
    return code.isEmpty() ? text.trimmed() : code;
}

bool isType(const QString &code) { return !code.isEmpty() && DiscountTypes::code(code) == code; }

QString describe(const Values &row) {
    return QStringLiteral("Permissão do operador %1 (tipo %2) na tabela de preço %3")
        .arg(Codes::shown(Entity::text(row[OPERATOR])), Codes::shown(DiscountTypes::caption(Entity::text(row[TYPE])), 20),
             Codes::shown(Entity::text(row[CODE])));
}

void validate(DbSession &db, const Values &row, const QSet<QString> &existingTables) {
    const QString who = describe(row);
    const QString code = Entity::text(row[CODE]);
    if (code.isEmpty()) refuse(QStringLiteral("%1: a tabela de preço deve ser informada.").arg(who));
    if (!Codes::isPriceTable(code) || !existingTables.contains(code))
        refuse(QStringLiteral("%1: a tabela de preço %2 não está cadastrada.").arg(who, Codes::shown(code)));
    if (isBlank(row[OPERATOR])) refuse(QStringLiteral("%1: o operador deve ser informado.").arg(who));
    if (isBlank(row[TYPE])) refuse(QStringLiteral("%1: o tipo de desconto deve ser informado.").arg(who));
    if (isBlank(row[PERCENT])) refuse(QStringLiteral("%1: o valor de desconto deve ser informado.").arg(who));
    if (!isType(row[TYPE].toString()))
        refuse(QStringLiteral("%1: o tipo de desconto deve ser L (Locação), M (Manutenção) ou U (Licença de Uso).").arg(who));
    const double pct = row[PERCENT].toDouble();
    if (!Limits::isPercent(pct)) refuse(QStringLiteral("%1: o valor de desconto deve estar entre 0% e 100%.").arg(who));
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
        .arg(Codes::shown(Entity::text(key[1])), Codes::shown(DiscountTypes::caption(Entity::text(key[2])), 20),
             Codes::shown(Entity::text(key[0])));
}

void refuseDuplicate(const Values &row) {
    refuse(QStringLiteral("%1: operador e tipo de desconto já cadastrados para a tabela de preço.").arg(describe(row)));
}

}  // namespace

// Writers of one price table's permissions wait for each other on its row.
const TableRules &Permissions::rules() {
    static const TableRules r = [] {
        TableRules r;
        r.layout = &layout();
        r.normalise = normalise;
        r.oldKeyMissing =
            QStringLiteral("As alterações de permissões não trazem a tabela de preço, o operador e o tipo da permissão alterada.");
        r.locks = {CODE, true, Codes::isPriceTable, Common::lockPriceTables};
        r.check = [](DbSession &db, const Checked &c) { validate(db, c.row, c.locked); };
        r.refuseDuplicate = refuseDuplicate;
        r.conflict = conflictMessage;
        return r;
    }();
    return r;
}

namespace {

// The permissions of a price table with their operators' names.
const ReadView &withNames() {
    using V = ReadView;
    static const ReadView v(QStringLiteral("PRECOPROPOPER P LEFT JOIN OPERADOR O ON O.CDOPERADOR = P.CDOPERADOR"),
                            {V::own(layout(), "P", "CDOPERADOR"), V::joined("O", "NMOPERADOR", FieldType::String, 40),
                             V::own(layout(), "P", "CDPRECOPROP"), V::own(layout(), "P", "IDTIPODESCOPER"),
                             V::own(layout(), "P", "VRPERCDESCOPER")});
    return v;
}

const ReadView &keys() {
    static const ReadView v(layout().table(),
                            {ReadView::own(layout(), "", "CDOPERADOR"), ReadView::own(layout(), "", "CDPRECOPROP"),
                             ReadView::own(layout(), "", "IDTIPODESCOPER")});
    return v;
}

}  // namespace

void Methods::registerPermissions(MethodRegistry &registry) {
    using A = ArgKind;
    registry.add(Right::Read, {Method::getPerOper, {A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString code = Codes::priceTableArg(ctx.text(0));
                      ctx.data = Packets::select(ctx.db, withNames().fields(),
                                                 withNames().select(QStringLiteral("WHERE P.CDPRECOPROP = ? ORDER BY P.CDOPERADOR, P.IDTIPODESCOPER")),
                                                 {code});
                  }});
    registry.add(Right::Discounts, {Method::setPerOper, {A::Delta}, TxMode::Write,
                  [](CallContext &ctx) { WritePath::apply(ctx, *ctx.delta(0), Permissions::rules()); }});
    registry.add(Right::Read, {Method::getVdOpTipo, {A::Text, A::Text, A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString op = Codes::operatorArg(ctx.text(0));
                      const QString code = Codes::priceTableArg(ctx.text(1));
                      const QString type = typeCode(ctx.text(2));
                      if (!type.isEmpty() && !isType(type))
                          invalidParams(QStringLiteral("Tipo de desconto inválido: \"%1\". Use L, M ou U.").arg(Codes::shown(ctx.text(2))));
                      ctx.data = Packets::select(ctx.db, keys().fields(),
                                                 keys().select(QStringLiteral("WHERE CDOPERADOR = ? AND CDPRECOPROP = ? AND IDTIPODESCOPER = ?")),
                                                 {op, code, type});
                  }});
}
