#pragma once
// The price of one proposal: exactly N systems and U users on one price
// table, per ticked type, with how it was reached (unit price, maintenance,
// rental share, the band of each system and user step, branch factor,
// index). The prices come from the simulation itself, so each equals the
// report's cell for those counts to the cent.

#include "price_simulation.h"

namespace PriceSimulation {

// The steps from..to a band covered, priced with its discount.
struct AppliedBand {
    int from = 0, to = 0;
    double percent = 0;
};

struct Quote {
    QString code, name;
    double unitPrice = 0;           // P
    double maintenance = 0;         // M: the yearly maintenance amount per system
    double maintenancePercent = 0;  // M ÷ P × 100 to two places, as the simulation takes it
    double rentalMonths = 0;        // L
    double rentalShare = 0;         // P ÷ L, what a rental adds per system
    double branchDiscount = 0;      // the mode's branch discount; 0 at the head office
    double branchFactor = 1;        // F = (100 - branchDiscount) ÷ 100
    double index = 1;               // I, as the simulation reads it
    QVector<AppliedBand> systemBands, userBands;
    QVector<CellPrice> prices;  // one per ticked type: licence, maintenance, rental
};

// For the first price table of the packets (the calculator asks for one).
// Raises EAppError as simulate() does.
Quote quote(const DataPacket &systemBands, const DataPacket &userBands, const Parameters &params);

// How the parts of a quote make one type's price, so a person can rebuild
// it: price = (rental share, for a rental + first + systems + users) × F × I.
struct Combination {
    double base = 0;     // B: P for a licence, P × maintenance % otherwise
    double first = 0;    // V1 = B × (1 − (first user's + first system's discount) ÷ 100)
    double systems = 0;  // Σ of systems 2..N: V1 × (1 − (its band's + first user's discount) ÷ 100)
    double users = 0;    // Σ of users 2..U: V1 × (1 − its band's discount ÷ 100)
    double rental = 0;   // P ÷ L for a rental, else 0
    double price = 0;    // (rental + first + systems + users) × F × I
};
Combination combine(const Quote &q, PriceType type);

}  // namespace PriceSimulation
