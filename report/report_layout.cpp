#include "report_layout.h"

#include "routines.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRawFont>
#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr double kGap = 8;          // between two matrices on a page
constexpr double kRowHeight = 8.8;  // a body row: 150 users fill three landscape A4 pages
constexpr double kMaxColumn = 70;   // widest value column
constexpr double kCellPad = 2.5;

QFont fontOf(double points, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setKerning(false);
    return f;
}

// Width in points of a text in a font given in points.
double textWidth(const QFont &font, const QString &text) {
    QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid()) return QFontMetricsF(font).horizontalAdvance(text) * 72.0 / 96.0;
    raw.setPixelSize(font.pointSizeF());
    const QVector<quint32> glyphs = raw.glyphIndexesForString(text);
    double w = 0;
    for (const QPointF &a : raw.advancesForGlyphIndexes(glyphs)) w += a.x();
    return w;
}

// The digits and signs of cell values as glyphs of one font, so a page's
// values go to the device as one glyph run instead of one text layout each.
class CellGlyphs {
public:
    CellGlyphs(const QFont &font, double pixelSize) : m_raw(QRawFont::fromFont(font)) {
        if (!m_raw.isValid()) return;
        m_raw.setPixelSize(pixelSize);
        const QString chars = QStringLiteral("0123456789.,-");
        const QVector<quint32> glyphs = m_raw.glyphIndexesForString(chars);
        const QVector<QPointF> advances = m_raw.advancesForGlyphIndexes(glyphs);
        for (int i = 0; i < chars.size() && i < glyphs.size(); ++i) {
            m_glyph[chars[i].unicode()] = glyphs[i];
            m_advance[chars[i].unicode()] = advances[i].x();
        }
    }
    bool isValid() const { return m_raw.isValid(); }
    const QRawFont &font() const { return m_raw; }
    double width(const QString &text) const {
        double w = 0;
        for (QChar c : text) w += c.unicode() < 128 ? m_advance[c.unicode()] : 0;
        return w;
    }
    // Adds the text with its right end at x on the baseline y.
    void add(const QString &text, double right, double y, QVector<quint32> &glyphs, QVector<QPointF> &positions) const {
        double x = right - width(text);
        for (QChar c : text) {
            if (c.unicode() >= 128) continue;
            glyphs.append(m_glyph[c.unicode()]);
            positions.append(QPointF(x, y));
            x += m_advance[c.unicode()];
        }
    }

private:
    QRawFont m_raw;
    quint32 m_glyph[128] = {};
    double m_advance[128] = {};
};

}  // namespace

namespace {
// Whether a value is rounded to the cent by the host's decimal rounding
// (halves, and what does not fit in whole cents) rather than by llround.
bool roundedByHost(double value) {
    const double scaled = value * 100;
    return !std::isfinite(scaled) || std::fabs(scaled) > 9e15 || std::fabs(std::fabs(scaled - std::trunc(scaled)) - 0.5) < 1e-6;
}
}  // namespace

double ReportLayout::printedValue(double value) {
    if (ReportMatrix::isNone(value)) return value;
    // Halves are left to the decimal rounding of the host; the rest rounds here.
    if (roundedByHost(value)) return RoundDec(value, 2);
    return double(std::llround(value * 100)) / 100;
}

QString ReportLayout::cellText(double value) {
    if (ReportMatrix::isNone(value)) return QString();
    if (roundedByHost(value)) return NumberText::format(value, QStringLiteral("#,##0.00"));
    qint64 cents = std::llround(value * 100);
    const bool negative = cents < 0;
    if (negative) cents = -cents;
    QString whole = QString::number(cents / 100);
    for (int i = int(whole.size()) - 3; i > 0; i -= 3) whole.insert(i, QLatin1Char('.'));
    const int c = int(cents % 100);
    QString out;
    out.reserve(whole.size() + 4);
    if (negative) out += QLatin1Char('-');
    out += whole;
    out += QLatin1Char(',');
    out += QLatin1Char(char('0' + c / 10));
    out += QLatin1Char(char('0' + c % 10));
    return out;
}

