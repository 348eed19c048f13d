#include "programme/csv.h"

CsvText parseCsv(QStringView text, qsizetype keep)
{
    CsvText csv;
    CsvRecord record{{}, 1};
    QString cell;
    int line = 1;
    bool quoted = false;   // inside a quoted cell
    int quoteLine = 0;     // where that cell began
    bool content = false;  // the record has a character other than a blank
    bool cellOpen = false; // the cell has begun: a quote now is a character of it
    qsizetype column = 0;
    const auto kept = [&] { return csv.records.size() < keep && column < kCsvColumns; };
    // Empty cells are written only before one that is not: an empty line costs no list.
    const auto endCell = [&] {
        if (!cell.isEmpty() && kept()) {
            while (record.cells.size() < column)
                record.cells << QString();
            record.cells << cell;
        }
        cell.clear();
        cellOpen = false;
        ++column;
    };
    const auto endRecord = [&] {
        endCell();
        if (content) {
            ++csv.count;
            if (csv.records.size() < keep)
                csv.records << std::move(record);
        }
        record = CsvRecord{{}, line};
        content = false;
        column = 0;
    };
    const auto take = [&](QChar c) {
        cellOpen = true;
        content = content || !c.isSpace();
        if (kept())
            cell += c;
    };
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        const bool crlf = c == u'\r' && i + 1 < size && text[i + 1] == u'\n';
        if (quoted) {
            if (c == u'"' && i + 1 < size && text[i + 1] == u'"') {
                take(c);
                ++i;
            } else if (c == u'"') {
                quoted = false;
                cellOpen = true;
            } else {
                if (c == u'\n' || (c == u'\r' && !crlf))
                    ++line;
                take(c);
            }
        } else if (c == u'\r' || c == u'\n') {
            i += crlf ? 1 : 0;
            ++line;
            endRecord();
        } else if (c == u',') {
            endCell();
        } else if (c == u'"' && !cellOpen) {
            quoted = true;
            quoteLine = line;
        } else {
            take(c);
        }
    }
    if (quoted) {
        csv.unclosedQuoteLine = quoteLine;
        return csv;
    }
    endRecord();
    return csv;
}

QString csvCell(const QString &text)
{
    const bool needsQuotes =
        text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
    if (!needsQuotes)
        return text;
    QString doubled = text;
    doubled.replace(u'"', QStringLiteral("\"\""));
    return u'"' + doubled + u'"';
}

QString csvRecord(const QStringList &cells)
{
    QStringList quoted;
    quoted.reserve(cells.size());
    for (const QString &cell : cells)
        quoted << csvCell(cell);
    return quoted.join(u',') + QStringLiteral("\r\n");
}
