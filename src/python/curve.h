// A potential curve of the Python module: the text of a potential file, as the program reads it,
// under a file name, and the curve's definition read from that text in memory by the program's
// readers, so that the numbers, the stops and their messages are the program's (messages name the
// file by the curve's name). Nothing is written to disk. Radii in Å, energies in cm-1, masses
// in u.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pec/curve_definition.h"
#include "pec/potential_builder.h"
#include "pec/potential_header.h"
#include "pec/radial_grid.h"

namespace velk::python {

struct Curve {
  std::string name;            // the file name the messages give, without directory
  std::string text;            // the potential file
  CurveDefinition definition;  // read from `text`
  PotentialHeader header;
  Representation representation = Representation::pointwise;

  // The file with its first reduced mass replaced by `mass` (lines 2 onwards of the mass record
  // rewritten as one line; the rest of the file as it stands).
  std::string text_with_first_mass(double mass) const;
  // The definition, read again from text_with_first_mass when `first_mass` is given.
  CurveDefinition definition_with_first_mass(std::optional<double> first_mass) const;
};

// A potential file read once, as it stands; its header is read at once (InputError and StopRun as
// the program gives them, naming `path`); later messages name the file without its directory.
Curve curve_from_file(const std::string& path);

// A curve of the given text, named `name` (a plain file name). The header is read at once.
Curve curve_from_text(const std::string& name, std::string text);

// The curve at the radii R (Å), each value computed by the representation's own formula (the
// spline of a table of points, the analytic or MLJ expressions) at that radius, so that at a
// radius of a grid it is the value the builder tabulates there. A table of points with a fitted
// long-range extension depends on the grid on which the extension is fitted: `grid` is required
// then (std::invalid_argument otherwise); the other forms only check their parameters on it.
std::vector<double> evaluate_curve(const Curve& curve, std::span<const double> R,
                                   const std::optional<RadialGrid>& grid);

// The curve tabulated on the grid by the program's builder (the values the level solver uses),
// points 1..N in slots 0..N-1.
std::vector<double> tabulate_curve(const Curve& curve, const RadialGrid& grid);

// The checks the run makes on a grid before it is used, with the run's messages naming `name`.
RadialGrid checked_grid(const std::string& name, double Rmin, double Rmax, int32_t N);

}  // namespace velk::python
