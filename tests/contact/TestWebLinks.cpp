#include "shell/SettingsStore.h"
#include "contact/DialSettings.h"
#include "contact/PhoneNumbers.h"
#include "contact/WebLinks.h"
#include "sheet/Document.h"
#include "sheet/RecordSheet.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

const QString kHost = QStringLiteral("http://maps.example.com");
const QString kHead =
    QStringLiteral("http://maps.example.com/py/maps.py?BFCat=&Pyt=Tmap&newFL=Use+Address+Below&addr=");
const QString kTail = QStringLiteral("&Country=us&Get%A0Map=Get+Map");

} // namespace

class TestWebLinks : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString settingsPath() const { return m_dir.filePath(QStringLiteral("quillon.ini")); }

private slots:
    void cleanup() { QFile::remove(settingsPath()); }

    void mapQuery_data()
    {
        QTest::addColumn<QString>("street");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("zip");
        QTest::addColumn<QString>("query"); // between the fixed beginning and the fixed end

        QTest::newRow("plain address") << "12 Main St"
                                       << "Springfield"
                                       << "IL"
                                       << "10001"
                                       << "12+Main+St&csz=Springfield%2C+IL+10001";
        QTest::newRow("city with a space") << "1 Elm"
                                           << "New York"
                                           << "NY"
                                           << "10002"
                                           << "1+Elm&csz=New York%2C+NY+10002";
        QTest::newRow("empty row") << ""
                                   << ""
                                   << ""
                                   << ""
                                   << "&csz=%2C++";
        QTest::newRow("ampersand in street") << "Smith & Sons Rd"
                                             << "Troy"
                                             << "NY"
                                             << ""
                                             << "Smith+%26+Sons+Rd&csz=Troy%2C+NY+";
        QTest::newRow("hash, percent, plus") << "#4 50% Rd"
                                             << "A+B"
                                             << "N#"
                                             << "1%"
                                             << "%234+50%25+Rd&csz=A%2BB%2C+N%23+1%25";
        QTest::newRow("control characters") << "1\tMain\nSt"
                                            << "Ci\rty"
                                            << "\x7f"
                                            << ""
                                            << "1%09Main%0ASt&csz=Ci%0Dty%2C+%7F+";
        QTest::newRow("other characters kept") << "O'Hara (rear)"
                                               << "Coeur d'Alène"
                                               << "ID"
                                               << "83814"
                                               << "O'Hara+(rear)&csz=Coeur d'Alène%2C+ID+83814";
        QTest::newRow("leading and double spaces") << " 9  Oak "
                                                   << "X"
                                                   << "Y"
                                                   << "Z"
                                                   << "+9++Oak+&csz=X%2C+Y+Z";
    }

    void mapQuery()
    {
        QFETCH(QString, street);
        QFETCH(QString, city);
        QFETCH(QString, state);
        QFETCH(QString, zip);
        QFETCH(QString, query);
        QCOMPARE(WebLinks::mapQueryText(kHost, street, city, state, zip), kHead + query + kTail);
    }

    void mapQueryKeepsSpacesAfterThe99th()
    {
        const QString street = QString(120, QLatin1Char(' '));
        const QString text = WebLinks::mapQueryText(kHost, street, QString(), QString(), QString());
        QCOMPARE(text, kHead + QString(99, QLatin1Char('+')) + QString(21, QLatin1Char(' ')) +
                           QStringLiteral("&csz=%2C++") + kTail);
    }

    // What the browser receives: the encoded form of the address. Percent-encodings
    // of the query survive; a space or a letter beyond ASCII is encoded as a browser would.
    void urlHandedToTheBrowser_data()
    {
        QTest::addColumn<QString>("street");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("plain") << "12 Main St"
                               << "Springfield" << QByteArray("addr=12+Main+St&csz=Springfield%2C+IL+10001");
        QTest::newRow("space in city") << "1 Elm"
                                       << "New York" << QByteArray("addr=1+Elm&csz=New%20York%2C+IL+10001");
        QTest::newRow("ampersand") << "Smith & Sons Rd"
                                   << "Troy" << QByteArray("addr=Smith+%26+Sons+Rd&csz=Troy%2C+IL+10001");
        QTest::newRow("accent") << "1 Rue"
                                << "Montréal" << QByteArray("addr=1+Rue&csz=Montr%C3%A9al%2C+IL+10001");
        QTest::newRow("brackets and quotes")
            << "\"A\" <B>"
            << "C|D" << QByteArray("addr=%22A%22+%3CB%3E&csz=C%7CD%2C+IL+10001");
    }

    void urlHandedToTheBrowser()
    {
        QFETCH(QString, street);
        QFETCH(QString, city);
        QFETCH(QByteArray, encoded);
        const QUrl url = WebLinks::mapUrl(
            WebLinks::mapQueryText(kHost, street, city, QStringLiteral("IL"), QStringLiteral("10001")));
        QVERIFY(url.isValid());
        QCOMPARE(url.host(), QStringLiteral("maps.example.com"));
        QCOMPARE(url.toEncoded(),
                 QByteArray("http://maps.example.com/py/maps.py?BFCat=&Pyt=Tmap&newFL=Use+Address+Below&") +
                     encoded + QByteArray("&Country=us&Get%A0Map=Get+Map"));
    }

    void mapQueryOfTheCurrentRecord_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("cols");
        QTest::addColumn<QString>("query");
        QTest::newRow("record 2") << 2 << 10 << "12+Main+St&csz=Springfield%2C+IL+10001";
        QTest::newRow("header row") << 0 << 10 << "&csz=%2C++";
        QTest::newRow("street and city only") << 2 << 3 << "12+Main+St&csz=Springfield%2C++";
    }

    void mapQueryOfTheCurrentRecord()
    {
        QFETCH(int, row);
        QFETCH(int, cols);
        QFETCH(QString, query);
        RecordSheet sheet;
        SetDefaults(sheet);
        sheet.setRows(4);
        sheet.setText(2, 1, QStringLiteral("12 Main St"));
        sheet.setText(2, 2, QStringLiteral("Springfield"));
        sheet.setText(2, 3, QStringLiteral("IL"));
        sheet.setText(2, 4, QStringLiteral("10001"));
        sheet.setCols(cols);
        sheet.setCurrentCell(row, 0);
        QCOMPARE(WebLinks::mapQueryText(kHost, sheet), kHead + query + kTail);
    }

    void addressSettings()
    {
        SettingsStore settings(settingsPath());
        QCOMPARE(WebLinks::mapHost(settings), WebLinks::defaultMapHost());
        QCOMPARE(WebLinks::homePage(settings), QUrl(WebLinks::defaultHomePage()));
        QVERIFY(WebLinks::guidePage(settings).isEmpty());

        settings.WriteSettingText(QStringLiteral("MapHost"), QStringLiteral("maps.example.net/"));
        settings.WriteSettingText(QStringLiteral("HomePage"), QStringLiteral("https://example.org/q"));
        settings.WriteSettingText(QStringLiteral("GuideURL"), QStringLiteral("https://example.org/guide"));
        QCOMPARE(WebLinks::mapHost(settings), QStringLiteral("http://maps.example.net"));
        QCOMPARE(WebLinks::homePage(settings), QUrl(QStringLiteral("https://example.org/q")));
        QCOMPARE(WebLinks::guidePage(settings), QUrl(QStringLiteral("https://example.org/guide")));
    }

    void dialNumber_data()
    {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<int>("dialOne");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("number");
        QTest::newRow("option off") << "555-1234" << 0 << "1"
                                    << "555-1234";
        QTest::newRow("option on, blanks round the prefix") << "555-1234" << 1 << "  1 "
                                                            << "1555-1234";
        QTest::newRow("the number as written") << "(555) 123-4567 ext. 12" << 0 << "1"
                                               << "(555) 123-4567 ext. 12";
        QTest::newRow("first of two lines") << "555-1234\n555-9876" << 1 << "1"
                                            << "1555-1234";
        QTest::newRow("label left out") << "Tel: 1-800-FLOWERS (toll free)" << 0 << "1"
                                        << "1-800-FLOWERS";
        QTest::newRow("no number: cell kept as it is") << " (555) 123 " << 1 << "1"
                                                      << "1 (555) 123 ";
        QTest::newRow("empty cell") << "" << 0 << "1"
                                    << "";
        QTest::newRow("empty cell, option on") << "" << 1 << "1"
                                               << "1";
    }

    void dialNumber()
    {
        QFETCH(QString, phone);
        QFETCH(int, dialOne);
        QFETCH(QString, prefix);
        QFETCH(QString, number);
        RecordSheet sheet;
        SetDefaults(sheet);
        sheet.setRows(3);
        sheet.setText(1, 5, phone);
        sheet.setCurrentCell(1, 2);
        QCOMPARE(DialNumber(sheet, dialOne, prefix, PhoneNumbers(QStringLiteral("US"))), number);
    }

    void dialTimeout_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds");
        QTest::newRow("not set") << "" << 60;
        QTest::newRow("half a minute") << "30" << 30;
        QTest::newRow("blanks around") << " 90 " << 90;
        QTest::newRow("zero") << "0" << 60;
        QTest::newRow("negative") << "-5" << 60;
        QTest::newRow("not a number") << "soon" << 60;
        QTest::newRow("out of range") << "100000" << 60;
    }

    void dialTimeout()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        SettingsStore settings(settingsPath());
        settings.WriteSettingText(QStringLiteral("DialTimeout"), text);
        QCOMPARE(DialSettings::read(settings).dialTimeout, seconds);
    }

    void serialDevice_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        QTest::newRow("port 1") << "/dev/ttyS%1" << 1 << "/dev/ttyS0";
        QTest::newRow("port 2") << "/dev/ttyS%1" << 2 << "/dev/ttyS1";
        QTest::newRow("usb modem") << "/dev/ttyACM%1" << 1 << "/dev/ttyACM0";
        QTest::newRow("port 0") << "/dev/ttyS%1" << 0 << "";
        QTest::newRow("negative") << "/dev/ttyS%1" << -1 << "";
    }

    void serialDevice()
    {
        QFETCH(QString, pattern);
        QFETCH(int, port);
        QFETCH(QString, device);
        QCOMPARE(SerialDevicePath(pattern, port), device);
    }

    void dialSettings()
    {
        SettingsStore settings(settingsPath());
        DialSettings s = DialSettings::read(settings);
        QCOMPARE(s.port, QStringLiteral("2"));
        QCOMPARE(s.longDistance, QStringLiteral("1"));
        QCOMPARE(s.dialOne, 0);
        QCOMPARE(s.longForm, false);
        QCOMPARE(s.method, DialMethod::Modem);
        QCOMPARE(s.deviceTemplate, QStringLiteral("/dev/ttyS%1"));

        s.port = QStringLiteral("4");
        s.longDistance = QStringLiteral(" 9 ");
        s.dialOne = 1;
        s.longForm = true;
        s.method = DialMethod::Phone;
        s.write(settings);
        QCOMPARE(settings.ReadSettingText(QStringLiteral("COMMPORT")), QStringLiteral("4"));
        QCOMPARE(settings.ReadSettingText(QStringLiteral("LONGDIS")), QStringLiteral(" 9 "));
        QCOMPARE(settings.ReadSettingText(QStringLiteral("DIALONE")), QStringLiteral("1"));
        QCOMPARE(settings.ReadSettingText(QStringLiteral("LONGFORM")), QStringLiteral("True"));
        QCOMPARE(settings.ReadSettingText(QStringLiteral("DIALMETHOD")), QStringLiteral("Phone"));
        QVERIFY(settings.ReadSettingText(QStringLiteral("COMMDEVICE")).isEmpty());

        const DialSettings back = DialSettings::read(settings);
        QCOMPARE(back.longDistance, QStringLiteral(" 9 "));
        QCOMPARE(back.longForm, true);
        QCOMPARE(back.method, DialMethod::Phone);

        settings.WriteSettingText(QStringLiteral("DIALONE"), QStringLiteral("abc"));
        settings.WriteSettingText(QStringLiteral("LONGFORM"), QStringLiteral("-1"));
        settings.WriteSettingText(QStringLiteral("DIALMETHOD"), QStringLiteral("carrier pigeon"));
        const DialSettings odd = DialSettings::read(settings);
        QCOMPARE(odd.dialOne, 0);
        QCOMPARE(odd.longForm, true);
        QCOMPARE(odd.method, DialMethod::Modem);
    }
};

QTEST_GUILESS_MAIN(TestWebLinks)
#include "TestWebLinks.moc"
