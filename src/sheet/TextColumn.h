#pragma once

#include "sheet/HugePageAllocator.h"

#include <QByteArrayView>

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace quillon {

/**
 * The cell texts of one sheet column.
 *
 * Texts are kept as UTF-8 in an arena, each preceded by its length as a
 * variable-length integer; a row holds one 32-bit position in the arena, 0 for an
 * empty cell. The arena is a list of 64 KiB blocks that are never moved, so
 * growing it copies nothing; a text longer than a block gets consecutive block
 * numbers in one allocation. Once a column holds a few MiB, its blocks come in 2 MiB
 * chunks laid out for huge pages. An edit appends the new text and moves the row's
 * position; the arena is compacted when the text no longer used passes half of
 * it. Row operations move positions only, never text.
 */
class TextColumn
{
public:
    TextColumn() = default;
    explicit TextColumn(qsizetype rows) : m_offsets(size_t(rows), 0) {}
    TextColumn(const TextColumn& other);
    TextColumn& operator=(const TextColumn& other);
    TextColumn(TextColumn&& other) noexcept;
    TextColumn& operator=(TextColumn&& other) noexcept;
    ~TextColumn();

    qsizetype rowCount() const { return qsizetype(m_offsets.size()); }

    /** The text of @p row; an empty view for an empty cell. Valid until the next change. */
    QByteArrayView utf8(qsizetype row) const
    {
        const uint32_t at = m_offsets[size_t(row)];
        return at == 0 ? QByteArrayView() : storedText(at);
    }
    bool isEmpty(qsizetype row) const { return m_offsets[size_t(row)] == 0; }
    /** Asks the processor to fetch the text of @p row ahead of use: loops that visit rows
     *  out of storage order (after a sort) call it some rows ahead. */
    void prefetch(qsizetype row) const
    {
        const uint32_t at = m_offsets[size_t(row)];
        if (at != 0)
            __builtin_prefetch(m_blocks[at >> kShift] + (at & kMask));
    }

    /** Sets the text of @p row. Returns false, leaving the cell empty, when the column
     *  would outgrow its 4 GiB arena. */
    bool set(qsizetype row, QByteArrayView text);
    /** The fast path of set() for an empty cell and a short text that fits the current
     *  chunk; false (nothing done) otherwise. */
    bool setEmptyCell(qsizetype row, QByteArrayView text)
    {
        const size_t len = size_t(text.size());
        if (len - 1 >= 127 || m_end + len + 1 > m_chunkEnd || m_offsets[size_t(row)] != 0)
            return false;
        char* dst = m_blocks[m_end >> kShift] + (m_end & kMask);
        dst[0] = char(len);
        __builtin_memcpy(dst + 1, text.data(), len);
        m_offsets[size_t(row)] = uint32_t(m_end);
        m_end += len + 1;
        m_used += len + 1;
        return true;
    }
    void clear(qsizetype row);
    void clearAll();

    void resize(qsizetype rows);
    void insertRows(qsizetype pos, qsizetype count);
    void removeRows(qsizetype pos, qsizetype count);
    /** Removes the rows listed, in ascending order without repeats, in one pass. */
    void removeRowSet(std::span<const int> ascendingRows);
    /** Inserts empty rows so that they stand at @p ascendingPositions (row numbers after
     *  the insert, ascending without repeats), in one pass: the inverse of removeRowSet(). */
    void insertRowSet(std::span<const int> ascendingPositions);
    /** Reorders the rows: new row i is old row order[i]; order is a permutation. */
    void permute(std::span<const int> order);
    /** Moves row @p from to position @p to, shifting the rows between. */
    void moveRow(qsizetype from, qsizetype to);

    /** Calls @p visit(position, text) for every text stored in the arena, in storage
     *  order: the texts of rows (position() tells which) and texts no longer used. A
     *  sequential walk, much faster than visiting rows once they are out of storage
     *  order. The walk ends early when @p visit returns false. */
    template<typename F> void forEachStored(F&& visit) const
    {
        size_t pos = 1;
        size_t gap = 0;
        while (pos < m_end) {
            if (gap < m_gaps.size() && pos == m_gaps[gap].first) {
                pos = m_gaps[gap].second;
                ++gap;
                continue;
            }
            const auto at = uint32_t(pos);
            const QByteArrayView text = storedText(at);
            if (!visit(at, text))
                return;
            pos += storedSize(at, text);
        }
    }
    /** The arena position of @p row's text; 0 for an empty cell. */
    uint32_t position(qsizetype row) const { return m_offsets[size_t(row)]; }

    /** Rewrites the arena in row order without unused text. */
    void compact();
    /** Makes this column an exact copy of @p other's storage, unused text included: one
     *  allocation and a copy of the arena as it lies, much faster than the copy
     *  constructor, which writes every text again in row order. For a copy taken to be
     *  read at once, like the one an autosave writes. */
    void copyStorage(const TextColumn& other);

    /** Bytes of arena in use, unused text included. */
    size_t arenaBytes() const { return m_used; }
    size_t garbageBytes() const { return m_garbage; }
    /** Bytes of heap this column holds. */
    size_t memoryBytes() const;

private:
    static constexpr uint32_t kShift = 16;
    static constexpr uint32_t kBlock = 1u << kShift;
    static constexpr uint32_t kMask = kBlock - 1;

    /** The text stored at arena position @p at (not 0), after its length prefix. */
    QByteArrayView storedText(uint32_t at) const
    {
        const auto* p = reinterpret_cast<const unsigned char*>(m_blocks[at >> kShift]) + (at & kMask);
        uint32_t len = *p++;
        if (len & 0x80u) {
            len &= 0x7fu;
            for (int shift = 7;; shift += 7) {
                const uint32_t b = *p++;
                len |= (b & 0x7fu) << shift;
                if (!(b & 0x80u))
                    break;
            }
        }
        return {reinterpret_cast<const char*>(p), qsizetype(len)};
    }
    /** Bytes taken at @p at by @p text (its storedText()) with its length prefix. */
    size_t storedSize(uint32_t at, QByteArrayView text) const
    {
        const char* start = m_blocks[at >> kShift] + (at & kMask);
        return size_t(text.data() + text.size() - start);
    }
    /** Bytes taken at @p at with the length prefix; 0 for position 0 (an empty cell). */
    size_t storedSize(uint32_t at) const { return at == 0 ? 0 : storedSize(at, storedText(at)); }
    /** A position where @p n bytes can be written in one piece; 0 when the arena is full. */
    uint32_t reserve(size_t n);
    uint32_t append(const unsigned char* bytes, size_t n);
    void maybeCompact();
    void releaseBlocks();
    void copyFrom(const TextColumn& other);

    using Offsets = std::vector<uint32_t, HugePageAllocator<uint32_t>>;

    Offsets m_offsets;
    std::vector<char*> m_blocks;      ///< block number -> its first byte; a chunk's blocks are contiguous
    std::vector<char*> m_allocations; ///< what to free
    size_t m_firstCapacity = 0;       ///< block 0 grows until it is a whole block
    size_t m_end = 1;                 ///< next free position; 0 means "empty cell"
    size_t m_chunkEnd = 0;            ///< end of the chunk m_end writes into
    size_t m_used = 0;
    size_t m_allocated = 0;
    size_t m_garbage = 0;
    std::vector<std::pair<size_t, size_t>> m_gaps; ///< ascending unused stretches [first, second) between chunks
};

} // namespace quillon
