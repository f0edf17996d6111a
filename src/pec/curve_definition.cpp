#include "pec/curve_definition.h"

#include "io/errors.h"

namespace velk {

Representation select_representation(std::string_view pectype) {
  // The selection text is two characters; a shorter one is blank padded.
  std::string code(pectype.substr(0, 2));
  code.resize(2, ' ');
  if (code == "AN") return Representation::analytic;
  if (code == "ML") return Representation::mlj;
  return Representation::pointwise;
}

Representation CurveDefinition::representation() const {
  if (std::holds_alternative<AnalyticParameters>(parameters)) return Representation::analytic;
  if (std::holds_alternative<MljParameters>(parameters)) return Representation::mlj;
  return Representation::pointwise;
}

const PotentialHeader& CurveDefinition::checked_header(std::optional<int32_t> npts_limit) const {
  if (header.count_read && npts_limit && header.header.Npts > *npts_limit) {
    throw StopRun("number of points must be less than " + std::to_string(*npts_limit));
  }
  throw_read_failure(header.failure);
  return header.header;
}

bool same_curve(const CurveDefinition& a, const CurveDefinition& b) {
  return !a.source.empty() && a.name == b.name && a.source == b.source;
}

CurveDefinition read_curve_definition(const InputText& text) {
  CurveDefinition curve;
  curve.name = text.name;
  if (!text.open_failure && !text.read_failed) curve.source = text.bytes;
  curve.header = read_header_reading(text);
  switch (select_representation(curve.header.header.pectype)) {
    case Representation::analytic:
      curve.parameters = read_analytic(text);
      break;
    case Representation::mlj:
      curve.parameters = read_mlj(text);
      break;
    case Representation::pointwise:
      curve.parameters = read_pointwise(text);
      break;
  }
  return curve;
}

CurveDefinition read_curve_definition(std::string_view file_name) {
  CurveDefinition curve = read_curve_definition(read_input_text(file_name));
  curve.name = std::string(file_name);
  return curve;
}

}  // namespace velk
