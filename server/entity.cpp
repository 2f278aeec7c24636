#include "entity.h"

#include "rpc_error.h"

#include <QStringList>
#include <cmath>

namespace {

// Datetime columns are read as text (see packets).
QString selected(const ColumnLayout &c, const QString &alias) {
    const QString name = alias.isEmpty() ? c.name : alias + QLatin1Char('.') + c.name;
    return c.type == FieldType::DateTime ? QStringLiteral("CAST(%1 AS VARCHAR(19))").arg(name) : name;
}

QString selectList(const QVector<ColumnLayout> &columns) {
    QStringList parts;
    for (const ColumnLayout &c : columns) parts << selected(c, QString());
    return parts.join(QStringLiteral(", "));
}

// The client's tables hold every number as a float.
FieldDef wireField(const ColumnLayout &c) {
    return FieldDef{c.name, c.type == FieldType::Integer ? FieldType::Float : c.type, c.type == FieldType::String ? c.size : 0};
}

QVector<ColumnLayout> storedColumns(const Vocabulary::Table &table) {
    QVector<ColumnLayout> columns;
    for (const Vocabulary::Column &c : table.columns) columns.append({c.field(), c.type, c.size, c.key});
    return columns;
}

}  // namespace

TableLayout::TableLayout(const Vocabulary::Table &table) : TableLayout(table.tableName(), storedColumns(table)) {}

