// The dipole lines between the levels of two J blocks of the two states.
//
// The matrix elements ⟨ψ_B|M(R)|ψ_A⟩ of every pair of columns are one matrix product,
//   C = Ψ_Bᵀ · diag(h·M(R_i)) · Ψ_A,
// made by the BLAS (dgemm): the weighted block of state A is formed once per J and serves the
// three J of state B that reach it. The BLAS runs on one thread, so that each element is summed
// in one order, the same from run to run. (A BLAS on another processor may pick another kernel
// and order: the last digits of A may differ between machines, never between runs.)
//
// Of each pair of levels the one higher in energy is the upper. A line is kept when one photon
// makes it: |ΔJ| ≤ 1, the parity rule of the spectrum command (P and R lines join the same
// parity index, a Q line the other one) and a Hönl–London factor above zero (which also rules
// out J' = J'' = 0 and ΔΛ beyond 1). Its Einstein coefficient is that of spectrum::einstein_A.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pec/radial_grid.h"
#include "props/linelist_levels.h"
#include "props/moment_table.h"

namespace velk::props {

struct ListedLine {
  std::size_t upper = 0, lower = 0;  // indices in the run's list of every level
  double A = 0.0;                    // s⁻¹
};

// h·M(R_i) on the grid, points 1..N in slots 0..N−1; M constant when `moment` is null.
std::vector<double> moment_weights(const RadialGrid& grid, const MomentTable* moment,
                                   double constant_moment);

// Ψ of `block` with row i multiplied by weights[i], into `weighted` (resized, never shrunk).
void weight_block(const LevelBlock& block, std::span<const double> weights,
                  std::vector<double>& weighted);

// C (b.columns × a.columns, column-major) = Ψ_bᵀ · weighted_a; `product` is resized.
void block_matrix_elements(const LevelBlock& b, const LevelBlock& a,
                           std::span<const double> weighted_a, std::vector<double>& product);

// Appends the lines between the levels of `b` (state B, Λ_b) and `a` (state A, Λ_a), with the
// matrix elements `product` of block_matrix_elements.
void append_lines(const LevelBlock& b, int32_t Lambda_b, const LevelBlock& a, int32_t Lambda_a,
                  std::span<const double> product, std::vector<ListedLine>& lines);

// The rovibrational lines within one state (Λ) between the levels of `b` and `a`, by the same
// rules, with `product` = Ψ_bᵀ·diag(h·μ(R))·Ψ_a of its dipole function μ. `b` may be `a` itself
// (the Q lines of Λ > 0, e to f): each pair of levels is then taken once.
void append_lines_within(const LevelBlock& b, const LevelBlock& a, int32_t Lambda,
                         std::span<const double> product, std::vector<ListedLine>& lines);

// The BLAS on one thread: called once before the first product.
void use_one_blas_thread();

}  // namespace velk::props
