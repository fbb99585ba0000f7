// Which records Merge Duplicate Contacts takes for the same contact, which one it
// keeps and what it fills in, on sheets of the new document's layout.

#include "contact/ContactMerge.h"
#include "contact/PhoneNumbers.h"
#include "sheet/RecordSheet.h"

#include <QMap>
#include <QTest>

#include <numeric>

using namespace quillon;

namespace {

const char* const kTitles[] = {"Name", "Street", "City", "State", "Zip Code", "Phone", "Web Site", "Email"};

/** A sheet of ten columns titled as a new document, with one record a line:
 *  "Name|Street|City|State|Zip Code|Phone|Web Site|Email|...", fields left out at the
 *  end being empty. */
void fill(RecordSheet& sheet, const QStringList& records)
{
    sheet.setCols(10);
    for (int c = 0; c < 8; ++c)
        sheet.setTitle(c, QString::fromLatin1(kTitles[c]));
    sheet.setRows(int(records.size()) + 1);
    for (int r = 0; r < records.size(); ++r) {
        const QStringList fields = records[r].split(QLatin1Char('|'));
        for (int c = 0; c < fields.size() && c < 10; ++c)
            sheet.setText(r + 1, c, fields[c]);
    }
}

QStringList recs(std::initializer_list<const char*> texts)
{
    QStringList out;
    for (const char* t : texts)
        out.append(QString::fromUtf8(t));
    return out;
}

/** The plan as text: groups by ";", rows by ",", the kept row marked "*". */
QString describe(const ContactMergePlan& plan)
{
    QStringList groups;
    for (int g = 0; g < plan.groupCount(); ++g) {
        QStringList rows;
        for (const int r : plan.groupRows(g))
            rows.append(QString::number(r) + (r == plan.keptRow(g) ? QStringLiteral("*") : QString()));
        groups.append(rows.join(QLatin1Char(',')));
    }
    return groups.join(QLatin1Char(';'));
}

/** xorshift64*, so that the records are the same on every run. */
class Random
{
public:
    uint32_t below(size_t n)
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return uint32_t((m_state * 0x2545F4914F6CDD1Dull) % n);
    }

private:
    uint64_t m_state = 0x9E3779B97F4A7C15ull;
};

} // namespace

class TestContactMerge : public QObject
{
    Q_OBJECT

private slots:
    void groups_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QString>("groups");

