#include "FilesTestSupport.h"
#include "files/GridFile.h"
#include "files/NativeGridFormat.h"
#include "files/Xxh64.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace quillon::testing;

namespace {

QByteArray nativeBytes(const RecordSheet& sheet)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!writeGrid(buffer, FormatNative, sheet, &error))
        qFatal("write failed: %s", qPrintable(error));
    return bytes;
}

bool readBytes(const QByteArray& bytes, RecordSheet& into, QString* error)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readGrid(buffer, FormatNative, into, error);
}

void putU32(QByteArray& b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

/** Rewrites the checksum so that only the content change is seen. */
void reseal(QByteArray& b)
{
    const quint64 sum = Xxh64::of(b.constData(), size_t(b.size() - 8));
    for (int i = 0; i < 8; ++i)
        b[b.size() - 8 + i] = char((sum >> (8 * i)) & 0xff);
}

/** A whole, well-formed file of @p rows rows and @p cols empty columns. */
QByteArray fileOfSize(quint32 rows, quint32 cols)
{
    RecordSheet s;
    s.setCols(int(cols));
    QByteArray bytes = nativeBytes(s);
    putU32(bytes, 12, rows);
    if (cols > 0) {
        // One empty text a row and column instead of the one the sheet had.
        bytes.chop(8);
        bytes.append(QByteArray(qsizetype(rows - 1) * cols, '\0'));
        bytes.append(8, '\0');
    }
    reseal(bytes);
    return bytes;
}

} // namespace

