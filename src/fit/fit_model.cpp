#include "fit/fit_model.h"

#include <charconv>
#include <optional>

#include "io/errors.h"

namespace velk::fit {
namespace {

constexpr std::string_view kBandColumns = "TBDHLM";

std::string form_name(StateForm form) {
  switch (form) {
    case StateForm::mlj:
      return "the MLJ form";
    case StateForm::analytic:
      return "the analytic form";
    case StateForm::pointwise:
      return "the pointwise form";
    case StateForm::dunham:
      return "the Dunham form";
    case StateForm::band:
      return "the band-constant form";
  }
  return "the form";
}

std::optional<int> index_after(std::string_view name, std::string_view prefix, int high) {
  if (!name.starts_with(prefix) || name.size() == prefix.size()) return std::nullopt;
  const std::string_view digits = name.substr(prefix.size());
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || value < 0 || value > high) {
    return std::nullopt;
  }
  return value;
}

// The reference a name has in the state's form, or nothing when the form has no such parameter.
std::optional<ParameterRef> lookup(const FitState& state, int index, std::string_view name) {
  ParameterRef ref{index, ParameterKind::te, 0, 0, std::string(name)};
  if (name == "Te") return ref;
  auto with = [&](ParameterKind kind, int k = 0, int l = 0) {
    ref.kind = kind;
    ref.k = k;
    ref.l = l;
    return std::optional<ParameterRef>(ref);
  };
  switch (state.form) {
    case StateForm::mlj:
      if (name == "Re") return with(ParameterKind::mlj_re);
      if (name == "De") return with(ParameterKind::mlj_de);
      if (name == "Cp") return with(ParameterKind::mlj_cp);
      if (name == "delta") return with(ParameterKind::mlj_delta);
      if (name == "Rx") return with(ParameterKind::mlj_rx);
      if (const auto k = index_after(name, "beta", kMljCapacity - 1)) {
        return with(ParameterKind::mlj_beta, *k);
      }
      break;
    case StateForm::analytic: {
      if (name == "Rm") return with(ParameterKind::an_rm);
      if (name == "b") return with(ParameterKind::an_b);
      if (name == "A") return with(ParameterKind::an_wall_a);
      if (name == "B") return with(ParameterKind::an_wall_b);
      if (name == "Uinf") return with(ParameterKind::an_uinf);
      if (name == "Aex") return with(ParameterKind::an_aex);
      if (const auto k = index_after(name, "a", kAnalyticCapacity - 1)) {
        return with(ParameterKind::an_a, *k);
      }
      if (const auto k = index_after(name, "C", kLongRangeCapacity); k && *k >= 1) {
        return with(ParameterKind::an_c, *k);
      }
      break;
    }
    case StateForm::dunham:
      if (name.starts_with("Y(") && name.ends_with(")")) {
        const std::string_view inner = name.substr(2, name.size() - 3);
        const auto comma = inner.find(',');
        if (comma == std::string_view::npos) break;
        const std::string k_text = "k" + std::string(inner.substr(0, comma));
        const std::string l_text = "l" + std::string(inner.substr(comma + 1));
        const auto k = index_after(k_text, "k", DunhamCoefficients::kRows - 1);
        const auto l = index_after(l_text, "l", DunhamCoefficients::kColumns - 1);
        if (k && l) return with(ParameterKind::dunham_y, *k, *l);
      }
      break;
    case StateForm::band:
      for (std::size_t column = 0; column < kBandColumns.size(); ++column) {
        if (const auto v =
                index_after(name, kBandColumns.substr(column, 1), DunhamCoefficients::kRows - 1)) {
          return with(ParameterKind::band, *v, static_cast<int>(column));
        }
      }
      break;
    case StateForm::pointwise:
      break;
  }
  return std::nullopt;
}

// Splits at commas outside parentheses: Y(1,0) is one name.
std::vector<std::string> split_names(std::string_view list) {
  std::vector<std::string> names(1);
  int depth = 0;
  for (const char c : list) {
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) {
      names.emplace_back();
    } else {
      names.back() += c;
    }
  }
  return names;
}

