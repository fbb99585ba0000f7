#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace quillon {

/**
 * `frmDelDialog`, "Delete Record": asks whether to delete the current record. It
 * is hidden, not destroyed, after each answer, so "Do not ask me next time"
 * (`chkAskDel`) keeps its state for as long as the program runs.
 */
class DeleteRecordDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DeleteRecordDialog(QWidget* parent = nullptr);

    /** Shows the window modally; Platform::Yes, No or Cancel (closing it is Cancel). */
    int ask();
    bool dontAskAgain() const;

    QCheckBox* askCheck() const { return m_chkAskDel; }
    QPushButton* yesButton() const { return m_yes; }
    QPushButton* noButton() const { return m_no; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    void dontAskAgainChanged(bool on);

private:
    QCheckBox* m_chkAskDel;
    QPushButton* m_yes;
    QPushButton* m_no;
    QPushButton* m_cancel;
};

} // namespace quillon
