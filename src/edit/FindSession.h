#pragma once

#include <QObject>
#include <QString>

namespace quillon {

class MainModel;

/**
 * The state and the Find Next command of the find window (frmSearch): where the
 * search goes on, whether the last search found a cell, and how many hits were
 * counted since the last end-of-document message. The window is a view over it.
 */
class FindSession : public QObject
{
    Q_OBJECT

public:
    explicit FindSession(MainModel& model, QObject* parent = nullptr);

    /** The window was loaded: empty text, both options off, the search starts at
     *  column 0, row 1 with no hit counted. */
    void load();
    /** The window was activated: the sheet goes to Block & Edit mode, so that a found
     *  cell is selected alone; the mode's menu check, toolbar button and status text
     *  say so, and the commands act on what the user sees selected. */
    void activated();

    QString text() const { return m_text; }
    /** A change of the sought text restarts the search at column 0, row 1. */
    void setText(const QString& text);
    bool fromBeginning() const { return m_fromBeginning; }
    void setFromBeginning(bool on) { m_fromBeginning = on; }
    bool matchCase() const { return m_matchCase; }
    void setMatchCase(bool on) { m_matchCase = on; }

    /** "&Find Next": selects the next cell holding the text, or tells that there is none
     *  ("Search text is not found.") or that the end was reached after some hits. */
    void findNext();

    int searchColumn() const { return m_column; }
    int nextRow() const { return m_nextRow; }
    bool lastSearchHit() const { return m_lastHit; }
    int hitCount() const { return m_hits; }

private:
    MainModel& m_model;
    QString m_text;
    bool m_fromBeginning = false;
    bool m_matchCase = false;
    int m_column = 0;
    int m_nextRow = 1;
    bool m_lastHit = false;
    int m_hits = 0;
};

} // namespace quillon
