#pragma once

#include "sheet/ParallelWork.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace quillon {

/**
 * Sorting by byte-string keys (memcmp order, a shorter key before its extensions),
 * eight bytes at a time: the items of a run are sorted by the next eight key bytes,
 * and only runs still equal go on to the following eight. Keys are read where they
 * lie, in independent loads that the processor overlaps, rather than compared pair
 * by pair; a run of many equal keys costs one pass a level, not a comparison sort.
 */
struct KeyItem
{
    uint64_t chunk; ///< eight key bytes, big-endian, zero-padded
    uint32_t rest;  ///< key bytes from this level on, at most 9 (9: the key goes on)
    int32_t id;     ///< what is sorted; also the tie-break, so the sort is stable by id
};

/** A run of items [first, last) whose keys are equal before byte depth * 8. */
struct KeyRun
{
    uint32_t first;
    uint32_t last;
    uint32_t depth;
};

inline void LoadKeyChunk(QByteArrayView key, size_t at, KeyItem& item)
{
    const size_t size = size_t(key.size());
    if (at >= size) {
        item.chunk = 0;
        item.rest = 0;
        return;
    }
    const size_t n = size - at;
    unsigned char b[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(b, key.data() + at, n < 8 ? n : 8);
    uint64_t v;
    std::memcpy(&v, b, 8);
    item.chunk = __builtin_bswap64(v);
    item.rest = uint32_t(n < 9 ? n : 9);
}

struct KeyItemLess
{
    bool operator()(const KeyItem& a, const KeyItem& b) const
    {
        if (a.chunk != b.chunk)
            return a.chunk < b.chunk;
        if (a.rest != b.rest)
            return a.rest < b.rest;
        return a.id < b.id;
    }
};

/**
 * Sorts items[0, n) by (chunk, rest), keeping the order of equal items: a least
 * significant digit first radix sort, which leaves items already in id order sorted
 * by (chunk, rest, id). Digits that are the same in every item cost no pass.
 */
inline void RadixSortKeyItems(KeyItem* items, size_t n, std::vector<KeyItem>& scratch)
{
    if (n < 2)
        return;
    const bool wide = n >= 65536;
    const int digitBits = wide ? 16 : 8;
    const int digits = 64 / digitBits;
    const size_t buckets = size_t(1) << digitBits;
    std::vector<uint32_t> counts(size_t(digits) * buckets, 0);
    uint32_t restCounts[10] = {};
    for (size_t i = 0; i < n; ++i) {
        const uint64_t c = items[i].chunk;
        for (int d = 0; d < digits; ++d)
            ++counts[size_t(d) * buckets + size_t((c >> (d * digitBits)) & (buckets - 1))];
        ++restCounts[items[i].rest < 9 ? items[i].rest : 9];
    }
    if (scratch.size() < n)
        scratch.resize(n);
    KeyItem* src = items;
    KeyItem* dst = scratch.data();
    // Rest first: it is the least significant part of the order.
    bool restVaries = true;
    for (uint32_t c : restCounts)
        if (c == n)
            restVaries = false;
    if (restVaries) {
        uint32_t starts[10];
        uint32_t sum = 0;
        for (int b = 0; b < 10; ++b) {
            starts[b] = sum;
            sum += restCounts[b];
        }
        for (size_t i = 0; i < n; ++i)
            dst[starts[src[i].rest < 9 ? src[i].rest : 9]++] = src[i];
        std::swap(src, dst);
    }
    for (int d = 0; d < digits; ++d) {
        uint32_t* count = counts.data() + size_t(d) * buckets;
        const uint64_t probe = (src[0].chunk >> (d * digitBits)) & (buckets - 1);
        if (count[probe] == n)
            continue; // every item has this digit
        uint32_t sum = 0;
        for (size_t b = 0; b < buckets; ++b) {
            const uint32_t c = count[b];
            count[b] = sum;
            sum += c;
        }
        const int shift = d * digitBits;
        for (size_t i = 0; i < n; ++i)
            dst[count[(src[i].chunk >> shift) & (buckets - 1)]++] = src[i];
        std::swap(src, dst);
    }
    if (src != items)
        std::memcpy(static_cast<void*>(items), src, n * sizeof(KeyItem));
}

/** Sorts a run of items by (chunk, rest, id); items equal in (chunk, rest) must come in
 *  id order. */
inline void SortKeyItems(KeyItem* first, KeyItem* last, std::vector<KeyItem>& scratch)
{
    if (last - first >= 2048)
        RadixSortKeyItems(first, size_t(last - first), scratch);
    else
        std::sort(first, last, KeyItemLess());
}

/**
 * Sorts every run of @p work within @p items. @p keyOf(id) gives an item's key,
 * @p prefetch(id) hints that it will be read soon. Runs whose keys turn out equal
 * to the end are appended to @p equal as (first, last) pairs.
 */
template<typename KeyOf, typename Prefetch>
void SortKeyRuns(std::vector<KeyItem>& items, std::vector<KeyRun> work, KeyOf&& keyOf, Prefetch&& prefetch,
                 std::vector<std::pair<uint32_t, uint32_t>>& equal)
{
    constexpr uint32_t kAhead = 16;
    std::vector<KeyItem> scratch[2];
    const auto sortRun = [&](const KeyRun& run, std::vector<KeyRun>& next, std::vector<std::pair<uint32_t, uint32_t>>& same,
                             bool parallel, size_t worker) {
        const size_t at = size_t(run.depth) * 8;
        const auto load = [&](uint32_t from, uint32_t to) {
            for (uint32_t i = from; i < to; ++i) {
                if (i + kAhead < to)
                    prefetch(items[i + kAhead].id);
                LoadKeyChunk(keyOf(items[i].id), at, items[i]);
            }
        };
        const uint32_t size = run.last - run.first;
        if (size <= 24) {
            load(run.first, run.last);
            for (uint32_t i = run.first + 1; i < run.last; ++i) {
                const KeyItem x = items[i];
                uint32_t j = i;
                while (j > run.first && KeyItemLess()(x, items[j - 1])) {
                    items[j] = items[j - 1];
                    --j;
                }
                items[j] = x;
            }
        } else if (parallel && size > 200'000 && WorkerCount() > 1) {
            const uint32_t mid = run.first + size / 2;
            RunInParallel(2, [&](size_t part, size_t) {
                if (part == 0) {
                    load(run.first, mid);
                    SortKeyItems(items.data() + run.first, items.data() + mid, scratch[0]);
                } else {
                    load(mid, run.last);
                    SortKeyItems(items.data() + mid, items.data() + run.last, scratch[1]);
                }
            });
            std::inplace_merge(items.begin() + run.first, items.begin() + mid, items.begin() + run.last, KeyItemLess());
        } else {
            load(run.first, run.last);
            SortKeyItems(items.data() + run.first, items.data() + run.last, scratch[worker]);
        }
        uint32_t start = run.first;
        for (uint32_t i = run.first + 1; i <= run.last; ++i) {
            if (i == run.last || items[i].chunk != items[start].chunk || items[i].rest != items[start].rest) {
                if (i - start > 1) {
                    if (items[start].rest == 9)
                        next.push_back({start, i, run.depth + 1});
                    else
                        same.emplace_back(start, i);
                }
                start = i;
            }
        }
    };

    // Large runs one at a time, each split over the workers; then the many small ones
    // shared out between the workers.
    std::vector<KeyRun> small;
    while (!work.empty()) {
        const KeyRun run = work.back();
        work.pop_back();
        if (run.last - run.first > 200'000)
            sortRun(run, work, equal, true, 0);
        else
            small.push_back(run);
    }
    size_t total = 0;
    for (const KeyRun& r : small)
        total += r.last - r.first;
    const size_t parts = total > 50'000 ? WorkerCount() : 1;
    std::vector<std::pair<uint32_t, uint32_t>> same[2];
    RunInParallel(parts, [&](size_t part, size_t count) {
        std::vector<KeyRun> stack;
        for (size_t i = part; i < small.size(); i += count)
            stack.push_back(small[i]);
        while (!stack.empty()) {
            const KeyRun run = stack.back();
            stack.pop_back();
            sortRun(run, stack, same[part], false, part);
        }
    });
    equal.insert(equal.end(), same[0].begin(), same[0].end());
    equal.insert(equal.end(), same[1].begin(), same[1].end());
}

} // namespace quillon
