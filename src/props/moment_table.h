// An electronic transition moment M(R) given as a table, for the matrix elements of velk-props.
//
// The file holds one point per line: R (Å) and M (debye), separated by blanks, tabs or a comma.
// Blank lines and lines whose first non-blank character is '#' are passed over. The radii must
// increase strictly; 2 to 500 points. Between the points M is the natural cubic spline through
// them, beyond the first and last point it is held at the end value (a moment does not grow
// without bound outside the range where it was computed).
//
// A missing file, a line that is not two numbers, radii out of order or a count outside 2..500
// throw InputError naming the file and, where there is one, the line.
#pragma once

#include <string>
#include <vector>

namespace velk::props {

class MomentTable {
 public:
  static MomentTable read(const std::string& path);
  // From points already in hand (tests); the same checks, the file named `name`.
  MomentTable(std::vector<double> R, std::vector<double> M, const std::string& name);

  double operator()(double R) const;
  std::size_t size() const { return R_.size() - 1; }

 private:
  // 1-based, slot 0 unused, as the spline routines want them.
  std::vector<double> R_, M_, M2_;
};

}  // namespace velk::props
