// Price tables (PRECOPROPOSTA): the list, the next code, the changes of the
// maintenance grid (a deletion unlinks the table's market segments), the copy
// of a table with its bands and permissions.

#include "codes.h"
#include "value_limits.h"
#include "common.h"
#include "entity.h"
#include "method_names.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"
#include "access_roles.h"
#include "write_path.h"

namespace {

enum Col { CODE, NAME, START, END, PRICE, MAINT, TERM, BRANCH_HQ, BRANCH_BRANCH };

const TableLayout &layout() {
    static const TableLayout s(Vocabulary::PriceTable);
    return s;
}

bool isAbsent(const QVariant &v) { return !v.isValid() || v.isNull(); }  // a blank name is a name here

QString describe(const Values &row) {
    const QString code = Codes::shown(Entity::text(row[CODE]));
    const QString name = Entity::text(row[NAME]).trimmed();
    return name.isEmpty() ? QStringLiteral("Tabela de preço %1").arg(code)
                          : QStringLiteral("Tabela de preço %1 (%2)").arg(code, Codes::shown(name, 50));
}

void validate(const Values &row) {
    const QString who = describe(row);
    if (!Codes::isPriceTable(Entity::text(row[CODE])))
        refuse(QStringLiteral("%1: o código da tabela de preço deve ter 10 dígitos.").arg(who));
    if (Entity::text(row[NAME]).trimmed().isEmpty()) refuse(QStringLiteral("%1: o nome da tabela de preço deve ser informado.").arg(who));
    if (isAbsent(row[START])) refuse(QStringLiteral("%1: o início da vigência deve ser informado.").arg(who));
    if (isAbsent(row[END])) refuse(QStringLiteral("%1: o fim da vigência deve ser informado.").arg(who));
    if (row[END].toDateTime() < row[START].toDateTime())
        refuse(QStringLiteral("%1: o fim da vigência deve ser maior ou igual ao início da vigência.").arg(who));
    const struct {
        int col;
        const char *what;
    } required[] = {{PRICE, "o preço unitário"}, {MAINT, "o valor da manutenção anual"}, {TERM, "o prazo de locação"}};
    for (const auto &r : required) {
        if (isAbsent(row[r.col])) refuse(QStringLiteral("%1: %2 deve ser informado.").arg(who, QString::fromUtf8(r.what)));
        if (row[r.col].toDouble() < 0) refuse(QStringLiteral("%1: %2 não pode ser negativo.").arg(who, QString::fromUtf8(r.what)));
    }
    const struct {
        int col;
        const char *what;
    } percents[] = {{BRANCH_BRANCH, "filial por filial"}, {BRANCH_HQ, "filial por matriz"}};
    for (const auto &p : percents) {
        if (isAbsent(row[p.col]))
            refuse(QStringLiteral("%1: o percentual de desconto de %2 deve ser informado.").arg(who, QString::fromUtf8(p.what)));
        const double v = row[p.col].toDouble();
        if (!Limits::isPercent(v))
            refuse(QStringLiteral("%1: o percentual de desconto de %2 deve estar entre 0% e 100%.").arg(who, QString::fromUtf8(p.what)));
    }
}

void normalise(DeltaRecord &r) {
    if (r.has(CODE) && !r.values[CODE].isNull()) r.values[CODE] = Codes::priceTable(r.values[CODE].toString());
}

QString conflictMessage(const QString &code) {
    return QStringLiteral("A tabela de preço %1 foi alterada ou excluída por outro usuário. Atualize os dados e tente novamente.")
        .arg(Codes::shown(code));
}

// Codes past the last ten-digit one (one inserted by hand moves the sequence
// there) start again from 1.
const KeySequence &codes() {
    static const KeySequence s{QStringLiteral("PRECOPROPOSTA"), &layout(), 9999999999LL,
                               QStringLiteral("Os códigos de tabela de preço se esgotaram: todos os códigos de 10 dígitos estão em uso."),
                               [](qint64 n) { return QVariant(QStringLiteral("%1").arg(n, Codes::PriceTableWidth, 10, QLatin1Char('0'))); }};
    return s;
}

// Market segments name the price table their proposals use.
const TableLayout &segmentLayout() {
    static const TableLayout s(QStringLiteral("SEGMERCADO"), {{QStringLiteral("CDSEGMERCADO"), FieldType::String, 3, true},
                                                             {QStringLiteral("NMSEGMERCADO"), FieldType::String, 60},
                                                             {QStringLiteral("CDPRECOPROP"), FieldType::String, 10}});
    return s;
}

// A price table takes its bands and permissions with it; its market segments
// stay, without a price table. All of it in the deletion's transaction, so a
// refused delta leaves every link in place, and each row removed or unlinked
// is in the audit trail beside the table's own record.
void unlink(CallContext &ctx, const Values &stored) {
    const QString code = Entity::text(stored[CODE]);
    const QString parent = QStringLiteral("CDPRECOPROP");
    for (bool systems : {true, false}) WritePath::removeDependents(ctx, *Bands::rules(systems).layout, parent, code, false, code);
    WritePath::removeDependents(ctx, *Permissions::rules().layout, parent, code, false, code);
    WritePath::removeDependents(ctx, segmentLayout(), parent, code, true, code);
}

// Rows changed or deleted are locked first, all together and in code order.
const TableRules &rules() {
    static const TableRules r = [] {
        TableRules r;
        r.layout = &layout();
        r.normalise = normalise;
        r.oldKeyMissing = QStringLiteral("As alterações de tabelas de preço não trazem o código (CDPRECOPROP) da linha alterada.");
        r.locks = {CODE, false, Codes::isPriceTable, Common::lockPriceTables};
        r.lockFetched = true;
        r.keys = &codes();
        r.check = [](DbSession &, const Checked &c) { validate(c.row); };
        r.refuseDuplicate = [](const Values &row) {
            refuse(QStringLiteral("%1: já existe uma tabela de preço com este código.").arg(describe(row)));
        };
        r.keyFixed = [](const Values &stored) {
            return QStringLiteral("%1: o código de uma tabela de preço não pode ser alterado.").arg(describe(stored));
        };
        r.conflict = [](const Values &key) { return conflictMessage(Entity::text(key[0])); };
        r.beforeDelete = unlink;
        return r;
    }();
    return r;
}

// A new price table made from one the user sees: its record with what the
// delta's new side changes (the name), its bands and the permissions of its
// active operators (an inactive operator may hold no new permission), all in
// the call's transaction. The delta is one update of the source: its old side
// is the record as shown, so a source changed or removed since is refused as
// another user's change. Answers the new code and what was copied: the bands,
// and the permissions when the person's role may grant them.
void copy(CallContext &ctx) {
    const Delta &delta = *ctx.delta(0);
    if (delta.changes.size() != 1 || delta.changes[0].op != DeltaChange::Update)
        invalidParams(QStringLiteral("O método CopiaTbPreco recebe uma única alteração: a tabela de preço de origem como foi mostrada."));
    DeltaRecord shown = Entity::read(delta, delta.changes[0].oldValues, layout());
    DeltaRecord changes = Entity::read(delta, delta.changes[0].newValues, layout());
    normalise(shown);
    normalise(changes);
    const QString source = Entity::text(shown.values[CODE]);
    if (!Codes::isPriceTable(source)) invalidParams(rules().oldKeyMissing);
    Common::lockPriceTables(ctx.db, {source});
    const auto stored = Entity::fetch(ctx.db, layout(), {source}, true);
    if (!stored || !Entity::unchangedSinceRead(layout(), shown, *stored)) conflict(conflictMessage(source));

    DeltaRecord copy;
    copy.values = Entity::merged(*stored, changes, Entity::changedColumns(layout(), shown, changes));
    copy.values[CODE] = codes().next(ctx.db);
    copy.present = QVector<bool>(copy.values.size(), true);
    WritePath::applyOne(ctx, rules(), DeltaChange::Insert, {}, copy, {});
    const QString code = copy.values[CODE].toString();
    // The trail says where the copy came from: its history shows it as one
    // copy of that table rather than a field-by-field inclusion.
    if (ctx.observer) {
        AppliedChange origin;
        origin.user = ctx.user;
        origin.method = ctx.method;
        origin.table = layout().table();
        origin.key = {code};
        origin.fields = {{QStringLiteral("ORIGEM"), QVariant(),
                          QStringLiteral("%1 – %2").arg(source, Entity::text((*stored)[NAME]).trimmed())}};
        ctx.observer->applied(ctx.db, origin);
    }
    const QSet<QString> locked = Common::lockPriceTables(ctx.db, {code});
    int bands = 0;
    for (bool systems : {true, false})
        bands += WritePath::copyRows(ctx, Bands::rules(systems), QStringLiteral("CDPRECOPROP"), source, code, locked);
    // Permissions are copied only for someone who may grant them.
    const bool grants = ctx.may(Right::Discounts);
    Query all(ctx.db, QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOPER WHERE CDPRECOPROP = ?"));
    all.bind(source).exec();
    const qint64 held = all.next() ? all.value(0).toLongLong() : 0;
    const int copied = !grants ? 0
                               : WritePath::copyRows(ctx, Permissions::rules(), QStringLiteral("CDPRECOPROP"), source, code, locked,
                                                     QStringLiteral("AND CDOPERADOR IN (SELECT CDOPERADOR FROM OPERADOR WHERE TRIM(IDOPERATIVO) = 'A')"));
    // QTPERMNAOCOP: permissions of inactive operators left out (or, when the
    // person may not grant permissions, every permission of the source).
    Packets::Builder answer({FieldDef{QStringLiteral("CDPRECOPROP"), FieldType::String, 10}, FieldDef{QStringLiteral("QTPERMNAOCOP"), FieldType::Float},
                             FieldDef{QStringLiteral("QTFAIXACOP"), FieldType::Float}, FieldDef{QStringLiteral("QTPERMCOP"), FieldType::Float},
                             FieldDef{QStringLiteral("IDPERMCOP"), FieldType::String, 1}});
    answer.addRow({code, double(held - copied), double(bands), double(copied), grants ? QStringLiteral("S") : QStringLiteral("N")});
    ctx.data = answer.toJson();
}

}  // namespace

void Methods::registerPriceTables(MethodRegistry &registry) {
    registry.add(Right::Read, {Method::getTbPreco, {}, TxMode::None, [](CallContext &ctx) {
                      ctx.data = Packets::select(ctx.db, layout().fields(), layout().select(QStringLiteral("ORDER BY CDPRECOPROP")), {});
                  }});
    registry.add(Right::Prices, {Method::PrxPrecoProp, {}, TxMode::Write, [](CallContext &ctx) { ctx.setData(codes().next(ctx.db).toString()); }, {}, Answer::Text});
    registry.add(Right::Prices, {Method::SetIncTbPre, {ArgKind::Delta}, TxMode::Write,
                  [](CallContext &ctx) { WritePath::apply(ctx, *ctx.delta(0), rules()); }});
    registry.add(Right::Prices, {Method::CopiaTbPreco, {ArgKind::Delta}, TxMode::Write, copy, {}, Answer::Packet});
    // Called before a price table's deletion is sent. Its market segments are
    // unlinked by the deletion itself, in the deletion's transaction: were they
    // unlinked here, a deletion refused afterwards (a stale row, an older
    // refused change in the same delta) would leave the table without them.
    // So this only checks the code it is given.
    registry.add(Right::Prices, {Method::setTbPrecSegMer, {ArgKind::Text}, TxMode::None,
                  [](CallContext &ctx) { Codes::priceTableArg(ctx.text(0)); }});
}
