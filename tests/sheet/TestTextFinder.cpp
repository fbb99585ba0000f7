#include "sheet/ClipText.h"
#include "sheet/RecordSheet.h"
#include "sheet/TextFinder.h"

#include <QTest>

#include <map>

using namespace quillon;

class TestTextFinder : public QObject
{
    Q_OBJECT

private slots:
    // ---- the cell test ------------------------------------------------------------------

    void cellTest_data()
    {
        QTest::addColumn<QString>("sought");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("hit");
        const QString sz = QStringLiteral("Stra\u00dfe");
        QTest::newRow("case ignored") << "smith" << false << "SMITHSON" << true;
        QTest::newRow("case kept") << "smith" << true << "SMITHSON" << false;
        QTest::newRow("case kept, same case") << "MITHS" << true << "SMITHSON" << true;
        QTest::newRow("inside a cell") << "main" << false << "12 Main St" << true;
        QTest::newRow("at the very end") << "st" << false << "12 Main St" << true;
        QTest::newRow("longer than the cell") << "main street" << false << "Main St" << false;
        QTest::newRow("empty text is everywhere") << "" << false << "abc" << true;
        QTest::newRow("even in an empty cell") << "" << true << "" << true;
        QTest::newRow("nothing in an empty cell") << "a" << false << "" << false;
        QTest::newRow("sharp s upper-cases to SS") << "STRASSE" << false << sz << true;
        QTest::newRow("sharp s, case kept") << "STRASSE" << true << sz << false;
        QTest::newRow("accented letters fold too") << QStringLiteral("\u00e9cole") << false
                                                   << QStringLiteral("L'\u00c9COLE") << true;
        QTest::newRow("dotless i upper-cases to I") << "IN" << false << QStringLiteral("\u0131n") << true;
        QTest::newRow("ASCII hit beside other letters") << "cafe" << false << QStringLiteral("CAFE \u00e9t\u00e9")
                                                        << true;
        QTest::newRow("no ASCII text in a plain cell") << QStringLiteral("\u00e9") << false << "E" << false;
        QTest::newRow("punctuation is exact") << "@" << false << "`" << false;
        QTest::newRow("repeated first letter") << "aab" << false << "aaab" << true;
    }

    void cellTest()
    {
        QFETCH(QString, sought);
        QFETCH(bool, matchCase);
        QFETCH(QString, cell);
        QFETCH(bool, hit);
        const CellMatcher matcher(sought, matchCase);
        QCOMPARE(matcher.matches(cell.toUtf8()), hit);
        // The same answer through a column scan.
        RecordSheet sheet;
        sheet.setCols(1);
        sheet.setRows(2);
        sheet.setText(1, 0, cell);
        QCOMPARE(FindCell(sheet, matcher, 0, 1).isValid(), hit);
    }

    // ---- the scan order -------------------------------------------------------------------

    void scanOrderIsColumnByColumn()
    {
        RecordSheet sheet;
        sheet.setCols(3);
        sheet.setRows(6);
        sheet.setText(4, 0, QStringLiteral("x"));
        sheet.setText(2, 1, QStringLiteral("x"));
        sheet.setText(1, 2, QStringLiteral("x"));
        sheet.setTitle(0, QStringLiteral("x")); // the header row is never searched
        const CellMatcher x(QStringLiteral("x"), false);
        const auto at = [&](int col, int row) {
            const CellPosition p = FindCell(sheet, x, col, row);
            return std::make_pair(p.row, p.col);
        };
        QCOMPARE(at(0, 1), std::make_pair(4, 0));
        QCOMPARE(at(0, 5), std::make_pair(2, 1)); // rest of column 0, then column 1 from the top
        QCOMPARE(at(1, 3), std::make_pair(1, 2));
        QCOMPARE(at(2, 2), std::make_pair(-1, -1)); // no wrap to the left
        QCOMPARE(at(7, 1), std::make_pair(-1, -1));
    }

    // Long columns are walked in storage order; after sorts, edits and removals the
    // storage order, the texts no longer used and the rows differ.
    void longColumnsAfterReordering_data()
    {
        QTest::addColumn<int>("records");
        QTest::newRow("one thread") << 60'000;
        QTest::newRow("two threads") << 600'000;
    }

