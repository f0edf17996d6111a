// Shared pieces of the level files written by both level producers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velk {

// The count announced in the first header line: the product of the three range sizes as they
// come, formed in 32-bit arithmetic (it wraps rather than clamps, and may be negative).
int64_t level_count(int32_t vmin, int32_t vmax, int32_t Jmin, int32_t Jmax, int32_t pmin,
                    int32_t pmax);

// J(J+1) in 32-bit integer arithmetic, wrapping as the reference computation does.
inline int32_t rotational_product(int32_t J) {
  return static_cast<int32_t>(static_cast<uint32_t>(J) * (static_cast<uint32_t>(J) + 1u));
}

// A file name as the program writes it: exactly 12 characters, cut or blank padded.
std::string padded_name(std::string_view name);

}  // namespace velk
