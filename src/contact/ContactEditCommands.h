#pragma once

#include "contact/ContactMerge.h"
#include "contact/PhoneFormatting.h"

#include <QObject>

#include <optional>

namespace quillon {

class MainModel;

/**
 * The contact commands that change the records, carried out on the main window's
 * model, each one undo step: Merge Duplicate Contacts and Format Phone Numbers.
 * Phone numbers are read for the home region of the setting "PhoneRegion".
 *
 * Merging is shown before it is made: planMerge() finds the groups and keeps them
 * as the pending merge, which a view shows; applyMerge() makes it. A pending merge
 * is not made once the records changed after it was found (a grab went on, a file
 * was opened): the records are left as they are and the user is told.
 */
class ContactEditCommands : public QObject
{
    Q_OBJECT

public:
    explicit ContactEditCommands(MainModel& model, QObject* parent = nullptr);

    MainModel& model() { return m_model; }

    /** Finds the same contacts among the records and keeps them as the pending merge.
     *  Tells the user, and returns nullptr, when there is nothing to merge, no name
     *  or phone column, or too little memory. */
    const ContactMergePlan* planMerge();
    /** The pending merge, or nullptr. */
    const ContactMergePlan* pendingMerge() const { return m_pending ? &*m_pending : nullptr; }
    /** Makes the pending merge, one undo step "Merge Duplicate Contacts": fills the
     *  kept records' empty cells from the others of their groups and removes the
     *  others. Returns whether it was made. */
    bool applyMerge();
    /** Forgets the pending merge (the preview was cancelled). */
    void dropMerge();

    /** Format Phone Numbers: the phone column's cells of the selected records
     *  (@p selectedOnly) or of all, one undo step; tells how many cells changed and
     *  how many were left as they were. Returns the number of cells changed. */
    qint64 formatPhoneNumbers(PhoneForm form, bool selectedOnly);

private:
    void sheetChanged() { m_changed = true; }

    MainModel& m_model;
    std::optional<ContactMergePlan> m_pending;
    bool m_changed = false;
};

} // namespace quillon
