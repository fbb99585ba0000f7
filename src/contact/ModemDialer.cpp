#include "contact/ModemDialer.h"

#include "contact/DialSettings.h"
#include "contact/PhoneNumbers.h"
#include "ui/Platform.h"

#include <QSerialPort>

namespace quillon {

namespace {

// How often a pass looks at the cancel flag while no character arrives.
constexpr int kPollInterval = 30;
// The longest line kept while its end has not arrived; result codes are short, and
// a modem that sends text without line ends must not fill the memory.
constexpr qsizetype kLongestLine = 256;

QString resultCodeText(ModemDialer::ResultCode code)
{
    switch (code) {
    case ModemDialer::ResultCode::Ok:
        return QStringLiteral("OK");
    case ModemDialer::ResultCode::Connect:
        return QStringLiteral("CONNECT");
    case ModemDialer::ResultCode::Busy:
        return QStringLiteral("BUSY");
    case ModemDialer::ResultCode::NoDialTone:
        return QStringLiteral("NO DIALTONE");
    case ModemDialer::ResultCode::NoCarrier:
        return QStringLiteral("NO CARRIER");
    case ModemDialer::ResultCode::NoAnswer:
        return QStringLiteral("NO ANSWER");
    case ModemDialer::ResultCode::Error:
        return QStringLiteral("ERROR");
    }
    return QString();
}

QString failureMessage(ModemDialer::ResultCode code)
{
    switch (code) {
    case ModemDialer::ResultCode::Busy:
        return QStringLiteral("The line is busy. Try again later.");
    case ModemDialer::ResultCode::NoDialTone:
        return QStringLiteral("The modem hears no dial tone. Check that it is connected to the phone line.");
    case ModemDialer::ResultCode::NoCarrier:
        return QStringLiteral("The call did not go through.");
    case ModemDialer::ResultCode::NoAnswer:
        return QStringLiteral("Nobody answered the call.");
    case ModemDialer::ResultCode::Error:
        return QStringLiteral("The modem did not accept the number to dial.");
    case ModemDialer::ResultCode::Ok:
    case ModemDialer::ResultCode::Connect:
        break;
    }
    return QString();
}

} // namespace

ModemDialer::ModemDialer(Platform& platform, QObject* parent)
    : QObject(parent), m_platform(platform), m_port(std::make_unique<QSerialPort>()),
      m_timeLimit(std::chrono::seconds(DialSettings::kDefaultDialTimeout)),
      m_deviceTemplate(DialSettings::defaultDeviceTemplate())
{
    m_poll.setInterval(kPollInterval);
    connect(&m_poll, &QTimer::timeout, this, &ModemDialer::pass);
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, &ModemDialer::timedOut);
    connect(m_port.get(), &QSerialPort::readyRead, this, &ModemDialer::pass);
    connect(m_port.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        // A modem pulled out or a line that broke: the sequence cannot go on.
        const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
        if (lost && m_state == State::Waiting)
            lineLost();
    });
}

ModemDialer::~ModemDialer()
{
    m_poll.stop();
    m_limit.stop();
    if (m_port->isOpen()) {
        writeAll(hangUpCommand());
        m_port->close();
    }
}

void ModemDialer::setTimeLimit(std::chrono::milliseconds limit)
{
    m_timeLimit = limit.count() > 0 ? limit : std::chrono::seconds(DialSettings::kDefaultDialTimeout);
}

std::optional<ModemDialer::ResultCode> ModemDialer::resultCode(QByteArrayView line)
{
    const QByteArray text = line.toByteArray().simplified().toUpper();
    if (text == "OK")
        return ResultCode::Ok;
    if (text == "CONNECT" || text.startsWith("CONNECT "))
        return ResultCode::Connect;
    if (text == "BUSY")
        return ResultCode::Busy;
    if (text == "NO DIALTONE" || text == "NO DIAL TONE")
        return ResultCode::NoDialTone;
    if (text == "NO CARRIER")
        return ResultCode::NoCarrier;
    if (text == "NO ANSWER")
        return ResultCode::NoAnswer;
    if (text == "ERROR")
        return ResultCode::Error;
    // A modem set to numeric result codes (ATV0) sends the code's number instead.
    // 0 OK, 1 CONNECT, 2 RING (not an answer), 3 NO CARRIER, 4 ERROR, 5 CONNECT 1200,
    // 6 NO DIALTONE, 7 BUSY, 8 NO ANSWER.
    static const std::optional<ResultCode> numeric[] = {
        ResultCode::Ok,         ResultCode::Connect, std::nullopt,
        ResultCode::NoCarrier,  ResultCode::Error,   ResultCode::Connect,
        ResultCode::NoDialTone, ResultCode::Busy,    ResultCode::NoAnswer};
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '8')
        return numeric[text[0] - '0'];
    return std::nullopt;
}

QByteArray ModemDialer::dialCommand(const QString& number)
{
    // Only what a modem dials goes out: a control character in a cell taken from a
    // web page must not end the command early and smuggle in another one, and a
    // letter would be taken for a dial modifier.
    QByteArray digits;
    digits.reserve(number.size());
    for (const QChar c : number) {
        if (PhoneNumbers::isDialCharacter(c))
            digits += char(c.unicode());
    }
    return QByteArray("ATDT") + digits + ";\r";
}

