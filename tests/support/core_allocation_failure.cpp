#include "support/core_allocation_failure.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>

namespace {

std::int64_t g_untilRefusal = -1;  // allocations to serve before one is refused; -1: refuse none
bool g_refused = false;

bool Refuse() {
    if (g_untilRefusal < 0 || g_untilRefusal-- != 0) {
        return false;
    }
    return g_refused = true;
}

}  // namespace

int ForEachFailingAllocation(const std::function<bool()>& attempt) {
    for (int failAt = 0; failAt < 100000; ++failAt) {
        g_untilRefusal = failAt;
        g_refused = false;
        const bool ok = attempt();
        g_untilRefusal = -1;
        EXPECT_EQ(ok, !g_refused) << "allocation " << failAt << " refused";
        if (!g_refused) {
            return failAt;
        }
    }
    return -1;
}

// The nothrow forms hand out memory from the ordinary forms, so every delete still matches
// the allocator that served it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Refuse() ? nullptr : ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Refuse() ? nullptr : ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}
