#include "LocalHttpServer.h"

#include "shell/AppPaths.h"
#include "files/GridFile.h"
#include "grab/KeyTable.h"
#include "grab/SampleDirectory.h"
#include "sheet/RecordSheet.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

struct Run
{
    int code;
    QString out;
    QString err;
};

const QString kTool = QStringLiteral(QUILLON_BINARY_DIR "/bin/quillon-grab");

/** Runs quillon-grab while the event loop keeps serving this process's test server. */
Run grab(const QStringList& arguments)
{
    QProcess p;
    p.start(kTool, arguments);
    if (!p.waitForStarted(10000))
        return {-1, {}, {}};
    QSignalSpy done(&p, &QProcess::finished);
    done.wait(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

int namedListings(const SampleDirectory& sample, const QString& category)
{
    SampleDirectory::Query q;
    q.category = category;
    int n = 0;
    for (const SampleDirectory::Listing* l : sample.search(q))
        n += !l->name.isEmpty();
    return n;
}

} // namespace

class TestGrabTool : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    SampleDirectory m_sample; // the listings, to count what a grab must give

    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void grabsASiteOfTheSiteTable_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("format");
        QTest::newRow("site A to comma text") << "Sample Directory (site A rules)"
                                              << "quillon-sample:/a/results?cat=Florists&city=&state=" << "a.csv"
                                              << int(FormatComma);
        QTest::newRow("site B to tab text") << "Sample Directory (site B rules)"
                                            << "quillon-sample:/b/results?cat=Florists&city=&state=" << "b.txt"
                                            << int(FormatTab);
        QTest::newRow("key rules to a grid file") << "Sample Directory (key rules)"
                                                  << "quillon-sample:/k/results?cat=Florists&city=&state=" << "k.vty"
                                                  << int(FormatNative);
    }

    void grabsASiteOfTheSiteTable()
    {
        QFETCH(QString, site);
        QFETCH(QString, address);
        QFETCH(QString, file);
        QFETCH(int, format);
        const QString out = m_dir.filePath(file);
        const Run run = grab({QStringLiteral("--site"), site, QStringLiteral("--url"), address,
                              QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("-o"), out});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(run.err.contains(QLatin1String("page 1: ")));
        QVERIFY(run.err.contains(QLatin1String("written to")));

        RecordSheet sheet;
        QString error;
        QVERIFY2(LoadGrid(out, format, sheet, &error), qPrintable(error));
        QCOMPARE(sheet.text(0, 0), QStringLiteral("Name"));
        QCOMPARE(sheet.rows() - 1, namedListings(m_sample, QStringLiteral("Florists")));
        QVERIFY(run.err.contains(QStringLiteral("%1 listings:").arg(sheet.rows() - 1)));
    }

    void keyFileAndPageLimit()
    {
        const QString out = path("limited.csv");
        const Run run = grab({QStringLiteral("--key"), AppPaths::dataFolder() + QStringLiteral("/samplea.bin"),
                              QStringLiteral("--rules"), QStringLiteral("a"), QStringLiteral("--url"),
                              QStringLiteral("quillon-sample:/a/results?cat=People&city=&state=&per=10"),
                              QStringLiteral("--pages"), QStringLiteral("2"), QStringLiteral("--delay"),
                              QStringLiteral("0"), QStringLiteral("-o"), out});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(run.err.contains(QLatin1String("page 2: ")));
        QVERIFY(!run.err.contains(QLatin1String("page 3: ")));
        RecordSheet sheet;
        QVERIFY(LoadGrid(out, FormatComma, sheet));
        QVERIFY(sheet.rows() - 1 >= 15 && sheet.rows() - 1 <= 20);
    }

    void realPageFromAServer()
    {
        QFile page(QStringLiteral(QUILLON_FIXTURES_DIR "/directory-pages/yellowpages-2.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray body = page.readAll();
        LocalHttpServer server([body](const LocalHttpServer::Request&) { return LocalHttpServer::page(body); });
        const QString out = path("dumbbell.csv");
        const Run run = grab({QStringLiteral("--site"), QStringLiteral("Yellow Pages US (2018 pages)"),
                              QStringLiteral("--url"), server.url(QStringLiteral("/search?search_terms=dumbbell")),
                              QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("-o"), out});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        KeyTable got;
        KeyTable expected;
        QVERIFY(got.load(out));
        QVERIFY(expected.load(QStringLiteral(QUILLON_FIXTURES_DIR "/grab-expected/yellowpages-2.csv")));
        QCOMPARE(got.rows(), expected.rows());
        for (int r = 1; r < got.rows(); ++r)
            for (int c = 0; c < 8; ++c)
                QCOMPARE(got.text(r, c), expected.text(r, c));
    }

    void failedPageEndsTheGrab_data()
    {
        QTest::addColumn<QByteArray>("next");
        QTest::addColumn<QString>("reason");
        QTest::newRow("page not found") << QByteArray("/k/results?cat=Florists&amp;page=2") << "status 404";
        QTest::newRow("server error") << QByteArray("/k/results?cat=Florists&amp;page=500") << "status 500";
        QTest::newRow("unknown host") << QByteArray("http://nosuchhost.invalid/k/results?page=2") << "host not found";
    }

    void failedPageEndsTheGrab()
    {
        QFETCH(QByteArray, next);
        QFETCH(QString, reason);
        LocalHttpServer server([next](const LocalHttpServer::Request& r) {
            if (r.target == "/k/results?cat=Florists")
                return LocalHttpServer::page("<ul><li class=\"card\"><strong class=\"fn\">Anna Berg</strong>"
                                             "<span class=\"region\">OR</span></li>"
                                             "<li class=\"card\"><strong class=\"fn\">Bo Carr</strong></li></ul>"
                                             "<link rel=\"next\" href=\""
                                             + next + "\">");
            return LocalHttpServer::status(r.target.endsWith("page=500") ? 500 : 404);
        });
        const QString out = path("partial.csv");
        QFile::remove(out);
        const Run run = grab({QStringLiteral("--key"), AppPaths::dataFolder() + QStringLiteral("/samplek.bin"),
                              QStringLiteral("--url"), server.url(QStringLiteral("/k/results?cat=Florists")),
                              QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("-o"), out});
        // The grab ends at the failed page, says which and why, and fails ...
        QCOMPARE(run.code, 4);
        QVERIFY2(run.err.contains(QLatin1String("page 2: ")), qPrintable(run.err));
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        QVERIFY2(!run.err.contains(QLatin1String("no next page")), qPrintable(run.err));
        // ... but what was grabbed before it is written.
        RecordSheet sheet;
        QVERIFY(LoadGrid(out, FormatComma, sheet));
        QCOMPARE(sheet.rows(), 3);
        QCOMPARE(sheet.text(1, 0), QStringLiteral("Anna Berg"));
        QCOMPARE(sheet.text(2, 0), QStringLiteral("Bo Carr"));
        QCOMPARE(sheet.text(2, 3), QStringLiteral("OR"));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const QString out = m_dir.filePath(QStringLiteral("never.csv"));
        const QString key = AppPaths::dataFolder() + QStringLiteral("/samplek.bin");
        QTest::newRow("no site or key") << QStringList{QStringLiteral("--url"), QStringLiteral("x"), QStringLiteral("-o"), out}
                                        << 2 << "--site NAME or --key FILE";
        QTest::newRow("unknown site") << QStringList{QStringLiteral("--site"), QStringLiteral("Nowhere"),
                                                     QStringLiteral("--url"), QStringLiteral("x"), QStringLiteral("-o"), out}
                                      << 2 << "no site \"Nowhere\"";
        QTest::newRow("browse-only site") << QStringList{QStringLiteral("--site"), QStringLiteral("Yell UK"),
                                                         QStringLiteral("--url"), QStringLiteral("x"), QStringLiteral("-o"), out}
                                          << 2 << "browsing only";
        QTest::newRow("no address") << QStringList{QStringLiteral("--key"), key, QStringLiteral("-o"), out} << 2 << "--url";
        QTest::newRow("no output") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"), QStringLiteral("x")}
                                   << 2 << "-o OUT";
        QTest::newRow("unknown output kind") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                            QStringLiteral("x"), QStringLiteral("-o"), m_dir.filePath(QStringLiteral("x.pdf"))}
                                             << 2 << ".csv, .txt or .vty";
        QTest::newRow("missing key file") << QStringList{QStringLiteral("--key"), m_dir.filePath(QStringLiteral("no.bin")),
                                                         QStringLiteral("--url"), QStringLiteral("x"), QStringLiteral("-o"), out}
                                          << 1 << "cannot load the key file";
        QTest::newRow("bad page count") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                       QStringLiteral("x"), QStringLiteral("--pages"), QStringLiteral("0"),
                                                       QStringLiteral("-o"), out}
                                        << 2 << "--pages";
        QTest::newRow("nothing answers") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                        QStringLiteral("http://127.0.0.1:1/r"), QStringLiteral("--delay"),
                                                        QStringLiteral("0"), QStringLiteral("-o"), out}
                                         << 3 << "no page could be downloaded";
        QTest::newRow("not a web address") << QStringList{QStringLiteral("--key"), key, QStringLiteral("--url"),
                                                          QStringLiteral("file:///etc/passwd"), QStringLiteral("--delay"),
                                                          QStringLiteral("0"), QStringLiteral("-o"), out}
                                           << 3 << "not a web address";
    }

    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, message);
        const Run run = grab(arguments);
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("never.csv"))));
    }

    void servesTheSampleDirectory()
    {
        QProcess p;
        p.start(kTool, {QStringLiteral("--serve-sample")});
        QVERIFY(p.waitForStarted(10000));
        QString line;
        QVERIFY(QTest::qWaitFor(
            [&] {
                line += QString::fromUtf8(p.readAllStandardOutput());
                return line.contains(QLatin1Char('\n'));
            },
            20000));
        QVERIFY2(line.startsWith(QLatin1String("Sample directory: http://127.0.0.1:")), qPrintable(line));
        const QUrl root(line.section(QLatin1Char(' '), 2).trimmed());

        QNetworkAccessManager network;
        QNetworkReply* reply = network.get(QNetworkRequest(root.resolved(QUrl(QStringLiteral("/b/")))));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));
        QVERIFY(reply->readAll().contains("<form action=\"/b/results\""));
        delete reply;

        p.terminate();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    }
};

QTEST_GUILESS_MAIN(TestGrabTool)
#include "TestGrabTool.moc"
