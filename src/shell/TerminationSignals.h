#pragma once

#include <QObject>

class QSocketNotifier;

namespace quillon {

/**
 * Turns SIGTERM, SIGINT and SIGHUP (a session ending, Ctrl+C in a terminal) into a
 * signal on the event loop, so that the program closes its window the ordinary
 * way: the save prompt runs and the settings are written.
 *
 * install() is called first thing in main(); an instance created once the
 * application object exists delivers what arrived before and after.
 */
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    /** Sets the process's handlers; safe to call more than once. */
    static void install();

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quillon
