#include "ContactFilesSupport.h"
#include "FilesTestSupport.h"
#include "files/GridFile.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace quillon::testing;

using Rows = QList<QStringList>;
Q_DECLARE_METATYPE(Rows)

namespace {

const QStringList kListingTitles = {QStringLiteral("Name"),     QStringLiteral("Street"),   QStringLiteral("City"),
                                    QStringLiteral("State"),    QStringLiteral("Zip Code"), QStringLiteral("Phone"),
                                    QStringLiteral("Web Site"), QStringLiteral("Email")};

QByteArray cardsOf(const Rows& rows)
{
    RecordSheet sheet;
    fillSheet(sheet, rows);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!writeGrid(buffer, FormatVCard, sheet, &error))
        qFatal("write failed: %s", qPrintable(error));
    return bytes;
}

bool readCards(const QByteArray& bytes, RecordSheet& into, QString* error, const QStringList& titles = {})
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readGrid(buffer, FormatVCard, into, error, {}, titles);
}

QByteArray card(const QByteArray& lines)
{
    return "BEGIN:VCARD\r\nVERSION:4.0\r\n" + lines + "END:VCARD\r\n";
}

} // namespace

class TestVCardFormat : public QObject
{
    Q_OBJECT

private slots:
    void writesOneCardARecordByTheTitles_data()
    {
        QTest::addColumn<Rows>("sheet");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("a listing") << Rows{kListingTitles + QStringList{QStringLiteral("Category"), QStringLiteral("Note")},
                                           {QStringLiteral("Smith Hardware"), QStringLiteral("12 Main St"),
                                            QStringLiteral("Springfield"), QStringLiteral("IL"), QStringLiteral("62701"),
                                            QStringLiteral("(217) 555-1234"), QStringLiteral("www.smith.example"),
                                            QStringLiteral("info@smith.example"), QStringLiteral("Hardware"),
                                            QStringLiteral("Open 9-5")}}
                                   << card("FN:Smith Hardware\r\n"
                                           "ORG:Smith Hardware\r\n"
                                           "ADR;TYPE=work:;;12 Main St;Springfield;IL;62701;\r\n"
                                           "TEL;TYPE=work:(217) 555-1234\r\n"
                                           "URL:www.smith.example\r\n"
                                           "EMAIL:info@smith.example\r\n"
                                           "CATEGORIES:Hardware\r\n"
                                           "NOTE:Open 9-5\r\n");
        QTest::newRow("escapes, other titles, an untitled column")
            << Rows{{QStringLiteral("name"), QStringLiteral("ADDRESS"), QStringLiteral("Notes"), QStringLiteral("Hours"),
                     QString()},
                    {QStringLiteral("Smith, Jones \\ Co; Ltd"), QStringLiteral("1; 2 Main"), QStringLiteral("a\r\nb\nc\rd"),
                     QStringLiteral("9-5, Mon"), QStringLiteral("not written")}}
            << card("FN:Smith\\, Jones \\\\ Co; Ltd\r\n"
                    "ORG:Smith\\, Jones \\\\ Co\\; Ltd\r\n"
                    "ADR;TYPE=work:;;1\\; 2 Main;;;;\r\n"
                    "NOTE:a\\nb\\nc\\nd\r\n"
                    "X-QUILLON-COLUMN;X-TITLE=\"Hours\":9-5\\, Mon\r\n");
        QTest::newRow("a title that needs carets")
            << Rows{{QStringLiteral("Name"), QStringLiteral("Say \"hi\"^\nthere")},
                    {QStringLiteral("A"), QStringLiteral("v")}}
            << card("FN:A\r\nORG:A\r\nX-QUILLON-COLUMN;X-TITLE=\"Say ^'hi^'^^^nthere\":v\r\n");
        QTest::newRow("a card without a name still has FN")
            << Rows{{QStringLiteral("Name"), QStringLiteral("Country")}, {QString(), QStringLiteral("USA")}}
            << card("FN:\r\nADR;TYPE=work:;;;;;;USA\r\n");
        QTest::newRow("a second column of a field goes as a column of its own")
            << Rows{{QStringLiteral("Phone"), QStringLiteral("Phone")}, {QStringLiteral("1"), QStringLiteral("2")}}
            << card("FN:\r\nTEL;TYPE=work:1\r\nX-QUILLON-COLUMN;X-TITLE=\"Phone\":2\r\n");
        QTest::newRow("blank records and records with text only where nothing is written make no card")
            << Rows{{QStringLiteral("Name"), QString()}, {QString(), QString()}, {QString(), QStringLiteral("x")},
                    {QStringLiteral("B"), QString()}}
            << card("FN:B\r\nORG:B\r\n");
    }
    void writesOneCardARecordByTheTitles()
    {
        QFETCH(Rows, sheet);
        QFETCH(QByteArray, expected);
        QCOMPARE(cardsOf(sheet), expected);
    }

