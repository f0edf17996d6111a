// Term values of a state given by Dunham coefficients or band constants, and its level file.
//
// Dunham form ('d' or 'D'): E = sum over k, l of Y(k,l) u^k (rho^2 x)^l with u = (v + 1/2) rho and
// x = J(J+1) - Lambda^2, rho being the isotopic mass ratio. Band-constant form: row k holds the
// constants of level v = k and E = T + B x - D x^2 + H x^3 + L x^4 + M x^5. Both forms add the
// parity splitting J(J+1) sum_i q(i) u^i to every parity index other than 1. Energies in cm-1.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace velk {

struct DunhamCoefficients {
  static constexpr int kRows = 51;     // k = 0..50
  static constexpr int kColumns = 21;  // l = 0..20
  static constexpr int kParityTerms = 10;

  char coef_form = ' ';
  double mass_ratio = 0.0;
  double dunham_lambda = 0.0;
  std::array<std::array<double, kColumns>, kRows> Ytab{};  // Ytab[k][l]
  std::array<float, kParityTerms> qtab{};                  // single precision, as stored
  bool dunham_form() const { return coef_form == 'd' || coef_form == 'D'; }
};

// Reads a Dunham file. Limits of the tables (21 columns of 51 values, rows 0..50, 10 parity
// coefficients) are input errors naming the file and the limit.
DunhamCoefficients read_dunham_file(const std::string& file);

// Term value of the level (v, J, p). In the band-constant form v must lie in 0..50.
double dunham_term(const DunhamCoefficients& coefficients, int32_t v, int32_t J, int32_t p);

// Reads `file` and writes the level file of the requested ranges (J outermost, then v, then p).
// A term value that overflows to infinity or NaN stops the run (StopRun naming `file`) at that
// level, the level file ending after the levels before it.
void dunham_levels(const std::string& file, int32_t vmin, int32_t vmax, int32_t Jmin, int32_t Jmax,
                   int32_t pmin, int32_t pmax, const std::string& levelfile);

}  // namespace velk
