// Integer powers of a real, formed by square-and-multiply: the order of the multiplications is
// fixed, so every power, and every digit printed from it, is the same on every run and platform
// (std::pow rounds differently and not the same everywhere).
#pragma once

namespace velk {

inline double ipow(double x, int n) {
  // The magnitude of n in unsigned arithmetic: -n has no int value for the most negative n.
  unsigned int m = n < 0 ? 0u - static_cast<unsigned int>(n) : static_cast<unsigned int>(n);
  double y = (m & 1u) ? x : 1.0;
  while (m >>= 1) {
    x *= x;
    if (m & 1u) y *= x;
  }
  return n < 0 ? 1.0 / y : y;
}

}  // namespace velk
