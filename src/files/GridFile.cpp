#include "files/GridFile.h"

#include "files/DelimitedText.h"
#include "files/NativeGridFormat.h"
#include "files/VCardFormat.h"
#include "files/XlsxFormat.h"
#include "sheet/RecordSheet.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace quillon {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("GridFile", text);
}

bool fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

char delimiterOf(int format)
{
    return format == FormatTab ? '\t' : ',';
}

} // namespace

QString sheetSizeRefusal(qint64 rows, qint64 cols)
{
    if (rows > RecordSheet::kMaxRows)
        return tr("It has %1 rows, more than the %2 a sheet can hold.").arg(rows).arg(RecordSheet::kMaxRows);
    if (cols > RecordSheet::kMaxCols)
        return tr("It has %1 columns, more than the %2 a sheet can hold.").arg(cols).arg(RecordSheet::kMaxCols);
    if (!RecordSheet::canHold(rows, cols))
        return tr("Its %1 rows of %2 columns make %3 cells, more than the %4 a sheet can hold.")
            .arg(rows)
            .arg(cols)
            .arg(rows * cols)
            .arg(RecordSheet::kMaxCells);
    return {};
}

bool isGridFormat(int format)
{
    switch (format) {
    case FormatNative:
    case FormatComma:
    case FormatTab:
    case FormatSpreadsheetCsv:
    case FormatVCard:
    case FormatXlsx:
        return true;
    default:
        return false;
    }
}

int gridFormatForPath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("vty") || suffix == QLatin1String("bin"))
        return FormatNative;
    if (suffix == QLatin1String("csv"))
        return FormatComma;
    if (suffix == QLatin1String("txt"))
        return FormatTab;
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return FormatVCard;
    if (suffix == QLatin1String("xlsx"))
        return FormatXlsx;
    return -1;
}

bool readGrid(QIODevice& device, int format, RecordSheet& into, QString* error, const GridProgress& progress,
              const QStringList& columnTitles)
{
    if (!isGridFormat(format))
        return fail(error, tr("Unknown file format %1.").arg(format));
    if (device.isSequential()) {
        // The readers check every count against what remains, so they need the size.
        QByteArray all = device.readAll();
        QBuffer buffer(&all);
        buffer.open(QIODevice::ReadOnly);
        return readGrid(buffer, format, into, error, progress, columnTitles);
    }
    RecordSheet staging;
    QString reason;
    bool ok;
    switch (format) {
    case FormatNative:
        ok = NativeGridFormat::read(device, staging, &reason, progress);
        break;
    case FormatVCard:
        ok = VCardFormat::read(device, staging, columnTitles, &reason, progress);
        break;
    case FormatXlsx:
        ok = XlsxFormat::read(device, staging, &reason, progress);
        break;
    default: {
        DelimitedTextReader reader(delimiterOf(format));
        ok = reader.readInto(device, staging, &reason, progress);
        break;
    }
    }
    if (!ok)
        return fail(error, reason.isEmpty() ? tr("The file could not be read.") : reason);
    into.swapContents(staging);
    return true;
}

bool writeGrid(QIODevice& device, int format, const RecordSheet& sheet, QString* error,
               const GridProgress& progress)
{
    if (!isGridFormat(format))
        return fail(error, tr("Unknown file format %1.").arg(format));
    switch (format) {
    case FormatNative:
        return NativeGridFormat::write(device, sheet, error, progress);
    case FormatSpreadsheetCsv:
        return writeSpreadsheetCsv(device, sheet, error, progress);
    case FormatVCard:
        return VCardFormat::write(device, sheet, error, progress);
    case FormatXlsx:
        return XlsxFormat::write(device, sheet, error, progress);
    default:
        return writeDelimitedText(device, sheet, delimiterOf(format), error, progress);
    }
}

bool LoadGrid(const QString& path, int format, RecordSheet& into, QString* error, const GridProgress& progress,
              const QStringList& columnTitles)
{
    QFileInfo info(path);
    if (!info.exists())
        return fail(error, tr("The file does not exist."));
    if (info.isDir())
        return fail(error, tr("It is a folder, not a file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, file.errorString());
    return readGrid(file, format, into, error, progress, columnTitles);
}

bool SaveGrid(const QString& path, int format, const RecordSheet& sheet, QString* error,
              const GridProgress& progress)
{
    if (!isGridFormat(format))
        return fail(error, tr("Unknown file format %1.").arg(format));
    if (QFileInfo(path).isDir())
        return fail(error, tr("It is a folder, not a file."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, file.errorString());
    if (!writeGrid(file, format, sheet, error, progress)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return fail(error, file.errorString());
    return true;
}

} // namespace quillon
