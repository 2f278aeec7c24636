#pragma once
// What the host application offers every module: the application server's
// address and token, and the registry of local table copies made stale.

#include <QObject>
#include <QSet>
#include <QStringList>

#include "tls_trust.h"

struct HostSettings {
    QString webUrl = QStringLiteral("127.0.0.1");
    int webPort = 8300;
    QString token;
    TlsTrust trust;  // for an https:// webUrl
};

const HostSettings &CurrentHostSettings();
void SetHostSettings(const HostSettings &settings);

QString WebURL();
int WebPort();
QString WebToken();

// The host keeps local copies of some tables; a module that wrote to one
// declares it stale here, and the host reloads it when it next needs it.
class LocalCacheRegistry : public QObject {
    Q_OBJECT
public:
    static LocalCacheRegistry &instance();
    void markStale(const QStringList &tables);
    QStringList staleTables() const;  // in the order first marked
    bool isStale(const QString &table) const { return m_stale.contains(table); }
    QStringList takeStale();          // the host's read: returns and clears
    int notices() const { return m_notices; }  // how many times tables were declared stale

signals:
    void tablesMarkedStale(const QStringList &tables);

private:
    QStringList m_order;
    QSet<QString> m_stale;
    int m_notices = 0;
};

void AtualizaLocalCache(const QStringList &tables);
