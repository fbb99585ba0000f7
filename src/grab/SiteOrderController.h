#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class QToolButton;

namespace quillon {

class GrabSession;
class WindowParts;
class SiteOrderDialog;

/**
 * The site order of the Browser page: the button `cmdUpDown` beside the site list
 * opens "Set Default Site & Order" (frmSites) modal; its Save refills the site list
 * in the new order with the chosen site still shown, brings the catalog into the
 * same order and writes it as "stpl00.bin" into the user data folder, which the
 * next start reads before the shipped site table.
 */
class SiteOrderController : public QObject
{
    Q_OBJECT

public:
    /** Adds the site order to @p window, whose grabbing is already installed;
     *  nullptr when it is not. */
    static SiteOrderController* install(WindowParts& window);

    SiteOrderController(WindowParts& window, GrabSession& session);

    QToolButton* button() const { return m_cmdUpDown; }
    /** `cmdUpDown`: shows the dialog (modal, without waiting) and returns it. */
    SiteOrderDialog* openDialog();
    SiteOrderDialog* dialog() const;

    /** The dialog's "Key Workshop...": chooses site @p name and opens the key workshop on it. */
    void openWorkshop(const QString& name);

    /** Save with the sites in the order of @p names. */
    void save(const QStringList& names);
    /** Where Save writes: the user data folder's "stpl00.bin". */
    static QString savedTablePath();

private:
    WindowParts& m_window;
    GrabSession& m_session;
    QToolButton* m_cmdUpDown = nullptr;
    QPointer<SiteOrderDialog> m_dialog;
};

} // namespace quillon
