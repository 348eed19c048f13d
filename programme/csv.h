#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Comma-separated values as RFC 4180 has them, as spreadsheets write and read them.

struct CsvRecord {
    QStringList cells;
    int line = 0; // the line of the text where the record begins, from 1
};

struct CsvText {
    QList<CsvRecord> records;
    int unclosedQuoteLine = 0; // the line where a quoted cell begins that never ends; 0: none
};

// Records end at CRLF, LF or CR outside quotes; a quoted cell may hold commas, line breaks and
// doubled quotes. A quote inside an unquoted cell, or after a closing one, is taken as it stands.
// A line break at the very end makes no empty record.
CsvText parseCsv(QStringView text);

// The cell quoted when it holds a comma, a quote or a line break; as it is otherwise.
QString csvCell(const QString &text);
// The cells as one record, CRLF at the end.
QString csvRecord(const QStringList &cells);
