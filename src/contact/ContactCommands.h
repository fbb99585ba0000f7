#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QWidget;

namespace quillon {

class ContactEditCommands;
class DialDialog;
class FormatPhonesDialog;
class MainModel;
class MergeContactsDialog;

/**
 * The contact tools' commands of the main window: Dial Phone (the dialer for the
 * current record), the street map of the current record, the product's home page,
 * and the Tools menu's Merge Duplicate Contacts and Format Phone Numbers, whose
 * dialogs are shown here and whose work ContactEditCommands does.
 */
class ContactCommands : public QObject
{
    Q_OBJECT

public:
    /** Finds an action by its command name ("mnuMap", "tb0.map"); nullptr when absent. */
    using ActionLookup = std::function<QAction*(const QString& name)>;

    /** @p window is the dialer's parent. */
    ContactCommands(MainModel& model, QWidget* window, QObject* parent = nullptr);
    /** The same, with the commands connected to the window's actions: "&Dial Phone"
     *  (mnuTools_DialPhone) and the toolbar's "phone", "Intenet &Map" (mnuMap) and
     *  the toolbar's "map", "Quillon on the &Web" (mnuWeb), "Mer&ge Duplicate
     *  Contacts..." (mnuMergeContacts) and "Format &Phone Numbers..." (mnuFormatPhones). */
    ContactCommands(MainModel& model, QWidget* window, const ActionLookup& action, QObject* parent = nullptr);

    /**
     * Dial Phone: loads the dialer, puts the current record's number into it (with
     * the long-distance prefix when the dialer says so) and shows it modal; its
     * activation dials at once. Returns the dialog, which deletes itself when closed.
     */
    DialDialog* dialPhone();
    /** The dialer while it is open. */
    DialDialog* dialer() const;

    /** Map: opens the street-map query of the current record in the browser. */
    void showMap();
    /** "Quillon on the &Web": opens the product's home page in the browser. */
    void openHomePage();

    /** Merge Duplicate Contacts: finds the groups and shows them (window-modal, not
     *  waited for); OK merges them. Returns the dialog, which deletes itself when
     *  closed; nullptr when there was nothing to show (the user was told why). */
    MergeContactsDialog* mergeDuplicateContacts();
    /** Format Phone Numbers: asks for the form and the records (window-modal, not
     *  waited for); OK formats them. Returns the dialog, which deletes itself when
     *  closed. */
    FormatPhonesDialog* formatPhoneNumbers();
    /** The commands behind the two above. */
    ContactEditCommands& editCommands() { return *m_edits; }

private:
    void connectAction(const ActionLookup& action, const QString& name, void (ContactCommands::*run)());
    void runDialPhone() { dialPhone(); }
    void runMerge() { mergeDuplicateContacts(); }
    void runFormat() { formatPhoneNumbers(); }

    MainModel& m_model;
    QWidget* m_window;
    QPointer<DialDialog> m_dialer;
    ContactEditCommands* m_edits;
};

} // namespace quillon
