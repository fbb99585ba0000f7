#include "sheet/TextColumn.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace quillon {

namespace {

constexpr size_t kMaxArena = std::numeric_limits<uint32_t>::max();
constexpr size_t kCompactFloor = 1u << 20;

int lengthPrefix(size_t len, unsigned char* out)
{
    int n = 0;
    do {
        unsigned char b = len & 0x7fu;
        len >>= 7;
        if (len)
            b |= 0x80u;
        out[n++] = b;
    } while (len);
    return n;
}

} // namespace

void* allocateLarge(size_t bytes)
{
    void* p = nullptr;
    if (bytes >= kHugePage) {
        const size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
        p = std::aligned_alloc(kHugePage, rounded);
#ifdef MADV_HUGEPAGE
        if (p)
            madvise(p, rounded, MADV_HUGEPAGE);
#endif
    } else {
        p = std::malloc(bytes ? bytes : 1);
    }
    if (!p)
        throw std::bad_alloc();
    return p;
}

TextColumn::TextColumn(const TextColumn& other) : m_offsets(other.m_offsets)
{
    copyFrom(other);
}

TextColumn& TextColumn::operator=(const TextColumn& other)
{
    if (this != &other) {
        releaseBlocks();
        m_offsets = other.m_offsets;
        copyFrom(other);
    }
    return *this;
}

TextColumn::TextColumn(TextColumn&& other) noexcept
    : m_offsets(std::move(other.m_offsets)), m_blocks(std::move(other.m_blocks)),
      m_allocations(std::move(other.m_allocations)), m_firstCapacity(other.m_firstCapacity),
      m_end(other.m_end), m_chunkEnd(other.m_chunkEnd), m_used(other.m_used), m_allocated(other.m_allocated), m_garbage(other.m_garbage),
      m_gaps(std::move(other.m_gaps))
{
    other.m_blocks.clear();
    other.m_gaps.clear();
    other.m_allocations.clear();
    other.m_firstCapacity = 0;
    other.m_end = 1;
    other.m_chunkEnd = 0;
    other.m_used = other.m_allocated = other.m_garbage = 0;
}

TextColumn& TextColumn::operator=(TextColumn&& other) noexcept
{
    if (this != &other) {
        releaseBlocks();
        m_offsets = std::move(other.m_offsets);
        m_blocks = std::move(other.m_blocks);
        m_allocations = std::move(other.m_allocations);
        m_firstCapacity = other.m_firstCapacity;
        m_end = other.m_end;
        m_chunkEnd = other.m_chunkEnd;
        m_used = other.m_used;
        m_allocated = other.m_allocated;
        m_garbage = other.m_garbage;
        m_gaps = std::move(other.m_gaps);
        other.m_gaps.clear();
        other.m_blocks.clear();
        other.m_allocations.clear();
        other.m_firstCapacity = 0;
        other.m_end = 1;
        other.m_chunkEnd = 0;
        other.m_used = other.m_allocated = other.m_garbage = 0;
    }
    return *this;
}

TextColumn::~TextColumn()
{
    releaseBlocks();
}

void TextColumn::releaseBlocks()
{
    for (char* p : m_allocations)
        std::free(p);
    m_allocations.clear();
    m_blocks.clear();
    m_firstCapacity = 0;
    m_end = 1;
    m_chunkEnd = 0;
    m_used = 0;
    m_allocated = 0;
    m_garbage = 0;
    m_gaps.clear();
}

void TextColumn::copyFrom(const TextColumn& other)
{
    // Copy in row order: the copy holds no unused text.
    for (uint32_t& at : m_offsets) {
        if (at == 0)
            continue;
        const size_t n = other.storedSize(at);
        const auto* src = reinterpret_cast<const unsigned char*>(other.m_blocks[at >> kShift]) + (at & kMask);
        at = append(src, n);
    }
}

