#pragma once
// Page family "Tabela de Preço": the price table records. The new code comes
// from the server, the checks run before a row is posted, every post and
// delete goes to the server at once, and the grid's keys keep the numeric
// columns numbers.

#include "read_mark.h"
#include "method_names.h"
#include "screen_page.h"

class TPriceTablesPage : public TScreenPage {
    Q_OBJECT
public:
    explicit TPriceTablesPage(TPageHost &frame);

    TClientTable *cdsTbPreco;
    TDataSource *dtsTbPreco;
    TDBGrid *dbgTabelaPreco;
    QWidget *tshTabelaPreco;

    // The current price table's code and name.
    QString currentCode() const;
    QString currentName() const;
    // "Copiar": asks the new name and has the server copy the current price
    // table with its bands and permissions; the copy becomes current.
    void copyCurrent();
    // Reloads the list and goes back to the row that was current.
    void reloadKeepingRow(WaitKind wait);
    // Reads the list, noting what it read for: showing the sheet again reads nothing until a change is sent.
    // `answered`: the list's answer already at hand (read in a batch).
    void load(WaitKind wait, const RpcReply *answered = nullptr);

    QList<QWidget *> sheets() const override { return {tshTabelaPreco}; }
    TClientTable *currentTable(QWidget *) const override { return cdsTbPreco; }
    TDBGrid *currentGrid(QWidget *) const override { return dbgTabelaPreco; }
    void shown(QWidget *sheet) override;
    void refresh(QWidget *sheet) override;
    void enable(QWidget *sheet, bool browse, ToolActions &a) const override;
    QList<SavedList> savedLists() override { return {{cdsTbPreco, [this] { cdsTbPrecoAfterPost(); }, Method::SetIncTbPre}}; }

    void cdsTbPrecoBeforeInsert();
    void cdsTbPrecoAfterInsert();
    void cdsTbPrecoDTINIPRECOPROPSetText(TField &field, const QString &text);
    void cdsTbPrecoDTFINPRECOPROPSetText(TField &field, const QString &text);
    void cdsTbPrecoBeforePost();
    void cdsTbPrecoAfterPost();
    void cdsTbPrecoBeforeDelete();
    void cdsTbPrecoAfterDelete();
    void dbgTabelaPrecoColExit();
    void dbgTabelaPrecoKeyPress(QChar &key);
    void vd_PRECOPROPOSTA(bool show);

private:
    ReadMark m_read;  // the list as last read (see read_mark.h)
};
