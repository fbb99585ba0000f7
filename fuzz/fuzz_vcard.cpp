// The vCard reader (4.0, 3.0 and 2.1 cards), into the columns of a new document; what
// it reads is written out as cards again.

#include "FuzzTarget.h"
#include "files/VCardFormat.h"
#include "sheet/RecordSheet.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    quillon::RecordSheet sheet;
    QString error;
    if (!quillon::VCardFormat::read(file, sheet, {}, &error, {}))
        return 0;
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    (void)quillon::VCardFormat::write(out, sheet, &error, {});
    return 0;
}
