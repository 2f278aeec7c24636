#include "price_simulation.h"

#include "app_error.h"
#include "discount_types.h"
#include "routines.h"

#include <algorithm>

namespace PriceSimulation {

QString typeCaption(PriceType type) {
    switch (type) {
    case PriceType::Licence: return DiscountTypes::Licence.captionText();
    case PriceType::Maintenance: return DiscountTypes::Maintenance.captionText();
    case PriceType::Rental: return DiscountTypes::Rental.captionText();
    }
    return QString();
}

QString typeCode(PriceType type) {
    switch (type) {
    case PriceType::Licence: return QStringLiteral("U");
    case PriceType::Maintenance: return QStringLiteral("M");
    case PriceType::Rental: return QStringLiteral("L");
    }
    return QString();
}

QString modeCaption(LocationMode mode) {
    switch (mode) {
    case LocationMode::HeadHead: return QStringLiteral("Matriz/Matriz");
    case LocationMode::BranchBranch: return QStringLiteral("Filial/Filial");
    case LocationMode::BranchHead: return QStringLiteral("Filial/Matriz");
    }
    return QString();
}

QString modeCode(LocationMode mode) {
    switch (mode) {
    case LocationMode::HeadHead: return QStringLiteral("MM");
    case LocationMode::BranchBranch: return QStringLiteral("FF");
    case LocationMode::BranchHead: return QStringLiteral("FM");
    }
    return QString();
}

double throughText(double value) { return QString::number(value, 'g', 15).toDouble(); }

namespace {

// A cursor over a band packet that reads its fields the way the report table
// does: through their text.
class Bands {
public:
    Bands(const DataPacket &packet, const QString &what) : m_packet(packet), m_what(what) {}

    int column(const QString &name) const {
        const int i = m_packet.fieldIndex(name);
        if (i < 0)
            throw EAppError(QStringLiteral("A resposta do servidor com as faixas de desconto por %1 não traz o campo %2.").arg(m_what, name));
        return i;
    }
    int count() const { return int(m_packet.rows.size()); }
    bool isEmpty() const { return m_packet.rows.isEmpty(); }
    void first() { m_row = 0; }
    // Past the last row the cursor stays on it, as a client table's does.
    bool next() {
        if (m_row + 1 >= count()) return false;
        ++m_row;
        return true;
    }
    QString text(int col) const {
        const QVariant &v = m_packet.rows[m_row].value(col);
        if (!v.isValid() || v.isNull()) return QString();
        if (v.typeId() == QMetaType::Double) return QString::number(v.toDouble(), 'g', 15);
        return v.toString();
    }
    bool isNull(int col) const { return text(col).trimmed().isEmpty(); }
    double number(int col, const QString &label) const {
        bool ok = false;
        const double d = text(col).trimmed().toDouble(&ok);
        if (!ok) throw EAppError(QStringLiteral("A tabela de preço %1 não tem %2 informado; o relatório não pode ser calculado.").arg(code(), label));
        return d;
    }
    int whole(int col, const QString &label) const {
        bool ok = false;
        const int n = text(col).trimmed().toInt(&ok);
        if (!ok) throw EAppError(QStringLiteral("A tabela de preço %1 tem %2 inválido nas faixas de desconto por %3.").arg(code(), label, m_what));
        return n;
    }
    QString code() const { return m_codeCol >= 0 ? text(m_codeCol) : QString(); }
    void setCodeColumn(int col) { m_codeCol = col; }

private:
    const DataPacket &m_packet;
    QString m_what;
    int m_row = 0;
    int m_codeCol = -1;
};

struct Columns {
    int sM, sL, sName, sP, sSd, sEnd, sCode, sFM, sFF;
    int uUd, uEnd, uCode;
};

class Walk {
public:
    Walk(const DataPacket &sys, const DataPacket &usr, const Parameters &p, Result &out)
        : m_sys(sys, QStringLiteral("sistema")), m_usr(usr, QStringLiteral("usuário")), m_p(p), m_out(out) {
        c.sM = m_sys.column(QStringLiteral("VRPERCMANUTANO"));
        c.sL = m_sys.column(QStringLiteral("NRMESPRAZOLOCA"));
        c.sName = m_sys.column(QStringLiteral("NMPRECOPROP"));
        c.sP = m_sys.column(QStringLiteral("VRPRECOUNITSIST"));
        c.sSd = m_sys.column(QStringLiteral("VRPERCDESCSIST"));
        c.sEnd = m_sys.column(QStringLiteral("QTFINSISTEMAS"));
        c.sCode = m_sys.column(QStringLiteral("CDPRECOPROP"));
        c.sFM = m_sys.column(QStringLiteral("VRPEDESFILIMATR"));
        c.sFF = m_sys.column(QStringLiteral("VRPEDESFILIFILI"));
        c.uUd = m_usr.column(QStringLiteral("VRPERCDESCUSU"));
        c.uEnd = m_usr.column(QStringLiteral("QTFINUSUARIOS"));
        c.uCode = m_usr.column(QStringLiteral("CDPRECOPROP"));
        m_sys.setCodeColumn(c.sCode);
        m_usr.setCodeColumn(c.uCode);
        w.bySystem.fill(0.0, p.systems);
        w.byUser.fill(0.0, p.users);
    }

