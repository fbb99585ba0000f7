#include "LocalHttpServer.h"

#include "files/GridFile.h"
#include "grab/KeyTable.h"
#include "grab/SampleDirectory.h"
#include "sheet/RecordSheet.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

struct Run
{
    int code;
    QByteArray out;
    QString err;
};

/** Runs a tool while the event loop keeps serving this process's test servers. */
Run tool(const char* name, const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral(QUILLON_BINARY_DIR "/bin/") + QLatin1String(name), arguments);
    if (!p.waitForStarted(10000))
        return {-1, {}, {}};
    QSignalSpy done(&p, &QProcess::finished);
    done.wait(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

Run key(const QStringList& arguments)
{
    return tool("quillon-key", arguments);
}

QString fixture(const QString& name)
{
    return QStringLiteral(QUILLON_FIXTURES_DIR "/") + name;
}

/** The rows check printed: one JSON array of strings a line. */
QList<QStringList> printedRows(const QByteArray& out)
{
    QList<QStringList> rows;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList row;
        for (const QJsonValue& v : QJsonDocument::fromJson(line).array())
            row.append(v.toString());
        rows.append(row);
    }
    return rows;
}

QList<QStringList> expectedRows(const QString& file)
{
    KeyTable table;
    table.load(fixture(QStringLiteral("grab-expected/")) + file);
    QList<QStringList> rows;
    for (int r = 1; r < table.rows(); ++r) {
        QStringList row;
        for (int c = 0; c < 8; ++c)
            row.append(table.text(r, c));
        rows.append(row);
    }
    return rows;
}

} // namespace

/**
 * quillon-key run as a process on real files and on pages served from 127.0.0.1:
 * it learns a key from one listing or from a page's schema.org data, writes it, and
 * checks a key on a page; what it learns, quillon-grab grabs with.
 */
