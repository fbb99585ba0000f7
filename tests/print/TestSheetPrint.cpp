// Printing the record sheet as a table: the print sheet's page layout, read back
// from real PDF files.

#include "PdfReader.h"

#include "print/PdfExport.h"
#include "print/SheetPrint.h"
#include "sheet/Document.h"
#include "sheet/RecordSheet.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

using namespace quillon;
using namespace quillon::test;

namespace {

constexpr double kPt = 20.0; // twips a point

// The sheet print's page setup, in points.
constexpr double kLeft = 36;
constexpr double kTop = 54;
constexpr double kPadding = 2; // at scale 100

} // namespace

class TestSheetPrint : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;

    QString pdf(const PrintSheet& print)
    {
        const QString path = m_dir.filePath(QStringLiteral("out%1.pdf").arg(++m_files));
        QString error;
        if (!WritePdf(print, path, &error))
            qWarning("%s", qPrintable(error));
        return path;
    }

    /** A sheet of @p cols columns with the given widths and @p records records whose
     *  cells read "r<row>c<col>". */
    static void fill(RecordSheet& s, int cols, int records, const QList<int>& widths = {})
    {
        s.setCols(cols);
        s.setRows(records + 1);
        for (int c = 0; c < cols; ++c) {
            s.setTitle(c, QStringLiteral("T%1").arg(c + 1));
            s.setColumnDataType(c, TypeText);
            s.setColumnAlignment(c, AlignLeft);
            if (c < widths.size())
                s.setColumnWidth(c, widths[c]);
        }
        for (int r = 1; r <= records; ++r)
            for (int c = 0; c < cols; ++c)
                s.setText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
    }

    /** Counts dark horizontal lines crossing the vertical line at @p xPt from @p topPt down. */
    static int horizontalLinesAt(const QImage& image, int dpi, double xPt, double topPt, double bottomPt)
    {
        const int x = int(xPt * dpi / 72);
        int lines = 0;
        bool inLine = false;
        for (int y = int(topPt * dpi / 72); y < int(bottomPt * dpi / 72) && y < image.height(); ++y) {
            const bool dark = qGray(image.pixel(x, y)) < 160;
            if (dark && !inLine)
                ++lines;
            inLine = dark;
        }
        return lines;
    }

    static int darkPixels(const QImage& image, const QRect& rect, int below = 128)
    {
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                n += qGray(image.pixel(x, y)) < below;
        return n;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void scaleText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("scale");
        QTest::newRow("initial") << QStringLiteral("75") << 75;
        QTest::newRow("blanks around") << QStringLiteral(" 80 ") << 80;
        QTest::newRow("percent sign") << QStringLiteral("90%") << 90;
        QTest::newRow("fraction, whole part") << QStringLiteral("66.7") << 66;
        QTest::newRow("above the arrows' range") << QStringLiteral("250") << 250;
        QTest::newRow("below the arrows' range") << QStringLiteral("20") << 20;
        QTest::newRow("not a number") << QStringLiteral("abc") << 100;
        QTest::newRow("number then letters") << QStringLiteral("75x") << 100;
        QTest::newRow("empty") << QString() << 100;
        QTest::newRow("zero") << QStringLiteral("0") << 100;
        QTest::newRow("negative") << QStringLiteral("-5") << 100;
        QTest::newRow("huge") << QStringLiteral("1e9") << 1000;
    }
    void scaleText()
    {
        QFETCH(QString, text);
        QFETCH(int, scale);
        QCOMPARE(PrintScaleValue(text), scale);
    }

    void scaleArrows_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("result");
        QTest::newRow("up from 75") << QStringLiteral("75") << true << QStringLiteral("76");
        QTest::newRow("up from 99") << QStringLiteral("99") << true << QStringLiteral("100");
        QTest::newRow("up stops at 100") << QStringLiteral("100") << true << QStringLiteral("100");
        QTest::newRow("down from 51") << QStringLiteral("51") << false << QStringLiteral("50");
        QTest::newRow("down stops at 50") << QStringLiteral("50") << false << QStringLiteral("50");
        QTest::newRow("typed 150, down") << QStringLiteral("150") << false << QStringLiteral("149");
        QTest::newRow("typed 150, up") << QStringLiteral("150") << true << QStringLiteral("150");
        QTest::newRow("typed 20, up") << QStringLiteral("20") << true << QStringLiteral("21");
        QTest::newRow("typed 20, down") << QStringLiteral("20") << false << QStringLiteral("20");
        QTest::newRow("not a number, down") << QStringLiteral("abc") << false << QStringLiteral("99");
        QTest::newRow("not a number, up") << QStringLiteral("abc") << true << QStringLiteral("abc");
    }
    void scaleArrows()
    {
        QFETCH(QString, start);
        QFETCH(bool, up);
        QFETCH(QString, result);
        RecordSheet s;
        fill(s, 2, 1);
        PrintSheetForm form(s);
        QCOMPARE(form.scaleText(), QStringLiteral("75"));
        form.setScaleText(start);
        up ? form.scaleUp() : form.scaleDown();
        QCOMPARE(form.scaleText(), result);
    }

    void columnListFollowsTheSheet()
    {
        RecordSheet s;
        fill(s, 12, 2);
        s.setColumnHidden(4, true);
        PrintSheetForm form(s);
        QCOMPARE(int(form.columns().size()), 12);
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(form.columns()[size_t(i)].number, i + 1);
            QCOMPARE(form.columns()[size_t(i)].title, QStringLiteral("T%1").arg(i + 1));
            QCOMPARE(form.columns()[size_t(i)].print, i != 4);
        }
    }

    void selectedRowsCaptionIsReadAgain()
    {
        RecordSheet s;
        fill(s, 3, 10);
        s.setSelectionMode(RecordSheet::SelectionMode::Rows);
        s.setSelectedRows({{2, 3}, {7, 7}});
        PrintSheetForm form(s);
        QCOMPARE(form.selectedRowsCaption(), QStringLiteral("Slected rows (3)"));
        s.setSelectedRows({{1, 5}});
        QCOMPARE(form.selectedRowsCaption(), QStringLiteral("Slected rows (3)"));
        form.refreshSelection();
        QCOMPARE(form.selectedRowsCaption(), QStringLiteral("Slected rows (5)"));
    }

    // Column widths on paper are 1.2 times the sheet's, 0 for a column not printed.
    void columnWidths_data()
    {
        QTest::addColumn<QList<bool>>("print");
        QTest::addColumn<QString>("scale");
        QTest::newRow("all, 100%") << QList<bool>{true, true, true, true} << QStringLiteral("100");
        QTest::newRow("second off, 100%") << QList<bool>{true, false, true, true} << QStringLiteral("100");
        QTest::newRow("first and third off") << QList<bool>{false, true, false, true} << QStringLiteral("100");
        QTest::newRow("all, 75%") << QList<bool>{true, true, true, true} << QStringLiteral("75");
        QTest::newRow("all, 50%") << QList<bool>{true, true, true, true} << QStringLiteral("50");
        QTest::newRow("scale not a number") << QList<bool>{true, true, true, true} << QStringLiteral("x");
    }
    void columnWidths()
    {
        QFETCH(QList<bool>, print);
        QFETCH(QString, scale);
        const QList<int> widths{1000, 2000, 1500, 505};
        RecordSheet s;
        fill(s, 4, 1, widths);
        PrintSheetForm form(s);
        for (int i = 0; i < 4; ++i)
            form.setPrint(i, print[i]);
        form.setScaleText(scale);
        const auto sheet = form.makePrintSheet();
        const double k = PrintScaleValue(scale) / 100.0;
        for (int c = 0; c < 4; ++c)
            QCOMPARE(sheet->columnWidth(c), print[c] ? int(std::lround(widths[c] * 1.2)) : 0);

        const PdfReader pdfRead(pdf(*sheet));
        QVERIFY2(pdfRead.ok(), qPrintable(pdfRead.error()));
        QCOMPARE(pdfRead.pageCount(), 1);
        const PdfPage& page = pdfRead.page(0);
        double x = kLeft;
        for (int c = 0; c < 4; ++c) {
            const PdfWord* w = page.find(QStringLiteral("r1c%1").arg(c));
            if (!print[c]) {
                QVERIFY2(!w, "a column not printed shows no text");
                continue;
            }
            QVERIFY(w);
            QVERIFY2(std::abs(w->box.left() - (x + kPadding * k)) < 0.75,
                     qPrintable(QStringLiteral("column %1 at %2, expected %3").arg(c).arg(w->box.left()).arg(x)));
            x += std::lround(widths[c] * 1.2) * k / kPt;
        }
    }

    void hiddenColumnPrintsWhenChecked()
    {
        RecordSheet s;
        fill(s, 3, 1);
        s.setColumnHidden(1, true);
        PrintSheetForm form(s);
        QVERIFY(!form.columns()[1].print);
        QVERIFY(!PdfReader(pdf(*form.makePrintSheet())).page(0).find(QStringLiteral("r1c1")));
        form.setPrint(1, true);
        QVERIFY(PdfReader(pdf(*form.makePrintSheet())).page(0).find(QStringLiteral("r1c1")));
    }

    void twelveColumnsHonourTheirChecks()
    {
        RecordSheet s;
        fill(s, 12, 3, QList<int>(12, 600));
        PrintSheetForm form(s);
        form.setPrint(10, false);
        form.setPrint(11, false);
        form.setPrint(3, false);
        const PdfReader read(pdf(*form.makePrintSheet()));
        QVERIFY(read.ok());
        const QStringList words = read.allWords();
        for (int r = 1; r <= 3; ++r)
            for (int c = 0; c < 12; ++c)
                QCOMPARE(words.contains(QStringLiteral("r%1c%2").arg(r).arg(c)), c != 3 && c != 10 && c != 11);
        form.setPrint(10, true);
        form.setPrint(11, true);
        const QStringList again = PdfReader(pdf(*form.makePrintSheet())).allWords();
        QVERIFY(again.contains(QStringLiteral("r3c10")));
        QVERIFY(again.contains(QStringLiteral("r3c11")));
    }

    void headerOnEveryPage()
    {
        RecordSheet s;
        fill(s, 2, 200);
        PrintSheetForm form(s);
        const auto sheet = form.makePrintSheet();
        QCOMPARE(sheet->header(), QStringLiteral("Mervane Quillon"));
        const PdfReader read(pdf(*sheet));
        QVERIFY(read.pageCount() > 1);
        for (const PdfPage& page : read.pages()) {
            QCOMPARE(page.textIn(QRectF(0, 0, page.size.width(), kTop)), QStringLiteral("Mervane Quillon"));
            const PdfWord* first = page.find(QStringLiteral("Mervane"));
            QVERIFY(first->box.center().x() < page.size.width() / 2);
            QVERIFY(page.find(QStringLiteral("Quillon"))->box.center().x() > page.size.width() / 2);
        }
    }

    void blankRecordsPrintTheirRows()
    {
        Document doc(m_dir.filePath(QStringLiteral("Untitled1.vty")));
        doc.buildNewSheet();
        QCOMPARE(doc.sheet().recordCount(), 20);
        PrintSheetForm form(doc.sheet());
        const auto sheet = form.makePrintSheet();
        // The eight titled columns fit one page across; the two untitled, empty ones
        // are left out.
        QCOMPARE(sheet->pageCount(), 1);
        const PrintSheet::PageCells cells = sheet->pageCells(0);
        QCOMPARE(cells.firstRow, 0);
        QCOMPARE(cells.endRow, 20);
        QCOMPARE(cells.columns, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
        const PdfReader read(pdf(*sheet));
        QCOMPARE(read.pageCount(), 1);
        // Twenty rows are twenty-one grid lines down the first column.
        const int dpi = 100;
        const QImage image = read.render(0, dpi);
        QVERIFY(!image.isNull());
        QCOMPARE(horizontalLinesAt(image, dpi, kLeft + 20, kTop - 2, 792), 21);
    }

    void rowsContinueOnTheNextPage()
    {
        RecordSheet s;
        fill(s, 2, 150);
        PrintSheetForm form(s);
        form.setScaleText(QStringLiteral("100"));
        const auto sheet = form.makePrintSheet();
        // 11 inches less 0.75 and 0.5 inch margins hold 58 rows of 1/6 inch.
        QCOMPARE(sheet->pageCount(), 3);
        const PdfReader read(pdf(*sheet));
        QCOMPARE(read.pageCount(), 3);
        int page = 0;
        int lastTop = 0;
        for (int r = 1; r <= 150; ++r) {
            const int expectedPage = (r - 1) / 58;
            const PdfWord* w = read.page(expectedPage).find(QStringLiteral("r%1c0").arg(r));
            QVERIFY2(w, qPrintable(QStringLiteral("record %1 on page %2").arg(r).arg(expectedPage + 1)));
            QCOMPARE(read.page(expectedPage).findAll(QStringLiteral("r%1c1").arg(r)).size(), 1);
            if (expectedPage != page) {
                page = expectedPage;
                QVERIFY2(w->box.top() < kTop + 12, "a continued page starts at the top");
            } else if (r > 1) {
                QVERIFY(w->box.top() > lastTop);
            }
            lastTop = int(w->box.top());
        }
    }

    void wideColumnsContinueOnFurtherPages()
    {
        RecordSheet s;
        fill(s, 6, 150, QList<int>(6, 2000));
        PrintSheetForm form(s);
        form.setScaleText(QStringLiteral("100"));
        const auto sheet = form.makePrintSheet();
        // 7.5 inches take four 2400-twip columns; three pages of rows.
        QCOMPARE(sheet->pageCount(), 6);
        const PdfReader read(pdf(*sheet));
        QCOMPARE(read.pageCount(), 6);
        QVERIFY(read.page(0).find(QStringLiteral("r1c3")));
        QVERIFY(!read.page(0).find(QStringLiteral("r1c4")));
        QVERIFY(read.page(1).find(QStringLiteral("r59c0")));
        QVERIFY(read.page(3).find(QStringLiteral("r1c4")));
        QVERIFY(read.page(3).find(QStringLiteral("r1c5")));
        QVERIFY(read.page(5).find(QStringLiteral("r150c5")));
        // The continued columns start at the left margin.
        QVERIFY(std::abs(read.page(3).find(QStringLiteral("r1c4"))->box.left() - (kLeft + kPadding)) < 0.75);

        form.setOrientation(QPageLayout::Landscape);
        const auto landscape = form.makePrintSheet();
        const PdfReader wide(pdf(*landscape));
        QCOMPARE(wide.page(0).size, QSizeF(792, 612));
        // 10 inches take all six columns; 7.25 inches hold 43 rows.
        QCOMPARE(wide.pageCount(), 4);
        QVERIFY(wide.page(0).find(QStringLiteral("r43c5")));
        QVERIFY(wide.page(1).find(QStringLiteral("r44c0")));
    }

    void columnWiderThanThePageIsCut()
    {
        RecordSheet s;
        fill(s, 2, 1, {12000, 1000});
        s.setText(1, 0, QString(400, QLatin1Char('W')));
        PrintSheetForm form(s);
        form.setScaleText(QStringLiteral("100"));
        const PdfReader read(pdf(*form.makePrintSheet()));
        QCOMPARE(read.pageCount(), 2);
        const PdfWord* w = read.page(0).words.isEmpty() ? nullptr : &read.page(0).words.last();
        QVERIFY(w);
        QVERIFY(w->text.startsWith(QStringLiteral("WWW")));
        QVERIFY(w->box.right() <= 612 - 36 + 0.5);
        QVERIFY(read.page(1).find(QStringLiteral("r1c1")));
    }

    void cellTextStaysInItsCell()
    {
        RecordSheet s;
        fill(s, 3, 2, {2000, 2000, 2000});
        s.setText(1, 1, QStringLiteral("Smith\tJones\r\nJunior"));
        s.setText(2, 0, QStringLiteral("Bartholomew-Fitzgerald Incorporated"));
        PrintSheetForm form(s);
        form.setScaleText(QStringLiteral("100"));
        const PdfReader read(pdf(*form.makePrintSheet()));
        const PdfPage& page = read.page(0);
        const double colW = 2400 / kPt;
        const QRectF cell1(kLeft + colW, kTop, colW, 12);
        QCOMPARE(page.textIn(cell1), QStringLiteral("Smith Jones Junior"));
        QCOMPARE(page.textIn(QRectF(kLeft + 2 * colW, kTop, colW, 12)), QStringLiteral("r1c2"));
        for (const PdfWord& w : page.words)
            if (w.box.top() > kTop + 12 && w.box.top() < kTop + 24 && w.box.left() < kLeft + colW)
                QVERIFY2(w.box.right() <= kLeft + colW, qPrintable(w.text));
        QCOMPARE(page.textIn(QRectF(kLeft + colW, kTop + 12, colW, 12)), QStringLiteral("r2c1"));
    }

    void valuesPrintAsTheSheetShowsThem()
    {
        RecordSheet s;
        fill(s, 2, 1, {2000, 2000});
        s.setColumnDataType(1, TypeMoney);
        s.setColumnFormat(1, QStringLiteral("$#,###.00"));
        s.setColumnAlignment(1, AlignRight);
        s.setText(1, 1, QStringLiteral("1234.5"));
        PrintSheetForm form(s);
        form.setScaleText(QStringLiteral("100"));
        const PdfReader read(pdf(*form.makePrintSheet()));
        const PdfWord* w = read.page(0).find(QStringLiteral("$1,234.50"));
        QVERIFY(w);
        const double cellRight = kLeft + 2 * 2400 / kPt;
        QVERIFY(std::abs(w->box.right() - (cellRight - kPadding)) < 1.0);
    }

    // A number, an amount or a date too wide for its cell prints "###" rather than a
    // cut value that reads as another one; text is cut at the cell's edge.
    void valuesTooWidePrintHashes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("printed");
        QTest::newRow("money that fits") << int(TypeMoney) << QStringLiteral("$#,###.00") << 1500
                                         << QStringLiteral("1234.5") << QStringLiteral("$1,234.50");
        QTest::newRow("money too wide") << int(TypeMoney) << QStringLiteral("$#,###.00") << 1500
                                        << QStringLiteral("1234500000000") << QStringLiteral("###");
        QTest::newRow("number too wide") << int(TypeNumber) << QStringLiteral("#,###") << 700
                                         << QStringLiteral("123456789012") << QStringLiteral("###");
        QTest::newRow("number without format too wide") << int(TypeNumber) << QString() << 700
                                                        << QStringLiteral("1234567890123") << QStringLiteral("###");
        QTest::newRow("zip code in a number column") << int(TypeNumber) << QString() << 900
                                                     << QStringLiteral("27101-4432") << QStringLiteral("###");
        QTest::newRow("zip code that fits") << int(TypeNumber) << QString() << 900 << QStringLiteral("27101")
                                            << QStringLiteral("27101");
        QTest::newRow("date too wide") << int(TypeDate) << QStringLiteral("mm/dd/yy hh:mm:ss AMPM") << 900
                                       << QStringLiteral("12/8/2026 16:24:09") << QStringLiteral("###");
        QTest::newRow("date that fits") << int(TypeDate) << QStringLiteral("mm/dd/yy") << 900
                                        << QStringLiteral("12/8/2026") << QStringLiteral("12/08/26");
        QTest::newRow("text is cut") << int(TypeText) << QString() << 700 << QStringLiteral("Winston-Salem")
                                     << QStringLiteral("Winston");
    }
    void valuesTooWidePrintHashes()
    {
        QFETCH(int, type);
        QFETCH(QString, format);
        QFETCH(int, width);
        QFETCH(QString, value);
        QFETCH(QString, printed);
        RecordSheet s;
        fill(s, 3, 2, {1000, width, 1000});
        s.setColumnDataType(1, type);
        s.setColumnFormat(1, format);
        s.setColumnAlignment(1, AlignRight);
        s.setText(1, 1, value);
        PrintSheetForm form(s);
        const auto sheet = form.makePrintSheet();
        const PdfReader read(pdf(*sheet));
        QVERIFY2(read.ok(), qPrintable(read.error()));
        const PdfPage& page = read.page(0);
        // The cell at 75 %: 1.2 times the sheet's width.
        const double k = 0.75;
        const QRectF cell(kLeft + 1200 * k / kPt, kTop, width * 1.2 * k / kPt, 240 * k / kPt);
        const QString inCell = page.textIn(cell);
        QVERIFY2(inCell.startsWith(printed), qPrintable(inCell));
        if (printed == QLatin1String("###"))
            QCOMPARE(inCell, printed);
        for (const PdfWord& w : page.words)
            if (cell.contains(w.box.center()))
                QVERIFY2(w.box.left() >= cell.left() && w.box.right() <= cell.right() + 0.5, qPrintable(w.text));
        // The record below and the neighbours are untouched.
        QCOMPARE(page.textIn(cell.translated(0, cell.height())), QStringLiteral("r2c1"));
        QVERIFY(page.find(QStringLiteral("r1c0")));
        QVERIFY(page.find(QStringLiteral("r1c2")));
    }

    // Columns with neither a title nor a value (the new document's two spare
    // columns) do not print: they made a band of pages of empty cells.
    void emptyUntitledColumnsAreLeftOut_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("valueRow");  // 0: none
        QTest::addColumn<int>("valueCol");
        QTest::addColumn<QString>("title9"); // a title for the last column
        QTest::addColumn<int>("pages");
        QTest::addColumn<QList<int>>("printedColumns");
        const QList<int> titled{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("one record") << 1 << 1 << 0 << QString() << 1 << titled;
        QTest::newRow("twenty blank records") << 20 << 0 << 0 << QString() << 1 << titled;
        QTest::newRow("a value in an untitled column")
            << 1 << 1 << 8 << QString() << 2 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8};
        QTest::newRow("a value in the last record only")
            << 200 << 200 << 9 << QString() << 6 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 9};
        QTest::newRow("a title without values")
            << 1 << 1 << 0 << QStringLiteral("Notes") << 2 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 9};
        QTest::newRow("a blank title counts as none") << 1 << 1 << 0 << QStringLiteral("  ") << 1 << titled;
        // 78 rows of 180 twips on 14040 twips of page: 642 pages, one band across.
        QTest::newRow("50,000 records") << 50000 << 50000 << 0 << QString() << 642 << titled;
    }
    void emptyUntitledColumnsAreLeftOut()
    {
        QFETCH(int, records);
        QFETCH(int, valueRow);
        QFETCH(int, valueCol);
        QFETCH(QString, title9);
        QFETCH(int, pages);
        QFETCH(QList<int>, printedColumns);
        Document doc(m_dir.filePath(QStringLiteral("Untitled1.vty")));
        doc.buildNewSheet();
        RecordSheet& s = doc.sheet();
        s.setRows(records + 1);
        if (valueRow > 0)
            s.setText(valueRow, valueCol, QStringLiteral("Ann"));
        s.setTitle(9, title9);
        PrintSheetForm form(s);
        // Every column stays checked in the dialog's list.
        for (const PrintSheetForm::ColumnEntry& entry : form.columns())
            QVERIFY(entry.print);
        const auto sheet = form.makePrintSheet();
        QCOMPARE(sheet->pageCount(), pages);
        std::vector<int> printed;
        for (int p = 0; p < sheet->pageCount(); ++p)
            for (int c : sheet->pageCells(p).columns)
                if (std::find(printed.begin(), printed.end(), c) == printed.end())
                    printed.push_back(c);
        std::sort(printed.begin(), printed.end());
        QCOMPARE(QList<int>(printed.begin(), printed.end()), printedColumns);
        if (pages > 10)
            return;
        const PdfReader read(pdf(*sheet));
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read.pageCount(), pages);
        if (valueRow > 0)
            QCOMPARE(read.allWords().count(QStringLiteral("Ann")), 1);
    }

    void selectedRowsOnly()
    {
        RecordSheet s;
        fill(s, 3, 10);
        s.setSelectionMode(RecordSheet::SelectionMode::Rows);
        s.setSelectedRows({{3, 4}, {8, 8}});
        PrintSheetForm form(s);
        form.setDataSource(PrintSheetForm::SelectedRows);
        QCOMPARE(form.recordRows(), (std::vector<int>{3, 4, 8}));
        const QStringList words = PdfReader(pdf(*form.makePrintSheet())).allWords();
        QVERIFY(words.contains(QStringLiteral("r3c0")));
        QVERIFY(words.contains(QStringLiteral("r4c2")));
        QVERIFY(words.contains(QStringLiteral("r8c1")));
        QVERIFY(!words.contains(QStringLiteral("r1c0")));
        QVERIFY(!words.contains(QStringLiteral("r5c0")));

        // A block selection prints its rows across every column.
        s.setSelectionMode(RecordSheet::SelectionMode::Block);
        s.selectBlock(5, 1, 6, 1);
        const QStringList block = PdfReader(pdf(*form.makePrintSheet())).allWords();
        QVERIFY(block.contains(QStringLiteral("r5c0")));
        QVERIFY(block.contains(QStringLiteral("r6c2")));
        QVERIFY(!block.contains(QStringLiteral("r4c0")));
    }

    void checkBoxesShowCheckedState()
    {
        RecordSheet s;
        fill(s, 2, 3, {2000, 1000});
        s.setColumnDataType(1, TypeCheckbox);
        for (int r = 1; r <= 3; ++r)
            s.setText(r, 1, QString());
        s.setChecked(1, 1, 1);
        s.setChecked(3, 1, -1);
        PrintSheetForm form(s);
        form.setScaleText(QStringLiteral("100"));
        const auto sheet = form.makePrintSheet();
        QCOMPARE(int(sheet->checkBoxes().size()), 1);
        const PdfReader read(pdf(*sheet));
        const int dpi = 200;
        const QImage image = read.render(0, dpi);
        QVERIFY(!image.isNull());
        // Box from 0.4 to 0.4 + 192/1000 of the 1200-twip (60 pt) column, 0.1 to 0.9 of the row.
        auto box = [&](int record) {
            const double colLeft = (720 + 2400) / kPt;
            return QRectF(colLeft + 0.4 * 60, kTop + (record - 1) * 12 + 0.1 * 12, 0.192 * 60, 0.8 * 12);
        };
        auto pixels = [&](const QRectF& pt) {
            return QRect(QPoint(int(std::ceil(pt.left() * dpi / 72)), int(std::ceil(pt.top() * dpi / 72))),
                         QPoint(int(pt.right() * dpi / 72), int(pt.bottom() * dpi / 72)));
        };
        auto interior = [&](int record) {
            const QRectF b = box(record);
            return pixels(b.adjusted(b.width() * 0.15, b.height() * 0.15, -b.width() * 0.15, -b.height() * 0.15));
        };
        const int checked1 = darkPixels(image, interior(1));
        const int unchecked = darkPixels(image, interior(2));
        const int checked3 = darkPixels(image, interior(3));
        QVERIFY2(checked1 > unchecked + 5, qPrintable(QStringLiteral("%1 vs %2").arg(checked1).arg(unchecked)));
        QVERIFY(checked3 > unchecked + 5);
        // Every box has its frame: the left edge of the unchecked one is dark.
        const QRectF b2 = box(2);
        const QRect edge = pixels(QRectF(b2.left() - 0.6, b2.top() + 2, 1.2, b2.height() - 4));
        QVERIFY2(darkPixels(image, edge, 200) >= edge.height(), qPrintable(QString::number(darkPixels(image, edge, 200))));
    }

    void sheetShrinkingAfterSetUpPrintsWhatIsLeft()
    {
        RecordSheet s;
        fill(s, 3, 10);
        PrintSheetForm form(s);
        const auto sheet = form.makePrintSheet();
        s.setRows(3);
        s.setCols(2);
        const QStringList words = PdfReader(pdf(*sheet)).allWords();
        QVERIFY(words.contains(QStringLiteral("r2c1")));
        QVERIFY(!words.contains(QStringLiteral("r1c2")));
        QVERIFY(!words.contains(QStringLiteral("r5c0")));
    }

    void noRecordsPrintsAnEmptyPage()
    {
        RecordSheet s;
        fill(s, 3, 0);
        PrintSheetForm form(s);
        const auto sheet = form.makePrintSheet();
        QCOMPARE(sheet->pageCount(), 1);
        const PdfReader read(pdf(*sheet));
        QCOMPARE(read.pageCount(), 1);
        QCOMPARE(read.allWords(), (QStringList{QStringLiteral("Mervane"), QStringLiteral("Quillon")}));
    }

    void unwritableFileIsReportedAndNothingIsLeft()
    {
        RecordSheet s;
        fill(s, 2, 2);
        PrintSheetForm form(s);
        QString error;
        const QString path = m_dir.filePath(QStringLiteral("missing/folder/out.pdf"));
        QVERIFY(!WritePdf(*form.makePrintSheet(), path, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(path));

        // A stopped print leaves an existing file as it was.
        const QString existing = m_dir.filePath(QStringLiteral("existing.pdf"));
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        QVERIFY(!WritePdf(*form.makePrintSheet(), existing, &error, [](int, int) { return false; }));
        QFile f(existing);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
    }
};

QTEST_MAIN(TestSheetPrint)
#include "TestSheetPrint.moc"
