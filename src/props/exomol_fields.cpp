#include "props/exomol_fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace velk::props {
namespace {

char* right_aligned(char* out, const char* text, std::size_t length, int width) {
  const std::size_t field = static_cast<std::size_t>(width);
  const std::size_t blanks = length < field ? field - length : 0;
  std::memset(out, ' ', blanks);
  std::memcpy(out + blanks, text, length);
  return out + blanks + length;
}

// printf's "%.*E" (scientific) or "%.*f" (fixed) of a double, right-aligned in the field.
char* put_decimal(char* out, double value, int width, int decimals, std::chars_format format) {
  const bool scientific = format == std::chars_format::scientific;
  // The widest finite double has 309 digits before the point.
  char text[400];
  if (!std::isfinite(value) || decimals > 40) {
    // Seldom enough that printf's own spelling is the simplest truth.
    const int length =
        std::snprintf(text, sizeof text, scientific ? "%.*E" : "%.*f", decimals, value);
    return right_aligned(out, text, static_cast<std::size_t>(length), width);
  }
  // to_chars with a precision rounds as printf does (the C++ standard defines it by printf in the
  // C locale); only its exponent letter differs.
  const std::to_chars_result digits =
      std::to_chars(text, text + sizeof text, value, format, decimals);
  if (scientific) {
    char* const exponent = std::find(text, digits.ptr, 'e');
    if (exponent != digits.ptr) *exponent = 'E';
  }
  return right_aligned(out, text, static_cast<std::size_t>(digits.ptr - text), width);
}

}  // namespace

char* put_count(char* out, std::size_t value, int width) {
  char text[24];
  const std::to_chars_result digits = std::to_chars(text, text + sizeof text, value);
  return right_aligned(out, text, static_cast<std::size_t>(digits.ptr - text), width);
}

char* put_scientific(char* out, double value, int width, int decimals) {
  return put_decimal(out, value, width, decimals, std::chars_format::scientific);
}

char* put_fixed(char* out, double value, int width, int decimals) {
  return put_decimal(out, value, width, decimals, std::chars_format::fixed);
}

char* put_text(char* out, const char* text, int width) {
  return right_aligned(out, text, std::strlen(text), width);
}

}  // namespace velk::props
