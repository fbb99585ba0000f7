#pragma once

#include "grab/ListingParser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <array>
#include <vector>

namespace quillon {

class HtmlDocument;

/**
 * The listings a page describes as schema.org items, the second kind of key: no
 * markers, the page says itself what is a name, an address or a phone number.
 *
 * Items of the types LocalBusiness (and its many subtypes), Organization and Person,
 * and any other item with a name and an address or a telephone, are listings;
 * items inside a listing (its founder, its parent organisation) are not listings
 * of their own. They are read from JSON-LD (script elements of type
 * "application/ld+json": an object, an array or an @graph, lists as ItemList),
 * from microdata (itemscope, itemtype, itemprop, itemref) and from RDFa Lite
 * (vocab, typeof, property). When a page describes its listings in more than one
 * of these ways, the way that gives the most listings is read.
 *
 * Each listing fills the sheet's default columns: name, address (streetAddress,
 * addressLocality, addressRegion, postalCode; an address given as one text goes to
 * the street), telephone (the first), url and email.
 *
 * Everything is bounded: the page's size and nesting (HtmlDocument), a JSON-LD
 * block's size and depth, the items and properties visited.
 */
namespace StructuredData {

/** The sheet columns a listing fills, in this order. */
enum Column { Name, Street, City, State, Zip, Phone, WebSite, Email, ColumnCount };

struct Listing
{
    std::array<QByteArray, ColumnCount> values;
    /** The item's type as the page names it ("Plumber", "LocalBusiness"). */
    QByteArray type;
};

/** Where listings were found. */
enum class Source { None, JsonLd, Microdata, Rdfa };

struct Reading
{
    std::vector<Listing> listings;
    Source source = Source::None;
    /** Listings each way gave (JSON-LD, microdata, RDFa), before one way was chosen. */
    std::array<int, 3> found{};
    /** The page's rel="next" link (a link, a or area element) as it stands in the
     *  page, quotes removed; empty when it has none. */
    QByteArray nextLink;
    /** What could not be read, in words ("a JSON-LD block is not valid JSON: ..."). */
    QStringList problems;
};

static constexpr qsizetype kMaxJsonBlockBytes = qsizetype(4) << 20;
static constexpr int kMaxDepth = 64;
static constexpr int kMaxListings = 100000;
/** Property elements visited for all microdata and RDFa items of a page. */
static constexpr qint64 kMaxVisits = 4'000'000;

/** Reads the page (UTF-8). */
Reading Read(QByteArrayView page);
/** The same on a document already read. */
Reading Read(const HtmlDocument& document);

/** Whether a schema.org type name (without its vocabulary) is a listing's type. */
bool IsListingType(QByteArrayView type);

/** Names the source in words: "JSON-LD", "microdata", "RDFa". */
QString SourceName(Source source);

} // namespace StructuredData

/**
 * The listing loop of a structured-data key over one page: the page's listings in
 * order, at most N of them, with the listing loop's rules (a listing without a
 * name is dropped, one without a state takes the state of the record above, a stop
 * request ends the page after its first kept listing); values are trimmed and
 * their character references decoded.
 */
ParsedPage ParseStructuredListings(const StructuredData::Reading& reading, const GrabKey& key,
                                   const ParseContext& context);

} // namespace quillon
