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
    // "-N", a time before 1970, is said as such rather than as no number at all.
    const bool negative = text[0] == '-' && text[1] != '\0';
    std::int64_t value = 0;
    bool tooLate = false;
    for (const char* c = negative ? text + 1 : text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return {EpochProblem::NotANumber, std::nullopt};
        }
        value = value * 10 + (*c - '0');
        if (value > kLatestAlbumTime) {
            tooLate = true;
            value = 1;  // only the digits that follow matter now (and the value is not 0)
        }
    }
    if (negative && value != 0) {
        return {EpochProblem::TooEarly, std::nullopt};
    }
    if (negative) {
        return {EpochProblem::NotANumber, std::nullopt};  // "-0": not as `date +%s` prints 0
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
