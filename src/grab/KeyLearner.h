#pragma once

#include "grab/ListingParser.h"
#include "grab/PageReader.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace quillon {

/**
 * Learns a decoding key from one listing of a result page: the user names the
 * values of one listing (its name at least), the learner finds them in the page
 * and proposes the listing markers and each field's markers.
 *
 * Values are looked for with the page's character references decoded and runs of
 * white space taken as one blank, so "García" finds "Garc&#237;a" and a name
 * broken over lines is found. Markers come from the text around each value; the
 * other listings come from the page's own repetition (a wrapper in the classic
 * sense: listing markers, and a start and an end marker a field). Every proposal is
 * checked by running the grab's own parser over the whole page, and the markers
 * that cut the field from the most listings win; markers with line breaks or
 * indentation in them lose to those without, as a site's markup keeps its tags but
 * not always its white space.
 *
 * A key workshop uses it so:
 *
 *     KeyLearner learner(page);                     // once for a page (UTF-8)
 *     KeyLearner::Example example;
 *     example.insert(KeyLearner::columnOf(u"Name"_qs), u"García Hardware"_qs);
 *     KeyLearner::Result result = learner.learn(example);
 *     // result.proposals: complete keys, best first, each with its preview;
 *     // result.fields: per column, the markers checked, best first;
 *     // result.problems: what could not be learned, in words.
 *     // After the user edits a key: PreviewKey(page, key) (PageReader.h).
 *
 * learnStructured() proposes a structured-data key instead, when the page
 * describes its listings as schema.org items.
 */
class KeyLearner
{
public:
    /** The values of one listing by sheet column (0 Name ... 7 Email). */
    using Example = QMap<int, QString>;

    /** One field's markers, as checked over the whole page. */
    struct FieldChoice
    {
        GrabKey::Field field;
        /** Listings from which the real parser cuts a value that looks like one of this field. */
        int listings = 0;
        /** Listings from which it cuts something that does not ("Show number" for a phone). */
        int wrong = 0;
        /** The first values cut. */
        QStringList values;
        /** The markers hold line breaks or indentation, which a site may not keep. */
        bool fragile = false;
        /** How little the markers hold to the markup (words of the page's data, a start
         *  inside a value); lower is better. */
        double prior = 0;
    };

    struct Proposal
    {
        GrabKey key;
        KeyPreview preview;
        /** Listing blocks the listing markers cut from the page. */
        int blocks = 0;
        /** A few words on what the key was made from. */
        QString note;
    };

    struct Result
    {
        std::vector<Proposal> proposals;
        /** For each example column, the markers checked for it, best first. */
        QMap<int, std::vector<FieldChoice>> fields;
        /** What could not be learned, in plain words. */
        QStringList problems;

        bool ok() const { return !proposals.empty(); }
    };

    /** The page as the parser reads it: UTF-8 (HtmlText::pageToUtf8). */
    explicit KeyLearner(QByteArray page);
    ~KeyLearner();
    KeyLearner(const KeyLearner&) = delete;
    KeyLearner& operator=(const KeyLearner&) = delete;

    const QByteArray& page() const { return m_page; }

    /** Learns a marker key from @p example; at least the name must be given. */
    Result learn(const Example& example) const;

    /** Proposes a structured-data key, when the page has schema.org listings. */
    Result learnStructured() const;

    /** Where @p value stands in the page: byte ranges of the page, at most @p limit. */
    std::vector<std::pair<qsizetype, qsizetype>> find(const QString& value, int limit = 1000) const;

    /** The sheet's default column titles, "Name" to "Email", and their columns. */
    static QStringList fieldTitles();
    /** The column of a default title (case ignored); -1 for none. */
    static int columnOf(QStringView title);

    /** The next-page link markers the page suggests (its rel="next" link, or a link
     *  named "Next"), checked with the parser; empty when none is found. */
    std::pair<QByteArray, QByteArray> learnNextLink() const;

    /** Values longer than this are not looked for. */
    static constexpr qsizetype kMaxValueBytes = 1000;
    /** Occurrences of a name looked at as the example listing. */
    static constexpr int kMaxAnchors = 6;

private:
    class Normal;
    class TagIndex;
    struct Search;

    const TagIndex& tagIndex() const;
    const std::pair<QByteArray, QByteArray>& nextLinkMarkers() const;

    QByteArray m_page;
    std::unique_ptr<Normal> m_normal;
    // Worked out on first use and kept for the page.
    mutable std::unique_ptr<TagIndex> m_tags;
    mutable std::pair<QByteArray, QByteArray> m_next;
    mutable bool m_nextLearned = false;
};

} // namespace quillon
