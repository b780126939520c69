#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "Profile.h"

namespace qx {

// `qxmover profile ...`: the profile layer for scripts and administrators. `args` are the words after
// "profile":
//   get [--strict] FILE SECTION KEY [DEFAULT [SIZE]]
//                                the value as the Windows text read returns it (SIZE 4096 when absent, at
//                                most SIZE - 1 characters), then a newline
//   get-int [--strict] FILE SECTION KEY DEFAULT
//                                the value as the Windows integer read returns it, as signed 32-bit decimal
//   set FILE SECTION KEY VALUE
//   delete FILE SECTION [KEY]    the key, or the whole section without KEY
// A read of a file that is missing, no regular file or unreadable prints the default and a warning on
// `err`; with "--strict" (before or right after the verb) the line is an error and the exit code 1.
// Returns 0 on success, 1 when a write fails and 2 for a bad argument (unknown verb, wrong count, a
// DEFAULT of get-int or a SIZE that is no number); each failure prints one line naming it on `err`.
int runProfileCommand(Profile& profile, const std::vector<std::string>& args, std::ostream& out,
                      std::ostream& err);

}  // namespace qx
