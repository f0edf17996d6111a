#include "run/potext_file.h"

#include <memory>
#include <optional>
#include <string>

#include "io/output_file.h"

namespace velk {

ExtensionReportHandler potext_writer() {
  // Shared by the two calls of one fit; a fit that threw before its report leaves the file to be
  // put in place with what it holds, as an output abandoned by a stop is.
  auto file = std::make_shared<std::optional<OutputFile>>();
  ExtensionReportHandler handler;
  handler.fit_starts = [file] {
    file->reset();
    file->emplace("potext.out");
  };
  handler.report = [file](const ExtensionReport& report) {
    for (const std::string& line : potext_lines(report)) (*file)->line(line);
    (*file)->close();
    file->reset();
  };
  return handler;
}

}  // namespace velk
