#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

/**
 * The 64-bit xxHash checksum (XXH64), fed in pieces of any size. The native grid
 * file ends with the XXH64 (seed 0) of every byte before it; any xxHash library
 * computes the same value.
 */
class Xxh64
{
public:
    explicit Xxh64(uint64_t seed = 0);

    void update(const void* data, size_t size);
    /** The checksum of everything fed so far; feeding may go on afterwards. */
    uint64_t digest() const;

    static uint64_t of(const void* data, size_t size, uint64_t seed = 0);

private:
    uint64_t m_v[4];
    uint64_t m_seed;
    uint64_t m_total = 0;
    unsigned char m_buffer[32];
    size_t m_buffered = 0;
};

} // namespace quillon
