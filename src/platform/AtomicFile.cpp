#include "AtomicFile.h"

#include <cstring>

namespace qx {

std::string FileResult::reason() const {
    const std::string text = std::strerror(error);
    return step && *step ? std::string(step) + ": " + text : text;
}

}  // namespace qx