ReportLayout::ReportLayout(const ReportDocument &doc, const QPageLayout &page) : m_doc(doc), m_page(page) {
    measure();
    layOut();
}

void ReportLayout::measure() {
    const QRectF area = m_page.paintRect(QPageLayout::Point);
    m_width = area.width();
    m_height = area.height();
    m_labelFont = fontOf(7.5);
    m_headFont = fontOf(7, true);

    // Title block: the title, then the header items, wrapped to the width.
    int lines = 1;
    double x = 0;
    for (const auto &[label, value] : m_doc.header) {
        const double w = textWidth(m_labelFont, label + QStringLiteral(": ") + value) + 14;
        if (x > 0 && x + w > m_width) {
            ++lines;
            x = 0;
        }
        x += w;
    }
    m_titleHeight = 20 + lines * 10.5 + 8;
    m_footerHeight = 14;
    m_headingHeight = 14;
    m_axisHeight = 10;
    m_rowHeight = kRowHeight;
    m_rowHeadWidth = std::max(40.0, textWidth(m_headFont, m_doc.rowAxis) + 2 * kCellPad);

    // One value width for the whole report: the narrowest column holds the widest value.
    int widestColumns = 1;
    double widest = 0;
    CellGlyphs probe(fontOf(7), 7);
    for (const ReportMatrix &m : m_doc.matrices) {
        widestColumns = std::max(widestColumns, m.columns);
        double hi = 0, lo = 0;
        for (double v : m.values)
            if (!ReportMatrix::isNone(v)) {
                hi = std::max(hi, v);
                lo = std::min(lo, v);
            }
        for (double v : {hi, lo}) widest = std::max(widest, probe.isValid() ? probe.width(cellText(v)) : textWidth(fontOf(7), cellText(v)));
    }
    m_columnWidth = std::min(kMaxColumn, (m_width - m_rowHeadWidth) / widestColumns);
    m_cellPoints = 7;
    if (widest > 0 && widest > m_columnWidth - 2 * kCellPad) m_cellPoints = std::max(4.0, 7 * (m_columnWidth - 2 * kCellPad) / widest);
}

double ReportLayout::matrixHeaderHeight() const { return m_headingHeight + 2 * m_axisHeight; }

void ReportLayout::layOut() {
    const double body = m_height - m_titleHeight - m_footerHeight;
    const double header = matrixHeaderHeight();
    const int perPage = std::max(1, int(std::floor((body - header) / m_rowHeight + 1e-9)));
    m_pages.append(Page());
    double y = 0;
    for (int i = 0; i < m_doc.matrices.size(); ++i) {
        const ReportMatrix &m = m_doc.matrices[i];
        if (m.rows == 0) continue;
        // A matrix starts on the page under way only when it ends there too.
        if (y > 0 && y + header + m.rows * m_rowHeight > body) {
            m_pages.append(Page());
            y = 0;
        }
        int first = 0;
        while (first < m.rows) {
            int fit = y == 0 ? perPage : int(std::floor((body - y - header) / m_rowHeight + 1e-9));
            if (fit <= 0) {
                m_pages.append(Page());
                y = 0;
                continue;
            }
            const int n = std::min(fit, m.rows - first);
            m_pages.last().slices.append({i, first, n, y, first > 0});
            y += header + n * m_rowHeight + kGap;
            first += n;
            if (first < m.rows) {
                m_pages.append(Page());
                y = 0;
            }
        }
    }
}