    void longColumnsAfterReordering()
    {
        QFETCH(int, records);
        RecordSheet sheet;
        sheet.setCols(2);
        sheet.setRows(records + 1);
        for (int r = 1; r <= records; ++r) {
            sheet.setTextUtf8(r, 0, QByteArray("name ") + QByteArray::number(r));
            sheet.setTextUtf8(r, 1, QByteArray("street ") + QByteArray::number(r % 977));
        }
        // The old text of a cell stays stored until the arena is compacted: it must not hit.
        sheet.setText(records / 2, 0, QStringLiteral("renamed"));
        std::vector<int> reversed(static_cast<size_t>(records));
        for (int i = 0; i < records; ++i)
            reversed[size_t(i)] = records - i;
        sheet.applyRecordOrder(reversed);
        const int target = records / 3;
        sheet.setText(target, 1, QStringLiteral("the needle"));
        // A long text that makes the arena skip to a new block.
        sheet.setText(7, 0, QString(70'000, QLatin1Char('n')));

        const CellMatcher needle(QStringLiteral("NEEDLE"), false);
        CellPosition p = FindCell(sheet, needle, 0, 1);
        QCOMPARE(p.row, target);
        QCOMPARE(p.col, 1);
        QVERIFY(!FindCell(sheet, needle, 1, target + 1).isValid());

        const QString old = QStringLiteral("name %1").arg(records / 2);
        const int renamedRow = records - records / 2 + 1; // where the renamed record went
        QVERIFY(!FindCell(sheet, CellMatcher(old, true), 0, 1).isValid());
        p = FindCell(sheet, CellMatcher(QStringLiteral("renamed"), true), 0, 1);
        QCOMPARE(p.row, renamedRow);

        // A text in many cells: the first one in row order.
        p = FindCell(sheet, CellMatcher(QStringLiteral("street 5"), true), 1, 1);
        QCOMPARE(p.col, 1);
        QVERIFY(sheet.text(p.row, 1).startsWith(QStringLiteral("street 5")));
        for (int r = 1; r < p.row; ++r)
            QVERIFY(!sheet.text(r, 1).contains(QStringLiteral("street 5")));

        // Starting below a hit skips it.
        p = FindCell(sheet, CellMatcher(QStringLiteral("name 1"), false), 0, records - 5000);
        QVERIFY(p.row >= records - 5000);
        QVERIFY(sheet.text(p.row, p.col).contains(QStringLiteral("name 1")));
        QVERIFY(!FindCell(sheet, CellMatcher(QStringLiteral("nnnn"), false), 0, 8).isValid());
        QCOMPARE(FindCell(sheet, CellMatcher(QStringLiteral("nnnn"), false), 0, 1).row, 7);
    }

    // The storage walk the long scans rely on: every row's text once, at its position,
    // across block ends that were skipped and texts longer than a block.
    void storageWalkVisitsEveryText()
    {
        TextColumn column(3000);
        for (int r = 1; r < 3000; ++r)
            column.set(r, QByteArray(r % 13 == 0 ? 1000 + r : 1 + r % 40, char('a' + r % 26)));
        column.set(1500, QByteArray(200'000, 'z'));
        column.set(17, QByteArray());
        std::map<uint32_t, QByteArray> stored;
        column.forEachStored([&](uint32_t at, QByteArrayView text) {
            stored.emplace(at, text.toByteArray());
            return true;
        });
        for (int r = 1; r < 3000; ++r) {
            if (column.isEmpty(r))
                continue;
            const auto it = stored.find(column.position(r));
            QVERIFY(it != stored.end());
            QCOMPARE(it->second, column.utf8(r).toByteArray());
        }
        int visits = 0;
        column.forEachStored([&](uint32_t, QByteArrayView) { return ++visits < 5; });
        QCOMPARE(visits, 5);
        column.compact();
        qsizetype live = 0;
        column.forEachStored([&](uint32_t, QByteArrayView) {
            ++live;
            return true;
        });
        QCOMPARE(live, 2999 - 1);
    }

    // A column past 4 MiB grows in 2 MiB chunks; the tail of a chunk that a text did
    // not fit into stays unused and the walk must step over it to the next chunk.
    void storageWalkSkipsChunkTails()
    {
        const int rows = 12'000;
        TextColumn column(rows);
        auto textOf = [](int r, int salt) {
            // 300 .. 1,500 bytes, so that chunk ends are met at many offsets.
            return QByteArray(300 + (r * 7919 + salt) % 1200, char('A' + (r + salt) % 26));
        };
        for (int r = 1; r < rows; ++r)
            QVERIFY(column.set(r, textOf(r, 0)));
        // A text longer than a chunk, and edits that leave unused texts behind.
        QVERIFY(column.set(6000, QByteArray(2'500'000, 'L')));
        for (int r = 2; r < rows; r += 97)
            QVERIFY(column.set(r, textOf(r, 1)));
        QVERIFY(column.arenaBytes() > 8u * 1024 * 1024);

        auto header = [](size_t len) { return len < 0x80 ? 1 : len < 0x4000 ? 2 : len < 0x200000 ? 3 : 4; };
        std::map<uint32_t, QByteArray> stored;
        size_t walked = 0;
        uint32_t last = 0;
        bool ascending = true;
        column.forEachStored([&](uint32_t at, QByteArrayView text) {
            ascending = ascending && at > last;
            last = at;
            walked += size_t(header(size_t(text.size()))) + size_t(text.size());
            stored.emplace(at, text.toByteArray());
            return true;
        });
        QVERIFY(ascending);
        // Every stored byte once, nothing of the unused chunk tails.
        QCOMPARE(walked, column.arenaBytes());
        for (int r = 1; r < rows; ++r) {
            const auto it = stored.find(column.position(r));
            QVERIFY2(it != stored.end(), qPrintable(QString::number(r)));
            QCOMPARE(it->second, column.utf8(r).toByteArray());
        }
        QCOMPARE(qsizetype(stored.size()), qsizetype(rows - 1 + 1 + (rows - 2 + 96) / 97));

        // The same after compaction, which lays the texts out anew.
        column.compact();
        walked = 0;
        qsizetype live = 0;
        column.forEachStored([&](uint32_t at, QByteArrayView text) {
            walked += size_t(header(size_t(text.size()))) + size_t(text.size());
            ++live;
            return column.utf8(6000).size() > 0 && at > 0;
        });
        QCOMPARE(live, qsizetype(rows - 1));
        QCOMPARE(walked, column.arenaBytes());
    }

    // ---- clipboard text -------------------------------------------------------------------

    void clipTextReads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QStringList>>("cells");
        const auto row = [](std::initializer_list<const char*> items) {
            QStringList out;
            for (const char* item : items)
                out << QString::fromUtf8(item);
            return out;
        };
        QTest::newRow("empty") << "" << QList<QStringList>{};
        QTest::newRow("one cell") << "a" << QList<QStringList>{row({"a"})};
        QTest::newRow("tabs and CR-LF") << "a\tb\r\nc\td" << QList<QStringList>{row({"a", "b"}), row({"c", "d"})};
        QTest::newRow("a final line break ends the row") << "a\tb\r\n" << QList<QStringList>{row({"a", "b"})};
        QTest::newRow("LF and CR alone") << "a\nb\rc" << QList<QStringList>{row({"a"}), row({"b"}), row({"c"})};
        QTest::newRow("empty cells and rows") << "\t\r\n\r\nx" << QList<QStringList>{row({"", ""}), row({""}), row({"x"})};
        QTest::newRow("quoted cell with tab and line break")
            << "\"a\tb\r\nc\"\td" << QList<QStringList>{row({"a\tb\r\nc", "d"})};
        QTest::newRow("doubled quotes") << "\"say \"\"hi\"\"\"" << QList<QStringList>{row({"say \"hi\""})};
        QTest::newRow("quote not closing a cell is text") << "\"Bob\" Smith\tx"
                                                          << QList<QStringList>{row({"\"Bob\" Smith", "x"})};
        QTest::newRow("unclosed quote is text") << "\"abc\tx" << QList<QStringList>{row({"\"abc", "x"})};
        QTest::newRow("quote inside a cell") << "5\" pipe" << QList<QStringList>{row({"5\" pipe"})};
    }

    void clipTextReads()
    {
        QFETCH(QString, text);
        QFETCH(QList<QStringList>, cells);
        QCOMPARE(ParseClipText(text), cells);
    }

    void clipTextRoundTrips()
    {
        RecordSheet sheet;
        sheet.setCols(3);
        sheet.setRows(4);
        const QStringList texts{QStringLiteral("plain"), QStringLiteral("tab\there"), QStringLiteral("two\r\nlines"),
                                QStringLiteral("\"quoted\""), QStringLiteral("5\" pipe"), QString(),
                                QStringLiteral("lf\nonly"), QStringLiteral("x"), QStringLiteral("")};
        for (int i = 0; i < texts.size(); ++i)
            sheet.setText(1 + i / 3, i % 3, texts[i]);
        const QString clip = ClipTextOf(sheet, {1, 2, 3}, 0, 2);
        QVERIFY(clip.startsWith(QStringLiteral("plain\t\"tab\there\"\t\"two\r\nlines\"\r\n\"\"\"quoted\"\"\"\t5\" pipe\t\r\n")));
        const QList<QStringList> back = ParseClipText(clip);
        QCOMPARE(back.size(), 3);
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(back[i / 3][i % 3], texts[i]);
        QCOMPARE(ClipTextOf(sheet, {3, 1}, 2, 2), QStringLiteral("\r\n\"two\r\nlines\""));
    }
};

QTEST_GUILESS_MAIN(TestTextFinder)
#include "TestTextFinder.moc"
