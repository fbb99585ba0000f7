#include "sheet/TextFinder.h"

#include "sheet/ParallelWork.h"
#include "sheet/RecordSheet.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillon {

namespace {

constexpr unsigned char asciiUpper(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

constexpr unsigned char asciiLower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

bool foldedEqual(const unsigned char* s, const unsigned char* upperNeedle, size_t m)
{
    for (size_t i = 0; i < m; ++i)
        if (asciiUpper(s[i]) != upperNeedle[i])
            return false;
    return true;
}

bool isAscii(QByteArrayView v)
{
    unsigned acc = 0;
    for (const char c : v)
        acc |= static_cast<unsigned char>(c);
    return !(acc & 0x80u);
}

} // namespace

CellMatcher::CellMatcher(const QString& sought, bool matchCase) : m_matchCase(matchCase)
{
    if (matchCase) {
        m_needle = sought.toUtf8();
    } else {
        m_upper = sought.toUpper();
        m_needle = m_upper.toUtf8();
    }
    m_asciiNeedle = isAscii(m_needle);
    if (!m_needle.isEmpty()) {
        m_firstA = static_cast<unsigned char>(m_needle[0]);
        m_firstB = matchCase ? m_firstA : asciiLower(m_firstA);
    }
}

bool CellMatcher::slowMatches(QByteArrayView cell) const
{
    return QString::fromUtf8(cell).toUpper().contains(m_upper);
}

bool CellMatcher::matches(QByteArrayView cell) const
{
    const size_t m = size_t(m_needle.size());
    if (m == 0)
        return true;
    const auto* s = reinterpret_cast<const unsigned char*>(cell.data());
    const size_t n = size_t(cell.size());
    const auto* nd = reinterpret_cast<const unsigned char*>(m_needle.constData());
    if (m_matchCase) {
        // Whole UTF-8 sequences match exactly when their bytes do.
        if (n < m)
            return false;
        const unsigned char* p = s;
        const unsigned char* const last = s + (n - m);
        while (p <= last) {
            p = static_cast<const unsigned char*>(std::memchr(p, nd[0], size_t(last - p) + 1));
            if (!p)
                return false;
            if (std::memcmp(p + 1, nd + 1, m - 1) == 0)
                return true;
            ++p;
        }
        return false;
    }
    if (!m_asciiNeedle) {
        // An upper-cased ASCII cell holds ASCII only, so it cannot contain this text.
        return !isAscii(cell) && slowMatches(cell);
    }
    unsigned acc = 0;
    if (n >= m) {
        const size_t last = n - m;
        for (size_t i = 0; i <= last; ++i) {
            const unsigned char c = s[i];
            acc |= c;
            if ((c == m_firstA || c == m_firstB) && foldedEqual(s + i + 1, nd + 1, m - 1))
                return true;
        }
        for (size_t i = last + 1; i < n; ++i)
            acc |= s[i];
    } else {
        for (size_t i = 0; i < n; ++i)
            acc |= s[i];
    }
    // An ASCII hit is a hit whatever else the cell holds; without one, a cell with
    // other characters is compared the slow way (their upper case may be ASCII).
    return (acc & 0x80u) && slowMatches(cell);
}

int CellMatcher::findInColumn(const TextColumn& column, int first, int last, const std::atomic<bool>* stop) const
{
    if (m_needle.isEmpty())
        return first <= last ? first : -1;
    const qsizetype m = m_needle.size();
    constexpr int kAhead = 16;
    for (int r = first; r <= last; ++r) {
        if (stop && (r & 0x3fff) == 0 && stop->load(std::memory_order_relaxed))
            return -1;
        if (r + kAhead <= last)
            column.prefetch(r + kAhead);
        const QByteArrayView cell = column.utf8(r);
        // A shorter cell cannot hold the text, unless letter case is ignored and it
        // has characters whose upper case is longer.
        if (cell.size() < m && (m_matchCase || cell.isEmpty()))
            continue;
        if (matches(cell))
            return r;
    }
    return -1;
}

namespace {

struct Segment
{
    int col;
    int first;
    int last;
};

/** The first hit of @p s, or -1. Long columns are first walked in storage order, which
 *  reads memory sequentially however the rows were sorted; only the positions of
 *  texts that hold the sought text are then looked up among the rows. */
int scanSegment(const RecordSheet& sheet, const CellMatcher& matcher, const Segment& s, const std::atomic<bool>* stop)
{
    const TextColumn& column = sheet.textColumn(s.col);
    constexpr int kProbe = 4096;
    if (s.last - s.first < 4 * kProbe)
        return matcher.findInColumn(column, s.first, s.last, stop);
    // Many hits are found near the start; look there the plain way first.
    const int early = matcher.findInColumn(column, s.first, s.first + kProbe - 1, stop);
    if (early >= 0)
        return early;
    const int from = s.first + kProbe;
    constexpr size_t kMaxHits = 1 << 16;
    std::vector<uint32_t> hits;
    bool tooMany = false;
    column.forEachStored([&](uint32_t position, QByteArrayView text) {
        if (matcher.matches(text)) {
            if (hits.size() == kMaxHits) {
                tooMany = true;
                return false;
            }
            hits.push_back(position);
        }
        return true;
    });
    if (tooMany)
        return matcher.findInColumn(column, from, s.last, stop);
    if (hits.empty())
        return -1;
    std::sort(hits.begin(), hits.end());
    const uint32_t low = hits.front();
    const uint32_t high = hits.back();
    for (int r = from; r <= s.last; ++r) {
        const uint32_t at = column.position(r);
        if (at >= low && at <= high && std::binary_search(hits.begin(), hits.end(), at))
            return r;
    }
    return -1;
}

} // namespace

CellPosition FindCell(const RecordSheet& sheet, const CellMatcher& matcher, int col, int row)
{
    const int last = sheet.rows() - 1;
    if (last < 1 || col < 0 || col >= sheet.cols())
        return {};
    std::vector<Segment> segments;
    qint64 cells = 0;
    for (int c = col; c < sheet.cols(); ++c) {
        const int first = c == col ? std::max(row, 1) : 1;
        if (first > last)
            continue;
        segments.push_back({c, first, last});
        cells += last - first + 1;
    }
    if (segments.empty())
        return {};
    if (segments.size() == 1 || cells < 1'000'000 || WorkerCount() < 2) {
        for (const Segment& s : segments) {
            const int r = scanSegment(sheet, matcher, s, nullptr);
            if (r >= 0)
                return {r, s.col};
        }
        return {};
    }

    // The columns are shared out between two threads as they come free; a thread takes
    // no column after one where a hit was already found.
    std::atomic<size_t> next{0};
    std::atomic<size_t> firstHit{segments.size()};
    std::vector<int> found(segments.size(), -1);
    RunInParallel(2, [&](size_t, size_t) {
        for (;;) {
            const size_t i = next.fetch_add(1);
            if (i >= segments.size() || i > firstHit.load())
                return;
            found[i] = scanSegment(sheet, matcher, segments[i], nullptr);
            if (found[i] >= 0) {
                size_t seen = firstHit.load();
                while (i < seen && !firstHit.compare_exchange_weak(seen, i)) {
                }
            }
        }
    });
    const size_t i = firstHit.load();
    if (i < segments.size())
        return {found[i], segments[i].col};
    return {};
}

} // namespace quillon
