#include "album/clock.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <limits>

namespace {

std::atomic<bool> g_overridden{false};
std::atomic<std::int64_t> g_override{0};

struct CEpochSetting {
    bool set = false;
    std::optional<std::int64_t> seconds;  // none when set but malformed
};

// An empty value counts as unset, as most tools that honour the variable take it.
CEpochSetting ReadSourceDateEpoch() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0') {
        return {};
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9' || value > (kMax - (*c - '0')) / 10) {
            return {true, std::nullopt};
        }
        value = value * 10 + (*c - '0');
    }
    return {true, value};
}

}  // namespace

std::int64_t CurrentTime() {
    if (g_overridden.load()) {
        return g_override.load();
    }
    if (const auto epoch = ReadSourceDateEpoch().seconds) {
        return *epoch;
    }
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool SourceDateEpochIsMalformed() {
    const CEpochSetting setting = ReadSourceDateEpoch();
    return setting.set && !setting.seconds;
}

void SetClockOverride(std::optional<std::int64_t> seconds) {
    g_override.store(seconds.value_or(0));
    g_overridden.store(seconds.has_value());
}
