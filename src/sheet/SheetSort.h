#pragma once

#include <QLocale>

#include <span>
#include <vector>

namespace quillon {

class RecordSheet;

/**
 * Record orders for the sort commands. Each function returns a permutation for
 * RecordSheet::applyRecordOrder: entry i is the row that becomes record i+1. The
 * sheet itself is not changed.
 */

/**
 * The order of the title-click sort of column @p col. Values compare by the
 * column's data type: Number and Money by numeric value, Date by date and time,
 * Checkbox by check state, Text by the sheet collator (SheetCollationLocale(),
 * letter case ignored, digit runs compared as numbers). Values of a Number, Money
 * or Date column that do not read as such follow the readable ones, compared as
 * text. Empty cells come last in both orders. Equal values keep their order.
 */
std::vector<int> TypedRecordOrder(const RecordSheet& sheet, int col, bool ascending);

/** The order of the duplicate removal: ascending by column 0, then 1, and so on
 *  through the last column, each compared byte by byte (exact, case-sensitive).
 *  Records with equal texts in every column keep their order, except that those
 *  that look different (check boxes, colours, fonts, alignment, row height) are
 *  grouped by their look. */
struct ExactOrder
{
    std::vector<int> order;
    /** New row numbers (after the order is applied) of the records that equal the
     *  record just above them in every column and in their look, ascending. */
    std::vector<int> duplicateRows;
};
ExactOrder ExactRecordOrder(const RecordSheet& sheet);

/** The locale whose collation the title-click sort uses: the system's, or US
 *  English where the system names none (the C locale). */
QLocale SheetCollationLocale();

/** Reads @p text as ParseNumber does, quickly for plain decimal numbers. */
bool ParseSortNumber(QByteArrayView text, double& value);

} // namespace quillon
