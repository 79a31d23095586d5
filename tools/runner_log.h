// What the stand-in runners and the benchmark driver share: the clock the
// runners stamp their start with, and how a value goes into a one-line record.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include <cstdint>
#include <string>

namespace runnerlog {

// A monotonic clock in nanoseconds, the same in every process of a machine
// (POSIX: CLOCK_MONOTONIC; Win32: QueryPerformanceCounter).
inline std::uint64_t NowNs() {
#ifdef _WIN32
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    const std::uint64_t c = static_cast<std::uint64_t>(count.QuadPart);
    const std::uint64_t f = static_cast<std::uint64_t>(frequency.QuadPart);
    return c / f * 1000000000ull + c % f * 1000000000ull / f;
#else
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull +
           static_cast<std::uint64_t>(ts.tv_nsec);
#endif
}

// `value` with '%', CR and LF written as %25, %0D and %0A, so that a record
// stays on one line and reads back exactly.
inline std::string Escape(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '%')
            out += "%25";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

}  // namespace runnerlog
