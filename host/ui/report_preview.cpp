#include "report_preview.h"

#include "desktop_look.h"
#include "report_engine.h"
#include "report_layout.h"

#include <QAction>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

// ------------------------------------------------------------------ page view

ReportPageView::ReportPageView(QWidget *parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("pgvPreview"));
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(40);
    m_pages.setMaxCost(24);  // pages kept drawn for scrolling back
}

void ReportPageView::setReportLayout(const ReportLayout *layout) {
    m_layout = layout;
    m_pages.clear();
    m_lastCurrent = -1;
    updateScrollBars();
    viewport()->update();
}

int ReportPageView::pageCount() const { return m_layout ? m_layout->pageCount() : 0; }

QSizeF ReportPageView::pagePoints() const {
    return m_layout ? m_layout->pageLayout().fullRectPoints().size() : QSizeF(842, 595);
}

QSize ReportPageView::pagePixels() const {
    const double s = m_zoom * logicalDpiX() / 72.0;
    return QSize(qMax(1, qRound(pagePoints().width() * s)), qMax(1, qRound(pagePoints().height() * s)));
}

int ReportPageView::currentPage() const {
    if (pageCount() == 0) return 0;
    // The page that holds the middle of the view's upper third.
    const int y = verticalScrollBar()->value() + viewport()->height() / 3;
    return std::clamp(y / pageStep(), 0, pageCount() - 1);
}

void ReportPageView::goToPage(int index) {
    if (pageCount() == 0) return;
    verticalScrollBar()->setValue(std::clamp(index, 0, pageCount() - 1) * pageStep());
}

void ReportPageView::setZoom(double zoom) {
    m_fitWidth = false;
    applyZoom(zoom);
}

void ReportPageView::applyZoom(double zoom) {
    const int page = currentPage();
    m_zoom = std::clamp(zoom, 0.1, 5.0);
    m_pages.clear();
    updateScrollBars();
    goToPage(page);
    viewport()->update();
}

void ReportPageView::fitWidth() {
    m_fitWidth = true;
    applyZoom((viewport()->width() - 2.0 * kGap) / (pagePoints().width() * logicalDpiX() / 72.0));
}

void ReportPageView::fitPage() {
    const double s = logicalDpiX() / 72.0;
    m_fitWidth = false;
    applyZoom(std::min((viewport()->width() - 2.0 * kGap) / (pagePoints().width() * s),
                     (viewport()->height() - 2.0 * kGap) / (pagePoints().height() * s)));
}

