#pragma once
// What a page family may ask of the screen that holds it. Pages reach the
// screen only through this: its connection and messages, loading a list, the
// list the tool bar acts on, the current price table, the sheet in front and
// the host's operator look-up.

#include "apply_changes.h"
#include "db_geral.h"
#include "messages.h"
#include "net_connection.h"

#include <QString>
#include <QVector>
#include <functional>

class QWidget;
class TClientTable;
class TDataSource;
class TDBGrid;

class QObject;

class TPageHost {
public:
    // The screen itself: owner of the pages, and what the wait animation covers.
    virtual QObject *screen() = 0;
    // The screen's connection to the remote data module.
    virtual TNetConnection &connection() = 0;
    // The screen's message catalogue.
    virtual TMessages &messages() = 0;
    // Calls a get-method under the wait animation and replaces the table's
    // content with the answer; failures pass on with the table as it was.
    virtual void loadTable(TClientTable *table, const QString &method, const QVector<RpcArg> &args, WaitKind wait) = 0;
    // A load of the table made some other way (one call that fills several
    // lists): a failure marks the table unread like loadTable's, and passes on.
    virtual void readList(TClientTable *table, const std::function<void()> &read) = 0;
    // True when the grid or its cell editor has the focus.
    virtual bool hasFocus(TDBGrid *grid) const = 0;
    // The list the tool bar and the navigator act on from now.
    virtual void actOn(TClientTable *table) = 0;
    // The name line under the grids: the price tables' own list shows the
    // current name and the navigator; any other list neither.
    virtual void showNameOf(TDataSource *priceTables) = 0;
    // The current price table's code and name.
    virtual QString currentPriceTable() const = 0;
    virtual QString currentPriceTableName() const = 0;
    // True when the sheet is the one in front.
    virtual bool inFront(QWidget *sheet) const = 0;
    // "Verificar" on the sheet in front.
    virtual void refreshInFront() = 0;
    // Paints the screen now (a long server call follows).
    virtual void redraw() = 0;
    // Active operators by code, or all of them ('T'): the host's look-up and
    // its data source for the search dialog.
    virtual TADOIBQuery *operatorQuery() = 0;
    virtual TDataSource *operatorSource() = 0;

protected:
    ~TPageHost() = default;
};
