#pragma once

// Makes large allocations fail, as they fail on a machine without the memory for
// them: while a FailLargeAllocations lives, every operator new of at least its size
// throws std::bad_alloc (the nothrow forms return null), on every thread.
//
// Include this header in exactly one source file of a test executable: it replaces
// the global operator new and delete of that executable (with malloc and free).

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace quillon::testing {

inline std::atomic<std::size_t> g_failAllocationsFrom{0}; // 0: none fails
inline std::atomic<int> g_failedAllocations{0};

/** While it lives, allocations of @p bytes and more fail. */
class FailLargeAllocations
{
public:
    explicit FailLargeAllocations(std::size_t bytes) { g_failAllocationsFrom = bytes; }
    ~FailLargeAllocations() { g_failAllocationsFrom = 0; }
    FailLargeAllocations(const FailLargeAllocations&) = delete;
    FailLargeAllocations& operator=(const FailLargeAllocations&) = delete;
    /** How many allocations failed since the program started. */
    static int failures() { return g_failedAllocations; }
};

inline void* allocateOrNull(std::size_t bytes)
{
    const std::size_t from = g_failAllocationsFrom;
    if (from != 0 && bytes >= from) {
        ++g_failedAllocations;
        return nullptr;
    }
    return std::malloc(bytes ? bytes : 1);
}

} // namespace quillon::testing

void* operator new(std::size_t bytes)
{
    if (void* p = quillon::testing::allocateOrNull(bytes))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes)
{
    return operator new(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept
{
    return quillon::testing::allocateOrNull(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept
{
    return quillon::testing::allocateOrNull(bytes);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
