#pragma once
#include <QStringList>

// The 60 messages of the maintenance screen (key|text).
QStringList PriceTablesCatalogue();
