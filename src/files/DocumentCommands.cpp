#include "files/DocumentCommands.h"

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "edit/SheetSteps.h"
#include "files/DeviceStreams.h"
#include "files/NativeGridFormat.h"
#include "sheet/RecordSheet.h"
#include "ui/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace quillon {

namespace {

const QString kTitlePrefix = QStringLiteral("Quillon -- ");

/**
 * Runs a file job's work. Memory that runs out on the way (a file larger than the
 * machine can hold) fails the job like any other reason: the work has only touched
 * its staging sheet or the temporary file of its save, both let go as the failure
 * unwinds, so the document stays as it was.
 */
bool runWork(const std::function<bool(const GridProgress&, QString*)>& work, const GridProgress& progress,
             const QString& noMemory, QString* error)
{
    try {
        return work(progress, error);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    *error = noMemory;
    return false;
}

} // namespace

struct DocumentCommands::Job
{
    QString label;
    qint64 size = 0;
    std::function<bool(const GridProgress&, QString*)> work;
    std::function<void(bool, const QString&)> done;
    QString noMemory; ///< the reason when memory runs out
    bool ok = false;
    QString error;
};

QString DocumentCommands::savePromptText()
{
    return QStringLiteral("Changes have been made. Do you want to save the changes?");
}

DocumentCommands::DocumentCommands(MainModel& model, QObject* parent) : QObject(parent), m_model(model)
{
    // A document read anew has its question asked anew.
    connect(this, &DocumentCommands::documentReplaced, this, [this] { m_overwriteChosen.clear(); });
}

DocumentCommands::~DocumentCommands()
{
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

// ---- dialogs ----------------------------------------------------------------------

DocumentCommands::OpenSpec DocumentCommands::openSpec(int format)
{
    switch (format) {
    case OpenComma:
        return {QStringLiteral("*.csv"), QStringLiteral("Comma Delimited Files (*.csv)|*.csv|All Files (*.*)|*.*"),
                QStringLiteral("*.csv"), FormatComma, 3};
    case OpenTab:
        return {QStringLiteral("*.txt"), QStringLiteral("Tab Delimited Files (*.txt)|*.txt|All Files (*.*)|*.*"),
                QStringLiteral("*.txt"), FormatTab, 4};
    case OpenVCard:
        return {QStringLiteral("*.vcf"), QStringLiteral("vCard Files (*.vcf)|*.vcf|All Files (*.*)|*.*"),
                QStringLiteral("*.vcf"), FormatVCard, Document::VCard};
    case OpenXlsx:
        return {QStringLiteral("*.xlsx"), QStringLiteral("Spreadsheet Files (*.xlsx)|*.xlsx|All Files (*.*)|*.*"),
                QStringLiteral("*.xlsx"), FormatXlsx, Document::Xlsx};
    default:
        return {QStringLiteral("*.vty"), QStringLiteral("Vantry Files (*.vty)|*.vty|All Files (*.*)|*.*"),
                QStringLiteral("*.vty"), FormatNative, 2};
    }
}

QStringList DocumentCommands::qtFilters(const QString& filter)
{
    // Pairs of description and pattern. On this system "*.*" would hide every file
    // without a dot in its name, so the pattern "*.*" becomes Qt's "*".
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        static const QRegularExpression trailing(QStringLiteral("\\s*\\([^()]*\\)$"));
        description.remove(trailing);
        out << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return out;
}

// ---- jobs -------------------------------------------------------------------------

void DocumentCommands::run(std::shared_ptr<Job> job)
{
    Platform& platform = m_model.platform();
    if (job->size <= m_threshold) {
        BusyScope busy(platform);
        job->ok = runWork(job->work, {}, job->noMemory, &job->error);
        job->done(job->ok, job->error);
        return;
    }
    m_cancel = false;
    auto last = std::make_shared<std::atomic_int>(-1);
    GridProgress progress = [this, last](qint64 done, qint64 total) {
        if (m_cancel)
            return false;
        const int percent = total > 0 ? int(std::clamp<qint64>(done * 100 / total, 0, 100)) : 0;
        if (last->exchange(percent) != percent)
            QMetaObject::invokeMethod(this, [this, percent] { emit jobProgressed(percent); }, Qt::QueuedConnection);
        return true;
    };
    m_thread = QThread::create(
        [job, progress] { job->ok = runWork(job->work, progress, job->noMemory, &job->error); });
    connect(m_thread, &QThread::finished, this, [this, job] {
        m_thread->deleteLater();
        m_thread = nullptr;
        m_model.platform().setBusy(false);
        m_model.setSheetHeld(false);
        emit jobFinished();
        emit busyChanged(false);
        job->done(job->ok, job->error);
    });
    platform.setBusy(true);
    m_model.setSheetHeld(true);
    emit busyChanged(true);
    emit jobStarted(job->label);
    m_thread->start();
}

void DocumentCommands::read(const QString& path, int format,
                            const std::function<void(bool ok, const QString& error)>& done,
                            const QStringList& columnTitles)
{
    m_staging = std::make_unique<RecordSheet>();
    auto job = std::make_shared<Job>();
    job->label = tr("Reading %1").arg(QFileInfo(path).fileName());
    job->noMemory = tr("There is not enough memory to read it.");
    job->size = QFileInfo(path).size();
    RecordSheet* staging = m_staging.get();
    job->work = [path, format, staging, columnTitles](const GridProgress& progress, QString* error) {
        return LoadGrid(path, format, *staging, error, progress, columnTitles);
    };
    job->done = done;
    run(job);
}

void DocumentCommands::write(const QString& path, int format, const QString& caption, const Then& then)
{
    const RecordSheet& sheet = m_model.sheet();
    auto job = std::make_shared<Job>();
    job->label = tr("Saving %1").arg(QFileInfo(path).fileName());
    job->noMemory = tr("There is not enough memory to write it.");
    job->size = qint64(sheet.rows()) * sheet.cols();
    for (int c = 0; c < sheet.cols(); ++c)
        job->size += qint64(sheet.textColumn(c).arenaBytes() - sheet.textColumn(c).garbageBytes());
    if (path == m_model.document().UntitledPath())
        QDir().mkpath(QFileInfo(path).absolutePath()); // the user data folder may be new
    const RecordSheet* source = &sheet;
    job->work = [path, format, source](const GridProgress& progress, QString* error) {
        return SaveGrid(path, format, *source, error, progress);
    };
    job->done = [this, path, caption, then](bool ok, const QString& error) {
        if (!ok)
            reportFailure(caption, tr("Quillon could not save"), path, error,
                          tr("The file on disk was left as it was, and so were the records."));
        then(ok);
    };
    run(job);
}

void DocumentCommands::reportFailure(const QString& caption, const QString& what, const QString& path,
                                     const QString& reason, const QString& after)
{
    if (reason == stoppedReason())
        return; // the user stopped it
    m_model.platform().message(caption, QStringLiteral("%1\n%2\n\n%3\n\n%4").arg(what, QDir::toNativeSeparators(path), reason, after),
                               Platform::Ok, Platform::Critical);
}

// ---- the save prompt ----------------------------------------------------------------

void DocumentCommands::askToSave(const QString& caption, const std::function<void()>& proceed)
{
    if (!m_model.document().IsModified()) {
        proceed();
        return;
    }
    const int answer = m_model.platform().message(caption, savePromptText(),
                                                  Platform::Yes | Platform::No | Platform::Cancel,
                                                  Platform::Question, Platform::Cancel);
    if (answer == Platform::No) {
        proceed();
        return;
    }
    if (answer != Platform::Yes)
        return;
    // A save that is cancelled or fails counts as Cancel: nothing is discarded.
    saveForPrompt([proceed](bool saved) {
        if (saved)
            proceed();
    });
}

void DocumentCommands::saveForPrompt(const Then& then)
{
    if (m_model.document().isUntitled())
        saveAs(FormatNative, then);
    else
        save(then);
}

// ---- commands -------------------------------------------------------------------------

void DocumentCommands::New()
{
    if (isBusy())
        return;
    askToSave(QStringLiteral("New"), [this] { newDocument(); });
}

void DocumentCommands::StartupNew()
{
    Document& doc = m_model.document();
    doc.setDocumentType(Document::Native);
    doc.setDocumentName(doc.UntitledPath());
    newDocument();
}

void DocumentCommands::newDocument()
{
    Document& doc = m_model.document();
    doc.buildNewSheet();
    m_model.ResyncFormPanel();
    m_model.setWindowTitle(kTitlePrefix + QStringLiteral("Untitled1.vty"));
    doc.setDocumentName(doc.UntitledPath());
    doc.setDocumentType(Document::Native);
    doc.setClearBeforeGrab(true);
    doc.setSortedColumn(-1);
    doc.MakeModified(false);
    doc.resizeComboLists(false);
    m_model.history().clear();
    emit documentReplaced();
}

void DocumentCommands::OpenDocument(int format)
{
    if (isBusy())
        return;
    askToSave(QStringLiteral("Open File"), [this, format] { openChosen(format); });
}

void DocumentCommands::openChosen(int format)
{
    const OpenSpec kind = openSpec(format);
    Document& doc = m_model.document();
    FileDialogRequest request;
    request.caption = tr("Open");
    request.directory = doc.LastOpenPath();
    request.filters = qtFilters(kind.filter);
    request.presetName = kind.presetName;
    request.defaultSuffix = kind.defaultExtension.mid(2);
    const QString path = m_model.platform().openFileName(request);
    static const QStringList nothingPicked = {QString(),              QStringLiteral("*.*"),
                                              QStringLiteral("*.vty"), QStringLiteral("*.csv"),
                                              QStringLiteral("*.txt"), QStringLiteral("*.vcf"),
                                              QStringLiteral("*.xlsx")};
    if (nothingPicked.contains(path))
        return;
    doc.setLastOpenPath(AppPaths::DirectoryPart(path));
    int gridFormat = kind.gridFormat;
    int documentType = kind.documentType;
    if (format == OpenNative) {
        // The native reader would refuse them: a vCard or spreadsheet file is read as one.
        const int named = gridFormatForPath(path);
        if (named == FormatVCard || named == FormatXlsx)
            gridFormat = documentType = named;
    }
    openFile(path, gridFormat, documentType);
}

void DocumentCommands::openFile(const QString& path, int format, int documentType)
{
    read(path, format, [this, path, documentType](bool ok, const QString& error) {
        if (!ok) {
            m_staging.reset();
            reportFailure(QStringLiteral("Open File"), tr("Quillon could not open"), path, error,
                          tr("The document was left as it was."));
            return;
        }
        replaceDocument(path, documentType);
    });
}

void DocumentCommands::openPath(const QString& given)
{
    if (isBusy())
        return;
    const QString path = QFileInfo(given).absoluteFilePath();
    int format = gridFormatForPath(path);
    if (format < 0) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.read(NativeGridFormat::magic().size()) == NativeGridFormat::magic())
            format = FormatNative;
    }
    if (format < 0) {
        reportFailure(QStringLiteral("Open File"), tr("Quillon could not open"), path,
                      tr("Its name does not tell a kind of file Quillon reads."), tr("The document was left as it was."));
        return;
    }
    m_model.document().setLastOpenPath(AppPaths::DirectoryPart(path));
    const int documentType = format == FormatComma ? Document::Comma
                             : format == FormatTab   ? Document::Tab
                             : format == FormatVCard ? Document::VCard
                             : format == FormatXlsx  ? Document::Xlsx
                                                     : Document::Native;
    openFile(path, format, documentType);
}

