#pragma once
// What a modal screen opened from the main screen (report, automatic
// registration) receives: it has no connection of its own.

#include <QString>

class QWidget;
class TNetConnection;

struct PriceTableContext {
    TNetConnection *net = nullptr;
    QString priceTable;      // CDPRECOPROP of the current price table; empty when none
    QString priceTableName;  // its NMPRECOPROP
    QWidget *owner = nullptr;
};
