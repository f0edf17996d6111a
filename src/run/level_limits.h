// What a level request may ask for: the limits set by the level file's count field and by J(J+1),
// which the term values and the centrifugal term form in 32-bit integer arithmetic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "io/level_file.h"
#include "run/state_level_files.h"

namespace velk {

// kLargestJ, kSmallestJ, kLargestLevelCount and kSmallestLevelCount (io/level_file.h) bound a
// request: J(J+1) must fit 32 bits, and the count the I5 field that the energy-window job reads
// back.
// Why a request cannot be served, as the end of a message ("J = 46341 is requested; ..."), or
// nothing. The count is the product of the three range sizes, last - first + 1 each, as the level
// file announces it: it must fit a 32-bit integer and the count field. J is checked only when the
// request asks for levels (no range is empty), since only then is J(J+1) formed.
std::optional<std::string> level_request_problem(const LevelRanges& ranges);

}  // namespace velk
