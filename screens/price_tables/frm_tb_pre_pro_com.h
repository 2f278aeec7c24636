#pragma once
// The maintenance screen "Preços e Descontos para Proposta Comercial": price
// tables with their volume discount bands and operator permissions, service
// types and operator service discounts. Every grid edits a client table whose
// posted and deleted rows go to the application server at once.
//
// This class is the frame: layout, connection, activation, page changes, the
// refresh button and the enabling rule. Each page family is its own class
// (TScreenPage); the frame asks the page of the sheet in front for its table,
// its refresh, what showing it does and its part of the enabling rule.

#include "apply_changes.h"
#include "price_table_context.h"
#include "forms.h"
#include "client_table.h"
#include "db_geral.h"
#include "db_grid.h"
#include "net_connection.h"
#include "server_access.h"
#include "page_control.h"
#include "module_state.h"
#include "page_host.h"

#include <QHash>
#include <QPointer>

#include <memory>

class TfrmTbPreProCom;
class TScreenPage;
struct SavedList;
struct ToolActions;
class TPriceTablesPage;
class TBandsPage;
class TPermissionsPage;
class TServiceTypesPage;
class TListReads;
class QLabel;

// Module variables of the main screen's unit (the pages' own in module_state.h).
namespace Cli_cot00300 {
extern QPointer<TfrmTbPreProCom> &frmTbPreProCom;

void CriaTbPreProCom();
void Initialization();
void Finalization();
}  // namespace Cli_cot00300

class TfrmTbPreProCom : public TfrmPadraoGrid, public TPageHost {
    Q_OBJECT
public:
    explicit TfrmTbPreProCom(QWidget *parent = nullptr);
    ~TfrmTbPreProCom() override;

    // Connection to the remote data module.
    TNetConnection *netTbPreProCom = nullptr;
    // What the connection's person may do; asked when the screen connects.
    ServerAccess access;
    bool m_accessAsked = false;  // with the first activation's list

    // Tool bar and menu additions.
    QAction *sbtCadAuto = nullptr;
    QAction *mnuCadAuto = nullptr;
    QAction *sbtCopiar = nullptr;  // "Copiar", also mnuCopiar
    QAction *mnuCopiar = nullptr;
    QAction *sbtHistorico = nullptr;  // "Histórico", also mnuHistorico
    QAction *mnuHistorico = nullptr;
    QAction *sbtCalculadora = nullptr;  // "Calculadora", also mnuCalculadora
    QAction *mnuCalculadora = nullptr;

    // The pages' page controls: "Tabela de Preço" (tshPadrao) and "Tipo de Serviço".
    TPageControl *pgcTabelaPreco = nullptr;
    QWidget *tshTipoServ = nullptr;
    TPageControl *pgcTipoServico = nullptr;

    // The page families.
    TPriceTablesPage *priceTables = nullptr;
    TBandsPage *bands = nullptr;
    TPermissionsPage *permissions = nullptr;
    TServiceTypesPage *serviceTypes = nullptr;
    // The permissions of the current price table, as other screens reach them.
    TClientTable *cdsPerOper = nullptr;

    // Read-only look-ups, run on the application server by name.
    TADOIBQuery *qryOpr = nullptr;
    TDataSource *dtsOp = nullptr;

    // A notice in the bottom bar while the current table holds changes the
    // server has not taken; the refresh discards them.
    QLabel *lblPendentes = nullptr;

    // Handlers of the frame.
    // The role's part of the enabling rule: turns off what the person may
    // not store, and says why in the tool tips (role_actions.cpp).
    void applyRole(TScreenPage *page, QWidget *sheet, ToolActions &a);
    QHash<QAction *, QString> m_ownTips;
    void netTbPreProComBeforeConnect();
    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void pgcPadraoChange();
    void pgcTabelaPrecoChange();
    void pgcTipoServicoChange();
    void sbtIncluirClick() override;
    void sbtVerificarClick() override;
    void sbtGravarClick() override;  // also sends again what the server did not take
    void sbtCadAutoClick();  // "Cadastramento Automático", also mnuCadAuto
    void sbtImprimirClick() override;  // the report screen, on this screen's connection
    void dtsPadraoStateChange();
    void UpdateActions() override;
    // Closing asks about a row being typed and changes the server refused (unsaved_work.cpp).
    bool HasUnsavedWork() const override;
    void SaveUnsavedWork() override;
    void DiscardUnsavedWork() override;
    // Every page's lists saved on the server, with their sending routines.
    QList<SavedList> savedLists() const;

    // The sheet in front and the page family that fills it.
    QWidget *activeSheet() const;
    // F1 opens the guide at the sub-page in front.
    QString HelpTopic() const override { return activeSheet() ? activeSheet()->windowTitle() : QString(); }
    TScreenPage *activePage() const;

    // The load step: calls a get-method under the wait animation and replaces
    // the table's content with the answer. Failures pass on with the
    // animation hidden and the table as it was.
    void loadTable(TClientTable *table, const QString &method, const QVector<RpcArg> &args, WaitKind wait) override;
    void readList(TClientTable *table, const std::function<void()> &read) override;
    // The current price table's code (CDPRECOPROP of cdsTbPreco).
    QString currentPriceTable() const override;
    // What a modal screen opened from here receives.
    PriceTableContext context();
    // True when the grid or its cell editor has the focus.
    bool hasFocus(TDBGrid *grid) const override;

    // What the pages ask of the screen (page_host.h).
    QObject *screen() override { return this; }
    TNetConnection &connection() override { return *netTbPreProCom; }
    TMessages &messages() override { return msgPadrao; }
    void actOn(TClientTable *table) override;
    void showNameOf(TDataSource *priceTables) override;
    QString currentPriceTableName() const override;
    bool inFront(QWidget *sheet) const override { return activeSheet() == sheet; }
    void refreshInFront() override { sbtVerificarClick(); }
    void redraw() override { repaint(); }
    TADOIBQuery *operatorQuery() override { return qryOpr; }
    TDataSource *operatorSource() override { return dtsOp; }

private:
    void addPages(TPageControl *pages, TScreenPage *page);
    // A tool bar button (before "Imprimir") and a menu entry at menuPosition
    // sharing a key, an icon and a handler; the button's hint names the key.
    void addTool(QAction *&button, QAction *&entry, const char *name, const QString &caption, const QString &menuCaption,
                 int menuPosition, const QKeySequence &key, const char *icon, const QString &hint, const std::function<void()> &handler);
    void sheetShown(TPageControl *pages);
    void updatePendingNotice();
    int pendingOnPage();  // changes of the shown page's lists the server has not taken
    int pendingOnScreen() const;  // the same of every page (unsaved_work.cpp)

    int m_shownPending = 0;  // what the pending notice last counted
    std::unique_ptr<TListReads> m_reads;  // the lists whose last load failed
    QHash<QWidget *, TScreenPage *> m_pageOfSheet;
    QHash<QWidget *, TPageControl *> m_sheetsOf;  // a page of pgcPadrao -> its page control
};
