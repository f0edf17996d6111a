// Helpers of the velk-plot tests: a small XML parser that refuses what is not well-formed, the
// lookup of elements by class, the axis mappings read back from the tick labels, and a working
// directory of its own for each test.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

namespace velk::plot::test {

struct XmlElement {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::string text;  // character data directly inside the element, entities decoded
  std::vector<XmlElement> children;

  const std::string& attribute(const std::string& key) const {
    static const std::string none;
    const auto found = attributes.find(key);
    return found == attributes.end() ? none : found->second;
  }
  double number(const std::string& key) const { return std::stod(attribute(key)); }
  bool has_class(std::string_view wanted) const {
    std::istringstream words(attribute("class"));
    for (std::string word; words >> word;) {
      if (word == wanted) return true;
    }
    return false;
  }
};

// Parses a whole document: an optional XML declaration, comments, exactly one root element.
// Throws std::runtime_error naming the offset for anything not well-formed: mismatched or
// unclosed tags, a repeated attribute, an unquoted attribute value, '<' inside a value, an '&'
// that does not start a known entity, content after the root.
class XmlParser {
 public:
  explicit XmlParser(std::string_view text) : s_(text) {}

  XmlElement document() {
    skip_space();
    if (s_.substr(i_, 5) == "<?xml") {
      const auto end = s_.find("?>", i_);
      if (end == std::string_view::npos) fail("unterminated XML declaration");
      i_ = end + 2;
    }
    skip_misc();
    if (i_ >= s_.size() || s_[i_] != '<') fail("no root element");
    XmlElement root = element();
    skip_misc();
    if (i_ != s_.size()) fail("content after the root element");
    return root;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("not well-formed XML: " + what + " at offset " + std::to_string(i_));
  }
  void skip_space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r'))
      ++i_;
  }
  void skip_misc() {
    for (;;) {
      skip_space();
      if (s_.substr(i_, 4) != "<!--") return;
      const auto end = s_.find("-->", i_ + 4);
      if (end == std::string_view::npos) fail("unterminated comment");
      i_ = end + 3;
    }
  }
  static bool name_start(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
  }
  std::string name() {
    if (i_ >= s_.size() || !name_start(s_[i_])) fail("expected a name");
    const std::size_t start = i_;
    while (i_ < s_.size() &&
           (name_start(s_[i_]) || std::isdigit(static_cast<unsigned char>(s_[i_])) ||
            s_[i_] == '-' || s_[i_] == '.'))
      ++i_;
    return std::string(s_.substr(start, i_ - start));
  }
  std::string entity() {
    const auto end = s_.find(';', i_);
    if (end == std::string_view::npos || end - i_ > 10) fail("'&' that starts no entity");
    const std::string_view ref = s_.substr(i_ + 1, end - i_ - 1);
    i_ = end + 1;
    if (ref == "amp") return "&";
    if (ref == "lt") return "<";
    if (ref == "gt") return ">";
    if (ref == "quot") return "\"";
    if (ref == "apos") return "'";
    if (ref.size() > 1 && ref[0] == '#') {
      const bool hex = ref[1] == 'x';
      const long code = std::stol(std::string(ref.substr(hex ? 2 : 1)), nullptr, hex ? 16 : 10);
      if (code > 0 && code < 0x80) return std::string(1, static_cast<char>(code));
      return "?";
    }
    fail("unknown entity &" + std::string(ref) + ";");
  }
  XmlElement element() {
    ++i_;  // '<'
    XmlElement e;
    e.name = name();
    for (;;) {
      const std::size_t before = i_;
      skip_space();
      if (i_ >= s_.size()) fail("unterminated start tag");
      if (s_.substr(i_, 2) == "/>") {
        i_ += 2;
        return e;
      }
      if (s_[i_] == '>') {
        ++i_;
        break;
      }
      if (i_ == before) fail("attributes must be separated by white space");
      const std::string key = name();
      skip_space();
      if (i_ >= s_.size() || s_[i_] != '=') fail("expected '=' after attribute " + key);
      ++i_;
      skip_space();
      if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\'')) fail("unquoted attribute value");
      const char quote = s_[i_++];
      std::string value;
      while (i_ < s_.size() && s_[i_] != quote) {
        if (s_[i_] == '<') fail("'<' inside an attribute value");
        if (s_[i_] == '&') {
          value += entity();
        } else {
          value += s_[i_++];
        }
      }
      if (i_ >= s_.size()) fail("unterminated attribute value");
      ++i_;
      if (!e.attributes.emplace(key, value).second) fail("repeated attribute " + key);
    }
    for (;;) {
      if (i_ >= s_.size()) fail("element <" + e.name + "> is not closed");
      if (s_.substr(i_, 2) == "</") {
        i_ += 2;
        const std::string closing = name();
        if (closing != e.name) fail("</" + closing + "> closes <" + e.name + ">");
        skip_space();
        if (i_ >= s_.size() || s_[i_] != '>') fail("unterminated end tag");
        ++i_;
        return e;
      }
      if (s_.substr(i_, 4) == "<!--") {
        skip_misc();
        continue;
      }
      if (s_[i_] == '<') {
        e.children.push_back(element());
      } else if (s_[i_] == '&') {
        e.text += entity();
      } else {
        e.text += s_[i_++];
      }
    }
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

