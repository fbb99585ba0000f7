// Mailing labels: the label layout on the print sheet, read back from real PDF
// files and checked against the label stock each format is made for, as its maker
// publishes it; the stock file and its refusals.

#include "PdfReader.h"
#include "PublishedStocks.h"

#include "print/LabelPrint.h"
#include "print/PdfExport.h"
#include "sheet/RecordSheet.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace quillon;
using namespace quillon::test;
using namespace Qt::StringLiterals;

namespace {

struct Address
{
    QString name, street, city, state, zip;
};

void addRecord(RecordSheet& s, const Address& a)
{
    const int r = s.rows();
    s.setRows(r + 1);
    s.setText(r, 0, a.name);
    s.setText(r, 1, a.street);
    s.setText(r, 2, a.city);
    s.setText(r, 3, a.state);
    s.setText(r, 4, a.zip);
}

RecordSheet* newSheet(QObject* parent)
{
    auto* s = new RecordSheet(parent);
    s->setCols(10);
    s->setRows(1);
    return s;
}

/** Records "Name1" .. "Name<n>" with full addresses. */
void addNumbered(RecordSheet& s, int n, int from = 1)
{
    for (int i = from; i < from + n; ++i)
        addRecord(s, {QStringLiteral("Name%1").arg(i), QStringLiteral("%1 Main St").arg(i), QStringLiteral("Austin"),
                      QStringLiteral("TX"), QStringLiteral("787%1").arg(i, 2, 10, QLatin1Char('0'))});
}

/** The label's rectangle on the format's stock as published, in points. */
QRectF labelPt(const LabelFormat& f, int col, int band)
{
    return publishedStock(f.name).label(col, band);
}

bool samePage(const QSizeF& a, const QSizeF& b)
{
    return std::abs(a.width() - b.width()) < 1 && std::abs(a.height() - b.height()) < 1;
}

QString where(const PdfWord& w, int page)
{
    return QStringLiteral("\"%1\" at %2,%3-%4,%5 on page %6")
        .arg(w.text)
        .arg(w.box.left())
        .arg(w.box.top())
        .arg(w.box.right())
        .arg(w.box.bottom())
        .arg(page + 1);
}

} // namespace

