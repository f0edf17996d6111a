// Fields of the ExoMol and HITRAN records written without printf: a line list has millions of
// lines, and printf parses its format and consults the locale for each field. Each writer fills
// exactly `width` characters at `out` (right-aligned, blanks before) with the characters printf
// gives for the same conversion, and returns the end; the caller's buffer must hold them. A value
// wider than the field runs on past it, as printf's does.
#pragma once

#include <cstddef>

namespace velk::props {

// printf "%<width>zu".
char* put_count(char* out, std::size_t value, int width);

// printf "%<width>.<decimals>E": one digit before the point, rounded to nearest on the exact
// binary value (ties to even), an exponent of at least two digits; INF and NAN as printf spells
// them.
char* put_scientific(char* out, double value, int width, int decimals);

// printf "%<width>.<decimals>f", rounded as printf rounds.
char* put_fixed(char* out, double value, int width, int decimals);

// printf "%<width>s" of a text no wider than the field, or the text itself when wider.
char* put_text(char* out, const char* text, int width);

}  // namespace velk::props
