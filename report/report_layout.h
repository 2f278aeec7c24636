#pragma once
// Lays a report out on pages once (for a page size) and paints any page: the
// title block and the page footer on every page, each matrix under its heading
// with its column and row captions repeated on every page it runs over. The
// same layout serves the preview, the printer and PDF.

#include "report_document.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QPageLayout>
#include <QVector>

class QPainter;
class QPagedPaintDevice;

// What a page is painted on, in points from the page's paint area: Qt's
// painter for the screen and printers, cairo for PDF files.
class ReportCanvas {
public:
    struct Font {
        double points;
        bool bold;
    };
    struct Cell {  // a right-aligned value of the cell font
        QString text;
        double right, baseline;
    };
    virtual ~ReportCanvas() = default;
    virtual void text(const QRectF &rect, Qt::Alignment align, const Font &font, const QString &text) = 0;
    virtual void fill(const QRectF &rect, const QColor &color) = 0;
    virtual void line(const QPointF &from, const QPointF &to, double width, const QColor &color) = 0;
    virtual void cells(const QVector<Cell> &cells, const Font &font) = 0;
};

class ReportLayout {
public:
    ReportLayout(const ReportDocument &doc, const QPageLayout &page);

    int pageCount() const { return int(m_pages.size()); }
    const QPageLayout &pageLayout() const { return m_page; }
    // Paints page `index` (0-based) on a painter open on a device of this
    // layout's page size; the painter's transform is kept as found.
    void paintPage(QPainter &painter, int index) const;
    void paintPage(ReportCanvas &canvas, int index) const;
    // Paints pages from..to (1-based, inclusive; 0 and 0 for all) on the
    // device, one page after another.
    void paint(QPagedPaintDevice &device, int from = 0, int to = 0) const;

    // Brazilian number text of a cell: 1.234,56.
    static QString cellText(double value);
    // The value a cell prints, as a number: rounded to the cent exactly as
    // cellText rounds it. The files (CSV, XLSX) hold this value.
    static double printedValue(double value);

private:
    struct Slice {  // part of a matrix on a page
        int matrix;
        int firstRow, rowCount;
        double top;  // in points from the page's paint area top
        bool continued;
    };
    struct Page {
        QVector<Slice> slices;
    };

    void layOut();
    void measure();
    double matrixHeaderHeight() const;

    const ReportDocument &m_doc;
    QPageLayout m_page;
    QVector<Page> m_pages;
    // Geometry, in points.
    double m_width = 0, m_height = 0;  // paint area
    double m_titleHeight = 0, m_footerHeight = 0;
    double m_rowHeight = 0, m_headingHeight = 0, m_axisHeight = 0;
    double m_rowHeadWidth = 0, m_columnWidth = 0;
    double m_cellPoints = 7;  // value font size
    QFont m_labelFont, m_headFont;  // for measuring
};
