#pragma once
// Page family "Permissão por Operador": the discount each operator may grant
// on a price table, by discount type (rental, maintenance, licence of use).
// One permission per price table, operator and type, for active operators
// only; every posted or deleted permission goes to the server at once.

#include "price_table_list.h"
#include "method_names.h"
#include "screen_page.h"

#include <QStyle>
#include <memory>

class QPainter;
class TColumn;

class TPermissionsPage : public TScreenPage {
    Q_OBJECT
public:
    explicit TPermissionsPage(TPageHost &frame);
    ~TPermissionsPage() override;

    TClientTable *cdsPerOper;
    TDataSource *dtsPerOper;
    TDBGrid *dbgPerOper;
    QWidget *tshPermOper;
    TClientTable *cdsVdOpTipo;  // answer of the repeated-permission question

    // The list's sheet and the price table its rows were loaded for.
    const TPriceTableList &list() const { return *m_list; }

    QList<QWidget *> sheets() const override { return {tshPermOper}; }
    TClientTable *currentTable(QWidget *) const override { return cdsPerOper; }
    TDBGrid *currentGrid(QWidget *) const override { return dbgPerOper; }
    void shown(QWidget *sheet) override;
    void refresh(QWidget *sheet) override;
    void enable(QWidget *sheet, bool browse, ToolActions &a) const override;
    QList<SavedList> savedLists() override { return {{cdsPerOper, [this] { cdsPerOperAfterPost(); }, Method::setPerOper}}; }

    void cdsPerOperBeforeEdit();
    void cdsPerOperBeforePost();
    void cdsPerOperAfterPost();
    void cdsPerOperAfterDelete();
    void dbgPerOperColExit();
    void dbgPerOperEditButtonClick();
    void dbgPerOperDrawColumnCell(QPainter *painter, const QRect &rect, int dataCol, TColumn &column, QStyle::State state);
    void dbgPerOperKeyPress(QChar &key);
    // The permission's checks, in order; with show false a missing or too
    // large value ends them silently.
    void vd_OPERPRECOPROP(bool show);

    // What the operator column shows for the row being drawn (outside a
    // paint: the current row): the operator's name, or the code when the row
    // has no name.
    QString operatorCellText() const;

private:
    // The code typed brought to twelve characters and looked up among the
    // active operators (qryOpr); refused with the cursor on the operator when
    // there is none, otherwise its code and name copied into the permission.
    void lookUpOperator();
    std::unique_ptr<TPriceTableList> m_list;
};
