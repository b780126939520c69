#include "PathMap.h"

namespace qx {

std::string configuredJoin(std::string_view directory, std::string_view name) {
    return std::string(directory) + ".\\" + std::string(name);
}

}  // namespace qx
