#include "columns.h"

#include <QtGlobal>

namespace Vocabulary {

namespace {

using enum FieldType;

constexpr Column kPriceTable[] = {
    {"CDPRECOPROP", String, 10, true, "Código"},
    {"NMPRECOPROP", String, 50, false, "Nome"},
    {"DTINIPRECOPROP", DateTime, 0, false, "Início Vigência"},
    {"DTFINPRECOPROP", DateTime, 0, false, "Fim Vigência"},
    {"VRPRECOUNITSIST", Float, 0, false, "Preço Unitário", 2},
    // The yearly maintenance amount per system, whatever its old name says.
    {"VRPERCMANUTANO", Float, 0, false, "Manutenção Anual (R$)", 2},
    {"NRMESPRAZOLOCA", Float, 0, false, "Prazo Locação(Meses)", 0},
    {"VRPEDESFILIMATR", Float, 0, false, "% Desconto Filial / Matriz", 2},
    {"VRPEDESFILIFILI", Float, 0, false, "% Desconto Filial / Filial", 2},
};

constexpr Column kSystemBands[] = {
    {"CDPRECOPROP", String, 10, true, "Código"},
    {"QTINISISTEMAS", String, 5, true, "De", 0},
    {"QTFINSISTEMAS", String, 5, false, "Até", 0},
    {"VRPERCDESCSIST", Float, 0, false, "%Desconto", 2},
};

constexpr Column kUserBands[] = {
    {"CDPRECOPROP", String, 10, true, "Código"},
    {"QTINIUSUARIOS", String, 5, true, "De", 0},
    {"QTFINUSUARIOS", String, 5, false, "Até", 0},
    {"VRPERCDESCUSU", Float, 0, false, "%Desconto", 2},
};

constexpr Column kOperatorPermissions[] = {
    {"CDPRECOPROP", String, 10, true, "Código"},
    {"CDOPERADOR", String, 12, true, "Operador"},
    {"IDTIPODESCOPER", String, 1, true, "Tipo"},
    {"VRPERCDESCOPER", Float, 0, false, "%Desconto", 2},
};
constexpr Column kOperatorPermissionsJoined[] = {{"NMOPERADOR", String, 40, false, "Nome Operador"}};

constexpr Column kServiceTypes[] = {
    {"CDTIPOSERV", String, 3, true, "Código"},
    {"NMTIPOSERV", String, 80, false, "Serviço"},
    {"IDPROPSERVWEB", String, 1, false, "Proposta Web"},
    {"IDSERVOBRIGPROS", String, 2, false, "Proposta Prospect"},
    {"VRPADRAOSERVNAC", Float, 0, false, "Vr. Padrão Nacional", 2},
    {"VRPADRAOSERVINT", Float, 0, false, "Vr. Padrão Internacional", 2},
};

constexpr Column kOperatorServiceDiscounts[] = {
    {"NROPERTIPOSERV", Integer, 0, true, "Número"},
    {"CDTIPOSERV", String, 3, false, "Código"},
    {"CDOPERADOR", String, 12, false, "Código"},
    {"VRPEDESOPERSERV", Float, 0, false, "%Percentual", 2},
};
constexpr Column kOperatorServiceDiscountsJoined[] = {
    {"NMOPERADOR", String, 40, false, "Nome do Operador"},
    {"NMTIPOSERV", String, 80, false, "Serviço"},
};

}  // namespace

const Table PriceTable{"PRECOPROPOSTA", kPriceTable, {}};
const Table SystemBands{"PRECOPROPSIST", kSystemBands, {}};
const Table UserBands{"PRECOPROPUSU", kUserBands, {}};
const Table OperatorPermissions{"PRECOPROPOPER", kOperatorPermissions, kOperatorPermissionsJoined};
const Table ServiceTypes{"TIPOSERV", kServiceTypes, {}};
const Table OperatorServiceDiscounts{"OPERTIPOSERV", kOperatorServiceDiscounts, kOperatorServiceDiscountsJoined};

const Table *const PriceTableFamily[4] = {&PriceTable, &SystemBands, &UserBands, &OperatorPermissions};

const Column *Table::find(const QString &field) const {
    for (auto list : {columns, joined})
        for (const Column &c : list)
            if (field == QLatin1String(c.name)) return &c;
    return nullptr;
}

const Column &Table::operator[](const QString &field) const {
    const Column *c = find(field);
    if (!c) qFatal("Column %s is not declared in table %s", qPrintable(field), name);
    return *c;
}

}  // namespace Vocabulary
