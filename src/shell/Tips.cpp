#include "shell/Tips.h"

namespace quillon {

const QStringList& TipTexts()
{
    static const QStringList tips = {
        QStringLiteral("Choose a directory site in the list on the Browser page and search it as in any web "
                       "browser. As soon as a result page shows listings, press Start Grabbing (F5): Quillon "
                       "collects that page and every following one into the record sheet."),
        QStringLiteral("Stop Grabbing (Ctrl+F5) ends a grab after the listing it is reading. Everything grabbed "
                       "so far stays in the record sheet."),
        QStringLiteral("Row mode (F6) selects whole records: click one, then Shift+click or Ctrl+click more, and "
                       "Delete Row(s) (Shift+Del) removes exactly those. Block & Edit mode (F7) selects a free "
                       "block of cells and lets you type into them."),
        QStringLiteral("The form panel beside the sheet shows the current record one field a line. Change a "
                       "value there and the sheet follows. F2 shows or hides the panel."),
        QStringLiteral("Append (Ctrl+A) adds the records of another Quillon file to the end of the sheet. Select "
                       "All is Ctrl+L."),
        QStringLiteral("Delete Duplicates (Ctrl+D) removes every record that repeats another one in all its "
                       "columns and keeps the first."),
        QStringLiteral("Click a column title to sort the records by that column; click it again to sort the "
                       "other way round."),
        QStringLiteral("Column Define (F9) sets the title, data type, display format and alignment of each "
                       "column. In a Money column with the format $#,###.00 the value 1234.5 shows as $1,234.50."),
        QStringLiteral("DateTime Stamp Now (F3) writes the present date and time into the current cell, handy "
                       "for noting when you called."),
        QStringLiteral("F8 opens the current record's address on a street map in your web browser, and Dial "
                       "Phone (Ctrl+F8) dials its phone number through your modem."),
        QStringLiteral("Save As keeps your records as a Quillon grid file (.vty) with colours and fonts, or as "
                       "comma- or tab-delimited text for spreadsheets and mail merges."),
        QStringLiteral("Print Mailing Labels (Ctrl+M) prints the names and addresses on label sheets of 3 x 10, "
                       "2 x 10 or 2 x 5 labels."),
    };
    return tips;
}

int TipOfTheDayIndex(const QDate& date)
{
    const auto count = TipTexts().size();
    if (count == 0 || !date.isValid())
        return 0;
    const qint64 day = date.toJulianDay();
    return int(((day % count) + count) % count);
}

} // namespace quillon
