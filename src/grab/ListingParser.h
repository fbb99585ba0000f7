#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace quillon {

class KeyTable;

/** What a key reads: markers cut from the page text (the listing parser), or the
 *  schema.org items the page describes (StructuredData). Cell 2,2 of the key table
 *  says "schema.org" for the second; anything else is a marker key. */
enum class KeyKind { Markers, StructuredData };

/** Which rules a site follows beyond its key: built-in sites A and B have a few of
 *  their own (recognised by their display names). */
enum class SiteRules { KeyOnly, BuiltInA, BuiltInB };

/**
 * The cells of a decoding key that grabbing and the address box read, taken from
 * the key table once. Markers are kept as UTF-8, the parser's text.
 *
 * | cell       | meaning                                                        |
 * |------------|----------------------------------------------------------------|
 * | 1,2        | N, listings to look for on one page                            |
 * | 1,6        | F, index of the last field definition                          |
 * | 5,2 / 5,5  | listing start / end marker                                     |
 * | 6+j,1      | field j: sheet column                                          |
 * | 6+j,2/6+j,5| field j: start / end marker                                    |
 * | 15,2 / 16,2| next-link start / end marker (B: also the next page's prefix)  |
 * | 2,2        | the kind: "schema.org" for a structured-data key, else markers  |
 * | 3,2        | the page text: "browser" for the document the built-in browser |
 * |            | shows, else the page as downloaded                             |
 * | 1,4        | listing-page marker in the address; the category follows it    |
 * | 1,8        | non-zero: read the listing count from the page                 |
 * | 18,2 / 18,3| listing count start / end marker (first choice)                |
 * | 14,2 / 14,3| listing count start / end marker (second choice)               |
 * | 19,2 / 20,2| markers in the address before the city / the state             |
 */
struct GrabKey
{
    struct Field
    {
        int column = 0;
        QByteArray start;
        QByteArray end;
    };

    KeyKind kind = KeyKind::Markers;
    /** The page text is the document the built-in browser shows after its load, not
     *  the page as downloaded. */
    bool fromBrowser = false;
    int listingsPerPage = 0;
    int lastField = -1;
    QByteArray listingStart;
    QByteArray listingEnd;
    std::vector<Field> fields;
    QByteArray nextStart;
    QByteArray nextEnd;

    QString listingPageMarker;
    bool readCount = false;
    QString countStart;
    QString countEnd;
    QString countStart2;
    QString countEnd2;
    QString cityMarker;
    QString stateMarker;

    /** The most field definitions a key may have; a larger F is cut to this. */
    static constexpr int kMaxFields = 1000;

    /** The most field definitions that stay clear of the next-link rows 15 and 16. */
    static constexpr int kFieldsBeforeNextLink = 9;

    static GrabKey fromTable(const KeyTable& table);
    /** Writes the key into @p table in the layout fromTable() reads, with labels in
     *  column 0 and @p note (what the key was made from) in cell 0,0. */
    void toTable(KeyTable& table, const QString& note) const;
};

/** Sheet columns the parser relies on. */
inline constexpr int kNameColumn = 0;
inline constexpr int kStateColumn = 3;

/**
 * The records cut from one listing page, before they are appended to the sheet.
 * Values live in one arena; each row is a run of cells (column, place in the arena).
 */
struct ParsedPage
{
    struct Cell
    {
        int column;
        qsizetype offset;
        qsizetype length;
    };

    QByteArray values;
    std::vector<Cell> cells;
    /** rowEnds[i] is one past the last cell of row i. */
    std::vector<size_t> rowEnds;
    /** The page was ended by the stop request after its first kept listing. */
    bool stopped = false;

    int rowCount() const { return int(rowEnds.size()); }
    size_t rowBegin(int row) const { return row == 0 ? 0 : rowEnds[size_t(row) - 1]; }
    QByteArrayView value(const Cell& cell) const
    {
        return QByteArrayView(values.constData() + cell.offset, cell.length);
    }
    /** The text of @p column in @p row; empty when the row has none. */
    QByteArrayView cellText(int row, int column) const;
};

/** What the parser needs to know of the sheet it appends to. */
struct ParseContext
{
    /** Columns of the sheet; values for other columns are dropped. */
    int sheetColumns = 10;
    /** The sheet's last row is a record: its state is carried into a first listing
     *  that has none. */
    bool hasRecordAbove = false;
    QByteArray stateAbove;
    /** A stop request is present: the page ends after its first kept listing. */
    bool stopRequested = false;
};

/**
 * Where the listing loop found things on a page, for a key workshop to show them:
 * byte ranges of the page. A range the parser cut from a text of its own (built-in
 * site A's listing after "</div>") has no place in the page and is left out.
 */
struct ParseTrace
{
    struct Range
    {
        qsizetype offset = -1;
        qsizetype length = 0;
        bool isValid() const { return offset >= 0; }
    };
    struct Part
    {
        /** The field definition j; -1 for the listing's own markers. */
        int field = -1;
        Range range;
    };
    struct Listing
    {
        Range block;
        /** The row of ParsedPage this listing became; -1 when it was dropped. */
        int row = -1;
        /** The markers found: the listing's start and end, each field's start and end. */
        std::vector<Part> markers;
        /** The values cut, by field definition. */
        std::vector<Part> values;
    };
    /** The listings cut, in order; passes that cut nothing are left out. */
    std::vector<Listing> listings;
};

/**
 * The listing loop over one page: N passes, each cutting the next listing and its
 * fields by the key. A listing without a name is dropped; one without a state
 * takes the state of the record above it. Every value is written with its
 * character references decoded and its surrounding white space trimmed.
 *
 * The page is read through views only: the cost is linear in the page.
 */
ParsedPage ParseListings(QByteArrayView page, const GrabKey& key, SiteRules rules, const ParseContext& context,
                         ParseTrace* trace = nullptr);

/** The listing cut for one pass; @p remaining moves on past this listing's own end
 *  marker (past its start marker when the key has no end marker, and onto the next
 *  listing's start when both markers are the same). */
QByteArrayView CutListing(QByteArrayView& remaining, QByteArrayView start, QByteArrayView end);

/** The next-page link as cut from the page, before it is decoded or completed;
 *  empty when the page has none or the key names no next-link markers. */
QByteArrayView NextLink(QByteArrayView page, const GrabKey& key);

} // namespace quillon
