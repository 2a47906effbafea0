#include "album/clock.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace {

std::atomic<bool> g_overridden{false};
std::atomic<std::int64_t> g_override{0};

std::optional<std::int64_t> SourceDateEpoch() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::int64_t CurrentTime() {
    if (g_overridden.load()) {
        return g_override.load();
    }
    if (const auto epoch = SourceDateEpoch()) {
        return *epoch;
    }
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void SetClockOverride(std::optional<std::int64_t> seconds) {
    g_override.store(seconds.value_or(0));
    g_overridden.store(seconds.has_value());
}
