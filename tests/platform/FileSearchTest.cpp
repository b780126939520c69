#include "FileSearch.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "Sandbox.h"

namespace qx {
namespace {

TEST(Wildcard, MatchesLikeTheWindowsSearch) {
    EXPECT_TRUE(matchesWildcard("A.DBF", "*.dbf"));
    EXPECT_TRUE(matchesWildcard("noext", "*.*"));
    EXPECT_TRUE(matchesWildcard("a.b.c", "*.c"));
    EXPECT_TRUE(matchesWildcard("job1.job", "job?.job"));
    EXPECT_TRUE(matchesWildcard("readme", "readme.*"));
    EXPECT_TRUE(matchesWildcard("qxaview.inf", "qxaview.inf"));
    EXPECT_FALSE(matchesWildcard("a.dbf1", "*.dbf"));
    EXPECT_FALSE(matchesWildcard("a.db", "*.dbf"));
    EXPECT_FALSE(matchesWildcard("job10.job", "job?.job"));
    EXPECT_TRUE(matchesWildcard("", "*"));
}

TEST(Wildcard, ManyStarsStayLinear) {
    const std::string pattern = "*a*a*a*a*a*a*b";
    std::string name(5000, 'a');
    EXPECT_FALSE(matchesWildcard(name, pattern));
    // Counted, not timed: twice the name costs at most twice the steps, and each character of the name
    // is looked at a bounded number of times.
    std::size_t once = wildcardSteps(name, pattern);
    std::size_t twice = wildcardSteps(name + name, pattern);
    EXPECT_LE(twice, 2 * once + pattern.size());
    EXPECT_LE(once, 3 * name.size());
    EXPECT_LE(wildcardSteps(std::string(5000, 'x') + ".dbf", "*x*x*x*.dbf"), 3 * 5004u);
}

TEST(FindFiles, ReportsNamesTypesAndTimes) {
    test::Sandbox sandbox;
    auto when = std::chrono::system_clock::now() - std::chrono::hours(30);
    sandbox.file("d/one.LOG", "1", when);
    sandbox.file("d/two.log", "2");
    sandbox.file("d/other.txt", "3");
    sandbox.dir("d/sub.log");
    // Where the system cannot make links for us (Wine), the rest still counts.
    std::error_code noLinks;
    std::filesystem::create_symlink(sandbox.path("d/other.txt"), sandbox.path("d/link.log"), noLinks);

    auto found = findFiles(sandbox.path("d"), "*.log");
    std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.name < b.name; });
    if (!noLinks) {
        ASSERT_FALSE(found.empty());
        EXPECT_EQ(found[0].name, "link.log");
        EXPECT_TRUE(found[0].isSymlink);
        found.erase(found.begin());
    }
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].name, "one.LOG");
    EXPECT_LT(std::chrono::abs(found[0].lastWrite - when), std::chrono::seconds(1));
    EXPECT_TRUE(found[1].isDirectory);
    EXPECT_FALSE(found[2].isDirectory);
}

TEST(FindFiles, MissingDirectoryGivesNothing) {
    test::Sandbox sandbox;
    EXPECT_TRUE(findFiles(sandbox.path("none"), "*.*").empty());
}

}  // namespace
}  // namespace qx
