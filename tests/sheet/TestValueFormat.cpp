#include "sheet/SheetTypes.h"
#include "sheet/ValueFormat.h"

#include <QTest>

using namespace quillon;

class TestValueFormat : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("shown");
        const int N = TypeNumber;
        const int M = TypeMoney;
        QTest::newRow("0")                 << "1234.5"  << N << "0"          << "1235";
        QTest::newRow("0.0")               << "2.25"    << N << "0.0"        << "2.3";
        QTest::newRow("0.00")              << "3"       << N << "0.00"       << "3.00";
        QTest::newRow("0.000")             << "-1.5"    << N << "0.000"      << "-1.500";
        QTest::newRow("0.0000")            << "0.12345" << N << "0.0000"     << "0.1235";
        QTest::newRow("%")                 << "0.5"     << N << "%"          << "50%";
        QTest::newRow("#.00%")             << "0.125"   << N << "#.00%"      << "12.50%";
        QTest::newRow("#.00% below one")   << "0.005"   << N << "#.00%"      << ".50%";
        QTest::newRow("#,###")             << "1234567" << N << "#,###"      << "1,234,567";
        QTest::newRow("#,### of zero")     << "0"       << N << "#,###"      << "";
        QTest::newRow("#,###.00")          << "1234.5"  << N << "#,###.00"   << "1,234.50";
        QTest::newRow("#,###.00 negative") << "-1234.5" << N << "#,###.00"   << "-1,234.50";
        QTest::newRow("$#,###")            << "999.5"   << M << "$#,###"     << "$1,000";
        QTest::newRow("$#,###.00")         << "5"       << M << "$#,###.00"  << "$5.00";
        QTest::newRow("$ negative")        << "-5"      << M << "$#,###.00"  << "-$5.00";
        QTest::newRow("typed with $ and ,") << "$1,234.5" << M << "$#,###.00" << "$1,234.50";
        QTest::newRow("text stays")        << "call us" << N << "0.00"       << "call us";
        QTest::newRow("Text column")       << "5"       << int(TypeText) << "$#,###.00" << "5";
        QTest::newRow("bad grouping")      << "1,23"    << N << "0.00"       << "1,23";
    }
    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(int, type);
        QFETCH(QString, format);
        QFETCH(QString, shown);
        QCOMPARE(FormatValue(text, type, format), shown);
    }

    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("shown");
        QTest::newRow("mm/dd/yy")      << "2026-12-08"          << "mm/dd/yy"               << "12/08/26";
        QTest::newRow("mm/dd/yyyy")    << "3/4/2025"            << "mm/dd/yyyy"             << "03/04/2025";
        QTest::newRow("m/d/yy")        << "2025-03-04"          << "m/d/yy"                 << "3/4/25";
        QTest::newRow("m/d/yyyy")      << "2025-03-04"          << "m/d/yyyy"               << "3/4/2025";
        QTest::newRow("dd-Mmm-yyyy")   << "12/8/2026"           << "dd-Mmm-yyyy"            << "08-Dec-2026";
        QTest::newRow("Mmm-dd-yyyy")   << "12/8/2026"           << "Mmm-dd-yyyy"            << "Dec-08-2026";
        QTest::newRow("hh:mm")         << "12/8/2026 16:24"     << "mm/dd/yy hh:mm"         << "12/08/26 16:24";
        QTest::newRow("hh:mm:ss")      << "12/8/2026 16:24:09"  << "mm/dd/yy hh:mm:ss"      << "12/08/26 16:24:09";
        QTest::newRow("AMPM")          << "12/8/2026 16:24"     << "mm/dd/yy hh:mm AMPM"    << "12/08/26 04:24 PM";
        QTest::newRow("ss AMPM")       << "12/8/2026 0:05:01"   << "mm/dd/yy hh:mm:ss AMPM" << "12/08/26 12:05:01 AM";
        QTest::newRow("written PM")    << "12/8/2026 4:24 PM"   << "mm/dd/yy hh:mm"         << "12/08/26 16:24";
        QTest::newRow("day serial")    << "46364"               << "mm/dd/yyyy"             << "12/08/2026";
        QTest::newRow("two-digit year") << "1/2/99"             << "mm/dd/yyyy"             << "01/02/1999";
        QTest::newRow("named month")   << "8-Dec-2026"          << "mm/dd/yyyy"             << "12/08/2026";
        QTest::newRow("not a date")    << "next week"           << "mm/dd/yy"               << "next week";
        QTest::newRow("bad day")       << "2/30/2026"           << "mm/dd/yy"               << "2/30/2026";
    }
    void dates()
    {
        QFETCH(QString, text);
        QFETCH(QString, format);
        QFETCH(QString, shown);
        QCOMPARE(FormatValue(text, TypeDate, format), shown);
    }

    void generalDateForm()
    {
        const QDateTime t(QDate(2026, 12, 8), QTime(16, 24, 9));
        QCOMPARE(FormatDateTime(t, QString()), QStringLiteral("12/8/2026 4:24:09 PM"));
        QCOMPARE(FormatDateTime(QDateTime(QDate(2026, 1, 2), QTime(0, 0)), QString()), QStringLiteral("1/2/2026"));
    }

    void typeAndAlignmentNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("code");
        QTest::newRow("Number") << "Number" << 5;
        QTest::newRow("Money") << "Money" << 6;
        QTest::newRow("Date") << "Date" << 7;
        QTest::newRow("Checkbox") << "Checkbox" << 11;
        QTest::newRow("Text") << "Text" << 8;
        QTest::newRow("lower case is Text") << "number" << 8;
        QTest::newRow("empty is Text") << "" << 8;
    }
    void typeAndAlignmentNames()
    {
        QFETCH(QString, name);
        QFETCH(int, code);
        QCOMPARE(DataTypeCode(name), code);
        if (code != TypeText || name == QLatin1String("Text"))
            QCOMPARE(DataTypeName(code), name);
    }
    void alignmentNames()
    {
        QCOMPARE(AlignmentCode(QStringLiteral("Center")), 4);
        QCOMPARE(AlignmentCode(QStringLiteral("Right")), 7);
        QCOMPARE(AlignmentCode(QStringLiteral("right")), 1);
        QCOMPARE(AlignmentName(4), QStringLiteral("Center"));
        QCOMPARE(AlignmentName(7), QStringLiteral("Right"));
        QCOMPARE(AlignmentName(9), QStringLiteral("Left"));
        QCOMPARE(DataTypeName(0), QStringLiteral("Text"));
    }
};

QTEST_GUILESS_MAIN(TestValueFormat)
#include "TestValueFormat.moc"
