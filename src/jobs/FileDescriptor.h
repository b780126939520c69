#pragma once

// The descriptor owner lives in the platform layer; this name stays for the files that still write
// their own descriptors here and are moving onto the platform's atomic-file writer.
#include "FileHandle.h"

namespace qx {

using FileDescriptor = FileHandle;

}  // namespace qx
