#include "props/linelist_within.h"

#include <vector>

#include "props/linelist_lines.h"

namespace velk::props {

SolvedList solve_lines_within(StateWaveFunctions& state, const WithinRequest& request,
                              std::span<const double> weights) {
  SolvedList solved;
  const int32_t Lambda = state.Lambda();
  (request.letter == 'A' ? solved.Lambda_A : solved.Lambda_B) = Lambda;
  solved.quasi_bound = request.selection.quasi_bound;
  solved.within = request.letter;
  // Slot J mod 2: the block of J and that of J − 1.
  LevelBlock blocks[2];
  std::vector<double> weighted[2], product;
  const auto slot = [](int32_t J) { return static_cast<std::size_t>(J % 2); };
  for (int32_t J = request.first_J; J <= request.last_J; ++J) {
    LevelBlock& current = blocks[slot(J)];
    const LevelBlock& previous = blocks[slot(J + 1)];
    solve_level_block(state, request.letter, J, current, solved.levels, request.selection);
    if (current.levels.empty() && J >= Lambda) {
      solved.ended = true;
      break;
    }
    weight_block(current, weights, weighted[slot(J)]);
    if (J > request.first_J && !previous.levels.empty() && !current.levels.empty()) {
      block_matrix_elements(current, previous, weighted[slot(J + 1)], product);
      append_lines_within(current, previous, Lambda, product, solved.lines);
    }
    if (Lambda > 0 && !current.levels.empty()) {
      block_matrix_elements(current, current, weighted[slot(J)], product);
      append_lines_within(current, current, Lambda, product, solved.lines);
    }
  }
  return solved;
}

}  // namespace velk::props
