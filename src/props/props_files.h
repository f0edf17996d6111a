// What the two tables of velk-props share: their messages, the run's files and the state records
// of velk.inf they are checked against.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "io/level_file.h"
#include "io/state_records.h"
#include "props/run_inputs.h"
#include "props/state_wave_functions.h"

namespace velk::props {

inline constexpr std::string_view kPrefix = "velk-props: ";

// A line of standard output. Warnings go through io's warn(), in velk-props' name.
void say(std::string_view text);

// Throws InputError "velk-props: <path>: no such file; <hint>" when the run has not left `path`,
// and a similar message when it is not a regular file (a FIFO would block the reader).
void require_file(const std::string& path, std::string_view hint);

// Throws InputError when velk.inf or the data file of state A or B is one of `outputs`, which
// would replace it.
void refuse_inputs_named_like_outputs(const RunInputs& inputs,
                                      std::span<const std::string> outputs);

// Throws InputError naming line 2 of the level file when it was computed from another data file
// than the one velk.inf now names for the state.
void require_same_data_file(const LevelListing& listing, const StateInput& state, char letter);

SolveSettings settings_of(const RunInputs& inputs);
const StateInput& state_of(const RunInputs& inputs, char letter);

}  // namespace velk::props
