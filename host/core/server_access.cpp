#include "server_access.h"
#include "method_names.h"

#include "net_connection.h"

void ServerAccess::load(TNetConnection &net) { take(net.Call(Method::getAcesso, {})); }

void ServerAccess::take(const RpcReply &reply) {
    if (!reply.ok) return;  // not reachable now, or an older server: it will refuse what it must
    try {
        const DataPacket p = reply.data.packet();
        const int person = p.fieldIndex(QStringLiteral("NMUSUARIO")), role = p.fieldIndex(QStringLiteral("NMPAPEL")),
                  method = p.fieldIndex(QStringLiteral("NMMETODO"));
        if (person < 0 || role < 0 || method < 0 || p.rows.isEmpty()) return;
        m_methods.clear();
        for (const Row &row : p.rows) m_methods.insert(row.value(method).toString());
        m_person = p.rows.first().value(person).toString();
        m_role = p.rows.first().value(role).toString();
        m_known = true;
    } catch (const PacketError &) {
    }
}

QString ServerAccess::shown() const { return m_known ? QStringLiteral("%1 (%2)").arg(m_person, m_role) : QString(); }

QString ServerAccess::whyNot() const {
    return QStringLiteral("O seu papel (%1) não permite esta operação. Peça ao administrador do servidor um papel com essa permissão.")
        .arg(m_role);
}
