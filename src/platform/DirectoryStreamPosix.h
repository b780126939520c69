#pragma once

#include <vector>

#include "DirectoryHandle.h"

namespace qx {

// The entries (without "." and "..") of the open directory `directory`, read through a descriptor of
// their own, so that `directory` stays usable for the calls relative to it; empty when unreadable. The
// one place where a directory stream is opened and closed.
std::vector<DirectoryEntry> readDirectory(int directory);

}  // namespace qx
