#include "io/output_file.h"

#include "io/errors.h"
#include "io/formatted_output.h"
#include "io/free_format_reader.h"

namespace velk {

OutputFile::OutputFile(std::string_view file_name) : name_(trimmed_file_name(file_name)) {
  out_.open(name_, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out_) throw InputError("velk: cannot write output file \"" + name_ + "\"");
}

void OutputFile::check() const {
  if (!out_) throw InputError("velk: writing output file \"" + name_ + "\" failed");
}

void OutputFile::line(std::string_view text) {
  out_ << text << '\n';
  check();
}

void OutputFile::line(const FreeLine& free_line) {
  for (const auto& text : free_line.lines()) out_ << text << '\n';
  check();
}

void OutputFile::close() {
  if (!out_.is_open()) return;
  out_.flush();
  check();
  out_.close();
}

OutputFile::~OutputFile() {
  if (out_.is_open()) out_.close();
}

}  // namespace velk
