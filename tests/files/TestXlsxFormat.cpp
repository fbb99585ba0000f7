#include "ContactFilesSupport.h"
#include "FilesTestSupport.h"
#include "files/GridFile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace quillon::testing;

using Rows = QList<QStringList>;
Q_DECLARE_METATYPE(Rows)

namespace {

struct Column
{
    int type;
    QString format;
    int alignment;
    bool hidden;
    int width;
};

/** The column attributes that travel: type, format, alignment, hidden, and the width to
 *  a pixel (15 twips), as a spreadsheet keeps widths in pixels. */
QString attributeDifference(const RecordSheet& sheet, const QList<Column>& expected)
{
    if (sheet.cols() != expected.size())
        return QStringLiteral("%1 columns, not %2").arg(sheet.cols()).arg(expected.size());
    for (int c = 0; c < sheet.cols(); ++c) {
        const ColumnAttributes& a = sheet.column(c);
        const Column& e = expected[c];
        if (a.dataType != e.type || a.format != e.format || a.alignment != e.alignment || a.hidden != e.hidden ||
            std::abs(a.width - e.width) > 15)
            return QStringLiteral("column %1: type %2 format \"%3\" alignment %4 hidden %5 width %6")
                .arg(c)
                .arg(a.dataType)
                .arg(a.format)
                .arg(a.alignment)
                .arg(a.hidden)
                .arg(a.width);
    }
    return {};
}

/** A sheet of listings with every column type, and what a spreadsheet file keeps of it. */
void fillTypedSheet(RecordSheet& s)
{
    fillSheet(s, {{QStringLiteral("Name"), QStringLiteral("Zip Code"), QStringLiteral("Amount"),
                   QStringLiteral("Since"), QStringLiteral("Member"), QStringLiteral("Count"), QStringLiteral("Note")},
                  {QStringLiteral("Smith Hardware"), QStringLiteral("02134"), QStringLiteral("1234.5"),
                   QStringLiteral("2024-03-15"), QString(), QStringLiteral("3"), QStringLiteral("a\r\nb\nc")},
                  {},
                  {QStringLiteral(" Åsa Öberg ☕ "), QStringLiteral("10001"), QStringLiteral("-5"),
                   QStringLiteral("1999-12-31 16:30:00"), QString(), QStringLiteral("0.25"),
                   QStringLiteral("_x0041_ stays _x0041_")},
                  {QStringLiteral("=1+2"), QStringLiteral("x"), QStringLiteral("not a number"),
                   QStringLiteral("not a date"), QStringLiteral("text in a check column"), QStringLiteral("007"),
                   QStringLiteral("ctrl\x01" "char")},
                  {QString(), QString(), QString(), QString(), QString(), QString(), QString(32767, QChar(0x00E9))}});
    s.setColumn(0, {TypeText, {}, AlignLeft, false, 2500});
    s.setColumn(1, {TypeText, {}, AlignLeft, false, 900});
    s.setColumn(2, {TypeMoney, QStringLiteral("$#,###.00"), AlignRight, false, 1500});
    s.setColumn(3, {TypeDate, QStringLiteral("mm/dd/yy hh:mm AMPM"), AlignRight, false, 2000});
    s.setColumn(4, {TypeCheckbox, {}, AlignCenter, false, 600});
    s.setColumn(5, {TypeNumber, QStringLiteral("0.00"), AlignGeneral, false, 1000});
    s.setColumn(6, {TypeNone, {}, AlignGeneral, true, 3000});
    s.setChecked(1, 4, 1);
    s.setChecked(3, 4, -1);
    s.setRowHeight(3, 600);
}

} // namespace

