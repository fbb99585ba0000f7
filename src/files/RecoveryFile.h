#pragma once

#include "files/GridFile.h"

#include <QDateTime>
#include <QString>

class QIODevice;

namespace quillon {

class RecordSheet;

/**
 * Which process is which, across time: its id, the moment it started (in the
 * system's clock ticks since boot, so that an id used again by a later process is
 * told apart) and the boot it ran in.
 */
struct ProcessStamp
{
    qint64 pid = 0;
    quint64 startTicks = 0;
    /** The first eight characters of the boot's id; empty where the system has none. */
    QString boot;

    /** This process. */
    static ProcessStamp current();
    /** The process now running under @p pid; pid 0 when there is none. */
    static ProcessStamp running(qint64 pid);
    /** True while the process this stamp names still runs (a zombie has ended). */
    bool isRunning() const;
    /** When the process started, by the system's clock; invalid where that is unknown. */
    QDateTime startedAt() const;
    bool operator==(const ProcessStamp&) const = default;
};

/** What a recovery file records beside the records: the document it is a copy of and
 *  the process that wrote it. */
struct RecoveryInfo
{
    /** The document's file name; the untitled document's path when untitled. */
    QString documentName;
    int documentType = 2;
    bool untitled = true;
    /** Whether Save was offered (an edited untitled document has it off). */
    bool saveEnabled = false;
    qint64 pid = 0;
    QDateTime processStarted;
    QString host;
    QDateTime written;
};

/**
 * The recovery file: a copy of the document that autosave keeps in the user data
 * folder's "recovery" folder while the document has unsaved changes.
 *
 * Layout: the eight bytes "\x89QRV\r\n\x1A\n", a u32 version (1), a u32 length and
 * that many bytes of a JSON object (RecoveryInfo), then the records as a native grid
 * file. The file's name tells its owner, the process that writes it:
 * "recovery-<pid>-<start ticks>-<boot>.qrv"; a file whose owner has ended was left by
 * a crash, a kill or a power cut.
 */
namespace RecoveryFile {

/** The folder of recovery files: <user data folder>/recovery. */
QString folder();
/** The file of the process @p owner in folder(). */
QString pathFor(const ProcessStamp& owner);
/** The owner a recovery file's name tells; false when the name is not one. */
bool ownerOf(const QString& path, ProcessStamp* owner);

bool write(QIODevice& device, const RecoveryInfo& info, const RecordSheet& sheet, QString* error = nullptr,
           const GridProgress& progress = {});
/** Writes through QSaveFile: a write that fails leaves the file as it was. */
bool save(const QString& path, const RecoveryInfo& info, const RecordSheet& sheet, QString* error = nullptr,
          const GridProgress& progress = {});
/** Reads a recovery file into @p fresh, a sheet just made; @p error says why it cannot. */
bool read(QIODevice& device, RecoveryInfo* info, RecordSheet& fresh, QString* error = nullptr);
bool load(const QString& path, RecoveryInfo* info, RecordSheet& fresh, QString* error = nullptr);

/** Moves a file that cannot be read out of the way, beside itself with ".damaged" (and
 *  a number when that is taken) added to its name. Returns the new path, empty when it
 *  could not be moved. */
QString keepAside(const QString& path, const QString& originalName);

} // namespace RecoveryFile

} // namespace quillon
