#include "run/level_limits.h"

#include <cstdint>

namespace velk {

std::optional<std::string> level_request_problem(const LevelRanges& r) {
  const int64_t sizes[] = {int64_t{r.vmax} - r.vmin + 1, int64_t{r.Jmax} - r.Jmin + 1,
                           int64_t{r.pmax} - r.pmin + 1};
  // Each size lies within ±2^32, so even the product of two may leave 64 bits.
  int64_t count = 0;
  const bool overflow = __builtin_mul_overflow(sizes[0], sizes[1], &count) ||
                        __builtin_mul_overflow(count, sizes[2], &count);
  const bool asks_for_levels = sizes[0] > 0 && sizes[1] > 0 && sizes[2] > 0;
  if (overflow || count > INT32_MAX || count < INT32_MIN) {
    return std::string(
        "the number of levels requested (the product of the sizes of the v, J "
        "and parity ranges) overflows a 32-bit integer");
  }
  if (asks_for_levels && count > kLargestLevelCount) {
    return std::to_string(count) + " levels are requested; a level file holds at most 99999";
  }
  if (count > kLargestLevelCount || count < kSmallestLevelCount) {
    return "the level count " + std::to_string(count) +
           " (the product of the sizes of the v, J and parity ranges) does not fit the five "
           "columns of a level file's count";
  }
  if (!asks_for_levels) return std::nullopt;
  if (r.Jmax > kLargestJ || r.Jmin < kSmallestJ) {
    const int32_t J = r.Jmax > kLargestJ ? r.Jmax : r.Jmin;
    return "J = " + std::to_string(J) +
           " is requested; J(J+1) is formed in 32-bit integers, which hold J = -46341 to 46340";
  }
  return std::nullopt;
}

}  // namespace velk
