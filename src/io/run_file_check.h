// The check a companion program makes before it reads a file a velk run leaves behind, so that a
// user who has not made the run yet is told what to do rather than what the reader found.
#pragma once

#include <string>
#include <string_view>

namespace velk {

// Throws InputError "<program>: <path>: no such file; <hint>" when `path` is missing, and a
// similar one-line message when it is a directory, a FIFO, a device or a socket.
void require_run_file(std::string_view program, const std::string& path, std::string_view hint);

}  // namespace velk
