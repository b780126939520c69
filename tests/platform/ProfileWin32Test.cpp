#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <map>
#include <random>

#include "Profile.h"
#include "ProfileParser.h"
#include "Sandbox.h"
#include "WideText.h"

namespace fs = std::filesystem;

namespace qx {
namespace {

// Random profile texts of the kinds the installation's files hold, read and written both by our
// parser (the other system's profile layer) and by the system's profile functions, which the
// installation's other programs use.
class RandomIni {
public:
    // `divergent`: also the constructs on which Wine is known to read otherwise than Windows (see below).
    RandomIni(unsigned seed, bool divergent) : m_random(seed), m_divergent(divergent) {}

    std::string text() {
        static const char* const ends[] = {"\r\n", "\n", "\r"};
        const std::string lineEnd = ends[pick(3)];
        const bool mixed = pick(10) == 0;
        std::string out;
        const std::size_t lines = pick(14);
        for (std::size_t i = 0; i < lines; ++i) {
            out += line();
            out += mixed ? ends[pick(3)] : lineEnd;
        }
        if (pick(4) == 0)
            out += line();  // a last line without a line end
        return out;
    }

    std::string section() { return kSections[pick(std::size(kSections))]; }
    std::string key() { return kKeys[pick(std::size(kKeys))]; }
    std::string value() {
        if (pick(12) == 0)
            return std::string(100 + pick(400), 'L');
        return kValues[pick(std::size(kValues))];
    }
    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random); }

    static constexpr const char* kSections[] = {"A", "a", "B", "Long Section", "C"};
    static constexpr const char* kKeys[] = {"k", "K", "n", "x y", "Int"};
    static constexpr const char* kValues[] = {
        "",         "v",     "  padded  ",   "\"quoted\"",   "'single'",   "\"unbalanced",
        "'mixed\"", "a=b",   "; no comment", "\" spaced \"", "42",         "-7",
        "0x1F",     "42A",   "  12",         "+5",           "4294967297", "yes",
        "007",      "-0x10", "\t9",          "B42"};

private:
    std::string line() {
        switch (pick(9)) {
            case 0:
            case 1: {
                static const char* const forms[] = {"[%s]", " [%s] ", "[%s] after", "[ %s ]", "[%s"};
                return format(forms[pick(m_divergent ? std::size(forms) : 3)], section());
            }
            case 2:
                return ";" + key() + "=comment";
            case 3:
                return pick(2) ? "" : "  ";
            case 4:
                if (m_divergent)
                    return key();  // text without '='
                return "text";
            case 5:
                return " " + key() + " = " + value();
            default:
                return key() + "=" + value();
        }
    }
    static std::string format(const char* form, const std::string& name) {
        std::string out = form;
        out.replace(out.find("%s"), 2, name);
        return out;
    }

    std::mt19937 m_random;
    bool m_divergent;
};