void ReportPageView::updateScrollBars() {
    const QSize page = pagePixels();
    const int total = pageCount() * pageStep() + kGap;
    verticalScrollBar()->setRange(0, qMax(0, total - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    horizontalScrollBar()->setRange(0, qMax(0, page.width() + 2 * kGap - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

const QImage &ReportPageView::pageImage(int index) {
    if (QImage *cached = m_pages.object(index)) return *cached;
    const QSize size = pagePixels();
    auto *image = new QImage(size, QImage::Format_RGB32);
    // The image's resolution is the zoomed screen's, so the layout's points
    // land where they would on paper at this size.
    const double dpi = m_zoom * logicalDpiX();
    image->setDotsPerMeterX(qRound(dpi / 0.0254));
    image->setDotsPerMeterY(qRound(dpi / 0.0254));
    image->fill(Qt::white);
    {
        QPainter p(image);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QRectF paint = m_layout->pageLayout().paintRectPoints();
        p.translate(paint.left() * dpi / 72.0, paint.top() * dpi / 72.0);
        m_layout->paintPage(p, index);
    }
    ++m_drawn;
    m_pages.insert(index, image);
    return *m_pages.object(index);
}

void ReportPageView::paintEvent(QPaintEvent *) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), QColor(128, 128, 128));
    if (!m_layout || pageCount() == 0) return;
    const QSize page = pagePixels();
    const int x = qMax(kGap, (viewport()->width() - page.width()) / 2) - horizontalScrollBar()->value();
    const int top = verticalScrollBar()->value();
    for (int i = top / pageStep(); i < pageCount(); ++i) {
        const int y = kGap + i * pageStep() - top;
        if (y >= viewport()->height()) break;
        p.fillRect(QRect(QPoint(x + 3, y + 3), page), QColor(70, 70, 70));  // the sheet's shadow
        p.drawImage(QPoint(x, y), pageImage(i));
    }
}

void ReportPageView::resizeEvent(QResizeEvent *e) {
    QAbstractScrollArea::resizeEvent(e);
    if (m_fitWidth) fitWidth();  // the width follows the window until a zoom is chosen
    else updateScrollBars();
}

void ReportPageView::scrollContentsBy(int, int) {
    viewport()->update();
    const int current = currentPage();
    if (current != m_lastCurrent) {
        m_lastCurrent = current;
        emit currentPageChanged(current);
    }
}

// ------------------------------------------------------------------ dialog

ReportPreviewDialog::ReportPreviewDialog(ReportEngine &engine, QWidget *parent) : QDialog(parent), m_engine(engine) {
    setObjectName(QStringLiteral("dlgVisualizar"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("tlbVisualizar"));
    m_view = new ReportPageView(this);
    auto add = [&](const QString &text, std::initializer_list<const char *> icons, const QKeySequence &key, auto slot) {
        QAction *a = bar->addAction(text);
        a->setToolTip(key.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText)));
        a->setShortcut(key);
        SetActionLook(a, icons);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add(QStringLiteral("Ajustar à largura"), {"zoom-fit-width", "zoom-fit-best"}, QKeySequence(), [this] { m_view->fitWidth(); });
    add(QStringLiteral("Página inteira"), {"zoom-fit-page", "zoom-original"}, QKeySequence(), [this] { m_view->fitPage(); });
    add(QStringLiteral("Ampliar"), {"zoom-in"}, QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { m_view->setZoom(m_view->zoom() * 1.25); });
    add(QStringLiteral("Reduzir"), {"zoom-out"}, QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { m_view->setZoom(m_view->zoom() / 1.25); });
    bar->addSeparator();
    add(QStringLiteral("Primeira página"), {"go-first"}, QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { showPage(0); });
    add(QStringLiteral("Página anterior"), {"go-previous"}, QKeySequence(Qt::Key_PageUp), [this] { showPage(m_view->currentPage() - 1); });
    m_page = new QSpinBox(bar);
    m_page->setObjectName(QStringLiteral("spnPagina"));
    m_page->setToolTip(QStringLiteral("Página"));
    m_page->setKeyboardTracking(false);
    bar->addWidget(m_page);
    m_count = new QLabel(bar);
    m_count->setObjectName(QStringLiteral("lblPaginas"));
    bar->addWidget(m_count);
    add(QStringLiteral("Próxima página"), {"go-next"}, QKeySequence(Qt::Key_PageDown), [this] { showPage(m_view->currentPage() + 1); });
    add(QStringLiteral("Última página"), {"go-last"}, QKeySequence(Qt::CTRL | Qt::Key_End), [this] { showPage(m_view->pageCount() - 1); });
    bar->addSeparator();
    add(QStringLiteral("Configurar Impressora"), {"document-page-setup", "document-properties"}, QKeySequence(), [this] {
        m_engine.pageSetup(this);
        relayOut();
    });
    add(QStringLiteral("Imprimir"), {"document-print"}, QKeySequence(Qt::CTRL | Qt::Key_P), [this] { m_engine.print(this); });
    // Esc closes it as any dialog; no shortcut of its own to compete with that.
    add(QStringLiteral("Fechar"), {"window-close"}, QKeySequence(), [this] { reject(); });
    layout->addWidget(bar);
    layout->addWidget(m_view, 1);

    connect(m_page, qOverload<int>(&QSpinBox::valueChanged), this, [this](int page) { m_view->goToPage(page - 1); });
    connect(m_view, &ReportPageView::currentPageChanged, this, [this](int index) {
        const QSignalBlocker block(m_page);
        m_page->setValue(index + 1);
    });
    relayOut();
    m_view->setFocus();
}

void ReportPreviewDialog::relayOut() {
    const ReportLayout &l = m_engine.layout();
    m_view->setReportLayout(&l);
    const QSignalBlocker block(m_page);
    m_page->setRange(1, qMax(1, l.pageCount()));
    m_page->setValue(m_view->currentPage() + 1);
    m_count->setText(QStringLiteral(" de %1 ").arg(l.pageCount()));
}

void ReportPreviewDialog::showPage(int index) { m_view->goToPage(index); }
