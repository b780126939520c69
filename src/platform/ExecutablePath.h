#pragma once

#include <filesystem>

namespace qx {

// The file of the running program, as the system names it (Linux: /proc/self/exe; Windows:
// GetModuleFileNameW); empty when the system cannot tell. The programs find what ships beside them
// (the window program, the language files) from here.
std::filesystem::path executablePath();

}  // namespace qx
