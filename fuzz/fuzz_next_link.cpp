// The next page's address, from a link cut from a page and the page's own address,
// as a grab follows it. The input is the page's address, a line break, then the link
// as cut. Whatever it is, the grab must be given an http or https address with a
// host, or nothing.

#include "FuzzTarget.h"
#include "grab/GrabRunner.h"

#include <QUrl>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto* newline = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
    const size_t pageSize = newline ? size_t(newline - data) : size;
    const QUrl page(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(pageSize)),
                    QUrl::TolerantMode);
    const size_t at = newline ? pageSize + 1 : size;
    const QString link = QString::fromUtf8(reinterpret_cast<const char*>(data + at), qsizetype(size - at));

    QString refusal;
    const QUrl next = quillon::ResolveNextLink(page, link, &refusal);
    if (next.isEmpty()) {
        if (refusal.isEmpty())
            std::abort(); // nothing to follow, and no reason given
        return 0;
    }
    const QString scheme = next.scheme();
    if (!refusal.isEmpty() || next.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        std::abort(); // a grab must never be sent anywhere but to a web site
    (void)next.toString();
    return 0;
}
