#include <windows.h>

#include <gtest/gtest.h>

#include "FileSearch.h"
#include "PathMap.h"
#include "Profile.h"
#include "Sandbox.h"
#include "WideText.h"

namespace fs = std::filesystem;

namespace qx {
namespace {

// The sandbox as the installation writes paths: bytes of its code page.
std::string bytesOf(const fs::path& path) {
    return narrow(path.wstring()).value();
}

std::wstring lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

TEST(PathMapWin32, CodePageNamesReachTheFileSystemAsTheirCharacters) {
    test::Sandbox sandbox;
    // "März" as Windows-1252 bytes names the directory that the wide API calls "März".
    fs::create_directory(sandbox.root() / L"M\u00E4rz");
    const std::string march = bytesOf(sandbox.root()) + "\\M\xE4rz";
    PathMap paths;
    EXPECT_TRUE(fs::is_directory(paths.native(march)));
    EXPECT_EQ(paths.native(march + "\\x.dbf"), sandbox.root() / L"M\u00E4rz" / L"x.dbf");

    // The search gives the name back in the same bytes, and the profile functions find the file.
    std::vector<FoundFile> found = findFiles(sandbox.root(), "m?rz");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "M\xE4rz");
    Profile profile(sandbox.root() / L"M\u00E4rz");
    ASSERT_TRUE(
        profile.writeString("Gr\xFC\xDF"
                            "e.ini",
                            "Ort", "Name", "K\xF6ln"));
    EXPECT_TRUE(fs::exists(sandbox.root() / L"M\u00E4rz" / L"Gr\u00FC\u00DFe.ini"));
    EXPECT_EQ(profile.getString("Gr\xFC\xDF"
                                "e.ini",
                                "Ort", "Name", "", 64),
              "K\xF6ln");

    // A name the code page cannot spell is left out of a search rather than named wrongly.
    fs::create_directory(sandbox.root() / L"\u65E5\u672C");
    EXPECT_EQ(findFiles(sandbox.root(), "*").size(), 1u);
}

TEST(PathMapWin32, DrivesJointsAndDotDotFollowTheSystemsRules) {
    test::Sandbox sandbox;
    sandbox.dir("d/name");
    const std::string root = bytesOf(sandbox.root());
    PathMap paths({}, {}, {}, sandbox.root());
    const fs::path name = sandbox.root() / L"d" / L"name";
    EXPECT_EQ(lower(paths.native(root + "\\d.\\name").wstring()), lower(name.wstring()));
    EXPECT_EQ(lower(paths.native(root + "\\d\\.\\name").wstring()), lower(name.wstring()));
    EXPECT_EQ(lower(paths.native(root + "/D/NAME").wstring()), lower(name.wstring()));

    // `..` stops at the root of its drive, for a drive, a rooted and a relative path alike.
    const std::wstring drive = sandbox.root().root_name().wstring();
    EXPECT_EQ(paths.native("C:\\..\\..\\windows"), fs::path(L"C:\\windows"));
    EXPECT_EQ(paths.native("\\..\\x"), fs::path(drive + L"\\x"));
    EXPECT_EQ(paths.native("..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\x"), fs::path(drive + L"\\x"));
    EXPECT_EQ(lower(paths.native("d\\name").wstring()), lower(name.wstring()));
}

// An installation kept in a folder (--root, --drive): the root and mapped drives hold its paths, as on
// the other system, and the activity log's spelling comes back from them.
TEST(PathMapWin32, AGivenRootAndDrivesHoldTheInstallationsPaths) {
    test::Sandbox sandbox;
    const fs::path root = sandbox.dir("root"), d = sandbox.dir("drive-d");
    PathMap paths(root, root / L"windows", {{'d', d}});
    struct Case {
        const char* configured;
        fs::path native;
        const char* back;  // configured(native(...))
    };
    for (const Case& c :
         {Case{"\\qxt\\log.\\log49", root / L"qxt" / L"log" / L"log49", "\\qxt\\log\\log49"},
          Case{"C:\\qxt", root / L"qxt", "\\qxt"}, Case{"\\..\\..\\x", root / L"x", "\\x"},
          Case{"d:\\wav\\..\\..\\a.wav", d / L"a.wav", "D:\\a.wav"}, Case{"D:\\", d, "D:\\"}}) {
        EXPECT_EQ(lower(paths.native(c.configured).wstring()), lower(c.native.wstring())) << c.configured;
        EXPECT_EQ(paths.configured(paths.native(c.configured)), c.back) << c.configured;
    }
    // A drive that is not mapped is the system's own.
    EXPECT_EQ(paths.native("E:\\x"), fs::path(L"E:\\x"));
}

}  // namespace
}  // namespace qx
