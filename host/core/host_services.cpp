#include "host_services.h"

static HostSettings g_settings;

const HostSettings &CurrentHostSettings() { return g_settings; }
void SetHostSettings(const HostSettings &settings) { g_settings = settings; }

QString WebURL() { return g_settings.webUrl; }
int WebPort() { return g_settings.webPort; }
QString WebToken() { return g_settings.token; }

LocalCacheRegistry &LocalCacheRegistry::instance() {
    static LocalCacheRegistry registry;
    return registry;
}

void LocalCacheRegistry::markStale(const QStringList &tables) {
    for (const QString &t : tables) {
        if (!m_stale.contains(t)) m_order.append(t);
        m_stale.insert(t);
    }
    ++m_notices;
    emit tablesMarkedStale(tables);
}

QStringList LocalCacheRegistry::staleTables() const { return m_order; }

QStringList LocalCacheRegistry::takeStale() {
    QStringList out = m_order;
    m_order.clear();
    m_stale.clear();
    return out;
}

void AtualizaLocalCache(const QStringList &tables) { LocalCacheRegistry::instance().markStale(tables); }
