#include "sheet/RecordSheet.h"
#include "sheet/SheetSort.h"
#include "sheet/SortKeys.h"
#include "sheet/ValueFormat.h"

#include <QCollator>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cstring>

using namespace quillon;

namespace {

QStringList L(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}

/** A one-column sheet of @p type holding @p values as records 1, 2, ... */
void fillColumn(RecordSheet& sheet, int type, const QStringList& values)
{
    sheet.setCols(1);
    sheet.setRows(int(values.size()) + 1);
    sheet.setColumnDataType(0, type);
    for (int i = 0; i < values.size(); ++i)
        sheet.setText(i + 1, 0, values[i]);
}

QStringList valuesInOrder(const RecordSheet& sheet, const std::vector<int>& order, int col = 0)
{
    QStringList out;
    for (int r : order)
        out << sheet.text(r, col);
    return out;
}

QCollator referenceCollator()
{
    QCollator c(SheetCollationLocale());
    c.setCaseSensitivity(Qt::CaseInsensitive);
    c.setNumericMode(true);
    return c;
}

QString randomText(QRandomGenerator& rng, bool allowOthers)
{
    static const QString ascii = QStringLiteral("aAbBzZ09 5 1-_.,'()&#\t/") + QChar(0x01);
    static const QString others = QStringLiteral("\u00e9\u00c9\u00df\uff21\u0131\u00e8");
    const int length = 1 + int(rng.bounded(9));
    QString s;
    for (int i = 0; i < length; ++i) {
        const quint32 pick = rng.bounded(100);
        if (allowOthers && pick < 3)
            s += others[int(rng.bounded(quint32(others.size())))];
        else if (pick < 30)
            s += QString::number(rng.bounded(1000));
        else
            s += ascii[int(rng.bounded(quint32(ascii.size())))];
    }
    return s;
}

} // namespace

class TestSheetSort : public QObject
{
    Q_OBJECT

private slots:
    // ---- title-click order by data type -----------------------------------------------

    void typedOrder_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("expected");