void DocumentCommands::replaceDocument(const QString& path, int documentType)
{
    Document& doc = m_model.document();
    doc.sheet().swapContents(*m_staging);
    m_staging.reset(); // the old records go with it
    doc.setDocumentName(path);
    doc.setClearBeforeGrab(false);
    doc.setDocumentType(documentType);
    doc.setSortedColumn(-1);
    m_model.ResyncFormPanel();
    m_model.setWindowTitle(kTitlePrefix + path);
    m_model.fa_Click();
    applyRowMode();
    doc.MakeModified(false);
    doc.resizeComboLists(false);
    m_model.history().clear();
    emit documentReplaced();
}

void DocumentCommands::recoverDocument(RecordSheet& staging, const QString& name, int type, bool saveEnabled)
{
    Document& doc = m_model.document();
    doc.sheet().swapContents(staging);
    const bool untitled = name.isEmpty();
    doc.setDocumentName(untitled ? doc.UntitledPath() : name);
    doc.setClearBeforeGrab(false);
    doc.setDocumentType(untitled ? int(Document::Native) : type);
    doc.setSortedColumn(-1);
    m_model.ResyncFormPanel();
    m_model.setWindowTitle(kTitlePrefix + (untitled ? QStringLiteral("Untitled1.vty") : name));
    m_model.fa_Click();
    applyRowMode();
    doc.setModifiedMarks(true, saveEnabled);
    doc.resizeComboLists(false);
    m_model.history().clear(); // its one place is the recovered, modified document
    m_overwriteChosen.clear();
}

