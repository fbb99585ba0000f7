#include "grab/KeyTable.h"

#include "grab/HtmlText.h"

#include <QFile>

#include <cmath>

namespace quillon {

namespace {

/** Comma-delimited text into rows of cells: quoted cells may hold commas, quotes
 *  ("" for one) and line breaks; CRLF, LF and CR end rows. */
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    bool any = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    cell += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += ch;
            }
            continue;
        }
        if (ch == u'"') {
            quoted = true;
            any = true;
        } else if (ch == u',') {
            row.append(cell);
            cell.clear();
            any = true;
        } else if (ch == u'\r' || ch == u'\n') {
            if (ch == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            row.append(cell);
            rows.append(row);
            row.clear();
            cell.clear();
            any = false;
        } else {
            cell += ch;
            any = true;
        }
    }
    if (any || !cell.isEmpty()) {
        row.append(cell);
        rows.append(row);
    }
    return rows;
}

} // namespace

bool KeyTable::load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray utf8 = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    if (!HtmlText::isValidUtf8(utf8))
        utf8 = HtmlText::windows1252ToUtf8(utf8);
    m_rows = parseCsv(QString::fromUtf8(utf8));
    return true;
}

int KeyTable::cols() const
{
    qsizetype widest = 0;
    for (const QStringList& row : m_rows)
        widest = std::max(widest, row.size());
    return int(widest);
}

QString KeyTable::text(int row, int col) const
{
    if (row < 0 || row >= m_rows.size() || col < 0 || col >= m_rows[row].size())
        return {};
    return m_rows[row][col];
}

double KeyTable::number(int row, int col) const
{
    return NumericValue(text(row, col));
}

void KeyTable::setText(int row, int col, const QString& text)
{
    if (row < 0 || col < 0)
        return;
    while (m_rows.size() <= row)
        m_rows.append(QStringList());
    QStringList& r = m_rows[row];
    while (r.size() <= col)
        r.append(QString());
    r[col] = text;
}

double NumericValue(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return 0;
    QString plain;
    plain.reserve(text.size());
    qsizetype i = 0;
    if (text[0] == u'-' || text[0] == u'+')
        plain += text[i++];
    // Thousands separators only between digit groups of three.
    qsizetype group = -1;
    bool digits = false;
    for (; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch.isDigit() && ch.unicode() < 128) {
            plain += ch;
            digits = true;
            if (group >= 0)
                ++group;
        } else if (ch == u',' && digits && (group < 0 || group == 3)) {
            group = 0;
        } else {
            break;
        }
    }
    if (group >= 0 && group != 3)
        return 0;
    if (i < text.size() && text[i] == u'.') {
        plain += u'.';
        for (++i; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
            plain += text[i];
            digits = true;
        }
    }
    if (!digits || i != text.size())
        return 0;
    bool ok = false;
    const double value = plain.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

QString NumberText(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

} // namespace quillon
