#pragma once

#include "sheet/RecordSheet.h"

#include <QObject>
#include <QStringList>

namespace quillon {

/**
 * The one document: the record sheet with its file name, format and modified
 * mark, and the per-column combo lists kept beside it.
 *
 * Two flags differ on purpose: isModified() says there are unsaved changes (the
 * close prompt asks), isSaveEnabled() whether the Save command is offered. An
 * in-place edit of an untitled document sets the first but not the second, since
 * an untitled document is saved through Save As.
 */
class Document : public QObject
{
    Q_OBJECT

public:
    /** 2, 3, 4 as the design numbers them; a document opened from a vCard or spreadsheet
     *  file has the format code of GridFormat. */
    enum Type { Native = 2, Comma = 3, Tab = 4, VCard = 6, Xlsx = 7 };

    /** @p untitledPath is the user data folder + "/Untitled1.vty". */
    explicit Document(const QString& untitledPath, QObject* parent = nullptr);

    RecordSheet& sheet() { return m_sheet; }
    const RecordSheet& sheet() const { return m_sheet; }

    QString UntitledPath() const { return m_untitledPath; }
    QString DocumentName() const { return m_name; }
    void setDocumentName(const QString& path);
    int DocumentType() const { return m_type; }
    void setDocumentType(int type) { m_type = type; }
    /** The document still has the untitled default name (exact comparison). */
    bool isUntitled() const { return m_name == m_untitledPath; }

    bool IsModified() const { return m_modified; }
    bool isSaveEnabled() const { return m_saveEnabled; }
    /** Sets the modified mark and enables or disables Save to match. */
    void MakeModified(bool what);
    /** The rule every changing command applies afterwards: a named document that is
     *  not yet modified becomes modified (Save enabled); an in-place cell edit marks
     *  any document modified, leaving Save as it is. */
    void MarkEdited(bool inPlaceEdit = false);
    /** Sets the modified mark and the Save state apart, as an undo brings back the marks
     *  an earlier state of the document had. */
    void setModifiedMarks(bool modified, bool saveEnabled);

    QString LastOpenPath() const { return m_lastOpenPath; }
    void setLastOpenPath(const QString& path) { m_lastOpenPath = path; }
    bool ClearBeforeGrab() const { return m_clearBeforeGrab; }
    void setClearBeforeGrab(bool on) { m_clearBeforeGrab = on; }
    QString AppendFileName() const { return m_appendFileName; }
    void setAppendFileName(const QString& path) { m_appendFileName = path; }

    /** One entry a column, kept beside the sheet and stored in no file. */
    QStringList& ColumnComboLists() { return m_comboLists; }
    /** Makes the combo lists as long as the sheet has columns: @p keep true grows them
     *  keeping their entries, false starts them all empty. */
    void resizeComboLists(bool keep);

    /** Column whose title shows the sort arrow; -1 for none. */
    int SortedColumn() const { return m_sortedColumn; }
    void setSortedColumn(int col) { m_sortedColumn = col; }

    /** The sheet part of a new document: ten columns "Name" .. "Email" and two
     *  user-defined ones, all Text and Left, and 20 empty records. */
    void buildNewSheet();

signals:
    void modifiedChanged(bool modified);
    void saveEnabledChanged(bool enabled);
    void documentNameChanged(const QString& path);

private:
    RecordSheet m_sheet;
    QString m_untitledPath;
    QString m_name;
    int m_type = Native;
    bool m_modified = false;
    bool m_saveEnabled = false;
    QString m_lastOpenPath;
    bool m_clearBeforeGrab = true;
    QString m_appendFileName;
    QStringList m_comboLists;
    int m_sortedColumn = -1;
};

/** Resets a grid the way a freshly made grid starts: 50 rows, 9 columns, one header
 *  row, every column's alignment general. */
void SetDefaults(RecordSheet& sheet);

} // namespace quillon
