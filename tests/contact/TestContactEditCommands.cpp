// Merge Duplicate Contacts and Format Phone Numbers on the main window's model: what
// they change, what they tell, and that each is one undo step that gives back the
// document exactly as it was.

#include "contact/ContactEditCommands.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "testsupport/AllocationFailure.h"
#include "testsupport/SheetState.h"
#include "testsupport/TestPlatform.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon;

namespace {

QStringList recs(std::initializer_list<const char*> texts)
{
    QStringList out;
    for (const char* t : texts)
        out.append(QString::fromUtf8(t));
    return out;
}

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    TestPlatform platform;
    std::unique_ptr<MainModel> model;
    std::unique_ptr<ContactEditCommands> contacts;

    explicit Fixture(const QString& region = QStringLiteral("US"))
    {
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("test.ini")));
        settings->WriteSettingText(QStringLiteral("PhoneRegion"), region);
        model =
            std::make_unique<MainModel>(*settings, platform, dir.filePath(QStringLiteral("Untitled1.vty")));
        contacts = std::make_unique<ContactEditCommands>(*model);
        model->formPanel().SetupFormPanel(4000);
        model->startUntitledDocument();
        model->setMouseMode(false);
    }

    RecordSheet& sheet() { return model->sheet(); }
    SheetState state() { return SheetState::of(*model); }

    /** Records "Name|Street|City|State|Zip Code|Phone|...", one a line, in a named,
     *  saved document; check boxes in column 9, a painted row. */
    void fill(const QStringList& records)
    {
        RecordSheet& s = sheet();
        s.setRows(int(records.size()) + 1);
        for (int r = 0; r < records.size(); ++r) {
            const QStringList fields = records[r].split(QLatin1Char('|'));
            for (int c = 0; c < fields.size() && c < s.cols(); ++c)
                s.setText(r + 1, c, fields[c]);
        }
        s.setTitle(9, QStringLiteral("Called"));
        s.setColumnDataType(9, TypeCheckbox);
        s.setCurrentCell(1, 0);
        model->document().setDocumentName(dir.filePath(QStringLiteral("people.vty")));
        model->document().MakeModified(false);
        model->history().clear();
    }

    QStringList column(int col)
    {
        QStringList out;
        for (int r = 1; r < sheet().rows(); ++r)
            out.append(sheet().text(r, col));
        return out;
    }
};

} // namespace

class TestContactEditCommands : public QObject
{
    Q_OBJECT

private slots:
    void mergeIsOneUndoStep()
    {
        Fixture f;
        f.fill(recs({
            "Ann Lee|1 Elm St|New York|NY|10001|(212) 555-0134",
            "Bo Carr|||||(212) 555-0101",
            "ANN LEE|||||212.555.0134|annlee.example|ann@example.com",
            "Bo Carr|||||(212) 555-0102",
            "Ann Lee.|||||+1 212 555 0134",
            "Cy Dunn|12 Oak Ave||NY|10002|n/a",
            "cy dunn|12 OAK AVE.||NY|10002",
        }));
        f.sheet().setChecked(5, 9, 1);
        f.sheet().setBackColor({3, 0, 3, 7}, 0x00FFFF);
        f.sheet().setRowHeight(5, 480);
        const SheetState before = f.state();

        const ContactMergePlan* plan = f.contacts->planMerge();
        QVERIFY(plan);
        QCOMPARE(plan->groupCount(), 2);
        QCOMPARE(plan->removedCount(), qint64(3));
        QVERIFY(f.platform.messages.isEmpty());
        // Finding the groups changes nothing.
        QUILLON_COMPARE_STATE(f.state(), before);

        QVERIFY(f.contacts->applyMerge());
        QCOMPARE(f.column(0), recs({"Ann Lee", "Bo Carr", "Bo Carr", "Cy Dunn"}));
        QCOMPARE(f.column(1), recs({"1 Elm St", "", "", "12 Oak Ave"}));
        QCOMPARE(f.column(5), recs({"(212) 555-0134", "(212) 555-0101", "(212) 555-0102", "n/a"}));
        QCOMPARE(f.column(6), recs({"annlee.example", "", "", ""}));
        QCOMPARE(f.column(7), recs({"ann@example.com", "", "", ""}));
        // The check box came with the record merged into the kept one.
        QVERIFY(f.sheet().isChecked(1, 9));
        QCOMPARE(f.sheet().currentRow(), 1);
        QVERIFY(f.model->document().IsModified());
        QCOMPARE(f.model->history().undoText(), QStringLiteral("Merge Duplicate Contacts"));
        const SheetState after = f.state();

        f.model->history().undo();
        QUILLON_COMPARE_STATE(f.state(), before);
        f.model->history().redo();
        QUILLON_COMPARE_STATE(f.state(), after);
        f.model->history().undo();
        QUILLON_COMPARE_STATE(f.state(), before);
    }

