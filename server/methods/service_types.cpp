// Service types (TIPOSERV) and the operators' discounts on them
// (OPERTIPOSERV), seen from the service type and from the operator.

#include "codes.h"
#include "value_limits.h"
#include "common.h"
#include "entity.h"
#include "method_names.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"
#include "wire_values.h"
#include "write_path.h"

#include <QList>
#include <algorithm>

namespace {

using WritePath::isBlank;

// --- Service types ---------------------------------------------------------

enum TypeCol { T_CODE, T_NAME, T_WEB, T_REQUIRED, T_NATIONAL, T_INTERNATIONAL };

const TableLayout &typeLayout() {
    static const TableLayout s(Vocabulary::ServiceTypes);
    return s;
}

QString describeType(const Values &row) {
    const QString name = Entity::text(row[T_NAME]).trimmed();
    const QString code = Codes::shown(Entity::text(row[T_CODE]));
    return name.isEmpty() ? QStringLiteral("Tipo de serviço %1").arg(code)
                          : QStringLiteral("Tipo de serviço %1 (%2)").arg(code, Codes::shown(name, 50));
}

// Checks the columns a change touches (all of them for a new row): a stored
// row may hold flags other than "S" and "N", written by other programs of the
// host, and a change of its values alone is taken as it is.
void validateType(const Values &row, const QVector<int> &touched) {
    const QString who = describeType(row);
    auto checks = [&touched](int c) { return touched.contains(c); };
    if (checks(T_CODE) && !Codes::isServiceType(Entity::text(row[T_CODE])))
        refuse(QStringLiteral("%1: o código do tipo de serviço deve ter 3 letras ou dígitos.").arg(who));
    if (checks(T_NAME) && isBlank(row[T_NAME])) refuse(QStringLiteral("%1: o nome do serviço deve ser informado.").arg(who));
    const QString web = Entity::text(row[T_WEB]), required = Entity::text(row[T_REQUIRED]);
    if (checks(T_WEB) && web != QLatin1String("S") && web != QLatin1String("N"))
        refuse(QStringLiteral("%1: a opção Proposta Web deve ser S (Sim) ou N (Não).").arg(who));
    if (checks(T_REQUIRED) && required != QLatin1String("S") && required != QLatin1String("N"))
        refuse(QStringLiteral("%1: a opção Proposta Prospect deve ser S (Obrigatório) ou N (Opcional).").arg(who));
    for (int c : {T_NATIONAL, T_INTERNATIONAL})
        if (checks(c) && !row[c].isNull() && row[c].isValid() && row[c].toDouble() < 0)
            refuse(QStringLiteral("%1: o valor padrão %2 não pode ser negativo.")
                       .arg(who, c == T_NATIONAL ? QStringLiteral("nacional") : QStringLiteral("internacional")));
}

void normaliseType(DeltaRecord &r) {
    if (r.has(T_CODE) && !r.values[T_CODE].isNull()) r.values[T_CODE] = Codes::serviceType(r.values[T_CODE].toString());
    for (int c : {T_WEB, T_REQUIRED})
        if (r.has(c) && !r.values[c].isNull()) r.values[c] = r.values[c].toString().trimmed().toUpper();
}

QString typeConflict(const QString &code) {
    return QStringLiteral("O tipo de serviço %1 foi alterado ou excluído por outro usuário. Atualize os dados e tente novamente.")
        .arg(Codes::shown(code));
}

bool hasDiscounts(DbSession &db, const QVariant &type) {
    Query q(db, QStringLiteral("SELECT 1 FROM OPERTIPOSERV WHERE CDTIPOSERV = ?"));
    q.bind(type).exec();
    return q.next();
}

const TableRules &typeRules() {
    static const TableRules r = [] {
        TableRules r;
        r.layout = &typeLayout();
        r.normalise = normaliseType;
        r.oldKeyMissing = QStringLiteral("As alterações de tipos de serviço não trazem o código (CDTIPOSERV) da linha alterada.");
        r.lockFetched = true;
        r.check = [](DbSession &, const Checked &c) { validateType(c.row, c.touched); };
        r.refuseDuplicate = [](const Values &row) { refuse(QStringLiteral("%1: tipo de serviço já cadastrado.").arg(describeType(row))); };
        r.keyFixed = [](const Values &stored) {
            return QStringLiteral("%1: o código de um tipo de serviço não pode ser alterado.").arg(describeType(stored));
        };
        r.conflict = [](const Values &key) { return typeConflict(Entity::text(key[0])); };
        r.beforeDelete = [](CallContext &ctx, const Values &stored) {
            if (hasDiscounts(ctx.db, stored[T_CODE]))
                refuse(QStringLiteral("%1: há descontos de operadores neste tipo de serviço; exclua-os antes de excluir o tipo de serviço.")
                           .arg(describeType(stored)));
        };
        return r;
    }();
    return r;
}

// --- Operator discounts per service type ------------------------------------

enum DiscountCol { D_NUMBER, D_TYPE, D_OPERATOR, D_PERCENT };

const TableLayout &discountLayout() {
    static const TableLayout s(Vocabulary::OperatorServiceDiscounts);
    return s;
}

QString describeDiscount(const Values &row) {
    return QStringLiteral("Desconto do operador %1 no tipo de serviço %2")
        .arg(Codes::shown(Entity::text(row[D_OPERATOR])), Codes::shown(Entity::text(row[D_TYPE])));
}

// checkOperator: the operator is new to the record (an insert, or a change of
// operator). A percentage edit is taken even when the operator has become
// inactive since: the grant exists and the screen edits what it shows.
void validateDiscount(DbSession &db, const Values &row, bool checkOperator) {
    const QString who = describeDiscount(row);
    if (isBlank(row[D_TYPE])) refuse(QStringLiteral("%1: o tipo de serviço deve ser informado.").arg(who));
    if (isBlank(row[D_OPERATOR])) refuse(QStringLiteral("%1: o operador deve ser informado.").arg(who));
    if (isBlank(row[D_PERCENT])) refuse(QStringLiteral("%1: o percentual de desconto do operador deve ser informado.").arg(who));
    const double pct = row[D_PERCENT].toDouble();
    if (!Limits::isPercent(pct)) refuse(QStringLiteral("%1: o percentual de desconto deve estar entre 0% e 100%.").arg(who));
    const QString type = row[D_TYPE].toString();
    if (!Codes::isServiceType(type) || !Entity::fetch(db, typeLayout(), {type}, false))
        refuse(QStringLiteral("%1: tipo de serviço não cadastrado.").arg(who));
    const QString op = row[D_OPERATOR].toString();
    if (checkOperator && (!Codes::isOperator(op) || Common::operatorStatus(db, op) != QLatin1String("A")))
        refuse(QStringLiteral("%1: operador não cadastrado ou inativo.").arg(who));
    Query q(db, QStringLiteral("SELECT 1 FROM OPERTIPOSERV WHERE CDTIPOSERV = ? AND CDOPERADOR = ? AND NROPERTIPOSERV <> ?"));
    q.bind(type).bind(op).bind(row[D_NUMBER]).exec();
    if (q.next()) refuse(QStringLiteral("%1: o operador já tem desconto neste tipo de serviço.").arg(who));
}

void normaliseDiscount(DeltaRecord &r) {
    if (r.has(D_TYPE) && !r.values[D_TYPE].isNull()) r.values[D_TYPE] = Codes::serviceType(r.values[D_TYPE].toString());
    if (r.has(D_OPERATOR) && !r.values[D_OPERATOR].isNull()) r.values[D_OPERATOR] = Codes::operatorCode(r.values[D_OPERATOR].toString());
}

QString discountConflict(const QVariant &number) {
    return QStringLiteral("O desconto de operador número %1 foi alterado ou excluído por outro usuário. Atualize os dados e tente novamente.")
        .arg(Entity::text(number));
}

// Numbers travel as JSON numbers, exact only below 2^53: a sequence that
// reaches it (a number stored by hand) starts again from 1.
const KeySequence &discountNumbers() {
    static const KeySequence s{QStringLiteral("OPERTIPOSERV"), &discountLayout(), qint64(WireValues::MaxExactWhole) - 1,
                               QStringLiteral("Os números de desconto de operador por tipo de serviço se esgotaram."),
                               [](qint64 n) { return QVariant(n); }};
    return s;
}

// Writers of one service type's discounts wait for each other on its row.
QSet<QString> lockTypes(DbSession &db, const QSet<QString> &types) {
    QList<QString> sorted(types.begin(), types.end());
    std::sort(sorted.begin(), sorted.end());
    for (const QString &type : sorted) Entity::fetch(db, typeLayout(), {type}, true);
    return types;
}

const TableRules &discountRules() {
    static const TableRules r = [] {
        TableRules r;
        r.layout = &discountLayout();
        r.normalise = normaliseDiscount;
        r.oldKeyMissing =
            QStringLiteral("As alterações de descontos de operador não trazem o número (NROPERTIPOSERV) da linha alterada.");
        r.locks = {D_TYPE, true, Codes::isServiceType, lockTypes};
        r.lockFetched = true;
        r.keys = &discountNumbers();
        r.check = [](DbSession &db, const Checked &c) {
            const bool insert = c.op == DeltaChange::Insert;
            if (insert && c.row[D_NUMBER].toLongLong() <= 0)
                refuse(QStringLiteral("%1: o número do registro deve ser maior que zero.").arg(describeDiscount(c.row)));
            validateDiscount(db, c.row, insert || c.touched.contains(D_OPERATOR));
        };
        r.refuseDuplicate = [](const Values &row) {
            refuse(QStringLiteral("%1: o número %2 já está em uso por outro desconto.").arg(describeDiscount(row), Entity::text(row[D_NUMBER])));
        };
        r.keyFixed = [](const Values &stored) {
            return QStringLiteral("%1: o número do registro não pode ser alterado.").arg(describeDiscount(stored));
        };
        r.conflict = [](const Values &key) { return discountConflict(key[0]); };
        return r;
    }();
    return r;
}

// The discounts with the names of their operators, or of their service types.
const ReadView &discountsByType() {
    using V = ReadView;
    static const ReadView v(QStringLiteral("OPERTIPOSERV D LEFT JOIN OPERADOR O ON O.CDOPERADOR = D.CDOPERADOR"),
                            {V::own(discountLayout(), "D", "CDTIPOSERV"), V::own(discountLayout(), "D", "NROPERTIPOSERV"),
                             V::own(discountLayout(), "D", "CDOPERADOR"), V::joined("O", "NMOPERADOR", FieldType::String, 40),
                             V::own(discountLayout(), "D", "VRPEDESOPERSERV")});
    return v;
}

const ReadView &discountsByOperator() {
    using V = ReadView;
    static const ReadView v(QStringLiteral("OPERTIPOSERV D LEFT JOIN TIPOSERV T ON T.CDTIPOSERV = D.CDTIPOSERV"),
                            {V::own(discountLayout(), "D", "CDTIPOSERV"), V::joined("T", "NMTIPOSERV", FieldType::String, 80),
                             V::own(discountLayout(), "D", "VRPEDESOPERSERV"), V::own(discountLayout(), "D", "NROPERTIPOSERV"),
                             V::own(discountLayout(), "D", "CDOPERADOR")});
    return v;
}

// Codes and names, for the search of a service type.
const ReadView &typeNames() {
    static const ReadView v(typeLayout().table(),
                            {ReadView::own(typeLayout(), "", "CDTIPOSERV"), ReadView::own(typeLayout(), "", "NMTIPOSERV")});
    return v;
}

}  // namespace

