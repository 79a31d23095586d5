// The time a process waits for what other processes hold (a lock, a turn, a
// file another program has open), kept in one place for both builds.
//
// Each wait has its own bound. A job process also has a budget over its whole
// life (platform::LimitWaitsForOthers): whoever may read the settings file can
// lock it, and with a bound per call alone a job making dozens of calls could
// be held up for many minutes. Once the budget is spent, every later wait only
// tries once; the callers then go on without what they waited for and stay
// safe by other means (a replace checks the file first).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace platform::waits {

// How long a wait whose own bound is `own` may take now: `own`, or what is
// left of the budget when that is less (zero once it is spent).
std::chrono::milliseconds Allowance(std::chrono::milliseconds own);

// Tells the budget about a wait that took `waited` and got (`got`) or did not
// get what it waited for. When it did not and the budget is spent, the first
// such wait is kept for WaitsSpent: `held()` says what was held and by whom,
// `error` is the system's error the last try gave.
void Waited(std::chrono::milliseconds waited, bool got, const std::function<std::string()>& held,
            uint32_t error);

// Milliseconds since `start`, for Waited.
inline std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

}  // namespace platform::waits
