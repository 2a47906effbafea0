#pragma once

#include <cstdint>

// Makes one nothrow allocation fail: the `failAt`-th (0 = the first) made while the object
// lives. The program's own code allocates with new (std::nothrow), so this reaches every
// allocation whose failure it must survive.
class FailingAllocation {
public:
    explicit FailingAllocation(std::int64_t failAt);
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    // Whether the chosen allocation was reached (and refused).
    bool Failed() const;
    // Nothrow allocations seen so far.
    std::int64_t Seen() const;
};

// Calls `attempt(failing)` with the first, second, ... nothrow allocation refused, until a call
// reaches no refusal; the attempt asks `failing.Failed()` what happened to it. Returns the
// number of calls that had a refusal, or -1 if that never ended.
template <typename Attempt>
int ForEachFailingAllocation(Attempt attempt) {
    constexpr std::int64_t kGiveUp = 100000;
    for (std::int64_t failAt = 0; failAt < kGiveUp; ++failAt) {
        FailingAllocation failing(failAt);
        attempt(static_cast<const FailingAllocation&>(failing));
        if (!failing.Failed()) {
            return static_cast<int>(failAt);
        }
    }
    return -1;
}
