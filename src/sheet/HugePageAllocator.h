#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace quillon {

/** Blocks of this size and more are aligned to it and offered to the kernel as huge
 *  pages, so that filling a million-record column faults a page every 2 MiB instead of
 *  every 4 KiB. */
constexpr std::size_t kHugePage = std::size_t(2) << 20;

/** Allocates @p bytes; large blocks huge-page aligned and advised. Free with std::free. */
void* allocateLarge(std::size_t bytes);

/** A std::allocator for the big arrays of the sheet (the row positions of a column). */
template<typename T> struct HugePageAllocator
{
    using value_type = T;
    HugePageAllocator() = default;
    template<typename U> HugePageAllocator(const HugePageAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) { std::free(p); }
    template<typename U> bool operator==(const HugePageAllocator<U>&) const { return true; }
};

} // namespace quillon
