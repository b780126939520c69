#include "WideText.h"

namespace qx {

std::optional<std::string> pathBytes(const std::filesystem::path& path) {
    return path.native();
}

}  // namespace qx
