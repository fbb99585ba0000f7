#include "grab/PageReader.h"

#include "grab/StructuredData.h"

#include <QObject>

namespace quillon {

namespace {

/** The structured reading of @p page, read again only for another page. The kept
 *  copy of the page shares its bytes, so that no other page can take its place. */
const StructuredData::Reading& readingOf(const QByteArray& page)
{
    thread_local QByteArray lastPage;
    thread_local StructuredData::Reading last;
    thread_local bool valid = false;
    if (!valid || !lastPage.isSharedWith(page) || lastPage.size() != page.size()
        || lastPage.constData() != page.constData()) {
        last = StructuredData::Read(page);
        lastPage = page;
        valid = true;
    }
    return last;
}

} // namespace

ParsedPage ParsePage(const QByteArray& page, const GrabKey& key, SiteRules rules, const ParseContext& context)
{
    if (key.kind == KeyKind::StructuredData)
        return ParseStructuredListings(readingOf(page), key, context);
    return ParseListings(page, key, rules, context);
}

QByteArray PageNextLink(const QByteArray& page, const GrabKey& key)
{
    if (key.kind == KeyKind::StructuredData && key.nextStart.isEmpty() && key.nextEnd.isEmpty())
        return readingOf(page).nextLink;
    return NextLink(page, key).toByteArray();
}

KeyPreview PreviewKey(const QByteArray& page, const GrabKey& key, SiteRules rules, int columns, ParseTrace* trace)
{
    KeyPreview preview;
    ParseContext context;
    context.sheetColumns = columns;
    preview.rows = trace && key.kind == KeyKind::Markers ? ParseListings(page, key, rules, context, trace)
                                                         : ParsePage(page, key, rules, context);
    preview.nextLink = PageNextLink(page, key);
    preview.columnCounts.assign(size_t(std::max(0, columns)), 0);
    for (const ParsedPage::Cell& cell : preview.rows.cells)
        if (cell.length > 0 && cell.column >= 0 && cell.column < columns)
            ++preview.columnCounts[size_t(cell.column)];

    if (key.kind == KeyKind::StructuredData) {
        const StructuredData::Reading& reading = readingOf(page);
        preview.notes += reading.problems;
        if (reading.source != StructuredData::Source::None)
            preview.notes.append(QObject::tr("listings read from the page's %1")
                                     .arg(StructuredData::SourceName(reading.source)));
        else
            preview.notes.append(QObject::tr("the page describes no listings as schema.org items"));
    } else if (key.lastField >= GrabKey::kFieldsBeforeNextLink) {
        preview.notes.append(QObject::tr("the key has %1 field definitions: fields %2 and up are read from rows 15 "
                                         "and 16, which hold the next-page link markers")
                                 .arg(key.lastField + 1)
                                 .arg(GrabKey::kFieldsBeforeNextLink));
    }
    return preview;
}

} // namespace quillon
