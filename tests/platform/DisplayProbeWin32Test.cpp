#include <gtest/gtest.h>

#include <cstdlib>

#include "DisplayProbe.h"

namespace qx {
namespace {

// The tests run in a user's session (Wine's is one), where the dialog can be shown; no X display
// is asked for.
TEST(DisplayProbeWin32Test, InteractiveSessionCanShowTheWindow) {
    _putenv("QT_QPA_PLATFORM=");
    EXPECT_TRUE(displayAvailable());
}

}  // namespace
}  // namespace qx
