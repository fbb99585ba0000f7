#pragma once

#include <QDir>
#include <QList>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace quillon {

/**
 * A modem at the far end of a pseudo-terminal pair made by socat. The dialer opens
 * "<dir>/modem<N-1>" as port N (deviceTemplate()); the test reads and answers on the
 * other end.
 *
 * Like a real modem with its factory settings (E1 V1) it echoes every character it
 * receives at once, answers "ATH" with an "OK" line and a dial command ("ATD...")
 * with the result code set by answerDialWith() ("OK", "BUSY", "NO CARRIER", ...);
 * an empty code (the default) leaves the answer to the test (answer(), send()), or
 * to nobody.
 */
class FakeModem
{
public:
    ~FakeModem() { stop(); }

    /** Starts socat; false when it is missing or the terminals did not appear. */
    bool start(int port)
    {
        if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
            return false;
        m_device = m_dir.filePath(QStringLiteral("modem%1").arg(port - 1));
        const QString line = m_dir.filePath(QStringLiteral("line"));
        m_socat.setStandardErrorFile(m_dir.filePath(QStringLiteral("socat.log")));
        m_socat.start(QStringLiteral("socat"), {QStringLiteral("-d"), QStringLiteral("-d"),
                                                QStringLiteral("pty,raw,echo=0,link=") + m_device,
                                                QStringLiteral("pty,raw,echo=0,link=") + line});
        if (!m_socat.waitForStarted())
            return false;
        if (!waitFor([&] { return QFileInfo::exists(m_device) && QFileInfo::exists(line); }))
            return false;
        m_line.setPortName(line);
        if (!m_line.open(QIODevice::ReadWrite))
            return false;
        QObject::connect(&m_line, &QSerialPort::readyRead, &m_line, [this] { received(); });
        return true;
    }

    void stop()
    {
        m_line.close();
        if (m_socat.state() != QProcess::NotRunning) {
            m_socat.terminate();
            if (!m_socat.waitForFinished(5000))
                m_socat.kill();
            m_socat.waitForFinished(5000);
        }
    }

    /** Whether received characters are echoed (E1, the default) or not (E0). */
    void setEcho(bool on) { m_echo = on; }
    /** The result code a dial command is answered with; empty: no answer. */
    void answerDialWith(const QByteArray& code) { m_dialAnswer = code; }
    /** Every command received so far, without its carriage return. */
    QList<QByteArray> commands() const { return m_commands; }

    QString deviceTemplate() const { return m_dir.filePath(QStringLiteral("modem%1")); }
    QString missingTemplate() const { return m_dir.filePath(QStringLiteral("nothing%1")); }

    /** Reads from the line until a carriage return has arrived; returns everything
     *  read up to and including it. Empty when nothing came. */
    QByteArray readCommand()
    {
        waitFor([&] { return m_received.contains('\r'); });
        const qsizetype end = m_received.indexOf('\r');
        if (end < 0)
            return QByteArray();
        const QByteArray command = m_received.left(end + 1);
        m_received.remove(0, end + 1);
        return command;
    }

    /** Everything left on the line (after letting the event loop run briefly). */
    QByteArray drain()
    {
        QTest::qWait(50);
        return std::exchange(m_received, QByteArray());
    }

    void send(const QByteArray& bytes)
    {
        if (!m_line.isOpen())
            return;
        m_line.write(bytes);
        m_line.flush();
    }

    /** Whether result codes are sent as numbers (V0: the number and a carriage return)
     *  or as words (V1, the default: CR LF, the word, CR LF). */
    void setNumericCodes(bool on) { m_numeric = on; }

    /** Sends a result code as the modem is set to. */
    void answer(const QByteArray& code)
    {
        if (m_numeric)
            send((code == "OK" ? QByteArray("0") : code) + "\r");
        else
            send("\r\n" + code + "\r\n");
    }

    /** Runs the event loop until @p condition holds; false after a generous limit. */
    static bool waitFor(const std::function<bool()>& condition)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > 20000)
                return false;
            QTest::qWait(5);
        }
        return true;
    }

private:
    void received()
    {
        const QByteArray bytes = m_line.readAll();
        m_received += bytes;
        if (m_echo)
            send(bytes);
        m_command += bytes;
        qsizetype end;
        while ((end = m_command.indexOf('\r')) >= 0) {
            const QByteArray command = m_command.left(end).trimmed();
            m_command.remove(0, end + 1);
            m_commands.append(command);
            const QByteArray upper = command.toUpper();
            if (upper.startsWith("ATH"))
                answer("OK");
            else if (upper.startsWith("ATD") && !m_dialAnswer.isEmpty())
                answer(m_dialAnswer);
        }
    }

    QTemporaryDir m_dir;
    QProcess m_socat;
    QSerialPort m_line;
    QString m_device;
    QByteArray m_received;
    QByteArray m_command;
    QList<QByteArray> m_commands;
    QByteArray m_dialAnswer;
    bool m_echo = true;
    bool m_numeric = false;
};

} // namespace quillon
