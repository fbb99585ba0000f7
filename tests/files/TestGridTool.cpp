#include "files/GridFile.h"
#include "files/Xxh64.h"
#include "sheet/RecordSheet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

struct Run
{
    int exitCode;
    QByteArray out;
    QByteArray err;
};

Run grid(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral(QUILLON_BINARY_DIR "/bin/quillon-grid"), arguments);
    if (!p.waitForFinished(60000))
        qFatal("quillon-grid did not finish");
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/** A well-formed native file of 48 bytes: @p rows rows and no columns. */
void writeRowsWithoutColumns(const QString& path, quint32 rows)
{
    RecordSheet s;
    s.setCols(0);
    if (!SaveGrid(path, FormatNative, s))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray bytes = readFile(path);
    for (int i = 0; i < 4; ++i)
        bytes[12 + i] = char((rows >> (8 * i)) & 0xff);
    const quint64 sum = Xxh64::of(bytes.constData(), size_t(bytes.size() - 8));
    for (int i = 0; i < 8; ++i)
        bytes[bytes.size() - 8 + i] = char((sum >> (8 * i)) & 0xff);
    writeFile(path, bytes);
}

} // namespace

class TestGridTool : public QObject
{
    Q_OBJECT

private slots:
    void convertsAcrossAllFormatsAndDumps()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("in.csv"));
        writeFile(csv, "Name,Note\r\n\"Smith, J\",\"a \"\"b\"\"\nc\"\r\n,\\ \xC3\xA9\x01\r\n");
        const QString vty = dir.filePath(QStringLiteral("out.vty"));
        const QString txt = dir.filePath(QStringLiteral("out.txt"));
        const QString bin = dir.filePath(QStringLiteral("stpl88.bin"));
        Run r = grid({QStringLiteral("convert"), csv, vty});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = grid({QStringLiteral("convert"), vty, txt});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = grid({QStringLiteral("convert"), txt, bin});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const QByteArray expected = "[\"Name\",\"Note\"]\n"
                                    "[\"Smith, J\",\"a \\\"b\\\"\\nc\"]\n"
                                    "[\"\",\"\\\\ \xC3\xA9\\u0001\"]\n";
        for (const QString& file : {csv, vty, txt, bin}) {
            r = grid({QStringLiteral("dump"), file});
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(r.out, expected);
        }
        RecordSheet s;
        QVERIFY(LoadGrid(bin, FormatNative, s));
        QCOMPARE(s.text(1, 0), QStringLiteral("Smith, J"));
    }

    void formatsCanBeNamed()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("key.source"));
        writeFile(source, "a\tb\n");
        const QString key = dir.filePath(QStringLiteral("site.key"));
        Run r = grid({QStringLiteral("convert"), QStringLiteral("--from"), QStringLiteral("tab"),
                      QStringLiteral("--to"), QStringLiteral("native"), source, key});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = grid({QStringLiteral("dump"), QStringLiteral("--from"), QStringLiteral("native"), key});
        QCOMPARE(r.out, QByteArray("[\"a\",\"b\"]\n"));
    }

    void convertsToAndFromContactsAndSpreadsheets_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QByteArray>("starts");
        QTest::newRow("vCard by extension") << QStringList{} << QStringLiteral("out.vcf")
                                            << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Smith\\, J\r\n");
        QTest::newRow("vCard by name") << QStringList{QStringLiteral("--to"), QStringLiteral("vcard")}
                                       << QStringLiteral("out.cards") << QByteArray("BEGIN:VCARD\r\n");
        QTest::newRow("spreadsheet by extension") << QStringList{} << QStringLiteral("out.xlsx") << QByteArray("PK\x03\x04");
        QTest::newRow("spreadsheet by name") << QStringList{QStringLiteral("--to"), QStringLiteral("xlsx")}
                                             << QStringLiteral("out.sheet") << QByteArray("PK\x03\x04");
        QTest::newRow("comma text for spreadsheets")
            << QStringList{QStringLiteral("--to"), QStringLiteral("csv-excel")} << QStringLiteral("out.csv")
            << QByteArray("\xEF\xBB\xBFName,Phone,Note\r\n\"Smith, J\",'+1 555 0100,'=2+3\r\n");
    }
    void convertsToAndFromContactsAndSpreadsheets()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, output);
        QFETCH(QByteArray, starts);
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("in.csv"));
        writeFile(csv, "Name,Phone,Note\r\n\"Smith, J\",+1 555 0100,=2+3\r\n");
        const QString out = dir.filePath(output);
        Run r = grid(QStringList{QStringLiteral("convert")} + options + QStringList{csv, out});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QVERIFY(readFile(out).startsWith(starts));
        // And back, read as what it is.
        QStringList from;
        if (options.size() == 2 && options[1] != QLatin1String("csv-excel"))
            from = {QStringLiteral("--from"), options[1]};
        r = grid(QStringList{QStringLiteral("dump")} + from + QStringList{out});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const QByteArray record = options.contains(QStringLiteral("csv-excel"))
                                      ? QByteArray("[\"Smith, J\",\"'+1 555 0100\",\"'=2+3\"]")
                                      : QByteArray("[\"Smith, J\",");
        QVERIFY2(r.out.contains(record), r.out.constData());
        if (output.endsWith(QLatin1String(".vcf"))) {
            // A vCard is laid out in the columns of a new document, the note after them.
            QCOMPARE(r.out, QByteArray("[\"Name\",\"Street\",\"City\",\"State\",\"Zip Code\",\"Phone\",\"Web Site\","
                                       "\"Email\",\"Note\"]\n"
                                       "[\"Smith, J\",\"\",\"\",\"\",\"\",\"+1 555 0100\",\"\",\"\",\"=2+3\"]\n"));
        }
    }

    void aDamagedSpreadsheetSaysWhyAndWritesNothing()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("out.csv"));
        const Run r = grid({QStringLiteral("convert"), QStringLiteral(QUILLON_FIXTURES_DIR "/contacts/bomb.xlsx"), out});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(QString::fromLocal8Bit(r.err).contains(QStringLiteral("zip bomb")), r.err.constData());
        QVERIFY(!QFile::exists(out));
    }

    void textThatIsMostlyUtf8KeepsItsUtf8()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("names.csv"));
        writeFile(csv, "Name\nJos\xc3\xa9\nM\xfcller\n");
        const Run r = grid({QStringLiteral("dump"), csv});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("[\"Name\"]\n[\"Jos\u00e9\"]\n[\"M\u00fcller\"]\n"));
    }

    void moreThanASheetHoldsIsRefusedAndNothingWritten_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("reason");
        // 48 bytes that claim 2147483647 rows and no columns: before, 4 GB of line ends.
        QTest::newRow("native, 2147483647 rows") << QStringLiteral("crafted.vty") << QStringLiteral("out.csv")
                                                 << QStringLiteral("2147483647 rows");
        // Before, 5 GB of memory for 20000000 commas; 30000000 ended in an abort.
        QTest::newRow("comma, a line of 30000000 commas") << QStringLiteral("wide.csv") << QStringLiteral("out.vty")
                                                          << QStringLiteral("columns");
    }
    void moreThanASheetHoldsIsRefusedAndNothingWritten()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString in = dir.filePath(input);
        if (input.endsWith(QLatin1String(".vty")))
            writeRowsWithoutColumns(in, 2147483647);
        else
            writeFile(in, QByteArray(30000000, ',') + "\r\n");
        const QString out = dir.filePath(output);
        Run r = grid({QStringLiteral("convert"), in, out});
        QCOMPARE(r.exitCode, 1);
        const QString err = QString::fromLocal8Bit(r.err);
        QVERIFY2(err.contains(in) && err.contains(reason) && err.contains(QStringLiteral("more than")),
                 r.err.constData());
        QVERIFY(!QFile::exists(out));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{input});
        r = grid({QStringLiteral("dump"), in});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(QString::fromLocal8Bit(r.err).contains(reason), r.err.constData());
    }

    void failuresSayWhy_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList{} << 2 << QStringLiteral("usage");
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frob")} << 2 << QStringLiteral("unknown");
        QTest::newRow("convert without output") << QStringList{QStringLiteral("convert"), QStringLiteral("a.csv")} << 2
                                                << QStringLiteral("usage: quillon-grid convert");
        QTest::newRow("missing file") << QStringList{QStringLiteral("dump"), QStringLiteral("@/nope.vty")} << 1
                                      << QStringLiteral("does not exist");
        QTest::newRow("unknown extension") << QStringList{QStringLiteral("dump"), QStringLiteral("@/x.ods")} << 1
                                           << QStringLiteral("cannot tell the format");
        QTest::newRow("damaged native") << QStringList{QStringLiteral("dump"), QStringLiteral("@/bad.vty")} << 1
                                        << QStringLiteral("not a Quillon grid file");
        QTest::newRow("bad format name") << QStringList{QStringLiteral("dump"), QStringLiteral("--from"),
                                                        QStringLiteral("xls"), QStringLiteral("@/bad.vty")}
                                         << 2 << QStringLiteral("usage");
    }
    void failuresSayWhy()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("bad.vty")), "Name,Street\n");
        for (QString& a : arguments)
            a.replace(QStringLiteral("@"), dir.path());
        const Run r = grid(arguments);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(QString::fromLocal8Bit(r.err).contains(message), r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestGridTool)
#include "TestGridTool.moc"
