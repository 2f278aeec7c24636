#include "report_engine.h"

#include "dialogs.h"
#include "errors.h"
#include "packet.h"
#include "report_preview.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QScreen>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>

// ------------------------------------------------------------------ definitions

namespace ReportDefinitions {

namespace {
QHash<QString, ReportDefinition> &registry() {
    static QHash<QString, ReportDefinition> r;
    return r;
}
}  // namespace

void add(const QString &code, ReportDefinition definition) { registry().insert(code.trimmed().toUpper(), std::move(definition)); }

const ReportDefinition *find(const QString &code) {
    auto &r = registry();
    auto it = r.constFind(code.trimmed().toUpper());
    return it == r.constEnd() ? nullptr : &it.value();
}

}  // namespace ReportDefinitions

// ------------------------------------------------------------------ desktop windows

namespace {

class DesktopReportDialogs : public IReportDialogs {
public:
    void preview(ReportEngine &engine, QWidget *parent) override {
        // Pages drawn as they come into view: a full price book shows at once.
        ReportPreviewDialog dialog(engine, parent);
        dialog.setWindowTitle(QStringLiteral("Visualizar - %1").arg(engine.document().title));
        dialog.resize(1100, 760);
        dialog.exec();
    }
    bool printDialog(QPrinter &printer, QWidget *parent) override {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("Imprimir"));
        return dialog.exec() == QDialog::Accepted;
    }
    bool pageSetup(QPrinter &printer, QWidget *parent) override {
        QPageSetupDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("Configurar Impressora"));
        return dialog.exec() == QDialog::Accepted;
    }
    bool askText(const QString &caption, const QString &prompt, QString *text, QWidget *parent) override {
        const auto dialog = CreateTitleDialog(caption, prompt, *text, parent);
        if (dialog->exec() != QDialog::Accepted) return false;
        *text = dialog->textValue();
        return true;
    }
    QString saveFileName(const QString &suggested, ReportFiles::Format *format, QWidget *parent) override {
        const QString pdf = QStringLiteral("Documento PDF (*.pdf)"), xlsx = QStringLiteral("Planilha Excel (*.xlsx)"),
                      csv = QStringLiteral("Texto separado por ponto e vírgula (*.csv)");
        QString filter = pdf;
        QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Salvar Como"), suggested,
                                                    QStringList{pdf, xlsx, csv}.join(QStringLiteral(";;")), &filter);
        if (path.isEmpty()) return path;
        // The extension typed wins; without one, the filter chosen gives it.
        if (!ReportFiles::formatFromPath(path, format)) {
            *format = filter == xlsx ? ReportFiles::Format::Xlsx : filter == csv ? ReportFiles::Format::Csv : ReportFiles::Format::Pdf;
            path += *format == ReportFiles::Format::Xlsx ? QStringLiteral(".xlsx") : *format == ReportFiles::Format::Csv ? QStringLiteral(".csv") : QStringLiteral(".pdf");
        }
        return path;
    }
};

IReportDialogs *g_dialogs = nullptr;

}  // namespace

std::unique_ptr<QInputDialog> CreateTitleDialog(const QString &caption, const QString &prompt, const QString &text, QWidget *parent,
                                                int maxLength) {
    auto dialog = std::make_unique<QInputDialog>(parent);
    dialog->setInputMode(QInputDialog::TextInput);
    dialog->setWindowTitle(caption);
    dialog->setLabelText(prompt);
    dialog->setTextValue(text.left(maxLength));
    dialog->setOkButtonText(QStringLiteral("OK"));
    dialog->setCancelButtonText(QStringLiteral("Cancelar"));
    QLineEdit *field = dialog->findChild<QLineEdit *>();
    field->setMaxLength(maxLength);
    // Qt sizes the prompt for a short answer: the caption was cut in the
    // title bar and a full title scrolled out of its field.
    const QFontMetrics fieldFont(field->font());
    const int margins = field->contentsMargins().left() + field->contentsMargins().right() + 16;
    const int fieldWidth = std::max(fieldFont.horizontalAdvance(QString(maxLength, QLatin1Char('x'))),
                                    fieldFont.horizontalAdvance(dialog->textValue())) + margins;
    // The title bar also holds the window's icon and buttons.
    const int captionWidth = QFontMetrics(dialog->font()).horizontalAdvance(caption) + 160;
    int width = std::max(fieldWidth + 40, captionWidth);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    field->setMinimumWidth(std::min(fieldWidth, width - 40));
    dialog->setMinimumWidth(width);
    return dialog;
}

IReportDialogs &ReportDialogs() {
    static DesktopReportDialogs desktop;
    return g_dialogs ? *g_dialogs : desktop;
}

void SetReportDialogs(IReportDialogs *dialogs) { g_dialogs = dialogs; }

// ------------------------------------------------------------------ engine

ReportEngine::ReportEngine() = default;
ReportEngine::~ReportEngine() = default;

void ReportEngine::setDocument(ReportDocument doc) {
    m_layout.reset();  // before the document it points at changes
    m_doc = std::move(doc);
    m_hasDocument = true;
}

void ReportEngine::setTitle(const QString &title) {
    if (title == m_doc.title) return;
    m_layout.reset();
    m_doc.title = title;
}

QPrinter &ReportEngine::printer() {
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageLayout(ReportFiles::defaultPageLayout());
        m_printer->setDocName(QStringLiteral("COT"));
    }
    return *m_printer;
}

const ReportLayout &ReportEngine::layout(const QPageLayout &page) {
    if (!m_layout || !m_layout->pageLayout().isEquivalentTo(page)) {
        m_layout = std::make_unique<ReportLayout>(m_doc, page);
        ++m_layoutsMade;
    }
    return *m_layout;
}

const ReportLayout &ReportEngine::layout() { return layout(printer().pageLayout()); }

void ReportEngine::paint(QPrinter &target) {
    const ReportLayout &l = layout(target.pageLayout());
    if (target.printRange() == QPrinter::PageRange)
        l.paint(target, target.fromPage(), target.toPage());
    else
        l.paint(target);
}

void ReportEngine::preview(QWidget *parent) {
    printer().setDocName(m_doc.title);
    ReportDialogs().preview(*this, parent);
}

void ReportEngine::print(QWidget *parent) {
    QPrinter &p = printer();
    p.setDocName(m_doc.title);
    p.setFromTo(1, layout().pageCount());
    p.setPrintRange(QPrinter::AllPages);
    if (!ReportDialogs().printDialog(p, parent)) return;
    paint(p);
}

void ReportEngine::pageSetup(QWidget *parent) { ReportDialogs().pageSetup(printer(), parent); }

QString ReportEngine::saveAs(QWidget *parent, const QString &titleCaption, const QString &titlePrompt) {
    QString title = m_doc.title;
    if (!ReportDialogs().askText(titleCaption, titlePrompt, &title, parent)) return QString();
    if (!title.trimmed().isEmpty()) setTitle(title.trimmed());
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    ReportFiles::Format format = ReportFiles::Format::Pdf;
    const QString path = ReportDialogs().saveFileName(QDir(folder).filePath(m_doc.code + QStringLiteral(".pdf")), &format, parent);
    if (path.isEmpty()) return QString();
    ReportFiles::Format fromName;
    if (ReportFiles::formatFromPath(path, &fromName)) format = fromName;
    WaitAnimation wait(parent, WaitKind::OverScreen);
    ReportFiles::save(m_doc, path, format, printer().pageLayout());
    return path;
}
