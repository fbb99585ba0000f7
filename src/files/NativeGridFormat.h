#pragma once

#include "files/GridFile.h"

#include <QByteArray>

class QIODevice;

namespace quillon {

class RecordSheet;

/**
 * The native grid file: everything a record sheet holds, in the byte layout
 * described in docs/native-format.md, ending with a checksum.
 */
namespace NativeGridFormat {

/** The eight bytes every native grid file starts with. */
QByteArray magic();
constexpr quint32 kVersion = 1;

/** Reads a native grid file into @p fresh, a sheet just made (one row, no columns).
 *  On failure @p fresh holds part of the file and @p error says why. */
bool read(QIODevice& device, RecordSheet& fresh, QString* error, const GridProgress& progress);
bool write(QIODevice& device, const RecordSheet& sheet, QString* error, const GridProgress& progress);

} // namespace NativeGridFormat

} // namespace quillon
