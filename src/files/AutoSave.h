#pragma once

#include "files/RecoveryFile.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <memory>

class QThread;

namespace quillon {

class DocumentCommands;
class MainModel;
class RecordSheet;

/**
 * Autosave and crash recovery.
 *
 * While the document has unsaved changes, the records are written every few minutes
 * (the setting "AutoSaveMinutes") to this process's recovery file in the user data
 * folder (RecoveryFile), never over the user's own file. A sheet of more than
 * backgroundThreshold() bytes is copied and the copy written on a worker thread, so
 * that the user goes on working meanwhile; a smaller one is written at once. While a
 * file command holds the sheet (MainModel::isSheetHeld()) the autosave waits and runs
 * when it is let go.
 *
 * The file goes when the document has no unsaved changes any more (a save, an undo back
 * to the saved state), on New and Open, and when the window closes the ordinary way.
 * A file that stays was left by a process that ended otherwise: offerRecovery() offers
 * it back at the next start.
 */
class AutoSave : public QObject
{
    Q_OBJECT

public:
    /** The autosave setting's name and its default, in minutes. */
    static QString settingName() { return QStringLiteral("AutoSaveMinutes"); }
    static constexpr int kDefaultMinutes = 2;
    /** The interval a setting's text asks for, in milliseconds: a number of minutes
     *  (fractions allowed, at least a second), 0 for off; empty text and text that is not
     *  a number from 0 to 1440 give the default. */
    static int intervalFromSetting(const QString& text);

    /** Reads the interval from the model's settings and starts the timer. */
    AutoSave(MainModel& model, DocumentCommands& commands, QObject* parent = nullptr);
    ~AutoSave() override;

    /** The timer's interval in milliseconds; 0 when autosave is off. */
    int interval() const { return m_interval; }
    void setInterval(int milliseconds);

    /** This process's recovery file. */
    QString recoveryPath() const { return m_path; }

    /** The timer's work: writes the recovery file when the document has unsaved changes,
     *  later when the sheet is held or a write still runs. */
    void saveNow();
    /** True while a write runs on the worker thread. */
    bool isWriting() const { return m_thread != nullptr; }

    /** Removes this process's recovery file (also one still being written, once it is). */
    void removeRecoveryFile();
    /** The window closes the ordinary way: the file goes and nothing is written again. */
    void finish();

    /**
     * At start-up: offers back, one at a time, the records of recovery files whose
     * owners have ended, newest first, asking "Yes" / "No". Yes makes them the
     * document (modified, under its own name and type, or untitled) and stops; No
     * removes the file. A file that cannot be read is reported and kept aside. Files of
     * processes still running are left alone. Returns true when a document was recovered.
     */
    bool offerRecovery();

    /** Sheets of more bytes than this are written on the worker thread. */
    qint64 backgroundThreshold() const { return m_threshold; }
    void setBackgroundThreshold(qint64 bytes) { m_threshold = bytes; }

    /** The question asked about a recovery file of the document @p name (empty for the
     *  untitled document) written at @p written. */
    static QString recoverQuestion(const QString& name, const QDateTime& written);

signals:
    /** The recovery file was written. */
    void recoveryWritten(const QString& path);
    /** A write failed; @p reason says why. */
    void recoveryFailed(const QString& reason);
    /** The recovery file was removed. */
    void recoveryRemoved();

private:
    void startWrite();
    void writeFinished(bool ok, const QString& error);
    RecoveryInfo describe() const;
    void reportFailure(const QString& reason);

    MainModel& m_model;
    DocumentCommands& m_commands;
    QTimer m_timer;
    int m_interval = 0;
    QString m_path;
    ProcessStamp m_stamp;
    QDateTime m_started;
    qint64 m_threshold = qint64(8) << 20;
    QThread* m_thread = nullptr;
    std::unique_ptr<RecordSheet> m_copy;
    bool m_pending = false;          ///< a write waits for the sheet or the running write
    bool m_removeAfterWrite = false; ///< the running write is no longer wanted
    bool m_finished = false;
    bool m_failureShown = false;
};

} // namespace quillon
