#pragma once
// Page family "Tipo de Serviço": the service types with the operators that
// may discount each ("Dados por Tipo de Serviço"), and the operators with the
// service types each may discount ("Dados por Operador"): two sheets, each an
// upper list and its lower detail.
//
// The service types themselves (flags and default values) are edited in
// service_types.cpp; the operators' discounts, from either side, in
// operator_service_discounts.cpp. The two discount grids run one
// implementation; a DiscountSide names where they differ.

#include "read_mark.h"
#include "screen_page.h"

class QPainter;

struct DiscountSide {
    TClientTable *table = nullptr;     // cdsOperTipoServ / cdsTipoServOper
    TClientTable *snapshot = nullptr;  // cdsOperTipoServAux / cdsTipoServOperAux
    TDBGrid *grid = nullptr;           // dbgOperador / dbgTpServOper
    TClientTable *master = nullptr;    // cdsTipoServico / cdsOperador
    QString fixedKey;                  // copied from the master on insert: CDTIPOSERV / CDOPERADOR
    QString keyField, nameField;       // the key the user chooses: CDOPERADOR / CDTIPOSERV, and its name
    int keyWidth = 0;                  // 12 / 3
    bool keyIsOperator = false;        // looked up in the host's operators, else on the server
    // Catalogue keys.
    QString msgTitle, msgNoneFound, msgKeyMissing, msgKeyUnknown, msgKeyRepeated, msgPercentMissing,
        msgPercentRange;
    int deltaPosition = 0;  // its argument of SetOperTipoServ
    // The service types' look-up (by code or all) and the answer of the next
    // record number, both of the service types page.
    TClientTable *serviceTypeSearch = nullptr;
    TDataSource *serviceTypeSearchSource = nullptr;
    TClientTable *nextNumber = nullptr;
};

class TServiceTypesPage : public TScreenPage {
    Q_OBJECT
public:
    explicit TServiceTypesPage(TPageHost &frame);

    QWidget *tshDadTipServ, *tshDadoOper;
    TDBGrid *dbgTipoServico, *dbgOperador, *dbgOperDad, *dbgTpServOper;
    TClientTable *cdsTipoServico, *cdsOperTipoServ, *cdsOperTipoServAux, *cdsMaxOperTipoServ;
    TClientTable *cdsOperador, *cdsTipoServOper, *cdsTipoServOperAux, *cdsPesqTipoServ;
    TDataSource *dtsTipoServico, *dtsOperTipoServ, *dtsOperador, *dtsTipoServOper, *dtsPesqTipoServ;

    // The descriptors of the two discount grids.
    DiscountSide ByServiceType() const;
    DiscountSide ByOperator() const;

    QList<QWidget *> sheets() const override { return {tshDadTipServ, tshDadoOper}; }
    TClientTable *currentTable(QWidget *sheet) const override;
    TDBGrid *currentGrid(QWidget *sheet) const override;
    void shown(QWidget *sheet) override;
    void refresh(QWidget *sheet) override;
    void enable(QWidget *sheet, bool browse, ToolActions &a) const override;
    QList<SavedList> savedLists() override;

    // Service types (service_types.cpp).
    void cdsTipoServicoAfterScroll();
    void cdsTipoServicoBeforeInsert();
    void cdsTipoServicoAfterPost();
    void cdsTipoServicoAfterCancel();
    void dbgTipoServicoKeyDown(int &key, Qt::KeyboardModifiers shift);
    void dbgTipoServicoKeyPress(QChar &key);
    void dbgTipoServicoDrawColumnCell(QPainter *canvas, const QRect &rect, TColumn &column, QStyle::State state);

    // Operators' discounts (operator_service_discounts.cpp).
    void cdsOperadorAfterScroll();
    void cdsOperadorBeforeInsert();
    void cdsOperadorAfterCancel();
    void dbgOperDadKeyDown(int &key, Qt::KeyboardModifiers shift);
    void dbgOperDadKeyPress(QChar &key);
    void Vd_Operador(bool required);
    void Vd_TipoServ(bool required);
    void Vd_Percentual();
    void Vd_PercentualTpServ();

private:
    void buildDiscountGrids();
    void wireDiscountSide(const DiscountSide &s);
    // The upper list and the detail of its first row in one call; the list's
    // scroll to that row then finds the detail already there.
    void loadWithDetail(const QString &method, TClientTable *list, TClientTable *detail, ReadMark &mark);
    bool detailPreloaded(const QString &key);

    ReadMark m_typesRead, m_operatorsRead;  // each sheet's upper list and its detail
    bool m_preloaded = false;
    QString m_preloadedKey;
};

namespace ServiceDiscounts {

// The discount records of one grid: snapshot for the duplicate check, the
// fixed key, the key and percentage checks, the number from the server, the
// sending of every posted or deleted row, the key filter and the search.
void BeforeInsert(TPageHost &f, const DiscountSide &s);
void AfterInsert(TPageHost &f, const DiscountSide &s);
void BeforeEdit(TPageHost &f, const DiscountSide &s);
void BeforePost(TPageHost &f, const DiscountSide &s);
void SendChanges(TPageHost &f, const DiscountSide &s);
void ColExit(TPageHost &f, const DiscountSide &s);
void KeyDown(const DiscountSide &s, int &key);
void KeyPress(TPageHost &f, const DiscountSide &s, QChar &key);
void EditButtonClick(TPageHost &f, const DiscountSide &s);
void StateChange(const DiscountSide &s);
void ValidateKey(TPageHost &f, const DiscountSide &s, bool required);
void ValidatePercent(TPageHost &f, const DiscountSide &s);

}  // namespace ServiceDiscounts