namespace {

const ReportCanvas::Font kTitle{13, true}, kLabel{7.5, false}, kHeading{9, true}, kHead{7, true}, kFooter{7, false};

QFont qFont(const ReportCanvas::Font &f) { return fontOf(f.points, f.bold); }

// Qt's painter: positions from points times the device's resolution; fonts
// in points resolve at the device's own resolution.
class PainterCanvas : public ReportCanvas {
public:
    explicit PainterCanvas(QPainter &p) : m_p(p), m_s(p.device()->logicalDpiY() / 72.0) {}
    void text(const QRectF &r, Qt::Alignment align, const Font &font, const QString &text) override {
        m_p.setPen(Qt::black);
        m_p.setFont(qFont(font));
        m_p.drawText(scaled(r), int(align), text);
    }
    void fill(const QRectF &r, const QColor &color) override { m_p.fillRect(scaled(r), color); }
    void line(const QPointF &a, const QPointF &b, double width, const QColor &color) override {
        m_p.setPen(QPen(color, width * m_s));
        m_p.drawLine(a * m_s, b * m_s);
    }
    // The values of a slice as one glyph run instead of one text layout each.
    void cells(const QVector<Cell> &cells, const Font &font) override {
        const QFont f = qFont(font);
        if (!m_glyphs || m_glyphsFor != font.points) {
            m_glyphs = std::make_unique<CellGlyphs>(f, font.points * m_s);
            m_glyphsFor = font.points;
        }
        if (!m_glyphs->isValid()) {
            for (const Cell &c : cells) text(QRectF(c.right - 200, c.baseline - font.points, 200, font.points), Qt::AlignRight | Qt::AlignBottom, font, c.text);
            return;
        }
        QVector<quint32> glyphs;
        QVector<QPointF> positions;
        glyphs.reserve(cells.size() * 10);
        positions.reserve(cells.size() * 10);
        for (const Cell &c : cells) m_glyphs->add(c.text, c.right * m_s, c.baseline * m_s, glyphs, positions);
        if (glyphs.isEmpty()) return;
        QGlyphRun run;
        run.setRawFont(m_glyphs->font());
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        m_p.setPen(Qt::black);
        m_p.drawGlyphRun(QPointF(0, 0), run);
    }

private:
    QRectF scaled(const QRectF &r) const { return QRectF(r.x() * m_s, r.y() * m_s, r.width() * m_s, r.height() * m_s); }
    QPainter &m_p;
    double m_s;
    std::unique_ptr<CellGlyphs> m_glyphs;
    double m_glyphsFor = 0;
};

}  // namespace

void ReportLayout::paintPage(QPainter &painter, int index) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    PainterCanvas canvas(painter);
    paintPage(canvas, index);
    painter.restore();
}

