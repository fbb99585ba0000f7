#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class QSerialPort;

namespace quillon {

class Platform;

/**
 * The dial sequence of the dialer over a serial port and a Hayes-compatible modem.
 *
 * dial() opens the port at 9600,N,8,1, discards what was received, sends
 * "ATDT" + number + ";" CR and returns at once; the wait for the modem's answer then
 * runs as passes driven by the port's readyRead and a short timer, so the dialog
 * stays live without a nested event loop. Each pass reads what arrived as lines and
 * looks for a result code: a line of its own that says "OK" (or "CONNECT"), "BUSY",
 * "NO DIALTONE", "NO CARRIER", "NO ANSWER" or "ERROR". The modem's echo of the dial
 * command and any other line are passed over, so a number that holds the letters
 * "OK" does not answer itself. On "OK" it beeps, reports "Waiting for picking up the
 * phone" and asks the user to pick up the phone; on a failing code it says what the
 * modem reported; on the cancel flag it stops; when the time limit passes without a
 * result code it says so. Every ending sends "ATH" CR, closes the port and emits
 * finished().
 */
class ModemDialer : public QObject
{
    Q_OBJECT

public:
    explicit ModemDialer(Platform& platform, QObject* parent = nullptr);
    ~ModemDialer() override;

    /** The serial device template ("COMMDEVICE"); %1 is the port number less 1. */
    void setDeviceTemplate(const QString& deviceTemplate) { m_deviceTemplate = deviceTemplate; }
    QString deviceTemplate() const { return m_deviceTemplate; }

    /**
     * Starts the dial sequence for @p number on port @p port. When the port cannot be
     * opened, shows "COM<port>: not available. ..." and returns false without sending
     * anything; otherwise the sequence runs on and ends with finished().
     */
    bool dial(const QString& number, int port);
    /** How long the sequence waits for a result code (60 seconds unless set). */
    void setTimeLimit(std::chrono::milliseconds limit);
    std::chrono::milliseconds timeLimit() const { return m_timeLimit; }

    /** Sets the cancel flag; the running sequence honours it on its next pass. */
    void cancel() { m_cancel = true; }
    bool isCancelRequested() const { return m_cancel; }
    /** Whether a sequence is running (the port is open). */
    bool isDialing() const { return m_state != State::Idle; }
    /** Sends the hang-up command and closes the port when it is open; any failure is
     *  ignored. A running sequence ends with finished(). */
    void hangUp();

    /** The result codes of a modem with verbose answers (V1). */
    enum class ResultCode
    {
        Ok,
        Connect,
        Busy,
        NoDialTone,
        NoCarrier,
        NoAnswer,
        Error
    };
    /** The result code one line of the modem's answer holds, if it is one: the whole
     *  line, blanks around it and letter case aside ("CONNECT" may carry a speed), or
     *  its number from a modem set to numeric codes ("0" OK, "7" BUSY ...). */
    static std::optional<ResultCode> resultCode(QByteArrayView line);

    /** The modem commands. The dial command holds the dial characters of @p number
     *  alone (PhoneNumbers::isDialCharacter()). */
    static QByteArray dialCommand(const QString& number);
    static QByteArray hangUpCommand();
    /** "COM" + port + ": not available. Change the CommPort property to another port." */
    static QString portMessage(int port);

signals:
    /** The one-line status text changed. */
    void statusChanged(const QString& text);
    /** A sequence that dial() started has ended (the modem answered, Cancel, or the
     *  line was lost); the port is closed. */
    void finished();

private:
    enum class State
    {
        Idle,
        Waiting,
        Answered
    };

    void pass();
    void answered(ResultCode code);
    void timedOut();
    void endSequence(bool sendHangUp);
    void lineLost();
    void writeAll(const QByteArray& bytes);

    Platform& m_platform;
    std::unique_ptr<QSerialPort> m_port;
    QTimer m_poll;
    QTimer m_limit;
    std::chrono::milliseconds m_timeLimit;
    QString m_deviceTemplate;
    QByteArray m_reply;
    int m_portNumber = 0;
    State m_state = State::Idle;
    bool m_cancel = false;
};

} // namespace quillon
