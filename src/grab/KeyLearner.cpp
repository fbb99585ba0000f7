#include "grab/KeyLearner.h"

#include "grab/CutBetween.h"
#include "grab/HtmlDocument.h"
#include "grab/HtmlText.h"
#include "grab/StructuredData.h"

#include <QObject>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace quillon {

namespace {

constexpr const char* kTitles[] = {"Name", "Street", "City", "State", "Zip Code", "Phone", "Web Site", "Email"};
constexpr int kFieldCount = 8;

/** Longest start marker tried, in bytes. */
constexpr qsizetype kMaxStartMarker = 160;
/** Longest end marker tried. */
constexpr qsizetype kMaxEndMarker = 80;
/** What a pair of markers loses for the place of the value it was made at (see quality()). */
constexpr double kOccurrencePenalty[] = {0, 0.5, 1, 30};
/** Candidate markers a side of one value. */
constexpr int kMaxSideCandidates = 40;
/** Marker pairs of one field checked over the whole page. */
constexpr int kMaxPageChecks = 5;
/** Tags looked at before a listing for its listing marker. */
constexpr int kMaxListingTags = 300;
/** Occurrences of a marker counted before it is taken as too common. */
constexpr int kCountCap = 200000;

QString word(int column)
{
    return column >= 0 && column < kFieldCount ? QString::fromLatin1(kTitles[column]).toLower()
                                               : QObject::tr("column %1").arg(column + 1);
}

bool isWordByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
        || u >= 0x80;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isSpaceCharacter(char32_t c)
{
    return c == 0x20 || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F
        || c == 0x205F || c == 0x3000;
}

/** Markers with line breaks, tabs or runs of blanks: the indentation of a reformatted page. */
bool isFragile(QByteArrayView marker)
{
    for (qsizetype i = 0; i < marker.size(); ++i) {
        const char c = marker[i];
        if (c == '\n' || c == '\r' || c == '\t' || c == '\f')
            return true;
        if (c == ' ' && i + 1 < marker.size() && marker[i + 1] == ' ')
            return true;
    }
    return false;
}

int countOf(QByteArrayView text, QByteArrayView needle, int cap = kCountCap)
{
    if (needle.isEmpty())
        return 0;
    int n = 0;
    qsizetype at = FindIn(text, needle, 0);
    while (at >= 0 && n < cap) {
        ++n;
        at = FindIn(text, needle, at + 1);
    }
    return n;
}

std::vector<qsizetype> positionsOf(QByteArrayView text, QByteArrayView needle, int cap = kCountCap)
{
    std::vector<qsizetype> out;
    if (needle.isEmpty())
        return out;
    qsizetype at = FindIn(text, needle, 0);
    while (at >= 0 && int(out.size()) < cap) {
        out.push_back(at);
        at = FindIn(text, needle, at + 1);
    }
    return out;
}

int digitCount(QByteArrayView text)
{
    int n = 0;
    for (const char c : text)
        n += c >= '0' && c <= '9';
    return n;
}

/** Whether a value cut for @p column looks like one: no markup, not far longer than
 *  the example, and of the field's shape (a phone has digits, an email an "@"). */
bool plausible(int column, QByteArrayView value, QByteArrayView example)
{
    if (value.isEmpty())
        return false;
    const bool markup = value.contains('<') || value.contains('>');
    if (markup && !example.contains('<') && !example.contains('>'))
        return false;
    if (value.size() > std::max<qsizetype>(4 * example.size(), 120) || value.size() > 2000)
        return false;
    switch (column) {
    case 4: // Zip Code
        return value.size() <= 16;
    case 5: // Phone
        return digitCount(value) >= std::min(4, digitCount(example)) && value.size() <= 60;
    case 6: { // Web Site: an address of its own, not a link within the directory
        if (value.contains(' ') || value.startsWith('/') || value.startsWith('?') || value.startsWith('#'))
            return value.startsWith("//");
        const QByteArray lower = value.first(std::min<qsizetype>(value.size(), 12)).toByteArray().toLower();
        if (lower.startsWith("javascript:") || lower.startsWith("mailto:") || lower.startsWith("tel:"))
            return false;
        return value.contains('.');
    }
    case 7: // Email
        return value.contains('@');
    case 3: // State
        return value.size() <= 60;
    default:
        return value.size() <= 400;
    }
}

/** The white-space normal form of a value: references decoded, blanks collapsed, trimmed. */
QByteArray normalValue(QByteArrayView raw);

} // namespace

// ---- the page with references decoded and white space collapsed ------------------------------

/**
 * The page text as values are looked for in it: character references decoded, each
 * run of white space (also &nbsp; and the other Unicode spaces) one blank. Every
 * byte knows where it came from in the page.
 */
class KeyLearner::Normal
{
public:
    explicit Normal(QByteArrayView raw) : m_rawSize(raw.size())
    {
        m_text.reserve(raw.size());
        const qsizetype n = raw.size();
        qsizetype i = 0;
        qsizetype expect = -1; // the page offset an identity run goes on at
        while (i < n) {
            const char c = raw[i];
            char32_t ch = 0;
            qsizetype used = 0;
            if (c == '&')
                used = HtmlText::referenceAt(raw.sliced(i, std::min<qsizetype>(n - i, 40)), ch);
            const qsizetype space = used ? (isSpaceCharacter(ch) ? used : 0) : HtmlText::spaceAt(raw.sliced(i));
            if (space) {
                qsizetype j = i + space;
                while (j < n) {
                    qsizetype k = HtmlText::spaceAt(raw.sliced(j));
                    if (!k && raw[j] == '&') {
                        char32_t d = 0;
                        k = HtmlText::referenceAt(raw.sliced(j, std::min<qsizetype>(n - j, 40)), d);
                        if (!isSpaceCharacter(d))
                            k = 0;
                    }
                    if (!k)
                        break;
                    j += k;
                }
                if (j == i + 1 && c == ' ') {
                    identity(i, expect);
                } else {
                    m_breaks.push_back({m_text.size(), i, true});
                    expect = -1;
                }
                m_text.append(' ');
                i = j;
                continue;
            }
            if (used) {
                m_breaks.push_back({m_text.size(), i, true});
                HtmlText::appendUtf8(m_text, ch);
                expect = -1;
                i += used;
                continue;
            }
            identity(i, expect);
            m_text.append(c);
            ++i;
        }
    }

    const QByteArray& text() const { return m_text; }

    /** The page offset of normal byte @p q; the page's end for the text's end. */
    qsizetype rawAt(qsizetype q) const
    {
        if (q >= m_text.size())
            return m_rawSize;
        auto it = std::upper_bound(m_breaks.begin(), m_breaks.end(), q,
                                   [](qsizetype v, const Break& b) { return v < b.normal; });
        if (it == m_breaks.begin())
            return q;
        --it;
        return it->token ? it->raw : it->raw + (q - it->normal);
    }

private:
    struct Break
    {
        qsizetype normal;
        qsizetype raw;
        /** A replaced piece (a reference, a run of white space): its bytes all come from raw. */
        bool token;
    };

