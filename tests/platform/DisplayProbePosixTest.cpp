#include "DisplayProbe.h"

#include <gtest/gtest.h>

#include "Sandbox.h"

namespace qx {
namespace {

TEST(DisplayProbeTest, NamedDisplaysCountOnlyWhenTheirSocketIsThere) {
    test::Sandbox sandbox;
    auto x11 = sandbox.dir("x11");
    auto runtime = sandbox.dir("run");
    EXPECT_FALSE(displayReachable(nullptr, nullptr, nullptr, nullptr, x11));
    EXPECT_FALSE(displayReachable("", "", "", "", x11));
    EXPECT_FALSE(displayReachable(nullptr, nullptr, ":1", nullptr, x11));
    sandbox.file("x11/X1");
    EXPECT_TRUE(displayReachable(nullptr, nullptr, ":1", nullptr, x11));
    EXPECT_TRUE(displayReachable(nullptr, nullptr, ":1.0", nullptr, x11));
    EXPECT_FALSE(displayReachable(nullptr, nullptr, ":10", nullptr, x11));
    EXPECT_TRUE(displayReachable(nullptr, nullptr, "remote:0", nullptr, x11));

    EXPECT_FALSE(displayReachable(nullptr, "wayland-0", nullptr, runtime.c_str(), x11));
    sandbox.file("run/wayland-0");
    EXPECT_TRUE(displayReachable(nullptr, "wayland-0", nullptr, runtime.c_str(), x11));
    EXPECT_FALSE(displayReachable(nullptr, "wayland-0", nullptr, nullptr, x11));

    EXPECT_TRUE(displayReachable("offscreen", nullptr, nullptr, nullptr, x11));
}

}  // namespace
}  // namespace qx
