#include "report_pdf.h"

#include <QIODevice>
#include <cairo-pdf.h>
#include <cairo.h>
#include <vector>

namespace {

cairo_status_t writeTo(void *closure, const unsigned char *data, unsigned int length) {
    auto *out = static_cast<QIODevice *>(closure);
    return out->write(reinterpret_cast<const char *>(data), qint64(length)) == qint64(length) ? CAIRO_STATUS_SUCCESS
                                                                                              : CAIRO_STATUS_WRITE_ERROR;
}

class CairoCanvas : public ReportCanvas {
public:
    explicit CairoCanvas(cairo_t *cr) : m_cr(cr) {}

    void text(const QRectF &r, Qt::Alignment align, const Font &font, const QString &text) override {
        setFont(font);
        const QByteArray utf8 = text.toUtf8();
        cairo_text_extents_t te;
        cairo_text_extents(m_cr, utf8.constData(), &te);
        cairo_font_extents_t fe;
        cairo_font_extents(m_cr, &fe);
        double x = r.left();
        if (align & Qt::AlignRight) x = r.right() - te.x_advance;
        else if (align & Qt::AlignHCenter) x = r.center().x() - te.x_advance / 2;
        const double y = r.center().y() + (fe.ascent - fe.descent) / 2;
        cairo_set_source_rgb(m_cr, 0, 0, 0);
        cairo_move_to(m_cr, x, y);
        cairo_show_text(m_cr, utf8.constData());
    }
    void fill(const QRectF &r, const QColor &c) override {
        cairo_set_source_rgb(m_cr, c.redF(), c.greenF(), c.blueF());
        cairo_rectangle(m_cr, r.x(), r.y(), r.width(), r.height());
        cairo_fill(m_cr);
    }
    void line(const QPointF &a, const QPointF &b, double width, const QColor &c) override {
        cairo_set_source_rgb(m_cr, c.redF(), c.greenF(), c.blueF());
        cairo_set_line_width(m_cr, width);
        cairo_move_to(m_cr, a.x(), a.y());
        cairo_line_to(m_cr, b.x(), b.y());
        cairo_stroke(m_cr);
    }
    // Digits and signs looked up once per font size; a slice's values go out
    // as one array of positioned glyphs.
    void cells(const QVector<Cell> &cells, const Font &font) override {
        setFont(font);
        if (m_glyphsFor != font.points) prepareGlyphs(font.points);
        m_run.clear();
        m_run.reserve(size_t(cells.size()) * 10);
        for (const Cell &c : cells) {
            double w = 0;
            for (QChar ch : c.text) w += ch.unicode() < 128 ? m_advance[ch.unicode()] : 0;
            double x = c.right - w;
            for (QChar ch : c.text) {
                if (ch.unicode() >= 128 || !m_known[ch.unicode()]) continue;
                m_run.push_back({m_glyph[ch.unicode()], x, c.baseline});
                x += m_advance[ch.unicode()];
            }
        }
        if (m_run.empty()) return;
        cairo_set_source_rgb(m_cr, 0, 0, 0);
        cairo_show_glyphs(m_cr, m_run.data(), int(m_run.size()));
    }

private:
    void setFont(const Font &font) {
        if (font.points == m_points && font.bold == m_bold) return;
        cairo_select_font_face(m_cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(m_cr, font.points);
        m_points = font.points;
        m_bold = font.bold;
    }
    void prepareGlyphs(double points) {
        m_glyphsFor = points;
        std::fill(std::begin(m_known), std::end(m_known), false);
        cairo_scaled_font_t *sf = cairo_get_scaled_font(m_cr);
        const char chars[] = "0123456789.,-";
        for (const char *c = chars; *c; ++c) {
            cairo_glyph_t *glyphs = nullptr;
            int count = 0;
            if (cairo_scaled_font_text_to_glyphs(sf, 0, 0, c, 1, &glyphs, &count, nullptr, nullptr, nullptr) != CAIRO_STATUS_SUCCESS ||
                count != 1) {
                cairo_glyph_free(glyphs);
                continue;
            }
            cairo_text_extents_t e;
            cairo_scaled_font_glyph_extents(sf, glyphs, 1, &e);
            m_glyph[uchar(*c)] = glyphs[0].index;
            m_advance[uchar(*c)] = e.x_advance;
            m_known[uchar(*c)] = true;
            cairo_glyph_free(glyphs);
        }
    }

    cairo_t *m_cr;
    double m_points = -1;
    bool m_bold = false;
    double m_glyphsFor = -1;
    unsigned long m_glyph[128] = {};
    double m_advance[128] = {};
    bool m_known[128] = {};
    std::vector<cairo_glyph_t> m_run;
};

}  // namespace

namespace ReportPdf {

bool write(const ReportLayout &layout, const QString &title, QIODevice *out, QString *error) {
    const QPageLayout &page = layout.pageLayout();
    const QRectF full = page.fullRect(QPageLayout::Point), area = page.paintRect(QPageLayout::Point);
    cairo_surface_t *surface = cairo_pdf_surface_create_for_stream(writeTo, out, full.width(), full.height());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, title.toUtf8().constData());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "cot");
    cairo_t *cr = cairo_create(surface);
    {
        CairoCanvas canvas(cr);
        for (int i = 0; i < layout.pageCount(); ++i) {
            cairo_save(cr);
            cairo_translate(cr, area.x(), area.y());
            layout.paintPage(canvas, i);
            cairo_restore(cr);
            cairo_show_page(cr);
        }
    }
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        if (error) *error = QString::fromUtf8(cairo_status_to_string(status));
        return false;
    }
    return true;
}

}  // namespace ReportPdf
