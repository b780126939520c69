#pragma once

#include "DbfTable.h"

namespace qx::dbf {

// The engine's options for a table opened now, from the process's lock settings.
TableOptions tableOptions();

}  // namespace qx::dbf
