#pragma once

#include "files/GridFile.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace quillon {

class MainModel;
class RecordSheet;

/**
 * The File commands and the document's life: New, Open in five formats, Append,
 * Save, Save As in six formats, Exit and closing the window, with the prompt that
 * guards unsaved changes, the window title and the remembered folder.
 *
 * Files are read into a staging sheet that replaces the document only when the
 * whole file was read; writes go through SaveGrid, so a failed write leaves the
 * file on disk, the sheet and the modified mark as they were. A failed or cancelled
 * save after "Yes" at the prompt counts as Cancel.
 *
 * A file larger than backgroundThreshold() is read or written in a worker thread;
 * the command then finishes later, on this object's thread, and isBusy() is true
 * in between: the window shows jobProgressed() and keeps the user from changing
 * the sheet meanwhile. Smaller files are done at once. Either way a read or write
 * that runs out of memory fails with a message like any other, and changes nothing.
 */
class DocumentCommands : public QObject
{
    Q_OBJECT

public:
    /** The open formats of OpenDocument(). */
    enum OpenFormat { OpenNative = 0, OpenComma = 1, OpenTab = 2, OpenVCard = 3, OpenXlsx = 4 };

    static QString savePromptText();

    explicit DocumentCommands(MainModel& model, QObject* parent = nullptr);
    ~DocumentCommands() override;

    /** "&New": the save prompt, then a new untitled document. */
    void New();
    /** The start-up's new document: no prompt. */
    void StartupNew();
    /** "&Open" and the toolbar's drop-down: @p format is an OpenFormat. A .vcf or .xlsx
     *  file chosen in the native dialog is read as what its name says. */
    void OpenDocument(int format);
    /** Opens the file @p path without asking (a file named on the command line): its
     *  format from its name, or a grid file by its first bytes. A file that cannot be
     *  read is reported and the document stays as it was. */
    void openPath(const QString& path);
    /** "&Append": merges the records of a native, vCard or spreadsheet file below the
     *  sheet's; a vCard's fields land in the columns of their titles. */
    void Append();
    /**
     * Makes @p staging the document after a crash: the records of a recovery file, under
     * the document's own name and type (@p name empty: untitled), modified, with an
     * empty undo history; @p saveEnabled is the Save state it had. @p staging gets the
     * old records.
     */
    void recoverDocument(RecordSheet& staging, const QString& name, int type, bool saveEnabled);
    /**
     * "&Save". A document opened from a vCard or spreadsheet file is saved over that
     * file only when the user chose so at a question, once for the file: the format
     * keeps less than the sheet holds, and the file may hold what Quillon did not read.
     */
    void Save();
    /**
     * "Save &As": @p format is a GridFormat. Native makes the file the document's; comma
     * and tab text export as the design says (title and modified mark follow). The
     * other formats export a copy and change nothing of the document: its name, type,
     * title and modified mark stay, since the file does not keep everything it holds.
     */
    void SaveAs(int format);

    /** The question before a Save over the vCard or spreadsheet file @p path. */
    static QString foreignSaveQuestion(int format, const QString& path);
    /** "E&xit": the prompt, then the program ends (endProgram). */
    void Exit();
    /** The main window's close guard: true lets the window close now. When a save
     *  asked for at the prompt runs in the background, false is returned and the
     *  program is ended once the save has succeeded. */
    bool closeRequested();

    /** What ends the program (stores the settings and quits). */
    void setEndProgram(std::function<void()> end) { m_endProgram = std::move(end); }
    /** The row-mode command of the editing commands, run after Open. Without one the
     *  sheet is put in whole-row selection and the mode's buttons and status follow. */
    void setRowModeCommand(std::function<void()> rowMode) { m_rowMode = std::move(rowMode); }

    /** Files of more bytes than this are read and written in a worker thread. */
    qint64 backgroundThreshold() const { return m_threshold; }
    void setBackgroundThreshold(qint64 bytes) { m_threshold = bytes; }
    bool isBusy() const { return m_thread != nullptr; }
    /** Asks a background read or write to stop; it then fails quietly. */
    void cancelJob() { m_cancel = true; }

    /** The per-format open dialog settings; filters in the program's "a|b|c|d" form. */
    struct OpenSpec
    {
        QString defaultExtension;
        QString filter;
        QString presetName;
        int gridFormat;
        int documentType;
    };
    static OpenSpec openSpec(int format);
    /** "Desc (*.x)|*.x|All Files (*.*)|*.*" as Qt file dialog filters. */
    static QStringList qtFilters(const QString& filter);

    /**
     * The merge of Append: the sheet keeps its columns and gains the staging sheet's
     * extra ones, empty titles take the staging titles, and the staging records are
     * added below the sheet's records, texts only. Returns the first new row, or -1
     * with nothing changed when appendRefusal() has a reason.
     */
    static int appendRecords(RecordSheet& sheet, const RecordSheet& staging);
    /** Why the staging records cannot be added to the sheet: together they would be more
     *  rows or cells than a sheet holds. Empty when they can. */
    static QString appendRefusal(const RecordSheet& sheet, const RecordSheet& staging);

signals:
    /** A background read or write started; @p label names it for a progress window. */
    void jobStarted(const QString& label);
    void jobProgressed(int percent);
    void jobFinished();
    void busyChanged(bool busy);
    /** The document was replaced by New or Open. */
    void documentReplaced();

private:
    using Then = std::function<void(bool done)>;
    struct Job;

    void askToSave(const QString& caption, const std::function<void()>& proceed);
    void saveForPrompt(const Then& then);
    void save(const Then& then);
    void saveAs(int format, const Then& then);
    void write(const QString& path, int format, const QString& caption, const Then& then);
    void read(const QString& path, int format, const std::function<void(bool ok, const QString& error)>& done,
              const QStringList& columnTitles = {});
    void run(std::shared_ptr<Job> job);
    void newDocument();
    void openChosen(int format);
    void replaceDocument(const QString& path, int documentType);
    void mergeStaging();
    void applyRowMode();
    void end();
    /** Reads @p path in @p format and makes it the document, or reports why not. */
    void openFile(const QString& path, int format, int documentType);
    void reportFailure(const QString& caption, const QString& what, const QString& path, const QString& reason,
                       const QString& after);

    MainModel& m_model;
    std::function<void()> m_endProgram;
    std::function<void()> m_rowMode;
    std::unique_ptr<RecordSheet> m_staging;
    QThread* m_thread = nullptr;
    std::atomic_bool m_cancel = false;
    qint64 m_threshold = qint64(8) << 20;
    bool m_ending = false;
    /** The vCard or spreadsheet file the user chose to save over, for this document. */
    QString m_overwriteChosen;
};

} // namespace quillon
