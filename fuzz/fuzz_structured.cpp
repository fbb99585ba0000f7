// A page's schema.org items (JSON-LD, microdata, RDFa) through the HTML5 document
// tree, as a structured-data key reads them, with their next-page link.

#include "FuzzTarget.h"
#include "grab/ListingParser.h"
#include "grab/PageReader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray page(reinterpret_cast<const char*>(data), qsizetype(size));
    quillon::GrabKey key;
    key.kind = quillon::KeyKind::StructuredData;
    key.listingsPerPage = 1000;
    const quillon::KeyPreview preview = quillon::PreviewKey(page, key);
    for (int r = 0; r < preview.rows.rowCount(); ++r)
        for (int c = 0; c < 10; ++c)
            (void)preview.rows.cellText(r, c);
    return 0;
}
