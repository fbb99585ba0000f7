#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

namespace quillon {

/**
 * Shows a cell's stored text through its column's display format: numeric
 * pictures ("0.00", "#,###", "$#,###.00", "%", "#.00%") for Number and Money
 * columns and date pictures ("mm/dd/yy", "dd-Mmm-yyyy", "mm/dd/yy hh:mm AMPM")
 * for Date columns. Text that is not a number or a date is shown as stored.
 */
QString FormatValue(const QString& text, int dataType, const QString& format);

/** Formats a number by a numeric picture. */
QString FormatNumber(double value, const QString& picture);
/** Formats a date and time by a date picture; an empty picture gives the general form
 *  ("12/8/2026 4:24:09 PM"). */
QString FormatDateTime(const QDateTime& value, const QString& picture);

/** Reads a number as users type it: blanks around, "$", thousands commas, a trailing "%". */
std::optional<double> ParseNumber(const QString& text);
/** Reads a date or date and time in the common written forms and as a day serial number. */
std::optional<QDateTime> ParseDateTime(const QString& text);

/** True when the UTF-8 text reads as a plain number (for the general alignment). */
bool LooksNumeric(QByteArrayView text);

} // namespace quillon
