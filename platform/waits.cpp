#include "platform/waits.h"

#include <algorithm>
#include <mutex>

#include "platform/platform.h"

namespace platform {

namespace {

struct Budget {
    std::mutex guard;
    bool limited = false;
    std::chrono::milliseconds left{0};
    WaitsSpent spent;
};

Budget& TheBudget() {
    static Budget budget;
    return budget;
}

}  // namespace

void LimitWaitsForOthers(std::chrono::milliseconds total) {
    Budget& budget = TheBudget();
    std::lock_guard<std::mutex> lock(budget.guard);
    budget.limited = true;
    budget.left = std::max(total, std::chrono::milliseconds(0));
    budget.spent = WaitsSpent{};
}

WaitsSpent WaitsForOthersSpent() {
    Budget& budget = TheBudget();
    std::lock_guard<std::mutex> lock(budget.guard);
    return budget.spent;
}

namespace waits {

std::chrono::milliseconds Allowance(std::chrono::milliseconds own) {
    Budget& budget = TheBudget();
    std::lock_guard<std::mutex> lock(budget.guard);
    return budget.limited ? std::min(own, budget.left) : own;
}

void Waited(std::chrono::milliseconds waited, bool got, const std::function<std::string()>& held,
            uint32_t error) {
    Budget& budget = TheBudget();
    std::unique_lock<std::mutex> lock(budget.guard);
    if (!budget.limited) return;
    budget.left = std::max(budget.left - waited, std::chrono::milliseconds(0));
    if (got || budget.left.count() > 0 || budget.spent.spent) return;
    budget.spent.spent = true;
    lock.unlock();  // `held` may take a moment (it may look up the holder)
    WaitsSpent spent{true, held ? held() : std::string(), SystemErrorOf(error)};
    lock.lock();
    budget.spent = spent;
}

}  // namespace waits

}  // namespace platform
