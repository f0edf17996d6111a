// The text of data/isotopes.csv, compiled in by the build so that no program looks for the file
// at run time.
#pragma once

#include <string_view>

namespace velk {

extern const std::string_view isotope_table_text;

}  // namespace velk
