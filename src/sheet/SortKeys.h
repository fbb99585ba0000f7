#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <span>
#include <vector>

namespace quillon {

class TextColumn;

/** The distinct texts among some cells of a column. */
struct DistinctTexts
{
    std::vector<uint32_t> idOf;          ///< per cell asked for: index into texts
    std::vector<QByteArrayView> texts;   ///< each distinct text once, in order of first use
};

/** Finds the distinct texts of @p column at @p rows (exact byte comparison). The views
 *  stay valid until the column changes. */
DistinctTexts FindDistinctTexts(const TextColumn& column, std::span<const int> rows);

/** memcmp order of UTF-8 bytes (the order of the characters' code points). */
int CompareBytes(QByteArrayView a, QByteArrayView b);

/** The rank of every text of @p texts in the order of the sheet collation (letter
 *  case ignored, digit runs compared as numbers); texts it finds equal share a rank. */
std::vector<uint32_t> CollationRanks(const std::vector<QByteArrayView>& texts);

/** Rows in the order of the sheet collation, with the runs of equal texts marked. */
struct CollatedRows
{
    std::vector<int> rows;
    std::vector<uint8_t> startsGroup; ///< 1 where a row's text differs from the one before
};

/** Orders @p rows (ascending row numbers) by the texts of @p column in the sheet
 *  collation; rows with equal texts keep their order. */
CollatedRows CollateRows(const TextColumn& column, const std::vector<int>& rows);

} // namespace quillon