inline XmlElement parse_xml(std::string_view text) {
  return XmlParser(text).document();
}

// Every element below `root` (depth first, document order) that satisfies `wanted`.
inline void collect(const XmlElement& root, const std::function<bool(const XmlElement&)>& wanted,
                    std::vector<const XmlElement*>& found) {
  for (const XmlElement& child : root.children) {
    if (wanted(child)) found.push_back(&child);
    collect(child, wanted, found);
  }
}

inline std::vector<const XmlElement*> with_class(const XmlElement& root, std::string_view name) {
  std::vector<const XmlElement*> found;
  collect(
      root, [&](const XmlElement& e) { return e.has_class(name); }, found);
  return found;
}

inline const XmlElement* child_named(const XmlElement& e, std::string_view name) {
  for (const XmlElement& child : e.children) {
    if (child.name == name) return &child;
  }
  return nullptr;
}

// A data axis read back from a picture: value = a + b·pixel, from the tick marks and the numbers
// written under them (the first and the last tick, the ones farthest apart).
struct AxisMap {
  double a = 0.0, b = 0.0;
  int ticks = 0;
  double value(double pixel) const { return a + b * pixel; }
  // The data span of one hundredth of a pixel, the precision of the picture's coordinates.
  double hundredth() const { return std::abs(b) * 0.01; }
};

// `tick_class` is "xtick" or "ytick"; the pixel of a tick is x1 or y1 of its line.
inline AxisMap axis_from_ticks(const XmlElement& root, std::string_view tick_class) {
  const bool x_axis = tick_class == "xtick";
  std::vector<std::pair<double, double>> marks;  // (pixel, value)
  for (const XmlElement* tick : with_class(root, tick_class)) {
    const XmlElement* line = child_named(*tick, "line");
    const XmlElement* label = child_named(*tick, "text");
    if (line == nullptr || label == nullptr) continue;
    marks.emplace_back(line->number(x_axis ? "x1" : "y1"), std::stod(label->text));
  }
  AxisMap map;
  map.ticks = static_cast<int>(marks.size());
  if (marks.size() < 2) {
    ADD_FAILURE() << "fewer than two " << tick_class << " marks";
    return map;
  }
  const auto& [p0, v0] = marks.front();
  const auto& [p1, v1] = marks.back();
  map.b = (v1 - v0) / (p1 - p0);
  map.a = v0 - map.b * p0;
  return map;
}

