#include "grab/CutBetween.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

qsizetype FindBytes(const char* text, qsizetype n, const char* needle, qsizetype k) noexcept
{
    if (k <= 0)
        return 0;
    if (n < k)
        return -1;
    if (k == 1) {
        const void* hit = std::memchr(text, needle[0], size_t(n));
        return hit ? static_cast<const char*>(hit) - text : -1;
    }
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[k - 1]);
    for (; i + k - 1 + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + k - 1));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(first, a), _mm_cmpeq_epi8(last, b))));
        while (mask) {
            const int bit = __builtin_ctz(mask);
            if (std::memcmp(text + i + bit + 1, needle + 1, size_t(k - 2)) == 0)
                return i + bit;
            mask &= mask - 1;
        }
    }
#endif
    for (; i + k <= n; ++i) {
        if (text[i] == needle[0] && text[i + k - 1] == needle[k - 1]
            && std::memcmp(text + i + 1, needle + 1, size_t(k - 2)) == 0)
            return i;
    }
    return -1;
}

QString CutBetween(QString& text, const QString& start, const QString& end)
{
    QStringView view(text);
    const QStringView piece = CutBetween(view, QStringView(start), QStringView(end));
    // Both views lie inside text: take the piece before text is replaced.
    QString result = piece.toString();
    if (view.data() != text.constData() || view.size() != text.size())
        text = view.toString();
    return result;
}

} // namespace quillon
