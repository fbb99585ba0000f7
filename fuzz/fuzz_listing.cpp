// A decoding key and a listing page, through the key's reading and the listing
// parser, as a grab meets them. The input is the key as comma-delimited text, a NUL
// byte, then the page; the page's first byte picks the site rules. A key whose kind
// is schema.org reads the page's structured data instead.

#include "FuzzTarget.h"
#include "files/GridFile.h"
#include "grab/HtmlText.h"
#include "grab/KeyTable.h"
#include "grab/ListingParser.h"
#include "grab/PageReader.h"
#include "sheet/RecordSheet.h"

#include <QBuffer>

#include <algorithm>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    if (!nul || nul + 1 >= data + size)
        return 0;
    QByteArray keyText = QByteArray::fromRawData(reinterpret_cast<const char*>(data), nul - data);
    const uint8_t rulesByte = nul[1];
    const QByteArray body(reinterpret_cast<const char*>(nul + 2), qsizetype(data + size - nul - 2));

    QBuffer keyFile(&keyText);
    keyFile.open(QIODevice::ReadOnly);
    quillon::RecordSheet keySheet;
    if (!quillon::readGrid(keyFile, quillon::FormatComma, keySheet))
        return 0;
    // A key's cells are the first few columns of its first rows (the field rows run
    // to 6 + the most fields a key may have).
    quillon::KeyTable table;
    const int rows = std::min(keySheet.rows(), 6 + quillon::GrabKey::kMaxFields + 1);
    const int cols = std::min(keySheet.cols(), 10);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (!keySheet.isCellEmpty(r, c))
                table.setText(r, c, keySheet.text(r, c));
    const quillon::GrabKey key = quillon::GrabKey::fromTable(table);

    const QByteArray page = quillon::HtmlText::pageToUtf8(body);
    static constexpr quillon::SiteRules kRules[] = {quillon::SiteRules::KeyOnly, quillon::SiteRules::BuiltInA,
                                                    quillon::SiteRules::BuiltInB};
    quillon::ParseContext context;
    context.hasRecordAbove = rulesByte & 4;
    context.stateAbove = "NY";
    context.stopRequested = rulesByte & 8;
    const quillon::ParsedPage parsed = quillon::ParsePage(page, key, kRules[rulesByte % 3], context);
    for (int r = 0; r < parsed.rowCount(); ++r)
        for (int c = 0; c < context.sheetColumns; ++c)
            (void)parsed.cellText(r, c);
    (void)quillon::PageNextLink(page, key);
    return 0;
}