// "beta0-beta13" → its stem and the two indices; nothing for a single name.
struct NameRange {
  std::string stem;
  int first = 0, last = 0;
};
std::optional<NameRange> name_range(const std::string& item) {
  if (item.find('(') != std::string::npos) return std::nullopt;
  const auto dash = item.find('-');
  if (dash == std::string::npos) return std::nullopt;
  auto split = [](std::string_view name) -> std::optional<std::pair<std::string, int>> {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    if (digits == 0 || digits == name.size() || name.size() - digits > 4) return std::nullopt;
    return std::pair{std::string(name.substr(0, digits)),
                     std::stoi(std::string(name.substr(digits)))};
  };
  const auto a = split(std::string_view(item).substr(0, dash));
  const auto b = split(std::string_view(item).substr(dash + 1));
  if (!a || !b || a->first != b->first || a->second > b->second) {
    throw InputError(
        "velk-fit: --free: \"" + item +
        "\" is not a range of one name with increasing indices (such as beta0-beta13)");
  }
  return NameRange{a->first, a->second, b->second};
}

void refuse_derived(const FitState& state, const ParameterRef& ref, const std::string& option) {
  if (state.form != StateForm::analytic) return;
  const auto& p = std::get<AnalyticParameters>(state.curve.parameters);
  const bool derived_wall = p.srtype == 1 && p.Asr == 0.0 && p.Bsr == 0.0;
  const bool derived_asymptote = p.Uinf == 0.0;
  const bool derived_tail_term =
      derived_asymptote && ref.kind == ParameterKind::an_c && ref.k == p.mlr + 2;
  const bool wall = derived_wall &&
                    (ref.kind == ParameterKind::an_wall_a || ref.kind == ParameterKind::an_wall_b);
  const bool asymptote = derived_asymptote && ref.kind == ParameterKind::an_uinf;
  // Rm and b move the matching points' slopes through the series' second derivative, which the
  // derivatives of the derived pieces leave out: such a curve holds them.
  const bool shape = (derived_wall || derived_asymptote) &&
                     (ref.kind == ParameterKind::an_rm || ref.kind == ParameterKind::an_b);
  if (wall || asymptote || derived_tail_term || shape) {
    throw InputError("velk-fit: --free " + option + ": " + ref.name + " of " + state.file +
                     (shape ? " cannot be fitted while the curve derives its wall or asymptote"
                            : " is derived by the curve from continuity; write it in the file to "
                              "fit it"));
  }
  if (ref.kind == ParameterKind::an_c && ref.k > p.mlr && derived_asymptote) {
    throw InputError("velk-fit: --free " + option + ": " + ref.name + " of " + state.file +
                     " lies above the largest long-range index, which the derived asymptote uses");
  }
}

}  // namespace

bool curve_parameter(ParameterKind kind) {
  return kind != ParameterKind::te && kind != ParameterKind::series &&
         kind != ParameterKind::dunham_y && kind != ParameterKind::band;
}

std::vector<ParameterRef> parse_free_option(std::string_view option, const FitModel& model) {
  const std::string text(option);
  if (text.size() < 3 || (text[0] != 'A' && text[0] != 'B') || text[1] != ':') {
    throw InputError("velk-fit: --free " + text +
                     ": expected STATE:NAMES with the state A or B (such as A:beta0-beta13,De)");
  }
  const int index = text[0] == 'A' ? 0 : 1;
  const FitState& state = model.states[static_cast<std::size_t>(index)];
  std::vector<ParameterRef> refs;
  auto add = [&](const std::string& name) {
    const auto ref = lookup(state, index, name);
    if (!ref) {
      throw InputError("velk-fit: --free " + text + ": " + form_name(state.form) + " of state " +
                       state.letter + " (" + state.file + ") has no parameter \"" + name + "\"");
    }
    refuse_derived(state, *ref, text);
    for (const ParameterRef& seen : refs) {
      if (seen.name == ref->name) {
        throw InputError("velk-fit: --free " + text + ": " + name + " is named twice");
      }
    }
    refs.push_back(*ref);
  };
  for (const std::string& item : split_names(std::string_view(text).substr(2))) {
    if (item.empty()) throw InputError("velk-fit: --free " + text + ": an empty name");
    if (const auto range = name_range(item)) {
      for (int k = range->first; k <= range->last; ++k) add(range->stem + std::to_string(k));
    } else {
      add(item);
    }
  }
  return refs;
}