    void identity(qsizetype i, qsizetype& expect)
    {
        if (expect != i)
            m_breaks.push_back({m_text.size(), i, false});
        expect = i + 1;
    }

    QByteArray m_text;
    std::vector<Break> m_breaks;
    qsizetype m_rawSize;
};

namespace {

QByteArray normalValue(QByteArrayView raw)
{
    QByteArray decoded = HtmlText::decoded(raw);
    QByteArray out;
    out.reserve(decoded.size());
    bool space = false;
    for (qsizetype i = 0; i < decoded.size();) {
        const qsizetype k = HtmlText::spaceAt(QByteArrayView(decoded).sliced(i));
        if (k) {
            space = true;
            i += k;
            continue;
        }
        if (space && !out.isEmpty())
            out.append(' ');
        space = false;
        out.append(decoded[i]);
        ++i;
    }
    return out;
}

/** A value's place in the page: tight around its text, and loose, with the white
 *  space around it (which the parser trims). */
struct Occurrence
{
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype looseBegin = 0;
    qsizetype looseEnd = 0;
    /** The value is a whole text or attribute value: markup or quotes on both sides. */
    bool whole = false;
    /** The value is a whole text between tags, as the page shows it. */
    bool text = false;
    /** See Search::quality(). */
    int quality = 0;
};

struct Candidate
{
    QByteArray start;
    QByteArray end;
    double prior = 0;
};

/** How natural a pair of markers is, lower being better: markers without indentation,
 *  a start at a tag or an attribute, an end that is a quote or a closing tag. */
bool hasLetters(QByteArrayView text)
{
    for (const char c : text)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return true;
    return false;
}

/** Whether @p marker names an attribute: a word followed by =" or ='. */
bool namesAttribute(QByteArrayView marker)
{
    for (qsizetype i = 1; i + 1 < marker.size(); ++i)
        if (marker[i] == '=' && (marker[i + 1] == '"' || marker[i + 1] == '\'') && isWordByte(marker[i - 1]))
            return true;
    return false;
}

double priorOf(QByteArrayView start, QByteArrayView end)
{
    double p = 0;
    if (isFragile(start))
        p += 100;
    if (isFragile(end))
        p += 100;
    // A start at a tag or naming an attribute holds to the markup; one of bare
    // punctuation follows the text; words inside a value are the page's data.
    if (start.isEmpty())
        p += 1;
    else if (start[0] == '<')
        p += 0;
    else if (namesAttribute(start))
        p += 0.5;
    else if (!hasLetters(start))
        p += 2;
    else
        p += 4;
    if (end.size() == 1 && (end[0] == '"' || end[0] == '\''))
        p += 0;
    else if (end.startsWith("</") && end.endsWith(">"))
        p += 0;
    else if (!hasLetters(end))
        p += end == "<" ? 2 : 1;
    else
        p += 3;
    p += double(start.size()) / 200.0 + double(end.size()) / 40.0;
    return p;
}

/** One field as learned in one listing structure. */
struct FieldPlan
{
    int column = 0;
    QByteArray example; // normal form
    Occurrence at;
    std::vector<KeyLearner::FieldChoice> choices; // best first
    bool sameEverywhere = false;                  // the name's markers cut it alone, from every listing
};

} // namespace

// ---- one learning -----------------------------------------------------------------------------

struct KeyLearner::Search
{
    QByteArrayView page;
    const Normal& normal;
    KeyLearner::Example example;
    std::map<int, QByteArray> values; // normal forms by column
    QStringList problems;

    Search(QByteArrayView p, const Normal& n) : page(p), normal(n) {}

    /** The places of @p value, worked out once a learning. */
    const std::vector<Occurrence>& placesOf(const QByteArray& value) const
    {
        auto it = m_places.find(value);
        if (it == m_places.end())
            it = m_places.emplace(value, occurrences(value, 4096)).first;
        return it->second;
    }

    mutable std::map<QByteArray, std::vector<Occurrence>> m_places;

    std::vector<Occurrence> occurrences(QByteArrayView value, int limit) const
    {
        std::vector<Occurrence> out;
        const QByteArray& text = normal.text();
        if (value.isEmpty())
            return out;
        qsizetype at = FindIn(QByteArrayView(text), value, 0);
        while (at >= 0 && int(out.size()) < limit) {
            Occurrence o;
            const qsizetype stop = at + value.size();
            o.begin = normal.rawAt(at);
            o.end = normal.rawAt(stop);
            o.looseBegin = at > 0 && text[at - 1] == ' ' ? normal.rawAt(at - 1) : o.begin;
            o.looseEnd = stop < text.size() && text[stop] == ' ' ? normal.rawAt(stop + 1) : o.end;
            const char before = o.looseBegin > 0 ? page[o.looseBegin - 1] : '>';
            const char after = o.looseEnd < page.size() ? page[o.looseEnd] : '<';
            o.whole = (before == '>' || before == '"' || before == '\'') && (after == '<' || after == '"' || after == '\'');
            o.text = before == '>' && after == '<';
            // A match inside a longer word is no value of its own.
            const bool wordBefore = at > 0 && isWordByte(text[at - 1]) && isWordByte(text[at]);
            const bool wordAfter = stop < text.size() && isWordByte(text[stop]) && isWordByte(text[stop - 1]);
            if (!wordBefore && !wordAfter) {
                o.quality = o.whole ? (o.text ? 0 : 1) : insideTag(o.begin) ? 3 : 2;
                out.push_back(o);
            }
            at = FindIn(QByteArrayView(text), value, at + 1);
        }
        return out;
    }

    /** Whether page offset @p at is inside a tag (in its attributes). */
    bool insideTag(qsizetype at) const
    {
        for (qsizetype i = at - 1; i >= 0 && i >= at - 4096; --i) {
            if (page[i] == '>')
                return false;
            if (page[i] == '<')
                return true;
        }
        return false;
    }

    /** How well an occurrence stands for its value, lower being better: a whole text
     *  between tags, a whole attribute value, part of a text, part of an attribute
     *  value (a web address holding the value among other data). */
    static int quality(const Occurrence& o) { return o.quality; }

