// A potential curve as its file defines it: the name the messages give it, the header and the
// parameters of its representation, read once from the file or from a text in memory.
//
// The value keeps what reading met instead of acting on it: the header's input error, and each
// representation's own read failures and faults (PointwiseParameters, AnalyticParameters,
// MljParameters). The stops and messages therefore come where a reader of the file would have
// met them, when the curve is checked and tabulated (PotentialBuilder), however long after the
// reading that is. Readers of files live at the edges (the run layer, velk-props, velk-plot, the
// Python module); the layers below take the value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "io/free_format_reader.h"
#include "pec/analytic.h"
#include "pec/mlj.h"
#include "pec/pointwise.h"
#include "pec/potential_header.h"

namespace velk {

enum class Representation { analytic, mlj, pointwise };

// pectype (the first two characters of header line 8) decides, case-sensitively: "AN" the
// analytic form, "ML" the MLJ form, anything else, blanks included, the pointwise table.
Representation select_representation(std::string_view pectype);

struct CurveDefinition {
  // The file's name as the run gives it (blank padded from velk.inf): the messages and console
  // lines that name the file name it so.
  std::string name;
  HeaderReading header;
  // The parameters of the representation the header selects (a table of points when the header
  // could not be read so far).
  std::variant<PointwiseParameters, AnalyticParameters, MljParameters> parameters;

  // The whole text it was read from, when that was read whole; empty otherwise.
  std::string source;

  Representation representation() const;
  // The header, after the stops read_potential_header(file, npts_limit) makes: "number of points
  // must be less than <limit>" when line 1 holds more, else the input error met in the header.
  const PotentialHeader& checked_header(std::optional<int32_t> npts_limit = std::nullopt) const;
};

// Read whole from the same text under the same name: a build of one on a grid prints, reports and
// tabulates what a build of the other does. Definitions made otherwise are never the same curve.
bool same_curve(const CurveDefinition& a, const CurveDefinition& b);

// Reads the definition from `text`, named text.name in the messages.
CurveDefinition read_curve_definition(const InputText& text);
// Reads the file once; an input error is kept, as above, for the checks to raise.
CurveDefinition read_curve_definition(std::string_view file_name);

}  // namespace velk
