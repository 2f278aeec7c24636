#pragma once
// What a list was last read for: the key (the price table, the row of the
// list above) and how many changes this desktop had sent by then. Showing
// the list's sheet again reads nothing while the mark holds: over a slow
// link each read is a round trip. A save by this desktop (any change it
// sends), a refresh ("Verificar") or another key reads again; changes of
// other desktops show on a refresh.

#include "client_table.h"
#include "net_connection.h"

#include <QString>

class ReadMark {
public:
    // The table still holds what was read for this key, untouched since.
    bool holds(const TClientTable *table, const QString &key = QString()) const {
        return m_valid && key == m_key && m_changesSent == TNetConnection::ChangesSent() && table->Active() &&
               table->ChangeCount() == 0;
    }
    void read(const QString &key = QString()) {
        m_valid = true;
        m_key = key;
        m_changesSent = TNetConnection::ChangesSent();
    }

private:
    bool m_valid = false;
    QString m_key;
    quint64 m_changesSent = 0;
};
