#include "ContactFilesSupport.h"
#include "FilesTestSupport.h"
#include "files/DelimitedText.h"
#include "files/GridFile.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace quillon::testing;

namespace {

QByteArray written(const QList<QStringList>& rows, int format)
{
    RecordSheet sheet;
    fillSheet(sheet, rows);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!writeGrid(buffer, format, sheet, &error))
        qFatal("write failed: %s", qPrintable(error));
    return bytes;
}

} // namespace

class TestSpreadsheetCsv : public QObject
{
    Q_OBJECT

private slots:
    void neutralisesWhatWouldRunAsAFormula_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QByteArray>("expected"); ///< the cell as written
        QTest::newRow("=") << QStringLiteral("=HYPERLINK(\"http://x\")") << QByteArray("\"'=HYPERLINK(\"\"http://x\"\")\"");
        QTest::newRow("+") << QStringLiteral("+1 555 0100") << QByteArray("'+1 555 0100");
        QTest::newRow("+ and digits only") << QStringLiteral("+15550100") << QByteArray("'+15550100");
        QTest::newRow("- and a formula") << QStringLiteral("-2+3+cmd|' /C calc'!A0")
                                         << QByteArray("'-2+3+cmd|' /C calc'!A0");
        QTest::newRow("- and a space") << QStringLiteral("- 5") << QByteArray("'- 5");
        QTest::newRow("- alone") << QStringLiteral("-") << QByteArray("'-");
        QTest::newRow("@") << QStringLiteral("@SUM(A1)") << QByteArray("'@SUM(A1)");
        QTest::newRow("tab") << QStringLiteral("\t=1+1") << QByteArray("'\t=1+1");
        QTest::newRow("carriage return") << QStringLiteral("\r=1+1") << QByteArray("\"'\r=1+1\"");
        QTest::newRow("a broken thousands group") << QStringLiteral("-1,23") << QByteArray("\"'-1,23\"");
        QTest::newRow("digits and then letters") << QStringLiteral("-5x") << QByteArray("'-5x");
        // Negative numbers are data that a spreadsheet reads as numbers: left as they are.
        QTest::newRow("-5") << QStringLiteral("-5") << QByteArray("-5");
        QTest::newRow("-12.50") << QStringLiteral("-12.50") << QByteArray("-12.50");
        QTest::newRow("-.5") << QStringLiteral("-.5") << QByteArray("-.5");
        QTest::newRow("-1,234.5") << QStringLiteral("-1,234.5") << QByteArray("\"-1,234.5\"");
        QTest::newRow("-1,234,567") << QStringLiteral("-1,234,567") << QByteArray("\"-1,234,567\"");
        QTest::newRow("= later in the text") << QStringLiteral("a=b") << QByteArray("a=b");
        QTest::newRow("an apostrophe already") << QStringLiteral("'=x") << QByteArray("'=x");
        QTest::newRow("a space first") << QStringLiteral(" =x") << QByteArray(" =x");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void neutralisesWhatWouldRunAsAFormula()
    {
        QFETCH(QString, cell);
        QFETCH(QByteArray, expected);
        const QByteArray bytes = written({{QStringLiteral("T")}, {cell}}, FormatSpreadsheetCsv);
        QCOMPARE(bytes, "\xEF\xBB\xBF" "T\r\n" + expected + "\r\n");
    }

    void titlesAreCellsToo()
    {
        QCOMPARE(written({{QStringLiteral("=Name"), QStringLiteral("Phone")}}, FormatSpreadsheetCsv),
                 QByteArray("\xEF\xBB\xBF'=Name,Phone\r\n"));
    }

    void plainCommaTextStaysAsItWas()
    {
        // The same cells as comma text: no byte-order mark, nothing changed.
        const QList<QStringList> rows = {{QStringLiteral("=Name"), QStringLiteral("Phone")},
                                         {QStringLiteral("+1 555"), QStringLiteral("-2+3")},
                                         {QStringLiteral("@x"), QStringLiteral("\ttab")}};
        QCOMPARE(written(rows, FormatComma), QByteArray("=Name,Phone\r\n+1 555,-2+3\r\n@x,\ttab\r\n"));
    }

    void readsBackAsCommaText()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        RecordSheet sheet;
        fillSheet(sheet, {{QStringLiteral("Name"), QStringLiteral("Note")},
                          {QStringLiteral("Café ☕"), QStringLiteral("=1+1")}});
        QString error;
        QVERIFY2(SaveGrid(path, FormatSpreadsheetCsv, sheet, &error), qPrintable(error));
        QCOMPARE(gridFormatForPath(path), int(FormatComma));
        RecordSheet back;
        QVERIFY2(LoadGrid(path, FormatComma, back, &error), qPrintable(error));
        QCOMPARE(sheetRows(back), (QList<QStringList>{{QStringLiteral("Name"), QStringLiteral("Note")},
                                                      {QStringLiteral("Café ☕"), QStringLiteral("'=1+1")}}));
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheetCsv)
#include "TestSpreadsheetCsv.moc"
