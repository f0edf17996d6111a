#include "io/thread_count.h"

#include <algorithm>
#include <charconv>
#include <thread>

namespace velk {

int thread_count(std::string_view text) {
  int count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (error != std::errc() || end != text.data() + text.size()) return 0;
  return count >= 1 && count <= kMaxThreads ? count : 0;
}

int threads_or_one_per_core(int requested) {
  if (requested > 0) return requested;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace velk
