#include "io/formatted_output.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace velk {
namespace {

std::string stars(int width) {
  return std::string(static_cast<std::size_t>(width), '*');
}

std::string right_aligned(const std::string& text, int width) {
  if (static_cast<int>(text.size()) > width) return stars(width);
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

std::string non_finite(double value) {
  if (std::isnan(value)) return "NaN";
  return value < 0 ? "-Infinity" : "Infinity";
}

// Decimal digits and exponent of |value| rounded to `digits` significant digits:
// |value| = 0.d1d2...dn x 10^exponent.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal round_significant(double magnitude, int digits) {
  Decimal result;
  if (magnitude == 0.0) {
    result.digits.assign(static_cast<std::size_t>(digits), '0');
    return result;
  }
  std::vector<char> buffer(static_cast<std::size_t>(digits) + 16);
  std::snprintf(buffer.data(), buffer.size(), "%.*e", digits - 1, magnitude);
  const std::string text(buffer.data());
  const auto e_pos = text.find('e');
  for (std::size_t i = 0; i < e_pos; ++i) {
    if (text[i] != '.') result.digits += text[i];
  }
  result.exponent = std::atoi(text.c_str() + e_pos + 1) + 1;
  return result;
}

}  // namespace

std::string format_integer(int64_t value, int width, int min_digits) {
  // The magnitude is taken unsigned so that the most negative value has one too.
  const uint64_t magnitude =
      value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  if (min_digits == 0 && value == 0) digits.clear();
  if (static_cast<int>(digits.size()) < min_digits) {
    digits.insert(0, static_cast<std::size_t>(min_digits) - digits.size(), '0');
  }
  if (value < 0) digits.insert(0, "-");
  return right_aligned(digits, width);
}

std::string format_fixed(double value, int width, int decimals) {
  if (decimals < 0) throw std::invalid_argument("Fw.d needs d of 0 or more");
  if (!std::isfinite(value)) return right_aligned(non_finite(value), width);
  // A finite double has at most 309 digits before the point.
  std::vector<char> buffer(static_cast<std::size_t>(decimals) + 320);
  std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, std::fabs(value));
  std::string body(buffer.data());
  if (decimals == 0) body += '.';
  const bool negative = std::signbit(value);
  if (body[0] == '0' && body.size() > 2 && body[1] == '.') {
    // The zero before the point is written only when there is room for it, and always when no
    // digit follows the point (F2.0 of 0.4 is "0.", never a bare point).
    const int with_zero = static_cast<int>(body.size()) + (negative ? 1 : 0);
    if (with_zero > width) body.erase(0, 1);
  }
  if (negative) body.insert(0, "-");
  return right_aligned(body, width);
}

std::string format_exponent(double value, int width, int digits, int exponent_digits) {
  if (digits <= 0) throw std::invalid_argument("Ew.d needs at least one digit");
  if (!std::isfinite(value)) return right_aligned(non_finite(value), width);
  const Decimal decimal = round_significant(std::fabs(value), digits);
  const int exponent = value == 0.0 ? 0 : decimal.exponent;
  const int magnitude = std::abs(exponent);
  std::string exponent_text;
  if (exponent_digits == 0) {
    if (magnitude <= 99) {
      exponent_text =
          std::string("E") + (exponent < 0 ? '-' : '+') + format_integer(magnitude, 2, 2);
    } else if (magnitude <= 999) {
      exponent_text = std::string(exponent < 0 ? "-" : "+") + format_integer(magnitude, 3, 3);
    } else {
      return stars(width);
    }
  } else {
    const std::string e = format_integer(magnitude, exponent_digits, exponent_digits);
    if (e.find('*') != std::string::npos) return stars(width);
    exponent_text = std::string("E") + (exponent < 0 ? '-' : '+') + e;
  }
  std::string body = "." + decimal.digits + exponent_text;
  const bool negative = std::signbit(value);
  if (static_cast<int>(body.size()) + (negative ? 1 : 0) < width) body.insert(0, "0");
  if (negative) body.insert(0, "-");
  return right_aligned(body, width);
}

std::string format_text(std::string_view text, int width) {
  if (static_cast<int>(text.size()) >= width)
    return std::string(text.substr(0, static_cast<std::size_t>(width)));
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + std::string(text);
}

namespace {

struct Descriptor {
  char kind = 0;  // I F E A X or ' for a literal
  int width = -1;
  int decimals = 0;
  int exponent_digits = 0;
  std::string literal;
};

int read_number(std::string_view format, std::size_t& pos) {
  int value = 0;
  bool any = false;
  while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') {
    value = value * 10 + (format[pos++] - '0');
    any = true;
  }
  return any ? value : -1;
}

