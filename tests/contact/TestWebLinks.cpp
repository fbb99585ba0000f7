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

// The form of the map query that a "MapHost" setting keeps.
const QString kTemplate =
    QStringLiteral("http://maps.example.com/py/maps.py?BFCat=&Pyt=Tmap&newFL=Use+Address+Below&addr={street}"
                   "&csz={city}%2C+{state}+{zip}&Country=us&Get%A0Map=Get+Map");
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
        QCOMPARE(WebLinks::mapQueryText(kTemplate, street, city, state, zip), kHead + query + kTail);
    }

    void mapQueryKeepsSpacesAfterThe99th()
    {
        const QString street = QString(120, QLatin1Char(' '));
        const QString text = WebLinks::mapQueryText(kTemplate, street, QString(), QString(), QString());
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
            WebLinks::mapQueryText(kTemplate, street, city, QStringLiteral("IL"), QStringLiteral("10001")));
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
        QCOMPARE(WebLinks::mapQueryText(kTemplate, sheet), kHead + query + kTail);
    }

    void templateFields_data()
    {
        QTest::addColumn<QString>("urlTemplate");
        QTest::addColumn<QString>("street");
        QTest::addColumn<QByteArray>("url");
        QTest::newRow("each field") << "https://m.example/?s={street}&c={city}&st={state}&z={zip}"
                                    << "1 Elm St" << QByteArray("https://m.example/?s=1+Elm+St&c=New%20York&st=NY&z=10002");
        QTest::newRow("no field") << "https://m.example/" << "1 Elm St" << QByteArray("https://m.example/");
        QTest::newRow("unknown placeholder kept") << "https://m.example/?q={street}&n={name}"
                                                  << "1 Elm" << QByteArray("https://m.example/?q=1+Elm&n=%7Bname%7D");
        QTest::newRow("placeholder in a cell stays text")
            << "https://m.example/?q={street}&c={city}" << "{city}"
            << QByteArray("https://m.example/?q=%7Bcity%7D&c=New%20York");
        QTest::newRow("upper case is no placeholder") << "https://m.example/?q={STREET}" << "1 Elm"
                                                      << QByteArray("https://m.example/?q=%7BSTREET%7D");
    }

    void templateFields()
    {
        QFETCH(QString, urlTemplate);
        QFETCH(QString, street);
        QFETCH(QByteArray, url);
        const QString text = WebLinks::mapQueryText(urlTemplate, street, QStringLiteral("New York"),
                                                    QStringLiteral("NY"), QStringLiteral("10002"));
        QCOMPARE(WebLinks::mapUrl(text).toEncoded(), url);
    }

    void hostTemplate_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("as it is") << "http://maps.example.com";
        QTest::newRow("no scheme") << "maps.example.com";
        QTest::newRow("trailing slashes") << "http://maps.example.com//";
        QTest::newRow("blanks around") << " maps.example.com/ ";
    }

    void hostTemplate()
    {
        QFETCH(QString, host);
        QCOMPARE(WebLinks::hostMapTemplate(host), kTemplate);
    }

    void mapTemplates_data()
    {
        QTest::addColumn<QString>("urlTemplate");
        QTest::addColumn<bool>("usable");
        QTest::newRow("https") << "https://www.openstreetmap.org/search?query={street}" << true;
        QTest::newRow("http, upper case") << "HTTP://maps.example.org/{zip}" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("no scheme") << "www.openstreetmap.org/search?query={street}" << false;
        QTest::newRow("ftp") << "ftp://maps.example.org/{zip}" << false;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("script") << "javascript:alert({street})" << false;
        QTest::newRow("no host") << "https:///{street}" << false;
        QTest::newRow("placeholder alone") << "{street}" << false;
    }

    void mapTemplates()
    {
        QFETCH(QString, urlTemplate);
        QFETCH(bool, usable);
        QCOMPARE(WebLinks::isMapTemplate(urlTemplate), usable);
    }

    void mapServices()
    {
        const QList<WebLinks::MapService> services = WebLinks::mapServices();
        QStringList names;
        for (const WebLinks::MapService& s : services) {
            names << s.name;
            QVERIFY2(WebLinks::isMapTemplate(s.urlTemplate), qPrintable(s.urlTemplate));
            for (const char* field : {"{street}", "{city}", "{state}", "{zip}"})
                QVERIFY2(s.urlTemplate.contains(QLatin1String(field)), qPrintable(s.urlTemplate));
        }
        QCOMPARE(names, QStringList({QStringLiteral("OpenStreetMap"), QStringLiteral("Google Maps"),
                                     QStringLiteral("Bing Maps")}));
        QVERIFY(services.first().urlTemplate.startsWith(QLatin1String("https://www.openstreetmap.org/")));
    }

    void addressSettings()
    {
        SettingsStore settings(settingsPath());
        QCOMPARE(WebLinks::mapTemplate(settings),
                 QStringLiteral("https://www.openstreetmap.org/search?query={street}%2C+{city}%2C+{state}+{zip}"));
        QCOMPARE(WebLinks::homePage(settings), QUrl(QStringLiteral("https://quillon.example.org/")));
        QVERIFY(WebLinks::guidePage(settings).isEmpty());

        settings.WriteSettingText(QStringLiteral("MapHost"), QStringLiteral("maps.example.com/"));
        settings.WriteSettingText(QStringLiteral("HomePage"), QStringLiteral("https://example.org/q"));
        settings.WriteSettingText(QStringLiteral("GuideURL"), QStringLiteral("https://example.org/guide"));
        QCOMPARE(WebLinks::mapTemplate(settings), kTemplate);
        QCOMPARE(WebLinks::homePage(settings), QUrl(QStringLiteral("https://example.org/q")));
        QCOMPARE(WebLinks::guidePage(settings), QUrl(QStringLiteral("https://example.org/guide")));

        settings.WriteSettingText(QStringLiteral("MapURL"), QStringLiteral("https://maps.example.org/?q={street}"));
        QCOMPARE(WebLinks::mapTemplate(settings), QStringLiteral("https://maps.example.org/?q={street}"));
        settings.WriteSettingText(QStringLiteral("MapURL"), QStringLiteral("maps.example.org/?q={street}"));
        QCOMPARE(WebLinks::mapTemplate(settings), kTemplate);
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
