#pragma once

// Label stocks as their maker publishes them (Avery's product template figures),
// written here by hand so that the label tests check the printout against the
// sheets of labels themselves, not against the program's own table or stock file.

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

namespace quillon::test {

/** A sheet of labels; lengths in points (1/72 inch), origin top left. */
struct PublishedStock
{
    QString name; ///< as the label dialog lists it
    QSizeF page;
    double width = 0;
    double height = 0;
    double horizontalPitch = 0;
    double verticalPitch = 0;
    double left = 0;
    double top = 0;
    int across = 0;
    int down = 0;

    int perSheet() const { return across * down; }
    /** The label in column @p col, row @p row. */
    QRectF label(int col, int row) const
    {
        return QRectF(left + col * horizontalPitch, top + row * verticalPitch, width, height);
    }
    /** The label at position @p position of a sheet (from 0, across first). */
    QRectF at(int position) const
    {
        position %= perSheet();
        return label(position % across, position / across);
    }
};

inline const std::vector<PublishedStock>& publishedStocks()
{
    constexpr double in = 72;
    constexpr double mm = 72 / 25.4;
    const QSizeF letter(8.5 * in, 11 * in);
    const QSizeF a4(210 * mm, 297 * mm);
    static const std::vector<PublishedStock> stocks{
        // The built-in formats and the stocks they are made for: "3 x 10" for Avery
        // 5160, "2 x 10" for 5161, "2 x 5" for 5163.
        {QStringLiteral("3 x 10"), letter, 2.625 * in, 1 * in, 2.75 * in, 1 * in, 0.1875 * in, 0.5 * in, 3,
         10},
        {QStringLiteral("2 x 10"), letter, 4 * in, 1 * in, 4.1875 * in, 1 * in, 0.15625 * in, 0.5 * in, 2,
         10},
        {QStringLiteral("2 x 5"), letter, 4 * in, 2 * in, 4.1875 * in, 2 * in, 0.15625 * in, 0.5 * in, 2, 5},
        // US Letter: 1" x 2 5/8" (5160), 1" x 4" (5161), 1 1/3" x 4" (5162), 2" x 4"
        // (5163), 3 1/3" x 4" (5164), 1/2" x 1 3/4" (5167).
        {QStringLiteral("Avery 5160"), letter, 2.625 * in, 1 * in, 2.75 * in, 1 * in, 0.1875 * in, 0.5 * in,
         3, 10},
        {QStringLiteral("Avery 5161"), letter, 4 * in, 1 * in, 4.1875 * in, 1 * in, 0.15625 * in, 0.5 * in, 2,
         10},
        {QStringLiteral("Avery 5162"), letter, 4 * in, 4.0 / 3 * in, 4.1875 * in, 4.0 / 3 * in, 0.15625 * in,
         5.0 / 6 * in, 2, 7},
        {QStringLiteral("Avery 5163"), letter, 4 * in, 2 * in, 4.1875 * in, 2 * in, 0.15625 * in, 0.5 * in, 2,
         5},
        {QStringLiteral("Avery 5164"), letter, 4 * in, 10.0 / 3 * in, 4.1875 * in, 10.0 / 3 * in,
         0.15625 * in, 0.5 * in, 2, 3},
        {QStringLiteral("Avery 5167"), letter, 1.75 * in, 0.5 * in, 2.0625 * in, 0.5 * in, 0.28125 * in,
         0.5 * in, 4, 20},
        // A4: 63.5 x 33.9 (L7159), 63.5 x 38.1 (L7160), 63.5 x 46.6 (L7161), 99.1 x 33.9
        // (L7162), 99.1 x 38.1 (L7163), 38.1 x 21.2 (L7651), 70 x 35 mm (3422).
        {QStringLiteral("Avery L7159"), a4, 63.5 * mm, 33.9 * mm, 66.04 * mm, 33.9 * mm, 7.21 * mm, 12.9 * mm,
         3, 8},
        {QStringLiteral("Avery L7160"), a4, 63.5 * mm, 38.1 * mm, 66.04 * mm, 38.1 * mm, 7.21 * mm,
         15.15 * mm, 3, 7},
        {QStringLiteral("Avery L7161"), a4, 63.5 * mm, 46.6 * mm, 66.04 * mm, 46.6 * mm, 7.21 * mm, 8.7 * mm,
         3, 6},
        {QStringLiteral("Avery L7162"), a4, 99.1 * mm, 33.9 * mm, 101.6 * mm, 33.9 * mm, 4.65 * mm, 12.9 * mm,
         2, 8},
        {QStringLiteral("Avery L7163"), a4, 99.1 * mm, 38.1 * mm, 101.6 * mm, 38.1 * mm, 4.65 * mm,
         15.15 * mm, 2, 7},
        {QStringLiteral("Avery L7651"), a4, 38.1 * mm, 21.2 * mm, 40.64 * mm, 21.2 * mm, 4.67 * mm, 10.7 * mm,
         5, 13},
        {QStringLiteral("Avery 3422"), a4, 70 * mm, 35 * mm, 70 * mm, 35 * mm, 0, 8.5 * mm, 3, 8},
    };
    return stocks;
}

/** The published stock of that name; the first one when none is. */
inline const PublishedStock& publishedStock(const QString& name)
{
    for (const PublishedStock& s : publishedStocks())
        if (s.name == name)
            return s;
    qWarning("no published stock %s", qPrintable(name));
    return publishedStocks().front();
}

} // namespace quillon::test
