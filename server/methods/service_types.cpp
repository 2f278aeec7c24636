// Service types (TIPOSERV) and the operators' discounts on them
// (OPERTIPOSERV), seen from the service type and from the operator.

#include "codes.h"
#include "common.h"
#include "entity.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"
#include "wire_values.h"

#include <QList>
#include <algorithm>

namespace {

using Packets::number;
using Packets::text;

bool missing(const QVariant &v) { return !v.isValid() || v.isNull() || v.toString().trimmed().isEmpty(); }

// --- Service types ---------------------------------------------------------

enum TypeCol { T_CODE, T_NAME, T_WEB, T_REQUIRED, T_NATIONAL, T_INTERNATIONAL };

const TableLayout &typeLayout() {
    static const TableLayout s(QStringLiteral("TIPOSERV"), {{QStringLiteral("CDTIPOSERV"), FieldType::String, 3, true},
                                                         {QStringLiteral("NMTIPOSERV"), FieldType::String, 80},
                                                         {QStringLiteral("IDPROPSERVWEB"), FieldType::String, 1},
                                                         {QStringLiteral("IDSERVOBRIGPROS"), FieldType::String, 2},
                                                         {QStringLiteral("VRPADRAOSERVNAC"), FieldType::Float},
                                                         {QStringLiteral("VRPADRAOSERVINT"), FieldType::Float}});
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
    if (checks(T_NAME) && missing(row[T_NAME])) refuse(QStringLiteral("%1: o nome do serviço deve ser informado.").arg(who));
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

void setTipoServico(CallContext &ctx) {
    const Delta &delta = *ctx.delta(0);
    DbSession &db = ctx.db;
    for (const DeltaChange &c : delta.changes) {
        DeltaRecord oldRec, newRec;
        if (c.op != DeltaChange::Insert) {
            oldRec = Entity::read(delta, c.oldValues, typeLayout());
            normaliseType(oldRec);
            if (missing(oldRec.values[T_CODE]))
                invalidParams(QStringLiteral("As alterações de tipos de serviço não trazem o código (CDTIPOSERV) da linha alterada."));
        }
        if (c.op != DeltaChange::Delete) {
            newRec = Entity::read(delta, c.newValues, typeLayout());
            normaliseType(newRec);
        }
        switch (c.op) {
        case DeltaChange::Insert: {
            validateType(newRec.values, {T_CODE, T_NAME, T_WEB, T_REQUIRED, T_NATIONAL, T_INTERNATIONAL});
            if (Entity::fetch(db, typeLayout(), typeLayout().keyOf(newRec.values), true))
                refuse(QStringLiteral("%1: tipo de serviço já cadastrado.").arg(describeType(newRec.values)));
            Entity::insert(db, typeLayout(), newRec.values);
            break;
        }
        case DeltaChange::Update: {
            const QString code = oldRec.values[T_CODE].toString();
            const auto stored = Entity::fetch(db, typeLayout(), {code}, true);
            if (!stored) conflict(typeConflict(code));
            const QVector<int> changed = Entity::changedColumns(typeLayout(), oldRec, newRec);
            if (changed.contains(T_CODE))
                refuse(QStringLiteral("%1: o código de um tipo de serviço não pode ser alterado.").arg(describeType(*stored)));
            if (!Entity::unchangedSince(typeLayout(), oldRec, changed, *stored)) conflict(typeConflict(code));
            const Values row = Entity::merged(*stored, newRec, changed);
            validateType(row, changed);
            Entity::update(db, typeLayout(), {code}, row);
            break;
        }
        case DeltaChange::Delete: {
            const QString code = oldRec.values[T_CODE].toString();
            const auto stored = Entity::fetch(db, typeLayout(), {code}, true);
            if (!stored || !Entity::unchangedSinceRead(typeLayout(), oldRec, *stored)) conflict(typeConflict(code));
            Query q(db, QStringLiteral("SELECT 1 FROM OPERTIPOSERV WHERE CDTIPOSERV = ?"));
            q.bind(code).exec();
            if (q.next())
                refuse(QStringLiteral("%1: há descontos de operadores neste tipo de serviço; exclua-os antes de excluir o tipo de serviço.")
                           .arg(describeType(*stored)));
            Entity::remove(db, typeLayout(), {code});
            break;
        }
        }
    }
}

// --- Operator discounts per service type ------------------------------------

enum DiscountCol { D_NUMBER, D_TYPE, D_OPERATOR, D_PERCENT };

const TableLayout &discountLayout() {
    static const TableLayout s(QStringLiteral("OPERTIPOSERV"), {{QStringLiteral("NROPERTIPOSERV"), FieldType::Integer, 0, true},
                                                             {QStringLiteral("CDTIPOSERV"), FieldType::String, 3},
                                                             {QStringLiteral("CDOPERADOR"), FieldType::String, 12},
                                                             {QStringLiteral("VRPEDESOPERSERV"), FieldType::Float}});
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
    if (missing(row[D_TYPE])) refuse(QStringLiteral("%1: o tipo de serviço deve ser informado.").arg(who));
    if (missing(row[D_OPERATOR])) refuse(QStringLiteral("%1: o operador deve ser informado.").arg(who));
    if (missing(row[D_PERCENT])) refuse(QStringLiteral("%1: o percentual de desconto do operador deve ser informado.").arg(who));
    const double pct = row[D_PERCENT].toDouble();
    if (pct < 0 || pct > 100) refuse(QStringLiteral("%1: o percentual de desconto deve estar entre 0% e 100%.").arg(who));
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

// The next number for an operator's service discount: numbers in use are
// skipped. Numbers travel as JSON numbers, exact only below 2^53: a sequence
// that reaches it (a number stored by hand) starts again from 1.
qint64 nextDiscountNumber(DbSession &db) {
    const QString sequence = QStringLiteral("OPERTIPOSERV");
    for (bool restarted = false;;) {
        const qint64 n = Common::nextNumber(db, sequence);
        if (double(n) >= WireValues::MaxExactWhole) {
            if (restarted) refuse(QStringLiteral("Os números de desconto de operador por tipo de serviço se esgotaram."));
            Common::restart(db, sequence);
            restarted = true;
            continue;
        }
        Query q(db, QStringLiteral("SELECT 1 FROM OPERTIPOSERV WHERE NROPERTIPOSERV = ?"));
        q.bind(n).exec();
        if (!q.next()) return n;
    }
}

void applyDiscounts(DbSession &db, const Delta &delta) {
    const int n = int(delta.changes.size());
    QVector<DeltaRecord> olds(n), news(n);
    QSet<QString> types;
    for (int i = 0; i < n; ++i) {
        const DeltaChange &c = delta.changes[i];
        if (c.op != DeltaChange::Insert) {
            olds[i] = Entity::read(delta, c.oldValues, discountLayout());
            normaliseDiscount(olds[i]);
            if (missing(olds[i].values[D_NUMBER]))
                invalidParams(QStringLiteral("As alterações de descontos de operador não trazem o número (NROPERTIPOSERV) da linha alterada."));
            types.insert(Entity::text(olds[i].values[D_TYPE]));
        }
        if (c.op != DeltaChange::Delete) {
            news[i] = Entity::read(delta, c.newValues, discountLayout());
            normaliseDiscount(news[i]);
            types.insert(Entity::text(news[i].values[D_TYPE]));
        }
    }
    // Writers of one service type's discounts wait for each other here.
    QList<QString> sorted(types.begin(), types.end());
    std::sort(sorted.begin(), sorted.end());
    for (const QString &type : sorted)
        if (Codes::isServiceType(type)) Entity::fetch(db, typeLayout(), {type}, true);

    for (int i = 0; i < n; ++i) {
        switch (delta.changes[i].op) {
        case DeltaChange::Insert: {
            Values row = news[i].values;
            if (missing(row[D_NUMBER])) row[D_NUMBER] = nextDiscountNumber(db);
            if (row[D_NUMBER].toLongLong() <= 0)
                refuse(QStringLiteral("%1: o número do registro deve ser maior que zero.").arg(describeDiscount(row)));
            validateDiscount(db, row, true);
            if (Entity::fetch(db, discountLayout(), {row[D_NUMBER]}, false))
                refuse(QStringLiteral("%1: o número %2 já está em uso por outro desconto.").arg(describeDiscount(row), Entity::text(row[D_NUMBER])));
            Entity::insert(db, discountLayout(), row);
            Common::bump(db, QStringLiteral("OPERTIPOSERV"), row[D_NUMBER].toLongLong());
            break;
        }
        case DeltaChange::Update: {
            const QVariant key = olds[i].values[D_NUMBER];
            const auto stored = Entity::fetch(db, discountLayout(), {key}, true);
            if (!stored) conflict(discountConflict(key));
            const QVector<int> changed = Entity::changedColumns(discountLayout(), olds[i], news[i]);
            if (changed.contains(D_NUMBER))
                refuse(QStringLiteral("%1: o número do registro não pode ser alterado.").arg(describeDiscount(*stored)));
            if (!Entity::unchangedSince(discountLayout(), olds[i], changed, *stored)) conflict(discountConflict(key));
            const Values row = Entity::merged(*stored, news[i], changed);
            validateDiscount(db, row, changed.contains(D_OPERATOR));
            Entity::update(db, discountLayout(), {key}, row);
            break;
        }
        case DeltaChange::Delete: {
            const QVariant key = olds[i].values[D_NUMBER];
            const auto stored = Entity::fetch(db, discountLayout(), {key}, true);
            if (!stored || !Entity::unchangedSinceRead(discountLayout(), olds[i], *stored)) conflict(discountConflict(key));
            Entity::remove(db, discountLayout(), {key});
            break;
        }
        }
    }
}

}  // namespace

void Methods::registerServiceTypes(MethodRegistry &registry) {
    using A = ArgKind;
    registry.add({QStringLiteral("GetTipoServico"), {}, TxMode::None, [](CallContext &ctx) {
                      ctx.data = Packets::select(ctx.db,
                                                 {text("CDTIPOSERV", 3), text("NMTIPOSERV", 80), text("IDPROPSERVWEB", 1),
                                                  text("IDSERVOBRIGPROS", 2), number("VRPADRAOSERVNAC"), number("VRPADRAOSERVINT")},
                                                 QStringLiteral("SELECT CDTIPOSERV, NMTIPOSERV, IDPROPSERVWEB, IDSERVOBRIGPROS, VRPADRAOSERVNAC,"
                                                                " VRPADRAOSERVINT FROM TIPOSERV ORDER BY CDTIPOSERV"),
                                                 {});
                  }});
    registry.add({QStringLiteral("SetTipoServico"), {A::Delta}, TxMode::Write, setTipoServico});
    registry.add({QStringLiteral("GetOperTipoServ"), {A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString type = Codes::serviceTypeArg(ctx.text(0));
                      ctx.data = Packets::select(ctx.db,
                                                 {text("CDTIPOSERV", 3), number("NROPERTIPOSERV"), text("CDOPERADOR", 12),
                                                  text("NMOPERADOR", 40), number("VRPEDESOPERSERV")},
                                                 QStringLiteral("SELECT D.CDTIPOSERV, D.NROPERTIPOSERV, D.CDOPERADOR, O.NMOPERADOR, D.VRPEDESOPERSERV"
                                                                " FROM OPERTIPOSERV D LEFT JOIN OPERADOR O ON O.CDOPERADOR = D.CDOPERADOR"
                                                                " WHERE D.CDTIPOSERV = ? ORDER BY D.CDOPERADOR"),
                                                 {type});
                  }});
    registry.add({QStringLiteral("GetTipoServOper"), {A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString op = Codes::operatorArg(ctx.text(0));
                      ctx.data = Packets::select(ctx.db,
                                                 {text("CDTIPOSERV", 3), text("NMTIPOSERV", 80), number("VRPEDESOPERSERV"),
                                                  number("NROPERTIPOSERV"), text("CDOPERADOR", 12)},
                                                 QStringLiteral("SELECT D.CDTIPOSERV, T.NMTIPOSERV, D.VRPEDESOPERSERV, D.NROPERTIPOSERV, D.CDOPERADOR"
                                                                " FROM OPERTIPOSERV D LEFT JOIN TIPOSERV T ON T.CDTIPOSERV = D.CDTIPOSERV"
                                                                " WHERE D.CDOPERADOR = ? ORDER BY D.CDTIPOSERV"),
                                                 {op});
                  }});
    registry.add({QStringLiteral("SetOperTipoServ"), {A::DeltaOrNull, A::DeltaOrNull}, TxMode::Write, [](CallContext &ctx) {
                      for (int i = 0; i < 2; ++i)
                          if (const Delta *d = ctx.delta(i)) applyDiscounts(ctx.db, *d);
                  }});
    registry.add({QStringLiteral("GetMaxOperTipoServ"), {}, TxMode::Write, [](CallContext &ctx) {
                      Packets::Builder b({number("NROPERTIPOSERV")});
                      b.addRow({double(nextDiscountNumber(ctx.db))});
                      ctx.data = b.toJson();
                  }});
    registry.add({QStringLiteral("GetPesqTipoServ"), {A::Text, A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QVector<FieldDef> fields{text("CDTIPOSERV", 3), text("NMTIPOSERV", 80)};
                      if (ctx.text(1).trimmed() == QLatin1String("T")) {
                          ctx.data = Packets::select(ctx.db, fields,
                                                     QStringLiteral("SELECT CDTIPOSERV, NMTIPOSERV FROM TIPOSERV ORDER BY CDTIPOSERV"), {});
                      } else {
                          // A code that cannot be a service type names none: the
                          // answer is empty, and the screen says it is not registered.
                          const QString type = Codes::serviceType(ctx.text(0));
                          if (!Codes::isServiceType(type)) {
                              ctx.data = Packets::empty(fields);
                              return;
                          }
                          ctx.data = Packets::select(ctx.db, fields,
                                                     QStringLiteral("SELECT CDTIPOSERV, NMTIPOSERV FROM TIPOSERV WHERE CDTIPOSERV = ?"), {type});
                      }
                  }});
}