std::vector<Descriptor> parse_format(std::string_view format) {
  std::vector<Descriptor> list;
  std::size_t pos = 0;
  auto bad = [&]() { throw std::logic_error("bad format: " + std::string(format)); };
  while (pos < format.size()) {
    const char c = format[pos];
    if (c == '(' || c == ')' || c == ',' || c == ' ') {
      ++pos;
      continue;
    }
    if (c == '\'' || c == '"') {
      Descriptor d;
      d.kind = '\'';
      ++pos;
      for (;;) {
        if (pos >= format.size()) bad();
        if (format[pos] == c) {
          if (pos + 1 < format.size() && format[pos + 1] == c) {
            d.literal += c;
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        d.literal += format[pos++];
      }
      list.push_back(d);
      continue;
    }
    int repeat = read_number(format, pos);
    if (pos >= format.size()) bad();
    Descriptor d;
    d.kind = static_cast<char>(std::toupper(static_cast<unsigned char>(format[pos++])));
    if (d.kind == 'X') {
      d.width = repeat < 0 ? 1 : repeat;
      list.push_back(d);
      continue;
    }
    if (d.kind != 'I' && d.kind != 'F' && d.kind != 'E' && d.kind != 'A') bad();
    d.width = read_number(format, pos);
    if (d.width == 0 || (d.kind != 'A' && d.width < 0)) bad();
    if (pos < format.size() && format[pos] == '.') {
      ++pos;
      d.decimals = read_number(format, pos);
      if (d.decimals < 0) bad();
    } else if (d.kind == 'I') {
      d.decimals = 1;
    } else if (d.kind == 'F' || d.kind == 'E') {
      bad();
    }
    if (d.kind == 'E' && pos < format.size() && (format[pos] == 'E' || format[pos] == 'e')) {
      ++pos;
      d.exponent_digits = read_number(format, pos);
      if (d.exponent_digits <= 0) bad();
    }
    if (d.kind == 'E' && d.decimals == 0) bad();
    for (int i = 0; i < (repeat < 0 ? 1 : repeat); ++i) list.push_back(d);
  }
  return list;
}

std::string format_value(const Descriptor& d, const FormatValue& value) {
  switch (d.kind) {
    case 'I':
      if (const auto* v = std::get_if<int64_t>(&value))
        return format_integer(*v, d.width, d.decimals);
      break;
    case 'F':
      if (const auto* v = std::get_if<double>(&value)) return format_fixed(*v, d.width, d.decimals);
      break;
    case 'E':
      if (const auto* v = std::get_if<double>(&value)) {
        return format_exponent(*v, d.width, d.decimals, d.exponent_digits);
      }
      break;
    case 'A':
      if (const auto* v = std::get_if<std::string>(&value)) {
        return d.width < 0 ? *v : format_text(*v, d.width);
      }
      break;
  }
  throw std::logic_error("format item does not match its value");
}

}  // namespace

std::vector<std::string> format_lines(std::string_view format,
                                      std::span<const FormatValue> values) {
  const std::vector<Descriptor> list = parse_format(format);
  bool has_value_descriptor = false;
  for (const auto& d : list) has_value_descriptor |= (d.kind != '\'' && d.kind != 'X');
  if (!has_value_descriptor && !values.empty()) {
    throw std::logic_error("format without value items given values: " + std::string(format));
  }
  std::vector<std::string> lines;
  std::size_t next = 0;
  for (;;) {
    std::string line;
    bool stopped = false;
    for (const auto& d : list) {
      if (d.kind == '\'') {
        line += d.literal;
      } else if (d.kind == 'X') {
        line.append(static_cast<std::size_t>(d.width), ' ');
      } else {
        if (next == values.size()) {
          stopped = true;
          break;
        }
        line += format_value(d, values[next++]);
      }
    }
    lines.push_back(line);
    if (stopped || next == values.size() || !has_value_descriptor) break;
  }
  return lines;
}

std::string format_line(std::string_view format, std::initializer_list<FormatValue> values) {
  const auto lines =
      format_lines(format, std::span<const FormatValue>(values.begin(), values.size()));
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += '\n';
    joined += lines[i];
  }
  return joined;
}

std::string shortest_decimal(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string free_format_real(double value) {
  if (!std::isfinite(value)) {
    return right_aligned(non_finite(value), 24);
  }
  const Decimal rounded = round_significant(std::fabs(value), 15);
  const bool fixed = value != 0.0 && rounded.exponent >= 0 && rounded.exponent <= 15;
  char buffer[64];
  if (fixed) {
    std::snprintf(buffer, sizeof buffer, "%.*f", 15 - rounded.exponent, value);
    std::string body(buffer);
    if (rounded.exponent == 15) body += '.';
    return right_aligned(body, 19) + "     ";
  }
  std::snprintf(buffer, sizeof buffer, "%.15E", value);
  std::string body(buffer);
  // The C library writes at least two exponent digits; the layout wants three.
  const auto e_pos = body.find('E');
  std::string exponent = body.substr(e_pos + 2);
  while (exponent.size() < 3) exponent.insert(0, "0");
  body = body.substr(0, e_pos + 2) + exponent;
  return right_aligned(body, 24);
}

FreeLine& FreeLine::operator<<(int32_t value) {
  append(format_integer(value, 12), false);
  return *this;
}

FreeLine& FreeLine::operator<<(double value) {
  append(free_format_real(value), false);
  return *this;
}

FreeLine& FreeLine::operator<<(std::string_view text) {
  append(std::string(text), true);
  return *this;
}

void FreeLine::append(const std::string& field, bool is_text) {
  constexpr std::size_t kLineLength = 80;
  if (lines_.empty() || (lines_.back().size() + field.size() > kLineLength &&
                         !lines_.back().empty() && lines_.back() != " ")) {
    lines_.emplace_back();
  }
  std::string& line = lines_.back();
  if (line.empty() && is_text) line = " ";
  line += field;
}

std::vector<std::string> FreeLine::lines() const {
  if (lines_.empty()) return {" "};
  return lines_;
}

std::string FreeLine::text() const {
  std::string joined;
  for (const auto& line : lines()) {
    if (!joined.empty()) joined += '\n';
    joined += line;
  }
  return joined;
}

}  // namespace velk

namespace velk {

std::string printed(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace velk