inline std::string read_text_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Each test runs in a fresh directory of its own under the system's temporary directory.
class PlotDirTest : public ::testing::Test {
 protected:
  static void write_file(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::binary);
    out << text;
  }

  velk::test::TempWorkingDir dir_{"velk_plot"};
};

// Kratzer's curve V = De·(1 - Rm/R)² in the analytic form: xi = (R - Rm)/R (b = 0) and a2 = De,
// with the connection radii outside the grid, so that the expansion alone covers it. Its
// asymptote, and the Uinf of the file, is De.
constexpr double kDe = 10000.0;
constexpr double kRm = 2.0;
constexpr double kMu = 7.5;  // every one of the five masses

inline std::string kratzer_file() {
  return "3   coefficient lines\n"
         "7.5 7.5 7.5 7.5 7.5   reduced masses\n"
         "0   Lambda\n"
         "0.0   q1\n"
         "0.0   q2\n"
         "Kratzer curve De (1 - Rm/R)^2\n"
         "De = 10000 cm-1, Rm = 2 A\n"
         "AN\n"
         "2.0   Rm\n"
         "0.0   b\n"
         "0 0.0\n"
         "1 0.0\n"
         "2 10000.0\n"
         "1   short-range type\n"
         "1.0 1.0 6\n"
         "10000.0   Uinf\n"
         "0   long-range lines\n"
         "0.0 0.0 0.0   no exchange\n"
         "0.5 100.0   Ri Ro\n";
}

// velk.inf of a run whose state A is `a_file` of kind `a_kind` and state B `b_file`, both on the
// grid 1 to 20 Å; the switches are all off (the pictures read only the state records).
inline std::string control_file(const std::string& a_file, char a_kind, const std::string& b_file,
                                char b_kind, int N = 19001) {
  const std::string grid = "1.0 20.0 " + std::to_string(N) + "\n";
  return "plot test\n" + a_file + "\n" + std::string(1, a_kind) + "\n1\n" + b_file + "\n" +
         std::string(1, b_kind) + "\n1\ngrid\n" + grid + grid +
         "60\n1e-5\nn\nlevel table\nn\n1\n0 0 0 0 1 1\none level\nn\n0 0 1\n0 0 1 1\n"
         "known level\nn\n1\n0 0 1 0.0\n0 0 1 1\nwindow\nn\n0.0 1.0\n0 0 0 0 0 0\n0 0 1\n";
}

// A level file in the level driver's layout; each entry is (v, J, E, quasi-bound).
struct TestLevel {
  int v, J;
  double E;
  bool quasi_bound = false;
  int node = -1;                   // the node count written; -1 writes v, as for a found level
  const char* Dcor = " 0.65E-05";  // the last correction as its E10.2 field shows it
};

inline std::string level_file(const std::string& data_file, const std::vector<TestLevel>& levels) {
  std::ostringstream text;
  char line[200];
  std::snprintf(line, sizeof line, "%5d !number of levels\n", static_cast<int>(levels.size()));
  text << line << " Potential File:  " << data_file << "\n Energ. data:     Astate.dat  \n"
       << " " << std::string(45, '-') << "\n"
       << " iline,nv,Jline,Eout,Par,delE,ic,Ein,Dcor,kleft-krigth,kturn,node\n"
       << "  1  1  1  1  1 !levels to be used\n";
  int iline = 1;
  for (const TestLevel& level : levels) {
    std::snprintf(line, sizeof line, "%5d%4d%4d%13.5f%2d%11.4f%3d%13.5f%10s%5d", iline++, level.v,
                  level.J, level.E, 1, 2985.0116, 10, 3037.03035, level.Dcor, 723);
    text << line;
    const int node = level.node < 0 ? level.v : level.node;
    std::snprintf(line, sizeof line, "%s%3d%4d", level.quasi_bound ? "   res." : "  47980", 22,
                  node);
    text << line;
    text << (level.quasi_bound ? "  0.12E-03  10500.00000  10000.00000\n" : "\n");
  }
  return text.str();
}

}  // namespace velk::plot::test