class TestXlsxFormat : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void roundTripKeepsTextsTypesAndColumns()
    {
        RecordSheet sheet;
        fillTypedSheet(sheet);
        QString error;
        QVERIFY2(SaveGrid(path(QStringLiteral("typed.xlsx")), FormatXlsx, sheet, &error), qPrintable(error));
        RecordSheet back;
        QVERIFY2(LoadGrid(path(QStringLiteral("typed.xlsx")), FormatXlsx, back, &error), qPrintable(error));
        // Numbers and dates come back as the values they are ("007" as 7), texts as they
        // were, the blank record in the middle as well. The check column holds a text
        // too, so its checks come back as TRUE: a column of texts and TRUE is no check
        // column.
        QCOMPARE(sheetRows(back),
                 (Rows{{QStringLiteral("Name"), QStringLiteral("Zip Code"), QStringLiteral("Amount"),
                        QStringLiteral("Since"), QStringLiteral("Member"), QStringLiteral("Count"), QStringLiteral("Note")},
                       {QStringLiteral("Smith Hardware"), QStringLiteral("02134"), QStringLiteral("1234.5"),
                        QStringLiteral("2024-03-15"), QStringLiteral("TRUE"), QStringLiteral("3"),
                        QStringLiteral("a\r\nb\nc")},
                       {QString(), QString(), QString(), QString(), QString(), QString(), QString()},
                       {QStringLiteral(" Åsa Öberg ☕ "), QStringLiteral("10001"), QStringLiteral("-5"),
                        QStringLiteral("1999-12-31 16:30:00"), QStringLiteral("TRUE"), QStringLiteral("0.25"),
                        QStringLiteral("_x0041_ stays _x0041_")},
                       {QStringLiteral("=1+2"), QStringLiteral("x"), QStringLiteral("not a number"),
                        QStringLiteral("not a date"), QStringLiteral("text in a check column"), QStringLiteral("7"),
                        QStringLiteral("ctrl\x01" "char")},
                       {QString(), QString(), QString(), QString(), QString(), QString(),
                        QString(32767, QChar(0x00E9))}}));
        const QString difference = attributeDifference(
            back, {{TypeText, {}, AlignLeft, false, 2500},
                   {TypeText, {}, AlignLeft, false, 900},
                   {TypeMoney, QStringLiteral("$#,###.00"), AlignRight, false, 1500},
                   {TypeDate, QStringLiteral("mm/dd/yy hh:mm AMPM"), AlignRight, false, 2000},
                   {TypeNone, {}, AlignCenter, false, 600},
                   {TypeNumber, QStringLiteral("0.00"), AlignGeneral, false, 1000},
                   {TypeNone, {}, AlignGeneral, true, 3000}});
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(back.rowHeight(3), 600);
        QCOMPARE(back.rowHeight(2), back.defaultRowHeight());
    }

    void checkColumnsComeBackWithTheirChecks()
    {
        RecordSheet sheet;
        fillSheet(sheet, {{QStringLiteral("Name"), QStringLiteral("Called")},
                          {QStringLiteral("a")},
                          {QStringLiteral("b")},
                          {QStringLiteral("c")}});
        sheet.setColumnDataType(1, TypeCheckbox);
        sheet.setChecked(1, 1, 1);
        sheet.setChecked(3, 1, -1);
        QString error;
        QVERIFY2(SaveGrid(path(QStringLiteral("checks.xlsx")), FormatXlsx, sheet, &error), qPrintable(error));
        RecordSheet back;
        QVERIFY2(LoadGrid(path(QStringLiteral("checks.xlsx")), FormatXlsx, back, &error), qPrintable(error));
        QCOMPARE(back.column(1).dataType, int(TypeCheckbox));
        QVERIFY(back.isChecked(1, 1));
        QVERIFY(!back.isChecked(2, 1));
        QVERIFY(back.isChecked(3, 1));
        QCOMPARE(sheetRows(back), sheetRows(sheet));
    }

    void whatASpreadsheetCannotHoldIsRefusedAndNothingWritten_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cellLength");
        QTest::addColumn<QString>("reason");
        QTest::newRow("1,048,577 rows") << 1048577 << 1
                                        << QStringLiteral("The sheet has 1048577 rows, the title row included; a "
                                                          "spreadsheet file holds at most 1048576.");
        QTest::newRow("32,768 characters in a cell")
            << 3 << 32768
            << QStringLiteral("Row 2, column 1 holds 32768 characters; a cell of a spreadsheet file holds at most 32767.");
    }
    void whatASpreadsheetCannotHoldIsRefusedAndNothingWritten()
    {
        QFETCH(int, rows);
        QFETCH(int, cellLength);
        QFETCH(QString, reason);
        RecordSheet sheet;
        sheet.setCols(1);
        sheet.setRows(rows);
        sheet.setText(rows - 1, 0, QString(cellLength, QLatin1Char('x')));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("refused.xlsx"));
        writeBytes(file, "the file that was there");
        QString error;
        QVERIFY(!SaveGrid(file, FormatXlsx, sheet, &error));
        QCOMPARE(error, reason);
        QCOMPARE(fileBytes(file), QByteArray("the file that was there"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("refused.xlsx")});
    }

    void aStoppedWriteLeavesNoFileBehind()
    {
        // Temporary files go to TMPDIR: the library's and Quillon's own.
        QTemporaryDir temporary;
        const QByteArray before = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        RecordSheet sheet;
        sheet.setCols(2);
        sheet.setRows(20000);
        for (int r = 0; r < sheet.rows(); ++r)
            sheet.setText(r, 0, QStringLiteral("record %1").arg(r));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("stopped.xlsx"));
        int calls = 0;
        QString error;
        const bool written = SaveGrid(file, FormatXlsx, sheet, &error, [&calls](qint64, qint64) { return ++calls < 3; });
        qputenv("TMPDIR", before);
        QVERIFY(!written);
        QCOMPARE(error, QStringLiteral("Stopped."));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(QDir(temporary.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    void readsWhatOtherProgramsWrite_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Rows>("expected");
        // openpyxl: shared texts, numbers, dates by their formats, booleans, empty cells,
        // a formula without a value, a second sheet that is not read.
        QTest::newRow("openpyxl") << QStringLiteral("openpyxl-workbook.xlsx")
                                  << Rows{{QStringLiteral("Name"), QStringLiteral("Zip Code"), QStringLiteral("Amount"),
                                           QStringLiteral("Since"), QStringLiteral("Member"), QStringLiteral("Note"),
                                           QStringLiteral("Count")},
                                          {QStringLiteral("Smith Hardware"), QStringLiteral("02134"),
                                           QStringLiteral("1234.5"), QStringLiteral("2024-03-15"), QString(),
                                           QStringLiteral("line1\nline2"), QStringLiteral("3")},
                                          {QStringLiteral("Åsa Öberg"), QStringLiteral("10001"), QStringLiteral("-5"),
                                           QStringLiteral("1999-12-31 16:30:00"), QString(), QString(),
                                           QStringLiteral("0.3")},
                                          {QString(), QString(), QString(), QString(), QString(),
                                           QStringLiteral("only a note"), QString()},
                                          {QStringLiteral("  spaced  "), QStringLiteral("60601"), QStringLiteral("0"),
                                           QStringLiteral("1900-01-01"), QString(), QStringLiteral("=1+2"),
                                           QStringLiteral("1.23456789012346e+19")}};
        QTest::newRow("openpyxl, 1904 dates") << QStringLiteral("openpyxl-1904.xlsx")
                                              << Rows{{QStringLiteral("Date")}, {QStringLiteral("2024-02-29")}};
        // By hand: prefixes, rich and phonetic runs, escapes, CDATA, cells without
        // references, an error value, a dimension of a million rows that are not there.
        QTest::newRow("other writers") << QStringLiteral("handmade.xlsx")
                                       << Rows{{QStringLiteral("Shared & plain"), QStringLiteral("Rich text"),
                                                QString::fromUtf8("Inline ☺ <tag>"), QString(), QString(), QString()},
                                               {QString(), QString(), QString(), QString(), QString(), QString()},
                                               {QStringLiteral("carriage\rreturn and _x0041_"), QStringLiteral("#N/A"),
                                                QStringLiteral("cdata <text>"), QString(), QString(),
                                                QStringLiteral("0.001")}};
    }
    void readsWhatOtherProgramsWrite()
    {
        QFETCH(QString, file);
        QFETCH(Rows, expected);
        RecordSheet sheet;
        QString error;
        QVERIFY2(LoadGrid(contactFixture(file), FormatXlsx, sheet, &error), qPrintable(error));
        QCOMPARE(sheetRows(sheet), expected);
    }

    void columnsOfOtherProgramsTakeTheirCellsTypes()
    {
        RecordSheet sheet;
        QString error;
        QVERIFY2(LoadGrid(contactFixture(QStringLiteral("openpyxl-workbook.xlsx")), FormatXlsx, sheet, &error),
                 qPrintable(error));
        // Column widths in characters of the default font, padding included: 30 is 210
        // pixels, 13 is 91.
        const QString difference =
            attributeDifference(sheet, {{TypeNone, {}, AlignGeneral, false, 3150},
                                        {TypeNone, {}, AlignGeneral, false, 1200},
                                        {TypeMoney, QStringLiteral("$#,###.00"), AlignGeneral, false, 1200},
                                        {TypeDate, QStringLiteral("mm/dd/yyyy"), AlignGeneral, false, 1200},
                                        {TypeCheckbox, {}, AlignGeneral, false, 1200},
                                        {TypeNone, {}, AlignGeneral, true, 1365},
                                        {TypeNumber, {}, AlignGeneral, false, 1200}});
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QVERIFY(sheet.isChecked(1, 4));
        QVERIFY(!sheet.isChecked(2, 4));
        QVERIFY(!sheet.isChecked(3, 4));
        QVERIFY(sheet.isChecked(4, 4));
    }

    void damagedAndHostileFilesAreRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a zip") << QStringLiteral("not-a-zip.xlsx")
                                   << QStringLiteral("It is not a spreadsheet file (.xlsx): it is not a zip archive.");
        QTest::newRow("an older workbook")
            << QStringLiteral("old-excel.xlsx")
            << QStringLiteral("It is an older Excel workbook (.xls); Quillon reads spreadsheet files of the .xlsx kind "
                              "only. Save it as .xlsx in the spreadsheet program first.");
        QTest::newRow("cut in half") << QStringLiteral("truncated.xlsx")
                                     << QStringLiteral("It is not a spreadsheet file (.xlsx): it is not a zip archive.");
        QTest::newRow("a zip bomb") << QStringLiteral("bomb.xlsx")
                                    << QStringLiteral("Its part xl/worksheets/sheet1.xml would expand from 0.1 MB to "
                                                      "100.0 MB, far more than any spreadsheet does; it is taken for a "
                                                      "zip bomb.");
        QTest::newRow("shared texts of 2 GB")
            << QStringLiteral("huge-strings.xlsx")
            << QStringLiteral("Its part xl/sharedStrings.xml would expand to 2048.0 MB, more than the 512.0 MB Quillon "
                              "reads from it; it may be a zip bomb.");
        QTest::newRow("an entry smaller than its part")
            << QStringLiteral("lying-size.xlsx")
            << QStringLiteral("Its part xl/worksheets/sheet1.xml is damaged: its checksum or its size does not match.");
        QTest::newRow("a sheet declaring a million columns")
            << QStringLiteral("million-columns.xlsx")
            << QStringLiteral("Its sheet declares itself as large as BDWGN1, beyond the 1048576 rows and 16384 columns "
                              "a spreadsheet holds; the file is damaged.");
        QTest::newRow("a cell in column 1,000,000")
            << QStringLiteral("cell-beyond.xlsx")
            << QStringLiteral("Its sheet has a cell (BDWGN1) beyond the 16384 columns a spreadsheet holds; the file is "
                              "damaged.");
        QTest::newRow("a row numbered 2,000,000")
            << QStringLiteral("row-beyond.xlsx")
            << QStringLiteral("Its sheet has a row numbered 2000000, beyond the 1048576 rows a spreadsheet holds; the "
                              "file is damaged.");
        QTest::newRow("more cells than a sheet holds")
            << QStringLiteral("too-many-cells.xlsx")
            << QStringLiteral("Its 20000 rows of 16384 columns make 327680000 cells, more than the 268435456 a sheet "
                              "can hold.");
        QTest::newRow("a DTD in the sheet")
            << QStringLiteral("dtd-sheet.xlsx")
            << QStringLiteral("Its XML has a document type declaration (DTD); Quillon refuses those, as entities "
                              "defined in one can make a small file expand without bound.");
        QTest::newRow("a DTD in the workbook")
            << QStringLiteral("dtd-workbook.xlsx")
            << QStringLiteral("Its part xl/workbook.xml has a document type declaration (DTD); Quillon refuses those, "
                              "as entities defined in one can make a small file expand without bound.");
        QTest::newRow("an entity") << QStringLiteral("entity.xlsx")
                                   << QStringLiteral("Its XML uses the entity &nbsp;, which is none of XML's own; "
                                                     "Quillon refuses entities a file defines.");
        QTest::newRow("a shared text out of range")
            << QStringLiteral("shared-index.xlsx")
            << QStringLiteral("Its sheet refers to shared text number 7, but the file has 1 shared texts; the file is "
                              "damaged.");
        QTest::newRow("a sheet cut short") << QStringLiteral("cut-short.xlsx")
                                           << QStringLiteral("Its XML ends early; the file may be damaged.");
    }
    void damagedAndHostileFilesAreRefused()
    {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        RecordSheet sheet;
        fillSheet(sheet, {{QStringLiteral("Mine")}, {QStringLiteral("kept")}});
        QString error;
        QVERIFY(!LoadGrid(contactFixture(file), FormatXlsx, sheet, &error));
        QCOMPARE(error, reason);
        QCOMPARE(sheetRows(sheet), (Rows{{QStringLiteral("Mine")}, {QStringLiteral("kept")}}));
    }

    void anEmptyFileIsRefused()
    {
        writeBytes(path(QStringLiteral("empty.xlsx")), {});
        RecordSheet sheet;
        QString error;
        QVERIFY(!LoadGrid(path(QStringLiteral("empty.xlsx")), FormatXlsx, sheet, &error));
        QCOMPARE(error, QStringLiteral("The file is empty."));
    }

    void manyRecordsReadBackWhole()
    {
        // Several megabytes of sheet, so that the reader refills its buffer many times.
        RecordSheet sheet;
        sheet.setCols(3);
        sheet.setRows(20001);
        sheet.setTitle(0, QStringLiteral("Name"));
        for (int r = 1; r < sheet.rows(); ++r) {
            sheet.setText(r, 0, QStringLiteral("Listing & <%1>").arg(r));
            sheet.setText(r, 1, QString(r % 50, QChar(0x2615)));
            if (r % 3)
                sheet.setText(r, 2, QString::number(r));
        }
        QString error;
        QVERIFY2(SaveGrid(path(QStringLiteral("many.xlsx")), FormatXlsx, sheet, &error), qPrintable(error));
        RecordSheet back;
        QVERIFY2(LoadGrid(path(QStringLiteral("many.xlsx")), FormatXlsx, back, &error), qPrintable(error));
        const QString difference = sheetDifference(sheet, back, false);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    void openpyxlReadsWhatQuillonWrites()
    {
        RecordSheet sheet;
        fillTypedSheet(sheet);
        QString error;
        const QString file = path(QStringLiteral("for-openpyxl.xlsx"));
        QVERIFY2(SaveGrid(file, FormatXlsx, sheet, &error), qPrintable(error));
        const PythonRun run = runPython(QStringLiteral(R"(
import datetime, json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
def value(v):
    if isinstance(v, (datetime.datetime, datetime.date)):
        return v.isoformat()
    return v
rows = [[value(c.value) for c in row] for row in ws.iter_rows()]
print(json.dumps({
    'sheets': wb.sheetnames,
    'rows': rows,
    'formats': [ws.cell(row=2, column=c).number_format for c in range(1, 8)],
    'bold': ws['A1'].font.b,
    'columnFormat': ws.column_dimensions['B'].number_format,
    'hidden': [ws.column_dimensions[l].hidden for l in 'ABCDEFG'],
    'freeze': ws.freeze_panes,
    'height': ws.row_dimensions[4].height,
}))
)"),
                                        {file});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        const QJsonObject o = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(o[u"sheets"].toArray().toVariantList(), QVariantList{QStringLiteral("Records")});
        const QJsonArray rows = o[u"rows"].toArray();
        QCOMPARE(rows.size(), 6);
        const QJsonArray first = rows[1].toArray();
        QCOMPARE(first[0].toString(), QStringLiteral("Smith Hardware"));
        QCOMPARE(first[1].toString(), QStringLiteral("02134")); // text, not the number 2134
        QCOMPARE(first[2].toDouble(), 1234.5);
        QCOMPARE(first[3].toString(), QStringLiteral("2024-03-15T00:00:00"));
        QCOMPARE(first[4].toBool(), true);
        QCOMPARE(first[5].toDouble(), 3.0);
        // (openpyxl 3.0 leaves the spreadsheet's own escapes in inline texts, where a
        // spreadsheet program decodes them: the carriage return and "_x0041_" are not
        // compared here.)
        const QJsonArray third = rows[3].toArray();
        QCOMPARE(third[0].toString(), QStringLiteral(" Åsa Öberg ☕ "));
        QCOMPARE(third[3].toString(), QStringLiteral("1999-12-31T16:30:00"));
        QCOMPARE(third[4].toBool(), true);
        const QJsonArray fourth = rows[4].toArray();
        QCOMPARE(fourth[0].toString(), QStringLiteral("=1+2")); // a text, never a formula
        QCOMPARE(fourth[5].toDouble(), 7.0);
        QCOMPARE(o[u"formats"].toArray().toVariantList(),
                 (QVariantList{QStringLiteral("@"), QStringLiteral("@"), QStringLiteral("$#,###.00"),
                               QStringLiteral("mm/dd/yy hh:mm AM/PM"), QStringLiteral("General"),
                               QStringLiteral("0.00"), QStringLiteral("General")}));
        QCOMPARE(o[u"bold"].toBool(), true);
        // A text column's format is the column's too, for what is typed into it.
        QCOMPARE(o[u"columnFormat"].toString(), QStringLiteral("@"));
        QCOMPARE(o[u"hidden"].toArray().toVariantList(),
                 (QVariantList{false, false, false, false, false, false, true}));
        QCOMPARE(o[u"freeze"].toString(), QStringLiteral("A2"));
        QCOMPARE(o[u"height"].toDouble(), 30.0);
    }
};

QTEST_GUILESS_MAIN(TestXlsxFormat)
#include "TestXlsxFormat.moc"
