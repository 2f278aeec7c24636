#pragma once
// A list that belongs to one price table (the bands by systems, by users, the
// operator permissions): its sheet says above the grid which price table its
// rows belong to. Showing the sheet, by mouse, keyboard or the screen itself,
// points dtsPadrao at the list, gives its grid the focus and loads it for the
// current price table; "Verificar" loads it again.

#include "apply_changes.h"
#include "read_mark.h"
#include "screen_page.h"

#include <QString>

class QLabel;

class TPriceTableList {
public:
    TPriceTableList(TPageHost &frame, TClientTable *table, TDBGrid *grid, const QString &loadMethod,
                    const char *sheetName, const QString &caption);

    TClientTable *table;
    TDBGrid *grid;
    QWidget *sheet;
    QLabel *lblTabela;  // "Tabela de Preço: code - name" of the rows shown
    QString loadMethod;

    // The price table the rows were loaded for; a row typed into an empty
    // list belongs to it.
    QString loadedFor() const { return m_loadedFor; }

    void shown();                 // dtsPadrao, focus, load unless it holds what it read for the current price table
    void load(WaitKind wait);     // for the current price table
    // Insert with browse, the others with browse and a row; every other tab with browse.
    void enable(bool browse, ToolActions &a) const;

private:
    TPageHost &f;
    QString m_loadedFor;
    ReadMark m_read;
};
