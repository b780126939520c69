// The windows' tests draw offscreen, so that they run on machines without a display.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Qt wants a private runtime directory; without one it makes /tmp/runtime-USER and leaves it there
    // (also when the build lists the tests). This one goes when the tests end.
    std::filesystem::path runtime;
    if (!getenv("XDG_RUNTIME_DIR")) {
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qxui-runtime-XXXXXX";
        if (mkdtemp(pattern.data())) {
            runtime = pattern;
            setenv("XDG_RUNTIME_DIR", pattern.c_str(), 1);
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    int result;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (!runtime.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(runtime, ec);
    }
    return result;
}
