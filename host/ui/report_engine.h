#pragma once
// The host's report engine: reports defined in code and found by their code,
// the report last built by a preview, and what the report screen does with it:
// preview (zoom, page navigation), print, printer set-up and save as PDF, XLSX
// or CSV. The windows it opens go through a replaceable service, so tests can
// drive every action without a real printer or file dialog.

#include "report_document.h"
#include "report_files.h"
#include "report_layout.h"

#include <QMap>
#include <QPageLayout>
#include <functional>
#include <memory>

class QInputDialog;
class QPrinter;
class QWidget;
struct DataPacket;

// A report definition: the report's rows and the screen's parameters in, the
// laid-out document's content out.
using ReportDefinition = std::function<ReportDocument(const DataPacket &rows, const QMap<QString, QString> &params)>;

namespace ReportDefinitions {
void add(const QString &code, ReportDefinition definition);
const ReportDefinition *find(const QString &code);  // nullptr when none has that code
}  // namespace ReportDefinitions

class ReportEngine;

// The longest report title the "Salvar Como" prompt takes.
constexpr int ReportTitleMaxLength = 80;
// That prompt, wide enough for its caption and for a title of that length.
std::unique_ptr<QInputDialog> CreateTitleDialog(const QString &caption, const QString &prompt, const QString &text, QWidget *parent,
                                                int maxLength = ReportTitleMaxLength);

// The windows of the report actions. The desktop's implementation opens Qt's
// print preview, print, page set-up, input and save dialogs.
class IReportDialogs {
public:
    virtual ~IReportDialogs() = default;
    virtual void preview(ReportEngine &engine, QWidget *parent) = 0;
    virtual bool printDialog(QPrinter &printer, QWidget *parent) = 0;   // true: print
    virtual bool pageSetup(QPrinter &printer, QWidget *parent) = 0;     // true: accepted
    virtual bool askText(const QString &caption, const QString &prompt, QString *text, QWidget *parent) = 0;
    // The file to save to (empty: cancelled) and the format chosen.
    virtual QString saveFileName(const QString &suggested, ReportFiles::Format *format, QWidget *parent) = 0;
};

IReportDialogs &ReportDialogs();
void SetReportDialogs(IReportDialogs *dialogs);  // not owned; nullptr restores the desktop's

class ReportEngine {
public:
    ReportEngine();
    ~ReportEngine();

    // The report a preview built; print, set-up and save as use it unchanged.
    void setDocument(ReportDocument doc);
    bool hasDocument() const { return m_hasDocument; }
    const ReportDocument &document() const { return m_doc; }
    void setTitle(const QString &title);

    // The printer keeps the page set-up between actions (landscape A4 at first).
    QPrinter &printer();
    // The layout for a page: laid out once, again only when the page changes.
    const ReportLayout &layout(const QPageLayout &page);
    const ReportLayout &layout();  // for the printer's page
    // Paints the printer's page range (all pages when none) on it.
    void paint(QPrinter &printer);

    void preview(QWidget *parent);
    void print(QWidget *parent);
    void pageSetup(QWidget *parent);
    // Asks the title (caption and prompt given) and the file, then writes it;
    // the file written, empty when the user gave up.
    QString saveAs(QWidget *parent, const QString &titleCaption, const QString &titlePrompt);

    int layoutsMade() const { return m_layoutsMade; }  // how often the report was laid out

private:
    ReportDocument m_doc;
    bool m_hasDocument = false;
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<ReportLayout> m_layout;
    int m_layoutsMade = 0;
};
