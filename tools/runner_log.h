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

#include "platform/text.h"

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

// `value` escaped as the connector's job journal escapes its values, so that
// a record stays on one line and reads back exactly.
inline std::string Escape(const std::string& value) { return text::EscapeRecordValue(value); }

}  // namespace runnerlog