class TestNativeFormat : public QObject
{
    Q_OBJECT

private slots:
    void checksumMatchesXxh64_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<quint64>("expected");
        QTest::newRow("empty") << QByteArray() << quint64(0xEF46DB3751D8E999ull);
        QTest::newRow("39 bytes") << QByteArray("Nobody inspects the spammish repetition")
                                  << quint64(0xFBCEA83C8A378BF1ull);
    }
    void checksumMatchesXxh64()
    {
        QFETCH(QByteArray, input);
        QFETCH(quint64, expected);
        QCOMPARE(Xxh64::of(input.constData(), size_t(input.size())), expected);
    }

    void checksumFedInPiecesIsTheSame()
    {
        QByteArray data(1000, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7 + 3);
        const quint64 whole = Xxh64::of(data.constData(), size_t(data.size()));
        for (int piece : {1, 3, 31, 32, 33, 100}) {
            Xxh64 h;
            for (int at = 0; at < data.size(); at += piece)
                h.update(data.constData() + at, size_t(std::min(piece, int(data.size()) - at)));
            QCOMPARE(h.digest(), whole);
        }
    }

    void roundTripKeepsEverything()
    {
        RecordSheet original;
        fillRichSheet(original);
        RecordSheet back;
        QString error;
        QVERIFY2(readBytes(nativeBytes(original), back, &error), qPrintable(error));
        QCOMPARE(sheetDifference(original, back), QString());
        QCOMPARE(back.style(0, 3).picture, uint8_t(PictureDown));
        QVERIFY(back.style(5, 0).hasBack());
        QCOMPARE(back.checked(2, 4), -1);
    }

    void roundTripOfEdgeShapes_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::newRow("header only") << 1 << 3;
        QTest::newRow("no columns") << 5 << 0;
        QTest::newRow("one cell") << 1 << 1;
        QTest::newRow("many rows") << 3000 << 2;
    }
    void roundTripOfEdgeShapes()
    {
        QFETCH(int, rows);
        QFETCH(int, cols);
        RecordSheet s;
        s.setCols(cols);
        s.setRows(rows);
        for (int r = 0; r < rows; r += 7)
            for (int c = 0; c < cols; ++c)
                s.setText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
        RecordSheet back;
        QString error;
        QVERIFY2(readBytes(nativeBytes(s), back, &error), qPrintable(error));
        QCOMPARE(sheetDifference(s, back), QString());
    }

    void aCellLargerThanTheReadBufferSurvives()
    {
        RecordSheet s;
        s.setCols(2);
        s.setRows(3);
        QByteArray big(3 * 1024 * 1024 + 17, 'a');
        for (int i = 0; i < big.size(); i += 1000)
            big[i] = char('a' + (i / 1000) % 26);
        s.setTextUtf8(1, 1, big);
        s.setTextUtf8(2, 0, "after");
        RecordSheet back;
        QString error;
        QVERIFY2(readBytes(nativeBytes(s), back, &error), qPrintable(error));
        QCOMPARE(sheetDifference(s, back), QString());
    }

    void fileRoundTripThroughSaveAndLoad()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.vty"));
        RecordSheet original;
        fillRichSheet(original);
        QString error;
        QVERIFY2(SaveGrid(path, FormatNative, original, &error), qPrintable(error));
        RecordSheet back;
        QVERIFY2(LoadGrid(path, FormatNative, back, &error), qPrintable(error));
        QCOMPARE(sheetDifference(original, back), QString());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("list.vty")});
    }

    void refusesWhatIsNotAGridFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("empty");
        QTest::newRow("comma text") << QByteArray("Name,Street\r\nA,B\r\n") << QStringLiteral("not a Quillon grid");
        QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << QStringLiteral("not a Quillon grid");
        QTest::newRow("magic only") << NativeGridFormat::magic() << QStringLiteral("cut short");
        QTest::newRow("half a magic") << NativeGridFormat::magic().left(3) << QStringLiteral("cut short");
    }
    void refusesWhatIsNotAGridFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        RecordSheet s;
        QString error;
        QVERIFY(!readBytes(bytes, s, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    void everyTruncationIsRefused()
    {
        RecordSheet original;
        fillRichSheet(original);
        original.setText(7, 0, QStringLiteral("short"));
        const QByteArray bytes = nativeBytes(original);
        for (int n = 0; n < bytes.size(); ++n) {
            RecordSheet s;
            QString error;
            QVERIFY2(!readBytes(bytes.left(n), s, &error), qPrintable(QString::number(n)));
            QVERIFY2(!error.isEmpty(), qPrintable(QString::number(n)));
        }
    }

    void everyChangedByteIsRefused()
    {
        RecordSheet original;
        fillRichSheet(original);
        original.setText(7, 0, QStringLiteral("short"));
        const QByteArray bytes = nativeBytes(original);
        for (int at = 0; at < bytes.size(); ++at) {
            for (int bit : {0, 7}) {
                QByteArray damaged = bytes;
                damaged[at] = char(damaged[at] ^ (1 << bit));
                RecordSheet s;
                QString error;
                QVERIFY2(!readBytes(damaged, s, &error), qPrintable(QStringLiteral("byte %1").arg(at)));
                QVERIFY(!error.isEmpty());
            }
        }
    }

    void extraBytesAreRefused()
    {
        RecordSheet s;
        fillRichSheet(s);
        RecordSheet back;
        QString error;
        QVERIFY(!readBytes(nativeBytes(s) + "x", back, &error));
        QVERIFY(!error.isEmpty());
    }

    void hugeCountsAreRefusedBeforeAllocating_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("rows") << 12 << quint32(0x7fffffff) << QStringLiteral("cut short");
        QTest::newRow("columns") << 16 << quint32(0x7fffffff) << QStringLiteral("cut short");
        QTest::newRow("rows beyond int") << 12 << quint32(0x80000000u) << QStringLiteral("out of range");
        QTest::newRow("no rows") << 12 << quint32(0) << QStringLiteral("out of range");
        QTest::newRow("newer version") << 8 << quint32(2) << QStringLiteral("newer version");
        QTest::newRow("negative row height") << 20 << quint32(0xffffffffu) << QStringLiteral("out of range");
    }
    void hugeCountsAreRefusedBeforeAllocating()
    {
        QFETCH(int, offset);
        QFETCH(quint32, value);
        QFETCH(QString, reason);
        RecordSheet s;
        s.setCols(2);
        s.setRows(3);
        QByteArray bytes = nativeBytes(s);
        putU32(bytes, offset, value);
        reseal(bytes);
        RecordSheet back;
        QString error;
        QVERIFY(!readBytes(bytes, back, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

    void sizesASheetCannotHoldAreRefused_data()
    {
        QTest::addColumn<quint32>("rows");
        QTest::addColumn<quint32>("cols");
        QTest::addColumn<QString>("reason"); // empty: read
        // 48 bytes that claim the largest row count the layout allows, and no columns.
        QTest::newRow("2147483647 rows, no columns") << quint32(2147483647) << quint32(0)
                                                     << QStringLiteral("2147483647 rows");
        QTest::newRow("16777217 rows, no columns") << quint32(16777217) << quint32(0)
                                                   << QStringLiteral("16777217 rows");
        QTest::newRow("16777216 rows, no columns") << quint32(16777216) << quint32(0) << QString();
        QTest::newRow("16385 columns") << quint32(1) << quint32(16385) << QStringLiteral("16385 columns");
        QTest::newRow("16384 columns") << quint32(2) << quint32(16384) << QString();
    }
    void sizesASheetCannotHoldAreRefused()
    {
        QFETCH(quint32, rows);
        QFETCH(quint32, cols);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("crafted.vty"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(fileOfSize(rows, cols));
        f.close();
        RecordSheet s;
        fillRichSheet(s);
        RecordSheet before;
        before.copyContentsFrom(s);
        QString error;
        const bool read = LoadGrid(path, FormatNative, s, &error);
        if (reason.isEmpty()) {
            QVERIFY2(read, qPrintable(error));
            QCOMPARE(s.rows(), int(rows));
            QCOMPARE(s.cols(), int(cols));
            return;
        }
        QVERIFY(!read);
        QVERIFY2(error.contains(reason) && error.contains(QStringLiteral("more than")), qPrintable(error));
        QCOMPARE(sheetDifference(before, s), QString());
    }

    void hugeListsAreRefused()
    {
        // A sheet with no row heights and no styles: the two counts follow the column table.
        RecordSheet s;
        s.setCols(1);
        s.setRows(2);
        const QByteArray plain = nativeBytes(s);
        const int heightsAt = 32 + 17;
        for (int at : {heightsAt, heightsAt + 4}) {
            QByteArray bytes = plain;
            putU32(bytes, at, 0x10000000u);
            reseal(bytes);
            RecordSheet back;
            QString error;
            QVERIFY(!readBytes(bytes, back, &error));
            QVERIFY2(!error.isEmpty(), qPrintable(error));
        }
    }

    void invalidUtf8InACellIsRefused()
    {
        RecordSheet s;
        s.setCols(1);
        s.setRows(2);
        s.setTextUtf8(1, 0, "abc");
        QByteArray bytes = nativeBytes(s);
        const qsizetype at = bytes.indexOf("abc");
        bytes[at + 1] = char(0xff);
        reseal(bytes);
        RecordSheet back;
        QString error;
        QVERIFY(!readBytes(bytes, back, &error));
        QVERIFY2(error.contains(QStringLiteral("UTF-8")), qPrintable(error));
    }

    void failedLoadLeavesTheSheetAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.vty"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a grid");
        f.close();
        RecordSheet s;
        fillRichSheet(s);
        RecordSheet before;
        before.copyContentsFrom(s);
        QString error;
        QVERIFY(!LoadGrid(path, FormatNative, s, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(sheetDifference(before, s), QString());
        QVERIFY(!LoadGrid(dir.filePath(QStringLiteral("missing.vty")), FormatNative, s, &error));
        QVERIFY2(error.contains(QStringLiteral("does not exist")), qPrintable(error));
        QVERIFY(!LoadGrid(dir.path(), FormatNative, s, &error));
        QVERIFY2(error.contains(QStringLiteral("folder")), qPrintable(error));
    }

    void aDeviceThatFailsMidwayIsReported_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("native") << int(FormatNative);
        QTest::newRow("comma") << int(FormatComma);
        QTest::newRow("tab") << int(FormatTab);
    }
    void aDeviceThatFailsMidwayIsReported()
    {
        QFETCH(int, format);
        RecordSheet s;
        s.setCols(4);
        s.setRows(100000);
        for (int r = 0; r < s.rows(); ++r)
            s.setTextUtf8(r, r % 4, "some text of a listing");
        for (qint64 limit : {qint64(0), qint64(100), qint64(1) << 20}) {
            FailingDevice device(limit);
            device.open(QIODevice::WriteOnly);
            QString error;
            QVERIFY(!writeGrid(device, format, s, &error));
            QVERIFY2(error.contains(QStringLiteral("No space")), qPrintable(error));
        }
    }

    void aFailedSaveLeavesTheOldFileWhole_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("native") << int(FormatNative);
        QTest::newRow("comma") << int(FormatComma);
    }
    void aFailedSaveLeavesTheOldFileWhole()
    {
        QFETCH(int, format);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("keep.file"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("the old contents");
        f.close();
        RecordSheet s;
        s.setCols(3);
        s.setRows(200000);
        for (int r = 0; r < s.rows(); ++r)
            s.setTextUtf8(r, 1, "a listing's text, long enough to need several pieces");
        int calls = 0;
        QString error;
        // Stopped part way, as a failing disk would stop it.
        QVERIFY(!SaveGrid(path, format, s, &error, [&calls](qint64, qint64) { return ++calls < 2; }));
        QVERIFY(!error.isEmpty());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("the old contents"));
        f.close();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.file")});
    }

    void savingWhereNoFileCanBeIsReported()
    {
        QTemporaryDir dir;
        RecordSheet s;
        s.setCols(1);
        QString error;
        QVERIFY(!SaveGrid(dir.filePath(QStringLiteral("gone/list.vty")), FormatNative, s, &error));
        QVERIFY(!error.isEmpty());
        QFile plain(dir.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        error.clear();
        QVERIFY(!SaveGrid(dir.filePath(QStringLiteral("plain/list.vty")), FormatNative, s, &error));
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(!SaveGrid(dir.path(), FormatNative, s, &error));
        QVERIFY2(error.contains(QStringLiteral("folder")), qPrintable(error));
    }

    void formatsByExtension_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("format");
        QTest::newRow("vty") << QStringLiteral("/a/list.vty") << int(FormatNative);
        QTest::newRow("VTY") << QStringLiteral("/a/LIST.VTY") << int(FormatNative);
        QTest::newRow("bin") << QStringLiteral("stpl88.bin") << int(FormatNative);
        QTest::newRow("csv") << QStringLiteral("x.Csv") << int(FormatComma);
        QTest::newRow("txt") << QStringLiteral("x.txt") << int(FormatTab);
        QTest::newRow("other") << QStringLiteral("x.xls") << -1;
        QTest::newRow("none") << QStringLiteral("/a.b/list") << -1;
    }
    void formatsByExtension()
    {
        QFETCH(QString, path);
        QFETCH(int, format);
        QCOMPARE(gridFormatForPath(path), format);
    }
};

QTEST_GUILESS_MAIN(TestNativeFormat)
#include "TestNativeFormat.moc"
