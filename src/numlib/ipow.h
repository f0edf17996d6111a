// Integer powers of a real, formed by square-and-multiply as compiled code forms them, so that
// results agree bit for bit with the reference computations (std::pow rounds differently).
#pragma once

namespace velk {

inline double ipow(double x, int n) {
  if (n < 0) return 1.0 / ipow(x, -n);
  double y = (n & 1) ? x : 1.0;
  while (n >>= 1) {
    x *= x;
    if (n & 1) y *= x;
  }
  return y;
}

}  // namespace velk
