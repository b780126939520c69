#include "SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>

#include "Sandbox.h"

namespace qx {
namespace {

std::size_t entries(const std::filesystem::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}

TEST(SingleInstance, LockFilesGoWithTheFirstAndTheLockIsFreeAgain) {
    test::Sandbox sandbox;
    // Looked at without taking the lock or asking the holder to show itself.
    const SingleInstance onlooker("/inst/a", sandbox.root());
    EXPECT_EQ(onlooker.heldElsewhere(), false);
    {
        SingleInstance first("/inst/a", sandbox.root());
        ASSERT_EQ(first.acquire(), SingleInstance::Result::First);
        EXPECT_EQ(entries(sandbox.root()), 2u);  // the lock and the socket
        EXPECT_EQ(onlooker.heldElsewhere(), true);
        EXPECT_EQ(SingleInstance("/inst/b", sandbox.root()).heldElsewhere(), false);
        EXPECT_FALSE(first.takeShowRequest());
    }
    EXPECT_EQ(entries(sandbox.root()), 0u);
    // A lock file left by a killed service is held by no one.
    sandbox.file(onlooker.lockPath().filename().string());
    EXPECT_EQ(onlooker.heldElsewhere(), false);
    std::filesystem::remove(onlooker.lockPath());
    SingleInstance again("/inst/a", sandbox.root());
    EXPECT_EQ(again.acquire(), SingleInstance::Result::First);
}

TEST(SingleInstance, LockFileIsNamedFromTheInstallation) {
    test::Sandbox sandbox;
    SingleInstance instance("/srv/qxt-root/windows", sandbox.root());
    EXPECT_EQ(instance.lockPath(), sandbox.path("qxmover-d34efdde94298470.lock"));
}

// Sets or clears environment variables for one test and puts them back afterwards.
class EnvironmentTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto& [name, value] : m_saved)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    void set(const std::string& name, const char* value) {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        value ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str());
    }
    test::Sandbox sandbox;

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST_F(EnvironmentTest, RuntimeDirectoryOfTheUnitComesFirst) {
    set("RUNTIME_DIRECTORY", sandbox.path("unit").c_str());
    set("XDG_RUNTIME_DIR", sandbox.path("user").c_str());
    EXPECT_EQ(SingleInstance::runtimeDirectory(), sandbox.path("unit"));
    set("RUNTIME_DIRECTORY", nullptr);
    EXPECT_EQ(SingleInstance::runtimeDirectory(), sandbox.path("user"));
}

TEST_F(EnvironmentTest, WithoutARuntimeDirectoryOnlyAPrivateOneIsTaken) {
    set("RUNTIME_DIRECTORY", nullptr);
    set("XDG_RUNTIME_DIR", nullptr);
    set("TMPDIR", sandbox.root().c_str());
    std::string problem;
    auto dir = SingleInstance::runtimeDirectory(&problem);
    ASSERT_EQ(dir, sandbox.path("qxmover-" + std::to_string(::getuid())));
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Made by someone else for everyone, it could be held by another user: refused, with the reason.
    ::chmod(dir.c_str(), 0777);
    EXPECT_TRUE(SingleInstance::runtimeDirectory(&problem).empty());
    EXPECT_NE(problem.find("not a private directory"), std::string::npos) << problem;
    SingleInstance refused("/inst/a");
    EXPECT_EQ(refused.acquire(), SingleInstance::Result::Failed);
    EXPECT_FALSE(refused.problem().empty());
}

}  // namespace
}  // namespace qx