void TextColumn::copyStorage(const TextColumn& other)
{
    if (this == &other)
        return;
    Offsets offsets = other.m_offsets;
    releaseBlocks();
    m_offsets = std::move(offsets);
    const size_t blocks = other.m_blocks.size();
    if (blocks == 0)
        return;
    // One allocation with every block whole; only the stretches in use are copied: a
    // gap may lie past the end of the allocation it follows in @p other.
    const size_t bytes = blocks << kShift;
    char* mem = static_cast<char*>(allocateLarge(bytes));
    m_allocations.push_back(mem);
    m_allocated = bytes;
    m_blocks.reserve(blocks);
    for (size_t i = 0; i < blocks; ++i)
        m_blocks.push_back(mem + (i << kShift));
    const auto copyRange = [&](size_t from, size_t to) {
        while (from < to) {
            const size_t block = from >> kShift;
            const size_t n = std::min(to, (block + 1) << kShift) - from;
            std::memcpy(mem + from, other.m_blocks[block] + (from & kMask), n);
            from += n;
        }
    };
    size_t from = 0;
    for (const auto& gap : other.m_gaps) {
        copyRange(from, gap.first);
        from = gap.second;
    }
    copyRange(from, other.m_end);
    m_firstCapacity = kBlock;
    m_end = other.m_end;
    m_chunkEnd = bytes;
    m_used = other.m_used;
    m_garbage = other.m_garbage;
    m_gaps = other.m_gaps;
}

size_t TextColumn::memoryBytes() const
{
    return m_allocated + m_offsets.capacity() * sizeof(uint32_t) +
           (m_blocks.capacity() + m_allocations.capacity()) * sizeof(char*);
}

uint32_t TextColumn::reserve(size_t n)
{
    if (m_end + n <= m_chunkEnd)
        return uint32_t(m_end);
    if (m_blocks.size() == 1 && m_firstCapacity < kBlock && m_end + n <= kBlock) {
        // Block 0 starts small, so that small sheets stay small, and grows in place.
        const size_t grown = std::min<size_t>(std::max<size_t>(m_firstCapacity * 2, m_end + n), kBlock);
        void* p = std::realloc(m_allocations.front(), grown);
        if (!p)
            throw std::bad_alloc();
        m_allocations.front() = m_blocks.front() = static_cast<char*>(p);
        m_allocated += grown - m_firstCapacity;
        m_firstCapacity = m_chunkEnd = grown;
        return uint32_t(m_end);
    }
    if (m_blocks.empty()) {
        const size_t bytes = std::max<size_t>(256, 1 + n);
        if (bytes > kMaxArena)
            return 0;
        char* mem = static_cast<char*>(allocateLarge(bytes));
        m_allocations.push_back(mem);
        m_allocated += bytes;
        m_firstCapacity = std::min<size_t>(bytes, kBlock);
        const size_t count = std::max<size_t>(1, (bytes + kBlock - 1) >> kShift);
        for (size_t i = 0; i < count; ++i)
            m_blocks.push_back(mem + (i << kShift));
        m_end = 1;
        m_chunkEnd = bytes;
        return 1;
    }
    // A new chunk after the last block: one block while the column is small, 2 MiB
    // chunks once it is not, more for a text longer than that.
    const size_t first = m_blocks.size();
    const size_t needed = (n + kBlock - 1) >> kShift;
    const size_t growth = m_allocated >= 2 * kHugePage ? (kHugePage >> kShift) : 1;
    const size_t count = std::max<size_t>({needed, growth, 1});
    if (((first + count) << kShift) > kMaxArena + 1)
        return 0;
    const size_t bytes = count << kShift;
    char* mem = static_cast<char*>(allocateLarge(bytes));
    if (m_end < (first << kShift))
        m_gaps.emplace_back(m_end, first << kShift); // the rest of the last chunk stays unused
    m_allocations.push_back(mem);
    m_allocated += bytes;
    for (size_t i = 0; i < count; ++i)
        m_blocks.push_back(mem + (i << kShift));
    m_end = first << kShift;
    m_chunkEnd = m_end + bytes;
    return uint32_t(m_end);
}

uint32_t TextColumn::append(const unsigned char* bytes, size_t n)
{
    const uint32_t at = reserve(n);
    if (at == 0)
        return 0;
    std::memcpy(m_blocks[at >> kShift] + (at & kMask), bytes, n);
    m_end = size_t(at) + n;
    m_used += n;
    return at;
}

