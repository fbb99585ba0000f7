#pragma once

#include <QDir>
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
        return m_line.open(QIODevice::ReadWrite);
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

    QString deviceTemplate() const { return m_dir.filePath(QStringLiteral("modem%1")); }
    QString missingTemplate() const { return m_dir.filePath(QStringLiteral("nothing%1")); }

    /** Reads from the line until a carriage return has arrived; returns everything
     *  read up to and including it. Empty when nothing came. */
    QByteArray readCommand()
    {
        waitFor([&] {
            m_received += m_line.readAll();
            return m_received.contains('\r');
        });
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
        m_received += m_line.readAll();
        return std::exchange(m_received, QByteArray());
    }

    void send(const QByteArray& bytes)
    {
        m_line.write(bytes);
        m_line.flush();
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
    QTemporaryDir m_dir;
    QProcess m_socat;
    QSerialPort m_line;
    QString m_device;
    QByteArray m_received;
};

} // namespace quillon