std::string readBytes(const fs::path& path) {
    return test::readFile(path);
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string visible(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

// Differences by kind, with the first example of each.
struct Differences {
    std::map<std::string, std::pair<int, std::string>> kinds;
    void add(const std::string& kind, const std::string& example) {
        auto& [count, first] = kinds[kind];
        if (count++ == 0)
            first = example;
    }
};

const std::vector<std::string> kAskedSections{"A", "a", "B", "Long Section", "C", "Missing"};
const std::vector<std::string> kAskedKeys{"k", "K", "n", "x y", "Int", "Missing"};

// What every read of the text gives, as our parser reads it.
std::string everyValue(std::string_view text) {
    std::string out;
    for (const auto& section : kAskedSections)
        for (const auto& key : kAskedKeys)
            if (auto value = findProfileValue(text, section, key))
                out += "[" + section + "]" + key + "=" + std::string(*value) + ";";
    return out;
}

// Compares reads and edits of `cases` random files between our parser and the system's functions.
Differences compare(const test::Sandbox& sandbox, RandomIni& random, int cases) {
    const std::string dir = narrow(sandbox.root().wstring()).value();
    Differences differences;
    for (int n = 0; n < cases; ++n) {
        const std::string text = random.text();
        // A file of its own for every case: the system keeps the files it read last.
        const std::string name = "case" + std::to_string(n) + ".ini";
        const std::string path = dir + "\\" + name;
        writeBytes(sandbox.root() / name, text);
        for (const auto& section : kAskedSections) {
            for (const auto& key : kAskedKeys) {
                const std::optional<std::string_view> found = findProfileValue(text, section, key);
                const std::string ours = found ? cutProfileText(*found, 255, false) : "<default>";
                char buffer[256] = {};
                const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "<default>",
                                                              buffer, 256, path.c_str());
                const std::string system(buffer, length);
                const std::string example = "[" + section + "] " + key + " in \"" + visible(text) +
                                            "\": ours \"" + visible(ours) + "\", system \"" +
                                            visible(system) + "\"";
                if (ours != system)
                    differences.add("text read", example);
                const int oursInt = found && !found->empty() ? parseProfileInt(*found) : -9;
                const int systemInt =
                    static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), -9, path.c_str()));
                if (oursInt != systemInt)
                    differences.add("integer read", example + ": ours " + std::to_string(oursInt) +
                                                        ", system " + std::to_string(systemInt));
            }
        }
        // One edit of each kind, on copies of the file.
        const std::string section = random.section(), key = random.key(), value = random.value();
        struct Edit {
            std::string kind;
            std::function<std::string(std::string_view)> ours;
            std::function<void(const char* path)> system;
        };
        const std::vector<Edit> edits{
            {"set", [&](std::string_view t) { return setProfileValue(t, section, key, value); },
             [&](const char* p) {
                 WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), p);
             }},
            {"delete key", [&](std::string_view t) { return removeProfileKey(t, section, key); },
             // Ours deletes every line of the key in the section, so that a read afterwards gives the
             // default; the system deletes the first: asked again until nothing changes, it agrees.
             [&](const char* p) {
                 for (int i = 0; i < 10; ++i)
                     WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, p);
             }},
            {"delete section", [&](std::string_view t) { return removeProfileSection(t, section); },
             [&](const char* p) {
                 for (int i = 0; i < 10; ++i)
                     WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, p);
             }},
        };
        for (std::size_t e = 0; e < edits.size(); ++e) {
            const std::string editName = "edit" + std::to_string(n) + "_" + std::to_string(e) + ".ini";
            writeBytes(sandbox.root() / editName, text);
            edits[e].system((dir + "\\" + editName).c_str());
            const std::string system = readBytes(sandbox.root() / editName);
            const std::string ours = edits[e].ours(text);
            const std::string example = "[" + section + "] " + key + "=" + visible(value) + " in \"" +
                                        visible(text) + "\": ours \"" + visible(ours) + "\", system \"" +
                                        visible(system) + "\"";
            if (everyValue(ours) != everyValue(system))
                differences.add(edits[e].kind + ": what reads give afterwards", example);
            else if (ours != system)
                differences.add(edits[e].kind + ": the bytes of the other lines", example);
        }
    }
    return differences;
}

void print(const Differences& differences) {
    for (const auto& [kind, entry] : differences.kinds)
        std::cout << kind << ": " << entry.first << " times, first: " << entry.second.substr(0, 700) << "\n";
}

// What reads give agrees on files without the constructs Wine is known to read otherwise, before and
// after every kind of edit. The layout of the lines an edit does not touch is compared too but only
// shown: Wine writes the whole file anew (CRLF, blanks around names and values cut, blank lines
// dropped), where Windows keeps the other lines as they were.
TEST(ProfileWin32, OurParserAndTheSystemsProfileFunctionsAgreeOnRandomFiles) {
    test::Sandbox sandbox;
    RandomIni random(20261209, false);
    Differences differences = compare(sandbox, random, 300);
    print(differences);
    for (const auto& [kind, entry] : differences.kinds)
        EXPECT_NE(kind.find("the bytes of the other lines"), std::string::npos)
            << kind << ": " << entry.second;
}

// The constructs on which Wine reads otherwise than our parser, shown for the record: a header without
// ']' (ours opens the section, Wine reads the line as a key of the section before it), blanks inside
// the brackets (Wine keeps them in the name), and a line without '=' (Wine reads it as a key without
// value, which hides a later line of the same key).
TEST(ProfileWin32, WhereWineReadsOtherwiseIsShown) {
    test::Sandbox sandbox;
    RandomIni random(20261209, true);
    Differences differences = compare(sandbox, random, 100);
    print(differences);
    EXPECT_TRUE(differences.kinds.count("text read"))
        << "Wine now reads these like Windows: tighten the test";
}

// The system's write stores a value of 32767 bytes or more mangled (Wine reads it back as one
// character): such a write is refused and the file keeps what it held.
TEST(ProfileWin32, AValueLongerThanTheSystemStoresIsRefusedAndTheFileKept) {
    test::Sandbox sandbox;
    Profile profile(sandbox.dir("windows"));
    const std::string longest(kMaxProfileValue, 'x');
    ASSERT_TRUE(profile.writeString("t.ini", "S", "Key", longest));
    EXPECT_EQ(profile.getString("t.ini", "S", "Key", "-", 100'000), longest);
    const ProfileWriteResult refused = profile.writeString("t.ini", "S", "Key", longest + "y");
    EXPECT_EQ(refused.error(), ProfileWriteError::TooLong);
    EXPECT_NE(refused.reason().find("32766"), std::string::npos) << refused.reason();
    EXPECT_EQ(profile.getString("t.ini", "S", "Key", "-", 100'000), longest);
}

}  // namespace
}  // namespace qx