    /** What a marker at page[at, at + length) loses for holding words of the page's text
     *  (outside tags): such markers hold another listing's content, not its markup. */
    double contentPenalty(qsizetype at, qsizetype length) const
    {
        // Inside a tag or not, from the nearest '<' or '>' before the marker.
        bool inTag = false;
        for (qsizetype i = at - 1; i >= 0 && i >= at - 4096; --i) {
            if (page[i] == '>')
                break;
            if (page[i] == '<') {
                inTag = true;
                break;
            }
        }
        int letters = 0;
        for (qsizetype i = at; i < at + length; ++i) {
            const char c = page[i];
            if (c == '<')
                inTag = true;
            else if (c == '>')
                inTag = false;
            else if (!inTag && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                ++letters;
        }
        return letters ? 10.0 + letters : 0.0;
    }

    /** Start markers ending at @p p, not reaching before @p from. */
    std::vector<QByteArray> starts(qsizetype p, qsizetype from) const
    {
        std::vector<QByteArray> out;
        const qsizetype longest = std::min(kMaxStartMarker, p - from);
        for (qsizetype len = 1; len <= longest && int(out.size()) < kMaxSideCandidates; ++len) {
            const qsizetype i = p - len;
            const char c = page[i];
            if (isBlank(c))
                continue;
            const bool boundary = i == from || c == '<' || !isWordByte(page[i - 1]) || !isWordByte(c);
            if (!boundary)
                continue;
            out.push_back(page.sliced(i, len).toByteArray());
        }
        return out;
    }

    /** End markers starting at @p q, not reaching past @p to. */
    std::vector<QByteArray> ends(qsizetype q, qsizetype to) const
    {
        std::vector<QByteArray> out;
        const qsizetype longest = std::min(kMaxEndMarker, to - q);
        int tags = 0;
        for (qsizetype len = 1; len <= longest && int(out.size()) < kMaxSideCandidates && tags < 2; ++len) {
            const qsizetype j = q + len;
            const char last = page[j - 1];
            if (last == '>')
                ++tags;
            const bool boundary = j == to || last == '>' || last == '"' || last == '\'' || page[j] == '<'
                               || !isWordByte(last) || !isWordByte(page[j]);
            if (!boundary)
                continue;
            const QByteArrayView m = page.sliced(q, len);
            if (isBlank(m[0]) && m != " ")
                continue;
            // One blank may end a marker (", "); more, or a line break, may not.
            if (len >= 2 && isBlank(m[len - 1]) && (isBlank(m[len - 2]) || m[len - 1] != ' '))
                continue;
            out.push_back(m.toByteArray());
        }
        return out;
    }
};

namespace {

/** The listing structure a key is built in: the listing marker (start and end the same). */
struct Frame
{
    QByteArray listing;
    qsizetype blockBegin = 0; // the example's listing block in the page
    qsizetype blockEnd = 0;
    int blocks = 0;
};

GrabKey baseKey(const Frame& frame)
{
    GrabKey key;
    key.listingStart = frame.listing;
    key.listingEnd = frame.listing;
    key.listingsPerPage = std::max(100, 2 * frame.blocks + 10);
    return key;
}

/** A key that cuts one field after @p before (which only move the block on, as in the
 *  whole key), into the name column so that the parser keeps every listing it cuts. */
GrabKey probeKey(const GrabKey& base, const std::vector<GrabKey::Field>& before, const QByteArray& start,
                 const QByteArray& end)
{
    GrabKey key = base;
    key.fields.clear();
    for (GrabKey::Field f : before) {
        f.column = -1;
        key.fields.push_back(f);
    }
    key.fields.push_back({0, start, end});
    key.lastField = int(key.fields.size()) - 1;
    return key;
}

ParseContext freshSheet()
{
    ParseContext context;
    context.sheetColumns = 10;
    return context;
}

/** The block the listing markers cut around page offset @p at: as the parser cuts it. */
bool blockAround(QByteArrayView page, const QByteArray& marker, qsizetype at, qsizetype& begin, qsizetype& end,
                 int& blocks)
{
    QByteArrayView remaining = page;
    blocks = 0;
    bool found = false;
    while (!remaining.isEmpty() && blocks < kCountCap) {
        const QByteArrayView block = CutListing(remaining, marker, marker);
        if (block.isNull() && remaining.isEmpty())
            break;
        ++blocks;
        const qsizetype b = block.data() - page.data();
        if (!found && b <= at && at < b + block.size()) {
            begin = b;
            end = b + block.size();
            found = true;
        }
    }
    return found;
}

bool startsTag(QByteArrayView page, qsizetype t)
{
    return t + 1 < page.size() && ((page[t + 1] >= 'a' && page[t + 1] <= 'z') || (page[t + 1] >= 'A' && page[t + 1] <= 'Z'));
}

/** The pieces of the tag at @p t that may serve as a listing marker, as ranges of the
 *  page: the tag's start up to the end of its name, up to an attribute's opening
 *  quote, a separator or blank inside the value, or the closing quote; and each
 *  attribute alone from its name to the same places ("data-id=\"", "id=\"lid-").
 *  At most 24 pieces, within 120 bytes, before @p limit. */
void tagPieces(QByteArrayView page, qsizetype t, qsizetype limit, std::vector<std::pair<qsizetype, qsizetype>>& pieces)
{
    pieces.clear();
    limit = std::min({limit, page.size(), t + 120});
    qsizetype j = t + 1;
    while (j < limit && isWordByte(page[j]))
        ++j;
    if (j >= limit)
        return;
    pieces.emplace_back(t, j);
    char quote = 0;
    qsizetype attribute = -1; // where the attribute being read starts
    auto cut = [&](qsizetype end) {
        pieces.emplace_back(t, end);
        if (attribute > t)
            pieces.emplace_back(attribute, end);
    };
    for (qsizetype k = j; k < limit && pieces.size() < 24; ++k) {
        const char c = page[k];
        if (quote) {
            if (c == quote) {
                quote = 0;
                cut(k + 1);
            } else if (!isWordByte(c) && c != '/') {
                cut(c == ' ' ? k : k + 1);
            }
        } else if (c == '>' || c == '<') {
            break;
        } else if ((c == '"' || c == '\'') && page[k - 1] == '=') {
            quote = c;
            cut(k + 1);
        } else if (isBlank(c)) {
            if (isWordByte(page[k - 1]) && k > j)
                pieces.emplace_back(t, k); // after an attribute without a value
            attribute = k + 1;
        }
    }
}

quint64 hashOf(QByteArrayView text)
{
    quint64 h = 1469598103934665603ull;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

} // namespace

/** How often each tag prefix (as tagCuts() cuts them) stands in the page. */
class KeyLearner::TagIndex
{
public:
    explicit TagIndex(QByteArrayView page)
    {
        std::vector<std::pair<qsizetype, qsizetype>> pieces;
        const char* s = page.data();
        qsizetype i = 0;
        while (i < page.size()) {
            const void* lt = std::memchr(s + i, '<', size_t(page.size() - i));
            if (!lt)
                break;
            i = static_cast<const char*>(lt) - s;
            if (startsTag(page, i)) {
                tagPieces(page, i, page.size(), pieces);
                for (const auto& [from, to] : pieces)
                    ++m_counts[hashOf(page.sliced(from, to - from))];
            }
            ++i;
        }
    }