class TestLabelPrint : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;

    QString pdf(const PrintSheet& print)
    {
        const QString path = m_dir.filePath(QStringLiteral("labels%1.pdf").arg(++m_files));
        QString error;
        if (!WritePdf(print, path, &error))
            qWarning("%s", qPrintable(error));
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void formStartsAsDesigned()
    {
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 5);
        s->setSelectionMode(RecordSheet::SelectionMode::Rows);
        s->setSelectedRows({{2, 3}});
        ReportOptionsForm form(*s);
        // The built-in formats first, then the shipped stocks.
        QStringList names;
        for (const PublishedStock& p : publishedStocks())
            names << p.name;
        QCOMPARE(form.formatNames(), names);
        QVERIFY2(form.stocks().problems().isEmpty(), qPrintable(form.stocks().problems().join(u'\n')));
        QCOMPARE(form.format(), QStringLiteral("3 x 10"));
        QCOMPARE(form.startLabel(), 1);
        QCOMPARE(form.fontSize(), QStringLiteral("10"));
        QCOMPARE(form.countryText(), QStringLiteral("U.S.A."));
        QVERIFY(!form.printCountry());
        QVERIFY(!form.skipIncomplete());
        QCOMPARE(form.dataSource(), ReportOptionsForm::AllRecords);
        QCOMPARE(form.selectedRowsCaption(), QStringLiteral("Slected rows (2)"));
        QCOMPARE(ReportOptionsForm::hint(),
                 QStringLiteral("Select standard address labels format, Print Country Name and Print Area options. "
                                "Preview before printing to get best results."));
        form.setFormat(QStringLiteral("2 x 5"));
        QCOMPARE(form.fontSize(), QStringLiteral("16"));
        QVERIFY(form.fontSizes().contains(QStringLiteral("16")));
        form.setFormat(QStringLiteral("4 x 4"));
        QCOMPARE(form.format(), QStringLiteral("2 x 5"));
        form.setFontSize(QStringLiteral("big"));
        QCOMPARE(form.printFontSize(), 16.0);
        form.setFontSize(QStringLiteral("14"));
        QCOMPARE(form.printFontSize(), 14.0);
        form.setFontSize(QStringLiteral("90"));
        QCOMPARE(form.printFontSize(), 24.0);
        form.setFontSize(QStringLiteral("2"));
        QCOMPARE(form.printFontSize(), 12.0);
    }

    void formatsAsDesigned_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("across");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<int>("rowHeight");
        QTest::addColumn<QString>("font");
        QTest::addColumn<int>("size");
        QTest::newRow("3 x 10") << QStringLiteral("3 x 10") << 3 << QList<int>{3976, 3976, 3300} << 240
                                << QStringLiteral("Arial") << 10;
        QTest::newRow("2 x 10") << QStringLiteral("2 x 10") << 2 << QList<int>{6120, 5000} << 240
                                << QStringLiteral("Arial") << 10;
        QTest::newRow("2 x 5") << QStringLiteral("2 x 5") << 2 << QList<int>{6120, 5000} << 480
                               << QStringLiteral("Times New Roman") << 16;
    }
    void formatsAsDesigned()
    {
        QFETCH(QString, name);
        QFETCH(int, across);
        QFETCH(QList<int>, widths);
        QFETCH(int, rowHeight);
        QFETCH(QString, font);
        QFETCH(int, size);
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 4);
        ReportOptionsForm form(*s);
        form.setFormat(name);
        const auto print = form.makePrintSheet();
        for (int c = 0; c < across; ++c)
            QCOMPARE(print->columnWidth(c), widths[c]);
        QCOMPARE(print->defaultRowHeight(), rowHeight);
        QCOMPARE(print->fontFamily(), font);
        QCOMPARE(print->fontPointSize(), double(size));
        QVERIFY(print->header().isEmpty());
        QVERIFY(!print->gridLines());
        QCOMPARE(print->margins(), QMargins(576, 720, 0, 720));
        // "A1:C" or "A1:B" and the last used row: the city line of the last band.
        const int bands = (4 + across - 1) / across;
        QCOMPARE(print->printArea(), (CellRect{0, 0, (bands - 1) * 6 + 3, across - 1}));
    }

    void cityLine_data()
    {
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("zip");
        QTest::addColumn<QString>("line");
        QTest::newRow("complete") << u"Austin"_s << u"TX"_s << u"78701"_s << u"Austin, TX 78701"_s;
        QTest::newRow("city only, no comma") << u"Austin"_s << u""_s << u""_s << u"Austin"_s;
        QTest::newRow("no zip") << u"Austin"_s << u"TX"_s << u""_s << u"Austin, TX"_s;
        QTest::newRow("no state") << u"Austin"_s << u""_s << u"78701"_s << u"Austin,  78701"_s;
        QTest::newRow("no city") << u""_s << u"TX"_s << u"78701"_s << u", TX 78701"_s;
        QTest::newRow("blanks around") << u"  Austin"_s << u"TX"_s << u"78701  "_s << u"Austin, TX 78701"_s;
        QTest::newRow("nothing") << u""_s << u""_s << u""_s << u""_s;
    }
    void cityLine()
    {
        QFETCH(QString, city);
        QFETCH(QString, state);
        QFETCH(QString, zip);
        QFETCH(QString, line);
        QCOMPARE(LabelCityLine(city, state, zip), line);
    }

    void sevenRecordsFillTwoBandsAndOneLabel()
    {
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 7);
        ReportOptionsForm form(*s);
        const LabelFormat& f = form.labelFormat();
        const PdfReader read(pdf(*form.makePrintSheet()));
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read.pageCount(), 1);
        QCOMPARE(read.page(0).size, QSizeF(612, 792));
        for (int k = 0; k < 7; ++k)
            QCOMPARE(read.page(0).textIn(labelPt(f, k % 3, k / 3)),
                     QStringLiteral("Name%1 %1 Main St Austin, TX 787%2").arg(k + 1).arg(k + 1, 2, 10, QLatin1Char('0')));
        QCOMPARE(read.page(0).textIn(labelPt(f, 1, 2)), QString());
        QCOMPARE(read.page(0).textIn(labelPt(f, 2, 2)), QString());
        // Name, street and city line on rows 2, 3 and 4 of the band.
        const QRectF band = labelPt(f, 0, 0);
        QVERIFY(std::abs(read.page(0).find(QStringLiteral("Name1"))->box.center().y() - (band.top() + 18)) < 2);
        QVERIFY(std::abs(read.page(0).find(QStringLiteral("Austin,"))->box.center().y() - (band.top() + 42)) < 2);
    }

    void cityWithoutStateAndZipHasNoComma()
    {
        RecordSheet* s = newSheet(this);
        addRecord(*s, {QStringLiteral("Ann Lee"), QStringLiteral("5 Oak Ave"), QStringLiteral("Salem"), {}, {}});
        ReportOptionsForm form(*s);
        const PdfReader read(pdf(*form.makePrintSheet()));
        QCOMPARE(read.page(0).textIn(labelPt(form.labelFormat(), 0, 0)), QStringLiteral("Ann Lee 5 Oak Ave Salem"));
    }

    void skipLeavesNoGap()
    {
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 4);
        s->setText(2, 4, QString()); // Name2 without zip code
        ReportOptionsForm form(*s);
        const LabelFormat& f = form.labelFormat();
        QCOMPARE(form.chosenRecords(), (std::vector<int>{1, 2, 3, 4}));
        QVERIFY(PdfReader(pdf(*form.makePrintSheet())).page(0).textIn(labelPt(f, 1, 0)).startsWith(QStringLiteral("Name2")));
        form.setSkipIncomplete(true);
        QCOMPARE(form.chosenRecords(), (std::vector<int>{1, 3, 4}));
        const PdfReader read(pdf(*form.makePrintSheet()));
        QVERIFY(read.page(0).textIn(labelPt(f, 0, 0)).startsWith(QStringLiteral("Name1 ")));
        QVERIFY(read.page(0).textIn(labelPt(f, 1, 0)).startsWith(QStringLiteral("Name3 ")));
        QVERIFY(read.page(0).textIn(labelPt(f, 2, 0)).startsWith(QStringLiteral("Name4 ")));
        QVERIFY(!read.allWords().contains(QStringLiteral("Name2")));
    }

    void skipNeedsStreetCityStateAndZip_data()
    {
        QTest::addColumn<int>("emptyColumn");
        QTest::addColumn<bool>("skipped");
        QTest::newRow("no name") << 0 << false;
        QTest::newRow("no street") << 1 << true;
        QTest::newRow("no city") << 2 << true;
        QTest::newRow("no state") << 3 << true;
        QTest::newRow("no zip") << 4 << true;
        QTest::newRow("no phone") << 5 << false;
    }
    void skipNeedsStreetCityStateAndZip()
    {
        QFETCH(int, emptyColumn);
        QFETCH(bool, skipped);
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 1);
        s->setText(1, emptyColumn, QString());
        QCOMPARE(ReportOptionsForm::isIncomplete(*s, 1), skipped);
    }

    void countryLine()
    {
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 4);
        ReportOptionsForm form(*s);
        const LabelFormat& f = form.labelFormat();
        form.setCountryText(QStringLiteral("Canada"));
        QVERIFY(!PdfReader(pdf(*form.makePrintSheet())).allWords().contains(QStringLiteral("Canada")));
        form.setPrintCountry(true);
        const PdfReader read(pdf(*form.makePrintSheet()));
        const QList<PdfWord> lines = read.page(0).findAll(QStringLiteral("Canada"));
        QCOMPARE(lines.size(), 4);
        for (int k = 0; k < 4; ++k) {
            const QRectF label = labelPt(f, k % 3, k / 3);
            QVERIFY(read.page(0).textIn(label).endsWith(QStringLiteral("Austin, TX 787%1 Canada").arg(k + 1, 2, 10,
                                                                                                       QLatin1Char('0'))));
        }
        // Row 5 of the band.
        QVERIFY(std::abs(lines.first().box.center().y() - (labelPt(f, 0, 0).top() + 54)) < 2);
    }

    void twoByFiveHasTwoInchBandsAndLargeSerifType()
    {
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 3);
        ReportOptionsForm form(*s);
        const PdfReader small(pdf(*form.makePrintSheet()));
        form.setFormat(QStringLiteral("2 x 5"));
        const PdfReader large(pdf(*form.makePrintSheet()));
        const PdfWord* first = large.page(0).find(QStringLiteral("Name1"));
        const PdfWord* second = large.page(0).find(QStringLiteral("Name2"));
        const PdfWord* third = large.page(0).find(QStringLiteral("Name3"));
        QVERIFY(first && second && third);
        QVERIFY(std::abs(third->box.top() - first->box.top() - 144) < 0.5);
        QVERIFY(std::abs(second->box.top() - first->box.top()) < 0.5);
        QVERIFY(std::abs(first->box.center().y() - (36 + 24 + 12)) < 2);
        // 16-point type against the 10-point type of "3 x 10".
        const double ratio = first->box.height() / small.page(0).find(QStringLiteral("Name1"))->box.height();
        QVERIFY2(ratio > 1.45 && ratio < 1.75, qPrintable(QString::number(ratio)));
        QVERIFY2(first->box.height() > 14 && first->box.height() < 22, qPrintable(QString::number(first->box.height())));
        const QStringList fonts = large.fonts();
        const bool serif = std::any_of(fonts.begin(), fonts.end(), [](const QString& n) {
            return n.contains(QLatin1String("Serif")) || n.contains(QLatin1String("Times"));
        });
        QVERIFY2(serif, qPrintable(fonts.join(QLatin1Char(' '))));
        const QStringList smallFonts = small.fonts();
        QVERIFY2(std::none_of(smallFonts.begin(), smallFonts.end(),
                              [](const QString& n) { return n.contains(QLatin1String("Serif")); }),
                 qPrintable(smallFonts.join(QLatin1Char(' '))));
    }

    // Every stock, built-in or from the stock file: every word printed lands inside a
    // label of the stock as its maker publishes it, on paper of the stock's size, and
    // each record in its own label, whatever the length of its lines.
    void textStaysInsideTheLabels_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("largest"); // the largest type size offered, else the format's
        for (const PublishedStock& p : publishedStocks()) {
            QTest::addRow("%s", qPrintable(p.name)) << p.name << false;
            QTest::addRow("%s, largest type", qPrintable(p.name)) << p.name << true;
        }
    }
    void textStaysInsideTheLabels()
    {
        QFETCH(QString, format);
        QFETCH(bool, largest);
        const PublishedStock& stock = publishedStock(format);
        RecordSheet* s = newSheet(this);
        // More than a sheet, the last one a short address.
        const int records = stock.perSheet() + 4;
        for (int i = 0; i < records - 1; ++i) {
            const QString n = QString::number(i + 1);
            addRecord(*s, {QStringLiteral("Bartholomew-Fitzgerald Wholesale Hardware Lumber Incorporated ") + n,
                           QStringLiteral("12345 North Washington Boulevard Suite 1500 ") + n,
                           QStringLiteral("Winston-Salem Greensborough"), QStringLiteral("NC"), QStringLiteral("27101-4432")});
        }
        addRecord(*s, {QStringLiteral("W"), QStringLiteral("M"), QStringLiteral("X"), QStringLiteral("Y"),
                       QStringLiteral("Z")});
        ReportOptionsForm form(*s);
        form.setFormat(format);
        QCOMPARE(form.format(), format);
        if (largest)
            form.setFontSize(form.fontSizes().last());
        form.setPrintCountry(true);
        const PdfReader read(pdf(*form.makePrintSheet()));
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read.pageCount(), 2);
        int words = 0;
        for (int p = 0; p < read.pageCount(); ++p) {
            QVERIFY2(samePage(read.page(p).size, stock.page),
                     qPrintable(QStringLiteral("%1 x %2").arg(read.page(p).size.width()).arg(read.page(p).size.height())));
            for (const PdfWord& w : read.page(p).words) {
                bool inside = false;
                for (int k = 0; k < stock.perSheet() && !inside; ++k)
                    inside = stock.at(k).adjusted(-0.25, -0.25, 0.25, 0.25).contains(w.box);
                QVERIFY2(inside, qPrintable(where(w, p)));
                ++words;
            }
        }
        QVERIFY(words > records * 4);
        // Each label begins with its own record's name.
        for (int k = 0; k < records; ++k) {
            const QString label = read.page(k / stock.perSheet()).textIn(stock.at(k));
            QVERIFY2(label.startsWith(k == records - 1 ? QStringLiteral("W M X, Y Z U.S.A.")
                                                       : QStringLiteral("Bartholomew")),
                     qPrintable(QStringLiteral("label %1: %2").arg(k + 1).arg(label)));
        }
    }

    // A line too long for its label prints in smaller type, down to the least size
    // (8 points where 10 is chosen, 12 where 16 is); still too long, it takes the
    // label's free row as a second line; only then is it cut, ending in an ellipsis,
    // and the label is counted as shortened. Each record fills a whole band, so that
    // every column of labels is tried.
    void longLinesFitTheirLabels_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("fields"); // name, street, city, state, zip
        QTest::addColumn<QString>("country");    // empty: not printed
        QTest::addColumn<int>("cutLine");        // -1: every line whole; 0 name, 1 street, 2 city line
        QTest::addColumn<double>("least");       // the least type size against the chosen one

        const QStringList rancho{u"Rancho Santa Margarita Animal Hospital"_s, u"22342 Avenida Empresa"_s,
                                 u"Rancho Santa Margarita"_s, u"CA"_s, u"92688-2155"_s};
        const QStringList suite{u"Ann Lee"_s, u"22342 Avenida Empresa Parkway, Building C, Suite 240"_s,
                                u"Rancho Santa Margarita"_s, u"CA"_s, u"92688-2155"_s};
        const QStringList longName{
            u"Bartholomew-Fitzgerald Wholesale Hardware Lumber and Building Supply Company of Greater "
            "Winston-Salem Incorporated"_s,
            u"5 Oak Ave"_s, u"Salem"_s, u"OR"_s, u"97301"_s};
        const QStringList longerSuite{
            u"Ann Lee"_s, u"22342 Avenida Empresa Parkway, Building C, Suite 240, Attention Receiving Department"_s,
            u"Rancho Santa Margarita"_s, u"CA"_s, u"92688-2155"_s};
        const QStringList serifName{u"The Rancho Santa Margarita Veterinary Hospital and Animal Clinic"_s,
                                    u"5 Oak Ave"_s, u"Salem"_s, u"OR"_s, u"97301"_s};

        QTest::newRow("3 x 10, smaller type") << u"3 x 10"_s << rancho << QString() << -1 << 0.8;
        QTest::newRow("3 x 10, a second line") << u"3 x 10"_s << suite << QString() << -1 << 0.8;
        QTest::newRow("3 x 10, no free row with the country") << u"3 x 10"_s << suite << u"U.S.A."_s << 1 << 0.8;
        QTest::newRow("3 x 10, too long for two lines") << u"3 x 10"_s << longName << QString() << 0 << 0.8;
        QTest::newRow("2 x 10, smaller type") << u"2 x 10"_s << suite << u"U.S.A."_s << -1 << 0.8;
        QTest::newRow("2 x 10, a second line") << u"2 x 10"_s << longerSuite << QString() << -1 << 0.8;
        QTest::newRow("2 x 5, a second line") << u"2 x 5"_s << serifName << QString() << -1 << 0.75;
    }
    void longLinesFitTheirLabels()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, fields);
        QFETCH(QString, country);
        QFETCH(int, cutLine);
        QFETCH(double, least);
        RecordSheet* s = newSheet(this);
        ReportOptionsForm form(*s);
        form.setFormat(format);
        const LabelFormat& f = form.labelFormat();
        for (int i = 0; i < f.across; ++i)
            addRecord(*s, {fields[0], fields[1], fields[2], fields[3], fields[4]});
        addRecord(*s, {u"Reference"_s, u"5 Oak Ave"_s, u"Salem"_s, u"OR"_s, u"97301"_s});
        form.setPrintCountry(!country.isEmpty());
        form.setCountryText(country);
        int shortened = -1;
        const auto print = form.makePrintSheet(&shortened);
        const PdfReader read(pdf(*print));
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read.pageCount(), 1);
        const PdfPage& page = read.page(0);

        // Every word inside a label, in type no smaller than the least size.
        const PdfWord* reference = page.find(u"Reference"_s);
        QVERIFY(reference);
        for (const PdfWord& w : page.words) {
            bool inside = false;
            for (int band = 0; band < 2 && !inside; ++band)
                for (int col = 0; col < f.across && !inside; ++col)
                    inside = labelPt(f, col, band).contains(w.box);
            QVERIFY2(inside, qPrintable(QStringLiteral("\"%1\" at %2,%3-%4,%5")
                                            .arg(w.text)
                                            .arg(w.box.left())
                                            .arg(w.box.top())
                                            .arg(w.box.right())
                                            .arg(w.box.bottom())));
            QVERIFY2(w.box.height() >= least * reference->box.height() - 0.3,
                     qPrintable(QStringLiteral("\"%1\" %2 high against %3").arg(w.text).arg(w.box.height()).arg(
                         reference->box.height())));
        }

        // Each label holds its lines whole, or the cut line ends in an ellipsis.
        const QString ellipsis = QString(QChar(0x2026));
        auto bare = [](QString t) { return t.remove(QRegularExpression(QStringLiteral("\\s"))); };
        const QStringList lines{fields[0], fields[1], LabelCityLine(fields[2], fields[3], fields[4]), country};
        QString before, after, cut;
        for (int i = 0; i < lines.size(); ++i) {
            if (i == cutLine)
                cut = bare(lines[i]);
            else
                (cutLine >= 0 && i > cutLine ? after : before) += bare(lines[i]);
        }
        int withEllipsis = 0;
        for (int col = 0; col < f.across; ++col) {
            const QString label = bare(page.textIn(labelPt(f, col, 0)));
            if (cutLine < 0) {
                QCOMPARE(label, before);
                continue;
            }
            withEllipsis += label.contains(ellipsis);
            QVERIFY2(label.startsWith(before) && label.endsWith(after), qPrintable(label));
            const QString middle = label.mid(before.size(), label.size() - before.size() - after.size());
            QVERIFY2(middle.size() > 1 && middle.endsWith(ellipsis) && cut.startsWith(middle.chopped(1)),
                     qPrintable(middle));
        }
        QCOMPARE(withEllipsis, cutLine < 0 ? 0 : f.across);
        QCOMPARE(shortened, withEllipsis);
        QCOMPARE(bare(page.textIn(labelPt(f, 0, 1))), u"Reference5OakAveSalem,OR97301"_s + bare(country));
    }

    // A line wrapped onto the label's free row moves the lines below it down a row.
    void secondLineMovesTheLinesBelowDown()
    {
        RecordSheet* s = newSheet(this);
        addRecord(*s, {u"Ann Lee"_s, u"22342 Avenida Empresa Parkway, Building C, Suite 240"_s, u"Salem"_s, u"OR"_s,
                       u"97301"_s});
        ReportOptionsForm form(*s);
        const LabelFormat& f = form.labelFormat();
        const PdfReader read(pdf(*form.makePrintSheet()));
        const PdfPage& page = read.page(0);
        const QRectF label = labelPt(f, 0, 0);
        // Rows of 12 points: name on the second, street on the third and fourth,
        // city line on the fifth.
        auto rowOf = [&](const QString& word) {
            const PdfWord* w = page.find(word);
            return w ? int((w->box.center().y() - label.top()) / 12) : -1;
        };
        QCOMPARE(rowOf(u"Ann"_s), 1);
        QCOMPARE(rowOf(u"22342"_s), 2);
        QCOMPARE(rowOf(u"240"_s), 3);
        QCOMPARE(rowOf(u"Salem,"_s), 4);
    }

    // Every stock: a line too long for its label takes the label's free row as a
    // second line, whole; a line too long for two lines is cut with an ellipsis and
    // the label counted as shortened; no type is smaller than 6 points.
    void longLinesFitEveryStock_data()
    {
        QTest::addColumn<QString>("format");
        for (const PublishedStock& p : publishedStocks())
            QTest::addRow("%s", qPrintable(p.name)) << p.name;
    }
    void longLinesFitEveryStock()
    {
        QFETCH(QString, format);
        const PublishedStock& stock = publishedStock(format);
        RecordSheet* s = newSheet(this);
        ReportOptionsForm form(*s);
        form.setFormat(format);
        const double size = form.printFontSize();

        // A name 1.4 times as wide as the label in the format's type: too wide for one
        // line even in smaller type, short enough for two.
        QImage device(1, 1, QImage::Format_Mono);
        device.setDotsPerMeterX(int(std::lround(72 / 0.0254)));
        device.setDotsPerMeterY(int(std::lround(72 / 0.0254)));
        QFont font(form.labelFormat().fontFamily);
        font.setPointSizeF(size);
        const QFontMetricsF metrics(font, &device);
        QString twoLines = u"Margarita"_s;
        for (int i = 2; metrics.horizontalAdvance(twoLines) < 1.4 * stock.width; ++i)
            twoLines += u" Margarita%1"_s.arg(i);
        const QString tooLong = (twoLines + u" "_s) .repeated(4).trimmed();

        for (int c = 0; c < stock.across; ++c)
            addRecord(*s, {twoLines, u"5 Oak Ave"_s, u"Salem"_s, u"OR"_s, u"97301"_s});
        for (int c = 0; c < stock.across; ++c)
            addRecord(*s, {tooLong, u"5 Oak Ave"_s, u"Salem"_s, u"OR"_s, u"97301"_s});
        addRecord(*s, {u"Reference"_s, u"5 Oak Ave"_s, u"Salem"_s, u"OR"_s, u"97301"_s});
        int shortened = -1;
        const PdfReader read(pdf(*form.makePrintSheet(&shortened)));
        QVERIFY2(read.ok(), qPrintable(read.error()));
        const PdfPage& page = read.page(0);
        QCOMPARE(shortened, stock.across);

        const PdfWord* reference = page.find(u"Reference"_s);
        QVERIFY(reference);
        const double heightAPoint = reference->box.height() / size;
        for (const PdfWord& w : page.words) {
            bool inside = false;
            for (int k = 0; k < stock.perSheet() && !inside; ++k)
                inside = stock.at(k).contains(w.box);
            QVERIFY2(inside, qPrintable(where(w, 0)));
            QVERIFY2(w.box.height() / heightAPoint > 6 - 0.2,
                     qPrintable(u"\"%1\" in %2-point type"_s.arg(w.text).arg(w.box.height() / heightAPoint)));
        }
        auto bare = [](QString t) { return t.remove(QRegularExpression(u"\\s"_s)); };
        const QString ellipsis(QChar(0x2026));
        for (int c = 0; c < stock.across; ++c) {
            // Whole, on two rows.
            const QRectF label = stock.at(c);
            QCOMPARE(bare(page.textIn(label)), bare(twoLines + u"5 Oak AveSalem, OR 97301"_s));
            QSet<int> rows;
            for (const PdfWord& w : page.words)
                if (label.contains(w.box.center()) && w.text.startsWith(u"Margarita"_s))
                    rows.insert(int(std::lround(w.box.top())));
            QCOMPARE(rows.size(), 2);
            // Cut, ending in an ellipsis; the street and the city line whole.
            const QString cut = bare(page.textIn(stock.at(stock.across + c)));
            QVERIFY2(cut.contains(ellipsis) && cut.endsWith(u"5OakAveSalem,OR97301"_s), qPrintable(cut));
        }
        QCOMPARE(bare(page.textIn(stock.at(2 * stock.across))), u"Reference5OakAveSalem,OR97301"_s);
    }

    // "Start at label N": on a sheet partly used the first N-1 labels stay empty and
    // the first record takes label N (counted across, then down); the next sheets
    // are filled from their first label.
    void startAtLabel_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("pages");
        QTest::newRow("3 x 10 at 1") << u"3 x 10"_s << 1 << 4 << 1;
        QTest::newRow("3 x 10 at 5") << u"3 x 10"_s << 5 << 4 << 1;
        QTest::newRow("3 x 10 at 30, onto a second sheet") << u"3 x 10"_s << 30 << 3 << 2;
        QTest::newRow("2 x 5 at 10") << u"2 x 5"_s << 10 << 1 << 1;
        QTest::newRow("Avery 5167 at 78") << u"Avery 5167"_s << 78 << 5 << 2;
        QTest::newRow("Avery L7160 at 5") << u"Avery L7160"_s << 5 << 20 << 2;
        QTest::newRow("Avery L7651 at 64") << u"Avery L7651"_s << 64 << 2 << 1;
        QTest::newRow("Avery 3422 at 2") << u"Avery 3422"_s << 2 << 3 << 1;
    }
    void startAtLabel()
    {
        QFETCH(QString, format);
        QFETCH(int, start);
        QFETCH(int, records);
        QFETCH(int, pages);
        const PublishedStock& stock = publishedStock(format);
        RecordSheet* s = newSheet(this);
        addNumbered(*s, records);
        ReportOptionsForm form(*s);
        form.setFormat(format);
        form.setStartLabel(start);
        const PdfReader read(pdf(*form.makePrintSheet()));
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read.pageCount(), pages);
        QVERIFY(samePage(read.page(0).size, stock.page));
        for (int k = 0; k < start - 1; ++k)
            QVERIFY2(read.page(0).textIn(stock.at(k)).isEmpty(), qPrintable(u"label %1"_s.arg(k + 1)));
        for (int r = 0; r < records; ++r) {
            const int position = start - 1 + r;
            const QString label = read.page(position / stock.perSheet()).textIn(stock.at(position));
            QVERIFY2(label.startsWith(u"Name%1 %1 Main St"_s.arg(r + 1)),
                     qPrintable(u"record %1 in label %2: %3"_s.arg(r + 1).arg(position + 1).arg(label)));
        }
        // The topmost, leftmost text of the first sheet is the first record's, in label N.
        const PdfWord* first = read.page(0).find(u"Name1"_s);
        QVERIFY(first);
        QVERIFY(stock.at(start - 1).contains(first->box));
    }

    void startAtLabelStaysOnTheSheet()
    {
        RecordSheet* s = newSheet(this);
        ReportOptionsForm form(*s);
        form.setStartLabel(31);
        QCOMPARE(form.printStartLabel(), 30);
        form.setFormat(u"2 x 5"_s);
        QCOMPARE(form.labelsPerSheet(), 10);
        QCOMPARE(form.printStartLabel(), 10);
        form.setStartLabel(0);
        QCOMPARE(form.printStartLabel(), 1);
    }

    // "3 x 10" is made for 2 5/8 x 1 inch labels 1/8 inch apart: no text runs into the
    // gap between two columns of labels, though the first columns' text reaches up
    // to it.
    void threeByTenKeepsTheEighthInchGap()
    {
        const PublishedStock& stock = publishedStock(u"3 x 10"_s);
        QCOMPARE(stock.horizontalPitch - stock.width, 72.0 / 8);
        RecordSheet* s = newSheet(this);
        for (int i = 0; i < 30; ++i)
            addRecord(*s, {u"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"_s,
                           u"MMMMMMMMMMMM MMMMMMMMMMMMMMM MMMMMMMMMMMMMMMMMMMMMMMMMM"_s, u"Winston-Salem"_s, u"NC"_s,
                           u"27101"_s});
        ReportOptionsForm form(*s);
        const PdfReader read(pdf(*form.makePrintSheet()));
        QVERIFY2(read.ok(), qPrintable(read.error()));
        double reach[3] = {0, 0, 0};
        for (const PdfWord& w : read.page(0).words) {
            for (int col = 0; col < 2; ++col) {
                const double gapLeft = stock.label(col, 0).right();
                const double gapRight = stock.label(col + 1, 0).left();
                QVERIFY2(w.box.right() <= gapLeft + 0.25 || w.box.left() >= gapRight - 0.25, qPrintable(where(w, 0)));
            }
            for (int col = 0; col < 3; ++col)
                if (w.box.left() >= stock.label(col, 0).left() && w.box.right() <= stock.label(col, 0).right() + 0.25)
                    reach[col] = std::max(reach[col], w.box.right());
        }
        for (int col = 0; col < 3; ++col)
            QVERIFY2(reach[col] > stock.label(col, 0).right() - 18,
                     qPrintable(u"column %1 reaches %2 only"_s.arg(col + 1).arg(reach[col])));
    }

    // A stock with space between its labels both ways: the text of every label stays
    // in it, the space between two rows of labels included, sheet after sheet.
    void stockWithSpaceBetweenItsLabels()
    {
        LabelStocks stocks;
        stocks.read("[Spaced]\npaper = Letter\nlabel width = 2.5 in\nlabel height = 1.5 in\n"
                    "horizontal pitch = 2.75 in\nvertical pitch = 1.75 in\nleft margin = 3/8 in\n"
                    "top margin = 1/2 in\nacross = 3\ndown = 6\n",
                    u"x.txt"_s);
        QVERIFY(stocks.problems().isEmpty());
        constexpr double in = 72;
        const PublishedStock stock{u"Spaced"_s, QSizeF(8.5 * in, 11 * in), 2.5 * in, 1.5 * in, 2.75 * in, 1.75 * in,
                                   0.375 * in, 0.5 * in, 3, 6};
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 2 * stock.perSheet() + 2);
        ReportOptionsForm form(*s, stocks);
        form.setFormat(u"Spaced"_s);
        form.setPrintCountry(true);
        const PdfReader read(pdf(*form.makePrintSheet()));
        QCOMPARE(read.pageCount(), 3);
        for (int p = 0; p < 3; ++p)
            for (const PdfWord& w : read.page(p).words) {
                bool inside = false;
                for (int k = 0; k < stock.perSheet() && !inside; ++k)
                    inside = stock.at(k).contains(w.box);
                QVERIFY2(inside, qPrintable(where(w, p)));
            }
        for (int k = 0; k < 2 * stock.perSheet() + 2; ++k) {
            const QString label = read.page(k / stock.perSheet()).textIn(stock.at(k));
            QCOMPARE(label, u"Name%1 %1 Main St Austin, TX 787%2 U.S.A."_s.arg(k + 1).arg(k + 1, 2, 10, QLatin1Char('0')));
            // The four lines in the middle of the label.
            const PdfWord* name = read.page(k / stock.perSheet()).find(u"Name%1"_s.arg(k + 1));
            std::optional<PdfWord> country;
            for (const PdfWord& w : read.page(k / stock.perSheet()).findAll(u"U.S.A."_s))
                if (stock.at(k).contains(w.box))
                    country = w;
            QVERIFY(name && country);
            const double above = name->box.top() - stock.at(k).top();
            const double below = stock.at(k).bottom() - country->box.bottom();
            QVERIFY2(std::abs(above - below) < 4, qPrintable(u"%1 above, %2 below"_s.arg(above).arg(below)));
        }
    }

    // The stock file: figures as written, fractions and millimetres.
    void stockFileFiguresAsWritten()
    {
        LabelStocks stocks;
        stocks.read("# a comment\n"
                    "\n"
                    "[Test 1]   # the name\n"
                    "paper = letter\n"
                    "LABEL WIDTH = 2 5/8 in\n"
                    "label height=1 in\n"
                    "horizontal pitch = 2.75 in\n"
                    "vertical pitch = 25.4 mm\n"
                    "left margin = 5/32 in   # a fraction\n"
                    "top margin = 0 mm\n"
                    "across = 3\n"
                    "down = 11\r\n"
                    "font = Times New Roman\n"
                    "font size = 9\n",
                    u"test.txt"_s);
        QVERIFY2(stocks.problems().isEmpty(), qPrintable(stocks.problems().join(u'\n')));
        const LabelFormat* f = stocks.find(u"Test 1"_s);
        QVERIFY(f);
        QCOMPARE(f->pageSize.id(), QPageSize::Letter);
        QCOMPARE(f->labelWidth, 2.625 * 1440);
        QCOMPARE(f->labelHeight, 1440.0);
        QCOMPARE(f->horizontalPitch, 2.75 * 1440);
        QVERIFY(std::abs(f->verticalPitch - 1440) < 1e-6);
        QCOMPARE(f->leftMargin, 225.0);
        QCOMPARE(f->topMargin, 0.0);
        QCOMPARE(f->across, 3);
        QCOMPARE(f->down, 11);
        QCOMPARE(f->fontFamily, u"Times New Roman"_s);
        QCOMPARE(f->fontSize, 9);
        QVERIFY(f->fontSizes.contains(u"9"_s));
        QCOMPARE(f->labelRect(1, 2), QRectF(225 + 3960, 2 * 1440, 3780, 1440));
        QCOMPARE(stocks.names().mid(0, 4), (QStringList{u"3 x 10"_s, u"2 x 10"_s, u"2 x 5"_s, u"Test 1"_s}));
    }

    // A stock described wrongly is left out with a message naming it and saying why;
    // the stocks after it and the built-in formats stay.
    void badStockIsLeftOut_data()
    {
        QTest::addColumn<QByteArray>("stock");
        QTest::addColumn<QString>("why");
        const QByteArray good = "paper = Letter\nlabel width = 2.625 in\nlabel height = 1 in\n"
                                "horizontal pitch = 2.75 in\nvertical pitch = 1 in\nleft margin = 0.1875 in\n"
                                "top margin = 0.5 in\nacross = 3\ndown = 10\n";
        auto with = [&](const QByteArray& key, const QByteArray& value) {
            QByteArray text = good;
            const qsizetype at = text.indexOf(key + " =");
            if (at < 0)
                return text + key + " = " + value + "\n";
            const qsizetype end = text.indexOf('\n', at);
            return text.left(at) + key + " = " + value + text.mid(end);
        };
        QTest::newRow("label wider than its page")
            << with("label width", "9 in") << u"its labels are 9 in wide, wider than its Letter page (8.5 in)"_s;
        QTest::newRow("label higher than its page")
            << with("label height", "12 in").replace("paper = Letter", "paper = A4")
            << u"its labels are 12 in high, higher than its A4 page (11.693 in)"_s;
        QTest::newRow("labels overlapping across")
            << with("horizontal pitch", "2.5 in") << u"its labels overlap: labels 2.625 in wide are only 2.5 in apart"_s;
        QTest::newRow("labels overlapping down")
            << with("vertical pitch", "0.75 in") << u"its labels overlap: labels 1 in high are only 0.75 in apart"_s;
        QTest::newRow("labels off the right edge")
            << with("left margin", "0.5 in") << u"its labels run off the page: the last label across ends 8.625 in"_s;
        QTest::newRow("labels off the bottom")
            << with("down", "11") << u"its labels run off the page: the last row of labels ends 11.5 in"_s;
        QTest::newRow("a figure missing")
            << QByteArray(good).replace("top margin = 0.5 in\n", "") << u"\"top margin\" is missing"_s;
        QTest::newRow("a length without its unit")
            << with("label width", "2.625") << u"\"label width\" on line 4 is \"2.625\", not a length above 0"_s;
        QTest::newRow("a length of nothing") << with("label height", "0 in") << u"\"label height\" on line 5"_s;
        QTest::newRow("a negative margin") << with("left margin", "-1 in") << u"\"left margin\" on line 8"_s;
        QTest::newRow("no labels across") << with("across", "0") << u"a number of labels from 1 to 20"_s;
        QTest::newRow("an unknown paper") << with("paper", "B5") << u"not Letter, Legal, A4 or A5"_s;
        QTest::newRow("an unknown setting") << with("colour", "red") << u"\"colour\", which is not a label stock setting"_s;
        QTest::newRow("a setting twice") << good + "across = 2\n" << u"\"across\" is given twice (line 12)"_s;
        QTest::newRow("a line not understood") << good + "the labels are white\n"
                                               << u"line 12 is not understood: \"the labels are white\""_s;
        QTest::newRow("labels too low for four lines")
            << with("label height", "0.3 in").replace("vertical pitch = 1 in", "vertical pitch = 0.3 in")
            << u"too low for the four lines of an address"_s;
        QTest::newRow("type too large for the label") << with("font size", "20")
                                                      << u"\"font size\" on line 12 is \"20\", not a type size in points "
                                                         "from 6 to 14"_s;
    }
    void badStockIsLeftOut()
    {
        QFETCH(QByteArray, stock);
        QFETCH(QString, why);
        const QByteArray text = "# stocks\n"
                                "[Broken Stock]\n" +
                                stock +
                                "\n[Good One]\npaper = A4\nlabel width = 70 mm\nlabel height = 35 mm\n"
                                "horizontal pitch = 70 mm\nvertical pitch = 35 mm\nleft margin = 0 mm\n"
                                "top margin = 8.5 mm\nacross = 3\ndown = 8\n";
        LabelStocks stocks;
        stocks.read(text, u"/data/labelstocks.txt"_s);
        QCOMPARE(stocks.names(), (QStringList{u"3 x 10"_s, u"2 x 10"_s, u"2 x 5"_s, u"Good One"_s}));
        QCOMPARE(stocks.problems().size(), 1);
        const QString problem = stocks.problems().first();
        QVERIFY2(problem.startsWith(
                     u"The label stock \"Broken Stock\" (/data/labelstocks.txt, line 2) is left out: "_s),
                 qPrintable(problem));
        QVERIFY2(problem.contains(why), qPrintable(problem));
    }

    // A file that is not a stock file at all is left out whole; lines outside any
    // stock are named; a stock named like one listed before is left out.
    void badStockFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("names"); // beyond the built-in formats
        QTest::addColumn<QString>("problem");
        const QByteArray good = "[Good]\npaper = Letter\nlabel width = 4 in\nlabel height = 2 in\n"
                                "horizontal pitch = 4.1875 in\nvertical pitch = 2 in\nleft margin = 5/32 in\n"
                                "top margin = 1/2 in\nacross = 2\ndown = 5\n";
        QTest::newRow("not UTF-8") << QByteArray(good).replace("Good", "G\xff\xfe") << QStringList{}
                                   << u"The label stock file x.txt is damaged: it is not UTF-8 text. Only the built-in "
                                      "label formats are offered."_s;
        QTest::newRow("binary") << QByteArray("PK\x03\x04\x00\x01", 6) + good << QStringList{}
                                << u"The label stock file x.txt is damaged: it holds control characters"_s;
        QTest::newRow("a line before the first stock")
            << "paper = A4\n" + good << QStringList{u"Good"_s}
            << u"x.txt, line 1: \"paper = A4\" belongs to no label stock"_s;
        QTest::newRow("a stock without a name") << "[ ]\n" + good << QStringList{u"Good"_s}
                                                << u"has no name between the brackets"_s;
        QTest::newRow("a name listed already")
            << good + QByteArray(good).replace("[Good]", "[3 X 10]") << QStringList{u"Good"_s}
            << u"The label stock \"3 X 10\" (x.txt, line 11) is left out: a label format named \"3 x 10\" is listed "
               "already."_s;
        QTest::newRow("empty") << QByteArray() << QStringList{} << QString();
        QTest::newRow("comments only") << QByteArray("# nothing\n\n   # here\n") << QStringList{} << QString();
    }
    void badStockFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, names);
        QFETCH(QString, problem);
        LabelStocks stocks;
        stocks.read(text, u"x.txt"_s);
        QCOMPARE(stocks.names(), QStringList({u"3 x 10"_s, u"2 x 10"_s, u"2 x 5"_s}) + names);
        if (problem.isEmpty()) {
            QCOMPARE(stocks.problems(), QStringList());
            return;
        }
        QCOMPARE(stocks.problems().size(), 1);
        QVERIFY2(stocks.problems().first().contains(problem), qPrintable(stocks.problems().first()));
    }

    void stockFileOnDisk()
    {
        QTemporaryDir dir;
        LabelStocks none;
        none.readFile(dir.filePath(u"missing.txt"_s));
        QCOMPARE(none.formats().size(), size_t(3));
        QVERIFY(none.problems().isEmpty());

        const QString big = dir.filePath(u"big.txt"_s);
        QFile file(big);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2 * 1024 * 1024, '#'));
        file.close();
        LabelStocks large;
        large.readFile(big);
        QCOMPARE(large.formats().size(), size_t(3));
        QCOMPARE(large.problems().size(), 1);
        QVERIFY2(large.problems().first().contains(u"larger than 1 MB"_s), qPrintable(large.problems().first()));

        LabelStocks folder;
        folder.readFile(dir.path());
        QCOMPARE(folder.formats().size(), size_t(3));
    }

    void lookUpForgives_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("found"); // empty: none
        QTest::newRow("exact") << u"Avery L7160"_s << u"Avery L7160"_s;
        QTest::newRow("letter case and blanks") << u" avery  l7160 "_s << u"Avery L7160"_s;
        QTest::newRow("without the maker") << u"L7160"_s << u"Avery L7160"_s;
        QTest::newRow("a number alone") << u"5160"_s << u"Avery 5160"_s;
        QTest::newRow("built-in without blanks") << u"3X10"_s << u"3 x 10"_s;
        QTest::newRow("the maker alone") << u"Avery"_s << QString();
        QTest::newRow("nothing") << u""_s << QString();
        QTest::newRow("unknown") << u"L9999"_s << QString();
        QTest::newRow("two makers") << u"100"_s << QString();
    }
    void lookUpForgives()
    {
        QFETCH(QString, asked);
        QFETCH(QString, found);
        LabelStocks stocks = LabelStocks::shipped();
        const QByteArray geometry = "paper = A4\nlabel width = 70 mm\nlabel height = 35 mm\nhorizontal pitch = 70 mm\n"
                                    "vertical pitch = 35 mm\nleft margin = 0 mm\ntop margin = 8.5 mm\nacross = 3\n"
                                    "down = 8\n";
        stocks.read("[Maker 100]\n" + geometry + "[Other 100]\n" + geometry, u"x.txt"_s);
        QVERIFY(stocks.problems().isEmpty());
        const LabelFormat* f = stocks.lookUp(asked);
        QCOMPARE(f ? f->name : QString(), found);
    }

    void labelsContinueOnTheNextSheet_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("pages");
        QTest::newRow("3 x 10, 31") << QStringLiteral("3 x 10") << 31 << 2;
        QTest::newRow("3 x 10, 30") << QStringLiteral("3 x 10") << 30 << 1;
        QTest::newRow("2 x 10, 21") << QStringLiteral("2 x 10") << 21 << 2;
        QTest::newRow("2 x 5, 11") << QStringLiteral("2 x 5") << 11 << 2;
        QTest::newRow("2 x 5, 25") << QStringLiteral("2 x 5") << 25 << 3;
        QTest::newRow("Avery 5164, 7") << QStringLiteral("Avery 5164") << 7 << 2;
        QTest::newRow("Avery 5167, 80") << QStringLiteral("Avery 5167") << 80 << 1;
        QTest::newRow("Avery L7160, 43") << QStringLiteral("Avery L7160") << 43 << 3;
        QTest::newRow("Avery L7651, 66") << QStringLiteral("Avery L7651") << 66 << 2;
    }
    void labelsContinueOnTheNextSheet()
    {
        QFETCH(QString, format);
        QFETCH(int, records);
        QFETCH(int, pages);
        RecordSheet* s = newSheet(this);
        addNumbered(*s, records);
        ReportOptionsForm form(*s);
        form.setFormat(format);
        const PublishedStock& stock = publishedStock(format);
        const PdfReader read(pdf(*form.makePrintSheet()));
        QCOMPARE(read.pageCount(), pages);
        const int last = records - 1;
        QVERIFY(read.page(last / stock.perSheet()).textIn(stock.at(last)).startsWith(QStringLiteral("Name%1 ").arg(records)));
    }

    void selectedRowsInOrder()
    {
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 9);
        s->setSelectionMode(RecordSheet::SelectionMode::Rows);
        s->setSelectedRows({{2, 2}, {5, 6}});
        ReportOptionsForm form(*s);
        form.setDataSource(ReportOptionsForm::SelectedRows);
        QCOMPARE(form.chosenRecords(), (std::vector<int>{2, 5, 6}));
        const PdfReader read(pdf(*form.makePrintSheet()));
        QVERIFY(read.page(0).textIn(labelPt(form.labelFormat(), 0, 0)).startsWith(QStringLiteral("Name2 ")));
        QVERIFY(read.page(0).textIn(labelPt(form.labelFormat(), 2, 0)).startsWith(QStringLiteral("Name6 ")));
    }

    void sheetShrinkingAfterSetUpPrintsWhatIsLeft()
    {
        RecordSheet* s = newSheet(this);
        addNumbered(*s, 6);
        ReportOptionsForm form(*s);
        const auto print = form.makePrintSheet();
        s->setRows(3);
        const QStringList words = PdfReader(pdf(*print)).allWords();
        QVERIFY(words.contains(QStringLiteral("Name2")));
        QVERIFY(!words.contains(QStringLiteral("Name3")));
    }

    void noRecordPrintsAnEmptyPage()
    {
        RecordSheet* s = newSheet(this);
        addRecord(*s, {QStringLiteral("Ann"), {}, {}, {}, {}});
        ReportOptionsForm form(*s);
        form.setSkipIncomplete(true);
        const auto print = form.makePrintSheet();
        QVERIFY(print->printArea().isEmpty());
        QCOMPARE(print->pageCount(), 1);
        const PdfReader read(pdf(*print));
        QCOMPARE(read.pageCount(), 1);
        QVERIFY(read.allWords().isEmpty());
    }
};

QTEST_MAIN(TestLabelPrint)
#include "TestLabelPrint.moc"
