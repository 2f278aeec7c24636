#pragma once
// Each table's columns, declared once: name, type, size, key, the caption the
// grids, the history and the report show, and the decimals a number is shown
// with. The server builds its table layouts from these tables and the
// desktop its grids, so a caption changed here changes everywhere.

#include <packet.h>

#include <QString>
#include <span>

namespace Vocabulary {

struct Column {
    const char *name;
    FieldType type;
    int size;              // characters, for String columns
    bool key;
    const char *caption;   // UTF-8
    int decimals = -1;     // a number shown with this many decimals (a String
                           // column with 0 keeps a count as digits); -1: not a number

    QString field() const { return QString::fromLatin1(name); }
    QString title() const { return QString::fromUtf8(caption); }
    bool isNumber() const { return decimals >= 0; }
};

struct Table {
    const char *name;
    std::span<const Column> columns;  // stored, in the server's column order
    std::span<const Column> joined;   // read with the table from other tables

    QString tableName() const { return QString::fromLatin1(name); }
    // The column (stored or joined) of that name; the name must be declared.
    const Column &operator[](const QString &field) const;
    const Column *find(const QString &field) const;  // nullptr when absent
};

extern const Table PriceTable;                // PRECOPROPOSTA
extern const Table SystemBands;               // PRECOPROPSIST
extern const Table UserBands;                 // PRECOPROPUSU
extern const Table OperatorPermissions;       // PRECOPROPOPER
extern const Table ServiceTypes;              // TIPOSERV
extern const Table OperatorServiceDiscounts;  // OPERTIPOSERV

// The price table and the records that hang from it, as the history lists them.
extern const Table *const PriceTableFamily[4];

}  // namespace Vocabulary
