#include "files/AutoSave.h"

#include "files/DocumentCommands.h"
#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "sheet/RecordSheet.h"
#include "ui/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

namespace quillon {

namespace {

/** Bytes a sheet takes in a file, near enough to choose where to write it. */
qint64 sheetBytes(const RecordSheet& sheet)
{
    qint64 size = qint64(sheet.rows()) * sheet.cols();
    for (int c = 0; c < sheet.cols(); ++c)
        size += qint64(sheet.textColumn(c).arenaBytes() - sheet.textColumn(c).garbageBytes());
    return size;
}

struct WriteResult
{
    bool ok = false;
    QString error;
};

} // namespace

int AutoSave::intervalFromSetting(const QString& text)
{
    const int byDefault = kDefaultMinutes * 60000;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return byDefault;
    bool ok = false;
    const double minutes = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !(minutes >= 0 && minutes <= 1440))
        return byDefault;
    if (minutes == 0)
        return 0;
    return std::max(1000, int(std::lround(minutes * 60000)));
}

AutoSave::AutoSave(MainModel& model, DocumentCommands& commands, QObject* parent)
    : QObject(parent), m_model(model), m_commands(commands), m_stamp(ProcessStamp::current())
{
    m_path = RecoveryFile::pathFor(m_stamp);
    m_started = m_stamp.startedAt();
    if (!m_started.isValid())
        m_started = QDateTime::currentDateTimeUtc();
    connect(&m_timer, &QTimer::timeout, this, &AutoSave::saveNow);
    // No unsaved changes any more (a save, an undo back to the saved state, New, Open):
    // the copy has nothing to keep.
    connect(&m_model.document(), &Document::modifiedChanged, this, [this](bool modified) {
        if (!modified)
            removeRecoveryFile();
    });
    connect(&m_commands, &DocumentCommands::documentReplaced, this, &AutoSave::removeRecoveryFile);
    connect(&m_model, &MainModel::sheetHeldChanged, this, [this](bool held) {
        if (!held && m_pending)
            saveNow();
    });
    setInterval(intervalFromSetting(m_model.settings().ReadSettingText(settingName())));
}

AutoSave::~AutoSave()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
}

