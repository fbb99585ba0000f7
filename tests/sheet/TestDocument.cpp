#include "sheet/Document.h"
#include "sheet/FormPanel.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillon;

class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    void newSheetLayout()
    {
        Document doc(QStringLiteral("/data/Untitled1.vty"));
        doc.buildNewSheet();
        const RecordSheet& s = doc.sheet();
        QCOMPARE(s.cols(), 10);
        QCOMPARE(s.rows(), 21);
        const QStringList titles{QStringLiteral("Name"),  QStringLiteral("Street"),   QStringLiteral("City"),
                                 QStringLiteral("State"), QStringLiteral("Zip Code"), QStringLiteral("Phone"),
                                 QStringLiteral("Web Site"), QStringLiteral("Email"), QString(), QString()};
        const int widths[] = {2500, 2500, 1000, 500, 900, 1500, kDefaultColumnWidth, kDefaultColumnWidth,
                              kDefaultColumnWidth, kDefaultColumnWidth};
        for (int c = 0; c < 10; ++c) {
            QCOMPARE(s.title(c), titles[c]);
            QCOMPARE(s.column(c).dataType, int(TypeText));
            QCOMPARE(s.column(c).alignment, int(AlignLeft));
            QCOMPARE(s.column(c).width, widths[c]);
            QVERIFY(s.column(c).format.isEmpty());
            QVERIFY(!s.column(c).hidden);
        }
        for (int r = 1; r < s.rows(); ++r)
            for (int c = 0; c < 10; ++c)
                QVERIFY(s.isCellEmpty(r, c));
        QCOMPARE(doc.ColumnComboLists().size(), 10);
        QCOMPARE(s.currentRow(), 1);
    }

    void newSheetForgetsWhatWasThere()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        doc.buildNewSheet();
        doc.sheet().setCols(14);
        doc.sheet().setRows(300);
        doc.sheet().setText(5, 12, QStringLiteral("old"));
        doc.sheet().setColumnHidden(2, true);
        doc.sheet().setFontFlag({3, 3, 3, 3}, CellStyle::Bold, true);
        doc.ColumnComboLists()[1] = QStringLiteral("a|b");
        doc.buildNewSheet();
        QCOMPARE(doc.sheet().cols(), 10);
        QCOMPARE(doc.sheet().rows(), 21);
        QVERIFY(!doc.sheet().column(2).hidden);
        QCOMPARE(doc.sheet().styledCellCount(), 0);
        QVERIFY(doc.ColumnComboLists()[1].isEmpty());
    }

    void markEdited_data()
    {
        QTest::addColumn<bool>("untitled");
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<bool>("saveEnabled");
        QTest::newRow("untitled, command") << true << false << false << false;
        QTest::newRow("untitled, cell edit") << true << true << true << false;
        QTest::newRow("named, command") << false << false << true << true;
        QTest::newRow("named, cell edit") << false << true << true << true;
    }
    void markEdited()
    {
        QFETCH(bool, untitled);
        QFETCH(bool, inPlace);
        QFETCH(bool, modified);
        QFETCH(bool, saveEnabled);
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        if (!untitled)
            doc.setDocumentName(QStringLiteral("/u/list.vty"));
        doc.MarkEdited(inPlace);
        QCOMPARE(doc.IsModified(), modified);
        QCOMPARE(doc.isSaveEnabled(), saveEnabled);
    }

    void untitledComparisonIsExact()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        doc.setDocumentName(QStringLiteral("/u/UNTITLED1.VTY"));
        QVERIFY(!doc.isUntitled());
        doc.MarkEdited();
        QVERIFY(doc.isSaveEnabled());
    }

    void formPanelValues()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        doc.buildNewSheet();
        RecordSheet& s = doc.sheet();
        s.setColumnDataType(0, TypeCheckbox);
        s.setChecked(1, 0, -1);
        s.setChecked(2, 0, 0);
        s.setColumnDataType(1, TypeMoney);
        s.setColumnFormat(1, QStringLiteral("$#,###.00"));
        s.setText(1, 1, QStringLiteral("5"));
        s.setColumnFormat(2, QStringLiteral("$#,###.00"));
        s.setText(1, 2, QStringLiteral("5"));
        s.setText(1, 0, QStringLiteral("hidden by the box"));

        FormPanel panel(doc);
        panel.SetupFormPanel(3000);
        panel.resync();
        s.setCurrentCell(1, 0);
        panel.refresh();
        const RecordSheet& fb = panel.grid();
        QCOMPARE(fb.rows(), 11);
        QCOMPARE(fb.title(0), QStringLiteral("Column"));
        QCOMPARE(fb.title(1), QStringLiteral("Value"));
        QCOMPARE(fb.text(2, 0), QStringLiteral("Street"));
        QVERIFY(fb.isChecked(1, 1));
        QVERIFY(fb.text(1, 1).isEmpty());
        QCOMPARE(fb.text(2, 1), QStringLiteral("$5.00"));
        QCOMPARE(fb.text(3, 1), QStringLiteral("5"));

        s.setCurrentCell(2, 0);
        panel.refresh();
        QVERIFY(!fb.isChecked(1, 1));
        QCOMPARE(fb.checked(1, 1), int(FormPanel::kUncheckedBox));
        QVERIFY(fb.text(2, 1).isEmpty());
    }

    void formPanelEditWritesTheCurrentRecord()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        doc.buildNewSheet();
        doc.setDocumentName(QStringLiteral("/u/list.vty"));
        FormPanel panel(doc);
        panel.SetupFormPanel(3000);
        panel.resync();
        doc.sheet().setCurrentCell(4, 0);
        panel.grid().setText(3, 1, QStringLiteral("Springfield"));
        panel.applyEdit(3);
        QCOMPARE(doc.sheet().text(4, 2), QStringLiteral("Springfield"));
        QVERIFY(doc.isSaveEnabled());
    }

    void titlesRefillAfterAColumnMove()
    {
        Document doc(QStringLiteral("/u/Untitled1.vty"));
        doc.buildNewSheet();
        FormPanel panel(doc);
        panel.SetupFormPanel(3000);
        panel.resync();
        panel.refresh();
        doc.sheet().moveColumn(0, 2);
        panel.TitlesChanged = true;
        panel.refresh();
        QCOMPARE(panel.grid().text(1, 0), QStringLiteral("Street"));
        QCOMPARE(panel.grid().text(3, 0), QStringLiteral("Name"));
        QVERIFY(!panel.TitlesChanged);
    }
};

QTEST_GUILESS_MAIN(TestDocument)
#include "TestDocument.moc"
