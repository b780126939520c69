#include "WarningFile.h"

namespace qx {

bool writeWarningFile(FileOperations& files, const std::filesystem::path& file, std::string_view content) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec) && files.remove(file))
        return false;
    return !files.createFile(file, content);
}

}  // namespace qx