void DocumentCommands::applyRowMode()
{
    if (m_rowMode) {
        m_rowMode();
        return;
    }
    m_model.setMouseMode(false);
}

void DocumentCommands::Append()
{
    if (isBusy())
        return;
    Document& doc = m_model.document();
    FileDialogRequest request;
    request.caption = tr("Append");
    request.directory = doc.LastOpenPath();
    request.filters = qtFilters(QStringLiteral(
        "Grid Files (*.vty)|*.vty|Spreadsheet Files (*.xlsx)|*.xlsx|vCard Files (*.vcf)|*.vcf"));
    request.defaultSuffix = QStringLiteral("vty");
    const QString path = m_model.platform().openFileName(request);
    if (path.isEmpty())
        return;
    doc.setAppendFileName(path);
    const QString extension = path.right(3).toUpper();
    int format = FormatNative;
    QStringList titles;
    if (extension == QLatin1String("VCF")) {
        format = FormatVCard;
        for (int c = 0; c < m_model.sheet().cols(); ++c)
            titles << m_model.sheet().title(c);
    } else if (path.right(5).toUpper() == QLatin1String(".XLSX")) {
        format = FormatXlsx;
    } else if (extension != QLatin1String("VTY") && extension != QLatin1String("QRX")) {
        m_model.platform().message(
            QStringLiteral("Open"),
            QStringLiteral("You can only select the reconizable file types. Plaese select the correct file type from "
                           "the 'File of Types' list box in the Open Dialog and reopen again."),
            Platform::Ok, Platform::Warning);
        return;
    }
    read(
        path, format,
        [this, path](bool ok, const QString& error) {
            const QString reason = ok ? appendRefusal(m_model.sheet(), *m_staging) : error;
            if (!reason.isEmpty()) {
                m_staging.reset();
                reportFailure(QStringLiteral("Append"), tr("Quillon could not append"), path, reason,
                              tr("No records were added."));
                return;
            }
            mergeStaging();
        },
        titles);
}

