#include "support/core_allocation_failure.h"

#include <new>

namespace {

bool g_armed = false;
bool g_failed = false;
std::int64_t g_failAt = 0;
std::int64_t g_seen = 0;

bool RefuseThisOne() {
    if (!g_armed) {
        return false;
    }
    if (g_seen++ == g_failAt) {
        g_failed = true;
        return true;
    }
    return false;
}

}  // namespace

FailingAllocation::FailingAllocation(std::int64_t failAt) {
    g_armed = true;
    g_failed = false;
    g_failAt = failAt;
    g_seen = 0;
}

FailingAllocation::~FailingAllocation() {
    g_armed = false;
}

bool FailingAllocation::Failed() const {
    return g_failed;
}

std::int64_t FailingAllocation::Seen() const {
    return g_seen;
}

// The nothrow forms hand out memory from the ordinary forms, so every delete still matches
// the allocator that served it.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (RefuseThisOne()) {
        return nullptr;
    }
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (RefuseThisOne()) {
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}
