// The stops on a curve's header before any of its levels is solved, shared by every program that
// solves levels, so that each stops where velk does.
#pragma once

#include <cstdint>
#include <string>

#include "pec/curve_definition.h"
#include "pec/potential_header.h"

namespace velk {

// The header as the level driver takes it: an Npts above 500 stops as soon as line 1 is read.
const PotentialHeader& checked_header(const CurveDefinition& curve);

// Stops the run unless reduced mass `index` (1..5) of the header is positive.
void require_positive_mass(const std::string& name, const PotentialHeader& header, int32_t index);

// Stops the run unless Lambda² fits a 32-bit integer.
void require_representable_Lambda(const std::string& name, const PotentialHeader& header);

}  // namespace velk
