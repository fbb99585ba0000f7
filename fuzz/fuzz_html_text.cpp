// The character-reference decoder and the page's text encoding, which every value
// cut from a page goes through. The input is a Content-Type header line, a NUL
// byte, then the body.

#include "FuzzTarget.h"
#include "grab/HtmlText.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t headerSize = nul ? size_t(nul - data) : 0;
    const QByteArrayView contentType(reinterpret_cast<const char*>(data), qsizetype(headerSize));
    const size_t at = nul ? headerSize + 1 : 0;
    const QByteArray body(reinterpret_cast<const char*>(data + at), qsizetype(size - at));

    const QByteArray page = quillon::HtmlText::pageToUtf8(body, contentType);
    QByteArray out;
    quillon::HtmlText::appendDecoded(out, page);
    QByteArray value;
    quillon::HtmlText::appendCleanValue(value, page);
    (void)quillon::HtmlText::decoded(QString::fromUtf8(page));
    return 0;
}
