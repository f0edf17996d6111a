// Results of energy iterations already done on one curve, by trial energy.
//
// One iteration of the shooting method is a pure function of its trial energy once the curve is
// fixed, as long as the pass from the top finds its own joint (only a pass that meets no maximum
// reads the joint remembered from before). The searches of the levels of one J all start from the
// same energy and bracket and share their first bisection steps, and a Lambda-doubled state solves
// each level twice: those iterations are taken from here.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

namespace velk {

struct IterationOutcome {
  int32_t node = 0;
  int32_t joint = 0;  // where the pass from the top met its maximum
  double Dcor = 0.0;
};

class IterationCache {
 public:
  IterationCache() : slots_(kSlots) {}

  // Forgets every entry: the curve is about to change.
  void clear() {
    if (++generation_ == 0) {
      for (Slot& slot : slots_) slot.generation = 0;
      generation_ = 1;
    }
  }

  // Takes every entry of `other` (a cache of the same curve).
  void merge(const IterationCache& other) {
    for (const Slot& slot : other.slots_) {
      if (slot.generation == other.generation_)
        insert(std::bit_cast<double>(slot.key), slot.outcome);
    }
  }

  const IterationOutcome* find(double E) const {
    const uint64_t key = std::bit_cast<uint64_t>(E);
    for (std::size_t i = home(key), probes = 0; probes < kProbes; i = (i + 1) & kMask, ++probes) {
      const Slot& slot = slots_[i];
      if (slot.generation != generation_) return nullptr;
      if (slot.key == key) return &slot.outcome;
    }
    return nullptr;
  }

  // Keeps the outcome unless its neighbourhood of the table is full.
  void insert(double E, const IterationOutcome& outcome) {
    const uint64_t key = std::bit_cast<uint64_t>(E);
    for (std::size_t i = home(key), probes = 0; probes < kProbes; i = (i + 1) & kMask, ++probes) {
      Slot& slot = slots_[i];
      if (slot.generation == generation_ && slot.key != key) continue;
      slot = {key, generation_, outcome};
      return;
    }
  }

 private:
  static constexpr std::size_t kSlots = 1 << 14;
  static constexpr std::size_t kMask = kSlots - 1;
  static constexpr std::size_t kProbes = 16;
  struct Slot {
    uint64_t key = 0;
    uint32_t generation = 0;
    IterationOutcome outcome;
  };
  static std::size_t home(uint64_t key) {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 50) & kMask;
  }
  std::vector<Slot> slots_;
  uint32_t generation_ = 1;
};

}  // namespace velk
