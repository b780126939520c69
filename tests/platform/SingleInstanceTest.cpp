#include "SingleInstance.h"

#include <gtest/gtest.h>

#include "DiskSpace.h"
#include "Sandbox.h"

namespace qx {
namespace {

TEST(SingleInstance, SecondStartAsksTheFirstToShow) {
    test::Sandbox sandbox;
    SingleInstance first("/inst/a", sandbox.root());
    ASSERT_EQ(first.acquire(), SingleInstance::Result::First);
    EXPECT_FALSE(first.takeShowRequest());
    {
        SingleInstance second("/inst/a", sandbox.root());
        EXPECT_EQ(second.acquire(), SingleInstance::Result::AnotherRuns);
    }
    EXPECT_TRUE(first.takeShowRequest());
    EXPECT_FALSE(first.takeShowRequest());

    SingleInstance other("/inst/b", sandbox.root());
    EXPECT_EQ(other.acquire(), SingleInstance::Result::First);
}

TEST(SingleInstance, LockIsFreeAgainAfterTheFirstEnds) {
    test::Sandbox sandbox;
    {
        SingleInstance first("/inst/a", sandbox.root());
        ASSERT_EQ(first.acquire(), SingleInstance::Result::First);
    }
    SingleInstance again("/inst/a", sandbox.root());
    EXPECT_EQ(again.acquire(), SingleInstance::Result::First);
}

TEST(DiskSpace, QueriesAnExistingPathAndFailsForAMissingOne) {
    test::Sandbox sandbox;
    auto space = queryDiskSpace(sandbox.root());
    ASSERT_TRUE(space);
    EXPECT_GT(space->totalBytes, 0u);
    EXPECT_LE(space->freeBytes, space->totalBytes);
    EXPECT_FALSE(queryDiskSpace(sandbox.path("missing/dir")));
}

}  // namespace
}  // namespace qx
