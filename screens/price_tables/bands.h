#pragma once
// The volume discount bands of a price table: by number of systems and by
// number of users. The two lists are one family of records; a BandSide names
// everything in which one list differs from the other, and one implementation
// of the records (bands.cpp) and of their checks (band_checks.cpp) runs on it.

#include "price_table_list.h"
#include "method_names.h"
#include "screen_page.h"

#include <QString>
#include <memory>

struct BandSide {
    // What the list is made of.
    TClientTable *table = nullptr;  // cdsDescSist / cdsDescUsu
    TDBGrid *grid = nullptr;        // dbgDescSis / dbgDescUsu
    QWidget *page = nullptr;        // its sub-page of "Tabela de Preço"
    const TPriceTableList *list = nullptr;  // the sheet, and the price table it was loaded for
    QString firstField;             // "De": QTINISISTEMAS / QTINIUSUARIOS
    QString lastField;              // "Até": QTFINSISTEMAS / QTFINUSUARIOS
    QString percentField;           // "%Desconto": VRPERCDESCSIST / VRPERCDESCUSU
    QString saveMethod;             // setDescSis / setDescUsu

    // Limits and the messages of the required values.
    int largestLast = 0;        // 20 / 150
    QString msgFirstMissing;    // QTINI_INF / QTINI_INFUSU
    QString msgLastMissing;     // QTFIN_INF / QTFIN_INFUSU
    QString msgLastTooLarge;    // QTFINSIS_MAIOR / QTFINUSU_MAIOR

    // The server's questions and the tables their answers land in. The answer
    // of the duplicate question and of the changed-last question carry the
    // band's own field names.
    QString sameStartMethod;              // getVdQtIniSis / getVdQtIniusu
    TClientTable *sameStartAnswer = nullptr;  // cdsVdQtIniSis / cdsVdQtIniUsu
    QString intervalMethod;               // getVdIntervSis / getVdIntervUsu
    TClientTable *intervalAnswer = nullptr;   // cdsVdIntervSis / cdsVdIntervUsu
    QString intervalField;                // INTERVSIS / INTERVUSU
    QString changedLastMethod;            // getVdFinSistEdit / getVdFinUsuEdit
    TClientTable *changedLastAnswer = nullptr;  // cdsVdFinSistEdit / cdsVdFinUsuEdit
    TClientTable *largestEndBelowAnswer = nullptr;  // cdsQtMaxFin
    QString largestEndBelowField;         // FINSIST / FINUSU of cdsQtMaxFin

    // The first quantity's text at edit start (stVerEditSis / stVerEditUsu).
    QString *rememberedFirst = nullptr;

    // Where the two lists behave differently.
    bool remembersFirstBeforeEdit = false;  // users: at before edit; systems: at after edit
    bool checksLastOnLeavingIt = false;     // users: an edited band's "Até" is checked on leaving it
    bool checksFirstBeforePost = false;     // systems: an edited band's "De" is checked again at posting
    bool waitsWhileSendingAfterPost = false;  // users: the wait animation while a posted band is sent
};

// Page family "Desconto por Sistema" / "Desconto por Usuário": both band
// lists of the current price table and the answer tables of their checks.
class TBandsPage : public TScreenPage {
    Q_OBJECT
public:
    explicit TBandsPage(TPageHost &frame);
    ~TBandsPage() override;

    TClientTable *cdsDescSist, *cdsDescUsu;
    TDataSource *dtsDescSist, *dtsDescUsu;
    TDBGrid *dbgDescSis, *dbgDescUsu;
    QWidget *tshDescSist, *tshDescUsu;
    // Answers of the server-side checks.
    TClientTable *cdsQtMaxFin, *cdsVdQtIniSis, *cdsVdQtIniUsu, *cdsVdIntervSis, *cdsVdIntervUsu, *cdsVdFinSistEdit,
        *cdsVdFinUsuEdit;

    // The descriptors of the two lists.
    BandSide Systems() const;
    BandSide Users() const;
    const TPriceTableList &list(QWidget *sheet) const;

    QList<QWidget *> sheets() const override { return {tshDescSist, tshDescUsu}; }
    TClientTable *currentTable(QWidget *sheet) const override { return list(sheet).table; }
    TDBGrid *currentGrid(QWidget *sheet) const override { return list(sheet).grid; }
    void shown(QWidget *sheet) override;
    void refresh(QWidget *sheet) override;
    void enable(QWidget *sheet, bool browse, ToolActions &a) const override;
    QList<SavedList> savedLists() override {
        return {{cdsDescSist, [this] { cdsDescSistAfterPost(); }, Method::setDescSis},
                {cdsDescUsu, [this] { cdsDescUsuAfterPost(); }, Method::setDescUsu}};
    }

    void cdsDescSistBeforeEdit();
    void cdsDescSistAfterEdit();
    void cdsDescSistBeforePost();
    void cdsDescSistAfterPost();
    void cdsDescSistAfterDelete();
    void dbgDescSisColExit();
    void dbgDescSisKeyPress(QChar &key);
    void cdsDescUsuBeforeEdit();
    void cdsDescUsuBeforePost();
    void cdsDescUsuAfterPost();
    void cdsDescUsuAfterDelete();
    void dbgDescUsuColExit();
    void dbgDescUsuKeyPress(QChar &key);
    void vd_QTINISISTEMAS(bool show);
    void vd_QTINIUSUARIOS(bool show);
    void vd_IntervSis();
    void vd_IntervUsu();
    void vd_VdFinSistEdit();
    void vd_VdFinUsuEdit();
    void vd_QtMaxFin(bool flag);

private:
    std::unique_ptr<TPriceTableList> m_systems, m_users;
};

namespace Bands {

// The band records: edit-start capture, key filter, column exit, posting and
// the sending of every posted or deleted band.
void BeforeEdit(TPageHost &f, const BandSide &s);
void AfterEdit(TPageHost &f, const BandSide &s);
void BeforePost(TPageHost &f, const BandSide &s);
void AfterPost(TPageHost &f, const BandSide &s);
void AfterDelete(TPageHost &f, const BandSide &s);
void ColExit(TPageHost &f, const BandSide &s);
void KeyPress(TPageHost &f, const BandSide &s, QChar &key);

// Sends the list's pending changes, if any, and merges them once the server
// took them; a refusal is shown and the changes stay pending.
void SendChanges(TPageHost &f, const BandSide &s, bool withWait);

}  // namespace Bands
