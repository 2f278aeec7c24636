#pragma once
// A page family of the maintenance screen. Each family owns its client
// tables, data sources, grids and handlers, and fills one or more sub-pages
// ("sheets") of the screen's page controls. The frame keeps no knowledge of
// what a page holds: it asks the page of the sheet in front which table the
// tool bar acts on, what showing the sheet does, what "Verificar" reloads and
// which buttons and tabs its state allows.

#include "apply_changes.h"
#include "client_table.h"

#include <QList>
#include <QString>
#include <QObject>

#include <functional>

class QWidget;
class TDBGrid;
class TPageHost;

// What a page allows in the state of dtsPadrao; the frame applies it to the
// tool bar, the menu and the tabs. Save and cancel are the frame's (edit or
// insert state).
struct ToolActions {
    bool incluir = false, alterar = false, excluir = false, procurar = false, verificar = false, imprimir = false;
    bool cadAuto = false;      // "Cadastramento Automático"
    bool copiar = false;       // "Copiar": a new price table from the current one
    bool siblingTabs = false;  // the other sheets of the same page control
    bool otherPages = false;   // the tabs of the screen's other pages
};

// A list whose rows are saved on the server, with the routine that sends its
// pending changes again.
struct SavedList {
    TClientTable *table;
    std::function<void()> send;
    QString method;  // the remote method that stores it: a role without it may not change the list
};

class TScreenPage : public QObject {
    Q_OBJECT
public:
    explicit TScreenPage(TPageHost &frame);

    // The sheets it fills, in tab order; each sheet's windowTitle is its caption.
    virtual QList<QWidget *> sheets() const = 0;
    // The table dtsPadrao follows while the sheet is in front.
    virtual TClientTable *currentTable(QWidget *sheet) const = 0;
    // The grid that takes the typing on the sheet (after "Incluir", on show).
    virtual TDBGrid *currentGrid(QWidget *sheet) const = 0;
    // The sheet came to front, by mouse, keyboard or the screen itself.
    virtual void shown(QWidget *sheet) = 0;
    // "Verificar" while the sheet is in front.
    virtual void refresh(QWidget *sheet) = 0;
    // The page's part of the enabling rule; browse: dtsPadrao is in browse state.
    virtual void enable(QWidget *sheet, bool browse, ToolActions &a) const = 0;
    // The lists it saves on the server: closing the screen asks about the
    // changes they still hold.
    virtual QList<SavedList> savedLists() { return {}; }

protected:
    TPageHost &f;
};

// True when the table is open and holds a row.
bool HasRows(const TClientTable *t);
// True when the field is the one named (field names compare without case).
bool Is(const TField *field, const QString &name);
// Keys a key filter lets through untouched: Tab, Enter and the characters 37 to 40.
bool Passes(QChar key);

// Building blocks of the sheets.
#include "column_layout.h"
#include "db_grid.h"

// A grid with the screen's look (light yellow, the classic options) over a
// data source, its columns from the specs.
TDBGrid *MakeGrid(const char *name, TDataSource *source, const ColumnSpecs &columns, bool alwaysShowSelection);
// A sheet holding one grid, with an optional line above it.
QWidget *GridSheet(const char *name, const QString &caption, TDBGrid *grid, QWidget *above = nullptr);
// A sheet split in two framed grids, upper and lower.
QWidget *SplitSheet(const char *name, const QString &caption, const QString &upperTitle, TDBGrid *upper,
                    const QString &lowerTitle, TDBGrid *lower);