        QTest::newRow("same phone written three ways")
            << "US"
            << recs({"Ann Lee|1 Elm St|New York|NY|10001|(212) 555-0134", "Ann Lee|||||212.555.0134",
                     "Ann Lee|||||+1 212 555 0134"})
            << "1*,2,3";
        QTest::newRow("same name, other phones")
            << "US" << recs({"Bo Carr|||||(212) 555-0101", "Bo Carr|||||(212) 555-0102"}) << "";
        QTest::newRow("other names, same phone")
            << "US" << recs({"Bo Carr|||||(212) 555-0101", "Bo Carter|||||(212) 555-0101"}) << "";
        QTest::newRow("names differing by punctuation, spacing and case")
            << "US"
            << recs({"O'Brien, Pat|||||(212) 555-0188", "OBRIEN PAT|||||212-555-0188",
                     "  o brien   pat.|||||2125550188"})
            << "1*,2,3";
        QTest::newRow("names differing by a letter")
            << "US" << recs({"Jon Smith|||||212-555-0140", "John Smith|||||212-555-0140"}) << "";
        QTest::newRow("no phones, same street and zip code")
            << "US" << recs({"Cy Dunn|12 Oak Ave.||NY|10002|", "cy dunn|12 OAK AVE||NY|10002"}) << "1*,2";
        QTest::newRow("no phones, other streets")
            << "US" << recs({"Cy Dunn|12 Oak Ave||NY|10002|", "Cy Dunn|14 Oak Ave||NY|10002|"}) << "";
        QTest::newRow("no phones, other zip codes")
            << "US" << recs({"Cy Dunn|12 Oak Ave||NY|10002|", "Cy Dunn|12 Oak Ave||NY|10003|"}) << "";
        QTest::newRow("no phones, no zip codes")
            << "US" << recs({"Cy Dunn|12 Oak Ave||NY||", "Cy Dunn|12 Oak Ave||NY||"}) << "";
        QTest::newRow("no phones, nothing but the name") << "US" << recs({"Cy Dunn", "Cy Dunn"}) << "";
        QTest::newRow("a phone on one only, same address")
            << "US" << recs({"Cy Dunn|12 Oak Ave|||10002|", "Cy Dunn|12 Oak Ave|||10002|212-555-0111"}) << "";
        QTest::newRow("different phones, same address")
            << "US"
            << recs({"Cy Dunn|12 Oak Ave|||10002|212-555-0112", "Cy Dunn|12 Oak Ave|||10002|212-555-0111"})
            << "";
        QTest::newRow("n/a is no number")
            << "US" << recs({"Eve Fay|5 Pine Rd|||10003|n/a", "Eve Fay|5 Pine Rd|||10003|"}) << "1*,2";
        QTest::newRow("n/a, other streets")
            << "US" << recs({"Eve Fay|5 Pine Rd|||10003|n/a", "Eve Fay|7 Pine Rd|||10003|n/a"}) << "";
        QTest::newRow("n/a and a number")
            << "US" << recs({"Eve Fay|5 Pine Rd|||10003|n/a", "Eve Fay|5 Pine Rd|||10003|212-555-0190"})
            << "";
        QTest::newRow("digits that make no number")
            << "US" << recs({"Eve Fay|5 Pine Rd|||10003|12", "Eve Fay|5 Pine Rd|||10003|-"}) << "1*,2";
        QTest::newRow("a cell holding two numbers")
            << "US" << recs({"Dee Ek|||||212-555-0150 / 212-555-0151", "Dee Ek|||||(212) 555-0151"})
            << "1*,2";
        QTest::newRow("two numbers joining three records")
            << "US"
            << recs({"Dee Ek|||||212-555-0150", "Dee Ek|||||212 555 0151",
                     "Dee Ek|||||212-555-0150, 212-555-0151"})
            << "1*,2,3";
        QTest::newRow("a number of another country, written two ways")
            << "US" << recs({"Flo Gray|||||+44 20 7946 0958", "Flo Gray|||||011 44 20 7946 0958"}) << "1*,2";
        QTest::newRow("a number of another country and a home number of its digits")
            << "US" << recs({"Flo Gray|||||+44 20 7946 0958", "Flo Gray|||||(207) 946-0958"}) << "";
        QTest::newRow("home region GB")
            << "GB" << recs({"Flo Gray|||||020 7946 0958", "Flo Gray|||||+44 (0)20 7946 0958"}) << "1*,2";
        QTest::newRow("the same extension")
            << "US" << recs({"Hal Ives|||||212-555-0160 ext. 12", "Hal Ives|||||(212) 555-0160 x12"})
            << "1*,2";
        QTest::newRow("an extension and none")
            << "US" << recs({"Hal Ives|||||212-555-0160 ext. 12", "Hal Ives|||||212-555-0160"}) << "";
        QTest::newRow("a number without its area code")
            << "US" << recs({"Hal Ives|||||555-0160", "Hal Ives|||||(212) 555-0160"}) << "";
        QTest::newRow("letters on the keypad")
            << "US" << recs({"Flowers Inc|||||1-800-FLOWERS", "Flowers Inc.|||||(800) 356-9377"}) << "1*,2";
        QTest::newRow("a label before the number")
            << "US" << recs({"Ida Jay|||||Tel: 212-555-0177", "Ida Jay|||||212 555 0177"}) << "1*,2";
        QTest::newRow("empty names never merge")
            << "US"
            << recs({"|1 Elm St|||10001|212-555-0134", "|1 Elm St|||10001|212-555-0134",
                     "...|||||212-555-0134", "-|||||212-555-0134"})
            << "";
        QTest::newRow("names beyond ASCII")
            << "US"
            << recs({"J\u00fcrgen M\u00fcller|||||212-555-0199", "J\u00dcRGEN M\u00dcLLER|||||2125550199",
                     "Jurgen Muller|||||212-555-0199"})
            << "1*,2";
        QTest::newRow("the most complete is kept")
            << "US" << recs({"Kim Lo|||||212-555-0123", "Kim Lo|3 Ash St|Albany|NY||212.555.0123"}) << "1,2*";
        QTest::newRow("of equals the first is kept")
            << "US" << recs({"Kim Lo|3 Ash St||||212-555-0123", "Kim Lo||Albany|||212.555.0123"}) << "1*,2";
        QTest::newRow("groups in the order of their first records")
            << "US"
            << recs({"Mo Ng|||||212-555-0101", "Al Bo|||||212-555-0102", "Mo Ng|x||||(212) 555-0101",
                     "Al Bo|||||212.555.0102", "Al Bo|||||212.555.0109"})
            << "1,3*;2*,4";
    }

    void groups()
    {
        QFETCH(QString, region);
        QFETCH(QStringList, records);
        QFETCH(QString, groups);
        RecordSheet sheet;
        fill(sheet, records);
        const ContactMergePlan plan = PlanContactMerge(sheet, PhoneNumbers(region));
        QCOMPARE(describe(plan), groups);
    }

    void manyRecordsOfOneName()
    {
        // A name shared by many records (a chain's branches): only those with one
        // number in common merge, found without comparing each with each.
        RecordSheet sheet;
        QStringList records;
        for (int i = 0; i < 3000; ++i)
            records.append(QStringLiteral("Corner Cafe|||||(212) 55%1").arg(i, 5, 10, QLatin1Char('0')));
        records.append(QStringLiteral("CORNER CAFE|||||212.550.1234"));
        records.append(QStringLiteral("Corner Cafe|||||+1 212 550 2999"));
        fill(sheet, records);
        const ContactMergePlan plan = PlanContactMerge(sheet, PhoneNumbers(QStringLiteral("US")));
        QCOMPARE(describe(plan), QStringLiteral("1235*,3001;3000*,3002"));
        QCOMPARE(plan.removedCount(), qint64(2));
        QCOMPARE(plan.removedRows(), (std::vector<int>{3001, 3002}));
    }

    void sameGroupsAsReadingEveryCell()
    {
        // Phone cells are read by libphonenumber only where two of a name may hold the
        // same number; the groups must be those of reading every cell and comparing
        // every two records.
        const char* const writings[] = {"(%1) %2-%3",
                                        "%1.%2.%3",
                                        "+1 %1 %2 %3",
                                        "1-%1-%2-%3",
                                        "Tel: %1 %2 %3",
                                        "%1-%2-%3 ext. 12",
                                        "%1%2%3x12",
                                        "%1 %2 %3 / 212-555-0100",
                                        "%2-%3",
                                        "011 44 %1%2 %3",
                                        "n/a",
                                        "",
                                        "%1-%2-%3, %1-%2-0000",
                                        "%1 %2 %3 (cell)"};
        const char* const streets[] = {"", "1 Elm St", "1 ELM ST.", "2 Elm St"};
        Random random;
        RecordSheet sheet;
        QStringList records;
        for (int i = 0; i < 600; ++i) {
            const QString area = QString::number(201 + random.below(3));
            const QString exchange = QString::number(555 + random.below(2));
            const QString line = QStringLiteral("%1").arg(100 + random.below(4), 4, 10, QLatin1Char('0'));
            const QString phone =
                QString::fromLatin1(writings[random.below(std::size(writings))]).arg(area, exchange, line);
            const QString name = QString::fromLatin1(i % 3 == 0   ? "Ann Lee"
                                                     : i % 3 == 1 ? "ANN LEE."
                                                                  : "Bo Carr");
            records.append(QStringLiteral("%1|%2|||%3|%4")
                               .arg(name, QString::fromLatin1(streets[random.below(4)]),
                                    random.below(2) ? QStringLiteral("10001") : QString(), phone));
        }
        fill(sheet, records);
        const PhoneNumbers numbers(QStringLiteral("US"));

        // Every two records compared.
        const int n = sheet.recordCount();
        std::vector<int> parent(size_t(n) + 1);
        std::iota(parent.begin(), parent.end(), 0);
        const auto root = [&](int i) {
            while (parent[size_t(i)] != i)
                i = parent[size_t(i)];
            return i;
        };
        std::vector<QList<QByteArray>> keys(size_t(n) + 1);
        for (int r = 1; r <= n; ++r)
            keys[size_t(r)] = numbers.sameNumberKeys(sheet.text(r, 5));
        for (int a = 1; a <= n; ++a) {
            for (int b = a + 1; b <= n; ++b) {
                if (NormalizedContactText(sheet.text(a, 0)) != NormalizedContactText(sheet.text(b, 0)))
                    continue;
                bool same = std::any_of(keys[size_t(a)].cbegin(), keys[size_t(a)].cend(),
                                        [&](const QByteArray& k) { return keys[size_t(b)].contains(k); });
                if (keys[size_t(a)].isEmpty() && keys[size_t(b)].isEmpty()) {
                    const QString street = NormalizedContactText(sheet.text(a, 1));
                    const QString zip = NormalizedContactText(sheet.text(a, 4));
                    same = !street.isEmpty() && !zip.isEmpty() &&
                           street == NormalizedContactText(sheet.text(b, 1)) &&
                           zip == NormalizedContactText(sheet.text(b, 4));
                }
                if (same)
                    parent[size_t(std::max(root(a), root(b)))] = std::min(root(a), root(b));
            }
        }
        QMap<int, QList<int>> groups;
        for (int r = 1; r <= n; ++r)
            groups[root(r)].append(r);
        int expected = 0;
        for (const QList<int>& g : std::as_const(groups))
            expected += g.size() > 1 ? 1 : 0;

        const ContactMergePlan plan = PlanContactMerge(sheet, numbers);
        QVERIFY(expected > 20);
        QCOMPARE(plan.groupCount(), expected);
        for (int g = 0; g < plan.groupCount(); ++g) {
            const auto rows = plan.groupRows(g);
            QCOMPARE(QList<int>(rows.begin(), rows.end()), groups.value(rows[0]));
        }
    }

    void columnsFoundByTitle()
    {
        // Columns moved about and titled otherwise: the names and phones are found
        // where their titles are.
        RecordSheet sheet;
        sheet.setCols(6);
        const char* titles[] = {"Email", "Telephone", "Company Name", "Postcode", "Address", "Name"};
        for (int c = 0; c < 6; ++c)
            sheet.setTitle(c, QString::fromLatin1(titles[c]));
        const ContactColumns columns = ContactColumns::of(sheet);
        QCOMPARE(columns.name, 5);
        QCOMPARE(columns.phone, 1);
        QCOMPARE(columns.street, 4);
        QCOMPARE(columns.zip, 3);

        sheet.setRows(3);
        sheet.setText(1, 5, QStringLiteral("Ned Orr"));
        sheet.setText(1, 1, QStringLiteral("(212) 555-0107"));
        sheet.setText(2, 5, QStringLiteral("ned orr"));
        sheet.setText(2, 1, QStringLiteral("212-555-0107"));
        sheet.setText(2, 0, QStringLiteral("ned@example.com"));
        QCOMPARE(describe(PlanContactMerge(sheet, PhoneNumbers(QStringLiteral("US")))),
                 QStringLiteral("1,2*"));

        // Titles the merge does not know: the new document's places.
        RecordSheet plain;
        plain.setCols(7);
        const ContactColumns layout = ContactColumns::of(plain);
        QCOMPARE(layout.name, 0);
        QCOMPARE(layout.street, 1);
        QCOMPARE(layout.zip, 4);
        QCOMPARE(layout.phone, 5);
        plain.setCols(3);
        QVERIFY(!ContactColumns::of(plain).canMerge());
    }

    void normalizedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalized");
        QTest::newRow("punctuation and blanks") << "O'Brien, Pat J."
                                                << "obrienpatj";
        QTest::newRow("upper case") << "ACME  PLUMBING & SONS"
                                    << "acmeplumbingsons";
        QTest::newRow("digits stay") << "12 Oak Ave., Apt. 3"
                                     << "12oakaveapt3";
        QTest::newRow("beyond ASCII") << "J\u00dcRGEN Stra\u00dfe"
                                      << "j\u00fcrgenstrasse";
        QTest::newRow("full-width letters") << "\uff21\uff22\uff23"
                                            << "abc";
        QTest::newRow("nothing but punctuation") << " - ... "
                                                 << "";
    }

    void normalizedText()
    {
        QFETCH(QString, text);
        QFETCH(QString, normalized);
        QCOMPARE(NormalizedContactText(text), normalized);
        QCOMPARE(QString::fromUtf8(NormalizedContactUtf8(text.toUtf8())), normalized);
    }

    void keptRecordIsFilled()
    {
        RecordSheet sheet;
        fill(sheet, recs({
                        "Gil Hart||Austin||||||note1|",
                        "GIL HART|9 Bay St|Boston|MA||512.555.0100|gilhart.example||note2",
                        "Gil Hart.|||TX|78701|+1 512 555 0100|||note3",
                        "Gil Hart|||||(512) 555-0100||gil@example.com",
                    }));
        sheet.setText(1, 5, QStringLiteral("(512) 555-0100"));
        sheet.setColumnDataType(9, TypeCheckbox);
        sheet.setChecked(3, 9, 1);
        sheet.setBackColor({2, 0, 2, 9}, 0xFFFF00); // the kept record painted yellow
        sheet.setFontFlag({3, 4, 3, 4}, CellStyle::Bold, true);

        const ContactMergePlan plan = PlanContactMerge(sheet, PhoneNumbers(QStringLiteral("US")));
        QCOMPARE(describe(plan), QStringLiteral("1,2*,3,4"));
        QCOMPARE(FilledCellCount(sheet, 2), 7);
        QCOMPARE(FilledCellCount(sheet, 3), 6); // the check box counts
        const std::vector<MergeFill> fills = MergeFills(sheet, plan);
        WriteMergeFills(sheet, fills);
        sheet.removeRowSet(plan.removedRows());

        QCOMPARE(sheet.recordCount(), 1);
        const QStringList expected = recs({"GIL HART", "9 Bay St", "Boston", "MA", "78701", "512.555.0100",
                                           "gilhart.example", "gil@example.com", "note2", ""});
        for (int c = 0; c < 10; ++c)
            QCOMPARE(sheet.text(1, c), expected[c]);
        QVERIFY(sheet.isChecked(1, 9));
        // The kept record looks as it did: its colour, and no bold from the record the
        // zip code came from.
        QCOMPARE(sheet.style(1, 4).back, Rgb(0xFFFF00));
        QVERIFY(!sheet.style(1, 4).bold());
        QCOMPARE(sheet.style(1, 9).back, Rgb(0xFFFF00));
    }
};

QTEST_GUILESS_MAIN(TestContactMerge)
#include "TestContactMerge.moc"
