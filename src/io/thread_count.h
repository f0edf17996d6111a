// The --threads option every program takes: a whole number of threads, one per core by default.
#pragma once

#include <string_view>

namespace velk {

// Counts above this only share the same cores.
inline constexpr int kMaxThreads = 256;

// The count the text names, or 0 when it is not a whole number from 1 to kMaxThreads.
int thread_count(std::string_view text);

// `requested`, or one thread per core (one when the machine does not say) when it is 0.
int threads_or_one_per_core(int requested);

}  // namespace velk
