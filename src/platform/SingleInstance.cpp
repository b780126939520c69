#include "SingleInstance.h"

#include <cstdio>

namespace qx {

std::string SingleInstance::fileStem(std::string_view key) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : key) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("qxmover-") + hex;
}

}  // namespace qx
