#include "qxclass/DbfContext.h"

namespace qx::dbf {

Context& Context::shared() {
    static Context context;
    return context;
}

TableOptions Context::options() const {
    std::lock_guard lock(m_mutex);
    return m_options;
}

void Context::setOptions(const TableOptions& options) {
    std::lock_guard lock(m_mutex);
    m_options = options;
}

}  // namespace qx::dbf
