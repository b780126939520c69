// Feeds arbitrary bytes to the profile reader as a file, then edits it as the writes would. Checks what
// the rest of the system relies on: every way of looking a value up gives the same answer (the
// index, the single scan, the file read block by block, the profile object on a real file); decoding
// and encoding give back the file's bytes; after a write the value reads back, a removed key or
// section reads as missing, and lines that the edit had no reason to touch keep their bytes.
//
// Input: the first bytes choose the edits (see Edits), the rest is the file.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PathMap.h"
#include "Profile.h"
#include "ProfileEncoding.h"
#include "ProfileFile.h"
#include "ProfileParser.h"

namespace {

using namespace qx;

[[noreturn]] void fail(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "profile_fuzz: %s [%.*s]\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

void expect(bool condition, const char* what, std::string_view detail = {}) {
    if (!condition)
        fail(what, detail);
}

struct Names {
    std::vector<std::string_view> sections;
    std::vector<std::pair<std::string_view, std::string_view>> keys;  // section, key
};

// The names the text uses, so that lookups and edits meet existing lines and not only new ones. Keys
// only where a read finds them: in the first section of each name.
Names namesIn(std::string_view text) {
    Names names;
    std::string_view section;
    bool first = false;
    ProfileLineCursor cursor(text);
    ProfileLine line;
    while (cursor.next(line) && names.keys.size() < 64 && names.sections.size() < 64) {
        if (line.kind == ProfileLineKind::Section) {
            section = line.name;
            first = true;
            for (std::string_view earlier : names.sections)
                first = first && !equalsIgnoreCase(earlier, section);
            names.sections.push_back(section);
        } else if (line.kind == ProfileLineKind::Key && first) {
            names.keys.emplace_back(section, line.name);
        }
    }
    return names;
}

std::optional<std::string> owned(std::optional<std::string_view> value) {
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

// The value as findProfileValueInFile reads it from a file holding `bytes`, `block` bytes at a time.
std::optional<std::optional<std::string>> lookUpInFile(std::string_view bytes, std::string_view section,
                                                       std::string_view key, std::size_t block) {
    int fd = memfd_create("profile.ini", MFD_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    auto value = findProfileValueInFile("/proc/self/fd/" + std::to_string(fd), section, key, block);
    close(fd);
    return value;
}

// Every lookup agrees with the plain scan.
void checkLookups(std::string_view bytes, const ProfileContent& content, const Names& names,
                  std::size_t block) {
    const ProfileIndex index(content.text);
    std::size_t fileLookups = 0;
    for (const auto& [section, key] : names.keys) {
        const auto scanned = findProfileValue(content.text, section, key);
        expect(scanned.has_value(), "a key line of the text is not found", key);
        expect(index.find(section, key) == scanned, "the index and the scan disagree", key);
        if (content.encoding == ProfileEncoding::Utf16Le || ++fileLookups > 2)
            continue;
        const auto inFile = lookUpInFile(bytes, section, key, block);
        expect(inFile.has_value(), "a file without UTF-16 mark cannot be read block by block", key);
        expect(*inFile == owned(scanned), "the block-by-block read and the scan disagree", key);
    }
}

// `after` holds every line of `before` in order, except those for which `dropped` is true.
template <typename Dropped>
void checkKeptLines(std::string_view before, std::string_view after, Dropped dropped) {
    std::string expected;
    ProfileLineCursor cursor(before);
    ProfileLine line;
    while (cursor.next(line))
        if (!dropped(line))
            expected.append(before.substr(line.begin, line.next - line.begin));
    expect(after == expected, "an edit changed lines it had no reason to touch", after);
}

struct Edit {
    int kind = 0;  // 0 set, 1 remove key, 2 remove section
    std::string section, key, value;
};

std::string pickName(FuzzedDataProvider& in, const Names& names, bool wantSection) {
    const int how = in.ConsumeIntegralInRange(0, 3);
    if (how == 1 && wantSection && !names.sections.empty())
        return std::string(
            names.sections[in.ConsumeIntegralInRange<std::size_t>(0, names.sections.size() - 1)]);
    if (how == 1 && !wantSection && !names.keys.empty())
        return std::string(
            names.keys[in.ConsumeIntegralInRange<std::size_t>(0, names.keys.size() - 1)].second);
    return in.ConsumeRandomLengthString(24);
}

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The section line's name as the first section of that name matches it.
bool sameName(std::string_view a, std::string_view b) {
    return equalsIgnoreCase(trimProfileBlanks(a), trimProfileBlanks(b));
}

void checkSet(std::string_view text, const Edit& edit) {
    const std::string after = setProfileValue(text, edit.section, edit.key, edit.value);
    const std::string_view expected = stripProfileQuotes(trimProfileBlanks(edit.value));
    const auto read = findProfileValue(after, edit.section, edit.key);
    expect(read.has_value() && *read == expected, "a written value does not read back", after);
    expect(ProfileIndex(after).find(edit.section, edit.key) == read, "the index misses a written value",
           after);
    // Outside the changed or added lines, the bytes stay: the text before the first difference and after
    // the last one is the old text, and what lies between is at most one old line.
    std::size_t prefix = 0;
    while (prefix < text.size() && prefix < after.size() && text[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < text.size() - prefix && suffix < after.size() - prefix &&
           text[text.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string_view replaced = std::string_view(text).substr(prefix, text.size() - prefix - suffix);
    expect(replaced.find_first_of("\r\n") == std::string_view::npos, "a write replaced more than one line",
           after);
    // Every other key of the text still reads as before (the first few, to keep the runs fast).
    const Names names = namesIn(text);
    for (std::size_t i = 0; i < names.keys.size() && i < 16; ++i) {
        const auto& [section, key] = names.keys[i];
        if (sameName(section, edit.section) && sameName(key, edit.key))
            continue;
        const auto old = findProfileValue(text, section, key);
        expect(findProfileValue(after, section, key) == old, "a write changed another key", key);
    }
}

void checkRemoveKey(std::string_view text, const Edit& edit) {
    const std::string after = removeProfileKey(text, edit.section, edit.key);
    expect(!findProfileValue(after, edit.section, edit.key), "a removed key still reads", after);
    // The lines dropped are the key's lines in the first section of that name.
    bool seen = false, inside = false;
    checkKeptLines(text, after, [&](const ProfileLine& line) {
        if (line.kind == ProfileLineKind::Section) {
            inside = !seen && sameName(line.name, edit.section);
            seen = seen || inside;
        }
        return inside && line.kind == ProfileLineKind::Key && sameName(line.name, edit.key);
    });
}

void checkRemoveSection(std::string_view text, const Edit& edit) {
    const std::string after = removeProfileSection(text, edit.section);
    bool inside = false;
    checkKeptLines(text, after, [&](const ProfileLine& line) {
        if (line.kind == ProfileLineKind::Section)
            inside = sameName(line.name, edit.section);
        return inside;
    });
    for (const auto& [section, key] : namesIn(text).keys)
        if (sameName(section, edit.section))
            expect(!findProfileValue(after, section, key), "a key of a removed section still reads", key);
}

// A directory of this process for the profile object's own file.
std::filesystem::path g_directory;

void removeDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(g_directory, ignored);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    expect(static_cast<bool>(out), "cannot write the profile file");
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The profile object on a real file agrees with the text functions: its reads (whole, cut to a size,
// as a number, and the single reads block by block) and its write, which must leave exactly the text
// that setProfileValue makes, in the file's own encoding.
void checkProfileObject(const std::string& bytes, const ProfileContent& content, const Names& names,
                        FuzzedDataProvider& choices, const Edit* set) {
    const std::filesystem::path path = g_directory / "fuzz.ini";
    writeFile(path, bytes);
    const bool utf16 = content.encoding == ProfileEncoding::Utf16Le;
    Profile profile(g_directory);
    Profile single(g_directory);
    single.setSingleReads(true);
    for (std::size_t i = 0; i < names.keys.size() && i < 4; ++i) {
        const auto& [section, key] = names.keys[i];
        const std::string_view expected = *findProfileValue(content.text, section, key);
        const std::size_t size = choices.ConsumeIntegralInRange<std::size_t>(0, 40);
        const std::string got = profile.getString("fuzz.ini", section, key, "default", size);
        if (size == 0)
            expect(got.empty(), "a read of size 0 gave text", got);
        else if (!utf16)
            expect(got == expected.substr(0, size - 1), "the profile read another value", got);
        else
            expect(got.size() < size && expected.starts_with(got), "the profile cut a value wrongly", got);
        expect(single.getString("fuzz.ini", section, key, "default", 4096) ==
                   profile.getString("fuzz.ini", section, key, "default", 4096),
               "the single read and the whole read disagree", key);
        expect(profile.getInt("fuzz.ini", section, key, -7) ==
                   (expected.empty() ? -7 : parseProfileInt(expected)),
               "the profile read another number", expected);
    }
    if (!set)
        return;
    const ProfileWriteResult written = profile.writeString("fuzz.ini", set->section, set->key, set->value);
    expect(static_cast<bool>(written), "a write that reads back failed", written.reason());
    ProfileContent edited = content;
    edited.text = setProfileValue(content.text, set->section, set->key, set->value);
    if (!utf16 || (isAscii(set->section) && isAscii(set->key) && isAscii(set->value))) {
        if (edited.text != content.text)
            expect(readFile(path) == encodeProfile(edited), "the file holds another text than the edit's",
                   bytes);
        expect(Profile(g_directory).getString("fuzz.ini", set->section, set->key, "", 4096) ==
                   stripProfileQuotes(trimProfileBlanks(set->value)),
               "a written value does not read back from the file", set->value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/qx-profile-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("profile_fuzz: mkdtemp");
        std::abort();
    }
    g_directory = pattern;
    std::atexit(removeDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::size_t block = in.ConsumeIntegralInRange<std::size_t>(1, 96);
    const int editCount = in.ConsumeIntegralInRange(0, 3);
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    // Decoding is lossless: the file's bytes come back whatever they are.
    ProfileContent content = decodeProfile(bytes);
    expect(encodeProfile(content) == bytes, "decoding and encoding changed the file");
    const Names names = namesIn(content.text);
    checkLookups(bytes, content, names, block);
    for (std::string_view section : names.sections)
        (void)findProfileValue(content.text, section, "");
    for (const auto& [section, key] : names.keys)
        (void)parseProfileInt(*findProfileValue(content.text, section, key));

    // The edits take their names from the file's own bytes at the front, so that mutations of a seed
    // reach both existing and new names.
    FuzzedDataProvider choices(data, size < 256 ? size : 256);
    std::string text = content.text;
    bool asciiEdits = true;  // so far
    std::optional<Edit> firstSet;
    for (int i = 0; i < editCount; ++i) {
        Edit edit;
        edit.kind = choices.ConsumeIntegralInRange(0, 2);
        edit.section = pickName(choices, names, true);
        edit.key = pickName(choices, names, false);
        edit.value = choices.ConsumeRandomLengthString(24);
        const std::optional<std::string_view> value =
            edit.kind == 0 ? std::optional<std::string_view>(edit.value) : std::nullopt;
        if (!profileWriteReadsBack(edit.section, edit.key, value))
            continue;
        if (edit.kind == 0 && i == 0)
            firstSet = edit;
        if (edit.kind == 0)
            checkSet(text, edit);
        else if (edit.kind == 1)
            checkRemoveKey(text, edit);
        else
            checkRemoveSection(text, edit);
        if (edit.kind == 0)
            text = setProfileValue(text, edit.section, edit.key, edit.value);
        else if (edit.kind == 1)
            text = removeProfileKey(text, edit.section, edit.key);
        else
            text = removeProfileSection(text, edit.section);
        // Edits of a UTF-16 file with plain ASCII names and values keep every other character: the
        // edited text survives the way to the file and back.
        asciiEdits = asciiEdits && isAscii(edit.section) && isAscii(edit.key) && isAscii(edit.value);
        if (content.encoding == ProfileEncoding::Utf16Le && asciiEdits) {
            const ProfileContent edited{ProfileEncoding::Utf16Le, text, content.trailer};
            expect(decodeProfile(encodeProfile(edited)).text == text, "an edit broke a UTF-16 file", text);
        }
    }
    checkProfileObject(bytes, content, names, choices, firstSet ? &*firstSet : nullptr);
    return 0;
}
