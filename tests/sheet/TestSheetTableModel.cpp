#include "sheet/RecordSheet.h"
#include "sheet/SheetTableModel.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QFont>
#include <QSignalSpy>
#include <QTest>

using namespace quillon;

class TestSheetTableModel : public QObject
{
    Q_OBJECT

private slots:
    void passesTheModelTesterThroughEveryKindOfChange()
    {
        RecordSheet sheet;
        SheetTableModel model(&sheet);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        sheet.setCols(4);
        sheet.setRows(21);
        QCOMPARE(model.rowCount(), 20);
        sheet.setText(0, 1, QStringLiteral("Street"));
        sheet.setText(3, 2, QStringLiteral("Boston"));
        sheet.insertRows(2, 3);
        sheet.removeRows(5, 2);
        sheet.removeRowSet({2, 4, 9});
        sheet.insertColumns(1, 2);
        sheet.removeColumns(0, 1);
        sheet.moveColumn(0, 3);
        std::vector<int> order;
        for (int r = sheet.rows() - 1; r >= 1; --r)
            order.push_back(r);
        sheet.applyRecordOrder(order);
        sheet.setRows(1);
        sheet.setCols(0);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
    }

    void showsFormatStylesAndChecks()
    {
        RecordSheet sheet;
        SheetTableModel model(&sheet);
        sheet.setCols(3);
        sheet.setRows(3);
        sheet.setText(0, 0, QStringLiteral("Price"));
        sheet.setColumnDataType(0, TypeMoney);
        sheet.setColumnFormat(0, QStringLiteral("$#,###.00"));
        sheet.setText(1, 0, QStringLiteral("1234.5"));
        sheet.setColumnDataType(2, TypeCheckbox);
        sheet.setChecked(2, 2, -1);
        sheet.setFontFlag({1, 1, 1, 1}, CellStyle::Bold, true);
        sheet.setForeColor({1, 1, 1, 1}, 0xFF0000);

        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Price"));
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("$1,234.50"));
        QCOMPARE(model.data(model.index(0, 0), Qt::EditRole).toString(), QStringLiteral("1234.5"));
        QCOMPARE(model.data(model.index(1, 2), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(model.data(model.index(0, 2), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!model.data(model.index(0, 1), Qt::CheckStateRole).isValid());
        QVERIFY(model.data(model.index(0, 1), Qt::FontRole).value<QFont>().bold());
        QCOMPARE(model.data(model.index(0, 1), Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    }

    void generalAlignmentPutsNumbersRight()
    {
        RecordSheet sheet;
        SheetTableModel model(&sheet);
        sheet.setCols(1);
        sheet.setRows(3);
        sheet.setText(1, 0, QStringLiteral("42.5"));
        sheet.setText(2, 0, QStringLiteral("Main St"));
        const auto align = [&](int row) {
            return Qt::Alignment(model.data(model.index(row, 0), Qt::TextAlignmentRole).toInt()) & Qt::AlignHorizontal_Mask;
        };
        QCOMPARE(align(0), Qt::AlignRight);
        QCOMPARE(align(1), Qt::AlignLeft);
        sheet.setCellAlignment({1, 0, 1, 0}, AlignCenter);
        QCOMPARE(align(0), Qt::AlignHCenter);
    }

    void editingAnnouncesTheSheetCell()
    {
        RecordSheet sheet;
        SheetTableModel model(&sheet);
        sheet.setCols(2);
        sheet.setRows(5);
        QSignalSpy spy(&model, &SheetTableModel::cellEdited);
        QVERIFY(model.setData(model.index(2, 1), QStringLiteral("typed")));
        QCOMPARE(sheet.text(3, 1), QStringLiteral("typed"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0), (QVariantList{3, 1}));
    }
};

QTEST_GUILESS_MAIN(TestSheetTableModel)
#include "TestSheetTableModel.moc"
