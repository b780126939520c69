#include "Registry.h"

namespace qx {

bool removeJustInTimeDebugger() {
    return true;
}

}  // namespace qx
