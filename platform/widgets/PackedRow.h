#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// One grid row packed into a single byte array: each cell is its UTF-8 text preceded by its
// length as a variable-length integer. A million rows of a hundred characters thus cost one
// allocation each and about half the memory of UTF-16 strings. Cells past the stored ones read
// as empty.
class PackedRow {
public:
    // Splits text at tabs into at most cellCount cells; further fields are dropped.
    static QByteArray fromTabbedText(const QString &text, int cellCount);
    // The first cellCount of cells, each taken whole (tabs included).
    static QByteArray fromCells(const QList<QStringView> &cells, int cellCount);

    static QString cell(const QByteArray &row, int column);
    // The row with cell `column` replaced (the row grows with empty cells when shorter).
    static QByteArray withCell(const QByteArray &row, int column, const QString &text);
    // The row cut to its first cellCount cells.
    static QByteArray truncated(const QByteArray &row, int cellCount);

private:
    struct Span {
        qsizetype begin;
        qsizetype size;
    };
    // Where cell `column` lies, or size -1 when the row stores fewer cells.
    static Span find(const QByteArray &row, int column);
    static qsizetype readLength(const QByteArray &row, qsizetype &pos);
    static void appendCell(QByteArray &row, const char *data, qsizetype size);
};
