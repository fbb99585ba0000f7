#include "grab/KeyTable.h"

#include "files/GridFile.h"

#include <cmath>

namespace quillon {

KeyTable::KeyTable()
{
    clear();
}

void KeyTable::clear()
{
    m_sheet.setCols(0);
    m_sheet.setRows(1);
}

bool KeyTable::load(const QString& path, QString* error)
{
    int format = gridFormatForPath(path);
    if (format != FormatComma && format != FormatTab)
        format = FormatNative;
    return LoadGrid(path, format, m_sheet, error);
}

QString KeyTable::text(int row, int col) const
{
    if (row < 0 || row >= m_sheet.rows() || col < 0 || col >= m_sheet.cols())
        return {};
    return m_sheet.text(row, col);
}

double KeyTable::number(int row, int col) const
{
    return NumericValue(text(row, col));
}

void KeyTable::setText(int row, int col, const QString& text)
{
    if (row < 0 || col < 0)
        return;
    if (m_sheet.rows() <= row)
        m_sheet.setRows(row + 1);
    if (m_sheet.cols() <= col)
        m_sheet.setCols(col + 1);
    m_sheet.setText(row, col, text);
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
