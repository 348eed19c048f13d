#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <limits>

// Comma-separated values as RFC 4180 has them, as spreadsheets write and read them.

// Cells of a record past this many are read over and left out: no programme is that wide, and a
// line of a million commas would otherwise be a list of a million texts.
inline constexpr qsizetype kCsvColumns = 1024;

struct CsvRecord {
    QStringList cells;
    int line = 0; // the line of the text where the record begins, from 1
};

struct CsvText {
    QList<CsvRecord> records;  // the first records that are not blank, as many as were asked for
    qsizetype count = 0;       // every record that is not blank
    int unclosedQuoteLine = 0; // the line where a quoted cell begins that never ends; 0: none
};

// Records end at CRLF, LF or CR outside quotes; a quoted cell may hold commas, line breaks and
// doubled quotes. A quote inside an unquoted cell, or after a closing one, is taken as it stands.
// A record whose cells are all blank (an empty line, an empty row of a spreadsheet) is left out,
// and so are the cells of a record beyond kCsvColumns and the empty cells at its end.
// Past `keep` records the rest are only counted, so that a text of a million short lines costs a
// scan and not a million lists.
CsvText parseCsv(QStringView text, qsizetype keep = std::numeric_limits<qsizetype>::max());

// The cell quoted when it holds a comma, a quote or a line break; as it is otherwise.
QString csvCell(const QString &text);
// The cells as one record, CRLF at the end.
QString csvRecord(const QStringList &cells);