    int count(QByteArrayView prefix) const
    {
        const auto it = m_counts.find(hashOf(prefix));
        return it == m_counts.end() ? 0 : it->second;
    }

private:
    std::unordered_map<quint64, int> m_counts;
};

const KeyLearner::TagIndex& KeyLearner::tagIndex() const
{
    if (!m_tags)
        m_tags = std::make_unique<TagIndex>(m_page);
    return *m_tags;
}

const std::pair<QByteArray, QByteArray>& KeyLearner::nextLinkMarkers() const
{
    if (!m_nextLearned) {
        m_next = learnNextLink();
        m_nextLearned = true;
    }
    return m_next;
}

KeyLearner::KeyLearner(QByteArray page) : m_page(std::move(page)), m_normal(std::make_unique<Normal>(m_page)) {}

KeyLearner::~KeyLearner() = default;

QStringList KeyLearner::fieldTitles()
{
    QStringList titles;
    for (const char* t : kTitles)
        titles.append(QString::fromLatin1(t));
    return titles;
}

int KeyLearner::columnOf(QStringView title)
{
    for (int c = 0; c < kFieldCount; ++c)
        if (title.trimmed().compare(QLatin1String(kTitles[c]), Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

std::vector<std::pair<qsizetype, qsizetype>> KeyLearner::find(const QString& value, int limit) const
{
    Search search(m_page, *m_normal);
    std::vector<std::pair<qsizetype, qsizetype>> out;
    for (const Occurrence& o : search.occurrences(normalValue(value.toUtf8()), limit))
        out.emplace_back(o.begin, o.end);
    return out;
}

namespace {

/** Checks field markers over the whole page with the parser: listings whose cut looks
 *  like the field, the first values, and the values' variety. */
struct PageCheck
{
    int listings = 0;
    /** Listings whose cut does not look like the field ("Show number" for a phone). */
    int wrong = 0;
    int distinct = 0;
    QStringList values;
};

PageCheck checkOverPage(QByteArrayView page, const GrabKey& probe, int column, QByteArrayView example)
{
    PageCheck check;
    const ParsedPage parsed = ParseListings(page, probe, SiteRules::KeyOnly, freshSheet());
    QSet<QByteArray> seen;
    for (int r = 0; r < parsed.rowCount(); ++r) {
        const QByteArrayView v = parsed.cellText(r, 0);
        if (!plausible(column, v, example)) {
            ++check.wrong;
            continue;
        }
        ++check.listings;
        if (seen.size() < 64 && !seen.contains(v.toByteArray()))
            seen.insert(v.toByteArray());
        if (check.values.size() < 5)
            check.values.append(QString::fromUtf8(v));
    }
    check.distinct = int(seen.size());
    return check;
}

/** Whether the probe cuts exactly the example from the example's listing block (with
 *  @p prefix, a cut that begins with it). */
bool cutsExample(QByteArrayView block, const GrabKey& probe, QByteArrayView example, bool prefix = false)
{
    GrabKey whole = probe;
    whole.listingStart.clear();
    whole.listingEnd.clear();
    whole.listingsPerPage = 1;
    const ParsedPage parsed = ParseListings(block, whole, SiteRules::KeyOnly, freshSheet());
    if (parsed.rowCount() != 1)
        return false;
    if (!prefix)
        return normalValue(parsed.cellText(0, 0)) == example;
    const QByteArrayView cut = parsed.cellText(0, 0);
    return normalValue(cut.first(std::min(cut.size(), 4 * example.size() + 64))).startsWith(example);
}

} // namespace

KeyLearner::Result KeyLearner::learn(const Example& example) const
{
    Result result;
    Search search(m_page, *m_normal);
    for (auto it = example.begin(); it != example.end(); ++it) {
        if (it.key() < 0 || it.key() >= kFieldCount)
            continue;
        QByteArray v = normalValue(it.value().toUtf8());
        if (v.size() > kMaxValueBytes) {
            result.problems.append(QObject::tr("the %1 is longer than %2 bytes; it is not looked for")
                                       .arg(word(it.key()))
                                       .arg(kMaxValueBytes));
            continue;
        }
        if (!v.isEmpty())
            search.values[it.key()] = v;
    }
    if (!search.values.count(0)) {
        result.problems.append(QObject::tr("give the name of one listing: the key is learned from it"));
        return result;
    }
    const QByteArray name = search.values[0];
    const QString nameText = QString::fromUtf8(name);

    // The example listing: an occurrence of its name.
    std::vector<Occurrence> anchors = search.occurrences(name, 4096);
    if (anchors.empty()) {
        result.problems.append(QObject::tr("the name \"%1\" is not on the page").arg(nameText));
        return result;
    }
    for (const auto& [column, value] : search.values) {
        if (column != 0 && search.occurrences(value, 1).empty())
            result.problems.append(QObject::tr("the %1 \"%2\" is not on the page")
                                       .arg(word(column), QString::fromUtf8(value)));
    }
    // The name as the page shows it first, then as a whole attribute value, then the rest.
    std::stable_sort(anchors.begin(), anchors.end(), [](const Occurrence& a, const Occurrence& b) {
        return (a.text ? 0 : a.whole ? 1 : 2) < (b.text ? 0 : b.whole ? 1 : 2);
    });
    // A name is a whole text or attribute value of the page; a piece of one ("Sons" of
    // "Smith & Sons") is in many listings and marks none.
    anchors.erase(std::remove_if(anchors.begin(), anchors.end(), [](const Occurrence& o) { return !o.whole; }),
                  anchors.end());
    if (anchors.empty()) {
        result.problems.append(QObject::tr("the name \"%1\" is only part of a text on the page: give the whole "
                                           "name as the page shows it")
                                   .arg(nameText));
        return result;
    }
    const int anchorLimit = m_page.size() > (qsizetype(4) << 20) ? 2 : kMaxAnchors;
    if (int(anchors.size()) > anchorLimit)
        anchors.resize(size_t(anchorLimit));

    struct Structure
    {
        Frame frame;
        Occurrence anchor;
        double quick = 0;
    };
    std::vector<Structure> structures;
    bool repeated = false;

    for (const Occurrence& anchor : anchors) {
        // The name pattern: the longest text before the name that other places of the
        // page share, taken as short as it stays that rare.
        const qsizetype p = anchor.looseBegin;
        std::vector<std::pair<QByteArray, int>> counted;
        {
            // Once a marker is rare enough, the places of a longer one (which ends
            // with it) are among its places: no more passes over the page.
            std::vector<qsizetype> places; // where the last counted marker ends
            bool listed = false;
            for (const QByteArray& s : search.starts(p, std::max<qsizetype>(0, p - kMaxStartMarker))) {
                int n = 0;
                if (listed) {
                    std::vector<qsizetype> kept;
                    for (const qsizetype end : places)
                        if (end >= s.size() && QByteArrayView(m_page).sliced(end - s.size(), s.size()) == s)
                            kept.push_back(end);
                    places.swap(kept);
                    n = int(places.size());
                } else {
                    n = countOf(m_page, s, 20000);
                    if (n < 20000 && n >= 2) {
                        for (const qsizetype at : positionsOf(m_page, s))
                            places.push_back(at + s.size());
                        listed = true;
                    }
                }
                if (n < 2)
                    break;
                // Punctuation alone ("\">") is no pattern: markup has names.
                if (hasLetters(s))
                    counted.emplace_back(s, n);
            }
        }
        if (counted.empty())
            continue;
        repeated = true;
        // Levels of count, as the text before the name grows: markup that stands
        // before every name gives one level over many lengths; the longest markers
        // reach into the listing before (its optional fields) and stand before fewer
        // names. A few levels are tried: the steadiest, the rarest, the first with names.
        struct Level
        {
            int count;
            int lengths = 0;
            QByteArray shortest; // without line breaks, when there is one
        };
        std::vector<Level> levels;
        for (const auto& [s, n] : counted) {
            if (levels.empty() || levels.back().count != n)
                levels.push_back({n});
            Level& l = levels.back();
            ++l.lengths;
            if (l.shortest.isEmpty() || (isFragile(l.shortest) && !isFragile(s)))
                l.shortest = s;
        }
        std::vector<QByteArray> patterns;
        auto take = [&patterns](const Level& l) {
            if (!l.shortest.isEmpty() && std::find(patterns.begin(), patterns.end(), l.shortest) == patterns.end())
                patterns.push_back(l.shortest);
        };
        take(*std::max_element(levels.begin(), levels.end(),
                               [](const Level& x, const Level& y) { return x.lengths < y.lengths; }));
        take(levels.back());
        take(levels.front());

        for (const QByteArray& pattern : patterns) {
            const std::vector<qsizetype> at = positionsOf(m_page, pattern);
            if (at.size() < 2)
                continue;
            std::vector<qsizetype> names;
            names.reserve(at.size());
            for (qsizetype a : at)
                names.push_back(a + pattern.size());
            const auto self = std::find(names.begin(), names.end(), p);
            if (self == names.end())
                continue;
            const size_t i = size_t(self - names.begin());
            const qsizetype prev = i > 0 ? names[i - 1] : std::max<qsizetype>(0, p - 65536);
            const qsizetype next = i + 1 < names.size() ? names[i + 1] - pattern.size() : m_page.size();

            // Where the other fields of this listing stand: after the name, where a
            // listing has its body, the nearest; else before it, in the listing's head
            // (the rest of the gap from the name before is that listing's own).
            qsizetype first = p - pattern.size();
            const qsizetype head = p - (p - prev) / 3;
            int inListing = 1;
            for (const auto& [column, value] : search.values) {
                if (column == 0)
                    continue;
                qsizetype after = -1, before = -1;
                for (const Occurrence& o : search.placesOf(value)) {
                    if (o.looseEnd > next || (o.begin < anchor.end && o.end > anchor.begin))
                        continue;
                    if (o.begin >= anchor.end) {
                        if (after < 0 || o.looseBegin < after)
                            after = o.looseBegin;
                    } else if (o.looseBegin > head) {
                        before = std::max(before, o.looseBegin);
                    }
                }
                if (after >= 0 || before >= 0) {
                    ++inListing;
                    if (after < 0)
                        first = std::min(first, before);
                }
            }

            // Listing markers: tags before the listing's first field that stand once
            // between any two names; the name pattern itself when nothing comes first.
            std::vector<std::pair<QByteArray, qsizetype>> tags; // marker, its place here
            if (first == p - pattern.size() && !isFragile(pattern))
                tags.emplace_back(pattern, first);
            int seenTags = 0;
            std::vector<std::pair<qsizetype, qsizetype>> pieces;
            for (qsizetype t = first - 1; t > prev && seenTags < kMaxListingTags; --t) {
                if (m_page[t] != '<' || !startsTag(m_page, t))
                    continue;
                ++seenTags;
                tagPieces(m_page, t, first, pieces);
                for (const auto& [from, to] : pieces) {
                    const QByteArrayView m = QByteArrayView(m_page).sliced(from, to - from);
                    const int n = tagIndex().count(m);
                    if (n * 5 >= int(names.size()) * 4 && n <= int(names.size()) + 1 + int(names.size()) / 20
                        && !isFragile(m))
                        tags.emplace_back(m.toByteArray(), from);
                }
            }
            std::vector<std::tuple<double, QByteArray, QByteArray>> ranked; // distance, marker, which gaps
            QSet<QByteArray> tried;
            // The nearest first; enough of them to find a few that cut listings apart.
            std::stable_sort(tags.begin(), tags.end(),
                             [](const auto& a, const auto& b) { return a.second > b.second; });
            int examined = 0;
            for (const auto& [m, place] : tags) {
                if (tried.contains(m))
                    continue;
                tried.insert(m);
                if (++examined > 48)
                    break;
                const std::vector<qsizetype> xs = positionsOf(m_page, m, int(4 * names.size() + 64));
                if (xs.size() < 2 || xs.size() >= size_t(4 * names.size() + 64))
                    continue;
                // Gaps between names with exactly one listing marker.
                int good = 0;
                size_t k = 0;
                QByteArray gaps(qsizetype(names.size()) + 1, '0');
                for (size_t g = 0; g < names.size(); ++g) {
                    const qsizetype low = g == 0 ? -1 : names[g - 1];
                    int inGap = 0;
                    while (k < xs.size() && xs[k] < names[g]) {
                        inGap += xs[k] > low;
                        ++k;
                    }
                    good += g == 0 ? inGap >= 1 : inGap == 1;
                    gaps[qsizetype(g)] = char('0' + std::min(inGap, 9));
                }
                gaps[qsizetype(names.size())] = char('0' + std::min<int>(int(xs.size() - k), 9));
                if (good * 5 < int(names.size()) * 4)
                    continue;
                // More listing blocks than names: the marker also stands elsewhere (a heading, an ad).
                if (xs.size() > names.size() + 1 + names.size() / 20)
                    continue;
                const double distance = double(first - place);
                ranked.emplace_back(distance, m, gaps);
            }
            std::sort(ranked.begin(), ranked.end(),
                      [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
            // Markers that stand in the same gaps cut the same listings: the nearest of each.
            QSet<QByteArray> signatures;
            int kept = 0;
            for (size_t r = 0; r < ranked.size() && kept < 3; ++r) {
                if (signatures.contains(std::get<2>(ranked[r])))
                    continue;
                signatures.insert(std::get<2>(ranked[r]));
                ++kept;
                Structure s;
                s.anchor = anchor;
                s.frame.listing = std::get<1>(ranked[r]);
                if (!blockAround(m_page, s.frame.listing, p, s.frame.blockBegin, s.frame.blockEnd, s.frame.blocks))
                    continue;
                s.quick = inListing * 1000.0 - 10.0 * kept - std::abs(double(s.frame.blocks) - double(names.size()));
                structures.push_back(std::move(s));
            }
        }
    }

    if (!repeated) {
        result.problems.append(QObject::tr("the markup around the name \"%1\" occurs only once on the page: no "
                                           "other listing looks like it")
                                   .arg(nameText));
        return result;
    }
    if (structures.empty()) {
        result.problems.append(QObject::tr("no markup stands once before each listing like the one of \"%1\": the "
                                           "listings cannot be told apart")
                                   .arg(nameText));
        return result;
    }
    std::stable_sort(structures.begin(), structures.end(),
                     [](const Structure& a, const Structure& b) { return a.quick > b.quick; });
    // Drop structures that repeat one already kept.
    {
        std::vector<Structure> kept;
        QSet<QByteArray> seen;
        for (Structure& s : structures) {
            const QByteArray id = s.frame.listing + '\x01' + QByteArray::number(s.anchor.begin);
            if (seen.contains(id))
                continue;
            seen.insert(id);
            kept.push_back(std::move(s));
        }
        structures = std::move(kept);
    }
    // The best few, no more than two from one occurrence of the name.
    {
        std::vector<Structure> kept;
        std::map<qsizetype, int> perAnchor;
        for (Structure& s : structures)
            if (kept.size() < 5 && ++perAnchor[s.anchor.begin] <= 3)
                kept.push_back(std::move(s));
        structures = std::move(kept);
    }

    struct Built
    {
        Proposal proposal;
        QMap<int, std::vector<FieldChoice>> fields;
        QStringList problems;
        double score = 0;
    };
    std::vector<Built> built;

    for (const Structure& s : structures) {
        Built b;
        const Frame& frame = s.frame;
        const GrabKey base = baseKey(frame);
        const QByteArrayView block = QByteArrayView(m_page).sliced(frame.blockBegin, frame.blockEnd - frame.blockBegin);

        // The fields in the order they stand in the listing, each with the markers
        // around its value that cut it here after the fields before it (their end
        // markers move the block on), the best of them checked over the whole page.
        std::vector<FieldPlan> plans;
        std::map<int, std::vector<Occurrence>> places;
        for (const auto& [column, value] : search.values) {
            std::vector<Occurrence> inBlock;
            if (column == 0) {
                inBlock.push_back(s.anchor);
            } else {
                // Not inside the name (a state in "Tacoma Plumbing (NTH QLD)").
                for (const Occurrence& o : search.placesOf(value))
                    if (o.begin >= frame.blockBegin && o.end <= frame.blockEnd
                        && (o.end <= s.anchor.begin || o.begin >= s.anchor.end))
                        inBlock.push_back(o);
                // Nearest the name, after it first (where a listing has its body).
                std::sort(inBlock.begin(), inBlock.end(), [&](const Occurrence& x, const Occurrence& y) {
                    const bool ax = x.begin >= s.anchor.end, ay = y.begin >= s.anchor.end;
                    if (ax != ay)
                        return ax;
                    return std::abs(x.begin - s.anchor.begin) < std::abs(y.begin - s.anchor.begin);
                });
                if (inBlock.size() > 4)
                    inBlock.resize(4);
            }
            if (inBlock.empty()) {
                b.problems.append(QObject::tr("the %1 \"%2\" is not in the listing of \"%3\"")
                                      .arg(word(column), QString::fromUtf8(value), nameText));
                continue;
            }
            FieldPlan plan;
            plan.column = column;
            plan.example = value;
            plan.at = inBlock.front();
            places[column] = std::move(inBlock);
            plans.push_back(std::move(plan));
        }
        std::stable_sort(plans.begin(), plans.end(),
                         [](const FieldPlan& x, const FieldPlan& y) { return x.at.begin < y.at.begin; });

        std::vector<GrabKey::Field> chosen;
        bool nameLearned = false;
        for (FieldPlan& plan : plans) {
            QSet<QByteArray> pairs;
            std::vector<Candidate> passed;
            for (const Occurrence& o : places[plan.column]) {
                // The listing up to a little past the value: what the markers of this
                // field and of those before it that cut it here can reach.
                const QByteArrayView near = QByteArrayView(m_page).sliced(
                    frame.blockBegin, std::min(frame.blockEnd, o.looseEnd + 2 * kMaxEndMarker) - frame.blockBegin);
                // Start markers whose first place in the block (after the fields before)
                // is right before the value: cut up to the text that follows the value
                // here, they give the value.
                const QByteArray follows =
                    m_page.sliced(o.looseEnd, std::min<qsizetype>(48, frame.blockEnd - o.looseEnd));
                std::vector<std::pair<QByteArray, double>> starts;
                QSet<QByteArray> startsSeen;
                auto tryStart = [&](QByteArray st, double content) {
                    if (startsSeen.contains(st))
                        return;
                    startsSeen.insert(st);
                    if (cutsExample(near, probeKey(base, chosen, st, follows), plan.example, follows.isEmpty()))
                        starts.emplace_back(std::move(st), content);
                };
                tryStart(QByteArray(), 0.0);
                for (qsizetype p : {o.looseBegin, o.begin}) {
                    for (QByteArray& st : search.starts(p, frame.blockBegin)) {
                        const double content = search.contentPenalty(p - st.size(), st.size());
                        tryStart(std::move(st), content);
                    }
                    if (o.looseBegin == o.begin)
                        break;
                }
                if (starts.empty())
                    continue;
                // End markers that end the value after the best placed start markers
                // (one ending before the blank in front of the value, one after it).
                std::vector<QByteArray> bestStarts;
                for (const bool loose : {true, false}) {
                    const std::pair<QByteArray, double>* best = nullptr;
                    for (const auto& st : starts) {
                        const bool ends = st.first.isEmpty() || o.looseBegin == o.begin
                                       || (loose ? !isBlank(st.first.back()) : isBlank(st.first.back()));
                        if (ends && (!best || priorOf(st.first, "\"") + st.second < priorOf(best->first, "\"") + best->second))
                            best = &st;
                    }
                    if (best && std::find(bestStarts.begin(), bestStarts.end(), best->first) == bestStarts.end())
                        bestStarts.push_back(best->first);
                }
                std::vector<std::pair<QByteArray, double>> ends;
                for (qsizetype q : {o.looseEnd, o.end}) {
                    for (QByteArray& e : search.ends(q, frame.blockEnd)) {
                        bool ok = false;
                        for (const QByteArray& st : bestStarts)
                            ok = ok || cutsExample(near, probeKey(base, chosen, st, e), plan.example);
                        if (!ok)
                            continue;
                        const double content = search.contentPenalty(q, e.size());
                        ends.emplace_back(std::move(e), content);
                    }
                    if (o.looseEnd == o.end)
                        break;
                }
                // Every pair; a pair is checked on the listing when it is to be checked
                // over the page.
                for (const auto& [st, sc] : starts) {
                    for (const auto& [e, ec] : ends) {
                        const QByteArray id = st + '\x01' + e;
                        if (pairs.contains(id))
                            continue;
                        pairs.insert(id);
                        passed.push_back({st, e, priorOf(st, e) + sc + ec + kOccurrencePenalty[search.quality(o)]});
                    }
                }
            }
            std::stable_sort(passed.begin(), passed.end(),
                             [](const Candidate& x, const Candidate& y) { return x.prior < y.prior; });
            // One pair a start marker first (the ends seldom differ over the page), in order.
            std::vector<const Candidate*> toCheck;
            {
                QSet<QByteArray> startsSeen;
                for (const Candidate& c : passed)
                    if (!startsSeen.contains(c.start) && int(toCheck.size()) < kMaxPageChecks
                        && cutsExample(block, probeKey(base, chosen, c.start, c.end), plan.example)) {
                        startsSeen.insert(c.start);
                        toCheck.push_back(&c);
                    }
            }
            for (const Candidate* cp : toCheck) {
                const Candidate& c = *cp;
                const PageCheck check = checkOverPage(m_page, probeKey(base, chosen, c.start, c.end), plan.column,
                                                      plan.example);
                if (plan.column == 0 && check.distinct < 2) {
                    if (check.listings >= 2)
                        plan.sameEverywhere = true;
                    continue;
                }
                FieldChoice choice;
                choice.field = {plan.column, c.start, c.end};
                choice.listings = check.listings;
                choice.wrong = check.wrong;
                choice.values = check.values;
                choice.fragile = isFragile(c.start) || isFragile(c.end);
                choice.prior = c.prior;
                plan.choices.push_back(std::move(choice));
                if (check.listings >= frame.blocks && check.wrong == 0 && !plan.choices.back().fragile)
                    break;
            }
            auto rank = [&plan] {
                // Most listings first; among equals the better placed, as checked.
                std::stable_sort(plan.choices.begin(), plan.choices.end(),
                                 [](const FieldChoice& x, const FieldChoice& y) {
                                     if (x.fragile != y.fragile)
                                         return !x.fragile;
                                     return x.listings - x.wrong > y.listings - y.wrong;
                                 });
            };
            rank();
            if (!plan.choices.empty() && plan.choices.front().wrong > 0) {
                // The start marker also cuts values that are none ("Show number" where
                // a phone stands): the shortest longer form of it that cuts none.
                const GrabKey::Field bestField = plan.choices.front().field;
                std::vector<const Candidate*> longer;
                for (const Candidate& c : passed)
                    if (c.end == bestField.end && c.start.size() > bestField.start.size()
                        && c.start.endsWith(bestField.start)
                        && cutsExample(block, probeKey(base, chosen, c.start, c.end), plan.example))
                        longer.push_back(&c);
                std::sort(longer.begin(), longer.end(),
                          [](const Candidate* x, const Candidate* y) { return x->start.size() < y->start.size(); });
                int low = 0, high = int(longer.size()) - 1;
                while (low <= high) {
                    const int mid = (low + high) / 2;
                    const Candidate& c = *longer[size_t(mid)];
                    const PageCheck check = checkOverPage(m_page, probeKey(base, chosen, c.start, c.end), plan.column,
                                                          plan.example);
                    FieldChoice choice;
                    choice.field = {plan.column, c.start, c.end};
                    choice.listings = check.listings;
                    choice.wrong = check.wrong;
                    choice.values = check.values;
                    choice.fragile = isFragile(c.start) || isFragile(c.end);
                    choice.prior = c.prior;
                    plan.choices.push_back(std::move(choice));
                    if (check.wrong == 0)
                        high = mid - 1;
                    else
                        low = mid + 1;
                }
                rank();
            }
            if (plan.choices.empty() || plan.choices.front().listings < 2) {
                if (plan.column == 0)
                    b.problems.append(plan.sameEverywhere
                                          ? QObject::tr("the name \"%1\" is the same in every listing: give the name "
                                                        "of one listing")
                                                .arg(nameText)
                                          : QObject::tr("no two listings share a pattern around the name \"%1\"")
                                                .arg(nameText));
                else
                    b.problems.append(QObject::tr("no two listings share a pattern around the %1").arg(word(plan.column)));
                continue;
            }
            nameLearned = nameLearned || plan.column == 0;
            chosen.push_back(plan.choices.front().field);
            // Markers that hold to the markup make a key that lasts: a little of the score.
            b.score -= 0.5 * std::min(plan.choices.front().prior, 20.0);
        }
        if (!nameLearned) {
            built.push_back(std::move(b));
            continue;
        }

        GrabKey key = base;
        key.fields = chosen;
        key.lastField = int(chosen.size()) - 1;
        key.nextStart = nextLinkMarkers().first;
        key.nextEnd = nextLinkMarkers().second;
        b.proposal.key = key;
        b.proposal.blocks = frame.blocks;
        b.proposal.preview = PreviewKey(m_page, key);
        b.proposal.note = QObject::tr("learned from the listing \"%1\"").arg(nameText);
        for (const FieldPlan& plan : plans)
            if (!plan.choices.empty())
                b.fields[plan.column] = plan.choices;

        // The example listing must come out whole; the score is what the key cuts.
        const ParsedPage& rows = b.proposal.preview.rows;
        bool exampleRow = false;
        for (int r = 0; r < rows.rowCount() && !exampleRow; ++r) {
            if (normalValue(rows.cellText(r, 0)) != name)
                continue;
            exampleRow = true;
            for (const GrabKey::Field& f : chosen)
                if (f.column != 3 && normalValue(rows.cellText(r, f.column)) != search.values[f.column])
                    exampleRow = false;
        }
        // Rows that have a name and none of the other fields (the state aside, which
        // the row above gives) are no listings: a heading, a link cut as a name.
        int others = 0;
        for (const GrabKey::Field& f : chosen)
            others += f.column != 0 && f.column != 3;
        for (int r = 0; r < rows.rowCount(); ++r) {
            int good = 0;
            for (const GrabKey::Field& f : chosen) {
                const bool ok = plausible(f.column, rows.cellText(r, f.column), search.values[f.column]);
                b.score += ok ? (f.column == 0 ? 2.0 : 1.0) : 0.0;
                good += ok && f.column != 0 && f.column != 3;
            }
            if (others > 0 && good == 0)
                b.score -= 3.0 + others;
        }
        for (const GrabKey::Field& f : chosen)
            if (isFragile(f.start) || isFragile(f.end))
                b.score -= 0.5;
        // Among keys that cut as much, one whose listing marker is a tag or an attribute.
        b.score -= frame.listing.startsWith('<') ? 0.0 : namesAttribute(frame.listing) ? 0.25 : 0.5;
        if (!exampleRow)
            b.score -= 1e6;
        built.push_back(std::move(b));
    }

    std::stable_sort(built.begin(), built.end(), [](const Built& x, const Built& y) {
        const bool xOk = !x.proposal.key.fields.empty();
        const bool yOk = !y.proposal.key.fields.empty();
        if (xOk != yOk)
            return xOk;
        return x.score > y.score;
    });
    QSet<QByteArray> keys;
    for (Built& b : built) {
        if (b.proposal.key.fields.empty())
            continue;
        QByteArray id = b.proposal.key.listingStart;
        for (const GrabKey::Field& f : b.proposal.key.fields)
            id += '\x01' + QByteArray::number(f.column) + '\x02' + f.start + '\x03' + f.end;
        if (keys.contains(id))
            continue;
        keys.insert(id);
        if (result.proposals.empty()) {
            result.fields = b.fields;
            result.problems += b.problems;
        }
        result.proposals.push_back(std::move(b.proposal));
    }
    if (result.proposals.empty() && !built.empty())
        result.problems += built.front().problems;
    result.problems.removeDuplicates();
    return result;
}

KeyLearner::Result KeyLearner::learnStructured() const
{
    Result result;
    const StructuredData::Reading reading = StructuredData::Read(m_page);
    result.problems = reading.problems;
    if (reading.listings.empty()) {
        result.problems.append(QObject::tr("the page describes no listings as schema.org items (LocalBusiness, "
                                           "Organization or Person) in JSON-LD, microdata or RDFa"));
        return result;
    }
    Proposal proposal;
    GrabKey& key = proposal.key;
    key.kind = KeyKind::StructuredData;
    key.listingsPerPage = std::max(100, 2 * int(reading.listings.size()) + 10);
    key.lastField = -1;
    if (reading.nextLink.isEmpty()) {
        key.nextStart = nextLinkMarkers().first;
        key.nextEnd = nextLinkMarkers().second;
    }
    proposal.blocks = int(reading.listings.size());
    proposal.preview = PreviewKey(m_page, key);
    proposal.note = QObject::tr("%1 listings read from the page's %2")
                        .arg(reading.listings.size())
                        .arg(StructuredData::SourceName(reading.source));
    result.proposals.push_back(std::move(proposal));
    return result;
}

namespace {

char lowerByte(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameCaseless(QByteArrayView a, const char* b)
{
    const qsizetype n = qsizetype(std::strlen(b));
    if (a.size() != n)
        return false;
    for (qsizetype i = 0; i < n; ++i)
        if (lowerByte(a[i]) != b[i])
            return false;
    return true;
}

/** A link tag (a, link, area) as the next-link search reads it: its attributes, each
 *  value with its place in the page. */
struct LinkTag
{
    struct Attribute
    {
        QByteArrayView name;
        qsizetype at = 0;
        qsizetype length = 0;
    };
    bool anchor = false;
    qsizetype end = 0; // one past its '>'
    std::vector<Attribute> attributes;

    const Attribute* find(const char* name) const
    {
        for (const Attribute& a : attributes)
            if (sameCaseless(a.name, name))
                return &a;
        return nullptr;
    }
};

/** Reads the tag at @p t (page[t] == '<') when it is a link tag. */
bool readLinkTag(QByteArrayView page, qsizetype t, LinkTag& tag)
{
    const qsizetype n = page.size();
    qsizetype i = t + 1;
    qsizetype j = i;
    while (j < n && isWordByte(page[j]))
        ++j;
    const QByteArrayView name = page.sliced(i, j - i);
    tag.anchor = sameCaseless(name, "a");
    if (!tag.anchor && !sameCaseless(name, "link") && !sameCaseless(name, "area"))
        return false;
    tag.attributes.clear();
    i = j;
    while (i < n && tag.attributes.size() < 32) {
        while (i < n && (isBlank(page[i]) || page[i] == '/'))
            ++i;
        if (i >= n || page[i] == '>')
            break;
        j = i;
        while (j < n && !isBlank(page[j]) && page[j] != '=' && page[j] != '>' && page[j] != '/')
            ++j;
        LinkTag::Attribute a;
        a.name = page.sliced(i, j - i);
        i = j;
        if (i < n && page[i] == '=') {
            ++i;
            if (i < n && (page[i] == '"' || page[i] == '\'')) {
                const char quote = page[i];
                const qsizetype close = page.indexOf(quote, i + 1);
                if (close < 0)
                    return false;
                a.at = i + 1;
                a.length = close - i - 1;
                i = close + 1;
            } else {
                j = i;
                while (j < n && !isBlank(page[j]) && page[j] != '>')
                    ++j;
                a.at = i;
                a.length = j - i;
                i = j;
            }
        } else {
            a.at = i;
        }
        if (a.name.isEmpty())
            ++i;
        else
            tag.attributes.push_back(a);
    }
    tag.end = i < n ? i + 1 : n;
    return true;
}

/** The text of the link that starts at @p from: tags left out, blanks collapsed,
 *  lower case; at most 40 bytes. */
QByteArray linkText(QByteArrayView page, qsizetype from)
{
    QByteArray text;
    bool inTag = false;
    for (qsizetype i = from; i < page.size() && i < from + 400 && text.size() <= 40; ++i) {
        const char c = page[i];
        if (c == '<') {
            if (i + 3 < page.size() && page[i + 1] == '/' && lowerByte(page[i + 2]) == 'a'
                && (page[i + 3] == '>' || isBlank(page[i + 3])))
                break;
            inTag = true;
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            if (isBlank(c)) {
                if (!text.isEmpty() && text.back() != ' ')
                    text.append(' ');
            } else {
                text.append(lowerByte(c));
            }
        }
    }
    while (text.endsWith(' '))
        text.chop(1);
    return HtmlText::decoded(QByteArrayView(text));
}

} // namespace

std::pair<QByteArray, QByteArray> KeyLearner::learnNextLink() const
{
    // Links to the next page: rel="next" first, then links named "Next", then links
    // whose class says so. The page's tags are read for it as they stand, without
    // building its document tree: each candidate is proved by the parser anyway.
    static const char* const names[] = {"next", "next page", "next \xc2\xbb", "next \xe2\x80\xba", "\xc2\xbb",
                                        "\xe2\x80\xba", "next >", "next >>", ">", ">>"};
    const QByteArrayView page(m_page);
    std::vector<std::pair<int, std::pair<qsizetype, qsizetype>>> links; // rank, href's place
    LinkTag tag;
    qsizetype i = 0;
    while (i < page.size() && links.size() < 64) {
        const void* lt = std::memchr(page.data() + i, '<', size_t(page.size() - i));
        if (!lt)
            break;
        i = static_cast<const char*>(lt) - page.data();
        if (!startsTag(page, i) || !readLinkTag(page, i, tag)) {
            ++i;
            continue;
        }
        i = tag.end;
        const LinkTag::Attribute* href = tag.find("href");
        if (!href || href->length == 0)
            continue;
        const auto place = std::make_pair(href->at, href->length);
        if (const LinkTag::Attribute* rel = tag.find("rel");
            rel && HtmlDocument::hasToken(page.sliced(rel->at, rel->length), "next")) {
            links.push_back({0, place});
            continue;
        }
        if (!tag.anchor)
            continue;
        QByteArray label = linkText(page, tag.end);
        if (label.isEmpty())
            for (const char* attribute : {"aria-label", "title"})
                if (const LinkTag::Attribute* a = tag.find(attribute); a && label.isEmpty())
                    label = page.sliced(a->at, a->length).toByteArray().trimmed().toLower();
        bool named = false;
        for (const char* n : names)
            named = named || label == n;
        if (named)
            links.push_back({1, place});
        else if (const LinkTag::Attribute* c = tag.find("class");
                 c && HtmlDocument::hasToken(page.sliced(c->at, c->length), "next"))
            links.push_back({2, place});
    }
    std::stable_sort(links.begin(), links.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t k = 0; k < links.size() && k < 10; ++k) {
        const auto [offset, length] = links[k].second;
        const QByteArrayView raw = page.sliced(offset, length);
        const qsizetype after = offset + length;
        if (after >= page.size())
            continue;
        const QByteArray end(1, page[after]);
        QByteArray fallback;
        const qsizetype from = std::max<qsizetype>(0, offset - kMaxStartMarker);
        for (qsizetype len = 1; len <= offset - from; ++len) {
            const qsizetype s = offset - len;
            if (s > 0 && isWordByte(page[s - 1]) && isWordByte(page[s]))
                continue;
            GrabKey key;
            key.nextStart = page.sliced(s, len).toByteArray();
            key.nextEnd = end;
            if (NextLink(page, key) != raw)
                continue;
            if (!isFragile(key.nextStart))
                return {key.nextStart, key.nextEnd};
            if (fallback.isEmpty())
                fallback = key.nextStart;
        }
        if (!fallback.isEmpty())
            return {fallback, end};
    }
    return {};
}

} // namespace quillon