    void nothingToMerge()
    {
        Fixture f;
        f.fill(recs({"Ann Lee|||||(212) 555-0134", "Ann Lee|||||(212) 555-0135"}));
        const SheetState before = f.state();
        QVERIFY(!f.contacts->planMerge());
        QCOMPARE(f.platform.lastMessage(), QStringLiteral("No duplicate contacts were found."));
        QVERIFY(!f.contacts->applyMerge());
        QUILLON_COMPARE_STATE(f.state(), before);
        QVERIFY(!f.model->history().canUndo());
    }

    void cancelledMergeChangesNothing()
    {
        Fixture f;
        f.fill(recs({"Ann Lee|||||(212) 555-0134", "Ann Lee|||||212-555-0134"}));
        const SheetState before = f.state();
        QVERIFY(f.contacts->planMerge());
        f.contacts->dropMerge();
        QVERIFY(!f.contacts->applyMerge());
        QUILLON_COMPARE_STATE(f.state(), before);
        QVERIFY(!f.model->history().canUndo());
    }

    void recordsChangedBeforeTheMerge_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("a cell edited") << "edit";
        QTest::newRow("a record added") << "add";
        QTest::newRow("a record removed") << "remove";
        QTest::newRow("a new document") << "new";
    }

    void recordsChangedBeforeTheMerge()
    {
        // The list shown is of the records as they were; once they change, the merge
        // it showed is not made on other records.
        QFETCH(QString, change);
        Fixture f;
        f.fill(recs({"Ann Lee|||||(212) 555-0134", "Bo Carr", "Ann Lee|||||212-555-0134"}));
        QVERIFY(f.contacts->planMerge());
        if (change == QLatin1String("edit"))
            f.sheet().setText(2, 0, QStringLiteral("Ann Lee"));
        else if (change == QLatin1String("add"))
            f.sheet().setRows(f.sheet().rows() + 1);
        else if (change == QLatin1String("remove"))
            f.sheet().removeRows(1, 1);
        else
            f.model->startUntitledDocument();
        const SheetState changed = f.state();
        QVERIFY(!f.contacts->applyMerge());
        QCOMPARE(
            f.platform.lastMessage(),
            QStringLiteral("The records changed before the merge was made; nothing was merged. Choose Merge "
                           "Duplicate Contacts again."));
        QUILLON_COMPARE_STATE(f.state(), changed);
    }

    void tooLittleMemoryChangesNothing()
    {
        // 40,000 records, every second one another listing of the one before.
        Fixture f;
        QStringList records;
        for (int i = 0; i < 40000; ++i) {
            const int person = i / 2;
            records.append(QStringLiteral("Person %1|%2 Elm St|||10001|%3(212) 5%4")
                               .arg(person)
                               .arg(person)
                               .arg(i % 2 ? QStringLiteral("+1 ") : QString())
                               .arg(person, 6, 10, QLatin1Char('0')));
        }
        f.fill(records);
        const SheetState before = f.state();
        {
            // Finding the groups keeps a few bytes a record: that much cannot be had.
            testing::FailLargeAllocations fail(400'000);
            QVERIFY(!f.contacts->planMerge());
        }
        QCOMPARE(f.platform.lastMessage(),
                 QStringLiteral("There is not enough memory to look for duplicate contacts; the "
                                "records were left as they were."));
        QUILLON_COMPARE_STATE(f.state(), before);

        const ContactMergePlan* plan = f.contacts->planMerge();
        QVERIFY(plan);
        QCOMPARE(plan->removedCount(), qint64(20000));
        {
            // Keeping the 20,000 records merged away for Undo cannot be done.
            testing::FailLargeAllocations fail(60'000);
            QVERIFY(!f.contacts->applyMerge());
        }
        QCOMPARE(
            f.platform.lastMessage(),
            QStringLiteral("There is not enough memory to keep the records for Undo; nothing was merged."));
        QUILLON_COMPARE_STATE(f.state(), before);
        QVERIFY(!f.model->history().canUndo());
    }

    void noPhoneColumn()
    {
        Fixture f;
        f.sheet().setCols(3);
        f.sheet().setTitle(0, QStringLiteral("Company"));
        QVERIFY(!f.contacts->planMerge());
        QCOMPARE(f.platform.lastMessage(),
                 QStringLiteral("The records have no Name and Phone columns to compare."));
        QCOMPARE(f.contacts->formatPhoneNumbers(PhoneForm::National, false), qint64(0));
        QCOMPARE(f.platform.lastMessage(), QStringLiteral("The records have no Phone column."));
    }

    void formatIsOneUndoStep_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<bool>("selectedOnly");
        QTest::addColumn<QStringList>("phones");
        QTest::addColumn<QString>("told");

        const QStringList national =
            recs({"(212) 555-0134", "(212) 555-0101", "n/a", "", "(212) 555-0188 ext. 12", "+44 20 7946 0958",
                  "Tel: (212) 555-0177 / (212) 555-0178", "(212) 555-0199"});
        QTest::newRow("national, all")
            << int(PhoneForm::National) << false << national
            << "Phone numbers formatted.\nCells changed: 5\nCells left as they were: 2 (no "
               "phone number in them, or written so already)";
        QTest::newRow("international, all")
            << int(PhoneForm::International) << false
            << recs({"+1 212-555-0134", "+1 212-555-0101", "n/a", "", "+1 212-555-0188 ext. 12",
                     "+44 20 7946 0958", "Tel: +1 212-555-0177 / +1 212-555-0178", "+1 212-555-0199"})
            << "Phone numbers formatted.\nCells changed: 6\nCells left as they were: 1 (no phone number in "
               "them, or "
               "written so already)";
        QTest::newRow("national, records 2 to 4")
            << int(PhoneForm::National) << true
            << recs({"212.555.0134", "(212) 555-0101", "n/a", "", "212-555-0188 x12", "011 44 20 7946 0958",
                     "Tel: 212 555 0177 / 212.555.0178", "(212) 555-0199"})
            << "Phone numbers formatted.\nCells changed: 0\nCells left as they were: 2 (no phone number in "
               "them, or "
               "written so already)";
    }

    void formatIsOneUndoStep()
    {
        QFETCH(int, form);
        QFETCH(bool, selectedOnly);
        QFETCH(QStringList, phones);
        QFETCH(QString, told);
        Fixture f;
        f.fill(recs({"A|||||212.555.0134", "B|||||(212) 555-0101", "C|||||n/a", "D", "E|||||212-555-0188 x12",
                     "F|||||011 44 20 7946 0958", "G|||||Tel: 212 555 0177 / 212.555.0178",
                     "H|||||+1 (212) 555-0199"}));
        // Records 2 to 4 selected, the current one in the middle of them.
        f.sheet().setCurrentCell(3, 2);
        f.sheet().setSelectedRows({{2, 4}});
        const SheetState before = f.state();

        const qint64 changed = f.contacts->formatPhoneNumbers(PhoneForm(form), selectedOnly);
        if (!selectedOnly)
            QCOMPARE(f.column(5), phones);
        QCOMPARE(f.platform.lastMessage(), told);
        if (changed == 0) {
            QUILLON_COMPARE_STATE(f.state(), before);
            QVERIFY(!f.model->history().canUndo());
            return;
        }
        QCOMPARE(f.model->history().undoText(), QStringLiteral("Format Phone Numbers"));
        QVERIFY(f.model->document().IsModified());
        const SheetState after = f.state();
        f.model->history().undo();
        QUILLON_COMPARE_STATE(f.state(), before);
        f.model->history().redo();
        QUILLON_COMPARE_STATE(f.state(), after);
    }

    void formatPhoneText_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<int>("form");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        const int national = int(PhoneForm::National);
        const int international = int(PhoneForm::International);
        QTest::newRow("dots") << "US" << national << "212.555.0134"
                              << "(212) 555-0134";
        QTest::newRow("with the country code") << "US" << national << "+1 212 555 0134"
                                               << "(212) 555-0134";
        QTest::newRow("long-distance 1 first") << "US" << national << "1-212-555-0134"
                                               << "(212) 555-0134";
        QTest::newRow("international") << "US" << international << "(212) 555-0134"
                                       << "+1 212-555-0134";
        QTest::newRow("blanks around stay") << "US" << national << "  212.555.0134 "
                                            << "  (212) 555-0134 ";
        QTest::newRow("extension") << "US" << national << "212-555-0134 extension 7"
                                   << "(212) 555-0134 ext. 7";
        QTest::newRow("without the area code, national") << "US" << national << "555 0134"
                                                         << "555-0134";
        QTest::newRow("without the area code, international") << "US" << international << "555-0134"
                                                              << "555-0134";
        QTest::newRow("letters on the keypad") << "US" << national << "1-800-FLOWERS"
                                               << "(800) 356-9377";
        QTest::newRow("another country stays international") << "US" << national << "011 44 20 7946 0958"
                                                             << "+44 20 7946 0958";
        QTest::newRow("two numbers and a label") << "US" << national << "Tel 212 555 0177 or 212.555.0178"
                                                 << "Tel (212) 555-0177 or (212) 555-0178";
        QTest::newRow("no number") << "US" << international << "call the office"
                                   << "call the office";
        QTest::newRow("German, national") << "DE" << national << "+49 30 1234567"
                                          << "030 1234567";
        QTest::newRow("German, international") << "DE" << international << "030/1234567"
                                               << "+49 30 1234567";
    }

    void formatPhoneText()
    {
        QFETCH(QString, region);
        QFETCH(int, form);
        QFETCH(QString, text);
        QFETCH(QString, written);
        QCOMPARE(FormatPhoneText(text, PhoneNumbers(region), PhoneForm(form)), written);
    }

    void formatSelectedRecordsOnly()
    {
        Fixture f;
        f.fill(
            recs({"A|||||212.555.0134", "B|||||212.555.0101", "C|||||212.555.0102", "D|||||212.555.0103"}));
        f.sheet().setCurrentCell(2, 0);
        f.sheet().setSelectedRows({{2, 3}});
        QCOMPARE(f.contacts->formatPhoneNumbers(PhoneForm::National, true), qint64(2));
        QCOMPARE(f.column(5), recs({"212.555.0134", "(212) 555-0101", "(212) 555-0102", "212.555.0103"}));
        // Block & Edit mode: the rows the block spans.
        f.model->setMouseMode(true);
        f.sheet().selectBlock(4, 1, 4, 3);
        QCOMPARE(f.contacts->formatPhoneNumbers(PhoneForm::International, true), qint64(1));
        QCOMPARE(f.column(5), recs({"212.555.0134", "(212) 555-0101", "(212) 555-0102", "+1 212-555-0103"}));
    }

    void formatForTheHomeRegion()
    {
        Fixture f(QStringLiteral("GB"));
        f.fill(recs({"A|||||020 7946 0958", "B|||||+44 (0)20 7946 0958", "C|||||0121 4960000",
                     "D|||||+1 212 555 0134"}));
        f.contacts->formatPhoneNumbers(PhoneForm::National, false);
        QCOMPARE(f.column(5), recs({"020 7946 0958", "020 7946 0958", "0121 496 0000", "+1 212-555-0134"}));
    }
};

QTEST_GUILESS_MAIN(TestContactEditCommands)
#include "TestContactEditCommands.moc"
