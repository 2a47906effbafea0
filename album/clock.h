#pragma once

#include <cstdint>
#include <optional>

// The program's one source of "the current time", in whole seconds since
// 1970-01-01 00:00:00 UTC. When SOURCE_DATE_EPOCH holds a number, that number is the time, so
// that two builds of the same album give the same bytes.
std::int64_t CurrentTime();

// True when SOURCE_DATE_EPOCH is set but is not a plain decimal number of seconds (digits
// only, as `date +%s` prints them), so the clock goes by the real time instead; the programs
// say so, the core prints nothing.
bool SourceDateEpochIsMalformed();

// Tests pin the clock; std::nullopt returns to the real one.
void SetClockOverride(std::optional<std::int64_t> seconds);