QByteArray ModemDialer::hangUpCommand()
{
    return QByteArrayLiteral("ATH\r");
}

QString ModemDialer::portMessage(int port)
{
    return QStringLiteral("COM%1: not available. Change the CommPort property to another port.").arg(port);
}

bool ModemDialer::dial(const QString& number, int port)
{
    if (m_state != State::Idle)
        return true;
    const QByteArray command = dialCommand(number);

    m_portNumber = port;
    const QString device = SerialDevicePath(m_deviceTemplate, port);
    bool opened = false;
    if (!device.isEmpty()) {
        m_port->setPortName(device);
        m_port->setBaudRate(QSerialPort::Baud9600);
        m_port->setParity(QSerialPort::NoParity);
        m_port->setDataBits(QSerialPort::Data8);
        m_port->setStopBits(QSerialPort::OneStop);
        m_port->setFlowControl(QSerialPort::NoFlowControl);
        opened = m_port->open(QIODevice::ReadWrite);
    }
    if (!opened) {
        m_platform.message(QStringLiteral("Quillon"), portMessage(port), Platform::Ok, Platform::Critical);
        return false;
    }

    // A Cancel pressed while nothing was running must not end this call at once.
    m_cancel = false;
    m_reply.clear();
    m_port->clear(QSerialPort::Input);
    m_port->readAll();
    m_state = State::Waiting;
    writeAll(command);
    m_poll.start();
    m_limit.start(m_timeLimit);
    return true;
}

void ModemDialer::pass()
{
    if (m_state != State::Waiting)
        return;
    const QByteArray arrived = m_port->readAll();
    if (!arrived.isEmpty()) {
        // The answer is read as whole lines: the echo of the dial command, blank
        // lines and unsolicited ones ("RING") are passed over.
        m_reply += arrived;
        std::optional<ResultCode> code;
        qsizetype lineStart = 0;
        for (qsizetype i = 0; i < m_reply.size() && !code; ++i) {
            const char c = m_reply.at(i);
            if (c != '\r' && c != '\n')
                continue;
            code = resultCode(QByteArrayView(m_reply).sliced(lineStart, i - lineStart));
            lineStart = i + 1;
        }
        m_reply.remove(0, lineStart);
        if (m_reply.size() > kLongestLine)
            m_reply = m_reply.right(kLongestLine);
        if (code) {
            answered(*code);
            return;
        }
        emit statusChanged(QStringLiteral("Dialing..."));
    }
    if (m_cancel) {
        m_cancel = false;
        endSequence(true);
    }
}

void ModemDialer::answered(ResultCode code)
{
    if (code == ResultCode::Ok || code == ResultCode::Connect) {
        m_state = State::Answered;
        m_poll.stop();
        m_limit.stop();
        m_platform.beep();
        emit statusChanged(QStringLiteral("Waiting for picking up the phone"));
        const QPointer<ModemDialer> alive(this);
        m_platform.message(QStringLiteral("Quillon"),
                           QStringLiteral("Pick up the phone and either press Enter or click OK"),
                           Platform::Ok, Platform::Information);
        if (!alive)
            return;
        endSequence(true);
        return;
    }
    // The modem is back on hook already; the hang-up makes sure of it.
    emit statusChanged(resultCodeText(code));
    endSequence(true);
    m_platform.message(QStringLiteral("Quillon"), failureMessage(code), Platform::Ok, Platform::Warning);
}

void ModemDialer::timedOut()
{
    if (m_state != State::Waiting)
        return;
    emit statusChanged(QStringLiteral("No answer from the modem"));
    endSequence(true);
    m_platform.message(QStringLiteral("Quillon"), QStringLiteral("The modem did not answer in time."),
                       Platform::Ok, Platform::Warning);
}

void ModemDialer::hangUp()
{
    if (m_state != State::Idle) {
        endSequence(true);
        return;
    }
    if (m_port->isOpen()) {
        writeAll(hangUpCommand());
        m_port->close();
    }
}

void ModemDialer::endSequence(bool sendHangUp)
{
    m_poll.stop();
    m_limit.stop();
    if (m_port->isOpen()) {
        if (sendHangUp)
            writeAll(hangUpCommand());
        m_port->close();
    }
    if (m_state == State::Idle)
        return;
    m_state = State::Idle;
    emit finished();
}

void ModemDialer::lineLost()
{
    endSequence(false);
    m_platform.message(QStringLiteral("Quillon"), portMessage(m_portNumber), Platform::Ok,
                       Platform::Critical);
}

void ModemDialer::writeAll(const QByteArray& bytes)
{
    if (!m_port->isOpen())
        return;
    m_port->write(bytes);
    // The port buffers writes until the event loop runs; hand the bytes to the
    // device now, so a close that follows does not drop them.
    while (m_port->bytesToWrite() > 0 && m_port->flush()) {
    }
    if (m_port->bytesToWrite() > 0)
        m_port->waitForBytesWritten(1000);
}

} // namespace quillon
