#include "report_files.h"

#include "app_error.h"
#include "report_layout.h"
#include "report_pdf.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPageSize>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <xlsxwriter.h>

namespace ReportFiles {

namespace {

QString csvField(const QString &text) {
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

[[noreturn]] void cannotWrite(const QString &path, const QString &reason) {
    throw EAppError(QStringLiteral("Não foi possível gravar o arquivo \"%1\": %2. Nada foi gravado.").arg(QDir::toNativeSeparators(path), reason));
}

// Spreadsheet sheet names: at most 31 characters, none of []:*?/\ .
QByteArray sheetName(const QString &name, QStringList &used) {
    QString s = name;
    for (QChar c : QStringLiteral("[]:*?/\\")) s.replace(c, QLatin1Char('_'));
    s = s.left(31).trimmed();
    if (s.isEmpty()) s = QStringLiteral("Relatório");
    QString unique = s;
    for (int n = 2; used.contains(unique, Qt::CaseInsensitive); ++n) unique = s.left(27) + QStringLiteral(" (%1)").arg(n);
    used.append(unique);
    return unique.toUtf8();
}

void check(lxw_error error, const QString &path) {
    if (error != LXW_NO_ERROR) cannotWrite(path, QString::fromUtf8(lxw_strerror(error)));
}

}  // namespace

bool formatFromName(const QString &name, Format *out) {
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("pdf")) *out = Format::Pdf;
    else if (n == QLatin1String("xlsx")) *out = Format::Xlsx;
    else if (n == QLatin1String("csv")) *out = Format::Csv;
    else return false;
    return true;
}

bool formatFromPath(const QString &path, Format *out) { return formatFromName(QFileInfo(path).suffix(), out); }

QPageLayout defaultPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

QString dataText(double value) {
    if (ReportMatrix::isNone(value)) return QString();
    if (value == 0) return QStringLiteral("0");
    QString s = QString::number(value, 'f', QLocale::FloatingPointShortest);
    s.replace(QLatin1Char('.'), QLatin1Char(','));
    return s;
}

int writePdf(const ReportDocument &doc, QIODevice *out, const QPageLayout &page) {
    const ReportLayout layout(doc, page);
    QString error;
    if (!ReportPdf::write(layout, doc.title, out, &error)) throw EAppError(error);
    return layout.pageCount();
}

void writeCsv(const ReportDocument &doc, QIODevice *out) {
    int columns = 0;
    for (const ReportMatrix &m : doc.matrices) columns = std::max(columns, m.columns);
    QStringList head = doc.keyNames;
    head.append(doc.rowKeyName);
    for (int k = 1; k <= columns; ++k) head.append(QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')));
    QByteArray buffer = head.join(QLatin1Char(';')).toUtf8() + '\n';
    for (const ReportMatrix &m : doc.matrices) {
        QString keys;
        for (const QString &k : m.keys) keys += csvField(k) + QLatin1Char(';');
        for (int r = 0; r < m.rows; ++r) {
            QString line = keys + QString::number(r + 1);
            for (int k = 0; k < columns; ++k) {
                line += QLatin1Char(';');
                if (k < m.columns) line += dataText(ReportLayout::printedValue(m.at(r, k)));
            }
            buffer += line.toUtf8();
            buffer += '\n';
        }
        if (buffer.size() > (1 << 20)) {
            if (out->write(buffer) != buffer.size()) throw EAppError(out->errorString());
            buffer.clear();
        }
    }
    if (out->write(buffer) != buffer.size()) throw EAppError(out->errorString());
}

void writeXlsx(const ReportDocument &doc, const QString &path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook *book = workbook_new_opt(file.constData(), &options);
    if (!book) cannotWrite(path, QStringLiteral("a pasta não aceita o arquivo"));
    lxw_format *number = workbook_add_format(book);
    format_set_num_format(number, "#,##0.00");
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format *head = workbook_add_format(book);
    format_set_bold(head);
    format_set_bg_color(head, 0xD6DDE8);
    format_set_border(head, LXW_BORDER_THIN);
    format_set_align(head, LXW_ALIGN_CENTER);

    // Sheets in the order their first matrix comes; each written top to bottom.
    QStringList sheets;
    for (const ReportMatrix &m : doc.matrices)
        if (!sheets.contains(m.sheet)) sheets.append(m.sheet);
    if (sheets.isEmpty()) sheets.append(doc.title);
    QStringList used;
    const int keyCount = int(doc.keyNames.size());
    for (const QString &sheet : sheets) {
        lxw_worksheet *ws = workbook_add_worksheet(book, sheetName(sheet, used).constData());
        int columns = 0;
        for (const ReportMatrix &m : doc.matrices)
            if (m.sheet == sheet) columns = std::max(columns, m.columns);
        // Column ranges that never overlap (spreadsheet programs offer to
        // "repair" a workbook whose ranges do): the keys at 16, the third key
        // (the name) at 34, the values at 13.
        if (keyCount > 2) {
            worksheet_set_column(ws, 0, 1, 16, nullptr);
            worksheet_set_column(ws, 2, 2, 34, nullptr);
            if (keyCount > 3) worksheet_set_column(ws, 3, lxw_col_t(keyCount - 1), 16, nullptr);
        } else if (keyCount > 0) {
            worksheet_set_column(ws, 0, lxw_col_t(keyCount - 1), 16, nullptr);
        }
        if (columns > 0) worksheet_set_column(ws, lxw_col_t(keyCount + 1), lxw_col_t(keyCount + columns), 13, nullptr);
        worksheet_freeze_panes(ws, 4, lxw_col_t(keyCount + 1));
        worksheet_write_string(ws, 0, 0, doc.title.toUtf8().constData(), bold);
        QStringList items;
        for (const auto &[label, value] : doc.header) items.append(label + QStringLiteral(": ") + value);
        worksheet_write_string(ws, 1, 0, items.join(QStringLiteral("   ")).toUtf8().constData(), nullptr);
        if (columns > 0) worksheet_write_string(ws, 2, lxw_col_t(keyCount + 1), doc.columnAxis.toUtf8().constData(), bold);
        const QStringList labels = doc.keyLabels.size() == keyCount ? doc.keyLabels : doc.keyNames;
        for (int i = 0; i < keyCount; ++i) worksheet_write_string(ws, 3, lxw_col_t(i), labels[i].toUtf8().constData(), head);
        worksheet_write_string(ws, 3, lxw_col_t(keyCount), doc.rowAxis.toUtf8().constData(), head);
        for (int k = 1; k <= columns; ++k) worksheet_write_number(ws, 3, lxw_col_t(keyCount + k), k, head);
        lxw_row_t row = 4;
        for (const ReportMatrix &m : doc.matrices) {
            if (m.sheet != sheet) continue;
            QVector<QByteArray> keys;
            for (const QString &k : m.keys) keys.append(k.toUtf8());
            for (int r = 0; r < m.rows; ++r, ++row) {
                for (int i = 0; i < keyCount && i < keys.size(); ++i) worksheet_write_string(ws, row, lxw_col_t(i), keys[i].constData(), nullptr);
                worksheet_write_number(ws, row, lxw_col_t(keyCount), r + 1, nullptr);
                for (int k = 0; k < m.columns; ++k) {
                    const double v = m.at(r, k);
                    if (!ReportMatrix::isNone(v))
                        worksheet_write_number(ws, row, lxw_col_t(keyCount + 1 + k), ReportLayout::printedValue(v), number);
                }
            }
        }
    }
    check(workbook_close(book), path);
}

int save(const ReportDocument &doc, const QString &path, Format format, const QPageLayout &page) {
    if (path.trimmed().isEmpty()) throw EAppError(QStringLiteral("Informe o nome do arquivo em que o relatório será gravado."));
    const QFileInfo info(path);
    if (info.isDir()) cannotWrite(path, QStringLiteral("é uma pasta"));
    if (!info.absoluteDir().exists()) cannotWrite(path, QStringLiteral("a pasta não existe"));
    if (format == Format::Xlsx) {
        // The library writes the file itself: to a temporary name beside it, renamed when whole.
        QTemporaryFile temp(info.absoluteFilePath() + QStringLiteral(".XXXXXX"));
        if (!temp.open()) cannotWrite(path, temp.errorString());
        const QString tempPath = temp.fileName();
        temp.close();
        try {
            writeXlsx(doc, tempPath);
        } catch (...) {
            QFile::remove(tempPath);
            throw;
        }
        if (std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0) {
            QFile::remove(tempPath);
            cannotWrite(path, QString::fromLocal8Bit(std::strerror(errno)));
        }
        temp.setAutoRemove(false);
        // A temporary file is private to its owner; the report is an ordinary file.
        QFile::setPermissions(info.absoluteFilePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                                           QFileDevice::ReadOther);
        return 0;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) cannotWrite(path, file.errorString());
    int pages = 0;
    try {
        if (format == Format::Pdf) pages = writePdf(doc, &file, page);
        else writeCsv(doc, &file);
    } catch (const EAppError &e) {
        file.cancelWriting();
        cannotWrite(path, e.message());
    }
    if (!file.commit()) cannotWrite(path, file.errorString());
    return pages;
}

}  // namespace ReportFiles
