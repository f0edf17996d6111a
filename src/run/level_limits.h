// What a level request may ask for: the limits set by the level file's count field and by J(J+1),
// which the term values and the centrifugal term form in 32-bit integer arithmetic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "run/state_level_files.h"

namespace velk {

// 46340·46341 = 2147441940 is the last product J(J+1) below 2^31; J = -46341 gives the same one.
inline constexpr int32_t kLargestJ = 46340;
inline constexpr int32_t kSmallestJ = -46341;

// The count heads the level file in five columns (I5) and is read back by the energy-window job:
// 99999 levels at most, and a negative product of reversed ranges down to -9999.
inline constexpr int64_t kLargestLevelCount = 99999;
inline constexpr int64_t kSmallestLevelCount = -9999;

// Why a request cannot be served, as the end of a message ("J = 46341 is requested; ..."), or
// nothing. The count is the product of the three range sizes, last - first + 1 each, as the level
// file announces it: it must fit a 32-bit integer and the count field. J is checked only when the
// request asks for levels (no range is empty), since only then is J(J+1) formed.
std::optional<std::string> level_request_problem(const LevelRanges& ranges);

}  // namespace velk
