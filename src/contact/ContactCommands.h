#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QWidget;

namespace quillon {

class DialDialog;
class MainModel;

/**
 * The contact tools' commands of the main window: Dial Phone (the dialer for the
 * current record), the street map of the current record and the product's home page.
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
     *  the toolbar's "map", and "Quillon on the &Web" (mnuWeb). */
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

private:
    void connectAction(const ActionLookup& action, const QString& name, void (ContactCommands::*run)());
    void runDialPhone() { dialPhone(); }

    MainModel& m_model;
    QWidget* m_window;
    QPointer<DialDialog> m_dialer;
};

} // namespace quillon
