#include "sheet/SortKeys.h"

#include "sheet/ByteKeySort.h"
#include "sheet/ParallelWork.h"
#include "sheet/SheetSort.h"
#include "sheet/TextColumn.h"

#include <QCollator>
#include <QString>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

namespace quillon {

namespace {

uint64_t hashBytes(QByteArrayView v)
{
    const char* p = v.data();
    size_t n = size_t(v.size());
    uint64_t h = 0x9E3779B97F4A7C15ull ^ (n * 0xff51afd7ed558ccdull);
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xbf58476d1ce4e5b9ull;
        h ^= h >> 31;
        p += 8;
        n -= 8;
    }
    uint64_t w = 0;
    if (n)
        std::memcpy(&w, p, n);
    h = (h ^ w) * 0x94d049bb133111ebull;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ull;
    return h ^ (h >> 32);
}

QCollator sheetCollator()
{
    QCollator collator(SheetCollationLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}

} // namespace

DistinctTexts FindDistinctTexts(const TextColumn& column, std::span<const int> rows)
{
    DistinctTexts d;
    const size_t n = rows.size();
    d.idOf.resize(n);
    size_t capacity = 16;
    while (capacity < 2 * n)
        capacity <<= 1;
    const size_t mask = capacity - 1;
    // A slot holds the upper hash bits and id + 1; 0 is a free slot.
    std::vector<uint64_t> table(capacity, 0);
    constexpr size_t kAhead = 16;
    for (size_t i = 0; i < n; ++i) {
        if (i + kAhead < n)
            column.prefetch(rows[i + kAhead]);
        const QByteArrayView t = column.utf8(rows[i]);
        const uint64_t h = hashBytes(t);
        const uint64_t check = h & 0xffffffff00000000ull;
        size_t s = size_t(h) & mask;
        for (;;) {
            const uint64_t e = table[s];
            if (e == 0) {
                const uint32_t id = uint32_t(d.texts.size());
                table[s] = check | (uint64_t(id) + 1);
                d.idOf[i] = id;
                d.texts.push_back(t);
                break;
            }
            if ((e & 0xffffffff00000000ull) == check) {
                const uint32_t id = uint32_t(e) - 1;
                if (d.texts[id] == t) {
                    d.idOf[i] = id;
                    break;
                }
            }
            s = (s + 1) & mask;
        }
    }
    return d;
}

int CompareBytes(QByteArrayView a, QByteArrayView b)
{
    const size_t n = size_t(std::min(a.size(), b.size()));
    if (n) {
        const int r = std::memcmp(a.data(), b.data(), n);
        if (r)
            return r;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

namespace {

/**
 * Sort keys equal in order to the sheet collator's for texts of printable ASCII,
 * tabs and line breaks, built without the collator. The sheet collator ignores
 * letter case and compares digit runs as numbers; for these characters it then
 * amounts to one weight a character (none for the ignorable control characters),
 * a digit run weighing as its number. The weights are read from the collator
 * itself, and the rules are checked against it, when first needed; where the
 * locale may tailor ASCII or a check fails, there are no such keys.
 */
class AsciiCollation
{
public:
    static const AsciiCollation* get()
    {
        static const AsciiCollation* instance = create();
        return instance;
    }

    /** Appends the key of @p text to @p out; false when @p text is not one of the texts
     *  this key serves. */
    bool appendKey(QByteArrayView text, std::string& out) const
    {
        const auto* s = reinterpret_cast<const unsigned char*>(text.data());
        const size_t n = size_t(text.size());
        for (size_t i = 0; i < n;) {
            const unsigned char c = s[i];
            if (c >= 0x80 || c == 0)
                return false;
            if (c >= '0' && c <= '9') {
                size_t j = i;
                while (j < n && s[j] >= '0' && s[j] <= '9')
                    ++j;
                size_t k = i;
                while (k + 1 < j && s[k] == '0')
                    ++k;
                if (j - k > kMaxDigits)
                    return false;
                out.push_back(char(m_digitWeight));
                out.push_back(char(j - k));
                out.append(reinterpret_cast<const char*>(s + k), j - k);
                i = j;
                continue;
            }
            if (m_weights[c])
                out.push_back(char(m_weights[c]));
            ++i;
        }
        return true;
    }

private:
    static constexpr size_t kMaxDigits = 200;

    static AsciiCollation* create()
    {
        if (SheetCollationLocale().language() != QLocale::English)
            return nullptr;
        const QCollator collator = sheetCollator();
        auto* table = new AsciiCollation;
        if (!table->readWeights(collator) || !table->checkRules(collator)) {
            delete table;
            return nullptr;
        }
        return table;
    }

    bool readWeights(const QCollator& collator)
    {
        const QString ab = QStringLiteral("ab");
        std::vector<char16_t> chars;
        for (char16_t c = 1; c < 0x80; ++c) {
            if (c >= u'1' && c <= u'9')
                continue; // '0' stands for every digit run
            const QString inside = QStringLiteral("a") + QChar(c) + QStringLiteral("b");
            if (c != u'0' && collator.compare(inside, ab) == 0)
                continue; // ignorable: weight 0
            chars.push_back(c);
        }
        std::stable_sort(chars.begin(), chars.end(), [&collator](char16_t a, char16_t b) {
            return collator.compare(QString(QChar(a)), QString(QChar(b))) < 0;
        });
        int weight = 0;
        for (size_t i = 0; i < chars.size(); ++i) {
            if (i == 0 || collator.compare(QString(QChar(chars[i - 1])), QString(QChar(chars[i]))) != 0)
                ++weight;
            if (weight >= 0xf0)
                return false;
            m_weights[chars[i]] = uint8_t(weight);
        }
        m_digitWeight = m_weights[u'0'];
        for (char16_t c = 1; c < 0x80; ++c)
            if (c != u'0' && m_weights[c] == m_digitWeight)
                return false;
        // Neighbouring weights must differ in the first place compared: a pair that
        // differed only in a later strength would let the rest of the text decide.
        for (size_t i = 1; i < chars.size(); ++i) {
            if (m_weights[chars[i]] == m_weights[chars[i - 1]])
                continue;
            const QString low = QString(QChar(chars[i - 1])) + QStringLiteral("z");
            const QString high = QString(QChar(chars[i])) + QStringLiteral("a");
            if (collator.compare(low, high) >= 0)
                return false;
        }
        return true;
    }

    bool checkRules(const QCollator& collator) const
    {
        static const char* const pairs[][2] = {
            {"a01", "a1"},     {"x0", "x00"},       {"a2", "a10"},   {"a1b", "a1 b"}, {"a1b", "a10"},
            {"1.5", "1.10"},   {"x", "x0"},         {"9", "a"},      {"a b", "ab"},   {"a\x01" "b", "ab"},
            {"Smith", "SMITH"}, {"007 Bond", "7 bond"}, {"a\tb", "a b"}, {"2nd Ave", "10th Ave"},
            {"-5", "5"},       {"a_b", "a-b"},      {"Z9", "z10"},   {"0", "00"},     {"100", "99 "},
        };
        for (const auto& p : pairs) {
            const QByteArrayView a(p[0]);
            const QByteArrayView b(p[1]);
            std::string ka;
            std::string kb;
            if (!appendKey(a, ka) || !appendKey(b, kb))
                return false;
            const int mine = CompareBytes(QByteArrayView(ka.data(), qsizetype(ka.size())),
                                          QByteArrayView(kb.data(), qsizetype(kb.size())));
            const int theirs = collator.compare(QString::fromLatin1(a), QString::fromLatin1(b));
            if ((mine > 0) != (theirs > 0) || (mine < 0) != (theirs < 0))
                return false;
        }
        return true;
    }

    uint8_t m_weights[128] = {};
    uint8_t m_digitWeight = 0;
};

/** Collation ranks through the collator's own sort keys. */
std::vector<uint32_t> ranksByCollator(const std::vector<QByteArrayView>& texts, std::span<const uint32_t> ids,
                                      std::vector<uint32_t>* sortedIds = nullptr)
{
    const size_t u = ids.size();
    std::vector<uint32_t> ranks(texts.size(), 0);
    if (u == 0) {
        if (sortedIds)
            sortedIds->clear();
        return ranks;
    }
    const size_t parts = u > 20'000 ? WorkerCount() : 1;
    const size_t chunk = (u + parts - 1) / parts;
    std::vector<std::vector<QCollatorSortKey>> keys(parts);
    RunInParallel(parts, [&](size_t part, size_t) {
        const QCollator collator = sheetCollator();
        const size_t a = part * chunk;
        const size_t b = std::min(u, a + chunk);
        keys[part].reserve(b - a);
        for (size_t i = a; i < b; ++i)
            keys[part].push_back(collator.sortKey(QString::fromUtf8(texts[ids[i]])));
    });
    // Sorted by position in ids, so that the key of position i is keys[i / chunk][i % chunk].
    const auto key = [&](uint32_t i) -> const QCollatorSortKey& { return keys[i / chunk][i % chunk]; };
    std::vector<uint32_t> positions(u);
    std::iota(positions.begin(), positions.end(), 0u);
    ParallelSort(positions, [&](uint32_t a, uint32_t b) {
        const int c = key(a).compare(key(b));
        return c != 0 ? c < 0 : a < b;
    });
    uint32_t rank = 0;
    for (size_t i = 0; i < u; ++i) {
        if (i > 0 && key(positions[i]).compare(key(positions[i - 1])) != 0)
            ++rank;
        ranks[ids[positions[i]]] = rank;
    }
    if (sortedIds) {
        sortedIds->resize(u);
        for (size_t i = 0; i < u; ++i)
            (*sortedIds)[i] = ids[positions[i]];
    }
    return ranks;
}

} // namespace

std::vector<uint32_t> CollationRanks(const std::vector<QByteArrayView>& texts)
{
    std::vector<uint32_t> all(texts.size());
    std::iota(all.begin(), all.end(), 0u);
    return ranksByCollator(texts, all);
}

namespace {

/** Orders rows with the collator's own sort keys: each distinct text is keyed once. */
CollatedRows collateByCollator(const TextColumn& column, const std::vector<int>& rows)
{
    CollatedRows out;
    const DistinctTexts distinct = FindDistinctTexts(column, rows);
    const std::vector<uint32_t> ranks = CollationRanks(distinct.texts);
    uint32_t groups = 0;
    for (uint32_t r : ranks)
        groups = std::max(groups, r + 1);
    std::vector<uint32_t> starts(size_t(groups) + 1, 0);
    for (uint32_t id : distinct.idOf)
        ++starts[ranks[id] + 1];
    for (size_t g = 0; g < groups; ++g)
        starts[g + 1] += starts[g];
    out.rows.resize(rows.size());
    out.startsGroup.assign(rows.size(), 0);
    for (size_t g = 0; g < groups; ++g)
        if (starts[g] < rows.size())
            out.startsGroup[starts[g]] = 1;
    for (size_t i = 0; i < rows.size(); ++i)
        out.rows[starts[ranks[distinct.idOf[i]]]++] = rows[i];
    return out;
}

} // namespace

CollatedRows CollateRows(const TextColumn& column, const std::vector<int>& rows)
{
    const size_t n = rows.size();
    const AsciiCollation* ascii = AsciiCollation::get();
    if (!ascii || n < 64)
        return collateByCollator(column, rows);

    // Keys for the texts the ASCII keys serve, built on two threads into two buffers.
    const size_t parts = n > 50'000 ? WorkerCount() : 1;
    const size_t chunk = (n + parts - 1) / parts;
    std::string buffers[2];
    std::vector<uint32_t> keyStart(n);
    std::vector<uint32_t> keyLength(n);
    std::vector<uint32_t> others[2]; // indexes into rows
    bool overflow[2] = {false, false};
    RunInParallel(parts, [&](size_t part, size_t) {
        std::string& buffer = buffers[part];
        const size_t a = part * chunk;
        const size_t b = std::min(n, a + chunk);
        buffer.reserve((b - a) * 24);
        for (size_t i = a; i < b; ++i) {
            if (i + 16 < b)
                column.prefetch(rows[i + 16]);
            const size_t start = buffer.size();
            if (ascii->appendKey(column.utf8(rows[i]), buffer) && buffer.size() < 0xffffffffu) {
                keyStart[i] = uint32_t(start);
                keyLength[i] = uint32_t(buffer.size() - start);
            } else {
                overflow[part] = overflow[part] || buffer.size() >= 0xffffffffu;
                buffer.resize(start);
                others[part].push_back(uint32_t(i));
            }
        }
    });
    others[0].insert(others[0].end(), others[1].begin(), others[1].end());
    const std::vector<uint32_t>& slow = others[0];
    if (overflow[0] || overflow[1] || slow.size() > std::max<size_t>(2000, n / 32))
        return collateByCollator(column, rows);

    std::vector<uint8_t> isSlow(n, 0);
    for (uint32_t i : slow)
        isSlow[i] = 1;
    std::vector<KeyItem> items;
    items.reserve(n - slow.size());
    for (size_t i = 0; i < n; ++i)
        if (!isSlow[i])
            items.push_back({0, 0, int32_t(i)});
    const auto keyOf = [&](int32_t i) {
        return QByteArrayView(buffers[size_t(i) / chunk].data() + keyStart[size_t(i)], qsizetype(keyLength[size_t(i)]));
    };
    const auto prefetch = [&](int32_t i) { __builtin_prefetch(buffers[size_t(i) / chunk].data() + keyStart[size_t(i)]); };
    std::vector<std::pair<uint32_t, uint32_t>> equal;
    SortKeyRuns(items, {{0, uint32_t(items.size()), 0}}, keyOf, prefetch, equal);

    CollatedRows fast;
    fast.rows.resize(items.size());
    fast.startsGroup.assign(items.size(), 1);
    for (size_t k = 0; k < items.size(); ++k)
        fast.rows[k] = rows[size_t(items[k].id)];
    for (const auto& [first, last] : equal)
        for (uint32_t k = first + 1; k < last; ++k)
            fast.startsGroup[k] = 0;
    if (slow.empty())
        return fast;

    // A few texts beyond ASCII: order them by the collator and merge them in, each group
    // before the first group of the others that does not sort below it.
    std::vector<int> slowRows(slow.size());
    for (size_t i = 0; i < slow.size(); ++i)
        slowRows[i] = rows[slow[i]];
    const CollatedRows sorted = collateByCollator(column, slowRows);
    const QCollator collator = sheetCollator();
    const auto textAt = [&column](int row) { return QString::fromUtf8(column.utf8(row)); };
    // The first row of every group of the fast rows, for the binary search.
    std::vector<size_t> groupStarts;
    for (size_t k = 0; k < fast.rows.size(); ++k)
        if (fast.startsGroup[k])
            groupStarts.push_back(k);

    CollatedRows out;
    out.rows.reserve(n);
    out.startsGroup.reserve(n);
    size_t g = 0; // next fast group to place
    const auto placeFastGroup = [&](bool joinsPrevious) {
        const size_t end = g + 1 < groupStarts.size() ? groupStarts[g + 1] : fast.rows.size();
        for (size_t k = groupStarts[g]; k < end; ++k) {
            out.rows.push_back(fast.rows[k]);
            out.startsGroup.push_back(k == groupStarts[g] && !joinsPrevious ? 1 : 0);
        }
        ++g;
    };
    std::vector<std::pair<size_t, size_t>> mixed; // merged groups holding both kinds
    for (size_t s = 0; s < sorted.rows.size();) {
        size_t e = s + 1;
        while (e < sorted.rows.size() && !sorted.startsGroup[e])
            ++e;
        const QString text = textAt(sorted.rows[s]);
        size_t lo = g;
        size_t hi = groupStarts.size();
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (collator.compare(textAt(fast.rows[groupStarts[mid]]), text) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        while (g < lo)
            placeFastGroup(false);
        const size_t groupStart = out.rows.size();
        for (size_t k = s; k < e; ++k) {
            out.rows.push_back(sorted.rows[k]);
            out.startsGroup.push_back(k == s ? 1 : 0);
        }
        if (g < groupStarts.size() && collator.compare(textAt(fast.rows[groupStarts[g]]), text) == 0) {
            placeFastGroup(true);
            mixed.emplace_back(groupStart, out.rows.size());
        }
        s = e;
    }
    while (g < groupStarts.size())
        placeFastGroup(false);
    for (const auto& [a, b] : mixed)
        std::sort(out.rows.begin() + std::ptrdiff_t(a), out.rows.begin() + std::ptrdiff_t(b));
    return out;
}

} // namespace quillon
