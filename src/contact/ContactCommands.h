#pragma once

#include <QObject>
#include <QPointer>

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
    /** @p window is the dialer's parent. */
    ContactCommands(MainModel& model, QWidget* window, QObject* parent = nullptr);

    /**
     * Dial Phone: loads the dialer, puts the current record's number into it (with
     * the long-distance prefix when the dialer says so) and shows it modal; its
     * activation dials at once. Returns the dialog, which deletes itself when closed.
     */
    DialDialog* dialPhone();
    /** The dialer while it is open. */
    DialDialog* dialer() const { return m_dialer; }

    /** Map: opens the street-map query of the current record in the browser. */
    void showMap();
    /** "Quillon on the &Web": opens the product's home page in the browser. */
    void openHomePage();

private:
    MainModel& m_model;
    QWidget* m_window;
    QPointer<DialDialog> m_dialer;
};

} // namespace quillon
