// Volume discount bands of a price table, by number of systems (1 to 20) and
// by number of users (1 to 150): the lists, their changes, and the questions
// the band checks of the maintenance screen ask.

#include "codes.h"
#include "columns.h"
#include "value_limits.h"
#include "common.h"
#include "entity.h"
#include "method_names.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"
#include "write_path.h"

#include <QList>
#include <algorithm>

namespace {

enum Col { CODE, FIRST, LAST, PERCENT };

struct Side;
void applyRules(Side &side);

struct Side {
    QString noun;      // "sistemas" / "usuários"
    QString table;
    QString first, last, percent;
    int maxLast;
    QString intervalField;  // answer field of the interval question
    TableLayout layout;
    TableRules rules;

    Side(QString noun, const Vocabulary::Table &t, int maxLast, QString intervalField)
        : noun(std::move(noun)), table(t.tableName()), first(t.columns[FIRST].field()), last(t.columns[LAST].field()),
          percent(t.columns[PERCENT].field()), maxLast(maxLast), intervalField(std::move(intervalField)), layout(t) {
        applyRules(*this);
    }
};

const Side &systems() {
    static const Side s(QStringLiteral("sistemas"), Vocabulary::SystemBands, Limits::MaxSystems, QStringLiteral("INTERVSIS"));
    return s;
}

const Side &users() {
    static const Side s(QStringLiteral("usuários"), Vocabulary::UserBands, Limits::MaxUsers, QStringLiteral("INTERVUSU"));
    return s;
}

using WritePath::isBlank;

QString describe(const Side &side, const Values &row) {
    const QString first = Codes::shown(Entity::text(row[FIRST]), 10), last = Codes::shown(Entity::text(row[LAST]), 10);
    QString s = QStringLiteral("Faixa de desconto por %1").arg(side.noun);
    if (!first.isEmpty() || !last.isEmpty())
        s += QStringLiteral(" de %1 a %2").arg(first.isEmpty() ? QStringLiteral("?") : first, last.isEmpty() ? QStringLiteral("?") : last);
    const QString code = Entity::text(row[CODE]);
    if (!code.isEmpty()) s += QStringLiteral(" da tabela de preço %1").arg(Codes::shown(code));
    return s;
}

void validate(const Side &side, const Values &row, const QSet<QString> &existingTables) {
    const QString who = describe(side, row);
    const QString code = Entity::text(row[CODE]);
    if (code.isEmpty()) refuse(QStringLiteral("%1: a tabela de preço deve ser informada.").arg(who));
    if (!Codes::isPriceTable(code) || !existingTables.contains(code))
        refuse(QStringLiteral("%1: a tabela de preço %2 não está cadastrada.").arg(who, Codes::shown(code)));
    if (isBlank(row[FIRST])) refuse(QStringLiteral("%1: o intervalo inicial deve ser informado.").arg(who));
    if (isBlank(row[LAST])) refuse(QStringLiteral("%1: o intervalo final deve ser informado.").arg(who));
    if (isBlank(row[PERCENT])) refuse(QStringLiteral("%1: o valor de desconto deve ser informado.").arg(who));
    const QString first = row[FIRST].toString(), last = row[LAST].toString();
    if (!Codes::isQuantity(first)) refuse(QStringLiteral("%1: a quantidade inicial deve ter cinco dígitos.").arg(who));
    if (!Codes::isQuantity(last)) refuse(QStringLiteral("%1: a quantidade final deve ter cinco dígitos.").arg(who));
    if (first.toInt() < 1) refuse(QStringLiteral("%1: a quantidade inicial deve ser maior que 0.").arg(who));
    if (last.toInt() > side.maxLast)
        refuse(QStringLiteral("%1: a quantidade final de %2 não pode ser maior que %3.").arg(who, side.noun).arg(side.maxLast));
    if (first.toInt() > last.toInt())
        refuse(QStringLiteral("%1: o intervalo final deve ser maior ou igual ao intervalo inicial.").arg(who));
    const double pct = row[PERCENT].toDouble();
    if (!Limits::isPercent(pct)) refuse(QStringLiteral("%1: o valor de desconto deve estar entre 0% e 100%.").arg(who));
}

void normalise(DeltaRecord &r) {
    if (r.has(CODE) && !r.values[CODE].isNull()) r.values[CODE] = Codes::priceTable(r.values[CODE].toString());
    for (int c : {FIRST, LAST})
        if (r.has(c) && !r.values[c].isNull()) r.values[c] = Codes::quantity(r.values[c].toString());
}

QString conflictMessage(const Side &side, const Values &key) {
    return QStringLiteral("A faixa de desconto por %1 iniciada em %2 da tabela de preço %3 foi alterada ou excluída por outro usuário. "
                          "Atualize os dados e tente novamente.")
        .arg(side.noun, Codes::shown(Entity::text(key[1]), 10), Codes::shown(Entity::text(key[0])));
}

void refuseDuplicate(const Side &side, const Values &row) {
    refuse(QStringLiteral("%1: já existe uma faixa de desconto por %2 com o intervalo inicial %3 na tabela de preço %4.")
               .arg(describe(side, row), side.noun, row[FIRST].toString(), row[CODE].toString()));
}

// After the whole delta: the bands of the table, in order, must not overlap.
void checkOverlaps(DbSession &db, const Side &side, const QString &code) {
    Query q(db, QStringLiteral("SELECT %1, %2 FROM %3 WHERE CDPRECOPROP = ? ORDER BY %1").arg(side.first, side.last, side.table));
    q.bind(code).exec();
    QString prevFirst, prevLast;
    while (q.next()) {
        const QString first = q.text(0), last = q.text(1);
        if (!prevLast.isEmpty() && first.toInt() <= prevLast.toInt())
            refuse(QStringLiteral("As faixas de desconto por %1 de %2 a %3 e de %4 a %5 da tabela de preço %6 se sobrepõem: "
                                  "as faixas de uma tabela não podem ter quantidades em comum.")
                       .arg(side.noun, prevFirst, prevLast, first, last, code));
        if (prevLast.isEmpty() || last.toInt() > prevLast.toInt()) {
            prevFirst = first;
            prevLast = last;
        }
    }
}

// Writers of one price table's bands wait for each other on its row; overlaps
// are judged on the whole delta applied.
void applyRules(Side &side) {
    TableRules &r = side.rules;
    r.layout = &side.layout;
    r.normalise = normalise;
    r.oldKeyMissing = QStringLiteral("As alterações de faixas de desconto por %1 não trazem a tabela de preço e o intervalo inicial "
                                     "da faixa alterada.")
                          .arg(side.noun);
    r.locks = {CODE, true, Codes::isPriceTable, Common::lockPriceTables};
    const Side *s = &side;
    r.check = [s](DbSession &, const Checked &c) { validate(*s, c.row, c.locked); };
    r.refuseDuplicate = [s](const Values &row) { refuseDuplicate(*s, row); };
    r.conflict = [s](const Values &key) { return conflictMessage(*s, key); };
    r.afterAll = [s](DbSession &db, const QSet<QString> &locked) {
        QList<QString> codes(locked.begin(), locked.end());
        std::sort(codes.begin(), codes.end());
        for (const QString &code : codes) checkOverlaps(db, *s, code);
    };
}

void getBands(CallContext &ctx, const Side &side) {
    const QString code = Codes::priceTableArg(ctx.text(0));
    ctx.data = Packets::select(ctx.db, side.layout.fields(),
                               side.layout.select(QStringLiteral("WHERE CDPRECOPROP = ? ORDER BY %1").arg(side.first)), {code});
}

// The bands of the table whose first quantity is the one given.
void sameStart(CallContext &ctx, const Side &side) {
    const QString code = Codes::priceTableArg(ctx.text(0));
    const QString first = Codes::quantityArg(ctx.text(1), QStringLiteral("Quantidade inicial"));
    const QVector<FieldDef> fields = side.layout.fields().mid(CODE, 2);
    ctx.data = Packets::select(ctx.db, fields,
                               QStringLiteral("SELECT CDPRECOPROP, %1 FROM %2 WHERE CDPRECOPROP = ? AND %1 = ?").arg(side.first, side.table),
                               {code, first});
}

// "I": the band containing a quantity, as "00001 e 00005".
// "F": for a new band ending at a quantity, the largest first quantity of the
// bands that end at or below it: a first quantity up to that number would
// enclose one of them.
void interval(CallContext &ctx, const Side &side) {
    const QString kind = ctx.text(0);
    const QString code = Codes::priceTableArg(ctx.text(1));
    Packets::Builder answer({FieldDef{side.intervalField, FieldType::String, 13}});
    if (kind == QLatin1String("I")) {
        const QString q = Codes::quantityArg(ctx.text(2), QStringLiteral("Quantidade"));
        if (q.isEmpty()) invalidParams(QStringLiteral("Informe a quantidade a procurar nas faixas de desconto por %1.").arg(side.noun));
        Query query(ctx.db, QStringLiteral("SELECT %1, %2 FROM %3 WHERE CDPRECOPROP = ? AND %1 <= ? AND %2 >= ? ORDER BY %1 LIMIT 1")
                                .arg(side.first, side.last, side.table));
        query.bind(code).bind(q).bind(q).exec();
        if (query.next()) answer.addRow({query.text(0) + QStringLiteral(" e ") + query.text(1)});
    } else if (kind == QLatin1String("F")) {
        const QString last = Codes::quantityArg(ctx.text(3), QStringLiteral("Quantidade final"));
        if (last.isEmpty()) invalidParams(QStringLiteral("Informe a quantidade final da nova faixa de desconto por %1.").arg(side.noun));
        Query query(ctx.db, QStringLiteral("SELECT MAX(%1) FROM %3 WHERE CDPRECOPROP = ? AND %2 <= ?").arg(side.first, side.last, side.table));
        query.bind(code).bind(last).exec();
        if (query.next() && !query.isNull(0)) answer.addRow({query.text(0)});
    } else {
        invalidParams(QStringLiteral("O primeiro argumento do método %1 deve ser \"I\" ou \"F\".").arg(ctx.method));
    }
    ctx.data = answer.toJson();
}

// One other band (not the one starting at the first quantity given) that the
// band [first, last] would overlap.
void overlapOnEdit(CallContext &ctx, const Side &side) {
    const QString code = Codes::priceTableArg(ctx.text(0));
    const QString last = Codes::quantityArg(ctx.text(1), QStringLiteral("Quantidade final"));
    const QString first = Codes::quantityArg(ctx.text(2), QStringLiteral("Quantidade inicial"));
    if (last.isEmpty() || first.isEmpty())
        invalidParams(QStringLiteral("Informe as quantidades inicial e final da faixa de desconto por %1.").arg(side.noun));
    // An end typed below the start still names the quantities between them.
    const QString low = std::min(first, last), high = std::max(first, last);
    const QVector<FieldDef> fields = side.layout.fields().mid(FIRST, 2);
    ctx.data = Packets::select(ctx.db, fields,
                               QStringLiteral("SELECT %1, %2 FROM %3 WHERE CDPRECOPROP = ? AND %1 <> ? AND %1 <= ? AND %2 >= ?"
                                              " ORDER BY %1 LIMIT 1")
                                   .arg(side.first, side.last, side.table),
                               {code, first, high, low});
}

// The largest last quantity of the systems and of the users bands that end
// below the start given ("0" when there is none).
void maxEndBelow(CallContext &ctx) {
    const QString code = Codes::priceTableArg(ctx.text(0));
    const qint64 start = ctx.count(1);
    if (ctx.text(2) != QLatin1String("EDIT"))
        invalidParams(QStringLiteral("O terceiro argumento do método getQtMaxFin deve ser \"EDIT\"."));
    Packets::Builder answer({FieldDef{QStringLiteral("FINSIST"), FieldType::String, 5}, FieldDef{QStringLiteral("FINUSU"), FieldType::String, 5}});
    QVector<QVariant> row;
    for (const Side *side : {&systems(), &users()}) {
        Query q(ctx.db, QStringLiteral("SELECT MAX(%1) FROM %2 WHERE CDPRECOPROP = ? AND CAST(%1 AS INTEGER) < ?").arg(side->last, side->table));
        q.bind(code).bind(start).exec();
        row << (q.next() && !q.isNull(0) ? q.text(0) : QStringLiteral("0"));
    }
    answer.addRow(row);
    ctx.data = answer.toJson();
}

}  // namespace

