// One harness per potential form: the bytes are a potential file; the header is read as the level
// driver reads it, then the form's builder tabulates the curve on a small grid (200 points from
// 1 to 12 Å, so that each execution is quick).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_support.h"
#include "io/free_format_reader.h"
#include "pec/potential_header.h"
#include "pec/radial_grid.h"

namespace velk::fuzz {

inline constexpr int kGridPoints = 200;
inline constexpr double kRmin = 1.0;
inline constexpr double kRmax = 12.0;

// Reads the file once, then builds with `build(text, Vgrid, grid)`, the form's reader and builder
// on the text, and checks that a curve it returns is a number wherever the builder filled the grid
// without refusing.
template <class Build>
int build_potential(const uint8_t* data, size_t size, Build&& build) {
  static std::vector<double> Vgrid(kGridPoints + 1);
  write_input("pot.dat", data, size);
  const InputText text = read_input_text("pot.dat");
  run_guarded([&] {
    FreeFormatReader header(text);
    read_potential_header(header);
    build(text, std::span<double>(Vgrid), RadialGrid(kRmin, kRmax, kGridPoints));
  });
  return 0;
}

}  // namespace velk::fuzz
