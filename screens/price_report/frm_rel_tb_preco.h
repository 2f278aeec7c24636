#pragma once
// The report screen "Relatório de Tabela de Preço - Proposta Comercial": the
// parameters of the price simulation (price tables, price types, numbers of
// systems and users, location mode), the validation chain that guards every
// report action, and the preview that runs the simulation and hands its rows
// to the report "COT003".

#include "forms.h"
#include "net_connection.h"
#include "value_limits.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QHash>
#include <QPointer>
#include <QRadioButton>

class TfrmRelTbPreco : public TfrmDadosGerRel {
    Q_OBJECT
public:
    // The screen makes every call through the connection it is given (the
    // main screen's); it has none of its own.
    explicit TfrmRelTbPreco(TNetConnection *connection, QWidget *parent = nullptr);

    static constexpr int MaxSist = Limits::MaxSystems;
    static constexpr int MaxUsu = Limits::MaxUsers;

    QGroupBox *gpbTbPreco = nullptr, *gpbTipo = nullptr, *gpbNRs = nullptr, *grbModoLocal = nullptr;
    QRadioButton *rbtTbPrecoTodos = nullptr, *rbtTbPrecoLista = nullptr;
    TBtnPesquisa *btpTbPreco = nullptr;
    QCheckBox *chkTipoLU = nullptr, *chkTipoManut = nullptr, *chkTipoLoc = nullptr;
    QLabel *lblNrSist = nullptr, *lblNrUsu = nullptr;
    QLabel *lblTbPrecoLista = nullptr;  // the tables picked under "Lista"
    QLineEdit *mskNrSist = nullptr, *mskNrUsu = nullptr;
    QRadioButton *rbtMatrMatr = nullptr, *rbtFiliFili = nullptr, *rbtFiliMatr = nullptr;

    TClientTable *cdsTbPreco, *cdsIndiceBtn, *cdsLuSist, *cdsLuUsu, *cdsAux;
    TDataSource *dtsTbPreco, *dtsAux;

    // Handlers.
    void rbtTbPrecoTodosClick();
    void rbtTbPrecoListaClick();
    void btpTbPrecoClick();
    void mskNrSistKeyPress(QChar &key);
    void mskNrUsuKeyPress(QChar &key);
    void mskNrSistKeyDown(int &key);
    // The checks, the simulation and the report from the options shown; the
    // base's preview, print, printer set-up and save as all start here.
    void buildReport() override;
    void FormClose() override;
    void FormActivate() override;  // the first choice takes the focus

    // The validation chain, in its order; each stops the action on failure.
    void vd_LimiteSist(bool show);
    void vd_LimiteUsu(bool show);
    void vd_CheckTipo(bool show);
    void vd_TbPreco(bool show);
    void vd_IndiceMes();
    void runChecks();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showChosenTables();
    void buildControls();
    void defineTables();
    void load(TClientTable *table, const QString &method, const QVector<RpcArg> &args);
    // The reads a report needs, in one batch, once the counts and types are
    // known good: the checks and the build then take their answers from here.
    void prefetchReads();
    // A count field: empty, not a whole number, 0 or less, above the limit.
    int checkCount(QLineEdit *edit, bool show, int limit, const char *emptyKey, const char *lowKey, const char *highKey);
    QString modeCaption() const;

    QPointer<TNetConnection> m_net;
    QHash<QString, RpcReply> m_prefetched;  // by method, until taken by load()
};
