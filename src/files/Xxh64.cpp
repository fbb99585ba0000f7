#include "files/Xxh64.h"

#include <bit>
#include <cstring>

namespace quillon {

namespace {

constexpr uint64_t P1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t P2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t P3 = 0x165667B19E3779F9ull;
constexpr uint64_t P4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t P5 = 0x27D4EB2F165667C5ull;

inline uint64_t rotl(uint64_t x, int r)
{
    return (x << r) | (x >> (64 - r));
}

// The input is taken as little-endian words whatever the machine.
inline uint64_t read64(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

inline uint32_t read32(const unsigned char* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    return v;
}

inline uint64_t round(uint64_t acc, uint64_t input)
{
    acc += input * P2;
    acc = rotl(acc, 31);
    return acc * P1;
}

inline uint64_t mergeRound(uint64_t acc, uint64_t val)
{
    acc ^= round(0, val);
    return acc * P1 + P4;
}

} // namespace

Xxh64::Xxh64(uint64_t seed) : m_v{seed + P1 + P2, seed + P2, seed, seed - P1}, m_seed(seed) {}

void Xxh64::update(const void* data, size_t size)
{
    auto p = static_cast<const unsigned char*>(data);
    const unsigned char* const end = p + size;
    m_total += size;
    if (m_buffered + size < 32) {
        if (size)
            std::memcpy(m_buffer + m_buffered, p, size);
        m_buffered += size;
        return;
    }
    if (m_buffered) {
        const size_t fill = 32 - m_buffered;
        std::memcpy(m_buffer + m_buffered, p, fill);
        p += fill;
        for (int i = 0; i < 4; ++i)
            m_v[i] = round(m_v[i], read64(m_buffer + 8 * i));
        m_buffered = 0;
    }
    uint64_t v0 = m_v[0], v1 = m_v[1], v2 = m_v[2], v3 = m_v[3];
    while (end - p >= 32) {
        v0 = round(v0, read64(p));
        v1 = round(v1, read64(p + 8));
        v2 = round(v2, read64(p + 16));
        v3 = round(v3, read64(p + 24));
        p += 32;
    }
    m_v[0] = v0, m_v[1] = v1, m_v[2] = v2, m_v[3] = v3;
    m_buffered = size_t(end - p);
    if (m_buffered)
        std::memcpy(m_buffer, p, m_buffered);
}

uint64_t Xxh64::digest() const
{
    uint64_t h;
    if (m_total >= 32) {
        h = rotl(m_v[0], 1) + rotl(m_v[1], 7) + rotl(m_v[2], 12) + rotl(m_v[3], 18);
        for (uint64_t v : m_v)
            h = mergeRound(h, v);
    } else {
        h = m_seed + P5;
    }
    h += m_total;
    const unsigned char* p = m_buffer;
    size_t left = m_buffered;
    while (left >= 8) {
        h ^= round(0, read64(p));
        h = rotl(h, 27) * P1 + P4;
        p += 8;
        left -= 8;
    }
    if (left >= 4) {
        h ^= uint64_t(read32(p)) * P1;
        h = rotl(h, 23) * P2 + P3;
        p += 4;
        left -= 4;
    }
    while (left--) {
        h ^= uint64_t(*p++) * P5;
        h = rotl(h, 11) * P1;
    }
    h ^= h >> 33;
    h *= P2;
    h ^= h >> 29;
    h *= P3;
    h ^= h >> 32;
    return h;
}

uint64_t Xxh64::of(const void* data, size_t size, uint64_t seed)
{
    Xxh64 h(seed);
    h.update(data, size);
    return h.digest();
}

} // namespace quillon