        const int N = TypeNumber;
        const int M = TypeMoney;
        const int D = TypeDate;
        const int T = TypeText;
        const char* e = "";
        QTest::newRow("numbers by value, not as text")
            << N << true << L({"10", "9", "-2.5", "1,000", e, "abc", "3"})
            << L({"-2.5", "3", "9", "10", "1,000", "abc", e});
        QTest::newRow("numbers descending, empties still last")
            << N << false << L({"10", e, "9", "-2.5", "1,000", "abc", "3"})
            << L({"1,000", "10", "9", "3", "-2.5", "abc", e});
        QTest::newRow("money with signs and brackets")
            << M << true << L({"$5.00", "$12", e, "$1,234.50", "(3)", "-$0.5"})
            << L({"(3)", "-$0.5", "$5.00", "$12", "$1,234.50", e});
        QTest::newRow("plain decimals compare like typed ones")
            << N << true << L({"0.5", "$0.25", "007", "6.99", "-0", "0"})
            << L({"-0", "0", "$0.25", "0.5", "6.99", "007"});
        QTest::newRow("dates by date")
            << D << true << L({"12/31/2020", "1/5/2021", e, "2020-06-01", "03-Feb-2019", "soon"})
            << L({"03-Feb-2019", "2020-06-01", "12/31/2020", "1/5/2021", "soon", e});
        QTest::newRow("dates descending, times count")
            << D << false << L({"1/5/2021 9:00", "1/5/2021 17:30", "1/5/2021", e})
            << L({"1/5/2021 17:30", "1/5/2021 9:00", "1/5/2021", e});
        QTest::newRow("text ignores case, digits as numbers")
            << T << true << L({"smith", "Adams", "SMITHSON", "adams10", "adams2", "Zed", e})
            << L({"Adams", "adams2", "adams10", "smith", "SMITHSON", "Zed", e});
        QTest::newRow("text descending, empties last")
            << T << false << L({e, "b", "a", e, "c"}) << L({"c", "b", "a", e, e});
        QTest::newRow("equal texts keep their order")
            << T << true << L({"b", "A", "a", "B"}) << L({"A", "a", "b", "B"});
        QTest::newRow("descending reverses groups, not rows in a group")
            << T << false << L({"b", "A", "a", "B"}) << L({"b", "B", "A", "a"});
        QTest::newRow("untyped column sorts as text")
            << int(TypeNone) << true << L({"10 Elm", "9 Elm", "Apple"})
            << L({"9 Elm", "10 Elm", "Apple"});
        QTest::newRow("letters beyond ASCII")
            << T << true << L({"\u00e9clair", "eclair", "Ezra", "ECLAIRS", "apple"})
            << L({"apple", "eclair", "\u00e9clair", "ECLAIRS", "Ezra"});
    }

    void typedOrder()
    {
        QFETCH(int, type);
        QFETCH(bool, ascending);
        QFETCH(QStringList, values);
        QFETCH(QStringList, expected);
        RecordSheet sheet;
        fillColumn(sheet, type, values);
        QCOMPARE(valuesInOrder(sheet, TypedRecordOrder(sheet, 0, ascending)), expected);
    }

    void checkboxColumnSortsByCheckState()
    {
        RecordSheet sheet;
        fillColumn(sheet, TypeCheckbox, L({"a", "b", "c", "d"}));
        sheet.setChecked(2, 0, 1);
        sheet.setChecked(4, 0, -1);
        QCOMPARE(TypedRecordOrder(sheet, 0, true), (std::vector<int>{1, 3, 2, 4}));
        QCOMPARE(TypedRecordOrder(sheet, 0, false), (std::vector<int>{2, 4, 1, 3}));
    }

    void orderOfEmptyAndTinySheets()
    {
        RecordSheet sheet;
        sheet.setCols(2);
        QVERIFY(TypedRecordOrder(sheet, 0, true).empty());
        sheet.setRows(2);
        QCOMPARE(TypedRecordOrder(sheet, 1, false), std::vector<int>{1});
        QCOMPARE(TypedRecordOrder(sheet, 5, true), std::vector<int>{1}); // no such column
    }

    void plainNumbersReadLikeTypedOnes_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* t : {"0", "-0", "7", "007", "-12", "3.25", "-0.5", "12345678901234567890", "1.", ".5", "1e3",
                              "+4", "1,234", " 5", "5 ", "12%", "$3", "(2)", "--1", "-", "1.2.3", "0x10", "nan", "inf",
                              "99999999999999999999999999999999999999.5"})
            QTest::newRow(t) << QString::fromLatin1(t);
    }

    void plainNumbersReadLikeTypedOnes()
    {
        QFETCH(QString, text);
        double fast = 0;
        const QByteArray utf8 = text.toUtf8();
        const bool ok = ParseSortNumber(utf8, fast);
        const std::optional<double> reference = ParseNumber(text);
        QCOMPARE(ok, reference.has_value());
        if (ok)
            QCOMPARE(fast, *reference + 0.0);
    }

    // The sort keys built without the collator must order exactly as the collator does.
    void collationOrderMatchesTheCollator_data()
    {
        QTest::addColumn<bool>("withOthers");
        QTest::addColumn<int>("count");
        QTest::newRow("ASCII texts") << false << 3000;
        QTest::newRow("a few letters beyond ASCII") << true << 3000;
        QTest::newRow("small column") << true << 40;
    }

    void collationOrderMatchesTheCollator()
    {
        QFETCH(bool, withOthers);
        QFETCH(int, count);
        QRandomGenerator rng(20261208);
        QStringList values;
        for (int i = 0; i < count; ++i)
            values << randomText(rng, withOthers);
        values << QString(300, QLatin1Char('7')) << QStringLiteral("x") + QString(250, QLatin1Char('0')) + QStringLiteral("1");
        RecordSheet sheet;
        fillColumn(sheet, TypeText, values);
        std::vector<int> rows(values.size());
        for (int i = 0; i < int(values.size()); ++i)
            rows[size_t(i)] = i + 1;
        const CollatedRows collated = CollateRows(sheet.textColumn(0), rows);
        QCOMPARE(collated.rows.size(), rows.size());
        std::vector<int> seen = collated.rows;
        std::sort(seen.begin(), seen.end());
        QCOMPARE(seen, rows);
        const QCollator collator = referenceCollator();
        QCOMPARE(collated.startsGroup[0], uint8_t(1));
        for (size_t i = 1; i < collated.rows.size(); ++i) {
            const QString a = sheet.text(collated.rows[i - 1], 0);
            const QString b = sheet.text(collated.rows[i], 0);
            const int c = collator.compare(a, b);
            if (c > 0)
                QFAIL(qPrintable(QStringLiteral("out of order: \"%1\" before \"%2\"").arg(a, b)));
            QCOMPARE(bool(collated.startsGroup[i]), c != 0);
            if (c == 0)
                QVERIFY2(collated.rows[i - 1] < collated.rows[i], "equal texts keep their order");
        }
    }

    // ---- the order of "Delete Duplicates" -----------------------------------------------

    void exactOrderFindsDuplicates_data()
    {
        QTest::addColumn<QList<QStringList>>("records");
        QTest::addColumn<QList<QStringList>>("kept");
        QTest::newRow("identical records meet, the one differing in column 3 stays")
            << QList<QStringList>{L({"A", "B", "C", "x"}), L({"A", "B", "C", "x"}), L({"A", "B", "C", "y"})}
            << QList<QStringList>{L({"A", "B", "C", "x"}), L({"A", "B", "C", "y"})};
        QTest::newRow("letter case differs")
            << QList<QStringList>{L({"Smith", "1"}), L({"SMITH", "1"})}
            << QList<QStringList>{L({"SMITH", "1"}), L({"Smith", "1"})};
        QTest::newRow("separated by a record differing beyond column 2")
            << QList<QStringList>{L({"A", "B", "C", "x"}), L({"A", "B", "C", "y"}), L({"A", "B", "C", "x"})}
            << QList<QStringList>{L({"A", "B", "C", "x"}), L({"A", "B", "C", "y"})};
        QTest::newRow("empty cells sort first and match each other")
            << QList<QStringList>{L({"b", ""}), L({"", ""}), L({"b", ""}), L({"", ""}), L({"a", "\u00e9"})}
            << QList<QStringList>{L({"", ""}), L({"a", "\u00e9"}), L({"b", ""})};
        QTest::newRow("byte order, a shorter text first")
            << QList<QStringList>{L({"ab"}), L({"a"}), L({"a b"}), L({"B"}), QStringList{QStringLiteral("a") + QChar(0)}}
            << QList<QStringList>{L({"B"}), L({"a"}), QStringList{QStringLiteral("a") + QChar(0)}, L({"a b"}), L({"ab"})};
        QTest::newRow("texts longer than eight bytes")
            << QList<QStringList>{L({"Washington Blvd 1200"}), L({"Washington Blvd 1100"}), L({"Washington Blvd 1200"})}
            << QList<QStringList>{L({"Washington Blvd 1100"}), L({"Washington Blvd 1200"})};
    }

    void exactOrderFindsDuplicates()
    {
        QFETCH(QList<QStringList>, records);
        QFETCH(QList<QStringList>, kept);
        RecordSheet sheet;
        sheet.setCols(int(records.first().size()));
        sheet.setRows(int(records.size()) + 1);
        for (int r = 0; r < records.size(); ++r)
            for (int c = 0; c < records[r].size(); ++c)
                sheet.setText(r + 1, c, records[r][c]);
        ExactOrder exact = ExactRecordOrder(sheet);
        sheet.applyRecordOrder(exact.order);
        sheet.removeRowSet(exact.duplicateRows);
        QList<QStringList> left;
        for (int r = 1; r < sheet.rows(); ++r) {
            QStringList row;
            for (int c = 0; c < sheet.cols(); ++c)
                row << sheet.text(r, c);
            left << row;
        }
        QCOMPARE(left, kept);
    }

    void exactOrderMatchesAPlainSort()
    {
        // Many records over few texts, so that long runs of equal cells occur at every
        // column, and more records than the small-run path takes.
        QRandomGenerator rng(7);
        const int n = 30000;
        const int cols = 4;
        static const char* const words[] = {"", "a", "ab", "abcdefgh", "abcdefghi", "abcdefghij", "Z", "z"};
        RecordSheet sheet;
        sheet.setCols(cols);
        sheet.setRows(n + 1);
        for (int r = 1; r <= n; ++r)
            for (int c = 0; c < cols; ++c)
                sheet.setText(r, c, QLatin1String(words[rng.bounded(c == 0 ? 8 : 3)]));
        const ExactOrder exact = ExactRecordOrder(sheet);

        std::vector<int> reference(n);
        for (int i = 0; i < n; ++i)
            reference[size_t(i)] = i + 1;
        const auto less = [&sheet](int a, int b) {
            for (int c = 0; c < cols; ++c) {
                const int d = CompareBytes(sheet.textUtf8(a, c), sheet.textUtf8(b, c));
                if (d != 0)
                    return d < 0;
            }
            return false;
        };
        std::stable_sort(reference.begin(), reference.end(), less);
        QCOMPARE(exact.order, reference);
        std::vector<int> duplicates;
        for (int i = 1; i < n; ++i)
            if (!less(reference[size_t(i - 1)], reference[size_t(i)]))
                duplicates.push_back(i + 1);
        QCOMPARE(exact.duplicateRows, duplicates);
    }

    void exactOrderOfTheEdges()
    {
        RecordSheet sheet;
        sheet.setCols(3);
        QVERIFY(ExactRecordOrder(sheet).order.empty());
        sheet.setRows(2);
        const ExactOrder one = ExactRecordOrder(sheet);
        QCOMPARE(one.order, std::vector<int>{1});
        QVERIFY(one.duplicateRows.empty());
    }
};

QTEST_GUILESS_MAIN(TestSheetSort)
#include "TestSheetSort.moc"
