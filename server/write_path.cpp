#include "write_path.h"

#include "rpc_dispatcher.h"
#include "rpc_error.h"

#include <QList>
#include <algorithm>

namespace WritePath {

bool isBlank(const QVariant &v) { return !v.isValid() || v.isNull() || v.toString().trimmed().isEmpty(); }

}  // namespace WritePath

// The rows of SEQUENCIA: the next number, never handed out twice; bump()
// keeps a number an insert used from being handed out later, restart() sends
// a sequence that passed its last number back to the start.
namespace Sequence {
namespace {
qint64 nextNumber(DbSession &db, const QString &sequence) {
    Query q(db, QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = NRULTIMO + 1 WHERE NMSEQUENCIA = ? RETURNING NRULTIMO"));
    q.bind(sequence).exec();
    if (!q.next()) throw DbError(DbError::Other, QString(), QStringLiteral("sequência ausente"));
    return q.value(0).toLongLong();
}

void bump(DbSession &db, const QString &sequence, qint64 used) {
    Query q(db, QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = ? WHERE NMSEQUENCIA = ? AND NRULTIMO < ?"));
    q.bind(used).bind(sequence).bind(used).exec();
}

void restart(DbSession &db, const QString &sequence) {
    Query q(db, QStringLiteral("UPDATE SEQUENCIA SET NRULTIMO = 0 WHERE NMSEQUENCIA = ?"));
    q.bind(sequence).exec();
}

qint64 count(DbSession &db, const QString &sql) {  // a SELECT COUNT(*) without parameters
    Query q(db, sql);
    q.exec();
    return q.next() ? q.value(0).toLongLong() : 0;
}

}  // namespace
}  // namespace Sequence

QVariant KeySequence::next(DbSession &db) const {
    for (bool restarted = false;;) {
        const qint64 n = Sequence::nextNumber(db, name);
        if (n > last) {
            if (restarted || Sequence::count(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(layout->table())) >= last) refuse(exhausted);
            Sequence::restart(db, name);
            restarted = true;
            continue;
        }
        const QVariant k = key(n);
        if (!Entity::fetch(db, *layout, {k}, false)) return k;
    }
}

void KeySequence::used(DbSession &db, const QVariant &k) const { Sequence::bump(db, name, k.toLongLong()); }

namespace {

using WritePath::isBlank;

int keyColumn(const TableLayout &layout) {
    for (int i = 0; i < layout.columns().size(); ++i)
        if (layout.columns()[i].key) return i;
    return -1;
}

bool sameKey(const TableLayout &layout, const Values &a, const Values &b) {
    int k = 0;
    for (const ColumnLayout &c : layout.columns())
        if (c.key) {
            if (!Entity::same(a.value(k), b.value(k), c.type)) return false;
            ++k;
        }
    return true;
}

void tell(CallContext &ctx, const TableLayout &layout, DeltaChange::Op op, const Values &key, const Values *before, const Values *after,
          const QVector<int> &columns, const QString &priceTable = QString()) {
    if (!ctx.observer) return;
    AppliedChange c;
    c.priceTable = priceTable;
    c.user = ctx.user;
    c.method = ctx.method;
    c.table = layout.table();
    c.key = key;
    c.op = op;
    for (int i : columns)
        c.fields.append({layout.columns()[i].name, before ? before->value(i) : QVariant(), after ? after->value(i) : QVariant()});
    ctx.observer->applied(ctx.db, c);
}

QVector<int> allColumns(const TableLayout &layout) {
    QVector<int> all;
    for (int i = 0; i < layout.columns().size(); ++i) all << i;
    return all;
}

void insertRow(CallContext &ctx, const TableRules &rules, const DeltaRecord &newRec, const QSet<QString> &locked) {
    const TableLayout &layout = *rules.layout;
    DbSession &db = ctx.db;
    Values row = newRec.values;
    if (rules.keys) {
        const int k = keyColumn(layout);
        if (isBlank(row[k])) row[k] = rules.keys->next(db);
    }
    const QVector<int> all = allColumns(layout);
    if (rules.check) rules.check(db, Checked{row, DeltaChange::Insert, all, locked});
    if (Entity::fetch(db, layout, layout.keyOf(row), rules.lockFetched)) rules.refuseDuplicate(row);
    Entity::insert(db, layout, row);
    if (rules.keys) rules.keys->used(db, row[keyColumn(layout)]);
    tell(ctx, *rules.layout, DeltaChange::Insert, layout.keyOf(row), nullptr, &row, all);
}

void updateRow(CallContext &ctx, const TableRules &rules, const DeltaRecord &oldRec, const DeltaRecord &newRec, const QSet<QString> &locked) {
    const TableLayout &layout = *rules.layout;
    DbSession &db = ctx.db;
    const Values oldKey = layout.keyOf(oldRec.values);
    const auto stored = Entity::fetch(db, layout, oldKey, rules.lockFetched);
    if (!stored) conflict(rules.conflict(oldKey));
    const QVector<int> changed = Entity::changedColumns(layout, oldRec, newRec);
    if (rules.keyFixed)
        for (int i : changed)
            if (layout.columns()[i].key) refuse(rules.keyFixed(*stored));
    if (!Entity::unchangedSince(layout, oldRec, changed, *stored)) conflict(rules.conflict(oldKey));
    const Values row = Entity::merged(*stored, newRec, changed);
    if (rules.check) rules.check(db, Checked{row, DeltaChange::Update, changed, locked});
    const Values newKey = layout.keyOf(row);
    if (!sameKey(layout, newKey, oldKey) && Entity::fetch(db, layout, newKey, rules.lockFetched)) rules.refuseDuplicate(row);
    Entity::update(db, layout, oldKey, row);
    tell(ctx, *rules.layout, DeltaChange::Update, newKey, &*stored, &row, changed);
}

void deleteRow(CallContext &ctx, const TableRules &rules, const DeltaRecord &oldRec) {
    const TableLayout &layout = *rules.layout;
    DbSession &db = ctx.db;
    const Values oldKey = layout.keyOf(oldRec.values);
    const auto stored = Entity::fetch(db, layout, oldKey, rules.lockFetched);
    if (!stored || !Entity::unchangedSinceRead(layout, oldRec, *stored)) conflict(rules.conflict(oldKey));
    if (rules.beforeDelete) rules.beforeDelete(ctx, *stored);
    Entity::remove(db, layout, oldKey);
    tell(ctx, *rules.layout, DeltaChange::Delete, oldKey, &*stored, nullptr, allColumns(layout));
}

QSet<QString> lockRows(DbSession &db, const RowLocks &locks, const QVector<DeltaRecord> &olds, const QVector<DeltaRecord> &news,
                       const Delta &delta) {
    if (locks.column < 0) return {};
    QSet<QString> names;
    for (int i = 0; i < delta.changes.size(); ++i) {
        const DeltaChange::Op op = delta.changes[i].op;
        if (op != DeltaChange::Insert) names.insert(Entity::text(olds[i].values[locks.column]));
        if (op != DeltaChange::Delete && locks.newSide) names.insert(Entity::text(news[i].values[locks.column]));
    }
    QSet<QString> wanted;
    for (const QString &n : std::as_const(names))
        if (!locks.valid || locks.valid(n)) wanted.insert(n);
    return locks.lock(db, wanted);
}

}  // namespace

namespace WritePath {

QSet<QString> apply(CallContext &ctx, const Delta &delta, const TableRules &rules) {
    const TableLayout &layout = *rules.layout;
    const int n = int(delta.changes.size());
    QVector<DeltaRecord> olds(n), news(n);
    for (int i = 0; i < n; ++i) {
        const DeltaChange &c = delta.changes[i];
        if (c.op != DeltaChange::Insert) {
            olds[i] = Entity::read(delta, c.oldValues, layout);
            if (rules.normalise) rules.normalise(olds[i]);
            for (const QVariant &k : layout.keyOf(olds[i].values))
                if (isBlank(k)) invalidParams(rules.oldKeyMissing);
        }
        if (c.op != DeltaChange::Delete) {
            news[i] = Entity::read(delta, c.newValues, layout);
            if (rules.normalise) rules.normalise(news[i]);
        }
    }
    const QSet<QString> locked = lockRows(ctx.db, rules.locks, olds, news, delta);
    for (int i = 0; i < n; ++i) applyOne(ctx, rules, delta.changes[i].op, olds[i], news[i], locked);
    if (rules.afterAll) rules.afterAll(ctx.db, locked);
    return locked;
}

void applyOne(CallContext &ctx, const TableRules &rules, DeltaChange::Op op, const DeltaRecord &oldRec, const DeltaRecord &newRec,
              const QSet<QString> &locked) {
    if (ctx.deadline && std::chrono::steady_clock::now() > *ctx.deadline) tooLong(ctx);
    switch (op) {
    case DeltaChange::Insert: insertRow(ctx, rules, newRec, locked); break;
    case DeltaChange::Update: updateRow(ctx, rules, oldRec, newRec, locked); break;
    case DeltaChange::Delete: deleteRow(ctx, rules, oldRec); break;
    }
}

int copyRows(CallContext &ctx, const TableRules &rules, const QString &parent, const QVariant &from, const QVariant &to,
             const QSet<QString> &locked, const QString &narrow) {
    const TableLayout &layout = *rules.layout;
    const int column = layout.index(parent);
    QVector<DeltaRecord> copies;
    {
        Query q(ctx.db, layout.select(QStringLiteral("WHERE %1 = ? %2").arg(parent, narrow)));
        q.bind(from).exec();
        while (q.next()) {
            DeltaRecord r;
            for (int i = 0; i < layout.columns().size(); ++i) r.values << Entity::columnValue(q.value(i), layout.columns()[i].type);
            r.values[column] = to;
            r.present = QVector<bool>(r.values.size(), true);
            copies << r;
        }
    }
    for (const DeltaRecord &r : std::as_const(copies)) applyOne(ctx, rules, DeltaChange::Insert, {}, r, locked);
    return int(copies.size());
}

void removeDependents(CallContext &ctx, const TableLayout &layout, const QString &parent, const QVariant &value, bool unlinkOnly,
                      const QString &priceTable) {
    const int column = layout.index(parent);
    QVector<Values> rows;
    {
        Query q(ctx.db, layout.select(QStringLiteral("WHERE %1 = ?").arg(parent)));
        q.bind(value).exec();
        while (q.next()) {
            Values row;
            for (int i = 0; i < layout.columns().size(); ++i) row << Entity::columnValue(q.value(i), layout.columns()[i].type);
            rows << row;
        }
    }
    for (const Values &row : std::as_const(rows)) {
        if (unlinkOnly) {
            Values after = row;
            after[column] = QVariant();
            tell(ctx, layout, DeltaChange::Update, layout.keyOf(row), &row, &after, {column}, priceTable);
        } else {
            tell(ctx, layout, DeltaChange::Delete, layout.keyOf(row), &row, nullptr, allColumns(layout), priceTable);
        }
    }
    Query change(ctx.db, unlinkOnly ? QStringLiteral("UPDATE %1 SET %2 = NULL WHERE %2 = ?").arg(layout.table(), parent)
                                    : QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(layout.table(), parent));
    change.bind(value).exec();
}

void tooLong(const CallContext &ctx) {
    throw RpcError(RpcCode::Storage,
                   QStringLiteral("A gravação excedeu o tempo máximo de %1 s permitido pelo servidor de aplicação e foi desfeita: nada foi "
                                  "gravado. Envie as alterações em partes menores.")
                       .arg(std::max<qint64>(1, ctx.writeLimit.count() / 1000)));
}

}  // namespace WritePath