QString DocumentCommands::appendRefusal(const RecordSheet& sheet, const RecordSheet& staging)
{
    const qint64 rows = qint64(sheet.rows()) + staging.rows() - 1;
    const qint64 cols = std::max(sheet.cols(), staging.cols());
    if (rows > RecordSheet::kMaxRows)
        return tr("The sheet has %1 rows and the file %2 records: together %3 rows, more than the %4 a sheet can "
                  "hold.")
            .arg(sheet.rows())
            .arg(staging.rows() - 1)
            .arg(rows)
            .arg(RecordSheet::kMaxRows);
    if (!RecordSheet::canHold(rows, cols))
        return tr("With the file's records the sheet would have %1 rows of %2 columns, %3 cells: more than the %4 "
                  "a sheet can hold.")
            .arg(rows)
            .arg(cols)
            .arg(rows * cols)
            .arg(RecordSheet::kMaxCells);
    return {};
}

int DocumentCommands::appendRecords(RecordSheet& sheet, const RecordSheet& staging)
{
    if (!appendRefusal(sheet, staging).isEmpty())
        return -1;
    if (sheet.cols() < staging.cols())
        sheet.setCols(staging.cols());
    RecordSheet::Batch batch(sheet);
    for (int c = 0; c < sheet.cols() && c < staging.cols(); ++c)
        if (sheet.isCellEmpty(0, c))
            sheet.setTextUtf8(0, c, staging.textUtf8(0, c));
    const int first = sheet.rows();
    const int added = staging.rows() - 1;
    if (added <= 0)
        return first;
    sheet.setRows(first + added);
    // Texts are copied as they are: a tab or a line break inside a cell stays in its cell.
    for (int c = 0; c < staging.cols(); ++c) {
        const TextColumn& from = staging.textColumn(c);
        for (int r = 1; r < staging.rows(); ++r)
            if (!from.isEmpty(r))
                sheet.setTextUtf8(first + r - 1, c, from.utf8(r));
    }
    return first;
}