TableLayout::TableLayout(QString table, QVector<ColumnLayout> columns) : m_table(std::move(table)), m_columns(std::move(columns)) {
    QStringList names, marks, sets, where;
    for (int i = 0; i < m_columns.size(); ++i) {
        const ColumnLayout &c = m_columns[i];
        names << c.name;
        marks << QStringLiteral("?");
        sets << QStringLiteral("%1 = ?").arg(c.name);
        if (c.key) {
            m_keys << i;
            where << QStringLiteral("%1 = ?").arg(c.name);
        }
    }
    const QString whereKey = where.join(QStringLiteral(" AND "));
    m_selectList = selectList(m_columns);
    m_select = QStringLiteral("SELECT %1 FROM %2 WHERE %3").arg(m_selectList, m_table, whereKey);
    m_insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(m_table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    m_update = QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(m_table, sets.join(QStringLiteral(", ")), whereKey);
    m_delete = QStringLiteral("DELETE FROM %1 WHERE %2").arg(m_table, whereKey);
}

int TableLayout::index(const QString &name) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

const ColumnLayout &TableLayout::column(const QString &name) const {
    const int i = index(name);
    Q_ASSERT(i >= 0);
    return m_columns[i];
}

QVector<FieldDef> TableLayout::fields() const {
    QVector<FieldDef> f;
    for (const ColumnLayout &c : m_columns) f << wireField(c);
    return f;
}

QString TableLayout::select(const QString &rest) const {
    return QStringLiteral("SELECT %1 FROM %2 %3").arg(m_selectList, m_table, rest);
}

ReadView::ReadView(QString from, QVector<Column> columns) : m_from(std::move(from)), m_columns(std::move(columns)) {
    QStringList parts;
    for (const Column &c : m_columns) parts << selected(c.column, c.source);
    m_selectList = parts.join(QStringLiteral(", "));
}

QVector<FieldDef> ReadView::fields() const {
    QVector<FieldDef> f;
    for (const Column &c : m_columns) f << wireField(c.column);
    return f;
}

QString ReadView::select(const QString &rest) const {
    return QStringLiteral("SELECT %1 FROM %2 %3").arg(m_selectList, m_from, rest);
}

Values TableLayout::keyOf(const Values &row) const {
    Values key;
    for (int i : m_keys) key << row.value(i);
    return key;
}

QString TableLayout::selectByKey(bool forUpdate, Dialect dialect) const {
    return forUpdate && dialect == Dialect::PostgreSQL ? m_select + QStringLiteral(" FOR UPDATE") : m_select;
}

namespace Entity {

QString text(const QVariant &v) { return v.isValid() && !v.isNull() ? v.toString() : QString(); }

QVariant columnValue(const QVariant &raw, FieldType type) {
    if (!raw.isValid() || raw.isNull()) return QVariant();
    QVariant out;
    if (!PacketCodec::coerce(raw, FieldDef{QString(), type, 0}, &out)) return QVariant();
    return out;
}

DeltaRecord read(const Delta &delta, const Row &row, const TableLayout &layout) {
    DeltaRecord r;
    const auto &cols = layout.columns();
    r.values.resize(cols.size());
    r.present.resize(cols.size());
    for (int i = 0; i < cols.size(); ++i) {
        const int f = delta.fieldIndex(cols[i].name);
        if (f < 0 || f >= row.size()) continue;
        r.present[i] = true;
        const QVariant &v = row[f];
        if (!v.isValid() || v.isNull()) continue;
        QVariant out;
        if (!PacketCodec::coerce(v, FieldDef{cols[i].name, cols[i].type, cols[i].size}, &out))
            invalidParams(QStringLiteral("O campo %1 das alterações enviadas não tem o tipo esperado.").arg(cols[i].name));
        if (cols[i].type == FieldType::String) {
            const QString s = out.toString();
            if (cols[i].size > 0 && s.size() > cols[i].size)
                refuse(QStringLiteral("O valor do campo %1 (\"%2\") tem mais de %3 caracteres.")
                           .arg(cols[i].name, s.left(60))
                           .arg(cols[i].size));
        }
        r.values[i] = out;
    }
    return r;
}

static void bindAll(Query &q, const Values &values) {
    for (const QVariant &v : values) q.bind(v);
}

std::optional<Values> fetch(DbSession &db, const TableLayout &layout, const Values &key, bool lock) {
    Query q(db, layout.selectByKey(lock, db.dialect()));
    bindAll(q, key);
    q.exec();
    if (!q.next()) return std::nullopt;
    Values row;
    const auto &cols = layout.columns();
    row.reserve(cols.size());
    for (int i = 0; i < cols.size(); ++i) row << columnValue(q.value(i), cols[i].type);
    return row;
}

void insert(DbSession &db, const TableLayout &layout, const Values &row) {
    Query q(db, layout.insertSql());
    bindAll(q, row);
    q.exec();
}

void update(DbSession &db, const TableLayout &layout, const Values &oldKey, const Values &row) {
    Query q(db, layout.updateSql());
    bindAll(q, row);
    bindAll(q, oldKey);
    q.exec();
}

void remove(DbSession &db, const TableLayout &layout, const Values &key) {
    Query q(db, layout.deleteSql());
    bindAll(q, key);
    q.exec();
}

bool same(const QVariant &a, const QVariant &b, FieldType type) {
    const bool an = !a.isValid() || a.isNull(), bn = !b.isValid() || b.isNull();
    if (an || bn) return an && bn;
    switch (type) {
    case FieldType::Float: {
        const double x = a.toDouble(), y = b.toDouble();
        return std::fabs(x - y) <= 1e-9 * std::max({1.0, std::fabs(x), std::fabs(y)});
    }
    case FieldType::Integer: return a.toLongLong() == b.toLongLong();
    case FieldType::DateTime: {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x.date() == y.date() && x.time().hour() == y.time().hour() && x.time().minute() == y.time().minute() &&
               x.time().second() == y.time().second();
    }
    case FieldType::String: return a.toString() == b.toString();
    }
    return false;
}

QVector<int> changedColumns(const TableLayout &layout, const DeltaRecord &oldRec, const DeltaRecord &newRec) {
    QVector<int> changed;
    const auto &cols = layout.columns();
    for (int i = 0; i < cols.size(); ++i)
        if (newRec.has(i) && (!oldRec.has(i) || !same(oldRec.values[i], newRec.values[i], cols[i].type))) changed << i;
    return changed;
}

bool unchangedSince(const TableLayout &layout, const DeltaRecord &oldRec, const QVector<int> &changed, const Values &stored) {
    for (int i : changed)
        if (oldRec.has(i) && !same(oldRec.values[i], stored[i], layout.columns()[i].type)) return false;
    return true;
}

bool unchangedSinceRead(const TableLayout &layout, const DeltaRecord &oldRec, const Values &stored) {
    for (int i = 0; i < layout.columns().size(); ++i)
        if (oldRec.has(i) && !same(oldRec.values[i], stored[i], layout.columns()[i].type)) return false;
    return true;
}

Values merged(const Values &stored, const DeltaRecord &newRec, const QVector<int> &changed) {
    Values row = stored;
    for (int i : changed) row[i] = newRec.values[i];
    return row;
}

}  // namespace Entity
