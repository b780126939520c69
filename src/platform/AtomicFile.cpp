#include "AtomicFile.h"

#include <cstring>

namespace qx {

Failure fileFailure(const char* what, int number) {
    if (number == 0)
        number = EIO;
    const std::string text = std::strerror(number);
    return Failure(what && *what ? std::string(what) + ": " + text : text, number);
}

}  // namespace qx
