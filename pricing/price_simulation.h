#pragma once
// The price simulation: from the bands of the chosen price tables (the packets
// of getLuSist and getLuUsu), the counts, the ticked price types, the location
// mode and the monthly index, the rows of the report table cdsAux, in the
// order they are built. Widget-free: the report screen and cot-report share it.

#include "value_limits.h"
#include "packet.h"

#include <QString>
#include <QVector>
#include <array>

namespace PriceSimulation {

constexpr int MaxSystems = Limits::MaxSystems;  // value columns of the report table
constexpr int MaxUsers = Limits::MaxUsers;

enum class PriceType { Licence, Maintenance, Rental };    // U, M, L
enum class LocationMode { HeadHead, BranchBranch, BranchHead };  // MM, FF, FM

QString typeCaption(PriceType type);     // "Licença de Uso", "Manutenção", "Locação"
QString typeCode(PriceType type);        // "U", "M", "L"
QString modeCaption(LocationMode mode);  // "Matriz/Matriz", "Filial/Filial", "Filial/Matriz"
QString modeCode(LocationMode mode);     // "MM", "FF", "FM"

struct Parameters {
    int systems = MaxSystems;  // N
    int users = MaxUsers;      // U
    // Built licence of use, maintenance, rental, whatever the order given here.
    QVector<PriceType> types;
    LocationMode mode = LocationMode::HeadHead;
    double index = 1.0;  // I
};

// One row of cdsAux: one price type, price table and number of users.
struct ReportRow {
    std::array<double, MaxSystems> values{};  // "01".."20"; only the first `systems` hold a value
    int systems = 0;                          // N: the fields above it stay null
    int users = 0;                            // the row's position within its table and type
    QString code;                             // CDPRECOPROP
    QString name;                             // NMPRECOPROP
    QString type;                             // TIPO: the price type's caption
    QString mode;                             // MODLOC: the location mode's caption
};

// The working values as the build left them (the unit's module variables).
struct Working {
    double unitPrice = 0;  // doVrPrecoUnit
    double result = 0;     // doResult
    double percent = 0;    // doPercent
    QVector<double> bySystem;  // arGravaResultSis
    QVector<double> byUser;    // arGravaResultUsu
};

struct Result {
    QVector<ReportRow> rows;
    Working working;
};

// Walks the bands and builds the rows. Raises EAppError with a message for the
// user when the packets do not fit the walk (missing fields or bands, a null
// value) or a price table cannot be priced (unit price or rental term of zero).
Result simulate(const DataPacket &systemBands, const DataPacket &userBands, const Parameters &params);

// One cell of the report: the price of exactly the rows' systems and `users`
// users, for one price table and type, in the order the rows were built.
struct CellPrice {
    QString type, code, name, mode;  // as in the report's rows
    int systems = 0, users = 0;
    double value = 0;
};
QVector<CellPrice> cellPrices(const QVector<ReportRow> &rows, int users);

// The report table's layout and the rows as its packet, in the order built.
QVector<FieldDef> auxFields();
DataPacket toAuxPacket(const QVector<ReportRow> &rows);

// A value as the simulation reads a float field: its general text of 15
// significant digits, read back.
double throughText(double value);

}  // namespace PriceSimulation
