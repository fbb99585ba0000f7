#include "sheet/ClipText.h"

#include "sheet/RecordSheet.h"

namespace quillon {

namespace {

bool needsQuotes(const QString& cell)
{
    if (cell.startsWith(QLatin1Char('"')))
        return true;
    for (const QChar c : cell)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    return false;
}

bool endsCell(const QString& text, qsizetype i)
{
    return i >= text.size() || text[i] == QLatin1Char('\t') || text[i] == QLatin1Char('\r') ||
           text[i] == QLatin1Char('\n');
}

} // namespace

QString ClipTextOf(const RecordSheet& grid, const std::vector<int>& rows, int left, int right)
{
    QString out;
    bool firstRow = true;
    for (int r : rows) {
        if (!firstRow)
            out += QLatin1String("\r\n");
        firstRow = false;
        for (int c = left; c <= right; ++c) {
            if (c > left)
                out += QLatin1Char('\t');
            const QString cell = grid.text(r, c);
            if (needsQuotes(cell)) {
                QString quoted = cell;
                quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
                out += QLatin1Char('"') + quoted + QLatin1Char('"');
            } else {
                out += cell;
            }
        }
    }
    return out;
}

QList<QStringList> ParseClipText(const QString& text)
{
    QList<QStringList> rows;
    const qsizetype n = text.size();
    if (n == 0)
        return rows;
    QStringList row;
    qsizetype i = 0;
    for (;;) {
        QString cell;
        bool quoted = false;
        if (i < n && text[i] == QLatin1Char('"')) {
            qsizetype j = i + 1;
            QString inner;
            while (j < n) {
                if (text[j] == QLatin1Char('"')) {
                    if (j + 1 < n && text[j + 1] == QLatin1Char('"')) {
                        inner += QLatin1Char('"');
                        j += 2;
                        continue;
                    }
                    break;
                }
                inner += text[j++];
            }
            if (j < n && endsCell(text, j + 1)) {
                cell = inner;
                i = j + 1;
                quoted = true;
            }
        }
        if (!quoted) {
            const qsizetype start = i;
            while (!endsCell(text, i))
                ++i;
            cell = text.mid(start, i - start);
        }
        row.append(cell);
        if (i >= n) {
            rows.append(row);
            break;
        }
        if (text[i] == QLatin1Char('\t')) {
            ++i;
            continue;
        }
        // A line break: CR-LF, LF or CR.
        if (text[i] == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        ++i;
        rows.append(row);
        row.clear();
        if (i >= n)
            break;
    }
    return rows;
}

} // namespace quillon
