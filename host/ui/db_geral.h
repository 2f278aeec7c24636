#pragma once
// The read-only look-up screens own: a query the application server runs by
// name, whose rows land in a client table. The desktop opens no database.

#include "client_table.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <map>
#include <memory>

class TQueryParam {
public:
    explicit TQueryParam(const QString &name = QString()) : m_name(name) {}
    QString Name() const { return m_name; }
    QVariant Value() const { return m_value; }
    void SetValue(const QVariant &v) { m_value = v; }
    void SetAsString(const QString &s) { m_value = s; }
    QString AsString() const { return m_value.isValid() ? m_value.toString() : QString(); }
    void SetAsInteger(qint64 i) { m_value = i; }
    void SetAsFloat(double d) { m_value = d; }
    void Clear() { m_value = QVariant(); }
    bool IsNull() const { return !m_value.isValid() || m_value.isNull(); }

private:
    QString m_name;
    QVariant m_value;
};

class TNetConnection;

// A read-only query run by the application server by name (SetServerQuery):
// its text stays on the server.
class TADOIBQuery : public QObject {
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject *parent = nullptr);
    ~TADOIBQuery() override;

    // Open() asks the server's named query (method getConsulta) with these
    // parameters, sent as texts by name.
    void SetServerQuery(TNetConnection *net, const QString &name, const QStringList &params);
    // The label of a column (by its name in capitals) that lists and searches
    // show; a column without one shows its name.
    QHash<QString, QString> Labels;

    // The parameter of that name (EAppError when the query has none).
    TQueryParam &ParamByName(const QString &name);

    // Runs the query and loads its rows into DataSet(), cursor
    // on the first row. EAppError with a Portuguese message on failure.
    void Open();
    void Close();
    bool Active() const;
    bool IsEmpty() const;
    int RecordCount() const;
    TField *FieldByName(const QString &name) const;  // EAppError when absent
    TClientTable *DataSet() const { return m_table.get(); }
    void First() { m_table->First(); }
    void Next() { m_table->Next(); }
    bool Eof() const { return m_table->Eof(); }

private:
    DataPacket askServer();
    QPointer<TNetConnection> m_net;
    QString m_queryName;  // the server's named query
    QStringList m_order;  // the parameters, in the order the server binds them
    std::map<QString, TQueryParam> m_params;  // by upper-case name
    std::unique_ptr<TClientTable> m_table;
};
