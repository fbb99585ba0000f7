#pragma once

#include "grab/ListingParser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <vector>

namespace quillon {

/**
 * A listing page read by its key, whatever the key's kind: the rows it gives and
 * its next-page link. A marker key goes to the listing parser; a structured-data
 * key to the page's schema.org items, its next page from the key's next-link
 * markers when it has them, else from the page's rel="next" link.
 *
 * The reading of the last page given is kept (per thread), so that asking a
 * page's next link and then its rows reads its document tree once.
 */
ParsedPage ParsePage(const QByteArray& page, const GrabKey& key, SiteRules rules, const ParseContext& context);

/** The next-page link as it stands in the page, before it is decoded or completed;
 *  empty when there is none. */
QByteArray PageNextLink(const QByteArray& page, const GrabKey& key);

/** What a key cuts from a page, as the grab would append it to a new sheet. */
struct KeyPreview
{
    ParsedPage rows;
    /** For each sheet column, the rows that have a value in it. */
    std::vector<int> columnCounts;
    /** The next-page link as cut, before it is decoded or completed. */
    QByteArray nextLink;
    /** What a user should know about the key or the page, in words. */
    QStringList notes;

    int listings() const { return rows.rowCount(); }
};

/** Runs the key over @p page with the grab's own parser, into a sheet of @p columns
 *  columns that holds no records yet; for a marker key, @p trace (when given) says
 *  where the parser found each listing, marker and value. */
KeyPreview PreviewKey(const QByteArray& page, const GrabKey& key, SiteRules rules = SiteRules::KeyOnly,
                      int columns = 10, ParseTrace* trace = nullptr);

} // namespace quillon
