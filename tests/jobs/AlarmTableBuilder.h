#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "qxclass/CDatabase.h"

namespace qx::test {

// A small alarm table with the fields the monitors read: alarm n is record n + 1.
class AlarmTableBuilder {
public:
    explicit AlarmTableBuilder(const std::filesystem::path& file) {
        std::filesystem::create_directories(file.parent_path());
        static const FIELD4INFO fields[] = {{"T02", 'N', 10, 0}, {"T30", 'N', 10, 0}, {"T33", 'C', 49, 0},
                                            {"T65", 'N', 10, 0}, {"T69", 'N', 10, 0}, {nullptr, 0, 0, 0}};
        EXPECT_EQ(m_table.Create(file.string().c_str(), fields), 1);
    }
    ~AlarmTableBuilder() { m_table.Close(); }

    // Fills the record of `alarm`, appending blank records up to it.
    AlarmTableBuilder& alarm(int number, int t02, int t30, const std::string& t33, int t65 = 0, int t69 = 0) {
        while (m_table.RecCount() < static_cast<unsigned>(number) + 1)
            m_table.Append();
        m_table.Go(static_cast<unsigned>(number) + 1);
        m_table.Replace("T02", t02);
        m_table.Replace("T30", t30);
        m_table.Replace("T33", t33.c_str());
        m_table.Replace("T65", t65);
        m_table.Replace("T69", t69);
        return *this;
    }

private:
    CDatabase m_table;
};

}  // namespace qx::test
