// Merge Duplicate Contacts and Format Phone Numbers as the user reaches them: the Tools
// menu's entries beside Delete Duplicates, their dialogs, OK and Cancel, and Undo.

#include "app/MainWindow.h"
#include "contact/FormatPhonesDialog.h"
#include "contact/MergeContactsDialog.h"
#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "testsupport/SheetState.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WindowFixture.h"
#include "testsupport/WidgetTestMain.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeView>

using namespace quillon;

class TestContactWindow : public QObject, WindowFixture
{
    Q_OBJECT

    /** Records "Name|Street|City|State|Zip Code|Phone", one a line. */
    static void fill(RecordSheet& s, const QStringList& records)
    {
        s.setRows(int(records.size()) + 1);
        for (int r = 0; r < records.size(); ++r) {
            const QStringList fields = records[r].split(QLatin1Char('|'));
            for (int c = 0; c < fields.size(); ++c)
                s.setText(r + 1, c, fields[c]);
        }
        s.setCurrentCell(1, 0);
    }

    static QStringList recs(std::initializer_list<const char*> texts)
    {
        QStringList out;
        for (const char* t : texts)
            out.append(QString::fromUtf8(t));
        return out;
    }

    static QStringList column(const RecordSheet& s, int col)
    {
        QStringList out;
        for (int r = 1; r < s.rows(); ++r)
            out.append(s.text(r, col));
        return out;
    }

    /** The Tools menu's entry @p name, triggered as a click on it does. */
    static void chooseFromTools(MainWindow& w, const char* name)
    {
        QMenu* tools = w.menu(QStringLiteral("mnuTools"));
        QVERIFY(tools);
        for (QAction* a : tools->actions()) {
            if (a->objectName() == QLatin1String(name)) {
                QVERIFY(a->isVisible());
                QVERIFY(a->isEnabled());
                a->trigger();
                return;
            }
        }
        QFAIL(name);
    }

    static void press(QDialog* dialog, QDialogButtonBox::StandardButton which)
    {
        auto* box = dialog->findChild<QDialogButtonBox*>();
        QVERIFY(box);
        QTest::mouseClick(box->button(which), Qt::LeftButton);
    }

    static const QStringList& people()
    {
        static const QStringList list = recs({
            "Ann Lee|1 Elm St|New York|NY|10001|(212) 555-0134",
            "Bo Carr|||||212.555.0101",
            "ANN LEE|||||212.555.0134",
            "Bo Carr|||||(212) 555-0102",
            "Ann Lee.|||||+1 212 555 0134",
            "Cy Dunn|12 Oak Ave||NY|10002|n/a",
            "cy dunn|12 OAK AVE.||NY|10002",
        });
        return list;
    }

private slots:
    void init()
    {
        setUpWindowTest();
        m_settings->WriteSettingText(QStringLiteral("PhoneRegion"), QStringLiteral("US"));
    }
    void cleanup()
    {
        tearDownWindowTest();
    }

    void entriesStandBesideDeleteDuplicates()
    {
        auto w = makeWindow();
        QStringList names;
        for (QAction* a : w->menu(QStringLiteral("mnuTools"))->actions())
            names.append(a->objectName());
        const qsizetype at = names.indexOf(QStringLiteral("mnuDelDup"));
        QVERIFY(at >= 0);
        QCOMPARE(names.mid(at, 3), recs({"mnuDelDup", "mnuMergeContacts", "mnuFormatPhones"}));
        QCOMPARE(w->action(QStringLiteral("mnuMergeContacts"))->text(),
                 QStringLiteral("Mer&ge Duplicate Contacts..."));
        QCOMPARE(w->action(QStringLiteral("mnuFormatPhones"))->text(),
                 QStringLiteral("Format &Phone Numbers..."));
    }

