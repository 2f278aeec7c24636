#pragma once
// The one place where the server writes a client's changes. A table's rules
// are data (TableRules); apply() takes a delta through them: read and
// normalise both sides, lock the rows the rules name, then for each change
// fetch the stored row, refuse a stale one (another user's change), work out
// the changed columns, check, assign a key, write, and tell the observer what
// was written, inside the call's transaction.

#include "entity.h"

#include <packet.h>

#include <QSet>
#include <QString>
#include <functional>

class CallContext;

// One field a change wrote: its value before (null for an insert) and after
// (null for a delete).
struct FieldChange {
    QString name;
    QVariant before, after;
};

struct AppliedChange {
    QString user;  // the person whose key made the call
    QString priceTable;  // the price table the row belongs to, when its key does not say it
    QString method;
    QString table;
    Values key;  // as stored after the change (as it was, for a delete)
    DeltaChange::Op op = DeltaChange::Insert;
    QVector<FieldChange> fields;  // every column of an insert or delete; the changed ones of an update
};

// Sees every change the server writes, in the writing transaction: what it
// writes becomes part of the change, and an exception it throws refuses the
// whole call.
class WriteObserver {
public:
    virtual ~WriteObserver() = default;
    virtual void applied(DbSession &db, const AppliedChange &change) = 0;
};

// Numbers handed out for new keys: the next free one of a sequence, skipping
// numbers in use; past the last one the sequence starts again from 1, and the
// numbers run out only when every one is taken.
struct KeySequence {
    QString name;              // in SEQUENCIA
    const TableLayout *layout = nullptr;  // where a number is in use (its one key column)
    qint64 last = 0;           // the largest number a key may take
    QString exhausted;         // refusal when every number is taken
    std::function<QVariant(qint64)> key;  // the number as the key column holds it

    QVariant next(DbSession &db) const;
    void used(DbSession &db, const QVariant &key) const;  // an insert took this key
};

// What the rules' checks see of a change.
struct Checked {
    const Values &row;             // the row as it will be written
    DeltaChange::Op op;            // Insert or Update
    const QVector<int> &touched;   // columns the change sets (all of them for an insert)
    const QSet<QString> &locked;   // the locked rows that exist (see RowLocks)
};

// Rows locked before any change is applied, all together and in order, so two
// writers never wait for each other in a circle.
struct RowLocks {
    int column = -1;       // the column naming them; -1: none
    bool newSide = false;  // the new values name rows to lock as well
    std::function<bool(const QString &)> valid;  // names that can be such a row
    std::function<QSet<QString>(DbSession &, const QSet<QString> &)> lock;  // answers those that exist
};

struct TableRules {
    const TableLayout *layout = nullptr;
    std::function<void(DeltaRecord &)> normalise;  // pads codes, trims flags
    QString oldKeyMissing;                        // a change that does not say which row it changes
    RowLocks locks;
    bool lockFetched = false;                     // fetch stored rows FOR UPDATE
    const KeySequence *keys = nullptr;            // gives an insert without a key its key
    std::function<void(DbSession &, const Checked &)> check;  // refuses a row that breaks a rule
    std::function<void(const Values &row)> refuseDuplicate;  // the key is taken
    std::function<QString(const Values &stored)> keyFixed;   // set: refusal of a change of key
    std::function<QString(const Values &key)> conflict;       // another user changed or removed it
    std::function<void(CallContext &, const Values &stored)> beforeDelete;  // may refuse, or remove what goes with the row
    std::function<void(DbSession &, const QSet<QString> &locked)> afterAll;  // checks on the whole delta applied
};

namespace WritePath {

// Answers the locked rows that exist.
QSet<QString> apply(CallContext &ctx, const Delta &delta, const TableRules &rules);

// One change made by a method itself rather than read from a delta; goes
// through the same checks, writing and observer as apply().
void applyOne(CallContext &ctx, const TableRules &rules, DeltaChange::Op op, const DeltaRecord &oldRec, const DeltaRecord &newRec,
              const QSet<QString> &locked);

// Inserts a copy of each row of rules.layout whose column `parent` holds
// `from`, with `to` in its place, through applyOne (so the same checks and
// observer see them); `narrow` ("AND ...") leaves rows out. Answers how many
// were copied.
int copyRows(CallContext &ctx, const TableRules &rules, const QString &parent, const QVariant &from, const QVariant &to,
             const QSet<QString> &locked, const QString &narrow = QString());

// The rows of rules.layout whose column `parent` holds `value`, removed (or,
// with `unlinkOnly`, that column set to null) as part of another row's
// deletion; each is told to the observer like any change, under `priceTable`.
void removeDependents(CallContext &ctx, const TableLayout &layout, const QString &parent, const QVariant &value, bool unlinkOnly,
                      const QString &priceTable);

// Refuses a write that went past its call's deadline (see CallContext): the
// call is rolled back and nothing is written.
[[noreturn]] void tooLong(const CallContext &ctx);

// The most changes one delta may bring: a larger one is refused before any
// write, so no call holds the write lock for minutes.
constexpr int MaxChangesPerCall = 20000;

// A value that says nothing: null, or a text of spaces only.
bool isBlank(const QVariant &v);

}  // namespace WritePath
