#pragma once
// What the person of a connection may do, as the server tells it
// (getAcesso): the person, the role, the methods allowed. Screens turn off
// what the role does not allow and say why; the server refuses such calls
// on its own all the same.

#include <QSet>
#include <QString>

class TNetConnection;

class ServerAccess {
public:
    // Asks the server. Until it answered (or with a server that does not
    // tell), everything is allowed here and the server's refusals decide.
    void load(TNetConnection &net);
    // The same from an answer of getAcesso already at hand (one sent in a
    // batch with other reads).
    void take(const struct RpcReply &reply);

    bool known() const { return m_known; }
    bool may(const QString &method) const { return !m_known || m_methods.contains(method); }
    QString person() const { return m_person; }
    QString role() const { return m_role; }
    // "Ana Paula (consulta)"; empty until known.
    QString shown() const;
    // Why an action that calls the method is off.
    QString whyNot() const;

private:
    bool m_known = false;
    QString m_person, m_role;
    QSet<QString> m_methods;
};
