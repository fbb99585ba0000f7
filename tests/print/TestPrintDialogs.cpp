// The print dialogs and the preview, driven offscreen: every control as designed,
// the print sheet they set up, and the preview's printing and PDF saving.

#include "PdfReader.h"
#include "PublishedStocks.h"

#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "print/PdfExport.h"
#include "print/PrintMenuController.h"
#include "print/PrintPreviewDialog.h"
#include "print/PrintSheetDialog.h"
#include "print/ReportOptionsDialog.h"
#include "sheet/RecordSheet.h"
#include "testsupport/TestPlatform.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace quillon;
using namespace quillon::test;
using namespace Qt::StringLiterals;

namespace {

void fill(RecordSheet& s, int cols, int records)
{
    s.setCols(cols);
    s.setRows(records + 1);
    for (int c = 0; c < cols; ++c) {
        s.setTitle(c, QStringLiteral("T%1").arg(c + 1));
        s.setColumnWidth(c, 1000);
    }
    for (int r = 1; r <= records; ++r)
        for (int c = 0; c < cols; ++c)
            s.setText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
}

/** Carries out the deletions that closed dialogs asked for. */
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template<typename T> T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qWarning("no %s", name);
    return c;
}

} // namespace

class TestPrintDialogs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void printSheetDialogAsDesigned()
    {
        RecordSheet s;
        fill(s, 12, 5);
        s.setColumnHidden(2, true);
        s.setSelectionMode(RecordSheet::SelectionMode::Rows);
        s.setSelectedRows({{2, 4}});
        TestPlatform platform;
        PrintSheetDialog dialog(s, platform);
        QCOMPARE(dialog.objectName(), QStringLiteral("frmPrintSheet"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Print Sheet "));

        auto* fd = child<QTableWidget>(&dialog, "fd");
        QVERIFY(fd);
        QCOMPARE(fd->rowCount(), 12);
        QCOMPARE(fd->columnCount(), 3);
        QCOMPARE(fd->horizontalHeaderItem(0)->text(), QStringLiteral("Col"));
        QCOMPARE(fd->horizontalHeaderItem(1)->text(), QStringLiteral("Title"));
        QCOMPARE(fd->horizontalHeaderItem(2)->text(), QStringLiteral("Print"));
        QCOMPARE(fd->item(11, 0)->text(), QStringLiteral("12"));
        QCOMPARE(fd->item(11, 0)->textAlignment(), int(Qt::AlignCenter));
        QCOMPARE(fd->item(11, 1)->text(), QStringLiteral("T12"));
        QCOMPARE(fd->item(2, 2)->checkState(), Qt::Unchecked);
        QCOMPARE(fd->item(3, 2)->checkState(), Qt::Checked);
        QVERIFY(std::abs(fd->columnWidth(0) * 1440 / dialog.logicalDpiX() - 500) <= 1440 / dialog.logicalDpiX());

        QCOMPARE(child<QGroupBox>(&dialog, "fraPrintArea")->title(), QStringLiteral("Print Area"));
        QCOMPARE(child<QRadioButton>(&dialog, "OpDataSource0")->text(), QStringLiteral("All"));
        QVERIFY(child<QRadioButton>(&dialog, "OpDataSource0")->isChecked());
        QCOMPARE(child<QRadioButton>(&dialog, "OpDataSource1")->text(), QStringLiteral("Slected rows (3)"));
        QCOMPARE(child<QGroupBox>(&dialog, "fraOrientation")->title(), QStringLiteral("Orintation"));
        QCOMPARE(child<QRadioButton>(&dialog, "OpOrin0")->text(), QStringLiteral("Portrait"));
        QVERIFY(child<QRadioButton>(&dialog, "OpOrin0")->isChecked());
        QCOMPARE(child<QRadioButton>(&dialog, "OpOrin1")->text(), QStringLiteral("Landscape"));
        QCOMPARE(child<QGroupBox>(&dialog, "fraScale")->title(), QStringLiteral("Print Scale"));
        QCOMPARE(child<QLabel>(&dialog, "lblScaleNote")->text(), QStringLiteral("Max 100 Min   50"));
        QCOMPARE(child<QLineEdit>(&dialog, "txtScale")->text(), QStringLiteral("75"));
        QCOMPARE(child<QPushButton>(&dialog, "cmdPrint")->text(), QStringLiteral("&Print && Preview"));
        QCOMPARE(child<QPushButton>(&dialog, "cmdCancel")->text(), QStringLiteral("&Cancel"));

        // The caption is read again each time the dialog is activated.
        s.setSelectedRows({{1, 5}});
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&dialog, &activate);
        QCOMPARE(child<QRadioButton>(&dialog, "OpDataSource1")->text(), QStringLiteral("Slected rows (5)"));
    }

    void printSheetDialogSetsUpThePrint()
    {
        RecordSheet s;
        fill(s, 4, 3);
        TestPlatform platform;
        PrintSheetDialog dialog(s, platform);
        auto* fd = child<QTableWidget>(&dialog, "fd");
        fd->item(1, 2)->setCheckState(Qt::Unchecked);
        child<QRadioButton>(&dialog, "OpOrin1")->setChecked(true);
        auto* scale = child<QLineEdit>(&dialog, "txtScale");
        auto* up = child<QToolButton>(&dialog, "UpDownColUp");
        auto* down = child<QToolButton>(&dialog, "UpDownColDown");
        scale->setText(QStringLiteral("99"));
        up->click();
        QCOMPARE(scale->text(), QStringLiteral("100"));
        up->click();
        QCOMPARE(scale->text(), QStringLiteral("100"));
        scale->setText(QStringLiteral("51"));
        down->click();
        down->click();
        QCOMPARE(scale->text(), QStringLiteral("50"));

        struct Seen
        {
            int calls = 0;
            int width0 = -1, width1 = -1, scale = -1;
            QPageLayout::Orientation orientation = QPageLayout::Portrait;
            QString header;
        } seen;
        auto look = [&seen](PrintSheet& print) {
            ++seen.calls;
            seen.width0 = print.columnWidth(0);
            seen.width1 = print.columnWidth(1);
            seen.scale = print.scale();
            seen.orientation = print.orientation();
            seen.header = print.header();
        };
        dialog.setPreviewer([&](PrintSheet& print) {
            look(print);
            return false;
        });
        child<QPushButton>(&dialog, "cmdPrint")->click();
        QCOMPARE(seen.calls, 1);
        QCOMPARE(seen.width0, 1200);
        QCOMPARE(seen.width1, 0);
        QCOMPARE(seen.orientation, QPageLayout::Landscape);
        QCOMPARE(seen.scale, 50);
        QCOMPARE(seen.header, QStringLiteral("Mervane Quillon"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        scale->setText(QStringLiteral("big"));
        dialog.setPreviewer([&](PrintSheet& print) {
            look(print);
            return true;
        });
        child<QPushButton>(&dialog, "cmdPrint")->click();
        QCOMPARE(seen.calls, 2);
        QCOMPARE(seen.scale, 100);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void reportOptionsDialogAsDesigned()
    {
        RecordSheet s;
        fill(s, 10, 4);
        s.setSelectionMode(RecordSheet::SelectionMode::Rows);
        s.setSelectedRows({{1, 2}});
        TestPlatform platform;
        ReportOptionsDialog dialog(s, platform);
        QCOMPARE(dialog.objectName(), QStringLiteral("frmReportOptions"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Address Labels Printing"));
        auto* format = child<QComboBox>(&dialog, "cboLabelFormat");
        // The built-in formats, then the stocks of the shipped stock file.
        QCOMPARE(format->count(), int(publishedStocks().size()));
        QCOMPARE(format->itemText(0), QStringLiteral("3 x 10"));
        QCOMPARE(format->itemText(1), QStringLiteral("2 x 10"));
        QCOMPARE(format->itemText(2), QStringLiteral("2 x 5"));
        for (int i = 3; i < format->count(); ++i)
            QCOMPARE(format->itemText(i), publishedStocks()[size_t(i)].name);
        QCOMPARE(format->currentText(), QStringLiteral("3 x 10"));
        QVERIFY(!child<QLabel>(&dialog, "lblStockProblems")->isVisibleTo(&dialog));
        auto* size = child<QComboBox>(&dialog, "cboFontSize");
        QCOMPARE(size->currentText(), QStringLiteral("10"));
        QCOMPARE(child<QCheckBox>(&dialog, "chkSkip")->text(), QStringLiteral("Skip incompleted address"));
        QCOMPARE(child<QGroupBox>(&dialog, "fraCountry")->title(), QStringLiteral("Print Country Name"));
        auto* country = child<QLineEdit>(&dialog, "txtCountry");
        auto* printCountry = child<QCheckBox>(&dialog, "chkCountry");
        QCOMPARE(country->text(), QStringLiteral("U.S.A."));
        QCOMPARE(printCountry->text(), QStringLiteral("Print on the 4th line"));
        QVERIFY(!printCountry->isChecked());
        QVERIFY(!country->isEnabled());
        QCOMPARE(child<QRadioButton>(&dialog, "OpDataSource0")->text(), QStringLiteral("All"));
        QCOMPARE(child<QRadioButton>(&dialog, "OpDataSource1")->text(), QStringLiteral("Slected rows (2)"));
        QCOMPARE(child<QLabel>(&dialog, "lblHint")->text(),
                 QStringLiteral("Select standard address labels format, Print Country Name and Print Area options. "
                                "Preview before printing to get best results."));
        const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
        QStringList texts;
        for (QLabel* l : labels)
            texts << l->text();
        QVERIFY(texts.contains(QStringLiteral("Mailing Label Format:")));
        QVERIFY(texts.contains(QStringLiteral("Font Size:")));

        format->setCurrentText(QStringLiteral("2 x 5"));
        QCOMPARE(size->currentText(), QStringLiteral("16"));
        QVERIFY(size->findText(QStringLiteral("24")) >= 0);
        printCountry->setChecked(true);
        QVERIFY(country->isEnabled());
        country->setText(QStringLiteral("Canada"));
        child<QCheckBox>(&dialog, "chkSkip")->setChecked(true);
        child<QRadioButton>(&dialog, "OpDataSource1")->setChecked(true);
        s.setText(2, 4, QString());

        int calls = 0;
        QString family;
        double size16 = 0;
        int rowHeight = 0;
        QStringList cellTexts;
        dialog.setPreviewer([&](PrintSheet& print) {
            ++calls;
            family = print.fontFamily();
            size16 = print.fontPointSize();
            rowHeight = print.defaultRowHeight();
            cellTexts = QStringList{print.cells()->text(1, 0), print.cells()->text(4, 0), print.cells()->text(1, 1)};
            return false;
        });
        child<QPushButton>(&dialog, "cmdPrint")->click();
        QCOMPARE(calls, 1);
        QCOMPARE(family, QStringLiteral("Times New Roman"));
        QCOMPARE(size16, 16.0);
        QCOMPARE(rowHeight, 480);
        // Record 2 has no zip code and is skipped; only the selected rows print.
        QCOMPARE(cellTexts, (QStringList{QStringLiteral("r1c0"), QStringLiteral("Canada"), QString()}));
    }

    // Before the preview opens, the label dialog tells how many labels had a line cut.
    void labelDialogTellsHowManyWereShortened_data()
    {
        QTest::addColumn<int>("tooLong");
        QTest::addColumn<QString>("message"); // empty: none
        QTest::newRow("none") << 0 << QString();
        QTest::newRow("one") << 1
                             << QStringLiteral("1 label was shortened to fit: a line too long even in smaller type "
                                               "ends in \"\u2026\".");
        QTest::newRow("four") << 4
                              << QStringLiteral("4 labels were shortened to fit: a line too long even in smaller "
                                                "type ends in \"\u2026\".");
    }
    void labelDialogTellsHowManyWereShortened()
    {
        QFETCH(int, tooLong);
        QFETCH(QString, message);
        RecordSheet s;
        fill(s, 10, 6);
        for (int r = 1; r <= tooLong; ++r)
            s.setText(r, 1, QStringLiteral("12345 North Washington Boulevard Building C Suite 1500 Attention "
                                           "Receiving Department Loading Dock 4 Rear Entrance"));
        TestPlatform platform;
        ReportOptionsDialog dialog(s, platform);
        int previews = 0;
        int messagesBeforePreview = -1;
        dialog.setPreviewer([&](PrintSheet&) {
            ++previews;
            messagesBeforePreview = int(platform.messages.size());
            return false;
        });
        child<QPushButton>(&dialog, "cmdPrint")->click();
        QCOMPARE(previews, 1);
        if (message.isEmpty()) {
            QCOMPARE(platform.messages.size(), 0);
            return;
        }
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(messagesBeforePreview, 1);
        QCOMPARE(platform.messages.first().caption, QStringLiteral("Address Labels Printing"));
        QCOMPARE(platform.messages.first().text, message);
        QCOMPARE(platform.messages.first().icon, Platform::Information);
    }

    void printAndPreviewOpensThePreview()
    {
        RecordSheet s;
        fill(s, 3, 200);
        TestPlatform platform;
        PrintSheetDialog dialog(s, platform);
        dialog.show();
        child<QPushButton>(&dialog, "cmdPrint")->click();
        QPointer<PrintPreviewDialog> preview = dialog.previewDialog();
        QVERIFY(preview);
        QVERIFY(preview->isVisible());
        QCOMPARE(preview->pagesPainted(), 1);
        // Closing the preview without output leaves the dialog open.
        child<QAction>(preview, "actClose")->trigger();
        flushDeletes();
        QVERIFY(!preview);
        QVERIFY(dialog.isVisible());

        // Saving a PDF from the preview closes both.
        child<QPushButton>(&dialog, "cmdPrint")->click();
        preview = dialog.previewDialog();
        QVERIFY(preview);
        const QString path = m_dir.filePath(QStringLiteral("from-dialog.pdf"));
        platform.saveAnswers.enqueue(path);
        child<QAction>(preview, "actSavePdf")->trigger();
        child<QAction>(preview, "actClose")->trigger();
        flushDeletes();
        QVERIFY(!preview);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(PdfReader(path).allWords().contains(QStringLiteral("r200c2")));
    }

    void menuCommandsOpenTheDialogs()
    {
        SettingsStore settings(m_dir.filePath(QStringLiteral("settings.ini")));
        TestPlatform platform;
        MainModel model(settings, platform, m_dir.filePath(QStringLiteral("Untitled1.vty")));
        model.document().buildNewSheet();
        QWidget window;
        QAction sheetAction;
        QAction labelsAction;
        PrintMenuController controller(model, &window, [&](const QString& name) -> QAction* {
            if (name == QLatin1String("mnuPrintSheet0"))
                return &sheetAction;
            if (name == QLatin1String("mnuPrint"))
                return &labelsAction;
            return nullptr;
        });
        window.show();
        sheetAction.trigger();
        QPointer<QDialog> dialog = controller.openDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->objectName(), QStringLiteral("frmPrintSheet"));
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->parentWidget(), &window);
        QCOMPARE(dialog->findChild<QTableWidget*>(QStringLiteral("fd"))->rowCount(), 10);
        // One print dialog at a time.
        labelsAction.trigger();
        QCOMPARE(controller.openDialog(), dialog.data());
        child<QPushButton>(dialog, "cmdCancel")->click();
        flushDeletes();
        QVERIFY(!dialog);
        QVERIFY(!controller.openDialog());

        labelsAction.trigger();
        dialog = controller.openDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->objectName(), QStringLiteral("frmReportOptions"));
        child<QPushButton>(dialog, "cmdCancel")->click();
        flushDeletes();
        QVERIFY(!dialog);
    }

    void previewPaintsOnlyThePagesShown()
    {
        RecordSheet s;
        fill(s, 3, 20000);
        PrintSheetForm form(s);
        const auto print = form.makePrintSheet();
        QVERIFY(print->pageCount() > 200);
        TestPlatform platform;
        PrintPreviewDialog preview(*print, platform, true);
        QCOMPARE(preview.pagesPainted(), 1);
        QCOMPARE(preview.currentPage(), 0);
        QCOMPARE(child<QLabel>(&preview, "lblPages")->text(), QStringLiteral(" / %1 ").arg(print->pageCount()));
        QVERIFY(!child<QAction>(&preview, "actPreviousPage")->isEnabled());
        child<QAction>(&preview, "actNextPage")->trigger();
        QCOMPARE(preview.currentPage(), 1);
        QCOMPARE(preview.pagesPainted(), 2);
        child<QAction>(&preview, "actLastPage")->trigger();
        QCOMPARE(preview.currentPage(), print->pageCount() - 1);
        QVERIFY(!child<QAction>(&preview, "actNextPage")->isEnabled());
        QCOMPARE(preview.pagesPainted(), 3);

        // The page shown is the page printed: ink where the first cells are.
        preview.showPage(0);
        const QImage image = preview.shownImage();
        const double px = image.width() / 612.0;
        int dark = 0;
        for (int y = int(54 * px); y < int(66 * px); ++y)
            for (int x = int(36 * px); x < int(90 * px); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
        QVERIFY(dark > 10);
        QCOMPARE(image.width(), int(8.5 * preview.logicalDpiX()));
    }

    void previewSavesAPdf()
    {
        RecordSheet s;
        fill(s, 2, 150);
        PrintSheetForm form(s);
        form.setScaleText(QStringLiteral("100"));
        const auto print = form.makePrintSheet();
        TestPlatform platform;
        PrintPreviewDialog preview(*print, platform, true);
        const QString path = m_dir.filePath(QStringLiteral("saved.pdf"));
        platform.saveAnswers.enqueue(path);
        child<QAction>(&preview, "actSavePdf")->trigger();
        QCOMPARE(platform.saveRequests.size(), 1);
        QCOMPARE(platform.saveRequests.first().defaultSuffix, QStringLiteral("pdf"));
        QVERIFY(platform.messages.isEmpty());
        QVERIFY(preview.hasOutput());
        const PdfReader read(path);
        QCOMPARE(read.pageCount(), 3);
        QVERIFY(read.page(2).find(QStringLiteral("r150c1")));

        // Cancelled: nothing happens. A folder that does not exist: a message.
        PrintPreviewDialog again(*print, platform, true);
        again.savePdf();
        QVERIFY(!again.hasOutput());
        platform.saveAnswers.enqueue(m_dir.filePath(QStringLiteral("no/such/folder/x.pdf")));
        again.savePdf();
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages.first().icon, Platform::Critical);
        QVERIFY(!again.hasOutput());
    }

    void previewPrintsThroughThePrinter()
    {
        RecordSheet s;
        fill(s, 2, 150);
        PrintSheetForm form(s);
        form.setScaleText(QStringLiteral("100"));
        const auto print = form.makePrintSheet();
        TestPlatform platform;
        PrintPreviewDialog preview(*print, platform, true);
        const QString path = m_dir.filePath(QStringLiteral("printed.pdf"));
        QPageSize offered;
        preview.setPrinterDialog([&](QPrinter& printer) {
            offered = printer.pageLayout().pageSize();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(2, 3);
            // The user picks landscape paper in the printer dialog.
            printer.setPageOrientation(QPageLayout::Landscape);
            return true;
        });
        child<QAction>(&preview, "actPrint")->trigger();
        QCOMPARE(offered.id(), QPageSize::Letter);
        QVERIFY(platform.messages.isEmpty());
        QVERIFY(preview.hasOutput());
        QCOMPARE(print->orientation(), QPageLayout::Landscape);
        const PdfReader read(path);
        QCOMPARE(read.pageCount(), 2);
        QCOMPARE(read.page(0).size, QSizeF(792, 612));
        // Landscape pages hold 43 rows: the second page starts with record 44.
        QVERIFY(read.page(0).find(QStringLiteral("r44c0")));
        QVERIFY(!read.page(0).find(QStringLiteral("r43c0")));
        QVERIFY(read.page(1).find(QStringLiteral("r87c0")));
    }

    // The paper of a label printout is the stock's, whatever the printer dialog offers.
    void labelPreviewKeepsTheStock_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("stockPaper");  // QPageSize::PageSizeId
        QTest::addColumn<int>("chosenPaper"); // what the user picks in the printer dialog
        QTest::newRow("3 x 10") << u"3 x 10"_s << int(QPageSize::Letter) << int(QPageSize::A4);
        QTest::newRow("Avery L7160") << u"Avery L7160"_s << int(QPageSize::A4) << int(QPageSize::Letter);
        QTest::newRow("Avery 3422") << u"Avery 3422"_s << int(QPageSize::A4) << int(QPageSize::A4);
    }
    void labelPreviewKeepsTheStock()
    {
        QFETCH(QString, format);
        QFETCH(int, stockPaper);
        QFETCH(int, chosenPaper);
        const PublishedStock& stock = publishedStock(format);
        RecordSheet s;
        fill(s, 10, 5);
        ReportOptionsForm form(s);
        form.setFormat(format);
        const auto print = form.makePrintSheet();
        TestPlatform platform;
        PrintPreviewDialog preview(*print, platform, false);
        const QString path = m_dir.filePath(QStringLiteral("labels.pdf"));
        QPageSize offered;
        preview.setPrinterDialog([&](QPrinter& printer) {
            offered = printer.pageLayout().pageSize();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            printer.setPageSize(QPageSize(QPageSize::PageSizeId(chosenPaper)));
            return true;
        });
        preview.printPages();
        QCOMPARE(int(offered.id()), stockPaper);
        QCOMPARE(int(print->pageSize().id()), stockPaper);
        const PdfReader read(path);
        QCOMPARE(read.pageCount(), 1);
        QVERIFY(std::abs(read.page(0).size.width() - stock.page.width()) < 1);
        QVERIFY(std::abs(read.page(0).size.height() - stock.page.height()) < 1);
        QCOMPARE(read.page(0).textIn(stock.at(4)), u"r5c0 r5c1 r5c2, r5c3 r5c4"_s);
    }

    // The label dialog driven through its widgets: a stock of the stock file, its
    // description, the start label within its sheet, and the labels where they go.
    void labelDialogChoosesStockAndStart()
    {
        RecordSheet s;
        fill(s, 10, 6);
        TestPlatform platform;
        ReportOptionsDialog dialog(s, platform);
        dialog.show();
        auto* format = child<QComboBox>(&dialog, "cboLabelFormat");
        auto* start = child<QSpinBox>(&dialog, "txtStartLabel");
        auto* stock = child<QLabel>(&dialog, "lblStock");
        auto* size = child<QComboBox>(&dialog, "cboFontSize");
        QCOMPARE(start->value(), 1);
        QCOMPARE(start->minimum(), 1);
        QCOMPARE(start->maximum(), 30);
        QCOMPARE(stock->text(), u"30 labels a sheet, 3 across and 10 down, each 2.625 x 1 in, on Letter paper"_s);

        // The user picks the stock from the list with the keyboard and types the start.
        format->setFocus();
        const int l7160 = format->findText(u"Avery L7160"_s);
        QVERIFY(l7160 > 2);
        while (format->currentIndex() < l7160)
            QTest::keyClick(format, Qt::Key_Down);
        QCOMPARE(format->currentText(), u"Avery L7160"_s);
        QCOMPARE(stock->text(), u"21 labels a sheet, 3 across and 7 down, each 63.5 x 38.1 mm, on A4 paper"_s);
        QCOMPARE(start->maximum(), 21);
        QVERIFY(size->count() > 0);
        start->setFocus();
        start->selectAll();
        QTest::keyClicks(start, u"5"_s);
        QCOMPARE(start->value(), 5);

        QString pdfPath;
        dialog.setPreviewer([&](PrintSheet& print) {
            pdfPath = m_dir.filePath(u"dialog-stock.pdf"_s);
            QString error;
            if (!WritePdf(print, pdfPath, &error))
                qWarning("%s", qPrintable(error));
            return false;
        });
        child<QPushButton>(&dialog, "cmdPrint")->click();
        const PdfReader read(pdfPath);
        QVERIFY2(read.ok(), qPrintable(read.error()));
        const PublishedStock& published = publishedStock(u"Avery L7160"_s);
        QVERIFY(std::abs(read.page(0).size.width() - published.page.width()) < 1);
        QVERIFY(std::abs(read.page(0).size.height() - published.page.height()) < 1);
        for (int k = 0; k < 4; ++k)
            QCOMPARE(read.page(0).textIn(published.at(k)), QString());
        for (int r = 1; r <= 6; ++r)
            QCOMPARE(read.page(0).textIn(published.at(3 + r)), u"r%1c0 r%1c1 r%1c2, r%1c3 r%1c4"_s.arg(r));

        // A start beyond the next format's sheet becomes its last label.
        start->selectAll();
        QTest::keyClicks(start, u"20"_s);
        QCOMPARE(start->value(), 20);
        format->setCurrentText(u"2 x 5"_s);
        QCOMPARE(start->maximum(), 10);
        QCOMPARE(start->value(), 10);
        QCOMPARE(dialog.form().printStartLabel(), 10);
        QCOMPARE(stock->text(), u"10 labels a sheet, 2 across and 5 down, each 4 x 2 in, on Letter paper"_s);
    }

    // Stocks the stock file describes wrongly are named on the dialog, with why; the
    // other stocks and the built-in formats are offered.
    void labelDialogNamesStocksLeftOut()
    {
        QTemporaryDir data;
        QFile file(data.filePath(u"labelstocks.txt"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Too Wide]\npaper = Letter\nlabel width = 9 in\nlabel height = 1 in\nhorizontal pitch = 9 in\n"
                   "vertical pitch = 1 in\nleft margin = 0 in\ntop margin = 0.5 in\nacross = 1\ndown = 10\n"
                   "[Fine]\npaper = A4\nlabel width = 70 mm\nlabel height = 35 mm\nhorizontal pitch = 70 mm\n"
                   "vertical pitch = 35 mm\nleft margin = 0 mm\ntop margin = 8.5 mm\nacross = 3\ndown = 8\n");
        file.close();
        LabelStocks stocks;
        stocks.readFile(file.fileName());
        RecordSheet s;
        fill(s, 10, 2);
        TestPlatform platform;
        ReportOptionsDialog dialog(s, platform, nullptr, stocks);
        dialog.show();
        auto* format = child<QComboBox>(&dialog, "cboLabelFormat");
        QCOMPARE(format->count(), 4);
        QCOMPARE(format->itemText(3), u"Fine"_s);
        auto* problems = child<QLabel>(&dialog, "lblStockProblems");
        QVERIFY(problems->isVisible());
        QCOMPARE(problems->text(), u"The label stock \"Too Wide\" (%1, line 1) is left out: its labels are 9 in wide, "
                                   "wider than its Letter page (8.5 in)."_s
                                       .arg(QDir::toNativeSeparators(file.fileName())));
        QVERIFY(platform.messages.isEmpty());
    }

    // The preview draws the labels of the stock in light lines; the printout does not.
    void labelOutlinesOnThePreviewOnly_data()
    {
        QTest::addColumn<QString>("format");
        QTest::newRow("3 x 10") << u"3 x 10"_s;
        QTest::newRow("Avery L7160") << u"Avery L7160"_s;
    }
    void labelOutlinesOnThePreviewOnly()
    {
        QFETCH(QString, format);
        const PublishedStock& stock = publishedStock(format);
        RecordSheet s;
        fill(s, 10, 2);
        ReportOptionsForm form(s);
        form.setFormat(format);
        const auto print = form.makePrintSheet();
        TestPlatform platform;
        PrintPreviewDialog preview(*print, platform, false);
        const QImage shown = preview.shownImage();
        const QString path = m_dir.filePath(u"outlines.pdf"_s);
        QVERIFY(WritePdf(*print, path));
        const QImage printed = PdfReader(path).render(0, 96);
        QVERIFY(!printed.isNull());

        // Along the left and the top edge of the third label (empty): the darkest pixel
        // near the edge, row by row or column by column.
        auto edgeShades = [](const QImage& image, const QSizeF& page, const QRectF& label) {
            const double kx = image.width() / page.width();
            const double ky = image.height() / page.height();
            QList<int> shades;
            for (double y = label.top() + 6; y < label.bottom() - 6; y += 2) {
                int darkest = 255;
                const int ex = int(std::lround(label.left() * kx));
                for (int x = ex - 2; x <= ex + 2; ++x)
                    darkest = std::min(darkest, qGray(image.pixel(x, int(y * ky))));
                shades << darkest;
            }
            for (double x = label.left() + 6; x < label.right() - 6; x += 2) {
                int darkest = 255;
                const int ey = int(std::lround(label.top() * ky));
                for (int y = ey - 2; y <= ey + 2; ++y)
                    darkest = std::min(darkest, qGray(image.pixel(int(x * kx), y)));
                shades << darkest;
            }
            return shades;
        };
        const QRectF third = stock.at(2);
        for (int shade : edgeShades(shown, stock.page, third))
            QVERIFY2(shade < 235 && shade > 100, qPrintable(QString::number(shade)));
        for (int shade : edgeShades(printed, stock.page, third))
            QCOMPARE(shade, 255);
        // Inside the label, away from its edges, the preview is white.
        const double kx = shown.width() / stock.page.width();
        QCOMPARE(qGray(shown.pixel(int(third.center().x() * kx), int(third.center().y() * kx))), 255);
    }
};

QTEST_MAIN(TestPrintDialogs)
#include "TestPrintDialogs.moc"
