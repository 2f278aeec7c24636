// What the price simulation report reads: the price tables it can print, the
// bands of the chosen tables for the counts typed, and the index of the month.

#include "codes.h"
#include "columns.h"
#include "common.h"
#include "method_names.h"
#include "methods.h"
#include "packets.h"
#include "rpc_dispatcher.h"
#include "value_limits.h"

#include <QDate>
#include <QMap>

namespace {

using Packets::number;
using Packets::text;

// Tables the report can print: those with at least one systems band and one users band.
const QString kReportable = QStringLiteral(
    "EXISTS (SELECT 1 FROM PRECOPROPSIST S WHERE S.CDPRECOPROP = P.CDPRECOPROP)"
    " AND EXISTS (SELECT 1 FROM PRECOPROPUSU U WHERE U.CDPRECOPROP = P.CDPRECOPROP)");

struct ReportSide {
    QString noun, table, first, last, percent;
    int maxCount;
    QString countMessage;
    QVector<FieldDef> fields;
    // Column expressions in field order (P: price table, B: band).
    QString columns;
};

// A side of the report: its bands' columns and limit, and the answer's fields
// in the order given, each read from the price table (P) or the band (B).
ReportSide side(const QString &noun, const Vocabulary::Table &bands, int maxCount, std::initializer_list<const char *> names) {
    ReportSide s{noun, bands.tableName(), bands.columns[1].field(), bands.columns[2].field(), bands.columns[3].field(), maxCount,
                 QStringLiteral("O número de %1 deve estar entre 1 e %2.").arg(noun).arg(maxCount), {}, {}};
    QStringList columns;
    for (const char *name : names) {
        const bool own = Vocabulary::PriceTable.find(QString::fromLatin1(name));
        const Vocabulary::Column &c = own ? Vocabulary::PriceTable[name] : bands[name];
        s.fields.append(c.type == FieldType::String ? text(name, c.size) : number(name));
        columns << (own ? QStringLiteral("P.") : QStringLiteral("B.")) + c.field();
    }
    s.columns = columns.join(QStringLiteral(", "));
    return s;
}

const ReportSide &systemsSide() {
    static const ReportSide s = side(QStringLiteral("sistemas"), Vocabulary::SystemBands, Limits::MaxSystems,
                                     {"VRPERCMANUTANO", "NRMESPRAZOLOCA", "NMPRECOPROP", "VRPRECOUNITSIST", "VRPERCDESCSIST",
                                      "QTFINSISTEMAS", "CDPRECOPROP", "VRPEDESFILIMATR", "VRPEDESFILIFILI"});
    return s;
}

const ReportSide &usersSide() {
    static const ReportSide s = side(QStringLiteral("usuários"), Vocabulary::UserBands, Limits::MaxUsers,
                                     {"NMPRECOPROP", "VRPRECOUNITSIST", "VRPERCDESCUSU", "QTFINUSUARIOS", "CDPRECOPROP",
                                      "VRPERCMANUTANO", "NRMESPRAZOLOCA"});
    return s;
}

// For each selected table, in code order: its bands that start at or below the
// count, ascending. They must cover 1 to the count without a gap.
void bandsForCount(CallContext &ctx, const ReportSide &side) {
    DbSession &db = ctx.db;
    const Codes::Selection selection = Codes::priceTableSelection(ctx.text(0));
    const qint64 count = ctx.count(1);
    if (count < 1 || count > side.maxCount) refuse(side.countMessage);
    const QString limit = QStringLiteral("%1").arg(count, Codes::QuantityWidth, 10, QLatin1Char('0'));

    const int firstCol = int(side.fields.size()), lastCol = firstCol + 1, codeCol = firstCol + 2;
    const QString base = QStringLiteral("SELECT %1, B.%2, B.%3, P.CDPRECOPROP FROM PRECOPROPOSTA P JOIN %4 B ON B.CDPRECOPROP = P.CDPRECOPROP"
                                        " WHERE B.%2 <= ?")
                             .arg(side.columns, side.first, side.last, side.table);
    QStringList codes;
    if (selection.all) {
        Query q(db, QStringLiteral("SELECT P.CDPRECOPROP FROM PRECOPROPOSTA P WHERE %1 ORDER BY P.CDPRECOPROP").arg(kReportable));
        q.exec();
        while (q.next()) codes << q.text(0);
    } else {
        codes = selection.codes;
        std::sort(codes.begin(), codes.end());
        for (const QString &code : codes)
            if (!Common::priceTableExists(db, code))
                refuse(QStringLiteral("A tabela de preço %1 não está cadastrada.").arg(code));
    }

    Packets::Builder answer(side.fields);
    auto walk = [&](Query &q, const QString &only) {
        // Rows come grouped by table, in code order, bands ascending.
        QString current;
        int expected = 1;
        QVector<QVector<QVariant>> rows;
        auto finish = [&]() {
            if (current.isEmpty()) return;
            if (expected <= count)
                refuse(QStringLiteral("A tabela de preço %1 (%2) não tem faixas de desconto por %3 que cubram de 1 a %4 sem intervalo: "
                                      "falta a quantidade %5.")
                           .arg(current, Common::priceTableName(db, current), side.noun)
                           .arg(count)
                           .arg(expected));
            for (const auto &r : rows) answer.addRow(r);
            rows.clear();
        };
        while (q.next()) {
            const QString code = q.text(codeCol);
            if (!only.isEmpty() && code != only) continue;
            if (code != current) {
                finish();
                current = code;
                expected = 1;
            }
            const int first = q.text(firstCol).toInt(), last = q.text(lastCol).toInt();
            if (first != expected)
                refuse(QStringLiteral("A tabela de preço %1 (%2) não tem faixas de desconto por %3 que cubram de 1 a %4 sem intervalo: "
                                      "falta a quantidade %5.")
                           .arg(code, Common::priceTableName(db, code), side.noun)
                           .arg(count)
                           .arg(expected));
            expected = last + 1;
            QVector<QVariant> row;
            for (int i = 0; i < firstCol; ++i) row << q.value(i);
            rows << row;
        }
        finish();
        return current;
    };

    if (selection.all) {
        Query q(db, base + QStringLiteral(" AND ") + kReportable + QStringLiteral(" ORDER BY P.CDPRECOPROP, B.%1").arg(side.first));
        q.bind(limit).exec();
        walk(q, QString());
    } else {
        for (const QString &code : codes) {
            Query q(db, base + QStringLiteral(" AND P.CDPRECOPROP = ? ORDER BY B.%1").arg(side.first));
            q.bind(limit).bind(code).exec();
            if (walk(q, code).isEmpty())
                refuse(QStringLiteral("A tabela de preço %1 (%2) não tem faixas de desconto por %3 que cubram de 1 a %4 sem intervalo: "
                                      "falta a quantidade 1.")
                           .arg(code, Common::priceTableName(db, code), side.noun)
                           .arg(count));
        }
    }
    ctx.data = answer.toJson();
}

}  // namespace

