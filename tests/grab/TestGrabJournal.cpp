#include "shell/AppPaths.h"
#include "grab/GrabJournal.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

class TestGrabJournal : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("test.journal"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    }

private slots:
    void savedAndRead()
    {
        GrabJournal journal;
        journal.site = QStringLiteral("Sample Directory (site A rules)");
        journal.startAddress = QStringLiteral("quillon-sample:/a/results?cat=Caf\u00e9s&city=&state=");
        journal.done.next = QStringLiteral("quillon-sample:/a/results?cat=Caf\u00e9s&page=3");
        journal.done.pagesDone = 2;
        journal.done.skipListings = 1;
        journal.done.listings = 51;
        journal.done.rows = 52;
        journal.done.visited = {QStringLiteral("quillon-sample:/a/1"), QStringLiteral("quillon-sample:/a/2")};
        GrabJournal::Point pending = journal.done;
        pending.pagesDone = 3;
        journal.pending = pending;
        journal.output = QStringLiteral("/home/u/out.csv");
        journal.document = QStringLiteral("/home/u/list.vty");
        journal.firstRow = 7;
        journal.endedBy = QStringLiteral("stopped");
        journal.reason = QStringLiteral("why not");
        journal.updated = QDateTime(QDate(2026, 12, 8), QTime(16, 24, 9));
        const QString path = m_dir.filePath(QStringLiteral("sub/folder/a.journal"));
        QString error;
        QVERIFY2(journal.save(path, &error), qPrintable(error));

        GrabJournal read;
        QVERIFY2(read.load(path, &error), qPrintable(error));
        QCOMPARE(read.site, journal.site);
        QCOMPARE(read.startAddress, journal.startAddress);
        QCOMPARE(read.done.next, journal.done.next);
        QCOMPARE(read.done.pagesDone, 2);
        QCOMPARE(read.done.skipListings, 1);
        QCOMPARE(read.done.listings, qint64(51));
        QCOMPARE(read.done.rows, qint64(52));
        QCOMPARE(read.done.visited, journal.done.visited);
        QVERIFY(read.pending);
        QCOMPARE(read.pending->pagesDone, 3);
        QCOMPARE(read.output, journal.output);
        QCOMPARE(read.document, journal.document);
        QCOMPARE(read.firstRow, qint64(7));
        QCOMPARE(read.endedBy, journal.endedBy);
        QCOMPARE(read.reason, journal.reason);
        QCOMPARE(read.updated, journal.updated);
        QVERIFY(read.canContinue());
        QVERIFY(read.marks.isEmpty());
    }

    void marksSavedAndRead()
    {
        GrabJournal journal;
        journal.site = QStringLiteral("S");
        journal.done.next = QStringLiteral("http://x/5");
        for (int page = 0; page < GrabJournal::kMarksKept + 5; ++page)
            journal.marks.append(
                {QStringLiteral("http://x/%1").arg(page + 1), page, page % 2, 10 * page, 1 + 10 * page});
        const QString path = m_dir.filePath(QStringLiteral("marks.journal"));
        QVERIFY(journal.save(path));
        QVERIFY(QFileInfo(path).size() <= GrabJournal::kMaxFileBytes);
        GrabJournal read;
        QString error;
        QVERIFY2(read.load(path, &error), qPrintable(error));
        // The oldest go; the latest are kept as they were.
        QCOMPARE(read.marks.size(), GrabJournal::kMarksKept);
        const GrabJournal::Mark& first = read.marks.first();
        QCOMPARE(first.pagesDone, 5);
        QCOMPARE(first.next, QStringLiteral("http://x/6"));
        QCOMPARE(first.skipListings, 1);
        QCOMPARE(first.listings, qint64(50));
        QCOMPARE(first.rows, qint64(51));
        QCOMPARE(read.marks.last().pagesDone, GrabJournal::kMarksKept + 4);
    }

    void markWithinRows_data()
    {
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<int>("pagesDone");
        QTest::newRow("fewer rows than the first mark: the first") << qint64(3) << 2;
        QTest::newRow("the rows of a mark") << qint64(31) << 4;
        QTest::newRow("between two marks: the one below") << qint64(40) << 4;
        QTest::newRow("more rows than the last mark: the last") << qint64(900) << 6;
    }

    void markWithinRows()
    {
        QFETCH(qint64, rows);
        QFETCH(int, pagesDone);
        GrabJournal journal;
        QVERIFY(!journal.markWithin(rows));
        // A grab continued at page 3 into a sheet of 11 rows, ten records a page.
        for (int page = 2; page <= 6; ++page)
            journal.marks.append(
                {QStringLiteral("http://x/%1").arg(page + 1), page, 0, 10 * page, 11 + 10 * (page - 2)});
        const std::optional<GrabJournal::Mark> mark = journal.markWithin(rows);
        QVERIFY(mark);
        QCOMPARE(mark->pagesDone, pagesDone);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        const QByteArray head = R"({"journal": "Quillon grab", "version": 1, "site": "S", )";
        const QByteArray point = R"("next": "http://x/2", "pagesDone": 1, "skipListings": 0, "listings": 3, "rows": 4, "visited": [])";
        QTest::newRow("not JSON") << QByteArray("pages done: 3") << "is not a grab journal";
        QTest::newRow("another JSON file") << QByteArray(R"({"name": "x"})") << "is not a grab journal";
        QTest::newRow("another version") << QByteArray(R"({"journal": "Quillon grab", "version": 9})")
                                         << "of another version";
        QTest::newRow("no place") << head + R"("x": 1})" << "no place to continue from";
        QTest::newRow("a count below 0") << head + R"("done": {)" + QByteArray(point).replace("\"rows\": 4", "\"rows\": -4") + "}}"
                                         << "incomplete";
        QTest::newRow("a count that is not whole")
            << head + R"("done": {)" + QByteArray(point).replace("\"pagesDone\": 1", "\"pagesDone\": 1.5") + "}}"
            << "incomplete";
        QTest::newRow("a count that is text")
            << head + R"("done": {)" + QByteArray(point).replace("\"listings\": 3", "\"listings\": \"3\"") + "}}"
            << "incomplete";
        QTest::newRow("visited not addresses")
            << head + R"("done": {)" + QByteArray(point).replace("[]", "[1, 2]") + "}}" << "not a list of addresses";
        QTest::newRow("neither site nor key")
            << QByteArray(R"({"journal": "Quillon grab", "version": 1, "done": {)") + point + "}}"
            << "names neither a site nor a key file";
        QTest::newRow("too large") << QByteArray(2 * 1024 * 1024, ' ') << "too large";
        const QByteArray done = R"("done": {)" + point + "}, ";
        QTest::newRow("marks not a list") << head + done + R"("marks": {}})"
                                          << "not a list";
        QTest::newRow("a mark without its page")
            << head + done +
                   R"("marks": [{"next": "http://x/2", "skipListings": 0, "listings": 3, "rows": 4}]})"
            << "place to go on from is incomplete";
    }

    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        GrabJournal journal;
        journal.site = QStringLiteral("kept");
        QString error;
        QVERIFY(!journal.load(write(text), &error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(journal.site, QStringLiteral("kept"));
    }

    void whereJournalsAre()
    {
        AppPaths::setUserDataFolder(m_dir.path());
        QCOMPARE(GrabJournal::pathForSite(QStringLiteral("Yellow Pages US (2017 pages)")),
                 m_dir.path() + QStringLiteral("/Grab Journals/Yellow Pages US (2017 pages).journal"));
        // No folder and no hidden file from a name.
        QCOMPARE(GrabJournal::pathForSite(QStringLiteral("../.a/b:c")),
                 m_dir.path() + QStringLiteral("/Grab Journals/____a_b_c.journal"));
        const QString a = GrabJournal::pathForOutput(QStringLiteral("/x/out.csv"));
        const QString b = GrabJournal::pathForOutput(QStringLiteral("/y/out.csv"));
        QVERIFY(a != b);
        QVERIFY(a.startsWith(m_dir.path() + QStringLiteral("/Grab Journals/quillon-grab out_csv ")));
    }
};

QTEST_GUILESS_MAIN(TestGrabJournal)
#include "TestGrabJournal.moc"