    void mergeShownThenMadeThenUndone()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, people());
        const SheetState before = SheetState::of(w->model());

        chooseFromTools(*w, "mnuMergeContacts");
        auto* dialog = w->findChild<MergeContactsDialog*>();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->summary().startsWith(QStringLiteral("2 groups of records are the same contact")));
        QVERIFY(dialog->summary().contains(QStringLiteral("3 records will be removed")));
        // The groups, each with its records, the kept one first.
        QAbstractItemModel* groups = dialog->groupView()->model();
        QCOMPARE(groups->rowCount(), 2);
        QCOMPARE(groups->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
        QCOMPARE(groups->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Phone"));
        const QModelIndex ann = groups->index(0, 0);
        QCOMPARE(ann.data().toString(), QStringLiteral("3 records"));
        QCOMPARE(groups->rowCount(ann), 3);
        QCOMPARE(groups->index(0, 0, ann).data().toString(), QStringLiteral("Row 1 (kept)"));
        QCOMPARE(groups->index(2, 2, ann).data().toString(), QStringLiteral("+1 212 555 0134"));
        // Nothing changed while it is shown.
        QUILLON_COMPARE_STATE(SheetState::of(w->model()), before);

        press(dialog, QDialogButtonBox::Ok);
        QCOMPARE(column(s, 0), recs({"Ann Lee", "Bo Carr", "Bo Carr", "Cy Dunn"}));
        QCOMPARE(column(s, 5), recs({"(212) 555-0134", "212.555.0101", "(212) 555-0102", "n/a"}));
        QCOMPARE(w->action(QStringLiteral("mnuUndoEdit"))->text(),
                 QStringLiteral("&Undo Merge Duplicate Contacts"));
        QTRY_VERIFY(!w->findChild<MergeContactsDialog*>());

        w->action(QStringLiteral("mnuUndoEdit"))->trigger();
        QUILLON_COMPARE_STATE(SheetState::of(w->model()), before);
    }

    void mergeCancelled()
    {
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, people());
        const SheetState before = SheetState::of(w->model());
        chooseFromTools(*w, "mnuMergeContacts");
        auto* dialog = w->findChild<MergeContactsDialog*>();
        QVERIFY(dialog);
        press(dialog, QDialogButtonBox::Cancel);
        QUILLON_COMPARE_STATE(SheetState::of(w->model()), before);
        QVERIFY(!w->action(QStringLiteral("mnuUndoEdit"))->isEnabled());
    }

    void nothingToMergeIsTold()
    {
        auto w = makeWindow();
        fill(w->model().sheet(), recs({"Ann Lee|||||(212) 555-0134", "Bo Carr|||||(212) 555-0134"}));
        chooseFromTools(*w, "mnuMergeContacts");
        QVERIFY(!w->findChild<MergeContactsDialog*>());
        QCOMPARE(m_platform->lastMessage(), QStringLiteral("No duplicate contacts were found."));
    }

    void formatThroughTheDialog_data()
    {
        QTest::addColumn<bool>("international");
        QTest::addColumn<bool>("selectedOnly");
        QTest::addColumn<QStringList>("phones");
        QTest::newRow("national, all records") << false << false
                                               << recs({"(212) 555-0134", "(212) 555-0101", "(212) 555-0134",
                                                        "(212) 555-0102", "(212) 555-0134", "n/a", ""});
        QTest::newRow("international, records 2 and 3")
            << true << true
            << recs({"(212) 555-0134", "+1 212-555-0101", "+1 212-555-0134", "(212) 555-0102",
                     "+1 212 555 0134", "n/a", ""});
    }

    void formatThroughTheDialog()
    {
        QFETCH(bool, international);
        QFETCH(bool, selectedOnly);
        QFETCH(QStringList, phones);
        auto w = makeWindow();
        RecordSheet& s = w->model().sheet();
        fill(s, people());
        w->model().setMouseMode(false);
        s.setCurrentCell(2, 0);
        s.setSelectedRows({{2, 3}});
        const SheetState before = SheetState::of(w->model());

        chooseFromTools(*w, "mnuFormatPhones");
        auto* dialog = w->findChild<FormatPhonesDialog*>();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        auto* selected = dialog->findChild<QRadioButton*>(QStringLiteral("optSelected"));
        auto* all = dialog->findChild<QRadioButton*>(QStringLiteral("optAll"));
        auto* inter = dialog->findChild<QRadioButton*>(QStringLiteral("optInternational"));
        QCOMPARE(selected->text(), QStringLiteral("the &selected records (2)"));
        QCOMPARE(all->text(), QStringLiteral("&all records (7)"));
        QVERIFY(selected->isChecked()); // two records selected
        (selectedOnly ? selected : all)->click();
        if (international)
            inter->click();
        QCOMPARE(dialog->selectedOnly(), selectedOnly);
        press(dialog, QDialogButtonBox::Ok);

        QCOMPARE(column(s, 5), phones);
        QVERIFY(m_platform->lastMessage().startsWith(
            QStringLiteral("Phone numbers formatted.\nCells changed: ")));
        QCOMPARE(w->action(QStringLiteral("mnuUndoEdit"))->text(),
                 QStringLiteral("&Undo Format Phone Numbers"));
        w->action(QStringLiteral("mnuUndoEdit"))->trigger();
        QUILLON_COMPARE_STATE(SheetState::of(w->model()), before);
    }

    void formatCancelled()
    {
        auto w = makeWindow();
        fill(w->model().sheet(), people());
        const SheetState before = SheetState::of(w->model());
        chooseFromTools(*w, "mnuFormatPhones");
        auto* dialog = w->findChild<FormatPhonesDialog*>();
        QVERIFY(dialog);
        press(dialog, QDialogButtonBox::Cancel);
        QUILLON_COMPARE_STATE(SheetState::of(w->model()), before);
        QVERIFY(m_platform->messages.isEmpty());
    }
};

QUILLON_WIDGET_TEST_MAIN(TestContactWindow)
#include "TestContactWindow.moc"
