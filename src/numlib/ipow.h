// Integer powers of a real, formed by square-and-multiply as compiled code forms them, so that
// results agree bit for bit with the reference computations (std::pow rounds differently).
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
