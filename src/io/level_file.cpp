#include "io/level_file.h"

namespace velk {

int64_t level_count(int32_t vmin, int32_t vmax, int32_t Jmin, int32_t Jmax, int32_t pmin,
                    int32_t pmax) {
  const auto size = [](int32_t first, int32_t last) {
    return static_cast<uint32_t>(static_cast<int64_t>(last) - first + 1);
  };
  // Unsigned arithmetic wraps like the 32-bit product of the reference computation.
  const uint32_t product = size(vmin, vmax) * size(Jmin, Jmax) * size(pmin, pmax);
  return static_cast<int32_t>(product);
}

std::string padded_name(std::string_view name) {
  std::string padded(name.substr(0, 12));
  padded.resize(12, ' ');
  return padded;
}

}  // namespace velk
