#pragma once

#include <cstdint>
#include <optional>

// The program's one source of "the current time", in whole seconds since
// 1970-01-01 00:00:00 UTC. When SOURCE_DATE_EPOCH holds a number, that number is the time, so
// that two builds of the same album give the same bytes.
std::int64_t CurrentTime();

// The last second an album's dates can hold: they count seconds from 1904 in 32 bits.
inline constexpr std::int64_t kLatestAlbumTime = 2212122495;  // 2040-02-06 06:28:15 UTC

// What is wrong with SOURCE_DATE_EPOCH when it is set: not a plain decimal number of seconds
// (digits only, as `date +%s` prints them), a time before 1970 ("-N"), which an album's
// creation time cannot hold, or a time after kLatestAlbumTime, which an album would wrap
// round. Any way the clock goes by the real time instead; the programs say so, the core prints
// nothing.
enum class EpochProblem { None, NotANumber, TooEarly, TooLate };
EpochProblem SourceDateEpochProblem();

// Tests pin the clock; std::nullopt returns to the real one.
void SetClockOverride(std::optional<std::int64_t> seconds);
