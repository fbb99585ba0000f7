#include "files/GridFile.h"

#include "files/DelimitedText.h"
#include "files/NativeGridFormat.h"
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
    return format == FormatNative || format == FormatComma || format == FormatTab;
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
    return -1;
}

bool readGrid(QIODevice& device, int format, RecordSheet& into, QString* error, const GridProgress& progress)
{
    if (!isGridFormat(format))
        return fail(error, tr("Unknown file format %1.").arg(format));
    if (device.isSequential()) {
        // The readers check every count against what remains, so they need the size.
        QByteArray all = device.readAll();
        QBuffer buffer(&all);
        buffer.open(QIODevice::ReadOnly);
        return readGrid(buffer, format, into, error, progress);
    }
    RecordSheet staging;
    QString reason;
    bool ok;
    if (format == FormatNative) {
        ok = NativeGridFormat::read(device, staging, &reason, progress);
    } else {
        DelimitedTextReader reader(delimiterOf(format));
        ok = reader.readInto(device, staging, &reason, progress);
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
    if (format == FormatNative)
        return NativeGridFormat::write(device, sheet, error, progress);
    return writeDelimitedText(device, sheet, delimiterOf(format), error, progress);
}

bool LoadGrid(const QString& path, int format, RecordSheet& into, QString* error, const GridProgress& progress)
{
    QFileInfo info(path);
    if (!info.exists())
        return fail(error, tr("The file does not exist."));
    if (info.isDir())
        return fail(error, tr("It is a folder, not a file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, file.errorString());
    return readGrid(file, format, into, error, progress);
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