void Methods::registerServiceTypes(MethodRegistry &registry) {
    using A = ArgKind;
    registry.add(Right::Read, {Method::GetTipoServico, {}, TxMode::None, [](CallContext &ctx) {
                      ctx.data = Packets::select(ctx.db, typeLayout().fields(), typeLayout().select(QStringLiteral("ORDER BY CDTIPOSERV")), {});
                  }});
    registry.add(Right::Prices, {Method::SetTipoServico, {A::Delta}, TxMode::Write,
                  [](CallContext &ctx) { WritePath::apply(ctx, *ctx.delta(0), typeRules()); }});
    registry.add(Right::Read, {Method::GetOperTipoServ, {A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString type = Codes::serviceTypeArg(ctx.text(0));
                      const ReadView &v = discountsByType();
                      ctx.data = Packets::select(ctx.db, v.fields(), v.select(QStringLiteral("WHERE D.CDTIPOSERV = ? ORDER BY D.CDOPERADOR")), {type});
                  }});
    registry.add(Right::Read, {Method::GetTipoServOper, {A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString op = Codes::operatorArg(ctx.text(0));
                      const ReadView &v = discountsByOperator();
                      ctx.data = Packets::select(ctx.db, v.fields(), v.select(QStringLiteral("WHERE D.CDOPERADOR = ? ORDER BY D.CDTIPOSERV")), {op});
                  }});
    registry.add(Right::Discounts, {Method::SetOperTipoServ, {A::DeltaOrNull, A::DeltaOrNull}, TxMode::Write, [](CallContext &ctx) {
                      for (int i = 0; i < 2; ++i)
                          if (const Delta *d = ctx.delta(i)) WritePath::apply(ctx, *d, discountRules());
                  }});
    registry.add(Right::Discounts, {Method::GetMaxOperTipoServ, {}, TxMode::Write, [](CallContext &ctx) {
                      Packets::Builder b({discountLayout().fields()[D_NUMBER]});
                      b.addRow({double(discountNumbers().next(ctx.db).toLongLong())});
                      ctx.data = b.toJson();
                  }});
    registry.add(Right::Read, {Method::GetPesqTipoServ, {A::Text, A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QVector<FieldDef> fields = typeNames().fields();
                      if (ctx.text(1).trimmed() == QLatin1String("T")) {
                          ctx.data = Packets::select(ctx.db, fields, typeNames().select(QStringLiteral("ORDER BY CDTIPOSERV")), {});
                      } else {
                          // A code that cannot be a service type names none: the
                          // answer is empty, and the screen says it is not registered.
                          const QString type = Codes::serviceType(ctx.text(0));
                          if (!Codes::isServiceType(type)) {
                              ctx.data = Packets::empty(fields);
                              return;
                          }
                          ctx.data = Packets::select(ctx.db, fields, typeNames().select(QStringLiteral("WHERE CDTIPOSERV = ?")), {type});
                      }
                  }});
}