void Methods::registerReports(MethodRegistry &registry) {
    using A = ArgKind;
    registry.add(Right::Read, {Method::getRelTbPreco, {A::Text, A::Text}, TxMode::None, [](CallContext &ctx) {
                      const QString code = Codes::priceTableArg(ctx.text(0));
                      ctx.data = Packets::select(ctx.db, {text("IDMARCADO", 1), text("CDPRECOPROP", 10), text("NMPRECOPROP", 50)},
                                                 QStringLiteral("SELECT NULL, P.CDPRECOPROP, P.NMPRECOPROP FROM PRECOPROPOSTA P WHERE %1"
                                                                " AND (? = '' OR P.CDPRECOPROP = ?) ORDER BY P.CDPRECOPROP")
                                                     .arg(kReportable),
                                                 {code, code});
                  }});
    registry.add(Right::Read, {Method::getLuSist, {A::Text, A::Count}, TxMode::Read,
                  [](CallContext &ctx) { bandsForCount(ctx, systemsSide()); }, {0}});
    registry.add(Right::Read, {Method::getLuUsu, {A::Text, A::Count}, TxMode::Read,
                  [](CallContext &ctx) { bandsForCount(ctx, usersSide()); }, {0}});
    registry.add(Right::Read, {Method::getIndiceBtn, {}, TxMode::None, [](CallContext &ctx) {
                      ctx.data = Packets::select(ctx.db, {number("VRINDICE")},
                                                 QStringLiteral("SELECT VRINDICE FROM INDICEMENSAL WHERE MESINDICE = ?"),
                                                 {QDate::currentDate().toString(QStringLiteral("yyyy-MM"))});
                  }});
}
