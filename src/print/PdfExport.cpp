#include "print/PdfExport.h"

#include <QCoreApplication>
#include <QPdfWriter>
#include <QSaveFile>

namespace quillon {

bool WritePdf(const PrintSheet& sheet, const QString& path, QString* error, const PrintSheet::Progress& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QCoreApplication::translate("PdfExport", "Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("Quillon"));
        writer.setTitle(sheet.header());
        if (!sheet.print(writer, error, progress)) {
            file.cancelWriting();
            return false;
        }
    }
    if (!file.commit()) {
        if (error)
            *error = QCoreApplication::translate("PdfExport", "Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace quillon
