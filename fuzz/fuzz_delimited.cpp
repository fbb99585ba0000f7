// Comma- and tab-delimited text, as Open and Append read it. The first byte picks
// the format; the rest is the file.

#include "FuzzTarget.h"
#include "files/GridFile.h"
#include "sheet/RecordSheet.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int format = data[0] & 1 ? quillon::FormatTab : quillon::FormatComma;
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    quillon::RecordSheet sheet;
    QString error;
    if (quillon::readGrid(buffer, format, sheet, &error)) {
        // What was read is a sheet that can be written again.
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        quillon::writeGrid(out, format, sheet, &error);
    }
    return 0;
}
