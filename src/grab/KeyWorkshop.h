#pragma once

#include "grab/KeyLearner.h"
#include "grab/ListingParser.h"
#include "grab/PageReader.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace quillon {

/**
 * The key workshop's state, without widgets: a site's decoding key as the form
 * shows it, the page text a grab of the current address would cut, and what the
 * key cuts from it, by the grab's own parser.
 *
 * Every change of the key asks for a new preview; the preview follows once the
 * changes have paused (kRefreshDelayMs), so that typing a marker runs the parser
 * once, not at every key. refresh() makes it at once.
 *
 * Learning: the user gives the values of one listing (the name at least);
 * learn() runs KeyLearner over the page and keeps its proposals, each a whole key
 * with what it cuts, and the cases it could not learn in words; accept() takes a
 * proposal's markers into the key, leaving the address markers (city, state) and the
 * count markers as they were; a listing-page marker the page's address does not hold
 * becomes one that it does (suggestedPageMarker()).
 *
 * A page that describes its listings as schema.org items is told of
 * (structuredDataOffer()), and useStructuredData() makes the key read them.
 */
class KeyWorkshop : public QObject
{
    Q_OBJECT

public:
    /** What the key cuts from the page. */
    struct Preview
    {
        KeyPreview cut;
        ParseTrace trace;
        /** "20 listings; Name 20 of 20; Phone 18 of 20; next page: /r?p=2". */
        QString summary;
    };

    static constexpr int kRefreshDelayMs = 150;

    explicit KeyWorkshop(QObject* parent = nullptr);
    ~KeyWorkshop() override;

    // ---- the site and its key ----------------------------------------------------
    const GrabKey& key() const { return m_key; }
    /** Replaces the key as a whole (a site chosen, a proposal accepted). */
    void setKey(const GrabKey& key);
    /** Which rules of the built-in sites the parser follows. */
    SiteRules rules() const { return m_rules; }
    void setRules(SiteRules rules);

    // The form's fields, one setter each.
    void setKind(KeyKind kind);
    void setFromBrowser(bool fromBrowser);
    void setListingsPerPage(int n);
    void setListingMarkers(const QString& start, const QString& end);
    void setNextMarkers(const QString& start, const QString& end);
    void setListingPageMarker(const QString& marker);
    void setCountMarkers(bool read, const QString& start, const QString& end, const QString& start2,
                         const QString& end2);
    void setAddressMarkers(const QString& city, const QString& state);
    int fieldCount() const { return int(m_key.fields.size()); }
    /** Field j: the sheet column it fills and its markers. */
    void setField(int j, int column, const QString& start, const QString& end);
    /** Adds a field at the end; returns its number. */
    int addField(int column);
    void removeField(int j);

    /** The sheet's column titles, for the fields' column choices. */
    QStringList columnTitles() const { return m_titles; }
    void setColumnTitles(const QStringList& titles);
    /** The title of sheet column @p column ("Column 12" past the titles known). */
    QString columnTitle(int column) const;
    /** The column of @p title (case ignored); -1 for none. */
    int columnOf(const QString& title) const;

    // ---- the page ----------------------------------------------------------------
    /** The page text as the parser reads it (UTF-8), and the address it came from. */
    void setPage(const QByteArray& page, const QString& address);
    const QByteArray& page() const { return m_page; }
    QString address() const { return m_address; }

    // ---- the preview -------------------------------------------------------------
    const Preview& preview() const { return m_preview; }
    /** Runs the parser now, when the key or the page changed since the last run. */
    void refresh();
    bool isRefreshPending() const { return m_dirty; }
    /** A listing's value cut for sheet column @p column, as the grab writes it. */
    QString value(int row, int column) const;

    // ---- learning ----------------------------------------------------------------
    /** Learns markers from the values of one listing by sheet column; false (with the
     *  reasons in problems()) when no key was found. */
    bool learn(const KeyLearner::Example& example);
    const KeyLearner::Result& learned() const { return m_learned; }
    /** What the last learning could not learn, in plain words. */
    QStringList problems() const { return m_learned.problems; }
    /** A proposal of the last learning in words: its note and what it cuts. */
    QString proposalText(int index) const;
    /** Takes proposal @p index into the key. */
    bool accept(int index);

    /** Where a value stands in the page (byte ranges), as the learner finds it. */
    std::vector<std::pair<qsizetype, qsizetype>> find(const QString& value);

    /** When the page describes listings as schema.org items, says so in words
     *  ("The page describes 20 listings as schema.org items (JSON-LD)."); else empty. */
    QString structuredDataOffer();
    /** Makes the key read the page's schema.org items. */
    bool useStructuredData();

    /** A listing-page marker for pages like @p address: its path, with the "?" that
     *  starts its query ("/results?" of "http://x.example/results?q=shoes"). */
    static QString suggestedPageMarker(const QString& address);

    /** The summary of what @p key cut (@p preview) in words (see Preview::summary). */
    QString summaryOf(const KeyPreview& preview, const GrabKey& key) const;

signals:
    /** The key changed (by a setter, a proposal or a new site). */
    void keyChanged();
    /** The page text changed. */
    void pageChanged();
    /** A new preview is ready. */
    void previewRefreshed();
    /** A learning ended; its proposals and problems are in learned(). */
    void learningFinished();

private:
    void changed();
    void suggestPageMarker(GrabKey& key) const;
    KeyLearner& learner();

    GrabKey m_key;
    SiteRules m_rules = SiteRules::KeyOnly;
    QStringList m_titles;
    QByteArray m_page;
    QString m_address;
    Preview m_preview;
    bool m_dirty = true;
    QTimer m_refresh;
    std::unique_ptr<KeyLearner> m_learner;
    KeyLearner::Result m_learned;
    int m_structuredListings = -1;
    QString m_structuredSource;
};

} // namespace quillon