void DocumentCommands::mergeStaging()
{
    Document& doc = m_model.document();
    RecordSheet& sheet = doc.sheet();
    const int before = sheet.rows();
    // One step to undo: the columns the file adds, the titles it fills in and the
    // records, kept by where they start.
    UndoScope step(m_model, QStringLiteral("Append"));
    if (sheet.cols() < m_staging->cols()) {
        const int oldCols = sheet.cols();
        sheet.setCols(m_staging->cols());
        step.add<InsertColumnsPart>(sheet, oldCols, sheet.cols() - oldCols);
    }
    if (sheet.cols() > 0)
        step.keepCells({0, 0, 0, sheet.cols() - 1}, CellSnapshot::Texts);
    const int first = appendRecords(sheet, *m_staging);
    m_staging.reset();
    if (first >= 0)
        step.add<AppendRowsPart>(sheet, first);
    if (sheet.rows() > before)
        sheet.selectBlock(first, 0, sheet.rows() - 1, sheet.cols() - 1);
    m_model.fa_Click();
    m_model.panels().setText(MainModel::SelectionPanel,
                             QStringLiteral("%1 Sel").arg(sheet.selectedRowCount()));
    if (!doc.isUntitled() && !doc.IsModified())
        doc.MakeModified(true);
}

void DocumentCommands::Save()
{
    if (isBusy())
        return;
    save([](bool) {});
}

QString DocumentCommands::foreignSaveQuestion(int format, const QString& path)
{
    const QString file = QDir::toNativeSeparators(path);
    if (format == FormatVCard)
        return tr("%1 is a vCard file. Saving over it keeps the records' names, addresses, phones, web sites, "
                  "emails and other titled columns, but not the column settings, colours, fonts or check marks, "
                  "nor what Quillon did not read from the file (photos, birthdays, further phone numbers).\n\n"
                  "Do you want to save a Vantry file (*.vty) instead, which keeps everything?\n"
                  "Yes: choose the Vantry file. No: save over the vCard file.")
            .arg(file);
    return tr("%1 is a spreadsheet file. Saving over it keeps the records and the columns' types, formats and "
              "widths, but not the cells' colours and fonts, nor what Quillon did not read from the file (its other "
              "sheets, formulas, charts and formatting).\n\n"
              "Do you want to save a Vantry file (*.vty) instead, which keeps everything?\n"
              "Yes: choose the Vantry file. No: save over the spreadsheet file.")
        .arg(file);
}

void DocumentCommands::save(const Then& then)
{
    Document& doc = m_model.document();
    const QString name = doc.DocumentName();
    const int type = doc.DocumentType();
    if (type == Document::VCard || type == Document::Xlsx) {
        const int format = type == Document::VCard ? FormatVCard : FormatXlsx;
        if (m_overwriteChosen != name) {
            const int answer = m_model.platform().message(QStringLiteral("Save"), foreignSaveQuestion(format, name),
                                                          Platform::Yes | Platform::No | Platform::Cancel,
                                                          Platform::Question, Platform::Yes);
            if (answer == Platform::Yes) {
                saveAs(FormatNative, then);
                return;
            }
            if (answer != Platform::No) {
                then(false);
                return;
            }
            m_overwriteChosen = name;
        }
        write(name, format, QStringLiteral("Save"), [this, then](bool ok) {
            if (ok) {
                m_model.document().MakeModified(false);
                m_model.history().markSaved();
            }
            then(ok);
        });
        return;
    }
    if (type == Document::Comma || type == Document::Tab) {
        write(name, type == Document::Comma ? FormatComma : FormatTab, QStringLiteral("Save"),
              [this, then](bool ok) {
                  if (ok) {
                      m_model.platform().message(
                          QStringLiteral("Save"),
                          QStringLiteral("Use 'Save As...' Vantry(*.vty) from the 'File' menu if you want to save "
                                         "data as a RichText Vantry file format."),
                          Platform::Ok, Platform::Information);
                      m_model.document().MakeModified(false);
                      m_model.history().markSaved();
                  }
                  then(ok);
              });
        return;
    }
    if (name.toUpper() == doc.UntitledPath().toUpper() && QFileInfo::exists(name)) {
        const int answer = m_model.platform().message(QStringLiteral("Save"),
                                                      QStringLiteral("Do you want to overwrite ") + name +
                                                          QStringLiteral("?"),
                                                      Platform::Yes | Platform::No, Platform::Question);
        if (answer != Platform::Yes) {
            saveAs(FormatNative, then);
            return;
        }
    }
    write(name, FormatNative, QStringLiteral("Save"), [this, then](bool ok) {
        if (ok) {
            m_model.document().MakeModified(false);
            m_model.history().markSaved();
        }
        then(ok);
    });
}

