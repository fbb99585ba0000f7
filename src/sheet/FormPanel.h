#pragma once

#include "sheet/RecordSheet.h"

#include <QObject>

namespace quillon {

class Document;

/**
 * The form panel: a two-column grid beside the sheet that shows the current
 * record vertically, one row a sheet column: row c+1 holds the title of sheet
 * column c and the current record's value, formatted by the column's format.
 * Checkbox columns show a check box instead of text.
 *
 * Its cells use the check state per cell: 0 no box, 1 checked, 2 an unchecked box.
 */
class FormPanel : public QObject
{
    Q_OBJECT

public:
    static constexpr int kUncheckedBox = 2;

    explicit FormPanel(Document& document, QObject* parent = nullptr);

    RecordSheet& grid() { return m_grid; }
    const RecordSheet& grid() const { return m_grid; }

    /** Whether the panel (the tab holding it) is shown; hidden panels are not refreshed. */
    bool isShown() const { return m_shown; }
    void setShown(bool shown) { m_shown = shown; }

    bool IsFbCol0Populated = false;
    bool TitlesChanged = false;

    /** One-time set-up: whole-row selection, two columns, the "Column"/"Value" header in
     *  bold white on green, column 1 filling @p panelWidth twips. */
    void SetupFormPanel(int panelWidth);
    /** Widens the value column to fill a panel @p panelWidth twips wide. */
    void fitValueColumn(int panelWidth);
    /** Row count Cols+1 and the titles refilled; the values follow with refresh(). */
    void resync();
    void FillFormPanelTitles();
    /** Steps 3 to 5 of the current-record refresh: titles when stale, then every value. */
    void refresh();
    /** Writes sheet cell (row, col) of the current record into its value cell. */
    void showValue(int col);
    /** The text an editor of value row @p fbRow starts from: the current record's value
     *  as stored, not as the column's format shows it. Title cells give their own text. */
    QString editText(int fbRow, int col) const;
    /** The user edited value row @p fbRow: copy it into the sheet's current record and
     *  show it formatted again. A value equal to the stored one changes nothing; any
     *  other marks the document as an in-place edit does. */
    void applyEdit(int fbRow);

private:
    Document& m_document;
    RecordSheet m_grid;
    bool m_shown = true;
};

} // namespace quillon
