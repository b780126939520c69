#pragma once

#include <filesystem>
#include <string_view>

#include "FileOperations.h"

namespace qx {

// Creates `file` or replaces its content with `content` (the message files that the watch consoles and
// the SMS module read whole). False when it cannot be written.
bool writeWarningFile(FileOperations& files, const std::filesystem::path& file, std::string_view content);

}  // namespace qx
