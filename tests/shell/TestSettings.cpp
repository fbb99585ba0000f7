#include "shell/SettingsStore.h"
#include "shell/StartupSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("quillon.ini")); }

private slots:
    void cleanup() { QFile::remove(path()); }

    void toInteger_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("not set") << "" << 0;
        QTest::newRow("plain") << "3570" << 3570;
        QTest::newRow("negative") << "-5" << -5;
        QTest::newRow("blanks around") << "  12 " << 12;
        QTest::newRow("True") << "True" << -1;
        QTest::newRow("true any case") << "tRUE" << -1;
        QTest::newRow("False") << "False" << 0;
        QTest::newRow("half down to even") << "2.5" << 2;
        QTest::newRow("half up to even") << "3.5" << 4;
        QTest::newRow("negative half") << "-2.5" << -2;
        QTest::newRow("fraction") << "7.6" << 8;
        QTest::newRow("upper bound") << "32767" << 32767;
        QTest::newRow("lower bound") << "-32768" << -32768;
        QTest::newRow("above range") << "40000" << 0;
        QTest::newRow("just above after rounding") << "32767.5" << 0;
        QTest::newRow("below range") << "-32769" << 0;
        QTest::newRow("not a number") << "abc" << 0;
        QTest::newRow("number then text") << "12px" << 0;
        QTest::newRow("nan") << "nan" << 0;
        QTest::newRow("inf") << "inf" << 0;
    }
    void toInteger()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(SettingToInteger(text), value);
    }

    void toBoolean_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("value");
        QTest::newRow("not set") << "" << true;
        QTest::newRow("True") << "True" << true;
        QTest::newRow("false lower") << "false" << false;
        QTest::newRow("-1") << "-1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("yes") << "yes" << false;
    }
    void toBoolean()
    {
        QFETCH(QString, text);
        QFETCH(bool, value);
        QCOMPARE(SettingToBoolean(text), value);
    }

    void firstRunDefaults()
    {
        SettingsStore store(path());
        QVERIFY(PrepareSettingsStore(store, QStringLiteral("/opt/quillon")));
        QCOMPARE(store.ReadSettingText(QStringLiteral("INI")), QStringLiteral("/opt/quillon"));
        const WindowSettings s = WindowSettings::read(store, QStringLiteral("/opt/quillon"));
        QCOMPARE(s.top, 0);
        QCOMPARE(s.left, 0);
        QCOMPARE(s.width, 12000);
        QCOMPARE(s.height, 10000);
        QCOMPARE(s.vbarLeft, 3570);
        QVERIFY(s.alternateColor);
        QVERIFY(!s.addressBox);
        QCOMPARE(s.lastOpenPath, QStringLiteral("/opt/quillon/"));
        QCOMPARE(s.listIndex, 0);
        QVERIFY(s.showTips);
    }

    void iniIsKeptOnceSet()
    {
        SettingsStore store(path());
        store.WriteSettingText(QStringLiteral("INI"), QStringLiteral("/old/place"));
        PrepareSettingsStore(store, QStringLiteral("/new/place"));
        QCOMPARE(store.ReadSettingText(QStringLiteral("INI")), QStringLiteral("/old/place"));
    }

    void storedValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("value");
        QTest::newRow("WIDTH not a number is 0") << "WIDTH" << "wide" << "width" << 0;
        QTest::newRow("HEIGHT set") << "HEIGHT" << "8000" << "height" << 8000;
        QTest::newRow("VBarLeft 0") << "VBarLeft" << "0" << "vbar" << 3570;
        QTest::newRow("VBarLeft -5") << "VBarLeft" << "-5" << "vbar" << 3570;
        QTest::newRow("VBarLeft abc") << "VBarLeft" << "abc" << "vbar" << 3570;
        QTest::newRow("VBarLeft 4000") << "VBarLeft" << "4000" << "vbar" << 4000;
        QTest::newRow("TOP beyond 16 bits") << "TOP" << "40000" << "top" << 40000;
        QTest::newRow("WIDTH of a wide screen") << "WIDTH" << "45000" << "width" << 45000;
        QTest::newRow("HEIGHT of a tall screen") << "HEIGHT" << "33000.5" << "height" << 33000;
        QTest::newRow("VBarLeft beyond 16 bits") << "VBarLeft" << "36000" << "vbar" << 36000;
        QTest::newRow("TOP beyond 32 bits") << "TOP" << "9999999999" << "top" << 0;
        QTest::newRow("ListIndex beyond 16 bits") << "ListIndex" << "40000" << "list" << 0;
        QTest::newRow("AlternateColor yes") << "AlternateColor" << "yes" << "alternate" << 0;
        QTest::newRow("AlternateColor FALSE") << "AlternateColor" << "FALSE" << "alternate" << 0;
        QTest::newRow("AddressBox -1") << "AddressBox" << "-1" << "address" << 1;
        QTest::newRow("ListIndex 3") << "ListIndex" << "3" << "list" << 3;
    }
    void storedValues()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(int, value);
        SettingsStore store(path());
        store.WriteSettingText(name, text);
        const WindowSettings s = WindowSettings::read(store, QStringLiteral("/opt"));
        const QHash<QString, int> got{{QStringLiteral("width"), s.width},
                                      {QStringLiteral("height"), s.height},
                                      {QStringLiteral("vbar"), s.vbarLeft},
                                      {QStringLiteral("top"), s.top},
                                      {QStringLiteral("alternate"), int(s.alternateColor)},
                                      {QStringLiteral("address"), int(s.addressBox)},
                                      {QStringLiteral("list"), s.listIndex}};
        QCOMPARE(got.value(field), value);
    }

    void exitWritesInOrderAndReadsBack()
    {
        SettingsStore store(path());
        WindowSettings s;
        s.top = 120;
        s.width = 9000;
        s.vbarLeft = 4100;
        s.alternateColor = false;
        s.addressBox = true;
        s.lastOpenPath = QStringLiteral("/home/u/lists/");
        s.listIndex = -1;
        s.showTips = false;
        QStringList order;
        s.write([&order](const QString& name, const QString&) { order << name; });
        QCOMPARE(order, (QStringList{QStringLiteral("TOP"), QStringLiteral("LEFT"), QStringLiteral("WIDTH"),
                                     QStringLiteral("HEIGHT"), QStringLiteral("VBarLeft"),
                                     QStringLiteral("AlternateColor"), QStringLiteral("LastOpenPath"),
                                     QStringLiteral("ShowTips"), QStringLiteral("AddressBox"),
                                     QStringLiteral("ListIndex")}));
        s.write(store);
        QFile f(path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString ini = QString::fromUtf8(f.readAll());
        for (const QString& name : std::as_const(order))
            QVERIFY2(ini.contains(name + QLatin1Char('=')), qPrintable(name));
        QCOMPARE(store.ReadSettingText(QStringLiteral("AddressBox")), QStringLiteral("-1"));
        QCOMPARE(store.ReadSettingText(QStringLiteral("AlternateColor")), QStringLiteral("False"));
        QCOMPARE(store.ReadSettingText(QStringLiteral("ListIndex")), QStringLiteral("-1"));
        const WindowSettings back = WindowSettings::read(store, QStringLiteral("/opt"));
        QCOMPARE(back.top, 120);
        QCOMPARE(back.width, 9000);
        QCOMPARE(back.vbarLeft, 4100);
        QVERIFY(!back.alternateColor);
        QVERIFY(back.addressBox);
        QCOMPARE(back.lastOpenPath, QStringLiteral("/home/u/lists/"));
        QVERIFY(!back.showTips);
    }

    void valuesWithCommasAndSpecialCharactersSurvive()
    {
        SettingsStore store(path());
        const QString odd = QStringLiteral("/home/u/a, b; c = d/#x/");
        QVERIFY(store.WriteSettingText(QStringLiteral("LastOpenPath"), odd));
        SettingsStore again(path());
        QCOMPARE(again.ReadSettingText(QStringLiteral("LastOpenPath")), odd);
    }

    void handEditedListValueReadsAsText()
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[General]\nLastOpenPath=/home/u/a,b/\n");
        f.close();
        SettingsStore store(path());
        QCOMPARE(store.ReadSettingText(QStringLiteral("LastOpenPath")), QStringLiteral("/home/u/a,b/"));
    }

    void unreadableAndUnwritableStoresNeverStopTheProgram()
    {
        const QString garbage = m_dir.filePath(QStringLiteral("garbage.ini"));
        QFile f(garbage);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x00\xff[[[=\n=\n\xfe", 10));
        f.close();
        SettingsStore store(garbage);
        const WindowSettings s = WindowSettings::read(store, QStringLiteral("/opt"));
        QCOMPARE(s.width, 12000);

        SettingsStore nowhere(QStringLiteral("/proc/no-such-dir/quillon.ini"));
        QVERIFY(!nowhere.WriteSettingText(QStringLiteral("TOP"), QStringLiteral("5")));
        QVERIFY(nowhere.ReadSettingText(QStringLiteral("ZZZ")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
