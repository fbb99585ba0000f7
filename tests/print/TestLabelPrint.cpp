// Mailing labels: the label layout on the print sheet, read back from real PDF
// files and checked against the label stock each format is made for.

#include "PdfReader.h"

#include "print/LabelPrint.h"
#include "print/PdfExport.h"
#include "sheet/RecordSheet.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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

/** The label's rectangle on the stock, in points. */
QRectF labelPt(const LabelFormat& f, int col, int band)
{
    const QRectF r = f.labelRect(col, band);
    return QRectF(r.left() / 20, r.top() / 20, r.width() / 20, r.height() / 20);
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
        QCOMPARE(ReportOptionsForm::formatNames(),
                 (QStringList{QStringLiteral("3 x 10"), QStringLiteral("2 x 10"), QStringLiteral("2 x 5")}));
        QCOMPARE(form.format(), QStringLiteral("3 x 10"));
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

    // Every word printed lands inside a label of the stock, whatever its length.
    void textStaysInsideTheLabels_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("fontSize");
        for (const LabelFormat& f : LabelFormats()) {
            QTest::addRow("%s, %spt", qPrintable(f.name), qPrintable(QString::number(f.fontSize)))
                << f.name << QString::number(f.fontSize);
            QTest::addRow("%s, %spt", qPrintable(f.name), qPrintable(f.fontSizes.last())) << f.name << f.fontSizes.last();
        }
    }
    void textStaysInsideTheLabels()
    {
        QFETCH(QString, format);
        QFETCH(QString, fontSize);
        RecordSheet* s = newSheet(this);
        for (int i = 0; i < 33; ++i) {
            const QString n = QString::number(i + 1);
            addRecord(*s, {QStringLiteral("Bartholomew-Fitzgerald Wholesale Hardware Lumber Incorporated ") + n,
                           QStringLiteral("12345 North Washington Boulevard Suite 1500 ") + n,
                           QStringLiteral("Winston-Salem Greensborough"), QStringLiteral("NC"), QStringLiteral("27101-4432")});
        }
        addRecord(*s, {QStringLiteral("W"), QStringLiteral("M"), QStringLiteral("X"), QStringLiteral("Y"),
                       QStringLiteral("Z")});
        ReportOptionsForm form(*s);
        form.setFormat(format);
        form.setFontSize(fontSize);
        form.setPrintCountry(true);
        const LabelFormat& f = form.labelFormat();
        const PdfReader read(pdf(*form.makePrintSheet()));
        const int perPage = f.across * f.labelsDown;
        QCOMPARE(read.pageCount(), (34 + perPage - 1) / perPage);
        int words = 0;
        for (int p = 0; p < read.pageCount(); ++p) {
            QCOMPARE(read.page(p).size, QSizeF(612, 792));
            for (const PdfWord& w : read.page(p).words) {
                bool inside = false;
                for (int band = 0; band < f.labelsDown && !inside; ++band)
                    for (int col = 0; col < f.across && !inside; ++col)
                        inside = labelPt(f, col, band).adjusted(-0.25, -0.25, 0.25, 0.25).contains(w.box);
                QVERIFY2(inside, qPrintable(QStringLiteral("\"%1\" at %2,%3-%4,%5 on page %6")
                                                .arg(w.text)
                                                .arg(w.box.left())
                                                .arg(w.box.top())
                                                .arg(w.box.right())
                                                .arg(w.box.bottom())
                                                .arg(p + 1)));
                ++words;
            }
        }
        QVERIFY(words > 34 * 4);
        // Each label begins with its own record's name.
        for (int k = 0; k < 34; ++k) {
            const QString label = read.page(k / perPage).textIn(labelPt(f, k % f.across, (k % perPage) / f.across));
            QVERIFY2(label.startsWith(k == 33 ? QStringLiteral("W M X, Y Z") : QStringLiteral("Bartholomew")),
                     qPrintable(label));
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
        const LabelFormat& f = form.labelFormat();
        const PdfReader read(pdf(*form.makePrintSheet()));
        QCOMPARE(read.pageCount(), pages);
        const int perPage = f.across * f.labelsDown;
        const int last = records - 1;
        QVERIFY(read.page(last / perPage)
                    .textIn(labelPt(f, last % f.across, (last % perPage) / f.across))
                    .startsWith(QStringLiteral("Name%1 ").arg(records)));
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
