#include "ExecutablePath.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

// What ships beside a program is found from here, on both systems.
TEST(ExecutablePathTest, NamesTheRunningProgramsFile) {
    const std::filesystem::path self = executablePath();
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(self.is_absolute()) << self;
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_regular_file(self, ec)) << self;
    EXPECT_EQ(self.stem(), "platform_tests");
}

}  // namespace
}  // namespace qx
