#pragma once

#include "print/PrintSheet.h"

#include <QString>

namespace quillon {

/**
 * Prints @p sheet to a PDF file at @p path. The file is written whole or not at
 * all: an existing file is replaced only when every page was written. Returns
 * false with @p error set when the file cannot be written or @p progress stopped
 * the work.
 */
bool WritePdf(const PrintSheet& sheet, const QString& path, QString* error = nullptr,
              const PrintSheet::Progress& progress = {});

} // namespace quillon
