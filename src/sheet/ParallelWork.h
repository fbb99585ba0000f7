#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace quillon {

/** Runs work(part, parts) for part 0 .. parts-1, part 0 on the calling thread and the
 *  others on threads of their own; returns when all are done. When a part fails with
 *  an exception (memory running out: std::bad_alloc), the others still run to their
 *  end, and then the first failure is thrown again on the calling thread, for the
 *  command that asked for the work to report. */
template<typename F> void RunInParallel(size_t parts, F&& work)
{
    parts = std::max<size_t>(parts, 1);
    std::vector<std::exception_ptr> failures(parts);
    const auto runPart = [&work, &failures, parts](size_t p) {
        try {
            work(p, parts);
        } catch (...) {
            failures[p] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    try {
        threads.reserve(parts - 1);
        for (size_t p = 1; p < parts; ++p)
            threads.emplace_back(runPart, p);
    } catch (...) {
        // No memory or no thread for another part: the parts not started run here.
        for (size_t p = threads.size() + 1; p < parts; ++p)
            runPart(p);
    }
    runPart(0);
    for (auto& t : threads)
        t.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

/** Threads worth using for heavy work on this machine (1 or 2). */
inline size_t WorkerCount()
{
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

/** std::sort, split over two threads for large inputs; @p less must be a strict
 *  weak order that never finds two elements equal when the result must be unique. */
template<typename T, typename Less> void ParallelSort(std::vector<T>& v, Less less)
{
    if (v.size() < 100'000 || WorkerCount() < 2) {
        std::sort(v.begin(), v.end(), less);
        return;
    }
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    RunInParallel(2, [&](size_t part, size_t) {
        if (part == 0)
            std::sort(v.begin(), mid, less);
        else
            std::sort(mid, v.end(), less);
    });
    std::inplace_merge(v.begin(), mid, v.end(), less);
}

} // namespace quillon
