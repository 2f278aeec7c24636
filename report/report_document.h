#pragma once
// A report as the engine lays it out and writes it: a title block and a list
// of matrices (a heading, numbered columns, numbered rows, values). Plain data:
// a report definition builds it from its rows without any widget.

#include <QDateTime>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cmath>
#include <limits>

struct ReportMatrix {
    QStringList keys;  // one value per ReportDocument::keyNames
    QString heading;   // the matrix's title line
    QString sheet;     // the spreadsheet sheet that holds it
    int columns = 0;
    int rows = 0;
    QVector<double> values;  // row-major, rows x columns; NaN where there is no value

    double at(int row, int column) const { return values[row * columns + column]; }
    static double none() { return std::numeric_limits<double>::quiet_NaN(); }
    static bool isNone(double v) { return std::isnan(v); }
};

struct ReportDocument {
    QString code;   // the report's code, e.g. "COT003"
    QString title;
    QVector<QPair<QString, QString>> header;  // title block lines: label, value
    QString columnAxis;  // caption over the numbered columns
    QString rowAxis;     // caption of the numbered rows
    QStringList keyNames;   // names of each matrix's keys, for CSV and spreadsheets
    QStringList keyLabels;  // their captions on a spreadsheet
    QString rowKeyName;     // name of the row number in CSV
    QDateTime issued;
    QVector<ReportMatrix> matrices;

    bool isEmpty() const { return matrices.isEmpty(); }
    qint64 rowCount() const {
        qint64 n = 0;
        for (const ReportMatrix &m : matrices) n += m.rows;
        return n;
    }
};
