#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QSerialPort;

namespace quillon {

class Platform;

/**
 * The dial sequence of the dialer over a serial port and a Hayes-compatible modem.
 *
 * dial() opens the port at 9600,N,8,1, discards what was received, sends
 * "ATDT" + number + ";" CR and returns at once; the wait for the modem's "OK" then
 * runs as passes driven by the port's readyRead and a short timer, so the dialog
 * stays live without a nested event loop. Each pass appends what arrived to the
 * reply; on "OK" it beeps, reports "Waiting for picking up the phone" and asks the
 * user to pick up the phone; on the cancel flag it stops. Both end with "ATH" CR and
 * the port closed, then finished(). There is no time limit.
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
    /** Sets the cancel flag; the running sequence honours it on its next pass. */
    void cancel() { m_cancel = true; }
    bool isCancelRequested() const { return m_cancel; }
    /** Whether a sequence is running (the port is open). */
    bool isDialing() const { return m_state != State::Idle; }
    /** Sends the hang-up command and closes the port when it is open; any failure is
     *  ignored. A running sequence ends with finished(). */
    void hangUp();

    /** The modem commands. */
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
    void endSequence(bool sendHangUp);
    void lineLost();
    void writeAll(const QByteArray& bytes);

    Platform& m_platform;
    std::unique_ptr<QSerialPort> m_port;
    QTimer m_poll;
    QString m_deviceTemplate;
    QByteArray m_reply;
    int m_portNumber = 0;
    State m_state = State::Idle;
    bool m_cancel = false;
};

} // namespace quillon