namespace {

double& slot(FitModel& model, const ParameterRef& ref, bool widen) {
  if (ref.kind == ParameterKind::series) {
    return model.series_energy[static_cast<std::size_t>(ref.state)];
  }
  FitState& s = model.states[static_cast<std::size_t>(ref.state)];
  const auto k = static_cast<std::size_t>(ref.k);
  switch (ref.kind) {
    case ParameterKind::te:
      return s.Te;
    case ParameterKind::dunham_y:
      return s.dunham.Ytab[k][static_cast<std::size_t>(ref.l)];
    case ParameterKind::band:
      return s.dunham.Ytab[k][static_cast<std::size_t>(ref.l)];
    default:
      break;
  }
  if (s.form == StateForm::mlj) {
    auto& p = std::get<MljParameters>(s.curve.parameters);
    switch (ref.kind) {
      case ParameterKind::mlj_re:
        return p.Re;
      case ParameterKind::mlj_de:
        return p.De;
      case ParameterKind::mlj_cp:
        return p.Cp;
      case ParameterKind::mlj_delta:
        return p.delta;
      case ParameterKind::mlj_rx:
        return p.Rx;
      default:
        if (widen && ref.k > p.K) p.K = ref.k;
        return p.betak[k];
    }
  }
  auto& p = std::get<AnalyticParameters>(s.curve.parameters);
  switch (ref.kind) {
    case ParameterKind::an_rm:
      return p.Rm;
    case ParameterKind::an_b:
      return p.bpar;
    case ParameterKind::an_wall_a:
      return p.Asr;
    case ParameterKind::an_wall_b:
      return p.Bsr;
    case ParameterKind::an_uinf:
      return p.Uinf;
    case ParameterKind::an_aex:
      return p.Aex;
    case ParameterKind::an_c:
      if (widen && ref.k > p.mlr) p.mlr = ref.k;
      return p.Clr[k];
    default:
      if (widen && ref.k > p.kmax) p.kmax = ref.k;
      return p.acoef[k];
  }
}

// The band-constant form keeps -D in its table, as the term formula uses it.
double file_sign(const ParameterRef& ref) {
  return ref.kind == ParameterKind::band && ref.l == 2 ? -1.0 : 1.0;
}

}  // namespace

double get_parameter(const FitModel& model, const ParameterRef& ref) {
  // A copy-free read: slot() only widens a series when asked to.
  return file_sign(ref) * slot(const_cast<FitModel&>(model), ref, false);
}

void set_parameter(FitModel& model, const ParameterRef& ref, double value) {
  slot(model, ref, true) = file_sign(ref) * value;
}

std::vector<ParameterRef> state_parameters(const FitModel& model, int index) {
  const FitState& s = model.states[static_cast<std::size_t>(index)];
  std::vector<ParameterRef> refs;
  auto add = [&](const std::string& name) { refs.push_back(*lookup(s, index, name)); };
  switch (s.form) {
    case StateForm::mlj: {
      const auto& p = std::get<MljParameters>(s.curve.parameters);
      add("Re");
      for (int k = 0; k <= p.K; ++k) add("beta" + std::to_string(k));
      for (const char* name : {"De", "Cp", "delta", "Rx"}) add(name);
      break;
    }
    case StateForm::analytic: {
      const auto& p = std::get<AnalyticParameters>(s.curve.parameters);
      add("Rm");
      add("b");
      for (int k = 0; k <= p.kmax; ++k) add("a" + std::to_string(k));
      for (const char* name : {"A", "B", "Uinf"}) add(name);
      for (int k = 1; k <= kLongRangeCapacity; ++k) {
        if (p.Clr[static_cast<std::size_t>(k)] != 0.0) add("C" + std::to_string(k));
      }
      add("Aex");
      break;
    }
    case StateForm::dunham:
      for (int k = 0; k < DunhamCoefficients::kRows; ++k) {
        for (int l = 0; l < DunhamCoefficients::kColumns; ++l) {
          if (s.dunham.Ytab[static_cast<std::size_t>(k)][static_cast<std::size_t>(l)] != 0.0) {
            add("Y(" + std::to_string(k) + "," + std::to_string(l) + ")");
          }
        }
      }
      break;
    case StateForm::band:
      for (int v = 0; v < DunhamCoefficients::kRows; ++v) {
        const auto& row = s.dunham.Ytab[static_cast<std::size_t>(v)];
        bool any = false;
        for (int c = 0; c < 6; ++c) any = any || row[static_cast<std::size_t>(c)] != 0.0;
        if (!any) continue;
        for (std::size_t c = 0; c < kBandColumns.size(); ++c) {
          add(std::string(1, kBandColumns[c]) + std::to_string(v));
        }
      }
      break;
    case StateForm::pointwise:
      break;
  }
  add("Te");
  return refs;
}

}  // namespace velk::fit
