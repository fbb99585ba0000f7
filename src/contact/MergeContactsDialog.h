#pragma once

#include <QDialog>

class QLabel;
class QTreeView;

namespace quillon {

class ContactMergePlan;
class MergePreviewModel;
class RecordSheet;

/**
 * "Merge Duplicate Contacts": shows the groups of records a merge makes one, how
 * many, and which record of each is kept, before anything changes; OK makes the
 * merge, Cancel leaves the records as they are. Window-modal, shown with open().
 */
class MergeContactsDialog : public QDialog
{
    Q_OBJECT

public:
    /** @p sheet and @p plan must stay as they are while the dialog is open. */
    MergeContactsDialog(const RecordSheet& sheet, const ContactMergePlan& plan, QWidget* parent = nullptr);

    QTreeView* groupView() const { return m_view; }
    /** The text above the list: the number of groups and of records removed. */
    QString summary() const;

private:
    QLabel* m_summary = nullptr;
    QTreeView* m_view = nullptr;
    MergePreviewModel* m_model = nullptr;
};

} // namespace quillon
