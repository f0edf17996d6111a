#include "props/linelist_lines.h"

#include <cblas.h>

#include <cstdlib>

#include "spectrum/honl_london.h"
#include "spectrum/line_intensity.h"

namespace velk::props {

std::vector<double> moment_weights(const RadialGrid& grid, const MomentTable* moment,
                                   double constant_moment) {
  std::vector<double> weights(static_cast<std::size_t>(grid.N));
  for (int i = 1; i <= grid.N; ++i) {
    const double M = moment != nullptr ? (*moment)(grid.R(i)) : constant_moment;
    weights[static_cast<std::size_t>(i - 1)] = grid.h * M;
  }
  return weights;
}

void weight_block(const LevelBlock& block, std::span<const double> weights,
                  std::vector<double>& weighted) {
  const auto rows = static_cast<std::size_t>(block.rows);
  const std::size_t size = rows * static_cast<std::size_t>(block.columns);
  if (weighted.size() < size) weighted.resize(size);
  for (std::size_t c = 0; c < static_cast<std::size_t>(block.columns); ++c) {
    const double* from = block.psi.data() + c * rows;
    double* to = weighted.data() + c * rows;
    for (std::size_t i = 0; i < rows; ++i) to[i] = weights[i] * from[i];
  }
}

void block_matrix_elements(const LevelBlock& b, const LevelBlock& a,
                           std::span<const double> weighted_a, std::vector<double>& product) {
  const std::size_t size =
      static_cast<std::size_t>(b.columns) * static_cast<std::size_t>(a.columns);
  if (product.size() < size) product.resize(size);
  if (size == 0) return;
  cblas_dgemm(CblasColMajor, CblasTrans, CblasNoTrans, b.columns, a.columns, b.rows, 1.0,
              b.psi.data(), b.rows, weighted_a.data(), a.rows, 0.0, product.data(), b.columns);
}

namespace {

void append_pair_lines(const LevelBlock& b, int32_t Lambda_b, const LevelBlock& a, int32_t Lambda_a,
                       std::span<const double> product, bool one_block,
                       std::vector<ListedLine>& lines) {
  for (const ListedLevel& lb : b.levels) {
    for (const ListedLevel& la : a.levels) {
      // Within one block the pair (f, e) is the pair (e, f) again.
      if (one_block && !(lb.p == 0 && la.p == 1)) continue;
      // The Q branch joins the two parity indices, P and R keep it.
      const bool same_parity = lb.p == la.p;
      if ((lb.J == la.J) == same_parity) continue;
      const bool b_upper = lb.E > la.E;
      const ListedLevel& upper = b_upper ? lb : la;
      const ListedLevel& lower = b_upper ? la : lb;
      const double nu = upper.E - lower.E;
      if (!(nu > 0.0)) continue;
      const double HL = spectrum::honl_london(
          {upper.J, lower.J, b_upper ? Lambda_b : Lambda_a, b_upper ? Lambda_a : Lambda_b});
      if (!(HL > 0.0)) continue;
      const double M =
          product[static_cast<std::size_t>(lb.column) +
                  static_cast<std::size_t>(la.column) * static_cast<std::size_t>(b.columns)];
      lines.push_back(
          ListedLine{upper.index, lower.index, spectrum::einstein_A(nu, HL, upper.J, M)});
    }
  }
}

}  // namespace

void append_lines(const LevelBlock& b, int32_t Lambda_b, const LevelBlock& a, int32_t Lambda_a,
                  std::span<const double> product, std::vector<ListedLine>& lines) {
  append_pair_lines(b, Lambda_b, a, Lambda_a, product, false, lines);
}

void append_lines_within(const LevelBlock& b, const LevelBlock& a, int32_t Lambda,
                         std::span<const double> product, std::vector<ListedLine>& lines) {
  append_pair_lines(b, Lambda, a, Lambda, product, &a == &b, lines);
}

void use_one_blas_thread() {
  openblas_set_num_threads(1);
}

}  // namespace velk::props
