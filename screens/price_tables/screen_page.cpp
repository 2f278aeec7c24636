#include "screen_page.h"

#include "module_state.h"
#include "page_host.h"

#include <QGroupBox>
#include <QSplitter>
#include <QVBoxLayout>

TScreenPage::TScreenPage(TPageHost &host) : QObject(host.screen()), f(host) {}

bool HasRows(const TClientTable *t) { return t && t->Active() && t->RecordCount() > 0; }

bool Is(const TField *field, const QString &name) {
    return field && field->FieldName().compare(name, Qt::CaseInsensitive) == 0;
}

bool Passes(QChar key) {
    const ushort c = key.unicode();
    return c == 9 || c == 13 || (c >= 37 && c <= 40);
}

namespace {

const TDBGridOptions kGridOptions = dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                                    dgConfirmDelete | dgCancelOnExit;

QGroupBox *framed(const QString &caption, TDBGrid *grid) {
    auto *box = new QGroupBox(caption);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(grid);
    return box;
}

}  // namespace

TDBGrid *MakeGrid(const char *name, TDataSource *source, const ColumnSpecs &columns, bool alwaysShowSelection) {
    auto *g = new TDBGrid;
    g->setObjectName(QString::fromLatin1(name));
    g->SetOptions(alwaysShowSelection ? kGridOptions | dgAlwaysShowSelection : kGridOptions);
    g->SetColor(clInfoBk());
    g->SetDataSource(source);
    DefineColumns(g, columns);
    return g;
}

QWidget *GridSheet(const char *name, const QString &caption, TDBGrid *grid, QWidget *above) {
    auto *sheet = new QWidget;
    sheet->setObjectName(QString::fromLatin1(name));
    sheet->setWindowTitle(caption);
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(2, 2, 2, 2);
    if (above) layout->addWidget(above);
    layout->addWidget(grid);
    return sheet;
}

QWidget *SplitSheet(const char *name, const QString &caption, const QString &upperTitle, TDBGrid *upper,
                    const QString &lowerTitle, TDBGrid *lower) {
    auto *sheet = new QWidget;
    sheet->setObjectName(QString::fromLatin1(name));
    sheet->setWindowTitle(caption);
    auto *split = new QSplitter(Qt::Vertical, sheet);
    split->addWidget(framed(upperTitle, upper));
    split->addWidget(framed(lowerTitle, lower));
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(split);
    return sheet;
}