const TableRules &Bands::rules(bool systems) { return systems ? ::systems().rules : users().rules; }

void Methods::registerBands(MethodRegistry &registry) {
    using A = ArgKind;
    for (const Side *side : {&systems(), &users()}) {
        const bool sys = side == &systems();
        registry.add(Right::Read, {sys ? Method::getDescSis : Method::getDescUsu, {A::Text}, TxMode::None,
                      [side](CallContext &ctx) { getBands(ctx, *side); }});
        registry.add(Right::Prices, {sys ? Method::setDescSis : Method::setDescUsu, {A::Delta}, TxMode::Write,
                      [side](CallContext &ctx) { WritePath::apply(ctx, *ctx.delta(0), side->rules); }});
        registry.add(Right::Read, {sys ? Method::getVdQtIniSis : Method::getVdQtIniusu, {A::Text, A::Text}, TxMode::None,
                      [side](CallContext &ctx) { sameStart(ctx, *side); }});
        registry.add(Right::Read, {sys ? Method::getVdIntervSis : Method::getVdIntervUsu, {A::Text, A::Text, A::Text, A::Text},
                      TxMode::None, [side](CallContext &ctx) { interval(ctx, *side); }});
        registry.add(Right::Read, {sys ? Method::getVdFinSistEdit : Method::getVdFinUsuEdit, {A::Text, A::Text, A::Text},
                      TxMode::None, [side](CallContext &ctx) { overlapOnEdit(ctx, *side); }});
    }
    registry.add(Right::Read, {Method::getQtMaxFin, {A::Text, A::Count, A::Text}, TxMode::Read, maxEndBelow, {1}});
}
