#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quillon {

class FindSession;

/**
 * `frmSearch`, the modeless find window over a FindSession: the sought text
 * (`txtSearched`), "Starting from the beginning" (`chkFromBeginning`), "Match case"
 * (`chkMatchCase`), "&Find Next" (`cmdNext`) and "&Close" (`cmdClose`). Loading it
 * starts the search at column 0, row 1; activating it gives the sheet free block
 * selection; closing it unloads it (the window deletes itself).
 */
class FindWindow : public QDialog
{
    Q_OBJECT

public:
    /** Loads the window at @p mainWindow's top right corner. */
    FindWindow(FindSession& session, QWidget* mainWindow);

    FindSession& session() const { return m_session; }
    QLineEdit* textBox() const { return m_txtSearched; }
    QCheckBox* fromBeginningCheck() const { return m_chkFromBeginning; }
    QCheckBox* matchCaseCheck() const { return m_chkMatchCase; }
    QPushButton* nextButton() const { return m_cmdNext; }
    QPushButton* closeButton() const { return m_cmdClose; }

    /** "&Find Next". */
    void findNext();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void placeAtTopRight();

    FindSession& m_session;
    QWidget* m_mainWindow;
    QLineEdit* m_txtSearched;
    QCheckBox* m_chkFromBeginning;
    QCheckBox* m_chkMatchCase;
    QPushButton* m_cmdNext;
    QPushButton* m_cmdClose;
    bool m_placed = false;
};

} // namespace quillon
