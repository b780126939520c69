#include "FileHandle.h"

#include <unistd.h>

namespace qx {

bool closeDescriptor(int fd) {
    return ::close(fd) == 0;
}

}  // namespace qx