class TestKeyTool : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void learnsAndChecks_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("how");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("next");

        QTest::newRow("markers from one listing")
            << "yellowpages-1.html"
            << QStringList{QStringLiteral("-e"), QStringLiteral("Name=Harris Teeter"), QStringLiteral("--example"),
                           QStringLiteral("Street=1201 1st St NE"), QStringLiteral("-e"), QStringLiteral("City=Washington"),
                           QStringLiteral("-e"), QStringLiteral("State=DC"), QStringLiteral("-e"),
                           QStringLiteral("zip code=20002"), QStringLiteral("-e"), QStringLiteral("Phone=(202) 589-0351"),
                           QStringLiteral("-e"), QStringLiteral("Web Site=http://www.harristeeter.com")}
            << "yellowpages-1.csv" << "http://www.yellowpages.com/washington-dc/supermarkets?page=2";
        QTest::newRow("schema.org data") << "localsearch-au-1.html" << QStringList{QStringLiteral("--structured")}
                                         << "localsearch-au-1-schema.csv" << "/find/plumber/bungalow-qld?page=2";
    }

    void learnsAndChecks()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, how);
        QFETCH(QString, expected);
        QFETCH(QString, next);

        const QString keyFile = path(QStringLiteral("learned.csv"));
        QFile::remove(keyFile);
        const QString pageFile = fixture(QStringLiteral("directory-pages/")) + page;
        const Run learn = key(QStringList{QStringLiteral("learn"), pageFile} + how
                              + QStringList{QStringLiteral("-o"), keyFile});
        QVERIFY2(learn.code == 0, qPrintable(learn.err));
        QVERIFY2(learn.err.contains(QStringLiteral("written to %1").arg(keyFile)), qPrintable(learn.err));
        QVERIFY(QFile::exists(keyFile));

        const Run check = key({QStringLiteral("check"), keyFile, pageFile});
        QVERIFY2(check.code == 0, qPrintable(check.err));
        const QList<QStringList> rows = printedRows(check.out);
        const QList<QStringList> want = expectedRows(expected);
        QCOMPARE(rows.size(), want.size());
        for (qsizetype r = 0; r < rows.size(); ++r) {
            QCOMPARE(rows[r].size(), 8);
            for (int c = 0; c < 8; ++c) {
                // The grab gives a listing without a state the one above it.
                const QString cell = c == 3 && want[r][c].isEmpty() && r > 0 ? want[r - 1][c] : want[r][c];
                QCOMPARE(rows[r][c], cell);
            }
        }
        // The counts a field and the next page, on standard error.
        QVERIFY2(check.err.contains(QStringLiteral("%1 listings: Name %1,").arg(want.size())), qPrintable(check.err));
        QVERIFY2(check.err.contains(QStringLiteral("next page: ") + next), qPrintable(check.err));
    }

    void learnsFromAWebAddress()
    {
        QFile file(fixture(QStringLiteral("directory-pages/yellowpages-2.html")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray body = file.readAll();
        LocalHttpServer server([body](const LocalHttpServer::Request& r) {
            return r.target.startsWith("/search?") ? LocalHttpServer::page(body) : LocalHttpServer::status(404);
        });
        const QString address = server.url(QStringLiteral("/search?search_terms=dumbbell&geo_location_terms=MI"));
        const QString keyFile = path(QStringLiteral("web.bin"));
        const Run learn = key({QStringLiteral("learn"), address, QStringLiteral("-e"),
                               QStringLiteral("Name=American Furniture Contractor"), QStringLiteral("-e"),
                               QStringLiteral("Phone=(616) 363-0655"), QStringLiteral("-o"), keyFile});
        QVERIFY2(learn.code == 0, qPrintable(learn.err));
        // A native key file; its listing-page marker comes from the address.
        KeyTable table;
        QVERIFY(table.load(keyFile));
        QCOMPARE(table.text(1, 4), QStringLiteral("search_terms="));

        const Run check = key({QStringLiteral("check"), keyFile, address});
        QVERIFY2(check.code == 0, qPrintable(check.err));
        const QList<QStringList> rows = printedRows(check.out);
        const QList<QStringList> want = expectedRows(QStringLiteral("yellowpages-2.csv"));
        QCOMPARE(rows.size(), want.size());
        for (qsizetype r = 0; r < rows.size(); ++r) {
            QCOMPARE(rows[r][0], want[r][0]);
            QCOMPARE(rows[r][5], want[r][5]);
        }
        QVERIFY2(check.err.contains(QLatin1String("next page: none")), qPrintable(check.err));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");

        const QString page = fixture(QStringLiteral("directory-pages/yellowpages-2.html"));
        const QString out = m_dir.filePath(QStringLiteral("never.csv"));
        const QString keyFile = QStringLiteral(QUILLON_BINARY_DIR "/data/yp2017.bin");
        QTest::newRow("no command") << QStringList{} << 2 << "learn or check";
        QTest::newRow("unknown command") << QStringList{QStringLiteral("guess"), page} << 2 << "unknown command";
        QTest::newRow("learn without a key file")
            << QStringList{QStringLiteral("learn"), page, QStringLiteral("-e"), QStringLiteral("Name=Home")} << 2 << "-o";
        QTest::newRow("learn with neither examples nor --structured")
            << QStringList{QStringLiteral("learn"), page, QStringLiteral("-o"), out} << 2 << "--structured";
        QTest::newRow("a field that is no column")
            << QStringList{QStringLiteral("learn"), page, QStringLiteral("-e"), QStringLiteral("Fax=1"), QStringLiteral("-o"),
                           out}
            << 2 << "TITLE=TEXT";
        QTest::newRow("a page that is not there")
            << QStringList{QStringLiteral("learn"), m_dir.filePath(QStringLiteral("none.html")), QStringLiteral("-e"),
                           QStringLiteral("Name=X"), QStringLiteral("-o"), out}
            << 1 << "cannot read";
        QTest::newRow("a name found nowhere")
            << QStringList{QStringLiteral("learn"), page, QStringLiteral("-e"), QStringLiteral("Name=Nobody Here"),
                           QStringLiteral("-o"), out}
            << 3 << "the name \"Nobody Here\" is not on the page";
        QTest::newRow("a page without schema.org data")
            << QStringList{QStringLiteral("learn"), fixture(QStringLiteral("directory-pages/yellowpages-au-1.html")),
                           QStringLiteral("--structured"), QStringLiteral("-o"), out}
            << 3 << "describes no listings as schema.org items";
        QTest::newRow("a key that cuts nothing")
            << QStringList{QStringLiteral("check"), keyFile, fixture(QStringLiteral("directory-pages/localsearch-au-1.html"))}
            << 3 << "the key cuts no listing";
        QTest::newRow("a key file that cannot be written")
            << QStringList{QStringLiteral("learn"), page, QStringLiteral("-e"),
                           QStringLiteral("Name=American Furniture Contractor"), QStringLiteral("-o"),
                           m_dir.filePath(QStringLiteral("no/such/folder/key.csv"))}
            << 1 << "cannot write";
    }

    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, message);
        const Run run = key(arguments);
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("never.csv"))));
    }

    void failedLearningKeepsTheKeyFile()
    {
        // A key file is written whole or not at all: a learning that fails leaves it be.
        const QString keyFile = path(QStringLiteral("kept.csv"));
        {
            QFile f(keyFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("the key before\n");
        }
        const Run run = key({QStringLiteral("learn"), fixture(QStringLiteral("directory-pages/yellowpages-2.html")),
                             QStringLiteral("-e"), QStringLiteral("Name=Nobody Here"), QStringLiteral("-o"), keyFile});
        QCOMPARE(run.code, 3);
        QFile f(keyFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("the key before\n"));
    }

    void pagesThatCannotBeRead_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("message");
        QTest::newRow("not found") << 404 << qint64(0) << "status 404";
        QTest::newRow("a page over 16 MB") << 200 << qint64(17) * 1024 * 1024 << "larger than";
    }

    void pagesThatCannotBeRead()
    {
        QFETCH(int, status);
        QFETCH(qint64, size);
        QFETCH(QString, message);
        LocalHttpServer server([status, size](const LocalHttpServer::Request&) {
            if (status != 200)
                return LocalHttpServer::status(status);
            LocalHttpServer::Response r = LocalHttpServer::page("<html>");
            r.fillerBytes = size;
            return r;
        });
        const Run run = key({QStringLiteral("learn"), server.url(QStringLiteral("/p")), QStringLiteral("-e"),
                             QStringLiteral("Name=X"), QStringLiteral("-o"), path(QStringLiteral("n.csv"))});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QLatin1String("cannot download")), qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));

        // A saved page as large is refused as well.
        if (size) {
            const QString big = path(QStringLiteral("big.html"));
            QFile f(big);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(size));
            f.close();
            const Run saved = key({QStringLiteral("check"), QStringLiteral(QUILLON_BINARY_DIR "/data/yp2017.bin"), big});
            QCOMPARE(saved.code, 1);
            QVERIFY2(saved.err.contains(QLatin1String("larger than 16 MB")), qPrintable(saved.err));
        }
    }

    void learnedKeyGrabsTheSampleDirectory()
    {
        // A result page of the sample directory, saved as the site sends it (Windows-1252),
        // a key learned from one of its listings, and a grab of every page with that key.
        SampleDirectory sample;
        SampleDirectory::Query query;
        query.category = QStringLiteral("Florists");
        const QList<const SampleDirectory::Listing*> found = sample.search(query);
        QVERIFY(found.size() > SampleDirectory::kDefaultPerPage);
        const auto full = std::find_if(found.begin(), found.end(), [](const SampleDirectory::Listing* l) {
            return !l->name.isEmpty() && !l->city.isEmpty() && !l->phone.isEmpty();
        });
        QVERIFY(full != found.end());
        const SampleDirectory::Listing& third = **full;
        const QString pageFile = path(QStringLiteral("florists.html"));
        {
            QFile f(pageFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(sample.resultPage('k', query));
        }
        const QString keyFile = path(QStringLiteral("florists.csv"));
        const Run learn = key({QStringLiteral("learn"), pageFile, QStringLiteral("-e"), QStringLiteral("Name=") + third.name,
                               QStringLiteral("-e"), QStringLiteral("City=") + third.city, QStringLiteral("-e"),
                               QStringLiteral("Phone=") + third.phone, QStringLiteral("-o"), keyFile});
        QVERIFY2(learn.code == 0, qPrintable(learn.err));

        const QString out = path(QStringLiteral("florists-grabbed.csv"));
        const Run grab = tool("quillon-grab", {QStringLiteral("--key"), keyFile, QStringLiteral("--url"),
                                               QStringLiteral("quillon-sample:/k/results?cat=Florists&city=&state="),
                                               QStringLiteral("--delay"), QStringLiteral("0"), QStringLiteral("-o"), out});
        QVERIFY2(grab.code == 0, qPrintable(grab.err));
        QVERIFY2(grab.err.contains(QLatin1String("page 2: ")), qPrintable(grab.err));
        RecordSheet sheet;
        QVERIFY(LoadGrid(out, FormatComma, sheet));
        int named = 0;
        for (const SampleDirectory::Listing* l : found)
            named += !l->name.isEmpty();
        QCOMPARE(sheet.rows() - 1, named);
        int r = 1;
        for (const SampleDirectory::Listing* l : found) {
            if (l->name.isEmpty())
                continue;
            QCOMPARE(sheet.text(r, 0), l->name);
            QCOMPARE(sheet.text(r, 5), l->phone);
            ++r;
        }
    }
};

QTEST_GUILESS_MAIN(TestKeyTool)
#include "TestKeyTool.moc"
