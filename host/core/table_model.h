#pragma once
// A Qt item model over a client table, for views: one column per field, one
// row per visible row (the new row of an insert included). Display text comes
// from the fields' get-text and formats; editing goes through set-text.

#include "client_table.h"

#include <QAbstractTableModel>
#include <QPointer>

class TClientTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TClientTableModel(TClientTable *table = nullptr, QObject *parent = nullptr);
    void setTable(TClientTable *table);
    TClientTable *table() const { return m_table; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The text of a cell; rows other than the current one are read through a
    // scratch copy so the get-text handlers always see their own row.
    QString cellText(int row, int field, bool display) const;

private:
    void reset();
    QPointer<TClientTable> m_table;
    QList<QMetaObject::Connection> m_connections;
};