void DocumentCommands::SaveAs(int format)
{
    if (isBusy())
        return;
    saveAs(format, [](bool) {});
}

void DocumentCommands::saveAs(int format, const Then& then)
{
    if (!isGridFormat(format)) {
        then(false);
        return;
    }
    Document& doc = m_model.document();
    FileDialogRequest request;
    request.caption = tr("Save As");
    request.directory = doc.isUntitled() ? doc.LastOpenPath() : AppPaths::DirectoryPart(doc.DocumentName());
    switch (format) {
    case FormatComma:
        request.filters = qtFilters(QStringLiteral("Comma Delimited Text Files (*.csv)|*.csv"));
        request.defaultSuffix = QStringLiteral("csv");
        break;
    case FormatTab:
        request.filters = qtFilters(QStringLiteral("Tab Delimited Text Files (*.txt)|*.txt"));
        request.defaultSuffix = QStringLiteral("txt");
        break;
    case FormatSpreadsheetCsv:
        request.filters = qtFilters(QStringLiteral("Comma Delimited Text Files for Spreadsheets (*.csv)|*.csv"));
        request.defaultSuffix = QStringLiteral("csv");
        break;
    case FormatXlsx:
        request.filters = qtFilters(QStringLiteral("Spreadsheet Files (*.xlsx)|*.xlsx"));
        request.defaultSuffix = QStringLiteral("xlsx");
        break;
    case FormatVCard:
        request.filters = qtFilters(QStringLiteral("vCard Files (*.vcf)|*.vcf"));
        request.defaultSuffix = QStringLiteral("vcf");
        break;
    default:
        request.filters = qtFilters(QStringLiteral("Vantry Files (*.vty)|*.vty"));
        request.defaultSuffix = QStringLiteral("vty");
        break;
    }
    const QString path = m_model.platform().saveFileName(request);
    if (path.isEmpty()) {
        then(false);
        return;
    }
    write(path, format, QStringLiteral("Save As"), [this, path, format, then](bool ok) {
        if (ok && format != FormatNative && format != FormatComma && format != FormatTab) {
            then(ok); // an export: the document, its title and its modified mark stay
            return;
        }
        if (ok) {
            Document& d = m_model.document();
            m_model.setWindowTitle(kTitlePrefix + path);
            if (format == FormatNative) {
                d.setDocumentName(path);
                d.setDocumentType(Document::Native);
            }
            d.MakeModified(false);
            m_model.history().markSaved();
        }
        then(ok);
    });
}

// ---- ending -----------------------------------------------------------------------------

void DocumentCommands::end()
{
    m_ending = true;
    if (m_endProgram)
        m_endProgram();
}

void DocumentCommands::Exit()
{
    if (closeRequested())
        end();
}

bool DocumentCommands::closeRequested()
{
    if (m_ending)
        return true;
    if (isBusy())
        return false;
    m_model.setCurrentPage(MainModel::ResultsPage);
    if (!m_model.document().IsModified())
        return true;
    const int answer = m_model.platform().message(QStringLiteral("Exit"), savePromptText(),
                                                  Platform::Yes | Platform::No | Platform::Cancel,
                                                  Platform::Question, Platform::Cancel);
    if (answer == Platform::No)
        return true;
    if (answer != Platform::Yes)
        return false;
    // The save may finish now or, for a large sheet, later in the background.
    struct State
    {
        bool waiting = true;
        bool saved = false;
        bool returned = false;
    };
    auto state = std::make_shared<State>();
    saveForPrompt([this, state](bool saved) {
        state->waiting = false;
        state->saved = saved;
        if (state->returned && saved)
            end();
    });
    state->returned = true;
    return !state->waiting && state->saved;
}

} // namespace quillon