void ReportLayout::paintPage(ReportCanvas &canvas, int index) const {
    if (index < 0 || index >= m_pages.size()) return;
    const QColor rule(110, 110, 110), band(238, 241, 246), headFill(214, 221, 232);

    // Title block.
    canvas.text(QRectF(0, 0, m_width, 18), Qt::AlignLeft | Qt::AlignVCenter, kTitle, m_doc.title);
    double x = 0, y = 20;
    for (const auto &[label, value] : m_doc.header) {
        const QString text = label + QStringLiteral(": ") + value;
        const double w = textWidth(m_labelFont, text) + 14;
        if (x > 0 && x + w > m_width) {
            x = 0;
            y += 10.5;
        }
        canvas.text(QRectF(x, y, w, 10.5), Qt::AlignLeft | Qt::AlignVCenter, kLabel, text);
        x += w;
    }
    canvas.line(QPointF(0, m_titleHeight - 4), QPointF(m_width, m_titleHeight - 4), 0.8, Qt::black);

    // Matrices.
    const ReportCanvas::Font cellFont{m_cellPoints, false};
    QVector<ReportCanvas::Cell> cells;
    for (const Slice &sl : m_pages[index].slices) {
        const ReportMatrix &m = m_doc.matrices[sl.matrix];
        const double colW = std::min(kMaxColumn, (m_width - m_rowHeadWidth) / std::max(1, m.columns));
        const double width = m_rowHeadWidth + colW * m.columns;
        double top = m_titleHeight + sl.top;
        canvas.text(QRectF(0, top, m_width, m_headingHeight), Qt::AlignLeft | Qt::AlignVCenter, kHeading,
                    sl.continued ? m.heading + QStringLiteral("  (continuação)") : m.heading);
        top += m_headingHeight;
        const double headTop = top;
        canvas.fill(QRectF(0, top, width, 2 * m_axisHeight), headFill);
        canvas.text(QRectF(m_rowHeadWidth, top, colW * m.columns, m_axisHeight), Qt::AlignCenter, kHead, m_doc.columnAxis);
        canvas.text(QRectF(0, top + m_axisHeight, m_rowHeadWidth - kCellPad, m_axisHeight), Qt::AlignRight | Qt::AlignVCenter, kHead,
                    m_doc.rowAxis);
        for (int k = 0; k < m.columns; ++k)
            canvas.text(QRectF(m_rowHeadWidth + k * colW, top + m_axisHeight, colW - kCellPad, m_axisHeight), Qt::AlignRight | Qt::AlignVCenter,
                        kHead, QString::number(k + 1));
        top += 2 * m_axisHeight;
        for (int r = 1; r < sl.rowCount; r += 2) canvas.fill(QRectF(0, top + r * m_rowHeight, width, m_rowHeight), band);
        // Row captions (the row's number) and values.
        const double baseline = (m_rowHeight + m_cellPoints * 0.72) / 2;
        cells.clear();
        for (int r = 0; r < sl.rowCount; ++r) {
            const int row = sl.firstRow + r;
            const double base = top + r * m_rowHeight + baseline;
            cells.append({QString::number(row + 1), m_rowHeadWidth - kCellPad, base});
            for (int k = 0; k < m.columns; ++k) {
                QString text = cellText(m.at(row, k));
                if (!text.isEmpty()) cells.append({std::move(text), m_rowHeadWidth + (k + 1) * colW - kCellPad, base});
            }
        }
        canvas.cells(cells, cellFont);
        const double bottom = top + sl.rowCount * m_rowHeight;
        canvas.line(QPointF(0, headTop), QPointF(width, headTop), 0.4, rule);
        canvas.line(QPointF(0, bottom), QPointF(width, bottom), 0.4, rule);
        canvas.line(QPointF(0, headTop), QPointF(0, bottom), 0.4, rule);
        canvas.line(QPointF(width, headTop), QPointF(width, bottom), 0.4, rule);
        canvas.line(QPointF(m_rowHeadWidth, headTop), QPointF(m_rowHeadWidth, bottom), 0.4, rule);
        canvas.line(QPointF(0, top), QPointF(width, top), 0.4, rule);
    }

    // Footer.
    const double fy = m_height - m_footerHeight + 3;
    canvas.text(QRectF(0, fy, m_width / 2, m_footerHeight - 3), Qt::AlignLeft | Qt::AlignVCenter, kFooter,
                QStringLiteral("%1  —  emitido em %2").arg(m_doc.code, m_doc.issued.toString(QStringLiteral("dd/MM/yyyy hh:mm"))));
    canvas.text(QRectF(m_width / 2, fy, m_width / 2, m_footerHeight - 3), Qt::AlignRight | Qt::AlignVCenter, kFooter,
                QStringLiteral("Página %1 de %2").arg(index + 1).arg(m_pages.size()));
}

void ReportLayout::paint(QPagedPaintDevice &device, int from, int to) const {
    const int first = from > 0 ? from - 1 : 0;
    const int last = to > 0 ? std::min(to, pageCount()) - 1 : pageCount() - 1;
    QPainter painter(&device);
    for (int i = first; i <= last; ++i) {
        if (i > first) device.newPage();
        paintPage(painter, i);
    }
}
