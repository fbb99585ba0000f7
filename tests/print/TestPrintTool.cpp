// quillon-grid print and labels: printing files to PDF without a window, read back
// with pdftotext.

#include "PdfReader.h"

#include "files/GridFile.h"
#include "print/LabelPrint.h"
#include "sheet/RecordSheet.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace quillon::test;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run grid(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral(QUILLON_BINARY_DIR "/bin/quillon-grid"), arguments);
    if (!p.waitForFinished(120000))
        qFatal("quillon-grid did not finish");
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QRectF labelPt(const LabelFormat& f, int col, int band)
{
    const QRectF r = f.labelRect(col, band);
    return QRectF(r.left() / 20, r.top() / 20, r.width() / 20, r.height() / 20);
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
