#pragma once
// Page family "Permissão por Operador": the discounts each operator may grant
// on the current price table, by discount type (rental, maintenance, licence
// of use). The list loads and shows; its records are not edited here yet, so
// the grid stays read-only and the tool bar offers no change.

#include "price_table_list.h"
#include "screen_page.h"

#include <memory>

class TPermissionsPage : public TScreenPage {
    Q_OBJECT
public:
    explicit TPermissionsPage(TfrmTbPreProCom &frame);
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

private:
    std::unique_ptr<TPriceTableList> m_list;
};
