#pragma once

#include <QObject>
#include <QPointer>

namespace quillon {

class GrabController;
class GrabSession;
class KeyWorkshop;
class KeyWorkshopWindow;
class WindowParts;

/**
 * Opens the key workshop from the Browser page ("&Key Workshop..." in its File menu,
 * the toolbar button "KeyWorkshop") on the chosen site's key and the page in the
 * address box, read as the site's key says: downloaded as a grab downloads it, or
 * the document the built-in browser shows. Saves the key over a user's site's own
 * key, or as a new site in the user data folder, which the site list then shows and
 * chooses.
 */
class KeyWorkshopController : public QObject
{
    Q_OBJECT

public:
    /** Adds the workshop to @p window, whose grabbing is already installed; nullptr
     *  when it is not. */
    static KeyWorkshopController* install(WindowParts& window);

    KeyWorkshopController(WindowParts& window, GrabController& grab);
    ~KeyWorkshopController() override;

    /** Opens the workshop (or raises it) on the chosen site and the address box's page. */
    KeyWorkshopWindow* open();
    KeyWorkshopWindow* window() const;
    KeyWorkshop* workshop() const { return m_workshop; }

    /** Reads the page text of the address box again, from the key's source. */
    void loadPage();
    /** "Save": the key over the chosen site's own key (a user's site only). */
    bool save();
    /** "Save as new site": asks for a name; the site is saved and chosen. */
    bool saveAsNewSite();
    /** "Rename Site...": asks for a new name of the user's site; its unfinished grab
     *  follows it. */
    bool renameSite();
    /** "Remove Site": asks, then takes the user's site out of the site list, deletes its
     *  key and its unfinished grab's journal, and closes the workshop. */
    bool removeSite();

signals:
    /** The page text was read (or could not be). */
    void pageLoaded(bool ok);

private:
    void sourceMaybeChanged();

    WindowParts& m_window;
    GrabController& m_grab;
    GrabSession& m_session;
    KeyWorkshop* m_workshop = nullptr;
    QPointer<KeyWorkshopWindow> m_view;
    QString m_siteName;
    QString m_siteFile;
    bool m_loadedFromBrowser = false;
    quint64 m_fetch = 0;
    quint64 m_generation = 0;
};

} // namespace quillon
