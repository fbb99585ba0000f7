#pragma once

// Helpers shared by the file tests: a sheet that uses everything a sheet can hold,
// a full comparison of two sheets, and a device that fails part way.

#include "sheet/RecordSheet.h"

#include <QBuffer>
#include <QIODevice>
#include <QString>
#include <QStringList>

namespace quillon::testing {

/** A sheet with titles, blank records, awkward texts, every column attribute,
 *  every cell style field, row heights, default row height and font size. */
inline void fillRichSheet(RecordSheet& s)
{
    s.setCols(5);
    s.setRows(8);
    s.setTitle(0, QStringLiteral("Name"));
    s.setTitle(1, QStringLiteral("Street, No."));
    s.setTitle(2, QString()); // an empty title
    s.setTitle(3, QStringLiteral("Amount"));
    s.setTitle(4, QStringLiteral("Ok?"));
    s.setText(1, 0, QStringLiteral("Smith, John"));
    s.setText(1, 1, QStringLiteral("say \"hi\"\r\nthere\nand\rhere"));
    s.setText(1, 3, QStringLiteral("1234.5"));
    s.setText(2, 0, QStringLiteral("Åsa Öberg – Café ☕ 𝄞"));
    s.setText(2, 2, QStringLiteral("\ttabbed\t"));
    s.setText(3, 1, QStringLiteral("  leading and trailing  "));
    s.setText(5, 4, QStringLiteral("\""));
    s.setText(7, 0, QString(5000, QLatin1Char('x'))); // longer than a short length prefix
    // rows 4 and 6 stay blank records
    ColumnAttributes a;
    a.dataType = TypeMoney;
    a.format = QStringLiteral("$#,###.00");
    a.alignment = AlignRight;
    a.width = 1777;
    s.setColumn(3, a);
    a = {};
    a.dataType = TypeCheckbox;
    a.alignment = AlignCenter;
    a.hidden = true;
    a.width = 0;
    s.setColumn(4, a);
    s.setColumnDataType(0, TypeText);
    s.setColumnAlignment(0, AlignLeft);
    s.setColumnWidth(0, 2500);
    s.setColumnFormat(2, QStringLiteral("mm/dd/yy hh:mm AMPM"));
    s.setColumnDataType(2, 99); // a code the program does not know survives too
    s.setDefaultRowHeight(300);
    s.setRowHeight(0, 400);
    s.setRowHeight(3, 0);
    s.setRowHeight(7, 1000);
    s.setFontPointSize(11);
    s.setFontFlag({1, 0, 2, 1}, CellStyle::Bold, true);
    s.setFontFlag({2, 1, 2, 1}, CellStyle::Italic, true);
    s.setFontFlag({3, 3, 3, 3}, CellStyle::Underline, true);
    s.setBackColor({1, 2, 1, 2}, 0x123456);
    s.setForeColor({1, 2, 1, 2}, 0xFEDCBA);
    s.setBackColor({5, 0, 5, 0}, 0x000000); // black is a colour, not "none"
    s.setCellAlignment({6, 3, 6, 3}, AlignCenter);
    s.setChecked(1, 4, 1);
    s.setChecked(2, 4, -1);
    s.setChecked(3, 4, 0);
    s.setHeaderPicture(3, PictureDown);
}

/** Empty when the sheets hold the same; else the first difference. */
inline QString sheetDifference(const RecordSheet& a, const RecordSheet& b, bool withFormatting = true)
{
    if (a.rows() != b.rows() || a.cols() != b.cols())
        return QStringLiteral("size %1x%2 vs %3x%4").arg(a.rows()).arg(a.cols()).arg(b.rows()).arg(b.cols());
    for (int c = 0; c < a.cols(); ++c)
        for (int r = 0; r < a.rows(); ++r)
            if (a.textUtf8(r, c) != b.textUtf8(r, c))
                return QStringLiteral("text (%1,%2): \"%3\" vs \"%4\"").arg(r).arg(c).arg(a.text(r, c), b.text(r, c));
    if (!withFormatting)
        return {};
    for (int c = 0; c < a.cols(); ++c)
        if (!(a.column(c) == b.column(c)))
            return QStringLiteral("attributes of column %1").arg(c);
    if (a.styledCells() != b.styledCells())
        return QStringLiteral("cell styles");
    if (a.rowHeights() != b.rowHeights() || a.defaultRowHeight() != b.defaultRowHeight())
        return QStringLiteral("row heights");
    if (a.fontPointSize() != b.fontPointSize())
        return QStringLiteral("font size");
    return {};
}

inline QList<QStringList> sheetRows(const RecordSheet& s)
{
    QList<QStringList> rows;
    for (int r = 0; r < s.rows(); ++r) {
        QStringList row;
        for (int c = 0; c < s.cols(); ++c)
            row << s.text(r, c);
        rows << row;
    }
    return rows;
}

/** A device that takes @p limit bytes and then fails every write, as a full disk does. */
class FailingDevice : public QBuffer
{
public:
    explicit FailingDevice(qint64 limit) : m_limit(limit) {}

protected:
    qint64 writeData(const char* data, qint64 len) override
    {
        if (size() + len > m_limit) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        return QBuffer::writeData(data, len);
    }

private:
    qint64 m_limit;
};

} // namespace quillon::testing