    void section(PriceType type) {
        m_type = type;
        m_caption = typeCaption(type);
        m_sys.first();
        m_usr.first();
        readTableStart();
        int consumed = 0;
        while (m_sys.count() > consumed) {
            table(consumed);
            m_sys.next();
            m_usr.next();
            readTableStart();
        }
    }

    Working w;

private:
    QString tableLabel() const { return QStringLiteral("%1 (%2)").arg(m_sys.code(), m_sys.text(c.sName)); }

    // The values a table's first bands give: read at the start of a section
    // and again for each following table.
    void readTableStart() {
        m_sd = m_sys.number(c.sSd, QStringLiteral("percentual de desconto por sistema"));
        m_sysEnd = m_sys.whole(c.sEnd, QStringLiteral("limite superior"));
        m_ud = m_usr.number(c.uUd, QStringLiteral("percentual de desconto por usuário"));
        m_usrEnd = m_usr.whole(c.uEnd, QStringLiteral("limite superior"));
        m_P = m_sys.number(c.sP, QStringLiteral("preço unitário"));
        w.unitPrice = m_P;
        if (m_type != PriceType::Licence) m_M = m_sys.number(c.sM, QStringLiteral("percentual de manutenção anual"));
        if (m_type == PriceType::Rental) m_L = m_sys.number(c.sL, QStringLiteral("prazo de locação"));
        m_F = branchFactor();
    }

    double branchFactor() const {
        if (m_p.mode == LocationMode::HeadHead) return 1.0;
        const int col = m_p.mode == LocationMode::BranchBranch ? c.sFF : c.sFM;
        if (m_sys.isNull(col)) return 1.0;
        return double((100.0L - m_sys.number(col, QStringLiteral("desconto de filial"))) / 100.0L);
    }

    // A table's price must allow the division its section makes.
    void checkDivisors() const {
        if (m_type != PriceType::Licence && m_P == 0)
            throw EAppError(QStringLiteral("A tabela de preço %1 tem preço unitário zero: os valores de manutenção e locação não podem ser "
                                           "calculados. Informe o preço unitário da tabela.")
                                .arg(tableLabel()));
        if (m_type == PriceType::Rental && m_L == 0)
            throw EAppError(QStringLiteral("A tabela de preço %1 tem prazo de locação zero: os valores de locação não podem ser calculados. "
                                           "Informe o prazo de locação da tabela.")
                                .arg(tableLabel()));
    }

    void table(int &consumed) {
        const QString code = m_sys.code();
        if (m_usr.code() != code)
            throw EAppError(QStringLiteral("As faixas de desconto por usuário da tabela de preço %1 não foram encontradas.").arg(tableLabel()));
        checkDivisors();
        const QString name = m_sys.text(c.sName);
        const QString mode = modeCaption(m_p.mode);
        const long double I = m_p.index, F = m_F;
        for (int u = 1; u <= m_p.users; ++u) {
            ReportRow row;
            row.systems = m_p.systems;
            row.users = u;
            row.code = code;
            row.name = name;
            row.type = m_caption;
            row.mode = mode;
            QString lastEnd;
            if (u > m_usrEnd) {
                if (!m_usr.next() || m_usr.code() != code)
                    throw EAppError(QStringLiteral("As faixas de desconto por usuário da tabela de preço %1 não cobrem %2 usuários.")
                                        .arg(tableLabel())
                                        .arg(m_p.users));
                m_ud = m_usr.number(c.uUd, QStringLiteral("percentual de desconto por usuário"));
                m_usrEnd = m_usr.whole(c.uEnd, QStringLiteral("limite superior"));
            }
            for (int k = 1; k <= m_p.systems; ++k) {
                const double V = cell(k, u, lastEnd);
                w.result = V;
                const long double share = m_type == PriceType::Rental ? (long double)m_P / m_L + V : (long double)V;
                row.values[size_t(k - 1)] = double(share * I * F);
                if (u == 1) {
                    const QString end = m_sys.text(c.sEnd);
                    if (end != lastEnd) {
                        ++consumed;
                        lastEnd = end;
                    }
                }
            }
            m_out.rows.append(std::move(row));
        }
    }

