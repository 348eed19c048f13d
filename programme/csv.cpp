#include "programme/csv.h"

CsvText parseCsv(QStringView text)
{
    CsvText csv;
    CsvRecord record;
    QString cell;
    int line = 1;
    record.line = 1;
    bool quoted = false;     // inside a quoted cell
    int quoteLine = 0;       // where that cell began
    bool recordOpen = false; // something of the current record has been read
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < size && text[i + 1] == u'"') {
                    cell += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n' || (c == u'\r' && !(i + 1 < size && text[i + 1] == u'\n')))
                    ++line;
                cell += c;
            }
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
                ++i;
            record.cells << cell;
            csv.records << record;
            cell.clear();
            record = CsvRecord{{}, ++line};
            recordOpen = false;
            continue;
        }
        recordOpen = true;
        if (c == u',') {
            record.cells << cell;
            cell.clear();
        } else if (c == u'"' && cell.isEmpty()) {
            quoted = true;
            quoteLine = line;
        } else {
            cell += c;
        }
    }
    if (quoted) {
        csv.unclosedQuoteLine = quoteLine;
        return csv;
    }
    if (recordOpen) {
        record.cells << cell;
        csv.records << record;
    }
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
