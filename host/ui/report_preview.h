#pragma once
// The report's preview window. Qt's own preview draws every page before it
// shows the first, which takes minutes for a full price book; this one lays
// the report out once and draws a page only when it comes into view, keeping
// a few drawn pages for scrolling back. Zoom, page navigation and the page
// count as in any preview; print and printer set-up from the window.

#include <QAbstractScrollArea>
#include <QCache>
#include <QDialog>
#include <QImage>

class QLabel;
class QSpinBox;
class ReportEngine;
class ReportLayout;

// The pages one under another, drawn as they come into view.
class ReportPageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ReportPageView(QWidget *parent = nullptr);

    void setReportLayout(const ReportLayout *layout);  // not owned
    int pageCount() const;
    int currentPage() const;  // 0-based: the page at the top of the view
    void goToPage(int index);
    double zoom() const { return m_zoom; }  // 1: the paper's real size
    void setZoom(double zoom);
    void fitWidth();  // also on every resize, until another zoom is chosen
    void fitPage();
    int pagesDrawn() const { return m_drawn; }  // pages drawn so far

signals:
    void currentPageChanged(int index);

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    QSizeF pagePoints() const;
    QSize pagePixels() const;
    int pageStep() const { return pagePixels().height() + kGap; }
    const QImage &pageImage(int index);
    void updateScrollBars();
    void applyZoom(double zoom);

    static constexpr int kGap = 12;
    const ReportLayout *m_layout = nullptr;
    double m_zoom = 1;
    bool m_fitWidth = true;
    QCache<int, QImage> m_pages;
    int m_drawn = 0;
    int m_lastCurrent = -1;
};

class ReportPreviewDialog : public QDialog {
    Q_OBJECT
public:
    ReportPreviewDialog(ReportEngine &engine, QWidget *parent = nullptr);
    ReportPageView *view() const { return m_view; }

private:
    void showPage(int index);
    void relayOut();

    ReportEngine &m_engine;
    ReportPageView *m_view = nullptr;
    QSpinBox *m_page = nullptr;
    QLabel *m_count = nullptr;
};
