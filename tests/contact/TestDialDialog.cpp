#include "FakeModem.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "contact/ContactCommands.h"
#include "contact/DialDialog.h"
#include "testsupport/TestPlatform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

using namespace quillon;

namespace {

const QString kPortMessage =
    QStringLiteral("COM2: not available. Change the CommPort property to another port.");

} // namespace

class TestDialDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeModem> m_modem;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<TestPlatform> m_platform;
    std::unique_ptr<MainModel> m_model;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<ContactCommands> m_commands;

    QString setting(const char* name) const { return m_settings->ReadSettingText(QLatin1String(name)); }
    void set(const char* name, const QString& value)
    {
        m_settings->WriteSettingText(QLatin1String(name), value);
    }

    template <typename T> static T* child(QWidget* dialog, const char* name)
    {
        return dialog->findChild<T*>(QLatin1String(name));
    }

    void setPhone(const QString& phone)
    {
        RecordSheet& sheet = m_model->sheet();
        sheet.setText(3, 5, phone);
        sheet.setCurrentCell(3, 1);
    }

    /** Opens the dialer by the Dial Phone command and lets its activation run. */
    DialDialog* openDialer()
    {
        DialDialog* dialog = m_commands->dialPhone();
        if (!FakeModem::waitFor([&] { return dialog->isVisible(); }))
            return nullptr;
        QCoreApplication::processEvents();
        return dialog;
    }

    /** Closes the dialog and waits until it is gone. */
    static bool closeDialog(DialDialog* dialog)
    {
        QPointer<DialDialog> alive(dialog);
        dialog->close();
        return FakeModem::waitFor([&] { return alive.isNull(); });
    }

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("quillon.ini")));
        m_settings = std::make_unique<SettingsStore>(m_dir.filePath(QStringLiteral("quillon.ini")));
        m_platform = std::make_unique<TestPlatform>();
        m_model = std::make_unique<MainModel>(*m_settings, *m_platform,
                                              m_dir.filePath(QStringLiteral("Untitled1.vty")));
        m_model->document().buildNewSheet();
        m_window = std::make_unique<QWidget>();
        m_commands = std::make_unique<ContactCommands>(*m_model, m_window.get());
        m_modem = std::make_unique<FakeModem>();
        if (!m_modem->start(2))
            QSKIP("socat is needed for the dialer tests");
        set("COMMDEVICE", m_modem->deviceTemplate());
    }

    void cleanup()
    {
        if (m_commands && m_commands->dialer())
            delete m_commands->dialer();
        m_commands.reset();
        m_window.reset();
        m_model.reset();
        m_platform.reset();
        m_settings.reset();
        m_modem.reset();
    }

    void dialPhoneDialsTheCurrentRecord_data()
    {
        QTest::addColumn<QString>("dialOne");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("prefix off") << "0"
                                    << "1"
                                    << "555-1234" << QByteArray("ATDT5551234;\r");
        QTest::newRow("prefix on, with blanks") << "1"
                                                << " 1 "
                                                << "1555-1234" << QByteArray("ATDT15551234;\r");
        QTest::newRow("not set") << ""
                                 << ""
                                 << "555-1234" << QByteArray("ATDT5551234;\r");
    }

    void dialPhoneDialsTheCurrentRecord()
    {
        QFETCH(QString, dialOne);
        QFETCH(QString, prefix);
        QFETCH(QString, number);
        QFETCH(QByteArray, command);
        set("DIALONE", dialOne);
        set("LONGDIS", prefix);
        setPhone(QStringLiteral("555-1234"));

        DialDialog* dialog = m_commands->dialPhone();
        QVERIFY(dialog);
        // The modem's echo may follow the status at once with "Dialing...".
        QSignalSpy statuses(child<QLineEdit>(dialog, "txtStatus"), &QLineEdit::textChanged);
        QVERIFY(FakeModem::waitFor([&] { return dialog->isVisible(); }));
        QCoreApplication::processEvents();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Dial Phone"));
        QVERIFY(dialog->isModal());
        QCOMPARE(dialog->number(), number);
        QCOMPARE(m_modem->readCommand(), command);
        QVERIFY(!statuses.isEmpty());
        QCOMPARE(statuses.first().first().toString(), QStringLiteral("Dialing - ") + number);
        QVERIFY(!child<QPushButton>(dialog, "cmdDial")->isEnabled());
        QVERIFY(child<QPushButton>(dialog, "cmdCancel")->isEnabled());

        m_modem->send("OK\r\n");
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QVERIFY(FakeModem::waitFor([&] { return child<QPushButton>(dialog, "cmdDial")->isEnabled(); }));
        QVERIFY(!child<QPushButton>(dialog, "cmdCancel")->isEnabled());
        QCOMPARE(m_platform->lastMessage(),
                 QStringLiteral("Pick up the phone and either press Enter or click OK"));
        QCOMPARE(dialog->statusText(), QStringLiteral("Waiting for picking up the phone"));
        QCOMPARE(m_platform->beeps, 1);
        QVERIFY(closeDialog(dialog));
        QCOMPARE(m_modem->drain(), QByteArray());
    }

    void modemReceivesDigitsOnly_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("separators dropped") << "US" << "555-1234" << QByteArray("ATDT5551234;\r");
        QTest::newRow("letters on the keypad") << "US" << "1-800-FLOWERS" << QByteArray("ATDT18003569377;\r");
        QTest::newRow("local number in letters") << "US" << "555-BOOK" << QByteArray("ATDT5552665;\r");
        QTest::newRow("en dash") << "US" << "555\u20131234" << QByteArray("ATDT5551234;\r");
        QTest::newRow("two numbers on two lines") << "US" << "555-1234\n555-9876" << QByteArray("ATDT5551234;\r");
        QTest::newRow("two numbers with a slash") << "US" << "555-1234 / 555-9876" << QByteArray("ATDT5551234;\r");
        QTest::newRow("label before the number")
            << "US" << "Tel: (212) 555-0100, Fax: (212) 555-0199" << QByteArray("ATDT2125550100;\r");
        QTest::newRow("extension left for the handset")
            << "US" << "(555) 123-4567 ext. 12" << QByteArray("ATDT5551234567;\r");
        QTest::newRow("own country with the plus sign")
            << "US" << "+1 (555) 123-4567" << QByteArray("ATDT15551234567;\r");
        QTest::newRow("abroad") << "US" << "+44 20 7946 0958" << QByteArray("ATDT011442079460958;\r");
        QTest::newRow("British number at home") << "GB" << "020 7946 0958" << QByteArray("ATDT02079460958;\r");
        QTest::newRow("abroad from Britain") << "GB" << "+1 555 123 4567" << QByteArray("ATDT0015551234567;\r");
        QTest::newRow("short number typed as digits") << "US" << "4711" << QByteArray("ATDT4711;\r");
    }

    void modemReceivesDigitsOnly()
    {
        QFETCH(QString, region);
        QFETCH(QString, phone);
        QFETCH(QByteArray, command);
        set("PhoneRegion", region);
        setPhone(phone);
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QCOMPARE(m_modem->readCommand(), command);
        QVERIFY(closeDialog(dialog));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QCOMPARE(m_modem->drain(), QByteArray());
    }

    void cellWithoutANumber_data()
    {
        QTest::addColumn<QString>("phone");
        QTest::newRow("n/a") << "n/a";
        QTest::newRow("words") << "call the office";
        QTest::newRow("dashes") << " - ";
    }

    void cellWithoutANumber()
    {
        QFETCH(QString, phone);
        setPhone(phone);
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QCOMPARE(dialog->statusText(), QStringLiteral("No phone number to dial"));
        QVERIFY(child<QPushButton>(dialog, "cmdDial")->isEnabled());
        QVERIFY(!child<QPushButton>(dialog, "cmdCancel")->isEnabled());
        QVERIFY(m_platform->messages.isEmpty());
        QVERIFY(closeDialog(dialog));
        QCOMPARE(m_modem->drain(), QByteArray());
    }

    void emptyPhoneCellDialsNothing()
    {
        setPhone(QString());
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QVERIFY(dialog->number().isEmpty());
        QVERIFY(!child<QPushButton>(dialog, "cmdDial")->isEnabled());
        QVERIFY(child<QPushButton>(dialog, "cmdCancel")->isEnabled());
        QVERIFY(dialog->statusText().isEmpty());
        QCOMPARE(m_modem->drain(), QByteArray());
        QVERIFY(m_platform->messages.isEmpty());

        // A number typed afterwards can be dialled.
        QTest::keyClicks(child<QLineEdit>(dialog, "txtNum"), QStringLiteral("555-9876"));
        QVERIFY(child<QPushButton>(dialog, "cmdDial")->isEnabled());
        QVERIFY(!child<QPushButton>(dialog, "cmdCancel")->isEnabled());
        QTest::mouseClick(child<QPushButton>(dialog, "cmdDial"), Qt::LeftButton);
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT5559876;\r"));
        QVERIFY(closeDialog(dialog));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
    }

    void cancelWhileTheModemIsSilent()
    {
        setPhone(QStringLiteral("555-1234"));
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT5551234;\r"));
        m_modem->send("O");
        QVERIFY(FakeModem::waitFor([&] { return dialog->statusText() == QStringLiteral("Dialing..."); }));

        QTest::mouseClick(child<QPushButton>(dialog, "cmdCancel"), Qt::LeftButton);
        QCOMPARE(dialog->statusText(), QStringLiteral("Cancel"));
        QVERIFY(!child<QPushButton>(dialog, "cmdCancel")->isEnabled());
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QVERIFY(FakeModem::waitFor([&] { return child<QPushButton>(dialog, "cmdDial")->isEnabled(); }));
        QVERIFY(m_platform->messages.isEmpty());

        // Dial again: the same number goes out, and the K completing the earlier O
        // does not count, since each call starts a new reply.
        QTest::mouseClick(child<QPushButton>(dialog, "cmdDial"), Qt::LeftButton);
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT5551234;\r"));
        m_modem->send("K");
        QVERIFY(FakeModem::waitFor([&] { return dialog->statusText() == QStringLiteral("Dialing..."); }));
        QVERIFY(m_platform->messages.isEmpty());
        QVERIFY(closeDialog(dialog));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
    }

    void modemThatNeverAnswersTimesOut()
    {
        // A limit of one second keeps the test short; the outcome is what counts.
        set("DialTimeout", QStringLiteral("1"));
        setPhone(QStringLiteral("555-1234"));
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QVERIFY(m_modem->readCommand().startsWith("ATDT"));
        QVERIFY(FakeModem::waitFor([&] { return !m_platform->messages.isEmpty(); }));
        QCOMPARE(m_platform->lastMessage(), QStringLiteral("The modem did not answer in time."));
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QCOMPARE(dialog->statusText(), QStringLiteral("No answer from the modem"));
        QVERIFY(child<QPushButton>(dialog, "cmdDial")->isEnabled());
        QVERIFY(!child<QPushButton>(dialog, "cmdCancel")->isEnabled());
        QCOMPARE(m_platform->beeps, 0);
        QVERIFY(closeDialog(dialog));
    }

    void busyLineEndsTheCall()
    {
        m_modem->answerDialWith("BUSY");
        setPhone(QStringLiteral("555-1234"));
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QVERIFY(FakeModem::waitFor([&] { return !m_platform->messages.isEmpty(); }));
        QCOMPARE(m_platform->lastMessage(), QStringLiteral("The line is busy. Try again later."));
        QCOMPARE(dialog->statusText(), QStringLiteral("BUSY"));
        QVERIFY(FakeModem::waitFor([&] { return child<QPushButton>(dialog, "cmdDial")->isEnabled(); }));
        QVERIFY(!child<QPushButton>(dialog, "cmdCancel")->isEnabled());
        QVERIFY(m_modem->readCommand().startsWith("ATDT"));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QVERIFY(closeDialog(dialog));
    }

    void portNotThereShowsTheLongForm()
    {
        set("COMMDEVICE", m_modem->missingTemplate());
        setPhone(QStringLiteral("555-1234"));
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QVERIFY(FakeModem::waitFor([&] { return !m_platform->messages.isEmpty(); }));
        QCOMPARE(m_platform->lastMessage(), kPortMessage);
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY(dialog->isLongForm());
        QCOMPARE(dialog->height(), dialog->twipsToPixels(DialDialog::kLongHeight));
        QVERIFY(child<QLineEdit>(dialog, "txtPort")->isVisible());
        QVERIFY(child<QPushButton>(dialog, "cmdDial")->isEnabled());
        QVERIFY(!child<QPushButton>(dialog, "cmdCancel")->isEnabled());

        QVERIFY(closeDialog(dialog));
        QCOMPARE(setting("LONGFORM"), QStringLiteral("True"));
        QCOMPARE(setting("COMMPORT"), QStringLiteral("2"));
        QCOMPARE(setting("LONGDIS"), QStringLiteral("1"));
        QCOMPARE(setting("DIALONE"), QStringLiteral("0"));
        QCOMPARE(m_modem->drain(), QByteArray());
    }

    void portTextThatIsNotANumber()
    {
        set("COMMPORT", QStringLiteral("modem"));
        setPhone(QStringLiteral("555"));
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QVERIFY(FakeModem::waitFor([&] { return !m_platform->messages.isEmpty(); }));
        QCOMPARE(m_platform->lastMessage(),
                 QStringLiteral("COM0: not available. Change the CommPort property to another port."));
        QVERIFY(closeDialog(dialog));
        QCOMPARE(setting("COMMPORT"), QStringLiteral("modem"));
    }

    void longAndShortForms()
    {
        set("LONGFORM", QStringLiteral("True"));
        setPhone(QString());
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        auto* settingsToggle = child<QToolButton>(dialog, "cmdSet");
        QVERIFY(dialog->isLongForm());
        QCOMPARE(dialog->height(), dialog->twipsToPixels(DialDialog::kLongHeight));
        QCOMPARE(settingsToggle->property("picture").toString(), QStringLiteral("imgU"));

        QTest::mouseClick(settingsToggle, Qt::LeftButton);
        QVERIFY(!dialog->isLongForm());
        QCOMPARE(dialog->height(), dialog->twipsToPixels(DialDialog::kShortHeight));
        QVERIFY(!child<QLineEdit>(dialog, "txtPort")->isVisible());
        QVERIFY(child<QLineEdit>(dialog, "txtNum")->isVisible());
        QCOMPARE(settingsToggle->property("picture").toString(), QStringLiteral("imgD"));

        QTest::mouseClick(settingsToggle, Qt::LeftButton);
        QVERIFY(dialog->isLongForm());
        QCOMPARE(dialog->height(), dialog->twipsToPixels(DialDialog::kLongHeight));

        QTest::mouseClick(settingsToggle, Qt::LeftButton);
        QVERIFY(closeDialog(dialog));
        QCOMPARE(setting("LONGFORM"), QStringLiteral("False"));
    }

    void settingsAreSavedOnEveryClose_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Close button") << "cmdExit";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("window closed") << "close";
        QTest::newRow("Save Settings") << "cmdSave";
    }

    void settingsAreSavedOnEveryClose()
    {
        QFETCH(QString, how);
        setPhone(QString());
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QVERIFY(!dialog->isLongForm());
        QCOMPARE(dialog->height(), dialog->twipsToPixels(DialDialog::kShortHeight));
        QCOMPARE(child<QLineEdit>(dialog, "txtPort")->text(), QStringLiteral("2"));
        QCOMPARE(child<QLineEdit>(dialog, "txtLongDis")->text(), QStringLiteral("1"));
        QCOMPARE(child<QCheckBox>(dialog, "chkDialOne")->text(),
                 QStringLiteral("Dial '1' before number for long distance"));
        QCOMPARE(child<QPushButton>(dialog, "cmdExit")->text(), QStringLiteral("C&lose"));
        QCOMPARE(child<QPushButton>(dialog, "cmdSave")->text(), QStringLiteral("&Save Settings"));

        QTest::mouseClick(child<QToolButton>(dialog, "cmdSet"), Qt::LeftButton);
        child<QLineEdit>(dialog, "txtPort")->setText(QStringLiteral("5"));
        child<QLineEdit>(dialog, "txtLongDis")->setText(QStringLiteral("011"));
        QTest::mouseClick(child<QCheckBox>(dialog, "chkDialOne"), Qt::LeftButton);
        QCOMPARE(dialog->dialOne(), 1);
        child<QComboBox>(dialog, "cboDialMethod")->setCurrentIndex(1);

        QPointer<DialDialog> alive(dialog);
        if (how == QLatin1String("escape"))
            QTest::keyClick(dialog, Qt::Key_Escape);
        else if (how == QLatin1String("close"))
            dialog->close();
        else
            QTest::mouseClick(child<QPushButton>(dialog, how.toLatin1().constData()), Qt::LeftButton);
        if (how != QLatin1String("cmdSave"))
            QVERIFY(FakeModem::waitFor([&] { return alive.isNull(); }));
        else
            QVERIFY(dialog->isVisible());

        QCOMPARE(setting("COMMPORT"), QStringLiteral("5"));
        QCOMPARE(setting("LONGDIS"), QStringLiteral("011"));
        QCOMPARE(setting("DIALONE"), QStringLiteral("1"));
        QCOMPARE(setting("LONGFORM"), QStringLiteral("True"));
        QCOMPARE(setting("DIALMETHOD"), QStringLiteral("Phone"));
    }

    void closingWhileDialingHangsUp()
    {
        setPhone(QStringLiteral("555-1234"));
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT5551234;\r"));
        QTest::mouseClick(child<QPushButton>(dialog, "cmdExit"), Qt::LeftButton);
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QVERIFY(FakeModem::waitFor([&] { return m_commands->dialer() == nullptr; }));
        QCOMPARE(setting("COMMPORT"), QStringLiteral("2"));
    }

    void phoneApplicationInsteadOfTheModem_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("dialOne");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("number"); // in txtNum
        QTest::addColumn<QByteArray>("url"); // empty: none opened
        QTest::newRow("extension") << "US" << "0" << "+1 (555) 123-4567 ext. 12" << "+1 (555) 123-4567 ext. 12"
                                   << QByteArray("tel:+1-555-123-4567;ext=12");
        QTest::newRow("long-distance prefix") << "US" << "1" << "(555) 123-4567" << "1(555) 123-4567"
                                              << QByteArray("tel:+1-555-123-4567");
        QTest::newRow("letters") << "US" << "0" << "1-800-FLOWERS" << "1-800-FLOWERS"
                                 << QByteArray("tel:+1-800-356-9377");
        QTest::newRow("first of two numbers") << "US" << "0" << "Tel: 212-555-0100, Fax: 212-555-0199"
                                              << "212-555-0100" << QByteArray("tel:+1-212-555-0100");
        QTest::newRow("without its area code") << "US" << "0" << "555-1234" << "555-1234"
                                               << QByteArray("tel:555-1234;phone-context=+1");
        QTest::newRow("British") << "GB" << "0" << "020 7946 0958" << "020 7946 0958"
                                 << QByteArray("tel:+44-20-7946-0958");
        QTest::newRow("n/a") << "US" << "0" << "n/a" << "n/a" << QByteArray();
    }

    void phoneApplicationInsteadOfTheModem()
    {
        QFETCH(QString, region);
        QFETCH(QString, dialOne);
        QFETCH(QString, phone);
        QFETCH(QString, number);
        QFETCH(QByteArray, url);
        set("DIALMETHOD", QStringLiteral("Phone"));
        set("DIALONE", dialOne);
        set("PhoneRegion", region);
        setPhone(phone);
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        QVERIFY(FakeModem::waitFor([&] { return child<QPushButton>(dialog, "cmdDial")->isEnabled(); }));
        QCOMPARE(dialog->number(), number);
        if (url.isEmpty()) {
            QVERIFY(m_platform->openedUrls.isEmpty());
            QCOMPARE(dialog->statusText(), QStringLiteral("No phone number to dial"));
        } else {
            QCOMPARE(m_platform->openedUrls.size(), 1);
            QCOMPARE(m_platform->openedUrls.first().toEncoded(), url);
            QCOMPARE(dialog->statusText(), QStringLiteral("Dialing - ") + number);
        }
        QVERIFY(!child<QPushButton>(dialog, "cmdCancel")->isEnabled());
        QVERIFY(closeDialog(dialog));
        QCOMPARE(m_modem->drain(), QByteArray());
    }

    void mapAndHomePage()
    {
        RecordSheet& sheet = m_model->sheet();
        sheet.setText(2, 1, QStringLiteral("Smith & Sons Rd"));
        sheet.setText(2, 2, QStringLiteral("New York"));
        sheet.setText(2, 3, QStringLiteral("NY"));
        sheet.setText(2, 4, QStringLiteral("10001"));
        sheet.setCurrentCell(2, 0);
        set("MapHost", QStringLiteral("http://maps.example.com"));
        m_commands->showMap();
        QCOMPARE(m_platform->openedUrls.size(), 1);
        QCOMPARE(
            m_platform->openedUrls.last().toEncoded(),
            QByteArray("http://maps.example.com/py/maps.py?BFCat=&Pyt=Tmap&newFL=Use+Address+Below"
                       "&addr=Smith+%26+Sons+Rd&csz=New%20York%2C+NY+10001&Country=us&Get%A0Map=Get+Map"));
        QCOMPARE(sheet.text(2, 1), QStringLiteral("Smith & Sons Rd"));

        m_commands->openHomePage();
        QCOMPARE(m_platform->openedUrls.size(), 2);
        QCOMPARE(m_platform->openedUrls.last(), QUrl(QStringLiteral("https://quillon.example.org/")));
    }

    void mapFromTheSettings_data()
    {
        QTest::addColumn<QString>("mapUrl");
        QTest::addColumn<QString>("mapHost");
        QTest::addColumn<QByteArray>("url");
        const QByteArray osm("https://www.openstreetmap.org/search?query=Smith+%26+Sons+Rd%2C+New%20York%2C+NY+10001");
        QTest::newRow("not set: OpenStreetMap") << "" << "" << osm;
        QTest::newRow("Google Maps")
            << "https://www.google.com/maps/search/?api=1&query={street}%2C+{city}%2C+{state}+{zip}" << ""
            << QByteArray("https://www.google.com/maps/search/?api=1&query=Smith+%26+Sons+Rd%2C+New%20York%2C+NY+10001");
        QTest::newRow("Bing") << "https://www.bing.com/maps?q={street}%2C+{city}%2C+{state}+{zip}" << ""
                              << QByteArray("https://www.bing.com/maps?q=Smith+%26+Sons+Rd%2C+New%20York%2C+NY+10001");
        QTest::newRow("own template, another order")
            << " http://maps.example.org/find?zip={zip}&st={state}&c={city}&s={street} " << ""
            << QByteArray("http://maps.example.org/find?zip=10001&st=NY&c=New%20York&s=Smith+%26+Sons+Rd");
        QTest::newRow("a field twice, one left out")
            << "https://maps.example.org/{state}/{city}?q={street}+{city}" << ""
            << QByteArray("https://maps.example.org/NY/New%20York?q=Smith+%26+Sons+Rd+New%20York");
        QTest::newRow("MapHost of an older setup keeps its form")
            << "" << "http://maps.example.com"
            << QByteArray("http://maps.example.com/py/maps.py?BFCat=&Pyt=Tmap&newFL=Use+Address+Below"
                          "&addr=Smith+%26+Sons+Rd&csz=New%20York%2C+NY+10001&Country=us&Get%A0Map=Get+Map");
        QTest::newRow("MapURL before MapHost")
            << "https://maps.example.org/?q={street}" << "http://maps.example.com"
            << QByteArray("https://maps.example.org/?q=Smith+%26+Sons+Rd");
        QTest::newRow("no scheme") << "maps.example.org/?q={street}" << "" << osm;
        QTest::newRow("not a web address") << "ftp://maps.example.org/{street}" << "" << osm;
        QTest::newRow("script") << "javascript:alert({street})" << "" << osm;
        QTest::newRow("no host") << "https:///?q={street}" << "" << osm;
        QTest::newRow("nonsense, with a MapHost")
            << "{street}" << "maps.example.com/"
            << QByteArray("http://maps.example.com/py/maps.py?BFCat=&Pyt=Tmap&newFL=Use+Address+Below"
                          "&addr=Smith+%26+Sons+Rd&csz=New%20York%2C+NY+10001&Country=us&Get%A0Map=Get+Map");
    }

    void mapFromTheSettings()
    {
        QFETCH(QString, mapUrl);
        QFETCH(QString, mapHost);
        QFETCH(QByteArray, url);
        RecordSheet& sheet = m_model->sheet();
        sheet.setText(2, 1, QStringLiteral("Smith & Sons Rd"));
        sheet.setText(2, 2, QStringLiteral("New York"));
        sheet.setText(2, 3, QStringLiteral("NY"));
        sheet.setText(2, 4, QStringLiteral("10001"));
        sheet.setCurrentCell(2, 0);
        set("MapURL", mapUrl);
        set("MapHost", mapHost);
        m_commands->showMap();
        QCOMPARE(m_platform->openedUrls.size(), 1);
        QCOMPARE(m_platform->openedUrls.last().toEncoded(), url);
    }

    void mapServiceChosenInTheDialer_data()
    {
        QTest::addColumn<QString>("mapUrl");
        QTest::addColumn<QString>("mapHost");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("chosen"); // empty: left as it is
        QTest::addColumn<QString>("saved");  // "MapURL" afterwards
        QTest::addColumn<QString>("opened"); // how the map address begins
        QTest::newRow("not set, left") << "" << "" << "OpenStreetMap" << "" << "" << "https://www.openstreetmap.org/search?query=";
        QTest::newRow("Google chosen")
            << "" << "" << "OpenStreetMap" << "Google Maps"
            << "https://www.google.com/maps/search/?api=1&query={street}%2C+{city}%2C+{state}+{zip}"
            << "https://www.google.com/maps/search/?api=1&query=";
        QTest::newRow("Bing chosen")
            << "" << "" << "OpenStreetMap" << "Bing Maps"
            << "https://www.bing.com/maps?q={street}%2C+{city}%2C+{state}+{zip}"
            << "https://www.bing.com/maps?q=";
        QTest::newRow("Google set, shown")
            << "https://www.google.com/maps/search/?api=1&query={street}%2C+{city}%2C+{state}+{zip}" << ""
            << "Google Maps" << ""
            << "https://www.google.com/maps/search/?api=1&query={street}%2C+{city}%2C+{state}+{zip}"
            << "https://www.google.com/maps/search/?api=1&query=";
        QTest::newRow("MapHost left as it is")
            << "" << "http://maps.example.com" << "As set in the settings file" << "" << ""
            << "http://maps.example.com/py/maps.py?";
        QTest::newRow("MapHost replaced by OpenStreetMap")
            << "" << "http://maps.example.com" << "As set in the settings file" << "OpenStreetMap"
            << "https://www.openstreetmap.org/search?query={street}%2C+{city}%2C+{state}+{zip}"
            << "https://www.openstreetmap.org/search?query=";
        QTest::newRow("own template left as it is")
            << "https://maps.example.org/?q={street}" << "" << "As set in the settings file" << ""
            << "https://maps.example.org/?q={street}" << "https://maps.example.org/?q=";
    }

    void mapServiceChosenInTheDialer()
    {
        QFETCH(QString, mapUrl);
        QFETCH(QString, mapHost);
        QFETCH(QString, shown);
        QFETCH(QString, chosen);
        QFETCH(QString, saved);
        QFETCH(QString, opened);
        set("MapURL", mapUrl);
        set("MapHost", mapHost);
        set("LONGFORM", QStringLiteral("True"));
        setPhone(QString());
        DialDialog* dialog = openDialer();
        QVERIFY(dialog);
        auto* services = child<QComboBox>(dialog, "cboMapService");
        QVERIFY(services);
        QVERIFY(services->isVisible());
        QCOMPARE(services->currentText(), shown);
        QStringList names;
        for (int i = 0; i < services->count(); ++i)
            names << services->itemText(i);
        QVERIFY(names.contains(QStringLiteral("OpenStreetMap")));
        QVERIFY(names.contains(QStringLiteral("Google Maps")));
        QVERIFY(names.contains(QStringLiteral("Bing Maps")));
        if (!chosen.isEmpty())
            services->setCurrentIndex(services->findText(chosen));
        QVERIFY(closeDialog(dialog));
        QCOMPARE(setting("MapURL"), saved);
        QCOMPARE(setting("MapHost"), mapHost);

        m_commands->showMap();
        QCOMPARE(m_platform->openedUrls.size(), 1);
        QVERIFY2(m_platform->openedUrls.last().toString().startsWith(opened),
                 qPrintable(m_platform->openedUrls.last().toString()));
    }

    void commandsFollowTheWindowsActions()
    {
        QHash<QString, QAction*> actions;
        for (const char* name : {"mnuTools_DialPhone", "tb0.phone", "mnuMap", "tb0.map", "mnuWeb"})
            actions.insert(QLatin1String(name), new QAction(QLatin1String(name), m_window.get()));
        ContactCommands commands(*m_model, m_window.get(),
                                 [&](const QString& name) { return actions.value(name); });
        setPhone(QString());

        actions.value(QStringLiteral("mnuMap"))->trigger();
        actions.value(QStringLiteral("tb0.map"))->trigger();
        QCOMPARE(m_platform->openedUrls.size(), 2);
        QVERIFY(m_platform->openedUrls.at(1).toString().startsWith(QLatin1String("https://www.openstreetmap.org/search?")));
        actions.value(QStringLiteral("mnuWeb"))->trigger();
        QCOMPARE(m_platform->openedUrls.size(), 3);
        QCOMPARE(m_platform->openedUrls.last(), QUrl(QStringLiteral("https://quillon.example.org/")));

        for (const char* name : {"mnuTools_DialPhone", "tb0.phone"}) {
            QVERIFY(!commands.dialer());
            actions.value(QLatin1String(name))->trigger();
            QVERIFY(commands.dialer());
            QVERIFY(closeDialog(commands.dialer()));
        }
    }
};

QTEST_MAIN(TestDialDialog)
#include "TestDialDialog.moc"
