#pragma once
// The screen "Histórico da Tabela de Preço": who changed the current price
// table, its bands and its operators' permissions, and when, field by field,
// with the value before and after. Read-only, modal over the main screen and
// on its connection: the server keeps the trail (GetHistTbPreco).

#include "price_table_context.h"
#include "forms.h"

#include <QHash>
#include <QPointer>

class QTableWidget;

class TfrmHistorico : public TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmHistorico(const PriceTableContext &context, QWidget *parent = nullptr);

    // One line a changed field, newest first.
    QTableWidget *grdHistorico = nullptr;
    // The price table and how many changes the trail holds for it.
    QLabel *lblResumo = nullptr;

    void FormActivate() override;  // loads the trail
    void FormClose() override;
    // "Atualizar" (the routine's confirm button): reads the trail again.
    void sbtConfirmaClick() override;

    // The words a person reads for the trail's table and field names and for
    // a stored value of a field.
    static QString recordLabel(const QString &table, const QString &key, const QString &operatorName = QString());
    static QString fieldLabel(const QString &field);
    static QString valueText(const QString &field, const QString &stored);

private:
    void load();
    void toggleCopy(int row);
    bool eventFilter(QObject *watched, QEvent *event) override;  // a copy's line shows or hides its fields

    QHash<int, int> m_copyChildren;  // a copy's line -> how many field lines follow it
    PriceTableContext m_context;
};

// Module variables of the history screen's unit.
namespace Cli_cot00303 {
extern QPointer<TfrmHistorico> &frmHistorico;
extern bool &boStCriado;

// Opens the screen modally over the main screen, for its current price table.
void CriaHistorico(const PriceTableContext &context);
void Initialization();
void Finalization();
}  // namespace Cli_cot00303
