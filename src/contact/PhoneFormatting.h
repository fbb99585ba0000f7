#pragma once

#include "contact/PhoneNumbers.h"

#include <QString>
#include <QStringView>

#include <span>
#include <vector>

namespace quillon {

class RecordSheet;

/** How Format Phone Numbers writes the numbers. */
enum class PhoneForm
{
    National,      ///< "(555) 123-4567" for a number of the home region
    International, ///< "+1 555-123-4567"
};

/**
 * @p text with each phone number in it (PhoneNumbers::cellNumbers) written in
 * @p form, for the home region of @p numbers; whatever else the text holds
 * (labels, a second number's separator) stays, and so does an extension, written
 * as libphonenumber writes it (" ext. 12"). In the national form a number of
 * another country is written in the international form, which alone keeps its
 * country; in the international form a number written without its area code is
 * left as it is, since it has no international form. A number written with
 * letters ("1-800-FLOWERS") is written in digits. A text without a number comes
 * back as it is.
 */
QString FormatPhoneText(QStringView text, const PhoneNumbers& numbers, PhoneForm form);

/** What formatting a column's cells makes of them. */
struct PhoneFormatResult
{
    struct Change
    {
        int row;
        QString text;
    };
    std::vector<Change> changes; ///< cells whose text changes, by row
    qint64 leftAlone = 0;        ///< cells not empty that stay as they are
};

/** Formats the cells of column @p col in @p rows (ascending) without changing the
 *  sheet; on two threads for many rows. May throw std::bad_alloc. */
PhoneFormatResult FormatPhoneCells(const RecordSheet& sheet, int col, std::span<const int> rows,
                                   const PhoneNumbers& numbers, PhoneForm form);

} // namespace quillon
