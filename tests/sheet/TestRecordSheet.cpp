#include "sheet/RecordSheet.h"

#include <QSignalSpy>
#include <QTest>

using namespace quillon;

class TestRecordSheet : public QObject
{
    Q_OBJECT

private:
    static void fill(RecordSheet& s, int rows, int cols)
    {
        s.setCols(cols);
        s.setRows(rows);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                s.setText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
    }
    /** Column @p c as fill() writes it into @p rows rows. */
    static QStringList filled(int rows, int c)
    {
        QStringList out;
        for (int r = 0; r < rows; ++r)
            out << QStringLiteral("r%1c%2").arg(r).arg(c);
        return out;
    }
    static QStringList column(const RecordSheet& s, int c)
    {
        QStringList out;
        for (int r = 0; r < s.rows(); ++r)
            out << s.text(r, c);
        return out;
    }

private slots:
    void textRoundTripsThroughTheArena_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("ascii") << QStringLiteral("Smith & Sons");
        QTest::newRow("accents") << QStringLiteral("Crème brûlée Café");
        QTest::newRow("tab and line break") << QStringLiteral("a\tb\r\nc");
        QTest::newRow("127 bytes") << QString(127, QLatin1Char('x'));
        QTest::newRow("128 bytes, two-byte length") << QString(128, QLatin1Char('y'));
        QTest::newRow("long") << QString(70000, QLatin1Char('z'));
        QTest::newRow("astral") << QString::fromUtf8("\xF0\x9F\x93\x9E phone");
    }
    void textRoundTripsThroughTheArena()
    {
        QFETCH(QString, text);
        RecordSheet s;
        s.setCols(2);
        s.setRows(3);
        s.setText(1, 1, text);
        s.setText(2, 0, QStringLiteral("neighbour"));
        QCOMPARE(s.text(1, 1), text);
        QCOMPARE(s.isCellEmpty(1, 1), text.isEmpty());
        QCOMPARE(s.text(2, 0), QStringLiteral("neighbour"));
    }

    void overwritingManyTimesCompactsAndKeepsValues()
    {
        RecordSheet s;
        s.setCols(1);
        s.setRows(1001);
        for (int round = 0; round < 40; ++round)
            for (int r = 1; r <= 1000; ++r)
                s.setText(r, 0, QStringLiteral("value %1 in round %2 with padding to make it long").arg(r).arg(round));
        for (int r = 1; r <= 1000; ++r)
            QCOMPARE(s.text(r, 0), QStringLiteral("value %1 in round %2 with padding to make it long").arg(r).arg(39));
        const TextColumn& col = s.textColumn(0);
        QVERIFY2(col.garbageBytes() * 2 <= col.arenaBytes() + (1u << 20), "arena was never compacted");
    }

    void neverFewerThanTheHeaderRow()
    {
        RecordSheet s;
        s.setCols(2);
        s.setRows(0);
        QCOMPARE(s.rows(), 1);
        s.setRows(5);
        s.setRows(1);
        QCOMPARE(s.recordCount(), 0);
        QCOMPARE(s.currentRow(), 0);
    }

    void shrinkingDropsStylesAndHeightsOfDroppedRows()
    {
        RecordSheet s;
        s.setCols(2);
        s.setRows(10);
        s.setFontFlag({8, 0, 8, 1}, CellStyle::Bold, true);
        s.setRowHeight(9, 480);
        s.setRows(5);
        s.setRows(10);
        QVERIFY(!s.style(8, 0).bold());
        QCOMPARE(s.rowHeight(9), kDefaultRowHeight);
        QCOMPARE(s.styledCellCount(), 0);
    }

    void insertRowsShiftsTextStylesAndHeights()
    {
        RecordSheet s;
        fill(s, 6, 2);
        s.setFontFlag({4, 1, 4, 1}, CellStyle::Italic, true);
        s.setRowHeight(4, 720);
        s.insertRows(4, 1);
        QCOMPARE(s.rows(), 7);
        QVERIFY(s.text(4, 0).isEmpty());
        QCOMPARE(s.text(5, 0), QStringLiteral("r4c0"));
        QVERIFY(s.style(5, 1).italic());
        QVERIFY(!s.style(4, 1).italic());
        QCOMPARE(s.rowHeight(5), 720);
        QCOMPARE(s.rowHeight(4), kDefaultRowHeight);
    }

    void removeRowSetRemovesExactlyThoseRows()
    {
        RecordSheet s;
        fill(s, 11, 2);
        s.setBackColor({9, 0, 9, 0}, 0x00ff00);
        s.setBackColor({10, 0, 10, 0}, 0x0000ff);
        s.removeRowSet({9, 3, 5, 5});
        QCOMPARE(s.rows(), 8);
        QCOMPARE(column(s, 0), (QStringList{QStringLiteral("r0c0"), QStringLiteral("r1c0"), QStringLiteral("r2c0"),
                                            QStringLiteral("r4c0"), QStringLiteral("r6c0"), QStringLiteral("r7c0"),
                                            QStringLiteral("r8c0"), QStringLiteral("r10c0")}));
        QCOMPARE(s.style(7, 0).back, Rgb(0x0000ff));
        QCOMPARE(s.styledCellCount(), 1);
    }

    void removeRowSetNeverRemovesTheHeader()
    {
        RecordSheet s;
        fill(s, 3, 1);
        s.removeRowSet({0, 2});
        QCOMPARE(s.rows(), 2);
        QCOMPARE(s.text(0, 0), QStringLiteral("r0c0"));
    }

    void moveRowRotatesBetween()
    {
        RecordSheet s;
        fill(s, 6, 1);
        s.moveRow(5, 2);
        QCOMPARE(column(s, 0), (QStringList{QStringLiteral("r0c0"), QStringLiteral("r1c0"), QStringLiteral("r5c0"),
                                            QStringLiteral("r2c0"), QStringLiteral("r3c0"), QStringLiteral("r4c0")}));
        s.moveRow(2, 5);
        QCOMPARE(s.text(5, 0), QStringLiteral("r5c0"));
        QCOMPARE(s.text(2, 0), QStringLiteral("r2c0"));
    }

    void columnsMoveWithTitlesAttributesAndStyles()
    {
        RecordSheet s;
        fill(s, 3, 4);
        s.setColumnDataType(1, TypeMoney);
        s.setFontFlag({2, 1, 2, 1}, CellStyle::Underline, true);
        s.moveColumn(1, 3);
        QCOMPARE(s.title(3), QStringLiteral("r0c1"));
        QCOMPARE(s.column(3).dataType, int(TypeMoney));
        QVERIFY(s.style(2, 3).underline());
        QCOMPARE(s.title(1), QStringLiteral("r0c2"));
        s.removeColumns(1, 1);
        QCOMPARE(s.cols(), 3);
        QCOMPARE(s.title(1), QStringLiteral("r0c3"));
        QVERIFY(s.style(2, 2).underline());
        s.insertColumns(0, 1);
        QVERIFY(s.title(0).isEmpty());
        QCOMPARE(s.title(1), QStringLiteral("r0c0"));
        QCOMPARE(s.rows(), 3);
        QVERIFY(s.text(2, 0).isEmpty());
    }

    void recordOrderPermutesTextStylesAndHeights()
    {
        RecordSheet s;
        fill(s, 4, 2);
        s.setChecked(1, 1, 1);
        s.setRowHeight(3, 960);
        const int order[] = {3, 1, 2};
        s.applyRecordOrder(order);
        QCOMPARE(column(s, 0), (QStringList{QStringLiteral("r0c0"), QStringLiteral("r3c0"), QStringLiteral("r1c0"),
                                            QStringLiteral("r2c0")}));
        QVERIFY(s.isChecked(2, 1));
        QVERIFY(!s.isChecked(1, 1));
        QCOMPARE(s.rowHeight(1), 960);
    }

    void swapContentsExchangesEverything()
    {
        RecordSheet a, b;
        fill(a, 3, 2);
        fill(b, 5, 4);
        b.setColumnHidden(3, true);
        a.swapContents(b);
        QCOMPARE(a.rows(), 5);
        QCOMPARE(a.cols(), 4);
        QVERIFY(a.column(3).hidden);
        QCOMPARE(b.rows(), 3);
        QCOMPARE(b.cols(), 2);
        QCOMPARE(a.currentRow(), 1);
    }

    void batchAnnouncesOnce()
    {
        RecordSheet s;
        s.setCols(3);
        s.setRows(10);
        QSignalSpy spy(&s, &RecordSheet::cellsChanged);
        {
            RecordSheet::Batch batch(s);
            s.setText(2, 1, QStringLiteral("a"));
            s.setText(7, 2, QStringLiteral("b"));
            s.setText(4, 0, QStringLiteral("c"));
        }
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0), (QVariantList{2, 0, 7, 2}));
    }

    void selectionInRowsAndBlockMode()
    {
        RecordSheet s;
        s.setCols(5);
        s.setRows(20);
        s.setSelectionMode(RecordSheet::SelectionMode::Rows);
        s.setSelectedRows({{9, 9}, {3, 3}, {5, 5}});
        QCOMPARE(s.selectedRowCount(), 3);
        QCOMPARE(s.selectedRowList(), (std::vector<int>{3, 5, 9}));
        QCOMPARE(s.selectedRow(2), 9);
        s.setSelectionMode(RecordSheet::SelectionMode::Block);
        s.selectBlock(4, 3, 2, 1);
        QCOMPARE(s.selectedBlock(), (CellRect{2, 1, 4, 3}));
        QCOMPARE(s.selectedRowCount(), 3);
        QCOMPARE(s.currentRow(), 4);
    }

    void cursorStaysOnARecord()
    {
        RecordSheet s;
        s.setCols(2);
        s.setRows(10);
        s.setCurrentCell(9, 1);
        s.setRows(4);
        QCOMPARE(s.currentRow(), 3);
        s.removeRows(1, 3);
        QCOMPARE(s.currentRow(), 0);
        s.setRows(2);
        QCOMPARE(s.currentRow(), 1);
        s.setCols(0);
        QCOMPARE(s.currentCol(), 0);
    }

    // ---- what the undo steps stand on ----------------------------------------------------

    void insertRowSetPutsBackWhatRemoveRowSetTook_data()
    {
        QTest::addColumn<QList<int>>("removed");
        QTest::newRow("one in the middle") << QList<int>{5};
        QTest::newRow("first record") << QList<int>{1};
        QTest::newRow("last record") << QList<int>{11};
        QTest::newRow("a run") << QList<int>{4, 5, 6};
        QTest::newRow("apart") << QList<int>{1, 3, 4, 8, 11};
        QTest::newRow("every record") << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    }
    void insertRowSetPutsBackWhatRemoveRowSetTook()
    {
        QFETCH(QList<int>, removed);
        RecordSheet s;
        fill(s, 12, 3);
        s.setFontFlag({7, 1, 7, 1}, CellStyle::Italic, true);
        s.setFontFlag({4, 2, 4, 2}, CellStyle::Bold, true);
        s.setRowHeight(9, 720);
        s.setRowHeight(5, 480);
        s.setCurrentCell(10, 1);
        const std::vector<int> rows(removed.begin(), removed.end());
        s.removeRowSet(rows);
        QCOMPARE(s.rows(), 12 - int(rows.size()));
        s.insertRowSet(rows);
        QCOMPARE(s.rows(), 12);
        for (int r = 1; r < 12; ++r) {
            const bool wasRemoved = removed.contains(r);
            for (int c = 0; c < 3; ++c)
                QCOMPARE(s.text(r, c), wasRemoved ? QString() : QStringLiteral("r%1c%2").arg(r).arg(c));
        }
        // The styles and heights of the rows that stayed are where they were.
        QCOMPARE(s.style(7, 1).italic(), !removed.contains(7));
        QCOMPARE(s.style(4, 2).bold(), !removed.contains(4));
        QCOMPARE(s.rowHeight(9), removed.contains(9) ? 240 : 720);
        QCOMPARE(s.rowHeight(5), removed.contains(5) ? 240 : 480);
        QCOMPARE(s.title(1), QStringLiteral("r0c1"));
        if (!removed.contains(10))
            QCOMPARE(s.currentRow(), 10);
    }

    void insertRowSetRefusesPositionsOutOfReach_data()
    {
        QTest::addColumn<QList<int>>("positions");
        QTest::newRow("the header") << QList<int>{0, 2};
        QTest::newRow("past the end") << QList<int>{3, 9};
        QTest::newRow("not ascending") << QList<int>{4, 2};
        QTest::newRow("repeated") << QList<int>{2, 2};
    }
    void insertRowSetRefusesPositionsOutOfReach()
    {
        QFETCH(QList<int>, positions);
        RecordSheet s;
        fill(s, 6, 2);
        s.insertRowSet(std::vector<int>(positions.begin(), positions.end()));
        QCOMPARE(s.rows(), 6);
        QCOMPARE(column(s, 1), filled(6, 1));
    }

    void takenColumnGoesBackWithEverything()
    {
        RecordSheet s;
        fill(s, 5, 4);
        ColumnAttributes a;
        a.dataType = TypeMoney;
        a.format = QStringLiteral("$#,###");
        a.alignment = AlignRight;
        a.width = 1777;
        s.setColumn(2, a);
        s.setBackColor({3, 2, 3, 2}, 0x123456);
        s.setHeaderPicture(2, PictureDown);
        s.setFontFlag({1, 3, 1, 3}, CellStyle::Bold, true);
        s.setCurrentCell(2, 3);
        ColumnPiece piece = s.takeColumn(2);
        QCOMPARE(s.cols(), 3);
        QCOMPARE(s.text(1, 2), QStringLiteral("r1c3"));
        QVERIFY(s.style(1, 2).bold()); // the column right of it moved left with its styles
        QCOMPARE(s.currentCol(), 2);
        s.putColumn(2, std::move(piece));
        QCOMPARE(s.cols(), 4);
        QCOMPARE(column(s, 2), filled(5, 2));
        QCOMPARE(column(s, 3), filled(5, 3));
        QCOMPARE(s.column(2), a);
        QCOMPARE(s.style(3, 2).back, Rgb(0x123456));
        QCOMPARE(s.style(0, 2).picture, uint8_t(PictureDown));
        QVERIFY(s.style(1, 3).bold());
        QVERIFY(!s.style(1, 2).bold());
        QCOMPARE(s.currentCol(), 3);
    }

    // A snapshot reads like the sheet it was taken from, whatever lies in its arenas
    // (a small first block, texts longer than a block, gaps between chunks, unused text,
    // rows out of storage order), and can be changed afterwards like any sheet.
    void snapshotReadsLikeTheSheet_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("how");
        QTest::newRow("empty columns") << 5 << QStringLiteral("nothing");
        QTest::newRow("a few short texts") << 5 << QStringLiteral("short");
        QTest::newRow("a text longer than a block first") << 4 << QStringLiteral("long first");
        QTest::newRow("long texts between short ones") << 300 << QStringLiteral("long between");
        QTest::newRow("overwritten many times") << 3000 << QStringLiteral("overwritten");
        QTest::newRow("many records, reordered") << 200000 << QStringLiteral("reordered");
    }
    void snapshotReadsLikeTheSheet()
    {
        QFETCH(int, rows);
        QFETCH(QString, how);
        RecordSheet s;
        s.setCols(3);
        s.setRows(rows);
        const auto textOf = [](int r, int c, int round) {
            return QStringLiteral("%1 Main St, suite %2 (%3)").arg(r * 7 + c).arg(round).arg(QString((r + c) % 5, u'*'));
        };
        if (how == QLatin1String("short")) {
            s.setText(1, 0, QStringLiteral("Smith"));
            s.setText(3, 2, QStringLiteral("Åsa"));
        } else if (how == QLatin1String("long first")) {
            s.setText(1, 1, QString(70000, u'a'));
            s.setText(2, 1, QStringLiteral("after"));
            s.setText(3, 1, QString(200000, u'b'));
        } else if (how == QLatin1String("long between")) {
            for (int r = 1; r < rows; ++r)
                for (int c = 0; c < 3; ++c)
                    s.setText(r, c, r % 37 == 0 ? QString(66000 + r, QChar(u'a' + c)) : textOf(r, c, 0));
        } else if (how == QLatin1String("overwritten")) {
            for (int round = 0; round < 5; ++round)
                for (int r = 1; r < rows; ++r)
                    s.setText(r, round % 3, textOf(r, round % 3, round));
        } else if (how == QLatin1String("reordered")) {
            for (int r = 1; r < rows; ++r)
                for (int c = 0; c < 3; ++c)
                    s.setText(r, c, textOf(r, c, 0));
            std::vector<int> order(size_t(rows - 1));
            for (int i = 0; i < rows - 1; ++i)
                order[size_t(i)] = (i * 7919) % (rows - 1) + 1;
            s.applyRecordOrder(order);
        }
        RecordSheet copy;
        copy.snapshotContentsFrom(s);
        QCOMPARE(copy.rows(), s.rows());
        QCOMPARE(copy.cols(), s.cols());
        for (int c = 0; c < s.cols(); ++c)
            for (int r = 0; r < s.rows(); ++r)
                if (copy.textUtf8(r, c) != s.textUtf8(r, c))
                    QFAIL(qPrintable(QStringLiteral("row %1, column %2 differs").arg(r).arg(c)));

        // Changed afterwards, the copy keeps both its own and the original its texts.
        QStringList before;
        for (int r = 0; r < s.rows(); ++r)
            before << s.text(r, 0);
        for (int round = 0; round < 3; ++round)
            for (int r = 1; r < rows; ++r)
                copy.setText(r, 0, textOf(r, 9, round));
        copy.setText(1, 1, QString(70000, u'z'));
        for (int r = 1; r < rows; ++r)
            QCOMPARE(copy.text(r, 0), textOf(r, 9, 2));
        QCOMPARE(copy.text(1, 1), QString(70000, u'z'));
        for (int r = 0; r < s.rows(); ++r)
            QCOMPARE(s.text(r, 0), before[r]);
    }
};

QTEST_GUILESS_MAIN(TestRecordSheet)
#include "TestRecordSheet.moc"
