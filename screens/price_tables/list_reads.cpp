#include "list_reads.h"

#include "client_table.h"
#include "screen_page.h"

void TListReads::load(TClientTable *table, const std::function<void()> &read) {
    try {
        read();
    } catch (...) {
        m_failed.insert(table);
        if (m_changed) m_changed();
        throw;
    }
    if (m_failed.remove(table) && m_changed) m_changed();
}

bool TListReads::unread(const TClientTable *table) const {
    return !table || !table->Active() || m_failed.contains(table);
}

void TListReads::restrict(const TClientTable *table, ToolActions &a) const {
    if (!unread(table)) return;
    a.verificar = true;
    if (table && table->Active()) return;  // the rows of the last good read stay workable
    a.incluir = a.alterar = a.excluir = a.procurar = a.imprimir = a.cadAuto = a.copiar = false;
}
