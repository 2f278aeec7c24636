#include "price_quote.h"

#include "app_error.h"
#include "routines.h"

#include <algorithm>

namespace PriceSimulation {

namespace {

// A field of the packet's first row, read through its text as the
// simulation reads it; absent or null reads as zero.
double number(const DataPacket &p, int row, const char *field) {
    const int col = p.fieldIndex(QString::fromLatin1(field));
    if (col < 0 || row >= p.rows.size()) return 0;
    const QVariant &v = p.rows[row].value(col);
    return v.isNull() ? 0 : throughText(v.toDouble());
}

QString text(const DataPacket &p, int row, const char *field) {
    const int col = p.fieldIndex(QString::fromLatin1(field));
    return col < 0 || row >= p.rows.size() ? QString() : p.rows[row].value(col).toString();
}

// The bands of the first table that the counts 1..count reached: each starts
// where the one before it ended (the server refuses gaps).
QVector<AppliedBand> applied(const DataPacket &bands, const char *end, const char *percent, const QString &code, int count) {
    QVector<AppliedBand> out;
    int from = 1;
    for (int r = 0; r < bands.rows.size() && from <= count; ++r) {
        if (text(bands, r, "CDPRECOPROP") != code) break;
        const int to = text(bands, r, end).trimmed().toInt();
        out.append({from, std::min(to, count), number(bands, r, percent)});
        from = to + 1;
    }
    return out;
}

}  // namespace

Quote quote(const DataPacket &systemBands, const DataPacket &userBands, const Parameters &params) {
    const Result result = simulate(systemBands, userBands, params);
    Quote q;
    q.prices = cellPrices(result.rows, params.users);
    q.code = text(systemBands, 0, "CDPRECOPROP");
    q.name = text(systemBands, 0, "NMPRECOPROP");
    q.unitPrice = number(systemBands, 0, "VRPRECOUNITSIST");
    q.maintenance = number(systemBands, 0, "VRPERCMANUTANO");
    if (q.unitPrice != 0) q.maintenancePercent = RoundDec(double((long double)q.maintenance / q.unitPrice * 100.0L), 2);
    q.rentalMonths = number(systemBands, 0, "NRMESPRAZOLOCA");
    if (q.rentalMonths != 0) q.rentalShare = double((long double)q.unitPrice / q.rentalMonths);
    if (params.mode != LocationMode::HeadHead)
        q.branchDiscount = number(systemBands, 0, params.mode == LocationMode::BranchBranch ? "VRPEDESFILIFILI" : "VRPEDESFILIMATR");
    q.branchFactor = double((100.0L - q.branchDiscount) / 100.0L);
    q.index = throughText(params.index);
    q.systemBands = applied(systemBands, "QTFINSISTEMAS", "VRPERCDESCSIST", q.code, params.systems);
    q.userBands = applied(userBands, "QTFINUSUARIOS", "VRPERCDESCUSU", q.code, params.users);
    // Only this table's rows: the calculator prices one.
    q.prices.erase(std::remove_if(q.prices.begin(), q.prices.end(), [&](const CellPrice &c) { return c.code != q.code; }), q.prices.end());
    return q;
}

Combination combine(const Quote &q, PriceType type) {
    Combination c;
    c.base = type == PriceType::Licence ? q.unitPrice : double((long double)q.unitPrice * q.maintenancePercent / 100.0L);
    const double firstUser = q.userBands.isEmpty() ? 0 : q.userBands.first().percent;
    const double firstSystem = q.systemBands.isEmpty() ? 0 : q.systemBands.first().percent;
    const long double v1 = c.base - (c.base * (long double)firstUser / 100.0L + c.base * (long double)firstSystem / 100.0L);
    c.first = double(v1);
    long double systems = 0, users = 0;
    for (const AppliedBand &b : q.systemBands)
        systems += (long double)(b.to - std::max(b.from, 2) + 1 > 0 ? b.to - std::max(b.from, 2) + 1 : 0) *
                   (v1 - ((long double)b.percent + firstUser) * v1 / 100.0L);
    for (const AppliedBand &b : q.userBands)
        users += (long double)(b.to - std::max(b.from, 2) + 1 > 0 ? b.to - std::max(b.from, 2) + 1 : 0) * (v1 - v1 * b.percent / 100.0L);
    c.systems = double(systems);
    c.users = double(users);
    if (type == PriceType::Rental && q.rentalMonths != 0) c.rental = q.rentalShare;
    c.price = double(((long double)c.rental + v1 + systems + users) * q.index * q.branchFactor);
    return c;
}

}  // namespace PriceSimulation
