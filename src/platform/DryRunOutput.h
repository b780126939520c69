#pragma once

#include <filesystem>
#include <mutex>
#include <ostream>
#include <string_view>

namespace qx {

// Where a dry run says what it would change, one line "VERB A [B]" each ("delete FILE", "move FROM
// TO", ...). The file-system objects that get one change nothing and print instead; threads may share it.
class DryRunOutput {
public:
    explicit DryRunOutput(std::ostream& out) : m_out(out) {}

    void print(std::string_view verb, const std::filesystem::path& a,
               const std::filesystem::path* b = nullptr) {
        std::lock_guard lock(m_mutex);
        m_out << verb << ' ' << a.string();
        if (b)
            m_out << ' ' << b->string();
        m_out << '\n';
    }

private:
    std::ostream& m_out;
    std::mutex m_mutex;
};

}  // namespace qx
