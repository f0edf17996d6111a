// The checks a program makes on its inputs before it reads or writes anything: a file a velk run
// leaves behind must be there and be a regular file, so that a user who has not made the run yet
// is told what to do rather than what the reader found; and no input may bear the name of an
// output of the same command, which would replace it.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace velk {

// Throws InputError "<program>: <path>: no such file; <hint>" when `path` is missing, and a
// similar one-line message when it is a directory, a FIFO, a device or a socket.
void require_run_file(std::string_view program, const std::string& path, std::string_view hint);

// Whether the input name `input` (as read, blank padded) and the output name `output` reach the
// same file: the same name once trailing blanks and "./" are dropped, or two names of one
// existing file (a link, or a file system that ignores case).
bool names_same_file(std::string_view input, std::string_view output);

// Throws InputError "<program>: <input>: <role> is the output <output> of this command and would
// be overwritten" when `input` and one of `outputs` reach the same file. `role` says what the
// input is ("the transition-moment file").
void refuse_input_named_like_output(std::string_view program, std::string_view role,
                                    std::string_view input, std::span<const std::string> outputs);

}  // namespace velk
