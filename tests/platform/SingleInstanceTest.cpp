#include "SingleInstance.h"

#include <gtest/gtest.h>

#include "Sandbox.h"

namespace qx {
namespace {

TEST(SingleInstance, SecondStartAsksTheFirstToShow) {
    test::Sandbox sandbox;
    const SingleInstance onlooker("/inst/a", sandbox.root());
    EXPECT_EQ(onlooker.heldElsewhere(), false);
    SingleInstance first("/inst/a", sandbox.root());
    ASSERT_EQ(first.acquire(), SingleInstance::Result::First);
    EXPECT_EQ(onlooker.heldElsewhere(), true);
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

TEST(SingleInstance, NamesAreTheSameInEveryBuild) {
    // A changed name would let an old and a new build run side by side.
    EXPECT_EQ(SingleInstance::fileStem("/srv/qxt-root/windows"), "qxmover-d34efdde94298470");
    EXPECT_NE(SingleInstance::fileStem("/inst/a"), SingleInstance::fileStem("/inst/b"));
}

}  // namespace
}  // namespace qx
