#include "run/dunham.h"

#include <cmath>

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"
#include "io/level_file.h"
#include "io/output_file.h"
#include "numlib/ipow.h"

namespace velk {
namespace {

[[noreturn]] void limit_exceeded(const FreeFormatReader& in, const std::string& what) {
  throw InputError("velk: " + in.file_name() + ", line " + std::to_string(in.line_number()) + ": " +
                   what);
}

// A count that may be given as a single zero line before the real count.
int32_t read_count_after_zero(FreeFormatReader& in) {
  int32_t n = 0;
  in.read(n);
  if (n == 0) in.read(n);
  return n;
}

}  // namespace

DunhamCoefficients read_dunham_file(const std::string& file) {
  DunhamCoefficients c;
  FreeFormatReader in(file);
  c.coef_form = in.read_text(1)[0];
  in.read(c.mass_ratio);
  in.read(c.dunham_lambda);
  if (c.dunham_form()) {
    for (int l = 0;; ++l) {
      const int32_t n = read_count_after_zero(in);
      if (n == 0) break;
      if (l >= DunhamCoefficients::kColumns) {
        limit_exceeded(in, "more than 21 coefficient columns (l = 0 to 20) in the Dunham form");
      }
      if (n > DunhamCoefficients::kRows) {
        limit_exceeded(
            in, "a column holds at most 51 coefficients (k = 0 to 50), found " + std::to_string(n));
      }
      for (int k = 0; k < n; ++k)
        in.read(c.Ytab[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)]);
    }
  } else {
    int32_t nrow = 0;
    in.read(nrow);
    for (int32_t row = 0; row < nrow; ++row) {
      int32_t k = 0;
      double a[6] = {};
      in.read(k, a[0], a[1], a[2], a[3], a[4], a[5]);
      if (k < 0 || k >= DunhamCoefficients::kRows) {
        limit_exceeded(in, "band-constant rows are numbered 0 to 50, found " + std::to_string(k));
      }
      auto& Y = c.Ytab[static_cast<std::size_t>(k)];
      Y[0] = a[0];
      Y[1] = a[1];
      Y[2] = -a[2];  // the centrifugal constant D is given as a positive number
      Y[3] = a[3];
      Y[4] = a[4];
      Y[5] = a[5];
    }
  }
  const int32_t m = read_count_after_zero(in);
  if (m > DunhamCoefficients::kParityTerms) {
    limit_exceeded(in, "at most 10 parity coefficients, found " + std::to_string(m));
  }
  for (int32_t i = 0; i < m; ++i) {
    double q = 0.0;
    in.read(q);
    c.qtab[static_cast<std::size_t>(i)] = static_cast<float>(q);
  }
  return c;
}

double dunham_term(const DunhamCoefficients& c, int32_t v, int32_t J, int32_t p) {
  const int32_t JJ1 = rotational_product(J);
  const double x = static_cast<double>(JJ1) - c.dunham_lambda * c.dunham_lambda;
  const double rho = c.mass_ratio;
  const double u = (v + 0.5) * rho;
  double E = 0.0;
  if (c.dunham_form()) {
    const double rho2 = rho * rho;
    for (int k = 0; k < DunhamCoefficients::kRows; ++k) {
      for (int l = 0; l < DunhamCoefficients::kColumns; ++l) {
        double term = c.Ytab[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)] * ipow(u, k);
        for (int i = 0; i < l; ++i) term = term * x * rho2;
        E += term;
      }
    }
  } else {
    const auto& Y = c.Ytab[static_cast<std::size_t>(v)];
    E = Y[0] + Y[1] * x + Y[2] * ipow(x, 2) + Y[3] * ipow(x, 3) + Y[4] * ipow(x, 4) +
        Y[5] * ipow(x, 5);
  }
  if (p != 1) {
    float qv = 0.0f;
    for (int i = 0; i < DunhamCoefficients::kParityTerms; ++i) {
      qv =
          static_cast<float>(static_cast<double>(qv) +
                             static_cast<double>(c.qtab[static_cast<std::size_t>(i)]) * ipow(u, i));
    }
    // qv alone is single precision; J(J+1) × qv is formed in double from it.
    E = E + static_cast<double>(JJ1) * static_cast<double>(qv);
  }
  return E;
}

void dunham_levels(const std::string& file, int32_t vmin, int32_t vmax, int32_t Jmin, int32_t Jmax,
                   int32_t pmin, int32_t pmax, const std::string& levelfile) {
  const DunhamCoefficients c = read_dunham_file(file);
  if (!c.dunham_form() && vmax >= vmin && (vmin < 0 || vmax >= DunhamCoefficients::kRows) &&
      Jmax >= Jmin && pmax >= pmin) {
    throw InputError("velk: " + trimmed_file_name(file) +
                     ": the band-constant form holds the levels v = 0 to 50; v = " +
                     std::to_string(vmin < 0 ? vmin : vmax) + " was requested");
  }
  OutputFile out(levelfile);
  out.line(
      format_line("(I5,' !number of levels')", {level_count(vmin, vmax, Jmin, Jmax, pmin, pmax)}));
  out.line(FreeLine() << "Data File:  " << padded_name(file));
  out.line(FreeLine() << "Dunham coeff. type: " << std::string(1, c.coef_form)
                      << ".   Mass ratio: " << c.mass_ratio);
  out.line(FreeLine() << std::string(34, '_'));
  out.line(FreeLine() << "iline,nv,Jline,Eout,Par");
  out.line(format_line("(5I3)", {int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}}));
  int64_t iline = 1;
  for (int64_t J = Jmin; J <= Jmax; ++J) {
    for (int64_t v = vmin; v <= vmax; ++v) {
      for (int64_t p = pmin; p <= pmax; ++p) {
        const double E = dunham_term(c, static_cast<int32_t>(v), static_cast<int32_t>(J),
                                     static_cast<int32_t>(p));
        // Coefficients or a mass ratio large enough to overflow the sum would leave NaN in the
        // level file, which the transition runs cannot read back.
        if (!std::isfinite(E)) {
          throw StopRun("velk: " + trimmed_file_name(file) + ": the term value of v = " +
                        std::to_string(v) + ", J = " + std::to_string(J) +
                        ", p = " + std::to_string(p) + " is not a finite number");
        }
        out.line(
            format_line("(I5,I4,I4,F15.6,I3,I3,I3)", {iline, v, J, E, p, int64_t{10}, int64_t{1}}));
        ++iline;
      }
    }
  }
  out.close();
}

}  // namespace velk