bool TextColumn::set(qsizetype row, QByteArrayView text)
{
    uint32_t& slot = m_offsets[size_t(row)]; // compact() rewrites values, never the vector
    m_garbage += storedSize(slot);
    slot = 0;
    maybeCompact();
    if (text.isEmpty())
        return true;
    unsigned char prefix[10];
    const int prefixLen = lengthPrefix(size_t(text.size()), prefix);
    const size_t n = size_t(prefixLen) + size_t(text.size());
    uint32_t at = reserve(n);
    if (at == 0) {
        compact();
        at = reserve(n);
        if (at == 0)
            return false;
    }
    char* dst = m_blocks[at >> kShift] + (at & kMask);
    std::memcpy(dst, prefix, size_t(prefixLen));
    std::memcpy(dst + prefixLen, text.data(), size_t(text.size()));
    m_end = size_t(at) + n;
    m_used += n;
    slot = at;
    return true;
}

void TextColumn::clear(qsizetype row)
{
    uint32_t& slot = m_offsets[size_t(row)];
    m_garbage += storedSize(slot);
    slot = 0;
}

void TextColumn::clearAll()
{
    std::fill(m_offsets.begin(), m_offsets.end(), 0u);
    releaseBlocks();
}

void TextColumn::maybeCompact()
{
    if (m_garbage > kCompactFloor && m_garbage * 2 > m_used)
        compact();
}

void TextColumn::resize(qsizetype rows)
{
    const size_t n = size_t(rows);
    for (size_t r = n; r < m_offsets.size(); ++r)
        m_garbage += storedSize(m_offsets[r]);
    m_offsets.resize(n, 0u);
    if (n == 0)
        clearAll();
}

void TextColumn::insertRows(qsizetype pos, qsizetype count)
{
    m_offsets.insert(m_offsets.begin() + pos, size_t(count), 0u);
}

void TextColumn::removeRows(qsizetype pos, qsizetype count)
{
    for (qsizetype r = pos; r < pos + count; ++r)
        m_garbage += storedSize(m_offsets[size_t(r)]);
    m_offsets.erase(m_offsets.begin() + pos, m_offsets.begin() + pos + count);
}

void TextColumn::removeRowSet(std::span<const int> ascendingRows)
{
    if (ascendingRows.empty())
        return;
    size_t out = size_t(ascendingRows.front());
    size_t next = 0;
    for (size_t in = out; in < m_offsets.size(); ++in) {
        if (next < ascendingRows.size() && size_t(ascendingRows[next]) == in) {
            m_garbage += storedSize(m_offsets[in]);
            ++next;
            continue;
        }
        m_offsets[out++] = m_offsets[in];
    }
    m_offsets.resize(out);
}

void TextColumn::insertRowSet(std::span<const int> ascendingPositions)
{
    if (ascendingPositions.empty())
        return;
    // Filled from the back, so that each position moves once and the rows above the
    // first insert stay where they are.
    const size_t old = m_offsets.size();
    size_t left = ascendingPositions.size();
    m_offsets.resize(old + left, 0u);
    size_t in = old;
    size_t out = old + left;
    while (left > 0) {
        --out;
        if (size_t(ascendingPositions[left - 1]) == out) {
            m_offsets[out] = 0;
            --left;
        } else {
            m_offsets[out] = m_offsets[--in];
        }
    }
}

void TextColumn::permute(std::span<const int> order)
{
    Offsets next(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        next[i] = m_offsets[size_t(order[i])];
    m_offsets.swap(next);
}

void TextColumn::moveRow(qsizetype from, qsizetype to)
{
    if (from == to)
        return;
    auto it = m_offsets.begin();
    if (from < to)
        std::rotate(it + from, it + from + 1, it + to + 1);
    else
        std::rotate(it + to, it + from, it + from + 1);
}

void TextColumn::compact()
{
    TextColumn fresh;
    fresh.m_offsets = m_offsets;
    fresh.copyFrom(*this);
    // Same storage: callers may hold a reference into m_offsets.
    std::copy(fresh.m_offsets.begin(), fresh.m_offsets.end(), m_offsets.begin());
    releaseBlocks();
    m_blocks = std::move(fresh.m_blocks);
    m_allocations = std::move(fresh.m_allocations);
    m_firstCapacity = fresh.m_firstCapacity;
    m_end = fresh.m_end;
    m_chunkEnd = fresh.m_chunkEnd;
    m_gaps = std::move(fresh.m_gaps);
    fresh.m_gaps.clear();
    m_used = fresh.m_used;
    m_allocated = fresh.m_allocated;
    fresh.m_blocks.clear();
    fresh.m_allocations.clear();
    fresh.m_used = fresh.m_allocated = 0;
}

} // namespace quillon
