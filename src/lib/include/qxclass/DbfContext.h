#pragma once

#include <mutex>

#include "qxclass/DbfTable.h"
#include "qxclass/Export.h"

namespace qx::dbf {

// The engine settings shared by every CDatabase of the process: the locking convention (so that the
// alarm server sees our locks) and the patience with locks held elsewhere. Tables take the settings in
// force when they are opened.
class QXCLASS_API Context {
public:
    // The process-wide context, made on first use (safe from any thread).
    static Context& shared();

    TableOptions options() const;
    void setOptions(const TableOptions& options);

private:
    Context() = default;
    mutable std::mutex m_mutex;
    TableOptions m_options;
};

}  // namespace qx::dbf