    double cell(int k, int u, QString &lastEnd) {
        auto &sis = w.bySystem;
        auto &usr = w.byUser;
        if (k == 1 && u == 1) {
            long double B = m_P;
            if (m_type != PriceType::Licence) {
                w.percent = RoundDec(double((long double)m_M / m_P * 100.0L), 2);
                B = (long double)m_P * w.percent / 100.0L;
            }
            const double V = double(B - (B * m_ud / 100.0L + B * m_sd / 100.0L));
            sis[0] = V;
            usr[0] = V;
            return V;
        }
        const long double first = sis[0];
        if (u == 1) {
            if (k > m_sysEnd) {
                lastEnd = m_sys.text(c.sEnd);
                const QString code = m_sys.code();
                if (!m_sys.next() || m_sys.code() != code)
                    throw EAppError(QStringLiteral("As faixas de desconto por sistema da tabela de preço %1 não cobrem %2 sistemas.")
                                        .arg(QStringLiteral("%1 (%2)").arg(code, m_sys.text(c.sName)))
                                        .arg(m_p.systems));
                m_sd = m_sys.number(c.sSd, QStringLiteral("percentual de desconto por sistema"));
                m_sysEnd = m_sys.whole(c.sEnd, QStringLiteral("limite superior"));
                m_P = m_sys.number(c.sP, QStringLiteral("preço unitário"));
                w.unitPrice = m_P;
                if (m_type == PriceType::Rental) m_L = m_sys.number(c.sL, QStringLiteral("prazo de locação"));
            }
            w.percent = double(first - ((long double)m_sd + m_ud) * first / 100.0L);
            sis[k - 1] = double((long double)w.percent + sis[k - 2]);
            return sis[k - 1];
        }
        if (k == 1) {
            usr[u - 1] = double(first - first * m_ud / 100.0L + usr[u - 2]);
            return usr[u - 1];
        }
        w.percent = double(first - first * m_ud / 100.0L);
        sis[k - 1] = double((long double)sis[k - 1] + w.percent);
        return sis[k - 1];
    }

    Bands m_sys, m_usr;
    const Parameters &m_p;
    Result &m_out;
    Columns c{};
    PriceType m_type = PriceType::Licence;
    QString m_caption;
    double m_sd = 0, m_ud = 0, m_P = 0, m_M = 0, m_L = 0, m_F = 1;
    int m_sysEnd = 0, m_usrEnd = 0;
};

}  // namespace

namespace {

// The price tables in a band packet: its runs of one code.
int tableCount(const DataPacket &bands) {
    const int col = bands.fieldIndex(QStringLiteral("CDPRECOPROP"));
    if (col < 0) return 1;
    int n = 0;
    QVariant last;
    for (const Row &r : bands.rows) {
        if (n == 0 || r.value(col) != last) ++n;
        last = r.value(col);
    }
    return std::max(n, 1);
}

}  // namespace

Result simulate(const DataPacket &systemBands, const DataPacket &userBands, const Parameters &params) {
    if (params.systems < 1 || params.systems > MaxSystems)
        throw EAppError(QStringLiteral("O número de sistemas deve estar entre 1 e %1.").arg(MaxSystems));
    if (params.users < 1 || params.users > MaxUsers)
        throw EAppError(QStringLiteral("O número de usuários deve estar entre 1 e %1.").arg(MaxUsers));
    if (params.types.isEmpty()) throw EAppError(QStringLiteral("Nenhum tipo de preço foi escolhido para o relatório."));
    if (systemBands.rows.isEmpty() || userBands.rows.isEmpty())
        throw EAppError(QStringLiteral("Nenhuma tabela de preço com faixas de desconto por sistema e por usuário foi encontrada para o relatório."));

    Result out;
    Parameters p = params;
    p.index = throughText(params.index);
    Walk walk(systemBands, userBands, p, out);
    int groups = 0;
    for (PriceType t : {PriceType::Licence, PriceType::Maintenance, PriceType::Rental})
        if (p.types.contains(t)) ++groups;
    // One block for every row: growing a vector of 90,000 rows page by page
    // cost more than the walk itself.
    out.rows.reserve(qsizetype(groups) * p.users * tableCount(systemBands));
    for (PriceType t : {PriceType::Licence, PriceType::Maintenance, PriceType::Rental})
        if (p.types.contains(t)) walk.section(t);
    out.working = walk.w;
    return out;
}

QVector<CellPrice> cellPrices(const QVector<ReportRow> &rows, int users) {
    QVector<CellPrice> out;
    for (const ReportRow &r : rows)
        if (r.users == users && r.systems > 0)
            out.append({r.type, r.code, r.name, r.mode, r.systems, r.users, r.values[size_t(r.systems - 1)]});
    return out;
}

QVector<FieldDef> auxFields() {
    QVector<FieldDef> f;
    for (int k = 1; k <= MaxSystems; ++k) f.append({Ajusta(QString::number(k), 2), FieldType::Float, 0});
    f.append({QStringLiteral("CDPRECOPROP"), FieldType::String, 10});
    f.append({QStringLiteral("NMPRECOPROP"), FieldType::String, 50});
    f.append({QStringLiteral("TIPO"), FieldType::String, 30});
    f.append({QStringLiteral("MODLOC"), FieldType::String, 20});
    return f;
}

DataPacket toAuxPacket(const QVector<ReportRow> &rows) {
    DataPacket p;
    p.fields = auxFields();
    p.rows.reserve(rows.size());
    for (const ReportRow &r : rows) {
        Row out(MaxSystems + 4);
        for (int k = 0; k < r.systems; ++k) out[k] = r.values[size_t(k)];
        out[MaxSystems] = r.code;
        out[MaxSystems + 1] = r.name;
        out[MaxSystems + 2] = r.type;
        out[MaxSystems + 3] = r.mode;
        p.rows.append(std::move(out));
    }
    return p;
}

}  // namespace PriceSimulation