void AutoSave::setInterval(int milliseconds)
{
    m_interval = std::max(0, milliseconds);
    if (m_interval > 0 && !m_finished)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

RecoveryInfo AutoSave::describe() const
{
    const Document& doc = m_model.document();
    RecoveryInfo info;
    info.documentName = doc.DocumentName();
    info.documentType = doc.DocumentType();
    info.untitled = doc.isUntitled();
    info.saveEnabled = doc.isSaveEnabled();
    info.pid = m_stamp.pid;
    info.processStarted = m_started;
    info.host = QSysInfo::machineHostName();
    info.written = QDateTime::currentDateTimeUtc();
    return info;
}

void AutoSave::saveNow()
{
    if (m_finished || !m_model.document().IsModified())
        return;
    // A file command reads or writes the sheet on another thread: wait for it.
    if (m_thread || m_model.isSheetHeld() || m_commands.isBusy()) {
        m_pending = true;
        return;
    }
    m_pending = false;
    startWrite();
}

void AutoSave::startWrite()
{
    const RecordSheet& sheet = m_model.sheet();
    const RecoveryInfo info = describe();
    m_removeAfterWrite = false;
    if (sheetBytes(sheet) <= m_threshold) {
        QString error;
        bool ok = false;
        try {
            ok = RecoveryFile::save(m_path, info, sheet, &error);
        } catch (const std::bad_alloc&) {
            error = tr("There is not enough memory to write it.");
        } catch (const std::length_error&) {
            error = tr("There is not enough memory to write it.");
        }
        writeFinished(ok, error);
        return;
    }
    // The worker writes a copy: the user goes on changing the sheet meanwhile.
    try {
        m_copy = std::make_unique<RecordSheet>();
        m_copy->snapshotContentsFrom(sheet);
    } catch (const std::bad_alloc&) {
        m_copy.reset();
        writeFinished(false, tr("There is not enough memory to copy the records."));
        return;
    }
    auto result = std::make_shared<WriteResult>();
    const RecordSheet* copy = m_copy.get();
    const QString path = m_path;
    m_thread = QThread::create([result, copy, path, info] {
        try {
            result->ok = RecoveryFile::save(path, info, *copy, &result->error);
        } catch (const std::bad_alloc&) {
            result->error = tr("There is not enough memory to write it.");
        } catch (const std::length_error&) {
            result->error = tr("There is not enough memory to write it.");
        }
    });
    connect(m_thread, &QThread::finished, this, [this, result] {
        m_thread->deleteLater();
        m_thread = nullptr;
        m_copy.reset();
        writeFinished(result->ok, result->error);
    });
    m_thread->start(QThread::LowPriority);
}

void AutoSave::writeFinished(bool ok, const QString& error)
{
    if (m_removeAfterWrite || m_finished) {
        m_removeAfterWrite = false;
        QFile::remove(m_path);
        emit recoveryRemoved();
        return;
    }
    if (!ok) {
        reportFailure(error);
        return;
    }
    m_failureShown = false;
    emit recoveryWritten(m_path);
    if (m_pending)
        saveNow();
}

void AutoSave::reportFailure(const QString& reason)
{
    emit recoveryFailed(reason);
    // Once until a write succeeds again: the timer would ask every few minutes.
    if (m_failureShown)
        return;
    m_failureShown = true;
    m_model.platform().message(QStringLiteral("AutoSave"),
                               tr("Quillon could not keep a copy of the unsaved records in\n%1\n\n%2\n\n"
                                  "The records are as they were. Save them to keep them safe.")
                                   .arg(QDir::toNativeSeparators(m_path), reason),
                               Platform::Ok, Platform::Warning);
}

void AutoSave::removeRecoveryFile()
{
    m_pending = false;
    if (m_thread) {
        m_removeAfterWrite = true;
        return;
    }
    if (QFile::exists(m_path)) {
        QFile::remove(m_path);
        emit recoveryRemoved();
    }
}

void AutoSave::finish()
{
    m_timer.stop();
    removeRecoveryFile();
    m_finished = true;
    if (m_thread) {
        // The window is going: let the write end, then remove what it wrote (the
        // thread's end may not be handled any more).
        m_thread->wait();
        QFile::remove(m_path);
    }
}

QString AutoSave::recoverQuestion(const QString& name, const QDateTime& written)
{
    const QString document = name.isEmpty() ? QStringLiteral("Untitled1.vty") : QDir::toNativeSeparators(name);
    const QString when = written.isValid() ? QLocale().toString(written.toLocalTime(), QLocale::ShortFormat)
                                           : tr("an unknown time");
    return tr("Quillon ended without saving the changes to %1.\n\n"
              "A copy of the records kept at %2 was found. Do you want to recover it?\n"
              "Yes: the records come back, not yet saved. No: the copy is deleted.")
        .arg(document, when);
}

bool AutoSave::offerRecovery()
{
    const QDir folder(RecoveryFile::folder());
    const QFileInfoList files =
        folder.entryInfoList({QStringLiteral("*.qrv")}, QDir::Files, QDir::Time); // newest first
    QStringList damaged;
    bool recovered = false;
    for (const QFileInfo& file : files) {
        ProcessStamp owner;
        if (!RecoveryFile::ownerOf(file.fileName(), &owner) || owner == m_stamp || owner.isRunning())
            continue;
        // Claimed by renaming it to this process's own file: a second Quillon starting
        // now finds it gone, or owned by a process that runs.
        if (QFileInfo::exists(m_path) || !QFile::rename(file.absoluteFilePath(), m_path))
            continue;
        RecordSheet staging;
        RecoveryInfo info;
        QString error;
        bool read = false;
        {
            BusyScope busy(m_model.platform());
            try {
                read = RecoveryFile::load(m_path, &info, staging, &error);
            } catch (const std::bad_alloc&) {
                error = tr("There is not enough memory to read it.");
            } catch (const std::length_error&) {
                error = tr("There is not enough memory to read it.");
            }
        }
        if (!read) {
            const QString aside = RecoveryFile::keepAside(m_path, file.fileName());
            damaged << tr("%1\n%2\nIt was kept aside as %3.")
                           .arg(QDir::toNativeSeparators(file.absoluteFilePath()), error,
                                aside.isEmpty() ? tr("(it could not be moved)") : QDir::toNativeSeparators(aside));
            if (aside.isEmpty())
                QFile::remove(m_path);
            continue;
        }
        const int answer = m_model.platform().message(
            QStringLiteral("Recover"), recoverQuestion(info.untitled ? QString() : info.documentName, info.written),
            Platform::Yes | Platform::No, Platform::Question, Platform::Yes);
        if (answer != Platform::Yes) {
            QFile::remove(m_path);
            continue;
        }
        // The file stays, now this process's: the records are safe until they are saved.
        m_commands.recoverDocument(staging, info.untitled ? QString() : info.documentName, info.documentType,
                                   info.saveEnabled);
        recovered = true;
        break;
    }
    if (!damaged.isEmpty())
        m_model.platform().message(QStringLiteral("Recover"),
                                   tr("A copy of unsaved records could not be read:\n\n%1")
                                       .arg(damaged.join(QStringLiteral("\n\n"))),
                                   Platform::Ok, Platform::Warning);
    return recovered;
}

} // namespace quillon
