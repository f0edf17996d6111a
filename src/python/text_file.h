// Files the module writes at a caller's request (Curve.save): replaced whole or not at all.
#pragma once

#include <string>
#include <string_view>

namespace velk::python {

// Writes `text` to `path` under a temporary name beside it and renames it over `path` when it is
// complete, so that a failure leaves the old file (or none) and never a part of the new one. A
// path that is a directory, a FIFO, a device or a socket is refused before anything is written
// (opening a FIFO would wait for a reader); a symbolic link is replaced, not written through. A
// file replaced keeps its permissions; a new one gets 0666 less the umask. Failures raise
// OSError (or its subclass for the errno) with errno, the reason and `path` as its filename.
void write_text_file(const std::string& path, std::string_view text);

}  // namespace velk::python
