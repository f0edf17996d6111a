// What the line-list tests share: potential files written from a function, files read back,
// and the scratch working directory of each test with two Morse curves and their velk.inf.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "io/console.h"
#include "io/free_format_reader.h"
#include "pec/curve_definition.h"
#include "support/temp_dir.h"

namespace velk::props::linelist_testing {

using test::lines_of;

// A pointwise potential file of U(R) at `points` radii from R0 step dR, with the curve's second
// derivatives at the ends (the spline through a parabola is then the parabola itself).
inline std::string pointwise_file(double mu, int Lambda, const std::function<double(double)>& U,
                                  const std::function<double(double)>& U2, double R0, double dR,
                                  int points) {
  std::ostringstream text;
  text.precision(17);
  text << points << "\n"
       << mu << " " << mu << " " << mu << " " << mu << " " << mu << "\n"
       << Lambda << "\n0.0\n0.0\ntest curve\ntest\nPW  pointwise table\n"
       << U2(R0) << "\n"
       << U2(R0 + dR * (points - 1)) << "\n";
  for (int i = 0; i < points; ++i) text << R0 + dR * i << " " << U(R0 + dR * i) << "\n";
  return text.str();
}

// A Morse curve Te + De(1 − e^{−a(R − Re)})² on 401 points from 2 Å in steps of 0.02 Å.
inline std::string morse_file(double mu, int Lambda, double De, double a, double Re, double Te) {
  const auto U = [=](double R) {
    const double e = 1.0 - std::exp(-a * (R - Re));
    return Te + De * e * e;
  };
  const auto U2 = [=](double R) {
    const double x = std::exp(-a * (R - Re));
    return De * 2.0 * a * a * x * (2.0 * x - 1.0);
  };
  return pointwise_file(mu, Lambda, U, U2, 2.0, 0.02, 401);
}

// A velk.inf naming two pointwise curves on one grid ("Rmin Rmax N"), the level table off.
inline std::string velk_inf(const std::string& A, const std::string& B, const std::string& grid) {
  return "test curves\n" + A + "\np\n1\n" + B + "\np\n1\ngrid\n" + grid + "\n" + grid +
         "\n60\n1e-06\nn\nlevel table\nn\n1\n0 0 0 0 0 0\none-level\nn\n0 0 0\n0 0 1 1\n"
         "known\nn\n1\n0 0 1 0.0\n0 0 1 1\nwindow\nn\n0.0 1.0\n0 0 0 0 0 0\n0 0 1\nLIF\nn\n";
}

inline CurveDefinition curve_of(const std::string& name, const std::string& bytes) {
  InputText text;
  text.name = name;
  text.bytes = bytes;
  return read_curve_definition(text);
}

inline std::string bytes_of(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A scratch working directory of its own for each test, with the console quiet.
class ScratchFolder : public test::ScratchDirectoryTest {
 protected:
  void SetUp() override {
    test::ScratchDirectoryTest::SetUp();
    set_console_quiet(true);
  }
  // Two shallow Morse curves of reduced mass mu, the upper 12000 cm-1 up: about 30 levels at
  // J = 0 for μ = 11.5 u, none beyond J ≈ 90, quasi-bound levels behind the barriers from J ≈ 20.
  void write_morse_pair(double mu, int upper_Lambda) {
    std::ofstream("low.pot") << morse_file(mu, 0, 2000.0, 1.2, 3.0, 0.0);
    std::ofstream("up.pot") << morse_file(mu, upper_Lambda, 1800.0, 1.1, 3.3, 12000.0);
    std::ofstream("velk.inf") << velk_inf("low.pot", "up.pot", "2.2 9 1400");
  }
};

}  // namespace velk::props::linelist_testing
