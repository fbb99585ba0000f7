#pragma once

#include <QDate>
#include <QStringList>

namespace quillon {

/** The tips the tip of the day shows, in order. */
const QStringList& TipTexts();

/** The tip shown first on @p date: a different one each day, in turn. */
int TipOfTheDayIndex(const QDate& date);

} // namespace quillon