    void foldsAt75BytesNeverInsideACharacter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("73 bytes: FN: and the name fill 76, one fold")
            << QString(73, QLatin1Char('a'));
        QTest::newRow("72 bytes: 75 in all, no fold") << QString(72, QLatin1Char('a'));
        QTest::newRow("ascii, several folds") << QString(400, QLatin1Char('x'));
        // Shifting the start shifts where each fold falls in the two-, three- and four-byte
        // sequences, so that every position in one is met.
        for (int shift = 0; shift < 4; ++shift) {
            const QString pad(shift, QLatin1Char('.'));
            QTest::addRow("two-byte letters, shifted %d", shift) << pad + QString(120, QChar(0x00E9));
            QTest::addRow("three-byte signs, shifted %d", shift) << pad + QString(90, QChar(0x2615));
            QTest::addRow("four-byte notes, shifted %d", shift) << pad + QString::fromUcs4(U"𝄞").repeated(70);
            QTest::addRow("mixed, shifted %d", shift) << pad + QString::fromUtf8("aé☕𝄞").repeated(40);
        }
    }
    void foldsAt75BytesNeverInsideACharacter()
    {
        QFETCH(QString, name);
        const QByteArray bytes = cardsOf({{QStringLiteral("Name")}, {name}});
        QVERIFY(bytes.endsWith("\r\n"));
        QList<QByteArray> lines = bytes.split('\n');
        QVERIFY(lines.takeLast().isEmpty());
        QByteArray unfolded;
        QList<QByteArray> logical;
        for (const QByteArray& withCr : lines) {
            QVERIFY2(withCr.endsWith('\r'), "every line ends in CR LF");
            const QByteArray line = withCr.chopped(1);
            QVERIFY2(line.size() <= 75, line.constData());
            QVERIFY2(QByteArrayView(line).isValidUtf8(), "a fold split a character");
            if (line.startsWith(' ')) {
                QVERIFY(!logical.isEmpty());
                logical.last() += line.mid(1);
            } else {
                logical << line;
            }
        }
        QVERIFY(logical.contains("FN:" + name.toUtf8()));
        const bool longLine = ("FN:" + name.toUtf8()).size() > 75;
        QCOMPARE(lines.size() > 6, longLine); // BEGIN, VERSION, FN, ORG, END and nothing folded
    }

    void roundTripKeepsTheTitledColumns_data()
    {
        QTest::addColumn<Rows>("sheet");
        QTest::addColumn<Rows>("expected");
        const QStringList all = kListingTitles + QStringList{QStringLiteral("Country"), QStringLiteral("Note"),
                                                             QStringLiteral("Category"), QStringLiteral("Hours")};
        const QStringList awkward = {QStringLiteral("Åsa Öberg, \"Café\" ☕; 𝄞 \\ back"),
                                     QStringLiteral("1; 2, Main St\\"),
                                     QStringLiteral("Göteborg"),
                                     QStringLiteral("VG"),
                                     QStringLiteral("411 01"),
                                     QStringLiteral("+46 31 12 34 56"),
                                     QStringLiteral("https://example.se/a,b;c"),
                                     QStringLiteral("asa@example.se"),
                                     QStringLiteral("Sweden"),
                                     QStringLiteral("line 1\nline 2\n\n") + QString(300, QChar(0x00E5)),
                                     QStringLiteral("Cafés, Bakeries"),
                                     QStringLiteral("8-16")};
        QTest::newRow("every field, awkward texts") << Rows{all, awkward} << Rows{all, awkward};
        QTest::newRow("blank records are not cards")
            << Rows{kListingTitles, {QStringLiteral("A")}, {}, {QString(), QString(), QString(), QString(), QString(),
                                                               QStringLiteral("555")}}
            << Rows{kListingTitles,
                    {QStringLiteral("A"), QString(), QString(), QString(), QString(), QString(), QString(), QString()},
                    {QString(), QString(), QString(), QString(), QString(), QStringLiteral("555"), QString(), QString()}};
    }
    void roundTripKeepsTheTitledColumns()
    {
        QFETCH(Rows, sheet);
        QFETCH(Rows, expected);
        RecordSheet back;
        QString error;
        QVERIFY2(readCards(cardsOf(sheet), back, &error), qPrintable(error));
        QCOMPARE(sheetRows(back), expected);
    }

    void readsWhatOtherProgramsWrite_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Rows>("expected");
        // Made by make-fixtures.py with vobject: vCard 3.0, folded by vobject.
        QTest::newRow("vobject") << QStringLiteral("vobject-cards.vcf")
                                 << Rows{kListingTitles + QStringList{QStringLiteral("Country"), QStringLiteral("Category"),
                                                                      QStringLiteral("Note"), QStringLiteral("Company")},
                                         {QStringLiteral("John Smith"), QStringLiteral("12 Main St, Suite 5"),
                                          QStringLiteral("Springfield"), QStringLiteral("IL"), QStringLiteral("62701"),
                                          QStringLiteral("(217) 555-1234"), QStringLiteral("https://smith.example/a,b"),
                                          QStringLiteral("john@smith.example"), QStringLiteral("USA"),
                                          QStringLiteral("Hardware,Tools"),
                                          QStringLiteral("Open 9-5; closed Sundays, holidays\nAsk for Åsa"),
                                          QStringLiteral("Smith Hardware, Sales")},
                                         {QStringLiteral("Åsa Öberg — Café Ünïcødé with a name long enough to be "
                                                         "folded by the writer ☕☕☕"),
                                          QString(), QString(), QString(), QString(), QStringLiteral("+46 8 123 456"),
                                          QString(), QString(), QString(), QString(), QString(), QString()},
                                         {QStringLiteral("Bob \\ Backslash; \"quoted\""),
                                          QStringLiteral("1; 2 Semicolon Rd"), QStringLiteral("Comma, Town"), QString(),
                                          QString(), QString(), QString(), QString(), QString(), QString(), QString(),
                                          QString()}};
        // vCard 2.1 and 3.0 as old phones and address books write them: quoted-printable
        // with soft breaks, CHARSET, a nested AGENT card, a photo, groups, tel: addresses.
        QTest::newRow("an old phone") << QStringLiteral("old-phone.vcf")
                                      << Rows{kListingTitles + QStringList{QStringLiteral("Country"), QStringLiteral("Note")},
                                              {QStringLiteral("Jürgen Müller Bäckerei"), QStringLiteral("Hauptstraße 1"),
                                               QStringLiteral("München"), QStringLiteral("BY"), QStringLiteral("80331"),
                                               QStringLiteral("+49 89 123456"), QString(),
                                               QStringLiteral("juergen@example.de"), QStringLiteral("Germany"),
                                               QStringLiteral("First line\nSecond line")},
                                              {QStringLiteral("Doe & Sons, Ltd., Shipping"), QString(), QString(),
                                               QString(), QString(), QStringLiteral("+1-555-555-0100"), QString(),
                                               QStringLiteral("jane@doe.example"), QString(), QString()}};
    }
    void readsWhatOtherProgramsWrite()
    {
        QFETCH(QString, file);
        QFETCH(Rows, expected);
        RecordSheet sheet;
        QString error;
        QVERIFY2(LoadGrid(contactFixture(file), FormatVCard, sheet, &error), qPrintable(error));
        QCOMPARE(sheetRows(sheet), expected);
    }

    void fieldsLandInTheColumnsOfTheirTitles()
    {
        // As Append lays them out: the sheet's titles in the sheet's order, new columns after.
        const QByteArray bytes = card("FN:Smith\r\nTEL:555\r\nEMAIL:a@b\r\nADR:;;1 Main;Salem;;;\r\n"
                                      "X-QUILLON-COLUMN;X-TITLE=\"Extra\":e\r\n"
                                      "X-QUILLON-COLUMN;X-TITLE=\"New One\":n\r\n");
        RecordSheet sheet;
        QString error;
        const QStringList titles = {QStringLiteral("Telephone"), QStringLiteral("NAME"), QStringLiteral("Extra"),
                                    QString(), QStringLiteral("E-mail")};
        QVERIFY2(readCards(bytes, sheet, &error, titles), qPrintable(error));
        QCOMPARE(sheetRows(sheet),
                 (Rows{titles + QStringList{QStringLiteral("Street"), QStringLiteral("City"), QStringLiteral("New One")},
                       {QStringLiteral("555"), QStringLiteral("Smith"), QStringLiteral("e"), QString(),
                        QStringLiteral("a@b"), QStringLiteral("1 Main"), QStringLiteral("Salem"), QStringLiteral("n")}}));
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Rows>("expected"); ///< empty: refused
        QTest::addColumn<QString>("reason");
        const QStringList name = {QStringLiteral("Name")};
        const auto records = [&](QStringList first, QStringList extraTitles = {}) {
            QStringList titles = kListingTitles + extraTitles;
            while (first.size() < titles.size())
                first << QString();
            return Rows{titles, first};
        };
        QTest::newRow("unknown properties are ignored")
            << card("X-FOO;BAR=\"a:b;c\":ignored\r\nFN:A\r\nBDAY:2000-01-01\r\nGEO:geo:1,2\r\nPHOTO:data:x\r\n")
            << records({QStringLiteral("A")}) << QString();
        QTest::newRow("several TEL and EMAIL: the first goes to its column")
            << card("TEL;TYPE=home:1\r\nTEL;TYPE=work;PREF=1:2\r\nEMAIL:a@x\r\nEMAIL;PREF=1:b@x\r\nFN:A\r\n")
            << records({QStringLiteral("A"), QString(), QString(), QString(), QString(), QStringLiteral("1"),
                        QString(), QStringLiteral("a@x")})
            << QString();
        QTest::newRow("missing END")
            << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:B\r\n") << Rows{}
            << QStringLiteral("The card that begins on line 5 has no END:VCARD line");
        QTest::newRow("a nested card without its END")
            << QByteArray("BEGIN:VCARD\r\nFN:A\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:B\r\nEND:VCARD\r\n") << Rows{}
            << QStringLiteral("The card that begins on line 1 has no END:VCARD line");
        QTest::newRow("a 10 MB note on one line")
            << card("FN:A\r\nNOTE:" + QByteArray(10 << 20, 'n') + "\r\n")
            << records({QStringLiteral("A")}, {QStringLiteral("Note")}) << QStringLiteral("10 MB");
        QTest::newRow("a 10 MB photo on one line is ignored")
            << card("FN:A\r\nPHOTO;ENCODING=b:" + QByteArray(10 << 20, 'Q') + "\r\n") << records({QStringLiteral("A")})
            << QString();
        QTest::newRow("an unknown charset: the bytes as an undeclared value")
            << card("FN;CHARSET=x-no-such-charset:Caf\xe9\r\n") << records({QStringLiteral("Café")}) << QString();
        QTest::newRow("declared UTF-8 but Windows-1252")
            << card("FN;CHARSET=UTF-8:\x93quoted\x94 Caf\xe9\r\n")
            << records({QString::fromUtf8("“quoted” Café")}) << QString();
        QTest::newRow("no charset, Windows-1252 bytes amid UTF-8")
            << card("FN:M\xfcller \xc3\xa9\r\n") << records({QString::fromUtf8("Müller é")}) << QString();
        QTest::newRow("ISO-8859-15 as declared")
            << card("FN;CHARSET=ISO-8859-15:\xa4 5\r\n") << records({QString::fromUtf8("€ 5")}) << QString();
        QTest::newRow("binary data") << QByteArray("BEGIN:VCARD\r\nFN:A\0B\r\nEND:VCARD\r\n", 30) << Rows{}
                                     << QStringLiteral("binary data");
        QTest::newRow("no card") << QByteArray("Name,Phone\r\nSmith,555\r\n") << Rows{}
                                 << QStringLiteral("The file holds no vCard");
        QTest::newRow("empty") << QByteArray() << Rows{} << QStringLiteral("The file is empty.");
        QTest::newRow("lines outside cards and an END without BEGIN are ignored")
            << QByteArray("junk\r\nEND:VCARD\r\n\r\n") + card("FN:A\r\n") + "trailing junk"
            << records({QStringLiteral("A")}) << QString();
        QTest::newRow("LF and CR line ends, a UTF-8 byte-order mark")
            << QByteArray("\xEF\xBB\xBF" "BEGIN:VCARD\nFN:A\n  folded\rEND:VCARD\r")
            << records({QStringLiteral("A folded")}) << QString();
        const QString utf16 = QString::fromUtf8("BEGIN:VCARD\r\nFN:Ünal ☕\r\nEND:VCARD\r\n");
        QByteArray le("\xFF\xFE");
        for (const QChar ch : utf16)
            le.append(char(ch.unicode() & 0xff)).append(char(ch.unicode() >> 8));
        QTest::newRow("UTF-16 with its byte-order mark") << le << records({QString::fromUtf8("Ünal ☕")}) << QString();
        QTest::newRow("a card with nothing Quillon reads is no record")
            << card("BDAY:2000-01-01\r\n") + card("FN:B\r\n") << records({QStringLiteral("B")}) << QString();
        QTest::newRow("quoted-printable soft breaks and escapes")
            << card("NOTE;ENCODING=QUOTED-PRINTABLE:a=3Db=\r\nc\\, d\r\nFN:A\r\n")
            << records({QStringLiteral("A")}, {QStringLiteral("Note")}) << QString();
    }
    void badInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Rows, expected);
        QFETCH(QString, reason);
        // A sheet that a failed read must leave as it was.
        RecordSheet sheet;
        fillSheet(sheet, {{QStringLiteral("Mine")}, {QStringLiteral("kept")}});
        QString error;
        const bool ok = readCards(bytes, sheet, &error);
        if (expected.isEmpty()) {
            QVERIFY(!ok);
            QVERIFY2(error.contains(reason), qPrintable(error));
            QCOMPARE(sheetRows(sheet), (Rows{{QStringLiteral("Mine")}, {QStringLiteral("kept")}}));
            return;
        }
        QVERIFY2(ok, qPrintable(error));
        if (reason == QLatin1String("10 MB")) {
            QCOMPARE(sheet.textUtf8(1, 8).size(), qsizetype(10 << 20));
            sheet.setText(1, 8, QString());
            expected[1][8].clear();
        }
        if (QByteArray(QTest::currentDataTag()).startsWith("quoted-printable"))
            expected[1][8] = QStringLiteral("a=bc, d");
        QCOMPARE(sheetRows(sheet), expected);
    }

    void vobjectReadsWhatQuillonWrites()
    {
        const Rows rows = {kListingTitles + QStringList{QStringLiteral("Category"), QStringLiteral("Note"),
                                                        QStringLiteral("Hours")},
                           {QStringLiteral("Åsa Öberg, \"Café\" ☕ and a name long enough to be folded twice over by "
                                           "the writer, 𝄞𝄞𝄞"),
                            QStringLiteral("1; 2, Main St"), QStringLiteral("Göteborg"), QStringLiteral("VG"),
                            QStringLiteral("411 01"), QStringLiteral("+46 31 12 34 56"),
                            QStringLiteral("https://example.se/"), QStringLiteral("asa@example.se"),
                            QStringLiteral("Cafés"), QStringLiteral("line 1\nline 2 \\ back"), QStringLiteral("8-16")},
                           {QStringLiteral("Smith Hardware"), QString(), QStringLiteral("Springfield"),
                            QStringLiteral("IL"), QString(), QStringLiteral("(217) 555-1234")}};
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.vcf"));
        RecordSheet sheet;
        fillSheet(sheet, rows);
        QString error;
        QVERIFY2(SaveGrid(path, FormatVCard, sheet, &error), qPrintable(error));
        const PythonRun run = runPython(QStringLiteral(R"(
import json, sys, vobject
out = []
for c in vobject.readComponents(open(sys.argv[1], encoding='utf-8', newline='').read()):
    d = {'fn': c.fn.value, 'org': c.org.value if hasattr(c, 'org') else None}
    if hasattr(c, 'adr'):
        a = c.adr.value
        d['adr'] = [a.street, a.city, a.region, a.code, a.country]
    for key in ('tel', 'url', 'email', 'note'):
        if hasattr(c, key):
            d[key] = getattr(c, key).value
    if hasattr(c, 'categories'):
        d['categories'] = c.categories.value
    x = c.contents.get('x-quillon-column', [])
    d['x'] = [[l.params['X-TITLE'][0], l.value] for l in x]
    out.append(d)
print(json.dumps(out))
)"),
                                        {path});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        const QJsonArray cards = QJsonDocument::fromJson(run.out).array();
        QCOMPARE(cards.size(), 2);
        const QJsonObject first = cards[0].toObject();
        QCOMPARE(first[u"fn"].toString(), rows[1][0]);
        QCOMPARE(first[u"org"].toArray().first().toString(), rows[1][0]);
        QCOMPARE(first[u"adr"].toArray().toVariantList(),
                 (QVariantList{rows[1][1], rows[1][2], rows[1][3], rows[1][4], QString()}));
        QCOMPARE(first[u"tel"].toString(), rows[1][5]);
        QCOMPARE(first[u"url"].toString(), rows[1][6]);
        QCOMPARE(first[u"email"].toString(), rows[1][7]);
        QCOMPARE(first[u"categories"].toArray().toVariantList(), QVariantList{rows[1][8]});
        QCOMPARE(first[u"note"].toString(), rows[1][9]);
        QCOMPARE(first[u"x"].toArray().toVariantList(),
                 (QVariantList{QVariantList{QStringLiteral("Hours"), QStringLiteral("8-16")}}));
        const QJsonObject second = cards[1].toObject();
        QCOMPARE(second[u"fn"].toString(), QStringLiteral("Smith Hardware"));
        QCOMPARE(second[u"adr"].toArray().toVariantList(),
                 (QVariantList{QString(), QStringLiteral("Springfield"), QStringLiteral("IL"), QString(), QString()}));
        QCOMPARE(second[u"tel"].toString(), QStringLiteral("(217) 555-1234"));
        QVERIFY(!second.contains(u"email"));
    }
};

QTEST_GUILESS_MAIN(TestVCardFormat)
#include "TestVCardFormat.moc"
