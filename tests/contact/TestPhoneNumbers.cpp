#include "shell/SettingsStore.h"
#include "contact/PhoneNumbers.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

class TestPhoneNumbers : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void findFirst_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start"); // -1: no number
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("national");
        QTest::addColumn<QString>("extension");
        QTest::newRow("plain") << "US" << "555-1234" << 0 << "555-1234" << "5551234" << "";
        QTest::newRow("after a label") << "US" << "Tel: (212) 555-0100" << 5 << "(212) 555-0100" << "2125550100"
                                       << "";
        QTest::newRow("after a letter beyond ASCII")
            << "US" << "T\u00e9l\u00e9phone 212-555-0100" << 10 << "212-555-0100" << "2125550100" << "";
        QTest::newRow("first of two lines") << "US" << "555-1234\n555-9876" << 0 << "555-1234" << "5551234" << "";
        QTest::newRow("with its extension") << "US" << "+1 (555) 123-4567 ext. 12" << 0
                                            << "+1 (555) 123-4567 ext. 12" << "5551234567" << "12";
        QTest::newRow("letters on the keypad") << "US" << "Order at 1-800-FLOWERS" << 9 << "1-800-FLOWERS"
                                               << "8003569377" << "";
        QTest::newRow("letters after other digits") << "US" << "24/7 1-800-FLOWERS" << 5 << "1-800-FLOWERS"
                                                    << "8003569377" << "";
        QTest::newRow("after a long text") << "US" << QString(QStringLiteral("1 2 3 ").repeated(2000) + QStringLiteral("Tel. 1-800-FLOWERS"))
                                           << 12005 << "1-800-FLOWERS" << "8003569377" << "";
        QTest::newRow("letters after a number") << "US" << "555-1234 or 1-800-FLOWERS" << 0 << "555-1234"
                                                << "5551234" << "";
        QTest::newRow("en dash") << "US" << "555\u20131234" << 0 << "555\u20131234" << "5551234" << "";
        QTest::newRow("British") << "GB" << "020 7946 0958" << 0 << "020 7946 0958" << "2079460958" << "";
        QTest::newRow("n/a") << "US" << "n/a" << -1 << "" << "" << "";
        QTest::newRow("empty") << "US" << "" << -1 << "" << "" << "";
        QTest::newRow("too short") << "US" << "12345" << -1 << "" << "" << "";
        QTest::newRow("words with digits") << "US" << "Suite 200 Main St" << -1 << "" << "" << "";
        QTest::newRow("opening hours") << "US" << "Open 9 to 5 Mon-Fri" << -1 << "" << "" << "";
    }

    void findFirst()
    {
        QFETCH(QString, region);
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(QString, written);
        QFETCH(QString, national);
        QFETCH(QString, extension);
        const std::optional<PhoneNumbers::Number> n = PhoneNumbers(region).findFirst(text);
        QCOMPARE(n.has_value(), start >= 0);
        if (!n)
            return;
        QCOMPARE(n->start, qsizetype(start));
        QCOMPARE(n->text, written);
        QCOMPARE(n->length, written.size());
        QCOMPARE(text.mid(n->start, n->length), written);
        QCOMPARE(n->nationalNumber, national);
        QCOMPARE(n->extension, extension);
    }

    void findAll()
    {
        const PhoneNumbers numbers(QStringLiteral("US"));
        const QList<PhoneNumbers::Number> found =
            numbers.find(u"Tel: 212-555-0100, Fax: 212-555-0199, toll free 1-800-FLOWERS");
        QCOMPARE(found.size(), 3);
        QCOMPARE(found.at(0).text, QStringLiteral("212-555-0100"));
        QCOMPARE(found.at(1).text, QStringLiteral("212-555-0199"));
        QCOMPARE(found.at(2).text, QStringLiteral("1-800-FLOWERS"));
        QCOMPARE(numbers.find(u"1-800-FLOWERS, 212-555-0100", 1).size(), 1);
        QCOMPARE(numbers.find(u"1-800-FLOWERS, 212-555-0100", 1).first().text, QStringLiteral("1-800-FLOWERS"));
    }

    void format_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("e164");
        QTest::addColumn<QString>("national");
        QTest::addColumn<QString>("international");
        QTest::addColumn<QString>("rfc3966");
        QTest::newRow("American") << "US" << "555.123.4567" << "+15551234567" << "(555) 123-4567"
                                  << "+1 555-123-4567" << "tel:+1-555-123-4567";
        QTest::newRow("extension") << "US" << "+1 (555) 123-4567 ext. 12" << "+15551234567"
                                   << "(555) 123-4567 ext. 12" << "+1 555-123-4567 ext. 12"
                                   << "tel:+1-555-123-4567;ext=12";
        QTest::newRow("letters") << "US" << "1-800-FLOWERS" << "+18003569377" << "(800) 356-9377"
                                 << "+1 800-356-9377" << "tel:+1-800-356-9377";
        QTest::newRow("British from America") << "US" << "+44 20 7946 0958" << "+442079460958" << "020 7946 0958"
                                              << "+44 20 7946 0958" << "tel:+44-20-7946-0958";
        QTest::newRow("British at home") << "GB" << "020 7946 0958" << "+442079460958" << "020 7946 0958"
                                         << "+44 20 7946 0958" << "tel:+44-20-7946-0958";
        QTest::newRow("without its area code") << "US" << "555-1234" << "+15551234" << "555-1234" << "+1 5551234"
                                               << "tel:555-1234;phone-context=+1";
    }

    void format()
    {
        QFETCH(QString, region);
        QFETCH(QString, text);
        QFETCH(QString, e164);
        QFETCH(QString, national);
        QFETCH(QString, international);
        QFETCH(QString, rfc3966);
        const PhoneNumbers numbers(region);
        const std::optional<PhoneNumbers::Number> n = numbers.parse(text);
        QVERIFY(n);
        QCOMPARE(numbers.format(*n, PhoneNumbers::Format::E164), e164);
        QCOMPARE(numbers.format(*n, PhoneNumbers::Format::National), national);
        QCOMPARE(numbers.format(*n, PhoneNumbers::Format::International), international);
        QCOMPARE(numbers.format(*n, PhoneNumbers::Format::Rfc3966), rfc3966);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::newRow("number") << "(555) 123-4567" << true;
        QTest::newRow("blanks around") << "  555-1234 " << true;
        QTest::newRow("letters") << "1-800-FLOWERS" << true;
        QTest::newRow("n/a") << "n/a" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks") << "   " << false;
        QTest::newRow("too short") << "123" << false;
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, number);
        const std::optional<PhoneNumbers::Number> n = PhoneNumbers(QStringLiteral("US")).parse(text);
        QCOMPARE(n.has_value(), number);
        if (n)
            QCOMPARE(n->text, text.trimmed());
    }

    void dialString_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dial");
        QTest::newRow("separators dropped") << "US" << "(555) 123-4567" << "5551234567";
        QTest::newRow("letters on the keypad") << "US" << "1-800-FLOWERS" << "18003569377";
        QTest::newRow("local number in letters") << "US" << "555-BOOK" << "5552665";
        QTest::newRow("first number only") << "US" << "555-1234 / 555-9876" << "5551234";
        QTest::newRow("extension left out") << "US" << "555-1234 x12" << "5551234";
        QTest::newRow("own country with the plus sign") << "US" << "+1 555 123 4567" << "15551234567";
        QTest::newRow("long-distance prefix before it") << "US" << "1(555) 123-4567" << "15551234567";
        QTest::newRow("prefix before a short number") << "US" << "1555-1234" << "15551234";
        QTest::newRow("prefix before letters") << "US" << "1555-BOOK" << "15552665";
        QTest::newRow("outside line") << "US" << "9,555-1234" << "9,5551234";
        QTest::newRow("prefix and a blank") << "US" << "1 555-1234" << "15551234";
        QTest::newRow("abroad") << "US" << "+44 (0)20 7946 0958" << "011442079460958";
        QTest::newRow("abroad through the access code") << "US" << "011 44 20 7946 0958" << "011442079460958";
        QTest::newRow("at home in Britain") << "GB" << "+44 20 7946 0958" << "02079460958";
        QTest::newRow("star codes") << "US" << "*67" << "*67";
        QTest::newRow("a short number") << "US" << "4711" << "4711";
        QTest::newRow("n/a") << "US" << "n/a" << "";
        QTest::newRow("two short numbers") << "US" << "1234 5678" << "";
        QTest::newRow("dashes") << "US" << " - " << "";
        QTest::newRow("empty") << "US" << "" << "";
    }

    void dialString()
    {
        QFETCH(QString, region);
        QFETCH(QString, text);
        QFETCH(QString, dial);
        QCOMPARE(PhoneNumbers(region).dialString(text), dial);
    }

    void telUrl_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("url"); // empty: none
        QTest::newRow("extension") << "US" << "+1 (555) 123-4567 ext. 12"
                                   << QByteArray("tel:+1-555-123-4567;ext=12");
        QTest::newRow("written at home") << "US" << "(555) 123 4567" << QByteArray("tel:+1-555-123-4567");
        QTest::newRow("dots") << "US" << "555.123.4567" << QByteArray("tel:+1-555-123-4567");
        QTest::newRow("letters") << "US" << "1-800-FLOWERS" << QByteArray("tel:+1-800-356-9377");
        QTest::newRow("first of two") << "US" << "555-1234 / 555-9876" << QByteArray("tel:555-1234;phone-context=+1");
        QTest::newRow("without its area code") << "US" << "555-1234" << QByteArray("tel:555-1234;phone-context=+1");
        QTest::newRow("local, with an extension")
            << "US" << "555-1234 x7" << QByteArray("tel:555-1234;ext=7;phone-context=+1");
        QTest::newRow("British at home") << "GB" << "020 7946 0958" << QByteArray("tel:+44-20-7946-0958");
        QTest::newRow("German from America") << "US" << "+49 30 1234567" << QByteArray("tel:+49-30-1234567");
        QTest::newRow("digits that make no number") << "US" << "1555-1234"
                                                    << QByteArray("tel:1555-1234;phone-context=+1");
        QTest::newRow("n/a") << "US" << "n/a" << QByteArray();
        QTest::newRow("star code") << "US" << "*67" << QByteArray();
        QTest::newRow("query characters") << "US" << "555?x=&1/2" << QByteArray();
        QTest::newRow("no digits") << "US" << " - " << QByteArray();
        QTest::newRow("empty") << "US" << "" << QByteArray();
    }

    void telUrl()
    {
        QFETCH(QString, region);
        QFETCH(QString, text);
        QFETCH(QByteArray, url);
        const QUrl tel = PhoneNumbers(region).telUrl(text);
        QCOMPARE(tel.toEncoded(), url);
        QCOMPARE(tel.isValid(), !url.isEmpty());
    }

    void keypadDigits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("digits");
        QTest::newRow("upper case") << "ABCDEFGHIJKLMNOPQRSTUVWXYZ" << "22233344455566677778889999";
        QTest::newRow("lower case") << "flowers" << "3569377";
        QTest::newRow("others kept") << "1-800-\u00c9T\u00c9" << "1-800-\u00c98\u00c9";
    }

    void keypadDigits()
    {
        QFETCH(QString, text);
        QFETCH(QString, digits);
        QCOMPARE(PhoneNumbers::keypadDigits(text), digits);
    }

    void regions_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("region");
        QTest::newRow("US") << "US" << true;
        QTest::newRow("lower case") << "gb" << true;
        QTest::newRow("blanks around") << " DE " << true;
        QTest::newRow("no such region") << "XX" << false;
        QTest::newRow("three letters") << "USA" << false;
        QTest::newRow("number") << "001" << false;
        QTest::newRow("empty") << "" << false;
    }

    void regions()
    {
        QFETCH(QString, code);
        QFETCH(bool, region);
        QCOMPARE(PhoneNumbers::isRegion(code), region);
        if (region)
            QCOMPARE(PhoneNumbers(code).region(), code.trimmed().toUpper());
        else
            QCOMPARE(PhoneNumbers(code).region(), PhoneNumbers::defaultRegion());
    }

    void regionOfTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("region");
        QTest::newRow("Germany") << QLocale(QLocale::German, QLocale::Germany) << "DE";
        QTest::newRow("Britain") << QLocale(QLocale::English, QLocale::UnitedKingdom) << "GB";
        QTest::newRow("Canada, in French") << QLocale(QLocale::French, QLocale::Canada) << "CA";
        QTest::newRow("C") << QLocale::c() << "US";
        QTest::newRow("the world") << QLocale(QLocale::English, QLocale::World) << "US";
    }

    void regionOfTheLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, region);
        QCOMPARE(PhoneNumbers::regionForLocale(locale), region);
    }

    void regionSetting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("region"); // empty: the system's
        QTest::newRow("Britain") << "GB" << "GB";
        QTest::newRow("lower case") << "fr" << "FR";
        QTest::newRow("not a region") << "Narnia" << "";
        QTest::newRow("not set") << "" << "";
    }

    void regionSetting()
    {
        QFETCH(QString, text);
        QFETCH(QString, region);
        SettingsStore settings(m_dir.filePath(QStringLiteral("quillon.ini")));
        settings.WriteSettingText(QStringLiteral("PhoneRegion"), text);
        const QString expected = region.isEmpty() ? PhoneNumbers::regionForLocale(QLocale::system()) : region;
        QCOMPARE(PhoneNumbers::fromSettings(settings).region(), expected);
    }
};

QTEST_GUILESS_MAIN(TestPhoneNumbers)
#include "TestPhoneNumbers.moc"
