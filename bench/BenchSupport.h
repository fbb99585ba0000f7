#pragma once

// Small helpers shared by the benchmarks: a monotonic stopwatch, processor time,
// resident memory from /proc, and a deterministic generator of realistic listing texts.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace bench {

class Stopwatch
{
public:
    Stopwatch() : m_start(std::chrono::steady_clock::now()) {}
    double seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }
    void restart() { m_start = std::chrono::steady_clock::now(); }

private:
    std::chrono::steady_clock::time_point m_start;
};

/** A /proc/self/status field in bytes ("VmRSS", "VmHWM"). */
inline long long procStatusBytes(const char* field)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return 0;
    char line[256];
    long long kb = 0;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
            kb = std::atoll(line + n + 1);
            break;
        }
    }
    std::fclose(f);
    return kb * 1024;
}
inline long long residentBytes() { return procStatusBytes("VmRSS"); }
inline long long peakResidentBytes() { return procStatusBytes("VmHWM"); }

/** xorshift64*: fast, deterministic. */
class Random
{
public:
    explicit Random(uint64_t seed = 0x9E3779B97F4A7C15ull) : m_state(seed ? seed : 1) {}
    uint64_t next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Dull;
    }
    uint32_t below(uint32_t n) { return uint32_t(next() % n); }

private:
    uint64_t m_state;
};

/** Realistic directory listings: name, street, city, state, zip, phone, web, email,
 *  category, note. About 80 bytes of text a record. */
class ListingGenerator
{
public:
    explicit ListingGenerator(uint64_t seed = 42) : m_rng(seed) {}

    static constexpr int kColumns = 10;

    /** Writes the text of @p col for the next record into @p out. Call cols 0..9 in order. */
    void cell(int col, std::string& out)
    {
        static const char* first[] = {"Smith", "Johnson", "Garcia", "Miller", "Davis", "Lopez", "Wilson",
                                      "Anderson", "Thomas", "Moore", "Martin", "Lee", "Nguyen", "Clark"};
        static const char* kind[] = {"Hardware", "Grocery", "Dental", "Auto Repair", "Bakery", "Pharmacy",
                                     "Law Office", "Plumbing", "Pizza", "Florist"};
        static const char* street[] = {"Main St", "Oak Ave", "Elm St", "Maple Dr", "Park Rd", "Cedar Ln",
                                       "Washington Blvd", "Lake St", "Hill Rd", "2nd Ave"};
        static const char* city[] = {"Springfield", "Riverside", "Franklin", "Greenville", "Bristol",
                                     "Clinton", "Fairview", "Salem", "Madison", "Georgetown"};
        static const char* state[] = {"IL", "CA", "TX", "NY", "OH", "PA", "MI", "GA", "NC", "WA"};
        out.clear();
        char buf[96];
        switch (col) {
        case 0:
            m_a = m_rng.below(14);
            m_b = m_rng.below(10);
            std::snprintf(buf, sizeof buf, "%s %s", first[m_a], kind[m_b]);
            break;
        case 1:
            std::snprintf(buf, sizeof buf, "%u %s", 1 + m_rng.below(9899), street[m_rng.below(10)]);
            break;
        case 2:
            std::snprintf(buf, sizeof buf, "%s", city[m_rng.below(10)]);
            break;
        case 3:
            std::snprintf(buf, sizeof buf, "%s", state[m_rng.below(10)]);
            break;
        case 4:
            std::snprintf(buf, sizeof buf, "%05u", 10000 + m_rng.below(89999));
            break;
        case 5:
            std::snprintf(buf, sizeof buf, "(%03u) 555-%04u", 200 + m_rng.below(799), m_rng.below(10000));
            break;
        case 6:
            std::snprintf(buf, sizeof buf, "www.%s%u.com", first[m_a], m_rng.below(1000));
            break;
        case 7:
            std::snprintf(buf, sizeof buf, "info@%s.com", first[m_a]);
            break;
        case 8:
            std::snprintf(buf, sizeof buf, "%s", kind[m_b]);
            break;
        default:
            buf[0] = m_rng.below(4) == 0 ? 'x' : '\0';
            buf[1] = '\0';
            break;
        }
        out.assign(buf);
    }

private:
    Random m_rng;
    uint32_t m_a = 0;
    uint32_t m_b = 0;
};

inline void printFigure(const char* name, double value, const char* unit, const char* target = nullptr)
{
    if (target)
        std::printf("%-46s %12.3f %-8s (target %s)\n", name, value, unit, target);
    else
        std::printf("%-46s %12.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

/** Processor time of the whole process, all threads, in seconds. */
inline double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

/** Wall time and processor time (all threads) of one step, printed as one figure. */
class Timer
{
public:
    Timer() { restart(); }
    void restart()
    {
        m_wall.restart();
        m_cpu = cpuSeconds();
    }
    void report(const char* name, const char* target = nullptr)
    {
        const double wall = m_wall.seconds();
        const double cpu = cpuSeconds() - m_cpu;
        char line[160];
        std::snprintf(line, sizeof line, "%s [cpu %.3f s]", name, cpu);
        printFigure(line, wall, "s", target);
        restart();
    }

private:
    Stopwatch m_wall;
    double m_cpu = 0;
};

} // namespace bench
