// The spreadsheet file reader: the zip package, the workbook, the shared texts and
// the first sheet.

#include "FuzzTarget.h"
#include "files/XlsxFormat.h"
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
    (void)quillon::XlsxFormat::read(file, sheet, &error, {});
    return 0;
}
