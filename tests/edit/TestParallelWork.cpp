// Work shared out over threads, and what the commands that use it do when memory runs
// out on one of those threads.

#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "edit/EditCommands.h"
#include "edit/FindSession.h"
#include "sheet/ParallelWork.h"
#include "testsupport/AllocationFailure.h"
#include "testsupport/TestPlatform.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <new>
#include <stdexcept>

using namespace quillon;
using namespace quillon::testing;

namespace {

/** The main window's model with a named document of @p records records in two columns. */
struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    TestPlatform platform;
    std::unique_ptr<MainModel> model;
    std::unique_ptr<EditCommands> edit;

    explicit Fixture(int records)
    {
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("test.ini")));
        model = std::make_unique<MainModel>(*settings, platform, dir.filePath(QStringLiteral("Untitled1.vty")));
        edit = std::make_unique<EditCommands>(*model);
        model->document().buildNewSheet();
        model->ResyncFormPanel();
        model->document().setDocumentName(dir.filePath(QStringLiteral("people.vty")));
        model->document().MakeModified(false);
        RecordSheet& sheet = model->sheet();
        sheet.setRows(records + 1);
        RecordSheet::Batch batch(sheet);
        // Records 1 .. 5000 hold "hay", the others "needle"; column 0 counts down, so
        // that a sort by it turns the records round.
        for (int r = 1; r <= records; ++r) {
            sheet.setTextUtf8(r, 0, QByteArray::number(records - r).rightJustified(7, '0'));
            sheet.setTextUtf8(r, 1, r <= 5000 ? "hay" : "needle");
        }
        sheet.setCurrentCell(1, 0);
    }
    RecordSheet& sheet() { return model->sheet(); }
};

} // namespace

class TestParallelWork : public QObject
{
    Q_OBJECT

private slots:
    void aFailingPartComesBackToTheCaller_data()
    {
        QTest::addColumn<int>("failing"); // bit p: part p fails
        QTest::addColumn<bool>("allocation");
        QTest::newRow("the caller's part runs out of memory") << 1 << true;
        QTest::newRow("the other thread's part runs out of memory") << 2 << true;
        QTest::newRow("both parts run out of memory") << 3 << true;
        QTest::newRow("the other thread's part fails otherwise") << 2 << false;
    }
    void aFailingPartComesBackToTheCaller()
    {
        QFETCH(int, failing);
        QFETCH(bool, allocation);
        std::atomic_int finished{0};
        const auto work = [&](size_t part, size_t) {
            if (failing & (1 << part)) {
                if (allocation)
                    throw std::bad_alloc();
                throw std::length_error("too long");
            }
            finished.fetch_add(1);
        };
        // Before, a part failing on a thread of its own ended the program.
        if (allocation)
            QVERIFY_THROWS_EXCEPTION(std::bad_alloc, RunInParallel(2, work));
        else
            QVERIFY_THROWS_EXCEPTION(std::length_error, RunInParallel(2, work));
        // Every part that did not fail ran to its end before the failure came back.
        QCOMPARE(finished.load(), failing == 3 ? 0 : 1);
        // And the threads are free for the next work.
        finished = 0;
        RunInParallel(2, [&](size_t, size_t) { finished.fetch_add(1); });
        QCOMPARE(finished.load(), 2);
    }

    void sortAndDuplicatesReportRunningOutOfMemory_data()
    {
        QTest::addColumn<bool>("duplicates");
        QTest::newRow("sort by a title") << false;
        QTest::newRow("delete duplicates") << true;
    }
    void sortAndDuplicatesReportRunningOutOfMemory()
    {
        QFETCH(bool, duplicates);
        Fixture f(200000);
        const QString first = f.sheet().text(1, 0);
        const QString last = f.sheet().text(200000, 0);
        if (duplicates)
            f.platform.messageAnswers.enqueue(Platform::Yes);
        const int failedBefore = FailLargeAllocations::failures();
        {
            FailLargeAllocations noMemory(256 << 10);
            if (duplicates)
                f.edit->deleteDuplicates();
            else
                f.edit->sortByTitle(0);
        }
        QVERIFY(FailLargeAllocations::failures() > failedBefore);
        QCOMPARE(f.platform.messages.size(), duplicates ? 2 : 1);
        const TestPlatform::Message& m = f.platform.messages.last();
        QCOMPARE(m.caption, QStringLiteral("Quillon"));
        QVERIFY2(m.text.contains(QStringLiteral("not enough memory")), qPrintable(m.text));
        QCOMPARE(f.sheet().rows(), 200001);
        QCOMPARE(f.sheet().text(1, 0), first);
        QCOMPARE(f.sheet().text(200000, 0), last);
        QCOMPARE(f.sheet().style(0, 0).picture, uint8_t(PictureNone));
        QVERIFY(!f.model->document().IsModified());
        QCOMPARE(f.platform.busyDepth, 0);
        // With the memory back the command works.
        f.edit->sortByTitle(0);
        QCOMPARE(f.sheet().text(1, 0), last);
    }

    void findReportsRunningOutOfMemory()
    {
        // Two columns of 600000 records: the search is shared out over two threads, and
        // each gathers the places of the texts that match.
        Fixture f(600000);
        f.edit->findSession().setText(QStringLiteral("needle"));
        const int failedBefore = FailLargeAllocations::failures();
        {
            FailLargeAllocations noMemory(32 << 10);
            f.edit->findSession().findNext();
        }
        QVERIFY(FailLargeAllocations::failures() > failedBefore);
        QCOMPARE(f.platform.messages.size(), 1);
        QCOMPARE(f.platform.messages[0].caption, QStringLiteral("Quillon"));
        QVERIFY2(f.platform.lastMessage().contains(QStringLiteral("not enough memory")),
                 qPrintable(f.platform.lastMessage()));
        QCOMPARE(f.sheet().currentRow(), 1);
        QCOMPARE(f.platform.busyDepth, 0);
        f.edit->findSession().findNext();
        QCOMPARE(f.sheet().currentRow(), 5001);
        QCOMPARE(f.sheet().currentCol(), 1);
    }
};

QTEST_GUILESS_MAIN(TestParallelWork)
#include "TestParallelWork.moc"
