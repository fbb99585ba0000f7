#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

namespace quillon {

class RecordSheet;
class TextColumn;

/**
 * The cell test of Find Next: a cell is a hit when its text contains the sought
 * text. Without "Match case" both are compared upper-cased, the way QString::toUpper
 * does it; with it, character for character. An empty sought text is contained in
 * every cell, an empty one included.
 *
 * Cells are tested on their stored UTF-8 bytes; only a cell with characters beyond
 * ASCII is turned into a QString when letter case is ignored.
 */
class CellMatcher
{
public:
    CellMatcher(const QString& sought, bool matchCase);

    bool matches(QByteArrayView cell) const;

    /** The first row of @p first .. @p last (ascending) of @p column that is a hit, or -1.
     *  Gives up, returning -1, once @p stop is set. */
    int findInColumn(const TextColumn& column, int first, int last, const std::atomic<bool>* stop = nullptr) const;

private:
    bool slowMatches(QByteArrayView cell) const;

    QByteArray m_needle; ///< UTF-8; upper-cased unless case matters
    QString m_upper;     ///< the sought text upper-cased, for cells beyond ASCII
    bool m_matchCase;
    bool m_asciiNeedle;
    unsigned char m_firstA = 0; ///< the needle's first byte and, for a letter, its lower case
    unsigned char m_firstB = 0;
};

struct CellPosition
{
    int row = -1;
    int col = -1;
    bool isValid() const { return row >= 0; }
};

/**
 * Scans the records of @p sheet in Find Next's order: column @p col from row @p row
 * down to the last record, then every following column from row 1. Returns the first
 * hit. Large scans are split over two threads.
 */
CellPosition FindCell(const RecordSheet& sheet, const CellMatcher& matcher, int col, int row);

} // namespace quillon
