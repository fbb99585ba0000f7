// quillon-grid print and labels: printing files to PDF without a window, read back
// with pdftotext.

#include "PdfReader.h"
#include "PublishedStocks.h"

#include "files/GridFile.h"
#include "print/LabelPrint.h"
#include "sheet/RecordSheet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace quillon::test;
using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run grid(const QStringList& arguments, const QString& dataFolder = QString())
{
    QProcess p;
    if (!dataFolder.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLON_DATA"), dataFolder);
        p.setProcessEnvironment(env);
    }
    p.start(QStringLiteral(QUILLON_BINARY_DIR "/bin/quillon-grid"), arguments);
    if (!p.waitForFinished(120000))
        qFatal("quillon-grid did not finish");
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

/** What the tool itself wrote on stderr: its lines, not the platform's notes. */
QStringList toolMessages(const QByteArray& err)
{
    return QString::fromLocal8Bit(err).split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^quillon-grid: ")));
}

/** The label's rectangle on the format's stock as published, in points. */
QRectF labelPt(const LabelFormat& f, int col, int band)
{
    return publishedStock(f.name).label(col, band);
}

} // namespace

class TestPrintTool : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_sheetFile;
    QString m_addressFile;

    QString out(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        RecordSheet s;
        s.setCols(4);
        s.setRows(4);
        const int widths[] = {1000, 2000, 1500, 800};
        for (int c = 0; c < 4; ++c) {
            s.setTitle(c, QStringLiteral("T%1").arg(c + 1));
            s.setColumnWidth(c, widths[c]);
            s.setColumnDataType(c, TypeText);
            s.setColumnAlignment(c, AlignLeft);
            for (int r = 1; r < 4; ++r)
                s.setText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
        }
        s.setColumnHidden(3, true);
        m_sheetFile = out(QStringLiteral("sheet.vty"));
        QString error;
        QVERIFY2(SaveGrid(m_sheetFile, FormatNative, s, &error), qPrintable(error));

        m_addressFile = out(QStringLiteral("addresses.csv"));
        QFile f(m_addressFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Name,Street,City,State,Zip Code\r\n"
                "Ann Lee,5 Oak Ave,Salem,OR,97301\r\n"
                "Bob Roe,7 Elm St,Austin,TX,\r\n"
                "\"Cy\tDee\",\"9 Lake\nSt\",Bristol,,\r\n"
                "Di Fox,1 Main St,Clinton,IA,52732\r\n");
    }

    void printsTheTable()
    {
        const QString pdf = out(QStringLiteral("table.pdf"));
        const Run r = grid({QStringLiteral("print"), m_sheetFile, QStringLiteral("-o"), pdf, QStringLiteral("--scale"),
                            QStringLiteral("100")});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QVERIFY(r.out.contains("1 page"));
        const PdfReader read(pdf);
        QVERIFY2(read.ok(), qPrintable(read.error()));
        const PdfPage& page = read.page(0);
        QCOMPARE(page.size, QSizeF(612, 792));
        QCOMPARE(page.textIn(QRectF(0, 0, 612, 54)), QStringLiteral("Mervane Quillon"));
        // Columns 1.2 times as wide as the sheet's; the hidden column does not print.
        QVERIFY(std::abs(page.find(QStringLiteral("r1c1"))->box.left() - (36 + 1200 / 20.0 + 2)) < 0.75);
        QVERIFY(std::abs(page.find(QStringLiteral("r1c2"))->box.left() - (36 + 3600 / 20.0 + 2)) < 0.75);
        QVERIFY(!page.find(QStringLiteral("r1c3")));
        QVERIFY(page.find(QStringLiteral("r3c2")));
    }

    void printOptions_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        QTest::addColumn<QSizeF>("paper");
        QTest::addColumn<double>("secondColumnAt");
        const QStringList all{QStringLiteral("r1c0"), QStringLiteral("r1c1"), QStringLiteral("r1c2")};
        QTest::newRow("numbers and a range") << QStringList{QStringLiteral("--columns"), QStringLiteral("2-4")}
                                             << QStringList{QStringLiteral("r1c1"), QStringLiteral("r1c3")}
                                             << QStringList{QStringLiteral("r1c0")} << QSizeF(612, 792)
                                             << 36 + 2400 * 0.75 / 20;
        QTest::newRow("titles") << QStringList{QStringLiteral("--columns=T1,T4")}
                                << QStringList{QStringLiteral("r1c0"), QStringLiteral("r1c3")}
                                << QStringList{QStringLiteral("r1c1")} << QSizeF(612, 792) << 36 + 1200 * 0.75 / 20;
        QTest::newRow("landscape") << QStringList{QStringLiteral("--landscape")} << all
                                   << QStringList{QStringLiteral("r1c3")} << QSizeF(792, 612) << 36 + 1200 * 0.75 / 20;
        QTest::newRow("scale not a number") << QStringList{QStringLiteral("--scale"), QStringLiteral("abc")} << all
                                            << QStringList{} << QSizeF(612, 792) << 36 + 1200.0 / 20;
        QTest::newRow("scale as typed") << QStringList{QStringLiteral("--scale=150")} << all << QStringList{}
                                        << QSizeF(612, 792) << 36 + 1200 * 1.5 / 20;
        QTest::newRow("A4") << QStringList{QStringLiteral("--paper"), QStringLiteral("a4")} << all << QStringList{}
                            << QSizeF(595, 842) << 36 + 1200 * 0.75 / 20;
    }
    void printOptions()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        QFETCH(QSizeF, paper);
        QFETCH(double, secondColumnAt);
        const QString pdf = out(QStringLiteral("options.pdf"));
        const Run r = grid(QStringList{QStringLiteral("print"), m_sheetFile, QStringLiteral("-o"), pdf} + options);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const PdfReader read(pdf);
        const PdfPage& page = read.page(0);
        QVERIFY(std::abs(page.size.width() - paper.width()) < 1);
        QVERIFY(std::abs(page.size.height() - paper.height()) < 1);
        for (const QString& w : present)
            QVERIFY2(page.find(w), qPrintable(w));
        for (const QString& w : absent)
            QVERIFY2(!page.find(w), qPrintable(w));
        // The second printed column starts where the first ends.
        QList<PdfWord> row1;
        for (const PdfWord& w : page.words)
            if (w.text.startsWith(QLatin1String("r1c")))
                row1 << w;
        std::sort(row1.begin(), row1.end(), [](const PdfWord& a, const PdfWord& b) { return a.box.left() < b.box.left(); });
        QVERIFY(row1.size() >= 2);
        const double padding = row1[0].box.left() - 36;
        QVERIFY2(std::abs(row1[1].box.left() - padding - secondColumnAt) < 0.75,
                 qPrintable(QStringLiteral("%1 vs %2").arg(row1[1].box.left() - padding).arg(secondColumnAt)));
    }

    void printsLabels()
    {
        const QString pdf = out(QStringLiteral("labels.pdf"));
        Run r = grid({QStringLiteral("labels"), m_addressFile, QStringLiteral("-o"), pdf});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const LabelFormat& f3 = *FindLabelFormat(QStringLiteral("3 x 10"));
        PdfReader read(pdf);
        QCOMPARE(read.page(0).textIn(labelPt(f3, 0, 0)), QStringLiteral("Ann Lee 5 Oak Ave Salem, OR 97301"));
        QCOMPARE(read.page(0).textIn(labelPt(f3, 1, 0)), QStringLiteral("Bob Roe 7 Elm St Austin, TX"));
        // Tabs and line breaks inside a cell stay in their label line.
        QCOMPARE(read.page(0).textIn(labelPt(f3, 2, 0)), QStringLiteral("Cy Dee 9 Lake St Bristol"));
        QCOMPARE(read.page(0).textIn(labelPt(f3, 0, 1)), QStringLiteral("Di Fox 1 Main St Clinton, IA 52732"));

        r = grid({QStringLiteral("labels"), m_addressFile, QStringLiteral("-o"), pdf, QStringLiteral("--format"),
                  QStringLiteral("2x5"), QStringLiteral("--skip-incomplete"), QStringLiteral("--country=Canada")});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const LabelFormat& f2 = *FindLabelFormat(QStringLiteral("2 x 5"));
        read = PdfReader(pdf);
        QCOMPARE(read.page(0).textIn(labelPt(f2, 0, 0)), QStringLiteral("Ann Lee 5 Oak Ave Salem, OR 97301 Canada"));
        QCOMPARE(read.page(0).textIn(labelPt(f2, 1, 0)), QStringLiteral("Di Fox 1 Main St Clinton, IA 52732 Canada"));
        QCOMPARE(read.page(0).textIn(labelPt(f2, 0, 1)), QString());

        r = grid({QStringLiteral("labels"), m_addressFile, QStringLiteral("-o"), pdf, QStringLiteral("--country")});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(PdfReader(pdf).page(0).findAll(QStringLiteral("U.S.A.")).size(), 4);
    }

    // The tool says how many labels were shortened, after the page count.
    void labelsToolTellsHowManyWereShortened_data()
    {
        QTest::addColumn<int>("tooLong");
        QTest::addColumn<QString>("report");
        QTest::newRow("none") << 0 << QStringLiteral("%1: 1 page\n");
        QTest::newRow("one") << 1
                             << QStringLiteral("%1: 1 page\n1 label was shortened to fit: a line too long even in "
                                               "smaller type ends in \"\u2026\".\n");
        QTest::newRow("three") << 3
                               << QStringLiteral("%1: 1 page\n3 labels were shortened to fit: a line too long even "
                                                 "in smaller type ends in \"\u2026\".\n");
    }
    void labelsToolTellsHowManyWereShortened()
    {
        QFETCH(int, tooLong);
        QFETCH(QString, report);
        const QString input = out(QStringLiteral("shortened.csv"));
        {
            QFile f(input);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("Name,Street,City,State,Zip Code\r\n");
            for (int i = 0; i < 5; ++i)
                f.write(i < tooLong ? "Ann Lee,12345 North Washington Boulevard Building C Suite 1500 Attention "
                                      "Receiving Department Loading Dock 4 Rear Entrance,Salem,OR,97301\r\n"
                                    : "Ann Lee,5 Oak Ave,Salem,OR,97301\r\n");
        }
        const QString pdf = out(QStringLiteral("shortened.pdf"));
        const Run r = grid({QStringLiteral("labels"), input, QStringLiteral("-o"), pdf});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(QString::fromUtf8(r.out), report.arg(pdf));
        QVERIFY(!r.err.contains("shortened"));
        QCOMPARE(PdfReader(pdf).allWords().filter(QString(QChar(0x2026))).size(), tooLong);
    }

    // --stock chooses a stock of the shipped stock file (or a built-in format) by a
    // name as forgiving as a user types it, --start the first free label of a sheet
    // partly used; the paper is the stock's.
    void labelsOnAStock_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("stock");
        QTest::addColumn<int>("start");
        QTest::newRow("Avery L7160 from label 5")
            << QStringList{u"--stock"_s, u"Avery L7160"_s, u"--start"_s, u"5"_s} << u"Avery L7160"_s << 5;
        QTest::newRow("L7651 without the maker, from label 62")
            << QStringList{u"--stock=l7651"_s, u"--start=62"_s} << u"Avery L7651"_s << 62;
        QTest::newRow("Avery 5160") << QStringList{u"--stock"_s, u"5160"_s} << u"Avery 5160"_s << 1;
        QTest::newRow("a built-in format by --stock")
            << QStringList{u"--stock"_s, u"2x10"_s, u"--start"_s, u"20"_s} << u"2 x 10"_s << 20;
        QTest::newRow("a built-in format by --format")
            << QStringList{u"--format"_s, u"3 x 10"_s, u"--start"_s, u"3"_s} << u"3 x 10"_s << 3;
    }
    void labelsOnAStock()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, stock);
        QFETCH(int, start);
        const PublishedStock& published = publishedStock(stock);
        const QString pdf = out(QStringLiteral("stock.pdf"));
        const Run r = grid(QStringList{u"labels"_s, m_addressFile, u"-o"_s, pdf} + options);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QVERIFY2(toolMessages(r.err).isEmpty(), r.err.constData());
        const PdfReader read(pdf);
        QVERIFY2(read.ok(), qPrintable(read.error()));
        const int pages = (start - 1 + 4 + published.perSheet() - 1) / published.perSheet();
        QCOMPARE(read.pageCount(), pages);
        QVERIFY2(std::abs(read.page(0).size.width() - published.page.width()) < 1 &&
                     std::abs(read.page(0).size.height() - published.page.height()) < 1,
                 qPrintable(u"%1 x %2"_s.arg(read.page(0).size.width()).arg(read.page(0).size.height())));
        for (int k = 0; k < start - 1; ++k)
            QCOMPARE(read.page(0).textIn(published.at(k)), QString());
        const QStringList expected{u"Ann Lee 5 Oak Ave Salem, OR 97301"_s, u"Bob Roe 7 Elm St Austin, TX"_s,
                                   u"Cy Dee 9 Lake St Bristol"_s, u"Di Fox 1 Main St Clinton, IA 52732"_s};
        for (int i = 0; i < 4; ++i) {
            const int position = start - 1 + i;
            QCOMPARE(read.page(position / published.perSheet()).textIn(published.at(position)), expected[i]);
        }
    }

    // What cannot be printed as asked is refused with a message and no PDF.
    void labelsRefusesBadStockRequests_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown stock") << QStringList{u"--stock"_s, u"L9999"_s}
                                       << u"quillon-grid: unknown label stock \"L9999\": 3 x 10, 2 x 10, 2 x 5, "
                                          "Avery 5160"_s;
        QTest::newRow("a stock by --format")
            << QStringList{u"--format"_s, u"Avery 5160"_s}
            << u"quillon-grid: unknown label format \"Avery 5160\": \"3 x 10\", \"2 x 10\", \"2 x 5\"; label stocks "
               "such as \"Avery 5160\" are chosen with --stock"_s;
        QTest::newRow("both") << QStringList{u"--format"_s, u"3x10"_s, u"--stock"_s, u"5160"_s}
                              << u"quillon-grid: give --format or --stock, not both"_s;
        QTest::newRow("start 0") << QStringList{u"--start"_s, u"0"_s}
                                 << u"quillon-grid: --start 0: give the first free label of the sheet, 1 to 30 "
                                    "(\"3 x 10\" has 30 labels a sheet)"_s;
        QTest::newRow("start past the sheet") << QStringList{u"--stock"_s, u"L7160"_s, u"--start"_s, u"22"_s}
                                              << u"1 to 21 (\"Avery L7160\" has 21 labels a sheet)"_s;
        QTest::newRow("start not a number") << QStringList{u"--start"_s, u"fifth"_s} << u"--start fifth:"_s;
    }
    void labelsRefusesBadStockRequests()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        const QString pdf = out(QStringLiteral("refused-stock.pdf"));
        QFile::remove(pdf);
        const Run r = grid(QStringList{u"labels"_s, m_addressFile, u"-o"_s, pdf} + options);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(QString::fromLocal8Bit(r.err).contains(message), r.err.constData());
        QVERIFY(!QFile::exists(pdf));
    }

    // A stock file with a label wider than its page: that stock is left out with a
    // message naming it, on every run; the other stocks and the built-in formats print.
    void labelsWithADamagedStockFile()
    {
        QTemporaryDir data;
        QFile file(data.filePath(QStringLiteral("labelstocks.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Too Wide]\npaper = A4\nlabel width = 220 mm\nlabel height = 38.1 mm\nhorizontal pitch = 220 mm\n"
                   "vertical pitch = 38.1 mm\nleft margin = 0 mm\ntop margin = 15 mm\nacross = 1\ndown = 7\n"
                   "[Fine]\npaper = A4\nlabel width = 70 mm\nlabel height = 35 mm\nhorizontal pitch = 70 mm\n"
                   "vertical pitch = 35 mm\nleft margin = 0 mm\ntop margin = 8.5 mm\nacross = 3\ndown = 8\n");
        file.close();
        const QString warning = u"quillon-grid: The label stock \"Too Wide\" (%1, line 1) is left out: its labels are "
                                "220 mm wide, wider than its A4 page (210 mm)."_s
                                    .arg(QDir::toNativeSeparators(file.fileName()));
        const QString pdf = out(QStringLiteral("damaged.pdf"));
        for (const QStringList& options : {QStringList{u"--stock"_s, u"Fine"_s}, QStringList{u"--format"_s, u"2x5"_s},
                                           QStringList{}}) {
            const Run r = grid(QStringList{u"labels"_s, m_addressFile, u"-o"_s, pdf} + options, data.path());
            QVERIFY2(r.exitCode == 0, r.err.constData());
            QCOMPARE(toolMessages(r.err), QStringList{warning});
            QCOMPARE(PdfReader(pdf).allWords().filter(u"Ann"_s).size(), 1);
        }
        const Run r = grid({u"labels"_s, m_addressFile, u"-o"_s, pdf, u"--stock"_s, u"Too Wide"_s}, data.path());
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(QString::fromLocal8Bit(r.err).contains(u"unknown label stock \"Too Wide\": 3 x 10, 2 x 10, 2 x 5, Fine"_s),
                 r.err.constData());
    }

    void refusesBadRequests_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        const QString missing = QStringLiteral("/no/such/file.vty");
        QTest::newRow("no output") << QStringList{QStringLiteral("print"), QStringLiteral("SHEET")} << 2;
        QTest::newRow("-o without a name") << QStringList{QStringLiteral("print"), QStringLiteral("SHEET"),
                                                          QStringLiteral("-o")}
                                           << 2;
        QTest::newRow("two inputs") << QStringList{QStringLiteral("labels"), QStringLiteral("SHEET"),
                                                   QStringLiteral("SHEET"), QStringLiteral("-o"), QStringLiteral("OUT")}
                                    << 2;
        QTest::newRow("unknown option") << QStringList{QStringLiteral("print"), QStringLiteral("SHEET"),
                                                       QStringLiteral("--colour"), QStringLiteral("-o"),
                                                       QStringLiteral("OUT")}
                                        << 2;
        QTest::newRow("unknown column") << QStringList{QStringLiteral("print"), QStringLiteral("SHEET"),
                                                       QStringLiteral("--columns"), QStringLiteral("9"),
                                                       QStringLiteral("-o"), QStringLiteral("OUT")}
                                        << 2;
        QTest::newRow("missing file") << QStringList{QStringLiteral("print"), missing, QStringLiteral("-o"),
                                                     QStringLiteral("OUT")}
                                      << 1;
        QTest::newRow("unknown label format") << QStringList{QStringLiteral("labels"), QStringLiteral("SHEET"),
                                                             QStringLiteral("--format"), QStringLiteral("4 x 4"),
                                                             QStringLiteral("-o"), QStringLiteral("OUT")}
                                              << 1;
        QTest::newRow("output folder missing") << QStringList{QStringLiteral("print"), QStringLiteral("SHEET"),
                                                              QStringLiteral("-o"), QStringLiteral("/no/such/out.pdf")}
                                               << 1;
    }
    void refusesBadRequests()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        const QString target = out(QStringLiteral("refused.pdf"));
        QFile::remove(target);
        arguments.replaceInStrings(QStringLiteral("SHEET"), m_sheetFile);
        for (QString& a : arguments)
            if (a == QLatin1String("OUT"))
                a = target;
        const Run r = grid(arguments);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY(!r.err.isEmpty());
        QVERIFY(!QFile::exists(target));
    }
};

QTEST_GUILESS_MAIN(TestPrintTool)
#include "TestPrintTool.moc"
