// Price tables (PRECOPROPOSTA): the list, the next code, the changes of the
// maintenance grid (a deletion unlinks the table's market segments).

#include "codes.h"
#include "common.h"
#include "entity.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"

namespace {

using Packets::dateTime;
using Packets::number;
using Packets::text;

enum Col { CODE, NAME, START, END, PRICE, MAINT, TERM, BRANCH_HQ, BRANCH_BRANCH };

const TableLayout &layout() {
    static const TableLayout s(QStringLiteral("PRECOPROPOSTA"),
                             {{QStringLiteral("CDPRECOPROP"), FieldType::String, 10, true},
                              {QStringLiteral("NMPRECOPROP"), FieldType::String, 50},
                              {QStringLiteral("DTINIPRECOPROP"), FieldType::DateTime},
                              {QStringLiteral("DTFINPRECOPROP"), FieldType::DateTime},
                              {QStringLiteral("VRPRECOUNITSIST"), FieldType::Float},
                              {QStringLiteral("VRPERCMANUTANO"), FieldType::Float},
                              {QStringLiteral("NRMESPRAZOLOCA"), FieldType::Float},
                              {QStringLiteral("VRPEDESFILIMATR"), FieldType::Float},
                              {QStringLiteral("VRPEDESFILIFILI"), FieldType::Float}});
    return s;
}

const QVector<FieldDef> &fields() {
    static const QVector<FieldDef> f{text("CDPRECOPROP", 10),  text("NMPRECOPROP", 50),   dateTime("DTINIPRECOPROP"),
                                     dateTime("DTFINPRECOPROP"), number("VRPRECOUNITSIST"), number("VRPERCMANUTANO"),
                                     number("NRMESPRAZOLOCA"),   number("VRPEDESFILIMATR"), number("VRPEDESFILIFILI")};
    return f;
}

bool missing(const QVariant &v) { return !v.isValid() || v.isNull(); }

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
    if (missing(row[START])) refuse(QStringLiteral("%1: o início da vigência deve ser informado.").arg(who));
    if (missing(row[END])) refuse(QStringLiteral("%1: o fim da vigência deve ser informado.").arg(who));
    if (row[END].toDateTime() < row[START].toDateTime())
        refuse(QStringLiteral("%1: o fim da vigência deve ser maior ou igual ao início da vigência.").arg(who));
    const struct {
        int col;
        const char *what;
    } required[] = {{PRICE, "o preço unitário"}, {MAINT, "o valor da manutenção anual"}, {TERM, "o prazo de locação"}};
    for (const auto &r : required) {
        if (missing(row[r.col])) refuse(QStringLiteral("%1: %2 deve ser informado.").arg(who, QString::fromUtf8(r.what)));
        if (row[r.col].toDouble() < 0) refuse(QStringLiteral("%1: %2 não pode ser negativo.").arg(who, QString::fromUtf8(r.what)));
    }
    const struct {
        int col;
        const char *what;
    } percents[] = {{BRANCH_BRANCH, "filial por filial"}, {BRANCH_HQ, "filial por matriz"}};
    for (const auto &p : percents) {
        if (missing(row[p.col]))
            refuse(QStringLiteral("%1: o percentual de desconto de %2 deve ser informado.").arg(who, QString::fromUtf8(p.what)));
        const double v = row[p.col].toDouble();
        if (v < 0 || v > 100)
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

// The sequence skips codes already in use and, past the last ten-digit code
// (one inserted by hand moves it there), starts again from 1: the codes run
// out only when every ten-digit code is taken.
QString nextCode(DbSession &db) {
    const QString sequence = QStringLiteral("PRECOPROPOSTA");
    for (bool restarted = false;;) {
        const qint64 n = Common::nextNumber(db, sequence);
        if (n > 9999999999LL) {
            if (restarted || Common::count(db, QStringLiteral("SELECT COUNT(*) FROM PRECOPROPOSTA")) >= 9999999999LL)
                refuse(QStringLiteral("Os códigos de tabela de preço se esgotaram: todos os códigos de 10 dígitos estão em uso."));
            Common::restart(db, sequence);
            restarted = true;
            continue;
        }
        const QString code = QStringLiteral("%1").arg(n, Codes::PriceTableWidth, 10, QLatin1Char('0'));
        if (!Common::priceTableExists(db, code)) return code;
    }
}

void insertTable(DbSession &db, DeltaRecord rec) {
    Values row = rec.values;
    if (Entity::text(row[CODE]).isEmpty()) row[CODE] = nextCode(db);
    validate(row);
    const QString code = row[CODE].toString();
    if (Common::priceTableExists(db, code)) refuse(QStringLiteral("%1: já existe uma tabela de preço com este código.").arg(describe(row)));
    Entity::insert(db, layout(), row);
    Common::bump(db, QStringLiteral("PRECOPROPOSTA"), code.toLongLong());
}

void updateTable(DbSession &db, const DeltaRecord &oldRec, const DeltaRecord &newRec) {
    const QString code = Entity::text(oldRec.values[CODE]);
    const auto stored = Entity::fetch(db, layout(), {code}, true);
    if (!stored) conflict(conflictMessage(code));
    const QVector<int> changed = Entity::changedColumns(layout(), oldRec, newRec);
    if (changed.contains(CODE))
        refuse(QStringLiteral("%1: o código de uma tabela de preço não pode ser alterado.").arg(describe(*stored)));
    if (!Entity::unchangedSince(layout(), oldRec, changed, *stored)) conflict(conflictMessage(code));
    const Values row = Entity::merged(*stored, newRec, changed);
    validate(row);
    Entity::update(db, layout(), {code}, row);
}

void deleteTable(DbSession &db, const DeltaRecord &oldRec) {
    const QString code = Entity::text(oldRec.values[CODE]);
    const auto stored = Entity::fetch(db, layout(), {code}, true);
    if (!stored || !Entity::unchangedSinceRead(layout(), oldRec, *stored)) conflict(conflictMessage(code));
    // A price table takes its bands and permissions with it; its market
    // segments stay, without a price table. All of it in the deletion's
    // transaction, so a refused delta leaves every link in place.
    for (const char *sql : {"DELETE FROM PRECOPROPSIST WHERE CDPRECOPROP = ?", "DELETE FROM PRECOPROPUSU WHERE CDPRECOPROP = ?",
                            "DELETE FROM PRECOPROPOPER WHERE CDPRECOPROP = ?",
                            "UPDATE SEGMERCADO SET CDPRECOPROP = NULL WHERE CDPRECOPROP = ?"}) {
        Query q(db, QString::fromLatin1(sql));
        q.bind(code).exec();
    }
    Entity::remove(db, layout(), {code});
}

void setIncTbPre(CallContext &ctx) {
    const Delta &delta = *ctx.delta(0);
    DbSession &db = ctx.db;
    // Rows changed or deleted are locked first, all together and in code order.
    QVector<DeltaRecord> olds(delta.changes.size()), news(delta.changes.size());
    QSet<QString> touched;
    for (int i = 0; i < delta.changes.size(); ++i) {
        const DeltaChange &c = delta.changes[i];
        if (c.op != DeltaChange::Insert) {
            olds[i] = Entity::read(delta, c.oldValues, layout());
            normalise(olds[i]);
            if (!olds[i].has(CODE) || Entity::text(olds[i].values[CODE]).isEmpty())
                invalidParams(QStringLiteral("As alterações de tabelas de preço não trazem o código (CDPRECOPROP) da linha alterada."));
            touched.insert(Entity::text(olds[i].values[CODE]));
        }
        if (c.op != DeltaChange::Delete) {
            news[i] = Entity::read(delta, c.newValues, layout());
            normalise(news[i]);
        }
    }
    Common::lockPriceTables(db, touched);
    for (int i = 0; i < delta.changes.size(); ++i) {
        switch (delta.changes[i].op) {
        case DeltaChange::Insert: insertTable(db, news[i]); break;
        case DeltaChange::Update: updateTable(db, olds[i], news[i]); break;
        case DeltaChange::Delete: deleteTable(db, olds[i]); break;
        }
    }
}

}  // namespace

void Methods::registerPriceTables(MethodRegistry &registry) {
    registry.add({QStringLiteral("getTbPreco"), {}, TxMode::None, [](CallContext &ctx) {
                      ctx.data = Packets::select(ctx.db, fields(),
                                                 QStringLiteral("SELECT CDPRECOPROP, NMPRECOPROP, CAST(DTINIPRECOPROP AS VARCHAR(19)),"
                                                                " CAST(DTFINPRECOPROP AS VARCHAR(19)), VRPRECOUNITSIST, VRPERCMANUTANO,"
                                                                " NRMESPRAZOLOCA, VRPEDESFILIMATR, VRPEDESFILIFILI"
                                                                " FROM PRECOPROPOSTA ORDER BY CDPRECOPROP"),
                                                 {});
                  }});
    registry.add({QStringLiteral("PrxPrecoProp"), {}, TxMode::Write, [](CallContext &ctx) { ctx.setData(nextCode(ctx.db)); }, {}, Answer::Text});
    registry.add({QStringLiteral("SetIncTbPre"), {ArgKind::Delta}, TxMode::Write, setIncTbPre});
    // Called before a price table's deletion is sent. Its market segments are
    // unlinked by the deletion itself, in the deletion's transaction: were they
    // unlinked here, a deletion refused afterwards (a stale row, an older
    // refused change in the same delta) would leave the table without them.
    // So this only checks the code it is given.
    registry.add({QStringLiteral("setTbPrecSegMer"), {ArgKind::Text}, TxMode::None,
                  [](CallContext &ctx) { Codes::priceTableArg(ctx.text(0)); }});
}
