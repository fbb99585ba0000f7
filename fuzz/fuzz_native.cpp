// The native grid file, as Open and Append read it (and the site table and key
// files the program ships).

#include "FuzzTarget.h"
#include "files/GridFile.h"
#include "sheet/RecordSheet.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    quillon::RecordSheet sheet;
    QString error;
    if (quillon::readGrid(buffer, quillon::FormatNative, sheet, &error)) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        quillon::writeGrid(out, quillon::FormatNative, sheet, &error);
    }
    return 0;
}
