#include "album/clock.h"

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace {

std::atomic<bool> g_overridden{false};
std::atomic<std::int64_t> g_override{0};

struct CEpochSetting {
    EpochProblem problem = EpochProblem::None;
    std::optional<std::int64_t> seconds;  // none when unset or unusable
};

// An empty value counts as unset, as most tools that honour the variable take it.
CEpochSetting ReadSourceDateEpoch() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0') {
        return {};
    }
    std::int64_t value = 0;
    bool tooLate = false;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return {EpochProblem::NotANumber, std::nullopt};
        }
        value = value * 10 + (*c - '0');
        if (value > kLatestAlbumTime) {
            tooLate = true;
            value = 0;  // only the digits that follow matter now
        }
    }
    if (tooLate) {
        return {EpochProblem::TooLate, std::nullopt};
    }
    return {EpochProblem::None, value};
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

EpochProblem SourceDateEpochProblem() {
    return ReadSourceDateEpoch().problem;
}

void SetClockOverride(std::optional<std::int64_t> seconds) {
    g_override.store(seconds.value_or(0));
    g_overridden.store(seconds.has_value());
}
