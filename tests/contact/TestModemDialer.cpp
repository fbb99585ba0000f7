#include "FakeModem.h"
#include "contact/ModemDialer.h"
#include "testsupport/TestPlatform.h"

#include <QSignalSpy>

using namespace quillon;

namespace {

const QString kPickUp = QStringLiteral("Pick up the phone and either press Enter or click OK");

} // namespace

class TestModemDialer : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeModem> m_modem;
    std::unique_ptr<TestPlatform> m_platform;
    std::unique_ptr<ModemDialer> m_dialer;
    QStringList m_statuses;

private slots:
    void init()
    {
        m_modem = std::make_unique<FakeModem>();
        if (!m_modem->start(2))
            QSKIP("socat is needed for the modem tests");
        m_platform = std::make_unique<TestPlatform>();
        m_dialer = std::make_unique<ModemDialer>(*m_platform);
        m_dialer->setDeviceTemplate(m_modem->deviceTemplate());
        m_statuses.clear();
        connect(m_dialer.get(), &ModemDialer::statusChanged, this,
                [this](const QString& s) { m_statuses << s; });
    }

    void cleanup()
    {
        m_dialer.reset();
        m_platform.reset();
        m_modem.reset();
    }

    void commands_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("local") << "5551234" << QByteArray("ATDT5551234;\r");
        QTest::newRow("long distance") << "15551234" << QByteArray("ATDT15551234;\r");
        QTest::newRow("outside line and a pause") << "9,5551234" << QByteArray("ATDT9,5551234;\r");
        QTest::newRow("star and hash") << "*67#" << QByteArray("ATDT*67#;\r");
        QTest::newRow("empty") << "" << QByteArray("ATDT;\r");
        QTest::newRow("separators dropped") << "555-1234" << QByteArray("ATDT5551234;\r");
        QTest::newRow("line breaks from a web page") << "555\r\nATZ\t1" << QByteArray("ATDT5551;\r");
        QTest::newRow("no dial modifiers from letters") << "1-800-FLOWERS" << QByteArray("ATDT1800;\r");
        QTest::newRow("control characters dropped")
            << QStringLiteral("555\u007F12\u001B34\u0000") << QByteArray("ATDT5551234;\r");
        QTest::newRow("a semicolon would end the dial string") << "555;ATH;1234" << QByteArray("ATDT5551234;\r");
    }

    void commands()
    {
        QFETCH(QString, number);
        QFETCH(QByteArray, command);
        QCOMPARE(ModemDialer::dialCommand(number), command);
        QCOMPARE(ModemDialer::hangUpCommand(), QByteArray("ATH\r"));
    }

    void modemAnswersAtOnce_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("local") << "5551234" << QByteArray("ATDT5551234;\r");
        QTest::newRow("long distance") << "15551234" << QByteArray("ATDT15551234;\r");
    }

    void modemAnswersAtOnce()
    {
        QFETCH(QString, number);
        QFETCH(QByteArray, command);
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);

        QVERIFY(m_dialer->dial(number, 2));
        QVERIFY(m_dialer->isDialing());
        QCOMPARE(m_modem->readCommand(), command);
        m_modem->send("\r\nOK\r\n");

        QVERIFY(FakeModem::waitFor([&] { return finished.count() == 1; }));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QCOMPARE(m_modem->drain(), QByteArray());
        QCOMPARE(m_platform->beeps, 1);
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->lastMessage(), kPickUp);
        QCOMPARE(m_platform->messages.last().buttons, int(Platform::Ok));
        QCOMPARE(m_statuses.last(), QStringLiteral("Waiting for picking up the phone"));
        QVERIFY(!m_dialer->isDialing());
    }

    void replySplitOverTwoReads()
    {
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);
        QVERIFY(m_dialer->dial(QStringLiteral("5551234"), 2));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT5551234;\r"));

        m_modem->send("\r\nO");
        QVERIFY(FakeModem::waitFor([&] { return m_statuses.contains(QStringLiteral("Dialing...")); }));
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_platform->beeps, 0);

        m_modem->send("K\r\n");
        QVERIFY(FakeModem::waitFor([&] { return finished.count() == 1; }));
        QCOMPARE(m_platform->lastMessage(), kPickUp);
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
    }

    void modemThatNeverAnswersIsCancelled()
    {
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);
        QVERIFY(m_dialer->dial(QStringLiteral("5551234"), 2));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT5551234;\r"));
        m_modem->send("\r\nRING\r\n");
        QVERIFY(FakeModem::waitFor([&] { return m_statuses.contains(QStringLiteral("Dialing...")); }));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 0);

        m_dialer->cancel();
        QVERIFY(FakeModem::waitFor([&] { return finished.count() == 1; }));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QVERIFY(!m_dialer->isCancelRequested());
        QCOMPARE(m_platform->messages.size(), 0);
        QCOMPARE(m_platform->beeps, 0);
    }

    void echoAndOtherLinesAreNotTheAnswer_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QByteArray>("before"); // what the modem sends before its result code
        QTest::newRow("modem echoes a number holding OK") << true << "555-BOOK" << QByteArray();
        QTest::newRow("echo holding OK") << false << "555" << QByteArray("ATDT555-BOOK;\r");
        QTest::newRow("echo holding OK, then a line feed") << false << "555" << QByteArray("ATDT1-800-OK;\r\n");
        QTest::newRow("OK inside a word") << true << "555" << QByteArray("\r\nOKAY\r\n");
        QTest::newRow("OK after other text") << true << "555" << QByteArray("\r\nNOT OK\r\n");
        QTest::newRow("O and K on two lines") << true << "555" << QByteArray("\r\nO\r\nK\r\n");
        QTest::newRow("ring") << true << "555" << QByteArray("\r\nRING\r\n");
        QTest::newRow("a long line without an end") << true << "555" << QByteArray(5000, 'K');
    }

    void echoAndOtherLinesAreNotTheAnswer()
    {
        QFETCH(bool, echo);
        QFETCH(QString, number);
        QFETCH(QByteArray, before);
        m_modem->setEcho(echo);
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);
        QVERIFY(m_dialer->dial(number, 2));
        QVERIFY(m_modem->readCommand().startsWith("ATDT"));
        m_modem->send(before);
        QVERIFY(FakeModem::waitFor([&] { return m_statuses.contains(QStringLiteral("Dialing...")); }));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_platform->beeps, 0);
        QVERIFY(m_platform->messages.isEmpty());

        // The modem's own answer, a line of its own, is the one that counts.
        m_modem->answer("OK");
        QVERIFY(FakeModem::waitFor([&] { return finished.count() == 1; }));
        QCOMPARE(m_platform->beeps, 1);
        QCOMPARE(m_platform->lastMessage(), kPickUp);
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
    }

    void resultCodes_data()
    {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("OK") << QByteArray("OK") << "Waiting for picking up the phone" << kPickUp;
        QTest::newRow("CONNECT") << QByteArray("CONNECT") << "Waiting for picking up the phone" << kPickUp;
        QTest::newRow("CONNECT with a speed")
            << QByteArray("CONNECT 2400") << "Waiting for picking up the phone" << kPickUp;
        QTest::newRow("BUSY") << QByteArray("BUSY") << "BUSY"
                              << "The line is busy. Try again later.";
        QTest::newRow("NO DIALTONE") << QByteArray("NO DIALTONE") << "NO DIALTONE"
                                     << "The modem hears no dial tone. Check that it is connected to the "
                                        "phone line.";
        QTest::newRow("NO DIAL TONE, as some modems spell it")
            << QByteArray("NO DIAL TONE") << "NO DIALTONE"
            << "The modem hears no dial tone. Check that it is connected to the phone line.";
        QTest::newRow("NO CARRIER") << QByteArray("NO CARRIER") << "NO CARRIER"
                                    << "The call did not go through.";
        QTest::newRow("NO ANSWER") << QByteArray("NO ANSWER") << "NO ANSWER"
                                   << "Nobody answered the call.";
        QTest::newRow("ERROR") << QByteArray("ERROR") << "ERROR"
                               << "The modem did not accept the number to dial.";
        QTest::newRow("lower case") << QByteArray("busy") << "BUSY"
                                    << "The line is busy. Try again later.";
        // A modem set to numeric result codes (ATV0) sends the number and a carriage return.
        QTest::newRow("0: OK") << QByteArray("0") << "Waiting for picking up the phone" << kPickUp;
        QTest::newRow("1: CONNECT") << QByteArray("1") << "Waiting for picking up the phone" << kPickUp;
        QTest::newRow("5: CONNECT 1200") << QByteArray("5") << "Waiting for picking up the phone" << kPickUp;
        QTest::newRow("3: NO CARRIER") << QByteArray("3") << "NO CARRIER"
                                       << "The call did not go through.";
        QTest::newRow("4: ERROR") << QByteArray("4") << "ERROR"
                                  << "The modem did not accept the number to dial.";
        QTest::newRow("6: NO DIALTONE")
            << QByteArray("6") << "NO DIALTONE"
            << "The modem hears no dial tone. Check that it is connected to the phone line.";
        QTest::newRow("7: BUSY") << QByteArray("7") << "BUSY"
                                 << "The line is busy. Try again later.";
        QTest::newRow("8: NO ANSWER") << QByteArray("8") << "NO ANSWER"
                                      << "Nobody answered the call.";
    }

    void resultCodes()
    {
        QFETCH(QByteArray, code);
        QFETCH(QString, status);
        QFETCH(QString, message);
        bool numeric = false;
        code.toInt(&numeric);
        m_modem->setNumericCodes(numeric);
        m_modem->answerDialWith(code);
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);
        QVERIFY(m_dialer->dial(QStringLiteral("5551234"), 2));
        QVERIFY(FakeModem::waitFor([&] { return finished.count() == 1; }));
        QVERIFY(!m_dialer->isDialing());
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->lastMessage(), message);
        QCOMPARE(m_statuses.last(), status);
        QCOMPARE(m_platform->beeps, message == kPickUp ? 1 : 0);
        // Every call ends on hook with the port closed.
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT5551234;\r"));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QCOMPARE(m_modem->drain(), QByteArray());
    }

    void cancelWhileIdleDoesNotEndTheNextCall()
    {
        m_dialer->cancel();
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);
        QVERIFY(m_dialer->dial(QStringLiteral("5551234"), 2));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT5551234;\r"));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 0);
        m_modem->answer("OK");
        QVERIFY(FakeModem::waitFor([&] { return finished.count() == 1; }));
        QCOMPARE(m_platform->beeps, 1);
    }

    void modemThatNeverAnswersTimesOut()
    {
        // A short limit keeps the test short; what is checked is the outcome.
        m_dialer->setTimeLimit(std::chrono::milliseconds(200));
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);
        QVERIFY(m_dialer->dial(QStringLiteral("5551234"), 2));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT5551234;\r"));
        QVERIFY(FakeModem::waitFor([&] { return finished.count() == 1; }));
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->lastMessage(), QStringLiteral("The modem did not answer in time."));
        QCOMPARE(m_statuses.last(), QStringLiteral("No answer from the modem"));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        QCOMPARE(m_platform->beeps, 0);
        QVERIFY(!m_dialer->isDialing());
    }

    void timeLimit_data()
    {
        QTest::addColumn<int>("milliseconds");
        QTest::addColumn<int>("limit");
        QTest::newRow("ten seconds") << 10000 << 10000;
        QTest::newRow("zero gives the minute") << 0 << 60000;
        QTest::newRow("negative gives the minute") << -5 << 60000;
    }

    void timeLimit()
    {
        QFETCH(int, milliseconds);
        QFETCH(int, limit);
        QCOMPARE(m_dialer->timeLimit(), std::chrono::milliseconds(60000));
        m_dialer->setTimeLimit(std::chrono::milliseconds(milliseconds));
        QCOMPARE(m_dialer->timeLimit(), std::chrono::milliseconds(limit));
    }

    void portNotThere_data()
    {
        QTest::addColumn<bool>("missingDevice");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such device")
            << true << 2 << "COM2: not available. Change the CommPort property to another port.";
        QTest::newRow("port 0") << false << 0
                                << "COM0: not available. Change the CommPort property to another port.";
        QTest::newRow("port 3 not made")
            << false << 3 << "COM3: not available. Change the CommPort property to another port.";
    }

    void portNotThere()
    {
        QFETCH(bool, missingDevice);
        QFETCH(int, port);
        QFETCH(QString, message);
        if (missingDevice)
            m_dialer->setDeviceTemplate(m_modem->missingTemplate());
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);
        QVERIFY(!m_dialer->dial(QStringLiteral("555-1234"), port));
        QVERIFY(!m_dialer->isDialing());
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->lastMessage(), message);
        QCOMPARE(m_platform->messages.last().buttons, int(Platform::Ok));
        QCOMPARE(finished.count(), 0);
        QCOMPARE(m_modem->drain(), QByteArray());
    }

    void hangUpWhileDialing()
    {
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);
        QVERIFY(m_dialer->dial(QStringLiteral("555"), 2));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT555;\r"));
        m_dialer->hangUp();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_modem->readCommand(), QByteArray("ATH\r"));
        // Hanging up again with the port closed sends nothing and reports nothing.
        m_dialer->hangUp();
        QCOMPARE(m_modem->drain(), QByteArray());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_platform->messages.size(), 0);
    }

    void lineLostWhileWaiting()
    {
        QSignalSpy finished(m_dialer.get(), &ModemDialer::finished);
        QVERIFY(m_dialer->dial(QStringLiteral("555"), 2));
        QCOMPARE(m_modem->readCommand(), QByteArray("ATDT555;\r"));
        m_modem->stop();
        QVERIFY(FakeModem::waitFor([&] { return finished.count() == 1; }));
        QCOMPARE(m_platform->lastMessage(),
                 QStringLiteral("COM2: not available. Change the CommPort property to another port."));
        QVERIFY(!m_dialer->isDialing());
    }
};

QTEST_GUILESS_MAIN(TestModemDialer)
#include "TestModemDialer.moc"
