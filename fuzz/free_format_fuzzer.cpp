// The free-format reader on arbitrary bytes: a cycle of the reads the program makes (skips, text
// reads of widths 1, 2 and 12, free-format reads of integers and reals in the combinations the
// files use) runs until the file is exhausted or a value is refused. The two conversions are also
// checked on their own: an accepted real is finite, an accepted integer is the integer the text
// spells.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "io/free_format_reader.h"

namespace {

void check_conversions(std::string_view text) {
  if (const auto real = velk::parse_real(text); real && !std::isfinite(*real)) std::abort();
  if (const auto integer = velk::parse_integer(text)) {
    const std::string copy(text);
    char* end = nullptr;
    const long long expected = std::strtoll(copy.c_str(), &end, 10);
    if (*end != '\0' || expected != *integer) std::abort();
  }
}

void read_all(const std::string& name) {
  velk::FreeFormatReader in(name);
  int32_t i1 = 0, i2 = 0, i3 = 0;
  double r1 = 0, r2 = 0, r3 = 0;
  // Bounded: each step consumes at least one line or ends the run with an exception.
  for (int step = 0; step < 400; ++step) {
    switch (step % 10) {
      case 0:
        in.skip();
        break;
      case 1:
        if (in.read_text(12).size() != 12) std::abort();
        break;
      case 2:
        if (in.read_text(1).size() != 1) std::abort();
        break;
      case 3:
        in.read(i1);
        break;
      case 4:
        in.read(r1, r2, i1);
        break;
      case 5:
        in.read(i1, i2, i3, r1);
        break;
      case 6:
        in.read(i1, r1, i2);
        break;
      case 7:
        if (const auto text = in.try_read_text(2); text && text->size() != 2) std::abort();
        break;
      case 8:
        in.read(r1, r2, r3);
        break;
      default:
        if (!in.try_skip()) return;
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  velk::fuzz::set_up();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  check_conversions(bytes.substr(0, 400));
  velk::fuzz::write_input("input.txt", data, size);
  velk::fuzz::run_guarded([] { read_all("input.txt"); });
  return 0;
}
